// Blend-shape sets: the blend-target file, the ".pbx" fragment file,
// instancing and the statistics dump.
#include "VERirezo/BlendShape.h"

#include <strings.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EGameFile.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

namespace BlendShapeRead {

// True when n records of size bytes are left in the stream (the stream is
// marked failed when they are not).
bool Fits(EStream& s, uint32_t n, unsigned size) {
  if (s.Err()) return false;
  if ((uint64_t)n * size > 0xFFFFFFFFull) {
    s.SetErr();
    return false;
  }
  const unsigned need = n * size;
  return s.BoundLength(need) == need;
}

void Refuse(const char* szFile, const char* szWhy) {
  g_ErrorManager.TraceMessagef(TT_Warning, "Bad blend shape '%s': %s", szFile ? szFile : "", szWhy);
}

// path with its extension (from the last '.') replaced by ".pbx" into out
// (outSize bytes); false when there is no extension or it does not fit.
bool FragmentPath(const char* szPath, char* szOut, size_t outSize) {
  const size_t len = strlen(szPath);
  if (len >= outSize) return false;
  const char* pDot = strrchr(szPath, '.');
  const char* pSlash = strrchr(szPath, '/');
  if (!pDot || (pSlash && pDot < pSlash)) return false;
  const size_t stem = (size_t)(pDot - szPath);
  if (stem + 5 >= outSize) return false;
  memcpy(szOut, szPath, stem);
  memcpy(szOut + stem, ".pbx", 5);
  return true;
}

}  // namespace BlendShapeRead

// ---------------------------------------------------------------------------
// Parts

bool EBlendBasis::load(EStream& s) {
  uint32_t n = 0;
  s << n;
  if (!BlendShapeRead::Fits(s, n, 12)) return false;
  m_pVertices = new EVec3[n ? n : 1];
  m_nVertices = n;
  for (uint32_t i = 0; i < n; ++i) s << m_pVertices[i].x << m_pVertices[i].y << m_pVertices[i].z;
  return !s.Err();
}

bool EBlendTarget::load(EStream& s, unsigned version) {
  s.StreamString_1b(m_szName, sizeof(m_szName));
  uint32_t n = 0;
  s << n;
  const unsigned size = version > 100 ? 20 : 16;
  if (!BlendShapeRead::Fits(s, n, size)) return false;
  m_pVertices = new EBlendVertex[n ? n : 1];
  m_nVertices = n;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t index = 0, extra = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    s << index << x << y << z;
    if (version > 100) s << extra;
    m_pVertices[i].Set(index, x, y, z, extra);
  }
  return !s.Err();
}

bool EBlendFragment::load(EGameFile& file, uint64_t& maxBytes) {
  uint32_t n = 0;
  if (maxBytes < 4 || file.ReadUInt32(&n) != 1) return false;
  maxBytes -= 4;
  if ((uint64_t)n * 4 > maxBytes) return false;
  std::vector<uint8_t> raw((size_t)n * 4);
  if (n && file.Read(raw.data(), 4, (int)n) != (int)n) return false;
  maxBytes -= (uint64_t)n * 4;
  m_pIndices = new uint16_t[n ? n : 1];
  m_nIndices = n;
  for (uint32_t i = 0; i < n; ++i) m_pIndices[i] = (uint16_t)(GetLE32(&raw[(size_t)i * 4]) & 0xFFFF);
  return true;
}

// ---------------------------------------------------------------------------
// The set

EBlendShape::EBlendShape()
    : m_uVersion(100), m_nBlendTargets(0), m_nBlendFragments(0), m_pBlendBasis(nullptr), m_pBlendTargets(nullptr),
      m_pBlendFragments(nullptr) {}

EBlendShape::~EBlendShape() {
  // Copies made by Instantiate share the arrays of their source.
  if (m_pSource) return;
  FreeTargets();
  FreeFragments();
}

void EBlendShape::FreeTargets() {
  delete m_pBlendBasis;
  delete[] m_pBlendTargets;
  m_pBlendBasis = nullptr;
  m_pBlendTargets = nullptr;
  m_nBlendTargets = 0;
}

void EBlendShape::FreeFragments() {
  delete[] m_pBlendFragments;
  m_pBlendFragments = nullptr;
  m_nBlendFragments = 0;
}

