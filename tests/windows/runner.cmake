# The Windows runner under wine, in this build's own tests: the demo against
# the real slantWarper.aip (property list, entry point, cursor), refused
# scenario files, and stand-in plug-ins whose property list is missing or
# wrong, or which ask for a cursor they do not carry.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

set(sw_runner_checks ${PROJECT_SOURCE_DIR}/tests/runner)
set(sw_fake_plugins ${PROJECT_SOURCE_DIR}/tests/data/fake_plugins)
set(sw_runner_work ${CMAKE_CURRENT_BINARY_DIR}/runner)
string(REPLACE ";" "|" sw_windows_runner "${CMAKE_CROSSCOMPILING_EMULATOR};$<TARGET_FILE:slantwarper-host>")

# A stand-in plug-in library, with the property list of `script` linked in
# (none if empty).
function(sw_fake_plugin name script)
  add_library(${name} MODULE ${sw_fake_plugins}/fake_plugin.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE sw_warnings)
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".aip")
  if(script)
    set(object ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.obj)
    add_custom_command(
      OUTPUT ${object}
      COMMAND ${CMAKE_RC_COMPILER} --input-format=rc --output-format=coff -I ${sw_fake_plugins}
              ${sw_fake_plugins}/${script} ${object}
      DEPENDS ${sw_fake_plugins}/${script} ${sw_fake_plugins}/pipl_codes.h
      VERBATIM)
    target_sources(${name} PRIVATE ${object})
  endif()
endfunction()

sw_fake_plugin(fake_no_property_list "")
sw_fake_plugin(fake_overlong_property_list overlong.rc)
sw_fake_plugin(fake_unexported_entry unexported_entry.rc)
sw_fake_plugin(fake_without_cursor valid.rc)

set(sw_lifecycle ${PROJECT_SOURCE_DIR}/scenarios/lifecycle.json)
# name, plug-in, scenario, exit status, what stderr says
set(sw_fake_cases
    "no_property_list|fake_no_property_list|${sw_lifecycle}|1|no property list (resource \"PIPL\" 16000)"
    "overlong_property_list|fake_overlong_property_list|${sw_lifecycle}|1|runs 188 bytes past the end"
    "unexported_entry|fake_unexported_entry|${sw_lifecycle}|1|names the entry point \"NoSuchEntry\""
    "missing_cursor|fake_without_cursor|${sw_fake_plugins}/track_cursor.json|3|no cursor resource 16001")
foreach(case IN LISTS sw_fake_cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  list(GET case 1 plugin)
  list(GET case 2 scenario)
  list(GET case 3 status)
  list(GET case 4 says)
  add_test(NAME windows.runner.${name}
           COMMAND ${CMAKE_COMMAND} "-DCOMMAND=${sw_windows_runner}"
                   "-DARGS=${scenario}|--plugin|$<TARGET_FILE:${plugin}>|--json|${sw_runner_work}/${name}.json"
                   -DEXPECT_EXIT=${status} "-DSTDERR_HAS=${says}" -P ${sw_runner_checks}/run_and_check.cmake)
endforeach()

add_test(NAME windows.runner.demo
         COMMAND ${CMAKE_COMMAND} "-DCOMMAND=${sw_windows_runner}" "-DARGS=--json|demo.json"
                 -DWORKDIR=${sw_runner_work}/demo -DEXPECT_EXIT=0 -DCLEAN_REPORT=demo.json
                 "-DSTDOUT_HAS=What moved" "-DSTARTS_WITH=out/demo.svg|<?xml"
                 -P ${sw_runner_checks}/run_and_check.cmake)

file(GLOB sw_bad_scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/data/bad_scenarios/*.json)
foreach(scenario IN LISTS sw_bad_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME windows.runner.bad_scenario.${name}
           COMMAND ${CMAKE_COMMAND} "-DCOMMAND=${sw_windows_runner}"
                   "-DARGS=${scenario}|--json|${sw_runner_work}/bad_${name}.json" -DEXPECT_EXIT=2
                   -DERROR_LINE=${scenario} -DABSENT=${sw_runner_work}/bad_${name}.json
                   -P ${sw_runner_checks}/run_and_check.cmake)
endforeach()

get_property(sw_runner_tests DIRECTORY PROPERTY TESTS)
list(FILTER sw_runner_tests INCLUDE REGEX "^windows\\.runner\\.")
set_tests_properties(${sw_runner_tests} PROPERTIES ENVIRONMENT WINEDEBUG=-all TIMEOUT 300
                                                   FIXTURES_REQUIRED sw_runner_wine_prefix)

# A wine prefix made by several programs starting at once can fail them all;
# it is made once, before any of these tests runs.
add_test(NAME windows.runner.wine_prefix COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init)
set_tests_properties(windows.runner.wine_prefix PROPERTIES ENVIRONMENT WINEDEBUG=-all TIMEOUT 300
                                                           FIXTURES_SETUP sw_runner_wine_prefix)
