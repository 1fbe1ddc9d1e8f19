#include "NonTW/AudioDrv/AudioDrv.h"

#include <SDL/SDL.h>
#include <pthread.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "NonTW/AudioDrv/Buffer.h"
#include "NonTW/AudioDrv/Source.h"
#include "TWUtil/ErrorManager.h"

CAudioDrv* g_pMainAudioDrv = nullptr;
std::atomic<void (*)()> CAudioDrv::m_SchedulerTimerProc{nullptr};

namespace AudioDrvTimer {
std::atomic<bool> s_bRunning{false};
pthread_t s_Thread;
bool s_bThreadStarted = false;
const useconds_t kTICK_MICROSECONDS = 10000;
}  // namespace AudioDrvTimer

namespace AudioDrvEAX {
// EAX 4.0 source property ids used by the driver.
enum : unsigned long {
  kDIRECT = 5,
  kDIRECTHF = 6,
  kSENDPARAMETERS = 23,
  kACTIVEFXSLOTID = 27,
};
// One send's parameters inside the 96-byte send record.
struct SSendParameters {
  _GUID guidReceivingFXSlotID;
  int32_t lSend;
  int32_t lSendHF;
};
static_assert(sizeof(SSendParameters) == 24, "a send record is 24 bytes");
float MillibelsToGain(long lMillibels) { return static_cast<float>(exp(lMillibels * 0.0011513)); }
float HookGain(long lMillibels) { return static_cast<float>(pow(10.0, lMillibels / 2000.0)); }
}  // namespace AudioDrvEAX

CAudioDrv* InitAudioDriver(void* pContext, long lNumTracks, long lExtraTracks) {
  if (!g_pMainAudioDrv) g_pMainAudioDrv = new CAudioDrv(pContext, lNumTracks, lExtraTracks);
  EASSERT(g_pMainAudioDrv);
  return g_pMainAudioDrv;
}

IAUDRenderInterface* RetrieveIAUDRenderInterface(void* pContext, long lNumTracks) {
  return InitAudioDriver(pContext, lNumTracks, 0);
}

CAudioDrv::CAudioDrv(void* pContext, long lNumTracks, long lExtraTracks)
    : CAudioOAL(pContext), m_pExclusiveLock(nullptr) {
  m_AudioHooks.Reserve(1);
  m_HookRecords.Reserve(1);
  EASSERT(GetCount() == 1);
  m_pListener = new CListener(pContext);

  if (lNumTracks < 1 || lNumTracks > kAUDIO_MAX_TRACKS) lNumTracks = kAUDIO_MAX_TRACKS;
  long lWanted = lNumTracks + (lExtraTracks > 0 ? lExtraTracks : 0);
  if (lWanted > kAUDIO_MAX_TRACKS) lWanted = kAUDIO_MAX_TRACKS;

  // Five sources are held back while the tracks are made, so that a device
  // that runs out still leaves OpenAL a few sources of its own.
  ALuint auiHeld[5] = {0, 0, 0, 0, 0};
  alGenSources(5, auiHeld);
  long l = 0;
  for (; l < lWanted; ++l) {
    alGetError();
    ALuint uiSource = 0;
    alGenSources(1, &uiSource);
    ALenum err = alGetError();
    if (err != AL_NO_ERROR) {
      ReportErrorCode(err, "CAudioDrv::CAudioDrv->alGenSources");
      break;
    }
    m_pSource[l] = new CSource(uiSource);
    EASSERT(m_pSource[l] && "CAudioDrv::CAudioDrv memory error.");
  }
  alDeleteSources(5, auiHeld);
  alGetError();
  m_lNumSources = l;

  if (m_lNumSources > 0) {
    unsigned char aZero[32];
    memset(aZero, 0, sizeof(aZero));
    m_pSource[m_lNumSources - 1]->SetEAXProp(AudioDrvEAX::kACTIVEFXSLOTID, aZero, sizeof(aZero));
  }
  for (long s = 0; s < m_lNumSlots && s < kAUDIO_MAX_SLOTS; ++s) {
    m_pSlot[s] = new CSlot(s);
    EASSERT(m_pSlot[s] && "CAudioDrv::CAudioDrv memory error.");
  }

  ALuint uiAudition = 0;
  alGenBuffers(1, &uiAudition);
  alGetError();
  m_pAuditionBuffer = new CBuffer(uiAudition);
  m_pBufferList = nullptr;
  m_lNumBuffers = 0;

  m_pExclusiveLock = SDL_CreateMutex();
  m_pAudioDrv = this;
}

