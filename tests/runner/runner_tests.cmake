# The built runner program run on bad files, on the demo and on the example
# scenarios, natively and, for the same reports byte for byte, as the
# Windows build's runner under wine.

set(sw_runner_checks ${CMAKE_CURRENT_LIST_DIR})
set(sw_runner_work ${CMAKE_CURRENT_BINARY_DIR}/runner)

# Bad scenario files: the committed ones, and two too big to commit.
set(sw_generated_bad ${sw_runner_work}/generated_bad_scenarios)
file(MAKE_DIRECTORY ${sw_generated_bad})
string(REPEAT "[0, 0], " 32767 sw_segments)
file(WRITE ${sw_generated_bad}/too_many_segments.json "{\"paths\": [{\"segments\": [${sw_segments}[0, 0]]}]}\n")
string(REPEAT "[" 1000000 sw_open)
string(REPEAT "]" 1000000 sw_close)
file(WRITE ${sw_generated_bad}/million_levels.json "${sw_open}${sw_close}\n")
unset(sw_segments)
unset(sw_open)
unset(sw_close)

file(GLOB sw_bad_scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/data/bad_scenarios/*.json)
list(APPEND sw_bad_scenarios ${sw_generated_bad}/too_many_segments.json ${sw_generated_bad}/million_levels.json)
foreach(scenario IN LISTS sw_bad_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  # Exit 2, one line on stderr naming the file, and no report: nothing ran.
  add_test(NAME runner.bad_scenario.${name}
           COMMAND ${CMAKE_COMMAND} -DCOMMAND=$<TARGET_FILE:slantwarper-host>
                   "-DARGS=${scenario}|--json|${sw_runner_work}/bad_${name}.json" -DEXPECT_EXIT=2
                   -DERROR_LINE=${scenario} -DABSENT=${sw_runner_work}/bad_${name}.json
                   -P ${sw_runner_checks}/run_and_check.cmake)
endforeach()

# The demo from a fresh directory: the plug-in found beside the runner, a
# clean run, a summary and out/demo.svg.
add_test(NAME runner.demo
         COMMAND ${CMAKE_COMMAND} -DCOMMAND=$<TARGET_FILE:slantwarper-host> "-DARGS=--json|demo.json"
                 -DWORKDIR=${sw_runner_work}/demo -DEXPECT_EXIT=0 -DCLEAN_REPORT=demo.json -DRESULTS_ZERO=1
                 "-DSTDOUT_HAS=What moved" "-DSTARTS_WITH=out/demo.svg|<?xml"
                 -P ${sw_runner_checks}/run_and_check.cmake)

add_test(NAME runner.plugin_missing
         COMMAND ${CMAKE_COMMAND} -DCOMMAND=$<TARGET_FILE:slantwarper-host>
                 "-DARGS=--plugin|${sw_runner_work}/no_such_plugin.so|--no-svg" -DEXPECT_EXIT=1
                 -DERROR_LINE=no_such_plugin.so -P ${sw_runner_checks}/run_and_check.cmake)
add_test(NAME runner.report_unwritable
         COMMAND ${CMAKE_COMMAND} -DCOMMAND=$<TARGET_FILE:slantwarper-host>
                 "-DARGS=${PROJECT_SOURCE_DIR}/scenarios/lifecycle.json|--json|/dev/null/report.json"
                 -DEXPECT_EXIT=1 -DERROR_LINE=/dev/null/report.json -P ${sw_runner_checks}/run_and_check.cmake)

# Every example scenario runs clean here (no violation, nothing left held;
# the results themselves, some of them injected failures, are checked by the
# tests in tests/plugin/ and tests/host/), and gives the same report from the Windows build under wine
# (its runner and its slantWarper.aip).
if(SW_WINDOWS_BUILD_DIR)
  set(sw_runner_windows_tree ${SW_WINDOWS_BUILD_DIR})
else()
  set(sw_runner_windows_tree ${PROJECT_SOURCE_DIR}/build/windows)
endif()
find_program(SW_WINE wine)
file(GLOB sw_example_scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scenarios/*.json)
foreach(scenario IN LISTS sw_example_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME runner.scenario.${name}
           COMMAND ${CMAKE_COMMAND} -DCOMMAND=$<TARGET_FILE:slantwarper-host> "-DARGS=${scenario}|--json|report.json"
                   -DWORKDIR=${sw_runner_work}/scenario_${name} -DEXPECT_EXIT=0 -DCLEAN_REPORT=report.json
                   -P ${sw_runner_checks}/run_and_check.cmake)
endforeach()
if(SW_WINE)
  foreach(scenario IN LISTS sw_example_scenarios ITEMS demo)
    get_filename_component(name ${scenario} NAME_WE)
    set(scenario_argument "")
    if(NOT scenario STREQUAL "demo")
      set(scenario_argument "-DSCENARIO=${scenario}")
    endif()
    add_test(NAME runner.cross.${name}
             COMMAND ${CMAKE_COMMAND} -DNATIVE=$<TARGET_FILE:slantwarper-host>
                     "-DWINDOWS=${SW_WINE}|${sw_runner_windows_tree}/host/slantwarper-host.exe"
                     -DPLUGIN=${sw_runner_windows_tree}/bridge/slantWarper.aip ${scenario_argument}
                     -DOUT=${sw_runner_work}/cross_${name} -P ${sw_runner_checks}/compare_reports.cmake)
    set_tests_properties(runner.cross.${name} PROPERTIES ENVIRONMENT WINEDEBUG=-all TIMEOUT 300
                                                         FIXTURES_REQUIRED sw_runner_wine_prefix)
  endforeach()
  # A wine prefix made by several programs starting at once can fail them
  # all; it is made once, before any cross test runs.
  add_test(NAME runner.wine_prefix COMMAND ${SW_WINE} wineboot --init)
  set_tests_properties(runner.wine_prefix PROPERTIES ENVIRONMENT WINEDEBUG=-all TIMEOUT 300
                                                     FIXTURES_SETUP sw_runner_wine_prefix)
endif()
