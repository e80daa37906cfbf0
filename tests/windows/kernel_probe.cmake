# The geometry kernel's probe for Windows: the native tests run it under wine
# (tests/kernel_probe.exe in this tree) and compare its output with the
# native probe's. Only the kernel's own sources, and self-contained, so wine
# needs no MinGW runtime DLLs next to it.
include(${PROJECT_SOURCE_DIR}/tests/tools/kernel_probe_target.cmake)
target_link_options(kernel_probe PRIVATE -static -static-libgcc -static-libstdc++)
