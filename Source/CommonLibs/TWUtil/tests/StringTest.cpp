#include <gtest/gtest.h>

#include <string>

#include "TWUtil/String.h"

namespace {

TEST(EStringTest, EmptyStringsHoldNoBuffer) {
  EString s;
  EXPECT_EQ(nullptr, *s);
  EXPECT_EQ(0, s.Length());
  s = "abc";
  ASSERT_NE(nullptr, *s);
  s = "";
  EXPECT_EQ(nullptr, *s);
  EXPECT_EQ(0, s.GetCharArray().Max());
  s = "abc";
  s = static_cast<const char*>(nullptr);
  EXPECT_EQ(nullptr, *s);
  EXPECT_EQ(0, s.Length());
  EString copy(s);
  EXPECT_EQ(nullptr, *copy);
}

TEST(EStringTest, CopyTakesExactlyTheLength) {
  EString s("hello", 3);
  EXPECT_STREQ("hel", *s);
  EXPECT_EQ(3, s.Length());
  EXPECT_EQ(4, s.GetCharArray().Max());
  // A text holding a zero byte keeps its stored length.
  EString z("a\0b", 3);
  EXPECT_EQ(3, z.Length());
  EXPECT_EQ('b', (*z)[2]);
  // Copying a piece of itself.
  EString self("abcdef");
  self.Copy(*self + 2, 3);
  EXPECT_STREQ("cde", *self);
}

TEST(EStringTest, AppendDropsAndRewritesTheTerminator) {
  EString s("x");
  s += "abc";
  EXPECT_STREQ("xabc", *s);
  EXPECT_EQ(5, s.GetCharArray().Num());
  EXPECT_EQ(4, s.Length());

  EString t("x");
  t.Append("abc", 2);
  EXPECT_STREQ("xab", *t);
  EXPECT_EQ(3, t.Length());

  EString e;
  e.Append("", 0);
  ASSERT_NE(nullptr, *e);
  EXPECT_STREQ("", *e);
  EXPECT_EQ(1, e.GetCharArray().Num());

  EString other("yz");
  s += other;
  EXPECT_STREQ("xabcyz", *s);
  s += s;  // appending itself survives the reallocation
  EXPECT_STREQ("xabcyzxabcyz", *s);
  EString empty;
  s += empty;
  EXPECT_STREQ("xabcyzxabcyz", *s);
}

TEST(EStringTest, FormattingGrowsByThreeHalvesWithSlack) {
  std::string long300(300, 'q');
  EString s(EPrintfTag(), "%s", long300.c_str());
  EXPECT_EQ(412, s.GetCharArray().Max());
  EXPECT_EQ(301, s.GetCharArray().Num());
  EXPECT_EQ(long300, *s);

  EString small;
  small.Printf("%d-%s", 42, "x");
  EXPECT_STREQ("42-x", *small);
  EXPECT_EQ(192, small.GetCharArray().Max());
  EXPECT_EQ(5, small.GetCharArray().Num());

  // Exactly at the limit: 190 characters + terminator fit in 191.
  std::string fits(190, 'f');
  EString edge(EPrintfTag(), "%s", fits.c_str());
  EXPECT_EQ(192, edge.GetCharArray().Max());
  std::string spills(191, 'f');
  EString over(EPrintfTag(), "%s", spills.c_str());
  EXPECT_EQ(412, over.GetCharArray().Max());
  EXPECT_EQ(spills, *over);

  EString empty(EPrintfTag(), "%s", "");
  ASSERT_NE(nullptr, *empty);
  EXPECT_EQ(0, empty.Length());
}

TEST(EStringTest, LeftAndSwap) {
  EString abc("abc");
  EXPECT_STREQ("abc", *abc.Left(10));
  EXPECT_STREQ("ab", *abc.Left(2));
  EString none = abc.Left(0);
  ASSERT_NE(nullptr, *none);
  EXPECT_EQ(1, none.GetCharArray().Num());
  EXPECT_EQ(nullptr, *EString().Left(3));

  EString other("zz");
  EString::Swap(abc, other);
  EXPECT_STREQ("zz", *abc);
  EXPECT_STREQ("abc", *other);
  EXPECT_EQ(kMEMTYPE_String, abc.GetCharArray().GetMemType());
}

TEST(EStringTest, ArraysOfStringsCopyTheirElements) {
  EArray<EString> a;
  a.AddData("one");
  a.AddData(EString("two"));
  a.AddData(nullptr);
  EArray<EString> b;
  b = a;
  a[0] = "changed";
  EXPECT_STREQ("one", *b[0]);
  EXPECT_STREQ("two", *b[1]);
  EXPECT_EQ(nullptr, *b[2]);
}

TEST(EStringSplitTest, CutsAtEverySeparator) {
  struct Case {
    const char* text;
    char sep;
    std::vector<std::string> pieces;
  } cases[] = {
      {"a/b//c/", '/', {"a", "b", "", "c", ""}},
      {"", '/', {""}},
      {"plain", '/', {"plain"}},
      {"/lead", '/', {"", "lead"}},
      {"x.y.z", '.', {"x", "y", "z"}},
  };
  for (const Case& c : cases) {
    EStringSplit split(c.text, c.sep);
    ASSERT_EQ(int(c.pieces.size()), split.GetNumStrings()) << c.text;
    for (int i = 0; i < split.GetNumStrings(); ++i) EXPECT_EQ(c.pieces[i], split[i]) << c.text << " " << i;
  }
  std::string sixteen(16, '/');
  EStringSplit many(sixteen.c_str(), '/');
  EXPECT_EQ(17, many.GetNumStrings());
  std::string longest(4094, 'a');
  EStringSplit big(longest.c_str(), '/');
  EXPECT_EQ(4094u, strlen(big[0]));
}

TEST(EStringSplitDeathTest, RefusesWhatDoesNotFit) {
  std::string tooLong(4095, 'a');
  EXPECT_EXIT(EStringSplit(tooLong.c_str(), '/'), ::testing::ExitedWithCode(255), "iLen < MAX_PATH - 1");
  std::string seventeen(17, '/');
  EXPECT_EXIT(EStringSplit(seventeen.c_str(), '/'), ::testing::ExitedWithCode(255),
              "m_iSplitCount < kMAX_SPLITS");
  EStringSplit split("a/b", '/');
  EXPECT_EXIT(split[2], ::testing::ExitedWithCode(255), "iIndex <= m_iSplitCount");
}

TEST(StringHelpersTest, DuplicatesAndCase) {
  EXPECT_EQ(nullptr, StringDuplicate(nullptr, kMEMTYPE_String));
  char* p = StringDuplicatePooled("Mixed Case", kMEMTYPE_Entity);
  EXPECT_STREQ("Mixed Case", p);
  StringToLower(p);
  EXPECT_STREQ("mixed case", p);
  StringFreePooled(p, kMEMTYPE_Entity, false);
  StringFreePooled(nullptr, kMEMTYPE_Entity, false);

  char buf[32];
  StrCpyToLower(buf, "ABC\xC9z1");
  EXPECT_STREQ("abc\xC9z1", buf);

  char r[] = "a/b/c";
  StringReplaceChar(r, '/', '\\');
  EXPECT_STREQ("a\\b\\c", r);
  StringReplaceChar(nullptr, 'a', 'b');

  char u[] = "abz09\xE9xYZ";
  EXPECT_EQ(u, _strupr(u));
  EXPECT_STREQ("ABZ09\xE9XYZ", u);
  EXPECT_STREQ("abz09\xE9xyz", _strlwr(u));
  char e[] = "";
  EXPECT_STREQ("", _strrev(e));
  char rev[] = "abcd";
  EXPECT_STREQ("dcba", _strrev(rev));
  char odd[] = "abc";
  EXPECT_STREQ("cba", _strrev(odd));
  EXPECT_STREQ("-1234", _ltoa(-1234, buf, 10));
}

TEST(StringHelpersTest, FilenameSeparatePath) {
  char dir[64] = "untouched", name[64] = "untouched";
  EXPECT_TRUE(FilenameSeparatePath("dir/sub\\file.txt", dir, name));
  EXPECT_STREQ("dir/sub", dir);
  EXPECT_STREQ("file.txt", name);
  EXPECT_TRUE(FilenameSeparatePath("/x", nullptr, name));
  EXPECT_STREQ("x", name);
  strcpy(dir, "untouched");
  EXPECT_FALSE(FilenameSeparatePath("file.txt", dir, name));
  EXPECT_STREQ("untouched", dir);
  std::string huge(4097, 'a');
  huge[10] = '/';
  EXPECT_FALSE(FilenameSeparatePath(huge.c_str(), nullptr, nullptr));
  huge.resize(4096);
  EXPECT_TRUE(FilenameSeparatePath(huge.c_str(), nullptr, nullptr));
}

TEST(StringHelpersTest, BoundedFormattingAlwaysTerminates) {
  char small[8];
  EXPECT_EQ(small, csprintf(small, "%s", "0123456789"));
  EXPECT_STREQ("0123456", small);
  EXPECT_EQ(10, sprintf_s(small, "%d", 1234567890));
  EXPECT_STREQ("1234567", small);
  strcpy_s(small, "abcdefghij");
  EXPECT_STREQ("abcdefg", small);
  strcpy_s(small, "ab");
  EXPECT_STREQ("ab", small);
}

TEST(StringHelpersDeathTest, NullArgumentsAndRadixAreFatal) {
  char buf[32];
  EXPECT_EXIT(StrCpyToLower(buf, nullptr), ::testing::ExitedWithCode(255), "pszDest && pszSource");
  EXPECT_EXIT(StringToLower(nullptr), ::testing::ExitedWithCode(255), "szString");
  EXPECT_EXIT(FilenameSeparatePath(nullptr, buf, buf), ::testing::ExitedWithCode(255), "szFilename");
  EXPECT_EXIT(_ltoa(5, buf, 16), ::testing::ExitedWithCode(255), "iRadix == 10");
}

}  // namespace
