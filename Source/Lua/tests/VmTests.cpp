#include <string>
#include <vector>

#include "ChunkWriter.h"
#include "LuaTestUtil.h"

namespace {

using namespace luachunk;

TEST_F(LuaTest, NumbersPrintWidenedWithSixteenDigits) {
  ASSERT_EQ(Run("a = 0.1 .. '' b = 3 .. '' c = 16777217 .. '' d = -0.5 .. ''"), 0);
  EXPECT_EQ(Str("a"), "0.1000000014901161");
  EXPECT_EQ(Str("b"), "3");
  EXPECT_EQ(Str("c"), "16777216");
  EXPECT_EQ(Str("d"), "-0.5");
}

TEST_F(LuaTest, StringsConvertForArithmetic) {
  ASSERT_EQ(Run("a = '10' + 1 b = '0x10' + 0 c = ' 2 ' * '3'"), 0);
  EXPECT_EQ(Num("a"), 11);
  EXPECT_EQ(Num("b"), 16);
  EXPECT_EQ(Num("c"), 6);
  EXPECT_EQ(Run("a = '10x' + 1"), LUA_ERRRUN);
  EXPECT_EQ(LastMessage(), "attempt to perform arithmetic on a string value");
  float f = 0.1f;
  ASSERT_EQ(Run("x = 0.1 + 0.2 y = 1 / 3"), 0);
  EXPECT_EQ(Num("x"), f + 0.2f);
  EXPECT_EQ(Num("y"), 1.0f / 3.0f);
}

TEST_F(LuaTest, NumericLoops) {
  ASSERT_EQ(Run("n = 0 for i = 1, 0 do n = n + 1 end "
                "m = 0 for i = 1, 2, 0 do m = m + 1 end "
                "s = 0 for i = 10, 1, -3 do s = s + i end "
                "h = 0 for i = '1', '3' do h = h + i end"),
            0);
  EXPECT_EQ(Num("n"), 0);
  EXPECT_EQ(Num("m"), 0);
  EXPECT_EQ(Num("s"), 10 + 7 + 4 + 1);
  EXPECT_EQ(Num("h"), 6);
  struct Case {
    const char* code;
    const char* message;
  } cases[] = {
    {"for i = 1, 2, {} do end", "`for' step must be a number"},
    {"for i = 1, {} do end", "`for' limit must be a number"},
    {"for i = {}, 2 do end", "`for' initial value must be a number"},
    {"for k, v in 5 do end", "`for' table must be a table"},
    {"x = 2 ^ 3", "undefined operation"},
    {"x = 1 < '2'", "attempt to compare number with string"},
    {"x = {} < {}", "attempt to compare two table values"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.code), LUA_ERRRUN) << c.code;
    EXPECT_EQ(LastMessage(), c.message) << c.code;
  }
}

TEST_F(LuaTest, ComparisonsAndConcatenation) {
  ASSERT_EQ(Run("a = 'abc' < 'abd' b = 'a\\0b' < 'a\\0c' c = 'a' < 'a\\0' d = 2 <= 2 e = nil == nil "
                "f = 'x' .. 1 .. '' .. 2.5 g = not nil h = not 1"),
            0);
  EXPECT_EQ(Num("a"), 1);
  EXPECT_EQ(Num("b"), 1);
  EXPECT_EQ(Num("c"), 1);
  EXPECT_EQ(Num("d"), 1);
  EXPECT_EQ(Num("e"), 1);
  EXPECT_EQ(Str("f"), "x12.5");
  EXPECT_EQ(Num("g"), 1);
  EXPECT_EQ(Type("h"), LUA_TNIL);
  lua_pushcfunction(L, [](lua_State* L) {
    lua_pushnumber(L, 1);
    return 1;
  });
  lua_settagmethod(L, LUA_TTABLE, "lt");
  ASSERT_EQ(Run("x = {} < {}"), 0);
  EXPECT_EQ(Num("x"), 1);
}

