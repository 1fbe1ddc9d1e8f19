// Calls, protected execution, errors and the loading of chunks.
#include "ldebug.h"
#include "ldo.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "TWUtil/ErrorManager.h"
#include "lgc.h"
#include "lmem.h"
#include "lparser.h"
#include "lstring.h"
#include "ltable.h"
#include "ltm.h"
#include "lundump.h"
#include "lvm.h"
#include "lzio.h"

// Recovery record of a protected call; lives in the native frame of
// luaD_runprotected and is thrown to unwind to it.
struct lua_longjmp {
  int status;
  struct lua_longjmp* previous;
};

void luaD_init(lua_State* L, int n) {
  if (n < 1) n = 1;
  StkId stack = luaM_newvector(L, (size_t)n + EXTRA_STACK, TObject);
  for (int i = 0; i < n + EXTRA_STACK; i++) setnilvalue(stack + i);
  L->nblocks += (lu_mem)n * 8;
  L->stack = stack;
  L->top = L->Cbase = stack;
  L->stack_last = stack + (n - 1);
  L->stacksize = n;
}

void luaD_checkstack(lua_State* L, int n) {
  if (L->stack_last - L->top > n) return;
  if (L->stack_last != L->stack + (L->stacksize - 1)) {
    // overflow while handling an overflow
    luaD_breakrun(L, LUA_ERRERR);
  }
  L->stack_last += EXTRA_STACK;  // room for the error handler
  lua_error(L, "stack overflow");
}

static void restore_stack_limit(lua_State* L) {
  if (L->top < L->stack + (L->stacksize - 1)) L->stack_last = L->stack + (L->stacksize - 1);
}

void luaD_adjusttop(lua_State* L, StkId base, int extra) {
  int diff = extra - (int)(L->top - base);
  if (diff <= 0) {
    L->top = base + extra;
  } else {
    luaD_checkstack(L, diff);
    while (diff--) setnilvalue(L->top++);
  }
}

// Opens a hole in the stack at pos.
static void luaD_openstack(lua_State* L, StkId pos) {
  if (L->top == L->stack_last) luaD_checkstack(L, 1);
  memmove(pos + 1, pos, (size_t)(L->top - pos) * sizeof(TObject));
  L->top++;
}

static void dohook(lua_State* L, lua_Debug* ar, lua_Hook hook) {
  StkId old_Cbase = L->Cbase;
  StkId old_top = L->Cbase = L->top;
  int old_allow = L->allowhooks;
  luaD_checkstack(L, LUA_MINSTACK);
  L->allowhooks = 0;
  (*hook)(L, ar);
  L->allowhooks = old_allow;
  L->top = old_top;
  L->Cbase = old_Cbase;
}

void luaD_lineHook(lua_State* L, StkId func, int line, lua_Hook linehook) {
  if (L->allowhooks) {
    lua_Debug ar;
    ar._func = func;
    ar.event = "line";
    ar.currentline = line;
    dohook(L, &ar, linehook);
  }
}

static void luaD_callHook(lua_State* L, StkId func, lua_Hook callhook, const char* event) {
  if (L->allowhooks) {
    lua_Debug ar;
    ar._func = func;
    ar.event = event;
    infovalue(func)->pc = NULL;  // the call has no current instruction
    dohook(L, &ar, callhook);
  }
}

static StkId callCclosure(lua_State* L, const Closure* cl, StkId base) {
  int nup = cl->nupvalues;
  StkId old_Cbase = L->Cbase;
  L->Cbase = base;
  luaD_checkstack(L, nup + LUA_MINSTACK);
  for (int i = 0; i < nup; i++) *(L->top++) = cl->upvalue[i];
  int n = (*cl->f.c)(L);
  L->Cbase = old_Cbase;
  // a native cannot return values that are not its own
  if (n < 0) n = 0;
  if (n > L->top - base) n = (int)(L->top - base);
  return L->top - n;
}

void luaD_callTM(lua_State* L, Closure* f, int nParams, int nResults) {
  StkId base = L->top - nParams;
  luaD_openstack(L, base);
  setclvalue(base, f);
  luaD_call(L, base, nResults);
}

void luaD_call(lua_State* L, StkId func, int nResults) {
  if (ttype(func) != LUA_TFUNCTION) {
    // the "function" method is called with the value as first argument
    Closure* tm = luaT_gettmbyObj(L, func, TM_FUNCTION);
    if (tm == NULL) luaG_typeerror(L, func, "call");
    luaD_openstack(L, func);
    setclvalue(func, tm);
  }
  Closure* cl = clvalue(func);
  CallInfo ci;
  ci.func = cl;
  ci.pc = NULL;
  ci.lastpc = -1;
  ci.line = 0;
  ci.refi = -1;
  infovalue(func) = &ci;
  ttype(func) = LUA_TMARK;
  lua_Hook callhook = L->callhook;
  if (callhook) luaD_callHook(L, func, callhook, "call");
  StkId firstResult = cl->isC ? callCclosure(L, cl, func + 1) : luaV_execute(L, cl, func + 1);
  if (callhook) luaD_callHook(L, func, callhook, "return");
  // move the results down to the function's slot
  if (nResults == LUA_MULTRET) {
    while (firstResult < L->top) *func++ = *firstResult++;
    L->top = func;
  } else {
    for (; nResults > 0 && firstResult < L->top; nResults--) *func++ = *firstResult++;
    L->top = func;
    for (; nResults > 0; nResults--) {
      setnilvalue(L->top);
      incr_top;
    }
  }
  luaC_checkGC(L);
}

