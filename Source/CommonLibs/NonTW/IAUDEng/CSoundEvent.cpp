#include "NonTW/IAUDEng/CSoundEvent.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "TWUtil/ByteOrder.h"

namespace {

const uint32_t kEventSoundBytes = 728;
const uint32_t kEventSilenceBytes = 20;
const float kEventDegrees = 3.14159265358979f / 180.0f;

uint32_t EventNow() {
  IAUDScheduler* s = IAUDResourceManager::GetScheduler();
  return s ? s->GetMilliseconds() : 0;
}

// 1 to n inclusive; n must be above 0.
uint32_t EventDraw(uint32_t n) { return 1u + (uint32_t)rand() % n; }

// Milliseconds of a length played at a rate, truncated; at most 0xFFFFFFFF.
uint32_t EventMsAt(uint32_t length, float rate) {
  if (!(rate > 0.0f)) return 0;
  double ms = (double)length / (double)rate;
  return ms >= 4294967295.0 ? 0xFFFFFFFFu : (uint32_t)ms;
}

int32_t EventClampInt(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

}  // namespace

CSoundEvent::CSoundEvent(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("snde"));
  ReseedRandom();
}

CSoundEvent::~CSoundEvent() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutSoundEvent(GetResourceIndex());
}

void CSoundEvent::ReseedRandom() {
  uint32_t r1 = (uint32_t)rand();
  uint32_t r2 = (uint32_t)rand();
  if (r1 == 0) r1 = 337799;
  srand((r2 * EventNow()) / r1);
}

SOUNDTRACK* CSoundEvent::GetSoundTrack(int32_t i) const {
  return i >= 0 && i < m_aSound.GetElementCount() ? m_aSound.GetElementMember(i) : nullptr;
}

SILENCETRACK* CSoundEvent::GetSilenceTrack(int32_t i) const {
  return i >= 0 && i < m_aSilence.GetElementCount() ? m_aSilence.GetElementMember(i) : nullptr;
}

bool CSoundEvent::AddSoundTrack(const SOUNDTRACK& track) {
  if (NumTracks() >= kMaxTracks) return false;
  return m_aSound.AddElement(&track) >= 0;
}

bool CSoundEvent::AddSilenceTrack(const SILENCETRACK& track) {
  if (NumTracks() >= kMaxTracks) return false;
  return m_aSilence.AddElement(&track) >= 0;
}

uint32_t& CSoundEvent::ChanceAt(int32_t p) const {
  int32_t n = GetNumSoundTracks();
  return p < n ? m_aSound.GetElementMember(p)->dwChance : m_aSilence.GetElementMember(p - n)->dwChance;
}

uint32_t& CSoundEvent::OrderAt(int32_t p) const {
  int32_t n = GetNumSoundTracks();
  return p < n ? m_aSound.GetElementMember(p)->dwOrder : m_aSilence.GetElementMember(p - n)->dwOrder;
}

// ---------------------------------------------------------------- reading and writing

void CSoundEvent::ReadSoundTrack(const uint8_t* b, SOUNDTRACK* t) {
  uint32_t* words = reinterpret_cast<uint32_t*>(t);
  // Every field is a 32-bit value: integers and floats alike go bit for bit.
  for (uint32_t i = 0; i < kEventSoundBytes / 4; ++i) words[i] = GetLE32(b + 4 * i);
}

void CSoundEvent::WriteSoundTrack(const SOUNDTRACK& t, uint8_t* b) {
  const uint32_t* words = reinterpret_cast<const uint32_t*>(&t);
  for (uint32_t i = 0; i < kEventSoundBytes / 4; ++i) PutLE32(b + 4 * i, words[i]);
}