TEST_F(LuaTest, CallsVarargsAndTailCalls) {
  ASSERT_EQ(Run("function v(a, ...) return a, arg.n, arg[1], arg[2] end "
                "p, q, r, s = v(1, 2, 3) "
                "function t(n) if n == 0 then return 'done' end return t(n - 1) end u = t(500) "
                "function m() return 1, 2, 3 end local a, b, c, d = m() w = d == nil and c"),
            0);
  EXPECT_EQ(Num("p"), 1);
  EXPECT_EQ(Num("q"), 2);
  EXPECT_EQ(Num("r"), 2);
  EXPECT_EQ(Num("s"), 3);
  EXPECT_EQ(Str("u"), "done");
  EXPECT_EQ(Num("w"), 3);
}

TEST_F(LuaTest, GlobalTagMethods) {
  lua_pushcfunction(L, [](lua_State* L) {
    // (name, value)
    lua_pushstring(L, lua_tostring(L, 1));
    return 1;
  });
  lua_settagmethod(L, LUA_TNIL, "getglobal");
  ASSERT_EQ(Run("x = undefined_name"), 0);
  EXPECT_EQ(Str("x"), "undefined_name");
  lua_pushcfunction(L, [](lua_State* L) {
    // (name, old value, new value): store the new value doubled
    lua_getglobals(L);
    lua_pushvalue(L, 1);
    lua_pushnumber(L, lua_tonumber(L, 3) * 2);
    lua_rawset(L, -3);
    return 0;
  });
  lua_settagmethod(L, LUA_TNIL, "setglobal");
  ASSERT_EQ(Run("fresh = 21"), 0);
  lua_getglobals(L);
  lua_pushstring(L, "fresh");
  lua_rawget(L, -2);
  EXPECT_EQ(lua_tonumber(L, -1), 42);
}

// The compiler's output at the operand-extension boundaries, and the
// machine running it.
std::string Locals(int n) {
  std::string s = "local ";
  for (int i = 0; i < n; i++) s += (i ? ", l" : "l") + std::to_string(i);
  s += " = ";
  for (int i = 0; i < n; i++) s += (i ? ", " : "") + std::to_string(i);
  return s + "\n";
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines)
    if (l == line) return true;
  return false;
}

TEST_F(LuaTest, CallsBeyondSlot31UseTheExtensionOpcodes) {
  lua_register(L, "id", [](lua_State* L) { return lua_gettop(L); });
  std::string at31 = Locals(31) + "r31 = id(l30, 5)";
  std::string at32 = Locals(32) + "r32 = id(l31, 5)";
  const Proto* p31 = Compile(at31.c_str());
  ASSERT_NE(p31, nullptr);
  EXPECT_TRUE(Contains(DisassembleLines(p31), "CALL 31 1")) << Disassemble(p31);
  const Proto* p32 = Compile(at32.c_str());
  ASSERT_NE(p32, nullptr);
  std::vector<std::string> lines = DisassembleLines(p32);
  EXPECT_TRUE(Contains(lines, "EXTARGU 32")) << Disassemble(p32);
  ASSERT_EQ(Run(at31.c_str()), 0);
  ASSERT_EQ(Run(at32.c_str()), 0);
  EXPECT_EQ(Num("r31"), 30);
  EXPECT_EQ(Num("r32"), 31);
}

TEST_F(LuaTest, ClosuresBeyondIndex29UseTheExtensionOpcodes) {
  std::string code = "fs = {}\n";
  for (int i = 0; i < 31; i++) code += "fs[" + std::to_string(i) + "] = function() return " + std::to_string(i) + " end\n";
  const Proto* p = Compile(code.c_str());
  ASSERT_NE(p, nullptr);
  std::vector<std::string> lines = DisassembleLines(p);
  EXPECT_TRUE(Contains(lines, "CLOSURE 29 0")) << Disassemble(p);
  EXPECT_TRUE(Contains(lines, "EXTARGU 30")) << Disassemble(p);
  EXPECT_TRUE(Contains(lines, "CLOSUREEXT 0")) << Disassemble(p);
  ASSERT_EQ(Run((code + "a = fs[29]() b = fs[30]()").c_str()), 0);
  EXPECT_EQ(Num("a"), 29);
  EXPECT_EQ(Num("b"), 30);
}

