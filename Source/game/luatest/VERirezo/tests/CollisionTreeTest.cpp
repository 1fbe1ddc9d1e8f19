// Collision trees: reading every record layout, refusing damaged records, and
// the queries against small known scenes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"
#include "TWMath/Intersect.h"
#include "TWMath/Octree.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "TWGraphics/Color.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/DebugLine.h"

namespace {

using collisionwriter::Poly;
using collisionwriter::WriteCollisionTree;

class CollisionTraceCapture {
public:
  CollisionTraceCapture() {
    Lines().clear();
    g_ErrorManager.SetConsoleCallback(&CollisionTraceCapture::Collect);
  }
  ~CollisionTraceCapture() { g_ErrorManager.SetConsoleCallback(nullptr); }
  bool Contains(const std::string& text) const {
    for (const std::string& s : Lines())
      if (s.find(text) != std::string::npos) return true;
    return false;
  }

private:
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> s_lines;
    return s_lines;
  }
  static void Collect(const char* text) { Lines().push_back(text ? text : ""); }
};

class NamedReader : public EMemReader {
public:
  NamedReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "floor.col"; }
};

const uint32_t kALL = kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_Camera | kCOLLIDEFLAG_Terrain;

Poly MakePoly(uint32_t a, uint32_t b, uint32_t c, uint32_t flags, uint32_t nav = 0xFF) {
  Poly p;
  p.v[0] = a;
  p.v[1] = b;
  p.v[2] = c;
  p.flags = flags;
  p.nav = nav;
  return p;
}

// Two triangles covering -100..100 in X and Z at height y, facing +Y.
void AddFloor(std::vector<EVec3>& v, std::vector<Poly>& p, float y, uint32_t flags0, uint32_t flags1) {
  uint32_t b = (uint32_t)v.size();
  v.push_back(EVec3(-100, y, -100));
  v.push_back(EVec3(100, y, -100));
  v.push_back(EVec3(-100, y, 100));
  v.push_back(EVec3(100, y, 100));
  p.push_back(MakePoly(b + 0, b + 1, b + 2, flags0));
  p.push_back(MakePoly(b + 1, b + 3, b + 2, flags1));
}

// A grid of n x n quads over -100..100 with a gentle slope.
void AddGrid(std::vector<EVec3>& v, std::vector<Poly>& p, int n) {
  for (int z = 0; z <= n; z++)
    for (int x = 0; x <= n; x++) {
      float fx = -100.0f + 200.0f * (float)x / (float)n, fz = -100.0f + 200.0f * (float)z / (float)n;
      v.push_back(EVec3(fx, 0.05f * fx + 3.0f * std::sin(fz * 0.1f), fz));
    }
  for (int z = 0; z < n; z++)
    for (int x = 0; x < n; x++) {
      uint32_t i = (uint32_t)(z * (n + 1) + x);
      p.push_back(MakePoly(i, i + 1, i + (uint32_t)n + 1, kSurfacePhysical | kSurfaceTerrain));
      p.push_back(MakePoly(i + 1, i + (uint32_t)n + 2, i + (uint32_t)n + 1, kSurfacePhysical));
    }
}

std::unique_ptr<ECollisionTree> ReadTree(const std::vector<uint8_t>& bytes, unsigned version, bool* pConsumed = nullptr) {
  std::unique_ptr<ECollisionTree> t(new ECollisionTree);
  NamedReader s(bytes, version);
  EXPECT_TRUE(t->Read(s));
  if (pConsumed) *pConsumed = s.GetPos() == s.GetSize() && !s.Err();
  return t;
}

std::unique_ptr<ECollisionTree> Build(const std::vector<EVec3>& v, const std::vector<Poly>& p, unsigned version = 317,
                                      unsigned maxPerLeaf = 8) {
  collisionwriter::Options opt;
  opt.maxPerLeaf = maxPerLeaf;
  return ReadTree(WriteCollisionTree(v, p, version, opt), version);
}

