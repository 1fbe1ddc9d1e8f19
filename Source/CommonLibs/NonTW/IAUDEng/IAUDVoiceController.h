// The voice controller: hands out blocks of the render driver's tracks to
// the players as voices. One is made when the runtime opens.
#pragma once

#include "NonTW/IAUDEng/IAUDResourceManager.h"

class IAUDVoiceController : public IAUDResourceManager {
 public:
  virtual ~IAUDVoiceController() {}
  virtual void DeleteObject() { delete this; }
};
