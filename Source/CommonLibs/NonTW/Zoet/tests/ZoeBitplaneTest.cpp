// Bit reader, coefficient and residue readers, and their writers.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "ZoeBitplane.h"
#include "ZoeEncode.h"

namespace {

using zoeenc::BitWriter;

struct Stream {
  std::vector<uint8_t> bytes;
  ZoeBitReader r;
  explicit Stream(const BitWriter& w) : bytes(w.Bytes()) {
    bytes.resize(bytes.size() + 8, 0xEE);  // trailing bytes the reader must not reach
    ZoeBitReaderInit(r, bytes.data(), bytes.data() + bytes.size() - 8);
  }
};

TEST(ZoeBitReader, FieldsAreReadLeastSignificantBitFirst) {
  uint8_t data[8] = {0xB4, 0x01, 0x00, 0x80, 0x03, 0, 0, 0};
  ZoeBitReader r;
  ZoeBitReaderInit(r, data, data + 8);
  EXPECT_EQ(ZoeReadBits(r, 2), 0u);   // 0xB4 = 1011 0100
  EXPECT_EQ(ZoeReadBits(r, 3), 5u);
  EXPECT_EQ(r.next, data + 4);
  EXPECT_EQ(ZoeReadBits(r, 26), 0x0Du);  // the rest of the first word below its top bit
  EXPECT_EQ(ZoeReadBits(r, 3), 7u);      // bit 31, then bits 0-1 of the second word
  EXPECT_EQ(r.next, data + 8);
  EXPECT_EQ(ZoePeekBits(r, 7), 0u);
}

TEST(ZoeBitReader, ReadsZerosPastTheEndAndNeverMovesBeyondIt) {
  uint8_t data[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0xAA};
  ZoeBitReader r;
  ZoeBitReaderInit(r, data, data + 5);  // a partial last word of one byte
  EXPECT_EQ(ZoeReadBits(r, 31), 0x7FFFFFFFu);
  EXPECT_EQ(ZoeReadBits(r, 12), 0x00Bu);  // bit 31 of the first word, then 0x05 and zeros (not 0xAA)
  EXPECT_EQ(r.next, data + 5);
  for (int i = 0; i < 10; i++) EXPECT_EQ(ZoeReadBits(r, 29), 0u);
  EXPECT_EQ(r.next, data + 5);
}

int16_t RandomCoef(std::mt19937& rng, int maxBits) {
  int bits = (int)(rng() % (maxBits + 1));
  if (bits == 0 || rng() % 3 == 0) return 0;
  int mag = (int)(rng() & ((1u << bits) - 1));
  return (int16_t)(rng() & 1 ? -mag : mag);
}

TEST(ZoeBitplaneLossless, WriterAndReaderAgreeOnRandomBlocks) {
  std::mt19937 rng(1234);
  for (int iter = 0; iter < 3000; iter++) {
    int16_t block[64];
    int maxBits = 1 + iter % 15;  // magnitudes up to 2^14
    int sparsity = iter % 4;
    for (int i = 0; i < 64; i++) block[i] = (sparsity && rng() % (sparsity + 1)) ? 0 : RandomCoef(rng, maxBits);
    BitWriter w;
    zoeenc::WriteBPLossless(w, block);
    ASSERT_EQ((uint64_t)zoeenc::LenBPLossless(block), w.BitCount());
    w.Put(0x2D, 7);  // the next field of the stream
    Stream s(w);
    int16_t out[64];
    out[0] = 1234;
    ReadBPLossless(out, s.r);
    EXPECT_EQ(out[0], 1234);
    for (int i = 1; i < 64; i++) ASSERT_EQ(out[i], block[i]) << "iteration " << iter << " position " << i;
    ASSERT_EQ(ZoeReadBits(s.r, 7), 0x2Du);
  }
}

TEST(ZoeBitplaneLossless, EmptyBlockAndSingleBitValues) {
  {
    BitWriter w;
    w.Put(0, 4);  // no planes
    w.Put(9, 4);
    Stream s(w);
    int16_t out[64];
    for (auto& v : out) v = 77;
    ReadBPLossless(out, s.r);
    for (int i = 1; i < 64; i++) EXPECT_EQ(out[i], 0);
    EXPECT_EQ(ZoeReadBits(s.r, 4), 9u);
  }
  {
    // one plane: the three single entries fire, each value a sign bit
    BitWriter w;
    w.Put(1, 4);
    w.Put(0, 1);
    w.Put(0, 1);
    w.Put(0, 1);        // groups 4, 24, 44 stay
    w.Put(1, 1);
    w.Put(0, 1);        // scan 1: +1
    w.Put(1, 1);
    w.Put(1, 1);        // scan 2: -1
    w.Put(0, 1);        // scan 3 stays
    Stream s(w);
    int16_t out[64] = {};
    ReadBPLossless(out, s.r);
    EXPECT_EQ(out[zigzag[1]], 1);
    EXPECT_EQ(out[zigzag[2]], -1);
    EXPECT_EQ(out[zigzag[3]], 0);
  }
}

TEST(ZoeBitplaneLossless, EveryLiveEntryCostsABitInEveryPass) {
  // Three planes of which nothing becomes significant: 6 entries x 3 passes.
  BitWriter w;
  w.Put(3, 4);
  w.Put(0, 18);
  w.Put(0x3F, 6);
  Stream s(w);
  int16_t out[64];
  ReadBPLossless(out, s.r);
  for (int i = 1; i < 64; i++) EXPECT_EQ(out[i], 0);
  EXPECT_EQ(ZoeReadBits(s.r, 6), 0x3Fu);
  // A group that fires puts its not yet significant members in front: they
  // cost a bit in each later pass. Coefficient 4 = 2 (pass 2) and 5 = 1 (pass 1).
  int16_t block[64] = {};
  block[zigzag[4]] = 2;
  block[zigzag[5]] = -1;
  // pass 2: (4,0) fires, 4 now (2 bits), 5 6 7 in front, (8,1) (24,0) (44,0) (1,3) (2,3) (3,3) stay;
  BitWriter w2;
  zoeenc::WriteBPLossless(w2, block);
  // pass 1 walks 7, 6, 5, (8,1), (24,0), (44,0), 1, 2, 3
  EXPECT_EQ(w2.BitCount(), 4u + 1 + 1 + 2 + 3 + 1 + 5 + (2 + 1 + 1) + 6);
  Stream s2(w2);
  ReadBPLossless(out, s2.r);
  EXPECT_EQ(out[zigzag[4]], 2);
  EXPECT_EQ(out[zigzag[5]], -1);
}

TEST(ZoeResidue, BudgetZeroStopsAfterTheFirstApplication) {
  BitWriter w;
  w.Put(0, 3);  // c = 0: one pass with mask 1
  w.Put(1, 1);  // (4,0) fires: group 4..7
  w.Put(0, 1);  // coefficient 4 now
  w.Put(1, 1);  // negative: the first application, and the budget is 0
  w.Put(0x15, 5);  // the following block's bits
  Stream s(w);
  uint8_t ref[64], out[64];
  for (int i = 0; i < 64; i++) ref[i] = (uint8_t)(100 + i);
  ReadBPLossyWithMotion(out, 8, s.r, 0, ref, 8);
  for (int i = 0; i < 64; i++) EXPECT_EQ(out[i], (uint8_t)(ref[i] - (i == zigzag[4] ? 1 : 0))) << i;
  EXPECT_EQ(ZoeReadBits(s.r, 5), 0x15u);
}

TEST(ZoeResidue, ValueOf128WrapsAndIsRefinedDownwards) {
  BitWriter w;
  w.Put(7, 3);  // masks 128 .. 1
  // pass 128: no significant yet; (4,0) (24,0) (44,0) stay, (0,2) fires
  w.Put(0, 3);
  w.Put(1, 1);
  w.Put(0, 1);
  w.Put(0, 1);  // coefficient 0 = +128, stored as -128
  w.Put(7, 3);  // 1, 2, 3 go in front
  // pass 64: refinement of coefficient 0 subtracts (the byte reads as negative): -192 -> 64
  w.Put(1, 1);
  w.Put(0, 6);  // 3, 2, 1, 4, 24, 44 stay
  for (int pass = 0; pass < 6; pass++) w.Put(0, 7);
  w.Put(3, 2);
  Stream s(w);
  int8_t out[64];
  ReadBPLossy(out, s.r, 127);
  for (int i = 0; i < 64; i++) EXPECT_EQ(out[i], i == 0 ? 64 : 0) << i;
  EXPECT_EQ(ZoeReadBits(s.r, 2), 3u);
}

TEST(ZoeResidue, AllZeroResidueCopiesTheReference) {
  BitWriter w;
  w.Put(2, 3);
  for (int pass = 0; pass < 3; pass++) w.Put(0, 4);
  Stream s(w);
  uint8_t ref[8 * 12], out[8 * 10];
  for (int i = 0; i < 96; i++) ref[i] = (uint8_t)(i * 7);
  ReadBPLossyWithMotion(out, 10, s.r, 5, ref, 12);
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) EXPECT_EQ(out[y * 10 + x], ref[y * 12 + x]);
}

