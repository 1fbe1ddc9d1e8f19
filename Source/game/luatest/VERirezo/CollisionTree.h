// Static collision geometry of one model: a triangle table, the vertex table
// it indexes, an octree over the triangles and the stored bounding box; and
// the surface-flag word every collision triangle carries.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"

class EStream;
class EOctree;
class EMemStack;
class EMesh;
class ECollide;
class ECollisionTree;
struct RequestRenderData;

// Debug draw styles of collision triangles.
enum COLLISIONPOLYSTYLE {
  COLLISIONPOLYSTYLE_Highlight = 0,       // the highlighted surface flag and the navigation triangles
  COLLISIONPOLYSTYLE_ByTree = 1,          // level geometry apart from other trees, with collision groups
  COLLISIONPOLYSTYLE_CameraPhysical = 2,  // camera and physical surfaces
  COLLISIONPOLYSTYLE_Flat = 3,            // one colour, wireframe
  COLLISIONPOLYSTYLE_Solid = 4,           // one colour, both sides, with a wireframe
};

// Surface flags: bits 0-19 single flags, 22-23 the collision group, 24-27
// the material number, 28-31 the trigger number.
enum : uint32_t {
  kSurfaceHang = 0x1,
  kSurfaceClimb = 0x2,
  kSurfaceClimbUDRL = 0x4,
  kSurfaceCantilever = 0x8,
  kSurfacePole = 0x10,
  kSurfaceTightrope = 0x20,
  kSurfaceSlippery = 0x40,
  kSurfaceGrippy = 0x80,
  kSurfacePipe = 0x100,
  kSurfaceNoTeeter = 0x200,
  kSurfacePhysical = 0x400,
  kSurfaceVisibility = 0x800,
  kSurfaceCamera = 0x1000,
  kSurfaceRailSlide = 0x2000,
  kSurfaceWater = 0x4000,
  kSurfaceDoubleSided = 0x8000,
  kSurfaceGravity = 0x10000,
  kSurfaceNav = 0x20000,
  kSurfaceNonManifold = 0x40000,
  kSurfaceTerrain = 0x80000,
  kSurfaceGroupMask = 0x00C00000,
  kSurfaceGroupShift = 22,
  kSurfaceMaterialMask = 0x0F000000,
  kSurfaceMaterialShift = 24,
  kSurfaceTriggerMask = 0xF0000000,
  kSurfaceTriggerShift = 28,
};

// Collide flags read by the tree queries.
enum : uint32_t {
  kCOLLIDEFLAG_Physical = 0x1,
  kCOLLIDEFLAG_Camera = 0x2,
  kCOLLIDEFLAG_Terrain = 0x4,
  kCOLLIDEFLAG_IgnoreSpheres = 0x8,
  kCOLLIDEFLAG_IgnoreTrapeze = 0x10,
  kCOLLIDEFLAG_IgnoreStaticGeometry = 0x20,
  kCOLLIDEFLAG_IgnoreEntities = 0x40,
  kCOLLIDEFLAG_NoBackfaceCull = 0x100,
  kCOLLIDEFLAG_CheckPosition = 0x200,
  kCOLLIDEFLAG_ReportDepth = 0x400,
};

// The group mask of a polygon's flags: 1, 2, 4 or 8.
inline uint32_t SurfaceFlagsToGroupFlags(uint32_t dwFlags) {
  return 1u << ((dwFlags & kSurfaceGroupMask) >> kSurfaceGroupShift);
}
// Debug name of the lowest set flag; null for unnamed bits, "Unknown flag" for 0.
const char* GetSurfaceFlagName(uint32_t dwFlags);
// The flag after the first of the highlight cycle that shares a bit with dwFlags.
uint32_t GetNextSurfaceFlag(uint32_t dwFlags);

// One collision triangle: 20 bytes, the file record's layout.
struct ECollisionPoly2 {
  uint32_t m_dwFlags;
  uint16_t m_aVertIndex[3];
  uint16_t m_nStamp;
  float m_fInvNormalLength;
  uint8_t m_nNavMesh;      // 255: none
  uint8_t m_aNavPoly[3];   // 24-bit index; the top bit of the last two bytes is not part of it

