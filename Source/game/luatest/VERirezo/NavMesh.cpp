#include "VERirezo/NavMesh.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "TWMath/Random.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Mesh.h"

float ENavMesh::sm_fPushRadius = 15.0f;

namespace navmesh_detail {

// Longest link name kept; longer names read as empty.
const int kMaxLinkName = 200;

bool ReadVecs(EStream& s, unsigned count, std::vector<EVec3>& out) {
  if ((uint64_t)count * 12 > 0xFFFFFFFFu || s.BoundLength(count * 12) != count * 12) return false;
  out.resize(count);
  for (unsigned i = 0; i < count; ++i) s << out[i].x << out[i].y << out[i].z;
  return !s.Err();
}

// The comparison point of the obstacle sort.
EVec3 g_vObstacleSortPoint;

}  // namespace navmesh_detail

ENavQuery& ENavQuery::Init(EMesh* srcMesh, EMesh* dstMesh, ENavMesh* srcNavMesh, ENavMesh* dstNavMesh,
                           int srcPlayground, int srcPoly, int dstPlayground, int dstPoly, float radius,
                           const EVec3* srcPos, const EVec3* dstPos, EVec3* outDir, EEntity* entity,
                           EEntity* target, uint32_t flags, int navGroup) {
  m_iSrcPlayground = srcPlayground;
  m_iSrcPoly = srcPoly;
  m_iDstPlayground = dstPlayground;
  m_iDstPoly = dstPoly;
  m_pEntity = entity;
  m_pTarget = target;
  m_dwFlags = flags;
  m_iNavGroup = navGroup;
  m_fRadius = radius;
  m_pSrcPos = srcPos;
  m_pDstPos = dstPos;
  m_pSrcMesh = srcMesh;
  m_pDstMesh = dstMesh;
  m_pSrcNavMesh = srcNavMesh;
  m_pDstNavMesh = dstNavMesh;
  m_pOutDir = outDir;
  return *this;
}

ENavMesh::ENavMesh() : m_pMesh(nullptr) { memset(m_aGroupTable, kNoTable, sizeof(m_aGroupTable)); }

ENavMesh::ENavMesh(const ENavMesh& other) : m_pMesh(nullptr) {
  memset(m_aGroupTable, kNoTable, sizeof(m_aGroupTable));
  CopyFrom(other);
}

ENavMesh& ENavMesh::operator=(const ENavMesh& other) {
  if (this != &other) {
    FreeTables();
    m_aLinks.clear();
    m_lObstacles.clear();
    m_pMesh = nullptr;
    CopyFrom(other);
  }
  return *this;
}

ENavMesh::ENavMesh(ENavMesh&& other) noexcept : m_pMesh(nullptr) {
  memset(m_aGroupTable, kNoTable, sizeof(m_aGroupTable));
  TakeFrom(other);
}

ENavMesh::~ENavMesh() { FreeTables(); }

// Swaps the contents of other into this (empty) mesh.
void ENavMesh::TakeFrom(ENavMesh& other) noexcept {
  m_aPolys.swap(other.m_aPolys);
  m_aReachTables.swap(other.m_aReachTables);
  m_aCornerNormals.swap(other.m_aCornerNormals);
  m_aCornerEdgesA.swap(other.m_aCornerEdgesA);
  m_aCornerEdgesB.swap(other.m_aCornerEdgesB);
  m_aPlaygrounds.swap(other.m_aPlaygrounds);
  m_aLinks.swap(other.m_aLinks);
  m_lObstacles.swap(other.m_lObstacles);
  std::swap(m_pMesh, other.m_pMesh);
  uint8_t groups[kNumGroups];
  memcpy(groups, m_aGroupTable, sizeof(groups));
  memcpy(m_aGroupTable, other.m_aGroupTable, sizeof(groups));
  memcpy(other.m_aGroupTable, groups, sizeof(groups));
}

void ENavMesh::FreeTables() {
  for (uint8_t* t : m_aReachTables) delete[] t;
  m_aReachTables.clear();
}

