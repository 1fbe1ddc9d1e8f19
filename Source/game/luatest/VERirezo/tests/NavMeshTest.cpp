// Navigation meshes: the record read back from what the writer makes, the
// two-bit tables and their walks, links, and the reachability decision.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NavMeshWriter.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/EStream.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/NavMesh.h"

namespace {

std::vector<std::string>* s_pNavLines = nullptr;
void NavCaptureLine(const char* text) {
  if (s_pNavLines) s_pNavLines->push_back(text ? text : "");
}

class NavMeshFixture : public ::testing::Test {
protected:
  void SetUp() override {
    s_pNavLines = &m_lines;
    g_ErrorManager.SetConsoleCallback(NavCaptureLine);
  }
  void TearDown() override {
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pNavLines = nullptr;
  }
  // Traces arrive without their line end.
  bool Traced(std::string text) const {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    for (const std::string& l : m_lines)
      if (l.find(text) != std::string::npos) return true;
    return false;
  }
  // Reads bytes as a container of n playgrounds; reports the bytes consumed.
  bool ReadAll(ENavMesh& nav, const std::vector<uint8_t>& bytes, unsigned version, unsigned n, unsigned* used) {
    EMemReader r(bytes.data(), (unsigned)bytes.size());
    bool ok = nav.Read(r, version, n);
    if (used) *used = r.GetPos();
    return ok && !r.Err();
  }
  std::vector<std::string> m_lines;
};

// A strip of polygons 0-1-2-...: edge 0 leads forward, edge 2 back.
NavPlaygroundDesc NavStrip(int n) {
  NavPlaygroundDesc pg;
  pg.polys.resize(n);
  for (int i = 0; i < n; ++i) {
    pg.polys[i].collisionPoly = i;
    pg.polys[i].neighbour[0] = i + 1 < n ? i + 1 : -1;
    pg.polys[i].neighbour[2] = i - 1;
  }
  return pg;
}

TEST_F(NavMeshFixture, RecordsReadBackConsumingEachExactly) {
  struct Case {
    unsigned version;
    unsigned polyBytes;
  };
  for (Case c : {Case{303, 28}, Case{304, 32}, Case{315, 32}}) {
    SCOPED_TRACE(c.version);
    NavPlaygroundDesc pg = NavStrip(3);
    pg.polys[1].groups = 0x2;
    pg.cornerNormals = {1, 0, 0, 0, 0, 1};
    pg.cornerEdgesA = {0, 0, 1};
    pg.cornerEdgesB = {1, 0, 0};
    pg.groups = {0, 1};
    pg.links.push_back({ENavLink::kWalkable, 0xAB000002u, "Door"});
    NavPlaygroundDesc empty;
    std::vector<uint8_t> bytes;
    WriteNavMesh({pg, empty, pg}, c.version, bytes);
    bytes.push_back(0xEE);  // the next record's first byte must stay unread

    ENavMesh nav;
    unsigned used = 0;
    ASSERT_TRUE(ReadAll(nav, bytes, c.version, 3, &used));
    EXPECT_EQ(bytes.size() - 1, used);
    ASSERT_EQ(3, nav.GetNumPlaygrounds());
    EXPECT_EQ(0, nav.GetPlayground(1)->GetNumPolys());
    const ENavMesh& p0 = *nav.GetPlayground(0);
    ASSERT_EQ(3, p0.GetNumPolys());
    EXPECT_EQ(2, p0.GetNumCornerNormals());
    EXPECT_EQ(1, p0.GetNumCornerEdges());
    const bool groups = c.version >= 304;
    EXPECT_EQ(groups ? 0x2u : 0u, nav.NavPolyGroup(0, 1));
    EXPECT_EQ(groups ? 2 : 1, p0.GetNumTables());
    EXPECT_EQ(0, p0.GetGroupTable(0));
    EXPECT_EQ(groups ? 1 : 0, p0.GetGroupTable(1));
    EXPECT_EQ(0, p0.GetGroupTable(7));  // unnamed groups share table 0
    EXPECT_EQ(c.version >= 315 ? 1 : 0, nav.GetPlayground(2)->GetNumLinks());
    EXPECT_EQ(0u, nav.NavPolyGroup(3, 0));
    EXPECT_EQ(0u, nav.NavPolyGroup(0, 3));
    if (c.version >= 315) {
      nav.SetMesh(nullptr);
      ENavLink* link = nav.FindNavLink("dOOR");
      ASSERT_NE(nullptr, link);
      EXPECT_EQ(2u, link->m_iPoly);
      EXPECT_EQ(0, link->m_nPlayground);
    }
    // Bytes of a polygon record.
    std::vector<uint8_t> one;
    NavPlaygroundDesc single = NavStrip(1);
    single.groups.clear();
    WriteNavPlayground(single, c.version, one);
    // Corner count, edge count, then the table count (or, before 304, the
    // table size) and, from 315, the link count.
    const unsigned tail = 4 + 4 + 4 + (c.version >= 315 ? 4 : 0);
    EXPECT_EQ(4 + c.polyBytes + tail, one.size());
  }
}

TEST_F(NavMeshFixture, OldVersionsReadNothing) {
  std::vector<uint8_t> bytes;
  WriteNavMesh({NavStrip(2)}, 304, bytes);
  ENavMesh nav;
  unsigned used = 99;
  EXPECT_FALSE(ReadAll(nav, bytes, 290, 1, &used));
  EXPECT_EQ(0u, used);
  EXPECT_EQ(0, nav.GetNumPlaygrounds());
}

TEST_F(NavMeshFixture, Version303HasGroupZeroEverywhereAndOneTable) {
  NavPlaygroundDesc pg = NavStrip(3);
  pg.polys[2].groups = 0x5;  // not written in this version
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 303, bytes);
  EXPECT_EQ(4u + 3 * 28 + 4 + 4 + 4 + ENavMesh::TableSize(3), bytes.size());
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 303, 1, nullptr));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(0u, nav.NavPolyGroup(0, i));
  EXPECT_EQ(1, nav.GetPlayground(0)->GetNumTables());
  EXPECT_EQ(0, nav.GetPlayground(0)->GetNumLinks());
}

