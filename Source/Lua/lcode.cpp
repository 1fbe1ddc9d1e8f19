// Code generator.
#include "lcode.h"

#include <stdlib.h>

#include "lmem.h"
#include "lstate.h"

void luaK_error(LexState* ls, const char* msg) {
  luaX_error(ls, msg, ls->t.token);
}

// The instruction the next one may be folded into; none (0) at a jump
// target, so that nothing is ever folded across a label.
static Instruction previous_instruction(FuncState* fs) {
  if (fs->pc > fs->lasttarget) return fs->f->code[fs->pc - 1];
  return CREATE_0(OP_END);
}

static int isjump(OpCode op) {
  return ISJUMP(op);
}

// ---------------------------------------------------------------------------
// Jumps and jump lists

static void luaK_fixjump(FuncState* fs, int pc, int dest) {
  Instruction* jmp = &fs->f->code[pc];
  if (dest == NO_JUMP) {
    SETARG_S(*jmp, NO_JUMP);  // end of a list
  } else {
    int offset = dest - (pc + 1);
    if (abs(offset) > MAXARG_S) luaK_error(fs->ls, "control structure too long");
    SETARG_S(*jmp, offset);
  }
}

static int luaK_getjump(FuncState* fs, int pc) {
  int offset = GETARG_S(fs->f->code[pc]);
  if (offset == NO_JUMP) return NO_JUMP;  // end of the list
  return pc + 1 + offset;
}

int luaK_getlabel(FuncState* fs) {
  if (fs->pc != fs->lasttarget) {
    int lasttarget = fs->lasttarget;
    fs->lasttarget = fs->pc;
    luaK_patchlist(fs, fs->jlt, lasttarget);  // the waiting jumps get their target
    fs->jlt = NO_JUMP;
  }
  return fs->pc;
}

int luaK_jump(FuncState* fs) {
  int j = luaK_code1(fs, OP_JMP, NO_JUMP);
  if (j == fs->lasttarget) {  // jumps to this label may go straight on
    luaK_concat(fs, &j, fs->jlt);
    fs->jlt = NO_JUMP;
  }
  return j;
}

// Fixes every jump of the list to target; jumps with opcode special keep
// their value and go to special_target instead. Value-keeping jumps sent
// to the plain target drop their value.
static void patchlistaux(FuncState* fs, int list, int target, int special, int special_target) {
  Instruction* code = fs->f->code;
  while (list != NO_JUMP) {
    int next = luaK_getjump(fs, list);
    Instruction* i = &code[list];
    OpCode op = GET_OPCODE(*i);
    if ((int)op == special) {
      luaK_fixjump(fs, list, special_target);
    } else {
      luaK_fixjump(fs, list, target);
      if (op == OP_JMPONT)
        SET_OPCODE(*i, OP_JMPT);
      else if (op == OP_JMPONF)
        SET_OPCODE(*i, OP_JMPF);
    }
    list = next;
  }
}

void luaK_patchlist(FuncState* fs, int list, int target) {
  if (target == fs->lasttarget)
    luaK_concat(fs, &fs->jlt, list);  // fixed when the label is left
  else
    patchlistaux(fs, list, target, -1, 0);
}

void luaK_concat(FuncState* fs, int* l1, int l2) {
  if (*l1 == NO_JUMP) {
    *l1 = l2;
  } else if (l2 != NO_JUMP) {
    int list = *l1;
    for (;;) {  // find the last jump of the list
      int next = luaK_getjump(fs, list);
      if (next == NO_JUMP) break;
      list = next;
    }
    luaK_fixjump(fs, list, l2);
  }
}

// ---------------------------------------------------------------------------
// Stack and constants

void luaK_deltastack(FuncState* fs, int delta) {
  int newstack = fs->stacklevel + delta;
  if (newstack > fs->f->maxstacksize) {
    if (newstack > MAXSTACK) luaK_error(fs->ls, "function or expression too complex");
    fs->f->maxstacksize = (short)newstack;
  }
  fs->stacklevel = (short)newstack;
}

void luaK_kstr(LexState* ls, int c) {
  luaK_code1(ls->fs, OP_PUSHSTRING, c);
}

