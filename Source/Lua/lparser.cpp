// Parser.
#include "lparser.h"

#include <stdio.h>

#include "lcode.h"
#include "lfunc.h"
#include "llex.h"
#include "lmem.h"
#include "lopcodes.h"
#include "lstate.h"
#include "lstring.h"

// Breakable block: a loop and the jumps of its `break' statements.
typedef struct Breaklabel {
  struct Breaklabel* previous;
  int breaklist;
  int stacklevel;  // stack height at its entry
} Breaklabel;

// Kind and size of one part of a table constructor.
typedef struct Constdesc {
  int n;
  int k;  // 0 list, 1 record, or the closing token of an empty part
} Constdesc;

static void body(LexState* ls, int needself, int line);
static void chunk(LexState* ls);
static void constructor(LexState* ls);
static void expr(LexState* ls, expdesc* v);
static void exp1(LexState* ls);

// ---------------------------------------------------------------------------
// Tokens

static void next(LexState* ls) {
  ls->lastline = ls->linenumber;
  if (ls->lookahead.token != TK_EOS) {  // a token was already read ahead
    ls->t = ls->lookahead;
    ls->lookahead.token = TK_EOS;
  } else {
    ls->t.token = luaX_lex(ls, &ls->t.seminfo);
  }
}

static void lookahead(LexState* ls) {
  ls->lookahead.token = luaX_lex(ls, &ls->lookahead.seminfo);
}

[[noreturn]] static void error_expected(LexState* ls, int token) {
  char buff[100];
  char t[TOKEN_LEN];
  luaX_token2str(token, t);
  snprintf(buff, sizeof(buff), "`%.20s' expected", t);
  luaK_error(ls, buff);
}

static void check(LexState* ls, int c) {
  if (ls->t.token != c) error_expected(ls, c);
  next(ls);
}

static void check_condition(LexState* ls, int c, const char* msg) {
  if (!c) luaK_error(ls, msg);
}

static int optional(LexState* ls, int c) {
  if (ls->t.token == c) {
    next(ls);
    return 1;
  }
  return 0;
}

// Closing token `what' of a construct opened by `who' at line `where'.
static void check_match(LexState* ls, int what, int who, int where) {
  if (ls->t.token != what) {
    if (where == ls->linenumber) error_expected(ls, what);
    char buff[100];
    char t_what[TOKEN_LEN];
    char t_who[TOKEN_LEN];
    luaX_token2str(what, t_what);
    luaX_token2str(who, t_who);
    snprintf(buff, sizeof(buff), "`%.20s' expected (to close `%.20s' at line %d)", t_what, t_who,
             where);
    luaK_error(ls, buff);
  }
  next(ls);
}

// Guards the native stack against deeply nested source.
static void enterlevel(LexState* ls) {
  luaX_checklimit(ls, ++ls->nestlevel, MAXSYNTAXLEVELS, "syntax levels");
}

static void leavelevel(LexState* ls) {
  ls->nestlevel--;
}

// ---------------------------------------------------------------------------
// Names, constants and variables

static int string_constant(FuncState* fs, TString* s) {
  Proto* f = fs->f;
  int c = s->u.s.constindex;
  if (c < 0 || c >= f->nkstr || f->kstr[c] != s) {
    luaM_growvector(fs->L, f->kstr, f->nkstr, 1, TString*, "constant table overflow", MAXARG_U);
    c = f->nkstr++;
    f->kstr[c] = s;
    s->u.s.constindex = c;  // found at once next time
  }
  return c;
}

static void code_string(LexState* ls, TString* s) {
  luaK_kstr(ls, string_constant(ls->fs, s));
}

static TString* str_checkname(LexState* ls) {
  if (ls->t.token != TK_NAME) error_expected(ls, TK_NAME);
  TString* ts = ls->t.seminfo.ts;
  next(ls);
  return ts;
}

static int checkname(LexState* ls) {
  return string_constant(ls->fs, str_checkname(ls));
}

