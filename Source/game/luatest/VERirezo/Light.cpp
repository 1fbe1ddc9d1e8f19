#include "VERirezo/Light.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Font.h"
#include "VERirezo/HaloManager.h"
#include "VERirezo/Joint.h"
#include "VERirezo/LightManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/TextureManager.h"

namespace lightrecord {

uint32_t ReadU32(EStream& s) {
  uint8_t b[4] = {0, 0, 0, 0};
  s.Read(b, 1, 4);
  return GetLE32(b);
}

float ReadFloat(EStream& s) {
  uint8_t b[4] = {0, 0, 0, 0};
  s.Read(b, 1, 4);
  return GetLEFloat(b);
}

EVec3 ReadVec3(EStream& s) {
  uint8_t b[12] = {};
  s.Read(b, 1, 12);
  return EVec3(GetLEFloat(b), GetLEFloat(b + 4), GetLEFloat(b + 8));
}

// A string of the stream; null for an empty one (n of 0 or 1).
char* ReadString(EStream& s) {
  char* text = nullptr;
  s << text;
  return text;
}

// Rounds half away from zero.
float RoundAway(float x) { return x < 0 ? -floorf(-x + 0.5f) : floorf(x + 0.5f); }

int TexelWidth(int eType) { return eType == kLIGHTTYPE_DIRECTIONAL ? kDEPTH_MAP_DIRECTIONAL_WIDTH : kDEPTH_MAP_CUBE_WIDTH; }
int TexelCount(int eType) { return eType == kLIGHTTYPE_DIRECTIONAL ? kDEPTH_MAP_DIRECTIONAL_SIZE : kDEPTH_MAP_CUBE_SIZE; }
unsigned PlaneRecordSize(int eType) { return eType == kLIGHTTYPE_DIRECTIONAL ? (unsigned)sizeof(EPlane) : 6u; }
unsigned PlaneMemorySize(int eType) {
  return eType == kLIGHTTYPE_DIRECTIONAL ? (unsigned)sizeof(EPlane) : (unsigned)sizeof(EPlanePacked3);
}
unsigned IndexEntrySize(unsigned nPlanes) { return nPlanes <= 256 ? 1u : 2u; }

const EVec4 kDebugWhite(1, 1, 1, 1);

}  // namespace lightrecord

// ---------------------------------------------------------------------------

EPlane EPlanePacked3::ToPlane() const {
  float d;
  if (m_iDistance == 32767) d = 1e9f;
  else if (m_iDistance == -32767) d = -1e9f;
  else d = 4.0f * (float)m_iDistance;
  return EPlane(m_Normal.ToVector(), d);
}

EProjectedLight::EProjectedLight()
    : m_fFieldOfView(90),
      m_fWidth(1000),
      m_fHeight(1000),
      m_fAttenStart(10),
      m_fAttenEnd(10000),
      m_eProjectionMode(1),
      m_idTexture(0),
      m_iMonitorChannel(-1),
      m_pShadowEntity(nullptr),
      m_pShadowCamera(nullptr),
      m_hRenderedTexture(0),
      m_bRendered(false) {}

EProjectedLight::EProjectedLight(const EProjectedLight& o)
    : m_fFieldOfView(o.m_fFieldOfView),
      m_fWidth(o.m_fWidth),
      m_fHeight(o.m_fHeight),
      m_fAttenStart(o.m_fAttenStart),
      m_fAttenEnd(o.m_fAttenEnd),
      m_eProjectionMode(o.m_eProjectionMode),
      m_idTexture(o.m_idTexture),
      m_iMonitorChannel(o.m_iMonitorChannel),
      m_pShadowEntity(o.m_pShadowEntity),
      m_pShadowCamera(nullptr),
      m_hRenderedTexture(0),
      m_bRendered(false),
      m_Frustum(o.m_Frustum) {}

EProjectedLight::~EProjectedLight() {
  delete m_pShadowCamera;
  if (m_hRenderedTexture && gGameApp && gGameApp->m_pRenderer)
    gGameApp->m_pRenderer->DeleteTexture(m_hRenderedTexture, true);
}

// ---------------------------------------------------------------------------