static int number_constant(FuncState* fs, Number r) {
  Proto* f = fs->f;
  int c = f->nknum;
  int lim = c < 20 ? 0 : c - 20;  // look only among the last constants
  while (--c >= lim) {
    if (f->knum[c] == r) return c;
  }
  luaM_growvector(fs->L, f->knum, f->nknum, 1, Number, "constant table overflow", MAXARG_U);
  c = f->nknum++;
  f->knum[c] = r;
  return c;
}

void luaK_number(FuncState* fs, Number f) {
  if (f <= (Number)MAXARG_S && f >= -(Number)MAXARG_S && (Number)(int)f == f)
    luaK_code1(fs, OP_PUSHINT, (int)f);
  else
    luaK_code1(fs, OP_PUSHNUM, number_constant(fs, f));
}

void luaK_adjuststack(FuncState* fs, int n) {
  if (n > 0)
    luaK_code1(fs, OP_POP, n);
  else
    luaK_code1(fs, OP_PUSHNIL, -n);
}

int luaK_lastisopen(FuncState* fs) {
  if (fs->pc == 0) return 0;
  Instruction i = fs->f->code[fs->pc - 1];
  OpCode op = GET_OPCODE(i);
  return (op == OP_CALL || op == OP_CALLEXT) && GETARG_B(i) == MULT_RET;
}

void luaK_setcallreturns(FuncState* fs, int nresults) {
  if (luaK_lastisopen(fs)) {
    // B = MULT_RET would read as "all results"
    luaX_checklimit(fs->ls, nresults, MULT_RET - 1, "results of a call");
    SETARG_B(fs->f->code[fs->pc - 1], nresults);
    luaK_deltastack(fs, nresults);
  }
}

// ---------------------------------------------------------------------------
// Expressions

// Puts a variable's value on the stack; returns 0 when it already was an
// expression.
static int discharge(FuncState* fs, expdesc* var) {
  switch (var->k) {
    case VLOCAL:
      luaK_code1(fs, OP_GETLOCAL, var->index);
      break;
    case VGLOBAL:
      luaK_code1(fs, OP_GETGLOBAL, var->index);
      break;
    case VINDEXED:
      luaK_code0(fs, OP_GETTABLE);
      break;
    case VEXP:
      return 0;
  }
  var->k = VEXP;
  var->t = var->f = NO_JUMP;
  return 1;
}

// As discharge, and an open call gives one value.
static void discharge1(FuncState* fs, expdesc* var) {
  discharge(fs, var);
  if (var->t == NO_JUMP && var->f == NO_JUMP) luaK_setcallreturns(fs, 1);
}

void luaK_storevar(LexState* ls, const expdesc* var) {
  FuncState* fs = ls->fs;
  switch (var->k) {
    case VLOCAL:
      luaK_code1(fs, OP_SETLOCAL, var->index);
      break;
    case VGLOBAL:
      luaK_code1(fs, OP_SETGLOBAL, var->index);
      break;
    case VINDEXED:  // table and key are right below the value
      luaK_code2(fs, OP_SETTABLE, 3, 3);
      break;
    case VEXP:
      luaK_error(ls, "syntax error");
  }
}

static OpCode invertjump(OpCode op) {
  switch (op) {
    case OP_JMPNE: return OP_JMPEQ;
    case OP_JMPEQ: return OP_JMPNE;
    case OP_JMPLT: return OP_JMPGE;
    case OP_JMPLE: return OP_JMPGT;
    case OP_JMPGT: return OP_JMPLE;
    case OP_JMPGE: return OP_JMPLT;
    case OP_JMPT: case OP_JMPONT: return OP_JMPF;
    case OP_JMPF: case OP_JMPONF: return OP_JMPT;
    default: return op;  // OP_JMP never ends an expression
  }
}

// Position of the last instruction when it is a jump that ends the current
// expression, else -1.
static int lastjump(FuncState* fs) {
  if (fs->pc > fs->lasttarget && isjump(GET_OPCODE(fs->f->code[fs->pc - 1]))) return fs->pc - 1;
  return -1;
}

