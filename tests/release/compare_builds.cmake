# Two builds of the plug-in, from two folders at two times, must be the same
# file byte for byte. Used with cmake -P:
#   FIRST, SECOND   the two slantWarper.aip files
cmake_minimum_required(VERSION 3.25)

foreach(file IN ITEMS "${FIRST}" "${SECOND}")
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "${file} is missing: build the windows preset and make the release (scripts/release.sh) first")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${FIRST}" "${SECOND}" RESULT_VARIABLE differ)
if(differ)
  file(SIZE "${FIRST}" first_size)
  file(SIZE "${SECOND}" second_size)
  execute_process(COMMAND cmp -l "${FIRST}" "${SECOND}" COMMAND head -n 12 OUTPUT_VARIABLE first_bytes)
  message(FATAL_ERROR "The two builds differ (${first_size} and ${second_size} bytes):\n${FIRST}\n${SECOND}\n"
                      "first differing bytes (offset from 1, octal values):\n${first_bytes}")
endif()
message(STATUS "identical: ${FIRST} and ${SECOND}")
