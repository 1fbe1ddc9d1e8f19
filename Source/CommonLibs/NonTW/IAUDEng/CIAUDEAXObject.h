// The common base of what carries EAX source properties of its own: audio
// players and sound-entity instances. Results: 0 accepted, -2 refused, -9
// no runtime.
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"

class CIAUDEAXObject {
 public:
  virtual int32_t SetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) = 0;
  virtual int32_t GetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) = 0;

 protected:
  ~CIAUDEAXObject() {}
};
