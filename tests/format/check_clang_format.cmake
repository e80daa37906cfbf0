# Every C++ file of the project is laid out as .clang-format says. Used with
# cmake -P: SOURCE_DIR the project, CLANG_FORMAT the program.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE sources LIST_DIRECTORIES false RELATIVE "${SOURCE_DIR}"
     "${SOURCE_DIR}/about/*.cpp" "${SOURCE_DIR}/about/*.h" "${SOURCE_DIR}/bench/*.cpp" "${SOURCE_DIR}/bench/*.h"
     "${SOURCE_DIR}/bridge/*.cpp" "${SOURCE_DIR}/bridge/*.h" "${SOURCE_DIR}/host/*.cpp" "${SOURCE_DIR}/host/*.h"
     "${SOURCE_DIR}/tests/*.cpp" "${SOURCE_DIR}/tests/*.h" "${SOURCE_DIR}/tool/*.cpp" "${SOURCE_DIR}/tool/*.h"
     "${SOURCE_DIR}/web/wasm/*.cpp" "${SOURCE_DIR}/web/wasm/*.h")
set(unformatted "")
foreach(source IN LISTS sources)
  execute_process(COMMAND "${CLANG_FORMAT}" --dry-run -Werror "${source}" WORKING_DIRECTORY "${SOURCE_DIR}"
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
  if(NOT status EQUAL 0)
    string(APPEND unformatted "  ${source}\n")
  endif()
endforeach()
if(unformatted)
  message(FATAL_ERROR "not laid out as .clang-format says (run clang-format -i on them):\n${unformatted}")
endif()