ELight::ELight()
    : m_pMesh(nullptr),
      m_eType(kLIGHTTYPE_UNKNOWN),
      m_dwFlags(kLIGHTFLAG_ENABLED),
      m_szName(nullptr),
      m_vColor(1, 1, 1),
      m_fIntensity(1),
      m_fConstantAtten(1),
      m_fLinearAtten(0),
      m_fQuadraticAtten(0),
      m_vPosition(0, 0, 0),
      m_vDirection(cg_vDefaultForwardVector),
      m_vUp(cg_vDefaultUpVector),
      m_fRange(kLIGHT_NO_RANGE),
      m_idHalo(0),
      m_vTargetColor(1, 1, 1),
      m_fColorFadeTime(0),
      m_fTargetIntensity(1),
      m_fIntensityFadeTime(0),
      m_fConeAngle(0),
      m_fPenumbraAngle(0),
      m_fCosConeAngle(0),
      m_fCosInnerAngle(0),
      m_pProjectedLight(nullptr),
      m_DepthMapBounds(EVec3(0, 0, 0), EVec3(0, 0, 0)),
      m_hHaloTexture(0),
      m_fHaloSize(400),
      m_fHaloSecondSize(0.15f),
      m_vWorldPosition(0, 0, 0),
      m_vWorldDirection(cg_vDefaultForwardVector),
      m_vWorldUp(cg_vDefaultUpVector),
      m_WorldBox(EVec3(0, 0, 0), EVec3(0, 0, 0)) {
  for (int i = 0; i < kDEPTH_MAP_FACES; ++i) {
    m_anIndexCount[i] = m_anPlaneCount[i] = 0;
    m_apIndexTable[i] = m_apPlaneTable[i] = nullptr;
  }
}

ELight::~ELight() { freeOwned(); }

void ELight::freeOwned() {
  free(m_szName);
  m_szName = nullptr;
  delete m_pProjectedLight;
  m_pProjectedLight = nullptr;
  for (int i = 0; i < kDEPTH_MAP_FACES; ++i) {
    free(m_apIndexTable[i]);
    free(m_apPlaneTable[i]);
    m_apIndexTable[i] = m_apPlaneTable[i] = nullptr;
    m_anIndexCount[i] = m_anPlaneCount[i] = 0;
  }
}

ELight& ELight::operator=(const ELight& o) {
  if (this == &o) return *this;
  if (m_idHalo && gGameApp && gGameApp->m_pHaloManager) gGameApp->m_pHaloManager->DeleteHalo(m_idHalo);
  freeOwned();
  m_pMesh = o.m_pMesh;
  m_eType = o.m_eType;
  m_dwFlags = o.m_dwFlags & ~(unsigned)kLIGHTFLAG_CACHE_VALID;
  m_szName = o.m_szName ? strdup(o.m_szName) : nullptr;
  m_vColor = o.m_vColor;
  m_fIntensity = o.m_fIntensity;
  m_fConstantAtten = o.m_fConstantAtten;
  m_fLinearAtten = o.m_fLinearAtten;
  m_fQuadraticAtten = o.m_fQuadraticAtten;
  m_vPosition = o.m_vPosition;
  m_vDirection = o.m_vDirection;
  m_vUp = o.m_vUp;
  m_fRange = o.m_fRange;
  m_vTargetColor = o.m_vTargetColor;
  m_fColorFadeTime = o.m_fColorFadeTime;
  m_fTargetIntensity = o.m_fTargetIntensity;
  m_fIntensityFadeTime = o.m_fIntensityFadeTime;
  m_fConeAngle = o.m_fConeAngle;
  m_fPenumbraAngle = o.m_fPenumbraAngle;
  m_fCosConeAngle = o.m_fCosConeAngle;
  m_fCosInnerAngle = o.m_fCosInnerAngle;
  m_pProjectedLight = o.m_pProjectedLight ? new EProjectedLight(*o.m_pProjectedLight) : nullptr;
  for (int i = 0; i < kDEPTH_MAP_FACES; ++i) {
    m_anIndexCount[i] = o.m_anIndexCount[i];
    m_anPlaneCount[i] = o.m_anPlaneCount[i];
    const size_t indexBytes = (size_t)o.m_anIndexCount[i] * lightrecord::IndexEntrySize(o.m_anPlaneCount[i]);
    const size_t planeBytes = (size_t)o.m_anPlaneCount[i] * lightrecord::PlaneMemorySize(o.m_eType);
    if (o.m_apIndexTable[i]) {
      m_apIndexTable[i] = malloc(indexBytes);
      memcpy(m_apIndexTable[i], o.m_apIndexTable[i], indexBytes);
    }
    if (o.m_apPlaneTable[i]) {
      m_apPlaneTable[i] = malloc(planeBytes);
      memcpy(m_apPlaneTable[i], o.m_apPlaneTable[i], planeBytes);
    }
  }
  m_mDepthMap = o.m_mDepthMap;
  m_DepthMapBounds = o.m_DepthMapBounds;
  m_hHaloTexture = o.m_hHaloTexture;
  m_fHaloSize = o.m_fHaloSize;
  m_fHaloSecondSize = o.m_fHaloSecondSize;
  // The copy's halo is its own, so that each light deletes only its own.
  m_idHalo = 0;
  if (o.m_idHalo) addHalo();
  return *this;
}

