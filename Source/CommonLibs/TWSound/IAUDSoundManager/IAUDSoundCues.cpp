// Cues, channels, sound sources and the listener: how the game plays a
// sound. Positions reach the runtime with z negated.
#include <cstring>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDInterface.h"
#include "TWSound/IAUDSoundManager/IAUDSoundManager.h"
#include "TWUtil/String.h"

namespace SoundCueDetail {

const float kFAR_CUE_DISTANCE_SQ = 9000000.0f;
const float kMOVE_THRESHOLD_SQ = 0.1f;
const float kLISTENER_THRESHOLD = 0.00001f;
const size_t kCUE_NAME_BUFFER = 4096;
const char kRPC_SUFFIX[] = "-rpc";

IAUDVector RuntimeVector(const EVec3& v) { return IAUDVector{v.x, v.y, -v.z}; }

const char* CueName(const ESoundCue* pCue) { return pCue && pCue->m_szName ? pCue->m_szName : ""; }

float DistanceSq(const EVec3& a, const EVec3& b) {
  const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

}  // namespace SoundCueDetail

using namespace SoundCueDetail;

// ---- Sound sources -----------------------------------------------------------------------------

void ESoundSource::SetPosition(const EVec3& vPosition, const EVec3& vListener, bool bForce) {
  if (!bForce && DistanceSq(vPosition, m_vPosition) <= kMOVE_THRESHOLD_SQ) return;
  m_vPosition = vPosition;
  m_fDistanceSq = DistanceSq(vPosition, vListener);
  m_uFlags |= kFLAG_PosChanged;
}

int32_t ESoundSource::CueStopped() {
  --m_nChannelsOnSource;
  EASSERT(m_nChannelsOnSource >= 0);
  return m_nChannelsOnSource;
}

// ---- Channels ----------------------------------------------------------------------------------

EChannel::~EChannel() {
  if (IsActive()) Stop(true);
}

void EChannel::Startup() {
  EASSERT(sg_pIAUD);
  if (sg_pIAUD) sg_pIAUD->CreateAudioPlayer(&m_pIAUDAudioPlayer);
}

void EChannel::Shutdown() {
  EASSERT(sg_pIAUD);
  if (sg_pIAUD && m_pIAUDAudioPlayer) sg_pIAUD->DestroyAudioPlayer(m_pIAUDAudioPlayer);
  m_uFlags = 0;
  m_dwStartFrame = 0;
  m_pIAUDAudioPlayer = nullptr;
  m_pSoundCue = nullptr;
  m_pSoundSource = nullptr;
  m_pOwner = nullptr;
}

bool EChannel::Prepare(ESoundCue* pCue) {
  EASSERT(pCue);
  EASSERT(!IsActive());
  if (sg_pIAUD->AttachPlayerPrimaryContent(m_pIAUDAudioPlayer, pCue->m_hContent) != kIAUD_OK) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Warning, couldn't attach content to IAUD AudioPlayer.");
    return false;
  }
  if (pCue->m_szRPCName) {
    if (ESoundBank* pBank = sg_pIAUDSoundManager ? sg_pIAUDSoundManager->GetSoundBank(pCue->m_uBank) : nullptr)
      sg_pIAUD->AttachPlayerRPC(m_pIAUDAudioPlayer, pCue->m_szRPCName, pBank->m_hContentBank, 0.0f);
  } else {
    sg_pIAUD->ReleasePlayerRPC(m_pIAUDAudioPlayer);
  }
  m_pSoundCue = pCue;
  m_dwStartFrame = sg_soundFrame;
  m_uFlags |= kFLAG_Active | kFLAG_StartPending;
  ++pCue->m_iRefCount;
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: EChannel::Prepare('%s') (cue 0x%08x)", (int)sg_soundFrame, CueName(pCue),
                               m_id);
  return true;
}

void EChannel::SetSoundSource(ESoundSource* pSource) {
  EASSERT(!m_pSoundSource);
  m_pSoundSource = pSource;
  if (pSource && pSource->Is3d()) {
    EASSERT(Is3d());
    FlushPosition();
  }
}

