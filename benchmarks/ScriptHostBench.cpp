// Script host: one script pass over 1,000 script objects, a state function
// run on its own script thread against the same function called plainly
// in protected mode, and a native function called from script.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

namespace {
LUA_NATIVE(BenchNop) { return 0; }

void Quiet(const char*) {}

// A host over a temporary folder holding one class whose state function
// counts its runs.
class BenchHost {
public:
  BenchHost() {
    char szTemplate[] = "/tmp/scripthost_bench_XXXXXX";
    if (!mkdtemp(szTemplate)) abort();
    m_Dir = szTemplate;
    mkdir((m_Dir + "/scripts").c_str(), 0755);
    mkdir((m_Dir + "/scripts/bench").c_str(), 0755);
    std::ofstream(m_Dir + "/scripts/bench/Ticker.lua") <<
        "function Ticker()\n"
        "  local o = CreateObject(nil)\n"
        "  o.setState = function(self, s) APISetState(self, s) end\n"
        "  o.initialState = function(self) self.n = self.n + 1 end\n"
        "  return o\n"
        "end\n";
    gFile->AddReadPath(m_Dir.c_str(), true);
    g_ErrorManager.SetConsoleCallback(Quiet);
    m_VM.Initialise();
  }
  ~BenchHost() {
    m_VM.Shutdown();
    g_ErrorManager.SetConsoleCallback(nullptr);
    std::string cmd = "rm -rf '" + m_Dir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", m_Dir.c_str());
  }
  EScriptObject* Add(int i) {
    char name[32];
    snprintf(name, sizeof(name), "t%d", i);
    return m_VM.CreateScriptObject("bench.Ticker", name, nullptr, "self.n = 0", false, false, true, false);
  }
  EScriptVM m_VM;
  std::string m_Dir;
};

void BM_ScriptPass1000Objects(benchmark::State& state) {
  BenchHost host;
  for (int i = 0; i < 1000; ++i) host.Add(i);
  for (auto _ : state) host.m_VM.RunAllScripts();
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ScriptPass1000Objects)->Unit(benchmark::kMicrosecond);

// The state function run on its own thread (one object's turn).
void BM_StateOnThread(benchmark::State& state) {
  BenchHost host;
  EScriptObject* pObject = host.Add(0);
  for (auto _ : state) host.m_VM.RunScript(pObject);
}
BENCHMARK(BM_StateOnThread);

// The same function called plainly in protected mode.
void BM_StatePlainProtectedCall(benchmark::State& state) {
  BenchHost host;
  EScriptObject* pObject = host.Add(0);
  lua_State* L = host.m_VM.GetGlobalState();
  for (auto _ : state) {
    pObject->PushTable(L);
    lua_pushstring(L, "CurrentState");
    lua_gettable(L, -2);
    lua_pushvalue(L, -2);
    lua_call(L, 1, 0);
    lua_settop(L, 0);
  }
}
BENCHMARK(BM_StatePlainProtectedCall);

// One wrapped native called from script, per call.
void BM_NativeCallFromScript(benchmark::State& state) {
  BenchHost host;
  lua_State* L = host.m_VM.GetGlobalState();
  lua_dostring(L, "function CallNop() for i = 1, 1000 do BenchNop() end end");
  for (auto _ : state) {
    lua_getglobal(L, "CallNop");
    lua_call(L, 0, 0);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_NativeCallFromScript)->Unit(benchmark::kMicrosecond);
}  // namespace

BENCHMARK_MAIN();
