#include "NonTW/IAUDEng/CSequence.h"

#include <cstdlib>
#include <cstring>

#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDMarkerGrid.h"
#include "NonTW/IAUDEng/IAUDTranslator.h"

namespace {

const uint32_t kSequenceMaxTracks = 256;
// Loop-backs and restarts run the cycle again at once; a stream that comes
// back without using a clock waits for the next period instead.
const int kSequenceMaxDepth = 8;

void* SequenceOpen() {
  IAUDTranslator* t = IAUDResourceManager::m_pTranslator;
  return t ? t->OpenCommandBuffer() : nullptr;
}

void SequenceBuffer(void* buffer, uint32_t command, uint32_t value) {
  if (IAUDTranslator* t = IAUDResourceManager::m_pTranslator) t->BufferCommand(buffer, command, value);
}

void SequenceProcess(void* buffer, uint32_t tracks, void* voice) {
  if (IAUDTranslator* t = IAUDResourceManager::m_pTranslator) t->ProcessCommandBuffer(buffer, (int32_t)tracks, voice);
}

// Drops the buffered commands and hands the buffer back.
void SequenceDiscard(void* buffer) {
  if (IAUDTranslator* t = IAUDResourceManager::m_pTranslator) {
    t->FlushCommandBuffer(buffer);
    t->ProcessCommandBuffer(buffer, 256, nullptr);
  }
}

uint32_t SequenceFloatBits(float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}

uint8_t SequenceInterpolate(const SSequenceValue& v, uint32_t now) {
  if (v.dwEnd <= v.dwStart || now >= v.dwEnd) return v.bTarget;
  int64_t span = (int64_t)v.dwEnd - v.dwStart;
  int64_t done = (int64_t)now - v.dwStart;
  if (done < 0) done = 0;
  return (uint8_t)(v.bCurrent + ((int64_t)v.bTarget - v.bCurrent) * done / span);
}

void SequenceResetValue(SSequenceValue& v) { v = SSequenceValue{255, 255, 0, 0}; }

// Buffers the running ramps of an array of records and ends those past due.
void SequenceEmitRecords(void* buffer, uint32_t now, SSequenceValue* records, uint32_t tracks, uint32_t perTrack,
                         uint32_t op) {
  for (uint32_t t = 0; t < tracks; ++t) {
    for (uint32_t s = 0; s < perTrack; ++s) {
      SSequenceValue& v = records[t * perTrack + s];
      if (v.bCurrent == v.bTarget) continue;
      uint32_t command = op | (t << 8) | (s << 24);
      if (now < v.dwEnd) {
        SequenceBuffer(buffer, command, SequenceInterpolate(v, now));
      } else {
        SequenceBuffer(buffer, command, v.bTarget);
        v.bCurrent = v.bTarget;
        v.dwStart = v.dwEnd;
      }
    }
  }
}

}  // namespace

CSequence::CSequence(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("sqob"));
}

CSequence::~CSequence() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutSequence(GetResourceIndex());
  free(m_pData);
}

void CSequence::SetData(uint32_t* words, uint32_t count) {
  if (words != m_pData) free(m_pData);
  m_pData = words;
  m_dwWords = words ? count : 0;
}

// ---------------------------------------------------------------- files

void CSequence::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId == IAUDFourCC("data")) {
    // A later stream replaces an earlier one, each in a buffer of its own size.
    uint32_t count = chunk.dwSize / 4;
    uint64_t available = IAUDFileLength(file);
    uint64_t at = IAUDFileTell(file);
    if (at + (uint64_t)count * 4 > available) count = at < available ? (uint32_t)((available - at) / 4) : 0;
    uint32_t* words = count ? static_cast<uint32_t*>(malloc((size_t)count * 4)) : nullptr;
    if (count && !words) return;
    count = (uint32_t)IAUDFileReadLongs(words, count, file);
    SetData(words, count);
  } else if (chunk.dwChunkId == IAUDFourCC("sctb")) {
    uint32_t size = chunk.dwSize < kTableBytes ? chunk.dwSize : kTableBytes;
    IAUDFileRead(m_abTable, 1, size, file);
  }
}