TEST(ZoeResidue, WriterMatchesReaderForAnyBudget) {
  std::mt19937 rng(99);
  for (int iter = 0; iter < 2000; iter++) {
    int8_t res[64] = {};
    int nonzero = (int)(rng() % 20);
    int maxMag = 1 << (rng() % 8);
    for (int i = 0; i < nonzero; i++) {
      int v = (int)(rng() % (maxMag + 1));
      res[rng() % 64] = (int8_t)(rng() & 1 ? -v : v);
    }
    if (rng() % 10 == 0) res[rng() % 64] = -128;
    int budget = (int)(rng() % 128);
    BitWriter w;
    int8_t expect[64];
    int needed = zoeenc::WriteResidue(w, res, budget, expect);
    if (needed <= budget) {
      for (int i = 0; i < 64; i++) ASSERT_EQ(expect[i], res[i]);
    }
    w.Put(0x5A, 8);
    Stream s(w);
    int8_t got[64];
    ReadBPLossy(got, s.r, budget);
    for (int i = 0; i < 64; i++) ASSERT_EQ(got[i], expect[i]) << iter << " " << i;
    ASSERT_EQ(ZoeReadBits(s.r, 8), 0x5Au) << iter;
  }
}

TEST(ZoeResidue, LossyWriterWritesNothingForZeros) {
  int8_t zero[64] = {};
  BitWriter w;
  EXPECT_EQ(zoeenc::WriteBPLossy(w, zero), 0);
  EXPECT_EQ(w.BitCount(), 0u);
  zero[10] = 3;
  EXPECT_EQ(zoeenc::WriteBPLossy(w, zero), 1);
  Stream s(w);
  int8_t out[64];
  ReadBPLossy(out, s.r, 127);
  EXPECT_EQ(out[10], 3);
}

}  // namespace