CAudioDrv::~CAudioDrv() {
  for (long l = 0; l < m_lNumSources; ++l) m_pSource[l]->AttachBuffer(nullptr);
  while (m_pBufferList) FreeAudioSample(m_pBufferList);
  delete m_pAuditionBuffer;
  m_pAuditionBuffer = nullptr;
  m_lNumBuffers = 0;
  for (long s = 0; s < kAUDIO_MAX_SLOTS; ++s) {
    delete m_pSlot[s];
    m_pSlot[s] = nullptr;
  }
  m_lNumSlots = 0;
  for (long l = 0; l < m_lNumSources; ++l) {
    delete m_pSource[l];
    m_pSource[l] = nullptr;
  }
  m_lNumSources = 0;
  m_lSoloCount = 0;
  m_lSoloSlotCount = 0;
  delete m_pListener;
  m_pListener = nullptr;
  if (m_pExclusiveLock) SDL_DestroyMutex(m_pExclusiveLock);
  m_pExclusiveLock = nullptr;
}

void CAudioDrv::ReleaseInterface() {
  if (!g_pMainAudioDrv) return;
  CAudioDrv* pDrv = g_pMainAudioDrv;
  g_pMainAudioDrv = nullptr;
  delete pDrv;
}

// ---------------------------------------------------------------------------
// Timer thread and locks

long CAudioDrv::SetSchedulerTimerProc(void (*pProc)()) {
  using namespace AudioDrvTimer;
  if (pProc) {
    m_SchedulerTimerProc.store(pProc);
    if (!s_bRunning.exchange(true)) {
      if (pthread_create(&s_Thread, nullptr, &CAudioDrv::UnixTimerThread, nullptr) == 0) {
        s_bThreadStarted = true;
      } else {
        s_bRunning.store(false);
        g_ErrorManager.TraceMessagef(TT_Sound, "CAudioDrv: the scheduler timer thread could not be started\n");
      }
    }
    return static_cast<long>(kTICK_MICROSECONDS);
  }
  // Never under the exclusive lock: a tick may be waiting for it.
  s_bRunning.store(false);
  if (s_bThreadStarted) {
    pthread_join(s_Thread, nullptr);
    s_bThreadStarted = false;
  }
  m_SchedulerTimerProc.store(nullptr);
  return 0;
}

void CAudioDrv::EventTimerProc(int) {
  void (*pProc)() = m_SchedulerTimerProc.load();
  if (pProc) pProc();
}

void* CAudioDrv::UnixTimerThread(void*) {
  using namespace AudioDrvTimer;
  while (s_bRunning.load()) {
    usleep(kTICK_MICROSECONDS);
    if (!s_bRunning.load()) break;
    // The procedure is static; the driver object is not needed here.
    void (*pProc)() = m_SchedulerTimerProc.load();
    if (pProc) pProc();
  }
  return nullptr;
}

void CAudioDrv::BeginExclusiveMode() {
  if (m_pExclusiveLock) SDL_mutexP(m_pExclusiveLock);
}

void CAudioDrv::EndExclusiveMode() {
  if (m_pExclusiveLock) SDL_mutexV(m_pExclusiveLock);
}

void CAudioDrv::SendMidiDataStream(unsigned char*, unsigned long) {}

void CAudioDrv::LockProcessing() { alcSuspendContext(alcGetCurrentContext()); }

void CAudioDrv::UnlockProcessing() { alcProcessContext(alcGetCurrentContext()); }

// ---------------------------------------------------------------------------
// Samples

bool CAudioDrv::VerifyValidBuffer(CBuffer* pBuffer) {
  if (!pBuffer) return false;
  for (CBuffer* p = m_pBufferList; p; p = p->GetPost())
    if (p == pBuffer) return true;
  return false;
}

