#include "NonTW/IAUDEng/IAUDContentBank.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/CSoundEntity.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/CSoundQueue.h"
#include "NonTW/IAUDEng/CSoundRandomizer.h"
#include "NonTW/IAUDEng/CSoundTimeline.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDBankSlots.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "TWUtil/ByteOrder.h"

namespace {

const uint32_t kBankIndexEntryBytes = 264;
const uint32_t kBankVarNameUnits = 32;

// Below 0 when a sorts before b, 0 when equal, above 0 when after.
int32_t BankTitleOrder(const uint16_t* a, const uint16_t* b) { return -IAUDCompareString(a, b); }

SIndexPage* BankNewPage() { return static_cast<SIndexPage*>(calloc(1, sizeof(SIndexPage))); }

void BankFreeVar(CENTITYVARIABLE& var) {
  if (var.ppStateNames) {
    for (uint32_t s = 0; s < var.dwNumStates; ++s) free(var.ppStateNames[s]);
    free(var.ppStateNames);
  }
  var.ppStateNames = nullptr;
  var.dwNumStates = 0;
}

// Copies up to length units, zero-filling after the name; no terminator when
// the name fills the buffer.
uint16_t* BankCopyName(uint16_t* buffer, const uint16_t* name, uint32_t units, int32_t length) {
  if (!buffer) return nullptr;
  uint32_t i = 0;
  for (; i < (uint32_t)(length > 0 ? length : 0) && i < units && name[i]; ++i) buffer[i] = name[i];
  for (; i < (uint32_t)(length > 0 ? length : 0); ++i) buffer[i] = 0;
  return buffer;
}

bool BankNameEquals(const uint16_t* stored, uint32_t units, const uint16_t* name) {
  for (uint32_t i = 0; i < units; ++i) {
    if (stored[i] != name[i]) return false;
    if (!name[i]) return true;
  }
  return name[units] == 0;
}

template <class T>
bool BankHolds(const TCArray<T*>& slots, const void* object) {
  for (int32_t i = 0; i < slots.GetElementCount(); ++i)
    if (static_cast<const void*>(*slots.GetElementMember(i)) == object) return true;
  return false;
}

template <class T>
void BankReIndex(TCArray<T*>& slots) {
  for (int32_t i = 0; i < slots.GetElementCount(); ++i) {
    if (T* object = *slots.GetElementMember(i)) {
      uint16_t title[128];
      memcpy(title, object->GetTitle(), sizeof(title));
      object->SetTitle(title);
    }
  }
}

}  // namespace

IAUDContentBank::IAUDContentBank() {
  SetChunk(IAUDFourCC("RIFF"), IAUDFourCC("icbf"));
  SetBank(this);
}

// The entity instances go first (their players hold this bank's content),
// then the content: its objects leave the index and clear their slots.
IAUDContentBank::~IAUDContentBank() {
  while (CEntity* head = m_pFirstEntity) {
    CEntity* next = head->GetPostEntity();
    delete head;
    // An instance unlinks itself; never spin on one that did not.
    if (m_pFirstEntity == head) m_pFirstEntity = next;
  }
  RemoveAllChildren();
  FreeIndex();
  UnlinkFromBankList();
  FreeGlobalVars();
}

void IAUDContentBank::FreeIndex() {
  while (m_pIndex) {
    SIndexPage* next = m_pIndex->pNext;
    free(m_pIndex);
    m_pIndex = next;
  }
}

void IAUDContentBank::FreeGlobalVars() {
  for (int32_t i = 0; i < m_aGlobalVars.GetElementCount(); ++i) BankFreeVar(*m_aGlobalVars.GetElementMember(i));
  m_aGlobalVars.RemoveAllElements();
}

void IAUDContentBank::UnlinkFromBankList() {
  if (IAUDResourceManager::m_pContentBanks == this) IAUDResourceManager::m_pContentBanks = m_pNextBank;
  if (m_pPrevBank) m_pPrevBank->m_pNextBank = m_pNextBank;
  if (m_pNextBank) m_pNextBank->m_pPrevBank = m_pPrevBank;
  m_pPrevBank = m_pNextBank = nullptr;
}

