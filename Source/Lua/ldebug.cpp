// Debug interface: activation records, line numbers, local names and the
// naming of values in error messages.
#include "ldebug.h"

#include <string.h>

#include "lapi.h"
#include "ldo.h"
#include "lfunc.h"
#include "lopcodes.h"
#include "lstate.h"
#include "lstring.h"
#include "ltable.h"
#include "ltm.h"

// End mark of a line table.
#define LINEINFO_END 0x7FFFFFFD

lua_Hook lua_setcallhook(lua_State* L, lua_Hook func) {
  lua_Hook oldhook = L->callhook;
  L->callhook = func;
  return oldhook;
}

lua_Hook lua_setlinehook(lua_State* L, lua_Hook func) {
  lua_Hook oldhook = L->linehook;
  L->linehook = func;
  return oldhook;
}

static int isLmark(StkId o) {
  return ttype(o) == LUA_TMARK && !infovalue(o)->func->isC;
}

int lua_getstack(lua_State* L, int level, lua_Debug* ar) {
  StkId f = L->top;
  do {
    if (f <= L->stack) return 0;
    f--;
    if (ttype(f) == LUA_TMARK) level--;
  } while (level >= 0);
  ar->_func = f;
  return 1;
}

// Current instruction of an active script call, or -1.
static int currentpc(StkId f) {
  if (!isLmark(f)) return -1;
  CallInfo* ci = infovalue(f);
  if (ci->pc == NULL) return -1;
  return (int)(*ci->pc - ci->func->f.l->code) - 1;
}

int luaG_getline_sized(const int* lineinfo, int n, int pc, int refline, int* prefi) {
  int refi = prefi ? *prefi : -1;
  int64_t line;
  int64_t result;
  int i;
  if (refi >= 0 && refi < n && lineinfo[refi] >= 0 && lineinfo[refi] <= pc) {
    i = refi + 1;
    line = result = refline;
  } else {
    i = 0;
    line = result = 0;
    refi = -1;
  }
  for (; i < n; i++) {
    int e = lineinfo[i];
    if (e == LINEINFO_END) break;
    if (e < 0) {
      line -= (int64_t)e;
      continue;
    }
    if (e > pc) break;
    line++;
    result = line;
    refi = i;
  }
  if (prefi) *prefi = refi;
  if (result > INT_MAX) result = INT_MAX;
  return (int)result;
}

int luaG_getline(int* lineinfo, int pc, int refline, int* refi) {
  return luaG_getline_sized(lineinfo, INT_MAX, pc, refline, refi);
}

static int currentline(StkId f) {
  int pc = currentpc(f);
  if (pc < 0) return -1;
  const Proto* p = infovalue(f)->func->f.l;
  return luaG_getline_sized(p->lineinfo, p->nlineinfo, pc, 0, NULL);
}

static Closure* funcclosure(StkId f) {
  return ttype(f) == LUA_TMARK ? infovalue(f)->func : clvalue(f);
}

static void funcinfo(lua_Debug* ar, StkId func) {
  Closure* cl = funcclosure(func);
  if (cl->isC) {
    ar->source = "=C";
    ar->linedefined = -1;
    ar->what = "C";
  } else {
    const Proto* p = cl->f.l;
    ar->source = p->source ? p->source->str : "=?";
    ar->linedefined = p->lineDefined;
    ar->what = (p->lineDefined == 0) ? "main" : "Lua";
  }
  luaO_chunkid(ar->short_src, ar->source, sizeof(ar->short_src));
}

// Names a function by a global holding it or an event whose method it is.
static const char* travglobals(lua_State* L, const Closure* cl, const char** name) {
  const Hash* g = L->gt;
  for (int i = 0; i < g->size; i++) {
    const Node* n = node(g, i);
    if (n->val_tt == LUA_TFUNCTION && n->val.cl == cl && n->key_tt == LUA_TSTRING) {
      *name = n->key.ts->str;
      return "global";
    }
  }
  for (int e = 0; e < TM_N; e++) {
    for (int t = 0; t <= L->last_tag; t++) {
      if (luaT_gettm(L, t, e) == cl) {
        *name = luaT_eventname[e];
        return "tag-method";
      }
    }
  }
  return NULL;
}

