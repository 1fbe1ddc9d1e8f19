// The collision manager's cell grid: cells, buckets, filing limits, the grid
// walk and entity registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/Physics.h"

namespace {

typedef ECollisionManager CM;

std::vector<std::string>* s_pGridLines = nullptr;
void GridCaptureLine(const char* text) {
  if (s_pGridLines) s_pGridLines->push_back(text ? text : "");
}

// A manager of its own with a domain that files its entities there.
class CollisionGrid : public ::testing::Test {
protected:
  CollisionGrid() : m_stack(1u << 20) {}
  void SetUp() override {
    m_pOldStack = GetThreadLocalStack();
    BindThreadLocalStack(&m_stack);
    m_pDomain = new EDomain(nullptr, &m_cm);
    s_pGridLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(GridCaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pGridLines = nullptr;
    for (EEntity* e : m_made) {
      if (!e->IsDead()) e->InternalDelayedDelete();
      delete e;
    }
    delete m_pDomain;
    BindThreadLocalStack(m_pOldStack);
    EXPECT_EQ(0, sg_iInhibitModification);
  }
  // A collidee at a point.
  EMeshEntity* MakeAt(const char* szName, const EVec3& p) {
    EMeshEntity* e = EMeshEntity::Create(m_pDomain, szName);
    m_made.push_back(e);
    e->GetPhysics()->SetCollisionType(CPT_Spheres);
    e->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, true);
    e->GetPhysics()->SetPosition(p);
    m_cm.Update(e);
    return e;
  }
  int CountFrags(uint16_t iCollidee) const {
    int n = 0;
    for (uint16_t f = m_cm.GetInfo(iCollidee).iFirstFrag; f != CM::NULL_INDEX; f = m_cm.GetFrag(f).iNextFrag) n++;
    return n;
  }
  int Count(const char* szText) const {
    int n = 0;
    for (const std::string& s : m_lines) n += s.find(szText) != std::string::npos;
    return n;
  }
  // Names the walk over the box returns, in order.
  std::vector<std::string> Walk(const EBox3& box) {
    std::vector<std::string> names;
    for (CM::CollideeInfo::Iter it(&m_cm, box, CM::kCollideeEntity, m_stack); it; ++it)
      names.push_back(static_cast<EEntity*>(it->pObject)->GetName());
    return names;
  }