void EChannel::Stop(bool bImmediate) {
  EASSERT(m_pIAUDAudioPlayer);
  if (sg_pIAUD) sg_pIAUD->StopAudioPlayer(m_pIAUDAudioPlayer);
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: EChannel::Stop('%s', bImmediate = %s)", (int)sg_soundFrame,
                               CueName(m_pSoundCue), bImmediate ? "true" : "false");
  if (bImmediate) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Forcing immediate stop of cue '%s'", CueName(m_pSoundCue));
    if (sg_pIAUD) {
      sg_pIAUD->ReleasePlayerPrimaryContent(m_pIAUDAudioPlayer);
      sg_pIAUD->ReleasePlayerRPC(m_pIAUDAudioPlayer);
    }
    if (IsActive()) CueStopped();
  }
  if (m_uFlags & kFLAG_StartPending) {
    if (!bImmediate && IsActive()) CueStopped();
    m_uFlags &= ~(uint32_t)kFLAG_StartPending;
  }
}

bool EChannel::Update(const EVec3& vListener) {
  (void)vListener;
  EASSERT(m_pIAUDAudioPlayer);
  if (!IsActive()) return false;
  EASSERT(m_pSoundSource);
  if (m_pSoundSource->Is3d() && m_pSoundSource->PosChanged()) FlushPosition();
  if (m_uFlags & kFLAG_StartPending) {
    EASSERT(m_dwStartFrame == sg_soundFrame);
    if (sg_pIAUD->PlayAudioPlayer(m_pIAUDAudioPlayer, 0, nullptr) == kIAUD_OK) {
      m_uFlags &= ~(uint32_t)kFLAG_StartPending;
      g_ErrorManager.TraceMessagef(TT_Sound, "%d: Deferred start of '%s' SS: 0x%08x", (int)sg_soundFrame,
                                   CueName(m_pSoundCue), (unsigned)(uintptr_t)m_pSoundSource);
      if (m_pSoundCue->m_iCategory == kSOUNDCAT_MUSIC && sg_pIAUDSoundManager)
        sg_pIAUDSoundManager->SetTriggerVariable(0, sg_pIAUDSoundManager->m_fInteractiveMusicLevel, false);
      return true;
    }
    g_ErrorManager.TraceMessagef(TT_Sound, "Warning!  Deferred start of channel failed!");
    CueStopped();
    return false;
  }
  SPlayerStatus status{};
  iaudReturn = sg_pIAUD->GetAudioPlayerStatus(m_pIAUDAudioPlayer, &status);
  EASSERT(kIAUD_OK == iaudReturn);
  if (status.nStatus == 0) {
    CueStopped();
    return false;
  }
  return true;
}

void EChannel::CueStopped() {
  if (m_pSoundCue) {
    --m_pSoundCue->m_iRefCount;
    EASSERT(m_pSoundCue->m_iRefCount >= 0);
  }
  EASSERT(m_pSoundSource);
  if (m_pSoundSource) m_pSoundSource->CueStopped();
  m_uFlags &= ~(uint32_t)kFLAG_Active;
  ELoopingSound::SoundStopped(m_id);
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: Cue '%s'(cue: %08x src: %08x inst: %08x) stopped", (int)sg_soundFrame,
                               CueName(m_pSoundCue), m_pSoundCue ? m_pSoundCue->m_id : 0,
                               m_pSoundSource ? m_pSoundSource->m_id : 0, m_id);
}

void EChannel::FlushPosition() {
  EASSERT(m_pSoundSource);
  EASSERT(m_pSoundSource->Is3d());
  IAUDVector v = RuntimeVector(m_pSoundSource->m_vPosition);
  sg_pIAUD->SetAudioPlayerPosition(m_pIAUDAudioPlayer, v);
}

void EChannel::Set2d() {
  IAUDVector v{0.0f, 0.0f, 0.0f};
  sg_pIAUD->SetAudioPlayerMode(m_pIAUDAudioPlayer, 1);
  sg_pIAUD->SetAudioPlayerPosition(m_pIAUDAudioPlayer, v);
  m_uFlags |= kFLAG_2D;
}

