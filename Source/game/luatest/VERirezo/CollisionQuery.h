// Collision queries: the query record (what moves, what it may hit, and the
// nearest hit found), the hit record of the every-hit queries, the trigger
// query, and the process-wide collision statistics.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Physics.h"

class EEntity;
class EMesh;
class ETriCache;
class ELineCollision;

// Collide flags beyond the ones the tree reads.
enum : uint32_t {
  kCOLLIDEFLAG_IgnoreSeeThrough = 0x80,
  kCOLLIDEFLAG_IgnoreCollideLayer1 = 0x10000000,
  kCOLLIDEFLAG_IgnoreCollideLayer2 = 0x20000000,
  kCOLLIDEFLAG_IgnoreCollideLayer3 = 0x40000000,
  kCOLLIDEFLAG_IgnoreCollideLayer4 = 0x80000000,
  kCOLLIDEFLAG_GeometryMask = kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_Camera | kCOLLIDEFLAG_Terrain,
  kCOLLIDEFLAG_CollideLayerMask = 0xF0000000,
};

// Hit kinds.
enum eCollisionType { CCT_None = 0, CCT_TriInterior = 2, CCT_EdgeInterior = 3, CCT_Vertex = 4, CCT_CapsuleEdge = 5 };

// Collision statistics of the current frame.
struct ECollideStats {
  uint32_t nSphereTests;         // collision spheres tested against spheres
  uint32_t nCapsuleTests;        // line-collision segments tested
  uint32_t nSphereTriTests;      // triangles tested by sphere queries
  uint32_t nRayTriTests;         // triangles tested by ray queries
  uint32_t nLeafVisits;          // octree leaves visited
  uint32_t nCacheInside;         // cache reports with the motion inside the cache
  uint32_t nCacheLeaving;        // cache reports with the motion leaving it
  uint32_t nCacheTrisOffered;    // cached triangles offered to a query
  uint32_t nCacheTrisTested;     // cached triangles tested
  uint32_t nEntitiesRejected;    // candidates skipped by QuickCullEntity
  uint32_t nEntitiesPassed;      // candidates it let through
  uint32_t nWorldTests;          // one-sphere tests against the level geometry
};
static_assert(sizeof(ECollideStats) == 48, "twelve counters");
extern ECollideStats g_CollideStats;
// Per-frame counts of the physics step.
extern int gProcessFrameNumColliders;
extern int gProcessFrameNumCollidees;

class ECollide {
public:
  explicit ECollide(EEntity* pEntity = nullptr);

  // Takes the collider's shape, layers and ignore entity from its physics;
  // sphere offsets of model-space spheres are turned by pMat (the absolute
  // transform when null).
  void InitFor(EEntity* pEntity, const EMat4* pMat = nullptr);
  void InitSegment(const EVec3& vFrom, const EVec3& vTo);
  void InitPoint(const EVec3& vPoint);
  // Pulls the end of a sweep back by fPushDist along the motion.
  void ApplyPushDist();
  void TransformBy(const EMat4& mat, bool bResults);
  // True when the entity must be skipped by this query.
  bool QuickCullEntity(const EEntity* pEntity) const;
  EBox3 GetBoundingBox() const;
  void ToOneSphere(int i);
  void FromOneSphere(int i);

  // Triangle hits only.
  EMesh* GetMesh() const;
  EMesh* GetRootMesh() const;
  ETri3 GetCollidePoly() const;
  void GetNavPoly(unsigned& nNavMesh, unsigned& nNavPoly) const;
  bool GetInterpolatedNormal(unsigned dwMask, EVec3& vOut, bool (*pFilter)(uint32_t) = nullptr) const;
  const EPlane& GetCollidePlane() const { return HitPlane; }

  bool IsPositionCheck() const { return (dwFlags & kCOLLIDEFLAG_CheckPosition) != 0; }
  bool IsTriangleHit() const {
    return eCollisionType == CCT_TriInterior || eCollisionType == CCT_EdgeInterior || eCollisionType == CCT_Vertex;
  }
  void DebugDraw() const;

  EEntity* pCollider;
  EEntity* pIgnore;
  EVec3 vStart;
  EVec3 vEnd;
  EVec3 vDir;
  float fLength;
  float fDepth;
  float fPushDist;
  uint32_t dwFlags;
  ETriCache* pTriCache;
  int eSrcType;
  float fRadius;
  ESphere aSpheres[3];
  int nSpheres;
  int eCollisionType;
  int iSrcPrimitive;
  int iDstPrimitive;
  int iSubPrimitive;
  EMesh* pMesh;
  EVec3 vNormal;
  EVec3 vPlaneNormal;
  EEntity* pEntity;
  uint32_t dwSurfaceFlags;
  EPlane HitPlane;
};

class EHitResult {
public:
  // Takes the record's hit; fTime is the hit's share of fFullLength.
  void CopyResults(const ECollide& hit, float fFullLength);
  void TransformBy(const EMat4& mat);
  // Links the hit in after every hit not later than it; returns the link written.
  static EHitResult** SortedInsert(EHitResult** ppHead, EHitResult* pHit);

  int eType;
  ELineCollision* pLines;
  float fTime;
  float fDstT;
  int16_t iSrcPrimitive;
  uint16_t iDstPrimitive;
  EEntity* pEntity;
  EVec3 vNormal;
  EHitResult* pNext;
};

class EBaseHitQuery {
public:
  EBaseHitQuery() {}
};

// A moving entity presented to the triggers.
class ESweepHitQuery : public EBaseHitQuery {
public:
  EEntity* pCollider = nullptr;
  EVec3 vStart;
  EVec3 vMove;
  float fMaxT = 1.0f;
  float fRadius = 0.0f;
};
