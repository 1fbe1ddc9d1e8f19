// The application's lights: the light and halo managers and the lighting
// values that the drawing passes read for the fragment being drawn.
#include "Game/GameApp.h"
#include "VERirezo/MeshLights.h"
#include "Game/ShaderConstants.h"
#include "VERirezo/HaloManager.h"
#include "VERirezo/LightManager.h"

namespace gamelighting {
ELightManager* Manager() { return gGameApp ? gGameApp->m_pLightManager : nullptr; }
ELight* AddLight() { return Manager() ? Manager()->AddLight() : nullptr; }
void DeleteLight(ELight* pLight) {
  if (!Manager()) return;
  Manager()->UnregisterLight(pLight);
  Manager()->DeleteLight(pLight);
}
void RegisterLight(ELight* pLight) {
  if (Manager()) Manager()->RegisterLight(pLight);
}
bool ReadLight(ELight& light, EStream& s, unsigned uVersion, EMesh* pMesh) { return light.Read(s, uVersion, pMesh); }
const char* LightName(const ELight& light) { return light.GetName(); }
unsigned LightFlags(const ELight& light) { return light.GetFlags(); }
}  // namespace gamelighting

// Mesh records reach the light pool through the mesh reader's hooks while
// the managers live.
void GameApp::createLightManagers() {
  if (!m_pLightManager) m_pLightManager = new ELightManager();
  if (!m_pHaloManager) {
    m_pHaloManager = new EHaloManager();
    m_pHaloManager->Init();
  }
  EMeshLightHooks& hooks = GetMeshLightHooks();
  hooks.pfnAddLight = gamelighting::AddLight;
  hooks.pfnDeleteLight = gamelighting::DeleteLight;
  hooks.pfnRegisterLight = gamelighting::RegisterLight;
  hooks.pfnRead = gamelighting::ReadLight;
  hooks.pfnGetName = gamelighting::LightName;
  hooks.pfnGetFlags = gamelighting::LightFlags;
}

void GameApp::releaseLightManagers() {
  GetMeshLightHooks() = EMeshLightHooks();
  delete m_pLightManager;
  m_pLightManager = nullptr;
  if (m_pHaloManager) m_pHaloManager->Shutdown();
  delete m_pHaloManager;
  m_pHaloManager = nullptr;
}

void GameApp::SetLightRigTarget(EMeshEntity* pEntity) {
  m_pLightRigTarget = pEntity;
  if (m_pShaderDrawState) m_pShaderDrawState->m_pLightRigTarget = pEntity;
}

void GameApp::SetDirectionalLightTarget(const EVec3& v) {
  m_vDirectionalLightTarget = v;
  if (m_pShaderDrawState) m_pShaderDrawState->m_vDirectionalLightTarget = v;
}

void GameApp::SetDetailTexture(unsigned hTexture) {
  m_hDetailTexture = hTexture;
  if (m_pShaderDrawState) m_pShaderDrawState->m_hDetailTexture = hTexture;
}

void GameApp::SetDetailFactor(const EVec2& v) {
  m_vDetailFactor = v;
  if (m_pShaderDrawState) m_pShaderDrawState->m_vDetailFactor = v;
}

void GameApp::SetAnisotropyLevel(float f) {
  m_fAnisotropyLevel = f;
  if (m_pShaderDrawState) m_pShaderDrawState->m_fAnisotropyLevel = f;
}

void GameApp::SetTexcoordCompressScale(float f) {
  m_fTexcoordCompressScale = f;
  if (m_pShaderDrawState) m_pShaderDrawState->m_fTexcoordCompressScale = f;
}
