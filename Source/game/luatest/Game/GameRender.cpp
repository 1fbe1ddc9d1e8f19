// The application's render set-up and render passes.
#include "Game/GameRender.h"
#include "Game/GameRenderResources.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "Game/Camera.h"
#include "Game/GameRenderResources.h"
#include "Game/GameShaderPasses.h"
#include "Game/GameShaders.h"
#include "Game/ShaderConstants.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/TWUnixCompat.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Font.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/ParticleRenderHooks.h"
#include "VERirezo/Scene.h"
#include "VERirezo/SceneSettings.h"
#include "VERirezo/Sprite.h"
#include "VERirezo/Text3D.h"
#include "VERirezo/TextureManager.h"

// What particle drawing reaches of the application while it renders.
namespace GameRenderParticleHooks {
void SetShaderParticleBillboard(float fScaleX, float fScaleY, const EVec4& vColor) {
  if (!gGameApp || !gGameApp->m_pShaderPasses) return;
  gGameApp->SyncShaderDrawState();
  gGameApp->m_pShaderPasses->SetShaderParticleBillboard(fScaleX, fScaleY, vColor);
}
void SetModelToWorld(const EMat4& m) {
  if (gGameApp) gGameApp->SetModelToWorld(m);
}
void SetWorldToModel(const EMat4& m) {
  if (gGameApp) gGameApp->SetWorldToModel(m);
}
HTEXTURE GetScreenImageTexture() { return gGameApp ? gGameApp->GetScreenImageTexture() : 0; }
HTEXTURE GetScreenDepthTexture() { return gGameApp ? gGameApp->GetScreenDepthTexture() : 0; }
void CalculateScreenRect(ECamera* pCamera, const EBox3& box, ERect& rect) {
  if (pCamera) rect = pCamera->CalculateScreenRect(box);
  else ParticleDefaultRenderHooks().pfnCalculateScreenRect(pCamera, box, rect);
}
}  // namespace GameRenderParticleHooks

namespace GameRenderSettings {
// A settings file once written under the unconverted name, "<user
// dir>\\<name>" taken literally as one file name, is moved to the converted
// path so that it is read from now on.
void MoveSettingsFileToConvertedName(const char* szName) {
  const char* dir = gFile ? gFile->GetUserDataDir() : nullptr;
  if (!dir) return;
  char raw[4096], converted[4096];
  if (snprintf(raw, sizeof(raw), "%s\\%s", dir, szName) >= (int)sizeof(raw)) return;
  convertUnixFilename(converted, raw);
  if (strcmp(raw, converted) == 0) return;
  if (FILE* f = fopen(raw, "r")) {
    fclose(f);
    rename(raw, converted);
  }
}
}  // namespace GameRenderSettings

void GameApp::SetClairvoyanceTarget(EMeshEntity* pEntity, bool bMoveCamera) {
  m_pClairvoyanceTarget = pEntity;
  ECamera* pCamera = bMoveCamera ? m_aCameras[8] : nullptr;
  if (!pCamera) return;
  if (pEntity) {
    pCamera->Init(kCAMERA_SCRIPT);
    pCamera->AttachToEntity(pEntity, EVec3(0.0f, 0.0f, 0.0f), EQuat(), false);
  } else {
    pCamera->Init(kCAMERA_CHASE);
    pCamera->SetPrimaryTarget(m_pPlayer && m_pPlayer->IsMeshEntity() ? static_cast<EMeshEntity*>(m_pPlayer) : nullptr, false);
  }
}

