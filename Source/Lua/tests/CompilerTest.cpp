// Compiler tests: the code emitted for small sources, the syntax-error
// messages, and the limits where operands stop fitting their fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CompilerTestUtil.h"
#include "lopcodes.h"

namespace {

using Code = std::vector<std::string>;

class CompilerTest : public LuaFixture {};

struct CodeCase {
  const char* source;
  Code code;  // main function, END included
};

// Every case is worked out by hand from the folding rules.
const CodeCase kCodeCases[] = {
    {"x = 5", {"PUSHINT 5", "SETGLOBAL 0", "END"}},
    {"x = 512", {"PUSHNUM 0", "SETGLOBAL 0", "END"}},
    {"x = 2.5", {"PUSHNUM 0", "SETGLOBAL 0", "END"}},
    {"x = a.b", {"GETGLOBAL 1", "GETDOTTED 2", "SETGLOBAL 0", "END"}},
    {"local a; x = a.b", {"PUSHNIL 1", "GETLOCAL 0", "GETDOTTED 1", "SETGLOBAL 0", "END"}},
    {"local a, i; x = a[i]", {"PUSHNIL 2", "GETLOCAL 0", "GETINDEXED 1", "SETGLOBAL 0", "END"}},
    {"x = y - 1", {"GETGLOBAL 1", "ADDI -1", "SETGLOBAL 0", "END"}},
    {"x = y + 3", {"GETGLOBAL 1", "ADDI 3", "SETGLOBAL 0", "END"}},
    {"x = -5", {"PUSHINT -5", "SETGLOBAL 0", "END"}},
    {"x = -2.5", {"PUSHNEGNUM 0", "SETGLOBAL 0", "END"}},
    {"x = -y", {"GETGLOBAL 1", "MINUS", "SETGLOBAL 0", "END"}},
    {"x = a .. b .. c", {"GETGLOBAL 1", "GETGLOBAL 2", "GETGLOBAL 3", "CONCAT 3", "SETGLOBAL 0", "END"}},
    {"x = a ^ b", {"GETGLOBAL 1", "GETGLOBAL 2", "POW", "SETGLOBAL 0", "END"}},
    {"x = 1.5 + 1.5", {"PUSHNUM 0", "PUSHNUM 0", "ADD", "SETGLOBAL 0", "END"}},
    {"x = nil", {"PUSHNIL 1", "SETGLOBAL 0", "END"}},
    {"local a, b, c", {"PUSHNIL 3", "END"}},
    {"return f(x)", {"GETGLOBAL 0", "GETGLOBAL 1", "TAILCALL 0 0", "END"}},
    {"local a; return a, f()", {"PUSHNIL 1", "GETLOCAL 0", "GETGLOBAL 0", "TAILCALL 2 1", "END"}},
    {"f(1, 2)", {"GETGLOBAL 0", "PUSHINT 1", "PUSHINT 2", "CALL 0 0", "END"}},
    {"f(g())", {"GETGLOBAL 0", "GETGLOBAL 1", "CALL 1 31", "CALL 0 0", "END"}},
    {"f(g(), 1)", {"GETGLOBAL 0", "GETGLOBAL 1", "CALL 1 1", "PUSHINT 1", "CALL 0 0", "END"}},
    {"local a, b = f()", {"GETGLOBAL 0", "CALL 0 2", "END"}},
    {"local a, b = 1, 2, 3", {"PUSHINT 1", "PUSHINT 2", "PUSHINT 3", "POP 1", "END"}},
    {"local a, b = 1, f()", {"PUSHINT 1", "GETGLOBAL 0", "CALL 1 1", "END"}},
    {"local a = 1, f()", {"PUSHINT 1", "GETGLOBAL 0", "CALL 1 0", "END"}},
    {"o:m(1)", {"GETGLOBAL 0", "PUSHSELF 1", "PUSHINT 1", "CALL 0 0", "END"}},
    {"f 'x'", {"GETGLOBAL 0", "PUSHSTRING 1", "CALL 0 0", "END"}},
    {"if x == nil then y = 1 end", {"GETGLOBAL 0", "JMPT 2", "PUSHINT 1", "SETGLOBAL 1", "END"}},
    {"if x ~= nil then y = 1 end", {"GETGLOBAL 0", "JMPF 2", "PUSHINT 1", "SETGLOBAL 1", "END"}},
    {"if x then y = 1 else y = 2 end",
     {"GETGLOBAL 0", "JMPF 3", "PUSHINT 1", "SETGLOBAL 1", "JMP 2", "PUSHINT 2", "SETGLOBAL 1",
      "END"}},
    {"if not x then y = 1 end", {"GETGLOBAL 0", "JMPT 2", "PUSHINT 1", "SETGLOBAL 1", "END"}},
    {"if x < y then z = 1 end",
     {"GETGLOBAL 0", "GETGLOBAL 1", "JMPGE 2", "PUSHINT 1", "SETGLOBAL 2", "END"}},
    {"if nil then x = 1 end", {"JMP 2", "PUSHINT 1", "SETGLOBAL 0", "END"}},
    {"while 1 do x = 1 end", {"PUSHINT 1", "SETGLOBAL 0", "JMP -3", "END"}},
    {"while x do x = nil end",
     {"GETGLOBAL 0", "JMPF 3", "PUSHNIL 1", "SETGLOBAL 0", "JMP -5", "END"}},
    {"repeat x = 1 until y", {"PUSHINT 1", "SETGLOBAL 0", "GETGLOBAL 1", "JMPF -4", "END"}},
    {"x = a and b", {"GETGLOBAL 1", "JMPONF 1", "GETGLOBAL 2", "SETGLOBAL 0", "END"}},
    {"x = a or b", {"GETGLOBAL 1", "JMPONT 1", "GETGLOBAL 2", "SETGLOBAL 0", "END"}},
    {"x = a == b",
     {"GETGLOBAL 1", "GETGLOBAL 2", "JMPEQ 1", "PUSHNILJMP", "PUSHINT 1", "SETGLOBAL 0", "END"}},
    // the value of c is kept by a jump over the two pushes; the POP keeps
    // the straight-line stack height right
    {"x = a == b or c",
     {"GETGLOBAL 1", "GETGLOBAL 2", "JMPEQ 4", "GETGLOBAL 3", "JMP 3", "POP 1", "PUSHNILJMP",
      "PUSHINT 1", "SETGLOBAL 0", "END"}},
    {"x = 1 and 2", {"PUSHINT 2", "SETGLOBAL 0", "END"}},
    {"x = nil or 3", {"PUSHINT 3", "SETGLOBAL 0", "END"}},
    {"x = not y", {"GETGLOBAL 1", "NOT", "SETGLOBAL 0", "END"}},
    {"for i = 1, 10 do x = i end",
     {"PUSHINT 1", "PUSHINT 10", "PUSHINT 1", "FORPREP 3", "GETLOCAL 0", "SETGLOBAL 0",
      "FORLOOP -3", "END"}},
    {"for i = 10, 1, -1 do end", {"PUSHINT 10", "PUSHINT 1", "PUSHINT -1", "FORPREP 1", "FORLOOP -1", "END"}},
    {"for k, v in t do end", {"GETGLOBAL 0", "LFORPREP 1", "LFORLOOP -1", "END"}},
    {"while x do break end", {"GETGLOBAL 0", "JMPF 2", "JMP 1", "JMP -4", "END"}},
    {"for i = 1, 2 do local a = 1; break end",
     {"PUSHINT 1", "PUSHINT 2", "PUSHINT 1", "FORPREP 6", "PUSHINT 1", "POP 4", "JMP 3",
      "PUSHNIL 4", "POP 1", "FORLOOP -6", "END"}},
    {"x = {}", {"CREATETABLE 0", "SETGLOBAL 0", "END"}},
    {"x = {1, 2; a = 3}",
     {"CREATETABLE 3", "PUSHINT 1", "PUSHINT 2", "SETLIST 0 2", "PUSHSTRING 1", "PUSHINT 3",
      "SETMAP 1", "SETGLOBAL 0", "END"}},
    {"x = {[1] = 2, y = 3,}",
     {"CREATETABLE 2", "PUSHINT 1", "PUSHINT 2", "PUSHSTRING 1", "PUSHINT 3", "SETMAP 2",
      "SETGLOBAL 0", "END"}},
    {"a.b = 1", {"GETGLOBAL 0", "PUSHSTRING 1", "PUSHINT 1", "SETTABLE 3 3", "END"}},
    {"a.x, b = 1, 2",
     {"GETGLOBAL 0", "PUSHSTRING 1", "PUSHINT 1", "PUSHINT 2", "SETGLOBAL 2", "SETTABLE 3 3",
      "END"}},
    {"b, a.x = 1, 2",
     {"GETGLOBAL 1", "PUSHSTRING 2", "PUSHINT 1", "PUSHINT 2", "SETTABLE 4 1", "SETGLOBAL 0",
      "POP 2", "END"}},
    {"local a; a = 1", {"PUSHNIL 1", "PUSHINT 1", "SETLOCAL 0", "END"}},
    {"function f() end", {"CLOSURE 0 0", "SETGLOBAL 0", "END"}},
    {"function a.b() end", {"GETGLOBAL 0", "PUSHSTRING 1", "CLOSURE 0 0", "SETTABLE 3 3", "END"}},
    {"local a; do local b = 1 end", {"PUSHNIL 1", "PUSHINT 1", "POP 1", "END"}},
};

TEST_F(CompilerTest, MainCodeMatchesInstructionForInstruction) {
  for (const CodeCase& c : kCodeCases) {
    Proto* f = Compile(c.source);
    ASSERT_NE(f, nullptr) << c.source << ": " << lastError;
    EXPECT_EQ(Disassemble(f), c.code) << c.source;
  }
}

TEST_F(CompilerTest, NestedFunctionsUpvaluesAndParameters) {
  Proto* f = Compile("local a\nfunction g(x, ...) return %b, %a, %b, x end");
  ASSERT_NE(f, nullptr) << lastError;
  // upvalues are pushed in the parent, in upvalue order: global b, local a
  EXPECT_EQ(Disassemble(f), (Code{"PUSHNIL 1", "GETGLOBAL 1", "GETLOCAL 0", "CLOSURE 0 2",
                                  "SETGLOBAL 0", "END"}));
  ASSERT_EQ(f->nkproto, 1);
  Proto* g = f->kproto[0];
  EXPECT_EQ(g->numparams, 1);
  EXPECT_EQ(g->is_vararg, 1);
  EXPECT_EQ(g->lineDefined, 2);
  EXPECT_EQ(Disassemble(g),
            (Code{"PUSHUPVALUE 0", "PUSHUPVALUE 1", "PUSHUPVALUE 0", "GETLOCAL 0", "RETURN 2", "END"}));
  // locals: x, then the vararg table "arg"
  ASSERT_EQ(g->nlocvars, 2);
  EXPECT_STREQ(g->locvars[0].varname->str, "x");
  EXPECT_STREQ(g->locvars[1].varname->str, "arg");
  EXPECT_EQ(g->maxstacksize, 6);
}

TEST_F(CompilerTest, MethodDefinitionGetsSelf) {
  Proto* f = Compile("function o:m(a) return self end");
  ASSERT_NE(f, nullptr) << lastError;
  Proto* m = f->kproto[0];
  EXPECT_EQ(m->numparams, 2);
  EXPECT_STREQ(m->locvars[0].varname->str, "self");
  EXPECT_EQ(Disassemble(m), (Code{"GETLOCAL 0", "RETURN 2", "END"}));
}

TEST_F(CompilerTest, LocalStatementReadsTheVariableVisibleBefore) {
  Proto* f = Compile("local x = 1\nlocal x = x");
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f), (Code{"PUSHINT 1", "GETLOCAL 0", "END"}));
  f = Compile("local x = x");
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f), (Code{"GETGLOBAL 0", "END"}));
}

