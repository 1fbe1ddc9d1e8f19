// Script classes: the shared base instance of each loaded class.
#pragma once

#include <cstdint>

#include "TWUtil/DataArray.h"

struct ESVMBaseClassEntry : public EDataElement {
  ESVMBaseClassEntry() : m_iRef(0), m_uInUse(0), m_uLoadedBeforeStartUp(0), m_uOrder(0) {}
  int m_iRef;                      // locked reference to the base instance
  uint8_t m_uInUse;                // scratch mark of a level unload
  uint8_t m_uLoadedBeforeStartUp;  // never freed by level unloads
  uint16_t m_uOrder;               // cache entries before this one
};
