#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "ChunkWriter.h"
#include "LuaTestUtil.h"

namespace {

using namespace luachunk;

std::string ChunkId(const char* source, int size) {
  char out[128];
  luaO_chunkid(out, source, size);
  return out;
}

TEST(ChunkId, NamesSourcesByTheirKind) {
  EXPECT_EQ(ChunkId("=stdin", 60), "stdin");
  EXPECT_EQ(ChunkId("=0123456789", 8), "0123456");
  EXPECT_EQ(ChunkId("@scripts/a.lua", 60), "file `scripts/a.lua'");
  std::string path = "@" + std::string(150, 'p') + std::string(50, 'q');
  std::string id = ChunkId(path.c_str(), 60);
  EXPECT_EQ(id, "file `..." + std::string(47, 'q') + "'");
  EXPECT_EQ(ChunkId("x = 1", 60), "string \"x = 1\"");
  EXPECT_EQ(ChunkId("x = 1\ny = 2", 60), "string \"x = 1...\"");
  std::string longtext(100, 'a');
  EXPECT_EQ(ChunkId(longtext.c_str(), 60), "string \"" + std::string(43, 'a') + "...\"");
}

TEST_F(LuaTest, SyntaxErrorsAreStatusThreeWithTheChunkName) {
  EXPECT_EQ(Run("x = "), LUA_ERRSYNTAX);
  EXPECT_NE(LastMessage().find("in string \"x = \""), std::string::npos) << LastMessage();
}

TEST_F(LuaTest, CallErrorsNameTheValueWhenTheyCan) {
  EXPECT_EQ(Run("local f = 1 f()"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to call local `f' (a number value)");
  EXPECT_EQ(Run("x = 3 x()"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to call global `x' (a number value)");
  EXPECT_EQ(Run("t = {} t.field()"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to call field `field' (a nil value)");
  EXPECT_EQ(Run("local t = {} t:method()"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to call field `method' (a nil value)");
  EXPECT_EQ(Run("local t = {1} t[1]()"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to call a number value");
  EXPECT_EQ(Run("x = nil + 1"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to perform arithmetic on a nil value");
  EXPECT_EQ(Run("local s = {} x = 1 .. s"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to concat local `s' (a table value)");
  EXPECT_EQ(Run("x = y.z"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to index global `y' (a nil value)");
}

TEST_F(LuaTest, StackOverflowRecoversForTheNextCall) {
  EXPECT_EQ(Run("function f() return f() + 1 end f()"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "stack overflow");
  EXPECT_EQ(L->stack_last, L->stack + (L->stacksize - 1));
  EXPECT_EQ(Run("function g(n) if n > 0 then return g(n - 1) + 1 end return 0 end x = g(50)"), 0);
  EXPECT_EQ(Num("x"), 50);
}

TEST_F(LuaTest, OverflowInsideTheErrorHandlerIsStatusFive) {
  ASSERT_EQ(Run("function _ERRORMESSAGE(m) _ERRORMESSAGE(m) end"), 0);
  EXPECT_EQ(Run("function f() return f() + 1 end f()"), LUA_ERRERR);
  EXPECT_EQ(L->stack_last, L->stack + (L->stacksize - 1));
}

TEST_F(LuaTest, ErrorOutsideAnyProtectedCallIsFatal) {
  EXPECT_EXIT(
      {
        lua_State* S = lua_open(0);
        lua_pushnil(S);
        lua_pushnumber(S, 1);
        lua_pushnil(S);
        lua_rawset(S, -3);  // not a table, no protected call
      },
      testing::ExitedWithCode(255), "unable to recover; exiting");
}

struct Info {
  std::string what, namewhat, name, source;
  int currentline, linedefined, nups;
};
std::vector<Info>* g_infos;

int Inspect(lua_State* L) {
  for (int level = 0;; level++) {
    lua_Debug ar;
    if (!lua_getstack(L, level, &ar)) break;
    EXPECT_EQ(lua_getinfo(L, "Slnu", &ar), 1);
    g_infos->push_back({ar.what, ar.namewhat, ar.name ? ar.name : "", ar.short_src, ar.currentline,
                        ar.linedefined, ar.nups});
  }
  return 0;
}

TEST_F(LuaTest, GetstackAndGetinfoDescribeActiveCalls) {
  std::vector<Info> infos;
  g_infos = &infos;
  lua_register(L, "inspect", Inspect);
  ASSERT_EQ(Run("function outer()\n  inspect()\nend\nouter()"), 0);
  ASSERT_EQ(infos.size(), 3u);
  EXPECT_EQ(infos[0].what, "C");
  EXPECT_EQ(infos[0].currentline, -1);
  EXPECT_EQ(infos[0].linedefined, -1);
  EXPECT_EQ(infos[0].namewhat, "global");
  EXPECT_EQ(infos[0].name, "inspect");
  EXPECT_EQ(infos[1].what, "Lua");
  EXPECT_EQ(infos[1].currentline, 2);
  EXPECT_EQ(infos[1].linedefined, 1);
  EXPECT_EQ(infos[1].name, "outer");
  EXPECT_EQ(infos[2].what, "main");
  EXPECT_EQ(infos[2].currentline, 4);
  EXPECT_EQ(infos[2].source, "string \"function outer()...\"");

  lua_pushnumber(L, 1);
  lua_pushcfunction(L, [](lua_State* L) {
    lua_Debug ar;
    lua_pushnumber(L, 1);
    lua_getinfo(L, ">S", &ar);
    return 0;
  });
  EXPECT_EQ(lua_call(L, 0, 0), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "value for `lua_getinfo' is not a function");
  lua_pushcfunction(L, Inspect);
  lua_Debug ar;
  EXPECT_EQ(lua_getinfo(L, ">Sx", &ar), 0);
  EXPECT_EQ(lua_type(L, -1), LUA_TFUNCTION);  // left on the stack
}

TEST_F(LuaTest, LocalsOfAnActiveFunction) {
  lua_register(L, "probe", [](lua_State* L) {
    lua_Debug ar;
    lua_getstack(L, 1, &ar);
    std::string names;
    for (int n = 1;; n++) {
      const char* name = lua_getlocal(L, &ar, n);
      if (!name) break;
      names += name;
      names += "=";
      names += lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
      names += " ";
      lua_pop(L, 1);
    }
    lua_pushnumber(L, 99);
    const char* set = lua_setlocal(L, &ar, 3);  // "(limit)"
    lua_pushnumber(L, 7);
    lua_setlocal(L, &ar, 1);  // a
    lua_pushstring(L, names.c_str());
    lua_pushstring(L, set ? set : "");
    return 2;
  });
  ASSERT_EQ(Run("local a = 5 for i = 1, 1 do names, set = probe() end b = a"), 0);
  EXPECT_EQ(Str("names"), "a=5 i=1 (limit)=1 (step)=1 ");
  EXPECT_EQ(Str("set"), "(limit)");
  EXPECT_EQ(Num("b"), 7);
}

std::vector<std::string>* g_hookevents;

TEST_F(LuaTest, CallAndLineHooks) {
  std::vector<std::string> events;
  g_hookevents = &events;
  lua_setlinehook(L, [](lua_State* L, lua_Debug* ar) {
    EXPECT_EQ(L->allowhooks, 0);
    g_hookevents->push_back("line " + std::to_string(ar->currentline));
  });
  ASSERT_EQ(Run("x = 1\ny = 2\nfor i = 1, 2 do\n  z = i\nend"), 0);
  std::vector<std::string> expected = {"line 1", "line 2", "line 3", "line 4", "line 4", "line 5"};
  // the loop body runs twice: the backward jump reports its line again
  ASSERT_GE(events.size(), 5u);
  EXPECT_EQ(events[0], "line 1");
  EXPECT_EQ(events[1], "line 2");
  EXPECT_EQ(events[2], "line 3");
  EXPECT_EQ(std::count(events.begin(), events.end(), "line 4"), 2);
  lua_setlinehook(L, nullptr);

  events.clear();
  lua_setcallhook(L, [](lua_State* L, lua_Debug* ar) {
    lua_getinfo(L, "S", ar);
    g_hookevents->push_back(std::string(ar->event) + " " + ar->what);
  });
  ASSERT_EQ(Run("function f() end f()"), 0);
  lua_setcallhook(L, nullptr);
  expected = {"call main", "call Lua", "return Lua", "return main"};
  EXPECT_EQ(events, expected);
}

class TempDir {
public:
  TempDir() {
    char tmpl[] = "/tmp/luatestXXXXXX";
    m_path = mkdtemp(tmpl);
  }
  ~TempDir() { (void)system(("rm -rf " + m_path).c_str()); }
  std::string Write(const char* name, const std::string& bytes) {
    std::string p = m_path + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

private:
  std::string m_path;
};

TEST_F(LuaTest, DofileRunsSourceAndPrecompiledFiles) {
  TempDir dir;
  EXPECT_EQ(lua_dofile(L, (dir.Write("x", "") + "missing").c_str()), LUA_ERRFILE);
  EXPECT_EQ(lua_dofile(L, dir.Write("a.lua", "x = 41 + 1").c_str()), 0);
  EXPECT_EQ(Num("x"), 42);
  EXPECT_EQ(lua_dofile(L, dir.Write("bad.lua", "x = ").c_str()), LUA_ERRSYNTAX);
  EXPECT_NE(LastMessage().find("in file `"), std::string::npos) << LastMessage();

  Function f;
  f.maxstacksize = 1;
  f.code = {OpS(OP_PUSHINT, 7), OpU(OP_SETGLOBAL, f.AddString("y")), Op(OP_END)};
  std::string chunk = WriteChunk(f);
  chunk[20] = '\n';  // a line break inside the binary must survive
  f.source = std::string(1, '\n') + "=bin";
  chunk = WriteChunk(f);
  EXPECT_EQ(lua_dofile(L, dir.Write("c.luc", chunk).c_str()), 0);
  EXPECT_EQ(Num("y"), 7);
  EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LuaTest, DostringReturnsItsResultsOnTheStack) {
  ASSERT_EQ(Run("return 1, 'two', nil"), 0);
  ASSERT_EQ(lua_gettop(L), 3);
  EXPECT_EQ(lua_tonumber(L, 1), 1);
  EXPECT_STREQ(lua_tostring(L, 2), "two");
  EXPECT_EQ(lua_type(L, 3), LUA_TNIL);
  lua_settop(L, 0);
  EXPECT_EQ(lua_dobuffer(L, nullptr, 0, nullptr), 0);
}

}  // namespace
