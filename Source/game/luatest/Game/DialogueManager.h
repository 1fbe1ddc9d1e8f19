// Spoken dialogue: the lines characters say.
#pragma once

class ESoundManager;

class EDialogueManager {
public:
  // The one manager, made on the first call.
  static EDialogueManager* createDialogueManager();
  // Deletes it; false when there was none.
  static bool destroyDialogueManager();
  static EDialogueManager* Get() { return sm_pInstance; }
  void setSoundManager(ESoundManager* pSoundManager) { m_pSoundManager = pSoundManager; }
  void update();

private:
  EDialogueManager() : m_pSoundManager(nullptr) {}
  ESoundManager* m_pSoundManager;
  static EDialogueManager* sm_pInstance;
};