void ENavMesh::CopyFrom(const ENavMesh& other) {
  m_aPolys = other.m_aPolys;
  const unsigned size = TableSize((unsigned)m_aPolys.size());
  for (const uint8_t* t : other.m_aReachTables) {
    uint8_t* copy = new uint8_t[size ? size : 1];
    if (size) memcpy(copy, t, size);
    m_aReachTables.push_back(copy);
  }
  m_aCornerNormals = other.m_aCornerNormals;
  m_aCornerEdgesA = other.m_aCornerEdgesA;
  m_aCornerEdgesB = other.m_aCornerEdgesB;
  m_aPlaygrounds = other.m_aPlaygrounds;
  memcpy(m_aGroupTable, other.m_aGroupTable, sizeof(m_aGroupTable));
}

bool ENavMesh::Read(EStream& s, unsigned version, unsigned playgroundCount) {
  if (version <= 290) return false;
  if (playgroundCount == 0) return ReadPlayground(s, version);
  // Every playground record is at least its 4-byte polygon count.
  if ((uint64_t)playgroundCount * 4 > 0xFFFFFFFFu || s.BoundLength(playgroundCount * 4) != playgroundCount * 4)
    return false;
  std::vector<ENavMesh> read(playgroundCount);
  for (ENavMesh& pg : read)
    if (!pg.ReadPlayground(s, version)) return false;
  for (ENavMesh& pg : read) m_aPlaygrounds.push_back(std::move(pg));
  return true;
}

// Reads one playground record into this mesh. On damaged data nothing is
// kept and false is returned.
bool ENavMesh::ReadPlayground(EStream& s, unsigned version) {
  using namespace navmesh_detail;
  uint32_t polys = 0;
  s << polys;
  if (s.Err()) return false;
  if (polys == 0) return true;

  const unsigned recSize = version >= 304 ? 32 : 28;
  if ((uint64_t)polys * recSize > 0xFFFFFFFFu || s.BoundLength(polys * recSize) != polys * recSize) return false;

  ENavMesh pg;
  pg.m_aPolys.resize(polys);
  for (ENavPoly& p : pg.m_aPolys) {
    if (version >= 304) s << p.m_dwGroups;
    s << p.m_iCollisionPoly;
    for (int k = 0; k < 3; ++k) s << p.m_aNeighbour[k];
    for (int k = 0; k < 3; ++k) s << p.m_aCorner[k];
  }

  uint32_t corners = 0;
  s << corners;
  if (s.Err() || !ReadVecs(s, corners, pg.m_aCornerNormals)) return false;

  if (version >= 302) {
    uint32_t edges = 0;
    s << edges;
    if (s.Err() || !ReadVecs(s, edges, pg.m_aCornerEdgesA) || !ReadVecs(s, edges, pg.m_aCornerEdgesB)) return false;
  }

  uint32_t tables = 1;
  if (version >= 304) s << tables;
  if (s.Err()) return false;
  if (tables) {
    memset(pg.m_aGroupTable, 0, sizeof(pg.m_aGroupTable));
    pg.m_aGroupTable[0] = kNoTable;
    uint32_t size = 0;
    s << size;
    if (s.Err()) return false;
    const unsigned expected = TableSize(polys);
    if (size) {
      const uint64_t all = ((uint64_t)size + (version >= 304 ? 4 : 0)) * tables;
      if (all > 0xFFFFFFFFu || s.BoundLength((unsigned)all) != (unsigned)all) return false;
      for (uint32_t t = 0; t < tables; ++t) {
        if (size != expected)
          g_ErrorManager.TraceMessagef(TT_Warning, "Warning table size %d in file does not match expected %d\n",
                                       (int)size, (int)expected);
        uint32_t group = 0;
        if (version >= 304) s << group;
        uint8_t* block = new uint8_t[size];
        s.Stream(block, size);
        if (s.Err()) {
          delete[] block;
          return false;
        }
        if (size < expected || group >= kNumGroups) {
          // A short table would be read past its end, and a group outside
          // the map names nothing: drop the table, its group stays unmapped.
          g_ErrorManager.TraceMessagef(TT_Warning, "Dropping navigation table %u (group %u, %u bytes)\n", t, group,
                                       size);
          delete[] block;
          continue;
        }
        pg.m_aGroupTable[group] = (uint8_t)pg.m_aReachTables.size();
        pg.m_aReachTables.push_back(block);
      }
      // Groups that still name table 0 when no table was kept have none.
      if (pg.m_aReachTables.empty()) memset(pg.m_aGroupTable, kNoTable, sizeof(pg.m_aGroupTable));
    }
  }

  if (version >= 315) {
    uint32_t links = 0;
    s << links;
    // A link record is at least 12 bytes.
    if (s.Err() || (uint64_t)links * 12 > 0xFFFFFFFFu || s.BoundLength(links * 12) != links * 12) return false;
    pg.m_aLinks.resize(links);
    for (ENavLink& l : pg.m_aLinks) {
      uint32_t word = 0;
      s << l.m_dwFlags << word;
      l.m_iPoly = word & 0xFFFFFF;
      char name[kMaxLinkName];
      s.StreamString_4b(name, kMaxLinkName);
      if (s.Err()) return false;
      if (name[0]) l.m_szName.assign(name, name + strlen(name) + 1);
    }
  }

  // Keep this mesh's owner and obstacles; take the record's data.
  pg.m_pMesh = m_pMesh;
  pg.m_lObstacles.swap(m_lObstacles);
  pg.m_aPlaygrounds.swap(m_aPlaygrounds);
  ENavMesh old(std::move(*this));
  TakeFrom(pg);
  return true;
}

