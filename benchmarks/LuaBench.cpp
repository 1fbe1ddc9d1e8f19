// Script interpreter: table and string operations, and script workloads run
// from hand-made chunks next to the same algorithms in C++.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "ChunkWriter.h"
#include "lstring.h"
#include "ltable.h"
#include "lua.h"

using namespace luachunk;

namespace {

// Tables ------------------------------------------------------------------

void BM_TableNumberKeys(benchmark::State& state) {
  lua_State* L = lua_open(0);
  const int n = (int)state.range(0);
  for (auto _ : state) {
    Hash* t = luaH_new(L, 0);
    for (int i = 0; i < n; i++) {
      TObject v;
      setnvalue(&v, (float)i);
      setnodeval(luaH_setint(L, t, i), &v);
    }
    float sum = 0;
    for (int i = 0; i < n; i++) sum += luaH_getnum(t, (float)i)->val.n;
    benchmark::DoNotOptimize(sum);
    lua_setgcthreshold(L, 0);
  }
  state.SetItemsProcessed(state.iterations() * n * 2);
  lua_close(L);
}
BENCHMARK(BM_TableNumberKeys)->Arg(1000)->Arg(10000);

void BM_TableIdKeys(benchmark::State& state) {
  lua_State* L = lua_open(0);
  const int n = (int)state.range(0);
  for (auto _ : state) {
    Hash* t = luaH_new(L, 0);
    for (int i = 0; i < n; i++) {
      TObject k, v;
      setidvalue(&k, 0x80000000u | ((uint32_t)i << 16) | (uint32_t)i);  // serial above slot
      setnvalue(&v, 1);
      setnodeval(luaH_set(L, t, &k), &v);
    }
    int found = 0;
    for (int i = 0; i < n; i++)
      found += luaH_getnumbits(t, 0x80000000u | ((uint32_t)i << 16) | (uint32_t)i)->val_tt == LUA_TNUMBER;
    benchmark::DoNotOptimize(found);
    lua_setgcthreshold(L, 0);
  }
  state.SetItemsProcessed(state.iterations() * n * 2);
  lua_close(L);
}
// Data ids mostly read as tiny or negative floats; the number hash spreads
// such patterns by their bits, so this should stay close to the number keys.
BENCHMARK(BM_TableIdKeys)->Arg(100)->Arg(1000);

void BM_TableStringKeys(benchmark::State& state) {
  lua_State* L = lua_open(0);
  const int n = (int)state.range(0);
  std::vector<TString*> keys;
  lua_newtable(L);  // keeps the keys alive
  for (int i = 0; i < n; i++) {
    keys.push_back(luaS_new(L, ("key" + std::to_string(i)).c_str()));
    lua_pushstring(L, keys.back()->str);
    lua_rawseti(L, 1, i + 1);
  }
  for (auto _ : state) {
    Hash* t = luaH_new(L, 0);
    for (int i = 0; i < n; i++) {
      TObject k, v;
      setsvalue(&k, keys[(size_t)i]);
      setnvalue(&v, (float)i);
      setnodeval(luaH_set(L, t, &k), &v);
    }
    float sum = 0;
    for (int i = 0; i < n; i++) sum += luaH_getstr(t, keys[(size_t)i])->val.n;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * n * 2);
  lua_close(L);
}
BENCHMARK(BM_TableStringKeys)->Arg(1000)->Arg(10000);

void BM_StringInterning(benchmark::State& state) {
  lua_State* L = lua_open(0);
  std::vector<std::string> texts;
  for (int i = 0; i < 1000; i++) texts.push_back("interned text number " + std::to_string(i));
  for (auto _ : state) {
    for (const std::string& s : texts) benchmark::DoNotOptimize(luaS_newlstr(L, s.data(), s.size()));
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)texts.size());
  lua_close(L);
}
BENCHMARK(BM_StringInterning);

// Script workloads ----------------------------------------------------------

Function Proto(int numparams, int maxstack, std::vector<Instruction> code) {
  Function f;
  f.lineDefined = 1;
  f.numparams = numparams;
  f.maxstacksize = maxstack;
  f.code = std::move(code);
  return f;
}

