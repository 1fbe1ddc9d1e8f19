#include "VERirezo/MeshManager.h"

EMeshManager* EMeshManager::sm_pInstance = nullptr;

void EMeshManager::Initialize() {
  if (!sm_pInstance) sm_pInstance = new EMeshManager();
}

void EMeshManager::Destroy() {
  delete sm_pInstance;
  sm_pInstance = nullptr;
}
