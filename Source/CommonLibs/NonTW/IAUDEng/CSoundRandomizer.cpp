#include "NonTW/IAUDEng/CSoundRandomizer.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/CSoundQueue.h"
#include "NonTW/IAUDEng/CSoundTimeline.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEAX.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/ErrorManager.h"

namespace soundrandomizer {

// A queue that keeps refusing to stop is not asked for ever.
const int kStopAttempts = 64;

void Accumulate(uint32_t* accumulator, uint32_t increment, uint32_t unit, uint32_t* count) {
  *accumulator += increment;
  if (unit == 0) return;
  while (*accumulator >= unit) {
    *accumulator -= unit;
    ++*count;
  }
}

uint32_t Now() {
  IAUDScheduler* s = IAUDResourceManager::GetScheduler();
  return s ? s->GetMilliseconds() : 0;
}

int32_t FloatBits(float f) {
  int32_t bits;
  memcpy(&bits, &f, sizeof(bits));
  return bits;
}

// The EAX source block of an extra layer voice: the player voice's levels,
// sends addressed to slots 0 to 3, fixed values for the rest.
void LayerEAX(SVoiceData* d) {
  int32_t* o = d->eaxSource.alOther;
  memset(o, 0, sizeof(d->eaxSource.alOther));
  // room, room HF, obstruction, obstruction LF ratio, occlusion stay 0
  o[5] = FloatBits(0.25f);  // occlusion LF ratio
  o[6] = FloatBits(1.5f);   // occlusion room ratio
  o[7] = FloatBits(1.0f);   // occlusion direct ratio
  o[9] = FloatBits(1.0f);   // exclusion LF ratio
  o[11] = FloatBits(1.0f);  // Doppler factor
  o[15] = 7;                // flags
  for (int s = 0; s < 4; ++s) {
    EAX40SOURCEALLSENDPROPERTIES& send = d->eaxSends[s];
    send.guidReceivingFXSlotID = GetGUID(s);
    send.lOcclusion = 0;
    send.flOcclusionLFRatio = 0.25f;
    send.flOcclusionRoomRatio = 1.5f;
    send.flOcclusionDirectRatio = 1.0f;
    send.lExclusion = 0;
    send.flExclusionLFRatio = 1.0f;
  }
}

}  // namespace soundrandomizer

CSoundRandomizer::CSoundRandomizer(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("sdri"));
  CSoundEvent::ReseedRandom();
}

CSoundRandomizer::~CSoundRandomizer() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutSoundRandomizer(GetResourceIndex());
  free(m_pMatrix);
}

const SOUNDRANDOMIZERCONTENT* CSoundRandomizer::GetItem(int32_t i) const {
  return i >= 0 && i < m_aItems.GetElementCount() ? m_aItems.GetElementMember(i) : nullptr;
}

IAUDContentObject* CSoundRandomizer::ItemObject(int32_t i) const {
  const SOUNDRANDOMIZERCONTENT* item = GetItem(i);
  return item ? ContentByType(item->dwType, item->dwIndex, true) : nullptr;
}

bool CSoundRandomizer::IsLayerKind(int32_t i) const {
  const SOUNDRANDOMIZERCONTENT* item = GetItem(i);
  return item && (item->dwType == IAUDFourCC("sdtl") || item->dwType == IAUDFourCC("sdqu"));
}

bool CSoundRandomizer::HasVoice(const SRandomizerInstance* inst, int32_t i) const {
  return i < inst->nCount && inst->apVoices[i] && IsLayerKind(i) && ItemObject(i);
}

const uint32_t* CSoundRandomizer::Cell(int32_t row, int32_t column) const {
  if (!m_pMatrix || row < 0 || column < 0 || (uint32_t)row >= m_dwSide || (uint32_t)column >= m_dwSide) return nullptr;
  return m_pMatrix + 2 * ((size_t)row * m_dwSide + (uint32_t)column);
}

uint32_t CSoundRandomizer::GetNumTracks() {
  uint32_t most = 0;
  int32_t n = m_bInteractive ? (GetItemCount() > 0 ? 1 : 0) : GetItemCount();
  for (int32_t i = 0; i < n; ++i) {
    IAUDContentObject* item = ItemObject(i);
    uint32_t k = item ? item->GetNumTracks() : 0;
    if (k > most) most = k;
  }
  SetNumTracks(most);
  return most;
}

