// Helpers shared by the standard libraries and native engine code: argument
// checks with uniform messages, errors, registration and string buffers.
#pragma once

#include <stddef.h>

#include "lua.h"

struct luaL_reg {
  const char* name;
  lua_CFunction func;
};

void luaL_openlib(lua_State* L, const struct luaL_reg* l, int n);
[[noreturn]] void luaL_argerror(lua_State* L, int narg, const char* extramsg);
const char* luaL_check_lstr(lua_State* L, int narg, size_t* len);
const char* luaL_opt_lstr(lua_State* L, int narg, const char* def, size_t* len);
lua_Number luaL_check_number(lua_State* L, int narg);
lua_Number luaL_opt_number(lua_State* L, int narg, lua_Number def);
// Numbers truncated toward zero; NaN and values outside the int range give INT_MIN.
int luaL_check_int(lua_State* L, int narg);
int luaL_opt_int(lua_State* L, int narg, int def);

void luaL_checkstack(lua_State* L, int space, const char* msg);
void luaL_checktype(lua_State* L, int narg, int t);
void luaL_checkany(lua_State* L, int narg);

// Index of name in a null-terminated list, or -1.
int luaL_findstring(const char* name, const char* const list[]);
[[noreturn]] void luaL_verror(lua_State* L, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

#define luaL_arg_check(L, cond, numarg, extramsg) \
  do { if (!(cond)) luaL_argerror(L, numarg, extramsg); } while (0)
#define luaL_check_string(L, n) (luaL_check_lstr((L), (n), NULL))
#define luaL_opt_string(L, n, d) (luaL_opt_lstr((L), (n), (d), NULL))
#define luaL_check_long(L, n) ((long)luaL_check_int(L, n))
#define luaL_opt_long(L, n, d) ((long)luaL_opt_int(L, n, d))
#define luaL_openl(L, a) luaL_openlib(L, a, (int)(sizeof(a) / sizeof(a[0])))

// A string built piecewise: bytes gather in buffer; full buffers become
// string pieces on the interpreter stack, merged so that few stay there.
#define LUAL_BUFFERSIZE 8192

struct luaL_Buffer {
  char* p;    // next free byte of buffer
  int level;  // finished pieces on the stack
  lua_State* L;
  char buffer[LUAL_BUFFERSIZE];
};

#define luaL_putchar(B, c) \
  ((void)((B)->p < ((B)->buffer + LUAL_BUFFERSIZE) || luaL_prepbuffer(B)), (*(B)->p++ = (char)(c)))
// Commits n bytes written at the pointer returned by luaL_prepbuffer.
#define luaL_addsize(B, n) ((B)->p += (n))

void luaL_buffinit(lua_State* L, luaL_Buffer* B);
// Returns room for LUAL_BUFFERSIZE bytes.
char* luaL_prepbuffer(luaL_Buffer* B);
void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l);
void luaL_addstring(luaL_Buffer* B, const char* s);
// Appends the string on top of the stack and pops it.
void luaL_addvalue(luaL_Buffer* B);
// Leaves the finished string on the stack.
void luaL_pushresult(luaL_Buffer* B);