EInstancable* EBlendShape::Instantiate() {
  ++m_nRefCount;
  if (m_nRefCount == 1) return this;
  EBlendShape* pCopy = new EBlendShape();
  pCopy->m_pSource = this;
  pCopy->m_uVersion = m_uVersion;
  pCopy->m_nBlendTargets = m_nBlendTargets;
  pCopy->m_nBlendFragments = m_nBlendFragments;
  pCopy->m_pBlendBasis = m_pBlendBasis;
  pCopy->m_pBlendTargets = m_pBlendTargets;
  pCopy->m_pBlendFragments = m_pBlendFragments;
  return pCopy;
}

void EBlendShape::DestroyInstance() {
  if (m_pSource == EntityMark()) return;
  if (m_pSource)
    m_pSource->DecRefCount();
  else
    DecRefCount();
}

bool EBlendShape::load(const char* szPath) {
  if (!szPath) return false;
  char szBuffer[256];
  char szFragments[256];
  if (strlen(szPath) >= 255) {
    BlendShapeRead::Refuse(szPath, "path too long");
    return false;
  }
  memcpy(szBuffer, szPath, strlen(szPath) + 1);
  if (!BlendShapeRead::FragmentPath(szBuffer, szFragments, sizeof(szFragments))) {
    BlendShapeRead::Refuse(szPath, "path without an extension");
    return false;
  }
  const bool bTargets = loadTarget(szBuffer);
  const bool bFragments = loadFragment(szFragments);
  return bTargets && bFragments;
}

bool EBlendShape::load(EStream& s) {
  const char* szName = s.GetName();
  char szFragments[255];
  if (!szName || !BlendShapeRead::FragmentPath(szName, szFragments, sizeof(szFragments))) {
    BlendShapeRead::Refuse(szName, "path too long or without an extension");
    return false;
  }
  m_uVersion = 101;
  const bool bTargets = loadTarget(s);
  const bool bFragments = loadFragment(szFragments);
  return bTargets && bFragments;
}

bool EBlendShape::loadTarget(const char* szPath) {
  EFile* pFile = gFile && szPath ? gFile->Open(szPath, FILE_READ, kFILELOC_Default) : nullptr;
  if (!pFile) return false;
  EFileReader reader(pFile, kAUTOCLOSE_Yes);
  uint32_t first = 0, version = 0;
  reader << first << version;
  if (reader.Err()) {
    BlendShapeRead::Refuse(reader.GetName(), "header cut short");
    return false;
  }
  m_uVersion = version;
  return loadTarget(reader);
}

bool EBlendShape::loadTarget(EStream& s) {
  FreeTargets();
  uint32_t n = 0;
  s << n;
  if (s.Err() || n > MAX_BLENDTARGETS) {
    BlendShapeRead::Refuse(s.GetName(), s.Err() ? "target count cut short" : "more than 63 targets");
    return false;
  }
  m_pBlendBasis = new EBlendBasis();
  bool bOk = m_pBlendBasis->load(s);
  if (bOk) {
    m_pBlendTargets = n ? new EBlendTarget[n] : nullptr;
    m_nBlendTargets = n;
    for (uint32_t t = 0; bOk && t < n; ++t) bOk = m_pBlendTargets[t].load(s, m_uVersion);
  }
  if (!bOk) {
    BlendShapeRead::Refuse(s.GetName(), "data cut short");
    FreeTargets();
    return false;
  }
  const unsigned nBasis = m_pBlendBasis->numVertices();
  for (uint32_t t = 0; t < n; ++t) {
    const EBlendTarget& target = m_pBlendTargets[t];
    for (unsigned v = 0; v < target.numVertices(); ++v) {
      if (target.vertices()[v].m_uIndex < nBasis) continue;
      BlendShapeRead::Refuse(s.GetName(), "target vertex past the basis");
      FreeTargets();
      return false;
    }
  }
  if (m_uVersion <= 100) {
    // Older files hold positions: keep offsets from the basis.
    const EVec3* pBasis = m_pBlendBasis->vertices();
    for (uint32_t t = 0; t < n; ++t) {
      EBlendTarget& target = m_pBlendTargets[t];
      for (unsigned v = 0; v < target.numVertices(); ++v) {
        EBlendVertex& bv = target.vertices()[v];
        const EVec3& b = pBasis[bv.m_uIndex];
        bv.m_vOffset = EVec3(bv.m_vOffset.x - b.x, bv.m_vOffset.y - b.y, bv.m_vOffset.z - b.z);
      }
    }
  }
  return true;
}

