#include <gtest/gtest.h>

#include <vector>

#include "TWUtil/EStaticList.h"
#include "TWUtil/List.h"

namespace {

std::vector<int> Forward(EList<int>& list) {
  std::vector<int> v;
  for (POSITION pos = list.GetHeadPosition(); pos;) v.push_back(list.GetNext(pos));
  return v;
}
std::vector<int> Backward(EList<int>& list) {
  std::vector<int> v;
  for (POSITION pos = list.GetTailPosition(); pos;) v.push_back(list.GetPrev(pos));
  return v;
}

TEST(EListTest, NodeBlocksComeAndGoWithTheElements) {
  EList<int> list;
  EXPECT_EQ(0, list.GetNumBlocks());
  for (int i = 0; i < 10; ++i) list.AddTail(i);
  EXPECT_EQ(1, list.GetNumBlocks());
  list.AddTail(10);
  EXPECT_EQ(2, list.GetNumBlocks());
  EXPECT_EQ(11, list.GetCount());
  while (!list.IsEmpty()) list.RemoveHead();
  EXPECT_EQ(0, list.GetNumBlocks());
  EXPECT_EQ(nullptr, list.GetHeadPosition());
  EXPECT_EQ(nullptr, list.GetTailPosition());
  // Reusable after being emptied.
  list.AddHead(5);
  EXPECT_EQ(1, list.GetNumBlocks());
  list.RemoveAll();
  EXPECT_EQ(0, list.GetNumBlocks());
  EXPECT_EQ(0, list.GetCount());
}

TEST(EListTest, LinksStayConsistentBothWays) {
  EList<int> list;
  list.AddTail(2);
  list.AddHead(1);
  list.AddTail(4);
  POSITION p4 = list.Find(4);
  list.InsertBefore(p4, 3);
  list.InsertBefore(nullptr, 0);  // null position: at the head
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), Forward(list));
  EXPECT_EQ((std::vector<int>{4, 3, 2, 1, 0}), Backward(list));
  EXPECT_EQ(0, list.GetHead());
  EXPECT_EQ(4, list.GetTail());

  list.RemoveAt(list.Find(2));
  list.RemoveAt(list.GetHeadPosition());
  list.RemoveAt(list.GetTailPosition());
  EXPECT_EQ((std::vector<int>{1, 3}), Forward(list));
  EXPECT_EQ((std::vector<int>{3, 1}), Backward(list));
  EXPECT_EQ(3, list.RemoveTail());
  EXPECT_EQ(1, list.RemoveHead());
  EXPECT_TRUE(list.IsEmpty());
}

TEST(EListTest, SearchesByIndexAndValue) {
  EList<int> list;
  for (int v : {7, 8, 7, 9}) list.AddTail(v);
  EXPECT_EQ(nullptr, list.FindIndex(4));
  EXPECT_EQ(9, list.GetAt(list.FindIndex(3)));
  EXPECT_EQ(list.GetHeadPosition(), list.FindIndex(0));
  POSITION first = list.Find(7);
  EXPECT_EQ(list.GetHeadPosition(), first);
  POSITION second = list.Find(7, first);  // skips the start node itself
  EXPECT_EQ(list.FindIndex(2), second);
  EXPECT_EQ(nullptr, list.Find(7, second));
  EXPECT_EQ(nullptr, list.Find(42));
}

TEST(EListTest, SortIsStableAndKeepsNodes) {
  struct Item {
    int key;
    int order;
  };
  Item items[] = {{3, 0}, {1, 1}, {3, 2}, {2, 3}, {1, 4}};
  EList<Item*> list;
  for (Item& it : items) list.AddTail(&it);
  POSITION head = list.GetHeadPosition();
  list.Sort([](Item* a, Item* b) { return a->key > b->key ? 1 : (a->key < b->key ? -1 : 0); });
  EXPECT_EQ(head, list.GetHeadPosition());
  std::vector<int> order;
  for (POSITION pos = list.GetHeadPosition(); pos;) order.push_back(list.GetNext(pos)->order);
  EXPECT_EQ((std::vector<int>{1, 4, 3, 0, 2}), order);

  // The untyped form; -1 and 0 leave pairs alone.
  EList<int> ints;
  for (int v : {2, 1, 3}) ints.AddTail(v);
  ints.EListBase::Sort([](void*, void*) { return -1; });
  EXPECT_EQ((std::vector<int>{2, 1, 3}), Forward(ints));
}

