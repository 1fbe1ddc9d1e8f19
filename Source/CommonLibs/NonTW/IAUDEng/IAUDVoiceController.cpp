#include "NonTW/IAUDEng/IAUDVoiceController.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "NonTW/AudioDrv/AudioIAUD.h"
#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"

struct IAUDVoiceController::SVoice {
  uint32_t dwNumTracks;
  float flLevel;
  IAUDVector vPosition, vFront, vTop, vVelocity;
  uint32_t dwMode;
  float flPitch;
  uint32_t dwBlocked;
  CRPController* pCurves;
  float flCurveInput;
  uint32_t dwPaused;
  float flDirect;
  float flDirectHF;
  float aflSend[4];
  float aflSendHF[4];
  EAX40ACTIVEFXSLOTS activeSlots;
  CGroup* pGroup;
  IAUDContentObject* pContent;
  int32_t alTracks[1];  // dwNumTracks entries
};

namespace {

// Runs the body inside the render interface's exclusive mode (it nests).
struct VoiceExclusive {
  explicit VoiceExclusive(IAUDRenderInterface* ri) : m_ri(ri) {
    if (m_ri) m_ri->BeginExclusiveMode();
  }
  ~VoiceExclusive() {
    if (m_ri) m_ri->EndExclusiveMode();
  }
  IAUDRenderInterface* m_ri;
};

float VoiceCurve(const CRPController* curves, float input, uint32_t id) {
  if (!curves || !curves->GetActive(id)) return 1.0f;
  return curves->GetParameterValue(id, input);
}

// Timing pitch: clamped to [0.01, 2.0] so that it never truncates to 0.
uint64_t VoiceTimingPitch(float pitch) {
  if (!(pitch >= 0.01f)) pitch = 0.01f;
  if (pitch > 2.0f) pitch = 2.0f;
  uint64_t q = (uint64_t)(pitch * 16384.0f);
  return q ? q : 1;
}

IAUDVector VoiceAdd(const IAUDVector& a, const IAUDVector& b) { return IAUDVector{a.x + b.x, a.y + b.y, a.z + b.z}; }

IAUDVector VoiceRotate(IAUDVector front, IAUDVector top, IAUDVector v) {
  float m[3][3];
  IAUDcreatematrix(front, top, m);
  IAUDmatrixvector(v, m);
  return v;
}

}  // namespace

long IAUDVoiceController::LinearToMillibels(float linear) {
  if (!(linear > 0.0f)) return -10000;
  return (long)(2000.0 * std::log10((double)linear));
}

bool IAUDVoiceController::GetVoiceData(void* handle, SVoiceData* out) const {
  if (!out || !IsHandleValid(handle)) return false;
  const SVoice* v = static_cast<const SVoice*>(handle);
  memset(out, 0, sizeof(*out));
  out->dwNumTracks = v->dwNumTracks;
  out->flLevel = v->flLevel;
  out->flPitch = v->flPitch;
  out->dwMode = v->dwMode;
  out->vPosition = v->vPosition;
  out->vVelocity = v->vVelocity;
  out->vFront = v->vFront;
  out->vTop = v->vTop;
  out->pCurves = v->pCurves;
  out->flCurveInput = v->flCurveInput;
  out->pGroup = v->pGroup;
  out->pContent = v->pContent;
  out->eaxSource.lDirect = (int32_t)LinearToMillibels(v->flDirect);
  out->eaxSource.lDirectHF = (int32_t)LinearToMillibels(v->flDirectHF);
  for (int s = 0; s < 4; ++s) {
    out->eaxSends[s].lSend = (int32_t)LinearToMillibels(v->aflSend[s]);
    out->eaxSends[s].lSendHF = (int32_t)LinearToMillibels(v->aflSendHF[s]);
  }
  out->eaxActiveSlots = v->activeSlots;
  return true;
}

float IAUDVoiceController::MillibelsToLinear(long millibels) { return std::exp((float)millibels * 0.0011513f); }

IAUDVoiceController::IAUDVoiceController() {
  g_pStreamTracks = this;
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri) return;
  long total = ri->GetTotalTrackCount();
  m_dwTotalTracks = total < 0 ? 0u : total > 256 ? 256u : (uint32_t)total;
  for (long t = 0; t < 256; ++t) {
    ResetTrackState(t, nullptr);
    ri->GetTrackState(t, &m_aState[t]);
  }
  m_nFreeTracks = (int32_t)m_dwTotalTracks;
}

IAUDVoiceController::~IAUDVoiceController() {
  if (g_pStreamTracks == this) g_pStreamTracks = nullptr;
  for (uint32_t i = 0; i < m_dwOpenHandles; ++i) std::free(m_apHandles[i]);
}

uint32_t IAUDVoiceController::Now() const { return m_pScheduler ? m_pScheduler->GetMilliseconds() : 0; }