void ELight::addHalo() {
  EHaloManager* pHalos = gGameApp ? gGameApp->m_pHaloManager : nullptr;
  if (!pHalos) return;
  unsigned hTexture = m_hHaloTexture ? m_hHaloTexture : gGameApp->m_hExponentTexture;
  m_idHalo = pHalos->AddHalo(hTexture, m_vPosition, m_fHaloSize, m_fHaloSecondSize, nullptr, nullptr);
}

void ELight::SetSpotCone(float fConeAngle, float fPenumbraAngle) {
  m_fConeAngle = fConeAngle;
  m_fPenumbraAngle = PIN(fPenumbraAngle, 0.33f * fConeAngle, fConeAngle);
  m_fCosConeAngle = Cosine(m_fConeAngle);
  m_fCosInnerAngle = Cosine(m_fConeAngle - m_fPenumbraAngle);
}

bool ELight::Read(EStream& s, unsigned, EMesh* pMesh) {
  using namespace lightrecord;
  m_pMesh = pMesh;
  InvalidateCachedData();
  m_dwFlags = ReadU32(s);
  free(m_szName);
  m_szName = ReadString(s);
  m_hHaloTexture = 0;
  m_fHaloSize = 400;
  m_fHaloSecondSize = 0.15f;
  EGameTextureManager* pTextures = gGameApp ? gGameApp->m_pGameTextureManager : nullptr;
  if (m_dwFlags & kLIGHTFLAG_HALO_RECORD) {
    char* szTexture = ReadString(s);
    const float size = ReadFloat(s);
    m_fHaloSecondSize = ReadFloat(s);
    m_fHaloSize = size * 0.5f;
    if (szTexture && !s.Err() && pTextures)
      m_hHaloTexture = pTextures->GetTextureHandle(pTextures->AddTexture(szTexture, 0, nullptr));
    free(szTexture);
  }
  m_vColor = ReadVec3(s);
  m_fConstantAtten = MAX(ReadFloat(s), 0.0f);
  m_fLinearAtten = MAX(ReadFloat(s), 0.0f);
  m_fQuadraticAtten = MAX(ReadFloat(s), 0.0f);
  m_vPosition = ReadVec3(s);
  if (m_eType == kLIGHTTYPE_DIRECTIONAL) m_vDirection = ReadVec3(s);
  if (m_eType == kLIGHTTYPE_SPOT) {
    m_vDirection = ReadVec3(s);
    const float cone = ReadFloat(s);
    const float penumbra = ReadFloat(s);
    SetSpotCone(cone, penumbra);
  }
  if (m_eType == kLIGHTTYPE_PROJECTED) {
    delete m_pProjectedLight;
    m_pProjectedLight = new EProjectedLight();
    char* szTexture = ReadString(s);
    m_vDirection = ReadVec3(s);
    m_vUp = ReadVec3(s);
    m_pProjectedLight->m_fFieldOfView = ReadFloat(s);
    m_pProjectedLight->m_fWidth = ReadFloat(s);
    m_pProjectedLight->m_fHeight = ReadFloat(s);
    m_pProjectedLight->m_fAttenStart = ReadFloat(s);
    m_pProjectedLight->m_fAttenEnd = ReadFloat(s);
    m_pProjectedLight->m_eProjectionMode = (int32_t)ReadU32(s);
    if (szTexture && !s.Err() && pTextures) m_pProjectedLight->m_idTexture = pTextures->AddTexture(szTexture, 0, nullptr);
    free(szTexture);
    m_dwFlags |= kLIGHTFLAG_DYNAMIC;
  }
  if ((m_dwFlags & kLIGHTFLAG_DEPTH_MAP) && !s.Err() && !readDepthMaps(s)) return false;
  if (s.Err()) return false;
  if (m_dwFlags & kLIGHTFLAG_HALO) addHalo();
  return true;
}