TEST(EListTest, IteratorsRemoveAndInsertWhileWalking) {
  EList<int> list;
  for (int i = 0; i < 6; ++i) list.AddTail(i);
  for (EListIter_<int> it(list); it;) {
    if (*it % 2)
      it.RemoveAndNext();
    else
      ++it;
  }
  EXPECT_EQ((std::vector<int>{0, 2, 4}), Forward(list));
  {
    EListIter<int> it(list, kLISTITER_Tail);
    it.InsertBefore(3);
    it.RemoveAndPrev();
    EXPECT_EQ(3, *it);
  }
  EXPECT_EQ((std::vector<int>{0, 2, 3}), Forward(list));
  EListIter_<int> it(list);
  while (it) it.RemoveAndNext();
  EXPECT_FALSE(it);
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_EQ(0, list.GetNumBlocks());
}

struct Thing {
  int value;
};

TEST(EListTest, TypedPointerListsAndArrowAccess) {
  Thing a{1}, b{2};
  ETypedPtrList<false, Thing*> list;
  list.AddTail(&a);
  list.AddTail(&b);
  int sum = 0;
  for (EListIter_<Thing*> it(list); it; ++it) sum += it->value;
  EXPECT_EQ(3, sum);
  list.RemoveAll();
  EXPECT_EQ(1, a.value);  // elements are not owned
}

TEST(EListDeathTest, RemovingFromAnEmptyListIsFatal) {
  EList<int> list;
  EXPECT_EXIT(list.RemoveHead(), ::testing::ExitedWithCode(255), "m_pNodeHead != nullptr");
  EXPECT_EXIT(list.RemoveTail(), ::testing::ExitedWithCode(255), "m_pNodeTail != nullptr");
  EXPECT_EXIT(list.GetHead(), ::testing::ExitedWithCode(255), "m_pNodeHead != nullptr");
}

TEST(EStaticListTest, FixedCapacityNewestFirst) {
  EStaticList<unsigned int> list(kMEMTYPE_File, 2);
  EXPECT_EQ(2u, list.maxcount());
  EXPECT_TRUE(list.add(10));
  EXPECT_TRUE(list.add(20));
  EXPECT_FALSE(list.add(30));
  EXPECT_EQ(0u, list.free());
  EXPECT_TRUE(list.remove(10));
  EXPECT_FALSE(list.remove(10));
  EXPECT_TRUE(list.add(30));
  std::vector<unsigned> seen;
  for (EStaticListIter<unsigned int> it(list); !it.isDone(); it.next()) seen.push_back(it.item());
  EXPECT_EQ((std::vector<unsigned>{30, 20}), seen);

  // Removing the current member after moving on keeps the walk valid.
  EStaticListIter<unsigned int> it(list);
  unsigned current = it.item();
  it.next();
  list.remove(current);
  EXPECT_EQ(20u, it.item());
  it.next();
  EXPECT_TRUE(it.isDone());
  it.next();  // nothing when done
  it.reset();
  EXPECT_EQ(30u, it.item());  // back to the start node

  list.purge();
  EXPECT_EQ(0u, list.count());
  EXPECT_EQ(2u, list.free());
  EXPECT_EQ(nullptr, list.head());
  EXPECT_FALSE(list.remove(20));
  list.init(kMEMTYPE_File, 3);
  EXPECT_EQ(3u, list.free());
  for (unsigned v : {1u, 2u, 3u}) EXPECT_TRUE(list.add(v));
  EXPECT_FALSE(list.add(4));
  EXPECT_TRUE(list.remove(2));  // from the middle
  seen.clear();
  for (EStaticListIter<unsigned int> i(list); !i.isDone(); i.next()) seen.push_back(i.item());
  EXPECT_EQ((std::vector<unsigned>{3, 1}), seen);
}

TEST(EStaticListDeathTest, ItemPastTheEndIsFatal) {
  EStaticList<int> list(kMEMTYPE_Misc, 1);
  EStaticListIter<int> it(list);
  EXPECT_EXIT(it.item(), ::testing::ExitedWithCode(255), "m_current");
}

}  // namespace
