# Runs one scenario (or, without SCENARIO, the demo) with the Linux runner
# and with the Windows runner under wine, and requires the same exit status
# and byte-identical reports. Used with cmake -P:
#   NATIVE     the Linux runner
#   WINDOWS    the Windows runner with its emulator ("|"-separated)
#   PLUGIN     the Windows plug-in library
#   SCENARIO   the scenario file (optional)
#   OUT        a directory for the two reports
cmake_minimum_required(VERSION 3.25)

string(REPLACE "|" ";" windows "${WINDOWS}")
list(GET windows -1 windows_program)
foreach(needed "${windows_program}" "${PLUGIN}")
  if(NOT EXISTS "${needed}")
    message(FATAL_ERROR "${needed} is missing: build the windows preset into that tree first")
  endif()
endforeach()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND "${NATIVE}" ${SCENARIO} --json native.json --no-svg
                WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE native_status
                OUTPUT_VARIABLE native_out ERROR_VARIABLE native_err)
execute_process(COMMAND ${windows} ${SCENARIO} --plugin "${PLUGIN}" --json windows.json --no-svg
                WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE windows_status
                OUTPUT_VARIABLE windows_out ERROR_VARIABLE windows_err)

if(NOT native_status STREQUAL windows_status)
  message(FATAL_ERROR "exit status ${native_status} on Linux, ${windows_status} on Windows\n"
                      "--- Linux stderr:\n${native_err}--- Windows stderr:\n${windows_err}")
endif()
if(NOT native_status EQUAL 0)
  message(FATAL_ERROR "both runs ended with status ${native_status}\n--- stderr:\n${native_err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUT}/native.json" "${OUT}/windows.json"
                RESULT_VARIABLE differ)
if(differ)
  find_program(DIFF diff)
  if(DIFF)
    execute_process(COMMAND "${DIFF}" -u native.json windows.json WORKING_DIRECTORY "${OUT}" OUTPUT_VARIABLE difference)
    string(SUBSTRING "${difference}" 0 4000 difference)
  endif()
  message(FATAL_ERROR "the Linux and Windows reports differ (kept in ${OUT})\n${difference}")
endif()