void CSoundEvent::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId == IAUDFourCC("info")) {
    uint32_t words[5];
    uint32_t n = ReadChunkLongs(file, chunk, words, 4);
    for (uint32_t i = 0; i < n; ++i) m_adwInfo[i] = words[i];
    if (chunk.dwSize == 20 && ReadChunkLongs(file, chunk, words + 4, 1) == 1) m_adwInfo[kReRandomise] = words[4];
  } else if (chunk.dwChunkId == IAUDFourCC("sndt")) {
    uint8_t bytes[kEventSoundBytes];
    for (uint32_t i = 0; i < chunk.dwSize / kEventSoundBytes; ++i) {
      if (IAUDFileRead(bytes, kEventSoundBytes, 1, file) != 1) break;
      SOUNDTRACK t;
      ReadSoundTrack(bytes, &t);
      if (!AddSoundTrack(t)) break;
    }
  } else if (chunk.dwChunkId == IAUDFourCC("silt")) {
    for (uint32_t i = 0; i < chunk.dwSize / kEventSilenceBytes; ++i) {
      uint32_t w[5];
      if (IAUDFileReadLongs(w, 5, file) != 5) break;
      SILENCETRACK t{w[0], w[1], w[2], w[3], w[4]};
      if (!AddSilenceTrack(t)) break;
    }
  }
}

void CSoundEvent::ProcessUnArchivedObject() {
  IAUDContentObject::ProcessUnArchivedObject();
  if (IAUDContentBank* bank = GetContentBank()) {
    if ((int32_t)GetResourceIndex() < 0)
      SetResourceIndex((uint32_t)bank->AddNewSoundEvent(this));
    else
      bank->AddSoundEvent(this, GetResourceIndex());
  }
  if (m_adwInfo[kPercentage] > 100) m_adwInfo[kPercentage] = 100;
  if (m_adwInfo[kRandomPlay] > 1) m_adwInfo[kRandomPlay] = 1;
  if (m_adwInfo[kSelection] & ~3u) m_adwInfo[kSelection] = 0;
  for (int32_t i = 0; i < GetNumSoundTracks(); ++i) ClampSoundTrackParameters(i);
  for (int32_t i = 0; i < GetNumSilenceTracks(); ++i) ClampSilenceTrackParameters(i);
  CheckOrderNumbersInRange();
  CheckChancesInRange(kSoundTrack, -1);
}

void CSoundEvent::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  uint8_t info[20];
  for (int i = 0; i < 5; ++i) PutLE32(info + 4 * i, m_adwInfo[i]);
  WriteObjectData(file, IAUDFourCC("info"), info, 20);
  std::vector<uint8_t> bytes((size_t)GetNumSoundTracks() * kEventSoundBytes);
  for (int32_t i = 0; i < GetNumSoundTracks(); ++i) WriteSoundTrack(*GetSoundTrack(i), &bytes[(size_t)i * kEventSoundBytes]);
  WriteObjectData(file, IAUDFourCC("sndt"), bytes.data(), (uint32_t)bytes.size());
  bytes.assign((size_t)GetNumSilenceTracks() * kEventSilenceBytes, 0);
  for (int32_t i = 0; i < GetNumSilenceTracks(); ++i) {
    const SILENCETRACK* t = GetSilenceTrack(i);
    const uint32_t w[5] = {t->dwOrder, t->dwChance, t->dwMinDuration, t->dwMaxDuration, t->dwRandom};
    for (int k = 0; k < 5; ++k) PutLE32(&bytes[(size_t)i * kEventSilenceBytes + 4 * k], w[k]);
  }
  WriteObjectData(file, IAUDFourCC("silt"), bytes.data(), (uint32_t)bytes.size());
}

// ---------------------------------------------------------------- load rules

void CSoundEvent::ClampMinRange(float& min, float& max, float low, float high) {
  min = min < low ? low : (min > high ? high : min);
  if (max < min) max = min;
}

void CSoundEvent::ClampMaxRange(float& min, float& max, float low, float high) {
  max = max < low ? low : (max > high ? high : max);
  if (min > max) min = max;
}

void CSoundEvent::ClampMinMaxRange(float& min, float& max, float low, float high) {
  min = min < low ? low : (min > high ? high : min);
  max = max < low ? low : (max > high ? high : max);
  if (min > max) min = max;
}

