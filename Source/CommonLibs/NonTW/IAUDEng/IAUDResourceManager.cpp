#include "NonTW/IAUDEng/IAUDResourceManager.h"

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"

namespace {
const uint16_t kResourceEmptyTitle[1] = {0};
}

IAUDResourceManager* m_papiResourceManager = nullptr;
IAUDFileObject* IAUDResourceManager::m_pFileObject = nullptr;
IAUDContentBank* IAUDResourceManager::m_pContentBanks = nullptr;
IAUDRenderInterface* IAUDResourceManager::m_pRenderInterface = nullptr;
IAUDSampleBank* IAUDResourceManager::m_pSampleBanks[256] = {};
float IAUDResourceManager::m_flHeadRoomGain = 1.0f;

void IAUDResourceManager::AddSampleBank(IAUDSampleBank* bank, uint32_t slot) {
  slot &= 0xFF;
  if (IAUDSampleBank* old = m_pSampleBanks[slot]) {
    m_pSampleBanks[slot] = nullptr;
    if (old != bank) old->RemoveObject();
  }
  m_pSampleBanks[slot] = bank;
  if (bank) bank->SetResourceIndex(slot);
}
int32_t IAUDResourceManager::sm_nErrorCode = 0;

CGroup::CGroup(const uint16_t* title) : m_flGain(1.0f) {
  IAUDCopyNumString(m_wszTitle, title ? title : kResourceEmptyTitle, 127);
  m_wszTitle[127] = 0;
}

// The table lives as long as the process: groups left at exit stay reachable.
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

void IAUDResourceManager::ReleaseAllGroups() {
  TCArray<CGroup*>& groups = Groups();
  for (int32_t i = 0; i < groups.GetElementCount(); ++i) delete *groups.GetElementMember(i);
  groups.RemoveAllElements();
}