TEST_F(CompilerTest, InternalLocalsOfLoopsAndTheirScopes) {
  Proto* f = Compile("for i = 1, 2 do end\nfor k, v in t do end");
  ASSERT_NE(f, nullptr) << lastError;
  const char* names[] = {"i", "(limit)", "(step)", "(table)", "k", "v"};
  ASSERT_EQ(f->nlocvars, 6);
  for (int i = 0; i < 6; i++) EXPECT_STREQ(f->locvars[i].varname->str, names[i]);
  // the numeric loop's variables live from the body start to the loop end
  EXPECT_EQ(f->locvars[0].startpc, 4);
  EXPECT_EQ(f->locvars[0].endpc, 5);
}

TEST_F(CompilerTest, LineTableSkipsLinesWithoutCode) {
  Proto* f = Compile("x = 1\n\n\ny = 2\nz = 3");
  ASSERT_NE(f, nullptr) << lastError;
  std::vector<int> lines(f->lineinfo, f->lineinfo + f->nlineinfo);
  EXPECT_EQ(lines, (std::vector<int>{0, -2, 2, 4, 0x7FFFFFFD}));
}

TEST_F(CompilerTest, NumberConstantsAreSharedAmongTheLastTwenty) {
  std::string src = "x = 0.5";
  for (int i = 0; i < 20; i++) src += " + " + std::to_string(1000 + i);
  src += " + 0.5";
  Proto* f = Compile(src.c_str());
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(f->nknum, 22);  // 0.5 fell out of the searched window
  Proto* g = Compile("x = 0.5 + 1000 + 0.5");
  ASSERT_NE(g, nullptr) << lastError;
  EXPECT_EQ(g->nknum, 2);
}