bool GameApp::InitRender(void* data) {
  EASSERT(m_pRenderer == NULL);
  m_pRenderer = new ERenderer();

  // The display settings file; when missing every setting keeps its value.
  // The display size is taken only when the file names both its width and
  // its height (the settings list itself always holds both).
  bool sizeInFile = false;
  GameRenderSettings::MoveSettingsFileToConvertedName("DisplaySettings.ini");
  if (FILE* file = OpenUserSettingsFile("DisplaySettings.ini", '\\', "r")) {
    m_GraphicsSettings.ReadSettingsFromFile(file);
    EGameSettingsList probe("DisplaySettings");
    probe.AddSetting(EGraphicsSettings::s_szScreenWidth, INT_MIN);
    probe.AddSetting(EGraphicsSettings::s_szScreenHeight, INT_MIN);
    rewind(file);
    probe.ReadSettingsFromFile(file);
    int w = INT_MIN, h = INT_MIN;
    probe.GetSettingValue(EGraphicsSettings::s_szScreenWidth, w);
    probe.GetSettingValue(EGraphicsSettings::s_szScreenHeight, h);
    sizeInFile = w != INT_MIN && h != INT_MIN;
    fclose(file);
  }
  EDisplayOptions& options = m_pRenderer->m_DisplayOptions;
  int width = 0, height = 0;
  if (sizeInFile && m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szScreenWidth, width) &&
      m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szScreenHeight, height) && width > 0 && height > 0) {
    options.m_dwWidth = (unsigned)width;
    options.m_dwHeight = (unsigned)height;
  }
  bool value = false;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szFullScreen, value)) options.m_bFullScreen = value;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szFSAA, value)) m_DebugHooks.m_bFSAA = value;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szFSFX, value))
    m_DebugHooks.m_bGlare = m_DebugHooks.m_bDistortion = value;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szAdvancedShading, value)) {
    m_DebugHooks.m_bBumpmaps = m_DebugHooks.m_bSpecularLight = value;
    m_DebugHooks.m_bNoAdvancedShading = !value;
  }
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szVSync, value)) m_DebugHooks.m_bVSync = value;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szShadows, value)) m_DebugHooks.m_bShadows = value;
  float gamma = 1.0f;
  if (m_GraphicsSettings.GetSettingValue(EGraphicsSettings::s_szGammaCorrection, gamma)) options.m_fGamma = gamma;

  m_dwRendererFlags = GetIdealRendererFlags();
  if (!m_pRenderer->Init(data, m_dwRendererFlags)) {
    delete m_pRenderer;
    m_pRenderer = nullptr;
    return false;
  }

  // The game texture manager, with the procedural textures it hands out:
  // "ErrorTexture" for every texture that fails to load.
  m_pGameTextureManager = new EGameTextureManager();
  m_hWhiteTexture = createLuminTexture(1.0f);
  m_hBlackTexture = createLuminTexture(0.0f);
  m_hGreyTexture = createLuminTexture(0.5f);
  m_hErrorTexture = createErrorTexture();
  m_hNullBumpmapTexture = createNullBumpmapTexture();
  m_hDebugTexture = createDebugTexture();
  m_hExponentTexture = createExponentTexture();
  m_hNormalizationCubemap = createNormalizationCubemap(256);
  m_hZeroAlphaTexture = createZeroAlphaTexture();
  m_idExponentTexture = m_pGameTextureManager->AddProceduralTexture(m_hExponentTexture, false, "Exponent");
  m_idErrorTexture = m_pGameTextureManager->AddProceduralTexture(m_hErrorTexture, false, "ErrorTexture");

  m_hUnitScreenTriVB = createUnitScreenTriVB();
  m_hUnitWorldQuadVB = createUnitWorldQuadVB();
  m_hUnitWorldBoxVB = createUnitWorldBoxVB();
  // The palette of palettised normal maps.
  m_hBumpmapPalette = m_pGameTextureManager->CreateBumpmapPalette();

  m_pMeshFragManager = new EMeshFragManager();
  createLightManagers();
  // The 2D sprites and 3D text, and the fonts that draw through them.
  m_pSpriteManager = new ESpriteManager();
  m_pText3DManager = new EText3DManager();
  m_pDebugLineManager = new EDebugLineManager();
  m_pDebugTriManager = new EDebugTriManager();
  gDebugLine = m_pDebugLineManager;
  gDebugTri = m_pDebugTriManager;
  LoadStartUpFonts();

  // The drawing passes over the shader library (whose shaders InitShaders
  // loads), with the cheap water unless advanced shading is on.
  if (!m_pGameShaders) m_pGameShaders = new EGameShaders(m_pRenderer);
  m_pShaderDrawState = new EShaderDrawState();
  m_pSceneShading = new ESceneShading();
  m_pPassResources = new ERenderResources();
  m_pPassResources->m_hWhiteTexture = m_hWhiteTexture;
  m_pPassResources->m_hBlackTexture = m_hBlackTexture;
  m_pPassResources->m_hGreyTexture = m_hGreyTexture;
  m_pPassResources->m_hErrorTexture = m_hErrorTexture;
  m_pPassResources->m_hNullBumpmapTexture = m_hNullBumpmapTexture;
  m_pPassResources->m_hDebugTexture = m_hDebugTexture;
  m_pPassResources->m_hExponentTexture = m_hExponentTexture;
  m_pPassResources->m_hNormalizationCubemap = m_hNormalizationCubemap;
  m_pPassResources->m_hZeroAlphaTexture = m_hZeroAlphaTexture;
  m_pPassResources->m_hUnitScreenTriVB = m_hUnitScreenTriVB;
  m_pPassResources->m_hUnitWorldQuadVB = m_hUnitWorldQuadVB;
  m_pPassResources->m_hUnitWorldBoxVB = m_hUnitWorldBoxVB;
  m_pShaderPasses =
      new EShaderPasses(m_pRenderer, m_pGameShaders, m_pShaderDrawState, m_pSceneShading, m_pPassResources);
  m_pShaderPasses->m_hBumpmapPalette = m_hBumpmapPalette;
  m_pShaderPasses->m_bCheapWater = m_DebugHooks.m_bNoAdvancedShading;
  m_pShaderPasses->m_dSimElapsedTime = m_dSimElapsedTime;

  // The particle manager, and what particle drawing takes of the
  // application.
  m_pParticleManager = new EParticleManager();
  m_pParticleManager->Init();
  ConnectParticleRenderHooks();
  createEffectStores();
  return true;
}

