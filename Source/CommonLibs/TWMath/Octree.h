// A static octree over a cube of space, read from level data and queried by
// point, by box and along a segment. Leaves name runs of a table of 32-bit
// primitive indices (or are known only by their leaf numbers); the caller
// gives the indices their meaning.
//
// Octant i of a cell is upper in X when bit 2 of i is set, in Y for bit 1
// and in Z for bit 0.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"
#include "TWUtil/MemType.h"

class EStream;

// A 24-bit value stored as three little-endian bytes.
template <class TSmall, class TWord>
struct Tint24 {
  uint8_t m_aBytes[3];

  TWord Get() const { return (TWord)m_aBytes[0] | ((TWord)m_aBytes[1] << 8) | ((TWord)m_aBytes[2] << 16); }
  void Set(TWord v) {
    m_aBytes[0] = (uint8_t)v;
    m_aBytes[1] = (uint8_t)(v >> 8);
    m_aBytes[2] = (uint8_t)(v >> 16);
  }
};

class alignas(16) EOctree {
public:
  // Child handles: an interior node's index, a leaf (kLEAF_BIT set, the
  // leaf number below it) or the empty child.
  enum : uint32_t {
    kLEAF_BIT = 0x400000,
    kEMPTY_CHILD = 0x7FFFFF,
    kNOT_FOUND = 0xFFFFFFFF,
  };
  // Packed leaf word: first primitive index in bits 0-18, count in 19-31.
  enum : uint32_t {
    kLEAF_INDEX_MASK = 0x7FFFF,
    kLEAF_COUNT_SHIFT = 19,
    kLEAF_MAX_COUNT = 0x1FFF,
  };
  // Read layouts: flags bit 0 keeps leaf numbers only (no leaf table),
  // bit 1 marks an old layout stored without the index count.
  enum : unsigned {
    kREAD_LEAF_NUMBERS_ONLY = 1,
    kREAD_NO_INDEX_COUNT = 2,
  };
  // Files of this version or older use the old 40-byte records.
  enum : unsigned { kOLD_LAYOUT_VERSION = 313 };
  // Deepest tree accepted from data; far beyond the float resolution of a cell.
  enum { kMAX_DEPTH = 64 };

  struct Node {
    Tint24<unsigned short, unsigned int> m_aChild[8];
  };

  typedef bool (*pfnNodeCB)(const ESSECube* pCube, void* pUser);
  typedef bool (*pfnLeafCB)(const ESSECube* pCube, void* pUser, unsigned nFirstIndex, unsigned nCount,
                            unsigned nLeaf);
  typedef bool (*pfnSortedCB)(const ESSECube* pCube, void* pUser, unsigned nFirstIndex, unsigned nCount,
                              unsigned nLeaf, float t);

  explicit EOctree(EMemType memType);
  ~EOctree();

  EOctree(const EOctree&) = delete;
  EOctree& operator=(const EOctree&) = delete;

  // Reads either stored layout (version from the enclosing file). False on
  // a stream error or damaged data; the tree is then empty.
  bool Read(EStream& stream, unsigned flags, unsigned version);

  // Leaf handle of the cell holding p and that cell; kNOT_FOUND outside the root.
  unsigned FindNode(const EVec3& p, ESSECube* pCell) const;
  // Visits the nodes and leaves overlapping the box (all when it is null).
  // False when the leaf callback stopped the walk.
  bool Walk(pfnNodeCB pfnNode, pfnLeafCB pfnLeaf, void* pUser, const EBox3* pBox) const;
  // Visits the leaves along the segment in their order along it.
  bool SortedWalk(pfnSortedCB pfnSorted, void* pUser, const EVec3& from, const EVec3& to) const;

  static bool IsLeaf(unsigned handle) { return (handle & kLEAF_BIT) != 0; }
  const uint32_t* GetLeaf(unsigned handle) const { return &m_aLeaf[handle & ~(unsigned)kLEAF_BIT]; }

  const ESSECube& GetRootCube() const { return m_RootCube; }
  unsigned GetNodeCount() const { return m_nNode; }
  unsigned GetLeafCount() const { return m_nLeaf; }
  unsigned GetIndexCount() const { return m_nIndex; }
  const int32_t* GetIndices() const { return m_aIndex; }
  bool HasLeafTable() const { return m_aLeaf != nullptr; }
  unsigned GetChild(unsigned node, unsigned octant) const { return m_aNewNode[node].m_aChild[octant].Get(); }

private:
  void Clear();
  bool ReadCurrent(EStream& stream);
  bool ReadOld(EStream& stream, unsigned flags);
  bool ConvertOld(unsigned flags, const uint8_t* pOldNodes, const uint8_t* pOldLeaves, bool bHasIndices);
  bool Validate() const;
  // Leaf word fields of a leaf number (both 0 without a leaf table).
  void LeafRange(unsigned nLeaf, unsigned& nFirst, unsigned& nCount) const;

  struct WalkData;
  bool WalkBounded(WalkData& wd, unsigned node, ESSECube cube) const;
  bool WalkUnbounded(WalkData& wd, unsigned node, const ESSECube& cube) const;

  ESSECube m_RootCube;
  EMemType m_MemType;
  uint32_t m_nNode;
  uint32_t m_nLeaf;
  uint32_t m_nIndex;
  Node* m_aNewNode;
  uint32_t* m_aLeaf;
  int32_t* m_aIndex;
};
