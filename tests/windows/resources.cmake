# The resource probe reads slantWarper.aip's resources back through the
# Windows API. The native tests run it under wine from this build tree
# (tests/resource_probe.exe); this build's own tests run it, and the PE
# checks, on the library just built.
add_executable(resource_probe ${CMAKE_CURRENT_LIST_DIR}/resource_probe.cpp)
target_include_directories(resource_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(resource_probe PRIVATE sw_warnings version user32 gdi32)
# Self-contained, so wine needs no MinGW runtime DLLs next to it.
target_link_options(resource_probe PRIVATE -static -static-libgcc -static-libstdc++)

add_test(NAME windows.resources_api COMMAND resource_probe $<TARGET_FILE:slantWarper>)
add_test(NAME windows.resources_pe
         COMMAND ${SW_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_resources.py $<TARGET_FILE:slantWarper>)
add_test(NAME windows.pe_exports
         COMMAND ${SW_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pe/check_exports.py $<TARGET_FILE:slantWarper>)
set_tests_properties(windows.resources_api windows.resources_pe windows.pe_exports
                     PROPERTIES ENVIRONMENT WINEDEBUG=-all TIMEOUT 300)
