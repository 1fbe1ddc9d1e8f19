#include "NonTW/IAUDEng/IAUDContentBank.h"

#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CTransition.h"

namespace {

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

}  // namespace

IAUDContentBank::IAUDContentBank() {
  SetChunk(IAUDFourCC("RIFF"), IAUDFourCC("icbf"));
  SetBank(this);
}

// The content goes before the arrays it clears its slots in.
IAUDContentBank::~IAUDContentBank() { RemoveAllChildren(); }

IAUDContentObject* IAUDContentBank::CreateContentObject(uint32_t type) {
  if (type == IAUDFourCC("fldr")) return new IAUDContentObject(this);
  if (type == IAUDFourCC("path")) return new CPath(this);
  if (type == IAUDFourCC("rpc ")) return new CRPController(this);
  if (type == IAUDFourCC("tran")) return new CTransition(this);
  if (type == IAUDFourCC("gbef")) return new CGlobalEffect(this);
  return nullptr;
}

bool IAUDContentBank::FindContentObjectByName(const uint16_t* title, uint32_t* pType, uint32_t* pIndex) {
  (void)title;
  if (pType) *pType = 0;
  if (pIndex) *pIndex = kIAUD_NO_INDEX;
  return false;
}

void IAUDContentBank::AddIndexEntry(const SIndexEntry* entry) { (void)entry; }

void IAUDContentBank::RemoveIndexEntry(const uint16_t* title) { (void)title; }

CGlobalEffect* IAUDContentBank::GetGlobalEffect(uint32_t index) { return BankGet(m_aGlobalEffects, index); }
int32_t IAUDContentBank::AddNewGlobalEffect(CGlobalEffect* effect) { return BankAddNew(m_aGlobalEffects, effect); }
void IAUDContentBank::AddGlobalEffect(CGlobalEffect* effect, uint32_t index) {
  BankAddAt(m_aGlobalEffects, effect, index);
}
void IAUDContentBank::NullOutGlobalEffect(uint32_t index) { BankNullOut(m_aGlobalEffects, index); }

int32_t IAUDContentBank::AddNewPath(CPath* path) { return BankAddNew(m_aPaths, path); }
void IAUDContentBank::AddPath(CPath* path, uint32_t index) { BankAddAt(m_aPaths, path, index); }
CPath* IAUDContentBank::GetPath(uint32_t index) { return BankGet(m_aPaths, index); }
void IAUDContentBank::NullOutPath(uint32_t index) { BankNullOut(m_aPaths, index); }

int32_t IAUDContentBank::AddNewRPController(CRPController* rpc) { return BankAddNew(m_aRPControllers, rpc); }
void IAUDContentBank::AddRPController(CRPController* rpc, uint32_t index) { BankAddAt(m_aRPControllers, rpc, index); }
CRPController* IAUDContentBank::GetRPController(uint32_t index) { return BankGet(m_aRPControllers, index); }
void IAUDContentBank::NullOutRPController(uint32_t index) { BankNullOut(m_aRPControllers, index); }

int32_t IAUDContentBank::AddNewTransition(CTransition* transition) { return BankAddNew(m_aTransitions, transition); }
void IAUDContentBank::AddTransition(CTransition* transition, uint32_t index) {
  BankAddAt(m_aTransitions, transition, index);
}
CTransition* IAUDContentBank::GetTransition(uint32_t index) { return BankGet(m_aTransitions, index); }
void IAUDContentBank::NullOutTransition(uint32_t index) { BankNullOut(m_aTransitions, index); }
