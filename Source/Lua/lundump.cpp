// Loader of precompiled chunks. Every function is verified before it can
// run: operands within the function's bounds, a consistent stack height at
// every instruction, paired extension opcodes and a final OP_END.
#include "lundump.h"

#include <string.h>

#include <vector>

#include "ldo.h"
#include "lfunc.h"
#include "lmem.h"
#include "lopcodes.h"
#include "lstate.h"
#include "lstring.h"

// Deepest nesting of functions accepted in a chunk.
#define MAXNESTING 200
// Elements read at once while a vector grows.
#define LOADSTEP 4096

typedef struct LoadState {
  lua_State* L;
  ZIO* Z;
  const char* name;  // chunk name without a leading "@"
  int swap;          // the chunk's byte order differs from this machine's
} LoadState;

[[noreturn]] static void unexpectedEOZ(LoadState* S) {
  luaO_verror(S->L, "unexpected end of file in `%.99s'", S->name);
}

[[noreturn]] static void badcode(LoadState* S) {
  luaO_verror(S->L, "bad code in `%.99s'", S->name);
}

static int ezgetc(LoadState* S) {
  int c = zgetc(S->Z);
  if (c == EOZ) unexpectedEOZ(S);
  return c;
}

static void ezread(LoadState* S, void* b, size_t n) {
  if (luaZ_read(S->Z, b, n) != 0) unexpectedEOZ(S);
}

int luaU_endianess(void) {
  int x = 1;
  return *(char*)&x;
}

// Assembles 4 bytes read from the chunk in its byte order.
static uint32_t get4(LoadState* S, const unsigned char* b) {
  int little = luaU_endianess() ? !S->swap : S->swap;
  if (little)
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
  return (uint32_t)b[3] | ((uint32_t)b[2] << 8) | ((uint32_t)b[1] << 16) | ((uint32_t)b[0] << 24);
}

static uint16_t get2(LoadState* S, const unsigned char* b) {
  int little = luaU_endianess() ? !S->swap : S->swap;
  return little ? (uint16_t)(b[0] | (b[1] << 8)) : (uint16_t)(b[1] | (b[0] << 8));
}

static uint32_t LoadWord(LoadState* S) {
  unsigned char b[4];
  ezread(S, b, 4);
  return get4(S, b);
}

static int LoadInt(LoadState* S) {
  return (int)LoadWord(S);
}

static Number LoadNumber(LoadState* S) {
  uint32_t bits = LoadWord(S);
  Number n;
  memcpy(&n, &bits, sizeof(n));
  return n;
}

// A count of vector elements; negative counts are refused.
static int LoadCount(LoadState* S) {
  int n = LoadInt(S);
  if (n < 0) badcode(S);
  return n;
}

static TString* LoadString(LoadState* S) {
  uint32_t size = LoadWord(S);
  if (size == 0) return NULL;
  // read in steps so that a damaged size cannot demand a huge block
  size_t have = 0;
  while (have < size) {
    size_t step = size - have;
    if (step > 65536) step = 65536;
    char* buff = luaO_openspace(S->L, have + step);
    ezread(S, buff + have, step);
    have += step;
  }
  return luaS_newlstr(S->L, S->L->Mbuffer, size - 1);
}

// Reads n elements of esize bytes into a vector that grows as bytes
// arrive; each element is converted by conv.
static void* LoadVector(LoadState* S, int n, size_t esize, size_t fsize,
                        void (*conv)(LoadState*, const unsigned char*, void*)) {
  void* v = NULL;
  size_t cap = 0;
  unsigned char buf[4 * 64];
  size_t per = sizeof(buf) / fsize;
  for (int done = 0; done < n;) {
    if ((size_t)done >= cap) {
      size_t newcap = cap ? cap * 2 : LOADSTEP;
      if (newcap > (size_t)n) newcap = (size_t)n;
      v = luaM_vector(S->L, v, newcap, esize);
      cap = newcap;
    }
    size_t m = (size_t)(n - done);
    if (m > per) m = per;
    if (m > cap - (size_t)done) m = cap - (size_t)done;
    if (luaZ_read(S->Z, buf, m * fsize) != 0) {
      luaM_free(S->L, v);
      unexpectedEOZ(S);
    }
    for (size_t k = 0; k < m; k++) conv(S, buf + k * fsize, (char*)v + ((size_t)done + k) * esize);
    done += (int)m;
  }
  return v;
}

