// 256-entry palettes of P8 textures, the elements of the "Palettes" pool.
#pragma once

#include <cstdint>

#include "TWUtil/DataArray.h"

class EPalette : public EDataElement {
public:
  EPalette() : m_dwLockCount(0), m_pColors(nullptr) {}
  ~EPalette();

  enum { kNUM_ENTRIES = 256 };

  unsigned m_dwLockCount;
  uint32_t* m_pColors;  // kNUM_ENTRIES entries, owned
};
