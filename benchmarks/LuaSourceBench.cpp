// Script workloads compiled from source: the compiler's own speed on a
// level-sized script, and the virtual machine on programs as scripts write
// them (recursion, numeric loops, table fills, string building, closures).

#include <benchmark/benchmark.h>

#include <string>

#include "Lua/ldo.h"
#include "Lua/lua.h"
#include "Lua/lzio.h"

namespace {

int IgnoreError(lua_State*) { return 0; }

lua_State* OpenState() {
  lua_State* L = lua_open(0);
  lua_register(L, LUA_ERRORMESSAGE, IgnoreError);
  return L;
}

// A script of the size and shape of a level script: many small functions
// with locals, tables, conditions and calls.
std::string LevelScript(int functions) {
  std::string s;
  for (int i = 0; i < functions; i++) {
    std::string n = std::to_string(i);
    s += "function Obj" + n + ":OnMessage(msg, a, b)\n"
         "  local state = self.state or {count = 0, name = \"obj" + n + "\"}\n"
         "  if msg == \"spawn\" then\n"
         "    state.count = state.count + 1\n"
         "    self.pos = {x = a * 2, y = b - 1, z = 0}\n"
         "  elseif msg == \"timer\" and state.count > 3 then\n"
         "    for i = 1, 10 do state[i] = i * i end\n"
         "  else\n"
         "    for k, v in state do if v == nil then break end end\n"
         "  end\n"
         "  self.state = state\n"
         "  return state.name .. \":\" .. state.count\n"
         "end\n";
  }
  return s;
}

void BM_CompileLevelScript(benchmark::State& st) {
  lua_State* L = OpenState();
  std::string src;
  for (int i = 0; i < 100; i++) src += "Obj" + std::to_string(i) + " = {}\n";
  src += LevelScript(100);
  for (auto _ : st) {
    ZIO z;
    luaZ_mopen(&z, src.data(), src.size(), "=level");
    if (luaD_protectedparser(L, &z, 0) != 0) st.SkipWithError("compile failed");
    lua_settop(L, 0);
  }
  st.SetBytesProcessed((int64_t)st.iterations() * (int64_t)src.size());
  lua_close(L);
}
BENCHMARK(BM_CompileLevelScript);

// Compiles the workload once, then calls its function `run' per iteration.
void RunWorkload(benchmark::State& st, const char* source) {
  lua_State* L = OpenState();
  if (lua_dostring(L, source) != 0) {
    st.SkipWithError("workload does not compile");
    lua_close(L);
    return;
  }
  for (auto _ : st) {
    lua_getglobal(L, "run");
    if (lua_call(L, 0, 1) != 0) {
      st.SkipWithError("workload failed");
      break;
    }
    benchmark::DoNotOptimize(lua_tonumber(L, -1));
    lua_settop(L, 0);
  }
  lua_close(L);
}

void BM_SourceRecursiveCalls(benchmark::State& st) {
  RunWorkload(st,
              "function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end\n"
              "function run() return fib(20) end");
}
BENCHMARK(BM_SourceRecursiveCalls);

void BM_SourceNumericLoops(benchmark::State& st) {
  RunWorkload(st,
              "function run()\n"
              "  local s = 0\n"
              "  for i = 1, 10000 do s = s + i * 2 - 1 end\n"
              "  local n = 0\n"
              "  while n < 10000 do n = n + 1 end\n"
              "  return s + n\n"
              "end");
}
BENCHMARK(BM_SourceNumericLoops);

void BM_SourceTableFill(benchmark::State& st) {
  RunWorkload(st,
              "function run()\n"
              "  local t = {}\n"
              "  for i = 1, 2000 do t[i] = i end\n"
              "  local r = {}\n"
              "  for i = 1, 500 do r[\"k\" .. i] = {x = i, y = i} end\n"
              "  local s = 0\n"
              "  for k, v in t do s = s + v end\n"
              "  return s\n"
              "end");
}
BENCHMARK(BM_SourceTableFill);

void BM_SourceStringBuild(benchmark::State& st) {
  RunWorkload(st,
              "function run()\n"
              "  local s = \"\"\n"
              "  for i = 1, 300 do s = s .. \"item\" .. i .. \",\" end\n"
              "  return 1\n"
              "end");
}
BENCHMARK(BM_SourceStringBuild);

void BM_SourceClosuresAndMethods(benchmark::State& st) {
  RunWorkload(st,
              "Counter = {}\n"
              "function Counter:add(k) self.n = self.n + k return self.n end\n"
              "function make(step) return function(x) return x + %step end end\n"
              "function run()\n"
              "  local c = {n = 0, add = Counter.add}\n"
              "  local inc = make(2)\n"
              "  local v = 0\n"
              "  for i = 1, 2000 do v = inc(v); c:add(1) end\n"
              "  return v + c.n\n"
              "end");
}
BENCHMARK(BM_SourceClosuresAndMethods);

}  // namespace

BENCHMARK_MAIN();
