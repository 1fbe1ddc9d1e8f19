#include "llex.h"

void luaX_init(lua_State*) {}
