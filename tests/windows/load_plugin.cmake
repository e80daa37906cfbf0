# The DLL loads under Windows (wine) and exports its entry point.
add_executable(load_plugin ${CMAKE_CURRENT_LIST_DIR}/load_plugin.cpp)
target_link_libraries(load_plugin PRIVATE sw_warnings)
target_link_options(load_plugin PRIVATE -static)
add_test(NAME windows.load_plugin COMMAND load_plugin $<TARGET_FILE:slantWarper>)