uint32_t CSoundRandomizer::GetNumInteractiveTracks() {
  uint32_t sum = 0;
  for (int32_t i = 0; i < GetItemCount(); ++i) {
    IAUDContentObject* item = ItemObject(i);
    if (item && IsLayerKind(i)) sum += item->GetNumTracks();
  }
  return sum;
}

// ---------------------------------------------------------------- files

void CSoundRandomizer::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  const uint32_t id = chunk.dwChunkId;
  if (id == IAUDFourCC("info")) {
    if (chunk.dwSize != 16) return;
    uint32_t w[4];
    IAUDFileSeek(file, chunk.dwDataPosition);
    if (IAUDFileReadLongs(w, 4, file) != 4) return;
    memcpy(m_adwInfo, w, sizeof(w));
  } else if (id == IAUDFourCC("rcnt")) {
    IAUDFileSeek(file, chunk.dwDataPosition);
    for (uint32_t i = 0; i < chunk.dwSize / 16; ++i) {
      uint32_t w[4];
      if (IAUDFileReadLongs(w, 4, file) != 4) break;
      SOUNDRANDOMIZERCONTENT item{w[0], w[1], w[2], w[3]};
      if (m_aItems.AddElement(&item) < 0) break;
    }
  } else if (id == IAUDFourCC("srtn")) {
    uint64_t side = (uint64_t)GetItemCount() + 1;
    if ((uint64_t)chunk.dwSize != side * side * 8) return;
    IAUDFileSeek(file, chunk.dwDataPosition);
    for (uint64_t r = 0; r < side; ++r) {
      for (uint64_t c = 0; c < side; ++c) {
        uint32_t w[2];
        if (IAUDFileReadLongs(w, 2, file) != 2) return;
        SetInteractiveTransition((uint32_t)r, (uint32_t)c, w[0], w[1]);
      }
    }
  }
}

void CSoundRandomizer::SetInteractiveTransition(uint32_t row, uint32_t column, uint32_t fadeIn, uint32_t fadeOut) {
  if (!m_pMatrix) {
    uint32_t side = (uint32_t)GetItemCount() + 1;
    m_pMatrix = static_cast<uint32_t*>(calloc((size_t)side * side * 2, sizeof(uint32_t)));
    if (!m_pMatrix) return;
    m_dwSide = side;
    m_bInteractive = true;
  }
  if (row >= m_dwSide || column >= m_dwSide) return;
  uint32_t* cell = m_pMatrix + 2 * ((size_t)row * m_dwSide + column);
  cell[0] = fadeIn;
  cell[1] = fadeOut;
}

void CSoundRandomizer::ProcessUnArchivedObject() {
  IAUDContentObject::ProcessUnArchivedObject();
  if (IAUDContentBank* bank = GetContentBank()) {
    if ((int32_t)GetResourceIndex() < 0)
      SetResourceIndex((uint32_t)bank->AddNewSoundRandomizer(this));
    else
      bank->AddSoundRandomizer(this, GetResourceIndex());
  }
}

void CSoundRandomizer::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  uint8_t info[16];
  for (int i = 0; i < 4; ++i) PutLE32(info + 4 * i, m_adwInfo[i]);
  WriteObjectData(file, IAUDFourCC("info"), info, 16);
  std::vector<uint8_t> bytes((size_t)GetItemCount() * 16);
  for (int32_t i = 0; i < GetItemCount(); ++i) {
    const SOUNDRANDOMIZERCONTENT* item = GetItem(i);
    uint8_t* at = &bytes[(size_t)i * 16];
    PutLE32(at, item->dwType);
    PutLE32(at + 4, item->dwIndex);
    PutLE32(at + 8, item->dwOrder);
    PutLE32(at + 12, item->dwChance);
  }
  WriteObjectData(file, IAUDFourCC("rcnt"), bytes.data(), (uint32_t)bytes.size());
  if (!m_pMatrix) return;
  size_t cells = (size_t)m_dwSide * m_dwSide;
  bytes.assign(cells * 8, 0);
  for (size_t c = 0; c < cells; ++c) {
    PutLE32(&bytes[c * 8], m_pMatrix[2 * c]);
    PutLE32(&bytes[c * 8 + 4], m_pMatrix[2 * c + 1]);
  }
  WriteObjectData(file, IAUDFourCC("srtn"), bytes.data(), (uint32_t)bytes.size());
}

