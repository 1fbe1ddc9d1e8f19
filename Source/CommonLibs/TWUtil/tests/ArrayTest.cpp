#include <gtest/gtest.h>

#include <vector>

#include "TWUtil/Array.h"

namespace {

// Counts live instances and checks that each one is destroyed exactly once.
struct Counted {
  static int s_iLive;
  static int s_iConstructed;
  static int s_iDestroyed;
  static void Reset() { s_iLive = s_iConstructed = s_iDestroyed = 0; }

  Counted() : m_iValue(-1), m_pSelfCheck(this) { Born(); }
  explicit Counted(int v) : m_iValue(v), m_pSelfCheck(this) { Born(); }
  Counted(const Counted& o) : m_iValue(o.m_iValue), m_pSelfCheck(this) { Born(); }
  Counted& operator=(const Counted& o) {
    m_iValue = o.m_iValue;
    return *this;
  }
  ~Counted() {
    EXPECT_NE(0xDEAD, m_iValue) << "destroyed twice";
    m_iValue = 0xDEAD;
    --s_iLive;
    ++s_iDestroyed;
  }
  void Born() {
    ++s_iLive;
    ++s_iConstructed;
  }

  int m_iValue;
  // Points at wherever the element was constructed; elements are moved
  // bitwise, so this only tells that the constructor ran.
  void* m_pSelfCheck;
};
int Counted::s_iLive = 0;
int Counted::s_iConstructed = 0;
int Counted::s_iDestroyed = 0;

std::vector<int> Contents(const EArray<int>& a) {
  std::vector<int> v;
  for (int i = 0; i < a.Num(); ++i) v.push_back(a[i]);
  return v;
}

EArray<int>* MakeRange(EArray<int>& a, int n) {
  for (int i = 0; i < n; ++i) a.AddData(i);
  return &a;
}

TEST(ArrayGrowthTest, IncrementIsThreeEighthsPlusSixteen) {
  EXPECT_EQ(16u, EArrayBase::Increment(0));
  EXPECT_EQ(16u, EArrayBase::Increment(1));
  EXPECT_EQ(64u, EArrayBase::Increment(128));
  EXPECT_EQ(22u, EArrayBase::Increment(18));
}

TEST(ArrayGrowthTest, FirstAppendGivesSeventeenAndOverflowGivesForty) {
  EArray<int> a;
  EXPECT_EQ(0, a.Max());
  EXPECT_EQ(nullptr, a.GetData());
  a.AddData(0);
  EXPECT_EQ(17, a.Max());
  for (int i = 1; i < 17; ++i) a.AddData(i);
  EXPECT_EQ(17, a.Max());
  a.AddData(17);
  EXPECT_EQ(18, a.Num());
  EXPECT_EQ(40, a.Max());
  for (int i = 0; i < 18; ++i) EXPECT_EQ(i, a[i]);
}

TEST(ArrayGrowthTest, ExactAddAllocatesExactly) {
  EArray<int> a;
  a.Add(5, true);
  EXPECT_EQ(5, a.Max());
  a.Add(1, false);
  EXPECT_EQ(6 + 18, a.Max());
}

TEST(ArrayGrowthTest, RemovingTheLastElementFreesTheBlock) {
  EArray<int> a;
  a.AddData(1);
  a.Remove(0, 1);
  EXPECT_EQ(0, a.Num());
  EXPECT_EQ(0, a.Max());
  EXPECT_EQ(nullptr, a.GetData());
  a.AddData(1);
  a.RemoveSwap(0, 1);
  EXPECT_EQ(0, a.Max());
}

TEST(ArrayGrowthTest, ShrinksOnlyWhenSlackExceedsTwiceTheIncrement) {
  EArray<int> a;
  MakeRange(a, 100);  // capacity grows in steps; note where it ends
  int cap = a.Max();
  // Remove one at a time and check the rule at every step.
  while (a.Num() > 0) {
    int before = a.Max();
    a.Remove(a.Num() - 1, 1);
    unsigned n = unsigned(a.Num());
    if (n == 0 || unsigned(before) - n > 2 * EArrayBase::Increment(n))
      EXPECT_EQ(int(n), a.Max());
    else
      EXPECT_EQ(before, a.Max());
  }
  EXPECT_GT(cap, 100);
}

TEST(ArrayEditTest, InsertAndRemoveKeepOrder) {
  EArray<int> a;
  MakeRange(a, 10);
  a.InsertData(5, 100);
  EXPECT_EQ(4, a[4]);
  EXPECT_EQ(100, a[5]);
  EXPECT_EQ(5, a[6]);
  EXPECT_EQ(11, a.Num());
  a.Remove(5, 2);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 6, 7, 8, 9}), Contents(a));
}

