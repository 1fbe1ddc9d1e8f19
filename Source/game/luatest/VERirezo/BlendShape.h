// Blend-shape sets: a basis of vertex positions, up to 63 named targets that
// move some of them, and the fragments that list the basis vertices each
// mesh fragment uses. Read from a blend-target file and a ".pbx" file.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"
#include "VERirezo/Instancable.h"

class EStream;
class EGameFile;
class EMesh;

enum {
  MAX_BLENDTARGETS = 63,
  kBLENDSHAPE_NAME_BYTES = 32,
};

struct EBlendVertex {
  uint32_t m_uIndex;  // basis vertex
  EVec3 m_vOffset;    // from the basis vertex
  uint32_t m_uExtra;  // carried from version 101 files

  void Set(uint32_t index, float x, float y, float z, uint32_t extra) {
    m_uIndex = index;
    m_vOffset = EVec3(x, y, z);
    m_uExtra = extra;
  }
};

class EBlendBasis {
public:
  EBlendBasis() : m_nVertices(0), m_pVertices(nullptr) { m_szName[0] = '\0'; }
  ~EBlendBasis() { delete[] m_pVertices; }
  EBlendBasis(const EBlendBasis&) = delete;
  EBlendBasis& operator=(const EBlendBasis&) = delete;
  // False when the stream ends first.
  bool load(EStream& s);
  unsigned numVertices() const { return m_nVertices; }
  const EVec3* vertices() const { return m_pVertices; }
  const char* getName() const { return m_szName; }

private:
  char m_szName[kBLENDSHAPE_NAME_BYTES];
  uint32_t m_nVertices;
  EVec3* m_pVertices;
};

class EBlendTarget {
public:
  EBlendTarget() : m_nVertices(0), m_pVertices(nullptr) { m_szName[0] = '\0'; }
  ~EBlendTarget() { delete[] m_pVertices; }
  EBlendTarget(const EBlendTarget&) = delete;
  EBlendTarget& operator=(const EBlendTarget&) = delete;
  // False when the stream ends first.
  bool load(EStream& s, unsigned version);
  unsigned numVertices() const { return m_nVertices; }
  const EBlendVertex* vertices() const { return m_pVertices; }
  EBlendVertex* vertices() { return m_pVertices; }
  const char* getName() const { return m_szName; }

private:
  char m_szName[kBLENDSHAPE_NAME_BYTES];
  uint32_t m_nVertices;
  EBlendVertex* m_pVertices;
};

class EBlendFragment {
public:
  EBlendFragment() : m_nIndices(0), m_pIndices(nullptr) {}
  ~EBlendFragment() { delete[] m_pIndices; }
  EBlendFragment(const EBlendFragment&) = delete;
  EBlendFragment& operator=(const EBlendFragment&) = delete;
  // Reads at most maxBytes; false when the record does not fit them.
  bool load(EGameFile& file, uint64_t& maxBytes);
  unsigned numIndices() const { return m_nIndices; }
  uint16_t index(unsigned i) const { return m_pIndices[i]; }

private:
  uint32_t m_nIndices;
  uint16_t* m_pIndices;
};

class EBlendShape : public EInstancable {
public:
  EBlendShape();
  ~EBlendShape() override;
  EBlendShape(const EBlendShape&) = delete;
  EBlendShape& operator=(const EBlendShape&) = delete;

  EInstancable* Instantiate() override;
  void DestroyInstance() override;

  // Targets from the file at path, fragments from the ".pbx" beside it.
  bool load(const char* szPath);
  // Targets (version 101) from the stream, fragments from the ".pbx" named
  // after the stream.
  bool load(EStream& s);
  bool loadTarget(const char* szPath);
  bool loadTarget(EStream& s);
  bool loadFragment(const char* szPath);

  int targetIndex(const char* szName) const;
  EBlendTarget* blendTargets(unsigned i) const { return &m_pBlendTargets[i]; }
  unsigned numBlendTargets() const { return m_nBlendTargets; }
  EBlendBasis* blendBasis() const { return m_pBlendBasis; }
  unsigned numBlendFragments() const { return m_nBlendFragments; }
  EBlendFragment* blendFragments(unsigned i) const { return &m_pBlendFragments[i]; }
  unsigned getVersion() const { return m_uVersion; }
  EInstancable* getSource() const { return m_pSource; }

  void DumpInfo(EMesh* pMesh);

private:
  void FreeTargets();
  void FreeFragments();

  uint32_t m_uVersion;
  uint32_t m_nBlendTargets;
  uint32_t m_nBlendFragments;
  EBlendBasis* m_pBlendBasis;
  EBlendTarget* m_pBlendTargets;
  EBlendFragment* m_pBlendFragments;
};