TEST(CollisionTree, EveryLayoutReadsBackTheSamePolygonTable) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddGrid(v, p, 6);
  p[3].flags |= 0x93C00000u;  // group, material and trigger bits
  p[5].nav = 0x80123404u;     // mesh 4, polygon 0x1234 with the unused top bit
  p[7].flags |= kSurfaceNonManifold;
  p[9].flags |= kSurfaceCamera;
  const int nBefore = ECollisionTree::sm_iGlobalPolyCount, nCamBefore = ECollisionTree::sm_iGlobalCameraPolyCount;
  const int nTerrainBefore = ECollisionTree::sm_iGlobalTerrainPolyCount;
  std::vector<std::unique_ptr<ECollisionTree>> trees;
  for (unsigned version : {305u, 306u, 313u, 314u, 317u}) {
    SCOPED_TRACE(version);
    bool bConsumed = false;
    collisionwriter::Options opt;
    opt.maxPerLeaf = 4;
    trees.push_back(ReadTree(WriteCollisionTree(v, p, version, opt), version, &bConsumed));
    const ECollisionTree& t = *trees.back();
    EXPECT_TRUE(bConsumed);
    ASSERT_EQ(t.GetPolyCount(), (int)p.size());
    ASSERT_EQ(t.GetVertArray().Num(), (int)v.size());
    ASSERT_NE(t.GetOctree(), nullptr);
    EXPECT_EQ(t.GetNonManifoldPoly(), 7);
    for (int i = 0; i < t.GetPolyCount(); i++) {
      const ECollisionPoly2& poly = t.GetPoly(i);
      EXPECT_EQ(poly.m_dwFlags, p[i].flags);
      for (int k = 0; k < 3; k++) EXPECT_EQ(poly.m_aVertIndex[k], p[i].v[k]);
      EXPECT_EQ(poly.GetNavWord(), p[i].nav);
      EXPECT_EQ(poly.m_nStamp, 0);
      const ETri3 tri = t.GetTri(i);
      const EVec3 c = (tri.p2 - tri.p0).Cross(tri.p1 - tri.p0);
      EXPECT_NEAR(poly.m_fInvNormalLength, 1.0f / c.Length(), 1e-7f);
      EXPECT_NEAR(t.GetTriNormal(i).Length(), 1.0f, 1e-4f);
    }
    EXPECT_EQ(t.GetPoly(5).m_nNavMesh, 4);
    EXPECT_EQ(t.GetPoly(5).GetNavPoly(), 0x1234u);
    EXPECT_EQ(t.GetBoundingBox().vMin.x, -100.0f);
    EXPECT_EQ(t.GetBoundingBox().vMax.z, 100.0f);
  }
  EXPECT_EQ(ECollisionTree::sm_iGlobalPolyCount, nBefore + 5 * (int)p.size());
  EXPECT_EQ(ECollisionTree::sm_iGlobalCameraPolyCount, nCamBefore + 5);
  EXPECT_EQ(ECollisionTree::sm_iGlobalTerrainPolyCount, nTerrainBefore + 5 * 36);
  trees.clear();
  EXPECT_EQ(ECollisionTree::sm_iGlobalPolyCount, nBefore);
  EXPECT_EQ(ECollisionTree::sm_iGlobalCameraPolyCount, nCamBefore);
  EXPECT_EQ(ECollisionTree::sm_iGlobalTerrainPolyCount, nTerrainBefore);
}

TEST(CollisionTree, EmptyRecordIsTheCountAndTheBox) {
  std::vector<EVec3> v = {EVec3(-1, -2, -3), EVec3(4, 5, 6)};
  std::vector<uint8_t> bytes = WriteCollisionTree(v, {}, 317);
  ASSERT_EQ(bytes.size(), 28u);
  bool bConsumed = false;
  auto t = ReadTree(bytes, 317, &bConsumed);
  EXPECT_TRUE(bConsumed);
  EXPECT_EQ(t->GetPolyCount(), 0);
  EXPECT_EQ(t->GetOctree(), nullptr);
  EXPECT_EQ(t->GetBoundingBox().vMax.y, 5.0f);
  ECollisionTreeHit hit;
  EXPECT_FALSE(t->CheckForCollision(EVec3(0, 10, 0), EVec3(0, -10, 0), 0.0f, kALL, 0xF, &hit));
  EXPECT_FALSE(t->CheckForContainment(EVec3(0, 0, 0), false, 0xF));
}