bool IAUDVoiceController::MapTrack(long local, const SVoice* voice, long* track) const {
  if (voice) {
    if (local < 0 || (uint32_t)local >= voice->dwNumTracks) return false;
    *track = voice->alTracks[local];
    return true;
  }
  if (local < 0 || local > 255) return false;
  *track = local;
  return true;
}

long IAUDVoiceController::GetVoiceTrack(void* handle, long local) const {
  long t = -1;
  return MapTrack(local, static_cast<SVoice*>(handle), &t) ? t : -1;
}

bool IAUDVoiceController::VoiceHasActiveSlots(const SVoice* voice) const {
  return !IAUDIsNullGUID(voice->activeSlots.guidActiveFXSlots[0]) ||
         !IAUDIsNullGUID(voice->activeSlots.guidActiveFXSlots[1]);
}

float IAUDVoiceController::EffectiveLevel(const SVoice* voice, float trackLevel) const {
  float level = trackLevel;
  if (voice) {
    float group = voice->pGroup ? voice->pGroup->GetGain() : 1.0f;
    float boost = voice->pContent ? voice->pContent->GetGainBoost() : 1.0f;
    float headRoom = m_flHeadRoomGain * boost;
    if (headRoom > 1.0f) headRoom = 1.0f;
    level = trackLevel * voice->flLevel * VoiceCurve(voice->pCurves, voice->flCurveInput, 0) * group * headRoom;
  }
  return level > 1.0f ? 1.0f : level;
}

float IAUDVoiceController::TrackPitchFor(const SVoice* voice, float trackPitch) const {
  float pitch = trackPitch;
  if (voice) pitch = voice->flPitch * trackPitch * VoiceCurve(voice->pCurves, voice->flCurveInput, 1);
  return pitch > 2.0f ? 2.0f : pitch;
}

bool IAUDVoiceController::TrackIsStereo(long track) const {
  if (m_anAttached[track] == -1) return false;
  CSample* sample = GetSample((uint32_t)m_anAttached[track]);
  return sample && sample->GetSampleChannels() > 1;
}

uint32_t IAUDVoiceController::PassLength(long track, float pitch) const {
  CSample* sample = m_anAttached[track] == -1 ? nullptr : GetSample((uint32_t)m_anAttached[track]);
  if (!sample) return 0;
  uint64_t duration = sample->GetSampleInfo()->dwDuration;
  return (uint32_t)((duration * 16384u) / VoiceTimingPitch(pitch));
}

void* IAUDVoiceController::GetVoiceHandle(SVoiceData* request) {
  if (!request) return nullptr;
  VoiceExclusive lock(m_pRenderInterface);
  uint32_t n = request->dwNumTracks;
  if (n == 0 || (int64_t)n > (int64_t)m_nFreeTracks || m_dwOpenHandles >= 256) return nullptr;
  SVoice* v = static_cast<SVoice*>(std::calloc(1, sizeof(SVoice) + (n - 1) * sizeof(int32_t)));
  if (!v) return nullptr;
  v->dwNumTracks = n;
  v->flLevel = request->flLevel;
  v->vPosition = request->vPosition;
  v->vFront = request->vFront;
  v->vTop = request->vTop;
  v->vVelocity = request->vVelocity;
  v->dwMode = request->dwMode;
  v->flPitch = request->flPitch;
  v->pCurves = request->pCurves;
  v->flCurveInput = request->flCurveInput;
  v->pGroup = request->pGroup;
  v->pContent = request->pContent;
  v->flDirect = MillibelsToLinear(request->eaxSource.lDirect);
  v->flDirectHF = MillibelsToLinear(request->eaxSource.lDirectHF);
  for (int s = 0; s < 4; ++s) {
    v->aflSend[s] = MillibelsToLinear(request->eaxSends[s].lSend);
    v->aflSendHF[s] = MillibelsToLinear(request->eaxSends[s].lSendHF);
  }
  v->activeSlots = request->eaxActiveSlots;
  uint32_t taken = 0;
  for (uint32_t t = 0; t < m_dwTotalTracks && taken < n; ++t) {
    if (m_adwInUse[t / 32] & (1u << (t % 32))) continue;
    m_adwInUse[t / 32] |= 1u << (t % 32);
    --m_nFreeTracks;
    v->alTracks[taken++] = (int32_t)t;
  }
  m_apHandles[m_dwOpenHandles++] = v;
  if (IAUDRenderInterface* ri = m_pRenderInterface) {
    for (uint32_t k = 0; k < n; ++k) {
      ri->SetTrackEAX(v->alTracks[k], 1, &request->eaxSource, sizeof(request->eaxSource));
      ri->SetTrackEAX(v->alTracks[k], 24, request->eaxSends, sizeof(request->eaxSends));
      ri->SetTrackEAX(v->alTracks[k], 27, &request->eaxActiveSlots, sizeof(request->eaxActiveSlots));
    }
  }
  for (uint32_t k = 0; k < n; ++k) ResetTrackState((long)k, v);
  return v;
}

