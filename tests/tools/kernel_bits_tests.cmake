# The geometry kernel gives the same bits in the Linux and the Windows build,
# on every vector path of the segment kernel: the native probe and the Windows
# build's probe (run under wine), each with its own choice of path and with
# each path forced, must print byte-identical output. Build the Windows tree
# first; a missing Windows probe fails the test.
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
  set(ENV{WINEDEBUG} -all)
  # The probe with the path it picks itself, then with each path forced, in
  # both builds: every run must print the native default's bytes.
  set(reference ${OUTPUT_DIR}/kernel_probe.linux.txt)
  execute_process(COMMAND ${NATIVE_PROBE} OUTPUT_FILE ${reference} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "The native kernel probe failed: ${status}")
  endif()
  file(SIZE ${reference} reference_size)
  foreach(run IN ITEMS "windows" "linux sse2" "windows sse2" "linux avx2" "windows avx2" "linux avx512"
                       "windows avx512")
    separate_arguments(run_words UNIX_COMMAND "${run}")
    list(GET run_words 0 build)
    set(path "")
    list(LENGTH run_words words)
    if(words GREATER 1)
      list(GET run_words 1 path)
    endif()
    if(build STREQUAL "linux")
      set(command ${NATIVE_PROBE} ${path})
    else()
      set(command ${WINE} ${WINDOWS_PROBE} ${path})
    endif()
    string(REPLACE " " "." output_name "kernel_probe.${run}.txt")
    set(output ${OUTPUT_DIR}/${output_name})
    execute_process(COMMAND ${command} OUTPUT_FILE ${output} ERROR_VARIABLE errors RESULT_VARIABLE status)
    if(status EQUAL 77)
      message(STATUS "${run}: not available on this machine (${errors})")
      continue()
    endif()
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "The kernel probe (${run}) failed: ${status}\n${errors}")
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${reference} ${output} RESULT_VARIABLE differ)
    if(differ)
      file(SIZE ${output} size)
      execute_process(COMMAND diff ${reference} ${output} COMMAND head -n 20 OUTPUT_VARIABLE first_lines)
      message(FATAL_ERROR "The kernel's results of ${run} differ from the Linux build's own choice "
                          "(${reference_size} and ${size} bytes; < Linux, > ${run}):\n${first_lines}")
    endif()
    message(STATUS "${run}: identical (${reference_size} bytes)")
  endforeach()
  return()
endif()

include(${PROJECT_SOURCE_DIR}/tests/tools/kernel_probe_target.cmake)

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
