#include "NonTW/IAUDEng/CGlobalEffect.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEAX.h"
#include "NonTW/IAUDEng/IAUDEffectSlotController.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "TWUtil/ByteOrder.h"

namespace {

void GlobalEffectFreeSet(SEffectSet* set) {
  if (!set) return;
  std::free(set->pData);
  std::free(set);
}

void GlobalEffectGetGUID(const uint8_t* p, _GUID* guid) {
  guid->Data1 = GetLE32(p);
  guid->Data2 = GetLE16(p + 4);
  guid->Data3 = GetLE16(p + 6);
  std::memcpy(guid->Data4, p + 8, 8);
}

void GlobalEffectPutGUID(uint8_t* p, const _GUID& guid) {
  PutLE32(p, guid.Data1);
  PutLE16(p + 4, guid.Data2);
  PutLE16(p + 6, guid.Data3);
  std::memcpy(p + 8, guid.Data4, 8);
}

}  // namespace

CGlobalEffect::CGlobalEffect(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("gbef"));
  SetNumTracks(0);
}

CGlobalEffect::~CGlobalEffect() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutGlobalEffect(GetResourceIndex());
  for (SEffectSet*& set : m_apSets) {
    GlobalEffectFreeSet(set);
    set = nullptr;
  }
}

SEffectSet* CGlobalEffect::GetSlotEffectSet(long slot) const {
  return slot >= 0 && slot < (long)kSlotCount ? m_apSets[slot] : nullptr;
}

void CGlobalEffect::StoreEffectSet(SEffectSet* set) {
  SEffectSet*& entry = m_apSets[set->nSlot];
  GlobalEffectFreeSet(entry);
  entry = set;
}

SEffectSet* CGlobalEffect::AddEffectSet(const SEffectSet* set, const void* data) {
  if (!set || set->nSlot < 0 || set->nSlot >= (int32_t)kSlotCount) return nullptr;
  SEffectSet* copy = static_cast<SEffectSet*>(std::malloc(sizeof(SEffectSet)));
  if (!copy) return nullptr;
  *copy = *set;
  copy->pData = nullptr;
  if (data && set->dwDataSize) {
    copy->pData = std::malloc(set->dwDataSize);
    if (copy->pData)
      std::memcpy(copy->pData, data, set->dwDataSize);
    else
      copy->dwDataSize = 0;
  } else {
    copy->dwDataSize = 0;
  }
  StoreEffectSet(copy);
  return copy;
}

void CGlobalEffect::DeleteEffectSet(long slot) {
  if (slot < 0 || slot >= (long)kSlotCount) return;
  GlobalEffectFreeSet(m_apSets[slot]);
  m_apSets[slot] = nullptr;
}

void CGlobalEffect::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId != IAUDFourCC("eset") || chunk.dwSize < kSetBytes) return;
  uint8_t bytes[kSetBytes];
  if (IAUDFileRead(bytes, kSetBytes, 1, file) != 1) return;
  SEffectSet set;
  set.nSlot = (int32_t)GetLE32(bytes);
  set.flLevel = GetLEFloat(bytes + 4);
  set.dwFlags = GetLE32(bytes + 8);
  GlobalEffectGetGUID(bytes + 12, &set.guidEffect);
  set.dwParameter = GetLE32(bytes + 28);
  set.dwDataSize = GetLE32(bytes + 32);
  set.pData = nullptr;
  // A set for no slot, or whose data runs past its chunk, is skipped.
  if (set.nSlot < 0 || set.nSlot >= (int32_t)kSlotCount) return;
  if (set.dwDataSize > chunk.dwSize - kSetBytes) return;
  SEffectSet* stored = static_cast<SEffectSet*>(std::malloc(sizeof(SEffectSet)));
  if (!stored) return;
  *stored = set;
  if (set.dwDataSize) {
    stored->pData = std::malloc(set.dwDataSize);
    if (!stored->pData || IAUDFileRead(stored->pData, set.dwDataSize, 1, file) != 1) {
      std::free(stored->pData);
      stored->pData = nullptr;
      stored->dwDataSize = 0;
    }
  }
  StoreEffectSet(stored);
}

void CGlobalEffect::ProcessUnArchivedObject() {
  IAUDContentBank* bank = GetContentBank();
  if (!bank) return;
  if ((int32_t)GetResourceIndex() < 0)
    SetResourceIndex((uint32_t)bank->AddNewGlobalEffect(this));
  else
    bank->AddGlobalEffect(this, GetResourceIndex());
}

void CGlobalEffect::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  for (const SEffectSet* set : m_apSets) {
    if (!set) continue;
    std::vector<uint8_t> bytes(kSetBytes + set->dwDataSize, 0);
    PutLE32(&bytes[0], (uint32_t)set->nSlot);
    PutLEFloat(&bytes[4], set->flLevel);
    PutLE32(&bytes[8], set->dwFlags);
    GlobalEffectPutGUID(&bytes[12], set->guidEffect);
    PutLE32(&bytes[28], set->dwParameter);
    PutLE32(&bytes[32], set->dwDataSize);
    if (set->dwDataSize && set->pData) std::memcpy(&bytes[kSetBytes], set->pData, set->dwDataSize);
    WriteObjectData(file, IAUDFourCC("eset"), bytes.data(), (uint32_t)bytes.size());
  }
}

void CGlobalEffect::StartObject(void*, IAUDContentMarker*, void*, uint32_t, CPlayer*) {
  IAUDSlotController* slots = m_pSlotController;
  if (!slots) return;
  for (long slot = 0; slot < (long)kSlotCount; ++slot) {
    const SEffectSet* set = m_apSets[slot];
    if (!set) continue;
    _GUID current{};
    slots->GetSlotEffect(slot, &current);
    if (std::memcmp(&current, &set->guidEffect, sizeof(_GUID)) != 0) {
      slots->SetSlotLevel(slot, 0.0f, 0);
      slots->SetSlotEffect(slot, set->guidEffect);
    }
    if (!IAUDIsNullGUID(set->guidEffect))
      slots->SetSlotEffectParameter(slot, (long)set->dwParameter, set->pData, set->dwDataSize, 0);
    slots->SetSlotFlags(slot, set->dwFlags, 0);
    slots->SetSlotLevel(slot, set->flLevel, 0);
  }
}

int32_t CGlobalEffect::CycleObject(void*, int32_t* loops, void*, CPlayer*) {
  if (loops) *loops = 0;
  return false;
}
