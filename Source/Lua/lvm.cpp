// The virtual machine.
#include "lvm.h"

#include <stdio.h>
#include <string.h>

#include "lapi.h"
#include "ldebug.h"
#include "lfunc.h"
#include "lgc.h"
#include "lopcodes.h"
#include "lstate.h"
#include "lstring.h"
#include "ltable.h"
#include "ltm.h"

// Free slots a script function gets beyond its own maximum, for the
// operands of tag-method calls.
#define EXTRA_VM 8

// Items stored by one OP_SETLIST.
#define LFIELDS_PER_FLUSH 31

int luaV_tonumber(TObject* obj) {
  if (ttype(obj) != LUA_TSTRING) return 1;
  Number n;
  if (!luaO_str2d(svalue(obj), &n)) return 2;
  setnvalue(obj, n);
  return 0;
}

int luaV_tostring(lua_State* L, TObject* obj) {
  if (ttype(obj) != LUA_TNUMBER) return 1;
  char s[40];
  snprintf(s, sizeof(s), "%.16g", (double)nvalue(obj));
  setsvalue(obj, luaS_new(L, s));
  return 0;
}

static void traceexec(lua_State* L, StkId base, StkId top, lua_Hook linehook) {
  CallInfo* ci = infovalue(base - 1);
  const Proto* p = ci->func->f.l;
  int pc = (int)(*ci->pc - p->code) - 1;
  int oldline = ci->line;
  int newline = luaG_getline_sized(p->lineinfo, p->nlineinfo, pc, ci->line, &ci->refi);
  ci->line = newline;
  // a new line, a jump back or the first instruction
  if (pc == 0 || newline != oldline || pc <= ci->lastpc) {
    L->top = top;
    luaD_lineHook(L, base - 1, newline, linehook);
  }
  ci->lastpc = pc;
}

static Closure* function_closure(lua_State* L, int nelems) {
  Closure* c = luaF_newclosure(L, nelems);
  L->top -= nelems;
  for (int i = 0; i < nelems; i++) c->upvalue[i] = L->top[i];
  return c;
}

void luaV_Cclosure(lua_State* L, lua_CFunction c, int nelems) {
  Closure* cl = function_closure(L, nelems);
  cl->f.c = c;
  cl->isC = 1;
  setclvalue(L->top, cl);
  incr_top;
}

void luaV_Lclosure(lua_State* L, Proto* l, int nelems) {
  Closure* cl = function_closure(L, nelems);
  cl->f.l = l;
  cl->isC = 0;
  setclvalue(L->top, cl);
  incr_top;
}

void luaV_gettable(lua_State* L, StkId t) {
  Closure* tm;
  int tg;
  if (ttype(t) == LUA_TTABLE &&
      ((tg = hvalue(t)->htag) == LUA_TTABLE || luaT_gettm(L, tg, TM_GETTABLE) == NULL)) {
    const Node* h = luaH_get(L, hvalue(t), L->top - 1);
    if (h->val_tt != LUA_TNIL || (tm = luaT_gettm(L, tg, TM_INDEX)) == NULL) {
      getnodeval(L->top - 1, h);
      return;
    }
  } else {
    tm = luaT_gettmbyObj(L, t, TM_GETTABLE);
    if (tm == NULL) luaG_typeerror(L, t, "index");
  }
  // call the method with (value, key); its result replaces the key
  luaD_checkstack(L, 2);
  *(L->top + 1) = *(L->top - 1);
  *L->top = *t;
  L->top += 2;
  luaD_callTM(L, tm, 2, 1);
  *(L->top - 2) = *(L->top - 1);
  L->top--;
}

void luaV_settable(lua_State* L, StkId t, StkId key) {
  int tg;
  if (ttype(t) == LUA_TTABLE &&
      ((tg = hvalue(t)->htag) == LUA_TTABLE || luaT_gettm(L, tg, TM_SETTABLE) == NULL)) {
    Node* n = luaH_set(L, hvalue(t), key);
    setnodeval(n, L->top - 1);
    return;
  }
  Closure* tm = luaT_gettmbyObj(L, t, TM_SETTABLE);
  if (tm == NULL) luaG_typeerror(L, t, "index");
  // call the method with (value, key, new value)
  luaD_checkstack(L, 3);
  *(L->top + 2) = *(L->top - 1);
  *(L->top + 1) = *key;
  *(L->top) = *t;
  L->top += 3;
  luaD_callTM(L, tm, 3, 0);
}

