#include "TWUtil/BitArray.h"

#include <cstdlib>
#include <cstring>

BitArray::BitArray(unsigned numBits, EMemType memType) : mBits(&mInlineWord), mInlineWord(0), mLength(0), mNumBits(0) {
  Init(numBits, memType);
  Trim();
}

BitArray::~BitArray() { Release(); }

void BitArray::Release() {
  if (mLength > 1) free(mBits);
  mBits = &mInlineWord;
  mLength = 0;
  mNumBits = 0;
}

void BitArray::Init(unsigned numBits, EMemType) {
  Release();
  mNumBits = numBits;
  mLength = numBits ? (numBits - 1) / 32 + 1 : 0;
  if (mLength > 1) {
    mBits = static_cast<uint32_t*>(malloc(sizeof(uint32_t) * mLength));
    EASSERT(mBits);
  } else {
    mBits = &mInlineWord;
  }
}

void BitArray::Trim() {
  if (!mLength) return;
  unsigned used = mNumBits & 31;
  if (used) mBits[mLength - 1] &= (1u << used) - 1;
}

void BitArray::Clear() {
  if (mLength) memset(mBits, 0, sizeof(uint32_t) * mLength);
}

void BitArray::InitFromDwordBlock(const uint32_t* pWords, int iLength) {
  if (iLength < 0 || (unsigned)iLength != mLength) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iLength == mLength", false);
    return;
  }
  if (mLength) memcpy(mBits, pWords, sizeof(uint32_t) * mLength);
}
