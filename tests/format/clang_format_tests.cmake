# The layout of every C++ file, checked with clang-format.
find_program(SW_CLANG_FORMAT clang-format)
if(SW_CLANG_FORMAT)
  add_test(NAME format.clang_format
           COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DCLANG_FORMAT=${SW_CLANG_FORMAT}
                   -P ${CMAKE_CURRENT_LIST_DIR}/check_clang_format.cmake)
else()
  message(WARNING "clang-format not found: the layout check is not run")
endif()