// Jumps out of v when v is false (invert set: when it is true); the other
// list of v goes on here.
static void testgo(FuncState* fs, expdesc* v, int invert, OpCode jump) {
  int* golist = invert ? &v->t : &v->f;
  int* exitlist = invert ? &v->f : &v->t;
  discharge1(fs, v);
  int prevpos = lastjump(fs);
  if (prevpos < 0) {
    prevpos = luaK_code1(fs, jump, NO_JUMP);
  } else if (invert) {
    Instruction* previous = &fs->f->code[prevpos];
    SET_OPCODE(*previous, invertjump(GET_OPCODE(*previous)));
  }
  luaK_concat(fs, exitlist, prevpos);
  luaK_patchlist(fs, *golist, luaK_getlabel(fs));
  *golist = NO_JUMP;
}

void luaK_goiftrue(FuncState* fs, expdesc* v, int keepvalue) {
  testgo(fs, v, 1, keepvalue ? OP_JMPONF : OP_JMPF);
}

static void luaK_goiffalse(FuncState* fs, expdesc* v, int keepvalue) {
  testgo(fs, v, 0, keepvalue ? OP_JMPONT : OP_JMPT);
}

// Whether some jump of the list arrives without the value (is not `hasvalue').
static int need_value(FuncState* fs, int list, OpCode hasvalue) {
  for (; list != NO_JUMP; list = luaK_getjump(fs, list)) {
    if (GET_OPCODE(fs->f->code[list]) != hasvalue) return 1;
  }
  return 0;
}

static int code_label(FuncState* fs, OpCode op, int arg) {
  int pos = luaK_getlabel(fs);
  luaK_code1(fs, op, arg);
  return pos;
}

void luaK_tostack(LexState* ls, expdesc* v, int onlyone) {
  FuncState* fs = ls->fs;
  if (discharge(fs, v)) return;  // a variable was read: one value, no jumps
  int prevjump = lastjump(fs);
  if (prevjump < 0 && v->f == NO_JUMP && v->t == NO_JUMP) {
    if (onlyone) luaK_setcallreturns(fs, 1);
    return;
  }
  // the expression holds jumps: turn them into a value
  int p_nil = NO_JUMP;  // pushes the false value
  int p_1 = NO_JUMP;    // pushes the true value
  if (prevjump >= 0 || need_value(fs, v->f, OP_JMPONF) || need_value(fs, v->t, OP_JMPONT)) {
    int j = NO_JUMP;  // jump over both pushes
    if (prevjump >= 0) {
      luaK_concat(fs, &v->t, prevjump);
    } else {
      j = code_label(fs, OP_JMP, NO_JUMP);
      // the value is already counted; keep the height right, also for the
      // symbolic execution that follows the code straight through
      luaK_adjuststack(fs, 1);
    }
    p_nil = code_label(fs, OP_PUSHNILJMP, 0);
    p_1 = code_label(fs, OP_PUSHINT, 1);
    luaK_patchlist(fs, j, luaK_getlabel(fs));
  }
  int final = luaK_getlabel(fs);
  patchlistaux(fs, v->f, p_nil, OP_JMPONF, final);
  patchlistaux(fs, v->t, p_1, OP_JMPONT, final);
  v->f = v->t = NO_JUMP;
}

void luaK_prefix(LexState* ls, UnOpr op, expdesc* v) {
  FuncState* fs = ls->fs;
  if (op == OPR_MINUS) {
    luaK_tostack(ls, v, 1);
    luaK_code0(fs, OP_MINUS);
  } else {  // not
    discharge1(fs, v);
    int prevjump = lastjump(fs);
    if (prevjump >= 0) {
      Instruction* previous = &fs->f->code[prevjump];
      SET_OPCODE(*previous, invertjump(GET_OPCODE(*previous)));
    } else {
      luaK_code0(fs, OP_NOT);
    }
    int temp = v->f;  // the lists change roles
    v->f = v->t;
    v->t = temp;
  }
}

