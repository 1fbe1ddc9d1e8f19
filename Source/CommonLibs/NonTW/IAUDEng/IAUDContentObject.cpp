#include "NonTW/IAUDEng/IAUDContentObject.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDBankObject.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDMarkerGrid.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "TWUtil/ByteOrder.h"

namespace {

const uint32_t kContentRIFF = IAUDFourCC("RIFF");
const uint32_t kContentLIST = IAUDFourCC("LIST");
const uint32_t kContentFolder = IAUDFourCC("fldr");
const uint32_t kLegacyMarkerSize = 308;
// Lists nested deeper than this are skipped whole: damaged files cannot
// recurse without bound.
const int kContentMaxDepth = 128;

bool ContentIsList(uint32_t id) { return id == kContentRIFF || id == kContentLIST; }

bool ContentIsContainerKind(uint32_t type) {
  return type == IAUDFourCC("isac") || type == IAUDFourCC("icbf") || type == IAUDFourCC("isbf") ||
         type == IAUDFourCC("ealo") || type == kContentFolder;
}

}  // namespace

IAUDContentObject::IAUDContentObject(IAUDBankObject* pBank)
    : m_pParent(nullptr),
      m_pBefore(nullptr),
      m_pAfter(nullptr),
      m_pChild(nullptr),
      m_pBank(pBank),
      m_Chunk{0, 0, 0, 0},
      m_wszTitle{},
      m_dwResourceIndex(kIAUD_NO_INDEX),
      m_dwNumTracks(1),
      m_dwGlobalEffectIndex(kIAUD_NO_INDEX),
      m_dwBaseTimeSignature(0x00040004),
      m_dwBaseTempo(500000),
      m_dwBaseTimeCode(0x00190028),
      m_dwMarkerDivision(0xE0000000),
      m_nNumMarkers(0),
      m_pMarkers(nullptr),
      m_dwSyncStartType(0),
      m_dwSyncStartMultiple(1),
      m_nGroupIndex(-1),
      m_dwLoopCount(0),
      m_flGainBoost(1.0f) {}

IAUDContentObject::~IAUDContentObject() {
  Unlink();
  free(m_pMarkers);
}

void IAUDContentObject::GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) {
  if (pMin) *pMin = 0;
  if (pMax) *pMax = 0;
}

// ---------------------------------------------------------------- tree

void IAUDContentObject::LinkObject(IAUDContentObject* child) {
  if (!child) return;
  if (child->m_pParent) child->Unlink();
  child->m_pParent = this;
  child->m_pBefore = nullptr;
  child->m_pAfter = nullptr;
  if (!m_pChild) {
    m_pChild = child;
    return;
  }
  IAUDContentObject* last = m_pChild;
  if (child->GetObjectType() != kContentFolder) {
    for (IAUDContentObject* o = m_pChild; o; o = o->m_pAfter) {
      if (o->GetObjectType() == kContentFolder) {
        child->m_pAfter = o;
        child->m_pBefore = o->m_pBefore;
        if (o->m_pBefore)
          o->m_pBefore->m_pAfter = child;
        else
          m_pChild = child;
        o->m_pBefore = child;
        return;
      }
      last = o;
    }
  } else {
    while (last->m_pAfter) last = last->m_pAfter;
  }
  last->m_pAfter = child;
  child->m_pBefore = last;
}

IAUDContentObject* IAUDContentObject::Unlink() {
  if (m_pBefore)
    m_pBefore->m_pAfter = m_pAfter;
  else if (m_pParent && m_pParent->m_pChild == this)
    m_pParent->m_pChild = m_pAfter;
  if (m_pAfter) m_pAfter->m_pBefore = m_pBefore;
  m_pParent = m_pBefore = m_pAfter = nullptr;
  return this;
}

