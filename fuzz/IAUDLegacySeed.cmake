# Makes a hand-written seed of an audio harness with mkriff.
file(MAKE_DIRECTORY ${OUT})
execute_process(COMMAND ${MKRIFF} ${IN} ${OUT}/legacy.icb RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mkriff failed: ${status}")
endif()