void luaK_infix(LexState* ls, BinOpr op, expdesc* v) {
  FuncState* fs = ls->fs;
  switch (op) {
    case OPR_AND:
      luaK_goiftrue(fs, v, 1);
      break;
    case OPR_OR:
      luaK_goiffalse(fs, v, 1);
      break;
    default:
      luaK_tostack(ls, v, 1);
  }
}

static const OpCode codes[] = {  // binary operators without jumps, then comparisons
  OP_ADD, OP_SUB, OP_MULT, OP_DIV, OP_POW, OP_CONCAT,
  OP_JMPNE, OP_JMPEQ, OP_JMPLT, OP_JMPLE, OP_JMPGT, OP_JMPGE};

void luaK_posfix(LexState* ls, BinOpr op, expdesc* v1, expdesc* v2) {
  FuncState* fs = ls->fs;
  switch (op) {
    case OPR_AND:
      discharge1(fs, v2);
      v1->t = v2->t;
      luaK_concat(fs, &v1->f, v2->f);
      break;
    case OPR_OR:
      discharge1(fs, v2);
      v1->f = v2->f;
      luaK_concat(fs, &v1->t, v2->t);
      break;
    default:
      luaK_tostack(ls, v2, 1);
      if (op == OPR_CONCAT)
        luaK_code1(fs, OP_CONCAT, 2);
      else if (op >= OPR_NE)
        luaK_code1(fs, codes[op], NO_JUMP);  // a comparison is a jump
      else
        luaK_code0(fs, codes[op]);
      v1->k = VEXP;
      v1->t = v1->f = NO_JUMP;
  }
}

// ---------------------------------------------------------------------------
// Emitting

static void addlineinfo(FuncState* fs, int line) {
  Proto* f = fs->f;
  if (line > fs->lastline) {
    if (line > fs->lastline + 1) {  // lines without code are skipped
      luaM_growvector(fs->L, f->lineinfo, f->nlineinfo, 1, int, "line info overflow", MAX_INT);
      f->lineinfo[f->nlineinfo++] = -(line - fs->lastline - 1);
    }
    luaM_growvector(fs->L, f->lineinfo, f->nlineinfo, 1, int, "line info overflow", MAX_INT);
    f->lineinfo[f->nlineinfo++] = fs->pc;
    fs->lastline = line;
  }
}