bool IAUDContentObject::IsIndexedKind() const {
  static const uint32_t kinds[] = {IAUDFourCC("rpc "), IAUDFourCC("sqob"), IAUDFourCC("snde"), IAUDFourCC("gbef"),
                                   IAUDFourCC("path"), IAUDFourCC("sdri"), IAUDFourCC("sdtl"), IAUDFourCC("tran"),
                                   IAUDFourCC("ento"), IAUDFourCC("sdqu")};
  uint32_t type = GetObjectType();
  for (uint32_t k : kinds)
    if (k == type) return true;
  return false;
}

void IAUDContentObject::RemoveTitleFromIndex() {
  IAUDContentBank* bank = GetContentBank();
  if (!bank || !m_wszTitle[0] || !IsIndexedKind()) return;
  while (bank->RemoveIndexEntry(m_wszTitle)) {
  }
}

void IAUDContentObject::RemoveObject() {
  IAUDContentObject* child = m_pChild;
  while (child) {
    IAUDContentObject* next = child->m_pAfter;
    child->RemoveObject();
    child = next;
  }
  RemoveTitleFromIndex();
  DeleteObject();
}

IAUDContentObject* IAUDContentObject::CreateChildFolder() {
  if (!m_pBank || !ContentIsContainerKind(GetObjectType())) return nullptr;
  IAUDContentObject* folder = m_pBank->CreateContentObject(kContentFolder);
  if (!folder) return nullptr;
  folder->SetChunk(kContentLIST, kContentFolder);
  LinkObject(folder);
  folder->ProcessUnArchivedObject();
  return folder;
}

uint32_t IAUDContentObject::GetObjectType() const {
  return ContentIsList(m_Chunk.dwChunkId) ? m_Chunk.dwFormType : m_Chunk.dwChunkId;
}

IAUDContentObject* IAUDContentObject::ContentByType(uint32_t type, uint32_t index, bool bQueues) const {
  if (type == IAUDFourCC("samp") || type == IAUDFourCC("bfob")) return GetSample(index);
  IAUDContentBank* bank = GetContentBank();
  if (!bank) return nullptr;
  if (type == IAUDFourCC("snde")) return bank->GetSoundEvent(index);
  if (bQueues && type == IAUDFourCC("sdqu")) return bank->GetSoundQueue(index);
  if (type == IAUDFourCC("sdtl")) return bank->GetSoundTimeline(index);
  if (type == IAUDFourCC("sqob")) return bank->GetSequence(index);
  if (type == IAUDFourCC("gbef")) return bank->GetGlobalEffect(index);
  return nullptr;
}

IAUDContentBank* IAUDContentObject::GetContentBank() const {
  if (!m_pBank) return nullptr;
  uint32_t type = m_pBank->GetObjectType();
  if (type == IAUDFourCC("isac") || type == IAUDFourCC("icbf") || type == IAUDFourCC("ealo"))
    return static_cast<IAUDContentBank*>(m_pBank);
  return nullptr;
}

CGlobalEffect* IAUDContentObject::GetContentGlobalEffect() const {
  IAUDContentBank* bank = GetContentBank();
  if (m_dwGlobalEffectIndex == kIAUD_NO_INDEX || !bank) return nullptr;
  return bank->GetGlobalEffect(m_dwGlobalEffectIndex);
}

int IAUDContentObject::Depth() const {
  int depth = 0;
  for (const IAUDContentObject* o = m_pParent; o; o = o->m_pParent) ++depth;
  return depth;
}

// ---------------------------------------------------------------- titles and data

void IAUDContentObject::SetTitle(const uint16_t* title) {
  RemoveTitleFromIndex();
  memset(m_wszTitle, 0, sizeof(m_wszTitle));
  if (title) {
    for (int i = 0; i < 127 && title[i]; ++i) m_wszTitle[i] = title[i];
  }
  IAUDContentBank* bank = GetContentBank();
  if (bank && m_wszTitle[0]) {
    SIndexEntry entry;
    memcpy(entry.wszTitle, m_wszTitle, sizeof(entry.wszTitle));
    entry.dwType = GetObjectType();
    entry.dwResourceIndex = GetResourceIndex();
    if (IsIndexedKind()) bank->AddIndexEntry(&entry);
  }
}

