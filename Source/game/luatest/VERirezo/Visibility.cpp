// The visibility tree: leaf-to-leaf visibility bits over an octree.
#include "VERirezo/Visibility.h"

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "TWMath/Octree.h"
#include "TWUtil/BitArray.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/DebugLine.h"

EVisibilityTree::EVisibilityTree()
    : m_pOctree(nullptr),
      m_pVisibleBits(nullptr),
      m_nBits(0),
      m_nLeaves(0),
      m_nQueryLeaf(0),
      m_QueryBox(EVec3(0, 0, 0), EVec3(0, 0, 0)),
      m_bQueryResult(false) {}

EVisibilityTree::~EVisibilityTree() {
  delete m_pVisibleBits;
  delete m_pOctree;
}

unsigned EVisibilityTree::GetBitIndex(unsigned a, unsigned b) const {
  return TriangularNumber(m_nLeaves) - TriangularNumber(m_nLeaves - a) + (b - a);
}

bool EVisibilityTree::IsPairVisible(unsigned a, unsigned b) const {
  if (a > b) {
    const unsigned t = a;
    a = b;
    b = t;
  }
  if (!m_pVisibleBits || b >= m_nLeaves) return false;
  return m_pVisibleBits->IsBitSet(GetBitIndex(a, b));
}

bool EVisibilityTree::Read(EStream& s) {
  delete m_pVisibleBits;
  m_pVisibleBits = nullptr;
  delete m_pOctree;
  m_pOctree = new EOctree(kMEMTYPE_Vistree);
  m_nLeaves = 0;
  m_nBits = 0;
  if (!m_pOctree->Read(s, 3, s.GetVersion())) return false;
  const unsigned n = m_pOctree->GetLeafCount();
  // Each row must be in the stream before anything is allocated for it.
  const unsigned w = n ? (n - 1) / 32 + 1 : 1;
  const uint64_t nRowBytes = (uint64_t)n * 4u * w;
  if (nRowBytes > 0xFFFFFFFFu || s.BoundLength((unsigned)nRowBytes) != nRowBytes) return false;
  m_nLeaves = n;
  m_nBits = TriangularNumber(n);
  m_pVisibleBits = new BitArray(m_nBits, kMEMTYPE_Vistree);
  m_pVisibleBits->Clear();
  uint32_t* pRow = new uint32_t[w];
  for (unsigned i = 0; i < n; ++i) {
    for (unsigned k = 0; k < w; ++k) s << pRow[k];
    for (unsigned j = i; j < n; ++j) {
      if ((pRow[j >> 5] >> (j & 31)) & 1u) m_pVisibleBits->SetBit(GetBitIndex(i, j));
    }
  }
  delete[] pRow;
  return !s.Err();
}

bool EVisibilityTree::TestLeafVisible(unsigned nLeaf) const { return IsPairVisible(m_nQueryLeaf, nLeaf); }

bool EVisibilityTree::LeafCallback(const ESSECube*, void* pUser, unsigned, unsigned, unsigned nLeaf) {
  EVisibilityTree* pTree = static_cast<EVisibilityTree*>(pUser);
  if (!pTree->TestLeafVisible(nLeaf)) return true;
  pTree->m_bQueryResult = true;
  return false;
}

bool EVisibilityTree::BoxVisible(const EBox3& box, unsigned hLeaf, const ESSECube& leafCube) {
  EASSERT(m_pOctree && (hLeaf != EOctree::kNOT_FOUND));
  if (TWMath::TestIntersection(box, leafCube)) return true;
  m_nQueryLeaf = hLeaf & ~(unsigned)EOctree::kLEAF_BIT;
  m_QueryBox = box;
  m_bQueryResult = false;
  m_pOctree->Walk(nullptr, &LeafCallback, this, &m_QueryBox);
  return m_bQueryResult;
}

namespace {
struct VisibilityDrawState {
  ECamera* pCamera;
};

bool VisibilityDrawNode(const ESSECube* pCube, void* pUser) {
  const VisibilityDrawState* p = static_cast<const VisibilityDrawState*>(pUser);
  return p->pCamera->BoxVisible(EBox3(*pCube), nullptr, false);
}

bool VisibilityDrawLeaf(const ESSECube* pCube, void* pUser, unsigned, unsigned, unsigned) {
  const VisibilityDrawState* p = static_cast<const VisibilityDrawState*>(pUser);
  const EBox3 box(*pCube);
  if (gDebugLine && p->pCamera->BoxVisible(box, nullptr, false)) {
    const EVec4 green(0.0f, 1.0f, 0.0f, 1.0f);
    gDebugLine->AddBox(box, nullptr, &green, 0);
  }
  return true;
}
}  // namespace

void EVisibilityTree::RequestRender() {
  EASSERT(m_pOctree);
  ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
  if (!pCamera) return;
  VisibilityDrawState state = {pCamera};
  m_pOctree->Walk(&VisibilityDrawNode, &VisibilityDrawLeaf, &state, nullptr);
}

void EVisibilityCache::StoreResult(uint32_t key, bool bResult) {
  m_aKeys[m_uNext] = key;
  m_abResults[m_uNext] = bResult;
  m_uNext = (m_uNext + 1) % kNUM_ENTRIES;
}

bool EVisibilityCache::FindResult(uint32_t key, bool* abVisible) const {
  EASSERT(abVisible);
  bool* pbResult = abVisible;
  for (int i = 0; i < kNUM_ENTRIES; ++i) {
    if (m_aKeys[i] == key) {
      *pbResult = m_abResults[i];
      return true;
    }
  }
  return false;
}
