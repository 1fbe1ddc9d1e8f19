// The frame's lists of special entities.
#include "Game/GameApp.h"

void GameApp::ResetFrameEntityLists() {
  m_lShadowCasters.RemoveAll();
  m_lReflectors.RemoveAll();
  m_lAuraEntities.RemoveAll();
  m_lStencilCasters.RemoveAll();
  m_lPostEffectEntities.RemoveAll();
  m_bReflectionWanted = false;
}
