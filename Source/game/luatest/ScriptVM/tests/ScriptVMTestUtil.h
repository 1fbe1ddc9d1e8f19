// Shared fixture of the script host tests: a host opened on a temporary
// folder of game data, with the trace lines recorded.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "Game/PCGameApp.h"
#include "Lua/lstate.h"
#include "Lua/lua.h"
#include "ScriptVM/LuaHelper.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptThread.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

// The base class every test class derives from.
static const char* const kBaseClassSource =
    "function Base()\n"
    "  local o = CreateObject(nil)\n"
    "  o.setState = function(self, s) APISetState(self, s) end\n"
    "  o.SetState = o.setState\n"
    "  return o\n"
    "end\n";

class ScriptVMTest : public ::testing::Test {
protected:
  void SetUp() override {
    char szTemplate[] = "/tmp/scriptvm_test_XXXXXX";
    ASSERT_NE(mkdtemp(szTemplate), nullptr);
    m_Dir = szTemplate;
    gFile->AddReadPath(m_Dir.c_str(), true);
    s_pLines = &m_Lines;
    g_ErrorManager.SetConsoleCallback(&Capture);
    WriteFile("scripts/Base.lua", kBaseClassSource);
    // Removed scripts wait on the application's deletion queue.
    m_pPrevApp = gGameApp;
    gGameApp = &m_HostApp;
    vm.Initialise();
    L = vm.GetGlobalState();
  }
  void TearDown() override {
    if (vm.IsInitialised()) {
      if (!gGameApp) gGameApp = &m_HostApp;
      vm.Shutdown();
    }
    gGameApp = m_pPrevApp;
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pLines = nullptr;
    std::string cmd = "rm -rf '" + m_Dir + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << "could not remove " << m_Dir;
  }

  void WriteFile(const std::string& rel, const std::string& text) {
    std::string path = m_Dir + "/" + rel;
    for (size_t i = m_Dir.size() + 1; i < path.size(); ++i) {
      if (path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
    std::ofstream f(path, std::ios::binary);
    f << text;
  }
  // A class file defining the class `name` (dotted) with the given body of
  // its constructor, which builds `o` from Base.
  void WriteClass(const std::string& dotted, const std::string& body, const std::string& parent = "Base") {
    std::string rel = dotted;
    for (char& c : rel) {
      if (c == '.') c = '/';
    }
    std::string shortName = dotted.substr(dotted.rfind('.') == std::string::npos ? 0 : dotted.rfind('.') + 1);
    WriteFile("scripts/" + rel + ".lua", "function " + shortName + "()\n  local o = CreateObject(\"" + parent +
                                             "\")\n" + body + "\n  return o\nend\n");
  }

  bool Run(const char* code) { return vm.RunLuaCommands(code, nullptr, nullptr, 0); }
  float Num(const std::string& expr) {
    float f = -12345.0f;
    vm.RunLuaCommands(("return " + expr).c_str(), nullptr, &f, 0);
    return f;
  }
  int CountLines(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_Lines) {
      if (s.find(text) != std::string::npos) ++n;
    }
    return n;
  }
  std::string AllLines() const {
    std::string r;
    for (const std::string& s : m_Lines) r += s + "\n";
    return r;
  }
  // The text the test scripts gathered in the global gLog ("?" when it is
  // not a string); gLog is emptied again.
  std::string Log() {
    lua_getglobal(L, "gLog");
    std::string s = lua_isstring(L, -1) ? lua_tostring(L, -1) : "?";
    lua_pop(L, 1);
    Run("gLog = ''");
    return s;
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) {
      vm.RunAllScripts();
      vm.DestroyDeletedScriptObjects();
    }
  }

  static void Capture(const char* text) {
    if (s_pLines) s_pLines->push_back(text ? text : "");
    if (getenv("SCRIPTVM_TEST_ECHO")) fprintf(stderr, "%s\n", text ? text : "");
  }

  // Declared before the host, whose construction publishes it last.
  PCGameApp m_HostApp;
  GameApp* m_pPrevApp = nullptr;
  EScriptVM vm;
  lua_State* L = nullptr;
  std::string m_Dir;
  std::vector<std::string> m_Lines;
  static std::vector<std::string>* s_pLines;
};
