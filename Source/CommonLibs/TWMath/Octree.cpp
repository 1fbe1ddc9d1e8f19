#include "TWMath/Octree.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TWMath/Intersect.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

namespace {

// Upper bounds on counts read from data. Interior handles and leaf numbers
// live below the leaf bit of a 24-bit handle; leaves address at most
// 0x7FFFF + 0x1FFF index entries.
const uint32_t kMAX_NODES = EOctree::kLEAF_BIT;
const uint32_t kMAX_LEAVES = EOctree::kLEAF_BIT;
const uint32_t kMAX_INDICES = 0x800000;

const uint32_t kOLD_RECORD_SIZE = 40;
// Records are read in pieces of this many bytes at most, so that a count
// overstating a short stream is found out before much is allocated.
const size_t kREAD_CHUNK = 1u << 18;

// Signed 24-bit little-endian value, sign-extended.
int32_t ReadLES24(const uint8_t* p) {
  uint32_t u = (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16);
  if (u & 0x800000u) u |= 0xFF000000u;
  return (int32_t)u;
}

bool ReadU32(EStream& s, uint32_t& v) {
  uint8_t b[4] = {0, 0, 0, 0};
  s.Read(b, 1, 4);
  v = GetLE32(b);
  return !s.Err();
}

// Reads count records of size bytes into a new zeroed heap block with
// spare records after them. Null on a stream error.
uint8_t* ReadTable(EStream& s, uint32_t count, uint32_t size, uint32_t spare) {
  size_t nTotal = (size_t)count * size;
  size_t nCap = 0;
  size_t nDone = 0;
  uint8_t* p = nullptr;
  do {
    size_t nPiece = std::min(kREAD_CHUNK, nTotal - nDone);
    if (nDone + nPiece > nCap || p == nullptr) {
      size_t nNewCap = std::min(nTotal, std::max(nDone + nPiece, nCap * 2));
      uint8_t* pNew = (uint8_t*)realloc(p, nNewCap + (size_t)spare * size + 1);
      if (!pNew) {
        free(p);
        return nullptr;
      }
      p = pNew;
      memset(p + nCap, 0, nNewCap + (size_t)spare * size + 1 - nCap);
      nCap = nNewCap;
    }
    if (nPiece) s.Read(p + nDone, 1, (unsigned)nPiece);
    if (s.Err()) {
      free(p);
      return nullptr;
    }
    nDone += nPiece;
  } while (nDone < nTotal);
  return p;
}

// Converts a table of little-endian 32-bit words in place.
void DecodeWords(uint8_t* p, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) {
    uint32_t v = GetLE32(p + 4 * (size_t)i);
    memcpy(p + 4 * (size_t)i, &v, 4);
  }
}

ESSECube Octant(const ESSECube& cube, unsigned i) {
  float h = cube.h * 0.5f;
  return ESSECube(EVec3((i & 4) ? cube.x + h : cube.x - h, (i & 2) ? cube.y + h : cube.y - h,
                        (i & 1) ? cube.z + h : cube.z - h),
                  h);
}

}  // namespace

struct EOctree::WalkData {
  EVec4 m_vMin;
  EVec4 m_vMax;
  pfnNodeCB m_pfnNode;
  pfnLeafCB m_pfnLeaf;
  // Turns an X=1, Y=2, Z=4 mask into the octant numbering X=4, Y=2, Z=1.
  uint8_t m_aReverse[8];
  void* m_pUser;
};

EOctree::EOctree(EMemType memType)
    : m_RootCube(EVec3(0.0f, 0.0f, 0.0f), 0.0f), m_MemType(memType), m_nNode(0), m_nLeaf(0), m_nIndex(0),
      m_aNewNode(nullptr), m_aLeaf(nullptr), m_aIndex(nullptr) {}

EOctree::~EOctree() {
  Clear();
  m_MemType = (EMemType)0;
}

