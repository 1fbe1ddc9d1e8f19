#include "NonTW/IAUDEng/CSoundTimeline.h"

#include <cstdlib>
#include <vector>

#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "TWUtil/ByteOrder.h"

namespace {

bool TimelineIsEvent(const STimelineTrack* t) { return t && t->dwType == IAUDFourCC("snde"); }

uint32_t TimelineDistance(uint32_t a, uint32_t b) { return a > b ? a - b : b - a; }

}  // namespace

CSoundTimeline::CSoundTimeline(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("sdtl"));
  SetNumTracks(0);
  CSoundEvent::ReseedRandom();
}

CSoundTimeline::~CSoundTimeline() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutSoundTimeline(GetResourceIndex());
  SetNumTracks(0);
}

const STimelineTrack* CSoundTimeline::GetTrack(int32_t i) const {
  return i >= 0 && i < m_aTracks.GetElementCount() ? m_aTracks.GetElementMember(i) : nullptr;
}

// Every track loaded counts, from however many chunks.
void CSoundTimeline::AddTrack(const STimelineTrack& track) {
  if (m_aTracks.AddElement(&track) >= 0) SetNumTracks((uint32_t)m_aTracks.GetElementCount());
}

CSoundEvent* CSoundTimeline::TrackEvent(int32_t i) const {
  const STimelineTrack* t = GetTrack(i);
  IAUDContentBank* bank = GetContentBank();
  return TimelineIsEvent(t) && bank ? bank->GetSoundEvent(t->dwIndex) : nullptr;
}

void CSoundTimeline::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  uint32_t id = chunk.dwChunkId;
  if (id == IAUDFourCC("trck") || id == IAUDFourCC("sttk")) {
    uint32_t words = id == IAUDFourCC("trck") ? 5 : 3;
    for (uint32_t i = 0; i < chunk.dwSize / (4 * words); ++i) {
      uint32_t w[5] = {0, 0, 0, 0, 0};
      if (IAUDFileReadLongs(w, words, file) != words) break;
      AddTrack(STimelineTrack{w[0], w[1], w[2], w[3], w[4]});
    }
  } else if (id == IAUDFourCC("stin")) {
    ReadChunkLongs(file, chunk, &m_dwIndependent, 1);
  }
}

void CSoundTimeline::ProcessUnArchivedObject() {
  IAUDContentObject::ProcessUnArchivedObject();
  IAUDContentBank* bank = GetContentBank();
  if (!bank) return;
  if ((int32_t)GetResourceIndex() < 0)
    SetResourceIndex((uint32_t)bank->AddNewSoundTimeline(this));
  else
    bank->AddSoundTimeline(this, GetResourceIndex());
}

void CSoundTimeline::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  std::vector<uint8_t> bytes((size_t)GetTrackCount() * 20);
  for (int32_t i = 0; i < GetTrackCount(); ++i) {
    const STimelineTrack* t = GetTrack(i);
    const uint32_t w[5] = {t->dwType, t->dwIndex, t->dwStart, t->dwDelayMin, t->dwDelayMax};
    for (int k = 0; k < 5; ++k) PutLE32(&bytes[(size_t)i * 20 + 4 * k], w[k]);
  }
  WriteObjectData(file, IAUDFourCC("trck"), bytes.data(), (uint32_t)bytes.size());
  WriteLongChunk(file, IAUDFourCC("stin"), m_dwIndependent);
}