void IAUDVoiceController::CloseVoiceHandle(void* handle) {
  VoiceExclusive lock(m_pRenderInterface);
  for (uint32_t i = 0; i < m_dwOpenHandles; ++i) {
    if (m_apHandles[i] != handle) continue;
    SVoice* v = m_apHandles[i];
    for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
      uint32_t t = (uint32_t)v->alTracks[k];
      m_adwInUse[t / 32] &= ~(1u << (t % 32));
    }
    m_nFreeTracks += (int32_t)v->dwNumTracks;
    std::free(v);
    for (uint32_t j = i + 1; j < m_dwOpenHandles; ++j) m_apHandles[j - 1] = m_apHandles[j];
    m_apHandles[--m_dwOpenHandles] = nullptr;
    return;
  }
}

bool IAUDVoiceController::IsHandleValid(void* handle) const {
  for (uint32_t i = 0; i < m_dwOpenHandles; ++i)
    if (m_apHandles[i] == handle) return true;
  return false;
}

void IAUDVoiceController::BlockHandleOutput(void* handle, bool block) {
  if (handle) static_cast<SVoice*>(handle)->dwBlocked = block ? 1u : 0u;
}

bool IAUDVoiceController::IsTrackPlaying(long local, void* handle, long* ownerLoops) {
  SVoice* v = static_cast<SVoice*>(handle);
  long t;
  if (!MapTrack(local, v, &t) || !m_abPlaying[t]) return false;
  if (!m_pScheduler) return m_abPlaying[t] != 0;
  IAUDRenderInterface* ri = m_pRenderInterface;
  uint32_t now = Now();
  if (m_anLoops[t] == -1 && ownerLoops && *ownerLoops == 0) {
    m_anLoops[t] = 0;
    m_adwEnd[t] = now;
    if (ri) ri->StopTracksLooping(&t, 1);
  }
  if (m_anLoops[t] == -1) return m_abPlaying[t] != 0;
  if (m_anLoops[t] != 0 && m_anAttached[t] != -1) {
    float voicePitch = v ? v->flPitch : 1.0f;
    float curvePitch = v ? VoiceCurve(v->pCurves, v->flCurveInput, 1) : 1.0f;
    uint32_t pass = PassLength(t, m_aState[t].flPitch * voicePitch * curvePitch);
    if (m_adwEnd[t] - pass / 2 <= now) {
      if (ri) ri->StopTracksLooping(&t, 1);
      m_anLoops[t] = 0;
    }
  }
  if (m_adwEnd[t] <= now + 5) {
    m_abPlaying[t] = (ri && ri->GetTrackPlayingState(t)) ? 1 : 0;
    // A streamed track that ran dry is stopped so that its stream ends too.
    if (!m_abPlaying[t] && ri) {
      CSample* sample = m_anAttached[t] == -1 ? nullptr : GetSample((uint32_t)m_anAttached[t]);
      IAUDSampleBank* bank = sample ? sample->GetSampleBank() : nullptr;
      if (bank && bank->GetStreamPacketTimeLength() != 0) ri->StopTracks(&t, 1);
    }
  }
  return m_abPlaying[t] != 0;
}

void IAUDVoiceController::SetTrackPlayTime(long track, float voicePitch, float curvePitch, unsigned long loops) {
  if (!m_pScheduler || track < 0 || track > 255) return;
  uint32_t now = Now();
  m_adwStart[track] = m_adwEnd[track] = now;
  if (m_anAttached[track] == -1 || !GetSample((uint32_t)m_anAttached[track])) return;
  m_anLoops[track] = (int32_t)(uint32_t)loops;
  if ((uint32_t)loops == 0xFFFFFFFFu) {
    m_adwEnd[track] = kNever;
    return;
  }
  uint64_t pass = PassLength(track, m_aState[track].flPitch * voicePitch * curvePitch);
  m_adwEnd[track] = (uint32_t)(now + pass * ((uint64_t)(uint32_t)loops + 1));
}

void IAUDVoiceController::SetSilenceTrackPlayTime(long track, unsigned long ms) {
  if (!m_pScheduler || track < 0 || track > 255) return;
  m_adwStart[track] = Now();
  m_adwEnd[track] = m_adwStart[track] + (uint32_t)ms;
}

void IAUDVoiceController::PlayVoiceTrack(long local, void* handle, unsigned long loops) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  long t;
  if (!ri || (v && v->dwBlocked) || !MapTrack(local, v, &t)) return;
  ri->PlayTracks(&t, 1, loops != 0);
  SetTrackPlayTime(t, v ? v->flPitch : 1.0f, v ? VoiceCurve(v->pCurves, v->flCurveInput, 1) : 1.0f, loops);
  m_abPlaying[t] = 1;
}