TEST_F(NavMeshFixture, TableSizeMismatchAndBadTablesAreDropped) {
  NavPlaygroundDesc pg = NavStrip(3);
  std::vector<uint8_t> good = ComputeNavTable(pg.polys, 0);
  // Longer than expected: traced and used.
  pg.rawTables = {{0, good}, {1, good}};
  pg.rawTables[0].bytes.push_back(0);
  pg.rawTables[1].bytes.push_back(0);
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 304, bytes);
  ENavMesh nav;
  unsigned used = 0;
  ASSERT_TRUE(ReadAll(nav, bytes, 304, 1, &used));
  EXPECT_EQ(bytes.size(), used);
  EXPECT_TRUE(Traced("Warning table size 4 in file does not match expected 3\n"));
  EXPECT_EQ(2, nav.GetPlayground(0)->GetNumTables());
  EXPECT_EQ(1, nav.GetPlayground(0)->GetPortal(0, 2, 1));

  // Shorter than expected, and a group outside 0-15: consumed and dropped.
  NavPlaygroundDesc bad = NavStrip(3);
  std::vector<uint8_t> shortTable(good.begin(), good.end() - 1);
  bad.rawTables = {{3, shortTable}, {40, shortTable}};
  NavPlaygroundDesc bad2 = NavStrip(3);
  bad2.rawTables = {{40, good}, {2, good}};
  bytes.clear();
  WriteNavMesh({bad, bad2}, 304, bytes);
  ENavMesh nav2;
  m_lines.clear();
  ASSERT_TRUE(ReadAll(nav2, bytes, 304, 2, &used));
  EXPECT_EQ(bytes.size(), used);
  EXPECT_TRUE(Traced("Warning table size 2 in file does not match expected 3\n"));
  EXPECT_EQ(0, nav2.GetPlayground(0)->GetNumTables());
  for (int g = 0; g < 16; ++g) EXPECT_EQ(255, nav2.GetPlayground(0)->GetGroupTable(g));
  const ENavMesh& p1 = *nav2.GetPlayground(1);
  EXPECT_EQ(1, p1.GetNumTables());
  EXPECT_EQ(0, p1.GetGroupTable(2));
  EXPECT_EQ(255, p1.GetGroupTable(0));
  EXPECT_EQ(-1, p1.IsPathSolid(0, 2, nullptr, 40, false));
  EXPECT_EQ(1, p1.IsPathSolid(0, 2, nullptr, 2, false));
}

