# The Windows build gives the same bytes from any checkout of a commit, in any
# folder, at any time, so that anyone can rebuild a published slantWarper.aip
# and compare.
#
# - No folder of the machine in any object: the checkout is named ".", the
#   build tree "build" (debug information, and __FILE__ where it is used).
#   Where the build tree lies inside the checkout both maps match; GCC takes
#   the one given last, the build tree's.
# - The time stamps of the PE header and of the export directory are
#   SOURCE_DATE_EPOCH: from the environment when set, otherwise the time of
#   the checkout's last commit (0 outside a git checkout). The linker reads
#   it from its environment and computes the PE checksum over the stamped
#   file, so the checksum follows.

add_compile_options("-ffile-prefix-map=${PROJECT_SOURCE_DIR}=." "-ffile-prefix-map=${PROJECT_BINARY_DIR}=build")

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(SW_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  set(SW_SOURCE_DATE_EPOCH "")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE SW_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_status ERROR_QUIET)
    if(NOT git_status EQUAL 0)
      set(SW_SOURCE_DATE_EPOCH "")
    endif()
    # A new commit or checkout moves HEAD's log: configure again, so the
    # stamps follow the commit.
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} rev-parse --path-format=absolute
                            --git-path logs/HEAD
                    OUTPUT_VARIABLE head_log OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(head_log AND EXISTS "${head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${head_log}")
    endif()
  endif()
  if(SW_SOURCE_DATE_EPOCH STREQUAL "")
    message(STATUS "No SOURCE_DATE_EPOCH and no git history: the Windows build's time stamps are 0")
    set(SW_SOURCE_DATE_EPOCH 0)
  endif()
endif()
if(NOT SW_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a count of seconds, not \"${SW_SOURCE_DATE_EPOCH}\"")
endif()

set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${SW_SOURCE_DATE_EPOCH})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${SW_SOURCE_DATE_EPOCH})
