// Steering over a real collision tree: straight paths, the portal lookahead
// with its corner push, obstacles, and lookaheads that cannot finish.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CollisionTreeWriter.h"
#include "NavMeshWriter.h"
#include "VERirezo/Model.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/NavMesh.h"
#include "VERirezo/Model.h"

namespace {

std::vector<std::string>* s_pSteerLines = nullptr;
void SteerCaptureLine(const char* text) {
  if (s_pSteerLines) s_pSteerLines->push_back(text ? text : "");
}

class SteerTreeReader : public EMemReader {
public:
  SteerTreeReader(const std::vector<uint8_t>& b, unsigned version) : EMemReader(b.data(), (unsigned)b.size()) {
    SetVersion(version);
  }
  const char* GetName() override { return "nav.col"; }
};

EVec3 SteerUnit(const EVec3& v) {
  EVec3 r = v;
  r.Normalize();
  return r;
}

// Floor cells of 100 x 100 in X and Z, each two triangles facing +Y; one
// navigation polygon per triangle, neighbours found from shared edges. The
// vertex at innerCorner, when given, is a boundary corner whose two edges
// run along X and Z.
class NavSteerFixture : public ::testing::Test {
protected:
  void SetUp() override {
    s_pSteerLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(SteerCaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pSteerLines = nullptr;
    g_bStraightNav = true;
  }
  bool Traced(std::string text) const {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    for (const std::string& l : m_lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
  int Vert(float x, float z) {
    for (size_t i = 0; i < m_verts.size(); ++i)
      if (m_verts[i].x == x && m_verts[i].z == z) return (int)i;
    m_verts.push_back(EVec3(x, 0.0f, z));
    return (int)m_verts.size() - 1;
  }
  void AddCell(int cx, int cz) {
    const float x = 100.0f * (float)cx, z = 100.0f * (float)cz;
    const int a = Vert(x, z), b = Vert(x + 100, z), c = Vert(x, z + 100), d = Vert(x + 100, z + 100);
    m_tris.push_back({a, b, c});
    m_tris.push_back({b, d, c});
  }
  // Builds the tree and the navigation playground; raw tables replace the
  // computed one when given.
  void Build(int innerCorner = -1, const std::vector<NavRawTable>& raw = {}) {
    std::vector<collisionwriter::Poly> polys;
    NavPlaygroundDesc pg;
    for (size_t t = 0; t < m_tris.size(); ++t) {
      collisionwriter::Poly p;
      for (int k = 0; k < 3; ++k) p.v[k] = (uint32_t)m_tris[t][k];
      p.flags = kSurfacePhysical | kSurfaceNav;
      p.nav = (uint32_t)(t << 8);
      polys.push_back(p);
      NavPolyDesc n;
      n.collisionPoly = (int32_t)t;
      for (int k = 0; k < 3; ++k) {
        const int from = m_tris[t][k], to = m_tris[t][(k + 1) % 3];
        for (size_t u = 0; u < m_tris.size(); ++u)
          for (int j = 0; j < 3 && u != t; ++j)
            if (m_tris[u][j] == to && m_tris[u][(j + 1) % 3] == from) n.neighbour[k] = (int32_t)u;
        if (m_tris[t][k] == innerCorner) n.corner[k] = 0;
      }
      pg.polys.push_back(n);
    }
    if (innerCorner >= 0) {
      pg.cornerNormals = {-0.7071f, 0.0f, -0.7071f};
      pg.cornerEdgesA = m_cornerEdgeA;
      pg.cornerEdgesB = m_cornerEdgeB;
    }
    pg.rawTables = raw;
    const std::vector<uint8_t> treeBytes = collisionwriter::WriteCollisionTree(m_verts, polys, 317);
    SteerTreeReader tr(treeBytes, 317);
    m_tree.reset(new ECollisionTree);
    ASSERT_TRUE(m_tree->Read(tr));
    std::vector<uint8_t> navBytes;
    WriteNavMesh({pg}, 315, navBytes);
    EMemReader nr(navBytes.data(), (unsigned)navBytes.size());
    ASSERT_TRUE(m_nav.Read(nr, 315, 1));
    // The mesh owns its model; the model points at the tree. A test that
    // builds again replaces the model.
    EModel* old = m_mesh.GetModel();
    if (old && old != GetEmptyModel()) delete old;
    EModel* model = new EModel();
    model->m_pCollisionTree = m_tree.get();
    m_mesh.SetModel(model);
    m_mesh.SetScale(EVec3(1.0f, 1.0f, 1.0f));
    m_nav.SetMesh(&m_mesh);
  }
  // The polygon under a point of the floor.
  int PolyAt(float x, float z) const {
    const int cx = (int)std::floor(x / 100.0f), cz = (int)std::floor(z / 100.0f);
    const float lx = x - 100.0f * (float)cx, lz = z - 100.0f * (float)cz;
    for (size_t t = 0; t < m_tris.size(); t += 2)
      if (m_verts[m_tris[t][0]].x == 100.0f * (float)cx && m_verts[m_tris[t][0]].z == 100.0f * (float)cz)
        return (int)t + (lx + lz < 100.0f ? 0 : 1);
    return -1;
  }
  bool Steer(const EVec3& from, const EVec3& to, EVec3& out, float radius = 10.0f) {
    return m_nav.IsReachable(0, PolyAt(from.x, from.z), 0, PolyAt(to.x, to.z), radius, &from, &to, &out, nullptr,
                             nullptr, 0, 0);
  }

  std::vector<EVec3> m_verts;
  std::vector<std::vector<int>> m_tris;
  std::vector<float> m_cornerEdgeA = {1.0f, 0.0f, 0.0f};
  std::vector<float> m_cornerEdgeB = {0.0f, 0.0f, 1.0f};
  std::unique_ptr<ECollisionTree> m_tree;
  EMesh m_mesh;
  ENavMesh m_nav;
  std::vector<std::string> m_lines;
};

TEST_F(NavSteerFixture, TrianglesComeFromTheMeshsTree) {
  AddCell(0, 0);
  Build();
  const ENavMesh& pg = *m_nav.GetPlayground(0);
  EVec3 tri[3];
  ASSERT_TRUE(pg.GetCollisionTri(1, tri));
  EXPECT_EQ(100.0f, tri[0].x);
  EXPECT_EQ(100.0f, tri[1].z);
  ECollisionPoly2 cp;
  ASSERT_TRUE(m_nav.GetCollisionPoly(0, 1, cp));
  EXPECT_EQ(1u, cp.GetNavPoly());
  EXPECT_FALSE(m_nav.GetCollisionPoly(1, 0, cp));
  EXPECT_FALSE(m_nav.GetCollisionPoly(0, 2, cp));
  // The mesh's transform carries the triangle into the world.
  m_mesh.SetPosition(EVec3(0.0f, 40.0f, 0.0f));
  ASSERT_TRUE(pg.GetCollisionTri(1, tri));
  EXPECT_EQ(40.0f, tri[2].y);
  // No tree: no triangle.
  m_mesh.GetModel()->m_pCollisionTree = nullptr;
  EXPECT_FALSE(pg.GetCollisionTri(1, tri));
}

TEST_F(NavSteerFixture, NeighbouringPolygonsSteerStraightAtTheTarget) {
  AddCell(0, 0);
  Build();
  for (bool straight : {true, false}) {
    g_bStraightNav = straight;
    const EVec3 from(20, 0, 20), to(80, 0, 90);
    EVec3 out;
    ASSERT_TRUE(Steer(from, to, out)) << straight;
    const EVec3 want = SteerUnit(to - from);
    EXPECT_NEAR(want.x, out.x, 1e-4f);
    EXPECT_NEAR(0.0f, out.y, 1e-4f);
    EXPECT_NEAR(want.z, out.z, 1e-4f);
  }
}

TEST_F(NavSteerFixture, LShapedCorridorTurnsAtTheInnerCornerPulledIn) {
  AddCell(0, 0);
  AddCell(1, 0);
  AddCell(1, 1);
  Build(Vert(100, 100));
  const ENavMesh& pg = *m_nav.GetPlayground(0);
  // Straight through the corridor's first leg: no corner.
  EVec3 out;
  ASSERT_TRUE(Steer(EVec3(20, 0, 50), EVec3(180, 0, 40), out));
  EXPECT_NEAR(SteerUnit(EVec3(160, 0, -10)).z, out.z, 1e-4f);
  const EVec3 s0(20, 0, 50), straightTo(180, 0, 40), roundTo(150, 0, 180);
  ENavQuery q;
  EXPECT_TRUE(pg.HasStraightPath(q.Init(nullptr, nullptr, nullptr, nullptr, 0, PolyAt(20, 50), 0, PolyAt(180, 40),
                                        10, &s0, &straightTo, nullptr, nullptr, nullptr, 0, 0)));
  EXPECT_FALSE(pg.HasStraightPath(q.Init(nullptr, nullptr, nullptr, nullptr, 0, PolyAt(20, 50), 0, PolyAt(150, 180),
                                         10, &s0, &roundTo, nullptr, nullptr, nullptr, 0, 0)));
  // Round the inner corner at (100, 100): with a radius of 10 (push radius
  // 11) the path turns at the point 11 away from both walls.
  for (bool straight : {true, false}) {
    g_bStraightNav = straight;
    const EVec3 from(20, 0, 50), to(150, 0, 180);
    ASSERT_TRUE(Steer(from, to, out)) << straight;
    const EVec3 want = SteerUnit(EVec3(111, 0, 89) - from);
    EXPECT_NEAR(want.x, out.x, 1e-3f) << straight;
    EXPECT_NEAR(want.z, out.z, 1e-3f) << straight;
  }
  // The pushes of the second cell's upper triangle (200,0)-(200,100)-(100,100).
  const int poly = PolyAt(170, 60);
  EVec3 a, b;
  pg.GetPush(poly, 0, a, b);
  EXPECT_EQ(0.0f, a.Magnitude());
  EXPECT_EQ(0.0f, b.Magnitude());
  pg.GetPush(poly, 1, a, b);  // along the wall toward the corner
  EXPECT_EQ(0.0f, a.Magnitude());
  EXPECT_NEAR(11.0f, b.x, 1e-3f);
  EXPECT_NEAR(0.0f, b.z, 1e-3f);
  pg.GetPush(poly, 2, a, b);  // along the diagonal away from the corner
  EXPECT_NEAR(111.0f, 100.0f + a.x, 1e-3f);
  EXPECT_NEAR(89.0f, 100.0f + a.z, 1e-3f);
  EXPECT_EQ(0.0f, b.Magnitude());
}

TEST_F(NavSteerFixture, CornerEdgesParallelToTheEdgeGiveNoPush) {
  AddCell(0, 0);
  m_cornerEdgeB = {-1.0f, 0.0f, 0.0f};
  Build(Vert(0, 0));
  const ENavMesh& pg = *m_nav.GetPlayground(0);
  ENavQuery q;
  EVec3 from(20, 0, 20), to(70, 0, 70), out;
  ASSERT_TRUE(m_nav.IsReachable(q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, 0, 0, 1, 20, &from, &to, &out, nullptr,
                                       nullptr, 0, 0)));
  EVec3 a, b;
  pg.GetPush(0, 0, a, b);  // edge 0 runs along X from the corner
  EXPECT_EQ(0.0f, a.Magnitude());
  pg.GetPush(0, 2, a, b);  // edge 2 ends at the corner coming along -Z
  EXPECT_NEAR(0.0f, b.x, 1e-4f);
  EXPECT_NEAR(22.0f, b.z, 1e-3f);  // 1.1 x the last query's radius
}

TEST_F(NavSteerFixture, ObstaclesBendTheDirection) {
  AddCell(0, 0);
  Build();
  EDomain* root = new EDomain(nullptr, nullptr);
  EDomain* main = root->CreateChildDomain("MainGame", &ECollisionManager::sm_CM);
  EMeshEntity* rock = EMeshEntity::Create(main, "rock");
  ASSERT_TRUE(rock);
  ASSERT_TRUE(m_nav.RegisterObject(rock, 0, 0));
  const ENavMesh& pg = *m_nav.GetPlayground(0);
  const EVec3 from(0, 0, 0), to(400, 0, 0);
  struct Case {
    EVec3 rock;
    bool unchanged;
  };
  // Radius 50 + 10 = 60.
  const Case cases[] = {
      {EVec3(-100, 0, 0), true},   // behind
      {EVec3(470, 0, 5), true},    // beyond the target plus the radius
      {EVec3(200, 0, 100), true},  // the line passes clear of it
  };
  for (const Case& c : cases) {
    rock->SetPosition(c.rock);
    EVec3 dir(1, 0, 0);
    pg.AdjustForObstacles(dir, from, to, 10.0f, nullptr, nullptr);
    EXPECT_EQ(1.0f, dir.x) << c.rock.x;
  }
  // Ahead and in the way: the direction touches the enlarged circle.
  rock->SetPosition(EVec3(200, 0, 20));
  EVec3 dir(1, 0, 0);
  pg.AdjustForObstacles(dir, from, to, 10.0f, nullptr, nullptr);
  const EVec3 d = SteerUnit(EVec3(200, 0, 20));
  const float dist = EVec3(200, 0, 20).Magnitude();
  EXPECT_NEAR(std::sqrt(1.0f - (60.0f / dist) * (60.0f / dist)), dir.Dot(d), 1e-4f);
  EXPECT_LT(dir.z, 0.0f);  // passes on the side the old direction was on
  EXPECT_NEAR(1.0f, dir.Magnitude(), 1e-4f);
  // The mover and the target are not obstacles.
  dir = EVec3(1, 0, 0);
  pg.AdjustForObstacles(dir, from, to, 10.0f, rock, nullptr);
  EXPECT_EQ(1.0f, dir.x);
  // A start inside the enlarged obstacle points straight away from it.
  rock->SetPosition(EVec3(30, 0, 10));
  dir = EVec3(1, 0, 0);
  pg.AdjustForObstacles(dir, from, to, 10.0f, nullptr, nullptr);
  const EVec3 away = SteerUnit(EVec3(-30, 0, -10));
  EXPECT_NEAR(away.x, dir.x, 1e-4f);
  EXPECT_NEAR(away.z, dir.z, 1e-4f);
  m_nav.ClearObstacles();
  rock->InternalDelayedDelete();
  delete rock;
  delete root;
}

TEST_F(NavSteerFixture, LookaheadsThatCannotFinishAnswerFalse) {
  AddCell(0, 0);
  AddCell(1, 0);
  // Polygons 0-1-2-3 in a row; the table toward 3 sends 0 to 1 and then:
  // 1 back to 0 (a two-polygon loop), or nowhere.
  struct Case {
    int cellFrom1;
    bool loopTrace;
  };
  for (Case c : {Case{3, true}, Case{0, false}}) {
    SCOPED_TRACE(c.cellFrom1);
    m_nav = ENavMesh();
    m_lines.clear();
    NavRawTable raw;
    raw.bytes.assign(ENavMesh::TableSize(4), 0);
    // Polygon 0 reaches 1 across its edge 1; polygon 1 reaches 0 across edge 2.
    SetNavCell(raw.bytes, 4, 0, 3, 2);
    SetNavCell(raw.bytes, 4, 1, 3, c.cellFrom1);
    Build(-1, {raw});
    ASSERT_EQ(1, m_nav.GetPlayground(0)->GetPoly(0).m_aNeighbour[1]);
    ASSERT_EQ(0, m_nav.GetPlayground(0)->GetPoly(1).m_aNeighbour[2]);
    g_bStraightNav = false;
    const EVec3 from(20, 0, 20), to(150, 0, 50);
    EVec3 out(7, 7, 7);
    EXPECT_FALSE(Steer(from, to, out));
    EXPECT_EQ(c.loopTrace, Traced("Infinite loop detected - aborting pathfind\n"));
    // Without a direction wanted the table alone decides.
    EXPECT_TRUE(m_nav.IsReachable(0, 0, 0, 3, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  }
}

TEST_F(NavSteerFixture, ProcessNormalsAveragesTheWallsAtEachCorner) {
  AddCell(0, 0);
  AddCell(1, 0);
  AddCell(1, 1);
  Build();
  ENavMesh& pg = *m_nav.GetPlayground(0);
  pg.ProcessNormals();
  // Every polygon that touches a boundary corner names that corner's normal.
  struct Case {
    float x, z;     // the corner
    EVec3 normal;   // the mean of its two walls' inward normals
  };
  const Case cases[] = {
      {0, 0, EVec3(0.5f, 0, 0.5f)},      // convex, both walls on one triangle
      {100, 100, EVec3(0.5f, 0, -0.5f)}, // the inner corner of the L
      {200, 0, EVec3(-0.5f, 0, 0.5f)},
      {100, 200, EVec3(0.5f, 0, -0.5f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x * 1000 + c.z);
    int index = -1, users = 0;
    for (int p = 0; p < pg.GetNumPolys(); ++p) {
      EVec3 tri[3];
      ASSERT_TRUE(pg.GetCollisionTri(p, tri));
      for (int k = 0; k < 3; ++k) {
        if (tri[k].x != c.x || tri[k].z != c.z) continue;
        ++users;
        if (index < 0) index = pg.GetPoly(p).m_aCorner[k];
        EXPECT_EQ(index, pg.GetPoly(p).m_aCorner[k]);
      }
    }
    ASSERT_GE(index, 0);
    EXPECT_GE(users, 1);
    const EVec3& n = pg.GetCornerNormal(index);
    EXPECT_NEAR(c.normal.x, n.x, 1e-4f);
    EXPECT_NEAR(0.0f, n.y, 1e-4f);
    EXPECT_NEAR(c.normal.z, n.z, 1e-4f);
  }
  // The corridor has eight boundary corners.
  EXPECT_EQ(8, pg.GetNumCornerNormals());
}

}  // namespace