TEST_F(LuaTest, ListsOfFortyItemsFlushInTwoGroups) {
  std::string code = "t = {";
  for (int i = 1; i <= 40; i++) code += std::to_string(i * 10) + (i < 40 ? ", " : "}");
  const Proto* p = Compile(code.c_str());
  ASSERT_NE(p, nullptr);
  std::vector<std::string> lines = DisassembleLines(p);
  EXPECT_TRUE(Contains(lines, "SETLIST 0 31")) << Disassemble(p);
  EXPECT_TRUE(Contains(lines, "SETLIST 1 9")) << Disassemble(p);
  ASSERT_EQ(Run((code + " a = t[31] b = t[32] c = t[40]").c_str()), 0);
  EXPECT_EQ(Num("a"), 310);
  EXPECT_EQ(Num("b"), 320);
  EXPECT_EQ(Num("c"), 400);
}

// Hand-made code: the extension opcodes as the machine executes them.
TEST_F(LuaTest, HandMadeExtensionCodeRuns) {
  lua_register(L, "two", [](lua_State* L) {
    lua_pushnumber(L, lua_tonumber(L, 1) * 2);
    return 1;
  });
  Function f;
  f.maxstacksize = 40;
  int two = f.AddString("two");
  int out = f.AddString("out");
  int cl = f.AddString("cl");
  f.code = {OpU(OP_PUSHNIL, 32), OpU(OP_GETGLOBAL, two), OpS(OP_PUSHINT, 21),
            OpU(OP_EXTARGU, 32), OpAB(OP_CALLEXT, 0, 1), OpU(OP_SETGLOBAL, out)};
  for (int k = 0; k < 31; k++) {
    Function nested;
    nested.lineDefined = 1;
    nested.maxstacksize = 1;
    nested.code = {OpS(OP_PUSHINT, k), OpU(OP_RETURN, 0), Op(OP_END)};
    f.kproto.push_back(nested);
  }
  f.code.push_back(OpS(OP_EXTARGS, 30));
  f.code.push_back(OpU(OP_CLOSUREEXT, 0));
  f.code.push_back(OpU(OP_SETGLOBAL, cl));
  f.code.push_back(OpU(OP_POP, 32));
  f.code.push_back(Op(OP_END));
  ASSERT_EQ(RunChunk(WriteChunk(f)), 0) << LastMessage();
  EXPECT_EQ(Num("out"), 42);
  ASSERT_EQ(Run("r = cl()"), 0);
  EXPECT_EQ(Num("r"), 30);
}

}  // namespace

namespace {

TEST_F(LuaTest, CallingANonFunctionUsesItsFunctionMethod) {
  int tag = lua_newtag(L);
  lua_pushcfunction(L, [](lua_State* L) {
    // the called value comes first, then the arguments
    lua_pushnumber(L, lua_tonumber(L, 2) + (lua_istable(L, 1) ? 100 : 0));
    return 1;
  });
  lua_settagmethod(L, tag, "function");
  lua_newtable(L);
  lua_settag(L, tag);
  lua_setglobal(L, "callable");
  ASSERT_EQ(Run("x = callable(5)"), 0);
  EXPECT_EQ(Num("x"), 105);

  // a tag method is named by its event when nothing else names it
  lua_register(L, "whoami", [](lua_State* L) {
    lua_Debug ar;
    lua_getstack(L, 1, &ar);
    lua_getinfo(L, "n", &ar);
    lua_pushstring(L, (std::string(ar.namewhat) + " " + (ar.name ? ar.name : "")).c_str());
    return 1;
  });
  ASSERT_EQ(Run("function handler(t, k) return whoami() end settagmethod = nil"), 0);
  lua_getglobal(L, "handler");
  lua_settagmethod(L, LUA_TTABLE, "index");
  lua_pushnil(L);
  lua_setglobal(L, "handler");
  ASSERT_EQ(Run("local t = {} x = t.missing"), 0);
  EXPECT_EQ(Str("x"), "tag-method index");
}

}  // namespace