void IAUDContentObject::GetObjectData(OBJECTDATA* data) {
  if (!data) return;
  memcpy(data->wszTitle, m_wszTitle, sizeof(data->wszTitle));
  data->dwGlobalEffectIndex = m_dwGlobalEffectIndex;
  data->dwNumTracks = m_dwNumTracks;
  data->dwBaseTimeCode = m_dwBaseTimeCode;
  data->dwBaseTempo = m_dwBaseTempo;
  data->dwBaseTimeSignature = m_dwBaseTimeSignature;
  data->nGroupIndex = m_nGroupIndex;
  data->syncStart.dwType = m_dwSyncStartType;
  data->syncStart.dwMultiple = m_dwSyncStartMultiple;
  data->nNumMarkers = m_nNumMarkers;
}

void IAUDContentObject::SetObjectData(OBJECTDATA* data) {
  if (!data) return;
  SetTitle(data->wszTitle);
  SetGlobalEffectIndex(data->dwGlobalEffectIndex);
  m_dwNumTracks = data->dwNumTracks;
  SetBaseTimeCode(data->dwBaseTimeCode);
  SetBaseTempo(data->dwBaseTempo);
  SetBaseTimeSignature(data->dwBaseTimeSignature);
  SetGroupIndex(data->nGroupIndex);
  SetSyncStart(data->syncStart);
}

// ---------------------------------------------------------------- markers

void IAUDContentObject::SetMarkers(const IAUDContentMarker* markers, int32_t count) {
  free(m_pMarkers);
  m_pMarkers = nullptr;
  m_nNumMarkers = 0;
  if (!markers || count <= 0) return;
  m_pMarkers = static_cast<IAUDContentMarker*>(malloc(sizeof(IAUDContentMarker) * (size_t)count));
  if (!m_pMarkers) return;
  memcpy(m_pMarkers, markers, sizeof(IAUDContentMarker) * (size_t)count);
  m_nNumMarkers = count;
}

IAUDContentMarker* IAUDContentObject::GetMarkerByIndex(int32_t index) const {
  return (index >= 0 && index < m_nNumMarkers) ? &m_pMarkers[index] : nullptr;
}

int32_t IAUDContentObject::FindMarkerIndex(const IAUDContentMarker* marker) const {
  for (int32_t i = 0; i < m_nNumMarkers; ++i)
    if (&m_pMarkers[i] == marker) return i;
  return 0;
}

int32_t IAUDContentObject::FindMarkerIndexFromMetric(uint32_t metric) const {
  for (int32_t i = 0; i < m_nNumMarkers; ++i) {
    if (m_pMarkers[i].dwMetricPosition == metric) return i;
    if (m_pMarkers[i].dwMetricPosition > metric) return i > 0 ? i - 1 : 0;
  }
  return 0;
}

bool IAUDContentObject::ProcessMetricClocks(CPlayer* player) {
  if (!player) return true;
  return IAUDProcessMarkerGrid(m_dwMarkerDivision, *player);
}

// ---------------------------------------------------------------- RIFF access

bool IAUDContentObject::DescendFile(void* file, RiffChunk* chunk, RiffChunk* parent) {
  if (parent && IAUDFileTell(file) >= ChunkEnd(*parent)) return false;
  uint32_t header[2];
  if (IAUDFileReadLongs(header, 2, file) != 2) return false;
  chunk->dwChunkId = header[0];
  chunk->dwSize = header[1];
  chunk->dwDataPosition = IAUDFileTell(file);
  if (ContentIsList(chunk->dwChunkId)) return IAUDFileReadLongs(&chunk->dwFormType, 1, file) == 1;
  chunk->dwFormType = 0;
  return true;
}