void ENavMesh::SetMesh(EMesh* mesh) {
  m_pMesh = mesh;
  for (size_t i = 0; i < m_aPlaygrounds.size(); ++i) {
    ENavMesh& pg = m_aPlaygrounds[i];
    pg.m_pMesh = mesh;
    for (ENavLink& l : pg.m_aLinks) {
      l.m_pMesh = mesh;
      l.m_nPlayground = (uint8_t)i;
    }
  }
}

// The mesh whose collision tree holds this playground's triangles.
EMesh* ENavMesh::CollisionMesh() const { return m_pMesh; }

// That mesh's model's collision tree (owned by the model).
const ECollisionTree* ENavMesh::CollisionTree() const {
  const EMesh* mesh = CollisionMesh();
  return mesh ? mesh->GetCollisionTree() : nullptr;
}

bool ENavMesh::GetCollisionPoly(int poly, ECollisionPoly2& collisionPoly) const {
  if (!ValidPoly(poly) || !m_aPolys[poly].IsSolid()) return false;
  const ECollisionTree* tree = CollisionTree();
  if (!tree) return false;
  const int index = m_aPolys[poly].m_iCollisionPoly & 0xFFFFFF;
  if (index >= tree->GetPolyCount()) return false;
  collisionPoly = tree->GetPoly(index);
  return true;
}

bool ENavMesh::GetCollisionPoly(int playground, int poly, ECollisionPoly2& collisionPoly) const {
  if (playground < 0 || playground >= (int)m_aPlaygrounds.size()) return false;
  return m_aPlaygrounds[playground].GetCollisionPoly(poly, collisionPoly);
}

bool ENavMesh::GetCollisionTri(int poly, EVec3 tri[3]) const {
  if (!ValidPoly(poly) || !m_aPolys[poly].IsSolid()) return false;
  const ECollisionTree* tree = CollisionTree();
  if (!tree) return false;
  EMesh* mesh = CollisionMesh();
  const int index = m_aPolys[poly].m_iCollisionPoly & 0xFFFFFF;
  if (index >= tree->GetPolyCount()) return false;
  const ETri3 t = tree->GetTri(index);
  tri[0] = t.p0;
  tri[1] = t.p1;
  tri[2] = t.p2;
  const EMat4& m = mesh->GetInclusiveTrans();
  if (m != EMat4())
    for (int k = 0; k < 3; ++k) tri[k] = m.TransformPoint(tri[k]);
  return true;
}

bool ENavMesh::HasCollisionPoly(int poly) const { return ValidPoly(poly) && m_aPolys[poly].IsSolid(); }

uint32_t ENavMesh::NavPolyGroup(int playground, int poly) const {
  if (playground < 0 || playground >= (int)m_aPlaygrounds.size()) return 0;
  const ENavMesh& pg = m_aPlaygrounds[playground];
  if (!pg.ValidPoly(poly)) return 0;
  return pg.m_aPolys[poly].m_dwGroups;
}

