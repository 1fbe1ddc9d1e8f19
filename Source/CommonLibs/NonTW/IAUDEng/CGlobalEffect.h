// Global-effect content: one stored effect setting per effect slot, applied
// to the slots when the content starts. Played as content it ends at once.
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

class IAUDContentBank;

// One stored setting of one slot; its first 40 bytes begin an "eset" chunk.
struct SEffectSet {
  int32_t nSlot;
  float flLevel;
  uint32_t dwFlags;
  _GUID guidEffect;
  uint32_t dwParameter;
  uint32_t dwDataSize;
  void* pData;  // dwDataSize bytes owned by the set, or null
};

class CGlobalEffect : public IAUDContentObject {
 public:
  static constexpr uint32_t kSlotCount = 32;
  static constexpr uint32_t kSetBytes = 40;

  explicit CGlobalEffect(IAUDContentBank* bank);
  ~CGlobalEffect() override;

  void DeleteObject() override { delete this; }
  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  void StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops, CPlayer* player) override;
  int32_t CycleObject(void* instance, int32_t* loops, void* voice, CPlayer* player) override;

  // Copies the set (and data of its size when given) into a new set that
  // replaces the one at its slot; null for a slot outside 0..31.
  virtual SEffectSet* AddEffectSet(const SEffectSet* set, const void* data);
  virtual void DeleteEffectSet(long slot);
  SEffectSet* GetSlotEffectSet(long slot) const;

 private:
  void StoreEffectSet(SEffectSet* set);

  SEffectSet* m_apSets[kSlotCount] = {};
};
