// Navigation meshes: playgrounds of polygons standing on collision
// triangles, two-bit reachability tables by navigation group, named links
// between playgrounds, and the obstacles registered in each playground.
#pragma once

#include <cstdint>
#include <vector>

#include "TWMath/Vector.h"

class EStream;
class EMesh;
class ECollisionTree;
class EEntity;
class ENavMesh;
struct ECollisionPoly2;

// Steering switches: the straight-path shortcut, and the playground whose
// connectors alone are drawn.
extern bool g_bStraightNav;
extern bool g_bOnlyShowSelectedNavMesh;
extern int g_iSelectedNavMesh;

// One walkable polygon, in the field order of its record.
struct ENavPoly {
  enum : uint32_t { kAirMask = 0x3000000 };

  uint32_t m_dwGroups = 0;       // bits 0-23 group membership, bits 24/25 air
  int32_t m_iCollisionPoly = -1;  // -1: no triangle; low 24 bits index the tree
  int32_t m_aNeighbour[3] = {-1, -1, -1};
  int32_t m_aCorner[3] = {-1, -1, -1};

  bool IsSolid() const { return m_iCollisionPoly != -1; }
  bool IsAir() const { return (m_dwGroups & kAirMask) != 0; }
};

// A named link from a polygon of one playground to a partner link.
struct ENavLink {
  enum : uint32_t { kWalkable = 0x2000000 };

  uint32_t m_dwFlags = 0;
  std::vector<char> m_szName;  // zero-terminated; empty for no name
  EMesh* m_pMesh = nullptr;
  uint8_t m_nPlayground = 0;
  uint32_t m_iPoly = 0;  // 24 bits
  ENavLink* m_pPartner = nullptr;

  const char* GetName() const { return m_szName.empty() ? "" : m_szName.data(); }
  bool IsWalkable() const { return (m_dwFlags & kWalkable) != 0; }
};

// The parameter block of one reachability query.
struct ENavQuery {
  enum : uint32_t {
    kSolidPath = 1,   // in: solid-path mode; out: the path begins with a jump
    kNoPath = 2,      // out, solid-path mode: no path at all
    kRandomLand = 4,  // in: landing points are random points of the triangle
  };

  int m_iSrcPlayground;
  int m_iSrcPoly;
  int m_iDstPlayground;
  int m_iDstPoly;
  EEntity* m_pEntity;
  EEntity* m_pTarget;
  uint32_t m_dwFlags;
  int m_iNavGroup;
  float m_fRadius;
  const EVec3* m_pSrcPos;
  const EVec3* m_pDstPos;
  EMesh* m_pSrcMesh;
  EMesh* m_pDstMesh;
  ENavMesh* m_pSrcNavMesh;
  ENavMesh* m_pDstNavMesh;
  EVec3* m_pOutDir;

  ENavQuery() {}
  ENavQuery& Init(EMesh* srcMesh, EMesh* dstMesh, ENavMesh* srcNavMesh, ENavMesh* dstNavMesh, int srcPlayground,
                  int srcPoly, int dstPlayground, int dstPoly, float radius, const EVec3* srcPos, const EVec3* dstPos,
                  EVec3* outDir, EEntity* entity, EEntity* target, uint32_t flags, int navGroup);
};

class ENavMesh {
public:
  enum { kNumGroups = 16, kNoTable = 255, kNoPlayground = 255 };

  ENavMesh();
  ENavMesh(const ENavMesh& other);
  ENavMesh& operator=(const ENavMesh& other);
  // Moves keep everything, links and obstacles included.
  ENavMesh(ENavMesh&& other) noexcept;
  ~ENavMesh();

  // Reads the record of a scene file of the given version. With a count n > 0
  // the container gets n playgrounds; with 0 one playground record is read
  // into this mesh. False for versions before 291 and for damaged data, which
  // leaves the mesh as it was.
  bool Read(EStream& s, unsigned version, unsigned playgroundCount);
  void SetMesh(EMesh* mesh);

  // The polygon's triangle in world space; false when it has none.
  bool GetCollisionTri(int poly, EVec3 tri[3]) const;
  bool HasCollisionPoly(int poly) const;
  // A copy of the polygon's collision-tree record; false when it has none.
  bool GetCollisionPoly(int poly, ECollisionPoly2& collisionPoly) const;
  bool GetCollisionPoly(int playground, int poly, ECollisionPoly2& collisionPoly) const;

  // Steering, on a playground. Whether a straight line from the start
  // crosses polygons that lead to the target polygon.
  bool HasStraightPath(const ENavQuery& query) const;
  // The edge a line from pos along dir leaves the polygon by (-1: none);
  // pos moves to the crossing.
  int FindExitEdge(int poly, const EVec3& dir, EVec3& pos) const;
  // How far the two ends of an edge are pulled in by the push radius.
  void GetPush(int poly, int edge, EVec3& pushStart, EVec3& pushEnd) const;
  void PushFromEdge(int poly, int edge, const EVec3& normal, const EVec3& a, const EVec3& b, EVec3& out) const;
  // Walks the table toward dstPoly to the first portal hidden behind the
  // previous one; out is the direction and left the point aimed at. False
  // when the walk meets an unreachable cell, a boundary edge or a loop.
  bool Lookahead2(int curPoly, int dstPoly, int edge, const EVec3& srcPos, const EVec3& dstPos, const EVec3& dir,
                  EVec3& left, int table, uint32_t& flags, EVec3& out) const;
  // Bends dir around the registered obstacles ahead.
  void AdjustForObstacles(EVec3& dir, const EVec3& from, const EVec3& to, float radius, EEntity* entity,
                          EEntity* target) const;