int ENavMesh::CellOf(int from, int to, int table) const {
  const uint64_t c = (uint64_t)from + (uint64_t)to * m_aPolys.size();
  const uint64_t bit = c * 2;
  return (m_aReachTables[table][bit / 8] >> (bit % 8)) & 3;
}

int ENavMesh::GetPortal(int from, int to, int group) const {
  if (group < 0 || group >= kNumGroups) return 0;
  const int t = m_aGroupTable[group];
  if (t == kNoTable || t >= (int)m_aReachTables.size()) return 0;
  if (!ValidPoly(from) || !ValidPoly(to)) return 0;
  return CellOf(from, to, t);
}

int ENavMesh::GetNextPoly(int from, int to, int group) const {
  const int v = GetPortal(from, to, group);
  if (v == 0) return -1;
  const int next = m_aPolys[from].m_aNeighbour[v - 1];
  return ValidPoly(next) ? next : -1;
}

int ENavMesh::GetNextSolidPoly(int from, int to, int group) const {
  int a = from;
  for (size_t step = 0; step < m_aPolys.size(); ++step) {
    a = GetNextPoly(a, to, group);
    if (a == -1) return -1;
    if (a == to) return m_aPolys[to].IsSolid() ? to : -1;
    if (m_aPolys[a].IsSolid()) return a;
  }
  return -1;
}

int ENavMesh::GetLastSolidPoly(int from, int to, int group) const {
  int d = HasCollisionPoly(from) ? from : -1;
  int a = from;
  for (size_t step = 0; step < m_aPolys.size(); ++step) {
    a = GetNextPoly(a, to, group);
    if (a == -1) return -1;
    if (a == to) return d;
    if (m_aPolys[a].IsSolid()) d = a;
  }
  return -1;
}

ENavLink* ENavMesh::FindNavLink(const char* name) {
  for (ENavMesh& pg : m_aPlaygrounds)
    for (ENavLink& l : pg.m_aLinks)
      if (strcasecmp(l.GetName(), name) == 0) return &l;
  return nullptr;
}

bool ENavMesh::ConnectNavLinks(ENavLink* a, ENavLink* b, bool both) {
  if (a->m_pPartner || (both && b->m_pPartner)) return false;
  a->m_pPartner = b;
  if (both) b->m_pPartner = a;
  return true;
}

bool ENavMesh::DisconnectNavLink(ENavLink* link) {
  if (!link->m_pPartner) return false;
  link->m_pPartner = nullptr;
  return true;
}

bool ENavMesh::RegisterObject(EEntity* entity, int playground, int) {
  if (playground < 0 || playground >= (int)m_aPlaygrounds.size()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Adding obstacle %s to bogus navmesh %d\n", entity->GetName(),
                                 playground);
    return false;
  }
  std::vector<EEntity*>& list = m_aPlaygrounds[playground].m_lObstacles;
  if (std::find(list.begin(), list.end(), entity) == list.end()) list.push_back(entity);
  return true;
}

bool ENavMesh::DeregisterObject(EEntity* entity, int playground, int) {
  if (playground < 0 || playground >= (int)m_aPlaygrounds.size()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Removing obstacle %s from bogus navmesh %d\n", entity->GetName(),
                                 playground);
    return false;
  }
  std::vector<EEntity*>& list = m_aPlaygrounds[playground].m_lObstacles;
  auto it = std::find(list.begin(), list.end(), entity);
  if (it == list.end()) return false;
  list.erase(it);
  return true;
}

void ENavMesh::ClearObstacles() {
  m_lObstacles.clear();
  for (ENavMesh& pg : m_aPlaygrounds) pg.ClearObstacles();
}

void ENavMesh::CleanupReferences() {
  m_lObstacles.erase(
      std::remove_if(m_lObstacles.begin(), m_lObstacles.end(), [](EEntity* e) { return e->IsDead(); }),
      m_lObstacles.end());
  for (ENavMesh& pg : m_aPlaygrounds) pg.CleanupReferences();
}