  ECollisionPoly2() : m_dwFlags(0), m_aVertIndex{0, 0, 0}, m_nStamp(0), m_fInvNormalLength(0.0f), m_nNavMesh(0),
                      m_aNavPoly{0, 0, 0} {}

  unsigned GetNavPoly() const {
    return (unsigned)m_aNavPoly[0] | ((((unsigned)m_aNavPoly[1] | ((unsigned)m_aNavPoly[2] << 8)) & 0x7FFFu) << 8);
  }
  // The navigation word: bytes 16 to 19 of the record as one little-endian word.
  uint32_t GetNavWord() const {
    return (uint32_t)m_nNavMesh | ((uint32_t)m_aNavPoly[0] << 8) | ((uint32_t)m_aNavPoly[1] << 16) |
           ((uint32_t)m_aNavPoly[2] << 24);
  }
  void SetNavWord(uint32_t w) {
    m_nNavMesh = (uint8_t)w;
    m_aNavPoly[0] = (uint8_t)(w >> 8);
    m_aNavPoly[1] = (uint8_t)(w >> 16);
    m_aNavPoly[2] = (uint8_t)(w >> 24);
  }
  // Queues the triangle for debug drawing.
  void RequestRender(const RequestRenderData& d) const;
};
static_assert(sizeof(ECollisionPoly2) == 20, "collision polygon record is 20 bytes");

// Hit codes: kind in bits 12-15, feature number in the low 12 bits.
enum : uint32_t {
  kPOLYHIT_Vertex = 0x1000,
  kPOLYHIT_Edge = 0x2000,
  kPOLYHIT_Face = 0x3000,
  kPOLYHIT_KindMask = 0xF000,
  kPOLYHIT_FeatureMask = 0x0FFF,
};

// One capsule test in a tree's model space.
struct EPolyCapsuleCheckInfo {
  EFastSeg3 m_Seg;  // start and end of the sphere's centre
  EVec3 m_vDir;     // end - start
  float m_fTime;
  float m_fDepth;
  float m_fRadius;
  uint32_t m_dwResult;
  float m_fEdgeFraction;
  bool m_bTwoSided;
  bool m_bPositionOnly;
  bool m_bReportDepth;

  // A query from start to end; options from the collide flags. fDepth is the
  // starting depth of a position check.
  void InitFor(const EVec3& vStart, const EVec3& vEnd, float fRadius, uint32_t dwCollideFlags, float fDepth = 0.0f);
  const EVec3& GetStart() const { return m_Seg.p0; }
  const EFastSeg3& GetFullSeg() const { return m_Seg; }
  const EVec3& GetDir() const { return m_vDir; }
  // The sphere's centre at the hit.
  EVec3 GetEnd() const { return m_Seg.p0 + m_vDir * m_fTime; }
};

// A hit as the tree reports it, in model space.
struct ECollisionTreeHit {
  int iPoly = -1;
  uint32_t dwSurfaceFlags = 0;
  uint32_t iSubPrimitive = 0;
  uint32_t dwKind = 0;     // kPOLYHIT_Vertex, _Edge or _Face
  float fTime = 1.0f;      // fraction of the motion
  float fDepth = -1.0f;    // penetration with the report-depth option, else -1
  EVec3 vEnd;              // sphere centre at contact
  EVec3 vNormal;           // push-out normal
  EPlane HitPlane;
};

// The state of one debug draw of a tree.
struct RequestRenderData {
  ECollisionTree* pTree = nullptr;
  EVec4 vColour;
  EVec3 vCamera;  // the camera in model space
  int eStyle = 0;
  EMat4 mMatrix;
  bool bIdentity = true;
  EMesh* pMesh = nullptr;
  uint32_t dwHighlightFlag = 0;
  uint32_t dwHighlightValue = 0;
  uint32_t dwSurfaceMask = 0;
  uint32_t nGroupMask = 0;
  bool bDrawCells = false;
  uint16_t nStamp = 0;
};

class ECollisionTree {
public:
  ECollisionTree();
  ~ECollisionTree();
  ECollisionTree(const ECollisionTree&) = delete;
  ECollisionTree& operator=(const ECollisionTree&) = delete;

  // Reads the record at the stream's version into an empty tree. A damaged
  // or short record is refused: false, and the tree stays empty.
  bool Read(EStream& stream, uint32_t dwUnused = 0);