TEST(ArrayEditTest, RemoveSwapFillsFromTheEnd) {
  struct Case {
    int count, index, n;
    std::vector<int> expected;
  } cases[] = {
      {3, 0, 1, {2, 1}},             // last element moves into the hole
      {3, 2, 1, {0, 1}},             // last element: plain removal
      {6, 1, 2, {0, 4, 5, 3}},       // two from the end fill the range
      {5, 1, 3, {0, 4}},             // fewer than n follow: plain removal
      {4, 1, 2, {0, 3}},             // one follows, n = 2: plain removal
  };
  for (const Case& c : cases) {
    EArray<int> a;
    MakeRange(a, c.count);
    a.RemoveSwap(c.index, c.n);
    EXPECT_EQ(c.expected, Contents(a)) << c.count << " " << c.index << " " << c.n;
  }
}

TEST(ArrayEditTest, AddingAnElementOfTheArrayItselfSurvivesGrowth) {
  EArray<Counted> a;
  Counted::Reset();
  for (int i = 0; i < 17; ++i) a.AddData(Counted(i));
  ASSERT_EQ(17, a.Max());
  a.AddData(a[3]);  // forces a reallocation while reading a[3]
  EXPECT_EQ(3, a[17].m_iValue);
  a.InsertData(0, a[10]);
  EXPECT_EQ(10, a[0].m_iValue);
  EXPECT_EQ(10, a[11].m_iValue);  // the source moved up by the insert
  a.Empty();
  EXPECT_EQ(0, Counted::s_iLive);
}

TEST(ArrayGrowToTest, CapacityRulesForPlainElements) {
  EArray<int> a;
  a.AddData(1);
  int c = a.Max();
  a.GrowTo(7);
  EXPECT_EQ(c, a.Max());
  EXPECT_EQ(7, a.Num());
  a.GrowTo(0);
  EXPECT_EQ(c, a.Max());
  EXPECT_EQ(0, a.Num());
  a.GrowTo(c - 1);
  EXPECT_EQ(c, a.Max());
  a.GrowTo(c + 1);
  EXPECT_GT(a.Max(), c + 1);
  int m = a.Max();
  a.GrowTo(m + 1, true);
  EXPECT_EQ(m + 1, a.Max());
  a.GrowTo(m + 1, true);  // same count, exact: nothing happens for int
  EXPECT_EQ(m + 1, a.Max());
  a.GrowTo(0, true);
  EXPECT_EQ(0, a.Max());
  a.GrowTo(5);
  a.Empty();
  EXPECT_EQ(0, a.Max());
}

TEST(ArrayGrowToTest, ByteAndDwordFormReallocatesWheneverExact) {
  EArray<unsigned int> a;
  a.GrowTo(10);
  EXPECT_EQ(10 + 19, a.Max());
  a.GrowTo(10, true);  // same count, exact: the block is trimmed
  EXPECT_EQ(10, a.Max());
  a.GrowTo(4, true);
  EXPECT_EQ(4, a.Max());
  EXPECT_EQ(4, a.Num());

  EArray<unsigned char> b;
  b.GrowTo(3, true);
  EXPECT_EQ(3, b.Max());
  b.GrowTo(2);
  EXPECT_EQ(3, b.Max());
  EXPECT_EQ(2, b.Num());
}

TEST(ArrayLifetimeTest, ClassElementsAreBuiltAndDestroyedOnce) {
  Counted::Reset();
  {
    EArray<Counted> a;
    a.Add(3);
    EXPECT_EQ(-1, a[0].m_iValue);
    a.AddData(Counted(7));
    a.Insert(1, 2);
    a.InsertData(0, Counted(9));
    EXPECT_EQ(7, Counted::s_iLive);
    a.Remove(2, 2);
    EXPECT_EQ(5, Counted::s_iLive);
    a.RemoveSwap(0, 1);
    EXPECT_EQ(4, Counted::s_iLive);
    a.GrowTo(10);
    EXPECT_EQ(10, Counted::s_iLive);
    a.GrowTo(6, true);
    EXPECT_EQ(6, Counted::s_iLive);
    EXPECT_EQ(6, a.Max());

    EArray<Counted> b;
    b = a;
    EXPECT_EQ(12, Counted::s_iLive);
    EArray<Counted>& same = b;
    b = same;
    EXPECT_EQ(12, Counted::s_iLive);
    EArray<Counted> c(a);
    EXPECT_EQ(18, Counted::s_iLive);
    c.Empty();
    EXPECT_EQ(12, Counted::s_iLive);

    new (a) Counted(42);
    int iAt = -1;
    new (a, &iAt) Counted(43);
    EXPECT_EQ(7, iAt);
    EXPECT_EQ(42, a[6].m_iValue);
    EXPECT_EQ(43, a[7].m_iValue);
  }
  EXPECT_EQ(0, Counted::s_iLive);
  EXPECT_EQ(Counted::s_iConstructed, Counted::s_iDestroyed);
}

