// The base library: calling and loading code, globals, tags, collection
// control, conversion, iteration and the table functions.
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "lauxlib.h"
#include "lualib.h"

static int luaB__ALERT(lua_State* L) {
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  fwrite(s, 1, l, stderr);
  return 0;
}

// Default message handler: "error: " and the message, where it was raised
// and a newline, handed to "_ALERT".
static int luaB__ERRORMESSAGE(lua_State* L) {
  luaL_check_string(L, 1);
  lua_getglobal(L, LUA_ALERT);
  if (!lua_isfunction(L, -1)) return 0;  // nowhere to send it
  lua_pushstring(L, "error: ");
  lua_pushvalue(L, 1);
  int pieces = 2;
  lua_Debug ar;
  if (lua_getstack(L, 1, &ar) && lua_getinfo(L, "Sl", &ar) && ar.source && ar.currentline > 0) {
    char buff[100];
    snprintf(buff, sizeof(buff), "\n  <%.70s: line %d>", ar.short_src, ar.currentline);
    lua_pushstring(L, buff);
    pieces++;
  }
  lua_pushstring(L, "\n");
  lua_concat(L, pieces + 1);
  lua_rawcall(L, 1, 0);
  return 0;
}

static int luaB_print(lua_State* L) {
  int n = lua_gettop(L);
  lua_getglobal(L, "tostring");
  for (int i = 1; i <= n; i++) {
    lua_pushvalue(L, -1);
    lua_pushvalue(L, i);
    lua_rawcall(L, 1, 1);
    const char* s = lua_tostring(L, -1);
    if (s == NULL) lua_error(L, "`tostring' must return a string to `print'");
    if (i > 1) fputc('\t', stdout);
    fwrite(s, 1, lua_strlen(L, -1), stdout);
    lua_pop(L, 1);
  }
  fputc('\n', stdout);
  return 0;
}

// Converts text in a base from 2 to 36 as a 32-bit unsigned integer, the way
// strtoul does where unsigned long has 32 bits: a magnitude too large gives
// the largest value, a minus sign negates modulo 2^32. Null when no digit
// was read or anything but white space follows.
static int str2ulong(const char* s, int base, unsigned int* out) {
  const char* p = s;
  while (isspace((unsigned char)*p)) p++;
  int neg = 0;
  if (*p == '-' || *p == '+') {
    neg = (*p == '-');
    p++;
  }
  if (*p == '-' || *p == '+' || isspace((unsigned char)*p)) return 0;
  char* end;
  errno = 0;
  unsigned long long v = strtoull(p, &end, base);
  if (end == p) return 0;
  while (isspace((unsigned char)*end)) end++;
  if (*end != '\0') return 0;
  unsigned int r;
  if (errno == ERANGE || v > 0xFFFFFFFFull)
    r = 0xFFFFFFFFu;
  else
    r = neg ? (unsigned int)(0u - (unsigned int)v) : (unsigned int)v;
  *out = r;
  return 1;
}

static int luaB_tonumber(lua_State* L) {
  int base = luaL_opt_int(L, 2, 10);
  if (base == 10) {
    luaL_checkany(L, 1);
    if (lua_type(L, 1) == LUA_TNUMBER) {
      lua_pushvalue(L, 1);  // ids keep their bits
      return 1;
    }
    if (lua_isnumber(L, 1)) {
      lua_pushnumber(L, lua_tonumber(L, 1));
      return 1;
    }
  } else {
    const char* s = luaL_check_string(L, 1);
    luaL_arg_check(L, 2 <= base && base <= 36, 2, "base out of range");
    unsigned int n;
    if (str2ulong(s, base, &n)) {
      lua_pushnumber(L, (lua_Number)n);
      return 1;
    }
  }
  lua_pushnil(L);
  return 1;
}

static int luaB_error(lua_State* L) {
  lua_error(L, luaL_opt_string(L, 1, NULL));
}

static int luaB_setglobal(lua_State* L) {
  luaL_checkany(L, 2);
  lua_settop(L, 2);
  lua_setglobal(L, luaL_check_string(L, 1));
  return 0;
}

static int luaB_getglobal(lua_State* L) {
  lua_getglobal(L, luaL_check_string(L, 1));
  return 1;
}

static int luaB_tag(lua_State* L) {
  luaL_checkany(L, 1);
  lua_pushnumber(L, (lua_Number)lua_tag(L, 1));
  return 1;
}

static int luaB_settag(lua_State* L) {
  luaL_checkany(L, 1);
  int tag = luaL_check_int(L, 2);
  lua_pushvalue(L, 1);
  lua_settag(L, tag);
  return 1;
}

