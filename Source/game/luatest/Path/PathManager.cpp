#include "Path/PathManager.h"

EPathManager* EPathManager::sm_pInstance = nullptr;

EPathManager* EPathManager::createPathManager() {
  if (!sm_pInstance) sm_pInstance = new EPathManager();
  return sm_pInstance;
}

bool EPathManager::destroyPathManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

