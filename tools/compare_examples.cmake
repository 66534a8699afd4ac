# SPDX-License-Identifier: GPL-2.0-or-later
# Makes the examples afresh into WORK and compares them with those in EXAMPLES.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${TOOL}" "${WORK}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed (${status})")
endif()
file(GLOB made RELATIVE "${WORK}" "${WORK}/*")
file(GLOB kept RELATIVE "${EXAMPLES}" "${EXAMPLES}/*.json" "${EXAMPLES}/*.rom")
list(SORT made)
list(SORT kept)
if(NOT made STREQUAL kept)
  message(FATAL_ERROR "examples/ holds ${kept}, the tool makes ${made}; "
                      "run: cmake --build build --target examples")
endif()
foreach(name IN LISTS made)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/${name}" "${EXAMPLES}/${name}"
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "examples/${name} differs from what the tool makes; "
                        "run: cmake --build build --target examples")
  endif()
endforeach()
