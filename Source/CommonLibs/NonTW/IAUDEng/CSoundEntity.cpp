#include "NonTW/IAUDEng/CSoundEntity.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "TWUtil/ByteOrder.h"

namespace soundentity {

const uint32_t kNameUnits = 32;
const uint32_t kNameBytes = 2 * kNameUnits;
const uint32_t kRecordWords = 7;

// A name field of 32 units; the last unit is always 0, so a full field keeps
// 31 units and stays terminated.
uint16_t* ReadName(const uint8_t* at) {
  uint16_t* name = static_cast<uint16_t*>(calloc(kNameUnits, sizeof(uint16_t)));
  if (!name) return nullptr;
  for (uint32_t u = 0; u + 1 < kNameUnits; ++u) name[u] = GetLE16(at + 2 * u);
  return name;
}

void FreeVariable(CENTITYVARIABLE& var) {
  if (var.ppStateNames) {
    for (uint32_t s = 0; s < var.dwNumStates; ++s) free(var.ppStateNames[s]);
    free(var.ppStateNames);
  }
  var.ppStateNames = nullptr;
  var.dwNumStates = 0;
}

bool NameEquals(const uint16_t* stored, const uint16_t* name) {
  return stored && IAUDCompareString(stored, name) == 0;
}

void PutName(std::vector<uint8_t>& bytes, const uint16_t* name) {
  size_t at = bytes.size();
  bytes.resize(at + kNameBytes, 0);
  for (uint32_t u = 0; u < kNameUnits && name && name[u]; ++u) PutLE16(&bytes[at + 2 * u], name[u]);
}

void PutLong(std::vector<uint8_t>& bytes, uint32_t v) {
  size_t at = bytes.size();
  bytes.resize(at + 4);
  PutLE32(&bytes[at], v);
}

}  // namespace soundentity

CSoundEntity::CSoundEntity(IAUDContentBank* bank) : IAUDContentObject(bank) {
  SetChunk(IAUDFourCC("LIST"), IAUDFourCC("ento"));
}

CSoundEntity::~CSoundEntity() {
  IAUDContentBank* bank = GetContentBank();
  if (bank && (int32_t)GetResourceIndex() >= 0) bank->NullOutSoundEntity(GetResourceIndex());
  DeleteArrays();
}

void CSoundEntity::DeleteArrays() {
  for (int32_t i = 0; i < m_aVariables.GetElementCount(); ++i) soundentity::FreeVariable(*m_aVariables.GetElementMember(i));
  for (int32_t i = 0; i < m_aActions.GetElementCount(); ++i) {
    CENTITYACTION* a = m_aActions.GetElementMember(i);
    free(a->pConditions);
    free(a->pResults);
  }
  m_aVariables.RemoveAllElements();
  m_aActions.RemoveAllElements();
  m_aPlayers.RemoveAllElements();
}

// ---------------------------------------------------------------- files

void CSoundEntity::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentObject::UnArchiveObjectDataChunk(file, chunk);
  uint32_t id = chunk.dwChunkId;
  if (id != IAUDFourCC("secl") && id != IAUDFourCC("secp") && id != IAUDFourCC("secm") && id != IAUDFourCC("seca"))
    return;
  // The reader keeps every chunk inside the file, so its size is bounded.
  std::vector<uint8_t> data(chunk.dwSize);
  IAUDFileSeek(file, chunk.dwDataPosition);
  if (chunk.dwSize && IAUDFileRead(data.data(), chunk.dwSize, 1, file) != 1) return;
  if (id == IAUDFourCC("secl")) {
    ReadVariables(data.data(), chunk.dwSize);
  } else if (id == IAUDFourCC("secp")) {
    ReadPlayers(data.data(), chunk.dwSize);
  } else if (id == IAUDFourCC("secm")) {
    if (chunk.dwSize >= 4) m_nMasterPlayer = (int32_t)GetLE32(data.data());
  } else {
    ReadActions(data.data(), chunk.dwSize);
  }
}

