// Compiler entry.
#pragma once

#include "lobject.h"
#include "lzio.h"

Proto* luaY_parser(lua_State* L, ZIO* z);