bool CAudioDrv::LoadSample(unsigned long ulChannels, unsigned short usBitsPerSample, unsigned long ulSamplesPerSecond,
                           unsigned long ulSize, const void* pData, void** ppSample, bool bTemporary,
                           bool bStreaming) {
  if (ppSample) *ppSample = nullptr;
  alGetError();
  ALuint uiName = 0;
  alGenBuffers(1, &uiName);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CAudioDrv::CreateBuffer->alGenBuffers");
    return false;
  }
  CBuffer* pBuffer = new CBuffer(uiName);
  EASSERT(pBuffer && "CAudioDrv::LoadAudioSample, Memory error.");
  bool bLoaded = bStreaming
                     ? pBuffer->LoadStreamBuffer(pData, ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize,
                                                 bTemporary)
                     : pBuffer->LoadBuffer(pData, ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize, bTemporary);
  if (!bLoaded) {
    delete pBuffer;
    return false;
  }
  if (ppSample) *ppSample = pBuffer;
  return true;
}

bool CAudioDrv::LoadAudioSample(unsigned long ulChannels, unsigned short usBitsPerSample,
                                unsigned long ulSamplesPerSecond, unsigned long ulSize, const void* pData,
                                void** ppSample, bool bTemporary) {
  return LoadSample(ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize, pData, ppSample, bTemporary, false);
}

bool CAudioDrv::LoadAudioStreamingSample(unsigned long ulChannels, unsigned short usBitsPerSample,
                                         unsigned long ulSamplesPerSecond, unsigned long ulSize, const void* pData,
                                         void** ppSample, bool bTemporary) {
  return LoadSample(ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize, pData, ppSample, bTemporary, true);
}

void CAudioDrv::FreeAudioSample(void* pSample) {
  CBuffer* pBuffer = static_cast<CBuffer*>(pSample);
  EASSERT(pBuffer != m_pAuditionBuffer);
  if (!VerifyValidBuffer(pBuffer)) return;
  for (long l = 0; l < m_lNumSources; ++l)
    if (m_pSource[l]->GetAttachedBuffer() == pBuffer) m_pSource[l]->AttachBuffer(nullptr);
  // A temporary sample may have been deleted by the stop above.
  if (VerifyValidBuffer(pBuffer)) delete pBuffer;
}

void CAudioDrv::AttachSample(long lTrack, void* pSample, IAUDSoundDistance* pDistance, IAUDSoundCone* pCone) {
  CBuffer* pBuffer = static_cast<CBuffer*>(pSample);
  if (pBuffer && pBuffer == m_pAuditionBuffer) {
    if (m_lNumSources < 1) return;
    CSource* pAudition = m_pSource[m_lNumSources - 1];
    pAudition->SetState(AL_STOPPED, false);
    if (pAudition->GetAttachedBuffer() != pBuffer) pAudition->AttachBuffer(pBuffer);
    return;
  }
  if (!TrackInRange(lTrack, m_lNumSources)) return;
  CSource* pSource = m_pSource[lTrack];
  pSource->SetState(AL_STOPPED, false);
  if (pBuffer && (pBuffer != pSource->GetAttachedBuffer() || pBuffer->IsBufferStreaming()))
    pSource->AttachBuffer(pBuffer);
  pSource->UpdateDistanceParameters(pDistance, false);
  pSource->UpdateSoundCone(pCone, false);
}

long CAudioDrv::GetTrackProcessedStreamBufferCount(long lTrack) {
  if (!TrackInRange(lTrack, m_lNumSources)) return 0;
  return m_pSource[lTrack]->GetProcessedStreamBufferCount();
}

bool CAudioDrv::UpdateTrackStreamBuffer(long lTrack, void* pData, unsigned long ulSize) {
  if (!TrackInRange(lTrack, m_lNumSources)) return false;
  return m_pSource[lTrack]->UpdateStreamBuffer(pData, ulSize);
}

// ---------------------------------------------------------------------------
// Track lists. A walk ends at the first index out of range; at most
// kAUDIO_MAX_TRACKS entries are taken.