bool IAUDContentObject::AscendFile(void* file, RiffChunk* chunk, RiffChunk* parent) {
  if (!chunk) return false;
  uint64_t next = ChunkEnd(*chunk) + (chunk->dwSize & 1);
  if (next > 0xFFFFFFFFull) return false;
  if (parent && ChunkEnd(*chunk) > ChunkEnd(*parent)) return false;
  return IAUDFileSeek(file, (uint32_t)next);
}

void IAUDContentObject::CreateArchiveObject(void* file, RiffChunk* chunk) {
  if (!chunk) return;
  uint32_t header[3] = {chunk->dwChunkId, 0, chunk->dwFormType};
  IAUDFileWriteLongs(header, ContentIsList(chunk->dwChunkId) ? 3 : 2, file);
  chunk->dwDataPosition = IAUDFileTell(file);
}

bool IAUDContentObject::AscendArchiveObject(void* file, RiffChunk* chunk) {
  if (!chunk) return false;
  bool list = ContentIsList(chunk->dwChunkId);
  uint32_t size = IAUDFileTell(file) - chunk->dwDataPosition + (list ? 4 : 0);
  chunk->dwSize = size;
  IAUDFileSeek(file, chunk->dwDataPosition - (list ? 8 : 4));
  IAUDFileWriteLongs(&size, 1, file);
  IAUDFileSeek(file, chunk->dwDataPosition + size - (list ? 4 : 0));
  if (size & 1) {
    uint8_t pad = 0;
    IAUDFileWrite(&pad, 1, 1, file);
  }
  return true;
}

void IAUDContentObject::WriteObjectData(void* file, uint32_t id, const void* data, uint32_t size) {
  RiffChunk chunk{0, id, 0, 0};
  CreateArchiveObject(file, &chunk);
  if (size) IAUDFileWrite(data, 1, size, file);
  AscendArchiveObject(file, &chunk);
}

uint32_t IAUDContentObject::ReadChunkLongs(void* file, const RiffChunk& chunk, uint32_t* out, uint32_t count) {
  uint32_t n = chunk.dwSize / 4;
  if (n > count) n = count;
  return (uint32_t)IAUDFileReadLongs(out, n, file);
}

void IAUDContentObject::WriteLongChunk(void* file, uint32_t id, uint32_t value) {
  uint8_t bytes[4];
  PutLE32(bytes, value);
  WriteObjectData(file, id, bytes, 4);
}

// ---------------------------------------------------------------- reading

void IAUDContentObject::UnArchiveObject(void* file, RiffChunk& chunk) {
  m_Chunk = chunk;
  // Chunks must lie inside this object and inside the file.
  uint64_t fileEnd = IAUDFileLength(file);
  uint64_t end = ChunkEnd(m_Chunk) < fileEnd ? ChunkEnd(m_Chunk) : fileEnd;
  RiffChunk sub;
  while (DescendFile(file, &sub, &m_Chunk)) {
    if (ChunkEnd(sub) > end) break;
    if (sub.dwChunkId == kContentLIST) {
      IAUDContentObject* child = nullptr;
      if (m_pBank && Depth() < kContentMaxDepth) child = m_pBank->CreateContentObject(sub.dwFormType);
      if (child) {
        LinkObject(child);
        child->UnArchiveObject(file, sub);
        child->ProcessUnArchivedObject();
      }
    } else {
      UnArchiveObjectDataChunk(file, sub);
    }
    if (!AscendFile(file, &sub, &m_Chunk)) break;
  }
}

void IAUDContentObject::ReadMarkers(void* file, const RiffChunk& chunk) {
  SetMarkers(nullptr, 0);
  uint32_t count = chunk.dwSize / sizeof(IAUDContentMarker);
  if (!count || count * sizeof(IAUDContentMarker) != chunk.dwSize) return;
  IAUDContentMarker* markers = static_cast<IAUDContentMarker*>(calloc(count, sizeof(IAUDContentMarker)));
  if (!markers) return;
  for (uint32_t i = 0; i < count; ++i) {
    if (IAUDFileReadShorts(markers[i].wszTitle, 128, file) != 128 ||
        IAUDFileReadLongs(&markers[i].dwContentPosition, 10, file) != 10) {
      free(markers);
      return;
    }
    markers[i].wszTitle[127] = 0;
  }
  m_pMarkers = markers;
  m_nNumMarkers = (int32_t)count;
}