TEST_F(NavMeshFixture, ZeroTableSizeReadsNoTables) {
  NavPlaygroundDesc pg = NavStrip(2);
  pg.rawTables = {{0, {}}, {1, {}}};
  pg.links.push_back({0, 1, "Ledge"});
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 315, bytes);
  ENavMesh nav;
  unsigned used = 0;
  ASSERT_TRUE(ReadAll(nav, bytes, 315, 1, &used));
  EXPECT_EQ(bytes.size(), used);
  EXPECT_EQ(0, nav.GetPlayground(0)->GetNumTables());
  EXPECT_EQ(1, nav.GetPlayground(0)->GetNumLinks());
}

TEST_F(NavMeshFixture, LongLinkNamesReadEmpty) {
  NavPlaygroundDesc pg = NavStrip(2);
  pg.links.push_back({0, 0, std::string(199, 'a')});
  pg.links.push_back({0, 1, std::string(198, 'b')});
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 315, bytes);
  ENavMesh nav;
  unsigned used = 0;
  ASSERT_TRUE(ReadAll(nav, bytes, 315, 1, &used));
  EXPECT_EQ(bytes.size(), used);
  EXPECT_STREQ("", nav.GetPlayground(0)->GetLink(0)->GetName());
  EXPECT_EQ(nullptr, nav.FindNavLink(std::string(199, 'a').c_str()));
  EXPECT_NE(nullptr, nav.FindNavLink(std::string(198, 'b').c_str()));
}

TEST_F(NavMeshFixture, DamagedRecordsFailAndKeepNothing) {
  NavPlaygroundDesc pg = NavStrip(4);
  pg.groups = {0, 3};
  pg.cornerNormals = {0, 0, 1};
  pg.links.push_back({0, 1, "Gate"});
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg, pg}, 315, bytes);
  for (size_t cut = 0; cut < bytes.size(); ++cut) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + cut);
    ENavMesh nav;
    EXPECT_FALSE(ReadAll(nav, part, 315, 2, nullptr)) << cut;
    EXPECT_EQ(0, nav.GetNumPlaygrounds()) << cut;
  }
  // A huge polygon count is refused before anything is allocated.
  std::vector<uint8_t> huge = {0xFF, 0xFF, 0xFF, 0x7F};
  ENavMesh nav;
  EXPECT_FALSE(ReadAll(nav, huge, 315, 1, nullptr));
  // A table size whose record length overflows 32 bits is refused too.
  NavPlaygroundDesc one = NavStrip(1);
  one.rawTables = {{0, {0}}};
  std::vector<uint8_t> big;
  WriteNavMesh({one}, 304, big);
  const size_t sizeAt = 4 + 32 + 4 + 4 + 4;
  ASSERT_EQ(1u, big[sizeAt]);
  big[sizeAt] = big[sizeAt + 1] = big[sizeAt + 2] = big[sizeAt + 3] = 0xFF;
  EXPECT_FALSE(ReadAll(nav, big, 304, 1, nullptr));
  EXPECT_EQ(0, nav.GetNumPlaygrounds());
}

