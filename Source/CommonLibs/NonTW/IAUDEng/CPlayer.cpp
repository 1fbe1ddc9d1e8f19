#include "NonTW/IAUDEng/CPlayer.h"

#include <cstring>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CSoundRandomizer.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"

float g_flDistanceFactor = 1.0f;

namespace {

// The content as an interactive randomizer, or null.
CSoundRandomizer* PlayerInteractive(IAUDContentObject* content) {
  if (!content || content->GetObjectType() != IAUDFourCC("sdri")) return nullptr;
  CSoundRandomizer* randomizer = static_cast<CSoundRandomizer*>(content);
  return randomizer->IsInteractive() ? randomizer : nullptr;
}

// A content that keeps reporting that it is still stopping is stopped by
// force after this many tries.
constexpr int kPlayerStopTries = 64;
constexpr uint32_t kPlayerCycleTick = 30000u;

// The render driver's exclusive mode for the life of the object.
class PlayerExclusive {
 public:
  PlayerExclusive() { CPlayer::BeginExclusiveMode(); }
  ~PlayerExclusive() { CPlayer::EndExclusiveMode(); }
  PlayerExclusive(const PlayerExclusive&) = delete;
  PlayerExclusive& operator=(const PlayerExclusive&) = delete;
};

uint32_t PlayerNow() {
  IAUDScheduler* s = IAUDResourceManager::GetScheduler();
  return s ? s->GetMilliseconds() : 0;
}

uint32_t PlayerPeriod() { return IAUDResourceManager::GetMicrosPerPeriod(); }

// Seconds as whole milliseconds, truncated; negative and unordered times are 0.
uint32_t PlayerMilliseconds(float seconds) {
  double ms = (double)seconds * 1000.0;
  if (!(ms > 0.0)) return 0;
  return ms >= 4294967295.0 ? 0xFFFFFFFFu : (uint32_t)ms;
}

uint32_t PlayerPercent(float fraction) {
  double p = (double)fraction * 100.0;
  if (!(p > 0.0)) return 0;
  return p >= 4294967295.0 ? 0xFFFFFFFFu : (uint32_t)p;
}

void PlayerAddBankReference(IAUDContentObject* content) {
  if (IAUDContentBank* bank = content ? content->GetContentBank() : nullptr) bank->AddContentBankReference();
}

void PlayerDropBankReference(IAUDContentObject* content) {
  if (IAUDContentBank* bank = content ? content->GetContentBank() : nullptr) bank->RemoveContentBankReference();
}

bool PlayerCanPlay(IAUDContentObject* content, void* voice) { return voice || content->GetNumTracks() == 0; }

void PlayerStartGlobalEffect(IAUDContentObject* content, CPlayer* player) {
  if (CGlobalEffect* effect = content ? content->GetContentGlobalEffect() : nullptr)
    effect->StartObject(nullptr, nullptr, nullptr, 0, player);
}

float PlayerLevel(uint32_t percent) {
  float level = (float)percent / 100.0f;
  return level > 1.0f ? 1.0f : level;
}

}  // namespace

void CPlayer::BeginExclusiveMode() {
  if (!m_papiResourceManager) return;
  if (IAUDRenderInterface* ri = IAUDResourceManager::GetRenderInterface()) ri->BeginExclusiveMode();
}

void CPlayer::EndExclusiveMode() {
  if (!m_papiResourceManager) return;
  if (IAUDRenderInterface* ri = IAUDResourceManager::GetRenderInterface()) ri->EndExclusiveMode();
}

CPlayer::CPlayer() {
  std::memset(&m_EAXSource, 0, sizeof(m_EAXSource));
  std::memset(m_aEAXSends, 0, sizeof(m_aEAXSends));
  std::memset(&m_EAXActiveSlots, 0, sizeof(m_EAXActiveSlots));
  StoreEAXDefaults();
  m_PrimaryMetric.dwIncrement = m_TransitionMetric.dwIncrement = 9600000u;
  m_PrimaryMetric.dwClocksPerBeat = m_TransitionMetric.dwClocksPerBeat = 96u;
  m_PrimaryReal.dwIncrement = m_TransitionReal.dwIncrement = 1000u;
  if (m_papiResourceManager) {
    PlayerExclusive lock;
    m_pNextPlayer = IAUDResourceManager::m_pPlayerList;
    if (m_pNextPlayer) m_pNextPlayer->m_pPrevPlayer = this;
    IAUDResourceManager::m_pPlayerList = this;
  }
  ResetTimeCodeOf(1);
  ResetTimeCodeOf(2);
}

