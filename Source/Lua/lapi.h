// Helpers of the native interface used inside the interpreter.
#pragma once

#include "lobject.h"

void luaA_pushobject(lua_State* L, const TObject* o);
// Pushes a value given as a tag and a pointer to its value word.
void luaA_pushtypedvalue(lua_State* L, int tag, const void* value);
TObject* luaA_index(lua_State* L, int index);