void IAUDVoiceController::PlayTrackSilence(long local, void* handle, unsigned long ms) {
  SVoice* v = static_cast<SVoice*>(handle);
  long t;
  if (!m_pRenderInterface || (v && v->dwBlocked) || !MapTrack(local, v, &t)) return;
  m_anLoops[t] = 0;
  SetSilenceTrackPlayTime(t, ms);
  m_abPlaying[t] = 1;
}

void IAUDVoiceController::PlayTracks(long* locals, long count, void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || (v && v->dwBlocked) || !locals) return;
  long list[256];
  long m = 0;
  for (long i = 0; i < count && m < 256; ++i)
    if (MapTrack(locals[i], v, &list[m])) ++m;
  ri->PlayTracks(list, m, 0);
  float voicePitch = v ? v->flPitch : 1.0f, curvePitch = v ? VoiceCurve(v->pCurves, v->flCurveInput, 1) : 1.0f;
  for (long i = 0; i < m; ++i) {
    SetTrackPlayTime(list[i], voicePitch, curvePitch, 0);
    m_abPlaying[list[i]] = 1;
  }
}

void IAUDVoiceController::StopTracks(long* locals, long count, void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v || !locals) return;
  long list[256];
  long m = 0;
  for (long i = 0; i < count && m < 256; ++i)
    if (MapTrack(locals[i], v, &list[m])) m_abPlaying[list[m++]] = 0;
  ri->StopTracks(list, m);
}

void IAUDVoiceController::PauseVoice(void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->dwPaused = 1;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    m_abPlaying[t] = IsTrackPlaying((long)k, v, nullptr) ? 1 : 0;
    if (m_abPlaying[t]) m_adwPause[t] = Now();
  }
  long list[256];
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) list[k] = v->alTracks[k];
  ri->PauseTracks(list, (long)v->dwNumTracks);
}

void IAUDVoiceController::RestartVoice(void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v || v->dwBlocked) return;
  v->dwPaused = 0;
  uint32_t now = Now();
  // Tracks that still have passes to play resume looping; an endless track
  // keeps its "never" end.
  long once[256], looping[256];
  long nOnce = 0, nLooping = 0;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    if (!m_abPlaying[t]) continue;
    if (m_adwEnd[t] != kNever) m_adwEnd[t] += now - m_adwPause[t];
    if (m_anLoops[t] != 0)
      looping[nLooping++] = t;
    else
      once[nOnce++] = t;
  }
  if (nOnce) ri->PlayTracks(once, nOnce, 0);
  if (nLooping) ri->PlayTracks(looping, nLooping, 1);
}

void IAUDVoiceController::StopVoice(void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->dwPaused = 0;
  long list[256];
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = list[k] = v->alTracks[k];
    m_abPlaying[t] = 0;
    CSample* sample = m_anAttached[t] == -1 ? nullptr : GetSample((uint32_t)m_anAttached[t]);
    if (IAUDSampleBank* bank = sample ? sample->GetSampleBank() : nullptr) bank->KillTrackStream((int32_t)t, sample);
  }
  ri->StopTracks(list, (long)v->dwNumTracks);
}

void IAUDVoiceController::AttachSample(long local, unsigned long sampleReference, void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  long t;
  if (!m_pRenderInterface || !MapTrack(local, v, &t)) return;
  CSample* sample = (uint32_t)sampleReference == 0xFFFFFFFFu ? nullptr : GetSample((uint32_t)sampleReference);
  if (sample) {
    if (!v || !v->dwBlocked) sample->AttachSample(t);
    m_anAttached[t] = (int32_t)sampleReference;
  }
  m_adwStart[t] = m_adwPause[t] = m_adwEnd[t] = 0;
}

void IAUDVoiceController::ResetTrackState(long local, void* handle) {
  long t;
  if (!MapTrack(local, static_cast<SVoice*>(handle), &t)) return;
  m_anAttached[t] = -1;
  IAUDTrackState& s = m_aState[t];
  std::memset(&s, 0, sizeof(s));
  s.flLevel = s.flDirectLevel = s.flDirectHFLevel = s.flPitch = 1.0f;
  for (float& f : s.aflSendHFLevel) f = 1.0f;
  s.vOrientation = IAUDVector{0.0f, 0.0f, 1.0f};
  FlushTrackState(local, handle);
}