void luaV_getglobal(lua_State* L, TString* s) {
  const Node* value = luaH_getstr(L->gt, s);
  Closure* tm = luaT_gettm(L, luaT_tag2(value->val_tt, &value->val), TM_GETGLOBAL);
  if (tm == NULL) {
    luaA_pushtypedvalue(L, value->val_tt, &value->val);
  } else {
    luaD_checkstack(L, 3);
    setsvalue(L->top, s);
    (L->top + 1)->ttype = value->val_tt;
    (L->top + 1)->value = value->val;
    L->top += 2;
    luaD_callTM(L, tm, 2, 1);
  }
}

void luaV_setglobal(lua_State* L, TString* s) {
  const Node* oldvalue = luaH_getstr(L->gt, s);
  Closure* tm = luaT_gettm(L, luaT_tag2(oldvalue->val_tt, &oldvalue->val), TM_SETGLOBAL);
  if (tm == NULL) {
    Node* n;
    if (oldvalue != &luaO_nilnode) {
      n = (Node*)oldvalue;
    } else {
      TObject key;
      setsvalue(&key, s);
      n = luaH_set(L, L->gt, &key);
    }
    setnodeval(n, L->top - 1);
    L->top--;
  } else {
    // call the method with (name, old value, new value)
    luaD_checkstack(L, 3);
    *(L->top + 1) = *(L->top - 1);
    (L->top)->ttype = oldvalue->val_tt;
    (L->top)->value = oldvalue->val;
    setsvalue(L->top - 1, s);
    L->top += 2;
    luaD_callTM(L, tm, 3, 0);
  }
}

// Calls the method of a two-operand event on the operands at top-2 and
// top-1 (first operand, second operand, then tag 0); the result replaces
// the operands. Returns 0 when there is no method.
static int call_binTM(lua_State* L, StkId top, TMS event) {
  Closure* tm = luaT_gettmbyObj(L, top - 2, event);
  if (tm == NULL) {
    tm = luaT_gettmbyObj(L, top - 1, event);
    if (tm == NULL) {
      tm = luaT_gettm(L, 0, event);
      if (tm == NULL) return 0;
    }
  }
  L->top = top;
  lua_pushstring(L, luaT_eventname[event]);
  luaD_callTM(L, tm, 3, 1);
  return 1;
}

static void call_arith(lua_State* L, StkId top, TMS event) {
  if (!call_binTM(L, top, event)) luaG_binerror(L, top - 2, LUA_TNUMBER, "perform arithmetic on");
}

static int luaV_strcomp(const TString* ls, const TString* rs) {
  const char* l = ls->str;
  size_t ll = ls->len;
  const char* r = rs->str;
  size_t lr = rs->len;
  for (;;) {
    int temp = strcoll(l, r);
    if (temp != 0) return temp;
    // equal up to a zero byte: compare what follows it
    size_t len = strlen(l);
    if (len == lr) return (len == ll) ? 0 : 1;
    if (len == ll) return -1;
    len++;
    l += len;
    ll -= len;
    r += len;
    lr -= len;
  }
}

int luaV_lessthan(lua_State* L, const TObject* l, const TObject* r, StkId top) {
  if (ttype(l) == LUA_TNUMBER && ttype(r) == LUA_TNUMBER) return nvalue(l) < nvalue(r);
  if (ttype(l) == LUA_TSTRING && ttype(r) == LUA_TSTRING)
    return luaV_strcomp(tsvalue(l), tsvalue(r)) < 0;
  // the "lt" method
  L->top = top;
  luaD_checkstack(L, 3);
  *top++ = *l;
  *top++ = *r;
  if (!call_binTM(L, top, TM_LT)) luaG_ordererror(L, top);
  L->top--;
  return ttype(L->top) != LUA_TNIL;
}

