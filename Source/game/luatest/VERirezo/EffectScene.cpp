#include "VERirezo/EffectScene.h"

#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "Game/ShaderConstants.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/TextureManager.h"

namespace effectscene {

ESceneSettings& Settings() {
  // Without a running scene (tools, tests of one store) the level-start
  // values serve.
  static ESceneSettings s_Defaults;
  ESceneManager* pScenes = gGameApp ? gGameApp->GetSceneManager() : nullptr;
  EScene* pScene = pScenes ? pScenes->GetCurrentScene() : nullptr;
  return pScene ? pScene->GetSettings() : s_Defaults;
}

EDomain* ActiveDomain() {
  return gGameApp && gGameApp->GetSceneManager() ? gGameApp->GetSceneManager()->GetActiveDomain() : nullptr;
}

EShaderPasses* Passes() {
  if (!gGameApp || !gGameApp->m_pShaderPasses) return nullptr;
  gGameApp->SyncShaderDrawState();
  return gGameApp->m_pShaderPasses;
}

uint32_t TextureHandle(uint32_t idTexture) {
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  return pTextures && idTexture ? pTextures->GetTextureHandle(idTexture) : 0;
}

float Now() { return gGameApp ? (float)gGameApp->GetSimElapsedTime() : 0.0f; }

void IdentityTransforms() {
  if (!gGameApp) return;
  const EMat4 identity;
  gGameApp->SetModelToWorld(identity);
  gGameApp->SetWorldToModel(identity);
  if (gGameApp->m_pShaderDrawState) gGameApp->m_pShaderDrawState->m_mLightToModel = identity;
}

}  // namespace effectscene