void IAUDVoiceController::FlushTrackState(long local, void* handle) {
  long t;
  if (!MapTrack(local, static_cast<SVoice*>(handle), &t)) return;
  IAUDTrackState s = m_aState[t];
  AttachSample(local, (unsigned long)(uint32_t)m_anAttached[t], handle);
  SetTrackLevel(local, s.flLevel, handle);
  SetTrackDirectLevel(local, s.flDirectLevel, handle);
  SetTrackDirectHFLevel(local, s.flDirectHFLevel, handle);
  SetTrackPositionPath(local, &s.vPosition, &s.vPathOffset, handle);
  SetTrackVelocity(local, s.vVelocity, handle);
  SetTrackOrientation(local, s.vOrientation, handle);
  SetTrackMode(local, s.dwMode, handle);
  SetTrackPitch(local, s.flPitch, handle);
  SetTrackActiveSends(local, s.dwActiveSends, handle);
  for (long send = 0; send < 4; ++send) {
    SetTrackSendLevel(local, send, s.aflSendLevel[send], handle);
    SetTrackSendHFLevel(local, send, s.aflSendHFLevel[send], handle);
  }
}

void IAUDVoiceController::GetTrackState(long local, IAUDTrackState* out, void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  if (!out) return;
  long t = v ? (local >= 0 && (uint32_t)local < v->dwNumTracks ? v->alTracks[local] : -1) : local;
  if (t < 0 && v) return;
  *out = m_aState[t & 255];
}

CSample* IAUDVoiceController::GetTrackSample(long local, void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  long t = v ? (local >= 0 && (uint32_t)local < v->dwNumTracks ? v->alTracks[local] : -1) : local;
  if (t < 0 && v) return nullptr;
  int32_t ref = m_anAttached[t & 255];
  return ref == -1 ? nullptr : GetSample((uint32_t)ref);
}

long IAUDVoiceController::GetTrackLoopCount(long track) const {
  return track >= 0 && track < 256 ? m_anLoops[track] : 0;
}

void IAUDVoiceController::DecrementTrackLoopCount(long track) {
  if (track < 0 || track > 255) return;
  if (m_anLoops[track] != 0 && m_anLoops[track] != -1) --m_anLoops[track];
}

// --- per-track setters -------------------------------------------------------

#define VOICE_TRACK_SETUP()                                \
  SVoice* v = static_cast<SVoice*>(handle);                \
  long t;                                                  \
  if (!MapTrack(local, v, &t)) return;                     \
  IAUDRenderInterface* ri = m_pRenderInterface;            \
  bool send = ri && !(v && v->dwBlocked)

void IAUDVoiceController::SetTrackLevel(long local, float level, void* handle) {
  VOICE_TRACK_SETUP();
  if (send) ri->SetTrackLevel(t, EffectiveLevel(v, level));
  m_aState[t].flLevel = level;
}

void IAUDVoiceController::SetTrackDirectLevel(long local, float level, void* handle) {
  VOICE_TRACK_SETUP();
  float value = v ? VoiceCurve(v->pCurves, v->flCurveInput, 2) * v->flDirect * level : level;
  if (send) ri->SetTrackDirectLevel(t, LinearToMillibels(value), 0);
  m_aState[t].flDirectLevel = level;
}

void IAUDVoiceController::SetTrackDirectHFLevel(long local, float level, void* handle) {
  VOICE_TRACK_SETUP();
  float value = v ? VoiceCurve(v->pCurves, v->flCurveInput, 3) * v->flDirectHF * level : level;
  if (send) ri->SetTrackDirectHFLevel(t, LinearToMillibels(value), 0);
  m_aState[t].flDirectHFLevel = level;
}

void IAUDVoiceController::SetTrackActiveSends(long local, unsigned long mask, void* handle) {
  VOICE_TRACK_SETUP();
  if (send && (!v || !VoiceHasActiveSlots(v))) ri->SetTrackActiveSends(t, mask, 0);
  m_aState[t].dwActiveSends = (uint32_t)mask;
}

void IAUDVoiceController::SetTrackSendLevel(long local, long sendNumber, float level, void* handle) {
  VOICE_TRACK_SETUP();
  if (sendNumber < 0 || sendNumber > 31) return;
  float value = level;
  if (v) {
    float base = VoiceCurve(v->pCurves, v->flCurveInput, (uint32_t)sendNumber + 4) *
                 (sendNumber <= 3 ? v->aflSend[sendNumber] : 1.0f);
    value = VoiceHasActiveSlots(v) ? base : base * level;
  }
  if (send) ri->SetTrackSendLevel(t, sendNumber, LinearToMillibels(value), 0);
  m_aState[t].aflSendLevel[sendNumber] = level;
}

void IAUDVoiceController::SetTrackSendHFLevel(long local, long sendNumber, float level, void* handle) {
  VOICE_TRACK_SETUP();
  if (sendNumber < 0 || sendNumber > 31) return;
  float value = level;
  if (v) {
    float base = VoiceCurve(v->pCurves, v->flCurveInput, (uint32_t)sendNumber + 36) *
                 (sendNumber <= 3 ? v->aflSendHF[sendNumber] : 1.0f);
    value = VoiceHasActiveSlots(v) ? base : base * level;
  }
  if (send) ri->SetTrackSendHFLevel(t, sendNumber, LinearToMillibels(value), 0);
  m_aState[t].aflSendHFLevel[sendNumber] = level;
}

