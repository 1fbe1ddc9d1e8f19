#include "NonTW/IAUDEng/CSoundQueue.h"

#include <cstdlib>
#include <vector>

#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/CSoundTimeline.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/ErrorManager.h"

namespace {

void QueueAccumulate(uint32_t* accumulator, uint32_t increment, uint32_t unit, uint32_t* count) {
  *accumulator += increment;
  if (unit == 0) return;
  while (*accumulator >= unit) {
    *accumulator -= unit;
    ++*count;
  }
}

}  // namespace

CSoundQueue::CSoundQueue(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("sdqu"));
}

CSoundQueue::~CSoundQueue() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutSoundQueue(GetResourceIndex());
}

const SOUNDQUEUECONTENT* CSoundQueue::GetItem(int32_t i) const {
  return i >= 0 && i < m_aItems.GetElementCount() ? m_aItems.GetElementMember(i) : nullptr;
}

void CSoundQueue::AddItem(const SOUNDQUEUECONTENT& item) {
  m_aItems.AddElement(&item);
  m_anInfo[0] = m_aItems.GetElementCount();
}

IAUDContentObject* CSoundQueue::ItemObject(int32_t i) const {
  const SOUNDQUEUECONTENT* item = GetItem(i);
  return item ? ContentByType(item->dwType, item->dwIndex, false) : nullptr;
}

uint32_t CSoundQueue::GetNumTracks() {
  uint32_t most = 0;
  for (int32_t i = 0; i < GetItemCount(); ++i) {
    IAUDContentObject* item = ItemObject(i);
    // A queue holding itself counts nothing for that item.
    uint32_t n = item && item != this ? item->GetNumTracks() : 0;
    if (n > most) most = n;
  }
  SetNumTracks(most);
  return most;
}

// ---------------------------------------------------------------- files

void CSoundQueue::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId == IAUDFourCC("qinf")) {
    if (chunk.dwSize != 12) return;
    uint32_t w[3];
    if (ReadChunkLongs(file, chunk, w, 3) != 3) return;
    for (int i = 0; i < 3; ++i) m_anInfo[i] = (int32_t)w[i];
  } else if (chunk.dwChunkId == IAUDFourCC("qcnt")) {
    for (uint32_t i = 0; i < chunk.dwSize / 8; ++i) {
      uint32_t w[2];
      if (IAUDFileReadLongs(w, 2, file) != 2) break;
      SOUNDQUEUECONTENT item{w[0], w[1]};
      if (m_aItems.AddElement(&item) < 0) break;
    }
  }
}

void CSoundQueue::ApplyLoadRules() {
  int32_t n = GetItemCount();
  m_anInfo[0] = n;
  if (m_anInfo[1] < 0 || m_anInfo[1] >= n) m_anInfo[1] = -1;
  if (m_anInfo[2] < 0 || m_anInfo[2] >= n) m_anInfo[2] = -1;
  if (m_anInfo[2] < m_anInfo[1]) m_anInfo[2] = m_anInfo[1];
}

void CSoundQueue::ProcessUnArchivedObject() {
  IAUDContentObject::ProcessUnArchivedObject();
  if (IAUDContentBank* bank = GetContentBank()) {
    if ((int32_t)GetResourceIndex() < 0)
      SetResourceIndex((uint32_t)bank->AddNewSoundQueue(this));
    else
      bank->AddSoundQueue(this, GetResourceIndex());
  }
  ApplyLoadRules();
}

void CSoundQueue::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  uint8_t info[12];
  for (int i = 0; i < 3; ++i) PutLE32(info + 4 * i, (uint32_t)m_anInfo[i]);
  WriteObjectData(file, IAUDFourCC("qinf"), info, 12);
  std::vector<uint8_t> bytes((size_t)GetItemCount() * 8);
  for (int32_t i = 0; i < GetItemCount(); ++i) {
    PutLE32(&bytes[(size_t)i * 8], GetItem(i)->dwType);
    PutLE32(&bytes[(size_t)i * 8 + 4], GetItem(i)->dwIndex);
  }
  WriteObjectData(file, IAUDFourCC("qcnt"), bytes.data(), (uint32_t)bytes.size());
}

// ---------------------------------------------------------------- playing

void CSoundQueue::InitObject(void** ppInstance) {
  if (!ppInstance) return;
  GetNumTracks();
  int32_t n = GetItemCount();
  size_t size = sizeof(SQueueInstance) + sizeof(void*) * (size_t)n;
  uint8_t* block = static_cast<uint8_t*>(calloc(1, size));
  if (!block) return;
  SQueueInstance* inst = reinterpret_cast<SQueueInstance*>(block);
  inst->apItems = reinterpret_cast<void**>(block + sizeof(SQueueInstance));
  inst->nCount = n;
  for (int32_t i = 0; i < n; ++i) {
    IAUDContentObject* item = ItemObject(i);
    if (item && item != this) item->InitObject(&inst->apItems[i]);
  }
  *ppInstance = inst;
}

void CSoundQueue::ReleaseObject(void* instance) {
  SQueueInstance* inst = static_cast<SQueueInstance*>(instance);
  if (!inst) return;
  if (inst->nCount != GetItemCount())
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "CSoundQueue::ReleaseObject : Unexpected number of Content items found",
                                false);
  for (int32_t i = 0; i < inst->nCount; ++i) {
    IAUDContentObject* item = ItemObject(i);
    if (inst->apItems[i] && item && item != this) item->ReleaseObject(inst->apItems[i]);
  }
  free(inst);
}