// Calls "_ERRORMESSAGE" with a message, on the stack of the failing code.
static void message(lua_State* L, const char* s) {
  if (L->gt == NULL || L->stack == NULL) return;
  const Node* em = luaH_getglobal(L, LUA_ERRORMESSAGE);
  if (em->val_tt == LUA_TFUNCTION) {
    setclvalue(L->top, em->val.cl);
    incr_top;
    lua_pushstring(L, s);
    luaD_call(L, L->top - 2, 0);
  }
}

void lua_error(lua_State* L, const char* s) {
  if (s) message(L, s);
  luaD_breakrun(L, LUA_ERRRUN);
}

void luaD_breakrun(lua_State* L, int errcode) {
  if (L->errorJmp) {
    L->errorJmp->status = errcode;
    throw L->errorJmp;
  }
  // No protected call: the raising operation cannot go on.
  if (errcode != LUA_ERRMEM) message(L, "unable to recover; exiting\n");
  g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "script error outside a protected call", false);
  abort();
}

int luaD_runprotected(lua_State* L, void (*f)(lua_State*, void*), void* ud) {
  StkId oldCbase = L->Cbase;
  StkId oldtop = L->top;
  int allowhooks = L->allowhooks;
  struct lua_longjmp lj;
  lj.status = 0;
  lj.previous = L->errorJmp;
  L->errorJmp = &lj;
  try {
    f(L, ud);
  } catch (struct lua_longjmp* p) {
    L->errorJmp = lj.previous;
    if (p != &lj) throw;
    L->allowhooks = allowhooks;
    L->Cbase = oldCbase;
    L->top = oldtop;
    restore_stack_limit(L);
    return lj.status;
  }
  L->errorJmp = lj.previous;
  return 0;
}

struct CallS {
  StkId func;
  int nresults;
};

static void f_call(lua_State* L, void* ud) {
  struct CallS* c = (struct CallS*)ud;
  luaD_call(L, c->func, c->nresults);
}

int lua_call(lua_State* L, int nargs, int nresults) {
  StkId func = L->top - (nargs + 1);
  struct CallS c;
  c.func = func;
  c.nresults = nresults;
  int status = luaD_runprotected(L, f_call, &c);
  if (status != 0) L->top = func;  // remove the function and what is above it
  return status;
}

void lua_rawcall(lua_State* L, int nargs, int nresults) {
  luaD_call(L, L->top - (nargs + 1), nresults);
}

struct ParserS {
  ZIO* z;
  int bin;
};

static void f_parser(lua_State* L, void* ud) {
  struct ParserS* p = (struct ParserS*)ud;
  Proto* tf = p->bin ? luaU_undump(L, p->z) : luaY_parser(L, p->z);
  if (tf == NULL) luaO_verror(L, "bad signature in `%.99s'", zname(p->z));
  luaV_Lclosure(L, tf, 0);
}

int luaD_protectedparser(lua_State* L, ZIO* z, int bin) {
  luaC_checkGC(L);
  lu_mem old_blocks = L->nblocks;
  struct ParserS p;
  p.z = z;
  p.bin = bin;
  int status = luaD_runprotected(L, f_parser, &p);
  if (status == 0) {
    // new code is expected to stay
    if (L->nblocks > old_blocks) L->GCthreshold += L->nblocks - old_blocks;
  } else if (status == LUA_ERRRUN) {
    status = LUA_ERRSYNTAX;
  }
  return status;
}

int lua_dofile(lua_State* L, const char* filename) {
  FILE* f = (filename == NULL) ? stdin : fopen(filename, "r");
  if (f == NULL) return LUA_ERRFILE;
  int c = fgetc(f);
  ungetc(c, f);
  int bin = (c == ID_CHUNK);
  if (bin && f != stdin) {
    f = freopen(filename, "rb", f);
    if (f == NULL) return LUA_ERRFILE;
  }
  lua_pushstring(L, "@");
  lua_pushstring(L, (filename == NULL) ? "(stdin)" : filename);
  lua_concat(L, 2);
  StkId namepos = L->top - 1;
  ZIO z;
  luaZ_Fopen(&z, f, svalue(namepos));
  int status = luaD_protectedparser(L, &z, bin);
  if (f != stdin) fclose(f);
  if (status == 0) {
    // remove the name from below the closure
    *namepos = *(L->top - 1);
    L->top--;
    status = lua_call(L, 0, LUA_MULTRET);
  } else {
    L->top = namepos;
  }
  return status;
}

int lua_dobuffer(lua_State* L, const char* buff, size_t size, const char* name) {
  if (buff == NULL) {
    buff = "";
    size = 0;
  }
  if (name == NULL) name = "?";
  ZIO z;
  luaZ_mopen(&z, buff, size, name);
  int status = luaD_protectedparser(L, &z, size > 0 && (unsigned char)buff[0] == ID_CHUNK);
  if (status == 0) status = lua_call(L, 0, LUA_MULTRET);
  return status;
}

int lua_dostring(lua_State* L, const char* str) {
  return lua_dobuffer(L, str, strlen(str), str);
}