// ---------------------------------------------------------------- files

void IAUDContentBank::ParseFile(void* file) {
  RiffChunk root;
  if (!DescendFile(file, &root, nullptr)) return;
  if (root.dwChunkId == IAUDFourCC("RIFF") && root.dwFormType == IAUDFourCC("icbf")) UnArchiveObject(file, root);
  AscendFile(file, &root);
}

void IAUDContentBank::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDBankObject::UnArchiveObjectDataChunk(file, chunk);
  if (chunk.dwChunkId == IAUDFourCC("obdx")) {
    m_bReIndex = true;
  } else if (chunk.dwChunkId == IAUDFourCC("ctdx")) {
    IAUDFileSeek(file, chunk.dwDataPosition);
    ReadIndexChunk(file, chunk);
  } else if (chunk.dwChunkId == IAUDFourCC("secg")) {
    IAUDFileSeek(file, chunk.dwDataPosition);
    ReadGlobalVarsChunk(file, chunk);
  }
}

// Each stored page: a count, then that many entries. A count beyond one
// page is spread over several pages; a count beyond the chunk refuses the
// rest of the chunk.
void IAUDContentBank::ReadIndexChunk(void* file, const RiffChunk& chunk) {
  SIndexPage** tail = &m_pIndex;
  while (*tail) tail = &(*tail)->pNext;
  uint64_t consumed = 0;
  uint8_t record[kBankIndexEntryBytes];
  while (consumed + 4 <= chunk.dwSize) {
    uint32_t count = 0;
    if (IAUDFileReadLongs(&count, 1, file) != 1) return;
    consumed += 4;
    if (!count) continue;
    if ((uint64_t)count * kBankIndexEntryBytes > chunk.dwSize - consumed) return;
    uint32_t done = 0;
    do {
      SIndexPage* page = BankNewPage();
      if (!page) return;
      for (; page->dwCount < SIndexPage::kEntries && done < count; ++done) {
        if (IAUDFileRead(record, kBankIndexEntryBytes, 1, file) != 1) {
          free(page);
          return;
        }
        SIndexEntry& e = page->entries[page->dwCount++];
        for (int u = 0; u < 128; ++u) e.wszTitle[u] = GetLE16(record + 2 * u);
        e.wszTitle[127] = 0;
        e.dwType = GetLE32(record + 256);
        e.dwResourceIndex = GetLE32(record + 260);
      }
      *tail = page;
      tail = &page->pNext;
    } while (done < count);
    consumed += (uint64_t)count * kBankIndexEntryBytes;
  }
}

// Read whole or not at all: a count that does not fit the chunk refuses it.
void IAUDContentBank::ReadGlobalVarsChunk(void* file, const RiffChunk& chunk) {
  uint64_t left = chunk.dwSize;
  uint32_t count = 0;
  if (left < 4 || IAUDFileReadLongs(&count, 1, file) != 1) return;
  left -= 4;
  std::vector<CENTITYVARIABLE> vars;
  bool ok = true;
  for (uint32_t v = 0; v < count && ok; ++v) {
    if (left < 2 * kBankVarNameUnits + 4) {
      ok = false;
      break;
    }
    CENTITYVARIABLE var;
    memset(&var, 0, sizeof(var));
    uint32_t states = 0;
    if (IAUDFileReadShorts(var.wszName, kBankVarNameUnits, file) != kBankVarNameUnits ||
        IAUDFileReadLongs(&states, 1, file) != 1) {
      ok = false;
      break;
    }
    left -= 2 * kBankVarNameUnits + 4;
    if ((uint64_t)states * 2 * kBankVarNameUnits + 4 > left) {
      ok = false;
      break;
    }
    if (states) {
      var.ppStateNames = static_cast<uint16_t**>(calloc(states, sizeof(uint16_t*)));
      if (!var.ppStateNames) {
        ok = false;
        break;
      }
    }
    var.dwNumStates = states;
    for (uint32_t s = 0; s < states && ok; ++s) {
      var.ppStateNames[s] = static_cast<uint16_t*>(calloc(kBankVarNameUnits, sizeof(uint16_t)));
      ok = var.ppStateNames[s] &&
           IAUDFileReadShorts(var.ppStateNames[s], kBankVarNameUnits, file) == kBankVarNameUnits;
    }
    ok = ok && IAUDFileReadLongs(&var.dwInitialState, 1, file) == 1;
    left -= (uint64_t)states * 2 * kBankVarNameUnits + 4;
    var.dwCurrentState = var.dwInitialState;
    vars.push_back(var);
  }
  if (!ok) {
    for (CENTITYVARIABLE& var : vars) BankFreeVar(var);
    return;
  }
  for (CENTITYVARIABLE& var : vars) {
    if (m_aGlobalVars.AddElement(&var) < 0) BankFreeVar(var);
  }
}

