# Build speed: unity batches of engine sources per folder, precompiled
# test headers and ccache. Test sources compile one by one: each keeps its
# fixtures in an anonymous namespace under short names.

option(QUILLOMAR_UNITY "Compile the sources of each folder in unity batches" ON)
set(QUILLOMAR_UNITY_BATCH 8 CACHE STRING "Engine sources of one folder compiled together")
option(QUILLOMAR_PCH "Precompile the test programs' common headers" ON)

# Sources that cannot share a translation unit with their neighbours
# (regular expressions over the path): the interpreter's modules keep
# file-local helpers and macros under the same short names (next, save, ...).
set(QUILLOMAR_UNITY_EXCLUDE "/Source/Lua/[^/]+$")

# quillomar_unity_batches(<target> <batch size> <sources...>): the sources
# of each folder are cut, in name order, into groups of at most <batch size>
# files; each group compiles as one translation unit. Batches never mix
# folders, so a change in one folder recompiles only that folder's batch.
function(quillomar_unity_batches target size)
  if(NOT QUILLOMAR_UNITY)
    return()
  endif()
  set(sources ${ARGN})
  list(SORT sources)
  set(prev_dir "")
  set(count 0)
  set(batch 0)
  foreach(src ${sources})
    if(NOT src MATCHES "\\.(cpp|c)$")
      continue()
    endif()
    set(excluded FALSE)
    foreach(pattern ${QUILLOMAR_UNITY_EXCLUDE})
      if(src MATCHES "${pattern}")
        set(excluded TRUE)
      endif()
    endforeach()
    if(excluded)
      continue()
    endif()
    get_filename_component(dir ${src} DIRECTORY)
    if(NOT dir STREQUAL prev_dir OR count EQUAL size)
      math(EXPR batch "${batch} + 1")
      set(count 0)
      set(prev_dir ${dir})
    endif()
    math(EXPR count "${count} + 1")
    set_source_files_properties(${src} TARGET_DIRECTORY ${target}
      PROPERTIES UNITY_GROUP "${target}_${batch}")
  endforeach()
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_MODE GROUP)
endfunction()

# ccache, when installed, serves every compiler call. Precompiled headers
# are cached too: their defines and time stamps are taken as they come.
find_program(QUILLOMAR_CCACHE ccache)
if(QUILLOMAR_CCACHE)
  set(launcher ${CMAKE_COMMAND} -E env
    CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
    CCACHE_BASEDIR=${PROJECT_SOURCE_DIR} ${QUILLOMAR_CCACHE})
  set(CMAKE_C_COMPILER_LAUNCHER ${launcher})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${launcher})
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    add_compile_options(-Xclang -fno-pch-timestamp)
  endif()
endif()

# lld links the large instrumented programs several times faster than the
# default linker; clang uses it when it is installed.
find_program(QUILLOMAR_LLD ld.lld)
if(QUILLOMAR_LLD AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_link_options(-fuse-ld=lld)
endif()