bool ELight::readDepthMaps(EStream& s) {
  using namespace lightrecord;
  const int nFaces = m_eType == kLIGHTTYPE_DIRECTIONAL ? 1 : kDEPTH_MAP_FACES;
  uint8_t b[64];
  for (int i = 0; i < nFaces; ++i) {
    s.Read(b, 1, 2);
    m_anIndexCount[i] = GetLE16(b);
  }
  for (int i = 0; i < nFaces; ++i) {
    s.Read(b, 1, 2);
    m_anPlaneCount[i] = GetLE16(b);
  }
  if (m_eType == kLIGHTTYPE_DIRECTIONAL) {
    s.Read(b, 1, 64);
    for (int k = 0; k < 16; ++k) m_mDepthMap.m[k] = GetLEFloat(b + 4 * k);
    s.Read(b, 1, 24);
    m_DepthMapBounds = EBox3(EVec3(GetLEFloat(b), GetLEFloat(b + 4), GetLEFloat(b + 8)),
                             EVec3(GetLEFloat(b + 12), GetLEFloat(b + 16), GetLEFloat(b + 20)));
  }
  if (s.Err()) return false;
  for (int i = 0; i < nFaces; ++i) {
    const unsigned nIndex = m_anIndexCount[i], nPlanes = m_anPlaneCount[i];
    if (nIndex) {
      const unsigned bytes = nIndex * IndexEntrySize(nPlanes);
      if (s.BoundLength(bytes) != bytes) return false;
      uint8_t* raw = static_cast<uint8_t*>(malloc(bytes));
      s.Read(raw, 1, bytes);
      if (IndexEntrySize(nPlanes) == 2) {
        uint16_t* table = reinterpret_cast<uint16_t*>(raw);
        for (unsigned k = 0; k < nIndex; ++k) table[k] = GetLE16(raw + 2 * k);
      }
      m_apIndexTable[i] = raw;
    }
    if (nPlanes) {
      const unsigned bytes = nPlanes * PlaneRecordSize(m_eType);
      if (s.BoundLength(bytes) != bytes) return false;
      uint8_t* raw = static_cast<uint8_t*>(malloc(bytes));
      s.Read(raw, 1, bytes);
      if (m_eType == kLIGHTTYPE_DIRECTIONAL) {
        EPlane* planes = static_cast<EPlane*>(malloc(nPlanes * sizeof(EPlane)));
        for (unsigned k = 0; k < nPlanes; ++k) {
          const uint8_t* p = raw + 16 * k;
          planes[k] = EPlane(EVec3(GetLEFloat(p), GetLEFloat(p + 4), GetLEFloat(p + 8)), GetLEFloat(p + 12));
        }
        m_apPlaneTable[i] = planes;
      } else {
        EPlanePacked3* planes = static_cast<EPlanePacked3*>(malloc(nPlanes * sizeof(EPlanePacked3)));
        for (unsigned k = 0; k < nPlanes; ++k) {
          planes[k].m_Normal.m_uWord = GetLE32(raw + 6 * k);
          planes[k].m_iDistance = (int16_t)GetLE16(raw + 6 * k + 4);
        }
        m_apPlaneTable[i] = planes;
      }
      free(raw);
    }
    if (s.Err()) return false;
    // A face answers for every texel: through an index table that covers the
    // texels and names only planes the face has, or with a plane per texel.
    const unsigned nTexels = (unsigned)TexelCount(m_eType);
    bool bUsable = true;
    if (nIndex) {
      bUsable = nPlanes > 0 && nIndex >= nTexels;
      for (unsigned k = 0; bUsable && k < nTexels; ++k) bUsable = (unsigned)depthMapTexel(i, (int)k) < nPlanes;
    } else if (nPlanes) {
      bUsable = nPlanes >= nTexels;
    }
    if (!bUsable) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Light '%s': depth map face %i does not cover its texels; ignored",
                                   m_szName ? m_szName : "Unnamed", i);
      dropDepthMapFace(i);
    }
  }
  return true;
}