void CAudioDrv::PlayTracks(long* plTracks, long lCount, unsigned long ulLoop) {
  if (!plTracks || lCount <= 0) return;
  if (lCount > kAUDIO_MAX_TRACKS) lCount = kAUDIO_MAX_TRACKS;
  ALuint auiNames[kAUDIO_MAX_TRACKS];
  ALsizei iNames = 0;
  for (long i = 0; i < lCount; ++i) {
    long lTrack = plTracks[i];
    if (!TrackInRange(lTrack, m_lNumSources) || !m_pSource[lTrack]->GetAttachedBuffer()) break;
    CSource* pSource = m_pSource[lTrack];
    pSource->SetState(AL_PLAYING, true);
    pSource->SetLoop(ulLoop != 0);
    auiNames[iNames++] = pSource->GetSource();
    RecordHookSample(kHOOK_TRACKPLAY, lTrack, pSource->GetAttachedBuffer());
  }
  if (iNames > 0) alSourcePlayv(iNames, auiNames);
}

void CAudioDrv::PauseTracks(long* plTracks, long lCount) {
  if (!plTracks || lCount <= 0) return;
  if (lCount > kAUDIO_MAX_TRACKS) lCount = kAUDIO_MAX_TRACKS;
  ALuint auiNames[kAUDIO_MAX_TRACKS];
  long lNames = 0;
  for (long i = 0; i < lCount; ++i) {
    long lTrack = plTracks[i];
    if (!TrackInRange(lTrack, m_lNumSources)) break;
    CSource* pSource = m_pSource[lTrack];
    pSource->SetState(AL_PAUSED, true);
    auiNames[lNames++] = pSource->GetSource();
    RecordHookSample(kHOOK_TRACKSTOP, lTrack, pSource->GetAttachedBuffer());
  }
  for (long i = 0; i < lNames; ++i) alSourcePause(auiNames[i]);
}

void CAudioDrv::StopTracks(long* plTracks, long lCount) {
  if (!plTracks || lCount <= 0) return;
  if (lCount > kAUDIO_MAX_TRACKS) lCount = kAUDIO_MAX_TRACKS;
  ALuint auiNames[kAUDIO_MAX_TRACKS];
  long lNames = 0;
  for (long i = 0; i < lCount; ++i) {
    long lTrack = plTracks[i];
    if (!TrackInRange(lTrack, m_lNumSources)) break;
    CSource* pSource = m_pSource[lTrack];
    CBuffer* pBuffer = pSource->GetAttachedBuffer();
    if (pBuffer && pBuffer->IsBufferStreaming()) {
      pSource->SetState(AL_STOPPED, false);
    } else {
      pSource->SetState(AL_STOPPED, true);
      auiNames[lNames++] = pSource->GetSource();
    }
    RecordHookSample(kHOOK_TRACKSTOP, lTrack, pBuffer);
  }
  for (long i = 0; i < lNames; ++i) alSourceStop(auiNames[i]);
}

void CAudioDrv::StopAllTracks() {
  for (long l = 0; l < GetNumSources(); ++l) {
    long lTrack = l;
    StopTracks(&lTrack, 1);
  }
}

void CAudioDrv::StopTracksLooping(long* plTracks, long lCount) {
  if (!plTracks || lCount <= 0) return;
  for (long i = 0; i < lCount; ++i) {
    long lTrack = plTracks[i];
    if (!TrackInRange(lTrack, m_lNumSources) || !m_pSource[lTrack]->GetAttachedBuffer()) continue;
    m_pSource[lTrack]->SetLoop(false);
  }
}

// ---------------------------------------------------------------------------
// Track parameters

void CAudioDrv::SetTrackLevel(long lTrack, float fLevel) {
  if (fLevel > 1.0f) fLevel = 1.0f;
  else if (!(fLevel >= 0.0f)) fLevel = 0.0f;
  EASSERT(fLevel <= 1 && fLevel >= 0 && "CAudioDrv::SetTrackLevel, Level invalid.");
  bool bInRange = TrackInRange(lTrack, GetNumSources());
  if (bInRange) SetOpenALSourceProperty(lTrack, AL_GAIN, &fLevel);
  RecordHookFloat(kHOOK_TRACKLEVEL, lTrack, bInRange ? fLevel : 0.0f);
}

