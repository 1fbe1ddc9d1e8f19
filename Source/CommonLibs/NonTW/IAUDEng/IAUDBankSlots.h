// Numbered slots of a bank's objects: a TCArray of pointers in which a null
// entry is a free slot.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"

namespace iaudslots {

// Slots are filled one element at a time, so a damaged index far out
// would cost a long quadratic fill: indexes stop at 4096 a kind.
const uint32_t kBankSlotLimit = 0x1000;

template <class T>
int32_t BankAddNew(TCArray<T*>& slots, T* object) {
  for (int32_t i = 0; i < slots.GetElementCount(); ++i) {
    if (!*slots.GetElementMember(i)) {
      *slots.GetElementMember(i) = object;
      return i;
    }
  }
  return slots.AddElement(&object);
}

template <class T>
void BankAddAt(TCArray<T*>& slots, T* object, uint32_t index) {
  if (index >= kBankSlotLimit) {
    object->SetResourceIndex((uint32_t)BankAddNew(slots, object));
    return;
  }
  if ((int32_t)index < slots.GetElementCount()) {
    T* old = *slots.GetElementMember((int32_t)index);
    if (old && old != object) {
      *slots.GetElementMember((int32_t)index) = nullptr;
      old->RemoveObject();
    }
    *slots.GetElementMember((int32_t)index) = object;
  } else {
    T* none = nullptr;
    while ((uint32_t)slots.GetElementCount() < index) slots.AddElement(&none);
    slots.AddElement(&object);
  }
  object->SetResourceIndex(index);
}

template <class T>
T* BankGet(TCArray<T*>& slots, uint32_t index) {
  if (index >= (uint32_t)slots.GetElementCount()) return nullptr;
  return *slots.GetElementMember((int32_t)index);
}

template <class T>
void BankNullOut(TCArray<T*>& slots, uint32_t index) {
  if (index < (uint32_t)slots.GetElementCount()) *slots.GetElementMember((int32_t)index) = nullptr;
}

// Drops trailing free slots; the remaining count.
template <class T>
int32_t BankSlotCount(TCArray<T*>& slots) {
  int32_t n = slots.GetElementCount();
  while (n > 0 && !*slots.GetElementMember(n - 1)) slots.RemoveElement(--n);
  return n;
}

}  // namespace iaudslots