CPlayer::~CPlayer() {
  StopUntilStopped();
  PlayerExclusive lock;
  ReleaseQueued();
  // The contents give back the bank references they took when attached.
  if (m_pPrimary) {
    m_pPrimary->ReleaseObject(m_pPrimaryInstance);
    PlayerDropBankReference(m_pPrimary);
  }
  if (m_pTransition) {
    m_pTransition->ReleaseObject(m_pTransitionInstance);
    PlayerDropBankReference(m_pTransition);
  }
  PlayerDropBankReference(m_pRPC);
  CloseVoice(&m_pPrimaryVoice, true);
  CloseVoice(&m_pTransitionVoice, true);
  m_pPrimary = m_pTransition = nullptr;
  m_pRPC = nullptr;
  RemoveActive();
  if (m_papiResourceManager && IAUDResourceManager::m_pMasterPlayer == this) IAUDResourceManager::m_pMasterPlayer = nullptr;
  if (m_pPrevPlayer)
    m_pPrevPlayer->m_pNextPlayer = m_pNextPlayer;
  else if (IAUDResourceManager::m_pPlayerList == this)
    IAUDResourceManager::m_pPlayerList = m_pNextPlayer;
  if (m_pNextPlayer) m_pNextPlayer->m_pPrevPlayer = m_pPrevPlayer;
  m_pPrevPlayer = m_pNextPlayer = nullptr;
}

bool CPlayer::IsValidPlayer(const CPlayer* player) const {
  if (!m_papiResourceManager || !player) return false;
  for (CPlayer* p = IAUDResourceManager::m_pPlayerList; p; p = p->m_pNextPlayer)
    if (p == player) return true;
  return false;
}

// ------------------------------------------------------------------ lists

void CPlayer::PushActive() {
  RemoveActive();
  m_pPrevActive = nullptr;
  m_pNextActive = IAUDResourceManager::m_pActivePlayers;
  if (m_pNextActive) m_pNextActive->m_pPrevActive = this;
  IAUDResourceManager::m_pActivePlayers = this;
}

void CPlayer::RemoveActive() {
  if (m_pPrevActive)
    m_pPrevActive->m_pNextActive = m_pNextActive;
  else if (IAUDResourceManager::m_pActivePlayers == this)
    IAUDResourceManager::m_pActivePlayers = m_pNextActive;
  else
    return;  // not in the list
  if (m_pNextActive) m_pNextActive->m_pPrevActive = m_pPrevActive;
  m_pPrevActive = m_pNextActive = nullptr;
}

// ----------------------------------------------------------------- voices

void* CPlayer::OpenVoice(IAUDContentObject* content, float level) {
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!vc || !content) return nullptr;
  SVoiceData d;
  std::memset(&d, 0, sizeof(d));
  d.dwNumTracks = content->GetNumTracks();
  d.flLevel = level;
  d.flPitch = m_flPitch;
  d.dwMode = (uint32_t)m_dwMode;
  d.vPosition = m_vPosition;
  d.vVelocity = m_vVelocity;
  d.vFront = m_vFront;
  d.vTop = m_vTop;
  d.pCurves = m_pRPC;
  d.flCurveInput = m_flRPCLevel;
  // A player of an entity sounds in the entity's group.
  d.pGroup = IAUDResourceManager::GetGroup((uint32_t)(m_pOwner ? m_pOwner->GetGroupIndex() : content->GetGroupIndex()));
  d.pContent = content;
  d.eaxSource = m_EAXSource;
  for (int s = 0; s < 4; ++s) d.eaxSends[s] = m_aEAXSends[s];
  d.eaxActiveSlots = m_EAXActiveSlots;
  return vc->GetVoiceHandle(&d);
}

void CPlayer::CloseVoice(void** voice, bool stop) {
  if (!*voice) return;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController()) {
    if (stop) vc->StopVoice(*voice);
    vc->CloseVoiceHandle(*voice);
  }
  *voice = nullptr;
}

// ---------------------------------------------------------------- content

void CPlayer::AttachPrimaryContent(IAUDContentObject* content) {
  StopUntilStopped();
  if (m_pPrimary) {
    m_pPrimary->ReleaseObject(m_pPrimaryInstance);
    PlayerDropBankReference(m_pPrimary);
  }
  m_pPrimaryInstance = nullptr;
  CloseVoice(&m_pPrimaryVoice, true);
  m_pPrimary = content;
  m_nPrimaryLoops = 0;
  m_dwElapsed = 0;
  m_dwCycleUpdate = 0;
  if (content) {
    content->InitObject(&m_pPrimaryInstance);
    PlayerAddBankReference(content);
  }
  if (IAUDResourceManager::GetRenderInterface()) {
    PlayerExclusive lock;
    ResetTimeCodeOf(1);
  }
}

