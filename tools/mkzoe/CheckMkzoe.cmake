# Makes the logo movie from the project's picture, and a two-frame movie with
# a sound track of raw PCM, and checks their headers and indexes.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
get_filename_component(HERE ${CMAKE_SCRIPT_MODE_FILE} DIRECTORY)

execute_process(COMMAND ${MKZOE} -r 10 -pad 14848 ${WORK}/logo.zoe ${HERE}/LogoPicture.tga
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "1 frames, 0 tracks, 14848 bytes")
  message(FATAL_ERROR "mkzoe failed on the logo (${status}): ${out} ${err}")
endif()
file(READ ${WORK}/logo.zoe logo HEX)
# "ZOEi", size - 8, 1 frame, largest frame, 1 index frame, 224 x 252, 10/1,
# no flags, no tracks, index 53 and 14848.
string(SUBSTRING "${logo}" 0 104 head)
if(NOT head STREQUAL "5a4f4569f839000001000000cc39000001000000e0000000fc0000000a00000001000000000000000000000035000000003a0000")
  message(FATAL_ERROR "unexpected logo header: ${head}")
endif()
# The video library compiles in exactly these bytes.
file(READ ${HERE}/../../Source/CommonLibs/NonTW/Zoet/ZoeLogo.cpp source)
string(REGEX MATCHALL "0x[0-9a-f][0-9a-f]" compiled "${source}")
string(REPLACE ";" "" compiled "${compiled}")
string(REPLACE "0x" "" compiled "${compiled}")
if(NOT compiled STREQUAL logo)
  message(FATAL_ERROR "the library's logo (ZoeLogo.cpp) is not what mkzoe makes from LogoPicture.tga")
endif()

# Sound: 16-bit samples from text (no zero bytes), mono 8000 Hz, id 3.
string(REPEAT "AbCdEfGhIjKlMnOp" 600 pcm)
file(WRITE ${WORK}/sound.raw "${pcm}")
execute_process(COMMAND ${MKZOE} -r 5/1 -k 1 -raw 3 8000 1 ${WORK}/sound.raw ${WORK}/two.zoe
                ${HERE}/LogoPicture.tga ${HERE}/LogoPicture.tga
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT out MATCHES "2 frames, 1 tracks")
  message(FATAL_ERROR "mkzoe failed on the sound movie (${status}): ${out} ${err}")
endif()
file(READ ${WORK}/two.zoe two HEX)
# One track: its largest packet, its word (8000 Hz, Fourier, 16-bit), id 3.
string(SUBSTRING "${two}" 80 8 tracks)
string(SUBSTRING "${two}" 96 16 wordAndId)
if(NOT tracks STREQUAL "01000000" OR NOT wordAndId STREQUAL "401f00c003000000")
  message(FATAL_ERROR "unexpected track table: ${two}")
endif()

# Refusals: no pictures, a missing picture, padding below the movie's size.
foreach(bad "out.zoe" "out.zoe;${WORK}/missing.tga" "-pad;100;out.zoe;${HERE}/LogoPicture.tga")
  execute_process(COMMAND ${MKZOE} ${bad} RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET WORKING_DIRECTORY ${WORK})
  if(status EQUAL 0)
    message(FATAL_ERROR "mkzoe accepted ${bad}")
  endif()
endforeach()
