// Grouped allocation of the video library: every buffer of an object is
// announced with pushmalloc and the object is then allocated as one block
// with popmalloc, which stores each buffer's address into its slot. Also the
// bit-run copy between a bit reader and a bit writer.
#pragma once

#include <cstdint>

// Announces a buffer of `bytes` whose address popmalloc will store in *slot.
void** pushmalloc(void** slot, uint32_t bytes);
// The padded size of all announced buffers (the record not included).
uint32_t popmalloctotal();
// Allocates the record (rounded up to 32 bytes) and every announced buffer in
// one block, stores the buffer addresses and returns the record; null when
// the block cannot be allocated, or when the announcements could not all be
// registered, and then nothing is stored. Either way the announcements are
// cleared.
void* popmalloc(uint32_t recordBytes);

// How many announcements the registry holds without growing.
uint32_t ZoeAllocCapacity();

// A bit reader or writer over 32-bit little-endian words, least significant
// bit first: `bits` holds the not yet consumed (reader) or not yet stored
// (writer) bits, `count` how many of them are valid, `next` the next word to
// load or store.
struct ZoeVarBits {
  uint32_t bits;
  uint32_t* next;
  uint32_t count;
};

// Moves nbits bits from the reader to the writer; returns the writer.
ZoeVarBits* VarBitsCopy(ZoeVarBits* writer, ZoeVarBits* reader, uint32_t nbits);

// VarBitsLens[n] = 2^n - 1 for n = 0 to 32.
extern const uint32_t VarBitsLens[33];
