#include "PathAI/PathAIManager.h"

EPathAIManager* EPathAIManager::sm_pInstance = nullptr;

EPathAIManager* EPathAIManager::createPathAIManager() {
  if (!sm_pInstance) sm_pInstance = new EPathAIManager();
  return sm_pInstance;
}

bool EPathAIManager::destroyPathAIManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

void EPathAIManager::doIt() {}