static void convint(LoadState* S, const unsigned char* b, void* out) {
  *(int*)out = (int)get4(S, b);
}

static void convnumber(LoadState* S, const unsigned char* b, void* out) {
  uint32_t bits = get4(S, b);
  memcpy(out, &bits, sizeof(Number));
}

static void convinstruction(LoadState* S, const unsigned char* b, void* out) {
  *(Instruction*)out = get2(S, b);
}

static void LoadLocals(LoadState* S, Proto* f) {
  int n = LoadCount(S);
  for (int i = 0; i < n; i++) {
    if ((i & (i - 1)) == 0 || i < MINPOWER2) {
      // grow as records arrive
      luaM_reallocvector(S->L, f->locvars, luaO_power2((lu_mem)i), LocVar);
    }
    LocVar* v = &f->locvars[i];
    v->varname = NULL;
    v->startpc = 0;
    v->endpc = 0;
    f->nlocvars = i + 1;
    v->varname = LoadString(S);
    v->startpc = LoadInt(S);
    v->endpc = LoadInt(S);
  }
}

static Proto* LoadFunction(LoadState* S, int depth);

static void LoadConstants(LoadState* S, Proto* f, int depth) {
  int n = LoadCount(S);
  for (int i = 0; i < n; i++) {
    if ((i & (i - 1)) == 0 || i < MINPOWER2)
      luaM_reallocvector(S->L, f->kstr, luaO_power2((lu_mem)i), TString*);
    f->kstr[i] = NULL;
    f->nkstr = i + 1;
    f->kstr[i] = LoadString(S);
    if (f->kstr[i] == NULL) badcode(S);
  }
  n = LoadCount(S);
  f->knum = (Number*)LoadVector(S, n, sizeof(Number), 4, convnumber);
  f->nknum = n;
  n = LoadCount(S);
  for (int i = 0; i < n; i++) {
    if ((i & (i - 1)) == 0 || i < MINPOWER2)
      luaM_reallocvector(S->L, f->kproto, luaO_power2((lu_mem)i), Proto*);
    f->kproto[i] = NULL;
    f->nkproto = i + 1;
    f->kproto[i] = LoadFunction(S, depth + 1);
  }
}

// Upvalues a prototype's code reads.
static int upvaluesneeded(const Proto* f) {
  int n = 0;
  for (int pc = 0; pc < f->ncode; pc++) {
    Instruction i = f->code[pc];
    if (GET_OPCODE(i) == OP_PUSHUPVALUE && GETARG_U(i) + 1 > n) n = GETARG_U(i) + 1;
  }
  return n;
}

// Stack state at an instruction: a height (0 and up), the results of a
// call that keeps all of them starting at slot s (encoded -2 - s), or
// not reached yet (-1).
#define UNSEEN (-1)
#define OPENAT(s) (-2 - (s))
#define ISOPEN(st) ((st) <= -2)
#define OPENBASE(st) (-2 - (st))

typedef struct Verifier {
  LoadState* S;
  const Proto* f;
  std::vector<int> state;
  std::vector<int> work;
} Verifier;

static int isext(OpCode op) {
  return op == OP_CALLEXT || op == OP_CLOSUREEXT;
}

