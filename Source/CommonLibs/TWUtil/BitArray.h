// Fixed-length array of bits in 32-bit words. Arrays of up to 32 bits keep
// their one word inside the object.
#pragma once

#include <cstdint>

#include "TWUtil/ErrorManager.h"
#include "TWUtil/MemType.h"

class BitArray {
public:
  BitArray(unsigned numBits, EMemType memType);
  virtual ~BitArray();

  BitArray(const BitArray&) = delete;
  BitArray& operator=(const BitArray&) = delete;

  // (Re)sizes the array; the bits are undefined until Clear or
  // InitFromDwordBlock, except that the constructor trims the last word.
  void Init(unsigned numBits, EMemType memType);
  // Clears the bits of the last word that lie beyond the bit count.
  void Trim();
  void Clear();

  void SetBit(unsigned pos) {
    EASSERT(pos < mNumBits);
    mBits[GetIndex(pos)] |= 1u << GetOffset(pos);
  }
  void ClearBit(unsigned pos) {
    EASSERT(pos < mNumBits);
    mBits[GetIndex(pos)] &= ~(1u << GetOffset(pos));
  }
  void Set(unsigned pos, bool value) {
    if (value)
      SetBit(pos);
    else
      ClearBit(pos);
  }
  bool IsBitSet(unsigned pos) const {
    EASSERT(pos < mNumBits);
    return (mBits[GetIndex(pos)] >> GetOffset(pos)) & 1u;
  }

  // Copies iLength words; iLength must equal the array's word count.
  void InitFromDwordBlock(const uint32_t* pWords, int iLength);

  static unsigned GetIndex(unsigned pos) { return pos >> 5; }
  static unsigned GetOffset(unsigned pos) { return pos & 31; }

  unsigned GetNumBits() const { return mNumBits; }
  unsigned GetNumWords() const { return mLength; }
  const uint32_t* GetWords() const { return mBits; }
  bool UsesInlineWord() const { return mBits == &mInlineWord; }

private:
  void Release();

  uint32_t* mBits;
  uint32_t mInlineWord;
  unsigned mLength;
  unsigned mNumBits;
};
