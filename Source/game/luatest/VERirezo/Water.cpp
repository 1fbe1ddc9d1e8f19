#include "VERirezo/Water.h"

#include <cmath>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "TWGraphics/Renderer.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "ScriptVM/ScriptObject.h"
#include "VERirezo/EffectScene.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/Physics.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TextureManager.h"

namespace watergrid {

struct Vertex {
  float x, y, z;
  uint32_t colour;
};
static_assert(sizeof(Vertex) == 16, "vertex format 1");

const float kHALF_PI = 1.5707964f;
const float kFAR_Z = 12500.0f;

// A game texture id kept in an entity's script field, or 0.
uint32_t ScriptId(EMeshEntity* pEntity, const char* szField) {
  EScriptObject* pObject = pEntity ? pEntity->GetScriptObject() : nullptr;
  float f = 0.0f;
  if (!pObject || !pObject->GetTableValue(szField, f)) return 0;
  uint32_t id;
  memcpy(&id, &f, sizeof(id));
  return id;
}

float ScriptNumber(EMeshEntity* pEntity, const char* szField) {
  EScriptObject* pObject = pEntity ? pEntity->GetScriptObject() : nullptr;
  float f = 0.0f;
  return pObject && pObject->GetTableValue(szField, f) ? f : 0.0f;
}

EVec3 UpOf(EMeshEntity* pEntity) {
  const EPhysics* pPhysics = pEntity->GetPhysics();
  return pPhysics ? pPhysics->GetUp() : EVec3(0, 1, 0);
}

uint32_t HandleOr(uint32_t id) {
  if (!gGameApp) return 0;
  return effectscene::TextureHandle(id ? id : gGameApp->m_idErrorTexture);
}

}  // namespace watergrid

EWaterManager::EWaterManager()
    : m_fFieldOfView(60.0f), m_fAspectRatio(4.0f / 3.0f), m_matBase(MatrixScale(0.5f, 1.0f, 1.0f)),
      m_idWaterBumpTexture(0), m_idRefractionTexture(0), m_idFresnelTexture(0), m_idVertexBuffer(0),
      m_idIndexBuffer(0), m_iNumVertices(0), m_iNumIndices(0), m_iLastDraws(0), m_hLastReflection(0),
      m_bLastReflection(false) {}

void EWaterManager::Shutdown() {
  if (ERenderer* r = g_pCurrentRenderer) {
    if (m_idVertexBuffer) r->DeleteVertexBuffer(m_idVertexBuffer);
    if (m_idIndexBuffer) r->DeleteIndexBuffer(m_idIndexBuffer);
  }
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  for (uint32_t* id : {&m_idWaterBumpTexture, &m_idRefractionTexture, &m_idFresnelTexture}) {
    if (*id && pTextures) pTextures->DeleteTexture(*id, true);
    *id = 0;
  }
  m_idVertexBuffer = m_idIndexBuffer = 0;
  m_iNumVertices = m_iNumIndices = 0;
}

uint32_t EWaterManager::GetWaterBumpTexture() const { return watergrid::HandleOr(m_idWaterBumpTexture); }
uint32_t EWaterManager::GetRefractionTexture() const { return watergrid::HandleOr(m_idRefractionTexture); }
uint32_t EWaterManager::GetFresnelTexture() const { return watergrid::HandleOr(m_idFresnelTexture); }