void CSequence::ProcessUnArchivedObject() {
  IAUDContentObject::ProcessUnArchivedObject();
  IAUDContentBank* bank = GetContentBank();
  if (!bank) return;
  if ((int32_t)GetResourceIndex() < 0)
    SetResourceIndex((uint32_t)bank->AddNewSequence(this));
  else
    bank->AddSequence(this, GetResourceIndex());
}

void CSequence::ArchiveObjectDataChunks(void* file) {
  IAUDContentObject::ArchiveObjectDataChunks(file);
  RiffChunk chunk{0, IAUDFourCC("data"), 0, 0};
  CreateArchiveObject(file, &chunk);
  if (m_dwWords) IAUDFileWriteLongs(m_pData, m_dwWords, file);
  AscendArchiveObject(file, &chunk);
}

// ---------------------------------------------------------------- instance

void CSequence::InitObject(void** ppInstance) {
  if (!ppInstance) return;
  uint32_t n = GetNumTracks();
  if (n > kSequenceMaxTracks) n = kSequenceMaxTracks;
  size_t size = sizeof(SSequenceInstance) + (size_t)n * (3 * sizeof(uint32_t) + 11 * sizeof(SSequenceValue));
  uint8_t* block = static_cast<uint8_t*>(calloc(1, size));
  if (!block) return;
  SSequenceInstance* inst = reinterpret_cast<SSequenceInstance*>(block);
  SSequenceValue* values = reinterpret_cast<SSequenceValue*>(block + sizeof(SSequenceInstance));
  inst->dwTracks = n;
  inst->pLevel = values;
  inst->pDirect = values + n;
  inst->pDirectHF = values + 2 * n;
  inst->pSend = values + 3 * n;
  inst->pSendHF = values + 7 * n;
  uint32_t* words = reinterpret_cast<uint32_t*>(values + 11 * n);
  inst->pPathIndex = words;
  inst->pPathStart = words + n;
  inst->pPathDuration = words + 2 * n;
  ResetSequence(inst);
  *ppInstance = inst;
}

void CSequence::ReleaseObject(void* instance) { free(instance); }

void CSequence::ResetObject(void*, void* instance) {
  if (instance) ResetSequence(static_cast<SSequenceInstance*>(instance));
}

void CSequence::ResetSequence(SSequenceInstance* inst) {
  if (!inst) return;
  inst->dwFlags |= kResetting;
  uint32_t n = inst->dwTracks;
  for (uint32_t t = 0; t < n; ++t) {
    inst->pPathDuration[t] = 0;
    SequenceResetValue(inst->pLevel[t]);
    SequenceResetValue(inst->pDirect[t]);
    SequenceResetValue(inst->pDirectHF[t]);
    for (uint32_t s = 0; s < 4; ++s) {
      SequenceResetValue(inst->pSend[t * 4 + s]);
      SequenceResetValue(inst->pSendHF[t * 4 + s]);
    }
  }
  inst->dwReadPosition = 0;
  inst->nClockCounter = 0;
  inst->dwGrid = 0;
  inst->nMarker = 0;
  inst->nRepeats = 0;
  inst->dwFlags &= ~kEnded;
  inst->dwFrameStart = inst->dwFrameEnd = 0;
  inst->nFrameDelta = -1;
  CreateClockFrame(inst);
  inst->dwSavedStart = inst->dwFrameStart;
  inst->dwSavedEnd = inst->dwFrameEnd;
  inst->nSavedDelta = inst->nFrameDelta;
  inst->dwFlags &= ~kResetting;
}

void CSequence::CreateClockFrame(SSequenceInstance* inst) {
  if ((inst->dwFlags & kEnded) || !m_pData) return;
  if (inst->dwReadPosition >= m_dwWords) {
    // Past the last frame: nothing more becomes due.
    inst->dwFrameStart = inst->dwFrameEnd = m_dwWords;
    inst->nFrameDelta = -1;
    return;
  }
  inst->dwFrameStart = inst->dwReadPosition;
  inst->nFrameDelta = (int32_t)(m_pData[inst->dwReadPosition] & 0x7FFFFFFFu);
  uint64_t pos = (uint64_t)inst->dwReadPosition + 1;
  while (pos < m_dwWords) {
    uint32_t command = m_pData[pos];
    if ((command & 0xC00000FFu) == kOpGroup)
      pos += 2 + 2 * (uint64_t)(pos + 1 < m_dwWords ? m_pData[pos + 1] : 0);
    else
      pos += 2;
    if (pos >= m_dwWords || m_pData[pos] != 0) break;
    ++pos;
  }
  if (pos > m_dwWords) pos = m_dwWords;
  inst->dwFrameEnd = inst->dwReadPosition = (uint32_t)pos;
}

