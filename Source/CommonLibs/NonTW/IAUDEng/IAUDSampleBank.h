// A bank of samples, held in one of the runtime's 256 sample-bank slots.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDBankObject.h"

class CSample;

class IAUDSampleBank : public IAUDBankObject {
 public:
  // Adds the sample in the first free slot, or appends it; returns the slot.
  int32_t AddNewSample(CSample* sample) {
    for (int32_t i = 0; i < m_aSamples.GetElementCount(); ++i) {
      if (!*m_aSamples.GetElementMember(i)) {
        *m_aSamples.GetElementMember(i) = sample;
        return i;
      }
    }
    return m_aSamples.AddElement(&sample);
  }
  // The sample at that index, or null.
  CSample* GetBankSample(uint32_t index) {
    return index < (uint32_t)m_aSamples.GetElementCount() ? *m_aSamples.GetElementMember((int32_t)index) : nullptr;
  }

 private:
  TCArray<CSample*> m_aSamples;
};
