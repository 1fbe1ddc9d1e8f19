// Script programs compiled from source and run: what they print shows that
// the compiled code does what the source says.
#include <gtest/gtest.h>

#include <string>

#include "CompilerTestUtil.h"

namespace {

class ProgramTest : public LuaFixture {
 protected:
  void SetUp() override {
    LuaFixture::SetUp();
    lua_register(L, "newtag", NewTag);
    lua_register(L, "settag", SetTag);
    lua_register(L, "settagmethod", SetTagMethod);
  }

  // Test-only stand-ins for the base library's tag functions.
  static int NewTag(lua_State* L) {
    lua_pushnumber(L, (lua_Number)lua_newtag(L));
    return 1;
  }
  static int SetTag(lua_State* L) {
    lua_pushvalue(L, 1);
    lua_settag(L, (int)lua_tonumber(L, 2));
    return 1;
  }
  static int SetTagMethod(lua_State* L) {
    lua_settop(L, 3);  // the method is on the top
    lua_settagmethod(L, (int)lua_tonumber(L, 1), lua_tostring(L, 2));
    return 0;
  }
};

std::string Names(const char* prefix, int n, const char* sep = ", ") {
  std::string s;
  for (int i = 1; i <= n; i++) s += (i > 1 ? sep : "") + std::string(prefix) + std::to_string(i);
  return s;
}

TEST_F(ProgramTest, ClosuresKeepTheValuesOfTheirUpvalues) {
  EXPECT_EQ(Run(R"(
    function counter(start)
      local n = start
      return function(k) return %n + k end
    end
    local c = counter(10)
    print(c(1), c(5))
    x = 1
    function f() return function() return %x end end
    local g = f()
    x = 2
    print(g(), x)
    function adder(a, b) return function(c) return %a + %b + c end end
    print(adder(1, 2)(3))
  )"),
            "11\t15\n1\t2\n6\n");
}

TEST_F(ProgramTest, VarargsGetTheirTableWithFieldN) {
  EXPECT_EQ(Run(R"(
    function v(a, ...) print(a, arg.n, arg[1], arg[2]) end
    v(1) v(1, 2, 3) v()
    function r() return 1, 2, 3 end
    function count(...) return arg.n end
    print(count(r()), count(r(), r()), count((r())), count(r(), nil))
  )"),
            "1\t0\tnil\tnil\n1\t2\t2\t3\nnil\t0\tnil\tnil\n3\t4\t3\t2\n");
}

TEST_F(ProgramTest, NumericLoops) {
  EXPECT_EQ(Run(R"(
    local s = 0
    for i = 1, 10 do s = s + i end
    print(s)
    for i = 10, 1, -3 do print(i) end
    for i = 1, 0 do print("never") end
    for i = 1, 2, 0 do print("never") end
    for i = 1, 100 do local a = i * 2; if a > 6 then break end; print(a) end
    local n = 0
    while 1 do n = n + 1; if n == 3 then break end end
    repeat n = n - 1 until n == 0
    print(n)
  )"),
            "55\n10\n7\n4\n1\n2\n4\n6\n0\n");
}

TEST_F(ProgramTest, TableLoops) {
  EXPECT_EQ(Run(R"(
    local t = {10, 20, 30; x = 5}
    local sum, n = 0, 0
    for k, v in t do sum = sum + v; n = n + 1 end
    print(n, sum)
    for k, v in {} do print("never") end
    local found
    for k, v in {a = 1, b = 2, c = 3} do if v == 2 then found = k; break end end
    print(found)
  )"),
            "4\t65\nb\n");
}

TEST_F(ProgramTest, TagMethods) {
  EXPECT_EQ(Run(R"(
    local tag = newtag()
    local proto = {greet = "hi"}
    settagmethod(tag, "index", function(t, k) return %proto[k] end)
    local obj = settag({}, tag)
    print(obj.greet, obj.other)
    settagmethod(tag, "add", function(a, b, event) return event end)
    print(obj + 1, 2 + obj)
    settagmethod(tag, "concat", function(a, b) return "joined" end)
    print(obj .. "x")
    settagmethod(tag, "lt", function(a, b) return 1 end)
    print(obj < obj)
  )"),
            "hi\tnil\nadd\tadd\njoined\n1\n");
}

TEST_F(ProgramTest, StringsAndLogic) {
  EXPECT_EQ(Run(R"(
    local s = "ab" .. "cd" .. 1 .. 2.5
    print(s, "a" < "b", "b" < "a", "x" == "x")
    print(nil or "d", 1 and 2, nil and 1, not nil, not 1)
    local a, b = 3, nil
    print(a == 3 and "three" or "other", b == nil, b ~= nil, a > 2 and a < 4)
    print("10" + 1, 7 / 2, -(-3), 2 * 3 - 4)
  )"),
            "abcd12.5\t1\tnil\t1\nd\t2\tnil\t1\tnil\nthree\t1\tnil\t1\n11\t3.5\t3\t2\n");
}

TEST_F(ProgramTest, RecursionAndStackOverflow) {
  EXPECT_EQ(Run(R"(
    function fact(n) if n <= 1 then return 1 end return n * fact(n - 1) end
    print(fact(10))
    function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end
    print(fib(15))
  )"),
            "3628800\n610\n");
  std::string out = Run("function deep(n) return deep(n + 1) + 1 end\ndeep(1)");
  EXPECT_NE(out.find("status 1: stack overflow"), std::string::npos) << out;
  EXPECT_EQ(Run("print('again')"), "again\n");
}

TEST_F(ProgramTest, ExtendedCallClosureAndListOperands) {
  std::string src = "local " + Names("a", 32) + " = " + Names("", 32) + "\n";
  src += "print(a1, a32, 'slot 32')\n";
  for (int i = 0; i < 31; i++) {
    std::string n = std::to_string(i);
    src += "function f" + n + "() return " + n + " end\n";
  }
  src += "print(f29(), f30())\n";
  src += "local t = {" + Names("", 40) + "}\n";
  src += "print(t[1], t[31], t[32], t[40])\n";
  EXPECT_EQ(Run(src), "1\t32\tslot 32\n29\t30\n1\t31\t32\t40\n");
}

// Stores deeper than field A reaches, and pops that do not fit field B.
TEST_F(ProgramTest, WideAssignmentsStoreEveryValue) {
  std::string lhs, rhs, check;
  for (int i = 1; i <= 30; i++) {
    lhs += (i > 1 ? ", t[" : "t[") + std::to_string(i) + "]";
    rhs += (i > 1 ? ", " : "") + std::to_string(100 + i);
  }
  std::string src = "t = {}\nlocal before = 'kept'\n" + lhs + " = " + rhs + "\n";
  src += "local s = ''\nfor i = 1, 30 do s = s .. t[i] - 100 .. ' ' end\nprint(s, before)\n";
  std::string expect;
  for (int i = 1; i <= 30; i++) expect += std::to_string(i) + " ";
  EXPECT_EQ(Run(src), expect + "\tkept\n");

  EXPECT_EQ(Run("local a; t = {}; u = {}\n"
                "a, t.x, b, u[1], t[2] = 1, 2, 3, 4, 5\n"
                "print(a, t.x, b, u[1], t[2])"),
            "1\t2\t3\t4\t5\n");

  EXPECT_EQ(Run("local t = {}\ndo local " + Names("a", 40) + "\n t.x = 7 end\n"
                "local after = 5\nprint(t.x, after)"),
            "7\t5\n");
}

TEST_F(ProgramTest, LocalsFedByOneCall) {
  std::string src = "function r() return " + Names("", 30) + " end\n";
  src += "local " + Names("v", 30) + " = r()\nprint(v1, v30)\n";
  EXPECT_EQ(Run(src), "1\t30\n");
  std::string bad = "function r() end\nlocal " + Names("v", 31) + " = r()\n";
  EXPECT_NE(Run(bad).find("status 3: too many results of a call (limit=30)"), std::string::npos);
}

}  // namespace