// ---------------------------------------------------------------------------
// Operands that do not fit their fields

std::string Locals(int n) {
  std::string s = "local ";
  for (int i = 1; i <= n; i++) s += (i > 1 ? ", a" : "a") + std::to_string(i);
  return s + "\n";
}

TEST_F(CompilerTest, CallFromSlot32UsesTheExtensionOpcode) {
  Proto* f = Compile((Locals(31) + "f()").c_str());
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f), (Code{"PUSHNIL 31", "GETGLOBAL 0", "CALL 31 0", "END"}));
  f = Compile((Locals(32) + "f()").c_str());
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f), (Code{"PUSHNIL 32", "GETGLOBAL 0", "EXTARGU 32", "CALLEXT 0 0", "END"}));
  // an open extended call is adjusted like any other, but never becomes a tail call
  f = Compile((Locals(32) + "return f()").c_str());
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f),
            (Code{"PUSHNIL 32", "GETGLOBAL 0", "EXTARGU 32", "CALLEXT 0 31", "RETURN 32", "END"}));
}

TEST_F(CompilerTest, ThirtyFirstNestedFunctionUsesTheExtensionOpcode) {
  std::string src;
  for (int i = 0; i < 31; i++) src += "function f" + std::to_string(i) + "() end\n";
  Proto* f = Compile(src.c_str());
  ASSERT_NE(f, nullptr) << lastError;
  Code code = Disassemble(f);
  ASSERT_EQ(code.size(), 31u * 2 + 2);
  EXPECT_EQ(code[58], "CLOSURE 29 0");
  EXPECT_EQ(code[60], "EXTARGU 30");
  EXPECT_EQ(code[61], "CLOSUREEXT 0");
  EXPECT_EQ(code[62], "SETGLOBAL 30");
}