void CPlayer::ReleaseQueued() {
  if (m_pQueued) {
    m_pQueued->ReleaseObject(m_pQueuedInstance);
    PlayerDropBankReference(m_pQueued);
  }
  m_pQueued = nullptr;
  m_pQueuedInstance = nullptr;
  m_pQueuedMarker = nullptr;
  m_nQueuedLoops = 0;
  m_bQueuedPending = false;
}

void CPlayer::AttachTransitionContent(IAUDContentObject* content) {
  PlayerExclusive lock;
  ReleaseQueued();
  if (m_nTransitionState == 4 || m_nTransitionState == 5) {
    // A transition is running: the content waits for its hand-over, and
    // holds its bank as an attached content does.
    m_pQueued = content;
    if (content) {
      content->InitObject(&m_pQueuedInstance);
      PlayerAddBankReference(content);
    }
    return;
  }
  if (m_pTransition) {
    m_pTransition->ReleaseObject(m_pTransitionInstance);
    PlayerDropBankReference(m_pTransition);
  }
  m_pTransitionInstance = nullptr;
  CloseVoice(&m_pTransitionVoice, true);
  m_pTransition = content;
  m_pTransitionMarker = nullptr;
  m_nTransitionLoops = 0;
  m_nTransitionState = 0;
  if (content) {
    content->InitObject(&m_pTransitionInstance);
    PlayerAddBankReference(content);
  }
  if (m_papiResourceManager && IAUDResourceManager::GetRenderInterface()) ResetTimeCodeOf(2);
}

void CPlayer::AttachRPC(CRPController* controller, float level) {
  if (!m_pRPC && !controller) return;
  PlayerDropBankReference(m_pRPC);
  m_pRPC = controller;
  m_flRPCLevel = level;
  PlayerAddBankReference(controller);
  {
    PlayerExclusive lock;
    if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
      EachVoice([&](void* v) { vc->SetVoiceRPC(v, controller, level); });
  }
  m_flRPCApplied = level;
}

// --------------------------------------------------------------- playback

void CPlayer::StartPlayer(long loops, void* marker) {
  StopUntilStopped();
  m_pPrevActive = nullptr;
  m_pPrimaryMarker = static_cast<IAUDContentMarker*>(marker);
  m_nPrimaryLoops = (int32_t)loops;
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (m_pPrimary) {
    if (loops == 0) m_nPrimaryLoops = (int32_t)m_pPrimary->GetLoopCount();
    if (vc) {
      m_pPrimaryVoice = OpenVoice(m_pPrimary, 1.0f);
      if (PlayerCanPlay(m_pPrimary, m_pPrimaryVoice)) {
        m_flRPCApplied = m_flRPCLevel;
        if (m_pPrimaryMarker) {
          int32_t previous = SetProcessSelector(1);
          ResetAllTimeCodeToMarker(m_pPrimaryMarker);
          SetProcessSelector(previous);
        }
        m_dwSyncStartType = m_pPrimary->GetSyncStartType();
        m_dwSyncStartMultiple = m_pPrimary->GetSyncStartMultiple();
      }
    }
  }
  CPlayer* master = IAUDResourceManager::m_pMasterPlayer;
  if (!master || master == this) m_dwSyncStartType = 0;
  m_dwCycleUpdate = 0;
  PlayerExclusive lock;
  bool playable = m_pPrimary && PlayerCanPlay(m_pPrimary, m_pPrimaryVoice);
  if (playable) PlayerStartGlobalEffect(m_pPrimary, this);
  // A player that waits for the master's beat is started by its cycle.
  if (!(m_dwSyncStartType != 0 && master && master != this)) {
    m_dwSyncStartType = 0;
    if (playable) {
      int32_t previous = SetProcessSelector(1);
      m_pPrimary->StartObject(m_pPrimaryVoice, m_pPrimaryMarker, m_pPrimaryInstance, (uint32_t)m_nPrimaryLoops, this);
      SetProcessSelector(previous);
    }
  }
  PushActive();
  m_nStatus = kPlaying;
}

void CPlayer::StartTransitionContent(bool withRPC) {
  if (!m_pTransition || !PlayerCanPlay(m_pTransition, m_pTransitionVoice)) return;
  if (withRPC && m_pTransitionVoice) {
    if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
      vc->SetVoiceRPC(m_pTransitionVoice, m_pRPC, m_flRPCLevel);
  }
  int32_t previous = SetProcessSelector(2);
  m_pTransition->StartObject(m_pTransitionVoice, m_pTransitionMarker, m_pTransitionInstance, (uint32_t)m_nTransitionLoops,
                             this);
  SetProcessSelector(previous);
}

