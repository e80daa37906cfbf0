# The Windows build's resources, checked from the native test run: parsed
# from the PE file with pefile, and read back through the Windows API by the
# Windows build's resource probe under wine. Build the windows preset first;
# missing artifacts fail these tests.
if(SW_WINDOWS_BUILD_DIR)
  set(sw_windows_tree ${SW_WINDOWS_BUILD_DIR})
else()
  set(sw_windows_tree ${PROJECT_SOURCE_DIR}/build/windows)
endif()
set(sw_windows_aip ${sw_windows_tree}/bridge/slantWarper.aip)

add_test(NAME resources.pe_layout
         COMMAND ${SW_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_resources.py ${sw_windows_aip})
add_test(NAME resources.windows_api
         COMMAND ${SW_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/run_under_wine.py
                 ${sw_windows_tree}/tests/resource_probe.exe ${sw_windows_aip})
set_tests_properties(resources.windows_api PROPERTIES TIMEOUT 300)