void IAUDVoiceController::SetTrackPosition(long local, IAUDVector& position, void* handle) {
  VOICE_TRACK_SETUP();
  if (TrackIsStereo(t)) return;
  m_aState[t].vPosition = position;
  m_aState[t].vPathOffset = IAUDVector{0.0f, 0.0f, 0.0f};
  if (send) SendWorldPosition(t, v, true);
}

void IAUDVoiceController::SetTrackPositionPath(long local, IAUDVector* position, IAUDVector* offset, void* handle) {
  VOICE_TRACK_SETUP();
  if (TrackIsStereo(t)) return;
  if (position) m_aState[t].vPosition = *position;
  if (offset) m_aState[t].vPathOffset = *offset;
  if (send) SendWorldPosition(t, v, true);
}

void IAUDVoiceController::SendWorldPosition(long t, const SVoice* v, bool withOffset) {
  const IAUDTrackState& s = m_aState[t];
  IAUDVector local = withOffset ? VoiceAdd(s.vPosition, s.vPathOffset) : s.vPosition;
  IAUDVector world = v ? VoiceAdd(VoiceRotate(v->vFront, v->vTop, local), v->vPosition) : local;
  m_pRenderInterface->SetTrackPosition(t, world);
}

void IAUDVoiceController::SetTrackVelocity(long local, IAUDVector& velocity, void* handle) {
  VOICE_TRACK_SETUP();
  if (TrackIsStereo(t)) return;
  IAUDVector world = v ? VoiceAdd(VoiceRotate(v->vFront, v->vTop, velocity), v->vVelocity) : velocity;
  if (send) ri->SetTrackVelocity(t, world);
  m_aState[t].vVelocity = velocity;
}

void IAUDVoiceController::SetTrackOrientation(long local, IAUDVector& orientation, void* handle) {
  VOICE_TRACK_SETUP();
  if (TrackIsStereo(t)) return;
  IAUDVector world = v ? VoiceRotate(v->vFront, v->vTop, orientation) : orientation;
  if (send) ri->SetTrackOrientation(t, world);
  m_aState[t].vOrientation = orientation;
}

void IAUDVoiceController::SetTrackOrientation(long, long, long, long, void*) {}

void IAUDVoiceController::SetTrackMode(long local, unsigned long mode, void* handle) {
  VOICE_TRACK_SETUP();
  if (TrackIsStereo(t)) return;
  if (send) ri->SetTrackMode(t, v ? (mode | v->dwMode) : mode);
  m_aState[t].dwMode = (uint32_t)mode;
}

void IAUDVoiceController::SetTrackPitch(long local, float pitch, void* handle) {
  VOICE_TRACK_SETUP();
  float value = TrackPitchFor(v, pitch);
  if (!(v && v->dwPaused)) RescaleEndTime(t, Now(), value);
  if (send) ri->SetTrackPitch(t, value);
  m_aState[t].flPitch = pitch;
}

#undef VOICE_TRACK_SETUP

void IAUDVoiceController::RescaleEndTime(long t, uint32_t ref, float newPitch) {
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !m_pScheduler || !m_abPlaying[t] || m_adwEnd[t] == kNever || m_adwEnd[t] <= ref) return;
  uint64_t remaining = m_adwEnd[t] - ref;
  IAUDTrackState inForce = m_aState[t];
  ri->GetTrackState(t, &inForce);
  m_adwEnd[t] = (uint32_t)(ref + remaining * VoiceTimingPitch(inForce.flPitch) / VoiceTimingPitch(newPitch));
}

// --- per-voice setters -------------------------------------------------------

void IAUDVoiceController::SetVoicePosition(void* handle, IAUDVector& position) {
  SVoice* v = static_cast<SVoice*>(handle);
  if (!m_pRenderInterface || !v) return;
  v->vPosition = position;
  if (v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) SendWorldPosition(v->alTracks[k], v, true);
}

void IAUDVoiceController::SetVoiceOrientation(void* handle, IAUDVector& front, IAUDVector& top) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->vFront = front;
  v->vTop = top;
  if (v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    SendWorldPosition(t, v, false);
    IAUDVector vel = VoiceAdd(VoiceRotate(v->vFront, v->vTop, m_aState[t].vVelocity), v->vVelocity);
    ri->SetTrackVelocity(t, vel);
    IAUDVector ori = VoiceRotate(v->vFront, v->vTop, m_aState[t].vOrientation);
    ri->SetTrackOrientation(t, ori);
  }
}

