// The root of the audio runtime: class-wide services that content objects
// reach by deriving from it. Only the services the content tree needs are
// here so far: groups, the last error code and the bank registries.
#pragma once

#include <cstdint>

class CGroup;
template <class X>
class TCArray;
class IAUDContentBank;
class IAUDFileObject;
class IAUDRenderInterface;
class IAUDSampleBank;

class IAUDResourceManager {
 public:
  IAUDResourceManager() {}
  ~IAUDResourceManager() {}

  // The index of the group whose title equals title; a new group is made in
  // the first empty entry of the table, or appended, when none does.
  static int32_t AddGroup(const uint16_t* title);
  // The group at that index, or null at or past the table's count.
  static CGroup* GetGroup(uint32_t index);
  // Destroys every group and empties the group table.
  static void ReleaseAllGroups();
  static void SetIAUDErrorCode(int32_t code) { sm_nErrorCode = code; }
  static int32_t GetIAUDErrorCode() { return sm_nErrorCode; }

  static IAUDRenderInterface* GetRenderInterface() { return m_pRenderInterface; }
  // Slot = the low 8 bits; a bank already there is removed; null empties it.
  static void AddSampleBank(IAUDSampleBank* bank, uint32_t slot);
  static IAUDSampleBank* GetResourceSampleBank(uint32_t slot) { return slot < 256 ? m_pSampleBanks[slot] : nullptr; }
  static void SetHeadRoomGain(float gain) { m_flHeadRoomGain = gain; }
  static float GetHeadRoomGain() { return m_flHeadRoomGain; }

  static IAUDRenderInterface* m_pRenderInterface;
  static IAUDSampleBank* m_pSampleBanks[256];
  static float m_flHeadRoomGain;
  static IAUDFileObject* m_pFileObject;
  static IAUDContentBank* m_pContentBanks;

 private:
  static TCArray<CGroup*>& Groups();
  static int32_t sm_nErrorCode;
};

// The one resource manager; null before the runtime starts.
extern IAUDResourceManager* m_papiResourceManager;