void EWaterManager::CreateWaterMesh(float fFieldOfView, float fAspectRatio) {
  ERenderer* r = g_pCurrentRenderer;
  m_fFieldOfView = fFieldOfView;
  m_fAspectRatio = fAspectRatio;
  if (!r) return;
  if (!m_idVertexBuffer)
    m_idVertexBuffer = r->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, c_dwMaxVertices, 0, "Water VB");
  auto* pVerts = static_cast<watergrid::Vertex*>(r->LockVertexBuffer(m_idVertexBuffer, c_dwMaxVertices, 0, 0));
  if (!pVerts) return;

  const float a = fFieldOfView * 0.5f * 3.1415927f / 180.0f;
  const float step = a / 25.0f;
  const float w = tanf(a * 0.5f) * fAspectRatio;
  int iRows = 0, iNumVertices = 0;
  float z = 0.0f;
  auto addRow = [&](float rowZ, uint32_t colour) {
    const float h = w * sqrtf(rowZ * rowZ + 1.0f);
    for (int c = 0; c < kCOLUMNS; ++c) pVerts[iNumVertices++] = {(float)c * (h / 14.0f) - h, 0.0f, rowZ, colour};
    ++iRows;
  };
  // Rows stop short of the buffer, keeping room for the far row.
  const int kMaxAngleRows = c_dwMaxVertices / kCOLUMNS - 1;
  for (float angle = -3.0f * step; angle < watergrid::kHALF_PI - step / 3.0f && iRows < kMaxAngleRows; angle += step) {
    z = tanf(angle);
    addRow(z, 0xFFF00FFFu);
  }
  if (z < watergrid::kFAR_Z) addRow(watergrid::kFAR_Z, 0xFFFFFFFFu);
  m_iNumVertices = iNumVertices;
  if (!(iRows * kCOLUMNS == iNumVertices && iNumVertices <= (int)c_dwMaxVertices))
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__,
                                "m_dwNumVertices == iNumVertices && iNumVertices <= c_dwMaxVertices", false);
  r->UnlockVertexBuffer(m_idVertexBuffer);

  if (m_idIndexBuffer) r->DeleteIndexBuffer(m_idIndexBuffer);
  m_iNumIndices = (iRows - 1) * (kCOLUMNS - 1) * 6;
  m_idIndexBuffer = r->CreateIndexBuffer((unsigned)m_iNumIndices, 0);
  uint16_t* pIndices = m_idIndexBuffer ? r->LockIndexBuffer(m_idIndexBuffer, 0, 0, 0) : nullptr;
  if (!pIndices) return;
  int iNumIndices = 0;
  for (int row = 0; row + 1 < iRows; ++row) {
    const int b = kCOLUMNS * row, n = b + kCOLUMNS;
    for (int c = 0; c < kCOLUMNS - 1; ++c) {
      const int tri[6] = {b + c, n + c, n + c + 1, b + c, n + c + 1, b + c + 1};
      for (int k : tri) pIndices[iNumIndices++] = (uint16_t)k;
    }
  }
  if (iNumIndices != m_iNumIndices) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iNumIndices == m_dwNumIndices", false);
  r->UnlockIndexBuffer(m_idIndexBuffer);
}

void EWaterManager::MoveWater() {
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  if (!pCamera) return;
  const EVec3& view = pCamera->GetViewVector();
  const float heading = atan2f(view.z, view.x) - watergrid::kHALF_PI;
  const EMat4 R = MatrixRotateZ(heading * (180.0f / 3.1415927f));  // degrees
  const ESceneSettings& scene = effectscene::Settings();
  auto scaled = [&R](float s) { return R * MatrixScale(s, s, s); };
  m_matReflectionBump = m_matBase * scaled(scene.m_fReflectionBumpScale);
  m_matRefractionBump = scaled(scene.m_fRefractionBumpScale);
  m_matFresnelBump = scaled(scene.m_fFresnelBumpScale);
}

bool EWaterManager::CameraBelow(const EVec3& vReflector, const EVec3& vUp, const EVec3& vCamera) {
  return (vReflector - vCamera).Dot(vUp) > 0.0f;
}

bool EWaterManager::PlaceGrid(const EVec3& vReflector, const EVec3& vUp, const EVec3& vCamera, const EVec3& vView,
                              EMat4& mOut, float* pScale) {
  const EVec3 worldUp(0, 1, 0);
  if (!vUp.Parallel(worldUp)) return false;
  const float d = (vCamera - vReflector).Dot(vUp);
  const EVec3 foot = vCamera - vUp * d;
  const float s = d > 2000.0f ? d : 2000.0f;
  if (pScale) *pScale = s;
  const EMat4 arc(ShortestArcQuaternion(vUp, worldUp));
  EVec3 flat = arc.Mul3Vec3(vView);
  flat.y = 0.0f;
  flat = arc.Inverse().Mul3Vec3(flat);
  // Looking straight along up there is no heading: no turn.
  EMat4 heading;
  if (flat.Length() > 0.00001f) heading = MatrixRotateEuler(EEuler((-flat).CartesianToEuler()));
  mOut = MatrixTranslate(foot) * arc * heading * MatrixScale(s, s, s);
  return true;
}

