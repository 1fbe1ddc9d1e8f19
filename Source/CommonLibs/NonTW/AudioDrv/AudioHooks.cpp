// The monitoring side of the render driver: hooks, the audition track, and
// mute, solo and record on tracks and effect slots.
#include <cmath>
#include <cstring>

#include "NonTW/AudioDrv/AudioDrv.h"
#include "NonTW/AudioDrv/Buffer.h"
#include "NonTW/AudioDrv/Source.h"
#include "TWUtil/ErrorManager.h"

namespace AudioHookEAX {
enum : unsigned long { kDIRECT = 5, kDIRECTHF = 6, kSENDPARAMETERS = 23, kSLOT_ALLPARAMETERS = 0x10001 };
struct SSendParameters {
  _GUID guidReceivingFXSlotID;
  int32_t lSend;
  int32_t lSendHF;
};
float ToGain(long lMillibels) { return static_cast<float>(exp(lMillibels * 0.0011513)); }
}  // namespace AudioHookEAX

// ---------------------------------------------------------------------------
// Records

SHookRecord* CAudioDrv::NewHookRecord(uint32_t ulType, long lIndex) {
  if (m_AudioHooks.Num() == 0) return nullptr;
  int i = m_HookRecords.Add();
  SHookRecord* pRecord = &m_HookRecords[i];
  memset(pRecord, 0, sizeof(*pRecord));
  pRecord->ulType = ulType;
  pRecord->lIndex = lIndex;
  return pRecord;
}

void CAudioDrv::RecordHookValue(uint32_t ulType, long lIndex, uint32_t ulValue) {
  if (SHookRecord* pRecord = NewHookRecord(ulType, lIndex)) pRecord->Value.ulValue = ulValue;
}

void CAudioDrv::RecordHookFloat(uint32_t ulType, long lIndex, float fValue) {
  if (SHookRecord* pRecord = NewHookRecord(ulType, lIndex)) pRecord->Value.fValue = fValue;
}

void CAudioDrv::RecordHookVector(uint32_t ulType, long lIndex, const IAUDVector& v) {
  if (SHookRecord* pRecord = NewHookRecord(ulType, lIndex)) {
    pRecord->Value.afVector[0] = v.x;
    pRecord->Value.afVector[1] = v.y;
    pRecord->Value.afVector[2] = v.z;
  }
}

void CAudioDrv::RecordHookSample(uint32_t ulType, long lIndex, void* pSample) {
  if (SHookRecord* pRecord = NewHookRecord(ulType, lIndex)) pRecord->Value.pSample = pSample;
}

// ---------------------------------------------------------------------------
// Registering and delivering

void CAudioDrv::ReplayTrackState(CAudioHook* pHook, long lTrack) {
  CSource* pSource = m_pSource[lTrack];
  bool bMuted = false, bSoloed = false;
  GetTrackMuteSolo(lTrack, &bMuted, &bSoloed);
  pHook->OnTrackLevel(lTrack, pSource->GetGain());
  pHook->OnTrackMute(lTrack, bMuted);
  pHook->OnTrackSolo(lTrack, pSource->GetSolo());
  pHook->OnTrackRecord(lTrack, pSource->GetRecord());
  pHook->OnTrackActiveSends(lTrack, 0);
  pHook->OnTrackPitch(lTrack, pSource->GetPitch());
  IAUDVector v;
  const float* pf = pSource->GetPosition();
  v = IAUDVector{pf[0], pf[1], pf[2]};
  pHook->OnTrackPosition(lTrack, &v);
  pf = pSource->GetVelocity();
  v = IAUDVector{pf[0], pf[1], pf[2]};
  pHook->OnTrackVelocity(lTrack, &v);
  pf = pSource->GetOrientation();
  v = IAUDVector{pf[0], pf[1], pf[2]};
  pHook->OnTrackOrientation(lTrack, &v);

  // Levels that cannot be read back (no EAX) are reported as 0.
  int32_t lDirect = 0, lDirectHF = 0;
  bool bDirect = pSource->GetEAXProp(AudioHookEAX::kDIRECT, &lDirect, sizeof(lDirect));
  bool bDirectHF = pSource->GetEAXProp(AudioHookEAX::kDIRECTHF, &lDirectHF, sizeof(lDirectHF));
  pHook->OnTrackDirectLevel(lTrack, bDirect ? AudioHookEAX::ToGain(lDirect) : 0.0f);
  pHook->OnTrackDirectHFLevel(lTrack, bDirectHF ? AudioHookEAX::ToGain(lDirectHF) : 0.0f);
  AudioHookEAX::SSendParameters aSends[4];
  memset(aSends, 0, sizeof(aSends));
  bool bSends = pSource->GetEAXProp(AudioHookEAX::kSENDPARAMETERS, aSends, sizeof(aSends));
  for (long s = 0; s < m_lNumSlots && s < 4; ++s) {
    pHook->OnTrackSendLevel(lTrack, s, bSends ? AudioHookEAX::ToGain(aSends[s].lSend) : 0.0f);
    pHook->OnTrackSendHFLevel(lTrack, s, bSends ? AudioHookEAX::ToGain(aSends[s].lSendHF) : 0.0f);
  }

  if (pSource->GetAttachedBuffer()) {
    pHook->OnTrackPlay(lTrack, nullptr);
    if (pSource->GetState() == AL_STOPPED) pHook->OnTrackStop(lTrack, nullptr);
  }
}