void CSoundEvent::ClampSoundTrackParameters(int32_t index) {
  SOUNDTRACK* t = GetSoundTrack(index);
  if (!t) return;
  t->nAzimuth = EventClampInt(t->nAzimuth, 0, 360);
  t->nElevation = EventClampInt(t->nElevation, -90, 90);
  t->nThird = EventClampInt(t->nThird, 0, 360);
  ClampMinMaxRange(t->aflLevel[0], t->aflLevel[1], 0.0f, 1.0f);
  ClampMinMaxRange(t->aflPitch[0], t->aflPitch[1], 0.01f, 2.0f);
  ClampMinMaxRange(t->aflDirect[0], t->aflDirect[1], 0.0f, 1.0f);
  ClampMinMaxRange(t->aflDirectHF[0], t->aflDirectHF[1], 0.0f, 1.0f);
  for (int s = 0; s < 32; ++s) {
    ClampMinMaxRange(t->aflSendMin[s], t->aflSendMax[s], 0.0f, 1.0f);
    ClampMinMaxRange(t->aflSendHFMin[s], t->aflSendHFMax[s], 0.0f, 1.0f);
  }
  if (t->dwRandomFlags > 63) t->dwRandomFlags = 63;
}

void CSoundEvent::ClampSilenceTrackParameters(int32_t index) {
  SILENCETRACK* t = GetSilenceTrack(index);
  if (!t) return;
  if (t->dwMinDuration > t->dwMaxDuration) t->dwMinDuration = t->dwMaxDuration;
  if (t->dwRandom > 1) t->dwRandom = 0;
}

// Makes the order numbers a permutation of 1..N keeping those in place.
void CSoundEvent::CheckOrderNumbersInRange() {
  int32_t nSound = GetNumSoundTracks(), n = NumTracks();
  bool done[kMaxTracks] = {};
  for (uint32_t number = 1; number <= (uint32_t)n; ++number) {
    int32_t found = -1;
    for (int32_t p = 0; p < n && found < 0; ++p)
      if (!done[p] && OrderAt(p) == number) found = p;
    if (found >= 0) {
      done[found] = true;
      continue;
    }
    int32_t candidate = -1;
    for (int32_t p = 0; p < nSound && candidate < 0; ++p)
      if (!done[p]) candidate = p;
    for (int32_t p = n - 1; p >= nSound && candidate < 0; --p)
      if (!done[p]) candidate = p;
    if (candidate < 0) break;
    for (int32_t p = 0; p < n; ++p)
      if (!done[p] && OrderAt(p) < OrderAt(candidate)) candidate = p;
    OrderAt(candidate) = number;
    done[candidate] = true;
  }
}

void CSoundEvent::CheckChancesInRange(int32_t kind, int32_t excluded) {
  int32_t n = NumTracks();
  if (n <= 0) return;
  int32_t skip = excluded < 0 ? -1 : (kind == kSoundTrack ? excluded : GetNumSoundTracks() + excluded);
  if (m_adwInfo[kEqualChances]) {
    for (int32_t p = 0; p < n; ++p) ChanceAt(p) = 100u / (uint32_t)n + ((uint32_t)p < 100u % (uint32_t)n ? 1 : 0);
    return;
  }
  uint64_t sum = 0;
  for (int32_t p = 0; p < n; ++p) sum += ChanceAt(p);
  if (sum <= 100) return;
  if (sum == 101) {
    for (int32_t tries = 0; tries < n; ++tries) {
      int32_t p = (int32_t)(m_dwRotor % (uint32_t)n);
      ++m_dwRotor;
      if (p == skip) continue;
      if (ChanceAt(p) > 0) {
        --ChanceAt(p);
        return;
      }
    }
    return;
  }
  uint64_t excess = sum - 100;
  while (excess > 0) {
    bool took = false;
    for (int32_t p = 0; p < n && excess > 0; ++p) {
      if (p == skip || ChanceAt(p) == 0) continue;
      --ChanceAt(p);
      --excess;
      took = true;
    }
    if (!took) break;
  }
}