void GameApp::ConnectParticleRenderHooks() {
  g_ParticleRenderHooks.pfnSetShaderParticleBillboard = GameRenderParticleHooks::SetShaderParticleBillboard;
  g_ParticleRenderHooks.pfnSetModelToWorld = GameRenderParticleHooks::SetModelToWorld;
  g_ParticleRenderHooks.pfnSetWorldToModel = GameRenderParticleHooks::SetWorldToModel;
  g_ParticleRenderHooks.pfnGetScreenImageTexture = GameRenderParticleHooks::GetScreenImageTexture;
  g_ParticleRenderHooks.pfnGetScreenDepthTexture = GameRenderParticleHooks::GetScreenDepthTexture;
  g_ParticleRenderHooks.pfnCalculateScreenRect = GameRenderParticleHooks::CalculateScreenRect;
}

void GameApp::SyncShaderDrawState() {
  if (!m_pShaderDrawState) return;
  EShaderDrawState& s = *m_pShaderDrawState;
  s.m_mModelToWorld = m_mModelToWorld;
  s.m_mWorldToModel = m_mWorldToModel;
  if (m_pRenderCamera) {
    s.m_mCameraView = m_pRenderCamera->GetViewMatrix();
    s.m_mCameraProjection = m_pRenderCamera->GetProjectionMatrix();
    s.m_vCameraPosition = m_pRenderCamera->GetPosition();
  }
  // The layered fog of the current scene: distance fog is layer 1, height
  // fog layer 2.
  EScene* pScene = m_pSceneManager ? m_pSceneManager->GetCurrentScene() : nullptr;
  if (m_pSceneShading && pScene) {
    const ESceneSettings& settings = pScene->GetSettings();
    m_pSceneShading->m_aFogLayers[0] = {settings.m_bDistanceFog, settings.m_fDistanceFogStart,
                                        settings.m_fDistanceFogEnd};
    m_pSceneShading->m_aFogLayers[1] = {settings.m_bHeightFog, settings.m_fHeightFogStart,
                                        settings.m_fHeightFogEnd};
  }
}