// Records the state reaching instruction t; a jump may not land on an
// instruction that reads the extension operand.
static void flowto(Verifier* V, int t, int st, int byjump) {
  const Proto* f = V->f;
  if (t < 0 || t >= f->ncode) badcode(V->S);
  if (!ISOPEN(st) && st > f->maxstacksize) badcode(V->S);
  if (byjump && isext(GET_OPCODE(f->code[t]))) badcode(V->S);
  if (V->state[t] == UNSEEN) {
    V->state[t] = st;
    V->work.push_back(t);
  } else if (V->state[t] != st) {
    badcode(V->S);
  }
}

#define check(c) do { if (!(c)) badcode(S); } while (0)

static void verifycode(LoadState* S, const Proto* f) {
  const int n = f->ncode;
  const Instruction* code = f->code;
  check(n > 0 && code[n - 1] == 0);
  int entry = f->numparams + (f->is_vararg ? 1 : 0);
  check(f->numparams >= 0 && f->maxstacksize >= 0 && entry <= f->maxstacksize);
  std::vector<int> needup((size_t)f->nkproto);
  for (int k = 0; k < f->nkproto; k++) needup[(size_t)k] = upvaluesneeded(f->kproto[k]);
  Verifier V;
  V.S = S;
  V.f = f;
  V.state.assign((size_t)n, UNSEEN);
  flowto(&V, 0, entry, 0);
  while (!V.work.empty()) {
    int pc = V.work.back();
    V.work.pop_back();
    const Instruction i = code[pc];
    const OpCode op = GET_OPCODE(i);
    const int st = V.state[(size_t)pc];
    const int open = ISOPEN(st);
    const int h = open ? 0 : st;
    const int U = GETARG_U(i), A = GETARG_A(i), B = GETARG_B(i), Sarg = GETARG_S(i);
    check((int)op < NUM_OPCODES);
    // after a call keeping all results only their consumer may follow
    if (open)
      check(op == OP_CALL || op == OP_CALLEXT || op == OP_TAILCALL || op == OP_RETURN ||
            op == OP_EXTARGU || op == OP_EXTARGS);
    // the extension operand comes from the instruction just before
    int ext = EXTARG_NONE;
    if (isext(op)) {
      check(pc > 0);
      Instruction prev = code[pc - 1];
      if (GET_OPCODE(prev) == OP_EXTARGU)
        ext = GETARG_U(prev);
      else if (GET_OPCODE(prev) == OP_EXTARGS)
        ext = GETARG_S(prev);
      else
        badcode(S);
    }
    if (op == OP_EXTARGU || op == OP_EXTARGS) check(pc + 1 < n && isext(GET_OPCODE(code[pc + 1])));
    const int limit = open ? OPENBASE(st) : h;  // values available to a consumer
    switch (op) {
      case OP_END:
        break;
      case OP_RETURN:
        check(U <= limit);
        break;
      case OP_CALL:
      case OP_CALLEXT: {
        int a = (op == OP_CALL) ? A : ext;
        check(a >= 0 && a < limit);
        flowto(&V, pc + 1, (B == MULT_RET) ? OPENAT(a) : a + B, 0);
        break;
      }
      case OP_TAILCALL:
        check(A < limit && B <= A);
        break;
      case OP_PUSHNIL: flowto(&V, pc + 1, h + U, 0); break;
      case OP_POP: check(U <= h); flowto(&V, pc + 1, h - U, 0); break;
      case OP_PUSHINT: flowto(&V, pc + 1, h + 1, 0); break;
      case OP_PUSHSTRING:
      case OP_GETGLOBAL:
        check(U < f->nkstr);
        flowto(&V, pc + 1, h + 1, 0);
        break;
      case OP_PUSHNUM:
      case OP_PUSHNEGNUM:
        check(U < f->nknum);
        flowto(&V, pc + 1, h + 1, 0);
        break;
      case OP_PUSHUPVALUE: flowto(&V, pc + 1, h + 1, 0); break;
      case OP_GETLOCAL: check(U < h); flowto(&V, pc + 1, h + 1, 0); break;
      case OP_GETTABLE: check(h >= 2); flowto(&V, pc + 1, h - 1, 0); break;
      case OP_GETDOTTED: check(h >= 1 && U < f->nkstr); flowto(&V, pc + 1, h, 0); break;
      case OP_GETINDEXED: check(h >= 1 && U < h); flowto(&V, pc + 1, h, 0); break;
      case OP_PUSHSELF: check(h >= 1 && U < f->nkstr); flowto(&V, pc + 1, h + 1, 0); break;
      case OP_CREATETABLE: flowto(&V, pc + 1, h + 1, 0); break;
      case OP_SETLOCAL: check(h >= 1 && U < h - 1); flowto(&V, pc + 1, h - 1, 0); break;
      case OP_SETGLOBAL: check(h >= 1 && U < f->nkstr); flowto(&V, pc + 1, h - 1, 0); break;
      case OP_SETTABLE: check(A >= 2 && A <= h && B <= h); flowto(&V, pc + 1, h - B, 0); break;
      case OP_SETLIST: check(B + 1 <= h); flowto(&V, pc + 1, h - B, 0); break;
      case OP_SETMAP: check(2 * U + 1 <= h); flowto(&V, pc + 1, h - 2 * U, 0); break;
      case OP_ADD:
      case OP_SUB:
      case OP_MULT:
      case OP_DIV:
      case OP_POW:
        check(h >= 2);
        flowto(&V, pc + 1, h - 1, 0);
        break;
      case OP_ADDI:
      case OP_MINUS:
      case OP_NOT:
        check(h >= 1);
        flowto(&V, pc + 1, h, 0);
        break;
      case OP_CONCAT: check(U >= 1 && U <= h); flowto(&V, pc + 1, h - U + 1, 0); break;
      case OP_JMPNE:
      case OP_JMPEQ:
      case OP_JMPLT:
      case OP_JMPLE:
      case OP_JMPGT:
      case OP_JMPGE:
        check(h >= 2);
        flowto(&V, pc + 1 + Sarg, h - 2, 1);
        flowto(&V, pc + 1, h - 2, 0);
        break;
      case OP_JMPT:
      case OP_JMPF:
        check(h >= 1);
        flowto(&V, pc + 1 + Sarg, h - 1, 1);
        flowto(&V, pc + 1, h - 1, 0);
        break;
      case OP_JMPONT:
      case OP_JMPONF:
        check(h >= 1);
        flowto(&V, pc + 1 + Sarg, h, 1);
        flowto(&V, pc + 1, h - 1, 0);
        break;
      case OP_JMP: flowto(&V, pc + 1 + Sarg, h, 1); break;
      case OP_PUSHNILJMP: flowto(&V, pc + 2, h + 1, 1); break;
      case OP_FORPREP:
        check(h >= 3);
        flowto(&V, pc + 1 + Sarg, h - 3, 1);
        flowto(&V, pc + 1, h, 0);
        break;
      case OP_FORLOOP:
      case OP_LFORLOOP:
        check(h >= 3);
        flowto(&V, pc + 1 + Sarg, h, 1);
        flowto(&V, pc + 1, h - 3, 0);
        break;
      case OP_LFORPREP:
        check(h >= 1);
        flowto(&V, pc + 1 + Sarg, h - 1, 1);
        flowto(&V, pc + 1, h + 2, 0);
        break;
      case OP_CLOSURE:
        check(A < f->nkproto && B <= h && needup[(size_t)A] <= B);
        flowto(&V, pc + 1, h - B + 1, 0);
        break;
      case OP_CLOSUREEXT:
        check(ext >= 0 && ext < f->nkproto && U <= h && needup[(size_t)ext] <= U);
        flowto(&V, pc + 1, h - U + 1, 0);
        break;
      case OP_EXTARGU:
      case OP_EXTARGS:
        flowto(&V, pc + 1, st, 0);
        break;
    }
  }
}