// ---------------------------------------------------------------- drawing

float CSoundEvent::GetRandomLevel(float min, float max, bool random) {
  if (min == max) return min;
  if (random) return min + (max - min) * (float)((double)rand() / 2147483648.0);
  return (rand() & 1) ? max : min;
}

uint32_t CSoundEvent::GetRandomLevel(uint32_t min, uint32_t max, bool random) {
  if (random) {
    uint32_t span = max - min + 1;
    return span ? min + (uint32_t)rand() % span : min + (uint32_t)rand();
  }
  return (rand() & 1) ? max : min;
}

// ---------------------------------------------------------------- playing

uint32_t CSoundEvent::KindSum(int32_t kind) const {
  uint32_t sum = 0;
  int32_t count = kind == kSoundTrack ? GetNumSoundTracks() : GetNumSilenceTracks();
  for (int32_t i = 0; i < count; ++i)
    sum += kind == kSoundTrack ? GetSoundTrack(i)->dwChance : GetSilenceTrack(i)->dwChance;
  return sum;
}

int32_t CSoundEvent::PickFromKind(int32_t kind, int32_t except, uint32_t r) const {
  int32_t count = kind == kSoundTrack ? GetNumSoundTracks() : GetNumSilenceTracks();
  uint32_t running = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (i == except) continue;
    running += kind == kSoundTrack ? GetSoundTrack(i)->dwChance : GetSilenceTrack(i)->dwChance;
    if (running >= r) return i;
  }
  return -1;
}

void CSoundEvent::PlayPicked(CPlayer* player, void* voice, int32_t kind, int32_t index, EVENTINSTANCE* instance,
                             int32_t loops, bool start) {
  PlaySoundEventSound(player, voice, kind, index, instance, loops, start);
  if (kind == kSoundTrack)
    m_nLastSound = index;
  else
    m_nLastSilence = index;
  m_nLastKind = kind;
}

