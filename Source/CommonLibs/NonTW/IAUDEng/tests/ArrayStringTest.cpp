#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDString.h"

namespace {

std::vector<int> ArrayItems(const TCArray<int>& a) {
  return std::vector<int>(a.GetElementArray(), a.GetElementArray() + a.GetElementCount());
}

TEST(TCArray, GrowsByOneElementAndNeverShrinks) {
  TCArray<int> a;
  EXPECT_EQ(a.GetElementCount(), 0);
  EXPECT_EQ(a.GetCapacity(), 1);
  int v = 10;
  int* first = a.GetElementArray();
  EXPECT_EQ(a.AddElement(&v), 0);
  EXPECT_EQ(a.GetElementArray(), first);  // room for one without reallocating
  v = 11;
  EXPECT_EQ(a.AddElement(&v), 1);
  EXPECT_EQ(a.GetCapacity(), 2);
  v = 12;
  a.AddElement(&v);
  EXPECT_EQ(a.GetCapacity(), 3);

  a.RemoveElement(0);
  EXPECT_EQ(ArrayItems(a), (std::vector<int>{11, 12}));
  EXPECT_EQ(a.GetCapacity(), 3);

  int* block = a.GetElementArray();
  a.RemoveAllElements();
  EXPECT_EQ(a.GetElementCount(), 0);
  v = 13;
  a.AddElement(&v);
  EXPECT_EQ(a.GetElementArray(), block);
  EXPECT_EQ(ArrayItems(a), (std::vector<int>{13}));
}

TEST(TCArray, InsertsAtEitherEnd) {
  TCArray<int> a;
  int v = 2;
  a.AddElement(&v);
  v = 3;
  EXPECT_EQ(a.InsertElement(&v, 1), 1);  // at the count: an append
  v = 1;
  EXPECT_EQ(a.InsertElement(&v, 0), 2);
  EXPECT_EQ(ArrayItems(a), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(*a.GetElementMember(2), 3);
}

TEST(TCArray, StaysInsideItsBlock) {
  TCArray<int> a;
  int v = 5;
  a.AddElement(&v);
  a.AddElement(&v);
  EXPECT_EQ(a.InsertElement(&v, 3), -1);
  EXPECT_EQ(a.InsertElement(&v, -1), -1);
  a.RemoveElement(2);
  a.RemoveElement(-1);
  EXPECT_EQ(a.GetElementCount(), 2);
  EXPECT_EQ(a.GetElementMember(2), nullptr);
  EXPECT_EQ(a.GetElementMember(-1), nullptr);
}

TEST(TCArray, CopiesRecordsByteWise) {
  struct Rec {
    char name[6];
    float value;
  };
  TCArray<Rec> a;
  Rec r = {"abc", 1.5f};
  a.AddElement(&r);
  r.value = 9.0f;  // the array keeps its own copy
  EXPECT_STREQ(a.GetElementMember(0)->name, "abc");
  EXPECT_EQ(a.GetElementMember(0)->value, 1.5f);
}

std::u16string Str(const uint16_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }
const uint16_t* Units(const char16_t* s) { return reinterpret_cast<const uint16_t*>(s); }

TEST(IAUDString, CompareHasTheSignReversed) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int32_t expect;
  } cases[] = {
      {u"abc", u"abd", 1}, {u"abd", u"abc", -1}, {u"ab", u"abc", 1}, {u"abc", u"ab", -1},
      {u"abc", u"abc", 0}, {u"", u"", 0},        {u"", u"a", 1},     {u"\u00e9", u"z", -1},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
    EXPECT_EQ(IAUDCompareString(Units(cases[i].a), Units(cases[i].b)), cases[i].expect) << "case " << i;
}

TEST(IAUDString, CopiesAndMeasures) {
  uint16_t buf[8];
  for (uint16_t& u : buf) u = 0xFFFF;
  EXPECT_EQ(IAUDCopyNumString(buf, Units(u"ab"), 4), 4);
  EXPECT_EQ(buf[0], 'a');
  EXPECT_EQ(buf[1], 'b');
  EXPECT_EQ(buf[2], 0);
  EXPECT_EQ(buf[3], 0);
  EXPECT_EQ(buf[4], 0xFFFF);  // nothing past the count

  EXPECT_EQ(IAUDCopyNumString(buf, Units(u"abcdef"), 3), 3);  // no terminator
  EXPECT_EQ(buf[2], 'c');
  EXPECT_EQ(buf[3], 0);  // left from before
  EXPECT_EQ(IAUDCopyNumString(buf, Units(u"x"), 0), 0);
  EXPECT_EQ(IAUDCopyNumString(buf, Units(u"x"), -2), 0);
  EXPECT_EQ(buf[0], 'a');

  EXPECT_EQ(IAUDCopyString(buf, Units(u"hello")), 5);
  EXPECT_EQ(Str(buf), u"hello");
  EXPECT_EQ(IAUDGetStringLength(buf), 5);
  EXPECT_EQ(IAUDGetStringLength(Units(u"")), 0);
}

TEST(IAUDString, ConvertsBetweenWidths) {
  uint16_t wide[4];
  EXPECT_EQ(IAUDCharStringToShortString("\xE9z", wide), 2);
  EXPECT_EQ(wide[0], 0x00E9);
  EXPECT_EQ(wide[1], 'z');
  EXPECT_EQ(wide[2], 0);
  char narrow[4];
  EXPECT_EQ(IAUDShortStringToCharString(Units(u"\u20ACa"), narrow), 2);
  EXPECT_EQ((uint8_t)narrow[0], 0xAC);
  EXPECT_EQ(narrow[1], 'a');
  EXPECT_EQ(narrow[2], 0);
}

}  // namespace