void IAUDVoiceController::SetVoiceVelocity(void* handle, IAUDVector& velocity) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->vVelocity = velocity;
  if (v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    IAUDVector vel = VoiceAdd(VoiceRotate(v->vFront, v->vTop, m_aState[t].vVelocity), v->vVelocity);
    ri->SetTrackVelocity(t, vel);
  }
}

void IAUDVoiceController::SetVoiceLevel(void* handle, float level) {
  SVoice* v = static_cast<SVoice*>(handle);
  if (!m_pRenderInterface || !v) return;
  v->flLevel = level;
  SetVoiceGroupGain(handle);
}

void IAUDVoiceController::SetVoiceGroupGain(void* handle) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v || v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k)
    ri->SetTrackLevel(v->alTracks[k], EffectiveLevel(v, m_aState[v->alTracks[k]].flLevel));
}

void IAUDVoiceController::SetVoiceMode(void* handle, unsigned long mode) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->dwMode = (uint32_t)mode;
  if (v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k)
    ri->SetTrackMode(v->alTracks[k], m_aState[v->alTracks[k]].dwMode | v->dwMode);
}

void IAUDVoiceController::SetVoicePitch(void* handle, float pitch) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->flPitch = pitch;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    float value = TrackPitchFor(v, m_aState[t].flPitch);
    RescaleEndTime(t, v->dwPaused ? m_adwPause[t] : Now(), value);
    if (!v->dwBlocked) ri->SetTrackPitch(t, value);
  }
}

void IAUDVoiceController::SetVoiceRPC(void* handle, CRPController* curves, float input) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v) return;
  v->pCurves = curves;
  v->flCurveInput = input;
  bool slots = VoiceHasActiveSlots(v);
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    if (!curves) {
      FlushTrackState((long)k, v);
      continue;
    }
    const IAUDTrackState& s = m_aState[t];
    for (uint32_t id = 0; id < 68; ++id) {
      if (!curves->GetActive(id)) continue;
      float value = curves->GetParameterValue(id, input);
      if (id == 1) {
        float pitch = v->flPitch * s.flPitch * value;
        if (pitch > 2.0f) pitch = 2.0f;
        RescaleEndTime(t, v->dwPaused ? m_adwPause[t] : Now(), pitch);
        if (!v->dwBlocked) ri->SetTrackPitch(t, pitch);
        continue;
      }
      if (v->dwBlocked) continue;
      if (id == 0) {
        ri->SetTrackLevel(t, EffectiveLevel(v, s.flLevel));
      } else if (id == 2 || id == 3) {
        float level = (id == 2 ? v->flDirect * s.flDirectLevel : v->flDirectHF * s.flDirectHFLevel) * value;
        if (level > 1.0f) level = 1.0f;
        if (id == 2)
          ri->SetTrackDirectLevel(t, LinearToMillibels(level), 0);
        else
          ri->SetTrackDirectHFLevel(t, LinearToMillibels(level), 0);
      } else {
        bool hf = id >= 36;
        long sendNumber = (long)id - (hf ? 36 : 4);
        float base = sendNumber <= 3 ? (hf ? v->aflSendHF[sendNumber] : v->aflSend[sendNumber]) : 1.0f;
        float own = hf ? s.aflSendHFLevel[sendNumber] : s.aflSendLevel[sendNumber];
        float level = slots ? base * value : own * base * value;
        if (hf)
          ri->SetTrackSendHFLevel(t, sendNumber, LinearToMillibels(level), 0);
        else
          ri->SetTrackSendLevel(t, sendNumber, LinearToMillibels(level), 0);
      }
    }
  }
}

// --- EAX source properties ---------------------------------------------------

void IAUDVoiceController::SetVoiceEAXProp(void* handle, unsigned long id, void* data, unsigned long size) {
  SVoice* v = static_cast<SVoice*>(handle);
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || !v || !data) return;
  unsigned long deferred = id & 0x80000000ul;
  unsigned long property = id & 0x7FFFFFFFul;
  switch (property) {
    case 1:
      if (size >= sizeof(EAX40SOURCEPROPERTIES)) SetVoiceEAXAll(v, static_cast<EAX40SOURCEPROPERTIES*>(data), deferred);
      return;
    case 5:
    case 6:
      if (size >= sizeof(int32_t)) SetVoiceEAXDirect(v, *static_cast<int32_t*>(data), deferred, property == 6);
      return;
    case 23:
    case 24:
      SetVoiceEAXSendLevels(v, data, size, deferred, property == 24);
      return;
    case 27:
      SetVoiceEAXActiveSlots(v, static_cast<EAX40ACTIVEFXSLOTS*>(data), size, deferred);
      return;
    default:
      if (property > 27) return;
      if (v->dwBlocked) return;
      for (uint32_t k = 0; k < v->dwNumTracks; ++k) ri->SetTrackEAX(v->alTracks[k], id, data, size);
  }
}