void EChannel::Set3d() {
  IAUDVector v{0.0f, 0.0f, 0.0f};
  sg_pIAUD->SetAudioPlayerMode(m_pIAUDAudioPlayer, 0);
  sg_pIAUD->SetAudioPlayerPosition(m_pIAUDAudioPlayer, v);
  m_uFlags &= ~(uint32_t)kFLAG_2D;
}

void EChannel::Pause() {
  sg_pIAUD->PauseAudioPlayer(m_pIAUDAudioPlayer);
  m_uFlags |= kFLAG_Paused;
}

void EChannel::Resume() {
  sg_pIAUD->RestartAudioPlayer(m_pIAUDAudioPlayer);
  m_uFlags &= ~(uint32_t)kFLAG_Paused;
}

// ---- Manager: channels -------------------------------------------------------------------------

// Stopped while the record still has its id, so that its looping record
// goes with it; then back to the pool.
void EIAUDSoundManager::DeleteChannelNow(EChannel& channel) {
  if (channel.IsActive()) channel.Stop(true);
  m_pChannelArray->ElementDelete(&channel);
}

EChannel* EIAUDSoundManager::NewChannel() {
  if (!m_pChannelArray) return nullptr;
  const uint32_t uId = m_pChannelArray->ElementNew();
  if (!uId) return nullptr;
  EChannel* pChannel = m_pChannelArray->ElementGet(uId);
  pChannel->m_pIAUDAudioPlayer = m_apChannelPlayers[EDataArray<EChannel>::GetIndexFromDataId(uId)];
  pChannel->Set3d();
  return pChannel;
}

EChannel* EIAUDSoundManager::GetChannel(uint32_t uId) const {
  return m_pChannelArray && uId ? m_pChannelArray->ElementTryToGet(uId) : nullptr;
}

// ---- Manager: cues -----------------------------------------------------------------------------

uint32_t EIAUDSoundManager::GetSoundCue(const char* szName) {
  if (!m_bActive || !szName) return 0xFFFFFFFFu;
  if (strlen(szName) >= kCUE_NAME_BUFFER) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Sound cue name too long (%u characters): %.64s...",
                                 (unsigned)strlen(szName), szName);
    return 0;
  }
  char szCue[kCUE_NAME_BUFFER];
  char szDir[kCUE_NAME_BUFFER];
  if (!FilenameSeparatePath(szName, szDir, szCue)) strcpy(szCue, szName);
  const size_t uLen = strlen(szCue);
  if (uLen > 4 && szCue[uLen - 4] == '.') szCue[uLen - 4] = '\0';

  ESoundBank* pBank = nullptr;
  void* hContent = nullptr;
  for (int i = 0; i <= m_pSoundBankArray->GetHighestUsed() && !hContent; ++i) {
    ESoundBank& bank = (*m_pSoundBankArray)[i];
    if (!bank.m_id) continue;
    hContent = bank.ConvertNameToIAUDContentHandle(szCue);
    if (hContent) pBank = &bank;
  }
  if (!pBank) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Sound cue not found matching name %s (%s)\n", szCue, szName);
    return 0;
  }
  for (int i = 0; i <= m_pSoundCueArray->GetHighestUsed(); ++i) {
    const ESoundCue& cue = (*m_pSoundCueArray)[i];
    if (cue.m_id && cue.m_hContent == hContent && cue.m_uBank == pBank->m_id) return cue.m_id;
  }
  const uint32_t uId = m_pSoundCueArray->ElementNew();
  if (!uId) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Exceeded max number of sound cues\n");
    return 0;
  }
  ESoundCue* pCue = m_pSoundCueArray->ElementGet(uId);
  pCue->m_hContent = hContent;
  pCue->m_uBank = pBank->m_id;
  pCue->m_szName = StringDuplicate(szCue, kMEMTYPE_Debug);

  // Does the bank hold a parameter controller for the cue?
  if (EChannel* pProbe = NewChannel()) {
    char szRPC[kCUE_NAME_BUFFER + sizeof(kRPC_SUFFIX)];
    snprintf(szRPC, sizeof(szRPC), "%s%s", szCue, kRPC_SUFFIX);
    if (sg_pIAUD->AttachPlayerRPC(pProbe->m_pIAUDAudioPlayer, szRPC, pBank->m_hContentBank, 0.0f) == kIAUD_OK) {
      pCue->m_szRPCName = StringDuplicate(szRPC, kMEMTYPE_String);
      sg_pIAUD->ReleasePlayerRPC(pProbe->m_pIAUDAudioPlayer);
    }
    m_pChannelArray->ElementDelete(pProbe);
  }

  SContentInfo info{};
  if (sg_pIAUD->GetContentInfo(hContent, &info) == kIAUD_OK) {
    pCue->m_uLength = info.dwMaxDuration;
    pCue->m_bLooping = info.nLoopCount != 0;
  }
  if (pBank->m_bMusic) {
    pCue->m_iCategory = kSOUNDCAT_MUSIC;
  } else {
    void* hGroup = nullptr;
    if (sg_pIAUD->GetContentGroupHandle(&hGroup, hContent) == kIAUD_OK) {
      uint32_t uCategory = 0;
      pCue->m_iCategory = iaudGetCategoryFromGroupHandle(hGroup, uCategory) ? (int32_t)uCategory : kSOUNDCAT_MUSIC;
    }
  }
  return uId;
}