TEST_F(CompilerTest, ListConstructorFlushesEvery31Items) {
  std::string src = "x = {";
  for (int i = 1; i <= 40; i++) src += std::to_string(i) + ",";
  src += "}";
  Proto* f = Compile(src.c_str());
  ASSERT_NE(f, nullptr) << lastError;
  Code code = Disassemble(f);
  ASSERT_EQ(code.size(), 1u + 40 + 2 + 2);
  EXPECT_EQ(code[0], "CREATETABLE 40");
  EXPECT_EQ(code[32], "SETLIST 0 31");
  EXPECT_EQ(code[42], "SETLIST 1 9");
}

TEST_F(CompilerTest, ListConstructorLimitIs991Items) {
  auto list = [](int n) {
    std::string s = "x = {";
    for (int i = 0; i < n; i++) s += "1,";
    return s + "}";
  };
  Proto* f = Compile(list(991).c_str());
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f)[1 + 991 + 31], "SETLIST 31 30");
  EXPECT_EQ(Compile(list(992).c_str()), nullptr);
  EXPECT_NE(lastError.find("too many `item groups' in a list initializer (limit=31)"),
            std::string::npos)
      << lastError;
}

TEST_F(CompilerTest, PopAfterStoreIsFoldedOnlyWhileFieldBHoldsIt) {
  Proto* f = Compile((Locals(1) + "do " + Locals(40) + " a1.x = 1 end").c_str());
  ASSERT_NE(f, nullptr) << lastError;
  Code code = Disassemble(f);
  ASSERT_GE(code.size(), 3u);
  EXPECT_EQ(code[code.size() - 3], "SETTABLE 3 3");
  EXPECT_EQ(code[code.size() - 2], "POP 40");
}