void IAUDContentBank::ProcessUnArchivedObject() {
  IAUDContentBank** link = &IAUDResourceManager::m_pContentBanks;
  IAUDContentBank* last = nullptr;
  while (*link) {
    if (*link == this) return;
    last = *link;
    link = &last->m_pNextBank;
  }
  *link = this;
  m_pPrevBank = last;
  m_pNextBank = nullptr;
  ReIndexContent();
}

void IAUDContentBank::ArchiveObjectDataChunks(void* file) {
  IAUDBankObject::ArchiveObjectDataChunks(file);
  std::vector<uint8_t> bytes;
  for (const SIndexPage* page = m_pIndex; page; page = page->pNext) {
    if (!page->dwCount) continue;
    size_t at = bytes.size();
    bytes.resize(at + 4 + (size_t)page->dwCount * kBankIndexEntryBytes);
    PutLE32(&bytes[at], page->dwCount);
    at += 4;
    for (uint32_t i = 0; i < page->dwCount; ++i, at += kBankIndexEntryBytes) {
      const SIndexEntry& e = page->entries[i];
      for (int u = 0; u < 128; ++u) PutLE16(&bytes[at + 2 * (size_t)u], e.wszTitle[u]);
      PutLE32(&bytes[at + 256], e.dwType);
      PutLE32(&bytes[at + 260], e.dwResourceIndex);
    }
  }
  WriteObjectData(file, IAUDFourCC("ctdx"), bytes.data(), (uint32_t)bytes.size());
}

IAUDContentObject* IAUDContentBank::CreateContentObject(uint32_t type) {
  if (type == IAUDFourCC("fldr")) return new IAUDContentObject(this);
  if (type == IAUDFourCC("path")) return new CPath(this);
  if (type == IAUDFourCC("rpc ")) return new CRPController(this);
  if (type == IAUDFourCC("tran")) return new CTransition(this);
  if (type == IAUDFourCC("gbef")) return new CGlobalEffect(this);
  if (type == IAUDFourCC("snde")) return new CSoundEvent(this);
  if (type == IAUDFourCC("sdqu")) return new CSoundQueue(this);
  if (type == IAUDFourCC("sdtl")) return new CSoundTimeline(this);
  if (type == IAUDFourCC("sqob")) return new CSequence(this);
  if (type == IAUDFourCC("sdri")) return new CSoundRandomizer(this);
  if (type == IAUDFourCC("ento")) return new CSoundEntity(this);
  return nullptr;
}

