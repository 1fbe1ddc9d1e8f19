# Runs mklpf on a small folder and checks the pack it writes.
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/in/global/props/Door.lua "function Door() return CreateObject(nil) end")
file(WRITE ${WORK}/in/Top.lua "function Top() return CreateObject(nil) end")
file(WRITE ${WORK}/boot.lua "booted = 1")

execute_process(COMMAND ${MKLPF} --run ${WORK}/boot.lua ${WORK}/in ${WORK}/out.lpf
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mklpf failed (${status}): ${err}")
endif()
if(NOT out MATCHES "2 classes, 1 chunks")
  message(FATAL_ERROR "unexpected output: ${out} ${err}")
endif()
file(READ ${WORK}/out.lpf head LIMIT 6 HEX)
if(NOT head STREQUAL "fcfc01000200")
  message(FATAL_ERROR "not an extended pack header with two classes: ${head}")
endif()
file(READ ${WORK}/out.lpf all HEX)
# "Top" sorts before "global.props.Door"; the first class name follows the header.
if(NOT all MATCHES "^fcfc010002000400546f7000")
  message(FATAL_ERROR "first class entry is not Top: ${all}")
endif()
if(NOT all MATCHES "676c6f62616c2e70726f70732e446f6f7200")  # global.props.Door
  message(FATAL_ERROR "class name missing")
endif()
if(NOT all MATCHES "1b")  # precompiled chunks start with ESC
  message(FATAL_ERROR "chunks are not precompiled")
endif()

file(WRITE ${WORK}/bad/Broken.lua "function Broken( return end")
execute_process(COMMAND ${MKLPF} ${WORK}/bad ${WORK}/bad.lpf RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT err MATCHES "Broken")
  message(FATAL_ERROR "syntax error not reported: ${status} ${err}")
endif()
execute_process(COMMAND ${MKLPF} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "usage error not reported")
endif()
