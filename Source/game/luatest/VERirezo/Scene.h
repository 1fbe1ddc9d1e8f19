// The scene manager: the scenes loaded and the one being drawn. Until scenes
// are read from files it holds one unnamed root domain and the active
// domain below it.
#pragma once

class EDomain;

class ESceneManager {
public:
  ESceneManager();
  ~ESceneManager();
  ESceneManager(const ESceneManager&) = delete;
  ESceneManager& operator=(const ESceneManager&) = delete;

  // The root domain of the current scene.
  EDomain* GetDefaultSceneRootDomain() { return m_pRootDomain; }
  // The domain that the frame simulates; null until set.
  EDomain* GetActiveDomain() const { return m_pActiveDomain; }
  void SetActiveDomain(EDomain* pDomain) { m_pActiveDomain = pDomain; }

private:
  EDomain* m_pRootDomain;
  EDomain* m_pActiveDomain;
};