void EOctree::Clear() {
  free(m_aNewNode);
  free(m_aLeaf);
  free(m_aIndex);
  m_aNewNode = nullptr;
  m_aLeaf = nullptr;
  m_aIndex = nullptr;
  m_nNode = m_nLeaf = m_nIndex = 0;
  m_RootCube = ESSECube(EVec3(0.0f, 0.0f, 0.0f), 0.0f);
}

bool EOctree::Read(EStream& stream, unsigned flags, unsigned version) {
  Clear();
  bool bOk = (version > kOLD_LAYOUT_VERSION) ? ReadCurrent(stream) : ReadOld(stream, flags);
  if (bOk) bOk = !stream.Err() && Validate();
  if (!bOk) Clear();
  return bOk;
}

bool EOctree::ReadCurrent(EStream& s) {
  uint32_t dwReserved;
  if (!ReadU32(s, dwReserved)) return false;

  uint8_t aCube[16] = {0};
  s.Read(aCube, 1, 16);
  m_RootCube = ESSECube(EVec3(GetLEFloat(aCube), GetLEFloat(aCube + 4), GetLEFloat(aCube + 8)),
                        GetLEFloat(aCube + 12));

  uint32_t nLeaf, nNode;
  if (!ReadU32(s, nLeaf) || !ReadU32(s, nNode)) return false;
  if (nLeaf > kMAX_LEAVES || nNode > kMAX_NODES) return false;
  m_nLeaf = nLeaf;
  if (nNode != 0) {
    m_aNewNode = (Node*)ReadTable(s, nNode, sizeof(Node), 1);
    if (!m_aNewNode) return false;
  }
  m_nNode = nNode;

  uint32_t dwStoredLeaves;
  if (!ReadU32(s, dwStoredLeaves)) return false;
  if (dwStoredLeaves != 0) {
    if (dwStoredLeaves != m_nLeaf) {
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "dwStoredLeaves == m_nLeaf", true);
      return false;
    }
    m_aLeaf = (uint32_t*)ReadTable(s, m_nLeaf, 4, 0);
    if (!m_aLeaf) return false;
    DecodeWords((uint8_t*)m_aLeaf, m_nLeaf);
  }

  uint32_t nIndex;
  if (!ReadU32(s, nIndex)) return false;
  if (nIndex > kMAX_INDICES) return false;
  if (nIndex != 0) {
    m_aIndex = (int32_t*)ReadTable(s, nIndex, 4, 0);
    if (!m_aIndex) return false;
    DecodeWords((uint8_t*)m_aIndex, nIndex);
  }
  m_nIndex = nIndex;
  return true;
}

bool EOctree::ReadOld(EStream& s, unsigned flags) {
  uint32_t nNode, nLeaf, nIndex = 0;
  if (!ReadU32(s, nNode) || !ReadU32(s, nLeaf)) return false;
  bool bHasIndices = (flags & kREAD_NO_INDEX_COUNT) == 0;
  if (bHasIndices && !ReadU32(s, nIndex)) return false;
  if (nNode > kMAX_NODES || nLeaf > kMAX_LEAVES || nIndex > kMAX_INDICES) return false;

  uint8_t* pOldNodes = nullptr;
  uint8_t* pOldLeaves = nullptr;
  bool bOk = true;
  if (nNode != 0) bOk = (pOldNodes = ReadTable(s, nNode, kOLD_RECORD_SIZE, 0)) != nullptr;
  if (bOk && nLeaf != 0) bOk = (pOldLeaves = ReadTable(s, nLeaf, kOLD_RECORD_SIZE, 0)) != nullptr;
  if (bOk && nIndex != 0) {
    m_aIndex = (int32_t*)ReadTable(s, nIndex, 4, 0);
    bOk = m_aIndex != nullptr;
    if (bOk) DecodeWords((uint8_t*)m_aIndex, nIndex);
  }
  if (bOk) {
    m_nIndex = nIndex;
    m_nLeaf = nLeaf;
    if (nNode != 0) {
      m_nNode = nNode;
      bOk = ConvertOld(flags, pOldNodes, pOldLeaves, bHasIndices);
      if (!bOk) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "bSuccess", true);
    }
  }
  free(pOldNodes);
  free(pOldLeaves);
  return bOk;
}

