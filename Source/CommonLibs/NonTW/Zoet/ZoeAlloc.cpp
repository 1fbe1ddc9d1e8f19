#include "ZoeAlloc.h"

#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "ZoePlatform.h"

namespace zoealloc {

const uint32_t kInitialCapacity = 32;

void** s_staticSlots[kInitialCapacity];
uint32_t s_staticSizes[kInitialCapacity];

void*** s_slots = s_staticSlots;
uint32_t* s_sizes = s_staticSizes;
uint32_t s_capacity = kInitialCapacity;
uint32_t s_count = 0;
uint32_t s_total = 0;
// Set when an announcement could not be registered; the next popmalloc fails.
bool s_failed = false;

uint32_t Round32(uint32_t a) { return (a + 31u) & ~31u; }

bool Grow() {
  uint32_t newCapacity = s_capacity * 2;
  uint64_t bytes = (uint64_t)newCapacity * (sizeof(void**) + sizeof(uint32_t));
  if (bytes > 0xFFFFFFFFu) return false;
  uint8_t* block = static_cast<uint8_t*>(radmalloc((uint32_t)bytes));
  if (!block) return false;
  void*** slots = reinterpret_cast<void***>(block);
  uint32_t* sizes = reinterpret_cast<uint32_t*>(block + newCapacity * sizeof(void**));
  memcpy(slots, s_slots, s_count * sizeof(void**));
  memcpy(sizes, s_sizes, s_count * sizeof(uint32_t));
  if (s_slots != s_staticSlots) radfree(s_slots);
  s_slots = slots;
  s_sizes = sizes;
  s_capacity = newCapacity;
  return true;
}

void Clear() {
  s_count = 0;
  s_total = 0;
  s_failed = false;
}

}  // namespace zoealloc

void** pushmalloc(void** slot, uint32_t bytes) {
  using namespace zoealloc;
  if (s_failed) return slot;
  if (s_count == s_capacity && !Grow()) {
    s_failed = true;
    return slot;
  }
  uint64_t rounded = ((uint64_t)bytes + 31u) & ~(uint64_t)31;
  uint32_t stagger = ((s_total / 32u - (uint32_t)(rounded / 32u) + 1u) % 32u) * 32u;
  uint64_t padded = rounded + stagger;
  if ((uint64_t)s_total + padded > 0xFFFFFFFFu) {
    s_failed = true;
    return slot;
  }
  s_total += (uint32_t)padded;
  s_slots[s_count] = slot;
  s_sizes[s_count] = (uint32_t)padded;
  ++s_count;
  return slot;
}

uint32_t popmalloctotal() { return zoealloc::s_total; }

uint32_t ZoeAllocCapacity() { return zoealloc::s_capacity; }

void* popmalloc(uint32_t recordBytes) {
  using namespace zoealloc;
  uint64_t record = ((uint64_t)recordBytes + 31u) & ~(uint64_t)31;
  uint64_t bytes = record + s_total;
  uint8_t* block = nullptr;
  if (!s_failed && bytes <= 0xFFFFFFFFu) block = static_cast<uint8_t*>(radmalloc((uint32_t)bytes));
  if (block) {
    uint8_t* at = block + record;
    for (uint32_t i = 0; i < s_count; ++i) {
      *s_slots[i] = at;
      at += s_sizes[i];
    }
  }
  Clear();
  return block;
}

const uint32_t VarBitsLens[33] = {
    0x0u,        0x1u,        0x3u,        0x7u,        0xFu,        0x1Fu,       0x3Fu,
    0x7Fu,       0xFFu,       0x1FFu,      0x3FFu,      0x7FFu,      0xFFFu,      0x1FFFu,
    0x3FFFu,     0x7FFFu,     0xFFFFu,     0x1FFFFu,    0x3FFFFu,    0x7FFFFu,    0xFFFFFu,
    0x1FFFFFu,   0x3FFFFFu,   0x7FFFFFu,   0xFFFFFFu,   0x1FFFFFFu,  0x3FFFFFFu,  0x7FFFFFFu,
    0xFFFFFFFu,  0x1FFFFFFFu, 0x3FFFFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu,
};

namespace zoealloc {

// Takes n (1 to 8) bits from the reader.
uint32_t TakeBits(ZoeVarBits* reader, uint32_t n) {
  uint32_t value;
  if (reader->count < n) {
    uint32_t word = GetLE32(reinterpret_cast<const uint8_t*>(reader->next));
    ++reader->next;
    value = (reader->bits | (word << reader->count)) & VarBitsLens[n];
    reader->bits = word >> (n - reader->count);
    reader->count += 32u - n;
  } else {
    value = reader->bits & VarBitsLens[n];
    reader->bits >>= n;
    reader->count -= n;
  }
  return value;
}

// Appends n (1 to 8) bits to the writer.
void PutBits(ZoeVarBits* writer, uint32_t value, uint32_t n) {
  writer->bits |= value << writer->count;
  writer->count += n;
  if (writer->count >= 32u) {
    PutLE32(reinterpret_cast<uint8_t*>(writer->next), writer->bits);
    ++writer->next;
    writer->count -= 32u;
    writer->bits = writer->count ? value >> (n - writer->count) : 0u;
  }
}

}  // namespace zoealloc

ZoeVarBits* VarBitsCopy(ZoeVarBits* writer, ZoeVarBits* reader, uint32_t nbits) {
  for (uint32_t i = nbits / 8u; i > 0; --i) zoealloc::PutBits(writer, zoealloc::TakeBits(reader, 8), 8);
  uint32_t rest = nbits % 8u;
  if (rest) zoealloc::PutBits(writer, zoealloc::TakeBits(reader, rest), rest);
  return writer;
}