TEST_F(CompilerTest, CallAdjustedTo31ResultsIsRefused) {
  Proto* f = Compile((Locals(30).substr(0, Locals(30).size() - 1) + " = f()").c_str());
  ASSERT_NE(f, nullptr) << lastError;
  EXPECT_EQ(Disassemble(f), (Code{"GETGLOBAL 0", "CALL 0 30", "END"}));
  EXPECT_EQ(Compile((Locals(31).substr(0, Locals(31).size() - 1) + " = f()").c_str()), nullptr);
  EXPECT_NE(lastError.find("too many results of a call (limit=30)"), std::string::npos)
      << lastError;
}

// ---------------------------------------------------------------------------
// Limits

TEST_F(CompilerTest, LimitsOfOneFunction) {
  struct Limit {
    std::string ok, bad, message;
  };
  auto upvalues = [](int n) {
    std::string s = "function f() return ";
    for (int i = 0; i < n; i++) s += (i ? ", %u" : "%u") + std::to_string(i);
    return s + " end";
  };
  auto params = [](int n) {
    std::string s = "function f(";
    for (int i = 0; i < n; i++) s += (i ? ", p" : "p") + std::to_string(i);
    return s + ") end";
  };
  auto targets = [](int n) {
    std::string s;
    for (int i = 0; i < n; i++) s += (i ? ", v" : "v") + std::to_string(i);
    return s + " = 1";
  };
  auto records = [](int n) {
    std::string s = "x = {";
    for (int i = 0; i < n; i++) s += "[" + std::to_string(i % 500) + "] = 1,";
    return s + "}";
  };
  auto strings = [](int n) {
    std::string s;
    for (int i = 0; i < n; i++) s += "x" + std::to_string(i) + " = 1\n";
    return s;
  };
  const Limit limits[] = {
      {upvalues(31), upvalues(32), "too many upvalues (limit=31)"},
      {params(100), params(101), "too many parameters (limit=100)"},
      {Locals(200), Locals(201), "too many local variables (limit=200)"},
      {targets(30), targets(31), "too many variables in a multiple assignment (limit=30)"},
      {records(1023), records(1024), "too many elements in a table constructor (limit=1023)"},
      {strings(1022), strings(1023), "constant table overflow"},
  };
  for (const Limit& l : limits) {
    EXPECT_NE(Compile(l.ok.c_str()), nullptr) << l.message << ": " << lastError;
    EXPECT_EQ(Compile(l.bad.c_str()), nullptr) << l.message;
    EXPECT_NE(lastError.find(l.message), std::string::npos) << lastError;
  }
}