// Size of the simulated stack of the symbolic execution.
#define SYMSTACK 1100

// Finds the instruction that last produced stack slot stackpos before
// instruction lastpc; -1 when none.
static int symbexec(const Proto* pt, int lastpc, int stackpos) {
  int stack[SYMSTACK];
  const Instruction* code = pt->code;
  int top = pt->numparams + (pt->is_vararg ? 1 : 0);
  int ext = EXTARG_NONE;
  if (top > SYMSTACK || lastpc > pt->ncode) return -1;
  for (int j = 0; j < top; j++) stack[j] = -1;
  int pc = 0;
  while (pc < lastpc) {
    const Instruction i = code[pc];
    const OpCode op = GET_OPCODE(i);
    int push = 0;
    switch (op) {
      case OP_RETURN: top = GETARG_U(i); break;
      case OP_TAILCALL: top = GETARG_B(i); break;
      case OP_CALL:
      case OP_CALLEXT: {
        int nres = GETARG_B(i);
        if (nres == MULT_RET) nres = 1;
        top = (op == OP_CALL) ? GETARG_A(i) : ext;
        if (op == OP_CALLEXT) ext = EXTARG_NONE;
        push = nres;
        break;
      }
      case OP_PUSHNIL: push = GETARG_U(i); break;
      case OP_POP: top -= GETARG_U(i); break;
      case OP_SETTABLE:
      case OP_SETLIST: top -= GETARG_B(i); break;
      case OP_SETMAP: top -= 2 * GETARG_U(i); break;
      case OP_CONCAT: top -= GETARG_U(i); push = 1; break;
      case OP_CLOSURE: top -= GETARG_B(i); push = 1; break;
      case OP_CLOSUREEXT: top -= GETARG_U(i); push = 1; ext = EXTARG_NONE; break;
      case OP_EXTARGU: ext = GETARG_U(i); break;
      case OP_EXTARGS: ext = GETARG_S(i); break;
      case OP_JMPONT:
      case OP_JMPONF: {
        int newpc = pc + 1 + GETARG_S(i);
        if (pc < newpc && newpc <= lastpc && top >= 1) {
          stack[top - 1] = pc;  // the kept value comes from this jump
          pc = newpc;
          continue;
        }
        top--;
        break;
      }
      default:
        if ((int)op >= NUM_OPCODES) return -1;
        top -= luaK_opproperties[op].pop;
        push = (luaK_opproperties[op].push == VD) ? 0 : luaK_opproperties[op].push;
        break;
    }
    if (top < 0 || top + push > SYMSTACK) return -1;
    while (push--) stack[top++] = pc;
    pc++;
  }
  return (0 <= stackpos && stackpos < top) ? stack[stackpos] : -1;
}

// The innermost active call below slot o.
static StkId callbelow(lua_State* L, StkId o) {
  for (StkId f = o - 1; f >= L->stack; f--) {
    if (ttype(f) == LUA_TMARK) return f;
  }
  return NULL;
}

static const char* getobjname(lua_State* L, StkId obj, const char** name) {
  StkId func = callbelow(L, obj);
  if (func == NULL || !isLmark(func)) return NULL;
  const Proto* p = infovalue(func)->func->f.l;
  int pc = currentpc(func);
  if (pc < 0) return NULL;
  int at = symbexec(p, pc, (int)(obj - (func + 1)));
  if (at < 0) return NULL;
  Instruction i = p->code[at];
  switch (GET_OPCODE(i)) {
    case OP_GETGLOBAL:
      if (GETARG_U(i) >= p->nkstr) return NULL;
      *name = p->kstr[GETARG_U(i)]->str;
      return "global";
    case OP_GETLOCAL:
      *name = luaF_getlocalname(p, GETARG_U(i) + 1, pc);
      return *name ? "local" : NULL;
    case OP_GETDOTTED:
    case OP_PUSHSELF:
      if (GETARG_U(i) >= p->nkstr) return NULL;
      *name = p->kstr[GETARG_U(i)]->str;
      return "field";
    default:
      return NULL;
  }
}

