#include <gtest/gtest.h>

#include "TWUtil/BitArray.h"

namespace {

TEST(BitArrayTest, StorageFollowsBitCount) {
  struct Case { unsigned bits, words; bool inlineWord; } cases[] = {
    {0, 0, true}, {1, 1, true}, {32, 1, true}, {33, 2, false}, {257, 9, false},
  };
  for (const Case& c : cases) {
    BitArray b(c.bits, kMEMTYPE_Misc);
    EXPECT_EQ(c.words, b.GetNumWords()) << c.bits;
    EXPECT_EQ(c.inlineWord, b.UsesInlineWord()) << c.bits;
    EXPECT_EQ(c.bits, b.GetNumBits());
  }
}

TEST(BitArrayTest, BitsLiveInWordsFromTheLowEnd) {
  BitArray b(40, kMEMTYPE_Misc);
  b.Clear();
  b.SetBit(33);
  EXPECT_EQ(0u, b.GetWords()[0]);
  EXPECT_EQ(2u, b.GetWords()[1]);
  EXPECT_TRUE(b.IsBitSet(33));
  EXPECT_FALSE(b.IsBitSet(32));
  b.Set(0, true);
  b.Set(31, true);
  EXPECT_EQ(0x80000001u, b.GetWords()[0]);
  b.Set(33, false);
  b.ClearBit(0);
  EXPECT_EQ(0x80000000u, b.GetWords()[0]);
  EXPECT_EQ(0u, b.GetWords()[1]);
}

TEST(BitArrayTest, TrimClearsBitsBeyondTheCount) {
  BitArray b(40, kMEMTYPE_Misc);
  const uint32_t all[2] = {0xFFFFFFFFu, 0xFFFFFFFFu};
  b.InitFromDwordBlock(all, 2);
  EXPECT_EQ(0xFFFFFFFFu, b.GetWords()[1]);
  b.Trim();
  EXPECT_EQ(0xFFu, b.GetWords()[1]);
  EXPECT_EQ(0xFFFFFFFFu, b.GetWords()[0]);
  for (unsigned i = 0; i < 40; ++i) EXPECT_TRUE(b.IsBitSet(i)) << i;

  BitArray whole(64, kMEMTYPE_Misc);
  whole.InitFromDwordBlock(all, 2);
  whole.Trim();  // a full last word keeps every bit
  EXPECT_EQ(0xFFFFFFFFu, whole.GetWords()[1]);
}

TEST(BitArrayTest, ZeroBitArrayHasNothingToTouch) {
  BitArray b(0, kMEMTYPE_Misc);
  b.Clear();
  b.Trim();
  b.InitFromDwordBlock(nullptr, 0);
  EXPECT_EQ(0u, b.GetNumWords());
}

TEST(BitArrayTest, InitResizesAndReleasesTheOldBlock) {
  BitArray b(300, kMEMTYPE_Misc);
  b.Init(8, kMEMTYPE_Misc);
  EXPECT_TRUE(b.UsesInlineWord());
  b.Clear();
  b.SetBit(7);
  EXPECT_TRUE(b.IsBitSet(7));
  b.Init(100, kMEMTYPE_Misc);
  EXPECT_EQ(4u, b.GetNumWords());
}

TEST(BitArrayDeathTest, MisuseIsFatal) {
  EXPECT_EXIT({ BitArray b(8, kMEMTYPE_Misc); b.SetBit(8); }, ::testing::ExitedWithCode(255), "pos < mNumBits");
  EXPECT_EXIT({ BitArray b(8, kMEMTYPE_Misc); b.IsBitSet(100); }, ::testing::ExitedWithCode(255), "pos < mNumBits");
  const uint32_t w[3] = {0, 0, 0};
  EXPECT_EXIT({ BitArray b(40, kMEMTYPE_Misc); b.InitFromDwordBlock(w, 3); }, ::testing::ExitedWithCode(255),
              "iLength == mLength");
}

}  // namespace