static int registerlocalvar(LexState* ls, TString* varname) {
  Proto* f = ls->fs->f;
  luaM_growvector(ls->L, f->locvars, f->nlocvars, 1, LocVar, "", MAX_INT);
  f->locvars[f->nlocvars].varname = varname;
  f->locvars[f->nlocvars].startpc = 0;
  f->locvars[f->nlocvars].endpc = 0;
  return f->nlocvars++;
}

// Declares the n-th of a group of new locals, not yet active.
static void new_localvar(LexState* ls, TString* name, int n) {
  FuncState* fs = ls->fs;
  luaX_checklimit(ls, fs->nactloc + n + 1, MAXLOCALS, "local variables");
  fs->actloc[fs->nactloc + n] = registerlocalvar(ls, name);
}

static void new_localvarstr(LexState* ls, const char* name, int n) {
  new_localvar(ls, luaS_newfixed(ls->L, name), n);
}

static void adjustlocalvars(LexState* ls, int nvars) {
  FuncState* fs = ls->fs;
  while (nvars--) fs->f->locvars[fs->actloc[fs->nactloc++]].startpc = fs->pc;
}

static void removelocalvars(LexState* ls, int nvars) {
  FuncState* fs = ls->fs;
  while (nvars--) fs->f->locvars[fs->actloc[--fs->nactloc]].endpc = fs->pc;
}

// Finds a name among the active locals, innermost function first; returns
// the level of the function it belongs to, or -1 for a global.
static int search_local(LexState* ls, TString* n, expdesc* var) {
  int level = 0;
  for (FuncState* fs = ls->fs; fs; fs = fs->prev) {
    for (int i = fs->nactloc - 1; i >= 0; i--) {
      if (n == fs->f->locvars[fs->actloc[i]].varname) {
        var->k = VLOCAL;
        var->index = i;
        return level;
      }
    }
    level++;
  }
  var->k = VGLOBAL;
  return -1;
}

static void singlevar(LexState* ls, TString* n, expdesc* var) {
  int level = search_local(ls, n, var);
  if (level >= 1)  // a local of an enclosing function
    luaX_syntaxerror(ls, "cannot access a variable in outer scope", n->str);
  if (level == -1) var->index = string_constant(ls->fs, n);
  var->t = var->f = NO_JUMP;
}

static int indexupvalue(LexState* ls, const expdesc* v) {
  FuncState* fs = ls->fs;
  for (int i = 0; i < fs->nupvalues; i++) {
    if (fs->upvalues[i].k == v->k && fs->upvalues[i].index == v->index) return i;
  }
  luaX_checklimit(ls, fs->nupvalues + 1, MAXUPVALUES, "upvalues");
  fs->upvalues[fs->nupvalues] = *v;
  return fs->nupvalues++;
}

static void pushupvalue(LexState* ls, TString* n) {
  FuncState* fs = ls->fs;
  if (fs->prev == NULL) luaX_syntaxerror(ls, "cannot access upvalue in main", n->str);
  expdesc v;
  int level = search_local(ls, n, &v);
  if (level == -1)  // a global, read by the enclosing function
    v.index = string_constant(fs->prev, n);
  else if (level != 1)
    luaX_syntaxerror(ls, "upvalue must be global or local to immediately outer scope", n->str);
  v.t = v.f = NO_JUMP;
  luaK_code1(fs, OP_PUSHUPVALUE, indexupvalue(ls, &v));
}

// ---------------------------------------------------------------------------
// Calls and adjustments

// Emits the call of the function in `slot'; the stack height becomes the slot.
static void code_call(FuncState* fs, int slot) {
  fs->stacklevel = (short)slot;  // the call removes the function and its arguments
  if (slot > MAXCALLSLOT) {
    luaK_code1(fs, OP_EXTARGU, slot);
    luaK_code2(fs, OP_CALLEXT, 0, MULT_RET);
  } else {
    luaK_code2(fs, OP_CALL, slot, MULT_RET);
  }
}

static int explist1(LexState* ls) {
  int n = 1;
  expdesc v;
  expr(ls, &v);
  while (ls->t.token == ',') {
    luaK_tostack(ls, &v, 1);  // all but the last give one value
    next(ls);
    expr(ls, &v);
    n++;
  }
  luaK_tostack(ls, &v, 0);  // the last keeps all results of a call
  return n;
}

