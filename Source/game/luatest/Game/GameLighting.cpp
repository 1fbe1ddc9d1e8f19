// The application's lights: the light and halo managers and the lighting
// values that the drawing passes read for the fragment being drawn.
#include "Game/GameApp.h"
#include "Game/ShaderConstants.h"
#include "VERirezo/HaloManager.h"
#include "VERirezo/LightManager.h"

void GameApp::createLightManagers() {
  if (!m_pLightManager) m_pLightManager = new ELightManager();
  if (!m_pHaloManager) m_pHaloManager = new EHaloManager();
}

void GameApp::releaseLightManagers() {
  delete m_pLightManager;
  m_pLightManager = nullptr;
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