// ---------------------------------------------------------------- picking

uint32_t CSoundRandomizer::GetRandomLevel(uint32_t min, uint32_t max) {
  if (min == max) return min;
  return min + (uint32_t)rand() % (max - min + 1);
}

int32_t CSoundRandomizer::SelectContentToPlay() {
  const int32_t n = GetItemCount();
  if (n == 0) return -1;
  if (m_adwInfo[0] == 0) {
    int32_t pick = -1;
    for (int32_t i = 0; i < n; ++i) {
      if (GetItem(i)->dwOrder == m_dwOrderPosition + 1) {
        pick = i;
        break;
      }
    }
    if (++m_dwOrderPosition >= (uint32_t)n) m_dwOrderPosition = 0;
    return pick;
  }
  if (!(m_adwInfo[3] & 1) || m_nLastItem < 0 || m_nLastItem >= n) {
    uint32_t r = GetRandomLevel(1, 100);
    uint64_t sum = 0;
    for (int32_t i = 0; i < n; ++i) {
      sum += GetItem(i)->dwChance;
      if (sum >= r) {
        m_nLastItem = i;
        return i;
      }
    }
    return -1;
  }
  uint64_t others = 0;
  for (int32_t i = 0; i < n; ++i)
    if (i != m_nLastItem) others += GetItem(i)->dwChance;
  uint32_t last = GetItem(m_nLastItem)->dwChance;
  if (others == 0) return last >= GetRandomLevel(1, 100) ? m_nLastItem : -1;
  // The last item holds every chance there is to draw: it plays again.
  if (last >= 100) return m_nLastItem;
  uint32_t r = GetRandomLevel(1, 100 - last);
  uint64_t sum = 0;
  for (int32_t i = 0; i < n; ++i) {
    if (i == m_nLastItem) continue;
    sum += GetItem(i)->dwChance;
    if (sum >= r) {
      m_nLastItem = i;
      return i;
    }
  }
  return -1;
}

// Equal chances share 100 out; otherwise a sum above 100 comes down, by one
// item in turn for a single point, else one point an item at a time in
// order, never from the excluded item.
void CSoundRandomizer::CheckChancesInRange(int32_t excluded) {
  const int32_t n = GetItemCount();
  if (n <= 0) return;
  auto chance = [this](int32_t i) -> uint32_t& { return m_aItems.GetElementMember(i)->dwChance; };
  if (m_adwInfo[2]) {
    for (int32_t i = 0; i < n; ++i) chance(i) = 100u / (uint32_t)n + ((uint32_t)i < 100u % (uint32_t)n ? 1 : 0);
    return;
  }
  uint64_t sum = 0;
  for (int32_t i = 0; i < n; ++i) sum += chance(i);
  if (sum <= 100) return;
  if (sum == 101) {
    for (int32_t tries = 0; tries < n; ++tries) {
      int32_t i = (int32_t)(m_dwChanceRotor++ % (uint32_t)n);
      if (i != excluded && chance(i) > 0) {
        --chance(i);
        return;
      }
    }
    return;
  }
  uint64_t excess = sum - 100;
  while (excess > 0) {
    bool took = false;
    for (int32_t i = 0; i < n && excess > 0; ++i) {
      if (i == excluded || chance(i) == 0) continue;
      --chance(i);
      --excess;
      took = true;
    }
    if (!took) break;
  }
}