void EWaterManager::DrawAll() {
  EProfileZone zone("Draw Water", 0, false);
  m_iLastDraws = 0;
  ERenderer* r = g_pCurrentRenderer;
  if (!r || !gGameApp || !gGameApp->m_DebugHooks.m_bWaterEnabled) return;
  ECamera* pRenderCamera = gGameApp->GetRenderCamera() ? gGameApp->GetRenderCamera() : gGameApp->GetCurrentCamera();
  ECamera* pCamera = gGameApp->GetCurrentCamera() ? gGameApp->GetCurrentCamera() : pRenderCamera;
  if (!pRenderCamera) return;
  if (fabsf(pRenderCamera->GetFieldOfView() - m_fFieldOfView) > 0.00001f ||
      fabsf(pRenderCamera->GetAspectRatio() - m_fAspectRatio) > 0.00001f || !m_idVertexBuffer)
    CreateWaterMesh(pRenderCamera->GetFieldOfView(), pRenderCamera->GetAspectRatio());
  EGameTextureManager* pTextures = gGameApp->GetGameTextureManager();
  EMeshFragManager* pFrags = gGameApp->GetMeshFragManager();

  bool bAny = false;
  const EList<EMeshEntity*>& reflectors = gGameApp->m_lReflectors;
  for (POSITION pos = reflectors.GetHeadPosition(); pos;) {
    EMeshEntity* pReflector = reflectors.GetNext(pos);
    const EVec3 up = watergrid::UpOf(pReflector);
    if (CameraBelow(pReflector->GetPosition(), up, pCamera->GetPosition())) continue;
    if (bAny) r->ClearRenderTarget(EVec4(0, 0, 0, 0), false, false, true, 1.0f);
    bAny = true;
    if (pFrags) {
      pFrags->DrawMeshEntityStencilOnly(pReflector, kSTENCILONLYMODE_VISIBLE, false);
      const EList<EMeshEntity*>& casters = gGameApp->m_lStencilCasters;
      for (POSITION c = casters.GetHeadPosition(); c;) pFrags->DrawMeshEntityStencilOnly(casters.GetNext(c), kSTENCILONLYMODE_CLEAR, false);
    }
    ERenderState state;
    state.m_eCullMode = kCULL_NONE;
    state.m_bZEnable = false;
    state.m_eStencilMode = kSTENCILMODE_NOTEQUAL;
    state.m_byStencilRef = 0;
    r->SetRenderState(&state);
    EMat4 mGrid;
    if (!PlaceGrid(pReflector->GetPosition(), up, pRenderCamera->GetPosition(), pRenderCamera->GetViewVector(), mGrid))
      continue;
    gGameApp->SetModelToWorld(mGrid);
    gGameApp->SetWorldToModel(mGrid.Inverse());
    // A reflection texture that names nothing loaded skips this reflector.
    const uint32_t idReflection = watergrid::ScriptId(pReflector, "reflectionTexture");
    uint32_t hReflection = 0;
    if (idReflection) {
      if (!pTextures || !pTextures->GetTexture(idReflection)) continue;
      hReflection = pTextures->GetTextureHandle(idReflection);
    }
    m_hLastReflection = hReflection;
    m_bLastReflection = hReflection != 0;
    if (EShaderPasses* passes = effectscene::Passes()) {
      passes->m_Water.m_hWaterBumpTexture = GetWaterBumpTexture();
      passes->m_Water.m_hRefractionTexture = GetRefractionTexture();
      passes->m_Water.m_hFresnelTexture = GetFresnelTexture();
      passes->m_Water.m_mReflectionBump = m_matReflectionBump;
      passes->m_Water.m_mRefractionBump = m_matRefractionBump;
      passes->m_Water.m_mFresnelBump = m_matFresnelBump;
      passes->SetShaderWater(mGrid, hReflection, true, hReflection != 0);
    }
    r->DrawIndexedVertexBuffer(m_idVertexBuffer, m_idIndexBuffer, kVBDRAWMODE_TRIANGLELIST, (unsigned)m_iNumIndices, 0);
    ++m_iLastDraws;
    if (gGameApp->m_DebugHooks.m_bShowWireframe) {
      ERenderState wire = state;
      wire.m_eFillMode = kFILL_WIREFRAME;
      r->SetRenderState(&wire);
      gGameApp->SetShaderDiffuseColor(EVec4(1, 1, 1, 1));
      r->DrawIndexedVertexBuffer(m_idVertexBuffer, m_idIndexBuffer, kVBDRAWMODE_TRIANGLELIST, (unsigned)m_iNumIndices,
                                 0);
    }
  }
  if (bAny) r->ClearRenderTarget(EVec4(0, 0, 0, 0), false, false, true, 1.0f);
}

void EWaterManager::DrawMirrors() {
  ECamera* pCamera = gGameApp ? gGameApp->GetCurrentCamera() : nullptr;
  EMeshFragManager* pFrags = gGameApp ? gGameApp->GetMeshFragManager() : nullptr;
  if (!pCamera || !pFrags) return;
  const EList<EMeshEntity*>& reflectors = gGameApp->m_lReflectors;
  for (POSITION pos = reflectors.GetHeadPosition(); pos;) {
    EMeshEntity* pReflector = reflectors.GetNext(pos);
    if (CameraBelow(pReflector->GetPosition(), watergrid::UpOf(pReflector), pCamera->GetPosition())) continue;
    EMesh* pMesh = pReflector->GetMesh();
    if (!pMesh || !pCamera->BoxIntersectsFrustum(pMesh->GetTransformedBoundingBox(), false)) continue;
    if (watergrid::ScriptNumber(pReflector, "bPortal") != 0.0f)
      pFrags->DrawMeshEntityConstantColor(pReflector, EVec4(0, 0, 0, 1), kCONSTANTCOLORMODE_NO_DEPTH, false);
  }
}
