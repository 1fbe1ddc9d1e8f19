// A bank of samples, held in one of the runtime's 256 sample-bank slots.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDBankObject.h"

class CSample;

class IAUDSampleBank : public IAUDBankObject {
 public:
  // The sample at that index, or null.
  CSample* GetBankSample(uint32_t index) {
    (void)index;
    return nullptr;
  }
};
