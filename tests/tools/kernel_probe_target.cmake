# The kernel probe's executable, built from the kernel's own sources alone,
# for the native tests and for the Windows build alike.
add_executable(kernel_probe ${PROJECT_SOURCE_DIR}/tests/tools/kernel_probe.cpp ${PROJECT_SOURCE_DIR}/tool/geometry.cpp
                            ${PROJECT_SOURCE_DIR}/tool/float/float_math.cpp ${PROJECT_SOURCE_DIR}/tool/float/float_math_exact.cpp
                            ${PROJECT_SOURCE_DIR}/tool/kernel/segment_displacer.cpp
                            ${PROJECT_SOURCE_DIR}/tool/kernel/blocks_sse2.cpp
                            ${PROJECT_SOURCE_DIR}/tool/kernel/blocks_avx2.cpp
                            ${PROJECT_SOURCE_DIR}/tool/kernel/blocks_avx512.cpp
                            ${PROJECT_SOURCE_DIR}/tool/kernel/kernel_path.cpp)
target_include_directories(kernel_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(kernel_probe PRIVATE sw_warnings)