void CAudioDrv::AddAudioHook(CAudioHook* pHook) {
  if (!pHook) return;
  m_AudioHooks.AddData(pHook);
  for (long l = 0; l < GetNumSources(); ++l) ReplayTrackState(pHook, l);
  for (long s = 0; s < m_lNumSlots; ++s) {
    CSlot* pSlot = m_pSlot[s];
    _GUID g = pSlot->GetEffect();
    uint32_t aul[4];
    memcpy(aul, &g, sizeof(aul));
    pHook->OnSlotEffect(s, aul[0], aul[1], aul[2], aul[3]);
    pHook->OnSlotLevel(s, pSlot->GetGain());
    pHook->OnSlotFlags(s, static_cast<uint32_t>(pSlot->GetFlags()));
    pHook->OnSlotEffect(s, aul[0], aul[1], aul[2], aul[3]);
    pHook->OnSlotMute(s, m_lSoloSlotCount != 0 ? !pSlot->GetSolo() : pSlot->GetMute());
    pHook->OnSlotSolo(s, pSlot->GetSolo());
    pHook->OnSlotRecord(s, pSlot->GetRecord());
  }
}

void CAudioDrv::RemoveAudioHook(CAudioHook* pHook) {
  // The entry that moves into a removed one's place is examined too.
  int i = 0;
  while (i < m_AudioHooks.Num()) {
    if (m_AudioHooks[i] == pHook)
      m_AudioHooks.Remove(i);
    else
      ++i;
  }
}

void CAudioDrv::UpdatePlayingStates() {
  for (long l = 0; l < m_lNumSources; ++l) {
    CSource* pSource = m_pSource[l];
    CBuffer* pBuffer = pSource->GetAttachedBuffer();
    if (!pBuffer || pSource->GetSetState() != AL_PLAYING) continue;
    if (pSource->GetState() != AL_STOPPED) continue;
    int i = m_HookRecords.Add();
    SHookRecord* pRecord = &m_HookRecords[i];
    memset(pRecord, 0, sizeof(*pRecord));
    pRecord->ulType = kHOOK_TRACKSTOP;
    pRecord->lIndex = l;
    pRecord->Value.pSample = pBuffer;
  }
}