// The procedural textures and unit buffers are made by the render-resource
// makers the shader passes share.
unsigned GameApp::createErrorTexture() { return CreateErrorTexture(m_pRenderer); }
unsigned GameApp::createExponentTexture() { return CreateExponentTexture(m_pRenderer); }

unsigned GameApp::GetIdealRendererFlags() {
  unsigned flags = 0;
  if (m_DebugHooks.m_bVSync) flags |= kRENDERER_VSYNC;
  if (m_DebugHooks.m_bFSAA) flags |= kRENDERER_ANTIALIAS;
  if (m_DebugHooks.m_bDisplayFlag2) flags |= 0x4;
  return flags;
}

// The frame shown once while a long linked-shader build runs: the text in
// the first font over black; the closing frame is black alone.
namespace GameRenderShaderProgress {
void ShowFrame(EGameShaders* pShaders, bool bShowText) {
  ERenderer* pRenderer = pShaders->GetRenderer();
  ESpriteManager* pSprites = gGameApp ? gGameApp->m_pSpriteManager : nullptr;
  if (!bShowText || !pSprites || !gGameApp->GetFont(1)) {
    EGameShaders::PresentClearedFrame(pRenderer);
    return;
  }
  pSprites->ResetFrame();
  gGameApp->DisplayText(1, 50, 435, "Assembling Shaders...");
  pSprites->PreprocessAll();
  pRenderer->BeginRender();
  pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 0), true, true, true, 1.0f);
  pSprites->DrawAll();
  pRenderer->EndRender();
  pRenderer->Present(false);
}
}  // namespace GameRenderShaderProgress

bool GameApp::InitShaders() {
  if (!m_pRenderer) return true;
  if (!m_pGameShaders) m_pGameShaders = new EGameShaders(m_pRenderer);
  m_pGameShaders->m_pfnProgressFrame = GameRenderShaderProgress::ShowFrame;
  m_Timing.StartSubTimer("InitShaders", 0);
  m_pGameShaders->InitVertexShaders();
  m_pGameShaders->InitPixelShaders();
  m_Timing.StopSubTimer("InitShaders");
  g_ErrorManager.TraceMessagef("Shader assembly time: %.2f seconds", m_Timing.GetMSTime("InitShaders") * 0.001f);
  return true;
}

void GameApp::ShutdownRender() {
  releaseRenderResources();
  if (!m_pRenderer) return;
  m_pRenderer->Shutdown();
  delete m_pRenderer;
  m_pRenderer = nullptr;
}