void CSequence::CueMarker(IAUDContentMarker* marker, SSequenceInstance* inst) {
  if (!marker || !inst || marker->dwContentPosition >= m_dwWords) return;
  inst->dwReadPosition = marker->dwContentPosition;
  inst->dwFlags &= ~kEnded;
  CreateClockFrame(inst);
  inst->nClockCounter = 0;
  inst->nFrameDelta = 0;
}

void CSequence::RestoreLastFrame(SSequenceInstance* inst) {
  inst->dwFrameStart = inst->dwSavedStart;
  inst->dwFrameEnd = inst->dwSavedEnd;
  inst->nFrameDelta = inst->nSavedDelta;
  inst->dwReadPosition = inst->dwSavedEnd;
  if (inst->nClockCounter > 0)
    --inst->nClockCounter;
  else
    inst->nFrameDelta = 0;
}

// ---------------------------------------------------------------- frames

void CSequence::ProcessClockFrame(void* buffer, uint32_t now, SSequenceInstance* inst, CPlayer* player) {
  inst->dwSavedStart = inst->dwFrameStart;
  inst->dwSavedEnd = inst->dwFrameEnd;
  inst->nSavedDelta = inst->nFrameDelta;
  uint32_t cursor = inst->dwFrameStart + 1;
  uint32_t end = inst->dwFrameEnd < m_dwWords ? inst->dwFrameEnd : m_dwWords;
  while (cursor < end) {
    ProcessClockFrameCommands(buffer, now, inst, player, &cursor, false);
    if (cursor < end && m_pData[cursor] == 0) ++cursor;
  }
}

void CSequence::ProcessClockFrameCommands(void* buffer, uint32_t now, SSequenceInstance* inst, CPlayer* player,
                                          uint32_t* cursor, bool inGroup) {
  uint32_t command = m_pData[*cursor];
  uint32_t value = *cursor + 1 < m_dwWords ? m_pData[*cursor + 1] : 0;
  *cursor += 2;
  uint32_t op = command & 0xC00000FFu;
  uint32_t track = (command >> 8) & 0xFF;
  uint32_t slot = (command >> 24) & 0x1F;
  uint32_t n = inst->dwTracks;
  SSequenceValue* record = nullptr;
  uint32_t changed = 0;
  switch (op) {
    case kOpLevel:
    case kOpDirect:
    case kOpDirectHF:
    case kOpSend:
    case kOpSendHF: {
      if (track >= n || ((op == kOpSend || op == kOpSendHF) && slot > 3)) return;
      record = op == kOpLevel      ? &inst->pLevel[track]
               : op == kOpDirect   ? &inst->pDirect[track]
               : op == kOpDirectHF ? &inst->pDirectHF[track]
               : op == kOpSend     ? &inst->pSend[track * 4 + slot]
                                   : &inst->pSendHF[track * 4 + slot];
      record->bCurrent = (uint8_t)(value & 0xFF);
      record->dwStart = now;
      if (op == kOpSendHF ? now > record->dwEnd : now >= record->dwEnd) record->bTarget = record->bCurrent;
      SequenceBuffer(buffer, command, value);
      return;
    }
    case kOpLevelRamp: record = track < n ? &inst->pLevel[track] : nullptr, changed = kLevelsChanged; break;
    case kOpDirectRamp: record = track < n ? &inst->pDirect[track] : nullptr, changed = kDirectChanged; break;
    case kOpDirectHFRamp: record = track < n ? &inst->pDirectHF[track] : nullptr, changed = kDirectHFChanged; break;
    case kOpSendRamp:
      record = track < n && slot <= 3 ? &inst->pSend[track * 4 + slot] : nullptr, changed = kSendsChanged;
      break;
    case kOpSendHFRamp:
      record = track < n && slot <= 3 ? &inst->pSendHF[track * 4 + slot] : nullptr, changed = kSendHFChanged;
      break;
    case kOpPath:
      if (track < n) {
        inst->pPathIndex[track] = value >> 22;
        inst->pPathStart[track] = now;
        inst->pPathDuration[track] = value & 0x3FFFFFu;
        inst->dwFlags |= kPathsChanged;
      }
      return;
    case kOpGroup:
      // Pairs of a group run one after the other; a group inside a group
      // only counts as one of its pairs.
      if (inGroup) return;
      for (uint32_t i = 0; i < value && *cursor < m_dwWords; ++i)
        ProcessClockFrameCommands(buffer, now, inst, player, cursor, true);
      return;
    case kOpEnd:
      inst->dwFlags |= kEnded;
      return;
    case kOpTempo:
      if (player) player->ProcessTempo(value);
      return;
    case kOpTimeSignature:
      if (player) player->ProcessTimeSignature(value);
      return;
    case kOpGrid:
      inst->dwGrid = value;
      inst->dwFlags |= kGridChanged;
      return;
    default:
      SequenceBuffer(buffer, command, value);
      return;
  }
  if (!record) return;
  if (record->bCurrent != record->bTarget) {
    if (now >= record->dwEnd) {
      record->bCurrent = record->bTarget;
      record->dwStart = record->dwEnd;
    } else {
      record->bCurrent = SequenceInterpolate(*record, now);
      record->dwStart = now;
    }
  }
  record->bTarget = (uint8_t)(value & 0xFF);
  record->dwEnd = now + (value >> 16);
  inst->dwFlags |= changed;
}

