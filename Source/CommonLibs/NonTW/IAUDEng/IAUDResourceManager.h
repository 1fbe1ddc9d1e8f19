// The root of the audio runtime: the registry every part of it shares. All
// of it is class-wide; the runtime's classes derive from it only to reach
// it, and the one instance is m_papiResourceManager while the runtime is open.
#pragma once

#include <cstdint>

class CGroup;
class CPlayer;
class CSample;
template <class X>
class TCArray;
class IAUDContentBank;
class IAUDFileObject;
class IAUDRenderInterface;
class IAUDSampleBank;
class IAUDScheduler;
class IAUDSlotController;
class IAUDTranslator;
class IAUDVoiceController;

class IAUDResourceManager {
 public:
  IAUDResourceManager() {}
  // Opens the runtime on the render interface; nothing when it is open.
  explicit IAUDResourceManager(IAUDRenderInterface* pRenderInterface);
  ~IAUDResourceManager() {}

  // Closes the runtime: stops the timer, releases everything loaded,
  // destroys the players and the controllers.
  static void ReleaseAll();
  static void ReleaseAllResources();
  static void ReleaseAllBanks();
  static void ReleaseAllContent();

  // Reads a project file from an open stream; everything loaded before is
  // released first. Missing banks leave their error code (-12, -13).
  static IAUDFileObject* LoadFile(void* file);
  // A content bank parsed from an open stream; the caller links it.
  static IAUDContentBank* LoadContentBank(void* file);

  // Sample-bank slots 0..255.
  static int32_t AddNewSampleBank(IAUDSampleBank* bank);
  static void AddSampleBank(IAUDSampleBank* bank, uint32_t slot);
  static void MoveSampleBank(IAUDSampleBank* bank, uint32_t slot);
  static IAUDSampleBank* GetResourceSampleBank(uint32_t slot);
  // High 16 bits: slot + 1 (0 or above 256: the project's own bank); low 16
  // bits: the sample's index in that bank.
  static CSample* GetSample(uint32_t reference);
  // Whether the sample lives in the project's own bank or in a slot's bank.
  static bool IsValidSamplePointer(const CSample* sample);

  // The index of the group whose title equals title; a new group is made in
  // the first empty entry of the table, or appended, when none does.
  static int32_t AddGroup(const uint16_t* title);
  // The group at that index (null for an emptied entry or past the count).
  static CGroup* GetGroup(uint32_t index);
  static int32_t GetGroupArrayCount();
  static void DeleteGroup(uint32_t index);
  // Destroys every group and empties the group table.
  static void ReleaseAllGroups();

  static void SetHeadRoomGain(float gain) { m_flHeadRoomGain = gain; }
  static float GetHeadRoomGain() { return m_flHeadRoomGain; }
  static void SetIAUDErrorCode(int32_t code) { m_irCode = code; }
  // The last load error; reading it resets it to 0.
  static int32_t GetIAUDErrorCode() {
    int32_t code = m_irCode;
    m_irCode = 0;
    return code;
  }
  // The scheduler's period; 0 without a scheduler.
  static uint32_t GetMicrosPerPeriod();

  static IAUDFileObject* GetFileObject() { return m_pFileObject; }
  static IAUDContentBank* GetFirstContentBank() { return m_pContentBanks; }
  static IAUDRenderInterface* GetRenderInterface() { return m_pRenderInterface; }
  static IAUDScheduler* GetScheduler() { return m_pScheduler; }
  static IAUDVoiceController* GetVoiceController() { return m_pVoiceController; }
  static IAUDSlotController* GetSlotController() { return m_pSlotController; }

  static int32_t m_irCode;
  static IAUDFileObject* m_pFileObject;
  static IAUDContentBank* m_pContentBanks;
  static IAUDSampleBank* m_pSampleBanks[256];
  static IAUDRenderInterface* m_pRenderInterface;
  static IAUDScheduler* m_pScheduler;
  static IAUDTranslator* m_pTranslator;
  static IAUDVoiceController* m_pVoiceController;
  static IAUDSlotController* m_pSlotController;
  static CPlayer* m_pActivePlayers;
  static CPlayer* m_pPlayerList;
  static CPlayer* m_pMasterPlayer;
  static float m_flHeadRoomGain;

 private:
  static TCArray<CGroup*>& Groups();
};

// The one resource manager; null while the runtime is closed.
extern IAUDResourceManager* m_papiResourceManager;