int32_t CSoundEvent::PlaySoundEvent(CPlayer* player, void* voice, EVENTINSTANCE* instance, int32_t loops, bool start) {
  int32_t nSound = GetNumSoundTracks(), nSilence = GetNumSilenceTracks(), n = nSound + nSilence;
  if (n == 0) return -1;
  int32_t kind = -1, index = -1;
  uint32_t flags = m_adwInfo[kSelection];
  if (!m_adwInfo[kRandomPlay]) {
    for (int32_t i = 0; i < nSound && index < 0; ++i)
      if (GetSoundTrack(i)->dwOrder == m_dwOrderPosition + 1) kind = kSoundTrack, index = i;
    for (int32_t i = 0; i < nSilence && index < 0; ++i)
      if (GetSilenceTrack(i)->dwOrder == m_dwOrderPosition + 1) kind = kSilenceTrack, index = i;
    if (++m_dwOrderPosition >= (uint32_t)n) m_dwOrderPosition = 0;
  } else if (flags == 3 && ((m_nLastKind == kSoundTrack && m_nLastSilence >= 0) ||
                            (m_nLastKind == kSilenceTrack && m_nLastSound >= 0))) {
    // Alternate without repeating the other kind's last track.
    int32_t other = 1 - m_nLastKind;
    int32_t last = other == kSoundTrack ? m_nLastSound : m_nLastSilence;
    uint32_t sum = KindSum(other);
    if ((int32_t)sum <= 0) return -1;
    uint32_t lastChance = other == kSoundTrack ? (GetSoundTrack(last) ? GetSoundTrack(last)->dwChance : 0)
                                               : (GetSilenceTrack(last) ? GetSilenceTrack(last)->dwChance : 0);
    kind = other;
    if (lastChance == sum)
      index = last;
    else
      index = PickFromKind(other, last, EventDraw(sum - lastChance));
  } else if (flags & 2) {
    int32_t other = 1 - m_nLastKind;
    uint32_t sum = KindSum(other);
    if ((int32_t)sum <= 0) return -1;
    kind = other;
    index = PickFromKind(other, -1, EventDraw(sum));
  } else if ((flags & 1) && (m_nLastKind == kSoundTrack ? m_nLastSound : m_nLastSilence) >= 0 &&
             (m_nLastKind == kSoundTrack ? m_nLastSound < nSound : m_nLastSilence < nSilence)) {
    int32_t lastKind = m_nLastKind;
    int32_t last = lastKind == kSoundTrack ? m_nLastSound : m_nLastSilence;
    uint32_t total = KindSum(kSoundTrack) + KindSum(kSilenceTrack);
    uint32_t c = lastKind == kSoundTrack ? GetSoundTrack(last)->dwChance : GetSilenceTrack(last)->dwChance;
    if (total == c) {
      if (EventDraw(100) > c) return -1;
      kind = lastKind;
      index = last;
    } else {
      if (c >= 100) return -1;
      uint32_t r = EventDraw(100 - c);
      uint32_t running = 0;
      for (int32_t i = 0; i < nSound && index < 0; ++i) {
        if (lastKind == kSoundTrack && i == last) continue;
        running += GetSoundTrack(i)->dwChance;
        if (running >= r) kind = kSoundTrack, index = i;
      }
      for (int32_t i = 0; i < nSilence && index < 0; ++i) {
        if (lastKind == kSilenceTrack && i == last) continue;
        running += GetSilenceTrack(i)->dwChance;
        if (running >= r) kind = kSilenceTrack, index = i;
      }
    }
  } else {
    uint32_t r = EventDraw(100);
    uint32_t running = 0;
    for (int32_t p = 0; p < n && index < 0; ++p) {
      running += ChanceAt(p);
      if (running >= r) {
        kind = p < nSound ? kSoundTrack : kSilenceTrack;
        index = p < nSound ? p : p - nSound;
      }
    }
  }
  if (index < 0) return -1;
  PlayPicked(player, voice, kind, index, instance, loops, start);
  return 0;
}