TEST_F(NavMeshFixture, CellsFollowTheLayout) {
  // Cell (a 2, b 1) of a 3-polygon table is c = 5: byte 1, bits 2-3.
  std::vector<uint8_t> table(ENavMesh::TableSize(3), 0);
  SetNavCell(table, 3, 2, 1, 3);
  EXPECT_EQ(0x0C, table[1]);
  EXPECT_EQ(0, table[0]);
  NavPlaygroundDesc pg = NavStrip(3);
  pg.polys[2].neighbour[2] = 1;
  pg.rawTables = {{0, table}};
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 304, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 304, 1, nullptr));
  const ENavMesh& p = *nav.GetPlayground(0);
  EXPECT_EQ(3, p.GetPortal(2, 1, 0));
  EXPECT_EQ(1, p.GetNextPoly(2, 1, 0));
  EXPECT_EQ(0, p.GetPortal(1, 2, 0));
  EXPECT_EQ(-1, p.GetNextPoly(1, 2, 0));
  EXPECT_EQ(0, p.GetPortal(2, 1, 16));
  EXPECT_EQ(0, p.GetPortal(2, 1, -1));
}

TEST_F(NavMeshFixture, ComputedTablesStepAlongShortestPaths) {
  // A ring of six polygons: the way from 0 to 4 goes back through 5.
  NavPlaygroundDesc pg;
  pg.polys.resize(6);
  for (int i = 0; i < 6; ++i) {
    pg.polys[i].neighbour[0] = (i + 1) % 6;
    pg.polys[i].neighbour[1] = (i + 5) % 6;
  }
  std::vector<uint8_t> t = ComputeNavTable(pg.polys, 0);
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 304, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 304, 1, nullptr));
  const ENavMesh& p = *nav.GetPlayground(0);
  EXPECT_EQ(1, p.GetNextPoly(0, 2, 0));
  EXPECT_EQ(5, p.GetNextPoly(0, 4, 0));
  EXPECT_EQ(0, p.GetPortal(3, 3, 0));
  // A polygon of another group closes the ring for group 1.
  pg.polys[1].groups = 0x1;
  for (int i = 0; i < 6; ++i)
    if (i != 1) pg.polys[i].groups = 0x3;
  std::vector<uint8_t> g1 = ComputeNavTable(pg.polys, 1);
  std::vector<uint8_t> g0 = ComputeNavTable(pg.polys, 0);
  EXPECT_NE(g0, g1);
}

TEST_F(NavMeshFixture, SolidWalksSkipPolygonsWithoutTriangles) {
  NavPlaygroundDesc pg = NavStrip(6);
  pg.polys[1].collisionPoly = -1;
  pg.polys[2].collisionPoly = -1;
  pg.polys[4].collisionPoly = -1;
  pg.polys[0].collisionPoly = -1;
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 304, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 304, 1, nullptr));
  const ENavMesh& p = *nav.GetPlayground(0);
  EXPECT_EQ(3, p.GetNextSolidPoly(0, 5, 0));
  EXPECT_EQ(-1, p.GetNextSolidPoly(0, 2, 0));  // the target has no triangle
  EXPECT_EQ(5, p.GetNextSolidPoly(3, 5, 0));
  EXPECT_EQ(3, p.GetLastSolidPoly(0, 5, 0));
  EXPECT_EQ(-1, p.GetLastSolidPoly(0, 2, 0));   // the start has none, nor anything on the way
  EXPECT_EQ(3, p.GetLastSolidPoly(3, 4, 0));    // the start counts
  EXPECT_EQ(-1, p.GetNextSolidPoly(0, 5, 7 + 9));
}

TEST_F(NavMeshFixture, WalksEndAtBoundaryCellsAndCycles) {
  const int n = 4;
  NavPlaygroundDesc pg = NavStrip(n);
  std::vector<uint8_t> table(ENavMesh::TableSize(n), 0);
  // 0 -> 1 -> 2 -> 0 ... toward 3 never arrives; 3's cell names a boundary edge.
  SetNavCell(table, n, 0, 3, 1);
  SetNavCell(table, n, 1, 3, 1);
  SetNavCell(table, n, 2, 3, 3);
  pg.polys[2].neighbour[2] = 0;
  SetNavCell(table, n, 3, 0, 1);  // edge 0 of polygon 3 is a boundary
  pg.rawTables = {{0, table}};
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg}, 304, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 304, 1, nullptr));
  const ENavMesh& p = *nav.GetPlayground(0);
  EXPECT_EQ(-1, p.GetNextSolidPoly(3, 0, 0));
  EXPECT_EQ(-1, p.GetLastSolidPoly(3, 0, 0));
  EXPECT_EQ(-1, p.GetLastSolidPoly(0, 3, 0));
  EXPECT_EQ(-1, p.IsPathSolid(3, 0, nullptr, 0, false));
  // The cycle 0-1-2-0 is cut after P steps; all polygons walkable.
  EXPECT_EQ(1, p.IsPathSolid(0, 3, nullptr, 0, false));
}