static void funcargs(LexState* ls, int slf) {
  FuncState* fs = ls->fs;
  int slot = fs->stacklevel - slf - 1;  // where the function is
  switch (ls->t.token) {
    case '(': {
      int line = ls->linenumber;
      next(ls);
      if (ls->t.token != ')') explist1(ls);
      check_match(ls, ')', '(', line);
      break;
    }
    case '{':
      constructor(ls);
      break;
    case TK_STRING:
      code_string(ls, ls->t.seminfo.ts);  // before `next' replaces it
      next(ls);
      break;
    default:
      luaK_error(ls, "function arguments expected");
  }
  code_call(fs, slot);
}

// n expressions to m variables: an open call gives the missing values,
// surplus values are popped, missing ones are nil.
static void adjust_mult_assign(LexState* ls, int nvars, int nexps) {
  FuncState* fs = ls->fs;
  int diff = nexps - nvars;
  if (nexps > 0 && luaK_lastisopen(fs)) {
    diff--;  // the call itself is not a value yet
    if (diff <= 0) {
      luaK_setcallreturns(fs, -diff);
      diff = 0;
    } else {
      luaK_setcallreturns(fs, 0);
    }
  }
  luaK_adjuststack(fs, diff);
}

// ---------------------------------------------------------------------------
// Expressions

static void var_or_func_tail(LexState* ls, expdesc* v) {
  for (;;) {
    switch (ls->t.token) {
      case '.':
        next(ls);
        luaK_tostack(ls, v, 1);
        luaK_kstr(ls, checkname(ls));
        v->k = VINDEXED;
        break;
      case '[': {
        int line = ls->linenumber;
        next(ls);
        luaK_tostack(ls, v, 1);
        v->k = VINDEXED;
        exp1(ls);
        check_match(ls, ']', '[', line);
        break;
      }
      case ':': {
        next(ls);
        int name = checkname(ls);
        luaK_tostack(ls, v, 1);
        luaK_code1(ls->fs, OP_PUSHSELF, name);
        funcargs(ls, 1);
        v->k = VEXP;
        v->t = v->f = NO_JUMP;
        break;
      }
      case '(':
      case TK_STRING:
      case '{':
        luaK_tostack(ls, v, 1);
        funcargs(ls, 0);
        v->k = VEXP;
        v->t = v->f = NO_JUMP;
        break;
      default:
        return;
    }
  }
}

static void var_or_func(LexState* ls, expdesc* v) {
  if (optional(ls, '%')) {  // upvalue
    pushupvalue(ls, str_checkname(ls));
    v->k = VEXP;
    v->t = v->f = NO_JUMP;
  } else {
    singlevar(ls, str_checkname(ls), v);
  }
  var_or_func_tail(ls, v);
}

// Record field: (name | "[" exp "]") "=" exp.
static void recfield(LexState* ls) {
  switch (ls->t.token) {
    case TK_NAME:
      luaK_kstr(ls, checkname(ls));
      break;
    case '[': {
      int line = ls->linenumber;
      next(ls);
      exp1(ls);
      check_match(ls, ']', '[', line);
      break;
    }
    default:
      luaK_error(ls, "<name> or `[' expected");
  }
  check(ls, '=');
  exp1(ls);
}

static int recfields(LexState* ls) {
  FuncState* fs = ls->fs;
  int n = 1;
  recfield(ls);
  while (ls->t.token == ',') {
    next(ls);
    if (ls->t.token == ';' || ls->t.token == '}') break;
    recfield(ls);
    n++;
    if (n % RFIELDS_PER_FLUSH == 0) luaK_code1(fs, OP_SETMAP, RFIELDS_PER_FLUSH);
  }
  luaK_code1(fs, OP_SETMAP, n % RFIELDS_PER_FLUSH);
  return n;
}