void IAUDContentBank::WriteGlobalVars(void* file) {
  std::vector<uint8_t> bytes(4);
  PutLE32(bytes.data(), GetNumGlobalVars());
  for (uint32_t v = 0; v < GetNumGlobalVars(); ++v) {
    const CENTITYVARIABLE* var = m_aGlobalVars.GetElementMember((int32_t)v);
    size_t at = bytes.size();
    bytes.resize(at + 2 * kBankVarNameUnits + 8 + (size_t)var->dwNumStates * 2 * kBankVarNameUnits, 0);
    for (uint32_t u = 0; u < kBankVarNameUnits; ++u) PutLE16(&bytes[at + 2 * u], var->wszName[u]);
    at += 2 * kBankVarNameUnits;
    PutLE32(&bytes[at], var->dwNumStates);
    at += 4;
    for (uint32_t s = 0; s < var->dwNumStates; ++s, at += 2 * kBankVarNameUnits)
      for (uint32_t u = 0; u < kBankVarNameUnits; ++u) PutLE16(&bytes[at + 2 * u], var->ppStateNames[s][u]);
    PutLE32(&bytes[at], var->dwInitialState);
  }
  WriteObjectData(file, IAUDFourCC("secg"), bytes.data(), (uint32_t)bytes.size());
}

// ---------------------------------------------------------------- name index

bool IAUDContentBank::FindContentObjectByName(const uint16_t* title, uint32_t* pType, uint32_t* pIndex) {
  if (pType) *pType = 0;
  if (pIndex) *pIndex = kIAUD_NO_INDEX;
  if (!title) return false;
  for (SIndexPage* page = m_pIndex; page; page = page->pNext) {
    if (!page->dwCount) continue;
    if (BankTitleOrder(page->entries[0].wszTitle, title) > 0) return false;
    if (BankTitleOrder(page->entries[page->dwCount - 1].wszTitle, title) < 0) continue;
    for (uint32_t i = 0; i < page->dwCount; ++i) {
      if (BankTitleOrder(page->entries[i].wszTitle, title) == 0) {
        if (pType) *pType = page->entries[i].dwType;
        if (pIndex) *pIndex = page->entries[i].dwResourceIndex;
        return true;
      }
    }
    return false;
  }
  return false;
}

// A full page pushes out its last entry, which is inserted again from the
// first page and so lands further on.
void IAUDContentBank::AddIndexEntry(const SIndexEntry* entry) {
  if (!entry) return;
  SIndexEntry moving = *entry;
  moving.wszTitle[127] = 0;
  // Stored pages are taken as they come; should they be out of order, a
  // push-out that keeps coming back ends in a page of its own.
  uint64_t restarts = 0, limit = 1;
  for (SIndexPage* page = m_pIndex; page; page = page->pNext) limit += page->dwCount;
  SIndexPage** tail = &m_pIndex;
  for (SIndexPage* page = m_pIndex; page;) {
    uint32_t at = 0;
    while (at < page->dwCount && BankTitleOrder(page->entries[at].wszTitle, moving.wszTitle) <= 0) ++at;
    if (at < page->dwCount) {
      SIndexEntry pushed = page->entries[SIndexPage::kEntries - 1];
      bool full = page->dwCount == SIndexPage::kEntries;
      uint32_t last = full ? SIndexPage::kEntries - 1 : page->dwCount;
      memmove(&page->entries[at + 1], &page->entries[at], sizeof(SIndexEntry) * (last - at));
      page->entries[at] = moving;
      if (!full) {
        ++page->dwCount;
        return;
      }
      moving = pushed;
      if (++restarts > limit) break;
      page = m_pIndex;
      tail = &m_pIndex;
      continue;
    }
    if (page->dwCount < SIndexPage::kEntries &&
        (!page->pNext ||
         (page->pNext->dwCount && BankTitleOrder(page->pNext->entries[0].wszTitle, moving.wszTitle) > 0))) {
      page->entries[page->dwCount++] = moving;
      return;
    }
    tail = &page->pNext;
    page = page->pNext;
  }
  while (*tail) tail = &(*tail)->pNext;
  SIndexPage* page = BankNewPage();
  if (!page) return;
  page->entries[0] = moving;
  page->dwCount = 1;
  *tail = page;
}

