# The release scripts/release.sh made, checked from the native test run: the
# archives and checksums in dist/, the released slantWarper.aip against the
# library it was stripped from (build/release/windows) and against every
# check the built one passes (one export, its imports, its resources through
# pefile and through the Windows API, the reference scenarios under wine
# with the native reports), and the plug-in built a second time, from a
# copy of the checkout in another folder, the same file as the Windows
# tree's. Make the release first; a missing file fails these tests.
if(SW_WINDOWS_BUILD_DIR)
  set(sw_windows_tree ${SW_WINDOWS_BUILD_DIR})
else()
  set(sw_windows_tree ${PROJECT_SOURCE_DIR}/build/windows)
endif()
set(SW_RELEASE_DIR ${PROJECT_SOURCE_DIR}/dist CACHE PATH "The release the release tests check (scripts/release.sh)")
set(sw_release_work ${PROJECT_SOURCE_DIR}/build/release)

file(STRINGS ${PROJECT_SOURCE_DIR}/about/about_text.h sw_version_line REGEX "^#define SW_VERSION_TEXT \"")
string(REGEX REPLACE "^#define SW_VERSION_TEXT \"([^\"]*)\".*" "\\1" sw_version "${sw_version_line}")
set(sw_release_plugin slantWarper-${sw_version}-win32)
set(sw_release_unpacked ${CMAKE_CURRENT_BINARY_DIR}/release)
set(sw_released_aip ${sw_release_unpacked}/${sw_release_plugin}/slantWarper.aip)
set(sw_release_built ${sw_release_work}/windows/bridge/slantWarper.aip)
set(sw_release_checks ${PROJECT_SOURCE_DIR}/tests/release)
set(sw_pe_checks ${PROJECT_SOURCE_DIR}/tests/pe)

add_test(NAME release.dist
         COMMAND ${SW_PYTHON} ${sw_release_checks}/check_dist.py ${SW_RELEASE_DIR} ${sw_release_work} ${sw_version}
                 ${PROJECT_SOURCE_DIR} ${sw_release_work})
add_test(NAME release.plugin_reproducible
         COMMAND ${CMAKE_COMMAND} -DFIRST=${sw_windows_tree}/bridge/slantWarper.aip -DSECOND=${sw_release_built}
                 -P ${sw_release_checks}/compare_builds.cmake)

add_test(NAME release.unpack
         COMMAND ${CMAKE_COMMAND} -DARCHIVE=${SW_RELEASE_DIR}/${sw_release_plugin}.zip -DOUT=${sw_release_unpacked}
                 -P ${sw_release_checks}/unpack.cmake)
set_tests_properties(release.unpack PROPERTIES FIXTURES_SETUP sw_release_unpacked)
add_test(NAME release.stripped
         COMMAND ${SW_PYTHON} ${sw_pe_checks}/check_release.py ${sw_release_built} ${sw_released_aip}
                 ${SW_RELEASE_DIR}/slantWarper.aip.debug ${PROJECT_SOURCE_DIR} ${sw_release_work})
add_test(NAME release.exports COMMAND ${SW_PYTHON} ${sw_pe_checks}/check_exports.py ${sw_released_aip})
add_test(NAME release.resources COMMAND ${SW_PYTHON} ${sw_pe_checks}/check_resources.py ${sw_released_aip})
add_test(NAME release.resources_windows_api
         COMMAND ${SW_PYTHON} ${sw_pe_checks}/run_under_wine.py ${sw_windows_tree}/tests/resource_probe.exe
                 ${sw_released_aip})
set_tests_properties(release.stripped release.exports release.resources release.resources_windows_api
                     PROPERTIES FIXTURES_REQUIRED sw_release_unpacked)
set_tests_properties(release.resources_windows_api PROPERTIES TIMEOUT 300)

# The reference scenarios through the Windows runner and the released
# library under wine: the native runner's reports, byte for byte.
find_program(SW_WINE wine)
file(GLOB sw_reference_scenarios CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scenarios/reference_*.json)
foreach(scenario IN LISTS sw_reference_scenarios)
  get_filename_component(name ${scenario} NAME_WE)
  add_test(NAME release.cross.${name}
           COMMAND ${CMAKE_COMMAND} -DNATIVE=$<TARGET_FILE:slantwarper-host>
                   "-DWINDOWS=${SW_WINE}|${sw_windows_tree}/host/slantwarper-host.exe" -DPLUGIN=${sw_released_aip}
                   -DSCENARIO=${scenario} -DOUT=${CMAKE_CURRENT_BINARY_DIR}/release_cross_${name}
                   -P ${PROJECT_SOURCE_DIR}/tests/runner/compare_reports.cmake)
  set_tests_properties(release.cross.${name} PROPERTIES ENVIRONMENT WINEDEBUG=-all TIMEOUT 300
                                                        FIXTURES_REQUIRED "sw_release_unpacked;sw_runner_wine_prefix")
endforeach()