void CAudioDrv::ProcessAudioHooks() {
  UpdatePlayingStates();
  for (int r = 0; r < m_HookRecords.Num(); ++r) {
    const SHookRecord& rec = m_HookRecords[r];
    for (int h = 0; h < m_AudioHooks.Num(); ++h) {
      CAudioHook* pHook = m_AudioHooks[h];
      IAUDVector v = {rec.Value.afVector[0], rec.Value.afVector[1], rec.Value.afVector[2]};
      switch (rec.ulType) {
        case kHOOK_TRACKPLAY: pHook->OnTrackPlay(rec.lIndex, rec.Value.pSample); break;
        case kHOOK_TRACKSTOP: pHook->OnTrackStop(rec.lIndex, rec.Value.pSample); break;
        case kHOOK_TRACKLEVEL: pHook->OnTrackLevel(rec.lIndex, rec.Value.fValue); break;
        case kHOOK_TRACKPITCH: pHook->OnTrackPitch(rec.lIndex, rec.Value.fValue); break;
        case kHOOK_TRACKMODE: pHook->OnTrackMode(rec.lIndex, rec.Value.ulValue); break;
        case kHOOK_TRACKACTIVESENDS: pHook->OnTrackActiveSends(rec.lIndex, rec.Value.ulValue); break;
        case kHOOK_TRACKDIRECTLEVEL: pHook->OnTrackDirectLevel(rec.lIndex, rec.Value.fValue); break;
        case kHOOK_TRACKDIRECTHFLEVEL: pHook->OnTrackDirectHFLevel(rec.lIndex, rec.Value.fValue); break;
        case kHOOK_TRACKSENDLEVEL: pHook->OnTrackSendLevel(rec.lIndex, rec.lParameter, rec.Value.fValue); break;
        case kHOOK_TRACKSENDHFLEVEL: pHook->OnTrackSendHFLevel(rec.lIndex, rec.lParameter, rec.Value.fValue); break;
        case kHOOK_TRACKPOSITION: pHook->OnTrackPosition(rec.lIndex, &v); break;
        case kHOOK_TRACKVELOCITY: pHook->OnTrackVelocity(rec.lIndex, &v); break;
        case kHOOK_TRACKORIENTATION: pHook->OnTrackOrientation(rec.lIndex, &v); break;
        case kHOOK_SLOTLEVEL: pHook->OnSlotLevel(rec.lIndex, rec.Value.fValue); break;
        case kHOOK_SLOTFLAGS: pHook->OnSlotFlags(rec.lIndex, rec.Value.ulValue); break;
        case kHOOK_SLOTEFFECT:
          pHook->OnSlotEffect(rec.lIndex, rec.Value.aulGuid[0], rec.Value.aulGuid[1], rec.Value.aulGuid[2],
                              rec.Value.aulGuid[3]);
          break;
        case kHOOK_SLOTEFFECTPARAMETER:
          pHook->OnSlotEffectParameter(rec.lIndex, rec.lParameter, rec.Value.abData, rec.ulSize);
          break;
        default: EASSERT(0 && "CAudioDrv::ProcessAudioHooks, Unknown hook flag."); break;
      }
    }
  }
  m_HookRecords.GrowTo(0);
}

// ---------------------------------------------------------------------------
// Mute, solo and record

void CAudioDrv::ReapplyTrackMutes() {
  for (long l = 0; l < GetNumSources(); ++l) {
    CSource* pSource = m_pSource[l];
    pSource->SetMute(pSource->GetMute());
    for (int h = 0; h < m_AudioHooks.Num(); ++h) {
      m_AudioHooks[h]->OnTrackSolo(l, false);
      m_AudioHooks[h]->OnTrackMute(l, pSource->GetMute());
    }
  }
}

void CAudioDrv::ReapplyTrackSolos() {
  for (long l = 0; l < GetNumSources(); ++l) {
    CSource* pSource = m_pSource[l];
    pSource->SetSolo(pSource->GetSolo());
    for (int h = 0; h < m_AudioHooks.Num(); ++h) {
      m_AudioHooks[h]->OnTrackSolo(l, pSource->GetSolo());
      m_AudioHooks[h]->OnTrackMute(l, !pSource->GetSolo());
    }
  }
}

void CAudioDrv::SetTrackMute(long lTrackIndex, bool bMute) {
  EASSERT(lTrackIndex < m_lNumSources && "CAudioDrv::SetSourceMute, Invalid track index.");
  if (lTrackIndex < 0) return;
  CSource* pSource = m_pSource[lTrackIndex];
  if (m_lSoloCount == 0) {
    pSource->SetMute(bMute);
    for (int h = 0; h < m_AudioHooks.Num(); ++h) m_AudioHooks[h]->OnTrackMute(lTrackIndex, bMute);
    return;
  }
  // Under solo a mute acts on the solo switch; the count follows only a
  // real change of the track's solo flag.
  bool bWasSoloed = pSource->GetSolo();
  pSource->SetSolo(!bMute);
  for (int h = 0; h < m_AudioHooks.Num(); ++h) {
    m_AudioHooks[h]->OnTrackMute(lTrackIndex, bMute);
    m_AudioHooks[h]->OnTrackSolo(lTrackIndex, !bMute);
  }
  if (bWasSoloed == !bMute) return;
  m_lSoloCount += bMute ? -1 : 1;
  EASSERT(m_lSoloCount >= 0 && "CAudioDrv::SetSourceMute, Invalid solo count.");
  if (m_lSoloCount == 0) ReapplyTrackMutes();
}