// Order numbers become a permutation of 1..N that keeps every number
// already in place: a missing number goes to the smallest number not yet
// placed (the first such item on ties).
void CSoundRandomizer::CheckOrderNumbersInRange() {
  const int32_t n = GetItemCount();
  std::vector<bool> done((size_t)n, false);
  for (int32_t order = 1; order <= n; ++order) {
    int32_t holder = -1, smallest = -1;
    for (int32_t i = 0; i < n; ++i) {
      if (done[(size_t)i]) continue;
      if (GetItem(i)->dwOrder == (uint32_t)order) {
        holder = i;
        break;
      }
      if (smallest < 0 || GetItem(i)->dwOrder < GetItem(smallest)->dwOrder) smallest = i;
    }
    if (holder < 0) {
      holder = smallest;
      m_aItems.GetElementMember(holder)->dwOrder = (uint32_t)order;
    }
    done[(size_t)holder] = true;
  }
}

// ---------------------------------------------------------------- instances

void CSoundRandomizer::InitObject(void** ppInstance) {
  if (!ppInstance) return;
  GetNumTracks();
  const int32_t n = GetItemCount();
  const size_t pointers = (size_t)n * (m_bInteractive ? 2 : 1);
  uint8_t* block = static_cast<uint8_t*>(calloc(1, sizeof(SRandomizerInstance) + sizeof(void*) * pointers));
  if (!block) return;
  SRandomizerInstance* inst = reinterpret_cast<SRandomizerInstance*>(block);
  inst->apItems = reinterpret_cast<void**>(block + sizeof(SRandomizerInstance));
  inst->nCount = n;
  if (m_bInteractive) {
    inst->apVoices = inst->apItems + n;
    inst->nPending = -1;
  } else {
    inst->nCurrent = -1;
  }
  for (int32_t i = 0; i < n; ++i) {
    IAUDContentObject* item = ItemObject(i);
    if (item && (!m_bInteractive || IsLayerKind(i))) item->InitObject(&inst->apItems[i]);
  }
  *ppInstance = inst;
}

void CSoundRandomizer::ReleaseObject(void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (!inst) return;
  if (inst->nCount != GetItemCount())
    g_ErrorManager.ErrorMessage(
        __FILE__, __LINE__, "0 && \"CSoundRandomizer::ReleaseObject : Unexpected number of Content items found\"", false);
  if (inst->apVoices) CloseExtraVoices(inst);
  for (int32_t i = 0; i < inst->nCount; ++i) {
    IAUDContentObject* item = ItemObject(i);
    if (inst->apItems[i] && item) item->ReleaseObject(inst->apItems[i]);
  }
  free(inst);
}

void CSoundRandomizer::StopItem(int32_t i, void* voice, void* itemInstance) {
  IAUDContentObject* item = ItemObject(i);
  if (!item) return;
  if (GetItem(i)->dwType == IAUDFourCC("sdqu")) {
    for (int k = 0; k < soundrandomizer::kStopAttempts && !item->StopObject(voice, itemInstance); ++k) {
    }
    return;
  }
  item->StopObject(voice, itemInstance);
}

// ---------------------------------------------------------------- plain play

void CSoundRandomizer::StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops,
                                   CPlayer* player) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (!inst) return;
  if (!m_bInteractive) {
    StartPlain(voice, marker, inst, loops, player);
    return;
  }
  m_bSeamless = true;
  inst->pMarker = marker;
  inst->pPlayer = player;
  inst->dwLoops = loops;
  if (inst->nCount > 0) inst->apVoices[0] = voice;
  OpenExtraVoices(inst, voice);
  if (inst->nTarget != 0) StartInteractiveContent(inst);
}

void CSoundRandomizer::StartPlain(void* voice, IAUDContentMarker* marker, SRandomizerInstance* inst, uint32_t loops,
                                  CPlayer* player) {
  const SOUNDRANDOMIZERCONTENT* only = GetItemCount() == 1 ? GetItem(0) : nullptr;
  m_bSeamless = only && only->dwType != IAUDFourCC("sqob") && (m_adwInfo[0] == 0 || only->dwChance == 100);
  int32_t pick = SelectContentToPlay();
  m_nPlaying = pick;
  if (pick < 0 || pick >= inst->nCount) return;
  inst->nCurrent = pick;
  IAUDContentObject* item = ItemObject(pick);
  if (!item) return;
  uint32_t itemLoops = m_bSeamless ? loops : 0;
  if (!player) {
    item->StartObject(voice, marker, inst->apItems[pick], itemLoops, nullptr);
    return;
  }
  SMetricTime m;
  SRealTime r;
  SStatusFlags f;
  player->BeginChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
  item->StartObject(voice, marker, inst->apItems[pick], itemLoops, player);
  player->EndChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
}