// Looks for the title as FindContentObjectByName does (a whole page is
// searched: a stored index may be out of order), so that what one finds the
// other removes; true when an entry went.
bool IAUDContentBank::RemoveIndexEntry(const uint16_t* title) {
  if (!title) return false;
  for (SIndexPage* page = m_pIndex; page; page = page->pNext) {
    if (!page->dwCount) continue;
    if (BankTitleOrder(page->entries[0].wszTitle, title) > 0) return false;
    if (BankTitleOrder(page->entries[page->dwCount - 1].wszTitle, title) < 0) continue;
    for (uint32_t i = 0; i < page->dwCount; ++i) {
      if (BankTitleOrder(page->entries[i].wszTitle, title) == 0) {
        memmove(&page->entries[i], &page->entries[i + 1], sizeof(SIndexEntry) * (page->dwCount - i - 1));
        --page->dwCount;
        memset(&page->entries[page->dwCount], 0, sizeof(SIndexEntry));
        return true;
      }
    }
    return false;
  }
  return false;
}

// Kinds without a class yet keep empty arrays.
void IAUDContentBank::ReIndexContent() {
  if (!m_bReIndex) return;
  BankReIndex(m_aPaths);
  BankReIndex(m_aRPControllers);
  BankReIndex(m_aTransitions);
  BankReIndex(m_aSoundEvents);
  BankReIndex(m_aSoundQueues);
  BankReIndex(m_aSoundTimelines);
  BankReIndex(m_aSequences);
  BankReIndex(m_aSoundRandomizers);
  BankReIndex(m_aSoundEntities);
  m_bReIndex = false;
}

int32_t IAUDContentBank::GetBankContentSlotCount(uint32_t type) {
  if (type == IAUDFourCC("gbef")) return iaudslots::BankSlotCount(m_aGlobalEffects);
  if (type == IAUDFourCC("sqob")) return iaudslots::BankSlotCount(m_aSequences);
  if (type == IAUDFourCC("snde")) return iaudslots::BankSlotCount(m_aSoundEvents);
  if (type == IAUDFourCC("sdqu")) return iaudslots::BankSlotCount(m_aSoundQueues);
  if (type == IAUDFourCC("sdtl")) return iaudslots::BankSlotCount(m_aSoundTimelines);
  if (type == IAUDFourCC("sdri")) return iaudslots::BankSlotCount(m_aSoundRandomizers);
  if (type == IAUDFourCC("path")) return iaudslots::BankSlotCount(m_aPaths);
  if (type == IAUDFourCC("rpc ")) return iaudslots::BankSlotCount(m_aRPControllers);
  if (type == IAUDFourCC("tran")) return iaudslots::BankSlotCount(m_aTransitions);
  if (type == IAUDFourCC("ento")) return iaudslots::BankSlotCount(m_aSoundEntities);
  return 0;
}

uint32_t IAUDContentBank::FindContent(const IAUDContentObject* object) {
  if (!object) return 0;
  const void* p = object;
  if (BankHolds(m_aGlobalEffects, p)) return IAUDFourCC("gbef");
  if (BankHolds(m_aSequences, p)) return IAUDFourCC("sqob");
  if (BankHolds(m_aSoundEvents, p)) return IAUDFourCC("snde");
  if (BankHolds(m_aSoundQueues, p)) return IAUDFourCC("sdqu");
  if (BankHolds(m_aSoundTimelines, p)) return IAUDFourCC("sdtl");
  if (BankHolds(m_aSoundRandomizers, p)) return IAUDFourCC("sdri");
  if (BankHolds(m_aPaths, p)) return IAUDFourCC("path");
  if (BankHolds(m_aRPControllers, p)) return IAUDFourCC("rpc ");
  if (BankHolds(m_aTransitions, p)) return IAUDFourCC("tran");
  if (BankHolds(m_aSoundEntities, p)) return IAUDFourCC("ento");
  return 0;
}

namespace {
// Every playable kind derives from IAUDContentObject alone, so an object's
// address is that of its base (FindContent compares addresses the same way).
template <class T>
IAUDContentObject* BankPlayableAt(TCArray<T*>& slots, uint32_t index) {
  return reinterpret_cast<IAUDContentObject*>(iaudslots::BankGet(slots, index));
}
}  // namespace