// Each record is taken only when it lies whole inside the chunk; the count
// never reads past the chunk's end.
void CSoundEntity::ReadVariables(const uint8_t* data, uint32_t size) {
  using namespace soundentity;
  if (size < 4) return;
  uint32_t count = GetLE32(data);
  uint64_t at = 4;
  for (uint32_t v = 0; v < count; ++v) {
    if (at + kNameBytes + 4 > size) return;
    uint32_t states = GetLE32(data + at + kNameBytes);
    uint64_t end = at + kNameBytes + 4 + (uint64_t)states * kNameBytes + 4;
    if (end > size) return;
    CENTITYVARIABLE var;
    memset(&var, 0, sizeof(var));
    for (uint32_t u = 0; u + 1 < kNameUnits; ++u) var.wszName[u] = GetLE16(data + at + 2 * u);
    bool ok = true;
    if (states) {
      var.ppStateNames = static_cast<uint16_t**>(calloc(states, sizeof(uint16_t*)));
      ok = var.ppStateNames != nullptr;
      var.dwNumStates = ok ? states : 0;
      for (uint32_t s = 0; s < var.dwNumStates && ok; ++s) {
        var.ppStateNames[s] = ReadName(data + at + kNameBytes + 4 + (uint64_t)s * kNameBytes);
        ok = var.ppStateNames[s] != nullptr;
      }
    }
    var.dwInitialState = GetLE32(data + end - 4);
    var.dwCurrentState = var.dwInitialState;
    if (!ok || m_aVariables.AddElement(&var) < 0) {
      FreeVariable(var);
      return;
    }
    at = end;
  }
}

void CSoundEntity::ReadPlayers(const uint8_t* data, uint32_t size) {
  if (size < 4) return;
  uint32_t count = GetLE32(data);
  for (uint32_t i = 0; i < count && 4 + 4 * (uint64_t)(i + 1) <= size; ++i) {
    CENTITYPLAYER p{GetLE32(data + 4 + 4 * (uint64_t)i)};
    if (m_aPlayers.AddElement(&p) < 0) return;
  }
}

void CSoundEntity::ReadActions(const uint8_t* data, uint32_t size) {
  using namespace soundentity;
  const uint64_t recordBytes = 4 * kRecordWords;
  if (size < 4) return;
  uint32_t count = GetLE32(data);
  uint64_t at = 4;
  for (uint32_t a = 0; a < count; ++a) {
    if (at + 4 > size) return;
    uint32_t conditions = GetLE32(data + at);
    uint64_t resultsAt = at + 4 + conditions * recordBytes;
    if (resultsAt + 4 > size) return;
    uint32_t results = GetLE32(data + resultsAt);
    uint64_t end = resultsAt + 4 + results * recordBytes;
    if (end > size) return;
    CENTITYACTION action{conditions, nullptr, results, nullptr};
    if (conditions) action.pConditions = static_cast<CENTITYCONDITION*>(calloc(conditions, sizeof(CENTITYCONDITION)));
    if (results) action.pResults = static_cast<CENTITYRESULT*>(calloc(results, sizeof(CENTITYRESULT)));
    if ((conditions && !action.pConditions) || (results && !action.pResults)) {
      free(action.pConditions);
      free(action.pResults);
      return;
    }
    for (uint32_t c = 0; c < conditions; ++c) {
      uint32_t w[kRecordWords];
      for (uint32_t k = 0; k < kRecordWords; ++k) w[k] = GetLE32(data + at + 4 + c * recordBytes + 4 * k);
      action.pConditions[c] = CENTITYCONDITION{w[0], w[1], w[2], w[3], w[4], w[5], w[6]};
    }
    for (uint32_t r = 0; r < results; ++r) {
      CENTITYRESULT& out = action.pResults[r];
      const uint8_t* p = data + resultsAt + 4 + r * recordBytes;
      out.dwType = GetLE32(p);
      out.dwPlayer = GetLE32(p + 4);
      for (uint32_t k = 0; k < 5; ++k) out.dwValue[k] = GetLE32(p + 8 + 4 * k);
    }
    if (m_aActions.AddElement(&action) < 0) {
      free(action.pConditions);
      free(action.pResults);
      return;
    }
    at = end;
  }
}

