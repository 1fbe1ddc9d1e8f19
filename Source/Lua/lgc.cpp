// Mark-and-sweep garbage collector with the host's collection callbacks.
#include "lgc.h"

#include "ldo.h"
#include "lfunc.h"
#include "lmem.h"
#include "lstate.h"
#include "lstring.h"
#include "ltable.h"
#include "ltm.h"

lua_GCCallback g_pGCCallback = NULL;
lua_GCThreadCallback g_pGCThreadCallback = NULL;

// Work lists of one collection, linked through the records' mark words.
typedef struct GCState {
  Hash* tmark;
  Closure* cmark;
} GCState;

// The collection in progress while the thread callback runs.
static GCState* s_pMarkState = NULL;
// State being collected; a collection never starts inside another (from a
// callback, a "gc" method or the error handler they may raise into).
static lua_State* s_pCollecting = NULL;

struct CollectingScope {
  explicit CollectingScope(lua_State* L) { s_pCollecting = L; }
  ~CollectingScope() { s_pCollecting = NULL; }
};

#define ismarked(x) ((x)->mark != (x))

static void strmark(TString* s) {
  if (s && s->marked == 0) s->marked = 1;
}

static void protomark(Proto* f) {
  if (f->marked) return;
  f->marked = 1;
  strmark(f->source);
  for (int i = 0; i < f->nkstr; i++) strmark(f->kstr[i]);
  for (int i = 0; i < f->nkproto; i++) {
    if (f->kproto[i]) protomark(f->kproto[i]);
  }
  for (int i = 0; i < f->nlocvars; i++) strmark(f->locvars[i].varname);
}

static void markclosure(GCState* st, Closure* cl) {
  if (!ismarked(cl)) {
    if (!cl->isC && cl->f.l) protomark(cl->f.l);
    cl->mark = st->cmark;
    st->cmark = cl;
  }
}

static void marktable(GCState* st, Hash* h) {
  if (!ismarked(h)) {
    h->mark = st->tmark;
    st->tmark = h;
  }
}

static void markvalue(GCState* st, int tag, Value* v) {
  switch (tag) {
    case LUA_TUSERDATA:
    case LUA_TSTRING: strmark(v->ts); break;
    case LUA_TMARK: markclosure(st, v->i->func); break;
    case LUA_TFUNCTION: markclosure(st, v->cl); break;
    case LUA_TTABLE: marktable(st, v->a); break;
    default: break;
  }
}

#define markobject(st, o) markvalue((st), ttype(o), &(o)->value)

static void markstack(GCState* st, lua_State* L) {
  for (StkId o = L->stack; o < L->top; o++) markobject(st, o);
}

void markthreadstack(lua_State* L) {
  if (s_pMarkState && L && L->stack) markstack(s_pMarkState, L);
}

static void traversetable(GCState* st, Hash* h) {
  for (int i = 0; i < h->size; i++) {
    Node* n = node(h, i);
    if (n->key_tt == LUA_TNIL) continue;
    if (n->val_tt == LUA_TNIL) luaH_remove(h, n);
    markvalue(st, n->key_tt, &n->key);
    markvalue(st, n->val_tt, &n->val);
  }
}

static void callthreadcallback(lua_State*, void*) {
  g_pGCThreadCallback(markthreadstack);
}

static void markall(lua_State* L) {
  GCState st;
  st.cmark = NULL;
  st.tmark = L->gt;
  L->gt->mark = NULL;
  for (int e = 0; e < TM_N; e++) {
    for (int t = 0; t <= L->last_tag; t++) {
      Closure* cl = luaT_gettm(L, t, e);
      if (cl) markclosure(&st, cl);
    }
  }
  if (g_pGCThreadCallback) {
    s_pMarkState = &st;
    luaD_runprotected(L, callthreadcallback, NULL);
    s_pMarkState = NULL;
  }
  markstack(&st, L);
  for (int i = 0; i < L->refSize; i++) {
    if (L->refArray[i].st == LOCK) markobject(&st, &L->refArray[i].o);
  }
  for (;;) {
    if (st.cmark) {
      Closure* f = st.cmark;
      st.cmark = f->mark;
      for (int i = 0; i < f->nupvalues; i++) markobject(&st, &f->upvalue[i]);
    } else if (st.tmark) {
      Hash* h = st.tmark;
      st.tmark = h->mark;
      traversetable(&st, h);
    } else {
      break;
    }
  }
}

static int hasmark(const TObject* o) {
  switch (ttype(o)) {
    case LUA_TSTRING:
    case LUA_TUSERDATA: return tsvalue(o)->marked;
    case LUA_TTABLE: return ismarked(hvalue(o));
    case LUA_TFUNCTION: return ismarked(clvalue(o));
    default: return 1;
  }
}

static void invalidaterefs(lua_State* L) {
  for (int n = 0; n < L->refSize; n++) {
    struct Ref* r = &L->refArray[n];
    if (r->st == HOLD && !hasmark(&r->o)) r->st = COLLECTED;
  }
}

static void collectproto(lua_State* L, int all) {
  Proto** p = &L->rootproto;
  Proto* next;
  while ((next = *p) != NULL) {
    if (!all && next->marked) {
      next->marked = 0;
      p = &next->next;
    } else {
      *p = next->next;
      luaF_freeproto(L, next);
    }
  }
}

static void collectclosure(lua_State* L, int all) {
  Closure** p = &L->rootcl;
  Closure* next;
  while ((next = *p) != NULL) {
    if (!all && ismarked(next)) {
      next->mark = next;
      p = &next->next;
    } else {
      *p = next->next;
      luaF_freeclosure(L, next);
    }
  }
}