IAUDContentObject* IAUDContentBank::GetPlayableContent(uint32_t type, uint32_t index) {
  if (type == IAUDFourCC("gbef")) return BankPlayableAt(m_aGlobalEffects, index);
  if (type == IAUDFourCC("sqob")) return BankPlayableAt(m_aSequences, index);
  if (type == IAUDFourCC("snde")) return BankPlayableAt(m_aSoundEvents, index);
  if (type == IAUDFourCC("sdqu")) return BankPlayableAt(m_aSoundQueues, index);
  if (type == IAUDFourCC("sdtl")) return BankPlayableAt(m_aSoundTimelines, index);
  if (type == IAUDFourCC("sdri")) return BankPlayableAt(m_aSoundRandomizers, index);
  return nullptr;
}

// ---------------------------------------------------------------- global variables

int32_t IAUDContentBank::GetNumGlobalVarStates(uint32_t var) {
  if (var >= GetNumGlobalVars()) return -1;
  return (int32_t)m_aGlobalVars.GetElementMember((int32_t)var)->dwNumStates;
}

uint16_t* IAUDContentBank::GetGlobalVarName(uint32_t var, uint16_t* buffer, int32_t length) {
  if (var >= GetNumGlobalVars()) return nullptr;
  return BankCopyName(buffer, m_aGlobalVars.GetElementMember((int32_t)var)->wszName, kBankVarNameUnits, length);
}

uint16_t* IAUDContentBank::GetGlobalVarStateName(uint32_t var, uint32_t state, uint16_t* buffer, int32_t length) {
  if (var >= GetNumGlobalVars()) return nullptr;
  CENTITYVARIABLE* v = m_aGlobalVars.GetElementMember((int32_t)var);
  if (state >= v->dwNumStates) return nullptr;
  return BankCopyName(buffer, v->ppStateNames[state], kBankVarNameUnits, length);
}

bool IAUDContentBank::GetCGlobalVarIndex(const uint16_t* name, uint32_t* pIndex) {
  if (!name || !pIndex) return false;
  for (uint32_t i = 0; i < GetNumGlobalVars(); ++i) {
    if (BankNameEquals(m_aGlobalVars.GetElementMember((int32_t)i)->wszName, kBankVarNameUnits, name)) {
      *pIndex = i;
      return true;
    }
  }
  return false;
}

bool IAUDContentBank::GetCGlobalStateIndex(uint32_t var, const uint16_t* name, uint32_t* pIndex) {
  if (!name || !pIndex || var >= GetNumGlobalVars()) return false;
  CENTITYVARIABLE* v = m_aGlobalVars.GetElementMember((int32_t)var);
  for (uint32_t s = 0; s < v->dwNumStates; ++s) {
    if (BankNameEquals(v->ppStateNames[s], kBankVarNameUnits, name)) {
      *pIndex = s;
      return true;
    }
  }
  return false;
}

int32_t IAUDContentBank::GetGlobalVarState(uint32_t var) {
  if (var >= GetNumGlobalVars()) return -1;
  return (int32_t)m_aGlobalVars.GetElementMember((int32_t)var)->dwCurrentState;
}

int32_t IAUDContentBank::GetGlobalVarState(const uint16_t* name) {
  uint32_t var = 0;
  if (!GetCGlobalVarIndex(name, &var)) return -1;
  return GetGlobalVarState(var);
}

bool IAUDContentBank::SetGlobalVarState(uint32_t var, uint32_t state) {
  if (var >= GetNumGlobalVars()) return false;
  CENTITYVARIABLE* v = m_aGlobalVars.GetElementMember((int32_t)var);
  if (state >= v->dwNumStates) return false;
  if (state == v->dwCurrentState) return true;
  v->dwCurrentState = state;
  RunEntitiesOnGlobalChange(var, nullptr);
  return true;
}

void IAUDContentBank::SetGlobalVarStateFromEntity(uint32_t var, uint32_t state, CEntity* actor) {
  if (var >= GetNumGlobalVars()) return;
  m_aGlobalVars.GetElementMember((int32_t)var)->dwCurrentState = state;
  RunEntitiesOnGlobalChange(var, actor);
}