TEST_F(NavMeshFixture, LinksConnectOnlyFreeEnds) {
  ENavLink a, b, c;
  EXPECT_TRUE(ENavMesh::ConnectNavLinks(&b, &c, false));
  EXPECT_FALSE(ENavMesh::ConnectNavLinks(&a, &b, true));
  EXPECT_EQ(nullptr, a.m_pPartner);
  EXPECT_TRUE(ENavMesh::ConnectNavLinks(&a, &c, false));
  EXPECT_EQ(&c, a.m_pPartner);
  EXPECT_EQ(nullptr, c.m_pPartner);
  EXPECT_FALSE(ENavMesh::ConnectNavLinks(&a, &b, false));
  EXPECT_TRUE(ENavMesh::DisconnectNavLink(&b));
  EXPECT_FALSE(ENavMesh::DisconnectNavLink(&b));
  EXPECT_TRUE(ENavMesh::RegisterNavLink());
}

TEST_F(NavMeshFixture, MemUsageFollowsTheFormula) {
  NavPlaygroundDesc pg = NavStrip(5);
  pg.cornerNormals = {0, 0, 1, 0, 0, 1};
  pg.cornerEdgesA = {1, 0, 0};
  pg.cornerEdgesB = {0, 0, 1};
  pg.groups = {0, 2};
  pg.links.push_back({0, 1, "A"});
  pg.links.push_back({0, 2, "B"});
  std::vector<uint8_t> bytes;
  WriteNavMesh({pg, NavPlaygroundDesc()}, 315, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 315, 2, nullptr));
  const unsigned pgBytes = 152 + 4 * 2 + 2 * 7 + 32 * 5 + 12 * (2 + 2 * 1) + 44 * 2;
  const unsigned container = 152 + 128 * 2;
  EXPECT_EQ(container + pgBytes + 152, nav.GetMemUsage());
  // Copies keep polygons, tables and groups but not links.
  ENavMesh copy(nav);
  EXPECT_EQ(nav.GetMemUsage() - 88, copy.GetMemUsage());
  EXPECT_EQ(1, copy.GetPlayground(0)->GetNextPoly(0, 4, 2));
  ENavMesh assigned;
  assigned = copy;
  EXPECT_EQ(copy.GetMemUsage(), assigned.GetMemUsage());
}

TEST_F(NavMeshFixture, DumpInfoListsPlaygrounds) {
  std::vector<uint8_t> bytes;
  WriteNavMesh({NavStrip(3), NavPlaygroundDesc()}, 304, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 304, 2, nullptr));
  nav.DumpInfo();
  EXPECT_TRUE(Traced("2 playgrounds\n"));
  EXPECT_TRUE(Traced("Playground 1:\n"));
  EXPECT_TRUE(Traced("3 polys\n"));
  EXPECT_TRUE(Traced("0 obstacles\n"));
}

