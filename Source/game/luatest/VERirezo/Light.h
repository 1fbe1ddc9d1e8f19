// Scene lights: the light record carried by a mesh, its spot and projected
// parts, its baked depth-map visibility, and the light blocks that hold the
// strongest lights reaching a box. The light manager (LightManager.h) keeps
// the pool.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Frustum.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"

class ECamera;
class EEntity;
class EMesh;
class EMeshEntity;
class EStream;
enum CUBEMAPFACE : int;

enum { kMAX_LIGHT_BLOCK_LIGHTS = 12 };

enum ELightType {
  kLIGHTTYPE_UNKNOWN = 0,
  kLIGHTTYPE_AMBIENT = 1,
  kLIGHTTYPE_POINT = 2,
  kLIGHTTYPE_DIRECTIONAL = 3,
  kLIGHTTYPE_SPOT = 4,
  kLIGHTTYPE_PROJECTED = 5,
};

enum {
  kLIGHTFLAG_DYNAMIC = 0x1,
  kLIGHTFLAG_HALO = 0x2,
  kLIGHTFLAG_HALO_RECORD = 0x4,
  kLIGHTFLAG_OWNER_ONLY = 0x8,
  kLIGHTFLAG_SWITCHABLE = 0x10,
  kLIGHTFLAG_DEBUG_BLACK = 0x40,
  kLIGHTFLAG_PSI = 0x80,
  kLIGHTFLAG_LIGHT_RIG = 0x100,
  kLIGHTFLAG_DEPTH_MAP = 0x200,
  kLIGHTFLAG_ENABLED = 0x10000,
  kLIGHTFLAG_CACHE_VALID = 0x20000,
};

// Depth maps: one map of 32 x 32 texels per cube face for point-like lights,
// one of 128 x 128 for a directional light.
enum {
  kDEPTH_MAP_CUBE_WIDTH = 32,
  kDEPTH_MAP_CUBE_SIZE = 1024,
  kDEPTH_MAP_DIRECTIONAL_WIDTH = 128,
  kDEPTH_MAP_DIRECTIONAL_SIZE = 16384,
  kDEPTH_MAP_FACES = 6,
};

// A range of exactly this means the light has none.
const float kLIGHT_NO_RANGE = 1e9f;

// A plane in 6 bytes: a packed unit normal and a signed distance in units
// of 4 (32767 and -32767 stand for +1e9 and -1e9).
struct EPlanePacked3 {
  ENormPacked3 m_Normal;
  int16_t m_iDistance;

  EPlane ToPlane() const;
};

// The projected part of a light of type 5.
class EProjectedLight {
public:
  EProjectedLight();
  ~EProjectedLight();
  // The same values; the copy has no shadow camera and no rendered texture.
  EProjectedLight(const EProjectedLight& other);
  EProjectedLight& operator=(const EProjectedLight&) = delete;

  float m_fFieldOfView;  // degrees; 0 orthographic
  float m_fWidth;
  float m_fHeight;
  float m_fAttenStart;
  float m_fAttenEnd;
  int32_t m_eProjectionMode;  // 0 before the base texture, 1..4 after it
  unsigned m_idTexture;       // game texture
  int16_t m_iMonitorChannel;  // -1 none
  EEntity* m_pShadowEntity;
  ECamera* m_pShadowCamera;   // owned; made on first use
  unsigned m_hRenderedTexture;  // owned renderer texture
  bool m_bRendered;
  EFrustum m_Frustum;  // world space, cached
};

// The colour factors of the current scene that a light's contribution
// follows. Intensities only darken: 1 or more leaves the colour alone.
struct ESceneLightFactors {
  float m_fStaticLightIntensity = 1;
  float m_fDynamicLightIntensity = 1;
  float m_fLightRigIntensity = 1;
  EVec3 m_vLightRigBoost = EVec3(0, 0, 0);
  EVec3 m_vPsiLightColor = EVec3(0, 0, 0);
};

class ELight : public EDataElement {
public:
  ELight();
  ~ELight();
  ELight(const ELight&) = delete;
  // Copies everything but the data id; the copy owns its own name, parts,
  // depth-map tables and halo, and has no shadow camera.
  ELight& operator=(const ELight& other);

  // The record after its type (set beforehand). False when the stream ends
  // inside the record.
  bool Read(EStream& s, unsigned version, EMesh* pMesh);

  int GetType() const { return m_eType; }
  unsigned GetFlags() const { return m_dwFlags; }
  bool IsDynamic() const { return (m_dwFlags & kLIGHTFLAG_DYNAMIC) != 0; }
  bool IsLightRig() const { return (m_dwFlags & kLIGHTFLAG_LIGHT_RIG) != 0; }
  const char* GetName() const { return m_szName; }
  EMesh* GetMesh() const { return m_pMesh; }
  void SetMesh(EMesh* pMesh) {
    m_pMesh = pMesh;
    InvalidateCachedData();
  }
  float GetRange() const { return m_fRange; }
  unsigned GetHaloId() const { return m_idHalo; }
  EProjectedLight* GetProjectedLight() const { return m_pProjectedLight; }

  void SetEnabled(bool bOn);
  bool IsVisible() const;
  void InvalidateCachedData() { m_dwFlags &= ~(unsigned)kLIGHTFLAG_CACHE_VALID; }
  void UpdateCachedData() const;
  // Sets the cone and penumbra (degrees): the penumbra is kept within a third
  // of the cone and the cone, and the two cosines follow.
  void SetSpotCone(float fConeAngle, float fPenumbraAngle);