// Newest instance first. An instance already running its actions (the
// set-variable result that led here came from it, directly or through
// another instance) does not run again: it keeps the mark instead.
void IAUDContentBank::RunEntitiesOnGlobalChange(uint32_t var, CEntity* skip) {
  for (CEntity* e = m_pFirstEntity; e; e = e->GetPostEntity()) {
    if (var == 0xFFFFFFFFu)
      e->MarkAllGlobalVars();
    else
      e->MarkGlobalVar(var);
  }
  for (CEntity* e = m_pFirstEntity; e; e = e->GetPostEntity()) {
    if (e == skip || e->IsRunning()) continue;
    e->RunStateMachine();
    if (!e->IsSuspended()) e->ClearVarRefArrays();
  }
}

void IAUDContentBank::SuspendAllEntities() {
  for (CEntity* e = m_pFirstEntity; e; e = e->GetPostEntity()) e->SuspendEntity();
}

void IAUDContentBank::ProcessAllEntities() {
  for (CEntity* e = m_pFirstEntity; e; e = e->GetPostEntity()) e->ProcessEntity();
}

bool IAUDContentBank::SetGlobalVarState(const uint16_t* name, const uint16_t* state) {
  uint32_t var = 0, index = 0;
  if (!GetCGlobalVarIndex(name, &var) || !GetCGlobalStateIndex(var, state, &index)) return false;
  return SetGlobalVarState(var, index);
}

void IAUDContentBank::ResetEntityGlobalVars() {
  for (int32_t i = 0; i < m_aGlobalVars.GetElementCount(); ++i) {
    CENTITYVARIABLE* v = m_aGlobalVars.GetElementMember(i);
    v->dwCurrentState = v->dwInitialState;
  }
  RunEntitiesOnGlobalChange(0xFFFFFFFFu, nullptr);
}

// ---------------------------------------------------------------- kind arrays

CGlobalEffect* IAUDContentBank::GetGlobalEffect(uint32_t index) { return iaudslots::BankGet(m_aGlobalEffects, index); }
int32_t IAUDContentBank::AddNewGlobalEffect(CGlobalEffect* effect) { return iaudslots::BankAddNew(m_aGlobalEffects, effect); }
void IAUDContentBank::AddGlobalEffect(CGlobalEffect* effect, uint32_t index) {
  iaudslots::BankAddAt(m_aGlobalEffects, effect, index);
}
void IAUDContentBank::NullOutGlobalEffect(uint32_t index) { iaudslots::BankNullOut(m_aGlobalEffects, index); }

int32_t IAUDContentBank::AddNewPath(CPath* path) { return iaudslots::BankAddNew(m_aPaths, path); }
void IAUDContentBank::AddPath(CPath* path, uint32_t index) { iaudslots::BankAddAt(m_aPaths, path, index); }
CPath* IAUDContentBank::GetPath(uint32_t index) { return iaudslots::BankGet(m_aPaths, index); }
void IAUDContentBank::NullOutPath(uint32_t index) { iaudslots::BankNullOut(m_aPaths, index); }

int32_t IAUDContentBank::AddNewRPController(CRPController* rpc) { return iaudslots::BankAddNew(m_aRPControllers, rpc); }
void IAUDContentBank::AddRPController(CRPController* rpc, uint32_t index) { iaudslots::BankAddAt(m_aRPControllers, rpc, index); }
CRPController* IAUDContentBank::GetRPController(uint32_t index) { return iaudslots::BankGet(m_aRPControllers, index); }
void IAUDContentBank::NullOutRPController(uint32_t index) { iaudslots::BankNullOut(m_aRPControllers, index); }