// How the caller of the active call f named the called value.
static const char* getfuncname(lua_State* L, StkId f, const char** name) {
  StkId func = callbelow(L, f);
  if (func == NULL || !isLmark(func)) return NULL;
  int pc = currentpc(func);
  if (pc < 0) return NULL;
  const Proto* p = infovalue(func)->func->f.l;
  Instruction i = p->code[pc];
  switch (GET_OPCODE(i)) {
    case OP_CALL:
    case OP_TAILCALL:
      return getobjname(L, (func + 1) + GETARG_A(i), name);
    default:
      return NULL;
  }
}

int lua_getinfo(lua_State* L, const char* what, lua_Debug* ar) {
  StkId func;
  int isactive = (*what != '>');
  if (isactive) {
    func = ar->_func;
  } else {
    what++;
    func = L->top - 1;
  }
  if (ttype(func) != LUA_TFUNCTION && ttype(func) != LUA_TMARK)
    lua_error(L, "value for `lua_getinfo' is not a function");
  for (; *what; what++) {
    switch (*what) {
      case 'S':
        funcinfo(ar, func);
        break;
      case 'l':
        ar->currentline = currentline(func);
        break;
      case 'u':
        ar->nups = funcclosure(func)->nupvalues;
        break;
      case 'n':
        ar->name = NULL;
        ar->namewhat = isactive ? getfuncname(L, func, &ar->name) : NULL;
        if (ar->namewhat == NULL) ar->namewhat = travglobals(L, funcclosure(func), &ar->name);
        if (ar->namewhat == NULL) {
          ar->namewhat = "";
          ar->name = NULL;
        }
        break;
      case 'f':
        setclvalue(L->top, funcclosure(func));
        incr_top;
        break;
      default:
        return 0;
    }
  }
  if (!isactive) L->top--;
  return 1;
}

static const Proto* getluaproto(StkId f) {
  return isLmark(f) ? infovalue(f)->func->f.l : NULL;
}

const char* lua_getlocal(lua_State* L, const lua_Debug* ar, int localnum) {
  StkId f = ar->_func;
  const Proto* fp = getluaproto(f);
  if (!fp) return NULL;
  const char* name = luaF_getlocalname(fp, localnum, currentpc(f));
  if (!name) return NULL;
  luaA_pushobject(L, (f + 1) + (localnum - 1));
  return name;
}

const char* lua_setlocal(lua_State* L, const lua_Debug* ar, int localnum) {
  StkId f = ar->_func;
  const Proto* fp = getluaproto(f);
  L->top--;
  if (!fp) return NULL;
  const char* name = luaF_getlocalname(fp, localnum, currentpc(f));
  if (!name) return NULL;
  if (name[0] != '(') *((f + 1) + (localnum - 1)) = *L->top;
  return name;
}

void luaG_typeerror(lua_State* L, StkId o, const char* op) {
  const char* name = NULL;
  const char* kind = getobjname(L, o, &name);
  const char* t = luaO_typename(o);
  if (kind)
    luaO_verror(L, "attempt to %.30s %.20s `%.40s' (a %.10s value)", op, kind, name, t);
  else
    luaO_verror(L, "attempt to %.30s a %.10s value", op, t);
}

void luaG_binerror(lua_State* L, StkId p1, int t, const char* op) {
  if (ttype(p1) == t) p1++;
  luaG_typeerror(L, p1, op);
}

void luaG_ordererror(lua_State* L, StkId top) {
  const char* t1 = luaO_typename(top - 2);
  const char* t2 = luaO_typename(top - 1);
  if (strcmp(t1, t2) == 0)
    luaO_verror(L, "attempt to compare two %.10s values", t1);
  else
    luaO_verror(L, "attempt to compare %.10s with %.10s", t1, t2);
}
