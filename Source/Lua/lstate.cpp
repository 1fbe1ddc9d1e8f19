// Opening and closing an interpreter state.
#include "lstate.h"

#include <stdio.h>
#include <string.h>

#include "ldo.h"
#include "lgc.h"
#include "llex.h"
#include "lmem.h"
#include "lstring.h"
#include "ltable.h"
#include "ltm.h"

// Default handler of error messages.
static int errormessage(lua_State* L) {
  const char* s = lua_tostring(L, 1);
  if (s == NULL) s = "(no message)";
  fprintf(stderr, "error: %s\n", s);
  return 0;
}

static void f_luaopen(lua_State* L, void* ud) {
  int stacksize = *(int*)ud;
  if (stacksize == 0)
    stacksize = 1024;
  else
    stacksize += LUA_MINSTACK;
  L->gt = luaH_new(L, 10);
  luaD_init(L, stacksize);
  luaS_init(L);
  luaX_init(L);
  luaT_init(L);
  lua_newtable(L);
  lua_ref(L, 1);  // the registry: reference 0
  lua_register(L, LUA_ERRORMESSAGE, errormessage);
}

lua_State* lua_open(int stacksize) {
  lua_State* L = (lua_State*)luaM_realloc_sized(NULL, NULL, sizeof(lua_State), 0);
  if (L == NULL) return NULL;
  memset((void*)L, 0, sizeof(lua_State));
  L->stack = NULL;
  L->top = NULL;
  L->stack_last = NULL;
  L->Cbase = NULL;
  L->errorJmp = NULL;
  L->Mbuffer = NULL;
  L->scriptObject = NULL;
  L->scriptThread = NULL;
  L->rootproto = NULL;
  L->rootcl = NULL;
  L->roottable = NULL;
  L->strt.hash = NULL;
  L->udt.hash = NULL;
  L->gt = NULL;
  L->TMtable = NULL;
  L->refArray = NULL;
  L->refFree = NONEXT;
  L->nblocks = STATESIZE;
  L->GCthreshold = 0x7FFFFFFD;
  L->callhook = NULL;
  L->linehook = NULL;
  L->allowhooks = 1;
  if (luaD_runprotected(L, f_luaopen, &stacksize) != 0) {
    lua_close(L);
    return NULL;
  }
  L->GCthreshold = 2 * L->nblocks;
  return L;
}

void lua_close(lua_State* L) {
  luaC_collect(L, 1);
  luaS_freeall(L);
  if (L->stack) L->nblocks -= (lu_mem)L->stacksize * 8;
  luaM_free(L, L->stack);
  if (L->TMtable) L->nblocks -= (lu_mem)(L->last_tag + 1) * TMSIZE;
  luaM_free(L, L->TMtable);
  L->nblocks -= (lu_mem)L->refSize * REFSIZE;
  luaM_free(L, L->refArray);
  L->nblocks -= (lu_mem)L->Mbuffsize;
  luaM_free(L, L->Mbuffer);
  luaM_free(L, L);
}