TEST_F(NavMeshFixture, ObstaclesAreKeptPerPlaygroundWithoutDuplicates) {
  std::vector<uint8_t> bytes;
  WriteNavMesh({NavStrip(2), NavStrip(2)}, 315, bytes);
  ENavMesh nav;
  ASSERT_TRUE(ReadAll(nav, bytes, 315, 2, nullptr));
  EDomain* root = new EDomain(nullptr, nullptr);
  EDomain* main = root->CreateChildDomain("MainGame", &ECollisionManager::sm_CM);
  EMeshEntity* rock = EMeshEntity::Create(main, "rock");
  EMeshEntity* tree = EMeshEntity::Create(main, "tree");
  ASSERT_TRUE(rock && tree);
  EXPECT_FALSE(nav.RegisterObject(rock, 2, 0));
  EXPECT_TRUE(Traced("Adding obstacle rock to bogus navmesh 2\n"));
  EXPECT_FALSE(nav.DeregisterObject(rock, -1, 0));
  EXPECT_TRUE(Traced("Removing obstacle rock from bogus navmesh -1\n"));
  EXPECT_TRUE(nav.RegisterObject(rock, 1, 0));
  EXPECT_TRUE(nav.RegisterObject(rock, 1, 0));
  EXPECT_TRUE(nav.RegisterObject(tree, 1, 0));
  EXPECT_EQ(2u, nav.GetPlayground(1)->GetObstacles().size());
  m_lines.clear();
  nav.ListObstacles(1);
  EXPECT_TRUE(Traced("rock: 50.000000"));
  EXPECT_FALSE(nav.DeregisterObject(tree, 0, 0));
  EXPECT_TRUE(nav.DeregisterObject(tree, 1, 0));
  EXPECT_TRUE(nav.RegisterObject(tree, 0, 0));
  // A dead entity leaves every list.
  rock->InternalDelayedDelete();
  nav.CleanupReferences();
  EXPECT_TRUE(nav.GetPlayground(1)->GetObstacles().empty());
  EXPECT_EQ(1u, nav.GetPlayground(0)->GetObstacles().size());
  nav.ClearObstacles();
  EXPECT_TRUE(nav.GetPlayground(0)->GetObstacles().empty());
  delete rock;
  tree->InternalDelayedDelete();
  delete tree;
  delete root;
}

// Queries over a strip where polygon 2 is air: 0 - 1 - [2 air] - 3 - 4.
class NavQueryFixture : public NavMeshFixture {
protected:
  void SetUp() override {
    NavMeshFixture::SetUp();
    NavPlaygroundDesc pg = NavStrip(5);
    pg.polys[2].groups = 0x1000000;
    pg.groups = {0, 1};
    NavPlaygroundDesc other = NavStrip(3);
    // Playground 0 links from polygon 1 (next to 0) and from 4; playground 2
    // has the partners.
    pg.links.push_back({ENavLink::kWalkable, 1, "Walk"});
    pg.links.push_back({0, 1, "Jump"});
    other.links.push_back({0, 0, "WalkEnd"});
    other.links.push_back({0, 0, "JumpEnd"});
    std::vector<uint8_t> bytes;
    WriteNavMesh({pg, NavStrip(2), other}, 315, bytes);
    ASSERT_TRUE(ReadAll(m_nav, bytes, 315, 3, nullptr));
    m_nav.SetMesh(nullptr);
  }
  ENavMesh m_nav;
};