void EIAUDSoundManager::DeleteSoundCue(uint32_t uCue) {
  if (!m_bActive || !uCue) return;
  ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uCue);
  if (!pCue) return;
  StopChannelsOfCue(pCue);
  m_pSoundCueArray->ElementDelete(pCue);
}

bool EIAUDSoundManager::iaudVoiceCheck(ESoundCue* pSoundCue) {
  EASSERT(sg_pIAUD);
  EASSERT(pSoundCue);
  int32_t nAvailable = 0, nNeeded = 0;
  sg_pIAUD->GetAvailableVoiceCount(&nAvailable);
  sg_pIAUD->GetContentVoiceCount(pSoundCue->m_hContent, &nNeeded);
  return nAvailable >= nNeeded;
}

int EIAUDSoundManager::PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bIgnoreDistance) {
  if (!m_bActive || !uiCue) return 0;
  ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uiCue);
  if (!pCue) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Received request to play an invalid sound cue: %i\n", (int)uiCue);
    return 0;
  }
  if (!iaudVoiceCheck(pCue)) {
    g_ErrorManager.TraceMessagef(TT_Sound, "%d: Not enough hardware voices available to play cue '%s'",
                                 (int)sg_soundFrame, CueName(pCue));
    return 0;
  }
  ESoundSource* pSource = m_pSoundSourceArray->ElementTryToGet(uiSource ? uiSource : m_dwDefault2DSource);
  if (!pSource) {
    g_ErrorManager.TraceMessagef(TT_Sound, "Invalid sound source while trying to play sound cue '%s'.", CueName(pCue));
    return 0;
  }
  if (pSource->Is3d() && !bIgnoreDistance && !pCue->m_bLooping && pSource->m_fDistanceSq > kFAR_CUE_DISTANCE_SQ)
    return 0;
  if (pSource->m_nChannelsOnSource > 0 && pCue->m_bLooping) {
    for (int i = 0; i <= ELoopingSound::s_aLoopingSounds.GetHighestUsed(); ++i) {
      const ELoopingSound& loop = ELoopingSound::s_aLoopingSounds[i];
      if (loop.m_id && loop.m_pSource == pSource && loop.m_pCue == pCue) {
        g_ErrorManager.TraceMessagef(TT_Sound, "%d: Not playing second instance of '%s' on the same sound source",
                                     (int)sg_soundFrame, CueName(pCue));
        return 0;
      }
    }
  }
  EChannel* pChannel = NewChannel();
  if (!pChannel) return 0;
  if (pSource->Is2d()) pChannel->Set2d();
  if (!pChannel->Prepare(pCue)) {
    m_pChannelArray->ElementDelete(pChannel);
    return 0;
  }
  pChannel->SetSoundSource(pSource);
  ++pSource->m_nChannelsOnSource;
  if (!bIgnoreDistance && pSource->Is3d() && pCue->m_bLooping) {
    const uint32_t uLoop = ELoopingSound::s_aLoopingSounds.ElementNew();
    ELoopingSound* pLoop = ELoopingSound::s_aLoopingSounds.ElementGet(uLoop);
    pLoop->m_fPauseDistanceSq = kFAR_CUE_DISTANCE_SQ;
    pLoop->m_pSource = pSource;
    pLoop->m_uChannel = pChannel->m_id;
    pLoop->m_pCue = pCue;
  }
  return (int)pChannel->m_id;
}