void CPlayer::ArmTransition(bool withRPC) {
  uint32_t now = PlayerNow();
  m_dwTransitionStart = now;
  m_dwTransitionEnd = now + PlayerMilliseconds(m_Transition.flTotalTime);
  m_dwPrimaryFadeEnd = now + PlayerMilliseconds(m_Transition.flFadeOutTime);
  m_dwTransitionContentStart = now + PlayerMilliseconds(m_Transition.flStartDelay);
  m_dwPrimaryEndLevel = PlayerPercent(m_Transition.flFadeOutLevel);
  m_dwTransitionStartLevel = PlayerPercent(m_Transition.flStartLevel);
  m_nTransitionState = 4;
  if (m_dwTransitionContentStart <= now) {
    StartTransitionContent(withRPC);
    m_nTransitionState = 5;
  }
}

void CPlayer::TransitionPlayer(long loops, void* marker, STransition* transition) {
  static const STransition kDefault{0, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
  PlayerExclusive lock;
  if (m_nTransitionState == 4 || m_nTransitionState == 5) {
    // Runs when the running hand-over is done; without a content to run it
    // on, the request is dropped.
    if (m_pQueued) {
      m_nQueuedLoops = (int32_t)loops;
      m_pQueuedMarker = static_cast<IAUDContentMarker*>(marker);
      m_QueuedTransition = transition ? *transition : kDefault;
      m_bQueuedPending = true;
    }
    return;
  }
  m_nTransitionState = 0;
  m_Transition = transition ? *transition : kDefault;
  if (!m_pTransition) return;
  if (IAUDResourceManager::GetVoiceController()) {
    if (!m_pTransitionVoice) m_pTransitionVoice = OpenVoice(m_pTransition, m_Transition.flStartLevel);
    if (PlayerCanPlay(m_pTransition, m_pTransitionVoice)) {
      PlayerStartGlobalEffect(m_pTransition, this);
      m_pTransitionMarker = static_cast<IAUDContentMarker*>(marker);
      m_nTransitionLoops = (int32_t)loops;
      if (m_pTransitionMarker) {
        int32_t previous = SetProcessSelector(2);
        ResetAllTimeCodeToMarker(m_pTransitionMarker);
        SetProcessSelector(previous);
      }
    }
  }
  if (m_nStatus == kStopped) {
    m_dwSyncStartType = m_pTransition->GetSyncStartType();
    m_dwSyncStartMultiple = m_pTransition->GetSyncStartMultiple();
    StartPlayer(0, nullptr);
  }
  if (m_Transition.dwType != 0 && m_pPrimary) {
    if (m_Transition.dwType == 1)
      m_nTransitionState = 2;
    else if (m_Transition.dwType == 2)
      m_nTransitionState = 3;
  } else if (m_dwSyncStartType != 0) {
    m_nTransitionState = 1;
  } else {
    ArmTransition(false);
  }
}

void CPlayer::StopUntilStopped() {
  for (int i = 0; i < kPlayerStopTries && m_nStatus != kStopped; ++i) StopPlayer(false);
  if (m_nStatus != kStopped) StopPlayer(true);
}

void CPlayer::StopPlayer() { StopPlayer(false); }

void CPlayer::StopPlayer(bool force) {
  PlayerExclusive lock;
  ReleaseQueued();
  bool primaryStopped = !m_pPrimary || force || m_pPrimary->StopObject(m_pPrimaryVoice, m_pPrimaryInstance);
  if (primaryStopped) {
    CloseVoice(&m_pPrimaryVoice, true);
    m_nPrimaryLoops = 0;
    m_pPrimaryMarker = nullptr;
  }
  bool transitionStopped =
      !m_pTransition || force || m_pTransition->StopObject(m_pTransitionVoice, m_pTransitionInstance);
  if (transitionStopped) {
    CloseVoice(&m_pTransitionVoice, true);
    m_nTransitionLoops = 0;
    m_pTransitionMarker = nullptr;
    m_nTransitionState = 0;
  }
  if (!primaryStopped || !transitionStopped) {
    m_nStatus = kStopping;
    return;
  }
  RemoveActive();
  ResetTimeCodeOf(1);
  AttachTransitionContent(nullptr);
  m_dwElapsed = 0;
  m_dwCycleUpdate = 0;
  m_nStatus = kStopped;
}

void CPlayer::PausePlayer() {
  {
    PlayerExclusive lock;
    RemoveActive();
  }
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->PauseVoice(v); });
  if (m_pPrimary) m_pPrimary->PauseObject(m_pPrimaryVoice, m_pPrimaryInstance);
  if (m_pTransition && m_nTransitionState == 5) m_pTransition->PauseObject(m_pTransitionVoice, m_pTransitionInstance);
  m_dwPauseTime = PlayerNow();
  m_nStatus = kPaused;
}