bool EOctree::ConvertOld(unsigned flags, const uint8_t* pOldNodes, const uint8_t* pOldLeaves, bool bHasIndices) {
  // Old node 0's cube, stored as its minimum corner and edge length, is the root.
  float fEdge = GetLEFloat(pOldNodes + 12);
  EVec3 vCorner(GetLEFloat(pOldNodes), GetLEFloat(pOldNodes + 4), GetLEFloat(pOldNodes + 8));
  m_RootCube = ESSECube(vCorner + EVec3(fEdge, fEdge, fEdge) * 0.5f, fEdge * 0.5f);

  m_aNewNode = (Node*)calloc((size_t)m_nNode + 1, sizeof(Node));
  if (!m_aNewNode) return false;
  bool bLeafNumbersOnly = (flags & kREAD_LEAF_NUMBERS_ONLY) != 0;
  for (uint32_t i = 0; i < m_nNode; i++) {
    const uint8_t* pRec = pOldNodes + (size_t)i * kOLD_RECORD_SIZE + 16;
    for (unsigned j = 0; j < 8; j++) {
      // Pairs of signed 24-bit values: child j is value j % 2 of pair j / 2.
      uint32_t h = (uint32_t)ReadLES24(pRec + (j / 2) * 6 + (j % 2) * 3) & 0xFFFFFFu;
      if (!bLeafNumbersOnly && IsLeaf(h) && h != kEMPTY_CHILD) {
        uint32_t nLeaf = h & ~(uint32_t)kLEAF_BIT;
        if (nLeaf >= m_nLeaf) return false;
        if (ReadLES24(pOldLeaves + (size_t)nLeaf * kOLD_RECORD_SIZE + 19) == 0) h = kEMPTY_CHILD;
      }
      m_aNewNode[i].m_aChild[j].Set(h);
    }
  }
  if (bLeafNumbersOnly || m_nLeaf == 0) return true;

  m_aLeaf = (uint32_t*)calloc(m_nLeaf, 4);
  if (!m_aLeaf) return false;
  if (!bHasIndices) return true;  // no index table: every leaf is empty
  for (uint32_t i = 0; i < m_nLeaf; i++) {
    const uint8_t* pRec = pOldLeaves + (size_t)i * kOLD_RECORD_SIZE;
    uint32_t nFirst = (uint32_t)ReadLES24(pRec + 16);
    uint32_t nCount = (uint32_t)ReadLES24(pRec + 19);
    if (nFirst > kLEAF_INDEX_MASK || nCount > kLEAF_MAX_COUNT) {
      g_ErrorManager.TraceMessagef((TRACETYPE)3, "Octree can't convert: leaf has 0x%x prims at 0x%x", nCount, nFirst);
      return false;
    }
    m_aLeaf[i] = nFirst | (nCount << kLEAF_COUNT_SHIFT);
  }
  return true;
}

bool EOctree::Validate() const {
  // Every leaf's run must lie inside the index table.
  if (m_aLeaf) {
    for (uint32_t i = 0; i < m_nLeaf; i++) {
      uint32_t nCount = m_aLeaf[i] >> kLEAF_COUNT_SHIFT;
      uint32_t nFirst = m_aLeaf[i] & kLEAF_INDEX_MASK;
      if (nCount != 0 && (uint64_t)nFirst + nCount > m_nIndex) return false;
    }
  }
  if (m_nNode == 0) return true;

  // The nodes must form a tree under node 0: every child names an existing
  // node reached only once, or an existing leaf, within the depth limit.
  std::vector<uint8_t> aSeen(m_nNode, 0);
  std::vector<std::pair<uint32_t, int>> aStack;
  aStack.reserve(64);
  aStack.push_back(std::make_pair(0u, 0));
  aSeen[0] = 1;
  while (!aStack.empty()) {
    uint32_t node = aStack.back().first;
    int iDepth = aStack.back().second;
    aStack.pop_back();
    for (unsigned i = 0; i < 8; i++) {
      uint32_t h = GetChild(node, i);
      if (h == kEMPTY_CHILD) continue;
      if (IsLeaf(h)) {
        if ((h & ~(uint32_t)kLEAF_BIT) >= m_nLeaf) return false;
        continue;
      }
      if (h >= m_nNode || aSeen[h] || iDepth + 1 > kMAX_DEPTH) return false;
      aSeen[h] = 1;
      aStack.push_back(std::make_pair(h, iDepth + 1));
    }
  }
  return true;
}

