#include "NonTW/IAUDEng/IAUDResourceManager.h"

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEffectSlotController.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "NonTW/IAUDEng/IAUDTranslator.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"

namespace {
const uint16_t kResourceEmptyTitle[1] = {0};
}

IAUDResourceManager* m_papiResourceManager = nullptr;
int32_t IAUDResourceManager::m_irCode = 0;
IAUDFileObject* IAUDResourceManager::m_pFileObject = nullptr;
IAUDContentBank* IAUDResourceManager::m_pContentBanks = nullptr;
IAUDSampleBank* IAUDResourceManager::m_pSampleBanks[256] = {};
IAUDRenderInterface* IAUDResourceManager::m_pRenderInterface = nullptr;
IAUDScheduler* IAUDResourceManager::m_pScheduler = nullptr;
IAUDTranslator* IAUDResourceManager::m_pTranslator = nullptr;
IAUDVoiceController* IAUDResourceManager::m_pVoiceController = nullptr;
IAUDSlotController* IAUDResourceManager::m_pSlotController = nullptr;
CPlayer* IAUDResourceManager::m_pActivePlayers = nullptr;
CPlayer* IAUDResourceManager::m_pPlayerList = nullptr;
CPlayer* IAUDResourceManager::m_pMasterPlayer = nullptr;
float IAUDResourceManager::m_flHeadRoomGain = 1.0f;

IAUDResourceManager::IAUDResourceManager(IAUDRenderInterface* pRenderInterface) {
  if (m_papiResourceManager) return;
  m_papiResourceManager = this;
  m_pRenderInterface = pRenderInterface;
  // The timer may tick as soon as the scheduler registers: the first tick
  // waits until the registry is complete.
  if (pRenderInterface) pRenderInterface->BeginExclusiveMode();
  m_pSlotController = new IAUDSlotController();
  m_pVoiceController = new IAUDVoiceController();
  m_pTranslator = new IAUDTranslator();
  m_pScheduler = new IAUDScheduler();
  for (IAUDSampleBank*& slot : m_pSampleBanks) slot = nullptr;
  InitVorbisFile();
  if (pRenderInterface) pRenderInterface->EndExclusiveMode();
}

void IAUDResourceManager::ReleaseAll() {
  if (m_pRenderInterface) m_pRenderInterface->SetSchedulerTimerProc(nullptr);
  ReleaseAllResources();
  while (m_pPlayerList) delete m_pPlayerList;
  if (m_pSlotController) m_pSlotController->DeleteObject();
  if (m_pVoiceController) m_pVoiceController->DeleteObject();
  if (m_pTranslator) m_pTranslator->DeleteObject();
  if (m_pScheduler) m_pScheduler->DeleteObject();
  m_pSlotController = nullptr;
  m_pVoiceController = nullptr;
  m_pTranslator = nullptr;
  m_pScheduler = nullptr;
  m_pRenderInterface = nullptr;
  m_pMasterPlayer = nullptr;
  m_pActivePlayers = nullptr;
  ShutdownVorbisFile();
}

void IAUDResourceManager::ReleaseAllResources() {
  // Nothing a player holds may outlive the banks released below.
  for (CPlayer* p = m_pPlayerList; p; p = p->GetPostPlayer()) {
    p->AttachPrimaryContent(nullptr);
    p->AttachTransitionContent(nullptr);
    p->AttachRPC(nullptr, 0.0f);
  }
  ReleaseAllGroups();
  ReleaseAllBanks();
  ReleaseAllContent();
  if (m_pFileObject) m_pFileObject->RemoveObject();
  m_pFileObject = nullptr;
}

void IAUDResourceManager::ReleaseAllBanks() {
  for (IAUDSampleBank*& slot : m_pSampleBanks) {
    if (!slot) continue;
    IAUDSampleBank* bank = slot;
    slot = nullptr;
    bank->RemoveObject();
  }
}

void IAUDResourceManager::ReleaseAllContent() {
  while (m_pContentBanks) {
    IAUDContentBank* head = m_pContentBanks;
    head->RemoveObject();
    // A bank unlinks itself when it is removed; never spin on one that did not.
    if (m_pContentBanks == head) m_pContentBanks = nullptr;
  }
}

IAUDFileObject* IAUDResourceManager::LoadFile(void* file) {
  ReleaseAllResources();
  // The object makes itself the project file as it is constructed.
  IAUDFileObject* project = new IAUDFileObject();
  project->ParseFile(file);
  return project;
}

IAUDContentBank* IAUDResourceManager::LoadContentBank(void* file) {
  IAUDContentBank* bank = new IAUDContentBank();
  bank->ParseFile(file);
  return bank;
}