void IAUDContentObject::ReadLegacyMarkers(void* file, const RiffChunk& chunk) {
  SetMarkers(nullptr, 0);
  uint32_t count = chunk.dwSize / kLegacyMarkerSize;
  if (!count || count * kLegacyMarkerSize != chunk.dwSize) return;
  IAUDContentMarker* markers = static_cast<IAUDContentMarker*>(calloc(count, sizeof(IAUDContentMarker)));
  if (!markers) return;
  bool buffer = GetObjectType() == IAUDFourCC("bfob");
  uint8_t record[kLegacyMarkerSize];
  for (uint32_t i = 0; i < count; ++i) {
    if (IAUDFileRead(record, kLegacyMarkerSize, 1, file) != 1) {
      free(markers);
      return;
    }
    IAUDContentMarker& m = markers[i];
    for (int u = 0; u < 127; ++u) {
      m.wszTitle[u] = GetLE16(record + 2 * u);
      if (!m.wszTitle[u]) break;
    }
    m.dwContentPosition = GetLE32(record + (buffer ? 292 : 256));
    m.dwMusicalPosition = GetLE32(record + 264);
    m.dwMetricPosition = GetLE32(record + 268);
    m.dwTempo = GetLE32(record + 272);
    m.dwTimeSignature = GetLE32(record + 276);
    m.dwTimeCode = GetLE32(record + 280);
    m.dwTotalSubframes = GetLE32(record + 284);
    m.nRepeatLimit = (int32_t)GetLE32(record + 288);
  }
  m_pMarkers = markers;
  m_nNumMarkers = (int32_t)count;
}

void IAUDContentObject::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  const uint32_t id = chunk.dwChunkId;
  if (id == IAUDFourCC("titl")) {
    memset(m_wszTitle, 0, sizeof(m_wszTitle));
    uint32_t n = chunk.dwSize / 2;
    if (n > 127) n = 127;
    IAUDFileReadShorts(m_wszTitle, n, file);
    m_wszTitle[127] = 0;
  } else if (id == IAUDFourCC("indx")) {
    ReadChunkLongs(file, chunk, &m_dwResourceIndex, 1);
  } else if (id == IAUDFourCC("geix")) {
    ReadChunkLongs(file, chunk, &m_dwGlobalEffectIndex, 1);
  } else if (id == IAUDFourCC("trks")) {
    ReadChunkLongs(file, chunk, &m_dwNumTracks, 1);
  } else if (id == IAUDFourCC("tmcd")) {
    ReadChunkLongs(file, chunk, &m_dwBaseTimeCode, 1);
  } else if (id == IAUDFourCC("dtmp")) {
    ReadChunkLongs(file, chunk, &m_dwBaseTempo, 1);
  } else if (id == IAUDFourCC("dtsg")) {
    ReadChunkLongs(file, chunk, &m_dwBaseTimeSignature, 1);
  } else if (id == IAUDFourCC("dsec")) {
    ReadChunkLongs(file, chunk, &m_dwMarkerDivision, 1);
  } else if (id == IAUDFourCC("loop")) {
    ReadChunkLongs(file, chunk, &m_dwLoopCount, 1);
  } else if (id == IAUDFourCC("sync")) {
    uint32_t v[2] = {m_dwSyncStartType, m_dwSyncStartMultiple};
    ReadChunkLongs(file, chunk, v, 2);
    m_dwSyncStartType = v[0];
    m_dwSyncStartMultiple = v[1];
  } else if (id == IAUDFourCC("gbst")) {
    if (chunk.dwSize >= 4) IAUDFileReadFloats(&m_flGainBoost, 1, file);
  } else if (id == IAUDFourCC("isgn")) {
    uint16_t name[128] = {};
    uint32_t n = chunk.dwSize / 2;
    if (n > 127) n = 127;
    IAUDFileReadShorts(name, n, file);
    m_nGroupIndex = AddGroup(name);
  } else if (id == IAUDFourCC("imrk")) {
    ReadMarkers(file, chunk);
  } else if (id == IAUDFourCC("mark")) {
    ReadLegacyMarkers(file, chunk);
  }
}