void CPlayer::RestartPlayer() {
  if (m_nStatus != kPaused) return;
  m_pPrevActive = nullptr;
  if (m_nTransitionState == 4 || m_nTransitionState == 5) {
    uint32_t paused = PlayerNow() - m_dwPauseTime;
    m_dwTransitionStart += paused;
    m_dwPrimaryFadeEnd += paused;
    m_dwTransitionContentStart += paused;
    m_dwTransitionEnd += paused;
  }
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (m_pPrimary && PlayerCanPlay(m_pPrimary, m_pPrimaryVoice)) {
    PlayerStartGlobalEffect(m_pPrimary, this);
    m_pPrimary->RestartObject(m_pPrimaryVoice, m_pPrimaryInstance);
    if (vc) vc->RestartVoice(m_pPrimaryVoice);
  }
  if (m_pTransition && m_nTransitionState == 5 && PlayerCanPlay(m_pTransition, m_pTransitionVoice)) {
    PlayerStartGlobalEffect(m_pTransition, this);
    m_pTransition->RestartObject(m_pTransitionVoice, m_pTransitionInstance);
    if (vc) vc->RestartVoice(m_pTransitionVoice);
  }
  PlayerExclusive lock;
  PushActive();
  m_nStatus = kPlaying;
}

void CPlayer::CyclePlayer() {
  if (m_nStatus == kPaused) return;
  if (!m_pPrimary && (!m_pTransition || m_nTransitionState == 0)) {
    StopUntilStopped();
    return;
  }
  if (!m_papiResourceManager) return;
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  uint32_t now = PlayerNow();
  uint32_t period = PlayerPeriod();

  int ticks = 0;
  while (m_dwCycleUpdate >= kPlayerCycleTick) {
    m_dwCycleUpdate -= kPlayerCycleTick;
    m_dwFlags |= kCycleUpdateFlag;
    ++ticks;
  }

  if (m_dwSyncStartType != 0) {
    CPlayer* master = IAUDResourceManager::m_pMasterPlayer;
    if (!master) {
      StopUntilStopped();
      return;
    }
    if (master != this) {
      if (master->GetPlayerStatus() != kPlaying) return;
      uint32_t multiple = m_dwSyncStartMultiple ? m_dwSyncStartMultiple : 1u;
      uint32_t status = master->GetMasterStatus();
      bool due = false;
      switch (m_dwSyncStartType) {
        case 1: due = (status & 1u) && master->GetMasterClocks() % multiple == 0; break;
        case 2: due = (status & 2u) && master->GetMasterBeats() % multiple == 0; break;
        case 3: due = (status & 4u) && master->GetMasterBars() % multiple == 0; break;
        case 4: due = (status & kMarkerPassed) != 0; break;
        default: break;
      }
      if (!due) return;
    }
    m_dwSyncStartType = 0;
    if (m_pPrimary && PlayerCanPlay(m_pPrimary, m_pPrimaryVoice)) {
      if (vc) vc->SetVoiceRPC(m_pPrimaryVoice, m_pRPC, m_flRPCLevel);
      int32_t previous = SetProcessSelector(1);
      m_pPrimary->StartObject(m_pPrimaryVoice, m_pPrimaryMarker, m_pPrimaryInstance, (uint32_t)m_nPrimaryLoops, this);
      SetProcessSelector(previous);
    }
    if (m_nTransitionState == 1) ArmTransition(false);
  }

  if (ticks > 0) {
    if ((m_nTransitionState == 4 || m_nTransitionState == 5) && vc) {
      if (m_pPrimaryVoice) {
        uint32_t e = now - m_dwTransitionStart;
        uint32_t d = m_dwPrimaryFadeEnd - m_dwTransitionStart;
        uint32_t percent = e > d ? 0u : d == 0 ? m_dwPrimaryEndLevel : 100u - e * (100u - m_dwPrimaryEndLevel) / d;
        vc->SetVoiceLevel(m_pPrimaryVoice, PlayerLevel(percent));
      }
      if (m_nTransitionState == 5 && m_pTransitionVoice) {
        uint32_t percent = 100u;
        if (m_dwTransitionEnd != m_dwTransitionContentStart)
          percent = m_dwTransitionStartLevel + (now - m_dwTransitionContentStart) * (100u - m_dwTransitionStartLevel) /
                                                   (m_dwTransitionEnd - m_dwTransitionContentStart);
        vc->SetVoiceLevel(m_pTransitionVoice, PlayerLevel(percent));
      }
    }
    if (m_flRPCLevel != m_flRPCApplied) {
      if (vc) EachVoice([&](void* v) { vc->SetVoiceRPC(v, m_pRPC, m_flRPCLevel); });
      m_flRPCApplied = m_flRPCLevel;
    }
  }

  if (m_pPrimary) {
    SetProcessSelector(1);
    m_PrimaryFlags.dwInProcess &= ~kMarkerPassed;
    if (m_pPrimary->CycleObject(m_pPrimaryVoice, &m_nPrimaryLoops, m_pPrimaryInstance, this)) {
      AdvanceTimeCode();
      m_dwPrimaryElapsed += period;
    } else {
      CloseVoice(&m_pPrimaryVoice, true);
      if (m_nTransitionState == 2 && m_pTransition) {
        m_dwSyncStartType = m_pTransition->GetSyncStartType();
        m_dwSyncStartMultiple = m_pTransition->GetSyncStartMultiple();
        if (m_dwSyncStartType != 0) {
          m_nTransitionState = 1;
          m_dwCycleUpdate = 0;
        } else {
          m_nTransitionState = 3;
        }
      }
      if (m_nTransitionState == 0) {
        StopUntilStopped();
        SetProcessSelector(0);
        return;
      }
      if (m_nTransitionState == 6) {
        // The hand-over is due: the former transition content plays this
        // period as the primary.
        MoveTransitionToPrimary();
        SetProcessSelector(0);
        CyclePlayer();
        return;
      }
      if (m_nTransitionState == 3) ArmTransition(true);
    }
  }

  SetProcessSelector(2);
  if (m_nTransitionState == 4 && now >= m_dwTransitionContentStart) {
    StartTransitionContent(true);
    m_nTransitionState = 5;
  }
  if (m_nTransitionState == 5) {
    if (m_pTransition && PlayerCanPlay(m_pTransition, m_pTransitionVoice) &&
        !m_pTransition->CycleObject(m_pTransitionVoice, &m_nTransitionLoops, m_pTransitionInstance, this)) {
      StopUntilStopped();
      m_nTransitionState = 0;
      SetProcessSelector(0);
      return;
    }
    AdvanceTimeCode();
    m_dwTransitionElapsed += period;
    if (now >= m_dwTransitionEnd) MoveTransitionToPrimary();
  }
  SetProcessSelector(0);
  m_dwElapsed += period;
  m_dwCycleUpdate += period;
}