void luaV_strconc(lua_State* L, int total, StkId top) {
  do {
    int n = 2;  // values concatenated in this round
    if (tostring(L, top - 2) || tostring(L, top - 1)) {
      if (!call_binTM(L, top, TM_CONCAT)) luaG_binerror(L, top - 2, LUA_TSTRING, "concat");
    } else if (tsvalue(top - 1)->len > 0) {
      uint64_t tl = (uint64_t)tsvalue(top - 1)->len + tsvalue(top - 2)->len;
      while (n < total && !tostring(L, top - n - 1)) {
        tl += tsvalue(top - n - 1)->len;
        n++;
      }
      if (tl >= 0xFFFFFFFEu) lua_error(L, "string size overflow");
      char* buffer = luaO_openspace(L, (size_t)tl);
      size_t used = 0;
      for (int i = n; i > 0; i--) {
        size_t l = tsvalue(top - i)->len;
        memcpy(buffer + used, tsvalue(top - i)->str, l);
        used += l;
      }
      setsvalue(top - n, luaS_newlstr(L, buffer, (size_t)tl));
    }
    total -= n - 1;
    top -= n - 1;
  } while (total > 1);
}

static void luaV_pack(lua_State* L, StkId firstelem) {
  int nvararg = (int)(L->top - firstelem);
  Hash* htab = luaH_new(L, nvararg + 1);
  for (int i = 0; i < nvararg; i++) {
    Node* n = luaH_setint(L, htab, i + 1);
    setnodeval(n, firstelem + i);
  }
  luaH_setstrnum(L, htab, luaS_new(L, "n"), (Number)nvararg);
  L->top = firstelem;
  sethvalue(L->top, htab);
  incr_top;
}

static void adjust_varargs(lua_State* L, StkId base, int nfixargs) {
  int nvararg = (int)(L->top - base) - nfixargs;
  if (nvararg < 0) luaD_adjusttop(L, base, nfixargs);
  luaV_pack(L, base + nfixargs);
}

#define dojump(pc, i) ((pc) += GETARG_S(i))

