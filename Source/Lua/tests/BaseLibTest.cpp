// The base library and the auxiliary helpers it is built on.
#include <gtest/gtest.h>

#include <stdio.h>

#include <string>

#include "ChunkWriter.h"
#include "LibTestUtil.h"
#include "ldo.h"
#include "lstate.h"
#include "lzio.h"

namespace {

// Compiles source into a precompiled chunk with the test writer.
std::string CompileToChunk(const char* source) {
  lua_State* C = lua_open(0);
  ZIO z;
  luaZ_mopen(&z, source, strlen(source), "=bin");
  std::string chunk;
  if (luaD_protectedparser(C, &z, 0) == 0)
    chunk = luachunk::WriteChunk(luachunk::FromProto(clvalue(C->top - 1)->f.l));
  lua_close(C);
  return chunk;
}

struct EvalCase {
  const char* expr;
  const char* expected;
};

class BaseLibTest : public LibTest {};

TEST_F(BaseLibTest, Conversions) {
  const EvalCase cases[] = {
    {"tonumber('ff', 16)", "255"},
    {"tonumber(' 12 ')", "12"},
    {"tonumber('  12  ', 10)", "12"},
    {"tonumber('z', 36)", "35"},
    {"tonumber('1010', 2)", "10"},
    {"tonumber('0x1F', 16)", "31"},
    {"tonumber(' 7f ', 16)", "127"},
    {"tonumber('8', 8)", "nil"},
    {"tonumber('', 16)", "nil"},
    {"tonumber('12x', 16)", "nil"},
    {"tonumber('ffffffffff', 16)", "4294967296"},  // saturates at 2^32 - 1
    {"tonumber('-1', 16)", "4294967296"},          // wraps modulo 2^32
    {"tonumber('abc')", "nil"},
    {"tonumber({})", "nil"},
    {"tonumber('1e3')", "1000"},
    {"tostring(0.1)", "0.1000000014901161"},
    {"tostring(16777217)", "16777216"},
    {"tostring(nil)", "nil"},
    {"tostring('x')", "x"},
    {"strsub(tostring({}), 1, 7)", "table: "},
    {"strsub(tostring(print), 1, 10)", "function: "},
    {"type(1), type('a'), type(nil), type({}), type(print)", "number,string,nil,table,function"},
    {"_VERSION", "Lua 4.0"},
  };
  for (const EvalCase& c : cases) EXPECT_EQ(Eval(c.expr), c.expected) << c.expr;
}

TEST_F(BaseLibTest, ArgumentErrorsNameTheFunctionAndArgument) {
  const EvalCase cases[] = {
    {"tonumber('1', 37)", "bad argument #2 to `tonumber' (base out of range)"},
    {"tonumber('1', 1)", "bad argument #2 to `tonumber' (base out of range)"},
    {"tostring()", "bad argument #1 to `tostring' (value expected)"},
    {"type()", "bad argument #1 to `type' (value expected)"},
    {"getn(1)", "bad argument #1 to `getn' (table expected, got number)"},
    {"getn()", "bad argument #1 to `getn' (value expected)"},
    {"strlen()", "bad argument #1 to `strlen' (string expected, got no value)"},
    {"strrep('x', {})", "bad argument #2 to `strrep' (number expected, got table)"},
    {"setglobal('x')", "bad argument #2 to `setglobal' (value expected)"},
    {"settagmethod(newtag(), 'add', 1)", "bad argument #3 to `settagmethod' (function or nil expected)"},
    {"foreach({}, 1)", "bad argument #2 to `foreach' (function expected, got number)"},
    {"local f = strlen; return f(nil)", "bad argument #1 to `f' (string expected, got nil)"},
  };
  for (const EvalCase& c : cases) EXPECT_EQ(Error(std::string(c.expr)), c.expected) << c.expr;
}

TEST_F(BaseLibTest, RefusalsAndDeprecatedNames) {
  const EvalCase cases[] = {
    {"nextvar({})", "function `nextvar' is deprecated"},
    {"foreachvar()", "function `foreachvar' is deprecated"},
    {"rawgetglobal('x')", "function `rawgetglobal' is deprecated"},
    {"rawsetglobal('x', 1)", "function `rawsetglobal' is deprecated"},
    {"settagmethod(newtag(), 'gc', print)", "deprecated use: cannot set the `gc' tag method from Lua"},
    {"gettagmethod(newtag(), 'gc')", "deprecated use: cannot get the `gc' tag method from Lua"},
    {"call(print, {}, 'p')", "deprecated option `p' in `call'"},
    {"dostring(strchar(27) .. 'Lua')", "`dostring' cannot run pre-compiled code"},
    {"tostring = function() return {} end print(1)", "`tostring' must return a string to `print'"},
    {"assert(nil, 'cond')", "assertion failed!  cond"},
    {"assert(nil)", "assertion failed!  "},
    {"error('boom')", "boom"},
  };
  for (const EvalCase& c : cases) EXPECT_EQ(Error(c.expr), c.expected) << c.expr;
  EXPECT_EQ(Run("error()"), "status 1: \n");  // no message reaches the handler
}

TEST_F(BaseLibTest, DostringAndDofileResults) {
  EXPECT_EQ(Eval("dostring('return 1, 2')"), "1,2");
  EXPECT_EQ(Eval("dostring('x = 1')"), "userdata");
  EXPECT_EQ(Eval("dostring('x = ')"), "nil,syntax error");
  EXPECT_EQ(Eval("dostring('error(\"e\")')"), "nil,run-time error");
  EXPECT_EQ(Eval("dofile('/nonexistent/dir/file.lua')"), "nil,file error");
  // the chunk name given to dostring shows in messages
  Run("dostring('x =', 'mychunk')");
  EXPECT_NE(LastMessage().find("mychunk"), std::string::npos) << LastMessage();
}

TEST_F(BaseLibTest, DofileRunsSourceAndPrecompiledFiles) {
  char dir[] = "/tmp/baselibXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  std::string src = std::string(dir) + "/a.lua";
  std::string bin = std::string(dir) + "/b.luc";
  FILE* f = fopen(src.c_str(), "w");
  fputs("y = 5 return y * 2", f);
  fclose(f);
  // compile a chunk through the test writer and store it
  std::string chunk = CompileToChunk("z = 7 return 'bin'");
  ASSERT_FALSE(chunk.empty());
  f = fopen(bin.c_str(), "wb");
  fwrite(chunk.data(), 1, chunk.size(), f);
  fclose(f);
  EXPECT_EQ(Eval("dofile('" + src + "')"), "10");
  EXPECT_EQ(Eval("y"), "5");
  EXPECT_EQ(Eval("dofile('" + bin + "')"), "bin");
  EXPECT_EQ(Eval("z"), "7");
  remove(src.c_str());
  remove(bin.c_str());
  rmdir(dir);
}

TEST_F(BaseLibTest, CallPassesArgumentsAndHandlesErrors) {
  EXPECT_EQ(Run(R"(
    print(call(function(a, b, c) return a + b, c end, {1, 2, 'x'}))
    print(call(strrep, {'ab', 3; n = 2}))
    print(call(print, {}) == nil)
    print(call(error, {'bad'}, 'x'))
    call(error, {'handled'}, 'x', function(m) seen = m end)
    print(seen)
  )"),
            "3\tx\nababab\n\n1\nnil\nhandled\n");
  EXPECT_EQ(Error("call(print, {n = 100000})"), "stack overflow (too many arguments)");
  // the handler is in place only for the call
  EXPECT_EQ(Run("call(error, {'m'}, 'x', function(m) end) error('after')"), "status 1: after\n");
  EXPECT_EQ(Error("call(error, {'passed on'})"), "passed on");
  // the handler of a call replaces the global one for the call only
  EXPECT_EQ(Run(R"(
    msg = nil
    call(error, {'via handler'}, 'x', function(m) msg = m end)
    print(msg)
    print(call(function() return 1 end, {}, 'x'))
  )"),
            "via handler\n1\n");
}

TEST_F(BaseLibTest, GlobalsTagsAndRawAccess) {
  EXPECT_EQ(Run(R"(
    setglobal('g1', 42) print(getglobal('g1'), g1)
    local t = {}
    local tg = newtag()
    print(settag(t, tg) == t, tag(t) == tg, tag(1), tag('s'), tag(nil))
    settagmethod(tg, 'index', function(t, k) return 'dflt:' .. k end)
    print(t.missing, rawget(t, 'missing'))
    print(rawset(t, 'k', 'v') == t, t.k)
    print(rawgettable(t, 'k'), rawsettable(t, 'j', 1) == t)
    local old = settagmethod(tg, 'index', nil)
    print(type(old), t.missing, gettagmethod(tg, 'index'))
    local t2 = newtag()
    settagmethod(tg, 'add', function(a, b) return 99 end)
    print(copytagmethods(t2, tg) == t2)
    local u = settag({}, t2)
    print(u + 1)
    local g = globals()
    local newg = {print = print, globals = globals}
    globals(newg)
    x_in_new = 1
    globals(g)
    print(x_in_new, newg.x_in_new)
  )"),
            "42\t42\n1\t1\t2\t3\t1\ndflt:missing\tnil\n"
            "1\tv\nv\t1\nfunction\tnil\tnil\n1\n99\nnil\t1\n");
}

TEST_F(BaseLibTest, IterationVisitsEveryPairAndStopsOnAResult) {
  EXPECT_EQ(Run(R"(
    local t = {10, 20, 30}
    foreachi(t, function(i, v) print(i, v) end)
    print(foreachi(t, function(i, v) if v == 20 then return i end end))
    local count = {c = 0}
    foreach({5; a = 1, b = 2}, function(k, v) %count.c = %count.c + v end)
    print(count.c)
    print(foreach({a = 1}, function(k, v) return k .. v end))
    local k, v = next({7})
    print(k, v, next({}), next({1}, 1))
  )"),
            "1\t10\n2\t20\n3\t30\n2\n8\na1\n1\t7\tnil\tnil\n");
}

TEST_F(BaseLibTest, TableInsertAndRemove) {
  EXPECT_EQ(Run(R"(
    local t = {'a', 'b', 'c'}
    tinsert(t, 1, 'z')
    print(t.n, t[1], t[2], t[3], t[4])
    tinsert(t, 'end')
    print(t.n, t[5])
    print(tremove(t), t.n, t[5])
    print(tremove(t, 1), t.n, t[1], t[4])
    local e = {}
    print(tremove(e))
    print(getn(e), getn({1, 2, nil, 4}), getn({n = 9}))
  )"),
            "4\tz\ta\tb\tc\n5\tend\nend\t4\tnil\nz\t3\ta\tnil\n\n0\t4\t9\n");
  // removing from an empty table returns nothing at all
  EXPECT_EQ(Eval("tremove({})"), "");
}

TEST_F(BaseLibTest, SortOrdersWithAndWithoutAnOrderFunction) {
  EXPECT_EQ(Run(R"(
    local show = function(t) local s = '' for i = 1, getn(t) do s = s .. t[i] .. ' ' end print(s) end
    local t = {5, 3, 8, 1, 9, 2, 7, 4, 6, 0}
    sort(t) show(t)
    sort(t, function(a, b) return a > b end) show(t)
    local w = {'pear', 'apple', 'fig', 'banana'}
    sort(w) show(w)
    sort(w, function(a, b) return strlen(a) < strlen(b) end) print(w[1], w[4])
    local one = {1} sort(one) show(one)
    local two = {2, 1} sort(two) show(two)
    local three = {3, 1, 2} sort(three) show(three)
  )"),
            "0 1 2 3 4 5 6 7 8 9 \n9 8 7 6 5 4 3 2 1 0 \napple banana fig pear \n"
            "fig\tbanana\n1 \n1 2 \n1 2 3 \n");
  // a large reversed and a large constant table
  EXPECT_EQ(Run(R"(
    local t = {}
    for i = 1, 500 do t[i] = 501 - i end
    sort(t)
    local ok = 1
    for i = 1, 500 do if t[i] ~= i then ok = nil end end
    local c = {}
    for i = 1, 200 do c[i] = 7 end
    sort(c)
    print(ok, c[1], c[200])
  )"),
            "1\t7\t7\n");
  EXPECT_EQ(Error("local t = {} for i = 1, 50 do t[i] = i end sort(t, function(a, b) return 1 end)"),
            "invalid order function for sorting");
  EXPECT_EQ(Error("sort({1, 'a', 2})").find("attempt to compare"), 0u);
}

TEST_F(BaseLibTest, GarbageCollectionControl) {
  EXPECT_EQ(Run(R"(
    local used, limit = gcinfo()
    print(used > 0, limit >= used)
    for i = 1, 1000 do local t = {i} end
    collectgarbage()
    local used2, limit2 = gcinfo()
    print(used2 <= limit2)
  )"),
            "1\t1\n1\n");
}

TEST_F(BaseLibTest, DefaultHandlersWriteToAlert) {
  // the base library's own handler, before the I/O library replaces it
  lua_State* B = lua_open(0);
  lua_baselibopen(B);
  lua_strlibopen(B);
  static std::string alerted;
  alerted.clear();
  lua_register(B, "_ALERT", [](lua_State* L) -> int {
    alerted += lua_tostring(L, 1);
    return 0;
  });
  const char* code = "local x = 1\nerror('oops')\n";
  EXPECT_NE(lua_dobuffer(B, code, strlen(code), "=where"), 0);
  // the caller of the handler is "error", a native without a line
  EXPECT_EQ(alerted, "error: oops\n");
  alerted.clear();
  const char* code2 = "local x = 1\nlocal y = x .. {}\n";
  EXPECT_NE(lua_dobuffer(B, code2, strlen(code2), "=where"), 0);
  EXPECT_EQ(alerted, "error: attempt to concat a table value\n  <where: line 2>\n");
  lua_close(B);
}

TEST_F(BaseLibTest, PrintWritesTabSeparatedLinesThroughTostring) {
  EXPECT_EQ(Run("print(1, 'two', nil, 0.5) print() print(1e20)"), "1\ttwo\tnil\t0.5\n\n1.000000020040877e+20\n");
  EXPECT_EQ(Run("tostring = function(v) return '<' .. type(v) .. '>' end print(1, {})"),
            "<number>\t<table>\n");
}

}  // namespace