int luaK_code2(FuncState* fs, OpCode o, int arg1, int arg2) {
  Proto* f = fs->f;
  Instruction i = previous_instruction(fs);
  int delta = luaK_opproperties[o].push - luaK_opproperties[o].pop;
  int optm = 0;  // set when the new instruction folds into the previous one
  switch (o) {
    case OP_CLOSURE:
      delta = 1 - arg2;
      break;
    case OP_SETTABLE:
      delta = -arg2;
      break;
    case OP_SETLIST:
      if (arg2 == 0) return NO_JUMP;
      delta = -arg2;
      break;
    case OP_SETMAP:
      if (arg1 == 0) return NO_JUMP;
      delta = -2 * arg1;
      break;
    case OP_RETURN:
      if (GET_OPCODE(i) == OP_CALL && GETARG_B(i) == MULT_RET && arg1 <= MAXARG_B) {
        SET_OPCODE(i, OP_TAILCALL);
        SETARG_B(i, arg1);
        optm = 1;
      }
      break;
    case OP_PUSHNIL:
      if (arg1 == 0) return NO_JUMP;
      delta = arg1;
      if (GET_OPCODE(i) == OP_PUSHNIL) {
        SETARG_U(i, GETARG_U(i) + arg1);
        optm = 1;
      }
      break;
    case OP_POP:
      if (arg1 == 0) return NO_JUMP;
      delta = -arg1;
      // B counts the values the store pops; it must stay below MULT_RET
      if (GET_OPCODE(i) == OP_SETTABLE && GETARG_B(i) + arg1 <= MAXARG_B) {
        SETARG_B(i, GETARG_B(i) + arg1);
        optm = 1;
      }
      break;
    case OP_GETTABLE:
      if (GET_OPCODE(i) == OP_PUSHSTRING) {
        SET_OPCODE(i, OP_GETDOTTED);
        optm = 1;
      } else if (GET_OPCODE(i) == OP_GETLOCAL) {
        SET_OPCODE(i, OP_GETINDEXED);
        optm = 1;
      }
      break;
    case OP_ADD:
      if (GET_OPCODE(i) == OP_PUSHINT) {
        SET_OPCODE(i, OP_ADDI);
        optm = 1;
      }
      break;
    case OP_SUB:
      if (GET_OPCODE(i) == OP_PUSHINT) {
        i = CREATE_S(OP_ADDI, -GETARG_S(i));
        optm = 1;
      }
      break;
    case OP_CONCAT:
      delta = 1 - arg1;
      if (GET_OPCODE(i) == OP_CONCAT) {
        SETARG_U(i, GETARG_U(i) + 1);
        optm = 1;
      }
      break;
    case OP_MINUS:
      if (GET_OPCODE(i) == OP_PUSHINT) {
        SETARG_S(i, -GETARG_S(i));
        optm = 1;
      } else if (GET_OPCODE(i) == OP_PUSHNUM) {
        SET_OPCODE(i, OP_PUSHNEGNUM);
        optm = 1;
      }
      break;
    case OP_JMPNE:
      if (i == CREATE_U(OP_PUSHNIL, 1)) {  // x ~= nil
        i = CREATE_S(OP_JMPT, NO_JUMP);
        optm = 1;
      }
      break;
    case OP_JMPEQ:
      if (i == CREATE_U(OP_PUSHNIL, 1)) {  // x == nil
        i = CREATE_0(OP_NOT);
        delta = -1;  // the pushed nil is gone
        optm = 1;
      }
      break;
    case OP_JMPT:
    case OP_JMPONT:
      if (GET_OPCODE(i) == OP_NOT) {
        i = CREATE_S(OP_JMPF, NO_JUMP);
        optm = 1;
      } else if (GET_OPCODE(i) == OP_PUSHINT && o == OP_JMPT) {
        i = CREATE_S(OP_JMP, NO_JUMP);  // always true
        optm = 1;
      } else if (i == CREATE_U(OP_PUSHNIL, 1)) {  // never true: drop both
        fs->pc--;
        luaK_deltastack(fs, -1);
        return NO_JUMP;
      }
      break;
    case OP_JMPF:
    case OP_JMPONF:
      if (GET_OPCODE(i) == OP_PUSHINT) {  // never false: drop both
        fs->pc--;
        luaK_deltastack(fs, -1);
        return NO_JUMP;
      } else if (GET_OPCODE(i) == OP_NOT) {
        i = CREATE_S(OP_JMPT, NO_JUMP);
        optm = 1;
      } else if (i == CREATE_U(OP_PUSHNIL, 1)) {  // always false
        i = CREATE_S(OP_JMP, NO_JUMP);
        optm = 1;
      }
      break;
    case OP_CLOSUREEXT:
      delta = 1 - arg1;
      break;
    default:
      break;
  }
  luaK_deltastack(fs, delta);
  if (optm) {
    f->code[fs->pc - 1] = i;
    return fs->pc - 1;
  }
  // Operands are never allowed to spill into a neighbouring field.
  int fits = 1;
  switch ((enum Mode)luaK_opproperties[o].mode) {
    case iO:
      i = CREATE_0(o);
      break;
    case iU:
      fits = 0 <= arg1 && arg1 <= MAXARG_U;
      i = CREATE_U(o, arg1);
      break;
    case iS:
      fits = -MAXARG_S <= arg1 && arg1 <= MAXARG_U - MAXARG_S;
      i = CREATE_S(o, arg1);
      break;
    case iAB:
      fits = 0 <= arg1 && arg1 <= MAXARG_A && 0 <= arg2 && arg2 <= MAXARG_B;
      i = CREATE_AB(o, arg1, arg2);
      break;
  }
  if (!fits) luaK_error(fs->ls, "function or expression too complex");
  addlineinfo(fs, fs->ls->lastline);
  luaM_growvector(fs->L, f->code, fs->pc, 1, Instruction, "code size overflow", MAX_INT);
  f->code[fs->pc] = i;
  return fs->pc++;
}