TEST_F(CompilerTest, DeepNestingIsRefusedNotOverflowed) {
  std::string deep(100000, '(');
  EXPECT_EQ(Compile(("x = " + deep).c_str()), nullptr);
  EXPECT_NE(lastError.find("too many syntax levels"), std::string::npos) << lastError;
  std::string blocks;
  for (int i = 0; i < 100000; i++) blocks += "do ";
  EXPECT_EQ(Compile(blocks.c_str()), nullptr);
  EXPECT_NE(lastError.find("too many syntax levels"), std::string::npos) << lastError;
}

TEST_F(CompilerTest, TooComplexExpressionAndTooLongJump) {
  std::string wide = "x = f(";
  for (int i = 0; i < 300; i++) wide += (i ? ", 1" : "1");
  EXPECT_EQ(Compile((wide + ")").c_str()), nullptr);
  EXPECT_NE(lastError.find("function or expression too complex"), std::string::npos) << lastError;
  std::string body = "while x do ";
  for (int i = 0; i < 300; i++) body += "y = 1 ";
  EXPECT_EQ(Compile((body + "end").c_str()), nullptr);
  EXPECT_NE(lastError.find("control structure too long"), std::string::npos) << lastError;
}

// ---------------------------------------------------------------------------
// Syntax errors

struct ErrorCase {
  const char* source;
  const char* message;  // the whole text passed to _ERRORMESSAGE
};

const ErrorCase kErrorCases[] = {
    {"x =", "<expression> expected;\n  last token read: `<eof>' at line 1 in string \"x =\""},
    {"return;", "<expression> expected;\n  last token read: `;' at line 1 in string \"return;\""},
    {"x y", "`=' expected;\n  last token read: `y' at line 1 in string \"x y\""},
    {"f() = 1", "<statement> expected;\n  last token read: `=' at line 1 in string \"f() = 1\""},
    {"x, f() = 1", "syntax error;\n  last token read: `=' at line 1 in string \"x, f() = 1\""},
    {"%x = 1", "cannot access upvalue in main;\n  last token read: `x' at line 1 in string \"%x = 1\""},
    {"local x; function f() return x end",
     "cannot access a variable in outer scope;\n  last token read: `x' at line 1 in string \"local "
     "x; function f() return x end\""},
    {"local y; function f() return function() return %y end end",
     "upvalue must be global or local to immediately outer scope;\n  last token read: `y' at line "
     "1 in string \"local y; function f() return function() return %y end end\""},
    {"for k, v on t do end", "`in' expected;\n  last token read: `on' at line 1 in string \"for k, v on t do end\""},
    {"for k do end", "`=' or `,' expected;\n  last token read: `do' at line 1 in string \"for k do end\""},
    {"x = {1; 2}", "invalid constructor syntax;\n  last token read: `}' at line 1 in string \"x = {1; 2}\""},
    {"x = {a = 1, 2}", "<name> or `[' expected;\n  last token read: `2' at line 1 in string \"x = {a = 1, 2}\""},
    {"function f(a, 1) end", "<name> or `...' expected;\n  last token read: `1' at line 1 in string \"function f(a, 1) end\""},
    {"break", "no loop to break;\n  last token read: `break' at line 1 in string \"break\""},
    {"return 1 x = 2", "<eof> expected;\n  last token read: `x' at line 1 in string \"return 1 x = 2\""},
    {"while 1 do", "`end' expected;\n  last token read: `<eof>' at line 1 in string \"while 1 do\""},
    {"while 1 do\n", "`end' expected (to close `while' at line 1);\n  last token read: `<eof>' at "
                     "line 2 in string \"while 1 do...\""},
    {"f(1,\n2", "`)' expected (to close `(' at line 1);\n  last token read: `<eof>' at line 2 in string \"f(1,...\""},
    {"o:m", "function arguments expected;\n  last token read: `<eof>' at line 1 in string \"o:m\""},
    // lexical errors
    {"x = 3..2", "ambiguous syntax (decimal point x string concatenation);\n  last token read: "
                 "`3..' at line 1 in string \"x = 3..2\""},
    {"x = 1e", "malformed number;\n  last token read: `1e' at line 1 in string \"x = 1e\""},
    {"x = '\\256'", "escape sequence too large;\n  last token read: `'' at line 1 in string \"x = '\\256'\""},
    {"x = 'abc", "unfinished string;\n  last token read: `'abc' at line 1 in string \"x = 'abc\""},
    {"x = 'a\nb'", "unfinished string;\n  last token read: `'a' at line 1 in string \"x = 'a...\""},
    {"x = [[ab", "unfinished long string;\n  last token read: `[[ab' at line 1 in string \"x = [[ab\""},
    {"x = 1 --[[ open", "unfinished comment;\n  last token read: `<eof>' at line 1 in string \"x = 1 --[[ open\""},
    {"x = 1\f", "invalid control char;\n  last token read: `0x0C' at line 1 in string \"x = 1\f\""},
    {"$debug", "unexpected `$' (pragmas are no longer supported);\n  last token read: `$' at line 1 "
               "in string \"$debug\""},
    {"#!/bin/lua\nx =", "<expression> expected;\n  last token read: `<eof>' at line 2 in string \"#!/bin/lua...\""},
};