static int listfields(LexState* ls) {
  FuncState* fs = ls->fs;
  int n = 1;
  exp1(ls);
  while (ls->t.token == ',') {
    next(ls);
    if (ls->t.token == ';' || ls->t.token == '}') break;
    exp1(ls);
    n++;
    luaX_checklimit(ls, n / LFIELDS_PER_FLUSH, MAXARG_A, "`item groups' in a list initializer");
    if (n % LFIELDS_PER_FLUSH == 0)
      luaK_code2(fs, OP_SETLIST, n / LFIELDS_PER_FLUSH - 1, LFIELDS_PER_FLUSH);
  }
  luaK_code2(fs, OP_SETLIST, n / LFIELDS_PER_FLUSH, n % LFIELDS_PER_FLUSH);
  return n;
}

static void constructor_part(LexState* ls, Constdesc* cd) {
  switch (ls->t.token) {
    case ';':
    case '}':  // empty part
      cd->n = 0;
      cd->k = ls->t.token;
      return;
    case TK_NAME:
      lookahead(ls);
      if (ls->lookahead.token == '=') break;  // a record part
      cd->n = listfields(ls);
      cd->k = 0;
      return;
    case '[':
      break;
    default:
      cd->n = listfields(ls);
      cd->k = 0;
      return;
  }
  cd->n = recfields(ls);
  cd->k = 1;
}

static void constructor(LexState* ls) {
  FuncState* fs = ls->fs;
  int line = ls->linenumber;
  int pc = luaK_code1(fs, OP_CREATETABLE, 0);
  check(ls, '{');
  Constdesc cd;
  constructor_part(ls, &cd);
  int nelems = cd.n;
  if (optional(ls, ';')) {
    Constdesc other_cd;
    constructor_part(ls, &other_cd);
    check_condition(ls, cd.k != other_cd.k, "invalid constructor syntax");
    nelems += other_cd.n;
  }
  check_match(ls, '}', '{', line);
  luaX_checklimit(ls, nelems, MAXARG_U, "elements in a table constructor");
  SETARG_U(fs->f->code[pc], nelems);  // the table is made for all its items
}

static void simpleexp(LexState* ls, expdesc* v) {
  FuncState* fs = ls->fs;
  switch (ls->t.token) {
    case TK_NUMBER: {
      Number r = ls->t.seminfo.r;
      next(ls);
      luaK_number(fs, r);
      break;
    }
    case TK_STRING:
      code_string(ls, ls->t.seminfo.ts);  // before `next' replaces it
      next(ls);
      break;
    case TK_NIL:
      luaK_adjuststack(fs, -1);
      next(ls);
      break;
    case '{':
      constructor(ls);
      break;
    case TK_FUNCTION: {
      int line = ls->linenumber;
      next(ls);
      body(ls, 0, line);
      break;
    }
    case '(': {
      int line = ls->linenumber;
      next(ls);
      expr(ls, v);  // keeps its jumps and all results of a call
      check_match(ls, ')', '(', line);
      return;
    }
    case TK_NAME:
    case '%':
      var_or_func(ls, v);
      return;
    default:
      luaK_error(ls, "<expression> expected");
  }
  v->k = VEXP;
  v->t = v->f = NO_JUMP;
}

static UnOpr getunopr(int op) {
  switch (op) {
    case TK_NOT: return OPR_NOT;
    case '-': return OPR_MINUS;
    default: return OPR_NOUNOPR;
  }
}

static BinOpr getbinopr(int op) {
  switch (op) {
    case '+': return OPR_ADD;
    case '-': return OPR_SUB;
    case '*': return OPR_MULT;
    case '/': return OPR_DIV;
    case '^': return OPR_POW;
    case TK_CONCAT: return OPR_CONCAT;
    case TK_NE: return OPR_NE;
    case TK_EQ: return OPR_EQ;
    case '<': return OPR_LT;
    case TK_LE: return OPR_LE;
    case '>': return OPR_GT;
    case TK_GE: return OPR_GE;
    case TK_AND: return OPR_AND;
    case TK_OR: return OPR_OR;
    default: return OPR_NOBINOPR;
  }
}

static const struct {
  unsigned char left;
  unsigned char right;
} priority[] = {
  {5, 5}, {5, 5}, {6, 6}, {6, 6},  // + - * /
  {9, 8}, {4, 3},                  // ^ .. (right associative)
  {2, 2}, {2, 2},                  // ~= ==
  {2, 2}, {2, 2}, {2, 2}, {2, 2},  // < <= > >=
  {1, 1}, {1, 1},                  // and or
};

