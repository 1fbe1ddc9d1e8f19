// Loader of precompiled chunks.
#pragma once

#include "lobject.h"
#include "lzio.h"

#define ID_CHUNK 27            // first byte of a precompiled chunk
#define SIGNATURE "Lua"
#define VERSION 0x40           // 4.0
#define VERSION0 0x40          // oldest version accepted
#define TEST_NUMBER 3.14159f   // number format check

// Reads one chunk and returns its main prototype.
Proto* luaU_undump(lua_State* L, ZIO* Z);
// Byte order of this machine: 1 little-endian, 0 big-endian.
int luaU_endianess(void);
