# Runs slantwarper-host on a hostile but well-formed scenario and requires a
# clean run. Used with cmake -P:
#   COMMAND   the program
#   SCENARIO  the scenario file
#   REPORT    where to write the report (optional: without it, exit status 0
#             alone says that no host contract was broken)
# A clean run: exit status 0, nothing on stderr, and in the report no broken
# contract, no live block, string or matching-art answer, no globals held and
# no suite held more than once (the startup nesting).
cmake_minimum_required(VERSION 3.25)

set(arguments "${SCENARIO}")
if(REPORT)
  list(APPEND arguments --json "${REPORT}")
  file(REMOVE "${REPORT}")
endif()
execute_process(COMMAND "${COMMAND}" ${arguments} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)

set(problems "")
if(NOT status EQUAL 0)
  string(APPEND problems "exit status ${status}, expected 0\n")
endif()
if(NOT err STREQUAL "")
  string(APPEND problems "stderr is not empty\n")
endif()
if(REPORT AND status EQUAL 0)
  file(READ "${REPORT}" report)
  string(JSON violations LENGTH "${report}" violations)
  foreach(field liveBlocks liveStrings liveMatchingArt)
    string(JSON value GET "${report}" ${field})
    if(NOT value EQUAL 0)
      string(APPEND problems "${field} is ${value}\n")
    endif()
  endforeach()
  string(JSON globals GET "${report}" pluginGlobals)
  if(NOT violations EQUAL 0 OR globals)
    string(APPEND problems "violations ${violations}, globals held ${globals}\n")
  endif()
  string(JSON suites LENGTH "${report}" heldSuites)
  math(EXPR last "${suites} - 1")
  foreach(index RANGE ${last})
    string(JSON suite MEMBER "${report}" heldSuites ${index})
    string(JSON held GET "${report}" heldSuites "${suite}")
    if(held GREATER 1 OR held LESS 0)
      string(APPEND problems "${suite} held ${held} times\n")
    endif()
  endforeach()
endif()

if(problems)
  message(FATAL_ERROR "${COMMAND} ${arguments}\n${problems}--- stdout:\n${out}--- stderr:\n${err}")
endif()