  // World position as seen from the point and for the entity.
  EVec3 GetInclusivePosition(const EVec3* pPoint, EMeshEntity* pEntity) const {
    if (!m_pMesh && !((m_dwFlags & kLIGHTFLAG_LIGHT_RIG) && pEntity)) {
      // The world values are the light's own.
      if (m_eType == kLIGHTTYPE_DIRECTIONAL && pPoint) return *pPoint - m_vDirection * 100000.0f;
      return m_vPosition;
    }
    return inclusivePositionSlow(pPoint, pEntity);
  }
  const EVec3& GetInclusiveDirection() const;
  const EVec3& GetInclusiveUp() const;
  const EBox3& GetTransformedBoundingBox() const;
  const EFrustum& GetProjectedLightFrustum() const;
  // The colour the light contributes.
  EVec3 GetCompoundColor(EMeshEntity*) const;
  // The same under the given scene factors (none: the bare colour).
  EVec3 CompoundColor(const ESceneLightFactors* f) const {
    EVec3 c = m_vColor * m_fIntensity;
    if (!f) return c;
    const bool bDynamic = IsDynamic(), bRig = IsLightRig();
    if (!bDynamic && !bRig && f->m_fStaticLightIntensity < 1) c = c * f->m_fStaticLightIntensity;
    if (bDynamic && f->m_fDynamicLightIntensity < 1) c = c * f->m_fDynamicLightIntensity;
    if (bRig) {
      c = c + f->m_vLightRigBoost;
      if (f->m_fLightRigIntensity < 1) c = c * f->m_fLightRigIntensity;
    }
    return c;
  }
  EMat4 CalculateTexGenMatrix() const;

  // Depth-map visibility.
  EPlane GetDepthMapCubePlane(CUBEMAPFACE eFace, const EVec2& vPixelCoords) const;
  EPlane GetDepthMapDirectionalPlane(const EVec2& vPixelCoords) const;
  float GetSampleVisibility(const EVec3& p) const;
  float GetRegionVisibility(const EVec3& p) const;
  bool HasDepthMapFace(int iFace) const { return m_anIndexCount[iFace] != 0 || m_anPlaneCount[iFace] != 0; }

  void RequestRenderSpheres(EMeshEntity* pEntity) const;
  void CleanupReferences();

  EMesh* m_pMesh;
  int m_eType;
  uint32_t m_dwFlags;
  char* m_szName;  // owned, may be null
  EVec3 m_vColor;
  float m_fIntensity;
  float m_fConstantAtten, m_fLinearAtten, m_fQuadraticAtten;
  EVec3 m_vPosition;   // in the owning mesh's space
  EVec3 m_vDirection;  // in the owning mesh's space
  EVec3 m_vUp;
  float m_fRange;  // kLIGHT_NO_RANGE: none
  unsigned m_idHalo;
  EVec3 m_vTargetColor;
  float m_fColorFadeTime;
  float m_fTargetIntensity;
  float m_fIntensityFadeTime;
  // The spot part: cone and penumbra in degrees, the cosine of the cone and
  // of the cone less the penumbra.
  float m_fConeAngle;
  float m_fPenumbraAngle;
  float m_fCosConeAngle;
  float m_fCosInnerAngle;
  EProjectedLight* m_pProjectedLight;
  // Depth maps, per cube face (face 0 alone for a directional light): the
  // texel-to-plane index table (1 byte an entry up to 256 planes, else 2)
  // and the planes (EPlanePacked3, or world EPlane for a directional light).
  uint16_t m_anIndexCount[kDEPTH_MAP_FACES];
  uint16_t m_anPlaneCount[kDEPTH_MAP_FACES];
  void* m_apIndexTable[kDEPTH_MAP_FACES];
  void* m_apPlaneTable[kDEPTH_MAP_FACES];
  EMat4 m_mDepthMap;
  EBox3 m_DepthMapBounds;
  // The halo's renderer texture (0: the exponent texture) and sizes.
  unsigned m_hHaloTexture;
  float m_fHaloSize;
  float m_fHaloSecondSize;

private:
  void freeOwned();
  EVec3 inclusivePositionSlow(const EVec3* pPoint, EMeshEntity* pEntity) const;
  void addHalo();
  bool readDepthMaps(EStream& s);
  void dropDepthMapFace(int iFace);
  int depthMapTexel(int iFace, int iTexel) const;

  mutable EVec3 m_vWorldPosition;
  mutable EVec3 m_vWorldDirection;
  mutable EVec3 m_vWorldUp;
  mutable EBox3 m_WorldBox;
};

class ELightBlock {
public:
  ELightBlock() : m_iLightCount(0), m_vCombinedIrradiance(0, 0, 0), m_vAverageDir(0, 0, 0) {
    for (int i = 0; i < kMAX_LIGHT_BLOCK_LIGHTS; ++i) m_apLights[i] = nullptr, m_afVisibility[i] = 0;
  }
  int GetLightCount() const { return m_iLightCount; }
  ELight* GetLight(int iIndex) const;
  float GetLightVisibility(int iIndex) const;
  // Appends; a full block keeps what it has.
  void AddLight(ELight* pLight, float fVisibility);
  void AddLightFromBlock(const ELightBlock* pLightBlock, int iIndex);
  const EVec3& GetCombinedIrradiance() const { return m_vCombinedIrradiance; }
  const EVec3& GetAverageDir() const { return m_vAverageDir; }

  ELight* m_apLights[kMAX_LIGHT_BLOCK_LIGHTS];
  float m_afVisibility[kMAX_LIGHT_BLOCK_LIGHTS];
  int m_iLightCount;  // -1: refill before use
  EVec3 m_vCombinedIrradiance;
  EVec3 m_vAverageDir;
};