// ---------------------------------------------------------------- writing

void IAUDContentObject::ArchiveObject(void* file) {
  CreateArchiveObject(file, &m_Chunk);
  if (ContentIsList(m_Chunk.dwChunkId)) {
    ArchiveObjectDataChunks(file);
    for (IAUDContentObject* c = m_pChild; c; c = c->m_pAfter) c->ArchiveObject(file);
  }
  AscendArchiveObject(file, &m_Chunk);
}

void IAUDContentObject::ArchiveObjectDataChunks(void* file) {
  std::vector<uint8_t> text;
  auto writeText = [&](uint32_t id, const uint16_t* s) {
    int32_t len = IAUDGetStringLength(s);
    text.assign(2 * ((size_t)len + 1), 0);
    for (int32_t i = 0; i < len; ++i) PutLE16(&text[2 * (size_t)i], s[i]);
    WriteObjectData(file, id, text.data(), (uint32_t)text.size());
  };
  writeText(IAUDFourCC("titl"), m_wszTitle);
  WriteLongChunk(file, IAUDFourCC("indx"), m_dwResourceIndex);
  WriteLongChunk(file, IAUDFourCC("geix"), m_dwGlobalEffectIndex);
  WriteLongChunk(file, IAUDFourCC("trks"), GetNumTracks());
  WriteLongChunk(file, IAUDFourCC("tmcd"), m_dwBaseTimeCode);
  WriteLongChunk(file, IAUDFourCC("dtmp"), m_dwBaseTempo);
  WriteLongChunk(file, IAUDFourCC("dtsg"), m_dwBaseTimeSignature);
  WriteLongChunk(file, IAUDFourCC("dsec"), m_dwMarkerDivision);
  uint8_t sync[8];
  PutLE32(sync, m_dwSyncStartType);
  PutLE32(sync + 4, m_dwSyncStartMultiple);
  WriteObjectData(file, IAUDFourCC("sync"), sync, 8);
  WriteLongChunk(file, IAUDFourCC("loop"), m_dwLoopCount);
  if (m_nNumMarkers > 0 && m_pMarkers) {
    std::vector<uint8_t> bytes(sizeof(IAUDContentMarker) * (size_t)m_nNumMarkers);
    for (int32_t i = 0; i < m_nNumMarkers; ++i) {
      uint8_t* p = &bytes[sizeof(IAUDContentMarker) * (size_t)i];
      const IAUDContentMarker& m = m_pMarkers[i];
      for (int u = 0; u < 128; ++u) PutLE16(p + 2 * u, m.wszTitle[u]);
      const uint32_t values[10] = {m.dwContentPosition, m.dwMusicalPosition, m.dwMetricPosition, m.dwClock,
                                   m.dwTempo,           m.dwTimeSignature,   m.dwTimeCode,       m.dwTotalSubframes,
                                   m.dwSubframe,        (uint32_t)m.nRepeatLimit};
      for (int v = 0; v < 10; ++v) PutLE32(p + 256 + 4 * v, values[v]);
    }
    WriteObjectData(file, IAUDFourCC("imrk"), bytes.data(), (uint32_t)bytes.size());
  }
  if (CGroup* group = GetGroup((uint32_t)m_nGroupIndex)) writeText(IAUDFourCC("isgn"), group->GetTitle());
  uint8_t boost[4];
  PutLEFloat(boost, m_flGainBoost);
  WriteObjectData(file, IAUDFourCC("gbst"), boost, 4);
}