void CAudioDrv::SetTrackSolo(long lTrackIndex, bool bSolo) {
  EASSERT(lTrackIndex < m_lNumSources && "CAudioDrv::SetSourceSolo, Invalid track index.");
  if (lTrackIndex < 0) return;
  CSource* pSource = m_pSource[lTrackIndex];
  if (pSource->GetSolo() == bSolo) return;
  m_lSoloCount += bSolo ? 1 : -1;
  EASSERT(m_lSoloCount >= 0 && "CAudioDrv::SetSourceSolo, Invalid solo count.");
  pSource->SetSolo(bSolo);
  if (m_lSoloCount > 0)
    ReapplyTrackSolos();
  else
    ReapplyTrackMutes();
}

long CAudioDrv::GetTrackMuteSolo(long lTrackIndex, bool* pbMuted, bool* pbSoloed) {
  if (pbMuted) *pbMuted = false;
  if (pbSoloed) *pbSoloed = false;
  EASSERT(lTrackIndex < m_lNumSources && "CAudioDrv::GetTrackMuteSolo, Invalid track index.");
  if (lTrackIndex < 0) return m_lSoloCount;
  CSource* pSource = m_pSource[lTrackIndex];
  if (pbMuted) *pbMuted = m_lSoloCount != 0 ? !pSource->GetSolo() : pSource->GetMute();
  if (pbSoloed) *pbSoloed = pSource->GetSolo();
  return m_lSoloCount;
}

void CAudioDrv::SetTrackRecord(long lTrackIndex, bool bRecord) {
  EASSERT(lTrackIndex < m_lNumSources && "CAudioDrv::SetTrackRecord, Invalid track index.");
  if (lTrackIndex < 0) return;
  m_pSource[lTrackIndex]->SetRecord(bRecord);
  for (int h = 0; h < m_AudioHooks.Num(); ++h) m_AudioHooks[h]->OnTrackRecord(lTrackIndex, bRecord);
}

void CAudioDrv::ReapplySlotMutes() {
  for (long s = 0; s < m_lNumSlots; ++s) {
    CSlot* pSlot = m_pSlot[s];
    pSlot->SetMute(pSlot->GetMute());
    for (int h = 0; h < m_AudioHooks.Num(); ++h) {
      m_AudioHooks[h]->OnSlotSolo(s, false);
      m_AudioHooks[h]->OnSlotMute(s, pSlot->GetMute());
    }
  }
}

void CAudioDrv::ReapplySlotSolos() {
  for (long s = 0; s < m_lNumSlots; ++s) {
    CSlot* pSlot = m_pSlot[s];
    pSlot->SetSolo(pSlot->GetSolo());
    for (int h = 0; h < m_AudioHooks.Num(); ++h) {
      m_AudioHooks[h]->OnSlotSolo(s, pSlot->GetSolo());
      m_AudioHooks[h]->OnSlotMute(s, !pSlot->GetSolo());
    }
  }
}

void CAudioDrv::SetSlotMute(long lSlotIndex, bool bMute) {
  EASSERT(lSlotIndex < m_lNumSlots && "CAudioDrv::SetSlotMute, Invalid track index.");
  if (lSlotIndex < 0) return;
  CSlot* pSlot = m_pSlot[lSlotIndex];
  if (m_lSoloSlotCount == 0) {
    pSlot->SetMute(bMute);
    for (int h = 0; h < m_AudioHooks.Num(); ++h) m_AudioHooks[h]->OnSlotMute(lSlotIndex, bMute);
    return;
  }
  bool bWasSoloed = pSlot->GetSolo();
  pSlot->SetSolo(!bMute);
  for (int h = 0; h < m_AudioHooks.Num(); ++h) {
    m_AudioHooks[h]->OnSlotMute(lSlotIndex, bMute);
    m_AudioHooks[h]->OnSlotSolo(lSlotIndex, !bMute);
  }
  if (bWasSoloed == !bMute) return;
  m_lSoloSlotCount += bMute ? -1 : 1;
  EASSERT(m_lSoloSlotCount >= 0 && "CAudioDrv::SetSlotMute, Invalid solo count.");
  if (m_lSoloSlotCount == 0) ReapplySlotMutes();
}