void CAudioDrv::SetTrackPosition(long lTrack, IAUDVector& vPosition) {
  if (!TrackInRange(lTrack, GetNumSources())) return;
  IAUDVector v = vPosition;
  m_pSource[lTrack]->SetPosition(v);
  RecordHookVector(kHOOK_TRACKPOSITION, lTrack, v);
}

void CAudioDrv::SetTrackVelocity(long lTrack, IAUDVector& vVelocity) {
  if (!TrackInRange(lTrack, GetNumSources())) return;
  IAUDVector v = vVelocity;
  m_pSource[lTrack]->SetVelocity(v);
  RecordHookVector(kHOOK_TRACKVELOCITY, lTrack, v);
}

void CAudioDrv::SetTrackOrientation(long lTrack, IAUDVector& vOrientation) {
  if (!TrackInRange(lTrack, GetNumSources())) return;
  IAUDVector v = vOrientation;
  m_pSource[lTrack]->SetOrientation(v);
  RecordHookVector(kHOOK_TRACKORIENTATION, lTrack, v);
}

void CAudioDrv::SetTrackMode(long lTrack, unsigned long ulMode) {
  EASSERT((ulMode == 0 || ulMode == 1) && "CAudioDrv::SetTrackMode, Mode invalid.");
  bool bInRange = TrackInRange(lTrack, GetNumSources());
  if (bInRange) m_pSource[lTrack]->SetMode(ulMode);
  RecordHookValue(kHOOK_TRACKMODE, lTrack, bInRange ? static_cast<uint32_t>(ulMode) : 0u);
}

void CAudioDrv::SetTrackPitch(long lTrack, float fPitch) {
  if (fPitch > 2.0f) fPitch = 2.0f;
  else if (!(fPitch >= 0.0f)) fPitch = 0.0f;
  bool bInRange = TrackInRange(lTrack, GetNumSources());
  if (fPitch <= 0.0f) {
    // OpenAL takes no pitch of 0: the track keeps the pitch it has.
    g_ErrorManager.TraceMessagef(TT_Sound, "CAudioDrv::SetTrackPitch: pitch %f on track %ld ignored\n",
                                 static_cast<double>(fPitch), lTrack);
    fPitch = bInRange ? m_pSource[lTrack]->GetPitch() : 1.0f;
  }
  EASSERT(fPitch <= 2.0f && fPitch > 0.0f && "CAudioDrv::SetTrackPitch, Pitch invalid.");
  if (bInRange) m_pSource[lTrack]->SetPitch(fPitch);
  RecordHookFloat(kHOOK_TRACKPITCH, lTrack, bInRange ? fPitch : 0.0f);
}

void CAudioDrv::GetTrackState(long lTrack, IAUDTrackState* pState) {
  if (!pState) return;
  pState->dwMode = 0;
  pState->vPosition = pState->vPathOffset = IAUDVector{0.0f, 0.0f, 0.0f};
  if (!TrackInRange(lTrack, GetNumSources())) {
    pState->flLevel = 0.0f;
    pState->dwActiveSends = 0;
    for (int s = 0; s < 32; ++s) pState->aflSendLevel[s] = pState->aflSendHFLevel[s] = 0.0f;
    return;
  }
  CSource* pSource = m_pSource[lTrack];
  pState->flLevel = pSource->GetGain();
  pState->flPitch = pSource->GetPitch();
  pState->dwActiveSends = static_cast<uint32_t>(GetActiveSends(lTrack));
  AudioDrvEAX::SSendParameters aSends[4];
  memset(aSends, 0, sizeof(aSends));
  // Without EAX nothing is read back and the sends report 0.
  bool bRead = pSource->GetEAXProp(AudioDrvEAX::kSENDPARAMETERS, aSends, sizeof(aSends));
  for (int s = 0; s < 32; ++s) {
    if (bRead && s <= 3) {
      pState->aflSendLevel[s] = AudioDrvEAX::MillibelsToGain(aSends[s].lSend);
      pState->aflSendHFLevel[s] = AudioDrvEAX::MillibelsToGain(aSends[s].lSendHF);
    } else {
      pState->aflSendLevel[s] = pState->aflSendHFLevel[s] = 0.0f;
    }
  }
}

