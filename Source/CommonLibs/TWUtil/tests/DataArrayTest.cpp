#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TWUtil/DataArray.h"

namespace {

struct Counted : EDataElement {
  Counted() : a(0), b(1) { ++sm_alive; }
  ~Counted() { --sm_alive; }
  int a;
  int b;
  static int sm_alive;
};
int Counted::sm_alive = 0;

typedef EDataArray<Counted> Pool;

class DataArrayTest : public ::testing::Test {
protected:
  void SetUp() override { Counted::sm_alive = 0; }
  void TearDown() override { EXPECT_EQ(0, Counted::sm_alive); }
};

unsigned SerialOf(EDataId id) { return id >> 16; }

TEST_F(DataArrayTest, NameIsCutToElevenCharacters) {
  Pool p("abcdefghijklmnop", 4, 0, kMEMTYPE_Misc);
  EXPECT_STREQ("abcdefghijk", p.GetName());
  EXPECT_EQ(-1, p.GetHighestUsed());
  EXPECT_EQ(0x8000, p.GetNextSerial());
}

TEST_F(DataArrayTest, GrowablePoolDoublesAndEveryIdFindsItsElement) {
  Pool p("test", 1, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
  std::vector<EDataId> ids;
  for (int i = 0; i < 10; ++i) {
    EDataId id = p.ElementNew();
    ASSERT_NE(0u, id);
    EXPECT_EQ(i, Pool::GetIndexFromDataId(id));
    EXPECT_EQ(0x8000u + i, SerialOf(id));
    p.ElementGet(id)->a = i * 7;
    ids.push_back(id);
  }
  EXPECT_EQ(16, p.GetAllocCount());
  EXPECT_EQ(10, p.GetNumUsed());
  EXPECT_EQ(9, p.GetHighestUsed());
  EXPECT_EQ(10, Counted::sm_alive);
  for (int i = 0; i < 10; ++i) {
    Counted* c = p.ElementTryToGet(ids[i]);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(i * 7, c->a);  // contents survived the moves
    EXPECT_EQ(1, c->b);
    EXPECT_EQ(ids[i], c->m_id);
  }
}

TEST_F(DataArrayTest, IdsWithoutSerialNameNothing) {
  Pool p("test", 8, 0, kMEMTYPE_Misc);
  for (int i = 0; i < 4; ++i) p.ElementNew();
  // Slot 2 is live, yet ids without a serial of 0x8000 or more never match.
  for (EDataId id : {0u, 2u, 0x00010002u, 0x7FFF0002u}) EXPECT_EQ(nullptr, p.ElementTryToGet(id)) << std::hex << id;
  EXPECT_NE(nullptr, p.ElementTryToGet(Pool::buildDataId(0x8002, 2)));
}

TEST_F(DataArrayTest, DeletedIdYieldsNullAndSlotIsReusedWithNewSerial) {
  Pool p("test", 8, 0, kMEMTYPE_Misc);
  EDataId ids[5];
  for (EDataId& id : ids) id = p.ElementNew();
  p.ElementDeleteByID(ids[1]);
  EXPECT_EQ(nullptr, p.ElementTryToGet(ids[1]));
  EXPECT_EQ(4, p.GetNumUsed());
  p.ElementDeleteByID(ids[1]);  // stale: nothing happens
  EXPECT_EQ(4, p.GetNumUsed());

  EDataId again = p.ElementNew();
  EXPECT_EQ(1, Pool::GetIndexFromDataId(again));
  EXPECT_NE(ids[1], again);
  EXPECT_EQ(nullptr, p.ElementTryToGet(ids[1]));
  EXPECT_NE(nullptr, p.ElementTryToGet(again));
  // The next new element continues after the reused slot.
  EXPECT_EQ(5, Pool::GetIndexFromDataId(p.ElementNew()));
}

TEST_F(DataArrayTest, FixedPoolReturnsZeroWhenFull) {
  Pool p("fixed", 3, 0, kMEMTYPE_Misc);
  for (int i = 0; i < 3; ++i) EXPECT_NE(0u, p.ElementNew());
  EXPECT_EQ(0u, p.ElementNew());
  EXPECT_EQ(3, p.GetAllocCount());
  EXPECT_EQ(3, p.GetNumUsed());
}

TEST_F(DataArrayTest, SerialWrapsFromFFFFBackTo8000) {
  Pool p("wrap", 1, 0, kMEMTYPE_Misc);
  EDataId first = 0, last = 0;
  for (int i = 0; i < 0x8000; ++i) {
    EDataId id = p.ElementNew();
    if (i == 0) first = id;
    last = id;
    p.ElementDeleteByID(id);
  }
  EXPECT_EQ(0x8000u, SerialOf(first));
  EXPECT_EQ(0xFFFFu, SerialOf(last));
  EXPECT_EQ(0x8000u, SerialOf(p.ElementNew()));  // the 32,769th
  p.DeleteAll();
}

TEST_F(DataArrayTest, DeletingHighestSlotLowersHighestPastFreeSlots) {
  Pool p("test", 8, 0, kMEMTYPE_Misc);
  EDataId ids[6];
  for (EDataId& id : ids) id = p.ElementNew();
  p.ElementDeleteByID(ids[3]);
  p.ElementDeleteByID(ids[4]);
  EXPECT_EQ(5, p.GetHighestUsed());
  p.ElementDeleteByID(ids[5]);
  EXPECT_EQ(2, p.GetHighestUsed());
  p.ElementDeleteByID(ids[0]);
  p.ElementDeleteByID(ids[1]);
  p.ElementDeleteByID(ids[2]);
  EXPECT_EQ(-1, p.GetHighestUsed());
  EXPECT_EQ(0, p.GetNumUsed());
}

TEST_F(DataArrayTest, DeleteAllKeepsSerialsRunningSoOldIdsStayDead) {
  Pool p("test", 4, 0, kMEMTYPE_Misc);
  EDataId before[3];
  for (EDataId& id : before) id = p.ElementNew();
  p.DeleteAll();
  EXPECT_EQ(0, Counted::sm_alive);
  EXPECT_EQ(0, p.GetNumUsed());
  EXPECT_EQ(-1, p.GetHighestUsed());
  for (int i = 0; i < 3; ++i) {
    EDataId id = p.ElementNew();
    EXPECT_EQ(i, Pool::GetIndexFromDataId(id));
    EXPECT_NE(before[i], id);
  }
  for (EDataId id : before) EXPECT_EQ(nullptr, p.ElementTryToGet(id));
}

TEST_F(DataArrayTest, ResizeShrinksOnlyAboveLiveSlots) {
  Pool p("test", 1, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
  EDataId ids[10];
  for (EDataId& id : ids) id = p.ElementNew();
  p.ElementDeleteByID(ids[5]);

  EXPECT_TRUE(p.Resize(0, false));
  EXPECT_EQ(10, p.GetAllocCount());
  EXPECT_EQ(9, p.GetHighestUsed());

  testing::internal::CaptureStderr();
  EXPECT_FALSE(p.Resize(3, false));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(std::string::npos,
            err.find("Couldn't resize array to 3; out-of-bounds elements are still in use: test, 9"))
      << err;
  EXPECT_EQ(10, p.GetAllocCount());

  EXPECT_TRUE(p.Resize(60, false));
  EXPECT_EQ(60, p.GetAllocCount());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(i != 5, p.ElementTryToGet(ids[i]) != nullptr) << i;
  EXPECT_EQ(5, Pool::GetIndexFromDataId(p.ElementNew()));
}

TEST_F(DataArrayTest, FixedPoolResizesOnlyWhenForced) {
  Pool p("fixed", 4, 0, kMEMTYPE_Misc);
  p.ElementNew();
  EXPECT_TRUE(p.Resize(8, false));
  EXPECT_EQ(4, p.GetAllocCount());
  EXPECT_TRUE(p.Resize(8, true));
  EXPECT_EQ(8, p.GetAllocCount());
  EXPECT_TRUE(p.RestoreSize(true));
  EXPECT_EQ(4, p.GetAllocCount());
  EXPECT_TRUE(p.Resize(0, true));  // empty above slot 0: one slot left
  EXPECT_EQ(1, p.GetAllocCount());
}

TEST_F(DataArrayTest, StaleIdBeyondShrunkPoolYieldsNull) {
  Pool p("level", 2, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
  std::vector<EDataId> ids;
  for (int i = 0; i < 20; ++i) ids.push_back(p.ElementNew());
  EXPECT_EQ(32, p.GetAllocCount());
  p.DeleteAll();
  ASSERT_TRUE(p.RestoreSize(false));
  EXPECT_EQ(2, p.GetAllocCount());
  for (EDataId id : ids) EXPECT_EQ(nullptr, p.ElementTryToGet(id));
  p.ElementDeleteByID(ids[19]);  // harmless
  // The pool still works after shrinking and can grow again.
  for (int i = 0; i < 5; ++i) EXPECT_NE(nullptr, p.ElementGet(p.ElementNew()));
  for (EDataId id : ids) EXPECT_EQ(nullptr, p.ElementTryToGet(id));
}

TEST_F(DataArrayTest, DestructorDestroysEachLiveElementOnce) {
  {
    Pool p("test", 2, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
    EDataId ids[7];
    for (EDataId& id : ids) id = p.ElementNew();
    p.ElementDeleteByID(ids[2]);
    p.ElementDeleteByID(ids[6]);
    EXPECT_EQ(5, Counted::sm_alive);
  }
  EXPECT_EQ(0, Counted::sm_alive);
}

TEST_F(DataArrayTest, GrowthStopsAtSixteenBitSlotLimit) {
  struct Small : EDataElement {};
  EDataArray<Small> p("big", 0x8000, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
  std::vector<EDataId> ids;
  for (int i = 0; i < 0x10000; ++i) ids.push_back(p.ElementNew());
  EXPECT_EQ(0x10000, p.GetAllocCount());
  EXPECT_EQ(0u, p.ElementNew());  // slot 65536 would alias slot 0
  EXPECT_EQ(0x10000, p.GetAllocCount());
  for (int i : {0, 1, 0x7FFF, 0xFFFF}) {
    Small* s = p.ElementTryToGet(ids[i]);
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(s, &p[i]);
  }
}

bool ByValueDescending(Counted* a, Counted* b) { return a->a < b->a; }

TEST_F(DataArrayTest, SortIndexArrayOrdersIdsByElement) {
  for (int n : {0, 1, 5, 13, 14, 41, 200, 3000}) {
    Pool p("sort", 16, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
    std::vector<EDataId> ids;
    ids.reserve(1);
    unsigned seed = 12345u + n;
    for (int i = 0; i < n; ++i) {
      EDataId id = p.ElementNew();
      seed = seed * 1103515245u + 12345u;
      p.ElementGet(id)->a = (int)((seed >> 8) % 97);
      ids.push_back(id);
    }
    std::vector<EDataId> sorted = ids;
    sorted.reserve(1);
    p.SortIndexArray(sorted.data(), n, ByValueDescending);
    std::vector<EDataId> a = ids, b = sorted;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b) << "n=" << n;  // a permutation of the input
    for (int i = 1; i < n; ++i)
      ASSERT_GE(p.ElementGet(sorted[i - 1])->a, p.ElementGet(sorted[i])->a) << "n=" << n << " i=" << i;
  }
}

TEST_F(DataArrayTest, GatherSortedIdsTakesTheLiveRecordsAndGrowsItsList) {
  Pool p("gather", 4, kDATAARRAY_GROWABLE, kMEMTYPE_Misc);
  EDataId* list = nullptr;
  int capacity = 0;
  EXPECT_EQ(0, p.GatherSortedIds(&list, &capacity, ByValueDescending));
  std::vector<EDataId> ids;
  for (int v : {3, 9, 1, 7, 5, 8}) {  // grows the pool past its first 4 slots
    ids.push_back(p.ElementNew());
    p.ElementGet(ids.back())->a = v;
  }
  p.ElementDeleteByID(ids[1]);  // the 9 leaves
  ASSERT_EQ(5, p.GatherSortedIds(&list, &capacity, ByValueDescending));
  EXPECT_EQ(p.GetAllocCount(), capacity);
  const int expected[] = {8, 7, 5, 3, 1};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(expected[i], p.ElementGet(list[i])->a) << i;
  free(list);
}

TEST(DataArraySortGap, FollowsTheGapLadder) {
  struct Case { int n, gap; } cases[] = {
    {0, 1}, {13, 1}, {14, 1}, {40, 1}, {41, 4}, {121, 4}, {122, 13}, {29524, 1093}, {29525, 3280}, {1000000, 3280},
  };
  for (const Case& c : cases) EXPECT_EQ(c.gap, DataArrayDetail::FirstSortGap(c.n)) << c.n;
}

TEST(DataArrayDeathTest, MisuseIsFatal) {
  EXPECT_EXIT(Pool("bad", 0, 0, kMEMTYPE_Misc), ::testing::ExitedWithCode(255), "iAllocCount > 0");
  EXPECT_EXIT(
      {
        Pool p("p", 4, 0, kMEMTYPE_Misc);
        p.ElementTryToGet(Pool::buildDataId(0x8000, 4));
      },
      ::testing::ExitedWithCode(255), "iIndex >= 0 && iIndex < m_iCurAllocCount");
  EXPECT_EXIT(
      {
        Pool p("p", 4, 0, kMEMTYPE_Misc);
        Counted* c = p.ElementGet(p.ElementNew());
        p.ElementDelete(c);
        p.ElementDelete(c);
      },
      ::testing::ExitedWithCode(255), "pElement->m_id");
  EXPECT_EXIT(
      {
        Pool p("p", 4, 0, kMEMTYPE_Misc);
        p.SortIndexArray(nullptr, 3, ByValueDescending);
      },
      ::testing::ExitedWithCode(255), "pidIndexArray && pfnDataCompare");
}

}  // namespace
