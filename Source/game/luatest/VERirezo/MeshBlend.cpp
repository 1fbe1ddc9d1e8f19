// The mesh's blend animations: forwards to its blend player.
#include "VERirezo/BlendAnimController.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Model.h"

EBlendAnimController* EMesh::CreateBlendAnimController() {
  if (!m_pBlendAnimController) {
    m_pBlendAnimController = new EBlendAnimController();
    m_pBlendAnimController->setBlendAnimManager(EBlendAnimManager::Get());
  }
  return m_pBlendAnimController;
}

void EMesh::DestroyBlendAnimController() {
  delete m_pBlendAnimController;
  m_pBlendAnimController = nullptr;
}

bool EMesh::loadBlendAnim(const char* szName, bool bLoop, bool bStopOthers, ESkelAnim* pSkelAnim, float fBlendIn,
                          bool bAsync, bool bLipSync) {
  return m_pBlendAnimController &&
         m_pBlendAnimController->loadBlendAnim(szName, bLoop, bStopOthers, pSkelAnim, fBlendIn, bAsync, bLipSync);
}

bool EMesh::unloadBlendAnim(const char* szName) {
  return m_pBlendAnimController && m_pBlendAnimController->unloadBlendAnim(szName);
}

bool EMesh::unloadBlendAnimRef(EDynamicCacheFile* pFile) {
  return m_pBlendAnimController && m_pBlendAnimController->unloadBlendAnimRef(pFile);
}

bool EMesh::stopBlendAnim(const char* szName, float fBlendOutTime) {
  return m_pBlendAnimController && m_pBlendAnimController->stopBlendAnim(szName, fBlendOutTime);
}

void EMesh::updateBlendAnim(float dt) {
  if (m_pBlendAnimController) m_pBlendAnimController->update(dt);
}

const float* EMesh::getBlendWeights() {
  return m_pBlendAnimController ? m_pBlendAnimController->getBlendWeights() : nullptr;
}

EBlendAnimController* EMesh::GetBlendAnimList() {
  return m_pBlendAnimController ? m_pBlendAnimController->GetBlendAnimList() : nullptr;
}

float EMesh::GetBlendAnimCompletion(const char* szName) {
  return m_pBlendAnimController ? m_pBlendAnimController->GetBlendAnimCompletion(szName) : 1.0f;
}

bool EMesh::hasBlendShape() const { return m_pModel && m_pModel->HasBlendShape(); }

EBlendShapeController* EMesh::GetBlendShapeController() const {
  return m_pModel ? m_pModel->GetBlendShapeController() : nullptr;
}
