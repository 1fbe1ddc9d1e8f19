#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "TWUtil/HandleAllocator.h"

namespace {

struct Dummy {
  Dummy() : value(0) { ++sm_alive; }
  explicit Dummy(uint16_t v) : value(v) { ++sm_alive; }
  ~Dummy() { --sm_alive; }
  uint16_t value;
  static int sm_alive;
};
int Dummy::sm_alive = 0;

struct Wide {
  Wide() : value(0) { ++sm_alive; }
  ~Wide() { --sm_alive; }
  int value;
  static int sm_alive;
};
int Wide::sm_alive = 0;

typedef EHandleAllocator<Dummy, uint16_t, uint32_t> Alloc1632;
typedef EHandleAllocatorIter<Dummy, uint16_t, uint32_t> Iter1632;
typedef EHandleAllocator<Dummy, uint16_t, uint16_t> Alloc1616;
typedef EHandleAllocator<Wide, uint32_t, uint32_t, 2> Alloc3232;

class HandleAllocatorTest : public ::testing::Test {
protected:
  void SetUp() override { Dummy::sm_alive = Wide::sm_alive = 0; }
};

TEST_F(HandleAllocatorTest, DeletedHandlesTurnInvalidAndIteratorSkipsThem) {
  Alloc1632 a(kMEMTYPE_Trigger);
  std::vector<uint32_t> h(10);
  for (int i = 0; i < 10; ++i) {
    Dummy* d = new (a, h[i]) Dummy((uint16_t)i);
    EXPECT_EQ(d, a.Get(h[i]));
  }
  EXPECT_EQ((0x4000u << 16) | 0u, h[0]);  // serials start at 0x4000
  for (int i = 0; i < 10; ++i) {
    EXPECT_TRUE(a.IsValid(h[i]));
    EXPECT_EQ(i, a.Get(h[i])->value);
    EXPECT_EQ(h[i], a.ToHandle(a.Get(h[i])));
  }
  EXPECT_EQ(10, a.Num());
  EXPECT_EQ(10, Dummy::sm_alive);
  Dummy outside;
  EXPECT_EQ(Alloc1632::kInvalidHandle, a.ToHandle(&outside));
  const char* inside = reinterpret_cast<const char*>(a.Get(h[1])) + 1;
  EXPECT_EQ(Alloc1632::kInvalidHandle, a.ToHandle(reinterpret_cast<const Dummy*>(inside)));

  for (int i : {0, 3, 6, 9}) {
    Dummy* d = a.Get(h[i]);
    a.Delete(h[i]);
    EXPECT_FALSE(a.IsValid(h[i]));
    EXPECT_EQ(Alloc1632::kInvalidHandle, a.ToHandle(d));
  }
  EXPECT_EQ(6, a.Num());
  EXPECT_EQ(7, Dummy::sm_alive);  // with the one outside

  std::set<int> seen;
  for (Iter1632 it(a); it; ++it) {
    EXPECT_TRUE(a.IsValid(it.handle()));
    seen.insert(it->value);
  }
  EXPECT_EQ((std::set<int>{1, 2, 4, 5, 7, 8}), seen);

  for (Iter1632 it(a); it;) it.delete_cur();
  EXPECT_EQ(0, a.Num());
  EXPECT_EQ(1, Dummy::sm_alive);
  EXPECT_FALSE(Iter1632(a));
}

TEST_F(HandleAllocatorTest, FreedSlotsAreReusedLastInFirstOut) {
  Alloc1632 a;
  uint32_t h[8];
  for (uint32_t& x : h) x = a.New();
  a.Delete(h[3]);
  a.Delete(h[6]);
  uint32_t n1 = a.New(), n2 = a.New(), n3 = a.New();
  EXPECT_EQ(6u, n1 & 0x7FFF);
  EXPECT_EQ(3u, n2 & 0x7FFF);
  EXPECT_EQ(8u, n3 & 0x7FFF);
  // Same slots, other serials: the old handles stay dead.
  EXPECT_FALSE(a.IsValid(h[3]));
  EXPECT_FALSE(a.IsValid(h[6]));
  EXPECT_TRUE(a.IsValid(n1));
  EXPECT_EQ(Dummy::sm_alive, (int)a.Num());
  a.DeleteAll();
  EXPECT_EQ(0, Dummy::sm_alive);
}

TEST_F(HandleAllocatorTest, IndexHandlesRejectFreedSlots) {
  Alloc1616 a;
  uint16_t h0 = a.New(), h1 = a.New();
  EXPECT_EQ(0, h0);
  EXPECT_EQ(1, h1);
  a.Delete(h0);
  EXPECT_FALSE(a.IsValid(h0));
  EXPECT_TRUE(a.IsValid(h1));
  EXPECT_FALSE(a.IsValid(2));  // beyond the slots
  EXPECT_EQ(0xFFFF, a.ToHandle(a.Get(h0)));
  a.DeleteAll();

  Alloc3232 w(kMEMTYPE_String);
  uint32_t handles[40];
  for (uint32_t& x : handles) x = w.New();
  EXPECT_EQ(39u, handles[39]);
  w.Delete(handles[17]);
  EXPECT_FALSE(w.IsValid(handles[17]));
  EXPECT_TRUE(w.IsValid(handles[18]));
  EXPECT_EQ(17u, w.New());
  EXPECT_EQ(kMEMTYPE_String, w.GetMemType());
  w.DeleteAll();
  EXPECT_EQ(0, Wide::sm_alive);
}

TEST_F(HandleAllocatorTest, DeallocateAllKeepsTheSerialRunning) {
  Alloc1632 a;
  uint32_t before = a.New();
  a.DeleteAll();
  EXPECT_EQ(0, a.NumSlots());
  EXPECT_FALSE(a.IsValid(before));
  uint32_t after = a.New();
  EXPECT_EQ(before & 0x7FFF, after & 0x7FFF);
  EXPECT_NE(before, after);
  EXPECT_FALSE(a.IsValid(before));
  a.DeleteAll();
}

TEST(HandleAllocatorDeathTest, MisuseIsFatal) {
  EXPECT_EXIT(
      {
        Alloc1632 a;
        uint32_t h = a.New();
        a.Delete(h);
        a.Delete(h);
      },
      ::testing::ExitedWithCode(255), "IsValid\\(h\\)");
  EXPECT_EXIT(
      {
        Alloc1616 a;
        for (int i = 0; i <= 0x7FFF; ++i) a.New();
      },
      ::testing::ExitedWithCode(255), "Exceeded hard array limit");
}

struct Linked {
  Linked() : v(0) { ++sm_alive; }
  ~Linked() { --sm_alive; }
  int v;
  static int sm_alive;
};
int Linked::sm_alive = 0;

TEST(SimpleAllocatorTest, IndicesAreReusedLastInFirstOut) {
  Linked::sm_alive = 0;
  {
    ESimpleAllocator<Linked> a(kMEMTYPE_Collision);
    int idx[5];
    for (int i = 0; i < 5; ++i) {
      Linked* p = new (a, &idx[i]) Linked;
      p->v = i;
      EXPECT_EQ(i, idx[i]);
    }
    a.Delete(1);
    a.Delete(3);
    EXPECT_FALSE(a.IsUsed(1));
    EXPECT_EQ(3, Linked::sm_alive);
    int i1, i2, i3;
    new (a, &i1) Linked;
    new (a, &i2) Linked;
    new (a, nullptr) Linked;
    new (a, &i3) Linked;
    EXPECT_EQ(3, i1);
    EXPECT_EQ(1, i2);
    EXPECT_EQ(6, i3);
    EXPECT_EQ(7, a.Num());
    EXPECT_EQ(4, a[4].v);
    for (int i = 0; i < a.Num(); ++i) a.Delete(i);
    EXPECT_EQ(0, Linked::sm_alive);
    EXPECT_EQ(7, a.Num());  // the array never shrinks
  }
  EXPECT_EQ(0, Linked::sm_alive);
}

TEST(SimpleAllocatorTest, ReserveRaisesCapacityOnly) {
  ESimpleAllocator<Linked> a;
  a.Reserve(100);
  int idx;
  for (int i = 0; i < 100; ++i) new (a, &idx) Linked;
  Linked* first = &a[0];
  a.Reserve(10);
  EXPECT_EQ(first, &a[0]);  // nothing moved
  for (int i = 0; i < 100; ++i) a.Delete(i);
}

TEST(SimpleAllocatorDeathTest, DeletingAFreeOrNegativeIndexIsFatal) {
  EXPECT_EXIT(
      {
        ESimpleAllocator<Linked> a;
        int idx;
        new (a, &idx) Linked;
        new (a, &idx) Linked;
        a.Delete(0);
        a.Delete(0);
      },
      ::testing::ExitedWithCode(255), "Link\\(idx\\) == kLive");
  EXPECT_EXIT(
      {
        ESimpleAllocator<Linked> a;
        a.Delete(-1);
      },
      ::testing::ExitedWithCode(255), "idx >= 0");
}

struct Block {
  Block() { ++sm_alive; }
  ~Block() { --sm_alive; }
  char bytes[56];
  static int sm_alive;
};
int Block::sm_alive = 0;

TEST(VirtualAllocatorTest, HandsOutUntilTheStackIsFullThenReusesReleasedObjects) {
  Block::sm_alive = 0;
  // A memory stack keeps its block for the life of the process, so the
  // allocator stays reachable here as it would in the program.
  static EVirtualAllocator<Block>& a = *new EVirtualAllocator<Block>(50);  // 2,800 bytes: 4,096, 73 blocks
  std::vector<Block*> blocks;
  for (;;) {
    Block* b = new (a) Block;
    if (!b) break;
    blocks.push_back(b);
  }
  EXPECT_EQ(73u, blocks.size());
  EXPECT_EQ(73, Block::sm_alive);
  Block* victim = blocks[10];
  a.Delete(victim);
  EXPECT_EQ(72, Block::sm_alive);
  EXPECT_EQ(victim, new (a) Block);
  EXPECT_EQ(nullptr, new (a) Block);
  for (Block* b : blocks) a.Delete(b);
  EXPECT_EQ(0, Block::sm_alive);
}

TEST(VirtualAllocatorDeathTest, ForeignPointerIsFatal) {
  EXPECT_EXIT(
      {
        EVirtualAllocator<Block> a(4);
        Block outside;
        new (a) Block;
        a.Delete(&outside);
      },
      ::testing::ExitedWithCode(255), "m_pBase\\+m_iUsed");
}

}  // namespace
