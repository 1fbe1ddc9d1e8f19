#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ZoeAlloc.h"
#include "ZoePlatform.h"

namespace {

struct Counting {
  static int allocs;
  static int frees;
  static std::vector<uint32_t> sizes;
  static void* Allocate(uint32_t bytes) {
    ++allocs;
    sizes.push_back(bytes);
    return malloc(bytes);
  }
  static void Free(void* p) {
    ++frees;
    free(p);
  }
};
int Counting::allocs = 0;
int Counting::frees = 0;
std::vector<uint32_t> Counting::sizes;

TEST(ZoeGroupedAllocation, BuffersFollowTheRecordStaggered) {
  void* a = nullptr;
  void* b = nullptr;
  void* c = nullptr;
  EXPECT_EQ(pushmalloc(&a, 100), &a);
  EXPECT_EQ(popmalloctotal(), 1056u);
  pushmalloc(&b, 100);
  EXPECT_EQ(popmalloctotal(), 1056u + 1088u);
  pushmalloc(&c, 0);
  EXPECT_EQ(popmalloctotal(), 2272u);
  ZoeSetMemory(&Counting::Allocate, &Counting::Free);
  Counting::sizes.clear();
  uint8_t* record = static_cast<uint8_t*>(popmalloc(40));
  ZoeSetMemory(nullptr, nullptr);
  ASSERT_NE(record, nullptr);
  ASSERT_EQ(Counting::sizes.size(), 1u);
  EXPECT_EQ(Counting::sizes[0], 2336u + 64u);  // one block, plus radmalloc's bookkeeping
  EXPECT_EQ(static_cast<uint8_t*>(a), record + 64);
  EXPECT_EQ(static_cast<uint8_t*>(b), record + 1120);
  EXPECT_EQ(static_cast<uint8_t*>(c), record + 2208);
  memset(record, 0x5A, 2336);
  EXPECT_EQ(popmalloctotal(), 0u);
  radfree(record);

  // Nothing pending: just the rounded record.
  void* lone = popmalloc(33);
  ASSERT_NE(lone, nullptr);
  EXPECT_EQ((uintptr_t)lone % 32, 0u);
  radfree(lone);
}

TEST(ZoeGroupedAllocation, PaddedSizesFollowTheRunningTotal) {
  // round32(a) + ((T/32 - round32(a)/32 + 1) mod 32) * 32, T the total before.
  uint32_t requests[] = {0, 1, 32, 33, 1000, 1024, 5000, 0, 70000, 31};
  void* slots[10];
  uint32_t total = 0;
  for (int i = 0; i < 10; ++i) {
    uint32_t r = (requests[i] + 31) & ~31u;
    uint32_t padded = r + ((total / 32 - r / 32 + 1) % 32) * 32;
    pushmalloc(&slots[i], requests[i]);
    total += padded;
    EXPECT_EQ(popmalloctotal(), total) << i;
  }
  uint8_t* record = static_cast<uint8_t*>(popmalloc(0));
  ASSERT_NE(record, nullptr);
  // The buffers lie in order inside the block, each on 32 bytes.
  uint8_t* prev = record;
  for (void* s : slots) {
    EXPECT_GE(static_cast<uint8_t*>(s), prev);
    EXPECT_EQ((uintptr_t)s % 32, 0u);
    prev = static_cast<uint8_t*>(s);
  }
  EXPECT_LE(static_cast<uint8_t*>(slots[9]) + 31, record + total);
  radfree(record);
}

void* AllOnes(uint32_t) { return reinterpret_cast<void*>(~(uintptr_t)0); }
void NoFree(void*) {}

TEST(ZoeGroupedAllocation, FailedAllocationStoresNothingAndEmptiesTheRegistry) {
  void* a = reinterpret_cast<void*>(0x1234);
  void* b = reinterpret_cast<void*>(0x5678);
  pushmalloc(&a, 64);
  pushmalloc(&b, 64);
  ZoeSetMemory(&AllOnes, &NoFree);  // the allocator refuses outright
  EXPECT_EQ(popmalloc(16), nullptr);
  ZoeSetMemory(nullptr, nullptr);
  EXPECT_EQ(a, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(b, reinterpret_cast<void*>(0x5678));
  EXPECT_EQ(popmalloctotal(), 0u);

  // Buffers whose sizes together pass 32 bits cannot be one block.
  pushmalloc(&a, 0x80000000u);
  pushmalloc(&b, 0x80000000u);
  EXPECT_EQ(popmalloc(16), nullptr);
  EXPECT_EQ(a, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(popmalloctotal(), 0u);

  void* rec = popmalloc(16);  // a fresh sequence works
  ASSERT_NE(rec, nullptr);
  radfree(rec);
}

// The registry lives for the whole program, so its growth is watched in a
// process of its own.
int GrowthChild() {
  if (ZoeAllocCapacity() != 32) return 10;
  Counting::allocs = Counting::frees = 0;
  Counting::sizes.clear();
  ZoeSetMemory(&Counting::Allocate, &Counting::Free);
  std::vector<void*> slots(130, nullptr);
  for (int i = 0; i < 32; ++i) pushmalloc(&slots[i], 8);
  if (Counting::allocs != 0 || ZoeAllocCapacity() != 32) return 11;
  pushmalloc(&slots[32], 8);  // the 33rd: static arrays kept, 64 entries
  if (Counting::allocs != 1 || Counting::frees != 0 || ZoeAllocCapacity() != 64) return 12;
  if (Counting::sizes[0] != 64 * (sizeof(void**) + 4) + 64) return 13;
  for (int i = 33; i < 64; ++i) pushmalloc(&slots[i], 8);
  if (Counting::allocs != 1) return 14;
  pushmalloc(&slots[64], 8);  // the 65th: 128 entries, the 64-entry arrays freed
  if (Counting::allocs != 2 || Counting::frees != 1 || ZoeAllocCapacity() != 128) return 15;
  uint8_t* record = static_cast<uint8_t*>(popmalloc(8));
  if (!record) return 16;
  for (int i = 0; i < 65; ++i) {
    if (!slots[i] || (uint8_t*)slots[i] < record + 32) return 17;
    if (i && slots[i] <= slots[i - 1]) return 18;
  }
  radfree(record);
  ZoeSetMemory(nullptr, nullptr);
  return 0;
}

TEST(ZoeGroupedAllocation, RegistryGrowsTo64And128) {
  EXPECT_EXIT(exit(GrowthChild()), ::testing::ExitedWithCode(0), "");
}

int GrowthFailureChild() {
  std::vector<void*> slots(40, reinterpret_cast<void*>(0x77));
  for (int i = 0; i < 32; ++i) pushmalloc(&slots[i], 8);
  ZoeSetMemory(&AllOnes, &NoFree);
  pushmalloc(&slots[32], 8);  // cannot grow
  pushmalloc(&slots[33], 8);
  ZoeSetMemory(nullptr, nullptr);
  if (popmalloc(8) != nullptr) return 20;
  for (void* s : slots)
    if (s != reinterpret_cast<void*>(0x77)) return 21;
  if (popmalloctotal() != 0) return 22;
  void* again = nullptr;
  pushmalloc(&again, 8);
  void* rec = popmalloc(8);
  if (!rec || again != (uint8_t*)rec + 32) return 23;
  radfree(rec);
  return 0;
}

TEST(ZoeGroupedAllocation, FailedRegistryGrowthFailsThePendingAllocation) {
  EXPECT_EXIT(exit(GrowthFailureChild()), ::testing::ExitedWithCode(0), "");
}

// ---- VarBitsCopy --------------------------------------------------------------

// Reference: the bit at position i of a little-endian word stream.
bool BitAt(const std::vector<uint32_t>& words, uint32_t i) { return (words[i / 32] >> (i % 32)) & 1u; }

struct BitCase {
  uint32_t readerSkip;  // bits consumed from the reader before the copy
  uint32_t writerFill;  // bits already in the writer
  uint32_t nbits;
};

TEST(ZoeVarBitsCopy, EqualsABitByBitCopy) {
  std::vector<uint32_t> source(8);
  for (uint32_t i = 0; i < source.size(); ++i) source[i] = 0x9E3779B9u * (i + 1) ^ (i << 7);
  BitCase cases[] = {
      {0, 0, 0}, {0, 0, 32}, {0, 0, 13}, {25, 0, 13}, {30, 27, 13}, {3, 29, 64},
      {31, 31, 33}, {7, 1, 8}, {0, 24, 8}, {12, 20, 100}, {17, 5, 7},
  };
  for (const BitCase& c : cases) {
    // The reader with c.readerSkip bits consumed: the rest of the current word.
    ZoeVarBits reader;
    reader.next = source.data() + c.readerSkip / 32 + 1;
    reader.count = 32 - c.readerSkip % 32;
    reader.bits = source[c.readerSkip / 32] >> (c.readerSkip % 32);
    if (reader.count == 32) {  // the reader keeps at most 31 bits
      reader.count = 0;
      reader.bits = 0;
      reader.next = source.data() + c.readerSkip / 32;
    }
    std::vector<uint32_t> out(8, 0xCCCCCCCCu);
    ZoeVarBits writer;
    writer.next = out.data();
    writer.count = c.writerFill;
    writer.bits = 0x6A5u & ((1u << c.writerFill) - 1u);
    EXPECT_EQ(VarBitsCopy(&writer, &reader, c.nbits), &writer);
    // Flush what the writer still holds to compare whole words.
    uint32_t totalBits = c.writerFill + c.nbits;
    uint32_t stored = (uint32_t)(writer.next - out.data());
    EXPECT_EQ(stored, totalBits / 32) << c.nbits;
    EXPECT_EQ(writer.count, totalBits % 32);
    std::vector<uint32_t> got(out.begin(), out.begin() + stored);
    got.push_back(writer.bits);
    for (uint32_t i = 0; i < totalBits; ++i) {
      bool want = i < c.writerFill ? ((0x6A5u >> i) & 1u) : BitAt(source, c.readerSkip + i - c.writerFill);
      ASSERT_EQ(BitAt(got, i), want) << "bit " << i << " of case " << c.readerSkip << "/" << c.writerFill << "/"
                                     << c.nbits;
    }
    // Words past the written ones are untouched; the reader moved on exactly.
    for (uint32_t w = stored; w < out.size(); ++w) EXPECT_EQ(out[w], 0xCCCCCCCCu);
    uint32_t consumed = (uint32_t)(reader.next - source.data()) * 32 - reader.count;
    EXPECT_EQ(consumed, c.readerSkip + c.nbits);
  }
}

TEST(ZoeVarBitsCopy, ThirtyTwoAlignedBitsMoveFourBytes) {
  const uint8_t bytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
  uint32_t src[2];
  memcpy(src, bytes, 8);
  uint32_t dst[2] = {0, 0xFFFFFFFF};
  ZoeVarBits reader{0, src, 0};
  ZoeVarBits writer{0, dst, 0};
  VarBitsCopy(&writer, &reader, 32);
  EXPECT_EQ(memcmp(dst, bytes, 4), 0);
  EXPECT_EQ(dst[1], 0xFFFFFFFFu);
  EXPECT_EQ(writer.next, dst + 1);
  EXPECT_EQ(writer.count, 0u);
  EXPECT_EQ(reader.next, src + 1);
  // Zero bits change nothing.
  ZoeVarBits r0 = reader, w0 = writer;
  VarBitsCopy(&writer, &reader, 0);
  EXPECT_EQ(memcmp(&r0, &reader, sizeof(r0)), 0);
  EXPECT_EQ(memcmp(&w0, &writer, sizeof(w0)), 0);
}

TEST(ZoeVarBitsCopy, LengthTable) {
  for (uint32_t n = 0; n < 32; ++n) EXPECT_EQ(VarBitsLens[n], (1u << n) - 1u);
  EXPECT_EQ(VarBitsLens[32], 0xFFFFFFFFu);
}

}  // namespace