void GameApp::releaseRenderResources() {
  m_lShadowCasters.RemoveAll();
  releaseEffectStores();
  DeleteFonts();
  delete m_pMeshFragManager;
  m_pMeshFragManager = nullptr;
  releaseLightManagers();
  delete m_pDebugTriManager;
  m_pDebugTriManager = nullptr;
  gDebugTri = nullptr;
  delete m_pDebugLineManager;
  m_pDebugLineManager = nullptr;
  gDebugLine = nullptr;
  delete m_pSpriteManager;
  m_pSpriteManager = nullptr;
  delete m_pText3DManager;
  m_pText3DManager = nullptr;
  if (m_pParticleManager) {
    m_pParticleManager->Shutdown();
    delete m_pParticleManager;
    m_pParticleManager = nullptr;
    g_ParticleRenderHooks = ParticleDefaultRenderHooks();
  }
  ReleaseShaderPasses();
  delete m_pShaderPasses;
  m_pShaderPasses = nullptr;
  delete m_pShaderDrawState;
  m_pShaderDrawState = nullptr;
  delete m_pSceneShading;
  m_pSceneShading = nullptr;
  delete m_pPassResources;
  m_pPassResources = nullptr;
  if (m_pGameShaders) {
    m_pGameShaders->ShutdownVertexShaders();
    m_pGameShaders->ShutdownPixelShaders();
    delete m_pGameShaders;
    m_pGameShaders = nullptr;
  }
  if (m_pRenderer) {
    unsigned* textures[] = {&m_hWhiteTexture,   &m_hBlackTexture,        &m_hGreyTexture,     &m_hNullBumpmapTexture,
                            &m_hDebugTexture,   &m_hExponentTexture,     &m_hNormalizationCubemap,
                            &m_hMapAlphaTexture, &m_hErrorTexture,       &m_hZeroAlphaTexture};
    for (unsigned* h : textures) {
      if (*h) m_pRenderer->DeleteTexture(*h, true);
      *h = 0;
    }
    ReleaseScreenTargetTextures();
    unsigned* buffers[] = {&m_hUnitScreenTriVB, &m_hUnitWorldQuadVB, &m_hUnitWorldBoxVB, &m_hClairvoyanceCloudVB};
    for (unsigned* h : buffers) {
      if (*h) m_pRenderer->DeleteVertexBuffer(*h);
      *h = 0;
    }
    if (m_hBumpmapPalette) m_pRenderer->DeletePalette(m_hBumpmapPalette);
  }
  m_hBumpmapPalette = 0;
  delete m_pGameTextureManager;
  m_pGameTextureManager = nullptr;
  m_idExponentTexture = m_idErrorTexture = 0;
}

void GameApp::RenderSceneOverlays() {}

void GameApp::RenderSpriteOverlays() {
  if (m_pSpriteManager) m_pSpriteManager->DrawAll();
}

uint32_t NormalVectorToRGBA(const EVec3& v) {
  EASSERT(v.x >= -1.0f && v.x <= 1.0f && v.y >= -1.0f && v.y <= 1.0f && v.z >= -1.0f && v.z <= 1.0f);
  auto channel = [](float c) { return (uint32_t)floorf((c + 1.0f) * 127.5f + 0.5f) & 0xFF; };
  return 0xFF000000u | channel(v.x) << 16 | channel(v.y) << 8 | channel(v.z);
}

unsigned GameApp::createLuminTexture(float fValue) { return CreateLuminTexture(m_pRenderer, fValue); }
unsigned GameApp::createZeroAlphaTexture() { return CreateZeroAlphaTexture(m_pRenderer); }
unsigned GameApp::createNullBumpmapTexture() { return CreateNullBumpmapTexture(m_pRenderer); }
unsigned GameApp::createDebugTexture() { return CreateDebugTexture(m_pRenderer); }
unsigned GameApp::createNormalizationCubemap(unsigned dwEdge) { return CreateNormalizationCubemap(m_pRenderer, dwEdge); }
unsigned GameApp::createUnitScreenTriVB() { return CreateUnitScreenTriVB(m_pRenderer); }
unsigned GameApp::createUnitWorldQuadVB() { return CreateUnitWorldQuadVB(m_pRenderer); }
unsigned GameApp::createUnitWorldBoxVB() { return CreateUnitWorldBoxVB(m_pRenderer); }

void GameApp::RenderUnitScreenTri() {
  m_pRenderer->DrawUnindexedVertexBuffer(m_hUnitScreenTriVB, kVBDRAWMODE_TRIANGLESTRIP, 3, 0);
}

void GameApp::RenderUnitWorldQuad() {
  m_pRenderer->DrawUnindexedVertexBuffer(m_hUnitWorldQuadVB, kVBDRAWMODE_TRIANGLELIST, 6, 0);
}

