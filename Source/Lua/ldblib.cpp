// The debug library: stack inspection, local variables and script hooks.
#include <stdio.h>
#include <string.h>

#include "lauxlib.h"
#include "lualib.h"

// Registry keys: userdata holding the addresses of these bytes.
static char key_callhook;
static char key_linehook;
static char key_hosthooks;

// The hooks that were in place when a script installed its own, given back
// when the script removes its hook. One block per state, in the registry.
struct HostHooks {
  lua_Hook call;
  lua_Hook line;
};

static void settabss(lua_State* L, const char* i, const char* v) {
  lua_pushstring(L, i);
  lua_pushstring(L, v);
  lua_settable(L, -3);
}

static void settabsi(lua_State* L, const char* i, int v) {
  lua_pushstring(L, i);
  lua_pushnumber(L, (lua_Number)v);
  lua_settable(L, -3);
}

static int getinfo(lua_State* L) {
  lua_Debug ar;
  const char* options = luaL_opt_string(L, 2, "flnSu");
  char buff[20];
  luaL_arg_check(L, strchr(options, '>') == NULL, 2, "invalid option");
  if (lua_isnumber(L, 1)) {
    if (!lua_getstack(L, (int)lua_tonumber(L, 1), &ar)) {
      lua_pushnil(L);  // no such level
      return 1;
    }
  } else if (lua_isfunction(L, 1)) {
    snprintf(buff, sizeof(buff), ">%.10s", options);
    options = buff;
    lua_pushvalue(L, 1);
  } else {
    luaL_argerror(L, 1, "function or level expected");
  }
  if (!lua_getinfo(L, options, &ar)) luaL_argerror(L, 2, "invalid option");
  int func = lua_gettop(L);  // where option 'f' left the function
  lua_newtable(L);
  for (; *options; options++) {
    switch (*options) {
      case 'S':
        settabss(L, "source", ar.source);
        if (ar.source) settabss(L, "short_src", ar.short_src);
        settabsi(L, "linedefined", ar.linedefined);
        settabss(L, "what", ar.what);
        break;
      case 'l':
        settabsi(L, "currentline", ar.currentline);
        break;
      case 'u':
        settabsi(L, "nups", ar.nups);
        break;
      case 'n':
        settabss(L, "name", ar.name);
        settabss(L, "namewhat", ar.namewhat);
        break;
      case 'f':
        lua_pushstring(L, "func");
        lua_pushvalue(L, func);
        lua_settable(L, -3);
        break;
    }
  }
  return 1;
}

static int getlocal(lua_State* L) {
  lua_Debug ar;
  if (!lua_getstack(L, luaL_check_int(L, 1), &ar)) luaL_argerror(L, 1, "level out of range");
  const char* name = lua_getlocal(L, &ar, luaL_check_int(L, 2));
  if (name == NULL) {
    lua_pushnil(L);
    return 1;
  }
  lua_pushstring(L, name);
  lua_pushvalue(L, -2);
  return 2;
}

static int setlocal(lua_State* L) {
  lua_Debug ar;
  if (!lua_getstack(L, luaL_check_int(L, 1), &ar)) luaL_argerror(L, 1, "level out of range");
  int n = luaL_check_int(L, 2);
  luaL_checkany(L, 3);
  lua_settop(L, 3);
  lua_pushstring(L, lua_setlocal(L, &ar, n));
  return 1;
}

// Calls the script hook stored under key with the argument on the top.
static void hookf(lua_State* L, void* key) {
  lua_getregistry(L);
  lua_pushuserdata(L, key);
  lua_rawget(L, -2);
  if (lua_isfunction(L, -1)) {
    lua_pushvalue(L, -3);  // the argument
    lua_rawcall(L, 1, 0);
  } else {
    lua_pop(L, 1);
  }
  lua_pop(L, 2);  // registry and argument
}

static void callf(lua_State* L, lua_Debug* ar) {
  lua_pushstring(L, ar->event);
  hookf(L, &key_callhook);
}

static void linef(lua_State* L, lua_Debug* ar) {
  lua_pushnumber(L, (lua_Number)ar->currentline);
  hookf(L, &key_linehook);
}

static HostHooks* gethosthooks(lua_State* L) {
  lua_getregistry(L);
  lua_pushuserdata(L, &key_hosthooks);
  lua_rawget(L, -2);
  HostHooks* h = (HostHooks*)lua_touserdata(L, -1);
  lua_pop(L, 1);
  if (h == NULL) {
    lua_pushuserdata(L, &key_hosthooks);
    h = (HostHooks*)lua_newuserdata(L, sizeof(HostHooks));
    h->call = NULL;
    h->line = NULL;
    lua_rawset(L, -3);
  }
  lua_pop(L, 1);
  return h;
}

// Stores the script hook (argument 1) under key and puts the library's
// native hook in place; removing the script hook gives back the hook that
// was there before it. Returns the script hook that was set before.
static int sethook(lua_State* L, void* key, lua_Hook hook,
                   lua_Hook (*setfunc)(lua_State*, lua_Hook), lua_Hook HostHooks::*saved) {
  lua_settop(L, 1);
  luaL_arg_check(L, lua_isnil(L, 1) || lua_isfunction(L, 1), 1, "function expected");
  HostHooks* host = gethosthooks(L);
  lua_getregistry(L);
  lua_pushuserdata(L, key);
  lua_rawget(L, -2);  // the old script hook, the result
  lua_pushuserdata(L, key);
  lua_pushvalue(L, 1);
  lua_rawset(L, 2);
  lua_Hook current = setfunc(L, hook);
  if (lua_isfunction(L, 1)) {
    if (current != hook) host->*saved = current;
  } else if (current == hook) {
    setfunc(L, host->*saved);
    host->*saved = NULL;
  } else {
    setfunc(L, current);  // not ours: leave it
  }
  return 1;
}

static int setcallhook(lua_State* L) {
  return sethook(L, &key_callhook, callf, lua_setcallhook, &HostHooks::call);
}

static int setlinehook(lua_State* L) {
  return sethook(L, &key_linehook, linef, lua_setlinehook, &HostHooks::line);
}

static const struct luaL_reg dblib[] = {
  {"getlocal", getlocal},
  {"getinfo", getinfo},
  {"setcallhook", setcallhook},
  {"setlinehook", setlinehook},
  {"setlocal", setlocal},
};

void lua_dblibopen(lua_State* L) {
  luaL_openl(L, dblib);
}
