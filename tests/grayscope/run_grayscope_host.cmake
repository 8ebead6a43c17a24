# Runs the grayscope host program without a display: --help on standard
# output with status 0, --version with the project version, and a wrong
# argument named on standard error with status 2 -- none of them opens a
# window.
function(run expected_status)
  execute_process(COMMAND ${PROGRAM} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err
                  TIMEOUT 30)
  if(NOT status STREQUAL "${expected_status}")
    message(FATAL_ERROR "grayscope ${ARGN}: status ${status}, expected ${expected_status}\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

run(0 --help)
if(NOT out MATCHES "^usage: grayscope \\[options\\] \\[WIDTHxHEIGHT\\] \\[MASK\\]" OR NOT out MATCHES "--bpm DIR"
   OR NOT err STREQUAL "")
  message(FATAL_ERROR "--help printed:\n${out}\nand on standard error:\n${err}")
endif()
run(0 --version)
if(NOT out STREQUAL "grayscope ${VERSION}\n")
  message(FATAL_ERROR "--version printed '${out}', expected 'grayscope ${VERSION}'")
endif()
run(2 910x688 --frobnicate)
if(NOT err MATCHES "^grayscope: unknown option --frobnicate\n" OR NOT out STREQUAL "")
  message(FATAL_ERROR "a wrong option gave:\n${err}")
endif()
run(2 12x3z)
if(NOT err MATCHES "^grayscope: invalid frame size 12x3z ")
  message(FATAL_ERROR "a size that does not parse gave:\n${err}")
endif()