void CSoundEvent::PlaySoundEventSound(CPlayer* player, void* voice, int32_t kind, int32_t index,
                                      EVENTINSTANCE* instance, int32_t loops, bool start) {
  IAUDVoiceController* vc = GetVoiceController();
  EVENTINSTANCE scratch{-1, 0, 0, 0};
  EVENTINSTANCE* inst = instance ? instance : &scratch;
  long track = inst->nVoiceTrack;
  unsigned long voiceLoops = m_bSeamless ? (unsigned long)(long)loops : 0;
  IAUDVector zero{0.0f, 0.0f, 0.0f};
  if (kind == kSilenceTrack) {
    const SILENCETRACK* t = GetSilenceTrack(index);
    if (!t) return;
    m_nPlayingKind = kSilenceTrack;
    m_nPlayingIndex = index;
    inst->nPath = -1;
    inst->dwDuration = 0;
    inst->dwStart = 0;
    uint32_t ms = GetRandomLevel(t->dwMinDuration, t->dwMaxDuration, t->dwRandom != 0);
    if (vc) {
      IAUDVector offset = zero;
      vc->SetTrackPositionPath(track, &zero, &offset, voice);
      vc->PlayTrackSilence(track, voice, ms);
    }
    return;
  }
  const SOUNDTRACK* t = GetSoundTrack(index);
  if (!t) return;
  m_nPlayingKind = kSoundTrack;
  m_nPlayingIndex = index;
  CSample* sample = GetSample(t->dwSample);
  if (!vc || !sample) return;
  uint32_t flags = t->dwRandomFlags;
  if (start) vc->AttachSample(track, t->dwSample, voice);
  vc->SetTrackLevel(track, GetRandomLevel(t->aflLevel[0], t->aflLevel[1], flags & 1), voice);
  float pitch = GetRandomLevel(t->aflPitch[0], t->aflPitch[1], (flags & 2) != 0);
  vc->SetTrackPitch(track, pitch, voice);
  vc->SetTrackMode(track, 0, voice);
  inst->nPath = t->nPath;
  inst->dwDuration = 0;
  IAUDVector offset = zero;
  if (inst->nPath >= 0) {
    IAUDContentBank* bank = GetContentBank();
    CPath* path = bank ? bank->GetPath((uint32_t)inst->nPath) : nullptr;
    if (!path || path->getNbKnots() <= 0)
      inst->nPath = -1;
    else
      path->GetPathPosition(0, 1000, &offset);
  }
  float effective = pitch;
  if (player) {
    CRPController* rpc = nullptr;
    player->GetRPC(&rpc);
    if (rpc) {
      float level = 0.0f;
      player->GetRPCLevel(&level);
      effective *= rpc->GetParameterValue(CRPController::kPitch, level);
    }
    float playerPitch = 1.0f;
    player->GetPitch(&playerPitch);
    effective *= playerPitch;
  }
  inst->dwDuration = EventMsAt(sample->GetSampleInfo()->dwDuration, effective);
  IAUDVector position{t->aflPosition[0], t->aflPosition[1], t->aflPosition[2]};
  vc->SetTrackPositionPath(track, &position, &offset, voice);
  IAUDVector velocity{t->aflVelocity[0], t->aflVelocity[1], t->aflVelocity[2]};
  vc->SetTrackVelocity(track, velocity, voice);
  IAUDVector front, top;
  IAUDcreateorientation((float)t->nElevation * kEventDegrees, (float)t->nAzimuth * kEventDegrees, 0.0f, front, top);
  vc->SetTrackOrientation(track, front, voice);
  vc->SetTrackDirectLevel(track, GetRandomLevel(t->aflDirect[0], t->aflDirect[1], (flags & 4) != 0), voice);
  vc->SetTrackDirectHFLevel(track, GetRandomLevel(t->aflDirectHF[0], t->aflDirectHF[1], (flags & 8) != 0), voice);
  uint32_t mask = 0;
  for (long s = 0; s < 32; ++s) {
    if (t->adwSendActive[s]) mask |= 1u << s;
    vc->SetTrackSendLevel(track, s, GetRandomLevel(t->aflSendMin[s], t->aflSendMax[s], (flags & 16) != 0), voice);
    vc->SetTrackSendHFLevel(track, s, GetRandomLevel(t->aflSendHFMin[s], t->aflSendHFMax[s], (flags & 32) != 0),
                            voice);
  }
  vc->SetTrackActiveSends(track, mask, voice);
  if (start) vc->PlayVoiceTrack(track, voice, voiceLoops);
}

void CSoundEvent::ComputeSeamless() {
  m_bSeamless = GetNumSoundTracks() == 1 && GetNumSilenceTracks() == 0 &&
                (!m_adwInfo[kRandomPlay] || GetSoundTrack(0)->dwChance == 100);
}

void CSoundEvent::InitObject(void** ppInstance) {
  if (!ppInstance) return;
  void* p = calloc(1, sizeof(EVENTINSTANCE));
  if (p) *ppInstance = p;
}

void CSoundEvent::ReleaseObject(void* instance) { free(instance); }

void CSoundEvent::StartObject(void* voice, IAUDContentMarker*, void* instance, uint32_t loops, CPlayer* player) {
  ComputeSeamless();
  EVENTINSTANCE* inst = static_cast<EVENTINSTANCE*>(instance);
  PlaySoundEvent(player, voice, inst, (int32_t)loops, true);
  if (inst) inst->dwStart = EventNow();
}