#define UNARY_PRIORITY 7

// Reads an expression whose operators bind tighter than `limit'; returns the
// first operator left unread.
static BinOpr subexpr(LexState* ls, expdesc* v, int limit) {
  enterlevel(ls);
  UnOpr uop = getunopr(ls->t.token);
  if (uop != OPR_NOUNOPR) {
    next(ls);
    subexpr(ls, v, UNARY_PRIORITY);
    luaK_prefix(ls, uop, v);
  } else {
    simpleexp(ls, v);
  }
  BinOpr op = getbinopr(ls->t.token);
  while (op != OPR_NOBINOPR && priority[op].left > limit) {
    next(ls);
    luaK_infix(ls, op, v);
    expdesc v2;
    BinOpr nextop = subexpr(ls, &v2, priority[op].right);
    luaK_posfix(ls, op, v, &v2);
    op = nextop;
  }
  leavelevel(ls);
  return op;
}

static void expr(LexState* ls, expdesc* v) {
  subexpr(ls, v, -1);
}

static void exp1(LexState* ls) {
  expdesc v;
  expr(ls, &v);
  luaK_tostack(ls, &v, 1);
}

// ---------------------------------------------------------------------------
// Statements

static int block_follow(int token) {
  switch (token) {
    case TK_ELSE:
    case TK_ELSEIF:
    case TK_END:
    case TK_UNTIL:
    case TK_EOS:
      return 1;
    default:
      return 0;
  }
}

static void block(LexState* ls) {
  FuncState* fs = ls->fs;
  int nactloc = fs->nactloc;
  chunk(ls);
  luaK_adjuststack(fs, fs->nactloc - nactloc);  // the block's locals end here
  removelocalvars(ls, fs->nactloc - nactloc);
}

// Stores the value on the top into an indexed variable whose table is
// `a' slots below the top and whose key is right above that table.
static void store_indexed(FuncState* fs, int a) {
  if (a <= MAXARG_A) {
    luaK_code2(fs, OP_SETTABLE, a, 1);
    return;
  }
  // Too deep for the A field: copy table, key and value to the top, store
  // through the copies and pop them with the value.
  int top = fs->stacklevel;
  luaK_code1(fs, OP_GETLOCAL, top - a);
  luaK_code1(fs, OP_GETLOCAL, top - a + 1);
  luaK_code1(fs, OP_GETLOCAL, top - 1);
  luaK_code2(fs, OP_SETTABLE, 3, 4);
}

// Stores the values into the variables from the last to the first; returns
// the number of table and key slots left under the values.
static int assignment(LexState* ls, expdesc* v, int nvars) {
  int left = 0;
  luaX_checklimit(ls, nvars, MAXVARSLH, "variables in a multiple assignment");
  if (ls->t.token == ',') {
    next(ls);
    expdesc nv;
    var_or_func(ls, &nv);
    check_condition(ls, nv.k != VEXP, "syntax error");
    left = assignment(ls, &nv, nvars + 1);
  } else {
    check(ls, '=');
    int nexps = explist1(ls);
    adjust_mult_assign(ls, nvars, nexps);
  }
  if (v->k != VINDEXED) {
    luaK_storevar(ls, v);
  } else {
    store_indexed(ls->fs, left + nvars + 2);
    left += 2;
  }
  return left;
}

static void cond(LexState* ls, expdesc* v) {
  expr(ls, v);
  luaK_goiftrue(ls->fs, v, 0);
}

static void enterbreak(FuncState* fs, Breaklabel* bl) {
  bl->stacklevel = fs->stacklevel;
  bl->breaklist = NO_JUMP;
  bl->previous = fs->bl;
  fs->bl = bl;
}

static void leavebreak(FuncState* fs, Breaklabel* bl) {
  fs->bl = bl->previous;
  luaK_patchlist(fs, bl->breaklist, luaK_getlabel(fs));
}