TEST(CollisionTree, DegenerateOldPolygonLosesPhysicalAndCamera) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddFloor(v, p, 0.0f, kSurfacePhysical | kSurfaceCamera | kSurfaceClimb, kSurfacePhysical);
  p.push_back(MakePoly(0, 1, 1, kSurfacePhysical | kSurfaceCamera | kSurfaceClimb));
  CollisionTraceCapture trace;
  auto t = Build(v, p, 305);
  EXPECT_TRUE(trace.Contains("Degenerate collision poly 2 (floor.col)"));
  EXPECT_EQ(t->GetPoly(2).m_dwFlags, (uint32_t)kSurfaceClimb);
  EXPECT_EQ(t->GetPoly(2).m_fInvNormalLength, 1.0f);
  EXPECT_EQ(t->GetPoly(0).m_dwFlags, (uint32_t)(kSurfacePhysical | kSurfaceCamera | kSurfaceClimb));
}

// Every damaged record is refused whole: Read false, nothing kept, nothing counted.
TEST(CollisionTree, DamagedRecordsAreRefused) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddFloor(v, p, 0.0f, kSurfacePhysical, kSurfacePhysical);
  struct Case {
    const char* name;
    unsigned version;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  for (unsigned version : {305u, 310u, 317u}) {
    std::vector<uint8_t> good = WriteCollisionTree(v, p, version);
    // Every shortened record.
    for (size_t n = 0; n < good.size(); n++)
      cases.push_back({"short", version, std::vector<uint8_t>(good.begin(), good.begin() + (long)n)});
    // A polygon count beyond the stream.
    std::vector<uint8_t> b = good;
    PutLE32(b.data(), 0x7FFFFFF0u);
    cases.push_back({"count", version, b});
    // A vertex index beyond the vertex table.
    b = good;
    if (version < 306) PutLE32(b.data() + 4 + 4, 4);
    else PutLE16(b.data() + 4 + 4 + 2, 4);
    cases.push_back({"index", version, b});
    // A primitive index of the octree beyond the polygon table: the last index word.
    b = good;
    PutLE32(b.data() + b.size() - 24 - 4, 2);
    cases.push_back({"octree index", version, b});
  }
  // An old index that does not fit 16 bits.
  std::vector<uint8_t> b = WriteCollisionTree(v, p, 305);
  PutLE32(b.data() + 4, 0x10000);
  cases.push_back({"wide index", 305, b});
  // A polygon table with an octree of no nodes.
  b = WriteCollisionTree(v, p, 317);
  {
    std::vector<uint8_t> head(b.begin(), b.begin() + 4 + 2 * 20 + 4 + 4 * 12);
    const uint8_t empty[4 + 16 + 4 + 4 + 4 + 4] = {0};
    head.insert(head.end(), empty, empty + sizeof(empty));
    head.insert(head.end(), b.end() - 24, b.end());
    cases.push_back({"no nodes", 317, head});
  }
  const int nBefore = ECollisionTree::sm_iGlobalPolyCount, nVertBefore = ECollisionTree::sm_iGlobalVertCount;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.version) + " " + std::to_string(c.bytes.size()));
    ECollisionTree t;
    EMemReader s(c.bytes.data(), (unsigned)c.bytes.size());
    s.SetVersion(c.version);
    EXPECT_FALSE(t.Read(s));
    EXPECT_EQ(t.GetPolyCount(), 0);
    EXPECT_EQ(t.GetVertArray().Num(), 0);
    EXPECT_EQ(t.GetOctree(), nullptr);
    EXPECT_FALSE(t.CheckForCollision(EVec3(0, 10, 0), EVec3(0, -10, 0), 0.0f, kALL, 0xF, nullptr));
    EXPECT_EQ(ECollisionTree::sm_iGlobalPolyCount, nBefore);
    EXPECT_EQ(ECollisionTree::sm_iGlobalVertCount, nVertBefore);
  }
}

