# The geometry kernel gives the same bits in the Linux and the Windows build:
# the native probe and the Windows build's probe (run under wine) must print
# byte-identical output. Build the Windows tree first; a missing Windows probe
# fails the test.
#
# Run with `cmake -P` this file is the comparison itself; included from
# tests/CMakeLists.txt it declares the probe and the test.
if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT EXISTS "${WINDOWS_PROBE}")
    message(FATAL_ERROR "The Windows kernel probe ${WINDOWS_PROBE} does not exist: build the Windows tree "
                        "(cmake --preset windows -B <dir> && cmake --build <dir>) and configure this tree with "
                        "-DSW_WINDOWS_BUILD_DIR=<dir>.")
  endif()
  if(NOT WINE)
    message(FATAL_ERROR "wine was not found; it runs the Windows kernel probe.")
  endif()
  set(native_output ${OUTPUT_DIR}/kernel_probe.linux.txt)
  set(windows_output ${OUTPUT_DIR}/kernel_probe.windows.txt)
  execute_process(COMMAND ${NATIVE_PROBE} OUTPUT_FILE ${native_output} RESULT_VARIABLE native_status)
  if(NOT native_status EQUAL 0)
    message(FATAL_ERROR "The native kernel probe failed: ${native_status}")
  endif()
  set(ENV{WINEDEBUG} -all)
  execute_process(COMMAND ${WINE} ${WINDOWS_PROBE} OUTPUT_FILE ${windows_output} ERROR_VARIABLE wine_errors
                  RESULT_VARIABLE windows_status)
  if(NOT windows_status EQUAL 0)
    message(FATAL_ERROR "The Windows kernel probe failed under wine: ${windows_status}\n${wine_errors}")
  endif()
  file(SIZE ${native_output} native_size)
  file(SIZE ${windows_output} windows_size)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${native_output} ${windows_output}
                  RESULT_VARIABLE differ)
  if(differ)
    execute_process(COMMAND diff ${native_output} ${windows_output} COMMAND head -n 20 OUTPUT_VARIABLE first_lines)
    message(FATAL_ERROR "The kernel's results differ between the Linux and the Windows build "
                        "(${native_size} and ${windows_size} bytes; < Linux, > Windows):\n${first_lines}")
  endif()
  message(STATUS "Linux and Windows kernel results are identical (${native_size} bytes)")
  return()
endif()

add_executable(kernel_probe ${PROJECT_SOURCE_DIR}/tests/tools/kernel_probe.cpp ${PROJECT_SOURCE_DIR}/tool/geometry.cpp
                            ${PROJECT_SOURCE_DIR}/tool/float_math.cpp
                            ${PROJECT_SOURCE_DIR}/tool/segment_displacer.cpp)
target_include_directories(kernel_probe PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(kernel_probe PRIVATE sw_warnings)

if(SW_WINDOWS_BUILD_DIR)
  set(sw_kernel_windows_tree ${SW_WINDOWS_BUILD_DIR})
else()
  set(sw_kernel_windows_tree ${PROJECT_SOURCE_DIR}/build/windows)
endif()
find_program(SW_WINE wine)
add_test(NAME kernel.bits_match_windows
         COMMAND ${CMAKE_COMMAND} -DNATIVE_PROBE=$<TARGET_FILE:kernel_probe>
                 -DWINDOWS_PROBE=${sw_kernel_windows_tree}/tests/kernel_probe.exe -DWINE=${SW_WINE}
                 -DOUTPUT_DIR=${CMAKE_CURRENT_BINARY_DIR} -P ${CMAKE_CURRENT_LIST_FILE})
set_tests_properties(kernel.bits_match_windows PROPERTIES TIMEOUT 300)