void EOctree::LeafRange(unsigned nLeaf, unsigned& nFirst, unsigned& nCount) const {
  if (m_aLeaf) {
    nFirst = m_aLeaf[nLeaf] & kLEAF_INDEX_MASK;
    nCount = m_aLeaf[nLeaf] >> kLEAF_COUNT_SHIFT;
  } else {
    nFirst = nCount = 0;
  }
}

unsigned EOctree::FindNode(const EVec3& p, ESSECube* pCell) const {
  if (!m_aNewNode || !m_RootCube.ContainsPoint(p)) return kNOT_FOUND;
  EVec3 c(m_RootCube.x, m_RootCube.y, m_RootCube.z);
  float h = m_RootCube.h;
  unsigned node = 0;
  for (;;) {
    h *= 0.5f;
    // A coordinate on the centre goes to the lower half.
    unsigned octant = 0;
    if (p.x > c.x) { octant |= 4; c.x += h; } else { c.x -= h; }
    if (p.y > c.y) { octant |= 2; c.y += h; } else { c.y -= h; }
    if (p.z > c.z) { octant |= 1; c.z += h; } else { c.z -= h; }
    unsigned child = GetChild(node, octant);
    if (IsLeaf(child)) {
      if (pCell) *pCell = ESSECube(c, h);
      return child;
    }
    node = child;
  }
}

bool EOctree::Walk(pfnNodeCB pfnNode, pfnLeafCB pfnLeaf, void* pUser, const EBox3* pBox) const {
  if (!m_aNewNode) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "m_aNewNode", true);
    return true;
  }
  if (!pfnLeaf) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "pfnLeafCB", true);
    return true;
  }
  static const uint8_t s_aReverse[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  WalkData wd;
  wd.m_pfnNode = pfnNode;
  wd.m_pfnLeaf = pfnLeaf;
  wd.m_pUser = pUser;
  memcpy(wd.m_aReverse, s_aReverse, 8);
  if (pBox) {
    if (!TWMath::TestIntersection(*pBox, m_RootCube)) return true;
    wd.m_vMin = EVec4(pBox->vMin, 0.0f);
    wd.m_vMax = EVec4(pBox->vMax, 0.0f);
    return WalkBounded(wd, 0, m_RootCube);
  }
  return WalkUnbounded(wd, 0, m_RootCube);
}