TEST(CollisionTree, KnownAnswersOnATwoTriangleFloor) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddFloor(v, p, 0.0f, kSurfacePhysical, kSurfacePhysical);
  auto t = Build(v, p);
  ECollisionTreeHit hit;
  // A ray down to y = -50 from y = 50 meets the floor half way.
  ASSERT_TRUE(t->CheckForCollision(EVec3(10, 50, 10), EVec3(10, -50, 10), 0.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  EXPECT_NEAR(hit.fTime, 0.5f, 1e-5f);
  EXPECT_NEAR(hit.vEnd.y, 0.0f, 1e-3f);
  EXPECT_EQ(hit.dwKind, (uint32_t)kPOLYHIT_Face);
  EXPECT_EQ(hit.iSubPrimitive, 0u);
  EXPECT_NEAR(hit.vNormal.y, 1.0f, 1e-5f);
  EXPECT_EQ(hit.iPoly, 1);
  EXPECT_EQ(hit.fDepth, -1.0f);
  // A sphere of radius 5 stops 5 units earlier.
  ASSERT_TRUE(t->CheckForCollision(EVec3(-30, 50, -30), EVec3(-30, -50, -30), 5.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  EXPECT_NEAR(hit.fTime, 0.45f, 1e-4f);
  EXPECT_NEAR(hit.vEnd.y, 5.0f, 1e-2f);
  EXPECT_EQ(hit.iPoly, 0);
  // The camera does not see physical-only triangles.
  EXPECT_FALSE(t->CheckForCollision(EVec3(10, 50, 10), EVec3(10, -50, 10), 0.0f, kCOLLIDEFLAG_Camera, 0xF, &hit));
  // A motion that ends above the floor misses; one outside the box costs nothing.
  EXPECT_FALSE(t->CheckForCollision(EVec3(10, 50, 10), EVec3(10, 6, 10), 5.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  EXPECT_FALSE(t->CheckForCollision(EVec3(500, 50, 10), EVec3(500, -50, 10), 5.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
}

// The 16-bit query stamps wrap: the query whose stamp comes round to 0 must
// still test the triangles that no query has visited (their stamp is 0).
TEST(CollisionTree, QueriesStillHitAfterTheStampsWrap) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddFloor(v, p, 0.0f, kSurfaceCamera, kSurfacePhysical);
  auto t = Build(v, p);
  ECollisionTreeHit hit;
  // Physical queries never stamp the camera-only triangle 0.
  int nMissed = 0;
  for (int i = 0; i < 65535; i++)
    nMissed += !t->CheckForCollision(EVec3(50, 10, 50), EVec3(50, -10, 50), 0.0f, kCOLLIDEFLAG_Physical, 0xF, &hit);
  EXPECT_EQ(nMissed, 0);
  // Query 65536.
  ASSERT_TRUE(t->CheckForCollision(EVec3(-50, 10, -50), EVec3(-50, -10, -50), 0.0f, kCOLLIDEFLAG_Camera, 0xF, &hit));
  EXPECT_EQ(hit.iPoly, 0);
  EXPECT_TRUE(t->CheckForCollision(EVec3(50, 10, 50), EVec3(50, -10, 50), 0.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
}

TEST(CollisionTree, BackFacesAndTwoSidedTriangles) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddFloor(v, p, 0.0f, kSurfacePhysical, kSurfacePhysical | kSurfaceDoubleSided);
  auto t = Build(v, p);
  ECollisionTreeHit hit;
  const EVec3 below0(-30, -50, -30), above0(-30, 50, -30);  // over triangle 0 (one-sided)
  const EVec3 below1(30, -50, 30), above1(30, 50, 30);      // over triangle 1 (double-sided)
  EXPECT_FALSE(t->CheckForCollision(below0, above0, 0.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  EXPECT_FALSE(t->CheckForCollision(below0, above0, 3.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  // The two-sided option: hit from behind, and a ray keeps the plane normal.
  ASSERT_TRUE(t->CheckForCollision(below0, above0, 0.0f, kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_NoBackfaceCull, 0xF,
                                   &hit));
  EXPECT_EQ(hit.iSubPrimitive, 1u);
  EXPECT_NEAR(hit.vNormal.y, 1.0f, 1e-5f);
  // A double-sided triangle is hit from behind without the option; the normal faces the ray's start.
  ASSERT_TRUE(t->CheckForCollision(below1, above1, 0.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  EXPECT_EQ(hit.iPoly, 1);
  EXPECT_EQ(hit.iSubPrimitive, 1u);
  EXPECT_NEAR(hit.vNormal.y, -1.0f, 1e-5f);
  ASSERT_TRUE(t->CheckForCollision(below1, above1, 3.0f, kCOLLIDEFLAG_Physical, 0xF, &hit));
  EXPECT_NEAR(hit.vEnd.y, -3.0f, 1e-2f);
  EXPECT_NEAR(hit.vNormal.y, -1.0f, 1e-4f);
}

TEST(CollisionTree, GroupsStayHiddenUntilTheSceneEnablesThem) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  const uint32_t kGroup2 = 2u << kSurfaceGroupShift;
  AddFloor(v, p, 0.0f, kSurfacePhysical | kGroup2, kSurfacePhysical | kGroup2);
  EXPECT_EQ(SurfaceFlagsToGroupFlags(kGroup2), 4u);
  auto t = Build(v, p);
  ECollisionTreeHit hit;
  EXPECT_FALSE(t->CheckForCollision(EVec3(10, 50, 10), EVec3(10, -50, 10), 0.0f, kCOLLIDEFLAG_Physical, 1 | 2 | 8, &hit));
  EXPECT_TRUE(t->CheckForCollision(EVec3(10, 50, 10), EVec3(10, -50, 10), 0.0f, kCOLLIDEFLAG_Physical, 1 | 4, &hit));
  EMemStack stack(1 << 16);
  uint32_t* pOut = nullptr;
  int n = -1;
  t->GetIntersectingTriangles(ESphere(EVec3(0, 0, 0), 5.0f), stack, kSurfacePhysical, 1, &pOut, &n);
  EXPECT_EQ(n, 0);
  t->GetIntersectingTriangles(ESphere(EVec3(0, 0, 0), 5.0f), stack, kSurfacePhysical, 4, &pOut, &n);
  EXPECT_EQ(n, 2);
}

// Rays over 1000 units walk the octree in order; both walks find the same triangle.
TEST(CollisionTree, OrderedAndBoxWalksAgree) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddGrid(v, p, 12);
  auto t = Build(v, p, 317, 4);
  for (float x : {-95.0f, -40.3f, 0.1f, 17.7f, 88.8f}) {
    SCOPED_TRACE(x);
    ECollisionTreeHit a, b;
    // Nearly vertical rays of length 1000 and 1000.5.
    const EVec3 start(x, 500.0f, x * 0.5f);
    ASSERT_TRUE(t->CheckForCollision(start, start + EVec3(1.0f, -1000.0f, 0.0f).GetNormal() * 1000.0f, 0.0f,
                                     kCOLLIDEFLAG_Physical, 0xF, &a));
    ASSERT_TRUE(t->CheckForCollision(start, start + EVec3(1.0f, -1000.0f, 0.0f).GetNormal() * 1000.5f, 0.0f,
                                     kCOLLIDEFLAG_Physical, 0xF, &b));
    EXPECT_EQ(a.iPoly, b.iPoly);
    EXPECT_NEAR(a.vEnd.y, b.vEnd.y, 1e-2f);
    // A long slanted ray meets the first of several triangles it crosses.
    ECollisionTreeHit c, d;
    const EVec3 s2(x, 10.0f, -200.0f), e2(x, -10.0f, 2000.0f);
    bool bLong = t->CheckForCollision(s2, e2, 0.0f, kCOLLIDEFLAG_Physical, 0xF, &c);
    bool bShort = t->CheckForCollision(s2, s2 + (e2 - s2) * (999.0f / (e2 - s2).Length()), 0.0f,
                                       kCOLLIDEFLAG_Physical, 0xF, &d);
    ASSERT_EQ(bLong, bShort);
    if (bLong) {
      EXPECT_NEAR(c.vEnd.z, d.vEnd.z, 1e-2f);
    }
  }
}

TEST(CollisionTree, RestingSphereTakesTheFirstOrTheLeastPenetrated) {
  std::vector<EVec3> v = {EVec3(-100, 0, -100), EVec3(100, 0, -100), EVec3(-100, 0, 100),
                          EVec3(-100, -1, -100), EVec3(100, -1, -100), EVec3(-100, -1, 100),
                          EVec3(400, 400, 400), EVec3(410, 400, 400), EVec3(400, 400, 410)};
  // The far triangle moves the octree's centre so that both floors share one leaf.
  std::vector<Poly> p = {MakePoly(0, 1, 2, kSurfacePhysical), MakePoly(3, 4, 5, kSurfacePhysical),
                         MakePoly(6, 7, 8, kSurfacePhysical)};
  auto t = Build(v, p);
  ECollisionTreeHit hit;
  const EVec3 c(-20, 3, -20);
  ASSERT_TRUE(t->CheckForCollision(c, c, 5.0f, kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_CheckPosition, 0xF, &hit));
  EXPECT_EQ(hit.iPoly, 0);
  EXPECT_EQ(hit.fTime, 0.0f);
  ASSERT_TRUE(t->CheckForCollision(c, c, 5.0f,
                                   kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_CheckPosition | kCOLLIDEFLAG_ReportDepth, 0xF,
                                   &hit));
  EXPECT_EQ(hit.iPoly, 1);
  EXPECT_NEAR(hit.fDepth, 1.0f, 1e-4f);
  EXPECT_FALSE(t->CheckForCollision(EVec3(-20, 6, -20), EVec3(-20, 6, -20), 5.0f,
                                    kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_CheckPosition, 0xF, &hit));
}

// A closed box: containment is decided by the facing of the face the ray meets.
TEST(CollisionTree, ContainmentInAClosedBox) {
  std::vector<EVec3> v;
  for (int i = 0; i < 8; i++)
    v.push_back(EVec3((i & 4) ? 10.0f : -10.0f, (i & 2) ? 10.0f : -10.0f, (i & 1) ? 10.0f : -10.0f));
  const uint32_t faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                 {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
  for (bool bFlip : {false, true}) {
    SCOPED_TRACE(bFlip);
    std::vector<Poly> p;
    for (auto& f : faces) p.push_back(bFlip ? MakePoly(f[0], f[2], f[1], kSurfacePhysical)
                                            : MakePoly(f[0], f[1], f[2], kSurfacePhysical));
    auto t = Build(v, p, 317, 2);
    // Which way the faces point: the normal of face 0 (x = -10).
    const bool bInward = t->GetTriNormal(0).x > 0.0f;
    for (const EVec3& pt : {EVec3(0, 0, 0), EVec3(9, -3, 2), EVec3(-2, 8.5f, -9.5f)}) {
      EXPECT_EQ(t->CheckForContainment(pt, false, 0xF), bInward);
      EXPECT_EQ(t->CheckForContainment(pt, true, 0xF), !bInward);
    }
    EXPECT_FALSE(t->CheckForContainment(EVec3(11, 0, 0), false, 0xF));
    EXPECT_FALSE(t->CheckForContainment(EVec3(11, 0, 0), true, 0xF));
  }
}

TEST(CollisionTree, SphereGatherAndAdjacencyMatchAFullScan) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddGrid(v, p, 10);
  auto t = Build(v, p, 317, 3);
  EMemStack stack(1 << 16);
  for (const ESphere& s : {ESphere(EVec3(0, 0, 0), 15.0f), ESphere(EVec3(-90, 2, 50), 30.0f),
                           ESphere(EVec3(0, 50, 0), 5.0f)}) {
    for (uint32_t mask : {(uint32_t)kSurfacePhysical, (uint32_t)kSurfaceTerrain}) {
      unsigned nUsed = stack.GetUsedBytes();
      uint32_t* pOut = nullptr;
      int n = 0;
      t->GetIntersectingTriangles(s, stack, mask, 0xF, &pOut, &n);
      std::vector<uint32_t> got(pOut, pOut + n), want;
      for (int i = 0; i < t->GetPolyCount(); i++)
        if ((t->GetPoly(i).m_dwFlags & mask) && TWMath::TestIntersection(t->GetTri(i), s)) want.push_back((uint32_t)i);
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got, want);
      stack.PopTo(nUsed);
    }
  }
  // Vertex 12 is an inner corner: six triangles share it.
  EArray<uint32_t> adj;
  t->GetAdjacentPolies(12, adj);
  std::vector<uint32_t> got(adj.GetData(), adj.GetData() + adj.Num()), want;
  for (int i = 0; i < t->GetPolyCount(); i++)
    for (int k = 0; k < 3; k++)
      if (t->GetPoly(i).m_aVertIndex[k] == 12) want.push_back((uint32_t)i);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(want.size(), 6u);
  // The leaf holding the vertex lists at least the triangles in its own cell.
  for (uint32_t i : got) EXPECT_NE(std::find(want.begin(), want.end(), i), want.end());
  EXPECT_FALSE(got.empty());
}

TEST(CollisionTree, SurfaceFlagNamesAndTheHighlightCycle) {
  struct {
    uint32_t flags;
    const char* name;
  } names[] = {{0x3000, "kSurfaceCamera"}, {0x200, "kSurfaceUNUSED2"}, {0x1, "kSurfaceHang"},
               {0x80000, "kSurfaceTerrain"}, {0x0F000000, "kSurfaceMaterial"}, {0x30000000, "kSurfaceTrigger"},
               {0x100000, nullptr}, {0x02000000, nullptr}, {0x40000000, nullptr}, {0, "Unknown flag"}};
  for (auto& c : names) {
    const char* got = GetSurfaceFlagName(c.flags);
    if (c.name) {
      ASSERT_NE(got, nullptr) << c.flags;
      EXPECT_STREQ(got, c.name);
    } else {
      EXPECT_EQ(got, nullptr) << c.flags;
    }
  }
  const uint32_t next[][2] = {{0, 0x1}, {0x80000, 0x1}, {0x1, 0xF0000000}, {0x10000000, 0x0F000000},
                              {0x01000000, 0x80}, {0x8000, 0x80000}, {0x20, 0x2000}, {0x100000, 0x1}};
  for (auto& c : next) EXPECT_EQ(GetNextSurfaceFlag(c[0]), c[1]) << std::hex << c[0];
}

}  // namespace

namespace {

// The triangles a draw queued: flags and corner colours.
struct QueuedTri {
  uint32_t dwFlags;
  uint32_t aColour[3];
  bool operator==(const QueuedTri& o) const {
    return dwFlags == o.dwFlags && aColour[0] == o.aColour[0] && aColour[1] == o.aColour[1] &&
           aColour[2] == o.aColour[2];
  }
};

std::vector<QueuedTri> DrawStyle(ECollisionTree& tree, int eStyle, const EVec4& c) {
  EDebugTriManager tris;
  EDebugTriManager* pOld = gDebugTri;
  gDebugTri = &tris;
  tree.RequestRender(cg_mIdentity, eStyle, c, nullptr);
  gDebugTri = pOld;
  std::vector<QueuedTri> out;
  EDataArray<EDebugTri>& pool = *tris.GetPool();
  for (int i = 0; i < pool.GetNumUsed(); i++)
    out.push_back(QueuedTri{pool[i].m_dwFlags,
                            {pool[i].m_aVerts[0].m_dwColor, pool[i].m_aVerts[1].m_dwColor,
                             pool[i].m_aVerts[2].m_dwColor}});
  return out;
}

QueuedTri Tri(uint32_t dwFlags, const EVec4& a, const EVec4& b, const EVec4& c) {
  return QueuedTri{dwFlags, {ColorVectorToRGBA(a), ColorVectorToRGBA(b), ColorVectorToRGBA(c)}};
}

}  // namespace

// Each style draws the triangles of its surfaces once, in its colours and draw modes.
TEST(CollisionTree, DebugDrawStyles) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddGrid(v, p, 2);  // eight triangles
  const uint32_t aFlags[8] = {kSurfacePhysical | kSurfaceCamera, kSurfaceCamera, kSurfacePhysical, kSurfaceWater,
                              kSurfaceWater, kSurfaceWater, kSurfaceWater,
                              kSurfacePhysical | kSurfaceDoubleSided};
  ASSERT_EQ(p.size(), 8u);
  for (int i = 0; i < 8; i++) p[i].flags = aFlags[i];
  // Small leaves list the triangles in several cells; each is still drawn once.
  std::unique_ptr<ECollisionTree> tree = Build(v, p, 317, 1);
  const EVec4 c(0.2f, 0.4f, 0.6f, 0.5f);
  const EVec4 kLightBlue(0.25f, 0.25f, 1, 1), kPink(1, 0.25f, 0.25f, 1), kLightGreen(0.25f, 1, 0.25f, 1);
  const EVec4 white(1, 1, 1, 1);
  const EVec4 y0(1, 1, 0, 1), y1(1, 1, 0.33f, 1), y2(1, 1, 0.66f, 1);
  auto Sorted = [](std::vector<QueuedTri> v) {
    std::sort(v.begin(), v.end(), [](const QueuedTri& a, const QueuedTri& b) {
      return a.dwFlags != b.dwFlags ? a.dwFlags < b.dwFlags : a.aColour[0] < b.aColour[0];
    });
    return v;
  };
  struct Case {
    int eStyle;
    std::vector<QueuedTri> expected;
  };
  const EVec4 m0((c.x + 1) / 2, (c.y + 0.7f) / 2, (c.z + 0.7f) / 2, c.w);
  const EVec4 m1((c.x + 0.2f) / 2, (c.y + 1) / 2, (c.z + 0.2f) / 2, c.w);
  const EVec4 g0(0, 0.8f, 0, 1), g1(0.33f, 0.8f, 0.33f, 1), g2(0.66f, 0.8f, 0.66f, 1);
  const Case cases[] = {
      // Physical triangles in the style colour mixes; a double-sided one also from behind in green.
      {COLLISIONPOLYSTYLE_Highlight,
       {Tri(0, m0, m1, c), Tri(0, m0, m1, c), Tri(0, m0, m1, c), Tri(2, g0, g1, g2)}},
      // Camera triangles of a tree that is not the level's: yellow on both sides.
      {COLLISIONPOLYSTYLE_ByTree, {Tri(0, y0, y1, y2), Tri(0, y0, y1, y2), Tri(0, y0, y1, y2), Tri(0, y0, y1, y2)}},
      {COLLISIONPOLYSTYLE_CameraPhysical,
       {Tri(2, kLightBlue, kLightBlue, kLightBlue), Tri(2, kPink, kPink, kPink),
        Tri(2, kLightGreen, kLightGreen, kLightGreen), Tri(2, kLightGreen, kLightGreen, kLightGreen)}},
      {COLLISIONPOLYSTYLE_Flat, {Tri(6, c, c, c), Tri(6, c, c, c), Tri(6, c, c, c), Tri(6, c, c, c)}},
      {COLLISIONPOLYSTYLE_Solid,
       {Tri(1, c, c, c), Tri(1, c, c, c), Tri(1, c, c, c), Tri(1, c, c, c), Tri(3, white, white, white),
        Tri(3, white, white, white), Tri(3, white, white, white), Tri(3, white, white, white)}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.eStyle);
    EXPECT_EQ(Sorted(DrawStyle(*tree, k.eStyle, c)), Sorted(k.expected));
  }
  // A tree without triangles draws nothing.
  std::unique_ptr<ECollisionTree> empty = ReadTree(WriteCollisionTree(v, {}, 317), 317);
  EXPECT_TRUE(DrawStyle(*empty, COLLISIONPOLYSTYLE_Flat, c).empty());
}

TEST(CollisionTree, StatisticsText) {
  std::vector<EVec3> v;
  std::vector<Poly> p;
  AddGrid(v, p, 2);
  std::unique_ptr<ECollisionTree> tree = Build(v, p);
  std::vector<std::string> lines;
  ECollisionTree::DrawDebugText(
      [](void* pUser, const char* sz) { static_cast<std::vector<std::string>*>(pUser)->push_back(sz); }, &lines);
  ASSERT_EQ(lines.size(), 4u);
  char sz[64];
  snprintf(sz, sizeof(sz), "Collision Verts/Polys = %d/%d", ECollisionTree::sm_iGlobalVertCount,
           ECollisionTree::sm_iGlobalPolyCount);
  EXPECT_EQ(lines[0], sz);
  EXPECT_EQ(lines[1].rfind("Collision Node/Leaf = ", 0), 0u);
  EXPECT_EQ(lines[2].rfind("Collision Primitives = ", 0), 0u);
  EXPECT_EQ(lines[3], "");
}