void ENavMesh::DumpInfo() const {
  if (!m_aPlaygrounds.empty() || m_aPolys.empty()) {
    g_ErrorManager.TraceMessagef("%d playgrounds\n", (int)m_aPlaygrounds.size());
    for (size_t i = 0; i < m_aPlaygrounds.size(); ++i) {
      g_ErrorManager.TraceMessagef("Playground %d:\n", (int)i);
      m_aPlaygrounds[i].DumpInfo();
    }
    return;
  }
  g_ErrorManager.TraceMessagef("%d polys\n", (int)m_aPolys.size());
  g_ErrorManager.TraceMessagef("%d obstacles\n", (int)m_lObstacles.size());
}

void ENavMesh::ListObstacles(int playground) const {
  EASSERT(playground >= 0 && playground < (int)m_aPlaygrounds.size());
  for (EEntity* e : m_aPlaygrounds[playground].m_lObstacles) {
    float radius = 50.0f;
    e->GetValue("navRadius", radius);
    g_ErrorManager.TraceMessagef("%s: %f", e->GetName(), (double)radius);
  }
}

unsigned ENavMesh::GetMemUsage() const {
  const unsigned polys = (unsigned)m_aPolys.size();
  const unsigned tables = (unsigned)m_aReachTables.size();
  unsigned bytes = 152 + 4 * (unsigned)m_lObstacles.size() + 128 * (unsigned)m_aPlaygrounds.size() + 4 * tables +
                   tables * TableSize(polys) + 32 * polys +
                   12 * (unsigned)(m_aCornerNormals.size() + 2 * m_aCornerEdgesA.size()) +
                   44 * (unsigned)m_aLinks.size();
  for (const ENavMesh& pg : m_aPlaygrounds) bytes += pg.GetMemUsage();
  return bytes;
}

bool ENavMesh::CentroidOf(int poly, EVec3& out) const {
  EVec3 tri[3];
  if (!GetCollisionTri(poly, tri)) return false;
  out = (tri[0] + tri[1] + tri[2]) * (1.0f / 3.0f);
  return true;
}

EVec3 ENavMesh::LandingPoint(int poly, bool random) const {
  EVec3 tri[3];
  if (!GetCollisionTri(poly, tri)) return EVec3(0.0f, 0.0f, 0.0f);
  if (!random) return (tri[0] + tri[1] + tri[2]) * (1.0f / 3.0f);
  const int k = g_SimRand.rand() % 3;
  const float u = g_SimRand.frand(0.1f, 0.9f);
  const float v = g_SimRand.frand(0.1f, 0.9f);
  const float w = g_SimRand.frand(0.1f, 0.9f);
  const EVec3 p1 = tri[k] + (tri[(k + 1) % 3] - tri[k]) * u;
  const EVec3 p2 = tri[k] + (tri[(k + 2) % 3] - tri[k]) * v;
  return p1 + (p2 - p1) * w;
}

int ENavMesh::IsPathSolid(int from, int to, EVec3* outPoint, int group, bool random) const {
  // Any group outside the map, and any group without a table, has no path.
  if (group < 0 || group >= kNumGroups) return -1;
  const int t = m_aGroupTable[group];
  if (t == kNoTable || t >= (int)m_aReachTables.size()) return -1;
  if (!ValidPoly(from) || !ValidPoly(to)) return -1;
  bool seenAir = false;
  for (size_t step = 0; from != to && step < m_aPolys.size(); ++step) {
    if (m_aPolys[from].IsAir()) {
      seenAir = true;
    } else if (seenAir) {
      if (outPoint) *outPoint = LandingPoint(from, random);
      return 0;
    }
    const int cell = CellOf(from, to, t);
    if (cell == 0) return -1;
    const int next = m_aPolys[from].m_aNeighbour[cell - 1];
    // A cell naming a boundary edge is damaged data: no path.
    if (!ValidPoly(next)) return -1;
    from = next;
  }
  if (!seenAir) return 1;
  // The air stretch never ended on a walkable polygon: no landing.
  if (m_aPolys[from].IsAir()) return -1;
  if (outPoint) *outPoint = LandingPoint(from, false);
  return 0;
}

