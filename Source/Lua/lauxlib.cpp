// Argument checks, errors, registration and string buffers.
#include "lauxlib.h"

#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "luadebug.h"

// Size of the message buffer of luaL_verror.
#define VERRORSIZE 500

// Pieces left on the stack before every merge takes in the piece below.
#define BUFFER_LEVELS 10

int luaL_findstring(const char* name, const char* const list[]) {
  for (int i = 0; list[i]; i++) {
    if (strcmp(list[i], name) == 0) return i;
  }
  return -1;
}

void luaL_argerror(lua_State* L, int narg, const char* extramsg) {
  lua_Debug ar;
  const char* fname = NULL;
  if (lua_getstack(L, 0, &ar) && lua_getinfo(L, "n", &ar)) fname = ar.name;
  if (fname == NULL) fname = "?";
  luaL_verror(L, "bad argument #%d to `%.50s' (%.100s)", narg, fname, extramsg);
}

[[noreturn]] static void type_error(lua_State* L, int narg, int t) {
  char buff[50];
  snprintf(buff, sizeof(buff), "%.8s expected, got %.8s", lua_typename(L, t),
           lua_typename(L, lua_type(L, narg)));
  luaL_argerror(L, narg, buff);
}

void luaL_checkstack(lua_State* L, int space, const char* msg) {
  if (space > lua_stackspace(L)) luaL_verror(L, "stack overflow (%.30s)", msg);
}

void luaL_checktype(lua_State* L, int narg, int t) {
  int actual = lua_type(L, narg);
  if (actual == LUA_TNONE) luaL_argerror(L, narg, "value expected");
  if (actual != t) type_error(L, narg, t);
}

void luaL_checkany(lua_State* L, int narg) {
  if (lua_type(L, narg) == LUA_TNONE) luaL_argerror(L, narg, "value expected");
}

const char* luaL_check_lstr(lua_State* L, int narg, size_t* len) {
  const char* s = lua_tostring(L, narg);
  if (s == NULL) type_error(L, narg, LUA_TSTRING);
  if (len) *len = lua_strlen(L, narg);
  return s;
}

const char* luaL_opt_lstr(lua_State* L, int narg, const char* def, size_t* len) {
  if (lua_type(L, narg) == LUA_TNONE) {
    if (len) *len = def ? strlen(def) : 0;
    return def;
  }
  return luaL_check_lstr(L, narg, len);
}

lua_Number luaL_check_number(lua_State* L, int narg) {
  lua_Number n = lua_tonumber(L, narg);
  if (n == 0 && !lua_isnumber(L, narg)) type_error(L, narg, LUA_TNUMBER);
  return n;
}

lua_Number luaL_opt_number(lua_State* L, int narg, lua_Number def) {
  if (lua_type(L, narg) == LUA_TNONE) return def;
  return luaL_check_number(L, narg);
}

static int truncate_number(lua_Number n) {
  if (n >= -2147483648.0f && n < 2147483648.0f) return (int)n;
  return INT_MIN;
}

int luaL_check_int(lua_State* L, int narg) {
  return truncate_number(luaL_check_number(L, narg));
}

int luaL_opt_int(lua_State* L, int narg, int def) {
  if (lua_type(L, narg) == LUA_TNONE) return def;
  return luaL_check_int(L, narg);
}

void luaL_openlib(lua_State* L, const struct luaL_reg* l, int n) {
  for (int i = 0; i < n; i++) {
    lua_pushcfunction(L, l[i].func);
    lua_setglobal(L, l[i].name);
  }
}

void luaL_verror(lua_State* L, const char* fmt, ...) {
  char buff[VERRORSIZE];
  va_list argp;
  va_start(argp, fmt);
  vsnprintf(buff, sizeof(buff), fmt, argp);
  va_end(argp);
  lua_error(L, buff);
}

// String buffers.

static size_t buffused(const luaL_Buffer* B) {
  return (size_t)(B->p - B->buffer);
}

static size_t bufffree(const luaL_Buffer* B) {
  return LUAL_BUFFERSIZE - buffused(B);
}

// Pushes the bytes gathered so far as a new piece; 0 when there were none.
static int emptybuffer(luaL_Buffer* B) {
  size_t l = buffused(B);
  if (l == 0) return 0;
  lua_pushlstring(B->L, B->buffer, l);
  B->p = B->buffer;
  B->level++;
  return 1;
}

// Folds the top pieces together so that shorter pieces go into longer ones
// and about ten pieces at most stay on the stack.
static void adjuststack(luaL_Buffer* B) {
  if (B->level <= 1) return;
  lua_State* L = B->L;
  int k = 1;
  size_t len = lua_strlen(L, -1);
  while (k < B->level) {
    size_t l = lua_strlen(L, -(k + 1));
    if (B->level - k + 1 >= BUFFER_LEVELS || len > l) {
      len += l;
      k++;
    } else {
      break;
    }
  }
  if (k >= 2) {
    lua_concat(L, k);
    B->level -= k - 1;
  }
}

char* luaL_prepbuffer(luaL_Buffer* B) {
  if (emptybuffer(B)) adjuststack(B);
  return B->buffer;
}

void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l) {
  while (l > 0) {
    if (bufffree(B) == 0) luaL_prepbuffer(B);
    size_t n = bufffree(B);
    if (n > l) n = l;
    memcpy(B->p, s, n);
    B->p += n;
    s += n;
    l -= n;
  }
}

void luaL_addstring(luaL_Buffer* B, const char* s) {
  luaL_addlstring(B, s, strlen(s));
}

void luaL_pushresult(luaL_Buffer* B) {
  emptybuffer(B);
  if (B->level == 0)
    lua_pushlstring(B->L, "", 0);
  else if (B->level > 1)
    lua_concat(B->L, B->level);
  B->level = 1;
}

void luaL_addvalue(luaL_Buffer* B) {
  lua_State* L = B->L;
  size_t vl = lua_strlen(L, -1);
  if (vl <= bufffree(B)) {
    memcpy(B->p, lua_tostring(L, -1), vl);
    B->p += vl;
    lua_pop(L, 1);
  } else {
    // the value becomes a piece of its own, above the flushed buffer
    if (emptybuffer(B)) lua_insert(L, -2);
    B->level++;
    adjuststack(B);
  }
}

void luaL_buffinit(lua_State* L, luaL_Buffer* B) {
  B->L = L;
  B->p = B->buffer;
  B->level = 0;
}