  EMemStack m_stack;
  EMemStack* m_pOldStack = nullptr;
  CM m_cm{false};
  EDomain* m_pDomain = nullptr;
  std::vector<EEntity*> m_made;
  std::vector<std::string> m_lines;
};

TEST(CollisionGridCells, CellsAndBuckets) {
  struct {
    float p;
    int axis;
    int32_t cell;
  } cells[] = {{512, 0, 1}, {511.9f, 0, 0}, {-512, 0, -1}, {-511.9f, 0, 0}, {640, 1, 1}, {639, 1, 0},
               {-384, 1, -1}, {-383, 1, 0}, {512, 2, 1}, {1536, 2, 2}, {0, 0, 0}};
  for (auto& c : cells) EXPECT_EQ(CM::CellOf(c.p, c.axis), c.cell) << c.p << " axis " << c.axis;
  struct {
    int32_t x, y, z;
    uint16_t bucket;
  } buckets[] = {{0, 0, 0, 1},   {1, 0, 0, 2},   {0, 1, 0, 810}, {0, 0, 1, 33},
                 {-1, 0, 0, 1024}, {0, -1, 0, 216}, {0, 0, -1, 993}, {2047, 0, 0, 1}};
  for (auto& b : buckets) EXPECT_EQ(CM::BucketOf(b.x, b.y, b.z), b.bucket) << b.x << "," << b.y << "," << b.z;
}

// Boxes spanning n cells: x from cell 0, y in cell 0, z over as many cells as needed.
EBox3 CellBox(int nx, int ny, int nz) {
  return EBox3(EVec3(0, 0, 0), EVec3(1024.0f * (float)(nx - 1), 1024.0f * (float)(ny - 1), 1024.0f * (float)(nz - 1)));
}

TEST_F(CollisionGrid, InsertAndQueryLimits) {
  {
    ETempArray<uint16_t> a(m_stack);
    m_cm.GetBucketsForInsert(CellBox(5, 5, 2), a);
    EXPECT_EQ(a.Num(), 50u);
    EXPECT_EQ(a[0], CM::BucketOf(0, 0, 0));
    EXPECT_EQ(a[1], CM::BucketOf(0, 0, 1));  // z innermost
  }
  {
    ETempArray<uint16_t> a(m_stack);
    m_cm.GetBucketsForInsert(CellBox(51, 1, 1), a);
    ASSERT_EQ(a.Num(), 1u);
    EXPECT_EQ(a[0], 0);
  }
  {
    ETempArray<uint16_t> a(m_stack);
    m_cm.GetBucketsForQuery(CellBox(10, 10, 10), a);
    ASSERT_EQ(a.Num(), 1001u);
    EXPECT_EQ(a[1000], 0);
  }
  {
    ETempArray<uint16_t> a(m_stack);
    m_cm.GetBucketsForQuery(CellBox(7, 11, 13), a);
    ASSERT_EQ(a.Num(), 2048u);
    for (unsigned i = 0; i < 2047; i++) ASSERT_EQ(a[i], i + 1);
    EXPECT_EQ(a[2047], 0);
  }
  // Filing: 50 cells give 50 fragments, 51 a single one in bucket 0.
  EMeshEntity* e = MakeAt("big", EVec3(0, 0, 0));
  const uint16_t i = e->GetCollisionIndex();
  ASSERT_NE(i, CM::NULL_INDEX);
  EXPECT_EQ(CountFrags(i), 1);
  const int nHeads = m_cm.GetFragCount();
  EXPECT_EQ(m_cm.RemoveFragments(i), 1);
  m_cm.AddFragments(i, CellBox(5, 5, 2));
  EXPECT_EQ(CountFrags(i), 50);
  EXPECT_EQ(m_cm.RemoveFragments(i), 50);
  m_cm.AddFragments(i, CellBox(51, 1, 1));
  ASSERT_EQ(CountFrags(i), 1);
  const CM::CollideeFrag& f = m_cm.GetFrag(m_cm.GetInfo(i).iFirstFrag);
  EXPECT_EQ(m_cm.GetFrag(0).iNext, m_cm.GetInfo(i).iFirstFrag);
  EXPECT_EQ(f.iNext, 0);
  // Freed fragments are reused: the array did not grow past what it held.
  EXPECT_LE(m_cm.GetFragCount(), nHeads + 50);
  // A query anywhere visits the overflow bucket.
  EXPECT_EQ(Walk(EBox3(EVec3(90000, 0, 0), EVec3(90001, 1, 1))), std::vector<std::string>{"big"});
}

TEST_F(CollisionGrid, EachCollideeOncePerWalkNewestFirst) {
  // (0,0,0) and (2047,0,0) share bucket 1.
  MakeAt("a", EVec3(0, 0, 0));
  MakeAt("far", EVec3(2047 * 1024.0f, 0, 0));
  EMeshEntity* b = MakeAt("b", EVec3(10, 0, 0));
  // b spans two cells listed twice in a query box of its own cells.
  m_cm.RemoveFragments(b->GetCollisionIndex());
  m_cm.AddFragments(b->GetCollisionIndex(), EBox3(EVec3(0, 0, 0), EVec3(1024, 0, 0)));
  EXPECT_EQ(Walk(EBox3(EVec3(0, 0, 0), EVec3(1, 1, 1))), (std::vector<std::string>{"b", "far", "a"}));
  EXPECT_EQ(Walk(EBox3(EVec3(-10, 0, 0), EVec3(2000, 1, 1))), (std::vector<std::string>{"b", "far", "a"}));
  // The cell far away shares the bucket, so its query sees the near ones too.
  EXPECT_EQ(Walk(EBox3(EVec3(2047 * 1024.0f, 0, 0), EVec3(2047 * 1024.0f, 1, 1))).size(), 3u);
}

// Nested walks keep their own marks: the outer walk still returns each collidee once.
TEST_F(CollisionGrid, NestedWalksDoNotDisturbEachOther) {
  for (int i = 0; i < 4; i++) {
    EMeshEntity* e = MakeAt(("e" + std::to_string(i)).c_str(), EVec3(100.0f * (float)i, 0, 0));
    m_cm.RemoveFragments(e->GetCollisionIndex());
    m_cm.AddFragments(e->GetCollisionIndex(), EBox3(EVec3(0, 0, 0), EVec3(2048, 0, 0)));  // three cells
  }
  const EBox3 box(EVec3(0, 0, 0), EVec3(2048, 1, 1));
  std::vector<std::string> outer;
  for (CM::CollideeInfo::Iter it(&m_cm, box, CM::kCollideeEntity, m_stack); it; ++it) {
    outer.push_back(static_cast<EEntity*>(it->pObject)->GetName());
    EXPECT_EQ(Walk(box).size(), 4u);
  }
  std::sort(outer.begin(), outer.end());
  EXPECT_EQ(outer, (std::vector<std::string>{"e0", "e1", "e2", "e3"}));
  // A second walk with the first one's stamp skips what the first returned.
  uint32_t nStamp = 0;
  std::vector<std::string> first;
  {
    CM::CollideeInfo::Iter it(&m_cm, EBox3(EVec3(0, 0, 0), EVec3(1, 1, 1)), CM::kCollideeEntity, m_stack);
    nStamp = it.GetStamp();
    // The walk marks a record when it stops on it: stop on the second.
    first.push_back(static_cast<EEntity*>(it->pObject)->GetName());
    ++it;
    first.push_back(static_cast<EEntity*>(it->pObject)->GetName());
  }
  CM::CollideeInfo::Iter it(&m_cm, box, CM::kCollideeEntity, m_stack, nStamp);
  int nSecond = 0;
  for (; it; ++it, ++nSecond)
    EXPECT_EQ(std::find(first.begin(), first.end(), static_cast<EEntity*>(it->pObject)->GetName()), first.end());
  EXPECT_EQ(nSecond, 2);
}

TEST_F(CollisionGrid, RegistrationAndFiltering) {
  EMeshEntity* a = MakeAt("a", EVec3(0, 0, 0));
  EMeshEntity* b = MakeAt("b", EVec3(5, 0, 0));
  const int nRecords = m_cm.GetNumRegistered();
  m_cm.Register(a);
  EXPECT_EQ(Count("e->m_iCollisionIndex == NULL_INDEX"), 1);
  EXPECT_EQ(m_cm.GetNumRegistered(), nRecords);
  // A freed index is the first handed out again.
  const uint16_t ia = a->GetCollisionIndex();
  m_cm.Unregister(a);
  EXPECT_EQ(a->GetCollisionIndex(), CM::NULL_INDEX);
  m_cm.Unregister(a);
  EXPECT_EQ(Count("e->m_iCollisionIndex != NULL_INDEX"), 1);
  m_cm.Register(a);
  EXPECT_EQ(a->GetCollisionIndex(), ia);
  // FilterEntity keeps an entity out of a walk.
  std::vector<std::string> names;
  for (CM::CollideeInfo::Iter it(&m_cm, EBox3(EVec3(0, 0, 0), EVec3(1, 1, 1)), CM::kCollideeEntity, m_stack); it;
       ++it) {
    it.FilterEntity(b);
    if (it) names.push_back(static_cast<EEntity*>(it->pObject)->GetName());
  }
  EXPECT_EQ(names, std::vector<std::string>{"a"});
  // No longer a collidee: filed nowhere, found by nothing.
  b->GetPhysics()->SetFlag(PHYSICS_COLLIDEE, false);
  m_cm.Update(b);
  EXPECT_EQ(m_cm.GetInfo(b->GetCollisionIndex()).iFirstFrag, CM::NULL_INDEX);
  EXPECT_EQ(Walk(EBox3(EVec3(0, 0, 0), EVec3(1, 1, 1))), std::vector<std::string>{"a"});
}

TEST_F(CollisionGrid, TheDisabledManagerFindsNothing) {
  EMeshEntity* e = MakeAt("a", EVec3(0, 0, 0));
  CM& dummy = CM::sm_CM_dummy;
  dummy.Register(e);
  dummy.Update(e);
  dummy.Unregister(e);
  EXPECT_EQ(dummy.GetNumRegistered(), 0);
  EXPECT_EQ(dummy.GetBucketCount(), 0u);
  EXPECT_EQ(m_cm.GetBucketCount(), 2048u);
  int n = 0;
  for (CM::CollideeInfo::Iter it(&dummy, EBox3(EVec3(-1e6f, -1e6f, -1e6f), EVec3(1e6f, 1e6f, 1e6f)),
                                 CM::kCollideeEntity, m_stack);
       it; ++it)
    n++;
  EXPECT_EQ(n, 0);
}

}  // namespace