// ---------------------------------------------------------------- active values

void CSequence::ProcessActivePaths(void* buffer, uint32_t now, SSequenceInstance* inst) {
  IAUDContentBank* bank = GetContentBank();
  for (uint32_t t = 0; t < inst->dwTracks; ++t) {
    uint32_t duration = inst->pPathDuration[t];
    if (!duration) continue;
    uint32_t elapsed = now - inst->pPathStart[t];
    uint32_t base = (t << 8);
    if (elapsed < duration) {
      CPath* path = bank ? bank->GetPath(inst->pPathIndex[t]) : nullptr;
      if (!path) continue;
      IAUDVector at{0.0f, 0.0f, 0.0f};
      path->GetPathPosition(elapsed, duration, &at);
      SequenceBuffer(buffer, IAUDTranslator::kPathX | base, SequenceFloatBits(at.x));
      SequenceBuffer(buffer, IAUDTranslator::kPathY | base, SequenceFloatBits(at.y));
      SequenceBuffer(buffer, IAUDTranslator::kPathZ | base, SequenceFloatBits(at.z));
    } else {
      SequenceBuffer(buffer, IAUDTranslator::kPathX | base, 0);
      SequenceBuffer(buffer, IAUDTranslator::kPathY | base, 0);
      SequenceBuffer(buffer, IAUDTranslator::kPathZ | base, 0);
      inst->pPathDuration[t] = 0;
    }
  }
}

void CSequence::ProcessActiveLevels(void* buffer, uint32_t now, SSequenceInstance* inst) {
  SequenceEmitRecords(buffer, now, inst->pLevel, inst->dwTracks, 1, kOpLevel);
}
void CSequence::ProcessActiveDirect(void* buffer, uint32_t now, SSequenceInstance* inst) {
  SequenceEmitRecords(buffer, now, inst->pDirect, inst->dwTracks, 1, kOpDirect);
}
void CSequence::ProcessActiveDirectHF(void* buffer, uint32_t now, SSequenceInstance* inst) {
  SequenceEmitRecords(buffer, now, inst->pDirectHF, inst->dwTracks, 1, kOpDirectHF);
}
void CSequence::ProcessActiveSend(void* buffer, uint32_t now, SSequenceInstance* inst) {
  SequenceEmitRecords(buffer, now, inst->pSend, inst->dwTracks, 4, kOpSend);
}
void CSequence::ProcessActiveSendHF(void* buffer, uint32_t now, SSequenceInstance* inst) {
  SequenceEmitRecords(buffer, now, inst->pSendHF, inst->dwTracks, 4, kOpSendHF);
}