bool CPlayer::ProcessContentMarker() {
  if (m_bInChild || m_nProcess != 1) return true;
  if (m_nTransitionState == 2) {
    int32_t previous = SetProcessSelector(2);
    ArmTransition(true);
    SetProcessSelector(previous);
    if (PlayerNow() >= m_dwTransitionEnd) {
      m_nTransitionState = 6;
      return false;
    }
  }
  m_PrimaryFlags.dwInProcess |= kMarkerPassed;
  return true;
}

void CPlayer::MoveTransitionToPrimary() {
  CloseVoice(&m_pPrimaryVoice, true);
  if (m_pPrimary) {
    m_pPrimary->ReleaseObject(m_pPrimaryInstance);
    PlayerDropBankReference(m_pPrimary);
  }
  m_pPrimary = m_pTransition;
  m_pPrimaryInstance = m_pTransitionInstance;
  m_nPrimaryLoops = m_nTransitionLoops;
  m_pPrimaryMarker = m_pTransitionMarker;
  m_pPrimaryVoice = m_pTransitionVoice;
  m_pTransition = nullptr;
  m_pTransitionInstance = nullptr;
  m_nTransitionLoops = 0;
  m_pTransitionMarker = nullptr;
  m_pTransitionVoice = nullptr;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController()) vc->SetVoiceLevel(m_pPrimaryVoice, 1.0f);
  m_PrimaryFlags = m_TransitionFlags;
  m_PrimaryMetric = m_TransitionMetric;
  m_PrimaryReal = m_TransitionReal;
  m_nTransitionState = 0;
  m_pTransition = m_pQueued;
  m_pTransitionInstance = m_pQueuedInstance;
  m_pQueued = nullptr;
  m_pQueuedInstance = nullptr;
  m_dwSyncStartType = m_dwSyncStartMultiple = 0;
  if (m_bQueuedPending) {
    m_bQueuedPending = false;
    long loops = m_nQueuedLoops;
    IAUDContentMarker* marker = m_pQueuedMarker;
    STransition transition = m_QueuedTransition;
    m_nQueuedLoops = 0;
    m_pQueuedMarker = nullptr;
    ResetTimeCodeOf(2);
    TransitionPlayer(loops, marker, &transition);
  }
}

