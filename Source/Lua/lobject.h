// Script values and the records of strings, tables, functions and prototypes.
#pragma once

#include "llimits.h"

// Tag of the function slot of an active call: the value points at its CallInfo.
#define LUA_TMARK 6

// Number of basic tags.
#define NUM_TAGS 6

struct TString;
struct Closure;
struct Hash;
struct CallInfo;

// The value word. Numbers and ids use the low 32 bits only.
typedef union {
  struct TString* ts;
  struct Closure* cl;
  struct Hash* a;
  struct CallInfo* i;
  void* p;
  Number n;
  uint32_t id;
} Value;

typedef struct lua_TObject {
  int ttype;
  Value value;
} TObject;

typedef TObject* StkId;

#define ttype(o) ((o)->ttype)
#define nvalue(o) ((o)->value.n)
#define idvalue(o) ((o)->value.id)
#define tsvalue(o) ((o)->value.ts)
#define clvalue(o) ((o)->value.cl)
#define hvalue(o) ((o)->value.a)
#define infovalue(o) ((o)->value.i)
#define svalue(o) (tsvalue(o)->str)

inline void setnvalue(TObject* o, Number x) { o->ttype = LUA_TNUMBER; o->value.p = NULL; o->value.n = x; }
inline void setidvalue(TObject* o, uint32_t x) { o->ttype = LUA_TNUMBER; o->value.p = NULL; o->value.id = x; }
inline void setsvalue(TObject* o, struct TString* x) { o->ttype = LUA_TSTRING; o->value.ts = x; }
inline void setuvalue(TObject* o, struct TString* x) { o->ttype = LUA_TUSERDATA; o->value.ts = x; }
inline void sethvalue(TObject* o, struct Hash* x) { o->ttype = LUA_TTABLE; o->value.a = x; }
inline void setclvalue(TObject* o, struct Closure* x) { o->ttype = LUA_TFUNCTION; o->value.cl = x; }
inline void setnilvalue(TObject* o) { o->ttype = LUA_TNIL; o->value.p = NULL; }
#define setobj(o1, o2) (*(o1) = *(o2))

// String and userdata record. Strings carry their bytes and a terminating
// zero behind the header; userdata made by the interpreter carry their block.
typedef struct TString {
  union {
    struct {  // string
      uint32_t hash;
      int constindex;  // constant-table index cache of the code generator
    } s;
    struct {  // userdata
      int tag;
      void* value;
    } d;
  } u;
  size_t len;
  struct TString* nexthash;
  int marked;
  char str[];  // the bytes, behind the header
} TString;

// Bytes counted for a string or userdata record of l bytes.
#define sizestring(l) ((lu_mem)(21 + (l)))

typedef struct LocVar {
  TString* varname;
  int startpc;  // first instruction where the variable is active
  int endpc;    // first instruction where the variable is dead
} LocVar;

// A compiled function.
typedef struct Proto {
  Number* knum;
  int nknum;
  struct TString** kstr;
  int nkstr;
  struct Proto** kproto;
  int nkproto;
  Instruction* code;
  int ncode;  // 0 while the prototype is being built
  short numparams;
  short is_vararg;
  short maxstacksize;
  short marked;
  struct Proto* next;
  int* lineinfo;
  int nlineinfo;
  int nlocvars;
  struct LocVar* locvars;
  int lineDefined;
  TString* source;
} Proto;

// A function value: native or script.
typedef struct Closure {
  union {
    lua_CFunction c;
    struct Proto* l;
  } f;
  struct Closure* next;
  struct Closure* mark;  // the closure itself while unmarked
  short isC;
  short nupvalues;
  TObject upvalue[];
} Closure;

// Bytes counted for a closure with n upvalues.
#define sizeclosure(n) ((lu_mem)(16 + 8 * (n)))

// Table slot: key and value words with their tags apart.
typedef struct Node {
  Value key;
  Value val;
  signed char key_tt;
  signed char val_tt;
  short next;  // next slot of the chain, counted from 1; 0 ends it
} Node;

// Table record.
typedef struct Hash {
  Node* node;
  int htag;
  int size;
  Node* firstfree;  // every slot above it is in use
  struct Hash* next;
  struct Hash* mark;  // the table itself while unmarked
} Hash;

// Bytes counted for a table of n slots.
#define sizetable(n) ((lu_mem)(24 + 12 * (n)))

// Information of an active call, in the native frame of luaD_call.
typedef struct CallInfo {
  struct Closure* func;
  const Instruction** pc;  // current instruction pointer of the interpreter
  int lastpc;  // last instruction traced
  int line;    // last line traced
  int refi;    // position in the line table for the last line traced
} CallInfo;

extern const TObject luaO_nilobject;
extern const Node luaO_nilnode;
extern const char* const luaO_typenames[];

#define luaO_typename(o) (luaO_typenames[ttype(o)])

lu_mem luaO_power2(lu_mem n);
// Float to int by truncation; NaN and values outside the int range give INT_MIN.
int luaO_float2int(Number n);
char* luaO_openspace(lua_State* L, size_t n);

// Number equality of values: bits first, then as floats.
int luaO_equalnumber(uint32_t a, uint32_t b);
int luaO_equalObj(const TObject* t1, const TObject* t2);
int luaO_equalTypedValue(const TObject* key, int tag, const Value* value);
int luaO_str2d(const char* s, Number* result);

// Raises a run-time error with a formatted message.
[[noreturn]] void luaO_verror(lua_State* L, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void luaO_chunkid(char* out, const char* source, int len);