static Proto* LoadFunction(LoadState* S, int depth) {
  if (depth > MAXNESTING) badcode(S);
  lua_State* L = S->L;
  Proto* f = luaF_newproto(L);
  f->source = LoadString(S);
  if (f->source == NULL) badcode(S);  // debug names need a source
  f->lineDefined = LoadInt(S);
  int numparams = LoadInt(S);
  f->is_vararg = (short)ezgetc(S);
  int maxstack = LoadInt(S);
  if (numparams < 0 || numparams > 32767 || maxstack < 0 || maxstack > 32767) badcode(S);
  f->numparams = (short)numparams;
  f->maxstacksize = (short)maxstack;
  LoadLocals(S, f);
  int n = LoadCount(S);
  f->lineinfo = (int*)LoadVector(S, n, sizeof(int), 4, convint);
  f->nlineinfo = n;
  LoadConstants(S, f, depth);
  n = LoadCount(S);
  Instruction* code = (Instruction*)LoadVector(S, n, sizeof(Instruction), 2, convinstruction);
  f->code = code;
  // counted only once complete: ncode stays 0 until then
  if (n == 0 || code[n - 1] != 0) badcode(S);
  f->ncode = n;
  int ok = 0;
  struct Reset {
    Proto* f;
    int* ok;
    ~Reset() {
      if (!*ok) f->ncode = 0;
    }
  } reset = {f, &ok};
  verifycode(S, f);
  ok = 1;
  f->ncode = 0;
  luaF_protook(L, f, n);
  return f;
}