static int luaB_newtag(lua_State* L) {
  lua_pushnumber(L, (lua_Number)lua_newtag(L));
  return 1;
}

static int luaB_copytagmethods(lua_State* L) {
  int to = luaL_check_int(L, 1);
  int from = luaL_check_int(L, 2);
  lua_pushnumber(L, (lua_Number)lua_copytagmethods(L, to, from));
  return 1;
}

static int luaB_globals(lua_State* L) {
  lua_getglobals(L);  // the table in use until now is the result
  if (lua_type(L, 1) != LUA_TNONE) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_pushvalue(L, 1);
    lua_setglobals(L);
  }
  return 1;
}

static int luaB_rawget(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_checkany(L, 2);
  lua_settop(L, 2);
  lua_rawget(L, 1);
  return 1;
}

static int luaB_rawset(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_checkany(L, 2);
  luaL_checkany(L, 3);
  lua_settop(L, 3);
  lua_rawset(L, 1);
  return 1;
}

static int luaB_settagmethod(lua_State* L) {
  int tag = luaL_check_int(L, 1);
  const char* event = luaL_check_string(L, 2);
  luaL_arg_check(L, lua_isnil(L, 3) || lua_isfunction(L, 3), 3, "function or nil expected");
  if (strcmp(event, "gc") == 0) lua_error(L, "deprecated use: cannot set the `gc' tag method from Lua");
  lua_settop(L, 3);
  lua_gettagmethod(L, tag, event);  // the old method is the result
  lua_pushvalue(L, 3);
  lua_settagmethod(L, tag, event);
  return 1;
}

static int luaB_gettagmethod(lua_State* L) {
  int tag = luaL_check_int(L, 1);
  const char* event = luaL_check_string(L, 2);
  if (strcmp(event, "gc") == 0) lua_error(L, "deprecated use: cannot get the `gc' tag method from Lua");
  lua_gettagmethod(L, tag, event);
  return 1;
}

static int luaB_collectgarbage(lua_State* L) {
  lua_setgcthreshold(L, luaL_opt_int(L, 1, 0));
  return 0;
}

static int luaB_gcinfo(lua_State* L) {
  lua_pushnumber(L, (lua_Number)lua_getgccount(L));
  lua_pushnumber(L, (lua_Number)lua_getgcthreshold(L));
  return 2;
}

static int luaB_type(lua_State* L) {
  luaL_checkany(L, 1);
  lua_pushstring(L, lua_typename(L, lua_type(L, 1)));
  return 1;
}

static int luaB_next(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  lua_settop(L, 2);  // no key: nil, the start
  if (lua_next(L, 1)) return 2;
  lua_pushnil(L);
  return 1;
}

// Results of "dofile" and "dostring": the chunk's results, a true value
// when it gave none, or nil and the name of the failure.
static int passresults(lua_State* L, int status, int oldtop) {
  static const char* const errornames[] = {
    "run-time error", "file error", "syntax error", "memory error", "error in error handling"
  };
  if (status == 0) {
    int nresults = lua_gettop(L) - oldtop;
    if (nresults > 0) return nresults;
    lua_pushuserdata(L, NULL);
    return 1;
  }
  lua_pushnil(L);
  if (status >= LUA_ERRRUN && status <= LUA_ERRERR)
    lua_pushstring(L, errornames[status - 1]);
  else
    lua_pushstring(L, "unknown error");
  return 2;
}

static int luaB_dostring(lua_State* L) {
  int oldtop = lua_gettop(L);
  size_t l;
  const char* s = luaL_check_lstr(L, 1, &l);
  if (l > 0 && s[0] == '\033') lua_error(L, "`dostring' cannot run pre-compiled code");
  const char* chunkname = luaL_opt_string(L, 2, s);
  return passresults(L, lua_dobuffer(L, s, l, chunkname), oldtop);
}

static int luaB_dofile(lua_State* L) {
  int oldtop = lua_gettop(L);
  const char* fname = luaL_opt_string(L, 1, NULL);
  return passresults(L, lua_dofile(L, fname), oldtop);
}

