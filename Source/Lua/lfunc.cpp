// Prototypes and closures.
#include "lfunc.h"

#include <stddef.h>

#include "lmem.h"
#include "lstate.h"

lu_mem luaF_protosize(const Proto* f) {
  return (lu_mem)(68 + 4 * ((lu_mem)f->nknum + f->nkstr + f->nkproto + f->nlineinfo) +
                  12 * (lu_mem)f->nlocvars + 2 * (lu_mem)f->ncode);
}

Closure* luaF_newclosure(lua_State* L, int nelems) {
  size_t size = offsetof(Closure, upvalue) + sizeof(TObject) * (size_t)(nelems > 0 ? nelems : 1);
  Closure* c = (Closure*)luaM_malloc(L, size);
  c->next = L->rootcl;
  L->rootcl = c;
  c->mark = c;
  c->isC = 0;
  c->f.l = NULL;
  c->nupvalues = (short)nelems;
  L->nblocks += sizeclosure(nelems);
  return c;
}

Proto* luaF_newproto(lua_State* L) {
  Proto* f = luaM_new(L, Proto);
  f->knum = NULL;
  f->nknum = 0;
  f->kstr = NULL;
  f->nkstr = 0;
  f->kproto = NULL;
  f->nkproto = 0;
  f->code = NULL;
  f->ncode = 0;
  f->numparams = 0;
  f->is_vararg = 0;
  f->maxstacksize = 0;
  f->marked = 0;
  f->lineinfo = NULL;
  f->nlineinfo = 0;
  f->nlocvars = 0;
  f->locvars = NULL;
  f->lineDefined = 0;
  f->source = NULL;
  f->next = L->rootproto;
  L->rootproto = f;
  return f;
}

void luaF_protook(lua_State* L, Proto* f, int pc) {
  f->ncode = pc;
  L->nblocks += luaF_protosize(f);
}

void luaF_freeproto(lua_State* L, Proto* f) {
  if (f->ncode > 0) L->nblocks -= luaF_protosize(f);
  luaM_free(L, f->code);
  luaM_free(L, f->locvars);
  luaM_free(L, f->kstr);
  luaM_free(L, f->knum);
  luaM_free(L, f->kproto);
  luaM_free(L, f->lineinfo);
  luaM_free(L, f);
}

void luaF_freeclosure(lua_State* L, Closure* c) {
  L->nblocks -= sizeclosure(c->nupvalues);
  luaM_free(L, c);
}

const char* luaF_getlocalname(const Proto* f, int local_number, int pc) {
  for (int i = 0; i < f->nlocvars; i++) {
    const LocVar* v = &f->locvars[i];
    if (v->startpc > pc) continue;
    if (pc < v->endpc) {
      local_number--;
      if (local_number == 0) return v->varname ? v->varname->str : NULL;
    }
  }
  return NULL;
}