static void whilestat(LexState* ls, int line) {
  FuncState* fs = ls->fs;
  int while_init = luaK_getlabel(fs);
  Breaklabel bl;
  enterbreak(fs, &bl);
  next(ls);
  expdesc v;
  cond(ls, &v);
  check(ls, TK_DO);
  block(ls);
  luaK_patchlist(fs, luaK_jump(fs), while_init);
  luaK_patchlist(fs, v.f, luaK_getlabel(fs));
  check_match(ls, TK_END, TK_WHILE, line);
  leavebreak(fs, &bl);
}

static void repeatstat(LexState* ls, int line) {
  FuncState* fs = ls->fs;
  int repeat_init = luaK_getlabel(fs);
  Breaklabel bl;
  enterbreak(fs, &bl);
  next(ls);
  block(ls);
  check_match(ls, TK_UNTIL, TK_REPEAT, line);
  expdesc v;
  cond(ls, &v);
  luaK_patchlist(fs, v.f, repeat_init);
  leavebreak(fs, &bl);
}

static void forbody(LexState* ls, int nvar, OpCode prepfor, OpCode loopfor) {
  FuncState* fs = ls->fs;
  int prep = luaK_code1(fs, prepfor, NO_JUMP);
  int blockinit = luaK_getlabel(fs);
  check(ls, TK_DO);
  adjustlocalvars(ls, nvar);  // the control variables become visible
  block(ls);
  luaK_patchlist(fs, luaK_code1(fs, loopfor, NO_JUMP), blockinit);
  luaK_patchlist(fs, prep, luaK_getlabel(fs));
  removelocalvars(ls, nvar);
}

static void fornum(LexState* ls, TString* varname) {
  FuncState* fs = ls->fs;
  check(ls, '=');
  exp1(ls);  // initial value
  check(ls, ',');
  exp1(ls);  // limit
  if (optional(ls, ','))
    exp1(ls);  // step
  else
    luaK_code1(fs, OP_PUSHINT, 1);
  new_localvar(ls, varname, 0);
  new_localvarstr(ls, "(limit)", 1);
  new_localvarstr(ls, "(step)", 2);
  forbody(ls, 3, OP_FORPREP, OP_FORLOOP);
}

static void forlist(LexState* ls, TString* indexname) {
  check(ls, ',');
  TString* valname = str_checkname(ls);
  // `in' is a name, not a reserved word
  check_condition(ls, ls->t.token == TK_NAME && ls->t.seminfo.ts == luaS_new(ls->L, "in"),
                  "`in' expected");
  next(ls);
  exp1(ls);  // the table
  new_localvarstr(ls, "(table)", 0);
  new_localvar(ls, indexname, 1);
  new_localvar(ls, valname, 2);
  forbody(ls, 3, OP_LFORPREP, OP_LFORLOOP);
}

static void forstat(LexState* ls, int line) {
  FuncState* fs = ls->fs;
  Breaklabel bl;
  enterbreak(fs, &bl);
  next(ls);
  TString* varname = str_checkname(ls);
  switch (ls->t.token) {
    case '=':
      fornum(ls, varname);
      break;
    case ',':
      forlist(ls, varname);
      break;
    default:
      luaK_error(ls, "`=' or `,' expected");
  }
  check_match(ls, TK_END, TK_FOR, line);
  leavebreak(fs, &bl);
}

static void test_then_block(LexState* ls, expdesc* v) {
  next(ls);  // IF or ELSEIF
  cond(ls, v);
  check(ls, TK_THEN);
  block(ls);
}

static void ifstat(LexState* ls, int line) {
  FuncState* fs = ls->fs;
  expdesc v;
  int escapelist = NO_JUMP;
  test_then_block(ls, &v);
  while (ls->t.token == TK_ELSEIF) {
    luaK_concat(fs, &escapelist, luaK_jump(fs));
    luaK_patchlist(fs, v.f, luaK_getlabel(fs));
    test_then_block(ls, &v);
  }
  if (ls->t.token == TK_ELSE) {
    luaK_concat(fs, &escapelist, luaK_jump(fs));
    luaK_patchlist(fs, v.f, luaK_getlabel(fs));
    next(ls);
    block(ls);
  } else {
    luaK_concat(fs, &escapelist, v.f);
  }
  luaK_patchlist(fs, escapelist, luaK_getlabel(fs));
  check_match(ls, TK_END, TK_IF, line);
}