bool EOctree::WalkBounded(WalkData& wd, unsigned node, ESSECube cube) const {
  for (;;) {
    if (wd.m_pfnNode && !wd.m_pfnNode(&cube, wd.m_pUser)) return true;

    // Axes on which the box lies wholly below or wholly above the centre.
    unsigned low = 0, high = 0;
    if (cube.x > wd.m_vMax.x) low |= 1;
    if (cube.y > wd.m_vMax.y) low |= 2;
    if (cube.z > wd.m_vMax.z) low |= 4;
    if (wd.m_vMin.x > cube.x) high |= 1;
    if (wd.m_vMin.y > cube.y) high |= 2;
    if (wd.m_vMin.z > cube.z) high |= 4;

    if ((low | high) == 7) {
      // The box lies inside one octant: descend without recursing.
      unsigned o = wd.m_aReverse[high];
      ESSECube child = Octant(cube, o);
      unsigned h = GetChild(node, o);
      if (!IsLeaf(h)) {
        node = h;
        cube = child;
        continue;
      }
      if (h == kEMPTY_CHILD) return true;
      unsigned nLeaf = h & ~(unsigned)kLEAF_BIT, nFirst, nCount;
      LeafRange(nLeaf, nFirst, nCount);
      return wd.m_pfnLeaf(&child, wd.m_pUser, nFirst, nCount, nLeaf);
    }

    unsigned L = wd.m_aReverse[low], H = wd.m_aReverse[high];
    for (unsigned i = 0; i < 8; i++) {
      if ((~i & H) != 0 || (i & L) != 0) continue;
      unsigned h = GetChild(node, i);
      if (h == kEMPTY_CHILD) continue;
      ESSECube child = Octant(cube, i);
      if (!IsLeaf(h)) {
        if (!WalkBounded(wd, h, child)) return false;
      } else {
        unsigned nLeaf = h & ~(unsigned)kLEAF_BIT, nFirst, nCount;
        LeafRange(nLeaf, nFirst, nCount);
        if (!wd.m_pfnLeaf(&child, wd.m_pUser, nFirst, nCount, nLeaf)) return false;
      }
    }
    return true;
  }
}

