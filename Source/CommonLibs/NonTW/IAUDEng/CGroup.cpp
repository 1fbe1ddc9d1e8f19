#include "NonTW/IAUDEng/CGroup.h"

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDString.h"

CGroup::CGroup(const uint16_t* title) : m_flGain(1.0f) {
  static const uint16_t kGroupEmptyTitle[1] = {0};
  m_wszTitle[0] = 0;
  SetTitle(title ? title : kGroupEmptyTitle);
}

void CGroup::SetTitle(const uint16_t* title) {
  if (!title) return;
  IAUDCopyNumString(m_wszTitle, title, 127);
  m_wszTitle[127] = 0;
}

void CGroup::SetGain(float gain) {
  if (gain == m_flGain) return;
  m_flGain = gain;
  for (CPlayer* p = IAUDResourceManager::m_pPlayerList; p; p = p->GetPostPlayer()) p->UpdateGroupGain(this);
}
