// On-screen dialogue lines and text boxes.
#pragma once

class ESceneManager;

class EDialogManager {
public:
  EDialogManager() : m_pSceneManager(nullptr) {}
  void Init(ESceneManager* pSceneManager) { m_pSceneManager = pSceneManager; }
  // Draws the dialogue with the real step in milliseconds.
  void RenderDialog(float) {}
  void Shutdown() { m_pSceneManager = nullptr; }

private:
  ESceneManager* m_pSceneManager;
};
