#include "NonTW/IAUDEng/CPlayer.h"

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

namespace {
// Runs fn inside the render interface's exclusive mode, when there is one.
template <class F>
void PlayerExclusive(F fn) {
  IAUDRenderInterface* ri = IAUDResourceManager::m_pRenderInterface;
  if (ri) ri->BeginExclusiveMode();
  fn();
  if (ri) ri->EndExclusiveMode();
}
}  // namespace

CPlayer::CPlayer() {
  PlayerExclusive([this] {
    m_pPostPlayer = IAUDResourceManager::m_pPlayerList;
    IAUDResourceManager::m_pPlayerList = this;
  });
}

CPlayer::~CPlayer() {
  PlayerExclusive([this] {
    StopPlayer();
    for (CPlayer** link = &IAUDResourceManager::m_pPlayerList; *link; link = &(*link)->m_pPostPlayer) {
      if (*link == this) {
        *link = m_pPostPlayer;
        break;
      }
    }
    if (IAUDResourceManager::m_pMasterPlayer == this) IAUDResourceManager::m_pMasterPlayer = nullptr;
  });
}

bool CPlayer::IsActive() const {
  for (CPlayer* p = IAUDResourceManager::m_pActivePlayers; p; p = p->m_pNextActive)
    if (p == this) return true;
  return false;
}

void CPlayer::StartPlayer(uint32_t loopCount, IAUDContentMarker* marker) {
  (void)loopCount;
  (void)marker;
  PlayerExclusive([this] {
    if (IsActive()) return;
    m_pNextActive = IAUDResourceManager::m_pActivePlayers;
    IAUDResourceManager::m_pActivePlayers = this;
  });
}

void CPlayer::StopPlayer() {
  PlayerExclusive([this] {
    for (CPlayer** link = &IAUDResourceManager::m_pActivePlayers; *link; link = &(*link)->m_pNextActive) {
      if (*link == this) {
        *link = m_pNextActive;
        break;
      }
    }
    m_pNextActive = nullptr;
  });
}

void CPlayer::CyclePlayer() {
  if (m_pPrimaryContent) m_pPrimaryContent->CycleObject(nullptr, nullptr, nullptr, this);
}