  uint32_t NavPolyGroup(int playground, int poly) const;
  // Cell value 0-3 of the group's table for the pair (from, to).
  int GetPortal(int from, int to, int group) const;
  // The neighbour the cell names; -1 for an empty cell or a boundary edge.
  int GetNextPoly(int from, int to, int group) const;
  int GetNextSolidPoly(int from, int to, int group) const;
  int GetLastSolidPoly(int from, int to, int group) const;

  ENavLink* FindNavLink(const char* name);
  static bool ConnectNavLinks(ENavLink* a, ENavLink* b, bool both);
  static bool DisconnectNavLink(ENavLink* link);
  static bool RegisterNavLink() { return true; }

  bool RegisterObject(EEntity* entity, int playground, int unused);
  bool DeregisterObject(EEntity* entity, int playground, int unused);
  void ClearObstacles();
  void CleanupReferences();
  void DumpInfo() const;
  void ListObstacles(int playground) const;
  unsigned GetMemUsage() const;
  // Rebuilds the corner normals and every polygon's corner indices from the
  // triangles: one averaged inward normal per boundary corner.
  void ProcessNormals();
  const EVec3& GetCornerNormal(int i) const { return m_aCornerNormals[i]; }

  // 1: walkable without a jump; 0: a jump first, landing point written;
  // -1: no path.
  int IsPathSolid(int from, int to, EVec3* outPoint, int group, bool random) const;
  bool IsReachable(ENavQuery& query);
  bool IsReachable(int srcPlayground, int srcPoly, int dstPlayground, int dstPoly, float radius, const EVec3* srcPos,
                   const EVec3* dstPos, EVec3* outDir, EEntity* entity, EEntity* target, uint32_t flags, int navGroup);
  bool IsReachable_Internal(ENavQuery& query);

  int GetNumPlaygrounds() const { return (int)m_aPlaygrounds.size(); }
  ENavMesh* GetPlayground(int i) { return &m_aPlaygrounds[i]; }
  const ENavMesh* GetPlayground(int i) const { return &m_aPlaygrounds[i]; }
  int GetNumPolys() const { return (int)m_aPolys.size(); }
  const ENavPoly& GetPoly(int i) const { return m_aPolys[i]; }
  int GetNumTables() const { return (int)m_aReachTables.size(); }
  int GetGroupTable(int group) const { return m_aGroupTable[group]; }
  int GetNumLinks() const { return (int)m_aLinks.size(); }
  ENavLink* GetLink(int i) { return &m_aLinks[i]; }
  int GetNumCornerNormals() const { return (int)m_aCornerNormals.size(); }
  int GetNumCornerEdges() const { return (int)m_aCornerEdgesA.size(); }
  const std::vector<EEntity*>& GetObstacles() const { return m_lObstacles; }
  EMesh* GetMesh() const { return m_pMesh; }

  // Bytes of one table for a playground of polys polygons.
  static unsigned TableSize(unsigned polys) { return (unsigned)(((uint64_t)polys * polys * 2 + 7) / 8); }
  static float GetPushRadius() { return sm_fPushRadius; }

private:
  bool ReadPlayground(EStream& s, unsigned version);
  EMesh* CollisionMesh() const;
  const ECollisionTree* CollisionTree() const;
  bool SteerInternal(ENavQuery& query, int table);
  void MarkAdjacentPolys(int from, int fromEdge, const EVec3& corner, int index, std::vector<int>& weights);
  void FreeTables();
  void CopyFrom(const ENavMesh& other);
  void TakeFrom(ENavMesh& other) noexcept;
  int CellOf(int from, int to, int table) const;
  bool ValidPoly(int poly) const { return poly >= 0 && poly < (int)m_aPolys.size(); }
  EVec3 LandingPoint(int poly, bool random) const;
  bool CentroidOf(int poly, EVec3& out) const;
  void SortObstacles(const EVec3& from);
  bool LinkMatches(const ENavLink& link, const ENavQuery& query) const;

  uint8_t m_aGroupTable[kNumGroups];
  std::vector<uint8_t*> m_aReachTables;
  std::vector<ENavPoly> m_aPolys;
  std::vector<EVec3> m_aCornerNormals;
  std::vector<EVec3> m_aCornerEdgesA;
  std::vector<EVec3> m_aCornerEdgesB;
  std::vector<ENavMesh> m_aPlaygrounds;
  std::vector<ENavLink> m_aLinks;
  EMesh* m_pMesh;
  std::vector<EEntity*> m_lObstacles;

  static float sm_fPushRadius;
};