void ELight::dropDepthMapFace(int iFace) {
  free(m_apIndexTable[iFace]);
  free(m_apPlaneTable[iFace]);
  m_apIndexTable[iFace] = m_apPlaneTable[iFace] = nullptr;
  m_anIndexCount[iFace] = m_anPlaneCount[iFace] = 0;
}

int ELight::depthMapTexel(int iFace, int iTexel) const {
  if (!m_anIndexCount[iFace] || !m_anPlaneCount[iFace]) return iTexel;
  if (m_anPlaneCount[iFace] <= 256) return static_cast<const uint8_t*>(m_apIndexTable[iFace])[iTexel];
  return static_cast<const uint16_t*>(m_apIndexTable[iFace])[iTexel];
}

// ---------------------------------------------------------------------------

void ELight::SetEnabled(bool bOn) {
  if (bOn) m_dwFlags |= kLIGHTFLAG_ENABLED;
  else m_dwFlags &= ~(unsigned)kLIGHTFLAG_ENABLED;
}

bool ELight::IsVisible() const {
  return (m_dwFlags & kLIGHTFLAG_ENABLED) && m_fIntensity != 0 && m_vColor.x + m_vColor.y + m_vColor.z != 0;
}

void ELight::UpdateCachedData() const {
  // A light without a mesh has its world values in its own members, so its
  // copy is always renewed.
  if ((m_dwFlags & kLIGHTFLAG_CACHE_VALID) && m_pMesh) return;
  if (m_pMesh) {
    const EMat4& m = m_pMesh->GetInclusiveTrans();
    const EMat4 normalMatrix = m.Inverse().Transpose();
    m_vWorldPosition = m.TransformPoint(m_vPosition);
    m_vWorldDirection = normalMatrix.Mul3Vec3(m_vDirection);
    m_vWorldUp = normalMatrix.Mul3Vec3(m_vUp);
  } else {
    m_vWorldPosition = m_vPosition;
    m_vWorldDirection = m_vDirection;
    m_vWorldUp = m_vUp;
  }
  if (m_eType == kLIGHTTYPE_PROJECTED && m_pProjectedLight) {
    EProjectedLight& p = *m_pProjectedLight;
    p.m_Frustum.FromViewport(p.m_fFieldOfView, p.m_fWidth, p.m_fHeight, 1, p.m_fAttenEnd, m_vWorldPosition,
                             m_vWorldDirection, m_vWorldUp);
    m_WorldBox = p.m_Frustum.m_Bounds;
  } else {
    const EVec3 r(m_fRange, m_fRange, m_fRange);
    m_WorldBox = EBox3(m_vWorldPosition - r, m_vWorldPosition + r);
  }
  const_cast<ELight*>(this)->m_dwFlags |= kLIGHTFLAG_CACHE_VALID;
}

EVec3 ELight::inclusivePositionSlow(const EVec3* pPoint, EMeshEntity* pEntity) const {
  UpdateCachedData();
  if (m_eType == kLIGHTTYPE_DIRECTIONAL && pPoint) return *pPoint - m_vWorldDirection * 100000.0f;
  if ((m_dwFlags & kLIGHTFLAG_LIGHT_RIG) && pEntity) {
    EVec3 anchor = pEntity->GetPosition();
    if (EMesh* pMesh = pEntity->GetMesh()) {
      if (EJoint* pJoint = pMesh->FindJoint("rootJ_1")) anchor = pMesh->GetJointWorldPos(pJoint);
      else if (EJoint* pFirst = pMesh->GetJointFromID(0)) anchor = pMesh->GetJointWorldPos(pFirst);
    }
    ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
    if (!pCamera) return m_vWorldPosition;
    const EVec3 s = pCamera->CartesianToRelativeSpherical(anchor - pCamera->GetPosition());
    // The entity's light-rig scale is 1 on every axis.
    EVec3 r = pCamera->CartesianToRelativeSpherical(m_vWorldPosition);
    r.y = NormalizeAngle(r.y + s.y);
    return anchor + pCamera->RelativeSphericalToCartesian(r);
  }
  return m_vWorldPosition;
}