void GameApp::RenderUnitWorldBox() {
  m_pRenderer->DrawUnindexedVertexBuffer(m_hUnitWorldBoxVB, kVBDRAWMODE_TRIANGLELIST, 36, 0);
}

// ---------------------------------------------------------------------------
// Screen targets.

namespace {

// A colour target cleared to transparent black.
HTEXTURE RenderSetupClearedTarget(ERenderer* r, unsigned w, unsigned h) {
  HTEXTURE t = r->CreateBitmapTexture(kTEXTUREFORMAT_8888, w, h, 1, 12);
  if (!t) return 0;
  r->SetRenderTarget(t, 0, kCUBEMAP_POSITIVE_X);
  r->ClearRenderTarget(EVec4(0.0f, 0.0f, 0.0f, 0.0f), true, false, false, 1.0f);
  return t;
}

}  // namespace

void GameApp::CreateScreenTargetTextures() {
  ERenderer* r = m_pRenderer;
  for (int level = 0; level < kNUM_SCREEN_LEVELS; ++level) {
    const unsigned w = level ? 640u >> level : r->GetDisplayWidth();
    const unsigned h = level ? 480u >> level : r->GetDisplayHeight();
    m_ahScreenImage[level][0] = RenderSetupClearedTarget(r, w, h);
    m_ahScreenImage[level][1] =
        level ? r->CreateSurfaceAliasTexture(m_ahScreenImage[0][0], kTEXTURETYPE_BITMAP, w, h) : 0;
    m_ahScreenDepth[level] = level ? r->CreateSurfaceAliasTexture(m_ahScreenDepth[0], kTEXTURETYPE_DEPTHBUFFER, w, h)
                                   : r->CreateDepthTexture(w, h, 32);
  }
  for (int level = 0; level < kNUM_SCREEN_LEVELS; ++level) {
    const unsigned size = 512u >> level;
    for (int k = 0; k < 2; ++k)
      m_ahSquareImage[level][k] = m_ahScreenImage[level][k]
                                      ? r->CreateSurfaceAliasTexture(m_ahScreenImage[level][k], kTEXTURETYPE_BITMAP,
                                                                     size, size)
                                      : 0;
    m_ahSquareDepth[level] = r->CreateSurfaceAliasTexture(m_ahScreenDepth[level], kTEXTURETYPE_DEPTHBUFFER, size, size);
  }
  m_hGlareTexture = RenderSetupClearedTarget(r, 320, 240);
  m_hMotionBlurTexture = RenderSetupClearedTarget(r, 160, 120);
  m_hQueryImage = RenderSetupClearedTarget(r, 32, 32);
  m_hQueryDepth = r->CreateDepthTexture(32, 32, 32);
  if (m_pGameTextureManager)
    m_idScreenImageTexture =
        m_pGameTextureManager->AddProceduralTexture(m_ahScreenImage[0][0], false, "Screen Image Texture");
  r->RestoreRenderTarget();
}

void GameApp::ReleaseScreenTargetTextures() {
  ERenderer* r = m_pRenderer;
  r->RestoreRenderTarget();
  auto release = [r](unsigned& h) {
    if (h) r->DeleteTexture(h, true);
    h = 0;
  };
  for (int level = 0; level < kNUM_SCREEN_LEVELS; ++level) {
    release(m_ahScreenImage[level][0]);
    release(m_ahScreenImage[level][1]);
    release(m_ahScreenDepth[level]);
    release(m_ahSquareImage[level][0]);
    release(m_ahSquareImage[level][1]);
    release(m_ahSquareDepth[level]);
  }
  release(m_hGlareTexture);
  release(m_hMotionBlurTexture);
  release(m_hQueryImage);
  release(m_hQueryDepth);
  if (m_idScreenImageTexture && m_pGameTextureManager) {
    // The texture itself went above.
    m_pGameTextureManager->SetTextureHandle(m_idScreenImageTexture, 0);
    m_pGameTextureManager->DeleteTexture(m_idScreenImageTexture, true);
  }
  m_idScreenImageTexture = 0;
}

