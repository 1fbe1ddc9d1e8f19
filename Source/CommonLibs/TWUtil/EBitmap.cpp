#include "TWUtil/EBitmap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "TWUtil/ErrorManager.h"

EBitmap::EBitmap() : m_pBuffer(nullptr), m_iWidth(0), m_iHeight(0), m_iFormat(kFORMAT_NONE), m_bBorrowed(false) {}

EBitmap::~EBitmap() { Reset(); }

int EBitmap::DepthOfFormat(int format) {
  switch (format) {
    case 0: return 32;
    case 1: return 24;
    case 2: case 3: case 5: return 16;
    case 6: case 7: return 8;
    default: return 0;
  }
}

bool EBitmap::Init(long width, long height, unsigned format, const char* pixels, bool copy) {
  Reset();
  // The checks name what they test.
  const int NONE = kFORMAT_NONE;
  const int Format = (int)format;
  const long Width = width, Height = height;
  EASSERT(Format != NONE);
  EASSERT(Width > 0);
  EASSERT(Height > 0);
  const int depth = DepthOfFormat(Format);
  EASSERT(depth);
  EASSERT(Width <= 0x7fffffff && Height <= 0x7fffffff);

  m_iWidth = (int)width;
  m_iHeight = (int)height;
  m_iFormat = Format;
  const uint64_t bytes = (uint64_t)width * (uint64_t)height * (uint64_t)(depth / 8);
  if (!pixels || copy) {
    m_pBuffer = bytes <= SIZE_MAX ? static_cast<char*>(calloc((size_t)bytes, 1)) : nullptr;
    EASSERT(m_pBuffer);
    if (pixels) memcpy(m_pBuffer, pixels, (size_t)bytes);
    m_bBorrowed = false;
  } else {
    m_pBuffer = const_cast<char*>(pixels);
    m_bBorrowed = true;
  }
  return true;
}

void EBitmap::Reset() {
  if (!m_bBorrowed) free(m_pBuffer);
  m_pBuffer = nullptr;
  m_bBorrowed = false;
  m_iWidth = 0;
  m_iHeight = 0;
  m_iFormat = kFORMAT_NONE;
}