void CSoundTimeline::InitObject(void** ppInstance) {
  if (!ppInstance) return;
  size_t n = (size_t)GetTrackCount();
  size_t size = sizeof(STimelineInstance) + n * (sizeof(void*) + 4 + 4 + 1);
  uint8_t* block = static_cast<uint8_t*>(calloc(1, size));
  if (!block) return;
  STimelineInstance* inst = reinterpret_cast<STimelineInstance*>(block);
  uint8_t* at = block + sizeof(STimelineInstance);
  inst->ppEvents = reinterpret_cast<void**>(at);
  at += n * sizeof(void*);
  inst->pOffsets = reinterpret_cast<uint32_t*>(at);
  at += n * 4;
  inst->pLoops = reinterpret_cast<int32_t*>(at);
  at += n * 4;
  inst->pStates = at;
  for (size_t i = 0; i < n; ++i) {
    CSoundEvent* event = TrackEvent((int32_t)i);
    if (!event) continue;
    event->InitObject(&inst->ppEvents[i]);
    if (inst->ppEvents[i]) static_cast<EVENTINSTANCE*>(inst->ppEvents[i])->nVoiceTrack = (int32_t)i;
  }
  *ppInstance = inst;
}

void CSoundTimeline::ReleaseObject(void* instance) {
  STimelineInstance* inst = static_cast<STimelineInstance*>(instance);
  if (!inst) return;
  for (int32_t i = 0; i < GetTrackCount(); ++i) {
    if (!inst->ppEvents[i]) continue;
    if (CSoundEvent* event = TrackEvent(i))
      event->ReleaseObject(inst->ppEvents[i]);
    else
      free(inst->ppEvents[i]);
  }
  free(inst);
}

void CSoundTimeline::StartObject(void* voice, IAUDContentMarker*, void* instance, uint32_t loops, CPlayer* player) {
  int32_t n = GetTrackCount();
  m_bSeamless = true;
  for (int32_t i = 0; i < n && m_bSeamless; ++i) {
    const STimelineTrack* t = GetTrack(i);
    if (t->dwStart || t->dwDelayMin || t->dwDelayMax) m_bSeamless = false;
  }
  if (n > 1 && m_bSeamless) {
    bool haveReference = false;
    uint32_t refMin = 0, refMax = 0;
    for (int32_t i = 0; i < n && m_bSeamless; ++i) {
      CSoundEvent* event = TrackEvent(i);
      if (!event) continue;
      uint32_t lo = 0, hi = 0;
      event->GetMinMaxDuration(&lo, &hi);
      if (!haveReference) {
        refMin = lo, refMax = hi, haveReference = true;
      } else if (TimelineDistance(lo, refMin) > 10 || TimelineDistance(hi, refMax) > 10) {
        m_bSeamless = false;
      }
    }
  }
  if (!m_bSeamless && m_dwIndependent) m_bSeamless = true;
  if (!m_bSeamless) loops = 0;
  STimelineInstance* inst = static_cast<STimelineInstance*>(instance);
  IAUDScheduler* scheduler = GetScheduler();
  if (!inst || !scheduler) return;
  inst->dwStart = scheduler->GetMilliseconds();
  for (int32_t i = 0; i < n; ++i) {
    const STimelineTrack* t = GetTrack(i);
    inst->pStates[i] = kWaiting;
    // A maximum below the minimum draws no delay beyond the minimum.
    uint32_t delay = t->dwDelayMin;
    if (t->dwDelayMax > t->dwDelayMin) delay += (uint32_t)rand() % (t->dwDelayMax - t->dwDelayMin + 1);
    inst->pOffsets[i] = t->dwStart + delay;
    inst->pLoops[i] = (int32_t)loops;
    CSoundEvent* event = TrackEvent(i);
    if (inst->pOffsets[i] == 0 && event) {
      event->StartObject(voice, nullptr, inst->ppEvents[i], loops, player);
      inst->pStates[i] = kPlaying;
    }
  }
}