// One period of the current item on its own saved clocks.
int32_t CSoundRandomizer::CycleItem(SRandomizerInstance* inst, void* voice, int32_t* loops, CPlayer* player) {
  IAUDContentObject* item = ItemObject(inst->nCurrent);
  if (!item) return 0;
  SMetricTime m;
  SRealTime r;
  SStatusFlags f;
  if (player) player->BeginChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
  int32_t result = item->CycleObject(voice, loops, inst->apItems[inst->nCurrent], player);
  if (player) player->EndChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
  return result;
}

int32_t CSoundRandomizer::CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (player) {
    player->ProcessRealTimeCode();
    if (!ProcessMetricClocks(player)) {
      m_nPlaying = -1;
      return 0;
    }
  }
  if (m_bInteractive) return CycleInteractive(loops, inst, player);
  return CyclePlain(voice, loops, inst, player);
}

int32_t CSoundRandomizer::CyclePlain(void* voice, int32_t* loops, SRandomizerInstance* inst, CPlayer* player) {
  if (!inst || (uint32_t)inst->nCurrent >= (uint32_t)inst->nCount) return 0;
  int32_t itemLoops = m_bSeamless && loops ? *loops : 0;
  int32_t result = CycleItem(inst, voice, &itemLoops, player);
  soundrandomizer::Accumulate(&inst->metric.dwAccumulator, inst->metric.dwIncrement, inst->metric.dwThreshold,
                              &inst->metric.dwPending);
  soundrandomizer::Accumulate(&inst->real.dwAccumulator, inst->real.dwIncrement, inst->real.dwThreshold,
                              &inst->real.dwPending);
  if (m_bSeamless && result == 2) {
    if (loops) *loops = itemLoops;
    if (player) player->ResetAllTimeCode();
  }
  if (result != 0) return result;
  if (loops && *loops != 0) {
    if (*loops > 0) --*loops;
    if (player) player->ResetAllTimeCode();
    StartObject(voice, nullptr, inst, 0, player);
    const SOUNDRANDOMIZERCONTENT* current = GetItem(inst->nCurrent);
    if (current && current->dwType == IAUDFourCC("sqob")) {
      int32_t once = 0;
      CycleItem(inst, voice, &once, player);
    }
    return 2;
  }
  m_nPlaying = -1;
  return 0;
}

bool CSoundRandomizer::StopObject(void* voice, void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (inst && m_bInteractive) {
    for (int32_t i = 0; i < inst->nCount; ++i)
      if (HasVoice(inst, i)) StopItem(i, inst->apVoices[i], inst->apItems[i]);
    CloseExtraVoices(inst);
    for (int32_t i = 0; i < inst->nCount; ++i) inst->apVoices[i] = nullptr;
  } else if (inst && (uint32_t)inst->nCurrent < (uint32_t)inst->nCount) {
    StopItem(inst->nCurrent, voice, inst->apItems[inst->nCurrent]);
  }
  m_nPlaying = -1;
  return true;
}

// ---------------------------------------------------------------- interactive play

void CSoundRandomizer::OpenExtraVoices(SRandomizerInstance* inst, void* voice) {
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!vc) return;
  for (int32_t i = 1; i < inst->nCount; ++i) {
    IAUDContentObject* item = ItemObject(i);
    if (!item || !IsLayerKind(i) || inst->apVoices[i]) continue;
    uint32_t tracks = item->GetNumTracks();
    if (!tracks) continue;
    SVoiceData d;
    if (!vc->GetVoiceData(voice, &d)) {
      memset(&d, 0, sizeof(d));
      d.flPitch = 1.0f;
      d.vFront = IAUDVector{0.0f, 0.0f, 1.0f};
      d.vTop = IAUDVector{0.0f, 1.0f, 0.0f};
    }
    d.dwNumTracks = tracks;
    d.flLevel = 1.0f;
    soundrandomizer::LayerEAX(&d);
    inst->apVoices[i] = vc->GetVoiceHandle(&d);
  }
}