void CAudioDrv::SetSlotSolo(long lSlotIndex, bool bSolo) {
  EASSERT(lSlotIndex < m_lNumSlots && "CAudioDrv::SetSlotSolo, Invalid track index.");
  if (lSlotIndex < 0) return;
  CSlot* pSlot = m_pSlot[lSlotIndex];
  if (pSlot->GetSolo() == bSolo) return;
  m_lSoloSlotCount += bSolo ? 1 : -1;
  EASSERT(m_lSoloSlotCount >= 0 && "CAudioDrv::SetSlotSolo, Invalid solo count.");
  pSlot->SetSolo(bSolo);
  if (m_lSoloSlotCount > 0)
    ReapplySlotSolos();
  else
    ReapplySlotMutes();
}

long CAudioDrv::GetSlotMuteSolo(long lSlotIndex, bool* pbMuted, bool* pbSoloed) {
  if (pbMuted) *pbMuted = false;
  if (pbSoloed) *pbSoloed = false;
  EASSERT(lSlotIndex < m_lNumSlots && "CAudioDrv::GetSlotMuteSolo, Invalid track index.");
  if (lSlotIndex < 0) return m_lSoloSlotCount;
  CSlot* pSlot = m_pSlot[lSlotIndex];
  if (pbMuted) *pbMuted = m_lSoloSlotCount != 0 ? !pSlot->GetSolo() : pSlot->GetMute();
  if (pbSoloed) *pbSoloed = pSlot->GetSolo();
  return m_lSoloSlotCount;
}

void CAudioDrv::SetSlotRecord(long lSlotIndex, bool bRecord) {
  EASSERT(lSlotIndex < m_lNumSlots && "CAudioDrv::SetSlotRecord, Invalid track index.");
  if (lSlotIndex < 0) return;
  m_pSlot[lSlotIndex]->SetRecord(bRecord);
  for (int h = 0; h < m_AudioHooks.Num(); ++h) m_AudioHooks[h]->OnSlotRecord(lSlotIndex, bRecord);
}

// ---------------------------------------------------------------------------
// Audition, sample parameters, slot check

bool CAudioDrv::GetAuditionSourcePlayback() {
  if (m_lNumSources < 1) return false;
  return m_pSource[m_lNumSources - 1]->GetState() == AL_PLAYING;
}

bool CAudioDrv::SetAuditionBufferData(unsigned long ulChannels, unsigned short usBitsPerSample,
                                      unsigned long ulSamplesPerSecond, unsigned long ulSize, const void* pData) {
  if (!m_pAuditionBuffer) return true;
  if (m_lNumSources > 0) {
    CSource* pAudition = m_pSource[m_lNumSources - 1];
    if (pAudition->GetAttachedBuffer() == m_pAuditionBuffer) pAudition->AttachBuffer(nullptr);
  }
  m_pAuditionBuffer->LoadBuffer(pData, ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize, false);
  return true;
}

void CAudioDrv::UpdateBufferDistanceData(void* pSample, IAUDSoundDistance* pDistance) {
  CBuffer* pBuffer = static_cast<CBuffer*>(pSample);
  if (!pBuffer) return;
  pBuffer->UpdateSoundDistance(pDistance);
  for (long l = 0; l < m_lNumSources; ++l)
    if (m_pSource[l]->GetAttachedBuffer() == pBuffer) m_pSource[l]->UpdateDistanceParameters(pDistance, false);
}

void CAudioDrv::UpdateBufferSoundCone(void* pSample, IAUDSoundCone* pCone) {
  CBuffer* pBuffer = static_cast<CBuffer*>(pSample);
  if (!pBuffer) return;
  pBuffer->UpdateSoundCone(pCone);
  for (long l = 0; l < m_lNumSources; ++l)
    if (m_pSource[l]->GetAttachedBuffer() == pBuffer) m_pSource[l]->UpdateSoundCone(pCone, false);
}

bool CAudioDrv::VerifySlotUnlock(long lSlot) {
  if (lSlot < 0 || lSlot > 31 || !m_pSlot[lSlot] || !m_EAXGet) return false;
  struct {
    _GUID guidEffect;
    int32_t lVolume;
    int32_t lLock;
    uint32_t ulFlags;
  } all;
  memset(&all, 0, sizeof(all));
  _GUID guidSlot = m_pSlot[lSlot]->GetSlot();
  m_EAXGet(&guidSlot, AudioHookEAX::kSLOT_ALLPARAMETERS, 0, &all, sizeof(all));
  return all.lLock == 0;
}
