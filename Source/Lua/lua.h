// The script interpreter's native interface.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define LUA_VERSION "Lua 4.0"

// Stack size given by lua_open(0).
#define LUA_MINSTACK 20

// Global holding the error handler.
#define LUA_ERRORMESSAGE "_ERRORMESSAGE"

#define LUA_MULTRET (-1)
#define LUA_REFNIL (-1)
#define LUA_NOREF (-2)
#define LUA_ANYTAG (-1)
#define LUA_NOTAG (-2)

// Value types (also the basic tags).
#define LUA_TNONE (-1)
#define LUA_TUSERDATA 0
#define LUA_TNIL 1
#define LUA_TNUMBER 2
#define LUA_TSTRING 3
#define LUA_TTABLE 4
#define LUA_TFUNCTION 5

// Status codes of protected operations.
#define LUA_ERRRUN 1
#define LUA_ERRFILE 2
#define LUA_ERRSYNTAX 3
#define LUA_ERRMEM 4
#define LUA_ERRERR 5

typedef float lua_Number;
typedef uint32_t lua_Id;

struct lua_State;
typedef struct lua_State lua_State;
typedef int (*lua_CFunction)(lua_State* L);

// Reasons passed to the collection callback.
enum GCCALLBACK_REASON {
  GCCALLBACK_BEGIN = 0,  // a collection is about to start
  GCCALLBACK_END = 1,    // a collection has just finished
  GCCALLBACK_HOST = 2    // never passed by the interpreter; the host's own use
};

typedef void (*lua_GCCallback)(GCCALLBACK_REASON reason, lua_State* L);
typedef void (*lua_MarkStackFn)(lua_State* L);
typedef void (*lua_GCThreadCallback)(lua_MarkStackFn mark);

// State manipulation.
lua_State* lua_open(int stacksize);
void lua_close(lua_State* L);

// Basic stack manipulation.
int lua_gettop(lua_State* L);
void lua_settop(lua_State* L, int index);
void lua_pushvalue(lua_State* L, int index);
void lua_remove(lua_State* L, int index);
void lua_insert(lua_State* L, int index);
int lua_stackspace(lua_State* L);

// Access functions.
int lua_type(lua_State* L, int index);
const char* lua_typename(lua_State* L, int t);
int lua_isnumber(lua_State* L, int index);
int lua_isstring(lua_State* L, int index);
int lua_iscfunction(lua_State* L, int index);
int lua_isid(lua_State* L, int index);
int lua_tag(lua_State* L, int index);
int lua_equal(lua_State* L, int index1, int index2);
int lua_lessthan(lua_State* L, int index1, int index2);

lua_Number lua_tonumber(lua_State* L, int index);
lua_Id lua_toid(lua_State* L, int index);
const char* lua_tostring(lua_State* L, int index);
size_t lua_strlen(lua_State* L, int index);
lua_CFunction lua_tocfunction(lua_State* L, int index);
void* lua_touserdata(lua_State* L, int index);
const void* lua_topointer(lua_State* L, int index);
int lua_gettablesize(lua_State* L, int index);

// Push functions.
void lua_pushnil(lua_State* L);
void lua_pushnumber(lua_State* L, lua_Number n);
void lua_pushint(lua_State* L, int n);
void lua_pushuint(lua_State* L, unsigned int n);
void lua_pushid(lua_State* L, lua_Id id);
void lua_pushlstring(lua_State* L, const char* s, size_t len);
void lua_pushstring(lua_State* L, const char* s);
void lua_pushcclosure(lua_State* L, lua_CFunction fn, int n);
void lua_pushusertag(lua_State* L, void* u, int tag);

// Get functions.
void lua_getglobal(lua_State* L, const char* name);
void lua_gettable(lua_State* L, int index);
void lua_rawget(lua_State* L, int index);
void lua_rawgeti(lua_State* L, int index, int n);
void lua_getglobals(lua_State* L);
void lua_gettagmethod(lua_State* L, int tag, const char* event);
int lua_getref(lua_State* L, int ref);
void lua_newtable(lua_State* L);

// Set functions.
void lua_setglobal(lua_State* L, const char* name);
void lua_settable(lua_State* L, int index);
void lua_rawset(lua_State* L, int index);
void lua_rawseti(lua_State* L, int index, int n);
void lua_setglobals(lua_State* L);
void lua_settagmethod(lua_State* L, int tag, const char* event);
int lua_ref(lua_State* L, int lock);

// Calls and chunks.
int lua_call(lua_State* L, int nargs, int nresults);
void lua_rawcall(lua_State* L, int nargs, int nresults);
int lua_dofile(lua_State* L, const char* filename);
int lua_dostring(lua_State* L, const char* str);
int lua_dobuffer(lua_State* L, const char* buff, size_t size, const char* name);

// Garbage collection (values in units of 1024 bytes).
int lua_getgcthreshold(lua_State* L);
int lua_getgccount(lua_State* L);
void lua_setgcthreshold(lua_State* L, int newthreshold);
void lua_setgccallback(lua_GCCallback callback);
void lua_setgcthreadcallback(lua_GCThreadCallback callback);
// Marks a script thread's stack into the collection in progress; valid only
// while the thread callback runs.
void markthreadstack(lua_State* L);

// Miscellaneous.
int lua_newtag(lua_State* L);
int lua_copytagmethods(lua_State* L, int tagto, int tagfrom);
void lua_settag(lua_State* L, int tag);
[[noreturn]] void lua_error(lua_State* L, const char* s);
void lua_unref(lua_State* L, int ref);
int lua_next(lua_State* L, int index);
int lua_getn(lua_State* L, int index);
void lua_concat(lua_State* L, int n);
void* lua_newuserdata(lua_State* L, size_t size);

// Sets up the stack part of a state block: n slots plus the error slack.
void luaD_init(lua_State* L, int n);

#define lua_pop(L, n) lua_settop(L, -(n)-1)
#define lua_register(L, n, f) (lua_pushcfunction(L, f), lua_setglobal(L, n))
#define lua_pushuserdata(L, u) lua_pushusertag(L, u, 0)
#define lua_pushcfunction(L, f) lua_pushcclosure(L, f, 0)
#define lua_clonetag(L, t) lua_copytagmethods(L, lua_newtag(L), (t))
#define lua_isfunction(L, n) (lua_type(L, n) == LUA_TFUNCTION)
#define lua_istable(L, n) (lua_type(L, n) == LUA_TTABLE)
#define lua_isuserdata(L, n) (lua_type(L, n) == LUA_TUSERDATA)
#define lua_isnil(L, n) (lua_type(L, n) == LUA_TNIL)
#define lua_isnull(L, n) (lua_type(L, n) == LUA_TNONE)
#define lua_getregistry(L) lua_getref(L, 0)
#define lua_pushliteral(L, s) lua_pushlstring(L, "" s, sizeof(s) - 1)

#include "luadebug.h"
