# Runs mkplb on a small description and checks the scene file it writes.
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/room.txt "# a room with a chair
texture walls.tga
texture floor.tga 1 0
domain Room -1 -1 -1 1 1 1
  mesh Walls
    frag 0
    mesh Window 0 1 0
    end
  end
  place Chair global.props.Chair 1 -1 2 0 0
  vars speed = 2
  ref other.plb
  domain Attic
  end
end
")
execute_process(COMMAND ${MKPLB} ${WORK}/room.txt ${WORK}/room.plb
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mkplb failed (${status}): ${err}")
endif()
file(READ ${WORK}/room.plb head LIMIT 16 HEX)
# "PROV", version 318, flags 0, two textures.
if(NOT head STREQUAL "50524f563e0100000000000002000000")
  message(FATAL_ERROR "unexpected scene header: ${head}")
endif()
file(READ ${WORK}/room.plb all HEX)
foreach(tag 4853454d 54414445 50524353 46525452)
  if(NOT all MATCHES ${tag})
    message(FATAL_ERROR "tag ${tag} missing")
  endif()
endforeach()
if(NOT all MATCHES "6f746865722e706c6200")  # other.plb
  message(FATAL_ERROR "runtime reference missing")
endif()

file(WRITE ${WORK}/bad.txt "mesh Loose\n")
execute_process(COMMAND ${MKPLB} ${WORK}/bad.txt ${WORK}/bad.plb RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT err MATCHES "line 1: mesh outside a domain")
  message(FATAL_ERROR "bad description not reported: ${status} ${err}")
endif()
execute_process(COMMAND ${MKPLB} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "usage error not reported")
endif()
file(REMOVE_RECURSE ${WORK})
