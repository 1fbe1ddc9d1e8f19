#include "Game/DialogueManager.h"

EDialogueManager* EDialogueManager::sm_pInstance = nullptr;

EDialogueManager* EDialogueManager::createDialogueManager() {
  if (!sm_pInstance) sm_pInstance = new EDialogueManager();
  return sm_pInstance;
}

bool EDialogueManager::destroyDialogueManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

void EDialogueManager::update() {}