void IAUDResourceManager::AddSampleBank(IAUDSampleBank* bank, uint32_t slot) {
  slot &= 0xFFu;
  if (IAUDSampleBank* old = m_pSampleBanks[slot]) {
    m_pSampleBanks[slot] = nullptr;
    // A bank put again into its own slot stays.
    if (old != bank) old->RemoveObject();
  }
  m_pSampleBanks[slot] = bank;
  if (bank) bank->SetResourceIndex(slot);
}

int32_t IAUDResourceManager::AddNewSampleBank(IAUDSampleBank* bank) {
  for (uint32_t slot = 0; slot < 256; ++slot) {
    if (!m_pSampleBanks[slot]) {
      AddSampleBank(bank, slot);
      return (int32_t)slot;
    }
  }
  return (int32_t)0x80000000u;
}

void IAUDResourceManager::MoveSampleBank(IAUDSampleBank* bank, uint32_t slot) {
  if (bank) {
    uint32_t old = bank->GetResourceIndex();
    if (old < 256 && m_pSampleBanks[old] == bank) m_pSampleBanks[old] = nullptr;
  }
  AddSampleBank(bank, slot);
}

IAUDSampleBank* IAUDResourceManager::GetResourceSampleBank(uint32_t slot) {
  return slot > 255 ? nullptr : m_pSampleBanks[slot];
}

CSample* IAUDResourceManager::GetSample(uint32_t reference) {
  uint32_t bankNumber = reference >> 16, index = reference & 0xFFFFu;
  if (bankNumber == 0 || bankNumber > 256) return m_pFileObject ? m_pFileObject->GetFileSample(index) : nullptr;
  IAUDSampleBank* bank = m_pSampleBanks[bankNumber - 1];
  return bank ? bank->GetBankSample(index) : nullptr;
}

namespace {
// Compares pointers only: the sample may already be gone.
bool ResourceBankHoldsSample(IAUDSampleBank* bank, const CSample* sample) {
  if (!bank) return false;
  for (int32_t i = 0, n = bank->GetBankSampleSlotCount(); i < n; ++i)
    if (bank->GetBankSample((uint32_t)i) == sample) return true;
  return false;
}
}  // namespace

bool IAUDResourceManager::IsValidSamplePointer(const CSample* sample) {
  if (!sample) return false;
  if (m_pFileObject && ResourceBankHoldsSample(m_pFileObject->GetFileSampleBank(), sample)) return true;
  for (IAUDSampleBank* bank : m_pSampleBanks)
    if (ResourceBankHoldsSample(bank, sample)) return true;
  return false;
}

uint32_t IAUDResourceManager::GetMicrosPerPeriod() { return m_pScheduler ? m_pScheduler->GetMicrosInPeriod() : 0; }

// The table lives as long as the process: its storage survives a close.
TCArray<CGroup*>& IAUDResourceManager::Groups() {
  static TCArray<CGroup*>* s_pGroups = new TCArray<CGroup*>();
  return *s_pGroups;
}

int32_t IAUDResourceManager::AddGroup(const uint16_t* title) {
  if (!title) title = kResourceEmptyTitle;
  TCArray<CGroup*>& groups = Groups();
  int32_t freeSlot = -1;
  for (int32_t i = 0; i < groups.GetElementCount(); ++i) {
    CGroup* g = *groups.GetElementMember(i);
    if (!g) {
      if (freeSlot < 0) freeSlot = i;
    } else if (IAUDCompareString(g->GetTitle(), title) == 0) {
      return i;
    }
  }
  CGroup* group = new CGroup(title);
  if (freeSlot >= 0) {
    *groups.GetElementMember(freeSlot) = group;
    return freeSlot;
  }
  return groups.AddElement(&group);
}

CGroup* IAUDResourceManager::GetGroup(uint32_t index) {
  TCArray<CGroup*>& groups = Groups();
  if (index >= (uint32_t)groups.GetElementCount()) return nullptr;
  return *groups.GetElementMember((int32_t)index);
}

int32_t IAUDResourceManager::GetGroupArrayCount() { return Groups().GetElementCount(); }

void IAUDResourceManager::DeleteGroup(uint32_t index) {
  TCArray<CGroup*>& groups = Groups();
  if (index >= (uint32_t)groups.GetElementCount()) return;
  CGroup*& entry = *groups.GetElementMember((int32_t)index);
  delete entry;
  entry = nullptr;
}

void IAUDResourceManager::ReleaseAllGroups() {
  TCArray<CGroup*>& groups = Groups();
  for (int32_t i = 0; i < groups.GetElementCount(); ++i) {
    delete *groups.GetElementMember(i);
    *groups.GetElementMember(i) = nullptr;
  }
  groups.RemoveAllElements();
}