void EIAUDSoundManager::StopSoundCue(uint32_t uCue, uint32_t uSource, uint32_t uInstance) {
  if (!m_bActive || !uCue) return;
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: StopSoundCue(cue: %08x ss: %08x inst: %08x)", (int)sg_soundFrame, uCue,
                               uSource, uInstance);
  if (uSource) {
    stopAllBySource(uSource, true);
  } else if (uInstance) {
    if (EChannel* pChannel = GetChannel(uInstance)) pChannel->Stop(false);
  } else {
    stopAllByCue(uCue, false);
  }
}

void EIAUDSoundManager::StopSoundsOnSource(uint32_t uiSource) {
  if (!m_bActive) return;
  stopAllBySource(uiSource, true);
}

void EIAUDSoundManager::stopAllBySource(uint32_t uSource, bool bImmediate) {
  ESoundSource* pSource = uSource ? m_pSoundSourceArray->ElementTryToGet(uSource) : nullptr;
  if (pSource) stopAllBySource(pSource, bImmediate);
}

void EIAUDSoundManager::stopAllBySource(ESoundSource* pSource, bool bImmediate) {
  (void)bImmediate;
  EASSERT(pSource);
  if (!m_pChannelArray) return;
  for (int i = 0; i <= m_pChannelArray->GetHighestUsed(); ++i) {
    EChannel& channel = (*m_pChannelArray)[i];
    if (channel.m_id && channel.m_pSoundSource == pSource) DeleteChannelNow(channel);
  }
}

void EIAUDSoundManager::stopAllByCue(uint32_t uCue, bool bImmediate) {
  ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uCue);
  if (!pCue || !m_pChannelArray) return;
  for (int i = 0; i <= m_pChannelArray->GetHighestUsed(); ++i) {
    EChannel& channel = (*m_pChannelArray)[i];
    if (channel.m_id && channel.m_pSoundCue == pCue) channel.Stop(bImmediate);
  }
}

bool EIAUDSoundManager::SoundCueIsPlaying(uint32_t uiCue) {
  if (!m_bActive || !uiCue) return false;
  const ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uiCue);
  return pCue && pCue->m_iRefCount > 0;
}

int32_t EIAUDSoundManager::SoundCueNumRefs(uint32_t uCue) {
  if (!m_bActive || !uCue) return -1;
  const ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uCue);
  return pCue ? pCue->m_iRefCount : 0;
}

uint32_t EIAUDSoundManager::SoundCueLength(uint32_t uCue) {
  if (!m_bActive || !uCue) return 0;
  const ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uCue);
  return pCue ? pCue->m_uLength : 0;
}

bool EIAUDSoundManager::IsSoundCueInCategory(uint32_t uCue, SOUNDCATEGORY eCategory) {
  if (!m_bActive || !uCue) return false;
  const ESoundCue* pCue = m_pSoundCueArray->ElementTryToGet(uCue);
  return pCue && pCue->m_iCategory == (int32_t)eCategory;
}

// ---- Manager: runtime parameters ---------------------------------------------------------------