TEST(ArrayCopyTest, ByteArrayCopyIsOneExactBlock) {
  EArray<char> a;
  for (int i = 0; i < 20; ++i) a.AddData(char('a' + i));
  EArray<char> b;
  b = a;
  EXPECT_EQ(20, b.Num());
  EXPECT_EQ(20, b.Max());
  EXPECT_EQ(0, memcmp(a.GetData(), b.GetData(), 20));
}

TEST(ArraySwapTest, SwapExchangesEverything) {
  EArray<int> a(kMEMTYPE_UI, true), b(kMEMTYPE_Mesh, false);
  a.AddData(1);
  b.Add(30, true);
  EArray<int>::Swap(a, b);
  EXPECT_EQ(30, a.Num());
  EXPECT_EQ(30, a.Max());
  EXPECT_EQ(kMEMTYPE_Mesh, a.GetMemType());
  EXPECT_FALSE(a.IsPooled());
  EXPECT_EQ(1, b.Num());
  EXPECT_EQ(1, b[0]);
  EXPECT_EQ(kMEMTYPE_UI, b.GetMemType());
  EXPECT_TRUE(b.IsPooled());
}

TEST(ArrayReleaseTest, ReleaseHandsOverTheBlock) {
  EArray<int> a(kMEMTYPE_File, false);
  MakeRange(a, 5);
  int* p = nullptr;
  int n = 0, m = 0;
  a.ReleaseData(p, n, m);
  EXPECT_EQ(5, n);
  EXPECT_EQ(17, m);
  EXPECT_EQ(4, p[4]);
  EXPECT_EQ(0, a.Num());
  EXPECT_EQ(0, a.Max());
  EXPECT_EQ(kMEMTYPE_File, a.GetMemType());
  free(p);
}

TEST(ArrayDeathTest, ReleasingAPooledArrayIsFatal) {
  EArray<int> a(kMEMTYPE_Mesh, true);
  a.AddData(1);
  int* p;
  int n, m;
  EXPECT_EXIT(a.ReleaseData(p, n, m), ::testing::ExitedWithCode(255), "! m_bPooled");
}

TEST(ArrayDeathTest, AllocationFailureIsFatal) {
  struct Big {
    char bytes[1 << 16];
  };
  EArray<Big> a;
  // 2^24 elements of 64 KB: a terabyte, which no allocator hands out.
  EXPECT_EXIT(a.Reserve(1 << 24), ::testing::ExitedWithCode(255), "pNewData != nullptr");
}

TEST(ArrayDeathTest, CountBeyondTwentySevenBitsIsFatal) {
  EArray<char> a;
  EXPECT_EXIT(a.Add(1 << 27), ::testing::ExitedWithCode(255), "uNew <= kMAX_COUNT");
}

TEST(ArrayIterTest, RemoveCurVisitsTheSwappedInElement) {
  EArray<int> a;
  MakeRange(a, 6);  // 0 1 2 3 4 5
  std::vector<int> seen;
  for (EArrayIter<int> it(a); it;) {
    seen.push_back(*it);
    if (*it % 2 == 0)
      it.remove_cur();
    else
      ++it;
  }
  // 0 removed -> 5 moves in; 2 removed -> 4 moves in; 4 removed -> 3 moves in.
  EXPECT_EQ((std::vector<int>{0, 5, 1, 2, 4, 3}), seen);
  EXPECT_EQ((std::vector<int>{5, 1, 3}), Contents(a));

  const EArray<int>& ca = a;
  int sum = 0;
  for (EArrayIter<const int> it(ca); it; ++it) sum += *it + it.index();
  EXPECT_EQ(5 + 1 + 3 + 0 + 1 + 2, sum);
}

TEST(ArrayIterTest, PointerIteratorGoesBothWays) {
  int x = 1, y = 2, z = 3;
  EArray<int*> a;
  a.AddData(&x);
  a.AddData(&y);
  a.AddData(&z);
  EArrayPtrIter<int> it(a);
  ++it;
  ++it;
  EXPECT_EQ(&z, *it);
  --it;
  EXPECT_EQ(&y, *it);
  it.remove_cur();
  EXPECT_EQ(&z, *it);
}

}  // namespace
