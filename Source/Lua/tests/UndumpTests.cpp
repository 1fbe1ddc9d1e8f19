#include <string.h>

#include <string>
#include <vector>

#include "ChunkWriter.h"
#include "LuaTestUtil.h"

namespace {

using namespace luachunk;

Function Simple() {
  Function f;
  f.maxstacksize = 2;
  int x = f.AddString("x");
  int k = f.AddNumber(2.5f);
  f.lineinfo = {0, 0x7FFFFFFD};
  f.code = {OpU(OP_PUSHNUM, k), OpS(OP_PUSHINT, 4), Op(OP_MULT), OpU(OP_SETGLOBAL, x), Op(OP_END)};
  return f;
}

class UndumpTest : public LuaTest {
protected:
  // Loads a chunk named "@dir/c.luc"; returns the status.
  int Load(const std::string& bytes) { return RunChunk(bytes, "@dir/c.luc"); }
};

TEST_F(UndumpTest, LoadsAndRunsLittleAndBigEndianChunks) {
  ASSERT_EQ(Load(WriteChunk(Simple())), 0) << LastMessage();
  EXPECT_EQ(Num("x"), 10);
  Header big;
  big.bigEndian = true;
  Function f = Simple();
  f.knum[0] = 0x40400000;  // 3.0
  ASSERT_EQ(Load(WriteChunk(f, big)), 0) << LastMessage();
  EXPECT_EQ(Num("x"), 12);
}

TEST_F(UndumpTest, HeaderMessages) {
  struct Case {
    Header h;
    const char* message;
  } cases[6];
  cases[0].h.version = 0x41;
  cases[0].message = "`dir/c.luc' too new:\n  read version 4.1; expected at most 4.0";
  cases[1].h.version = 0x3F;
  cases[1].message = "`dir/c.luc' too old:\n  read version 3.15; expected at least 4.0";
  cases[2].h.sizeInstruction = 4;
  cases[2].message = "virtual machine mismatch in `dir/c.luc':\n  sizeof(Instruction) is 2 but read 4";
  cases[3].h.sizeNumber = 8;
  cases[3].message = "virtual machine mismatch in `dir/c.luc':\n  sizeof(Number) is 4 but read 8";
  cases[4].h.testNumberBits = 0x40200000;  // 2.5
  cases[4].message = "unknown number format in `dir/c.luc':\n  read 2.5; expected 3.141590118408203";
  cases[5].h.sizeB = 8;
  cases[5].message = "virtual machine mismatch in `dir/c.luc':\n  SIZE_B is 5 but read 8";
  for (const Case& c : cases) {
    EXPECT_EQ(Load(WriteChunk(Simple(), c.h)), LUA_ERRSYNTAX) << c.message;
    EXPECT_EQ(LastMessage(), c.message);
  }
  Header close;
  close.testNumberBits = 0x4079999A;  // 3.9 truncates to 3
  EXPECT_EQ(Load(WriteChunk(Simple(), close)), 0) << LastMessage();
}

TEST_F(UndumpTest, StreamMessages) {
  std::string chunk = WriteChunk(Simple());
  std::string badsig = chunk;
  badsig[2] = 'X';
  EXPECT_EQ(Load(badsig), LUA_ERRSYNTAX);
  EXPECT_EQ(LastMessage(), "bad signature in `dir/c.luc'");
  for (size_t cut : {(size_t)3, (size_t)15, chunk.size() / 2, chunk.size() - 1}) {
    EXPECT_EQ(Load(chunk.substr(0, cut)), LUA_ERRSYNTAX) << cut;
    EXPECT_EQ(LastMessage(), "unexpected end of file in `dir/c.luc'") << cut;
  }
  EXPECT_EQ(Load(chunk + "x"), LUA_ERRSYNTAX);
  EXPECT_EQ(LastMessage(), "`dir/c.luc' apparently contains more than one chunk");
  EXPECT_EQ(RunChunk(chunk + "x", "plain"), LUA_ERRSYNTAX);
  EXPECT_EQ(LastMessage(), "`plain' apparently contains more than one chunk");
}

TEST_F(UndumpTest, StringsOfSizeOneAreEmptyAndSizeZeroIsNone) {
  Function f = Simple();
  f.source = "";
  f.locals = {{"", 0, 5}};
  ASSERT_EQ(Load(WriteChunk(f)), 0) << LastMessage();
  f.hasSource = false;  // debug names need a source
  EXPECT_EQ(Load(WriteChunk(f)), LUA_ERRSYNTAX);
  EXPECT_EQ(LastMessage(), "bad code in `dir/c.luc'");
}

// Code the loader must refuse.
TEST_F(UndumpTest, RefusesCodeItCannotRunSafely) {
  struct Case {
    const char* what;
    std::vector<Instruction> code;
    int maxstack;
  } cases[] = {
    {"no code", {}, 2},
    {"no final end", {OpS(OP_PUSHINT, 1)}, 2},
    {"final end with operands", {OpU(OP_END, 3)}, 2},
    {"undefined opcode", {Op((OpCode)53), Op(OP_END)}, 2},
    {"callext without extension", {OpU(OP_GETGLOBAL, 0), OpAB(OP_CALLEXT, 0, 0), Op(OP_END)}, 2},
    {"extension not followed by its reader", {OpU(OP_EXTARGU, 0), Op(OP_END)}, 2},
    {"closureext without extension", {OpU(OP_CLOSUREEXT, 0), Op(OP_END)}, 2},
    {"string constant out of range", {OpU(OP_PUSHSTRING, 5), OpU(OP_POP, 1), Op(OP_END)}, 2},
    {"number constant out of range", {OpU(OP_PUSHNUM, 1), OpU(OP_POP, 1), Op(OP_END)}, 2},
    {"local above the top", {OpU(OP_GETLOCAL, 0), OpU(OP_POP, 1), Op(OP_END)}, 2},
    {"pop below the frame", {OpU(OP_POP, 1), Op(OP_END)}, 2},
    {"stack above its maximum", {OpU(OP_PUSHNIL, 3), Op(OP_END)}, 2},
    {"jump out of the code", {OpS(OP_JMP, 5), Op(OP_END)}, 2},
    {"jump before the code", {OpS(OP_JMP, -3), Op(OP_END)}, 2},
    {"unbounded pushes in a loop", {OpU(OP_PUSHNIL, 1), OpS(OP_JMP, -2), Op(OP_END)}, 200},
    {"upvalue in the main function", {OpU(OP_PUSHUPVALUE, 0), OpU(OP_POP, 1), Op(OP_END)}, 2},
    {"call of a missing slot", {OpAB(OP_CALL, 0, 0), Op(OP_END)}, 2},
    {"settable without operands", {OpS(OP_PUSHINT, 1), OpAB(OP_SETTABLE, 3, 1), Op(OP_END)}, 2},
    {"values after an open call", {OpU(OP_GETGLOBAL, 0), OpAB(OP_CALL, 0, 31), OpS(OP_PUSHINT, 1), Op(OP_END)}, 4},
    {"jump onto an extension reader",
     {OpU(OP_GETGLOBAL, 0), OpS(OP_JMP, 1), OpU(OP_EXTARGU, 0), OpAB(OP_CALLEXT, 0, 0), Op(OP_END)}, 2},
    {"closure of a missing prototype", {OpAB(OP_CLOSURE, 0, 0), OpU(OP_POP, 1), Op(OP_END)}, 2},
  };
  for (const Case& c : cases) {
    Function f;
    f.maxstacksize = c.maxstack;
    f.AddString("g");
    f.code = c.code;
    EXPECT_EQ(Load(WriteChunk(f)), LUA_ERRSYNTAX) << c.what;
    EXPECT_EQ(LastMessage(), "bad code in `dir/c.luc'") << c.what;
  }
}

TEST_F(UndumpTest, NestedFunctionsNeedTheirUpvalues) {
  Function inner;
  inner.lineDefined = 1;
  inner.maxstacksize = 1;
  inner.code = {OpU(OP_PUSHUPVALUE, 1), OpU(OP_RETURN, 0), Op(OP_END)};
  Function f;
  f.maxstacksize = 3;
  f.kproto = {inner};
  f.AddString("g");
  f.code = {OpS(OP_PUSHINT, 1), OpAB(OP_CLOSURE, 0, 1), OpU(OP_SETGLOBAL, 0), Op(OP_END)};
  EXPECT_EQ(Load(WriteChunk(f)), LUA_ERRSYNTAX);
  f.code = {OpS(OP_PUSHINT, 1), OpS(OP_PUSHINT, 2), OpAB(OP_CLOSURE, 0, 2), OpU(OP_SETGLOBAL, 0),
            Op(OP_END)};
  ASSERT_EQ(Load(WriteChunk(f)), 0) << LastMessage();
  ASSERT_EQ(Run("x = g()"), 0);
  EXPECT_EQ(Num("x"), 2);
}

TEST_F(UndumpTest, NegativeOrHugeCountsDoNotAllocateBeyondTheInput) {
  std::string chunk = WriteChunk(Simple());
  // the local-variable count sits after source (4 + 6), lineDefined,
  // numparams, is_vararg and maxstacksize
  size_t at = 17 + 4 + 6 + 4 + 4 + 1 + 4;
  for (uint32_t count : {0x7FFFFFFFu, 0x80000000u, 0x10000000u}) {
    std::string bad = chunk;
    memcpy(&bad[at], &count, 4);
    EXPECT_EQ(Load(bad), LUA_ERRSYNTAX);
  }
}

// Whatever the compiler produces, written out and loaded again, runs the
// same way.
TEST_F(UndumpTest, CompiledCodeRoundTripsThroughChunks) {
  const char* programs[] = {
    "x = 1 + 2 * 3 - 4 / 2",
    "local a, b = 1 x = a .. (b or 'nil')",
    "function f(n) if n <= 1 then return 1 end return n * f(n - 1) end x = f(10)",
    "local t = {1, 2, 3; a = 'b', c = 'd'} x = 0 for k, v in t do x = x + 1 end",
    "x = 0 for i = 1, 10, 2 do x = x + i end",
    "x = 0 while x < 10 do x = x + 1 if x == 5 then break end end",
    "x = 0 repeat x = x + 2 until x > 7",
    "function v(...) return arg.n end x = v(1, nil, 3)",
    "local t = {} function t:m(a) return self, a end local s, a = t:m(5) x = a",
    "local u = 7 function c() return %u end x = c()",
    "x = (1 == 1) and 'yes' or 'no'",
    "x = not (1 < 2) y = nil ~= 1",
    "local t = {n = {m = {}}} t.n.m.k = 3 x = t.n.m.k",
    "function g(a, b) return b, a end local p, q = g(1, 2) x = p * 10 + q",
    "x = -(3) y = - 2.5 z = 'a' .. 'b' .. 'c' .. 1",
    "x = {f = function(a) return a + 1 end} y = x.f(1) x = y",
    "local a = {} a[1], a[2] = 3, 4 x = a[1] + a[2]",
    "x = 1 if x > 0 then x = 2 elseif x < 0 then x = 3 else x = 4 end",
    "function tail(n) if n > 0 then return tail(n - 1) end return 'end' end x = tail(20)",
  };
  for (const char* program : programs) {
    const Proto* p = Compile(program);
    ASSERT_NE(p, nullptr) << program << LastMessage();
    std::string chunk = WriteChunk(FromProto(p));
    lua_pushnil(L);
    lua_setglobal(L, "x");
    ASSERT_EQ(Run(program), 0) << program;
    lua_getglobal(L, "x");
    std::string expected = lua_tostring(L, -1) ? lua_tostring(L, -1) : "nil";
    lua_pop(L, 1);
    lua_pushnil(L);
    lua_setglobal(L, "x");
    ASSERT_EQ(Load(chunk), 0) << program << "\n" << LastMessage() << "\n" << Disassemble(p);
    lua_getglobal(L, "x");
    EXPECT_EQ(lua_tostring(L, -1) ? lua_tostring(L, -1) : "nil", expected) << program;
    lua_pop(L, 1);
  }
}

}  // namespace
