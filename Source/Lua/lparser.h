// Parser: compiles script source into a prototype in one pass.
#pragma once

#include "lobject.h"
#include "lzio.h"

// Expression descriptor.
typedef enum {
  VGLOBAL,   // index = string constant of the name
  VLOCAL,    // index = stack slot of the local
  VINDEXED,  // table and key are on the stack
  VEXP       // a value on the stack, or a condition still held in jumps
} expkind;

typedef struct expdesc {
  expkind k;
  int index;  // VGLOBAL and VLOCAL
  int t;      // jumps taken when the expression is true
  int f;      // jumps taken when it is false
} expdesc;

// Limits of one function.
#define MAXLOCALS 200          // active locals
#define MAXUPVALUES 31         // upvalues
#define MAXPARAMS 100          // parameters
#define MAXVARSLH 30           // variables on the left of one assignment
#define LFIELDS_PER_FLUSH 31   // list items per OP_SETLIST
#define RFIELDS_PER_FLUSH 15   // record fields per OP_SETMAP
#define MAXCLOSURE 30          // nested prototypes reachable by OP_CLOSURE
#define MAXCALLSLOT 31         // highest function slot reachable by OP_CALL
#define MAXSYNTAXLEVELS 200    // nesting of blocks and expressions

struct Breaklabel;

// State of one function being compiled.
typedef struct FuncState {
  Proto* f;                 // prototype being built
  struct FuncState* prev;   // enclosing function
  struct LexState* ls;
  lua_State* L;
  int pc;                   // next instruction position
  int lasttarget;           // position of the last jump target
  int jlt;                  // jumps waiting for that target
  short stacklevel;         // compile-time stack height
  short nactloc;            // active locals
  short nupvalues;
  int lastline;             // line of the last line-table entry
  struct Breaklabel* bl;    // innermost breakable block
  expdesc upvalues[MAXUPVALUES];
  int actloc[MAXLOCALS];    // index in locvars of each active local
} FuncState;

Proto* luaY_parser(lua_State* L, ZIO* z);