int32_t CSoundTimeline::CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) {
  STimelineInstance* inst = static_cast<STimelineInstance*>(instance);
  IAUDScheduler* scheduler = GetScheduler();
  if (!inst || !scheduler) return 0;
  int32_t result = 1;
  SMetricTime m;
  SRealTime r;
  SStatusFlags f;
  if (player) player->BeginChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
  uint32_t elapsed = scheduler->GetMilliseconds() - inst->dwStart;
  int32_t n = GetTrackCount(), ended = 0;
  bool passed = false;
  for (int32_t i = 0; i < n; ++i) {
    CSoundEvent* event = TrackEvent(i);
    uint8_t& state = inst->pStates[i];
    if (state == kWaiting) {
      if (inst->pOffsets[i] > elapsed) continue;
      // A track that cannot play counts as ended once it is due.
      if (!event) {
        ++ended;
        continue;
      }
      event->StartObject(voice, nullptr, inst->ppEvents[i], m_dwIndependent ? (uint32_t)inst->pLoops[i] : 0, player);
      state = kPlaying;
    } else if (state == kPlaying) {
      if (!event) {
        state = kEnded;
        ++ended;
        continue;
      }
      if (!m_bSeamless) {
        int32_t none = 0;
        if (event->CycleObject(voice, &none, inst->ppEvents[i], player) == 0) state = kEnded;
      } else {
        int32_t copy = loops ? *loops : 0;
        int32_t* counter = m_dwIndependent ? &inst->pLoops[i] : &copy;
        int32_t got = event->CycleObject(voice, counter, inst->ppEvents[i], player);
        if (got == 0) state = kEnded;
        if (got == 2) passed = true;
      }
      if (state == kEnded) ++ended;
    } else {
      ++ended;
    }
  }
  // Tracks passing together in one period count as one pass.
  if (passed) {
    if (loops && *loops > 0) --*loops;
    result = 2;
  }
  if (player) player->EndChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
  if (ended == n) {
    if (!m_bSeamless && !m_dwIndependent && loops && *loops != 0 && (!player || player->ProcessContentMarker())) {
      if (*loops != -1) --*loops;
      if (player) player->ResetAllTimeCode();
      StartObject(voice, nullptr, inst, 0, player);
      return 2;
    }
    return 0;
  }
  if (result == 2 && player) player->ResetAllTimeCode();
  if (player) {
    player->ProcessRealTimeCode();
    if (!ProcessMetricClocks(player)) result = 0;
  }
  return result;
}

bool CSoundTimeline::StopObject(void* voice, void* instance) {
  STimelineInstance* inst = static_cast<STimelineInstance*>(instance);
  if (!inst) return true;
  for (int32_t i = 0; i < GetTrackCount(); ++i) {
    if (inst->pStates[i] == kPlaying)
      if (CSoundEvent* event = TrackEvent(i)) event->StopObject(voice, inst->ppEvents[i]);
    inst->pStates[i] = kWaiting;
  }
  return true;
}

void CSoundTimeline::PauseObject(void*, void* instance) {
  STimelineInstance* inst = static_cast<STimelineInstance*>(instance);
  IAUDScheduler* scheduler = GetScheduler();
  if (inst && scheduler) inst->dwPause = scheduler->GetMilliseconds();
}

void CSoundTimeline::RestartObject(void*, void* instance) {
  STimelineInstance* inst = static_cast<STimelineInstance*>(instance);
  IAUDScheduler* scheduler = GetScheduler();
  if (inst && scheduler) inst->dwStart += scheduler->GetMilliseconds() - inst->dwPause;
}

void CSoundTimeline::GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) {
  if (!pMin || !pMax) return;
  *pMin = *pMax = 0;
  if (!GetContentBank()) return;
  uint64_t lo = 0xFFFFFFFFu, hi = 0;
  for (int32_t i = 0; i < GetTrackCount(); ++i) {
    CSoundEvent* event = TrackEvent(i);
    if (!event) continue;
    const STimelineTrack* t = GetTrack(i);
    uint32_t a = 0, b = 0;
    event->GetMinMaxDuration(&a, &b);
    uint64_t trackMin = (uint64_t)t->dwStart + t->dwDelayMin + a;
    uint64_t trackMax = (uint64_t)t->dwStart + t->dwDelayMax + b;
    if (trackMin < lo) lo = trackMin;
    if (trackMax > hi) hi = trackMax;
  }
  *pMin = (uint32_t)(lo > 0xFFFFFFFFu ? 0xFFFFFFFFu : lo);
  *pMax = (uint32_t)(hi > 0xFFFFFFFFu ? 0xFFFFFFFFu : hi);
}