static int luaB_call(lua_State* L) {
  const char* options = luaL_opt_string(L, 3, "");
  luaL_checktype(L, 2, LUA_TTABLE);
  if (strchr(options, 'p')) lua_error(L, "deprecated option `p' in `call'");
  int n = lua_getn(L, 2);
  if (n < 0) n = 0;
  luaL_checkstack(L, n + 3, "too many arguments");  // before the handler changes
  int oldhandler = 0;
  if (lua_type(L, 4) != LUA_TNONE) {
    lua_getglobal(L, LUA_ERRORMESSAGE);
    oldhandler = lua_gettop(L);
    lua_pushvalue(L, 4);
    lua_setglobal(L, LUA_ERRORMESSAGE);
  }
  int oldtop = lua_gettop(L);
  lua_pushvalue(L, 1);
  for (int i = 1; i <= n; i++) lua_rawgeti(L, 2, i);
  int status = lua_call(L, n, LUA_MULTRET);
  if (oldhandler != 0) {
    lua_pushvalue(L, oldhandler);
    lua_setglobal(L, LUA_ERRORMESSAGE);
  }
  if (status != 0) {
    if (strchr(options, 'x') == NULL) lua_error(L, NULL);  // already reported
    lua_pushnil(L);
    return 1;
  }
  return lua_gettop(L) - oldtop;
}

static int luaB_tostring(lua_State* L) {
  char buff[64];
  switch (lua_type(L, 1)) {
    case LUA_TNUMBER:
      lua_pushstring(L, lua_tostring(L, 1));
      return 1;
    case LUA_TSTRING:
      lua_pushvalue(L, 1);
      return 1;
    case LUA_TTABLE:
      snprintf(buff, sizeof(buff), "table: %p", lua_topointer(L, 1));
      break;
    case LUA_TFUNCTION:
      snprintf(buff, sizeof(buff), "function: %p", lua_topointer(L, 1));
      break;
    case LUA_TUSERDATA:
      snprintf(buff, sizeof(buff), "userdata(%d): %p", lua_tag(L, 1), lua_touserdata(L, 1));
      break;
    case LUA_TNIL:
      lua_pushstring(L, "nil");
      return 1;
    default:
      luaL_argerror(L, 1, "value expected");
  }
  lua_pushstring(L, buff);
  return 1;
}

static int luaB_foreachi(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  int n = lua_getn(L, 1);
  for (int i = 1; i <= n; i++) {
    lua_pushvalue(L, 2);
    lua_pushnumber(L, (lua_Number)i);
    lua_rawgeti(L, 1, i);
    lua_rawcall(L, 2, 1);
    if (!lua_isnil(L, -1)) return 1;
    lua_pop(L, 1);
  }
  return 0;
}

static int luaB_foreach(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  luaL_checktype(L, 2, LUA_TFUNCTION);
  lua_settop(L, 2);
  lua_pushnil(L);  // first key
  while (lua_next(L, 1)) {
    lua_pushvalue(L, 2);
    lua_pushvalue(L, -3);  // key
    lua_pushvalue(L, -3);  // value
    lua_rawcall(L, 2, 1);
    if (!lua_isnil(L, -1)) return 1;
    lua_pop(L, 2);  // result and value; the key stays for the next step
  }
  return 0;
}

static int luaB_assert(lua_State* L) {
  luaL_checkany(L, 1);
  if (lua_isnil(L, 1)) luaL_verror(L, "assertion failed!  %.90s", luaL_opt_string(L, 2, ""));
  return 0;
}

static int luaB_getn(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  lua_pushnumber(L, (lua_Number)lua_getn(L, 1));
  return 1;
}

static void setn(lua_State* L, int n) {
  lua_pushstring(L, "n");
  lua_pushnumber(L, (lua_Number)n);
  lua_rawset(L, 1);
}

static int luaB_tinsert(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  int v = lua_gettop(L);  // the value is the last argument
  int n = lua_getn(L, 1);
  int pos = (v == 2) ? n + 1 : luaL_check_int(L, 2);
  setn(L, n + 1);
  for (; n >= pos; n--) {
    lua_rawgeti(L, 1, n);
    lua_rawseti(L, 1, n + 1);
  }
  lua_pushvalue(L, v);
  lua_rawseti(L, 1, pos);
  return 0;
}

static int luaB_tremove(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  int n = lua_getn(L, 1);
  int pos = luaL_opt_int(L, 2, n);
  if (n <= 0) return 0;
  lua_rawgeti(L, 1, pos);  // the result
  for (; pos < n; pos++) {
    lua_rawgeti(L, 1, pos + 1);
    lua_rawseti(L, 1, pos);
  }
  setn(L, n - 1);
  lua_pushnil(L);
  lua_rawseti(L, 1, n);
  return 1;
}

// Sorting: t is at stack index 1, the order function (or nil) at 2.

static void swapitems(lua_State* L, int i, int j) {
  lua_rawgeti(L, 1, i);
  lua_rawgeti(L, 1, j);
  lua_rawseti(L, 1, i);
  lua_rawseti(L, 1, j);
}