void IAUDVoiceController::SetVoiceEAXAll(SVoice* v, EAX40SOURCEPROPERTIES* props, unsigned long deferred) {
  v->flDirect = MillibelsToLinear(props->lDirect);
  v->flDirectHF = MillibelsToLinear(props->lDirectHF);
  if (v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    EAX40SOURCEPROPERTIES copy = *props;
    copy.lDirect = (int32_t)LinearToMillibels(m_aState[t].flDirectLevel * v->flDirect *
                                              VoiceCurve(v->pCurves, v->flCurveInput, 2));
    copy.lDirectHF = (int32_t)LinearToMillibels(m_aState[t].flDirectHFLevel * v->flDirectHF *
                                                VoiceCurve(v->pCurves, v->flCurveInput, 3));
    m_pRenderInterface->SetTrackEAX(t, 1 | deferred, &copy, sizeof(copy));
  }
}

void IAUDVoiceController::SetVoiceEAXDirect(SVoice* v, long millibels, unsigned long deferred, bool hf) {
  (hf ? v->flDirectHF : v->flDirect) = MillibelsToLinear(millibels);
  if (v->dwBlocked) return;
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    float level = hf ? m_aState[t].flDirectHFLevel * v->flDirectHF * VoiceCurve(v->pCurves, v->flCurveInput, 3)
                     : m_aState[t].flDirectLevel * v->flDirect * VoiceCurve(v->pCurves, v->flCurveInput, 2);
    if (hf)
      m_pRenderInterface->SetTrackDirectHFLevel(t, LinearToMillibels(level), deferred);
    else
      m_pRenderInterface->SetTrackDirectLevel(t, LinearToMillibels(level), deferred);
  }
}

void IAUDVoiceController::SetVoiceEAXSendLevels(SVoice* v, void* data, unsigned long size, unsigned long deferred,
                                                bool all) {
  size_t recordSize = all ? sizeof(EAX40SOURCEALLSENDPROPERTIES) : sizeof(EAX40SOURCESENDPROPERTIES);
  unsigned long property = (all ? 24ul : 23ul) | deferred;
  bool slots = VoiceHasActiveSlots(v);
  for (size_t r = 0; r < size / recordSize; ++r) {
    uint8_t* record = static_cast<uint8_t*>(data) + r * recordSize;
    // Both records begin with the slot identifier, the send and the send HF.
    EAX40SOURCEALLSENDPROPERTIES copy{};
    std::memcpy(&copy, record, recordSize);
    long slot = GetSlotIndex(copy.guidReceivingFXSlotID);
    if (slot < 0) continue;
    v->aflSend[slot] = MillibelsToLinear(copy.lSend);
    v->aflSendHF[slot] = MillibelsToLinear(copy.lSendHF);
    if (v->dwBlocked) continue;
    for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
      long t = v->alTracks[k];
      float send = v->aflSend[slot] * VoiceCurve(v->pCurves, v->flCurveInput, (uint32_t)slot + 4);
      float sendHF = v->aflSendHF[slot] * VoiceCurve(v->pCurves, v->flCurveInput, (uint32_t)slot + 36);
      if (all || !slots) {
        send *= m_aState[t].aflSendLevel[slot];
        sendHF *= m_aState[t].aflSendHFLevel[slot];
      }
      EAX40SOURCEALLSENDPROPERTIES out = copy;
      out.lSend = (int32_t)LinearToMillibels(send);
      out.lSendHF = (int32_t)LinearToMillibels(sendHF);
      m_pRenderInterface->SetTrackEAX(t, property, &out, (unsigned long)recordSize);
    }
  }
}

void IAUDVoiceController::SetVoiceEAXActiveSlots(SVoice* v, EAX40ACTIVEFXSLOTS* slots, unsigned long size,
                                                 unsigned long deferred) {
  unsigned long count = size / sizeof(_GUID);
  if (count > 2) count = 2;
  for (unsigned long i = 0; i < count; ++i) v->activeSlots.guidActiveFXSlots[i] = slots->guidActiveFXSlots[i];
  bool none = !VoiceHasActiveSlots(v);
  for (uint32_t k = 0; k < v->dwNumTracks; ++k) {
    long t = v->alTracks[k];
    if (!v->dwBlocked) {
      if (none)
        m_pRenderInterface->SetTrackActiveSends(t, m_aState[t].dwActiveSends, deferred);
      else
        m_pRenderInterface->SetTrackEAX(t, 27 | deferred, &v->activeSlots, count * sizeof(_GUID));
    }
    for (long s = 0; s < 32; ++s) SetTrackSendLevel((long)k, s, m_aState[t].aflSendLevel[s], v);
  }
}
