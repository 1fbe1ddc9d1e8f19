// The string library: basic functions, patterns, gsub and format.
#include <gtest/gtest.h>

#include <string>

#include "LibTestUtil.h"

namespace {

struct EvalCase {
  const char* expr;
  const char* expected;
};

class StrLibTest : public LibTest {
 protected:
  void Check(const EvalCase* cases, size_t n) {
    for (size_t i = 0; i < n; i++) EXPECT_EQ(Eval(cases[i].expr), cases[i].expected) << cases[i].expr;
  }
  void CheckErrors(const EvalCase* cases, size_t n) {
    for (size_t i = 0; i < n; i++) EXPECT_EQ(Error(cases[i].expr), cases[i].expected) << cases[i].expr;
  }
};

#define CHECK_TABLE(fn, table) fn(table, sizeof(table) / sizeof(table[0]))

TEST_F(StrLibTest, BasicFunctions) {
  const EvalCase cases[] = {
    {"strlen('hello'), strlen(''), strlen(123)", "5,0,3"},
    {"strsub('hello', -3)", "llo"},
    {"strsub('hello', 10)", ""},
    {"strsub('hello', 2, 3)", "el"},
    {"strsub('hello', 0, 2)", "he"},
    {"strsub('hello', 2, 100)", "ello"},
    {"strsub('hello', 4, 2)", ""},
    {"strsub('hello', -100, -4)", "he"},
    {"strsub('hello', 2.9, 3.9)", "el"},
    {"strlower('HeLLo 1!'), strupper('HeLLo 1!')", "hello 1!,HELLO 1!"},
    {"strchar(72, 105), strchar()", "Hi,"},
    {"strlen(strchar(0, 255))", "2"},
    {"strrep('ab', 3), strrep('x', 0), strrep('x', -2)", "ababab,,"},
    {"strrep('', 2000000000)", ""},
    {"strlen(strrep('abc', 10000))", "30000"},
    {"strbyte('A'), strbyte('abc', -1), ascii('abc', 2), strbyte('\\255')", "65,99,98,255"},
  };
  CHECK_TABLE(Check, cases);
  const EvalCase errors[] = {
    {"strchar(256)", "bad argument #1 to `strchar' (invalid value)"},
    {"strchar(65, -1)", "bad argument #2 to `strchar' (invalid value)"},
    {"strbyte('abc', 4)", "bad argument #2 to `strbyte' (out of range)"},
    {"strbyte('', 1)", "bad argument #2 to `strbyte' (out of range)"},
    {"strbyte('abc', -4)", "bad argument #2 to `strbyte' (out of range)"},
    {"strsub('abc')", "bad argument #2 to `strsub' (number expected, got no value)"},
  };
  CHECK_TABLE(CheckErrors, errors);
}

TEST_F(StrLibTest, FindWithPatterns) {
  const EvalCase cases[] = {
    // plain and anchored
    {"strfind('hello world', 'wor')", "7,9"},
    {"strfind('hello', 'xyz')", "nil"},
    {"strfind('hello', '')", "1,0"},
    {"strfind('hello', '', 6)", "6,5"},
    {"strfind('a.b', '.', 1, 1)", "2,2"},
    {"strfind('a.b', '.')", "1,1"},
    {"strfind('hello', '^h')", "1,1"},
    {"strfind('hello', '^e')", "nil"},
    {"strfind('hello', 'o$')", "5,5"},
    {"strfind('hello', 'l$')", "nil"},
    {"strfind('a$b', '$b')", "2,3"},
    {"strfind('hello', 'l', -2)", "4,4"},
    {"strfind('hello', 'h', 2)", "nil"},
    {"strfind('xhello', '^h', 2)", "2,2"},
    // classes and sets
    {"strfind('abc 123', '%d+')", "5,7"},
    {"strfind('abc 123', '%a+')", "1,3"},
    {"strfind('  x', '%S')", "3,3"},
    {"strfind('AbC', '%l')", "2,2"},
    {"strfind('AbC', '%u%l%u')", "1,3"},
    {"strfind('a,b', '%p')", "2,2"},
    {"strfind('x\\0y', '%z')", "2,2"},
    {"strfind('f00d', '%x+')", "1,4"},
    {"strfind('hi_there', '[_%-]')", "3,3"},
    {"strfind('hello', '[aeiou]+')", "2,2"},
    {"strfind('hello', '[^hel]')", "5,5"},
    {"strfind('a]b', '[]]')", "2,2"},
    {"strfind('x-y', '[a%-]')", "2,2"},
    {"strfind('k9', '[a-z][0-9]')", "1,2"},
    {"strfind('K9', '[%l%d]')", "2,2"},
    {"strfind('a.b', '%.')", "2,2"},
    // repetitions
    {"strfind('aaab', 'a*')", "1,3"},
    {"strfind('baaa', 'a*')", "1,0"},
    {"strfind('aaab', 'a-b')", "1,4"},
    {"strfind('<a><b>', '<.->')", "1,3"},
    {"strfind('<a><b>', '<.*>')", "1,6"},
    {"strfind('color colour', 'colou?r', 2)", "7,12"},
    {"strfind('xyz', 'a+')", "nil"},
    // captures
    {"strfind('key = value', '(%w+)%s*=%s*(%w+)')", "1,11,key,value"},
    {"strfind('abc', '()')", "1,0,"},
    {"strfind('hello', '(l)(l)')", "3,4,l,l"},
    {"strfind('abcabc', '(abc)%1')", "1,6,abc"},
    {"strfind('say \"hi\" now', '([\"\\'])(.-)%1')", "5,8,\",hi"},
    {"strfind('x = (a(b)c) y', '%b()')", "5,11"},
    {"strfind('((x)', '%b()')", "2,4"},
    {"strfind('no close (', '%b()')", "nil"},
    {"strfind('abc', '((a)(b))')", "1,2,ab,a,b"},
  };
  CHECK_TABLE(Check, cases);
}

TEST_F(StrLibTest, MalformedPatternsRaiseErrors) {
  const EvalCase errors[] = {
    {"strfind('a', 'a%')", "malformed pattern (ends with `%')"},
    {"strfind('a', '[a')", "malformed pattern (missing `]')"},
    {"strfind('a', '[a%')", "malformed pattern (missing `]')"},
    {"strfind('a', '%b')", "unbalanced pattern"},
    {"strfind('a', '%b(')", "unbalanced pattern"},
    {"strfind('a', '%1')", "invalid capture index"},
    {"strfind('aa', '(a%1)')", "invalid capture index"},
    {"strfind('a', '.)')", "invalid pattern capture"},
    {"strfind('a', '(a')", "unfinished capture"},
    {"gsub('a', '(a)', '%2')", "invalid capture index"},
    {"gsub('a', 'a', '%0')", "invalid capture index"},
    {"gsub('a', 'a', nil)", "bad argument #3 to `gsub' (string or function expected)"},
    {"gsub('a', 'a', {})", "bad argument #3 to `gsub' (string or function expected)"},
    {"strfind('a', 'a', 3)", "bad argument #3 to `strfind' (out of range)"},
    {"strfind('a', 'a', 0)", "bad argument #3 to `strfind' (out of range)"},
    {"strfind('a', 'a', -3)", "bad argument #3 to `strfind' (out of range)"},
  };
  CHECK_TABLE(CheckErrors, errors);
}

TEST_F(StrLibTest, CaptureAndRecursionLimits) {
  std::string p32, p33;
  for (int i = 0; i < 32; i++) p32 += "(a)";
  p33 = p32 + "(a)";
  std::string s33(33, 'a');
  EXPECT_EQ(Eval("strfind('" + s33 + "', '" + p32 + "')").substr(0, 7), "1,32,a,");
  EXPECT_EQ(Error("strfind('" + s33 + "', '" + p33 + "')"), "too many captures");
  // a pattern whose backtracking nests deeper than the matcher allows is a
  // script error, not a native stack overflow
  std::string deep;
  for (int i = 0; i < 5000; i++) deep += "a?";
  EXPECT_EQ(Error("strfind(strrep('a', 5000), '" + deep + "')"), "pattern too complex");
  // long subjects with plain items and repetitions match without nesting
  EXPECT_EQ(Eval("strfind(strrep('ab', 50000) .. 'c', '([ab]*)c')").substr(0, 10), "1,100001,a");
  EXPECT_EQ(Eval("strfind(strrep('x', 100000), 'x-$')"), "1,100000");
}

TEST_F(StrLibTest, Gsub) {
  const EvalCase cases[] = {
    {"gsub('hello world', 'o', '0')", "hell0 w0rld,2"},
    {"gsub('hello world', 'o', '0', 1)", "hell0 world,1"},
    {"gsub('hello', '', '-')", "-h-e-l-l-o-,6"},
    {"gsub('abc', '%w', '%%')", "%%%,3"},
    {"gsub('abc', '(%w)', '%1%1')", "aabbcc,3"},
    {"gsub('hello world', '(%w+) (%w+)', '%2 %1')", "world hello,1"},
    {"gsub('abc', '^a', 'x')", "xbc,1"},
    {"gsub('aaa', '^a', 'x')", "xaa,1"},
    {"gsub('abc', 'b', 'x%')", "ax%c,1"},
    {"gsub('a b', ' ', 5)", "a5b,1"},
    {"gsub('$x and $y', '%$(%w+)', function(v) return v == 'x' and 'X' end)", "X and ,2"},
    {"gsub('abc', '%w', function() return 1 end)", "111,3"},
    {"gsub('abc', '%w', function(...) return arg.n end)", "000,3"},
    {"gsub('hello', '(l+)', strupper)", "heLLo,1"},
    {"gsub('', 'x', 'y')", ",0"},
    {"gsub('abc', 'x*', '-')", "-a-b-c-,4"},
  };
  CHECK_TABLE(Check, cases);
  // "gsub" with a function that returns nil leaves the match out
  EXPECT_EQ(Eval("gsub('a1b2', '%d', function(d) return nil end)"), "ab,2");
  // a long result spans several buffer pieces
  EXPECT_EQ(Eval("strlen((gsub(strrep('a', 30000), 'a', 'bcd')))"), "90000");
  EXPECT_EQ(Eval("strlen((gsub(strrep('ab', 500), 'a', strrep('z', 9000))))"), "4500500");
}

TEST_F(StrLibTest, FormatConversions) {
  const EvalCase cases[] = {
    {"format('%d', 2.9), format('%d', -2.9)", "2,-2"},
    {"format('%x', -1), format('%X', 255), format('%o', 8), format('%u', 3)", "ffffffff,FF,10,3"},
    {"format('%x', 4294967295)", "0"},  // 2^32 as a float: low half 0
    {"format('%x', 1e30)", "0"},
    {"format('%H', 1), format('%H', 0), format('%10.3H', 1)", "3f800000,0,3f800000"},
    {"format('%5.2f', 1/3)", " 0.33"},
    {"format('%e', 1), format('%G', 0.5), format('%g', 1e20)", "1.000000e+00,0.5,1e+20"},
    {"format('%c%c', 72, 105)", "Hi"},
    {"format('%5d|%-5d|%05d', 42, 42, 42)", "   42|42   |00042"},
    {"format('%+d % d', 5, 5)", "+5  5"},
    {"format('%i', 7.5)", "7"},
    {"format('%s', 'x'), format('%5s', 'x'), format('%-3s|', 'x'), format('%.2s', 'abc')",
     "x,    x,x  |,ab"},
    {"format('%s', 12)", "12"},
    {"format('%2$s %1$s', 'world', 'hello')", "hello world"},
    {"format('%2$d %d', 1, 2)", "2 1"},
    {"format('100%%')", "100%"},
    {"format('%q', 'a\"b\\\\c\\nd')", "\"a\\\"b\\\\c\\\nd\""},
    {"strlen(format('%q', strchar(0)))", "6"},
    {"format('%q', strchar(0))", "\"\\000\""},
  };
  CHECK_TABLE(Check, cases);
  // the widest items stay inside the item buffer
  EXPECT_EQ(Eval("strlen(format('%99.99f', 3.4e38))"), "139");
  EXPECT_EQ(Eval("strlen(format('%99.99e', -3.4e38))"), "106");
  // long strings without a precision are copied whole
  EXPECT_EQ(Eval("strlen(format('%s', strrep('x', 150)))"), "150");
  EXPECT_EQ(Eval("strlen(format('%5s', strrep('x', 150)))"), "150");
  EXPECT_EQ(Eval("format('%.3s', strrep('x', 150))"), "xxx");
  EXPECT_EQ(Eval("strlen(format('%s', strrep('x', 99)))"), "99");
}

TEST_F(StrLibTest, FormatErrors) {
  const EvalCase errors[] = {
    {"format('%y', 1)", "invalid option in `format'"},
    {"format('abc%')", "invalid option in `format'"},
    {"format('%100d', 1)", "invalid format (width or precision too long)"},
    {"format('%.100f', 1)", "invalid format (width or precision too long)"},
    {"format('%--------------------d', 1)", "invalid format (width or precision too long)"},
    {"format('%d')", "bad argument #2 to `format' (number expected, got no value)"},
    {"format('%d', 'x')", "bad argument #2 to `format' (number expected, got string)"},
    {"format('%s %s', 'a')", "bad argument #3 to `format' (string expected, got no value)"},
    {"format('%3$s', 'a')", "bad argument #4 to `format' (string expected, got no value)"},
  };
  CHECK_TABLE(CheckErrors, errors);
  // eighteen characters of flags, width and precision are still accepted
  EXPECT_EQ(Eval("format('%-------------12.2f|', 1)"), "1.00        |");
}

}  // namespace