TEST_F(NavQueryFixture, BadPlaygroundsAnswerFalse) {
  EXPECT_FALSE(m_nav.IsReachable(255, 0, 0, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_FALSE(m_nav.IsReachable(0, 0, 255, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_TRUE(m_lines.empty());
  EXPECT_FALSE(m_nav.IsReachable(7, 0, 0, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_TRUE(Traced("Accessing invalid src navmesh 7\n"));
  EXPECT_FALSE(m_nav.IsReachable(0, 0, 9, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_TRUE(Traced("Accessing invalid dst navmesh 9\n"));
}

TEST_F(NavQueryFixture, DecisionWithinOnePlayground) {
  EXPECT_TRUE(m_nav.IsReachable(0, 0, 0, 4, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 1));
  EXPECT_TRUE(m_nav.IsReachable(0, 3, 0, 3, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 9));
  EXPECT_FALSE(m_nav.IsReachable(0, 0, 0, 7, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  EXPECT_FLOAT_EQ(11.0f, ENavMesh::GetPushRadius());
  // Group 20 is decided with group 0 and the query then holds 0.
  ENavQuery q;
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, 0, 0, 4, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 20);
  EXPECT_TRUE(m_nav.IsReachable(q));
  EXPECT_EQ(0, q.m_iNavGroup);
  // A group without a table has no path (group 0 always has one here).
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 1, 0, 1, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
  EXPECT_TRUE(m_nav.IsReachable(q));
}

TEST_F(NavQueryFixture, SolidPathMode) {
  struct Case {
    int from, to;
    bool result;
    uint32_t flagsAfter;
  };
  const Case cases[] = {
      {0, 1, true, 1},   // walkable
      {0, 4, false, 1},  // an air stretch: landing
      {3, 4, true, 1},
  };
  for (const Case& c : cases) {
    EVec3 land(9, 9, 9);
    ENavQuery q;
    q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, c.from, 0, c.to, 10, nullptr, nullptr, &land, nullptr, nullptr,
           ENavQuery::kSolidPath, 0);
    EXPECT_EQ(c.result, m_nav.IsReachable(q)) << c.from << "->" << c.to;
    EXPECT_EQ(c.flagsAfter, q.m_dwFlags);
    if (!c.result) {
      EXPECT_EQ(0.0f, land.x);  // no triangles: the landing point is zero
    }
  }
  const ENavMesh& p = *m_nav.GetPlayground(0);
  EXPECT_EQ(0, p.IsPathSolid(0, 4, nullptr, 0, false));
  EXPECT_EQ(0, p.IsPathSolid(1, 3, nullptr, 0, false));
  EXPECT_EQ(1, p.IsPathSolid(4, 3, nullptr, 0, false));
  EXPECT_EQ(-1, p.IsPathSolid(0, 4, nullptr, 5 + 20, false));
  // No path at all sets bit 1.
  ENavQuery q;
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 1, 0, 1, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr,
         ENavQuery::kSolidPath, 3);
  m_nav.GetPlayground(1);
  EXPECT_TRUE(m_nav.IsReachable(q));  // group 3 maps to table 0
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, 0, 0, 4, 10, nullptr, nullptr, nullptr, nullptr, nullptr,
         ENavQuery::kSolidPath, 40);
  EXPECT_FALSE(m_nav.IsReachable(q));
  EXPECT_EQ(ENavQuery::kSolidPath | ENavQuery::kNoPath, q.m_dwFlags);
}

TEST_F(NavQueryFixture, AcrossLinks) {
  ENavMesh& p0 = *m_nav.GetPlayground(0);
  ENavMesh& p2 = *m_nav.GetPlayground(2);
  // Nothing connected: no way into playground 2.
  EXPECT_FALSE(m_nav.IsReachable(0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  ASSERT_TRUE(ENavMesh::ConnectNavLinks(p0.GetLink(1), p2.GetLink(1), true));
  ENavQuery q;
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
  EXPECT_TRUE(m_nav.IsReachable(q));
  EXPECT_EQ(ENavQuery::kSolidPath, q.m_dwFlags);  // a jump lies ahead
  ASSERT_TRUE(ENavMesh::ConnectNavLinks(p0.GetLink(0), p2.GetLink(0), true));
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
  EXPECT_TRUE(m_nav.IsReachable(q));
  EXPECT_EQ(0u, q.m_dwFlags);  // the walkable link comes first
  // Solid-path mode across a walkable link answers true.
  q.Init(nullptr, nullptr, &m_nav, &m_nav, 0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr,
         ENavQuery::kSolidPath, 0);
  EXPECT_TRUE(m_nav.IsReachable(q));
  // From farther away the link is reached through playground 0's table.
  EXPECT_TRUE(m_nav.IsReachable(0, 4, 2, 1, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  // Links of the level's own mesh serve a query without a target mesh; those
  // of an entity's mesh do not.
  EMesh level;
  m_nav.SetMesh(&level);
  EXPECT_TRUE(m_nav.IsReachable(0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  level.MarkAsEntityMesh();
  EXPECT_FALSE(m_nav.IsReachable(0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
  q.Init(&level, &level, &m_nav, &m_nav, 0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
  EXPECT_TRUE(m_nav.IsReachable(q));
  m_nav.SetMesh(nullptr);
  EXPECT_TRUE(ENavMesh::DisconnectNavLink(p0.GetLink(0)));
  EXPECT_TRUE(ENavMesh::DisconnectNavLink(p0.GetLink(1)));
  EXPECT_FALSE(m_nav.IsReachable(0, 0, 2, 2, 10, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
}

}  // namespace