const EVec3& ELight::GetInclusiveDirection() const {
  UpdateCachedData();
  return m_vWorldDirection;
}

const EVec3& ELight::GetInclusiveUp() const {
  UpdateCachedData();
  return m_vWorldUp;
}

const EBox3& ELight::GetTransformedBoundingBox() const {
  UpdateCachedData();
  return m_WorldBox;
}

const EFrustum& ELight::GetProjectedLightFrustum() const {
  EASSERT(m_pProjectedLight);
  UpdateCachedData();
  return m_pProjectedLight->m_Frustum;
}

EVec3 ELight::GetCompoundColor(EMeshEntity*) const {
  ELightManager* pManager = GetAppLightManager();
  return CompoundColor(pManager ? &pManager->m_SceneFactors : nullptr);
}

EMat4 ELight::CalculateTexGenMatrix() const {
  EASSERT(m_eType == kLIGHTTYPE_PROJECTED);
  EASSERT(m_pProjectedLight);
  UpdateCachedData();
  const EProjectedLight& p = *m_pProjectedLight;
  const EVec3& P = m_vWorldPosition;
  const EVec3 target = P - m_vWorldDirection * 10.0f;
  if (p.m_fFieldOfView != 0)
    return ERenderer::CreatePerspectiveTexGenMatrix(P, target, m_vWorldUp, p.m_fFieldOfView,
                                                    SafeDivide(p.m_fWidth, p.m_fHeight), 1, p.m_fAttenEnd);
  return ERenderer::CreateOrthoTexGenMatrix(P, target, m_vWorldUp, p.m_fWidth, p.m_fHeight, 1, p.m_fAttenEnd);
}

// ---------------------------------------------------------------------------
// Depth-map visibility.

EPlane ELight::GetDepthMapCubePlane(CUBEMAPFACE eFace, const EVec2& vPixelCoords) const {
  EASSERT(vPixelCoords.x >= 0.0f && vPixelCoords.x <= (float) kDEPTH_MAP_CUBE_WIDTH);
  EASSERT(vPixelCoords.y >= 0.0f && vPixelCoords.y <= (float) kDEPTH_MAP_CUBE_WIDTH);
  const int x = PIN((int)vPixelCoords.x, 0, kDEPTH_MAP_CUBE_WIDTH - 1);
  const int y = PIN((int)vPixelCoords.y, 0, kDEPTH_MAP_CUBE_WIDTH - 1);
  const int iIndex = x + kDEPTH_MAP_CUBE_WIDTH * y;
  EASSERT(iIndex >= 0 && iIndex < kDEPTH_MAP_CUBE_SIZE);
  const int iFace = (int)eFace;
  if (iFace < 0 || iFace >= kDEPTH_MAP_FACES || !m_apPlaneTable[iFace]) return EPlane(EVec3(0, 0, 1), 1e9f);
  const int t = depthMapTexel(iFace, iIndex);
  EPlane plane = static_cast<const EPlanePacked3*>(m_apPlaneTable[iFace])[t].ToPlane();
  UpdateCachedData();
  plane.d -= plane.n.Dot(m_vWorldPosition);
  return plane;
}

