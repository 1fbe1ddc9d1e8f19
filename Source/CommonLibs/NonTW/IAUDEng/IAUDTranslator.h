// The track command translator of the runtime; one is made when the
// runtime opens and destroyed when it closes.
#pragma once

#include "NonTW/IAUDEng/IAUDResourceManager.h"

class IAUDTranslator : public IAUDResourceManager {
 public:
  virtual ~IAUDTranslator() {}
  virtual void DeleteObject() { delete this; }
};