  const ECollisionPoly2& GetPoly(int i) const { return m_aPolys[i]; }
  int GetPolyCount() const { return m_aPolys.Num(); }
  const EArray<EVec3>& GetVertArray() const { return m_aVerts; }
  const EBox3& GetBoundingBox() const { return m_Bounds; }
  const EOctree* GetOctree() const { return m_pOctree; }
  int GetNonManifoldPoly() const { return m_iNonManifoldPoly; }

  ETri3 GetTri(int i) const;
  void GetTri(int i, ETri3& tri, EPlane& plane) const;
  EVec3 GetTriNormal(int i) const;

  // Nearest hit of a sphere (or ray, radius 0) moving from start to end, or
  // of a resting sphere with kCOLLIDEFLAG_CheckPosition; the scene group mask
  // says which collision groups take part. Fills pHit on a hit.
  bool CheckForCollision(const EVec3& vStart, const EVec3& vEnd, float fRadius, uint32_t dwCollideFlags,
                         uint32_t nGroupMask, ECollisionTreeHit* pHit, float fDepth = 0.0f);
  // The same for a query record already in model space: on a hit the record
  // holds it (the motion cut at the contact, then pulled back by its push
  // distance); pEntity is left for the caller.
  bool CheckForCollision(ECollide* pHit, uint32_t nGroupMask);
  // Tests one triangle, without stamp or mask; stores the hit code in info.
  bool CheckForCollision(EPolyCapsuleCheckInfo& info, int iPoly) const;
  // Turns the best hit of info into a hit record, optionally carried by a matrix.
  void CopyResults(ECollisionTreeHit& hit, const EPolyCapsuleCheckInfo& info, int iPoly,
                   const EMat4* pMatrix = nullptr) const;
  // The same into a query record: its motion is cut at the hit.
  void CopyResults(ECollide& hit, const EPolyCapsuleCheckInfo& info, int iPoly, const EMat4* pMatrix = nullptr) const;

  // Whether a model-space point lies inside the closed geometry.
  bool CheckForContainment(const EVec3& p, bool bInvert, uint32_t nGroupMask);
  // Indices of the triangles touching the sphere, pushed onto the stack.
  void GetIntersectingTriangles(const ESphere& sphere, EMemStack& stack, uint32_t dwSurfaceMask, uint32_t nGroupMask,
                                uint32_t** ppOut, int* pCount);
  // Triangles that use the vertex.
  void GetAdjacentPolies(uint16_t nVert, EArray<uint32_t>& aOut) const;

  // Debug drawing: every triangle the style shows, carried by the matrix.
  void RequestRender(const EMat4& mat, int eStyle, const EVec4& vColour, EMesh* pMesh);
  // One triangle, without stamp or filters (pMat null: model space).
  void RequestRenderPoly(int iPoly, const EMat4* pMat, int eStyle, const EVec4& vColour, EMesh* pMesh);
  // Traces the tree's memory use.
  void DebugDumpMem(const char* szName) const;
  // The process-wide counts as lines of text, then a blank line.
  static void DrawDebugText(void (*pfnPrintf)(void* pUser, const char* szLine), void* pUser);

  // Process-wide counts of every tree read.
  static int sm_iGlobalVertCount;
  static int sm_iGlobalPolyCount;
  static int sm_iGlobalNodeCount;
  static int sm_iGlobalLeafCount;
  static int sm_iGlobalPrimitiveCount;
  static int sm_iGlobalCameraPolyCount;
  static int sm_iGlobalTerrainPolyCount;

  // Layout versions of the record.
  enum : unsigned { kFIRST_NEW_POLY_VERSION = 306 };

  struct CapsuleWalk;
  struct SphereWalk;
  struct DrawWalk;

private:
  void Clear();
  void AddStats(int iSign);
  // The next query stamp. Stamps are 16 bits: when they wrap, every
  // triangle's stamp is cleared so that none looks visited by the new query.
  uint16_t NextStamp();

  uint32_t m_nQueryCount;
  EArray<ECollisionPoly2> m_aPolys;
  EArray<EVec3> m_aVerts;
  EOctree* m_pOctree;
  EBox3 m_Bounds;
  int m_iNonManifoldPoly;
  bool m_bCounted;
};
