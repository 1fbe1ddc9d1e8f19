// The debug library: stack inspection, locals and script hooks.
#include <gtest/gtest.h>

#include <string>

#include "LibTestUtil.h"

namespace {

class DbLibTest : public LibTest {};

TEST_F(DbLibTest, GetinfoOfLevelsAndFunctions) {
  EXPECT_EQ(Run("function f()\n"
                "  local t = getinfo(1, 'l')\n"
                "  return t.currentline\n"
                "end\n"
                "print(f())\n"),
            "2\n");
  EXPECT_EQ(Run("function f()\n"
                "  local t = getinfo(1)\n"
                "  print(t.source, t.short_src, t.linedefined, t.what, t.currentline)\n"
                "  print(t.name, t.namewhat, t.nups, t.func == f)\n"
                "end\n"
                "f()\n"
                "local g = getinfo(print)\n"
                "print(g.what, g.source, g.short_src, g.linedefined, g.currentline, g.func == print)\n"
                "local m = getinfo(1, 'S')\n"
                "print(m.what, m.linedefined, m.currentline)\n"
                "print(getinfo(50), getinfo(0, 'n').name)\n"),
            "=test\ttest\t1\tLua\t2\n"
            "f\tglobal\t0\t1\n"
            "C\t=C\tC\t-1\t-1\t1\n"
            "main\t0\tnil\n"
            "nil\tgetinfo\n");
  const struct {
    const char* code;
    const char* message;
  } errors[] = {
    {"getinfo(1, 'x')", "bad argument #2 to `getinfo' (invalid option)"},
    {"getinfo(print, 'lq')", "bad argument #2 to `getinfo' (invalid option)"},
    {"getinfo(1, '>S')", "bad argument #2 to `getinfo' (invalid option)"},
    {"getinfo({})", "bad argument #1 to `getinfo' (function or level expected)"},
    {"getinfo()", "bad argument #1 to `getinfo' (function or level expected)"},
  };
  for (const auto& e : errors) EXPECT_EQ(Error(e.code), e.message) << e.code;
}

TEST_F(DbLibTest, GetAndSetLocals) {
  EXPECT_EQ(Run(R"(
    function f(a, b)
      local c = a + b
      print(getlocal(1, 1), getlocal(1, 2))
      print(getlocal(1, 3))
      print(getlocal(1, 4))
      print(setlocal(1, 3, 100), c)
      print(setlocal(1, 9, 1))
      return c
    end
    print(f(1, 2))
    for i = 1, 1 do
      print(setlocal(1, 2, 50))
    end
  )"),
            "a\tb\t2\n"
            "c\t3\n"
            "nil\n"
            "c\t100\n"
            "nil\n"
            "100\n"
            "(limit)\n");
  EXPECT_EQ(Error("getlocal(40, 1)"), "bad argument #1 to `getlocal' (level out of range)");
  EXPECT_EQ(Error("setlocal(40, 1, 2)"), "bad argument #1 to `setlocal' (level out of range)");
  EXPECT_EQ(Error("local x = 1 setlocal(1, 1)"), "bad argument #3 to `setlocal' (value expected)");
}

TEST_F(DbLibTest, ScriptHooksSeeCallsAndLines) {
  EXPECT_EQ(Run("events = ''\n"
                "function g() return 1 end\n"
                "setcallhook(function(e) events = events .. e .. ' ' end)\n"
                "g()\n"
                "setcallhook()\n"
                "print(events)\n"),
            // the call and return of g, the call of setcallhook that removes
            // the hook; calls that started without the hook report no return
            "call return call \n");
  // each call reads the line hook when it starts
  EXPECT_EQ(Run("lines = ''\n"
                "function f()\n"
                "  local a = 1\n"
                "  local b = 2\n"
                "end\n"
                "setlinehook(function(l) lines = lines .. l .. ' ' end)\n"
                "f()\n"
                "setlinehook(nil)\n"
                "f()\n"
                "print(lines)\n"),
            "3 4 5 \n");
  EXPECT_EQ(Run(R"(
    local f = function() end
    print(setcallhook(f) == nil, setcallhook(nil) == f, setcallhook() == nil)
    print(setlinehook(f) == nil, setlinehook(print) == f, setlinehook() == print)
  )"),
            "1\t1\t1\n1\t1\t1\n");
  EXPECT_EQ(Error("setcallhook(1)"), "bad argument #1 to `setcallhook' (function expected)");
  EXPECT_EQ(Error("setlinehook('f')"), "bad argument #1 to `setlinehook' (function expected)");
  // no native hook is left behind
  EXPECT_EQ(lua_setcallhook(L, nullptr), nullptr);
  EXPECT_EQ(lua_setlinehook(L, nullptr), nullptr);
}

int g_hostCalls = 0;
int g_hostLines = 0;
void HostCallHook(lua_State*, lua_Debug*) { g_hostCalls++; }
void HostLineHook(lua_State*, lua_Debug*) { g_hostLines++; }

TEST_F(DbLibTest, RemovingAScriptHookGivesBackTheHostsHook) {
  g_hostCalls = g_hostLines = 0;
  lua_setcallhook(L, HostCallHook);
  lua_setlinehook(L, HostLineHook);
  EXPECT_EQ(Run("setcallhook(function() end) setlinehook(function() end)\n"
                "setcallhook(function() end)\n"  // a second script hook
                "setcallhook() setlinehook()\n"),
            "");
  EXPECT_EQ(lua_setcallhook(L, HostCallHook), HostCallHook);
  EXPECT_EQ(lua_setlinehook(L, HostLineHook), HostLineHook);
  g_hostCalls = g_hostLines = 0;
  EXPECT_EQ(Run("local x = 1\nx = x + 1\n"), "");
  EXPECT_GT(g_hostCalls, 0);
  EXPECT_GT(g_hostLines, 0);
  // while the script's hook is set, the host's does not run
  g_hostLines = 0;
  EXPECT_EQ(Run("function f()\nlocal y = 1\nend\n"
                "n = 0 setlinehook(function() n = n + 1 end)\nf()\nsetlinehook()\nprint(n)\n"),
            "2\n");
  // the main chunk keeps the hook it started with, so the host's hook saw
  // its five lines and none of f's
  EXPECT_EQ(g_hostLines, 5);
  // a hook the host installs while a script hook is set is left alone
  EXPECT_EQ(Run("setcallhook(function() end)"), "");
  lua_setcallhook(L, HostLineHook);
  EXPECT_EQ(Run("setcallhook()"), "");
  EXPECT_EQ(lua_setcallhook(L, nullptr), HostLineHook);
  lua_setlinehook(L, nullptr);
}

TEST_F(DbLibTest, ErrorsInAScriptHookReachTheRunningCode) {
  EXPECT_EQ(Error("function f()\nlocal z = 1\nend\n"
                  "setlinehook(function(l) if l == 2 then error('in hook') end end)\nf()\n"),
            "in hook");
  EXPECT_EQ(Run("setlinehook()\nprint('after')\n"), "after\n");
}

}  // namespace
