#include "VERirezo/AnimManager.h"

#include "TWUtil/ErrorManager.h"

EAnimManager* EAnimManager::sm_pInstance = nullptr;

void EAnimManager::Create(unsigned uCacheSize) {
  EASSERT(!sm_pInstance);
  sm_pInstance = new EAnimManager(uCacheSize);
}

void EAnimManager::Destroy() {
  delete sm_pInstance;
  sm_pInstance = nullptr;
}

void EAnimManager::ProcessFrame(float) {}
