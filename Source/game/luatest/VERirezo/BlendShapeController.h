// A model's blend-target names: a name's position is its weight index.
#pragma once

#include <cstring>

#include "TWUtil/Array.h"
#include "TWUtil/String.h"

class EBlendShapeController {
public:
  ~EBlendShapeController() {
    for (int i = 0; i < m_aNames.Num(); ++i) delete m_aNames[i];
  }
  // The weight index of the name, added when new.
  unsigned AddBlendMapping(const char* szName) {
    const char* szKey = szName ? szName : "";
    for (int i = 0; i < m_aNames.Num(); ++i) {
      if (strcmp(GetMappingName(i), szKey) == 0) return (unsigned)i;
    }
    return (unsigned)m_aNames.AddData(new EString(szKey));
  }
  int GetNumMappings() const { return m_aNames.Num(); }
  // "" for an empty name.
  const char* GetMappingName(int i) const {
    const char* szName = *m_aNames[i];
    return szName ? szName : "";
  }
  void CompactNames() { m_aNames.Compact(); }

private:
  EArray<EString*> m_aNames;
};