bool CAudioDrv::GetTrackPlayingState(long lTrack) {
  if (!TrackInRange(lTrack, m_lNumSources)) return false;
  ALint iState = m_pSource[lTrack]->GetState();
  return iState == AL_PLAYING || iState == AL_PAUSED;
}

IAUDVector CAudioDrv::GetTrackPosition(long lTrack) {
  IAUDVector v = {0.0f, 0.0f, 0.0f};
  if (TrackInRange(lTrack, GetNumSources())) {
    const float* pf = m_pSource[lTrack]->GetPosition();
    v.x = pf[0];
    v.y = pf[1];
    v.z = pf[2];
  }
  return v;
}

void CAudioDrv::SetTrackDirectLevel(long lTrack, long lMillibels, unsigned long ulFlags) {
  if (TrackInRange(lTrack, GetNumSources())) {
    int32_t lValue = static_cast<int32_t>(lMillibels);
    m_pSource[lTrack]->SetEAXProp(AudioDrvEAX::kDIRECT | ulFlags, &lValue, sizeof(lValue));
  }
  RecordHookFloat(kHOOK_TRACKDIRECTLEVEL, lTrack, AudioDrvEAX::HookGain(lMillibels));
}

void CAudioDrv::SetTrackDirectHFLevel(long lTrack, long lMillibels, unsigned long ulFlags) {
  if (TrackInRange(lTrack, GetNumSources())) {
    int32_t lValue = static_cast<int32_t>(lMillibels);
    m_pSource[lTrack]->SetEAXProp(AudioDrvEAX::kDIRECTHF | ulFlags, &lValue, sizeof(lValue));
  }
  RecordHookFloat(kHOOK_TRACKDIRECTHFLEVEL, lTrack, AudioDrvEAX::HookGain(lMillibels));
}

void CAudioDrv::SetTrackActiveSends(long lTrack, unsigned long ulSlotMask, unsigned long ulFlags) {
  bool bInRange = TrackInRange(lTrack, GetNumSources());
  if (bInRange) {
    _GUID aSlots[2];
    memset(aSlots, 0, sizeof(aSlots));
    long lFilled = 0;
    for (long s = 0; s < m_lNumSlots && s < 4 && lFilled < m_lMaxActiveSlots && lFilled < 2; ++s)
      if (ulSlotMask & (1ul << s)) aSlots[lFilled++] = g_aguidEAX40FXSlot[s];
    m_pSource[lTrack]->SetEAXProp(AudioDrvEAX::kACTIVEFXSLOTID | ulFlags, aSlots, sizeof(aSlots));
  }
  RecordHookValue(kHOOK_TRACKACTIVESENDS, lTrack, bInRange ? static_cast<uint32_t>(ulSlotMask) : 0u);
}

void CAudioDrv::SetTrackSendLevel(long lTrack, long lSend, long lMillibels, unsigned long ulFlags) {
  if (TrackInRange(lTrack, GetNumSources()) && lSend >= 0 && lSend <= 3) {
    AudioDrvEAX::SSendParameters aSends[4];
    memset(aSends, 0, sizeof(aSends));
    CSource* pSource = m_pSource[lTrack];
    if (pSource->GetEAXProp(AudioDrvEAX::kSENDPARAMETERS, aSends, sizeof(aSends))) {
      aSends[lSend].lSend = static_cast<int32_t>(lMillibels);
      pSource->SetEAXProp(AudioDrvEAX::kSENDPARAMETERS | ulFlags, aSends, sizeof(aSends));
    }
  }
  SHookRecord* pRecord = NewHookRecord(kHOOK_TRACKSENDLEVEL, lTrack);
  if (pRecord) {
    pRecord->lParameter = lSend;
    pRecord->Value.fValue = AudioDrvEAX::HookGain(lMillibels);
  }
}