bool EOctree::WalkUnbounded(WalkData& wd, unsigned node, const ESSECube& cube) const {
  if (wd.m_pfnNode && !wd.m_pfnNode(&cube, wd.m_pUser)) return true;
  for (unsigned i = 0; i < 8; i++) {
    unsigned h = GetChild(node, i);
    if (h == kEMPTY_CHILD) continue;
    ESSECube child = Octant(cube, i);
    if (!IsLeaf(h)) {
      if (!WalkUnbounded(wd, h, child)) return false;
    } else {
      unsigned nLeaf = h & ~(unsigned)kLEAF_BIT, nFirst, nCount;
      LeafRange(nLeaf, nFirst, nCount);
      if (!wd.m_pfnLeaf(&child, wd.m_pUser, nFirst, nCount, nLeaf)) return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Walks in order along a segment

namespace {

// A leaf met by a sorted walk. The cube is kept as plain floats so that the
// record needs no more than 4-byte alignment on the memory stack.
struct LeafInfo {
  float m_afCube[4];
  uint32_t m_nLeaf;
  float m_fT;
};

struct GatherLeavesData {
  EMemStack* m_pStack;
  ETempArray<LeafInfo>* m_pLeaves;
  bool m_bFull;  // the scratch stack could take no more leaves
  EVec3 m_vHalfSeg;
  EVec3 m_vMidpoint;
  EVec3 m_vFrom;
  EVec3 m_vDir;
};

// Whether bytes more fit on the stack (a request that does not fit would be fatal).
bool StackHasRoom(const EMemStack& stack, unsigned long long bytes) {
  return (unsigned long long)stack.GetUsedBytes() + bytes <= stack.GetSize();
}

// False, and the walk stops, once the scratch stack is full.
bool RecordLeaf(GatherLeavesData* pData, const ESSECube* pCube, unsigned nLeaf, float t) {
  if (!StackHasRoom(*pData->m_pStack, sizeof(LeafInfo))) {
    pData->m_bFull = true;
    return false;
  }
  LeafInfo info;
  info.m_afCube[0] = pCube->x;
  info.m_afCube[1] = pCube->y;
  info.m_afCube[2] = pCube->z;
  info.m_afCube[3] = pCube->h;
  info.m_nLeaf = nLeaf;
  info.m_fT = t;
  pData->m_pLeaves->AddData(info);
  return true;
}

bool GatherAllLeavesCB(const ESSECube* pCube, void* pUser, unsigned, unsigned, unsigned nLeaf) {
  return RecordLeaf((GatherLeavesData*)pUser, pCube, nLeaf, 0.0f);
}

bool GatherNodeCB(const ESSECube* pCube, void* pUser) {
  GatherLeavesData* pData = (GatherLeavesData*)pUser;
  float h = pCube->h;
  return TWMath::TestIntersection_HalfSeg_HalfAABB(EVec3(h, h, h), pData->m_vHalfSeg,
                                                   pData->m_vMidpoint - EVec3(pCube->x, pCube->y, pCube->z));
}

bool GatherLeafCB(const ESSECube* pCube, void* pUser, unsigned, unsigned, unsigned nLeaf) {
  GatherLeavesData* pData = (GatherLeavesData*)pUser;
  float tEnter, tExit;
  if (TWMath::FindIntersection(pData->m_vFrom, pData->m_vDir, 1.0f, EBox3(*pCube), tEnter, tExit))
    return RecordLeaf(pData, pCube, nLeaf, tExit);
  return true;
}

}  // namespace

bool EOctree::SortedWalk(pfnSortedCB pfnSorted, void* pUser, const EVec3& from, const EVec3& to) const {
  EMemStack& stack = *GetThreadLocalStack();
  ETempArray<LeafInfo> leaves(stack);

  GatherLeavesData data;
  data.m_pStack = &stack;
  data.m_pLeaves = &leaves;
  data.m_bFull = false;
  data.m_vHalfSeg = (to - from) * 0.5f;
  data.m_vMidpoint = (to + from) * 0.5f;
  data.m_vFrom = from;
  data.m_vDir = to - from;

  int nZero = (data.m_vHalfSeg.x == 0.0f) + (data.m_vHalfSeg.y == 0.0f) + (data.m_vHalfSeg.z == 0.0f);
  bool bForward = data.m_vHalfSeg.ComponentSum() > 0.0f;
  EBox3 box(&from, 1);
  box.Add(to);

  if (nZero >= 2) {
    // Along an axis (or a point): the walk order is already the order along
    // the segment, or its reverse.
    Walk(nullptr, GatherAllLeavesCB, &data, &box);
    if (data.m_bFull) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "sorted walk: scratch stack full", true);
    unsigned n = leaves.Num();
    for (unsigned k = 0; k < n; k++) {
      const LeafInfo& info = leaves[bForward ? k : n - 1 - k];
      ESSECube cube(EVec3(info.m_afCube[0], info.m_afCube[1], info.m_afCube[2]), info.m_afCube[3]);
      unsigned nFirst, nCount;
      LeafRange(info.m_nLeaf, nFirst, nCount);
      if (!pfnSorted(&cube, pUser, nFirst, nCount, info.m_nLeaf, info.m_fT)) return false;
    }
    return true;
  }

  Walk(GatherNodeCB, GatherLeafCB, &data, &box);
  unsigned n = leaves.Num();
  // Without room for the order, the leaves gathered go out in walk order.
  bool bSort = StackHasRoom(stack, 4ull * n + 4);
  if (data.m_bFull || !bSort)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "sorted walk: scratch stack full", true);

  EMemMark mark(stack);
  ETempArray<unsigned> order(stack);
  if (bSort)
    for (unsigned k = 0; k < n; k++) order.AddData(k);
  if (bSort && n > 1) {
    // Leaves do not overlap, so their exit parameters order them along the
    // segment. NaNs go last and ties keep the walk order.
    const LeafInfo* pInfo = &leaves[0];
    std::sort(&order[0], &order[0] + n, [pInfo](unsigned a, unsigned b) {
      float ta = pInfo[a].m_fT, tb = pInfo[b].m_fT;
      bool bNanA = std::isnan(ta), bNanB = std::isnan(tb);
      if (bNanA != bNanB) return bNanB;
      if (!bNanA && ta != tb) return ta < tb;
      return a < b;
    });
  }
  for (unsigned k = 0; k < n; k++) {
    const LeafInfo& info = leaves[bSort ? order[k] : k];
    ESSECube cube(EVec3(info.m_afCube[0], info.m_afCube[1], info.m_afCube[2]), info.m_afCube[3]);
    unsigned nFirst, nCount;
    LeafRange(info.m_nLeaf, nFirst, nCount);
    if (!pfnSorted(&cube, pUser, nFirst, nCount, info.m_nLeaf, info.m_fT)) return false;
  }
  return true;
}