static void localstat(LexState* ls) {
  int nvars = 0;
  do {
    next(ls);  // LOCAL or ','
    new_localvar(ls, str_checkname(ls), nvars++);
  } while (ls->t.token == ',');
  int nexps = 0;
  if (optional(ls, '=')) nexps = explist1(ls);
  adjust_mult_assign(ls, nvars, nexps);
  adjustlocalvars(ls, nvars);
}

static int funcname(LexState* ls, expdesc* v) {
  int needself = 0;
  singlevar(ls, str_checkname(ls), v);
  if (ls->t.token == ':' || ls->t.token == '.') {
    needself = (ls->t.token == ':');
    next(ls);
    luaK_tostack(ls, v, 1);
    luaK_kstr(ls, checkname(ls));
    v->k = VINDEXED;
  }
  return needself;
}

static void funcstat(LexState* ls, int line) {
  next(ls);  // FUNCTION
  expdesc v;
  int needself = funcname(ls, &v);
  body(ls, needself, line);
  luaK_storevar(ls, &v);
}

static void exprstat(LexState* ls) {
  FuncState* fs = ls->fs;
  expdesc v;
  var_or_func(ls, &v);
  if (v.k == VEXP) {  // a call statement
    check_condition(ls, luaK_lastisopen(fs), "syntax error");
    luaK_setcallreturns(fs, 0);  // its results are dropped
  } else {
    int left = assignment(ls, &v, 1);
    luaK_adjuststack(fs, left);  // pop the tables and keys
  }
}

static void retstat(LexState* ls) {
  FuncState* fs = ls->fs;
  next(ls);  // RETURN
  if (!block_follow(ls->t.token)) explist1(ls);
  luaK_code1(fs, OP_RETURN, fs->nactloc);
  fs->stacklevel = fs->nactloc;  // the values are gone
}

static void breakstat(LexState* ls) {
  FuncState* fs = ls->fs;
  int currentlevel = fs->stacklevel;
  Breaklabel* bl = fs->bl;
  if (!bl) luaK_error(ls, "no loop to break");
  next(ls);  // BREAK
  luaK_adjuststack(fs, currentlevel - bl->stacklevel);
  luaK_concat(fs, &bl->breaklist, luaK_jump(fs));
  // the code after the jump is not run, but it is compiled (and followed by
  // the symbolic execution) with the height before the break
  luaK_adjuststack(fs, bl->stacklevel - currentlevel);
}

// Returns 1 for a statement that must end its block.
static int statement(LexState* ls) {
  int line = ls->linenumber;  // for the messages of unclosed constructs
  switch (ls->t.token) {
    case TK_IF:
      ifstat(ls, line);
      return 0;
    case TK_WHILE:
      whilestat(ls, line);
      return 0;
    case TK_DO:
      next(ls);
      block(ls);
      check_match(ls, TK_END, TK_DO, line);
      return 0;
    case TK_FOR:
      forstat(ls, line);
      return 0;
    case TK_REPEAT:
      repeatstat(ls, line);
      return 0;
    case TK_FUNCTION:
      funcstat(ls, line);
      return 0;
    case TK_LOCAL:
      localstat(ls);
      return 0;
    case TK_NAME:
    case '%':
      exprstat(ls);
      return 0;
    case TK_RETURN:
      retstat(ls);
      return 1;
    case TK_BREAK:
      breakstat(ls);
      return 1;
    default:
      luaK_error(ls, "<statement> expected");
  }
}

static void chunk(LexState* ls) {
  enterlevel(ls);
  int islast = 0;
  while (!islast && !block_follow(ls->t.token)) {
    islast = statement(ls);
    optional(ls, ';');
  }
  leavelevel(ls);
}

// ---------------------------------------------------------------------------
// Functions

static void open_func(LexState* ls, FuncState* fs) {
  Proto* f = luaF_newproto(ls->L);
  fs->prev = ls->fs;
  fs->ls = ls;
  fs->L = ls->L;
  ls->fs = fs;
  fs->stacklevel = 0;
  fs->nactloc = 0;
  fs->nupvalues = 0;
  fs->bl = NULL;
  fs->f = f;
  f->source = ls->source;
  fs->pc = 0;
  fs->lasttarget = 0;
  fs->lastline = 0;
  fs->jlt = NO_JUMP;
  f->code = NULL;
  f->lineDefined = 0;
  f->maxstacksize = 0;
  f->numparams = 0;
  f->is_vararg = 0;
}

