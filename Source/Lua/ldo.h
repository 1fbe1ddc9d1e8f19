// Calls, protected execution and the stack.
#pragma once

#include "lobject.h"
#include "lstate.h"

struct zio;

// Pushes a slot that was just written at top, checking the stack limit.
#define incr_top \
  do { if (L->top == L->stack_last) luaD_checkstack(L, 1); L->top++; } while (0)

void luaD_adjusttop(lua_State* L, StkId base, int extra);
void luaD_lineHook(lua_State* L, StkId func, int line, lua_Hook linehook);
void luaD_call(lua_State* L, StkId func, int nResults);
void luaD_callTM(lua_State* L, Closure* f, int nParams, int nResults);
void luaD_checkstack(lua_State* L, int n);
[[noreturn]] void luaD_breakrun(lua_State* L, int errcode);
int luaD_runprotected(lua_State* L, void (*f)(lua_State*, void*), void* ud);
// Compiles or loads a chunk and pushes its closure; returns a status.
int luaD_protectedparser(lua_State* L, struct zio* z, int bin);
