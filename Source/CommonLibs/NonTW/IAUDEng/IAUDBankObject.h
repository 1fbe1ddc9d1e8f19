// The common base of the runtime's banks: the content bank, the sample bank
// and the project file. A bank makes the objects its files hold.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDContentObject.h"

class IAUDBankObject : public IAUDContentObject {
 public:
  IAUDBankObject();
  // Removes every child, first child first.
  ~IAUDBankObject() override;

  virtual void StoreRelativePath(const uint16_t* path) { (void)path; }
  virtual const uint16_t* GetRelativePath() { return GetTitle(); }
  virtual void ParseFile(void* file) { (void)file; }
  // An unlinked object of that type; this base makes only folders.
  virtual IAUDContentObject* CreateContentObject(uint32_t type);
  // Makes an object, links it under parent (this bank for null) and
  // completes it. A folder made here carries its "LIST"/"fldr" header.
  virtual IAUDContentObject* CreateNewContentObject(uint32_t type, IAUDContentObject* parent);

 protected:
  void RemoveAllChildren();
};