bool ENavMesh::IsReachable(int srcPlayground, int srcPoly, int dstPlayground, int dstPoly, float radius,
                           const EVec3* srcPos, const EVec3* dstPos, EVec3* outDir, EEntity* entity,
                           EEntity* target, uint32_t flags, int navGroup) {
  ENavQuery q;
  q.Init(nullptr, nullptr, this, this, srcPlayground, srcPoly, dstPlayground, dstPoly, radius, srcPos, dstPos,
         outDir, entity, target, flags, navGroup);
  return IsReachable(q);
}

void ENavMesh::SortObstacles(const EVec3& from) {
  navmesh_detail::g_vObstacleSortPoint = from;
  std::stable_sort(m_lObstacles.begin(), m_lObstacles.end(), [](EEntity* a, EEntity* b) {
    const EVec3& p = navmesh_detail::g_vObstacleSortPoint;
    return (a->GetPosition() - p).Mag2() < (b->GetPosition() - p).Mag2();
  });
}

bool ENavMesh::LinkMatches(const ENavLink& link, const ENavQuery& query) const {
  const ENavLink* partner = link.m_pPartner;
  if (!partner) return false;
  if (query.m_pDstMesh) {
    if (partner->m_pMesh != query.m_pDstMesh) return false;
  } else if (partner->m_pMesh && partner->m_pMesh->IsEntityMesh()) {
    return false;  // the level's own navigation has no owning entity
  }
  return partner->m_nPlayground == query.m_iDstPlayground;
}