void CSoundQueue::StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t, CPlayer* player) {
  SQueueInstance* inst = static_cast<SQueueInstance*>(instance);
  if (!inst) return;
  if (inst->nMode == kEnded) inst->nMode = (m_anInfo[1] == -1 || m_anInfo[2] == -1) ? kPlayingThrough : kLooping;
  int32_t itemLoops = OneItemSectionAt(inst->nCurrent) ? -1 : 0;
  if (inst->nCurrent >= inst->nCount || inst->nCurrent < 0) return;
  IAUDContentObject* item = ItemObject(inst->nCurrent);
  if (!item || item == this) return;
  if (!player) {
    item->StartObject(voice, marker, inst->apItems[inst->nCurrent], (uint32_t)itemLoops, nullptr);
    return;
  }
  // The items' clocks begin from the queue's own the first time.
  if (inst->metric.dwThreshold == 0 && inst->real.dwThreshold == 0) {
    player->BeginChildProcessStatusVariables(&inst->metric, &inst->real, &inst->flags, nullptr, nullptr, nullptr);
    player->EndChildProcessStatusVariables(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  SMetricTime m;
  SRealTime r;
  SStatusFlags f;
  player->BeginChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
  item->StartObject(voice, marker, inst->apItems[inst->nCurrent], (uint32_t)itemLoops, player);
  player->EndChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
}

int32_t CSoundQueue::CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) {
  SQueueInstance* inst = static_cast<SQueueInstance*>(instance);
  if (!inst || inst->nMode == kEnded) return 0;
  int32_t itemLoops = (OneItemSectionAt(inst->nCurrent) && inst->nMode == kLooping) ? -1 : 0;
  int32_t itemResult = 0;
  if (inst->nCurrent >= 0 && inst->nCurrent < inst->nCount) {
    IAUDContentObject* item = ItemObject(inst->nCurrent);
    if (item && item != this) {
      SMetricTime m;
      SRealTime r;
      SStatusFlags f;
      if (player) player->BeginChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
      itemResult = item->CycleObject(voice, &itemLoops, inst->apItems[inst->nCurrent], player);
      if (player) player->EndChildProcessStatusVariables(&m, &r, &f, &inst->metric, &inst->real, &inst->flags);
    }
  }
  QueueAccumulate(&inst->metric.dwAccumulator, inst->metric.dwIncrement, inst->metric.dwThreshold,
                  &inst->metric.dwPending);
  QueueAccumulate(&inst->real.dwAccumulator, inst->real.dwIncrement, inst->real.dwThreshold, &inst->real.dwPending);
  int32_t result = 1;
  if (itemResult == 0) {
    result = 0;
    if (inst->nMode == kPlayingThrough) {
      if (inst->nCurrent + 1 < inst->nCount) {
        ++inst->nCurrent;
        if (player) player->ResetAllTimeCode();
        StartObject(voice, nullptr, inst, 0, player);
        result = 1;
      } else {
        inst->nMode = kEnded;
      }
    } else if (inst->nMode == kLooping) {
      inst->nCurrent = inst->nCurrent == m_anInfo[2] ? m_anInfo[1] : inst->nCurrent + 1;
      if (player) player->ResetAllTimeCode();
      StartObject(voice, nullptr, inst, 0, player);
      result = 1;
    }
    if (result == 0 && loops && *loops != 0) {
      if (player) player->ResetAllTimeCode();
      inst->nCurrent = 0;
      inst->nMode = kEnded;
      if (*loops > 0) --*loops;
      StartObject(voice, nullptr, inst, 0, player);
      result = 2;
    }
  }
  if (player) {
    player->ProcessRealTimeCode();
    if (!ProcessMetricClocks(player)) result = 0;
  }
  return result;
}

bool CSoundQueue::StopObject(void* voice, void* instance) {
  SQueueInstance* inst = static_cast<SQueueInstance*>(instance);
  if (!inst) return true;
  if (inst->nMode == kEnded) {
    inst->nCurrent = 0;
    return true;
  }
  if (inst->nMode == kLooping) {
    inst->nMode = kPlayingThrough;
    return false;
  }
  if (inst->nCurrent >= 0 && inst->nCurrent < inst->nCount) {
    IAUDContentObject* item = ItemObject(inst->nCurrent);
    if (item && item != this) item->StopObject(voice, inst->apItems[inst->nCurrent]);
  }
  inst->nMode = kEnded;
  inst->nCurrent = 0;
  return true;
}

int32_t CSoundQueue::GetPlayingContentIndex(void* instance) const {
  const SQueueInstance* inst = static_cast<const SQueueInstance*>(instance);
  return inst ? inst->nCurrent : -1;
}

// A queue without a loop section reports the sums of its items, whatever
// the loop start or end alone says; a section makes it endless.
void CSoundQueue::GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) {
  uint64_t lo = 0, hi = 0;
  bool section = m_anInfo[1] != -1 && m_anInfo[2] != -1;
  if (section && GetItemCount() > 0) {
    lo = hi = 0xFFFFFFFFu;
  } else {
    for (int32_t i = 0; i < GetItemCount(); ++i) {
      IAUDContentObject* item = ItemObject(i);
      if (!item || item == this || GetItem(i)->dwType == IAUDFourCC("gbef")) continue;
      uint32_t a = 0, b = 0;
      item->GetMinMaxDuration(&a, &b);
      lo += a;
      hi += b;
    }
    if (lo > 0xFFFFFFFFu) lo = 0xFFFFFFFFu;
    if (hi > 0xFFFFFFFFu) hi = 0xFFFFFFFFu;
  }
  if (pMin) *pMin = (uint32_t)lo;
  if (pMax) *pMax = (uint32_t)hi;
}
