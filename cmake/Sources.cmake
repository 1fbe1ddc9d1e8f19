# Every folder under Source/ compiles into one static engine library; the
# folders call each other in cycles, so they cannot be separate libraries.
# The program entry (UnixMain.cpp) holds `main` and is compiled only into
# the executable and into its own tests.

set(QUILLOMAR_ENTRY ${PROJECT_SOURCE_DIR}/Source/game/luatest/UnixMain/UnixMain.cpp)

file(GLOB_RECURSE ENGINE_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/Source/*.cpp ${PROJECT_SOURCE_DIR}/Source/*.c)
list(FILTER ENGINE_SOURCES EXCLUDE REGEX "/tests/")
list(REMOVE_ITEM ENGINE_SOURCES ${QUILLOMAR_ENTRY})

add_library(quillomar_engine STATIC ${ENGINE_SOURCES})
quillomar_unity_batches(quillomar_engine ${QUILLOMAR_UNITY_BATCH} ${ENGINE_SOURCES})
target_include_directories(quillomar_engine PUBLIC
  ${PROJECT_SOURCE_DIR}/Source
  ${PROJECT_SOURCE_DIR}/Source/CommonLibs
  ${PROJECT_SOURCE_DIR}/Source/game/luatest
  ${MOJOSHADER_INCLUDE_DIR})
target_link_libraries(quillomar_engine PUBLIC
  PkgConfig::SDL PkgConfig::OPENAL PkgConfig::VORBISFILE
  ${MOJOSHADER_LIBRARY} Threads::Threads ${CMAKE_DL_LIBS} m)

# Programs that run the engine take every object of the library: script
# natives register themselves from static objects in files nothing else
# refers to, and a plain static link would leave those files out. Every
# program and helper library links it this way (CMake refuses one library
# linked both whole and plain into one program).
set(QUILLOMAR_ENGINE_WHOLE "$<LINK_LIBRARY:WHOLE_ARCHIVE,quillomar_engine>")

# Writers that tests, tools and fuzz seeds share are small libraries that use
# the engine's headers; the programs that take them link the engine
# themselves (linked through both, its objects would come twice).
function(quillomar_engine_headers target)
  target_include_directories(${target} PUBLIC $<TARGET_PROPERTY:quillomar_engine,INTERFACE_INCLUDE_DIRECTORIES>)
  target_link_libraries(${target} PUBLIC PkgConfig::SDL PkgConfig::OPENAL)
endfunction()

# The interpreter tests' chunk writer serves the tools, fuzz harnesses and
# benchmarks that write compiled chunks: compiled once for all of them.
add_library(quillomar_chunk_writer STATIC ${PROJECT_SOURCE_DIR}/Source/Lua/tests/ChunkWriter.cpp)
target_include_directories(quillomar_chunk_writer PUBLIC
  ${PROJECT_SOURCE_DIR}/Source/Lua ${PROJECT_SOURCE_DIR}/Source/Lua/tests)
quillomar_engine_headers(quillomar_chunk_writer)

set(SANITIZER_SUPPORT "")
if(QUILLOMAR_ASAN)
  set(SANITIZER_SUPPORT ${PROJECT_SOURCE_DIR}/cmake/AsanKeepDriver.cpp)
endif()

add_executable(quillomar ${QUILLOMAR_ENTRY} ${SANITIZER_SUPPORT})
target_link_libraries(quillomar PRIVATE ${QUILLOMAR_ENGINE_WHOLE})

# Tests: one executable per folder that has a tests/ subfolder.
enable_testing()
set(QUILLOMAR_TESTS_PER_SHARD 30 CACHE STRING "Tests of one program run in one process")

# Test programs share one precompiled header of GoogleTest and the engine
# headers most tests include; it is compiled once, in a target of its own
# with the same flags as the test programs.
# Test code is compiled without optimisation: it is mostly assertions, which
# are slow to optimise and quick to run; the engine it drives is optimised.
set(QUILLOMAR_TEST_OPT -O0)
add_library(quillomar_test_pch OBJECT ${PROJECT_SOURCE_DIR}/cmake/TestPch.cpp)
target_compile_options(quillomar_test_pch PRIVATE ${QUILLOMAR_TEST_OPT})
target_link_libraries(quillomar_test_pch PRIVATE quillomar_engine GTest::gmock GTest::gtest)
target_compile_definitions(quillomar_test_pch PRIVATE
  QUILLOMAR_EXE="$<TARGET_FILE:quillomar>"
  QUILLOMAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
if(QUILLOMAR_PCH)
  target_precompile_headers(quillomar_test_pch PRIVATE ${PROJECT_SOURCE_DIR}/cmake/TestPch.h)
endif()
function(quillomar_test_pch target)
  if(QUILLOMAR_PCH)
    target_precompile_headers(${target} REUSE_FROM quillomar_test_pch)
  endif()
endfunction()
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/Source/*.cpp)
list(FILTER TEST_SOURCES INCLUDE REGEX "/tests/[^/]*\\.cpp$")
set(TEST_DIRS "")
foreach(src ${TEST_SOURCES})
  get_filename_component(dir ${src} DIRECTORY)
  list(APPEND TEST_DIRS ${dir})
endforeach()
list(REMOVE_DUPLICATES TEST_DIRS)

foreach(tdir ${TEST_DIRS})
  get_filename_component(owner ${tdir} DIRECTORY)
  get_filename_component(name ${owner} NAME)
  set(target ${name}_tests)
  file(GLOB srcs CONFIGURE_DEPENDS ${tdir}/*.cpp)
  add_executable(${target} ${srcs} ${SANITIZER_SUPPORT})
  target_compile_options(${target} PRIVATE ${QUILLOMAR_TEST_OPT})
  quillomar_test_pch(${target})
  target_link_libraries(${target} PRIVATE ${QUILLOMAR_ENGINE_WHOLE} GTest::gmock GTest::gtest GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${tdir} ${owner})
  target_compile_definitions(${target} PRIVATE
    QUILLOMAR_EXE="$<TARGET_FILE:quillomar>"
    QUILLOMAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(${target} quillomar)
  # A test program runs as a few shards: each shard is one process that
  # runs every n-th test of the program (GoogleTest's own sharding), so that
  # the suite starts a few dozen processes, not one per test, and still
  # spreads over every core. The count of tests is read off the sources.
  set(count 0)
  foreach(src ${srcs})
    file(STRINGS ${src} tests REGEX "^ *(TEST|TEST_F|TEST_P|TYPED_TEST)\\(")
    list(LENGTH tests n)
    math(EXPR count "${count} + ${n}")
  endforeach()
  math(EXPR shards "(${count} + ${QUILLOMAR_TESTS_PER_SHARD} - 1) / ${QUILLOMAR_TESTS_PER_SHARD}")
  if(shards LESS 1)
    set(shards 1)
  endif()
  # The input tests move the one pointer of their display: one at a time.
  set(lock "")
  if(name STREQUAL "DirectX")
    set(lock RESOURCE_LOCK x_pointer)
  endif()
  math(EXPR last "${shards} - 1")
  foreach(i RANGE ${last})
    add_test(NAME ${name}.${i} COMMAND ${target})
    set_tests_properties(${name}.${i} PROPERTIES
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${i}"
      LABELS ${name}
      TIMEOUT 900 ${lock})
  endforeach()
endforeach()

# The bench of the input-mode and camera tests: a library beside the Game
# tests, kept out of the engine and linked by the Game test program.
set(CONTROL_HARNESS_DIR ${PROJECT_SOURCE_DIR}/Source/game/luatest/Game/tests/harness)
if(TARGET Game_tests AND EXISTS ${CONTROL_HARNESS_DIR})
  file(GLOB control_harness_srcs CONFIGURE_DEPENDS ${CONTROL_HARNESS_DIR}/*.cpp)
  add_library(quillomar_control_harness STATIC ${control_harness_srcs})
  quillomar_engine_headers(quillomar_control_harness)
  target_compile_options(quillomar_control_harness PRIVATE ${QUILLOMAR_TEST_OPT})
  target_include_directories(quillomar_control_harness PUBLIC ${CONTROL_HARNESS_DIR})
  target_link_libraries(Game_tests PRIVATE quillomar_control_harness)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/tools/CMakeLists.txt)
  add_subdirectory(tools)
endif()
if(QUILLOMAR_BENCH AND EXISTS ${PROJECT_SOURCE_DIR}/benchmarks/CMakeLists.txt)
  add_subdirectory(benchmarks)
endif()
if(QUILLOMAR_FUZZ AND EXISTS ${PROJECT_SOURCE_DIR}/fuzz/CMakeLists.txt)
  add_subdirectory(fuzz)
endif()