StkId luaV_execute(lua_State* L, const Closure* cl, StkId base) {
  const Proto* const tf = cl->f.l;
  TString** const kstr = tf->kstr;
  const lua_Hook linehook = L->linehook;
  const Instruction* pc = tf->code;
  int ext = EXTARG_NONE;
  StkId top;
  infovalue(base - 1)->pc = &pc;
  luaD_checkstack(L, tf->maxstacksize + EXTRA_VM);
  if (tf->is_vararg)
    adjust_varargs(L, base, tf->numparams);
  else
    luaD_adjusttop(L, base, tf->numparams);
  top = L->top;
  for (;;) {
    const Instruction i = *pc++;
    if (linehook) traceexec(L, base, top, linehook);
    switch (GET_OPCODE(i)) {
      case OP_END:
        L->top = top;
        return top;
      case OP_RETURN:
        L->top = top;
        return base + GETARG_U(i);
      case OP_CALL: {
        int nres = GETARG_B(i);
        if (nres == MULT_RET) nres = LUA_MULTRET;
        L->top = top;
        luaD_call(L, base + GETARG_A(i), nres);
        top = L->top;
        break;
      }
      case OP_CALLEXT: {
        int nres = GETARG_B(i);
        if (nres == MULT_RET) nres = LUA_MULTRET;
        L->top = top;
        StkId f = base + ext;
        ext = EXTARG_NONE;
        luaD_call(L, f, nres);
        top = L->top;
        break;
      }
      case OP_TAILCALL:
        L->top = top;
        luaD_call(L, base + GETARG_A(i), LUA_MULTRET);
        return base + GETARG_B(i);
      case OP_PUSHNIL:
        for (int n = GETARG_U(i); n > 0; n--) setnilvalue(top++);
        break;
      case OP_POP:
        top -= GETARG_U(i);
        break;
      case OP_PUSHINT:
        setnvalue(top, (Number)GETARG_S(i));
        top++;
        break;
      case OP_PUSHSTRING:
        setsvalue(top, kstr[GETARG_U(i)]);
        top++;
        break;
      case OP_PUSHNUM:
        setnvalue(top, tf->knum[GETARG_U(i)]);
        top++;
        break;
      case OP_PUSHNEGNUM:
        setnvalue(top, -tf->knum[GETARG_U(i)]);
        top++;
        break;
      case OP_PUSHUPVALUE:
        *top++ = cl->upvalue[GETARG_U(i)];
        break;
      case OP_GETLOCAL:
        *top++ = *(base + GETARG_U(i));
        break;
      case OP_GETGLOBAL:
        L->top = top;
        luaV_getglobal(L, kstr[GETARG_U(i)]);
        top++;
        break;
      case OP_GETTABLE:
        L->top = top;
        luaV_gettable(L, top - 2);
        *(top - 2) = *(top - 1);
        top--;
        break;
      case OP_GETDOTTED:
        setsvalue(top, kstr[GETARG_U(i)]);
        L->top = top + 1;
        luaV_gettable(L, top - 1);
        *(top - 1) = *top;
        break;
      case OP_GETINDEXED:
        *top = *(base + GETARG_U(i));
        L->top = top + 1;
        luaV_gettable(L, top - 1);
        *(top - 1) = *top;
        break;
      case OP_PUSHSELF: {
        TObject receiver = *(top - 1);
        setsvalue(top, kstr[GETARG_U(i)]);
        L->top = top + 1;
        luaV_gettable(L, top - 1);
        *(top - 1) = *top;
        *top++ = receiver;
        break;
      }
      case OP_CREATETABLE:
        L->top = top;
        luaC_checkGC(L);
        sethvalue(top, luaH_new(L, GETARG_U(i)));
        top++;
        break;
      case OP_SETLOCAL:
        *(base + GETARG_U(i)) = *(--top);
        break;
      case OP_SETGLOBAL:
        L->top = top;
        luaV_setglobal(L, kstr[GETARG_U(i)]);
        top--;
        break;
      case OP_SETTABLE: {
        StkId t = top - GETARG_A(i);
        L->top = top;
        luaV_settable(L, t, t + 1);
        top -= GETARG_B(i);
        break;
      }
      case OP_SETLIST: {
        int aux = GETARG_A(i) * LFIELDS_PER_FLUSH;
        int n = GETARG_B(i);
        StkId t = top - n - 1;
        L->top = top;
        if (ttype(t) != LUA_TTABLE) luaG_typeerror(L, t, "index");
        Hash* arr = hvalue(t);
        for (; n; n--) {
          Node* nd = luaH_setint(L, arr, n + aux);
          setnodeval(nd, top - 1);
          top--;
        }
        break;
      }
      case OP_SETMAP: {
        int n = GETARG_U(i);
        StkId t = top - 2 * n - 1;
        L->top = top;
        if (ttype(t) != LUA_TTABLE) luaG_typeerror(L, t, "index");
        Hash* arr = hvalue(t);
        for (; n; n--) {
          Node* nd = luaH_set(L, arr, top - 2);
          setnodeval(nd, top - 1);
          top -= 2;
        }
        break;
      }
      case OP_ADD:
        if (tonumber(top - 2) || tonumber(top - 1))
          call_arith(L, top, TM_ADD);
        else
          nvalue(top - 2) += nvalue(top - 1);
        top--;
        break;
      case OP_ADDI:
        if (tonumber(top - 1)) {
          setnvalue(top, (Number)GETARG_S(i));
          call_arith(L, top + 1, TM_ADD);
        } else {
          nvalue(top - 1) += (Number)GETARG_S(i);
        }
        break;
      case OP_SUB:
        if (tonumber(top - 2) || tonumber(top - 1))
          call_arith(L, top, TM_SUB);
        else
          nvalue(top - 2) -= nvalue(top - 1);
        top--;
        break;
      case OP_MULT:
        if (tonumber(top - 2) || tonumber(top - 1))
          call_arith(L, top, TM_MUL);
        else
          nvalue(top - 2) *= nvalue(top - 1);
        top--;
        break;
      case OP_DIV:
        if (tonumber(top - 2) || tonumber(top - 1))
          call_arith(L, top, TM_DIV);
        else
          nvalue(top - 2) /= nvalue(top - 1);
        top--;
        break;
      case OP_POW:
        if (!call_binTM(L, top, TM_POW)) lua_error(L, "undefined operation");
        top--;
        break;
      case OP_CONCAT: {
        int n = GETARG_U(i);
        L->top = top;
        luaV_strconc(L, n, top);
        top -= n - 1;
        L->top = top;
        luaC_checkGC(L);
        break;
      }
      case OP_MINUS:
        if (tonumber(top - 1)) {
          setnilvalue(top);
          call_arith(L, top + 1, TM_UNM);
        } else {
          nvalue(top - 1) = -nvalue(top - 1);
        }
        break;
      case OP_NOT:
        if (ttype(top - 1) == LUA_TNIL) {
          setnvalue(top - 1, 1);
        } else {
          setnilvalue(top - 1);
        }
        break;
      case OP_JMPNE:
        top -= 2;
        if (!luaO_equalObj(top, top + 1)) dojump(pc, i);
        break;
      case OP_JMPEQ:
        top -= 2;
        if (luaO_equalObj(top, top + 1)) dojump(pc, i);
        break;
      case OP_JMPLT:
        top -= 2;
        if (luaV_lessthan(L, top, top + 1, top + 2)) dojump(pc, i);
        break;
      case OP_JMPLE:  // a <= b  ===  !(b < a)
        top -= 2;
        if (!luaV_lessthan(L, top + 1, top, top + 2)) dojump(pc, i);
        break;
      case OP_JMPGT:  // a > b  ===  (b < a)
        top -= 2;
        if (luaV_lessthan(L, top + 1, top, top + 2)) dojump(pc, i);
        break;
      case OP_JMPGE:  // a >= b  ===  !(a < b)
        top -= 2;
        if (!luaV_lessthan(L, top, top + 1, top + 2)) dojump(pc, i);
        break;
      case OP_JMPT:
        if (ttype(--top) != LUA_TNIL) dojump(pc, i);
        break;
      case OP_JMPF:
        if (ttype(--top) == LUA_TNIL) dojump(pc, i);
        break;
      case OP_JMPONT:
        if (ttype(top - 1) == LUA_TNIL)
          top--;
        else
          dojump(pc, i);
        break;
      case OP_JMPONF:
        if (ttype(top - 1) != LUA_TNIL)
          top--;
        else
          dojump(pc, i);
        break;
      case OP_JMP:
        dojump(pc, i);
        break;
      case OP_PUSHNILJMP:
        setnilvalue(top++);
        pc++;
        break;
      case OP_FORPREP:
        L->top = top;
        if (tonumber(top - 1)) lua_error(L, "`for' step must be a number");
        if (tonumber(top - 2)) lua_error(L, "`for' limit must be a number");
        if (tonumber(top - 3)) lua_error(L, "`for' initial value must be a number");
        if (nvalue(top - 1) > 0 ? nvalue(top - 3) > nvalue(top - 2)
                                : nvalue(top - 3) < nvalue(top - 2)) {
          top -= 3;  // empty loop
          dojump(pc, i);
        }
        break;
      case OP_FORLOOP: {
        if (ttype(top - 3) != LUA_TNUMBER) {
          L->top = top;
          lua_error(L, "`for' index must be a number");
        }
        nvalue(top - 3) += nvalue(top - 1);
        if (nvalue(top - 1) > 0 ? nvalue(top - 3) > nvalue(top - 2)
                                : nvalue(top - 3) < nvalue(top - 2))
          top -= 3;
        else
          dojump(pc, i);
        break;
      }
      case OP_LFORPREP: {
        L->top = top;
        if (ttype(top - 1) != LUA_TTABLE) lua_error(L, "`for' table must be a table");
        Node* n = luaH_next(L, hvalue(top - 1), &luaO_nilobject);
        if (n == NULL) {
          top--;
          dojump(pc, i);
        } else {
          top += 2;
          getnodekey(top - 2, n);
          getnodeval(top - 1, n);
        }
        break;
      }
      case OP_LFORLOOP: {
        L->top = top;
        if (ttype(top - 3) != LUA_TTABLE) lua_error(L, "`for' table must be a table");
        Node* n = luaH_next(L, hvalue(top - 3), top - 2);
        if (n == NULL) {
          top -= 3;
        } else {
          getnodekey(top - 2, n);
          getnodeval(top - 1, n);
          dojump(pc, i);
        }
        break;
      }
      case OP_CLOSURE:
        L->top = top;
        luaV_Lclosure(L, tf->kproto[GETARG_A(i)], GETARG_B(i));
        top = L->top;
        luaC_checkGC(L);
        break;
      case OP_CLOSUREEXT:
        L->top = top;
        luaV_Lclosure(L, tf->kproto[ext], GETARG_U(i));
        ext = EXTARG_NONE;
        top = L->top;
        break;
      case OP_EXTARGU:
        ext = GETARG_U(i);
        break;
      case OP_EXTARGS:
        ext = GETARG_S(i);
        break;
      default:
        break;  // undefined opcodes are refused when code is loaded
    }
  }
}