void CPlayer::AdvancePrimaryToMetricClock(unsigned long clock, bool flushTracks) {
  PausePlayer();
  int32_t previous = SetProcessSelector(1);
  if (m_papiResourceManager && m_pPrimary) {
    IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
    if (vc) {
      if (!m_pPrimaryVoice) m_pPrimaryVoice = OpenVoice(m_pPrimary, 1.0f);
      vc->BlockHandleOutput(m_pPrimaryVoice, true);
    }
    m_pPrimary->ResetObject(m_pPrimaryVoice, m_pPrimaryInstance);
    ResetAllTimeCode();
    m_dwElapsed = 0;
    m_dwCycleUpdate = 0;
    uint32_t period = PlayerPeriod();
    while (m_PrimaryMetric.dwTotalClocks < clock) {
      if (!m_pPrimary->AdvanceClock(m_pPrimaryInstance, this, m_pPrimaryVoice)) break;
      if (m_PrimaryMetric.dwTotalClocks >= clock) break;
      m_dwElapsed += period;
      AdvanceTimeCode();
    }
    if (clock == 0) m_pPrimary->AdvanceClock(m_pPrimaryInstance, this, m_pPrimaryVoice);
    m_pPrimary->ReCueLastClock(m_pPrimaryInstance, this);
    if (vc) {
      vc->BlockHandleOutput(m_pPrimaryVoice, false);
      if (flushTracks && m_pPrimaryVoice)
        for (uint32_t t = 0; t < m_pPrimary->GetNumTracks(); ++t) vc->FlushTrackState((long)t, m_pPrimaryVoice);
    }
  }
  SetProcessSelector(previous);
}

// ----------------------------------------------------------------- queries

void CPlayer::GetStatus(SPlayerStatus* out) {
  if (!out) return;
  PlayerExclusive lock;
  out->nStatus = m_nStatus;
  if (m_nTransitionState == 2 || m_nTransitionState == 3) out->nStatus = 4;
  if (m_nTransitionState == 4 || m_nTransitionState == 5) out->nStatus = 5;
  out->pPrimaryContent = m_pPrimary;
  out->pPrimaryMarker = m_pPrimaryMarker;
  out->pTransitionContent = m_pTransition;
  out->pTransitionMarker = m_pTransitionMarker;
  out->nPrimaryLoops = m_nPrimaryLoops;
  out->nTransitionLoops = m_nTransitionLoops;
  out->dwElapsedMs = m_dwElapsed / 1000u;
}

bool CPlayer::IsContentInGroup(unsigned long group) const {
  if (m_pOwner) return (uint32_t)m_pOwner->GetGroupIndex() == (uint32_t)group;
  if (m_pPrimary && (uint32_t)m_pPrimary->GetGroupIndex() == (uint32_t)group) return true;
  return m_pTransition && (uint32_t)m_pTransition->GetGroupIndex() == (uint32_t)group;
}

void CPlayer::UpdateGroupGain(CGroup* group) {
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!vc || !group) return;
  // The voices of an entity's player sound in the entity's group.
  auto groupOf = [this](IAUDContentObject* content) {
    return IAUDResourceManager::GetGroup((uint32_t)(m_pOwner ? m_pOwner->GetGroupIndex() : content->GetGroupIndex()));
  };
  if (m_pPrimary && m_pPrimaryVoice && groupOf(m_pPrimary) == group)
    vc->SetVoiceGroupGain(m_pPrimaryVoice);
  if (m_pTransition && m_pTransitionVoice && groupOf(m_pTransition) == group)
    vc->SetVoiceGroupGain(m_pTransitionVoice);
  if (CSoundRandomizer* layers = PlayerInteractive(m_pPrimary)) layers->UpdateVoicesGroupGain(m_pPrimaryInstance);
  if (CSoundRandomizer* layers = PlayerInteractive(m_pTransition)) layers->UpdateVoicesGroupGain(m_pTransitionInstance);
}

// ------------------------------------------------ 3D state, mode and pitch

