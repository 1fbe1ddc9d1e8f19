#include "Event/EEventAnimManager.h"

EEventAnimManager* EEventAnimManager::sm_pInstance = nullptr;

EEventAnimManager* EEventAnimManager::createEventAnimManager() {
  if (!sm_pInstance) sm_pInstance = new EEventAnimManager();
  return sm_pInstance;
}

bool EEventAnimManager::destroyEventAnimManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