EPlane ELight::GetDepthMapDirectionalPlane(const EVec2& vPixelCoords) const {
  EASSERT(vPixelCoords.x >= 0.0f && vPixelCoords.x <= (float) kDEPTH_MAP_DIRECTIONAL_WIDTH);
  EASSERT(vPixelCoords.y >= 0.0f && vPixelCoords.y <= (float) kDEPTH_MAP_DIRECTIONAL_WIDTH);
  const int x = PIN((int)vPixelCoords.x, 0, kDEPTH_MAP_DIRECTIONAL_WIDTH - 1);
  const int y = PIN((int)vPixelCoords.y, 0, kDEPTH_MAP_DIRECTIONAL_WIDTH - 1);
  const int iIndex = x + kDEPTH_MAP_DIRECTIONAL_WIDTH * y;
  EASSERT(iIndex >= 0 && iIndex < kDEPTH_MAP_DIRECTIONAL_SIZE);
  if (!m_apPlaneTable[0]) return EPlane(EVec3(0, 0, 1), 1e9f);
  return static_cast<const EPlane*>(m_apPlaneTable[0])[depthMapTexel(0, iIndex)];
}

float ELight::GetSampleVisibility(const EVec3& p) const {
  using lightrecord::RoundAway;
  float u = 0, v = 0;
  int iFace = 0;
  float W;
  const bool bDirectional = m_eType == kLIGHTTYPE_DIRECTIONAL;
  if (bDirectional) {
    const EVec3 q = m_mDepthMap.TransformPoint(p);
    const EVec3& mn = m_DepthMapBounds.vMin;
    const EVec3& mx = m_DepthMapBounds.vMax;
    u = SafeDivide(q.x - mn.x, mx.x - mn.x);
    v = SafeDivide(q.z - mn.z, mx.z - mn.z);
    if (u < 0 || u > 1 || v < 0 || v > 1) return 1;
    W = (float)kDEPTH_MAP_DIRECTIONAL_WIDTH;
  } else {
    EVec3 dir = p - GetInclusivePosition(&p, nullptr);
    dir.Normalize();
    iFace = (int)GetCubemapLocation(dir, u, v);
    u = PIN(u, 0.0f, 1.0f);
    v = PIN(v, 0.0f, 1.0f);
    W = (float)kDEPTH_MAP_CUBE_WIDTH;
  }
  if (iFace < 0 || iFace >= kDEPTH_MAP_FACES || !HasDepthMapFace(iFace)) return 1;
  const float X = u * W, Y = v * W;
  const float x0 = MAX(RoundAway(X) - 0.5f, 0.5f), y0 = MAX(RoundAway(Y) - 0.5f, 0.5f);
  const float x1 = MIN(x0 + 1, W), y1 = MIN(y0 + 1, W);
  const EVec2 samples[4] = {EVec2(x0, y0), EVec2(x0, y1), EVec2(x1, y0), EVec2(x1, y1)};
  const bool bDebug = gGameApp && gGameApp->m_DebugHooks.m_bDebugLightVisibility && gGameApp->m_pDebugLineManager;
  float sum = 0, weights = 0;
  for (const EVec2& s : samples) {
    const EPlane plane =
        bDirectional ? GetDepthMapDirectionalPlane(s) : GetDepthMapCubePlane((CUBEMAPFACE)iFace, s);
    const float lit = TWMath::Distance(p, plane) < 0 ? 0.0f : 1.0f;
    const float w = MAX((1 - fabsf(X - s.x)) * (1 - fabsf(Y - s.y)), 0.0f);
    sum += lit * w;
    weights += w;
    if (bDebug) {
      EVec3 from, along;
      if (bDirectional) {
        along = m_vDirection;
        from = p - along * 100000.0f;
      } else {
        from = GetInclusivePosition(nullptr, nullptr);
        along = GetCubemapNormal((CUBEMAPFACE)iFace, s.x / W, s.y / W) * 100000.0f;
      }
      float t = 0;
      bool bBehind = false;
      TWMath::FindIntersection(EFastSeg3(from, from + along, TagPOINTS()), plane, t, bBehind);
      gGameApp->m_pDebugLineManager->AddDeferredSphere(ESphere(from + along * t, 10));
    }
  }
  return PIN(SafeDivide(sum, weights), 0.0f, 1.0f);
}

