// Code generator: emits the 16-bit instructions of a function being compiled.
#pragma once

#include "llex.h"
#include "lobject.h"
#include "lopcodes.h"
#include "lparser.h"

// Binary operators, in the order of their priorities table.
typedef enum BinOpr {
  OPR_ADD, OPR_SUB, OPR_MULT, OPR_DIV, OPR_POW,
  OPR_CONCAT,
  OPR_NE, OPR_EQ, OPR_LT, OPR_LE, OPR_GT, OPR_GE,
  OPR_AND, OPR_OR,
  OPR_NOBINOPR
} BinOpr;

typedef enum UnOpr { OPR_MINUS, OPR_NOT, OPR_NOUNOPR } UnOpr;

#define luaK_code0(fs, o) luaK_code2(fs, o, 0, 0)
#define luaK_code1(fs, o, arg1) luaK_code2(fs, o, arg1, 0)

[[noreturn]] void luaK_error(LexState* ls, const char* msg);
int luaK_code2(FuncState* fs, OpCode o, int arg1, int arg2);
int luaK_jump(FuncState* fs);
void luaK_patchlist(FuncState* fs, int list, int target);
void luaK_concat(FuncState* fs, int* l1, int l2);
int luaK_getlabel(FuncState* fs);
void luaK_deltastack(FuncState* fs, int delta);
void luaK_kstr(LexState* ls, int c);
void luaK_number(FuncState* fs, Number f);
void luaK_adjuststack(FuncState* fs, int n);
int luaK_lastisopen(FuncState* fs);
void luaK_setcallreturns(FuncState* fs, int nresults);
void luaK_tostack(LexState* ls, expdesc* v, int onlyone);
void luaK_storevar(LexState* ls, const expdesc* var);
void luaK_goiftrue(FuncState* fs, expdesc* v, int keepvalue);
void luaK_prefix(LexState* ls, UnOpr op, expdesc* v);
void luaK_infix(LexState* ls, BinOpr op, expdesc* v);
void luaK_posfix(LexState* ls, BinOpr op, expdesc* v1, expdesc* v2);