// ---------------------------------------------------------------------------
// Clears and visibility tests.

namespace {

void RenderSetupClear(GameApp* app, const EVec4& colour, const ERect* pRect, bool bStencil) {
  ERenderer* r = app->m_pRenderer;
  ERenderState state;
  state.m_eBlendMode = bStencil ? kBLENDMODE_NO_COLOR_WRITE : kBLENDMODE_DECAL;
  if (bStencil) {
    state.m_eStencilMode = kSTENCILMODE_WRITE;
    state.m_byStencilRef = 0;
  }
  state.m_bAlphaTestEnable = false;
  state.m_bZEnable = false;
  state.m_bZWriteEnable = false;
  state.m_bFastColorFill = true;
  r->SetRenderState(&state);
  unsigned w = 0, h = 0;
  r->GetViewportDimensions(w, h);
  GameApp::SetShaderColorBlit(EVec2((float)w, 2.0f * (float)h), EVec2(0.0f, 0.0f), EVec2((float)w, (float)h),
                              colour);
  const bool scissor = pRect && app->m_DebugHooks.m_bScissor;
  if (scissor) r->SetScissorsRegion(*pRect, true);
  app->RenderUnitScreenTri();
  if (scissor) r->ClearScissorsRegion();
}

}  // namespace

void GameApp::RenderColorClear(const EVec4& colour, const ERect* pRect) { RenderSetupClear(this, colour, pRect, false); }

void GameApp::RenderStencilClear(const ERect* pRect) {
  RenderSetupClear(this, EVec4(1.0f, 1.0f, 1.0f, 1.0f), pRect, true);
}

int GameApp::RenderVisibilityTestQuad(const EVec3& vPosition, float fSize, int iQueryId, bool bDepthTest) {
  if (!m_DebugHooks.m_bVisibilityTests) return 0;
  ERenderState state;
  state.m_eBlendMode = kBLENDMODE_NO_COLOR_WRITE;
  state.m_eCullMode = kCULL_NONE;
  state.m_bZWriteEnable = false;
  state.m_eZFunc = bDepthTest ? kCMP_LESSEQUAL : kCMP_ALWAYS;
  m_pRenderer->SetRenderState(&state);
  EMat4 placed = MatrixTranslate(vPosition) * MatrixScale(fSize, fSize, fSize);
  if (m_pRenderCamera) placed = placed * m_pRenderCamera->GetBillboardMatrix();
  SetModelToWorld(placed);
  SetWorldToModel(placed.Inverse());
  SetJointTable(nullptr);
  SetGeomShader(kVSGEOM_PROJECT);
  SetShaderConstantColor(EVec4(1.0f, 1.0f, 1.0f, 1.0f));
  m_pRenderer->BeginVisibilityTest();
  RenderUnitWorldQuad();
  return m_pRenderer->EndVisibilityTest(iQueryId) ? 1 : 0;
}

int GameApp::RenderVisibilityTestBox(const EMat4& mTransform, int iQueryId, bool bDepthTest) {
  if (!m_DebugHooks.m_bVisibilityTests) return 0;
  ERenderState state;
  state.m_eBlendMode = kBLENDMODE_NO_COLOR_WRITE;
  state.m_bZWriteEnable = false;
  state.m_eZFunc = bDepthTest ? kCMP_LESSEQUAL : kCMP_ALWAYS;
  m_pRenderer->SetRenderState(&state);
  SetModelToWorld(mTransform);
  SetWorldToModel(mTransform.Inverse());
  SetJointTable(nullptr);
  SetGeomShader(kVSGEOM_PROJECT);
  SetShaderConstantColor(EVec4(1.0f, 1.0f, 1.0f, 1.0f));
  m_pRenderer->BeginVisibilityTest();
  RenderUnitWorldBox();
  return m_pRenderer->EndVisibilityTest(iQueryId) ? 1 : 0;
}
