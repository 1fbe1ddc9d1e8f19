#include "ScriptVM/ScriptPack.h"

#include <cstring>

namespace {
const uint16_t kEXTENDED_HEADER = 0xFCFC;

void PutU16(EArray<unsigned char>& out, unsigned v) {
  out.AddData((unsigned char)(v & 0xFF));
  out.AddData((unsigned char)((v >> 8) & 0xFF));
}

void PutU32(EArray<unsigned char>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.AddData((unsigned char)((v >> (8 * i)) & 0xFF));
}

void PutBytes(EArray<unsigned char>& out, const void* p, unsigned n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (unsigned i = 0; i < n; ++i) out.AddData(b[i]);
}

bool PutName(EArray<unsigned char>& out, const EString& name) {
  unsigned n = (unsigned)name.Length() + 1;
  if (n >= 4096) return false;
  PutU16(out, n);
  PutBytes(out, *name ? *name : "", n - 1);
  out.AddData(0);
  return true;
}
}  // namespace

EScriptPackWriter::~EScriptPackWriter() {
  for (int i = 0; i < m_Classes.Num(); ++i) delete m_Classes[i];
  for (int i = 0; i < m_Chunks.Num(); ++i) delete m_Chunks[i];
}

void EScriptPackWriter::AddClass(const char* szName, const void* pCode, unsigned uSize) {
  Entry* e = new Entry;
  e->name = szName;
  PutBytes(e->code, pCode, uSize);
  m_Classes.AddData(e);
}

void EScriptPackWriter::AddChunk(const char* szName, const void* pCode, unsigned uSize) {
  Entry* e = new Entry;
  e->name = szName;
  PutBytes(e->code, pCode, uSize);
  m_Chunks.AddData(e);
}

bool EScriptPackWriter::Build(EArray<unsigned char>& out) const {
  out.Empty();
  if (m_Classes.Num() > 0xFFFF || m_Chunks.Num() > 0xFFFF) return false;
  if (m_bNamedChunks) {
    PutU16(out, kEXTENDED_HEADER);
    PutU16(out, 1);
    PutU16(out, (unsigned)m_Classes.Num());
  } else {
    // The class count is the first word; it must not read as the marker.
    if (m_Classes.Num() == kEXTENDED_HEADER) return false;
    PutU16(out, (unsigned)m_Classes.Num());
  }
  for (int i = 0; i < m_Classes.Num(); ++i) {
    if (!PutName(out, m_Classes[i]->name)) return false;
    PutU32(out, (uint32_t)m_Classes[i]->code.Num());
    PutBytes(out, m_Classes[i]->code.GetData(), (unsigned)m_Classes[i]->code.Num());
  }
  PutU16(out, (unsigned)m_Chunks.Num());
  for (int i = 0; i < m_Chunks.Num(); ++i) {
    if (m_bNamedChunks && !PutName(out, m_Chunks[i]->name)) return false;
    PutU32(out, (uint32_t)m_Chunks[i]->code.Num());
    PutBytes(out, m_Chunks[i]->code.GetData(), (unsigned)m_Chunks[i]->code.Num());
  }
  return true;
}