void CSoundRandomizer::CloseExtraVoices(SRandomizerInstance* inst) {
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  for (int32_t i = 1; i < inst->nCount; ++i) {
    if (!inst->apVoices[i]) continue;
    if (vc) {
      vc->StopVoice(inst->apVoices[i]);
      vc->CloseVoiceHandle(inst->apVoices[i]);
    }
    inst->apVoices[i] = nullptr;
  }
}

void CSoundRandomizer::SetLayerLevel(SRandomizerInstance* inst, int32_t track, float level) {
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!vc || track < 1 || track > inst->nCount || !inst->apVoices[track - 1]) return;
  vc->SetVoiceLevel(inst->apVoices[track - 1], level);
}

void CSoundRandomizer::SetInteractiveTrack(int32_t track, void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (!m_bInteractive || !inst || !inst->apVoices) return;
  CPlayer::BeginExclusiveMode();
  if (track < 0 || track > inst->nCount) track = 0;
  if (inst->nCurrent != inst->nTarget) {
    inst->nPending = track;
  } else if (track != inst->nCurrent) {
    inst->nTarget = track;
    const uint32_t* cell = Cell(inst->nCurrent, track);
    if (inst->nCurrent == 0) {
      StartInteractiveContent(inst);
    } else if (cell && (uint64_t)cell[0] + cell[1] != 0) {
      inst->dwFadeStart = soundrandomizer::Now();
    } else {
      if (track == 0) {
        StopInteractiveContentVoices(inst);
      } else {
        for (int32_t t = 1; t <= inst->nCount; ++t) SetLayerLevel(inst, t, t == track ? 1.0f : 0.0f);
      }
      inst->nCurrent = track;
    }
  }
  CPlayer::EndExclusiveMode();
}

void CSoundRandomizer::StartInteractiveContent(void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (!inst || !inst->apVoices) return;
  const uint32_t* cell = Cell(0, inst->nTarget);
  float level = 1.0f;
  if (!cell || cell[0] == 0) {
    inst->nCurrent = inst->nTarget;
  } else {
    level = 0.0f;
    inst->dwFadeStart = soundrandomizer::Now();
  }
  for (int32_t t = 1; t <= inst->nCount; ++t) SetLayerLevel(inst, t, t == inst->nTarget ? level : 0.0f);
  CPlayer* player = inst->pPlayer;
  for (int32_t i = 0; i < inst->nCount; ++i) {
    if (!HasVoice(inst, i)) continue;
    SMetricTime m;
    SRealTime r;
    SStatusFlags f;
    if (player) player->BeginChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
    ItemObject(i)->StartObject(inst->apVoices[i], inst->pMarker, inst->apItems[i], inst->dwLoops, player);
    if (player) player->EndChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
  }
}

void CSoundRandomizer::StopInteractiveContentVoices(void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  if (!inst || !inst->apVoices) return;
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  for (int32_t i = 0; i < inst->nCount; ++i) {
    if (!HasVoice(inst, i)) continue;
    StopItem(i, inst->apVoices[i], inst->apItems[i]);
    if (vc) vc->StopVoice(inst->apVoices[i]);
  }
}

int32_t CSoundRandomizer::CycleInteractive(int32_t* loops, SRandomizerInstance* inst, CPlayer* player) {
  if (!inst || !inst->apVoices) return 0;
  if (inst->nCurrent == 0 && inst->nTarget == 0) return 1;
  int32_t ended = 0;
  bool update = false;
  for (int32_t i = 0; i < inst->nCount; ++i) {
    if (!HasVoice(inst, i)) {
      ++ended;
      continue;
    }
    int32_t copy = loops ? *loops : 0;
    SMetricTime m;
    SRealTime r;
    SStatusFlags f;
    if (player) player->BeginChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
    // Asked before the item runs: a child of its own ending clears the tick.
    if (i == 0 && player) update = player->IsCycleUpdateTime();
    int32_t result = ItemObject(i)->CycleObject(inst->apVoices[i], &copy, inst->apItems[i], player);
    if (player) player->EndChildProcessStatusVariables(&m, &r, &f, nullptr, nullptr, nullptr);
    if (result == 0) ++ended;
  }
  if (ended == inst->nCount) {
    CloseExtraVoices(inst);
    for (int32_t i = 0; i < inst->nCount; ++i) inst->apVoices[i] = nullptr;
    return 0;
  }
  // Without a first layer the update tick is asked outside the items.
  if (player && !HasVoice(inst, 0)) update = player->IsCycleUpdateTime();
  if (update && inst->nCurrent != inst->nTarget) FadeStep(inst);
  return 1;
}

