# What slantWarper.aip shows the Windows loader, resources linked in: one
# export, PluginMain, undecorated; imports only from KERNEL32, USER32 and
# msvcrt. Reads the Windows build tree; a missing library fails the test.
if(SW_WINDOWS_BUILD_DIR)
  set(sw_windows_tree ${SW_WINDOWS_BUILD_DIR})
else()
  set(sw_windows_tree ${PROJECT_SOURCE_DIR}/build/windows)
endif()

add_test(NAME pe_exports.plugin_main_only
         COMMAND ${SW_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_exports.py ${sw_windows_tree}/bridge/slantWarper.aip)
