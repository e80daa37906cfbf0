# The resource probe reads slantWarper.aip's resources back through the
# Windows API. The native tests run it under wine from this build tree
# (tests/resource_probe.exe), next to the PE checks of the same library.
add_executable(resource_probe ${CMAKE_CURRENT_LIST_DIR}/resource_probe.cpp)
target_include_directories(resource_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(resource_probe PRIVATE sw_warnings version user32 gdi32)
# Self-contained, so wine needs no MinGW runtime DLLs next to it.
target_link_options(resource_probe PRIVATE -static -static-libgcc -static-libstdc++)
