#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "TWUtil/Heap.h"

namespace {

struct Counter {
  Counter() : value(0) { ++sm_alive; }
  explicit Counter(int v) : value(v) { ++sm_alive; }
  Counter(const Counter& o) : value(o.value) { ++sm_alive; }
  Counter& operator=(const Counter& o) = default;
  ~Counter() { --sm_alive; }
  int value;
  static int sm_alive;
  static bool IsLessThan(const Counter& a, const Counter& b, void*) { return a.value < b.value; }
};
int Counter::sm_alive = 0;

class HeapTest : public ::testing::Test {
protected:
  HeapTest() : heap(Counter::IsLessThan) {}
  void SetUp() override {
    Counter::sm_alive = 0;
    seed = 99;
  }
  void TearDown() override {
    heap.Empty();
    EXPECT_EQ(0, Counter::sm_alive);
  }
  int Rand() {
    seed = seed * 1103515245u + 12345u;
    return (int)((seed >> 8) & 0xFFFF);
  }
  void PopAllInOrder() {
    int last = -1;
    while (heap.Num() > 0) {
      Counter c = heap.HeapPop();
      ASSERT_GE(c.value, last);
      last = c.value;
    }
  }
  EHeap<Counter> heap;
  unsigned seed;
};

TEST_F(HeapTest, PushThenPopGivesNonDecreasingOrder) {
  for (int i = 0; i < 500; ++i) heap.HeapPush(Counter(Rand()));
  heap.HeapVerify();
  EXPECT_EQ(500, Counter::sm_alive);
  PopAllInOrder();
  EXPECT_EQ(0, Counter::sm_alive);
}

TEST_F(HeapTest, RandomRemovalsKeepTheOrder) {
  for (int i = 0; i < 500; ++i) heap.HeapPush(Counter(Rand()));
  for (int i = 0; i < 100; ++i) {
    heap.HeapRemove(Rand() % heap.Num());
    heap.HeapVerify();
  }
  EXPECT_EQ(400, heap.Num());
  EXPECT_EQ(400, Counter::sm_alive);
  heap.HeapRemove(heap.Num() - 1);  // the last element is simply dropped
  heap.HeapVerify();
  PopAllInOrder();
}

TEST_F(HeapTest, BuildFromUnsortedArray) {
  for (int i = 0; i < 500; ++i) heap.AddData(Counter(Rand()));
  heap.HeapBuild();
  heap.HeapVerify();
  EXPECT_EQ(500, Counter::sm_alive);
  PopAllInOrder();
}

TEST_F(HeapTest, FixupAfterChangingAKeyInPlace) {
  for (int i = 0; i < 500; ++i) heap.AddData(Counter(Rand()));
  heap.HeapBuild();
  for (int i = 0; i < 10000; ++i) {
    int at = Rand() % heap.Num();
    heap[at].value = Rand();
    heap.HeapFixup(at);
    if (i % 97 == 0) heap.HeapVerify();
  }
  heap.HeapVerify();
  EXPECT_EQ(500, Counter::sm_alive);
  PopAllInOrder();
}

TEST_F(HeapTest, SmallHeaps) {
  heap.HeapBuild();
  heap.HeapVerify();
  heap.HeapPush(Counter(5));
  heap.HeapBuild();
  EXPECT_EQ(5, heap.HeapPop().value);
  EXPECT_EQ(0, heap.Num());
  heap.HeapPush(Counter(2));
  heap.HeapPush(Counter(1));
  heap.HeapPush(Counter(1));
  EXPECT_EQ(1, heap.HeapPop().value);
  EXPECT_EQ(1, heap.HeapPop().value);
  EXPECT_EQ(2, heap.HeapPop().value);
}

bool IntLess(const int& a, const int& b, void*) { return a < b; }

TEST(HeapDeathTest, VerifyCatchesABrokenHeap) {
  EXPECT_EXIT(
      {
        EHeap<int> h(IntLess);
        for (int i = 0; i < 10; ++i) h.HeapPush(i);
        h.HeapVerify();
        h[8] = -1;  // a leaf now less than its parent
        h.HeapVerify();
      },
      ::testing::ExitedWithCode(255), "m_fnLessThan\\(this->m_Data\\[iChild\\], this->m_Data\\[i\\], this\\)");
}

}  // namespace