// fib(n), loop(n) (sum of 1..n), fill(n) (t[i] = i) and cat(n) (n concatenations).
std::string WorkloadChunk() {
  Function main;
  main.maxstacksize = 1;
  int fib = main.AddString("fib");
  Function pfib = Proto(1, 4, {
      OpU(OP_GETLOCAL, 0), OpS(OP_PUSHINT, 2), OpS(OP_JMPGE, 2),  // if n >= 2 goto 5
      OpU(OP_GETLOCAL, 0), OpU(OP_RETURN, 1),
      OpU(OP_GETGLOBAL, 0), OpU(OP_GETLOCAL, 0), OpS(OP_ADDI, -1), OpAB(OP_CALL, 1, 1),
      OpU(OP_GETGLOBAL, 0), OpU(OP_GETLOCAL, 0), OpS(OP_ADDI, -2), OpAB(OP_CALL, 2, 1),
      Op(OP_ADD), OpU(OP_RETURN, 1), Op(OP_END)});
  pfib.kstr = {"fib"};
  Function ploop = Proto(1, 7, {
      OpS(OP_PUSHINT, 0), OpS(OP_PUSHINT, 1), OpU(OP_GETLOCAL, 0), OpS(OP_PUSHINT, 1),
      OpS(OP_FORPREP, 5),
      OpU(OP_GETLOCAL, 1), OpU(OP_GETLOCAL, 2), Op(OP_ADD), OpU(OP_SETLOCAL, 1),
      OpS(OP_FORLOOP, -5),
      OpU(OP_GETLOCAL, 1), OpU(OP_RETURN, 2), Op(OP_END)});
  Function pfill = Proto(1, 8, {
      OpU(OP_CREATETABLE, 0), OpS(OP_PUSHINT, 1), OpU(OP_GETLOCAL, 0), OpS(OP_PUSHINT, 1),
      OpS(OP_FORPREP, 5),
      OpU(OP_GETLOCAL, 1), OpU(OP_GETLOCAL, 2), OpU(OP_GETLOCAL, 2), OpAB(OP_SETTABLE, 3, 3),
      OpS(OP_FORLOOP, -5),
      OpU(OP_GETLOCAL, 1), OpU(OP_RETURN, 2), Op(OP_END)});
  Function pcat = Proto(1, 7, {
      OpU(OP_PUSHSTRING, 0), OpS(OP_PUSHINT, 1), OpU(OP_GETLOCAL, 0), OpS(OP_PUSHINT, 1),
      OpS(OP_FORPREP, 5),
      OpU(OP_GETLOCAL, 1), OpU(OP_PUSHSTRING, 1), OpU(OP_CONCAT, 2), OpU(OP_SETLOCAL, 1),
      OpS(OP_FORLOOP, -5),
      OpU(OP_GETLOCAL, 1), OpU(OP_RETURN, 2), Op(OP_END)});
  pcat.kstr = {"", "x"};
  main.kproto = {pfib, ploop, pfill, pcat};
  int names[4] = {fib, main.AddString("loop"), main.AddString("fill"), main.AddString("cat")};
  for (int k = 0; k < 4; k++) {
    main.code.push_back(OpAB(OP_CLOSURE, k, 0));
    main.code.push_back(OpU(OP_SETGLOBAL, names[k]));
  }
  main.code.push_back(Op(OP_END));
  return WriteChunk(main);
}

lua_State* OpenWorkloads() {
  lua_State* L = lua_open(0);
  std::string chunk = WorkloadChunk();
  if (lua_dobuffer(L, chunk.data(), chunk.size(), "=workloads") != 0) abort();
  return L;
}

float RunScript(lua_State* L, const char* name, float arg) {
  lua_getglobal(L, name);
  lua_pushnumber(L, arg);
  lua_call(L, 1, 1);
  float r = lua_isstring(L, -1) && lua_type(L, -1) == LUA_TSTRING ? (float)lua_strlen(L, -1)
                                                                 : lua_tonumber(L, -1);
  lua_pop(L, 1);
  return r;
}

__attribute__((noinline)) float FibNative(float n) {
  if (n < 2) return n;
  return FibNative(n - 1) + FibNative(n - 2);
}

__attribute__((noinline)) float LoopNative(float n) {
  float s = 0;
  for (float i = 1; i <= n; i += 1) {
    s += i;
    benchmark::DoNotOptimize(s);
  }
  return s;
}

void BM_ScriptFib(benchmark::State& state) {
  lua_State* L = OpenWorkloads();
  for (auto _ : state) benchmark::DoNotOptimize(RunScript(L, "fib", 20));
  lua_close(L);
}
BENCHMARK(BM_ScriptFib)->Unit(benchmark::kMillisecond);

void BM_NativeFib(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FibNative(20));
}
BENCHMARK(BM_NativeFib)->Unit(benchmark::kMillisecond);

void BM_ScriptLoop(benchmark::State& state) {
  lua_State* L = OpenWorkloads();
  for (auto _ : state) benchmark::DoNotOptimize(RunScript(L, "loop", 100000));
  lua_close(L);
}
BENCHMARK(BM_ScriptLoop)->Unit(benchmark::kMillisecond);

void BM_NativeLoop(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LoopNative(100000));
}
BENCHMARK(BM_NativeLoop)->Unit(benchmark::kMillisecond);

void BM_ScriptTableFill(benchmark::State& state) {
  lua_State* L = OpenWorkloads();
  for (auto _ : state) benchmark::DoNotOptimize(RunScript(L, "fill", 10000));
  lua_close(L);
}
BENCHMARK(BM_ScriptTableFill)->Unit(benchmark::kMillisecond);

void BM_ScriptConcat(benchmark::State& state) {
  lua_State* L = OpenWorkloads();
  for (auto _ : state) benchmark::DoNotOptimize(RunScript(L, "cat", 2000));
  lua_close(L);
}
BENCHMARK(BM_ScriptConcat)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