// Whether the value at index a sorts before the value at index b.
static int sortless(lua_State* L, int a, int b) {
  if (lua_isnil(L, 2)) return lua_lessthan(L, a, b);
  lua_pushvalue(L, 2);
  lua_pushvalue(L, a - (a < 0));  // each push moves relative indexes down
  lua_pushvalue(L, b - 2 * (b < 0));
  lua_rawcall(L, 2, 1);
  int res = !lua_isnil(L, -1);
  lua_pop(L, 1);
  return res;
}

// Whether t[i] sorts before t[j].
static int itemless(lua_State* L, int i, int j) {
  lua_rawgeti(L, 1, i);
  lua_rawgeti(L, 1, j);
  int res = sortless(L, -2, -1);
  lua_pop(L, 2);
  return res;
}

static void auxsort(lua_State* L, int lo, int up) {
  while (lo < up) {
    if (itemless(L, up, lo)) swapitems(L, lo, up);
    if (up - lo == 1) break;
    int i = lo + (up - lo) / 2;
    if (itemless(L, i, lo))
      swapitems(L, i, lo);
    else if (itemless(L, up, i))
      swapitems(L, i, up);
    if (up - lo == 2) break;
    lua_rawgeti(L, 1, i);  // the pivot stays on the stack
    swapitems(L, i, up - 1);
    i = lo;
    int j = up - 1;
    for (;;) {
      // an order function that is not consistent would run off the range
      for (;;) {
        if (++i > up) lua_error(L, "invalid order function for sorting");
        lua_rawgeti(L, 1, i);
        int less = sortless(L, -1, -2);
        lua_pop(L, 1);
        if (!less) break;
      }
      for (;;) {
        if (--j < lo) lua_error(L, "invalid order function for sorting");
        lua_rawgeti(L, 1, j);
        int less = sortless(L, -2, -1);
        lua_pop(L, 1);
        if (!less) break;
      }
      if (j < i) break;
      swapitems(L, i, j);
    }
    lua_pop(L, 1);  // the pivot
    swapitems(L, up - 1, i);
    if (i - lo < up - i) {
      auxsort(L, lo, i - 1);
      lo = i + 1;
    } else {
      auxsort(L, i + 1, up);
      up = i - 1;
    }
  }
}

static int luaB_sort(lua_State* L) {
  luaL_checktype(L, 1, LUA_TTABLE);
  int n = lua_getn(L, 1);
  if (n > 1) {
    luaL_checkstack(L, 40, "");
    if (lua_type(L, 2) != LUA_TNONE) luaL_checktype(L, 2, LUA_TFUNCTION);
    lua_settop(L, 2);
    auxsort(L, 1, n);
  }
  return 0;
}

static int deprecated_func(lua_State* L) {
  luaL_verror(L, "function `%.20s' is deprecated", lua_tostring(L, -1));
}

static const char* const deprecated_names[] = {"foreachvar", "nextvar", "rawgetglobal",
                                               "rawsetglobal"};

static const struct luaL_reg base_funcs[] = {
  {LUA_ALERT, luaB__ALERT},
  {LUA_ERRORMESSAGE, luaB__ERRORMESSAGE},
  {"call", luaB_call},
  {"collectgarbage", luaB_collectgarbage},
  {"copytagmethods", luaB_copytagmethods},
  {"dofile", luaB_dofile},
  {"dostring", luaB_dostring},
  {"error", luaB_error},
  {"foreach", luaB_foreach},
  {"foreachi", luaB_foreachi},
  {"gcinfo", luaB_gcinfo},
  {"getglobal", luaB_getglobal},
  {"gettagmethod", luaB_gettagmethod},
  {"globals", luaB_globals},
  {"newtag", luaB_newtag},
  {"next", luaB_next},
  {"print", luaB_print},
  {"rawget", luaB_rawget},
  {"rawset", luaB_rawset},
  {"rawgettable", luaB_rawget},
  {"rawsettable", luaB_rawset},
  {"setglobal", luaB_setglobal},
  {"settag", luaB_settag},
  {"settagmethod", luaB_settagmethod},
  {"tag", luaB_tag},
  {"tonumber", luaB_tonumber},
  {"tostring", luaB_tostring},
  {"type", luaB_type},
  {"assert", luaB_assert},
  {"getn", luaB_getn},
  {"sort", luaB_sort},
  {"tinsert", luaB_tinsert},
  {"tremove", luaB_tremove},
};

void lua_baselibopen(lua_State* L) {
  luaL_openl(L, base_funcs);
  lua_pushstring(L, LUA_VERSION);
  lua_setglobal(L, "_VERSION");
  for (const char* name : deprecated_names) {
    lua_pushstring(L, name);
    lua_pushcclosure(L, deprecated_func, 1);
    lua_setglobal(L, name);
  }
}