bool EBlendShape::loadFragment(const char* szPath) {
  FreeFragments();
  EGameFile file;
  if (!szPath || !file.Open(szPath, false)) return false;
  const int iSize = file.GetFilesize();
  uint64_t left = iSize > 0 ? (uint64_t)iSize : 0;
  uint32_t first = 0, second = 0, n = 0;
  bool bOk = left >= 12 && file.ReadUInt32(&first) == 1 && file.ReadUInt32(&second) == 1 && file.ReadUInt32(&n) == 1;
  if (bOk) left -= 12;
  // Every fragment takes at least its count word.
  if (bOk && (uint64_t)n * 4 > left) bOk = false;
  if (bOk) {
    m_pBlendFragments = n ? new EBlendFragment[n] : nullptr;
    m_nBlendFragments = n;
    for (uint32_t i = 0; bOk && i < n; ++i) bOk = m_pBlendFragments[i].load(file, left);
  }
  file.Close();
  if (!bOk) {
    BlendShapeRead::Refuse(szPath, "fragment list cut short");
    FreeFragments();
  }
  return bOk;
}

int EBlendShape::targetIndex(const char* szName) const {
  if (!szName || !m_pBlendTargets) return -1;
  for (uint32_t t = 0; t < m_nBlendTargets; ++t) {
    if (strcasecmp(m_pBlendTargets[t].getName(), szName) == 0) return (int)t;
  }
  return -1;
}

void EBlendShape::DumpInfo(EMesh*) {
  const unsigned nBasis = m_pBlendBasis ? m_pBlendBasis->numVertices() : 0;
  std::vector<int> total(nBasis ? nBasis : 1, 0);
  std::vector<int> counts(nBasis ? nBasis : 1, 0);
  for (uint32_t f = 0; f < m_nBlendFragments; ++f) {
    const EBlendFragment& frag = m_pBlendFragments[f];
    std::fill(counts.begin(), counts.end(), 0);
    for (unsigned j = 0; j < frag.numIndices(); ++j) {
      if (frag.index(j) >= nBasis) {
        g_ErrorManager.ErrorMessage(__FILE__, __LINE__,
                                    "m_pBlendFragments[i].index(j) < m_pBlendBasis->numVertices()", true);
        continue;
      }
      ++counts[frag.index(j)];
      ++total[frag.index(j)];
    }
    for (unsigned v = 0; v < nBasis; ++v) {
      if (counts[v] <= 1) continue;
      g_ErrorManager.TraceMessagef(TT_General, "Duplicate refs by fragment %d on vert %d\n", (int)f, (int)v);
      for (unsigned j = 0; j < frag.numIndices(); ++j) {
        if (frag.index(j) == v) g_ErrorManager.TraceMessagef(TT_General, "\t%d\n", (int)j);
      }
    }
  }
  int iMinBlended = 2147483647, iMaxRefs = 0, iMaxTargetVerts = 0;
  float fMaxDeviation = 0.0f;
  for (unsigned v = 0; v < nBasis; ++v) iMaxRefs = total[v] > iMaxRefs ? total[v] : iMaxRefs;
  for (uint32_t t = 0; t < m_nBlendTargets; ++t) {
    const EBlendTarget& target = m_pBlendTargets[t];
    const int n = (int)target.numVertices();
    if (n < iMinBlended) iMinBlended = n;
    if (n > iMaxTargetVerts) iMaxTargetVerts = n;
    for (int v = 0; v < n; ++v) {
      const EVec3& o = target.vertices()[v].m_vOffset;
      const float a[3] = {fabsf(o.x), fabsf(o.y), fabsf(o.z)};
      for (float d : a) fMaxDeviation = d > fMaxDeviation ? d : fMaxDeviation;
    }
  }
  g_ErrorManager.TraceMessagef(TT_General, "Total vertices in mesh = %d\n", (int)nBasis);
  g_ErrorManager.TraceMessagef(TT_General, "Min blended vertices = %d\n", iMinBlended);
  g_ErrorManager.TraceMessagef(TT_General, "Max blended vertices = %d\n", iMaxRefs);
  g_ErrorManager.TraceMessagef(TT_General, "Max references = %d\n", iMaxTargetVerts);
  g_ErrorManager.TraceMessagef(TT_General, "Max deviation = %f\n", (double)fMaxDeviation);
}