void EIAUDSoundManager::SetTriggerVariable(uint32_t uVariable, float fValue, bool bFlag) {
  (void)uVariable, (void)bFlag;
  if (!m_bActive) return;
  m_fInteractiveMusicLevel = fValue;
  const float fLevel = fValue > 0.3f ? 0.25f : fValue;
  for (int i = 0; m_pChannelArray && i <= m_pChannelArray->GetHighestUsed(); ++i) {
    EChannel& channel = (*m_pChannelArray)[i];
    if (!channel.m_id || !channel.m_pSoundCue || channel.m_pSoundCue->m_iCategory != kSOUNDCAT_MUSIC) continue;
    sg_pIAUD->SetAudioPlayerRPCLevel(channel.m_pIAUDAudioPlayer, fLevel * 10.0f);
    g_ErrorManager.TraceMessagef(TT_Sound, "%d: SetTriggerVariable(%f)", (int)sg_soundFrame, fLevel * 10.0f);
  }
}

void EIAUDSoundManager::SetParameterControl(const char* szParameter, float fValue, uint32_t uInstance, uint32_t uCue) {
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: SetParameterControl(param; '%s' val: %f inst: %08x cue: %08x",
                               (int)sg_soundFrame, szParameter ? szParameter : "", fValue, uInstance, uCue);
  EChannel* pChannel = uInstance ? GetChannel(uInstance) : nullptr;
  if (!pChannel) return;
  g_ErrorManager.TraceMessagef(TT_Sound, "%d: sg_pIAUD->SetAudioPlayerRPCLevel(%f) '%s'", (int)sg_soundFrame, fValue,
                               CueName(pChannel->m_pSoundCue));
  sg_pIAUD->SetAudioPlayerRPCLevel(pChannel->m_pIAUDAudioPlayer, fValue);
}

void EIAUDSoundManager::SetDistanceFactor(float fFactor) {
  if (m_bActive && sg_pIAUD) sg_pIAUD->SetDistanceFactor(fFactor);
}

// ---- Manager: sources --------------------------------------------------------------------------

ESoundSource* EIAUDSoundManager::getFurthestSoundSource() {
  EASSERT(m_pSoundSourceArray->m_iNumUsed == sg_nSoundSources);
  ESoundSource* pFurthest = nullptr;
  for (int i = 0; i < sg_nSoundSources; ++i) {
    ESoundSource* pSoundSource = &(*m_pSoundSourceArray)[i];
    EASSERT(m_pSoundSourceArray->ElementIsUsed(pSoundSource));
    if (pSoundSource->Is3d() && (!pFurthest || pSoundSource->m_fDistanceSq > pFurthest->m_fDistanceSq))
      pFurthest = pSoundSource;
  }
  return pFurthest;
}

uint32_t EIAUDSoundManager::RequestSoundSource(EEntity* pOwner, const EVec3& vPosition, EEntity** ppDisplaced) {
  if (!m_bActive) return 0;
  if (ppDisplaced) *ppDisplaced = nullptr;
  uint32_t uId = m_pSoundSourceArray->ElementNew();
  if (!uId) {
    ESoundSource* pFurthest = getFurthestSoundSource();
    if (!pFurthest || DistanceSq(vPosition, m_vListenerPos) > pFurthest->m_fDistanceSq) return 0;
    g_ErrorManager.TraceMessagef(TT_Sound, "%d: Stopping furthest sound source preemptively", (int)sg_soundFrame);
    stopAllBySource(pFurthest, true);
    if (ppDisplaced) *ppDisplaced = pFurthest->m_pOwner;
    m_pSoundSourceArray->ElementDelete(pFurthest);
    uId = m_pSoundSourceArray->ElementNew();
  }
  ESoundSource* pSource = m_pSoundSourceArray->ElementTryToGet(uId);
  EASSERT(pSource);
  if (!pSource) return 0;
  pSource->SetOwner(pOwner);
  pSource->SetPosition(vPosition, m_vListenerPos, true);
  return uId;
}

void EIAUDSoundManager::FreeSoundSource(uint32_t uiSource, EEntity* pOwner) {
  if (!m_bActive || !uiSource) return;
  ESoundSource* pSource = m_pSoundSourceArray->ElementTryToGet(uiSource);
  if (!pSource || (pOwner && pOwner != pSource->m_pOwner)) return;
  stopAllBySource(pSource, true);
  m_pSoundSourceArray->ElementDelete(pSource);
}