void CSequence::EmitAll(void* buffer, uint32_t now, SSequenceInstance* inst) {
  ProcessActivePaths(buffer, now, inst);
  ProcessActiveLevels(buffer, now, inst);
  ProcessActiveDirect(buffer, now, inst);
  ProcessActiveDirectHF(buffer, now, inst);
  ProcessActiveSend(buffer, now, inst);
  ProcessActiveSendHF(buffer, now, inst);
}

void CSequence::EmitChanged(void* buffer, uint32_t now, SSequenceInstance* inst) {
  uint32_t f = inst->dwFlags;
  if (f & kPathsChanged) ProcessActivePaths(buffer, now, inst);
  if (f & kLevelsChanged) ProcessActiveLevels(buffer, now, inst);
  if (f & kDirectChanged) ProcessActiveDirect(buffer, now, inst);
  if (f & kDirectHFChanged) ProcessActiveDirectHF(buffer, now, inst);
  if (f & kSendsChanged) ProcessActiveSend(buffer, now, inst);
  if (f & kSendHFChanged) ProcessActiveSendHF(buffer, now, inst);
  inst->dwFlags &= ~kAllChanged;
}

// ---------------------------------------------------------------- playing

void CSequence::StartObject(void*, IAUDContentMarker* marker, void* instance, uint32_t, CPlayer*) {
  SSequenceInstance* inst = static_cast<SSequenceInstance*>(instance);
  if (!inst) return;
  ResetSequence(inst);
  if (marker) {
    CueMarker(marker, inst);
    inst->nMarker = FindMarkerIndex(marker);
    inst->nRepeats = 0;
  }
}

bool CSequence::CheckGrid(SSequenceInstance* inst, CPlayer* player) {
  uint32_t grid = inst->dwGrid;
  IAUDMarkerUnit unit = IAUDMarkerDivisionUnit(grid);
  if (unit != kIAUDMarkerUnit_Clocks && unit != kIAUDMarkerUnit_Beats && unit != kIAUDMarkerUnit_Bars) {
    grid = GetMarkerDivision();
    unit = IAUDMarkerDivisionUnit(grid);
  }
  uint32_t multiple = grid & 0x1FFFFFFFu;
  if (multiple == 0) return true;
  uint32_t status = player->GetInProcessStatusFlags();
  bool due = false;
  if (unit == kIAUDMarkerUnit_Clocks) {
    due = (status & 1u) && player->GetProcessClocks() % multiple == 0;
  } else if (unit == kIAUDMarkerUnit_Beats) {
    due = (status & 2u) && player->GetProcessBeats() % multiple == 0;
  } else if (unit == kIAUDMarkerUnit_Bars) {
    IAUDContentMarker* marker = GetMarkerByIndex(inst->nMarker);
    uint32_t from = marker ? marker->dwMusicalPosition >> 16 : 0;
    due = (status & 4u) && (player->GetProcessBars() - from) % multiple == 0;
  }
  return !due || player->ProcessContentMarker();
}

int32_t CSequence::CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) {
  return Cycle(voice, loops, static_cast<SSequenceInstance*>(instance), player, 0);
}

