#include "NonTW/IAUDEng/IAUDBankObject.h"

IAUDBankObject::IAUDBankObject() : IAUDContentObject(nullptr) {}

IAUDBankObject::~IAUDBankObject() { RemoveAllChildren(); }

void IAUDBankObject::RemoveAllChildren() {
  while (IAUDContentObject* child = GetChild()) child->RemoveObject();
}

IAUDContentObject* IAUDBankObject::CreateContentObject(uint32_t type) {
  if (type == IAUDFourCC("fldr")) return new IAUDContentObject(GetBank());
  return nullptr;
}

IAUDContentObject* IAUDBankObject::CreateNewContentObject(uint32_t type, IAUDContentObject* parent) {
  IAUDContentObject* object = CreateContentObject(type);
  if (!object) return nullptr;
  if (type == IAUDFourCC("fldr")) object->SetChunk(IAUDFourCC("LIST"), type);
  (parent ? parent : this)->LinkObject(object);
  object->ProcessUnArchivedObject();
  return object;
}
