# Runs mkriff on a small description and checks every byte it writes.
file(REMOVE_RECURSE ${WORK})
file(WRITE ${WORK}/blob.bin "xyz")
file(WRITE ${WORK}/in.txt [=[
# a bank with one list
RIFF icbf
  chunk titl text "A\u00e9"       # zero-terminated: 6 bytes
  LIST tran
    chunk tnst u32 1 f32 2.0 u8 7*3 u16 0x102
    chunk name text:3 "ab"
    chunk blob file blob.bin      # odd: pad byte
    chunk bad! size=99 fourcc ab
  end
end
]=])
execute_process(COMMAND ${MKRIFF} ${WORK}/in.txt ${WORK}/out.riff
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mkriff failed (${status}): ${err}")
endif()
file(READ ${WORK}/out.riff all HEX)
set(expect
  "52494646" "5a000000" "69636266"                     # RIFF, size 90, icbf
  "7469746c" "06000000" "4100e9000000"                 # titl "A\u00e9"
  "4c495354" "40000000" "7472616e"                     # LIST, size 64, tran
  "746e7374" "0d000000" "01000000" "00000040" "070707" "0201" "00"  # 13 bytes + pad
  "6e616d65" "06000000" "610062000000"                 # text:3
  "626c6f62" "03000000" "78797a" "00"                  # file bytes + pad
  "62616421" "63000000" "61622020")                    # forced size 99
string(REPLACE ";" "" expect "${expect}")
if(NOT all STREQUAL expect)
  message(FATAL_ERROR "unexpected bytes:\n${all}\nexpected:\n${expect}")
endif()

file(WRITE ${WORK}/bad.txt "LIST x\nchunk abcd u8 256\nend\n")
execute_process(COMMAND ${MKRIFF} ${WORK}/bad.txt ${WORK}/bad.riff RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 1 OR NOT err MATCHES "line 2")
  message(FATAL_ERROR "out-of-range field not reported: ${err}")
endif()
file(WRITE ${WORK}/open.txt "RIFF x\n")
execute_process(COMMAND ${MKRIFF} ${WORK}/open.txt ${WORK}/open.riff RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "unclosed list not reported")
endif()
execute_process(COMMAND ${MKRIFF} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(NOT status EQUAL 2)
  message(FATAL_ERROR "usage error not reported")
endif()
file(REMOVE_RECURSE ${WORK})