int32_t IAUDContentBank::AddNewTransition(CTransition* transition) { return iaudslots::BankAddNew(m_aTransitions, transition); }
void IAUDContentBank::AddTransition(CTransition* transition, uint32_t index) {
  iaudslots::BankAddAt(m_aTransitions, transition, index);
}
int32_t IAUDContentBank::AddNewSoundRandomizer(CSoundRandomizer* randomizer) {
  return iaudslots::BankAddNew(m_aSoundRandomizers, randomizer);
}
void IAUDContentBank::AddSoundRandomizer(CSoundRandomizer* randomizer, uint32_t index) {
  iaudslots::BankAddAt(m_aSoundRandomizers, randomizer, index);
}
CSoundRandomizer* IAUDContentBank::GetSoundRandomizer(uint32_t index) {
  return iaudslots::BankGet(m_aSoundRandomizers, index);
}
void IAUDContentBank::NullOutSoundRandomizer(uint32_t index) { iaudslots::BankNullOut(m_aSoundRandomizers, index); }

int32_t IAUDContentBank::AddNewSoundEntity(CSoundEntity* entity) { return iaudslots::BankAddNew(m_aSoundEntities, entity); }
void IAUDContentBank::AddSoundEntity(CSoundEntity* entity, uint32_t index) {
  iaudslots::BankAddAt(m_aSoundEntities, entity, index);
}
CSoundEntity* IAUDContentBank::GetSoundEntity(uint32_t index) { return iaudslots::BankGet(m_aSoundEntities, index); }
void IAUDContentBank::NullOutSoundEntity(uint32_t index) { iaudslots::BankNullOut(m_aSoundEntities, index); }

CTransition* IAUDContentBank::GetTransition(uint32_t index) { return iaudslots::BankGet(m_aTransitions, index); }
void IAUDContentBank::NullOutTransition(uint32_t index) { iaudslots::BankNullOut(m_aTransitions, index); }

int32_t IAUDContentBank::AddNewSoundEvent(CSoundEvent* event) { return iaudslots::BankAddNew(m_aSoundEvents, event); }
void IAUDContentBank::AddSoundEvent(CSoundEvent* event, uint32_t index) {
  iaudslots::BankAddAt(m_aSoundEvents, event, index);
}
CSoundEvent* IAUDContentBank::GetSoundEvent(uint32_t index) { return iaudslots::BankGet(m_aSoundEvents, index); }
void IAUDContentBank::NullOutSoundEvent(uint32_t index) { iaudslots::BankNullOut(m_aSoundEvents, index); }
int32_t IAUDContentBank::AddNewSoundQueue(CSoundQueue* queue) { return iaudslots::BankAddNew(m_aSoundQueues, queue); }
void IAUDContentBank::AddSoundQueue(CSoundQueue* queue, uint32_t index) {
  iaudslots::BankAddAt(m_aSoundQueues, queue, index);
}
CSoundQueue* IAUDContentBank::GetSoundQueue(uint32_t index) { return iaudslots::BankGet(m_aSoundQueues, index); }
void IAUDContentBank::NullOutSoundQueue(uint32_t index) { iaudslots::BankNullOut(m_aSoundQueues, index); }
int32_t IAUDContentBank::AddNewSoundTimeline(CSoundTimeline* timeline) {
  return iaudslots::BankAddNew(m_aSoundTimelines, timeline);
}
void IAUDContentBank::AddSoundTimeline(CSoundTimeline* timeline, uint32_t index) {
  iaudslots::BankAddAt(m_aSoundTimelines, timeline, index);
}
CSoundTimeline* IAUDContentBank::GetSoundTimeline(uint32_t index) { return iaudslots::BankGet(m_aSoundTimelines, index); }
void IAUDContentBank::NullOutSoundTimeline(uint32_t index) { iaudslots::BankNullOut(m_aSoundTimelines, index); }
int32_t IAUDContentBank::AddNewSequence(CSequence* sequence) { return iaudslots::BankAddNew(m_aSequences, sequence); }
void IAUDContentBank::AddSequence(CSequence* sequence, uint32_t index) {
  iaudslots::BankAddAt(m_aSequences, sequence, index);
}
CSequence* IAUDContentBank::GetSequence(uint32_t index) { return iaudslots::BankGet(m_aSequences, index); }
void IAUDContentBank::NullOutSequence(uint32_t index) { iaudslots::BankNullOut(m_aSequences, index); }