bool EIAUDSoundManager::ProcessSoundSource(uint32_t uiSource, const EVec3& vPosition) {
  if (!m_bActive || !uiSource) return false;
  ESoundSource* pSource = m_pSoundSourceArray->ElementTryToGet(uiSource);
  if (!pSource) return false;
  if (pSource->m_nChannelsOnSource <= 0) {
    stopAllBySource(pSource, true);
    m_pSoundSourceArray->ElementDelete(pSource);
    return false;
  }
  pSource->SetPosition(vPosition, m_vListenerPos, false);
  pSource->m_fDistanceSq = DistanceSq(vPosition, m_vListenerPos);
  return true;
}

bool EIAUDSoundManager::IsSourcePlayingCategory(uint32_t uSource, SOUNDCATEGORY eCategory) {
  if (!m_bActive || !m_pChannelArray) return false;
  const ESoundSource* pSource = uSource ? m_pSoundSourceArray->ElementTryToGet(uSource) : nullptr;
  for (int i = 0; i <= m_pChannelArray->GetHighestUsed(); ++i) {
    const EChannel& channel = (*m_pChannelArray)[i];
    if (!channel.m_id || !channel.m_pSoundCue || channel.m_pSoundCue->m_iCategory != (int32_t)eCategory) continue;
    if (!pSource || channel.m_pSoundSource == pSource) return true;
  }
  return false;
}

bool EIAUDSoundManager::IsEntityPlayingCategory(EEntity* pOwner, SOUNDCATEGORY eCategory) {
  if (!m_bActive || !m_pChannelArray) return false;
  for (int i = 0; i <= m_pChannelArray->GetHighestUsed(); ++i) {
    const EChannel& channel = (*m_pChannelArray)[i];
    if (channel.m_id && channel.m_pSoundCue && channel.m_pSoundCue->m_iCategory == (int32_t)eCategory &&
        channel.m_pOwner == pOwner)
      return true;
  }
  return false;
}

void EIAUDSoundManager::AssociateEntityWithInstance(EEntity* pOwner, uint32_t uInstance) {
  if (!m_bActive) return;
  if (EChannel* pChannel = GetChannel(uInstance)) pChannel->SetOwner(pOwner);
}

void EIAUDSoundManager::SetSoundSourceSleeping(EEntity* pOwner, bool bSleeping) {
  if (!m_bActive) return;
  for (int i = 0; i <= m_pSoundSourceArray->GetHighestUsed(); ++i) {
    ESoundSource& source = (*m_pSoundSourceArray)[i];
    if (source.m_id && source.m_pOwner == pOwner) {
      source.m_bSleeping = bSleeping;
      return;
    }
  }
}

// ---- Manager: listener -------------------------------------------------------------------------

void EIAUDSoundManager::SetListenerPosition(const EVec3& vPosition) {
  if (!m_bActive) return;
  if (DistanceSq(vPosition, m_vListenerPos) < kLISTENER_THRESHOLD * kLISTENER_THRESHOLD) return;
  IAUDVector v = RuntimeVector(vPosition);
  if (sg_pIAUD->SetListenerPosition(v) != kIAUD_OK)
    g_ErrorManager.TraceMessagef(TT_Sound, "Failed to set listener position\n");
  m_vListenerPos = vPosition;
}

void EIAUDSoundManager::SetListenerOrientation(const EVec3& vForward, const EVec3& vUp) {
  if (!m_bActive) return;
  const float fLimit = kLISTENER_THRESHOLD * kLISTENER_THRESHOLD;
  if (DistanceSq(vForward, m_vListenerForward) < fLimit && DistanceSq(vUp, m_vListenerUp) < fLimit) return;
  IAUDVector f = RuntimeVector(vForward), u = RuntimeVector(vUp);
  if (sg_pIAUD->SetListenerOrientation(f, u) != kIAUD_OK)
    g_ErrorManager.TraceMessagef(TT_Sound, "Failed to set listener orientation\n");
  m_vListenerForward = vForward;
  m_vListenerUp = vUp;
}
