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
# refers to, and a plain static link would leave those files out.
set(QUILLOMAR_ENGINE_WHOLE "$<LINK_LIBRARY:WHOLE_ARCHIVE,quillomar_engine>")

set(SANITIZER_SUPPORT "")
if(QUILLOMAR_ASAN)
  set(SANITIZER_SUPPORT ${PROJECT_SOURCE_DIR}/cmake/AsanKeepDriver.cpp)
endif()

add_executable(quillomar ${QUILLOMAR_ENTRY} ${SANITIZER_SUPPORT})
target_link_libraries(quillomar PRIVATE ${QUILLOMAR_ENGINE_WHOLE})

# Tests: one executable per folder that has a tests/ subfolder.
enable_testing()
include(GoogleTest)
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
  target_link_libraries(${target} PRIVATE ${QUILLOMAR_ENGINE_WHOLE} GTest::gmock GTest::gtest GTest::gtest_main)
  target_include_directories(${target} PRIVATE ${tdir} ${owner})
  target_compile_definitions(${target} PRIVATE
    QUILLOMAR_EXE="$<TARGET_FILE:quillomar>"
    QUILLOMAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(${target} quillomar)
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    PROPERTIES TIMEOUT 300)
endforeach()

if(EXISTS ${PROJECT_SOURCE_DIR}/tools/CMakeLists.txt)
  add_subdirectory(tools)
endif()
if(QUILLOMAR_BENCH AND EXISTS ${PROJECT_SOURCE_DIR}/benchmarks/CMakeLists.txt)
  add_subdirectory(benchmarks)
endif()
if(QUILLOMAR_FUZZ AND EXISTS ${PROJECT_SOURCE_DIR}/fuzz/CMakeLists.txt)
  add_subdirectory(fuzz)
endif()
