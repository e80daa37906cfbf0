# Unpacks a release archive into an emptied folder, so that nothing of an
# earlier release stays behind. Used with cmake -P:
#   ARCHIVE   the zip archive
#   OUT       the folder to unpack into
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${ARCHIVE}")
  message(FATAL_ERROR "${ARCHIVE} is missing: make the release first (scripts/release.sh)")
endif()
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf "${ARCHIVE}" WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${ARCHIVE} does not unpack: ${status}")
endif()