void CSoundEntity::ProcessUnArchivedObject() {
  IAUDContentObject::ProcessUnArchivedObject();
  if (IAUDContentBank* bank = GetContentBank()) {
    if ((int32_t)GetResourceIndex() < 0)
      SetResourceIndex((uint32_t)bank->AddNewSoundEntity(this));
    else
      bank->AddSoundEntity(this, GetResourceIndex());
  }
  m_bLoaded = true;
}

void CSoundEntity::ArchiveObjectDataChunks(void* file) {
  using namespace soundentity;
  IAUDContentObject::ArchiveObjectDataChunks(file);
  if (!m_bLoaded) return;
  std::vector<uint8_t> bytes;
  PutLong(bytes, GetNumLocalVars());
  for (uint32_t v = 0; v < GetNumLocalVars(); ++v) {
    const CENTITYVARIABLE* var = GetLocalVar(v);
    PutName(bytes, var->wszName);
    PutLong(bytes, var->dwNumStates);
    for (uint32_t s = 0; s < var->dwNumStates; ++s) PutName(bytes, var->ppStateNames[s]);
    PutLong(bytes, var->dwInitialState);
  }
  WriteObjectData(file, IAUDFourCC("secl"), bytes.data(), (uint32_t)bytes.size());
  bytes.clear();
  PutLong(bytes, GetNumPlayers());
  for (uint32_t p = 0; p < GetNumPlayers(); ++p) PutLong(bytes, GetPlayer(p)->dwRPCIndex);
  WriteObjectData(file, IAUDFourCC("secp"), bytes.data(), (uint32_t)bytes.size());
  WriteLongChunk(file, IAUDFourCC("secm"), (uint32_t)m_nMasterPlayer);
  bytes.clear();
  PutLong(bytes, GetNumActions());
  for (uint32_t a = 0; a < GetNumActions(); ++a) {
    const CENTITYACTION* action = GetAction(a);
    PutLong(bytes, action->dwNumConditions);
    for (uint32_t c = 0; c < action->dwNumConditions; ++c) {
      const CENTITYCONDITION& k = action->pConditions[c];
      for (uint32_t w : {k.dwOpens, k.dwScope, k.dwVariable, k.dwCompare, k.dwValue, k.dwCloses, k.dwJoin})
        PutLong(bytes, w);
    }
    PutLong(bytes, action->dwNumResults);
    for (uint32_t r = 0; r < action->dwNumResults; ++r) {
      const CENTITYRESULT& k = action->pResults[r];
      PutLong(bytes, k.dwType);
      PutLong(bytes, k.dwPlayer);
      for (uint32_t w : k.dwValue) PutLong(bytes, w);
    }
  }
  WriteObjectData(file, IAUDFourCC("seca"), bytes.data(), (uint32_t)bytes.size());
}

// ---------------------------------------------------------------- lookups

bool CSoundEntity::GetCLocalVarIndex(const uint16_t* name, uint32_t* pIndex) const {
  if (!name || !pIndex) return false;
  for (uint32_t i = 0; i < GetNumLocalVars(); ++i) {
    if (soundentity::NameEquals(GetLocalVar(i)->wszName, name)) {
      *pIndex = i;
      return true;
    }
  }
  return false;
}

bool CSoundEntity::GetCLocalStateIndex(uint32_t var, const uint16_t* name, uint32_t* pIndex) const {
  if (!name || !pIndex || var >= GetNumLocalVars()) return false;
  const CENTITYVARIABLE* v = GetLocalVar(var);
  for (uint32_t s = 0; s < v->dwNumStates; ++s) {
    if (soundentity::NameEquals(v->ppStateNames[s], name)) {
      *pIndex = s;
      return true;
    }
  }
  return false;
}