int32_t CSequence::Cycle(void* voice, int32_t* loops, SSequenceInstance* inst, CPlayer* player, int depth) {
  if (!inst) return 0;
  if (inst->dwFlags & (kEnded | kResetting)) return 1;
  inst->dwFlags |= kCycling;
  uint32_t n = inst->dwTracks;
  if (inst->nFrameDelta == 0) {
    void* buffer = SequenceOpen();
    ProcessClockFrame(buffer, player ? player->GetProcessMetricTotalClock() : 0, inst, player);
    if (inst->dwFlags & kGridChanged) {
      inst->dwFlags &= ~kGridChanged;
      if (player && !player->ProcessContentMarker()) {
        RestoreLastFrame(inst);
        SequenceDiscard(buffer);
        inst->dwFlags &= ~kCycling;
        return 0;
      }
    }
    CreateClockFrame(inst);
    EmitAll(buffer, player ? player->GetProcessMetricTotalClock() : 0, inst);
    SequenceProcess(buffer, n, voice);
  }
  if (player) {
    player->ProcessRealTimeCode();
    while (player->GetMetricProcessClockCount() != 0) {
      if (!CheckGrid(inst, player)) {
        RestoreLastFrame(inst);
        inst->dwFlags &= ~kCycling;
        return 0;
      }
      uint32_t now = player->GetProcessMetricTotalClock();
      ++inst->nClockCounter;
      void* buffer = SequenceOpen();
      if (!(inst->dwFlags & kEnded) && inst->nFrameDelta > 0 && inst->nClockCounter >= inst->nFrameDelta) {
        inst->nClockCounter = 0;
        ProcessClockFrame(buffer, now, inst, player);
        if (inst->dwFlags & (kGridChanged | kEnded)) {
          inst->dwFlags &= ~kGridChanged;
          if (!player->ProcessContentMarker()) {
            RestoreLastFrame(inst);
            SequenceDiscard(buffer);
            inst->dwFlags &= ~kCycling;
            return 0;
          }
          IAUDContentMarker* marker = GetMarkerByIndex(inst->nMarker);
          if (marker && marker->dwMetricPosition < now) {
            if (marker->nRepeatLimit == -1 || inst->nRepeats < marker->nRepeatLimit) {
              CueMarker(marker, inst);
              player->ResetAllTimeCodeToMarker(marker);
              SequenceDiscard(buffer);
              ++inst->nRepeats;
              inst->dwFlags &= ~(kEnded | kCycling);
              if (depth >= kSequenceMaxDepth) return 1;
              return Cycle(voice, loops, inst, player, depth + 1);
            }
            ++inst->nMarker;
            inst->nRepeats = 0;
          }
        }
        CreateClockFrame(inst);
      }
      if (player->IsCycleUpdateTime()) {
        EmitAll(buffer, now, inst);
        inst->dwFlags &= ~kAllChanged;
      } else {
        EmitChanged(buffer, now, inst);
      }
      SequenceProcess(buffer, n, voice);
    }
  }
  inst->dwFlags &= ~kCycling;
  if (inst->dwFlags & kEnded) {
    if (loops && *loops != 0) {
      if (*loops > 0) --*loops;
      if (player) player->ResetAllTimeCode();
      ResetSequence(inst);
      if (depth >= kSequenceMaxDepth) return 1;
      return Cycle(voice, loops, inst, player, depth + 1);
    }
    return 0;
  }
  return 1;
}

int32_t CSequence::AdvanceClock(void* instance, CPlayer* player, void* voice) {
  SSequenceInstance* inst = static_cast<SSequenceInstance*>(instance);
  if (!inst || (inst->dwFlags & kEnded)) return 0;
  uint32_t n = inst->dwTracks;
  if (inst->nFrameDelta == 0) {
    void* buffer = SequenceOpen();
    ProcessClockFrame(buffer, player ? player->GetProcessMetricTotalClock() : 0, inst, player);
    CreateClockFrame(inst);
    SequenceProcess(buffer, n, voice);
    if (inst->dwFlags & kEnded) return 0;
  }
  if (!player) return 3;
  player->ProcessRealTimeCode();
  while (player->GetMetricProcessClockCount() != 0) {
    ++inst->nClockCounter;
    if (inst->nFrameDelta > 0 && inst->nClockCounter >= inst->nFrameDelta) {
      inst->nClockCounter = 0;
      void* buffer = SequenceOpen();
      ProcessClockFrame(buffer, player->GetProcessMetricTotalClock(), inst, player);
      CreateClockFrame(inst);
      SequenceProcess(buffer, n, voice);
      if (inst->dwFlags & kEnded) return 0;
    }
  }
  return 3;
}

void CSequence::ReCueLastClock(void* instance, CPlayer* player) {
  SSequenceInstance* inst = static_cast<SSequenceInstance*>(instance);
  if (!inst) return;
  uint32_t now = player ? player->GetProcessMetricTotalClock() : 0;
  void* buffer = SequenceOpen();
  EmitAll(buffer, now, inst);
  SequenceProcess(buffer, inst->dwTracks, nullptr);
  inst->nMarker = FindMarkerIndexFromMetric(now);
  inst->nRepeats = 0;
  if (inst->nClockCounter > 0) {
    --inst->nClockCounter;
  } else {
    RestoreLastFrame(inst);
    inst->nFrameDelta = 0;
  }
}

void CSequence::EstablishMarker(IAUDContentMarker* marker, void* instance) {
  SSequenceInstance* inst = static_cast<SSequenceInstance*>(instance);
  if (marker && inst) marker->dwContentPosition = inst->dwSavedStart;
}