bool ENavMesh::IsReachable(ENavQuery& q) {
  if (q.m_iSrcPlayground == kNoPlayground || q.m_iDstPlayground == kNoPlayground) return false;
  const int count = (int)m_aPlaygrounds.size();
  const bool srcBad = q.m_iSrcPlayground < 0 || q.m_iSrcPlayground >= count;
  const bool dstBad = q.m_iDstPlayground < 0 || q.m_iDstPlayground >= count;
  const bool sameMesh = q.m_pSrcMesh == q.m_pDstMesh;
  if (srcBad || dstBad) {
    if (srcBad) g_ErrorManager.TraceMessagef(TT_Warning, "Accessing invalid src navmesh %d\n", q.m_iSrcPlayground);
    if (sameMesh && dstBad)
      g_ErrorManager.TraceMessagef(TT_Warning, "Accessing invalid dst navmesh %d\n", q.m_iDstPlayground);
    return false;
  }
  ENavMesh& src = m_aPlaygrounds[q.m_iSrcPlayground];
  const bool samePlayground = sameMesh && q.m_iSrcPlayground == q.m_iDstPlayground;
  ENavMesh* dstNav = q.m_pDstNavMesh ? q.m_pDstNavMesh : this;

  if (q.m_dwFlags & ENavQuery::kSolidPath) {
    if (samePlayground) {
      const int r = src.IsPathSolid(q.m_iSrcPoly, q.m_iDstPoly, q.m_pOutDir, q.m_iNavGroup,
                                    (q.m_dwFlags & ENavQuery::kRandomLand) != 0);
      if (r == 1) return true;
      if (r < 0) q.m_dwFlags |= ENavQuery::kNoPath;
      return false;
    }
    for (ENavLink& link : src.m_aLinks) {
      if (!LinkMatches(link, q)) continue;
      if (link.IsWalkable()) return true;
      if (q.m_pOutDir && link.m_pPartner->m_nPlayground < dstNav->GetNumPlaygrounds()) {
        const ENavMesh& other = dstNav->m_aPlaygrounds[link.m_pPartner->m_nPlayground];
        const int s = other.GetNextSolidPoly((int)link.m_pPartner->m_iPoly, q.m_iDstPoly, q.m_iNavGroup);
        *q.m_pOutDir = s == -1 ? EVec3(0.0f, 0.0f, 0.0f)
                               : other.LandingPoint(s, (q.m_dwFlags & ENavQuery::kRandomLand) != 0);
      }
    }
    return false;
  }

  if (samePlayground && q.m_iSrcPoly == q.m_iDstPoly) {
    if (q.m_pOutDir && q.m_pSrcPos && q.m_pDstPos) {
      EVec3 tri[3];
      if (!src.GetCollisionTri(q.m_iSrcPoly, tri)) return false;
      EVec3 dir = *q.m_pDstPos - *q.m_pSrcPos;
      dir.Normalize();
      src.AdjustForObstacles(dir, *q.m_pSrcPos, *q.m_pDstPos, 1.1f * q.m_fRadius, q.m_pEntity, q.m_pTarget);
      EVec3 n = (tri[1] - tri[0]).Cross(tri[2] - tri[0]);
      n.Normalize();
      *q.m_pOutDir = dir - n * dir.Dot(n);
    }
    return true;
  }

  if (samePlayground) {
    if (q.m_pSrcPos) src.SortObstacles(*q.m_pSrcPos);
    return src.IsReachable_Internal(q);
  }

  if (q.m_pSrcPos) src.SortObstacles(*q.m_pSrcPos);
  for (ENavLink& link : src.m_aLinks) {
    if (!LinkMatches(link, q)) continue;
    const int linkPoly = (int)link.m_iPoly;
    const int e = src.GetPortal(q.m_iSrcPoly, linkPoly, q.m_iNavGroup);
    if (e == 0) continue;
    const int first = src.m_aPolys[q.m_iSrcPoly].m_aNeighbour[e - 1];
    const bool away = linkPoly != first;
    if (away) {
      const int last = src.GetLastSolidPoly(q.m_iSrcPoly, linkPoly, q.m_iNavGroup);
      if (last == -1) continue;
      EVec3 centroid(0.0f, 0.0f, 0.0f);
      src.CentroidOf(last, centroid);
      ENavQuery copy = q;
      copy.m_iDstPoly = linkPoly;
      copy.m_pDstPos = &centroid;
      if (!src.IsReachable_Internal(copy)) continue;
    } else if (q.m_pOutDir && q.m_pSrcPos && q.m_pDstPos) {
      const int last = src.GetLastSolidPoly(q.m_iSrcPoly, linkPoly, q.m_iNavGroup);
      EVec3 centroid;
      if (last != -1 && src.CentroidOf(last, centroid)) {
        EVec3 dir = centroid - *q.m_pSrcPos;
        dir.Normalize();
        *q.m_pOutDir = dir;
      } else {
        *q.m_pOutDir = EVec3(0.0f, 0.0f, 0.0f);
      }
    }
    const ENavLink* partner = link.m_pPartner;
    if (partner->m_nPlayground >= dstNav->GetNumPlaygrounds()) continue;
    ENavMesh& other = dstNav->m_aPlaygrounds[partner->m_nPlayground];
    ENavQuery second;
    second.Init(nullptr, nullptr, nullptr, nullptr, 0, (int)partner->m_iPoly, 0, q.m_iDstPoly, q.m_fRadius, nullptr,
                nullptr, nullptr, nullptr, nullptr, 0, 0);
    if (!other.IsReachable_Internal(second)) continue;
    if (away) return true;
    if (link.IsWalkable()) {
      if (q.m_pOutDir && q.m_pSrcPos) {
        const int s = other.GetNextSolidPoly((int)partner->m_iPoly, q.m_iDstPoly, q.m_iNavGroup);
        EVec3 centroid;
        if (s != -1 && other.CentroidOf(s, centroid)) {
          EVec3 dir = centroid - *q.m_pSrcPos;
          dir.Normalize();
          *q.m_pOutDir = dir;
        }
      }
    } else {
      q.m_dwFlags |= ENavQuery::kSolidPath;
    }
    return true;
  }
  return false;
}

bool ENavMesh::IsReachable_Internal(ENavQuery& q) {
  sm_fPushRadius = 1.1f * q.m_fRadius;
  if (!ValidPoly(q.m_iSrcPoly) || !ValidPoly(q.m_iDstPoly)) return false;
  if (q.m_iNavGroup < 0 || q.m_iNavGroup >= kNumGroups) q.m_iNavGroup = 0;
  const int t = m_aGroupTable[q.m_iNavGroup];
  if (t == kNoTable || t >= (int)m_aReachTables.size()) return false;
  if (CellOf(q.m_iSrcPoly, q.m_iDstPoly, t) == 0) return false;
  if (!q.m_pOutDir || !q.m_pSrcPos || !q.m_pDstPos) return true;
  return SteerInternal(q, t);
}