static void collecttable(lua_State* L, int all) {
  Hash** p = &L->roottable;
  Hash* next;
  while ((next = *p) != NULL) {
    if (!all && ismarked(next)) {
      next->mark = next;
      p = &next->next;
    } else {
      *p = next->next;
      luaH_free(L, next);
    }
  }
}

static void checktab(lua_State* L, stringtable* t) {
  if (t->nuse < (lu_mem)(t->size / 4) && t->size > 10) luaS_resize(L, t, t->size / 2);
}

static void collectstrings(lua_State* L, int all) {
  for (int i = 0; i < L->strt.size; i++) {
    TString** p = &L->strt.hash[i];
    TString* next;
    while ((next = *p) != NULL) {
      if (next->marked && !all) {
        if (next->marked < FIXMARK) next->marked = 0;
        p = &next->nexthash;
      } else {
        *p = next->nexthash;
        L->strt.nuse--;
        L->nblocks -= sizestring(next->len);
        luaM_free(L, next);
      }
    }
  }
  checktab(L, &L->strt);
}

// Moves unreachable userdata to the collected list of their tags.
static void collectudata(lua_State* L, int all) {
  for (int i = 0; i < L->udt.size; i++) {
    TString** p = &L->udt.hash[i];
    TString* next;
    while ((next = *p) != NULL) {
      if (next->marked && !all) {
        next->marked = 0;
        p = &next->nexthash;
      } else {
        int tag = next->u.d.tag;
        if (tag < 0 || tag > L->last_tag) tag = LUA_TUSERDATA;
        *p = next->nexthash;
        next->nexthash = L->TMtable[tag].collected;
        L->TMtable[tag].collected = next;
        L->nblocks -= sizestring(next->len);
        L->udt.nuse--;
      }
    }
  }
  checktab(L, &L->udt);
}

typedef struct GCCall {
  Closure* tm;
  const TObject* o;
} GCCall;

static void f_callgc(lua_State* L, void* ud) {
  GCCall* c = (GCCall*)ud;
  luaD_checkstack(L, 2);
  setclvalue(L->top, c->tm);
  *(L->top + 1) = *c->o;
  L->top += 2;
  luaD_call(L, L->top - 2, 0);
}

// Runs a "gc" method with hooks off; an error in it does not stop the
// collection.
static void callgcTM(lua_State* L, Closure* tm, const TObject* o) {
  GCCall c;
  c.tm = tm;
  c.o = o;
  int oldah = L->allowhooks;
  L->allowhooks = 0;
  luaD_runprotected(L, f_callgc, &c);
  L->allowhooks = oldah;
}

static void callgcTMudata(lua_State* L) {
  L->GCthreshold = 2 * L->nblocks;  // no collection inside the methods
  for (int tag = L->last_tag; tag >= 0; tag--) {
    TString* udata;
    while ((udata = L->TMtable[tag].collected) != NULL) {
      L->TMtable[tag].collected = udata->nexthash;
      Closure* tm = luaT_gettm(L, tag, TM_GC);
      if (tm != NULL) {
        TObject o;
        setuvalue(&o, udata);
        callgcTM(L, tm, &o);
      }
      luaM_free(L, udata);
    }
  }
}

void luaC_collect(lua_State* L, int all) {
  if (all) {
    // Closing: the methods run while everything they may use still exists.
    collectudata(L, 1);
    if (L->stack && L->TMtable) callgcTMudata(L);
    collectstrings(L, 1);
    collecttable(L, 1);
    collectproto(L, 1);
    collectclosure(L, 1);
    return;
  }
  // The methods of collected userdata run once the sweep is complete, so
  // that nothing they create is swept by this collection and an error in
  // them cannot leave the heap half swept.
  collectudata(L, 0);
  collectstrings(L, 0);
  collecttable(L, 0);
  collectproto(L, 0);
  collectclosure(L, 0);
  callgcTMudata(L);
}

static void checkMbuffer(lua_State* L) {
  if (L->Mbuffsize > 512) {
    size_t newsize = L->Mbuffsize / 2;
    L->nblocks -= (lu_mem)(L->Mbuffsize - newsize);
    L->Mbuffer = (char*)luaM_realloc_sized(L, L->Mbuffer, newsize, L->Mbuffsize);
    L->Mbuffsize = newsize;
  }
}

typedef struct GCNotice {
  GCCALLBACK_REASON reason;
} GCNotice;

static void f_gccallback(lua_State* L, void* ud) {
  g_pGCCallback(((GCNotice*)ud)->reason, L);
}

static void notifyhost(lua_State* L, GCCALLBACK_REASON reason) {
  if (g_pGCCallback) {
    GCNotice n;
    n.reason = reason;
    luaD_runprotected(L, f_gccallback, &n);
  }
}

void luaC_collectgarbage(lua_State* L) {
  if (s_pCollecting == L) return;
  CollectingScope scope(L);
  notifyhost(L, GCCALLBACK_BEGIN);
  markall(L);
  invalidaterefs(L);
  luaC_collect(L, 0);
  checkMbuffer(L);
  L->GCthreshold = 2 * L->nblocks;
  Closure* tm = luaT_gettm(L, LUA_TNIL, TM_GC);
  if (tm) callgcTM(L, tm, &luaO_nilobject);
  notifyhost(L, GCCALLBACK_END);
}

void luaC_checkGC(lua_State* L) {
  if (L->nblocks >= L->GCthreshold) luaC_collectgarbage(L);
}

void lua_setgccallback(lua_GCCallback callback) {
  g_pGCCallback = callback;
}

void lua_setgcthreadcallback(lua_GCThreadCallback callback) {
  g_pGCThreadCallback = callback;
}