void CAudioDrv::SetTrackSendHFLevel(long lTrack, long lSend, long lMillibels, unsigned long ulFlags) {
  if (TrackInRange(lTrack, GetNumSources()) && lSend >= 0 && lSend <= 3) {
    AudioDrvEAX::SSendParameters aSends[4];
    memset(aSends, 0, sizeof(aSends));
    CSource* pSource = m_pSource[lTrack];
    if (pSource->GetEAXProp(AudioDrvEAX::kSENDPARAMETERS, aSends, sizeof(aSends))) {
      aSends[lSend].lSendHF = static_cast<int32_t>(lMillibels);
      pSource->SetEAXProp(AudioDrvEAX::kSENDPARAMETERS | ulFlags, aSends, sizeof(aSends));
    }
  }
  SHookRecord* pRecord = NewHookRecord(kHOOK_TRACKSENDHFLEVEL, lTrack);
  if (pRecord) {
    pRecord->lParameter = lSend;
    pRecord->Value.fValue = AudioDrvEAX::HookGain(lMillibels);
  }
}

// ---------------------------------------------------------------------------
// Effect slots (none exist without EAX)

void CAudioDrv::SetSlotLevel(long lSlot, float fLevel, unsigned long ulFlags) {
  if (TrackInRange(lSlot, m_lNumSlots)) m_pSlot[lSlot]->SetGain(fLevel, ulFlags);
  RecordHookFloat(kHOOK_SLOTLEVEL, lSlot, fLevel);
}

void CAudioDrv::SetSlotFlags(long lSlot, unsigned long ulFlags, unsigned long ulDeferFlags) {
  uint32_t ulNow = 0;
  if (TrackInRange(lSlot, m_lNumSlots)) {
    m_pSlot[lSlot]->SetFlags(ulFlags, ulDeferFlags);
    ulNow = static_cast<uint32_t>(m_pSlot[lSlot]->GetFlags());
  }
  RecordHookValue(kHOOK_SLOTFLAGS, lSlot, ulNow);
}

void CAudioDrv::SetSlotEffect(long, _GUID) {}

void CAudioDrv::SetSlotEffectParameter(long lSlot, long lParameter, void* pData, unsigned long ulSize,
                                       unsigned long ulFlags) {
  if (TrackInRange(lSlot, m_lNumSlots)) m_pSlot[lSlot]->SetParameter(lParameter, pData, ulSize, ulFlags);
  SHookRecord* pRecord = NewHookRecord(kHOOK_SLOTEFFECTPARAMETER, lSlot);
  if (pRecord) {
    pRecord->lParameter = lParameter;
    if (pData && ulSize <= 12) {
      memcpy(pRecord->Value.abData, pData, ulSize);
      pRecord->ulSize = static_cast<uint32_t>(ulSize);
    } else {
      pRecord->ulSize = 0;
    }
  }
}

void CAudioDrv::GetSlotLevel(long lSlot, float* pfLevel) {
  if (pfLevel && TrackInRange(lSlot, m_lNumSlots)) *pfLevel = m_pSlot[lSlot]->GetGain();
}

void CAudioDrv::GetSlotFlags(long lSlot, unsigned long* pulFlags) {
  if (pulFlags && TrackInRange(lSlot, m_lNumSlots)) *pulFlags = m_pSlot[lSlot]->GetFlags();
}

void CAudioDrv::GetSlotEffect(long lSlot, _GUID* pGuid) {
  if (!pGuid) return;
  if (TrackInRange(lSlot, m_lNumSlots))
    *pGuid = m_pSlot[lSlot]->GetEffect();
  else
    memset(pGuid, 0, sizeof(*pGuid));
}

void CAudioDrv::GetSlotEffectParameter(long lSlot, long lParameter, void* pData, unsigned long ulSize) {
  if (!pData) return;
  memset(pData, 0, ulSize);
  if (TrackInRange(lSlot, m_lNumSlots)) m_pSlot[lSlot]->GetParameter(lParameter, pData, ulSize);
}

void CAudioDrv::SetTrackEAX(long lTrack, unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (TrackInRange(lTrack, GetNumSources())) m_pSource[lTrack]->SetEAXProp(ulProperty, pData, ulSize);
}

