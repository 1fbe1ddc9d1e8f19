// The I/O and system library on real files in a temporary folder.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "LibTestUtil.h"

namespace {

class IoLibTest : public LibTest {
 protected:
  void SetUp() override {
    LibTest::SetUp();
    char tmpl[] = "/tmp/iolibXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    lua_pushstring(L, (m_dir + "/").c_str());
    lua_setglobal(L, "DIR");
  }
  void TearDown() override {
    LibTest::TearDown();  // closes what the scripts left open
    std::string cmd = "rm -rf '" + m_dir + "'";
    EXPECT_EQ(system(cmd.c_str()), 0);
  }
  std::string Path(const std::string& name) const { return m_dir + "/" + name; }
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(Path(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  bool Exists(const std::string& name) {
    struct stat st;
    return stat(Path(name).c_str(), &st) == 0;
  }

  std::string m_dir;
};

TEST_F(IoLibTest, FailuresGiveNilMessageAndMinusOne) {
  EXPECT_EQ(Eval("openfile(DIR .. 'missing.txt', 'r')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("readfrom(DIR .. 'missing.txt')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("readfrom('|ls')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("writeto('|cat')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("appendto('|cat')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("writeto(DIR .. 'no/such/dir/file')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("remove(DIR .. 'missing.txt')"), "nil,generic I/O error,-1");
  EXPECT_EQ(Eval("rename(DIR .. 'missing.txt', DIR .. 'other.txt')"), "nil,generic I/O error,-1");
  // the current files are unchanged by a failure
  EXPECT_EQ(Eval("_INPUT == _STDIN, _OUTPUT == _STDOUT"), "1,1");
}

TEST_F(IoLibTest, WriteThenReadBackWithEveryFormat) {
  EXPECT_EQ(Run(R"(
    local f = openfile(DIR .. 'data.txt', 'w')
    print(tag(f) == tag(_STDOUT))
    print(write(f, 'line one\n', 12.5, ' ', 0.1, '\n', 'word1  word2\n', 42, '\n', 'tail'))
    print(closefile(f))
  )"),
            "1\nuserdata(0): (nil)\nuserdata(0): (nil)\n");
  EXPECT_EQ(ReadFile("data.txt"), "line one\n12.5 0.1000000014901161\nword1  word2\n42\ntail");
  EXPECT_EQ(Run(R"(
    local f = openfile(DIR .. 'data.txt', 'r')
    print(read(f))
    print(read(f, '*n', '*n'))
    print(read(f, '*l'))
    print(read(f, '*w', '*w'))
    print(read(f, '*n'))
    print(read(f, 2, 0, '*a'))
    print(read(f, '*a'))
    print(read(f, '*l') == nil, read(f, 1) == nil, read(f, 0))
    closefile(f)
  )"),
            "line one\n12.5\t0.1000000014901161\n\nword1\tword2\n42\n\nt\t\tail\n\n1\t1\t\n");
}

TEST_F(IoLibTest, ReadStopsAtTheFirstFailingFormat) {
  WriteFile("nums.txt", "1 2 x 3");
  EXPECT_EQ(Run(R"(
    local f = openfile(DIR .. 'nums.txt', 'r')
    print(read(f, '*n', '*n', '*n', '*n'))
    print(read(f, '*w'))
    closefile(f)
  )"),
            "1\t2\nx\n");
  WriteFile("empty.txt", "");
  EXPECT_EQ(Run(R"(
    local f = openfile(DIR .. 'empty.txt', 'r')
    print(read(f, '*a', '*l', '*a'))
    print(read(f, '*w'), read(f, 5), read(f, '*n'))
    closefile(f)
  )"),
            "\nnil\tnil\n");  // a failed read gives no result at all
  EXPECT_EQ(Error("read(_STDIN, '*x')"), "bad argument #2 to `read' (invalid format)");
  EXPECT_EQ(Error("read(_STDIN, 'abc')"), "read patterns are deprecated");
}

TEST_F(IoLibTest, LongLinesAndWholeFilesSpanSeveralBuffers) {
  std::string longline(20000, 'a');
  longline[8191] = 'b';
  longline[8192] = 'c';
  WriteFile("long.txt", longline + "\n" + std::string(30000, 'z'));
  EXPECT_EQ(Run(R"(
    local f = openfile(DIR .. 'long.txt', 'r')
    local l = read(f)
    print(strlen(l), strsub(l, 8192, 8193))
    local a = read(f, 10000)
    print(strlen(a))
    print(strlen(read(f, '*a')))
    closefile(f)
    f = openfile(DIR .. 'long.txt', 'r')
    print(strlen(read(f, '*a')))
    closefile(f)
  )"),
            "20000\tbc\n10000\n20000\n50001\n");
}

TEST_F(IoLibTest, CurrentInputAndOutput) {
  WriteFile("in.txt", "first\nsecond\n");
  EXPECT_EQ(Run(R"(
    print(tag(readfrom(DIR .. 'in.txt')) == tag(_INPUT))
    print(read())
    print(writeto(DIR .. 'out.txt') == _OUTPUT)
    write('to file ', 1, '\n')
    print(writeto() == _STDOUT, _OUTPUT == _STDOUT)
    print(appendto(DIR .. 'out.txt') == _OUTPUT)
    write('appended\n')
    writeto()
    print(read('*l'))
    print(readfrom() == _STDIN)
  )"),
            "1\nfirst\n1\n1\t1\n1\nsecond\n1\n");
  EXPECT_EQ(ReadFile("out.txt"), "to file 1\nappended\n");
  // a handle can be made current and stays open
  EXPECT_EQ(Run(R"(
    local h = openfile(DIR .. 'in.txt', 'r')
    print(readfrom(h) == h, read(), read(h))
    closefile(h)
    readfrom(_STDIN)
  )"),
            "1\tfirst\tsecond\n");
  EXPECT_EQ(Error("_INPUT = 1 read()"), "global variable `_INPUT' is not a file handle");
  EXPECT_EQ(Error("_OUTPUT = {} write('x')"), "global variable `_OUTPUT' is not a file handle");
}

TEST_F(IoLibTest, ClosedHandlesAndStandardStreams) {
  EXPECT_EQ(Error("local f = openfile(DIR .. 'c.txt', 'w') closefile(f) write(f, 'x')"),
            "cannot access a closed file");
  EXPECT_EQ(Error("local f = openfile(DIR .. 'c.txt', 'w') closefile(f) closefile(f)"),
            "cannot access a closed file");
  EXPECT_EQ(Error("closefile(1)"), "bad argument #1 to `closefile' (invalid file handle)");
  EXPECT_EQ(Error("seek('x')"), "bad argument #1 to `seek' (invalid file handle)");
  EXPECT_EQ(Error("flush(2)"), "bad argument #1 to `flush' (invalid file handle)");
  // the standard streams are never closed and stay usable
  EXPECT_EQ(Run("print(closefile(_STDOUT)) write(_STDOUT, 'still\\n') print(flush(_STDOUT), flush())"),
            "userdata(0): (nil)\nstill\nuserdata(0): (nil)\tuserdata(0): (nil)\n");
}

TEST_F(IoLibTest, Seek) {
  WriteFile("seek.txt", "0123456789");
  EXPECT_EQ(Run(R"(
    local f = openfile(DIR .. 'seek.txt', 'r')
    print(seek(f, 'end'), seek(f, 'set', 3), read(f, 2), seek(f), seek(f, 'cur', -1), read(f, 1))
    print(seek(f, 'set', -5))
    closefile(f)
  )"),
            "10\t3\t34\t5\t4\t4\nnil\tgeneric I/O error\t-1\n");
  EXPECT_EQ(Error("seek(_STDIN, 'middle')"), "bad argument #2 to `seek' (invalid mode)");
}

TEST_F(IoLibTest, RemoveRenameAndTmpname) {
  WriteFile("a.txt", "A");
  EXPECT_EQ(Eval("rename(DIR .. 'a.txt', DIR .. 'b.txt')"), "userdata");
  EXPECT_FALSE(Exists("a.txt"));
  EXPECT_EQ(ReadFile("b.txt"), "A");
  EXPECT_EQ(Eval("remove(DIR .. 'b.txt')"), "userdata");
  EXPECT_FALSE(Exists("b.txt"));
  lua_settop(L, 0);
  ASSERT_EQ(lua_dostring(L, "return tmpname()"), 0);
  std::string name = lua_tostring(L, -1);
  lua_settop(L, 0);
  EXPECT_EQ(name.substr(0, 9), "/tmp/lua_");
  struct stat st;
  EXPECT_EQ(stat(name.c_str(), &st), 0);  // created, empty
  EXPECT_EQ(st.st_size, 0);
  remove(name.c_str());
}

TEST_F(IoLibTest, SystemFunctions) {
  setenv("IOLIB_TEST_VAR", "value", 1);
  EXPECT_EQ(Eval("getenv('IOLIB_TEST_VAR'), getenv('IOLIB_TEST_UNSET_VAR')"), "value,nil");
  EXPECT_EQ(Eval("execute('exit 0'), execute('exit 3')"), "0,768");
  EXPECT_EQ(Eval("execute('echo hi > ' .. DIR .. 'x.txt')"), "0");
  EXPECT_EQ(ReadFile("x.txt"), "hi\n");
  EXPECT_EQ(Eval("setlocale('C'), setlocale('C', 'numeric'), setlocale('de_DE'), setlocale('')"),
            "C,C,nil,nil");
  EXPECT_EQ(Error("setlocale('C', 'colour')"), "bad argument #2 to `setlocale' (invalid option)");
  EXPECT_EQ(Eval("date('%Y') + 0 >= 2024, strlen(date()) > 0"), "1,1");
  EXPECT_EQ(Eval("date('%%')"), "%");
  EXPECT_EQ(Error("date('')"), "invalid `date' format");
  EXPECT_EQ(Error("date(strrep('%Y', 200))"), "invalid `date' format");
  EXPECT_EQ(Eval("clock() >= 0"), "1");
}

TEST_F(IoLibTest, ExitEndsTheProcessWithTheCode) {
  EXPECT_EXIT(lua_dostring(L, "exit(7)"), ::testing::ExitedWithCode(7), "");
  EXPECT_EXIT(lua_dostring(L, "exit()"), ::testing::ExitedWithCode(0), "");
}

TEST_F(IoLibTest, UnreachableFilesAreClosedByTheCollector) {
  EXPECT_EQ(Run(R"(
    for i = 1, 300 do
      local f = openfile(DIR .. 'gc.txt', 'w')
      write(f, i)
    end
    collectgarbage()
    print(1)
  )"),
            "1\n");
  EXPECT_EQ(ReadFile("gc.txt").empty(), false);
}

TEST_F(IoLibTest, DebugPromptRunsLinesFromStandardInput) {
  WriteFile("cmds.txt", "x = 1 + 1\ny = x * 10\ncont\nz = 1\n");
  int saved = dup(0);
  ASSERT_TRUE(freopen(Path("cmds.txt").c_str(), "r", stdin) != nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(lua_dostring(L, "debug()"), 0);
  std::string prompt = ::testing::internal::GetCapturedStderr();
  dup2(saved, 0);
  close(saved);
  clearerr(stdin);
  EXPECT_EQ(prompt, "lua_debug> lua_debug> lua_debug> ");
  EXPECT_EQ(Eval("x, y, z"), "2,20,nil");
}

// The traceback handler of the I/O library, sent to "_ALERT".
class TracebackTest : public IoLibTest {
 protected:
  void SetUp() override {
    IoLibTest::SetUp();
    // put the library's handler back and catch what it sends
    s_alert.clear();
    lua_register(L, "_ALERT", Alert);
    ASSERT_EQ(lua_dostring(L, "_ERRORMESSAGE = nil"), 0);
    lua_iolibopen(L);  // sets its handler again
  }
  static int Alert(lua_State* L) {
    s_alert += lua_tostring(L, 1);
    return 0;
  }
  static inline std::string s_alert;
};

TEST_F(TracebackTest, NamesEachLevel) {
  const char* code =
      "function inner(x)\n"
      "  return x .. {}\n"
      "end\n"
      "local t = {}\n"
      "function t.m() return inner(1) end\n"
      "t.m()\n";
  EXPECT_NE(lua_dobuffer(L, code, strlen(code), "@prog.lua"), 0);
  EXPECT_EQ(s_alert,
            "error: attempt to concat a table value\n"
            "stack traceback:\n"
            "   1:  function `inner' at line 2 [file `prog.lua']\n"
            "   2:  method `m' at line 5 [file `prog.lua']\n"
            "   3:  main of file `prog.lua' at line 6\n");
}

TEST_F(TracebackTest, NativeAndAnonymousFunctions) {
  const char* code =
      "local f = function() error('deep') end\n"
      "call(f, {})\n";
  EXPECT_NE(lua_dobuffer(L, code, strlen(code), "=chunk"), 0);
  EXPECT_EQ(s_alert,
            "error: deep\n"
            "stack traceback:\n"
            "   1:  function `error' [C]\n"
            "   2:  function <1:chunk> at line 1\n"
            "   3:  function `call' [C]\n"
            "   4:  main of chunk at line 2\n");
}

TEST_F(TracebackTest, DeepStacksAreCut) {
  const char* code =
      "function rec(n) if n == 0 then error('bottom') end return rec(n - 1) + 1 end\n"
      "rec(30)\n";
  EXPECT_NE(lua_dobuffer(L, code, strlen(code), "=deep"), 0);
  // 31 calls of rec, then the main chunk: levels 1 to 11, a cut, then the
  // deepest ten
  int lines = 0;
  for (char c : s_alert) lines += (c == '\n');
  EXPECT_EQ(lines, 2 + 11 + 1 + 10) << s_alert;
  EXPECT_NE(s_alert.find("  11:  function `rec' at line 1 [deep]\n       ...\n  24:  "), std::string::npos)
      << s_alert;
  EXPECT_NE(s_alert.find("  33:  main of deep at line 2\n"), std::string::npos) << s_alert;
  // a stack of 22 levels is printed whole
  s_alert.clear();
  const char* shallow = "function rec(n) if n == 0 then error('b') end return rec(n - 1) + 1 end\nrec(19)\n";
  EXPECT_NE(lua_dobuffer(L, shallow, strlen(shallow), "=deep"), 0);
  lines = 0;
  for (char c : s_alert) lines += (c == '\n');
  EXPECT_EQ(lines, 2 + 22) << s_alert;
}

}  // namespace
