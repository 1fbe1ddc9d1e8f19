// Precomputed visibility between the leaf cells of an octree over a level,
// and the small per-mesh cache of its answers.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"

class BitArray;
class EOctree;
class ESSECube;
class EStream;

class EVisibilityTree {
public:
  EVisibilityTree();
  ~EVisibilityTree();
  EVisibilityTree(const EVisibilityTree&) = delete;
  EVisibilityTree& operator=(const EVisibilityTree&) = delete;

  // The octree, then one full bit row per leaf (only the upper triangle is
  // kept). False when the octree record is refused or the rows run short.
  bool Read(EStream& s);

  // Whether anything of the box may be seen from the viewer's leaf (handle
  // and cube from EOctree::FindNode).
  bool BoxVisible(const EBox3& box, unsigned hLeaf, const ESSECube& leafCube);
  // The pair of the current query's leaf and the given leaf.
  bool TestLeafVisible(unsigned nLeaf) const;
  // Draws the leaf cells the current camera can see.
  void RequestRender();

  const EOctree* GetOctree() const { return m_pOctree; }
  unsigned GetNumBits() const { return m_nBits; }
  unsigned GetNumLeaves() const { return m_nLeaves; }
  // Index of the pair (a, b), a <= b, in the upper triangle.
  unsigned GetBitIndex(unsigned a, unsigned b) const;
  bool IsPairVisible(unsigned a, unsigned b) const;
  static unsigned TriangularNumber(unsigned k) { return k * (k + 1) / 2; }

private:
  static bool LeafCallback(const ESSECube* pCube, void* pUser, unsigned nFirst, unsigned nCount, unsigned nLeaf);

  EOctree* m_pOctree;
  BitArray* m_pVisibleBits;
  uint32_t m_nBits;
  uint32_t m_nLeaves;
  uint32_t m_nQueryLeaf;
  EBox3 m_QueryBox;
  bool m_bQueryResult;
};

// The last four answers of the tree for one mesh, by viewer leaf handle.
class EVisibilityCache {
public:
  enum { kNUM_ENTRIES = 4 };
  EVisibilityCache() : m_uNext(0) { Clear(); }
  // Forgets the keys; the next answer still goes to the next slot.
  void Clear() {
    for (int i = 0; i < kNUM_ENTRIES; ++i) m_aKeys[i] = 0;
  }
  void StoreResult(uint32_t key, bool bResult);
  bool FindResult(uint32_t key, bool* pbResult) const;

private:
  uint32_t m_aKeys[kNUM_ENTRIES];
  bool m_abResults[kNUM_ENTRIES];
  uint32_t m_uNext;
};