static void LoadSignature(LoadState* S) {
  for (const char* s = SIGNATURE; *s; s++) {
    if (ezgetc(S) != *s) luaO_verror(S->L, "bad signature in `%.99s'", S->name);
  }
}

static void TestSize(LoadState* S, int expected, const char* what) {
  int r = ezgetc(S);
  if (r != expected)
    luaO_verror(S->L, "virtual machine mismatch in `%.99s':\n  %.20s is %d but read %d", S->name,
                what, expected, r);
}

static void LoadHeader(LoadState* S) {
  LoadSignature(S);
  int version = ezgetc(S);
  if (version > VERSION)
    luaO_verror(S->L, "`%.99s' too new:\n  read version %d.%d; expected at most %d.%d", S->name,
                version / 16, version % 16, VERSION / 16, VERSION % 16);
  if (version < VERSION0)
    luaO_verror(S->L, "`%.99s' too old:\n  read version %d.%d; expected at least %d.%d", S->name,
                version / 16, version % 16, VERSION0 / 16, VERSION0 % 16);
  S->swap = (ezgetc(S) != luaU_endianess());
  TestSize(S, 4, "sizeof(int)");
  TestSize(S, 4, "sizeof(size_t)");
  TestSize(S, 2, "sizeof(Instruction)");
  TestSize(S, SIZE_INSTRUCTION, "SIZE_INSTRUCTION");
  TestSize(S, SIZE_OP, "SIZE_OP");
  TestSize(S, SIZE_B, "SIZE_B");
  TestSize(S, 4, "sizeof(Number)");
  Number tf = TEST_NUMBER;
  Number f = LoadNumber(S);
  if (luaO_float2int(f) != luaO_float2int(tf))
    luaO_verror(S->L, "unknown number format in `%.99s':\n  read %.16g; expected %.16g", S->name,
                (double)f, (double)tf);
}

Proto* luaU_undump(lua_State* L, ZIO* Z) {
  LoadState S;
  S.L = L;
  S.Z = Z;
  S.swap = 0;
  const char* name = zname(Z) ? zname(Z) : "?";
  S.name = (*name == '@') ? name + 1 : name;
  int c = zgetc(Z);
  if (c != ID_CHUNK) return NULL;
  LoadHeader(&S);
  Proto* f = LoadFunction(&S, 0);
  // the main function runs as a closure without upvalues
  if (upvaluesneeded(f) != 0) badcode(&S);
  if (zgetc(Z) != EOZ)
    luaO_verror(L, "`%.99s' apparently contains more than one chunk", S.name);
  return f;
}
