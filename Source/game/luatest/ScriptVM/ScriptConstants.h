// The engine's enumerations and flag values as global numbers for scripts.
#pragma once

struct lua_State;

// Defines every script constant as a global of L: the fixed groups, the
// interpreter tags of the host, and one EntityType_* per numbered entity
// class record. The host calls it once each time it opens the interpreter.
void RegisterScriptConstants(lua_State* L);

