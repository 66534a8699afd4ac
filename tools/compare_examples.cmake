# SPDX-License-Identifier: GPL-2.0-or-later
# Makes the examples afresh into WORK and compares them with those in EXAMPLES.
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${TOOL}" "${WORK}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed (${status})")
endif()
# Each example is a profile and its BIOS image.
set(made)
foreach(example geforce2-gts geforce2-mx-locked geforce4-ti-13500)
  list(APPEND made ${example}.json ${example}.rom)
endforeach()
foreach(name IN LISTS made)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK}/${name}" "${EXAMPLES}/${name}"
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "examples/${name} differs from what the tool makes; "
                        "run: cmake --build build --target examples")
  endif()
endforeach()
