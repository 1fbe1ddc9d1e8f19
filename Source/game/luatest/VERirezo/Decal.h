// Decals: textures laid onto the world's geometry at a collision hit. The
// triangles within a decal's reach are chosen once, when it is placed, and
// kept as index buffers over their fragments' own vertices; every frame they
// are drawn again with the decal's texture projected along the surface
// normal. Decals outlive the frame: they stay until they expire or are
// removed.
#pragma once

#include <cstdint>

#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"

class ECollide;
class EDomain;
class EEntity;
class EMesh;
class EMeshFrag;
class ERenderState;

// One fragment a decal reaches.
struct DecalPolyRef {
  EMeshFrag* pMeshFrag;    // null when the fragment yielded no triangle
  int32_t iPolyCount;      // the fragment's triangles the decal covers
  uint32_t idIndexBuffer;  // those triangles as a 16-bit triangle list; 0 for none
};

enum { kDECALFLAG_GLOW = 0x1 };

struct EDecal : public EDataElement {
  EDecal();
  ~EDecal();

  uint32_t m_idTexture;
  uint32_t m_dwSortKey;
  uint32_t m_dwColor;  // A8R8G8B8
  EVec3 m_vPos;
  EVec3 m_vNormal;
  EVec3 m_vUp;     // scaled to the height
  EVec3 m_vRight;  // scaled to the width
  EEntity* m_pEntity;
  EMesh* m_pMesh;
  EArray<DecalPolyRef> m_aPolyRefs;
  int32_t m_iPolyRefCount;
  uint32_t m_dwFlags;
  float m_fExpireTime;  // -1: never
  float m_fCreateTime;
  float m_fFadeInTime;
  float m_fFadeOutTime;
};

class EDecalManager {
public:
  enum { kINITIAL_DECALS = 4, kMAX_POLY_REFS = 40 };

  EDecalManager();
  ~EDecalManager();
  EDecalManager(const EDecalManager&) = delete;
  EDecalManager& operator=(const EDecalManager&) = delete;

  void Clear();
  void RestoreSize();
  // Places a decal on the triangles around the query's hit and returns its
  // id, or 0 without a texture, without a hit mesh or when the pool gives
  // no element. A negative alpha marks a glowing decal; a negative life
  // never expires. fUnused is accepted and ignored.
  uint32_t AttachDecal(uint32_t idTexture, const ECollide& hit, const EVec3& vUp, float fLife, uint32_t dwSortKey,
                       const EVec4* pColor = nullptr, const EVec2* pSize = nullptr, float fUnused = 0.0f,
                       float fFadeIn = 0.0f, float fFadeOut = 0.0f);
  void RemoveDecal(uint32_t id);
  // The decal expires one second from now.
  void ExpireDecal(uint32_t id);
  // Deletes the decals on the mesh (null: any) with the texture (0: any).
  bool RemoveReferences(EMesh* pMesh, uint32_t idTexture);
  // Deletes the decals whose entity is dead.
  void CleanupReferences();
  void PreprocessAll();
  void DrawAll(bool bGlowOnly);

  // The fade of a decal's alpha at a simulated time, 0 to 1.
  static float GetFadeFactor(const EDecal& decal, float fNow);
  // The render state every decal is drawn with (fog aside).
  static void SetupRenderState(ERenderState& state);
  // Maps positions of a mesh placed by mModelToWorld to the decal's texture
  // coordinates.
  static EMat4 GetProjectionMatrix(const EDecal& decal, const EMat4& mModelToWorld);

  EDecal* GetDecal(uint32_t id) const;
  EDataArray<EDecal>* GetDecalArray() const { return m_pDecalArray; }
  int GetDrawCount() const { return m_iDrawCount; }
  const uint32_t* GetDrawList() const { return m_pidDrawList; }
  int GetPolysDrawn() const { return m_iPolysDrawn; }

private:
  void attachDecalToDomain(EDecal* pDecal, EDomain* pDomain);
  void attachDecalToMesh(EDecal* pDecal, EMesh* pMesh);
  bool setupMeshFrag(EDecal* pDecal, EMeshFrag* pFrag, int iCount, int* piPolys);

  EDataArray<EDecal>* m_pDecalArray;
  uint32_t* m_pidDrawList;
  int m_iDrawListSize;
  int m_iDrawCount;
  int m_iPolysDrawn;
  ESphere m_ReachSphere;  // the sphere of the decal being placed
};