TEST_F(CompilerTest, SyntaxErrorMessagesAreExact) {
  for (const ErrorCase& c : kErrorCases) {
    lastError.clear();
    EXPECT_EQ(lua_dostring(L, c.source), LUA_ERRSYNTAX) << c.source;
    EXPECT_EQ(lastError, c.message) << c.source;
  }
}

TEST_F(CompilerTest, ChunkNameOfAFileInMessages) {
  const char src[] = "x = = 1";
  EXPECT_EQ(lua_dobuffer(L, src, sizeof(src) - 1, "@scripts/level/intro.lua"), LUA_ERRSYNTAX);
  EXPECT_EQ(lastError,
            "<expression> expected;\n  last token read: `=' at line 1 in file `scripts/level/intro.lua'");
  std::string longname = "@" + std::string(100, 'd') + "/intro.lua";
  EXPECT_EQ(lua_dobuffer(L, src, sizeof(src) - 1, longname.c_str()), LUA_ERRSYNTAX);
  EXPECT_NE(lastError.find("in file `..."), std::string::npos) << lastError;
}

TEST_F(CompilerTest, LexicalForms) {
  struct Case {
    const char* source;
    const char* value;  // printed value of x
  };
  const Case cases[] = {
      {"x = 1 --[[ c ]] x = x + 1", "2"},
      {"x = 1 --[ line comment x = 5\n", "1"},
      {"x = 1 --[[ a [[ b ]] c ]] x = 7", "7"},
      {"x = 3 ..2", "32"},
      {"x = '\\065\\066'", "AB"},
      {"x = 'a\\\nb'", "a\nb"},
      {"x = \"q\\\"q\"", "q\"q"},
      {"x = [[\nab\n[[c]]]]", "\nab\n[[c]]"},
      {"x = .5 + 0.25e1", "3"},
      {"x = 16777217", "16777216"},
      {"x = 0.1 .. ''", "0.1000000014901161"},
      {"#first line\nx = 4", "4"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(lua_dostring(L, c.source), 0) << c.source << ": " << lastError;
    lua_getglobal(L, "x");
    const char* s = lua_tostring(L, -1);
    EXPECT_STREQ(s ? s : "(nil)", c.value) << c.source;
    lua_settop(L, 0);
  }
}

}  // namespace