void CAudioDrv::GetTrackEAX(long lTrack, unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (TrackInRange(lTrack, GetNumSources())) m_pSource[lTrack]->GetEAXProp(ulProperty, pData, ulSize);
}

void CAudioDrv::SetSlotEAX(long lSlot, unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (TrackInRange(lSlot, m_lNumSlots)) m_pSlot[lSlot]->SetEAX(ulProperty, pData, ulSize);
}

void CAudioDrv::GetSlotEAX(long lSlot, unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (TrackInRange(lSlot, m_lNumSlots)) m_pSlot[lSlot]->GetEAX(ulProperty, pData, ulSize);
}

void CAudioDrv::SetContextEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (m_EAXSet) m_EAXSet(&g_guidEAX40Context, static_cast<ALuint>(ulProperty), 0, pData, static_cast<ALuint>(ulSize));
}

void CAudioDrv::GetContextEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (m_EAXGet) m_EAXGet(&g_guidEAX40Context, static_cast<ALuint>(ulProperty), 0, pData, static_cast<ALuint>(ulSize));
}

// ---------------------------------------------------------------------------
// Listener

void CAudioDrv::SetListenerLevel(float fLevel) {
  // Clamped as track levels are.
  if (fLevel > 1.0f) fLevel = 1.0f;
  else if (!(fLevel >= 0.0f)) fLevel = 0.0f;
  EASSERT(fLevel <= 1 && fLevel >= 0 && "CAudioDrv::SetListenerLevel, Level invalid.");
  if (m_pListener) m_pListener->SetGain(fLevel);
}

void CAudioDrv::SetListenerPosition(IAUDVector& vPosition) {
  IAUDVector v = vPosition;
  if (m_pListener) m_pListener->SetPosition(v);
}

void CAudioDrv::SetListenerVelocity(IAUDVector& vVelocity) {
  IAUDVector v = vVelocity;
  if (m_pListener) m_pListener->SetVelocity(v);
}

void CAudioDrv::SetListenerOrientation(IAUDVector& vFront, IAUDVector& vTop) {
  IAUDVector av[2] = {vFront, vTop};
  if (m_pListener) m_pListener->SetOrientation(av);
}

// ---------------------------------------------------------------------------
// OpenAL source properties

long CAudioDrv::SetOpenALSourceProperty(long lSourceIndex, unsigned int uiProperty, void* pValue) {
  EASSERT(lSourceIndex < m_lNumSources);
  if (lSourceIndex < 0 || !pValue) return static_cast<long>(0x80000002u);
  CSource* pSource = m_pSource[lSourceIndex];
  alGetError();
  switch (uiProperty) {
    case AL_GAIN: pSource->SetGain(*static_cast<float*>(pValue)); break;
    case AL_REFERENCE_DISTANCE: alSourcef(pSource->GetSource(), AL_REFERENCE_DISTANCE, *static_cast<float*>(pValue)); break;
    default: EASSERT(0); return static_cast<long>(0x80000002u);
  }
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CAudioDrv::SetOpenALSourceProperty->alSourcei");
    return static_cast<long>(0x80000002u);
  }
  return 0;
}

long CAudioDrv::GetOpenALSourceProperty(long lSourceIndex, unsigned int uiProperty, void* pValue) {
  EASSERT(lSourceIndex < m_lNumSources);
  if (lSourceIndex < 0 || !pValue) return static_cast<long>(0x80000002u);
  CSource* pSource = m_pSource[lSourceIndex];
  alGetError();
  switch (uiProperty) {
    case AL_GAIN: *static_cast<float*>(pValue) = pSource->GetGain(); break;
    case AL_REFERENCE_DISTANCE: alGetSourcef(pSource->GetSource(), AL_REFERENCE_DISTANCE, static_cast<float*>(pValue)); break;
    default: EASSERT(0); return static_cast<long>(0x80000002u);
  }
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CAudioDrv::GetOpenALSourceProperty->alSourcei");
    return static_cast<long>(0x80000002u);
  }
  return 0;
}
