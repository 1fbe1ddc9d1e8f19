// The project file: it registers itself as the runtime's one project file.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDBankObject.h"

class CSample;

class IAUDFileObject : public IAUDBankObject {
 public:
  IAUDFileObject() { m_pFileObject = this; }
  ~IAUDFileObject() override {
    if (m_pFileObject == this) m_pFileObject = nullptr;
  }
  // The project's own sample at that index, or null.
  CSample* GetFileSample(uint32_t index) {
    (void)index;
    return nullptr;
  }
};
