// The scene manager and its root domain.
#include "VERirezo/Scene.h"

#include "VERirezo/Domain.h"

ESceneManager::ESceneManager() : m_pRootDomain(new EDomain(nullptr, nullptr)), m_pActiveDomain(nullptr) {}

ESceneManager::~ESceneManager() {
  delete m_pRootDomain;
  m_pRootDomain = nullptr;
  m_pActiveDomain = nullptr;
}