// An interactive randomizer takes the level, cut toward zero, as its track.
void CPlayer::SetRPCLevel(float level) {
  CSoundRandomizer* layers = PlayerInteractive(m_pPrimary);
  void* instance = m_pPrimaryInstance;
  if (!layers) {
    layers = PlayerInteractive(m_pTransition);
    instance = m_pTransitionInstance;
  }
  if (layers) {
    // Levels beyond the int range select no track.
    layers->SetInteractiveTrack(level > -2147483648.0f && level < 2147483647.0f ? (int32_t)level : 0, instance);
    return;
  }
  if (!m_pRPC) return;
  m_flRPCLevel = level < 0.0f ? 0.0f : level > 1.0f ? 1.0f : level;
  if (m_nStatus == kPaused) {
    if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
      EachVoice([&](void* v) { vc->SetVoiceRPC(v, m_pRPC, m_flRPCLevel); });
  }
}

void CPlayer::SetPosition(IAUDVector& position) {
  PlayerExclusive lock;
  IAUDVector p{position.x * g_flDistanceFactor, position.y * g_flDistanceFactor, position.z * g_flDistanceFactor};
  if (p.x == m_vPosition.x && p.y == m_vPosition.y && p.z == m_vPosition.z) return;
  m_vPosition = p;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoicePosition(v, m_vPosition); });
}

void CPlayer::SetVelocity(IAUDVector& velocity) {
  PlayerExclusive lock;
  IAUDVector p{velocity.x * g_flDistanceFactor, velocity.y * g_flDistanceFactor, velocity.z * g_flDistanceFactor};
  if (p.x == m_vVelocity.x && p.y == m_vVelocity.y && p.z == m_vVelocity.z) return;
  m_vVelocity = p;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoiceVelocity(v, m_vVelocity); });
}

void CPlayer::SetOrientation(IAUDVector& front, IAUDVector& top) {
  if (front.x == m_vFront.x && front.y == m_vFront.y && front.z == m_vFront.z && top.x == m_vTop.x &&
      top.y == m_vTop.y && top.z == m_vTop.z)
    return;
  PlayerExclusive lock;
  m_vFront = front;
  m_vTop = top;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoiceOrientation(v, m_vFront, m_vTop); });
}

void CPlayer::SetOrientation(float first, float second, float third) {
  if (first == m_aflAngles[0] && second == m_aflAngles[1] && third == m_aflAngles[2]) return;
  PlayerExclusive lock;
  m_aflAngles[0] = first;
  m_aflAngles[1] = second;
  m_aflAngles[2] = third;
  IAUDcreateorientation(first, second, third, m_vFront, m_vTop);
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoiceOrientation(v, m_vFront, m_vTop); });
}

void CPlayer::SetMode(unsigned long mode) {
  if (mode == m_dwMode) return;
  PlayerExclusive lock;
  m_dwMode = mode;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoiceMode(v, mode); });
}

void CPlayer::SetPitch(float pitch) {
  if (pitch == m_flPitch) return;
  PlayerExclusive lock;
  m_flPitch = pitch;
  if (IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController())
    EachVoice([&](void* v) { vc->SetVoicePitch(v, pitch); });
}

void CPlayer::GetPosition(IAUDVector* out) {
  if (!out) return;
  PlayerExclusive lock;
  *out = IAUDVector{m_vPosition.x / g_flDistanceFactor, m_vPosition.y / g_flDistanceFactor,
                    m_vPosition.z / g_flDistanceFactor};
}

void CPlayer::GetVelocity(IAUDVector* out) {
  if (!out) return;
  PlayerExclusive lock;
  *out = IAUDVector{m_vVelocity.x / g_flDistanceFactor, m_vVelocity.y / g_flDistanceFactor,
                    m_vVelocity.z / g_flDistanceFactor};
}

void CPlayer::GetOrientation(IAUDVector* front, IAUDVector* top) {
  PlayerExclusive lock;
  if (front) *front = m_vFront;
  if (top) *top = m_vTop;
}

void CPlayer::GetOrientation(float* first, float* second, float* third) {
  PlayerExclusive lock;
  if (first) *first = m_aflAngles[1];
  if (second) *second = m_aflAngles[0];
  if (third) *third = m_aflAngles[2];
}

void CPlayer::GetMode(unsigned long* out) {
  PlayerExclusive lock;
  if (out) *out = m_dwMode;
}

void CPlayer::GetRPCLevel(float* out) {
  PlayerExclusive lock;
  if (out) *out = m_flRPCLevel;
}

void CPlayer::GetPitch(float* out) {
  PlayerExclusive lock;
  if (out) *out = m_flPitch;
}
