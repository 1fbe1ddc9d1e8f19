// Lexer.
#pragma once

#include "lobject.h"

void luaX_init(lua_State* L);