void CSoundRandomizer::FadeStep(SRandomizerInstance* inst) {
  const uint32_t* cell = Cell(inst->nCurrent, inst->nTarget);
  const uint64_t fadeIn = cell ? cell[0] : 0, fadeOut = cell ? cell[1] : 0;
  const uint32_t now = soundrandomizer::Now();
  const uint64_t start = inst->dwFadeStart;
  if (start + fadeIn < now && start + fadeOut < now) {
    SetLayerLevel(inst, inst->nCurrent, 0.0f);
    SetLayerLevel(inst, inst->nTarget, 1.0f);
    inst->nCurrent = inst->nTarget;
    if (inst->nTarget == 0) StopInteractiveContentVoices(inst);
    if (inst->nPending != -1) {
      int32_t pending = inst->nPending;
      inst->nPending = -1;
      SetInteractiveTrack(pending, inst);
    }
    return;
  }
  const float elapsed = (float)(now - inst->dwFadeStart);
  if (inst->nCurrent != 0) {
    float level = fadeOut ? 1.0f - elapsed / (float)fadeOut : 0.0f;
    SetLayerLevel(inst, inst->nCurrent, level < 0.0f ? 0.0f : level);
  }
  if (inst->nTarget != 0) {
    float level = fadeIn ? elapsed / (float)fadeIn : 1.0f;
    SetLayerLevel(inst, inst->nTarget, level > 1.0f ? 1.0f : level);
  }
}

void CSoundRandomizer::RestartObject(void*, void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!m_bInteractive || !inst || !inst->apVoices || !vc) return;
  for (int32_t i = 1; i < inst->nCount; ++i)
    if (inst->apVoices[i]) vc->RestartVoice(inst->apVoices[i]);
}

void CSoundRandomizer::PauseObject(void*, void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!m_bInteractive || !inst || !inst->apVoices || !vc) return;
  for (int32_t i = 1; i < inst->nCount; ++i)
    if (inst->apVoices[i]) vc->PauseVoice(inst->apVoices[i]);
}

void CSoundRandomizer::UpdateVoicesGroupGain(void* instance) {
  SRandomizerInstance* inst = static_cast<SRandomizerInstance*>(instance);
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  if (!inst || !inst->apVoices || !vc) return;
  for (int32_t i = 1; i < inst->nCount; ++i)
    if (inst->apVoices[i]) vc->SetVoiceGroupGain(inst->apVoices[i]);
}

// ---------------------------------------------------------------- durations

void CSoundRandomizer::GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) {
  const uint32_t kNone = 0xFFFFFFFFu;
  uint32_t lo = m_bInteractive ? 0 : kNone, hi = 0;
  uint64_t chances = 0;
  for (int32_t i = 0; i < GetItemCount(); ++i) {
    const SOUNDRANDOMIZERCONTENT* desc = GetItem(i);
    chances += desc->dwChance;
    uint32_t a = 0, b = 0;
    IAUDContentObject* item = ItemObject(i);
    if (item && desc->dwType != IAUDFourCC("gbef")) item->GetMinMaxDuration(&a, &b);
    if (m_bInteractive) {
      if (a > lo) lo = a;
    } else if (a < lo) {
      lo = a;
    }
    if (b > hi) hi = b;
  }
  if (!m_bInteractive && m_adwInfo[0] == 1 && chances < 100) lo = 0;
  if (lo == kNone && !m_bInteractive) lo = 0;
  if (pMin) *pMin = lo;
  if (pMax) *pMax = hi;
}