int32_t CSoundEvent::CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) {
  EVENTINSTANCE scratch{-1, 0, 0, 0};
  EVENTINSTANCE* inst = instance ? static_cast<EVENTINSTANCE*>(instance) : &scratch;
  IAUDVoiceController* vc = GetVoiceController();
  long owner = loops ? (long)*loops : 0;
  bool playing = vc && vc->IsTrackPlaying(inst->nVoiceTrack, voice, loops ? &owner : nullptr);
  int32_t count = loops ? *loops : 0;
  uint32_t now = EventNow();
  int32_t result = 1;
  if (playing && m_bSeamless && count != 0) {
    if (now - inst->dwStart > inst->dwDuration) {
      if (player && !player->ProcessContentMarker()) {
        m_nPlayingIndex = -1;
        m_nPlayingKind = 0;
        return 0;
      }
      if (player) player->ResetAllTimeCode();
      if (loops && *loops > 0) --*loops;
      if (m_adwInfo[kReRandomise]) PlaySoundEvent(player, voice, inst, loops ? *loops : 0, false);
      inst->dwStart = now;
      result = 2;
    }
  } else if (!playing && !m_bSeamless && count != 0) {
    if (player && !player->ProcessContentMarker()) {
      m_nPlayingIndex = -1;
      m_nPlayingKind = 0;
      return 0;
    }
    if (player) player->ResetAllTimeCode();
    PlaySoundEvent(player, voice, inst, count, true);
    if (loops && *loops > 0) --*loops;
    inst->dwStart = now;
    result = 2;
  } else if (!playing) {
    m_nPlayingIndex = -1;
    m_nPlayingKind = 0;
    return 0;
  }
  if (player) {
    if (player->IsCycleUpdateTime() && inst->nPath >= 0 && vc) {
      IAUDContentBank* bank = GetContentBank();
      if (CPath* path = bank ? bank->GetPath((uint32_t)inst->nPath) : nullptr) {
        uint32_t elapsed = now - inst->dwStart;
        if (elapsed > inst->dwDuration) elapsed = inst->dwDuration;
        IAUDVector offset{0.0f, 0.0f, 0.0f};
        path->GetPathPosition(elapsed, inst->dwDuration, &offset);
        vc->SetTrackPositionPath(inst->nVoiceTrack, nullptr, &offset, voice);
      }
    }
    player->ProcessRealTimeCode();
    if (!ProcessMetricClocks(player)) {
      m_nPlayingIndex = -1;
      m_nPlayingKind = 0;
      return 0;
    }
  }
  return result;
}

bool CSoundEvent::StopObject(void*, void*) {
  m_nPlayingIndex = -1;
  m_nPlayingKind = 0;
  return true;
}

void CSoundEvent::GetPlayingTrack(int32_t* kind, int32_t* index) const {
  if (kind) *kind = m_nPlayingKind;
  if (index) *index = m_nPlayingIndex;
}

void CSoundEvent::GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) {
  uint32_t lo = 0xFFFFFFFFu, hi = 0;
  if (m_adwInfo[kRandomPlay] && KindSum(kSoundTrack) + KindSum(kSilenceTrack) < 100) lo = 0;
  for (int32_t i = 0; i < GetNumSoundTracks(); ++i) {
    const SOUNDTRACK* t = GetSoundTrack(i);
    CSample* sample = GetSample(t->dwSample);
    if (!sample) continue;
    uint32_t length = sample->GetSampleInfo()->dwDuration;
    uint32_t shortest = EventMsAt(length, t->aflPitch[1]);
    uint32_t longest = EventMsAt(length, t->aflPitch[0]);
    if (shortest < lo) lo = shortest;
    if (longest > hi) hi = longest;
  }
  for (int32_t i = 0; i < GetNumSilenceTracks(); ++i) {
    const SILENCETRACK* t = GetSilenceTrack(i);
    if (t->dwMinDuration < lo) lo = t->dwMinDuration;
    if (t->dwMaxDuration > hi) hi = t->dwMaxDuration;
  }
  if (lo == 0xFFFFFFFFu) lo = 0;
  if (pMin) *pMin = lo;
  if (pMax) *pMax = hi;
}