static void close_func(LexState* ls) {
  lua_State* L = ls->L;
  FuncState* fs = ls->fs;
  Proto* f = fs->f;
  luaK_code0(fs, OP_END);
  luaK_getlabel(fs);  // pending jumps get their target
  removelocalvars(ls, fs->nactloc);
  luaM_growvector(L, f->lineinfo, f->nlineinfo, 1, int, "line info overflow", MAX_INT);
  f->lineinfo[f->nlineinfo++] = MAX_INT;  // end mark of the line table
  luaM_reallocvector(L, f->code, fs->pc, Instruction);
  luaM_reallocvector(L, f->kstr, f->nkstr, TString*);
  luaM_reallocvector(L, f->knum, f->nknum, Number);
  luaM_reallocvector(L, f->kproto, f->nkproto, Proto*);
  luaM_reallocvector(L, f->locvars, f->nlocvars, LocVar);
  luaM_reallocvector(L, f->lineinfo, f->nlineinfo, int);
  luaF_protook(L, f, fs->pc);
  ls->fs = fs->prev;
}

static void parlist(LexState* ls) {
  FuncState* fs = ls->fs;
  int nparams = 0;
  int dots = 0;
  if (ls->t.token != ')') {
    do {
      switch (ls->t.token) {
        case TK_DOTS:
          next(ls);
          dots = 1;
          break;
        case TK_NAME:
          new_localvar(ls, str_checkname(ls), nparams++);
          break;
        default:
          luaK_error(ls, "<name> or `...' expected");
      }
    } while (!dots && optional(ls, ','));
  }
  adjustlocalvars(ls, nparams);
  luaX_checklimit(ls, fs->nactloc, MAXPARAMS, "parameters");
  fs->f->numparams = fs->nactloc;  // with `self' when there is one
  fs->f->is_vararg = (short)dots;
  if (dots) {
    new_localvarstr(ls, "arg", 0);
    adjustlocalvars(ls, 1);
  }
  luaK_deltastack(fs, fs->nactloc);  // the parameters are on the stack
}

// Pushes a closure of the function just compiled, with its upvalues.
static void pushclosure(LexState* ls, FuncState* func) {
  FuncState* fs = ls->fs;
  Proto* f = fs->f;
  for (int i = 0; i < func->nupvalues; i++) luaK_tostack(ls, &func->upvalues[i], 1);
  luaM_growvector(ls->L, f->kproto, f->nkproto, 1, Proto*, "proto overflow", MAXARG_U);
  int index = f->nkproto++;
  f->kproto[index] = func->f;
  if (index < MAXCLOSURE) {
    luaK_code2(fs, OP_CLOSURE, index, func->nupvalues);
  } else {
    luaK_code1(fs, OP_EXTARGU, index);
    luaK_code1(fs, OP_CLOSUREEXT, func->nupvalues);
  }
}

static void body(LexState* ls, int needself, int line) {
  FuncState new_fs;
  open_func(ls, &new_fs);
  new_fs.f->lineDefined = line;
  check(ls, '(');
  if (needself) {
    new_localvarstr(ls, "self", 0);
    adjustlocalvars(ls, 1);
  }
  parlist(ls);
  check(ls, ')');
  chunk(ls);
  check_match(ls, TK_END, TK_FUNCTION, line);
  close_func(ls);
  pushclosure(ls, &new_fs);
}

Proto* luaY_parser(lua_State* L, ZIO* z) {
  LexState lexstate;
  FuncState funcstate;
  luaX_setinput(L, &lexstate, z, luaS_new(L, zname(z) ? zname(z) : "?"));
  open_func(&lexstate, &funcstate);
  next(&lexstate);  // the first token
  chunk(&lexstate);
  check_condition(&lexstate, lexstate.t.token == TK_EOS, "<eof> expected");
  close_func(&lexstate);
  return funcstate.f;
}
