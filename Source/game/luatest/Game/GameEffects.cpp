// The application's effect stores: decals, render patches, render splines
// and water (the halos live with the lights), made with rendering and called
// at fixed points of the frame.
#include "Game/GameApp.h"
#include "VERirezo/Decal.h"
#include "VERirezo/HaloManager.h"
#include "VERirezo/RenderPatch.h"
#include "VERirezo/RenderSpline.h"
#include "VERirezo/TextureManager.h"
#include "VERirezo/Water.h"

void GameApp::createEffectStores() {
  if (!m_pDecalManager) m_pDecalManager = new EDecalManager();
  if (!m_pRenderPatchManager) m_pRenderPatchManager = new ERenderPatchManager();
  if (!m_pRenderSplineManager) m_pRenderSplineManager = new ERenderSplineManager();
  if (!m_pWaterManager) {
    m_pWaterManager = new EWaterManager();
    m_pWaterManager->Init();
  }
}

void GameApp::releaseEffectStores() {
  if (m_pWaterManager) m_pWaterManager->Shutdown();
  delete m_pWaterManager;
  m_pWaterManager = nullptr;
  delete m_pRenderSplineManager;
  m_pRenderSplineManager = nullptr;
  delete m_pRenderPatchManager;
  m_pRenderPatchManager = nullptr;
  delete m_pDecalManager;
  m_pDecalManager = nullptr;
  m_idRopeTexture = 0;
  m_bGlowingDecals = false;
}

unsigned GameApp::GetRopeTexture() {
  if (!m_idRopeTexture && m_pGameTextureManager)
    m_idRopeTexture =
        m_pGameTextureManager->AddTexture("WorkResource\\Textures\\LevelTextures\\AS_Asylum\\AS_rope.dds", 0, nullptr);
  return m_idRopeTexture;
}

void GameApp::ResetEffectStores() {
  if (m_pHaloManager) m_pHaloManager->ResetFrame();
  if (m_pWaterManager) m_pWaterManager->ResetFrame();
  if (m_pRenderSplineManager) m_pRenderSplineManager->ResetFrame();
  if (m_pRenderPatchManager) m_pRenderPatchManager->ResetFrame();
}

void GameApp::PreprocessEffectStores() {
  if (m_pDecalManager) m_pDecalManager->PreprocessAll();
  if (m_pHaloManager) m_pHaloManager->PreprocessAll();
  if (m_pWaterManager && m_DebugHooks.m_bWaterEnabled) {
    m_pWaterManager->PreprocessAll();
    m_pWaterManager->MoveWater();
  }
  if (m_pRenderSplineManager) m_pRenderSplineManager->PreprocessAll();
  if (m_pRenderPatchManager) m_pRenderPatchManager->PreprocessAll();
}

void GameApp::RenderWaterPortals() {
  if (m_pWaterManager && m_DebugHooks.m_bWaterEnabled && m_lReflectors.GetCount() > 0) m_pWaterManager->DrawMirrors();
}

void GameApp::RenderSplinesAndPatches() {
  if (m_pRenderSplineManager) m_pRenderSplineManager->DrawAll();
  if (m_pRenderPatchManager) m_pRenderPatchManager->DrawAll();
}

void GameApp::RenderDecalsAndWater() {
  if (m_pDecalManager && m_DebugHooks.m_bDynamicDecals) m_pDecalManager->DrawAll(false);
  if (m_pWaterManager && m_DebugHooks.m_bWaterEnabled) m_pWaterManager->DrawAll();
}

void GameApp::RenderGlareDecals() {
  if (m_pDecalManager && m_bGlowingDecals) m_pDecalManager->DrawAll(true);
}

void GameApp::RenderHalos() {
  if (!m_pHaloManager) return;
  m_pHaloManager->TestVisibilityAll();
  m_pHaloManager->DrawAll();
}

void GameApp::CleanupEffectReferences() {
  if (m_pDecalManager) m_pDecalManager->CleanupReferences();
}

void GameApp::EffectStoresLevelLoaded() {
  if (m_pDecalManager) m_pDecalManager->RestoreSize();
  if (m_pRenderPatchManager) m_pRenderPatchManager->RestoreSize();
  if (m_pRenderSplineManager) m_pRenderSplineManager->RestoreSize();
}
