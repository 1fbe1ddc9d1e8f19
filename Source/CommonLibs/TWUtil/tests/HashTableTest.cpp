#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "TWUtil/HashTable.h"

namespace {

struct Record {
  explicit Record(int v) : value(v) { ++sm_alive; }
  ~Record() { --sm_alive; }
  int value;
  static int sm_alive;
};
int Record::sm_alive = 0;

std::string Key(int i) {
  char buf[32];
  snprintf(buf, sizeof(buf), "counter%d", i);
  return buf;
}

TEST(HashTableTest, BucketCountsFollowThePrimeLadder) {
  EHashTable<intptr_t> t(kMEMTYPE_Misc);
  EXPECT_EQ(17u, t.GetNumBuckets());
  for (int i = 0; i < 90; ++i) {
    EXPECT_EQ(0, t.Set(Key(i).c_str(), i + 1));
    unsigned n = i + 1;
    unsigned expected = n < 22 ? 17 : n < 54 ? 43 : 101;
    ASSERT_EQ(expected, t.GetNumBuckets()) << "after key " << n;
  }
  EXPECT_EQ(90u, t.GetNumEntries());
  for (int i = 0; i < 90; ++i) EXPECT_EQ(i + 1, t.Find(Key(i).c_str(), -1)) << i;
  t.RemoveAll();
  EXPECT_EQ(0u, t.GetNumEntries());
  EXPECT_EQ(101u, t.GetNumBuckets());  // never shrinks
  EXPECT_EQ(-1, t.Find("counter5", -1));
  EXPECT_EQ(0, t.Set("counter5", 7));
  EXPECT_EQ(7, t.Find("counter5", -1));
}

TEST(HashTableTest, SetFindContainsRemove) {
  Record::sm_alive = 0;
  EHashTable<Record*> t;
  EXPECT_EQ(nullptr, t.Set("alpha", new Record(1)));
  EXPECT_EQ(nullptr, t.Set("Alpha", new Record(2)));  // letter case matters
  EXPECT_EQ(nullptr, t.Set("", new Record(3)));       // the empty key is a key
  EXPECT_EQ(3u, t.GetNumEntries());

  Record* old = t.Set("alpha", new Record(10));
  ASSERT_NE(nullptr, old);
  EXPECT_EQ(1, old->value);
  delete old;
  EXPECT_EQ(3u, t.GetNumEntries());

  EXPECT_EQ(10, t.Find("alpha", nullptr)->value);
  EXPECT_EQ(2, t.Find("Alpha", nullptr)->value);
  EXPECT_EQ(3, t.Find("", nullptr)->value);
  EXPECT_EQ(nullptr, t.Find("ALPHA", nullptr));

  Record sentinel(0);
  Record* out = &sentinel;
  EXPECT_FALSE(t.Contains("beta", &out));
  EXPECT_EQ(&sentinel, out);
  EXPECT_TRUE(t.Contains("Alpha", &out));
  EXPECT_EQ(2, out->value);
  EXPECT_TRUE(t.Contains("alpha"));

  EXPECT_EQ(&sentinel, t.Remove("beta", &sentinel));
  Record* removed = t.Remove("alpha", nullptr);
  ASSERT_NE(nullptr, removed);
  EXPECT_EQ(10, removed->value);
  delete removed;
  EXPECT_FALSE(t.Contains("alpha"));
  EXPECT_EQ(2u, t.GetNumEntries());

  for (EHashIter<Record*> it(t); it; ++it) delete *it;
  t.RemoveAll();
  EXPECT_EQ(1, Record::sm_alive);  // the sentinel
}

TEST(HashTableTest, RemoveCurVisitsEveryEntryOnceAndEmptiesTheTable) {
  EHashTable<intptr_t> t;
  for (int i = 0; i < 200; ++i) t.Set(Key(i).c_str(), i);
  std::map<std::string, int> seen;
  for (EHashIter<intptr_t> it(t); it;) {
    std::string k = it.key();
    intptr_t v = *it;
    EXPECT_EQ(k, Key((int)v));
    EXPECT_EQ(v, it.remove_cur());
    ++seen[k];
  }
  EXPECT_EQ(200u, seen.size());
  for (auto& kv : seen) EXPECT_EQ(1, kv.second) << kv.first;
  EXPECT_EQ(0u, t.GetNumEntries());
  EXPECT_FALSE(EHashIter<intptr_t>(t));
  // Freed entry slots are reused.
  t.Set("again", 1);
  EXPECT_EQ(1, t.Find("again"));
}

TEST(HashTableTest, IterationWalksBucketsAndNewestEntryFirst) {
  // Three keys of bucket 0 and one of a later bucket, in a 17-bucket table.
  std::vector<std::string> same;
  std::string other;
  for (int i = 0; same.size() < 3 || other.empty(); ++i) {
    std::string k = Key(i);
    unsigned b = EHashBase::HashKey(k.c_str()) % 17;
    if (b == 0 && same.size() < 3) same.push_back(k);
    if (b == 5 && other.empty()) other = k;
  }
  EHashTable<intptr_t> t;
  t.Set(other.c_str(), 9);
  for (int i = 0; i < 3; ++i) t.Set(same[i].c_str(), i);
  ASSERT_EQ(17u, t.GetNumBuckets());
  std::vector<std::string> order;
  for (EHashIter<intptr_t> it(t); it; ++it) order.push_back(it.key());
  EXPECT_EQ((std::vector<std::string>{same[2], same[1], same[0], other}), order);

  // An explicit rehash rebuilds the chains in the new bucket count.
  t.Rehash(3);
  EXPECT_EQ(3u, t.GetNumBuckets());
  unsigned last = 0;
  int n = 0;
  for (EHashIter<intptr_t> it(t); it; ++it, ++n) {
    unsigned b = EHashBase::HashKey(it.key()) % 3;
    EXPECT_GE(b, last);
    last = b;
  }
  EXPECT_EQ(4, n);
  EXPECT_EQ(2, t.Find(same[2].c_str(), -1));
}

TEST(HashTableTest, HashKeyIsTimes31OverUnsignedBytes) {
  EXPECT_EQ(0u, EHashBase::HashKey(""));
  EXPECT_EQ(97u, EHashBase::HashKey("a"));
  EXPECT_EQ(97u * 31u + 98u, EHashBase::HashKey("ab"));
  EXPECT_EQ(255u, EHashBase::HashKey("\xff"));
  std::string text;
  for (int len = 0; len < 13; ++len) {
    unsigned h = 0;
    for (unsigned char c : text) h = h * 31u + c;
    EXPECT_EQ(h, EHashBase::HashKey(text.c_str())) << len;
    text += (char)(len % 2 ? 0xE9 : 'a' + len);
  }
}

TEST(HashTableDeathTest, AdvancingAFinishedIteratorIsFatal) {
  EXPECT_EXIT(
      {
        EHashTable<intptr_t> t;
        EHashIter<intptr_t> it(t);
        ++it;
      },
      ::testing::ExitedWithCode(255), "false");
}

}  // namespace
