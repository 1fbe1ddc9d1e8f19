// The interpreter state.
#pragma once

#include "lobject.h"
#include "lua.h"
#include "luadebug.h"

class EScriptObject;
class EScriptThread;

// Slots kept beyond the nominal stack size for error handling.
#define EXTRA_STACK 40

// Bytes counted for the state record.
#define STATESIZE ((lu_mem)120)
// Bytes counted per reference and per string-table bucket.
#define REFSIZE ((lu_mem)12)
#define BUCKETSIZE ((lu_mem)4)

// Reference states; a free entry holds the next free index instead.
#define LOCK (-4)
#define COLLECTED (-3)
#define HOLD (-2)
#define NONEXT (-1)

struct Ref {
  TObject o;
  int st;
};

struct lua_longjmp;  // recovery record of a protected call (ldo.cpp)
struct TM;           // ltm.h

typedef struct stringtable {
  int size;
  lu_mem nuse;  // number of records in use
  TString** hash;
} stringtable;

struct lua_State {
  // Stack part: a script thread swaps these five words in and out.
  StkId top;         // first free slot
  StkId stack;       // first slot
  StkId stack_last;  // last usable slot
  int stacksize;     // nominal size in slots
  StkId Cbase;       // base of the running native function's frame
  struct lua_longjmp* errorJmp;  // innermost protected call
  char* Mbuffer;     // scratch buffer
  size_t Mbuffsize;
  EScriptObject* scriptObject;  // host word: running script object
  EScriptThread* scriptThread;  // host word: running script thread
  Proto* rootproto;
  Closure* rootcl;
  Hash* roottable;
  stringtable strt;
  stringtable udt;
  Hash* gt;
  struct TM* TMtable;
  int last_tag;
  struct Ref* refArray;
  int refSize;
  int refFree;
  lu_mem GCthreshold;
  lu_mem nblocks;  // bytes counted as in use
  lua_Hook callhook;
  lua_Hook linehook;
  int allowhooks;
};
