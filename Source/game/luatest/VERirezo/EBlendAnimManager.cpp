#include "VERirezo/EBlendAnimManager.h"

EBlendAnimManager* EBlendAnimManager::sm_pInstance = nullptr;

EBlendAnimManager* EBlendAnimManager::createBlendAnimManager() {
  if (!sm_pInstance) sm_pInstance = new EBlendAnimManager();
  return sm_pInstance;
}

bool EBlendAnimManager::destroyBlendAnimManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

void EBlendAnimManager::DoWork(float) {}
