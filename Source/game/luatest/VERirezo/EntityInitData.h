// Init data of an entity: a tagged block of bytes that a domain record
// carries for the entity and hands to its ReadInitData.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"

struct EEntityInitData {
  EEntityInitData() : m_dwTag(0), m_aData(kMEMTYPE_Misc) {}

  uint32_t m_dwTag;  // four-character constant, e.g. 'SPLN'
  EArray<unsigned char> m_aData;
};