float ELight::GetRegionVisibility(const EVec3& p) const {
  using lightrecord::RoundAway;
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  const bool inView = pCamera ? pCamera->TestSphereInScene(p, 30) : true;
  if (gGameApp && gGameApp->m_DebugHooks.m_bDebugLightVisibility && gGameApp->m_pDebugLineManager)
    gGameApp->m_pDebugLineManager->AddDeferredSphere(ESphere(p, 30));
  const float x0 = RoundAway(p.x - 21), y0 = RoundAway(p.y - 21), z0 = RoundAway(p.z - 21);
  float sum = 0, total = 0;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) {
        const EVec3 s(x0 + 21.0f * i, y0 + 21.0f * j, z0 + 21.0f * k);
        const float vis = GetSampleVisibility(s);
        if (vis == 0 && !inView && pCamera && !pCamera->TestSphereInScene(s, 0)) continue;
        const float w = PIN(expf(-(s - p).Length() / 21.0f), 0.0f, 1.0f);
        sum += vis * w;
        total += w;
      }
    }
  }
  return sum / MAX(total, 1.0f);
}

// ---------------------------------------------------------------------------

void ELight::RequestRenderSpheres(EMeshEntity* pEntity) const {
  EDebugLineManager* pLines = gGameApp ? gGameApp->m_pDebugLineManager : nullptr;
  if (!pLines) return;
  const EVec3 P = GetInclusivePosition(nullptr, pEntity);
  const EVec3 c = GetCompoundColor(pEntity);
  const EVec4 colour(c.x, c.y, c.z, 1);
  const EDebugHooks& hooks = gGameApp->m_DebugHooks;
  if (hooks.m_bDebugLights) {
    const EVec4 marker = (m_dwFlags & kLIGHTFLAG_DEBUG_BLACK) ? EVec4(0, 0, 0, 1) : EVec4(0, 0, 1, 1);
    pLines->AddSphere(P, 16, &marker);
    pLines->AddSphere(P, 14, &colour);
  }
  if (hooks.m_bDebugLightRanges && m_eType == kLIGHTTYPE_POINT && m_fRange != kLIGHT_NO_RANGE) {
    const EVec4 red(1, 0, 0, 1);
    pLines->AddSphere(P, m_fRange, IsDynamic() ? &red : &colour);
  }
  if (m_eType == kLIGHTTYPE_SPOT) pLines->AddArrow(P, P + GetInclusiveDirection() * 40.0f, &colour, 0);
  if (m_eType == kLIGHTTYPE_DIRECTIONAL) pLines->AddArrow(P, P + GetInclusiveDirection() * 120.0f, &colour, 0);
  if (m_szName) {
    if (EFont* pFont = gGameApp->GetFont(3))
      pFont->Display3dText(P, m_szName, 0.5f, 5000, lightrecord::kDebugWhite, EVec2(50, 4), 1);
  }
}

void ELight::CleanupReferences() {
  if (m_pProjectedLight && m_pProjectedLight->m_pShadowEntity && m_pProjectedLight->m_pShadowEntity->IsDead())
    m_pProjectedLight->m_pShadowEntity = nullptr;
}

// ---------------------------------------------------------------------------

ELight* ELightBlock::GetLight(int iIndex) const {
  EASSERT(iIndex < m_iLightCount);
  return m_apLights[iIndex];
}

float ELightBlock::GetLightVisibility(int iIndex) const {
  EASSERT(iIndex < m_iLightCount);
  return m_afVisibility[iIndex];
}

void ELightBlock::AddLight(ELight* pLight, float fVisibility) {
  EASSERT(m_iLightCount < kMAX_LIGHT_BLOCK_LIGHTS);
  if (m_iLightCount < 0 || m_iLightCount >= kMAX_LIGHT_BLOCK_LIGHTS) return;
  m_apLights[m_iLightCount] = pLight;
  m_afVisibility[m_iLightCount] = fVisibility;
  ++m_iLightCount;
}

void ELightBlock::AddLightFromBlock(const ELightBlock* pLightBlock, int iIndex) {
  EASSERT(m_iLightCount < kMAX_LIGHT_BLOCK_LIGHTS);
  EASSERT(iIndex < pLightBlock->m_iLightCount);
  if (iIndex < 0 || iIndex >= pLightBlock->m_iLightCount) return;
  AddLight(pLightBlock->m_apLights[iIndex], pLightBlock->m_afVisibility[iIndex]);
}
