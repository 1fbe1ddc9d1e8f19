#include "TWGraphics/Renderer.h"

#include <SDL/SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TWGraphics/Color.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Palette.h"
#include "TWGraphics/Shader.h"
#include "TWGraphics/Texture.h"
#include "TWGraphics/Vertex.h"
#include "TWMath/Matrix.h"
#include "TWUtil/BitArray.h"
#include "TWUtil/DataArray.h"
#include "TWUtil/ErrorManager.h"
#include "UnixMain/UnixMain.h"

ERenderer* g_pCurrentRenderer = nullptr;
SDL_mutex* g_ThreadProtectD3DCriticalSection = nullptr;
unsigned g_uBackBufferCopyTexture = 0;
bool g_bMultisampling = false;
bool g_bCacheShaders = false;

namespace {

const HTEXTURE kHTEXTURE_BACKBUFFER = 0xFFFFFFFFu;   // -1
const HTEXTURE kHTEXTURE_DEPTHBUFFER = 0xFFFFFFFDu;  // -3

// Walks the used elements of a pool.
template <class T, class F>
void ForEachUsed(EDataArray<T>* pool, F fn) {
  if (!pool) return;
  for (int i = 0; i <= pool->m_iHighestUsed; ++i) {
    T* p = &pool->m_pData[i];
    if (EDataArray<T>::ElementIsUsed(p)) fn(p);
  }
}

}  // namespace

// ---------------------------------------------------------------------------

EDisplayOptions::EDisplayOptions()
    : m_dwWidth(0), m_dwHeight(0), m_dwRefreshRate(0), m_bFullScreen(false), m_fGamma(0.0f) {
  LoadPreset(kDISPLAYPRESET_800x600);
}

void EDisplayOptions::LoadPreset(DISPLAYPRESET preset) {
  switch (preset) {
    case kDISPLAYPRESET_640x480:
      m_dwWidth = 640;
      m_dwHeight = 480;
      m_dwRefreshRate = 75;
      break;
    case kDISPLAYPRESET_800x600:
    case kDISPLAYPRESET_800x600B:
      m_dwWidth = 800;
      m_dwHeight = 600;
      m_dwRefreshRate = 75;
      break;
    default:
      break;
  }
}

EThreadProtectD3D::EThreadProtectD3D() {
  if (g_ThreadProtectD3DCriticalSection) SDL_mutexP(g_ThreadProtectD3DCriticalSection);
}

EThreadProtectD3D::~EThreadProtectD3D() {
  if (g_ThreadProtectD3DCriticalSection) SDL_mutexV(g_ThreadProtectD3DCriticalSection);
}

// ---------------------------------------------------------------------------

ERenderer::ERenderer()
    : m_pTextures(nullptr),
      m_pPalettes(nullptr),
      m_pVertexBuffers(nullptr),
      m_pIndexBuffers(nullptr),
      m_pVertexPools(nullptr),
      m_pVertexShaders(nullptr),
      m_pPixelShaders(nullptr),
      m_hVertexShader(0),
      m_hPixelShader(0),
      m_pGLRenderer(nullptr),
      m_adwVertexPoolMemory{},
      m_dwAllocatedVertices(0),
      m_dwUsedVertices(0),
      m_dwIndexMemory(0),
      m_dwIndexCount(0),
      m_adwTextureMemory{},
      m_dwLinearTextureMemory(0),
      m_FrameStats(),
      m_LastFrameStats(),
      m_dwFrameNumber(0),
      m_pdwPushBuffer(nullptr),
      m_dwPushBytes(0),
      m_iPushDrawMode(-1),
      m_hRenderTargetImageTexture(kHTEXTURE_BACKBUFFER),
      m_hRenderTargetDepthTexture(kHTEXTURE_DEPTHBUFFER),
      m_iRenderTargetCubeFace(0),
      m_dwViewportWidth(0),
      m_dwViewportHeight(0),
      m_bDefaultShaderConstantsValid(false),
      m_dwFlags(0),
      m_bInFrame(false),
      m_bDirectRendering(false),
      m_pVertexConstantValid(nullptr),
      m_pPixelConstantValid(nullptr),
      m_pQueryList(nullptr),
      m_pCurrentQuery(nullptr),
      m_dwSwapCount(0),
      m_dwPushCapacity(0),
      m_pPushStorage(nullptr),
      m_dwPushStorageBytes(0),
      m_pPushQuadStorage(nullptr),
      m_dwPushQuadStorageBytes(0),
      m_pSurface(nullptr),
      m_bLostDevice(false),
      m_vGamma(0.0f, 0.0f, 0.0f) {
  m_RenderState.m_bValid = false;
  // The stage caches start empty and not valid.
  for (ETextureStageState& st : m_aTextureStageState) {
    st.m_bValid = false;
    st.m_hTexture = 0;
  }
  for (int i = 0; i < 257; ++i) m_avVertexConstants[i].Set(0.0f, 0.0f, 0.0f, 0.0f);
  for (int i = 0; i < 8; ++i) m_avPixelConstants[i].Set(0.0f, 0.0f, 0.0f, 0.0f);
}

ERenderer::~ERenderer() {
  free(m_pPushStorage);
  free(m_pPushQuadStorage);
}

// Sets the OpenGL attributes that depend on the flags.
static void SetMultisampleAttributes(unsigned flags) {
  bool aa = (flags & kRENDERER_ANTIALIAS) != 0;
  SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, (flags & kRENDERER_VSYNC) ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, aa ? 1 : 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, aa ? 4 : 0);
  SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, aa ? -1 : 1);
}

bool ERenderer::setVideoMode(unsigned& flags) {
  Uint32 videoFlags = SDL_OPENGL;
  if (m_DisplayOptions.m_bFullScreen) videoFlags |= SDL_FULLSCREEN;
  int w = (int)m_DisplayOptions.m_dwWidth;
  int h = (int)m_DisplayOptions.m_dwHeight;
  m_pSurface = SDL_SetVideoMode(w, h, 0, videoFlags);
  if (!m_pSurface && (flags & kRENDERER_ANTIALIAS)) {
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 2);
    m_pSurface = SDL_SetVideoMode(w, h, 0, videoFlags);
    if (!m_pSurface) {
      SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
      SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
      m_pSurface = SDL_SetVideoMode(w, h, 0, videoFlags);
      if (m_pSurface) flags &= ~(unsigned)kRENDERER_ANTIALIAS;
    }
  }
  if (!m_pSurface) {
    g_ErrorManager.TraceMessagef("SDL_SetVideoMode() failed: %s\n", SDL_GetError());
    return false;
  }
  return true;
}

// Multisampling, viewport, clears and the fixed settings every mode needs.
void ERenderer::setupDevice(unsigned& flags) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  bool askedAA = (flags & kRENDERER_ANTIALIAS) != 0;
  GLint samples = 0;
  if (askedAA) {
    GLint buffers = 0;
    gl->glGetIntegerv(GL_SAMPLE_BUFFERS, &buffers);
    gl->glGetIntegerv(GL_SAMPLES, &samples);
    if (!buffers || !samples) flags &= ~(unsigned)kRENDERER_ANTIALIAS;
  }
  g_ErrorManager.TraceMessagef("OpenGL: Wanted %dx FSAA, got %dx\n", askedAA ? 4 : 0, (int)samples);
  g_bMultisampling = (flags & kRENDERER_ANTIALIAS) != 0;
  gl->ToggleState(GL_MULTISAMPLE, g_bMultisampling);

  // The shaders are written for clip depth from 0 to w, which OpenGL takes
  // from -w to w unless told otherwise: without this the depth buffer would
  // hold (z + 1) / 2 and geometry before the near plane would be drawn.
  if (gl->supports_GL_ARB_clip_control()) gl->glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

  int w = (int)GetDisplayWidth();
  int h = (int)GetDisplayHeight();
  gl->glViewport(0, 0, w, h);
  gl->glScissor(0, 0, w, h);
  gl->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  for (int i = 0; i < 3; ++i) {
    gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapBuffers();
  }
  gl->glPixelStorei(GL_PACK_ALIGNMENT, 1);
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl->glEnable(GL_POLYGON_OFFSET_FILL);
}

void ERenderer::createBackBufferCopy() {
  // Sized by the window actually open, as is the block it is filled from.
  EOpenGLRenderer* gl = m_pGLRenderer;
  int w = (int)GetDisplayWidth();
  int h = (int)GetDisplayHeight();
  void* zeros = calloc((size_t)w * (size_t)h, 4);
  EASSERT(zeros);
  GLuint tex = 0;
  gl->glGenTextures(1, &tex);
  gl->glBindTexture(GL_TEXTURE_2D, tex);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros);
  gl->glBindTexture(GL_TEXTURE_2D, 0);
  free(zeros);
  g_uBackBufferCopyTexture = tex;
}

void ERenderer::deleteBackBufferCopy() {
  if (g_uBackBufferCopyTexture && m_pGLRenderer) {
    GLuint tex = g_uBackBufferCopyTexture;
    m_pGLRenderer->glDeleteTextures(1, &tex);
  }
  g_uBackBufferCopyTexture = 0;
}

// Undoes whatever a failed platform start had made.
void ERenderer::platformRelease() {
  delete m_pGLRenderer;
  m_pGLRenderer = nullptr;
  m_pSurface = nullptr;
  g_uBackBufferCopyTexture = 0;
  g_bMultisampling = false;
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool ERenderer::platformInit(void* hWnd, unsigned& flags) {
  EASSERT(hWnd == NULL);

  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  if (SDL_Init(SDL_INIT_VIDEO) == -1) {
    g_ErrorManager.TraceMessagef("SDL_Init() failed: %s\n", SDL_GetError());
    return false;
  }
  if (SDL_GL_LoadLibrary(NULL) != 0) {
    g_ErrorManager.TraceMessagef("SDL_GL_LoadLibrary() failed: %s\n", SDL_GetError());
    platformRelease();
    return false;
  }
  SDL_EnableUNICODE(1);
  SDL_WM_SetCaption(g_mainWindowCaption, g_mainWindowCaptionSmall);
  if (SDL_RWops* rw = SDL_RWFromFile("icon.bmp", "rb")) {
    if (SDL_Surface* icon = SDL_LoadBMP_RW(rw, 1)) {
      SDL_WM_SetIcon(icon, NULL);
      SDL_FreeSurface(icon);
    }
  }

  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SetMultisampleAttributes(flags);

  if (!setVideoMode(flags)) {
    platformRelease();
    return false;
  }
  SDL_ShowCursor(0);
  SDL_WM_GrabInput(SDL_GRAB_ON);

  m_pGLRenderer = new EOpenGLRenderer();
  if (!m_pGLRenderer->LoadEntryPoints()) {
    platformRelease();
    return false;
  }
  EOpenGLRenderer* gl = m_pGLRenderer;
  setupDevice(flags);

  GLint depthBits = 0;
  gl->glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  m_pGLRenderer->m_fMaxDepthValue = (float)(pow(2.0, (double)depthBits) - 1.0);

  if (!m_pGLRenderer->InitMojoShader()) {
    platformRelease();
    return false;
  }

  m_DeviceSupport.Initialize(m_pGLRenderer, 0, 0);
  // Texture units 0 to 3 carry the stages and unit 4 the texture work.
  const int kNeededUnits = 5;
  if (m_DeviceSupport.m_nTextureImageUnits < kNeededUnits) {
    fprintf(stderr, "Not enough texture image units! (need %d, have %d)\n", kNeededUnits,
            m_DeviceSupport.m_nTextureImageUnits);
    platformRelease();
    return false;
  }
  gl->glActiveTexture(GL_TEXTURE4);
  if (!validateDisplayMode()) {
    platformRelease();
    return false;
  }
  setPresentParameters(flags);
  g_ErrorManager.TraceMessagef("Created OpenGL Device. Adapter: %s Driver: %s %dx%d %dhz\n",
                               m_DeviceSupport.m_szAdapter, m_DeviceSupport.m_szDriver, (int)GetDisplayWidth(),
                               (int)GetDisplayHeight(), (int)GetRefreshRate());
  m_DeviceSupport.PostCreate(m_pGLRenderer);
  m_bLostDevice = false;

  resizeWindow(false);
  createBackBufferCopy();
  m_ModeOptions = m_DisplayOptions;
  float g = m_DisplayOptions.m_fGamma;
  SetGammaCorrection(EVec3(g, g, g), true);
  return true;
}

bool ERenderer::Init(void* hWnd, unsigned flags) {
  EASSERT(!g_pCurrentRenderer);
  g_pCurrentRenderer = this;

  unsigned workingFlags = flags;
  if (!platformInit(hWnd, workingFlags)) {
    // Nothing of a failed start stays behind.
    g_pCurrentRenderer = nullptr;
    return false;
  }
  EOpenGLRenderer* gl = m_pGLRenderer;

  gl->glGenFramebuffersEXT(1, &gl->m_uRenderFramebuffer);
  gl->glGenFramebuffersEXT(1, &gl->m_uCopyFramebuffer);
  if (gl->supports_GL_ARB_sampler_objects()) {
    gl->glGenSamplers(4, gl->m_auSamplers);
    for (GLuint i = 0; i < 4; ++i) gl->glBindSampler(i, gl->m_auSamplers[i]);
  }

  memset(m_adwVertexPoolMemory, 0, sizeof(m_adwVertexPoolMemory));
  m_dwAllocatedVertices = m_dwUsedVertices = m_dwIndexMemory = m_dwIndexCount = 0;
  memset(m_adwTextureMemory, 0, sizeof(m_adwTextureMemory));
  m_dwLinearTextureMemory = 0;
  memset(&m_FrameStats, 0, sizeof(m_FrameStats));
  memset(&m_LastFrameStats, 0, sizeof(m_LastFrameStats));

  g_ThreadProtectD3DCriticalSection = SDL_CreateMutex();
  m_pVertexConstantValid = new BitArray(257, kMEMTYPE_Renderer);
  m_pPixelConstantValid = new BitArray(8, kMEMTYPE_Renderer);
  invalidateRenderStates();

  m_DeviceSupport.m_bPixelShaderSupport = (int8_t)(m_DeviceSupport.m_dwPixelShaderVersion >> 8) > 0;

  m_pTextures = new EDataArray<ETexture>("Textures", 1024, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);
  m_pPalettes = new EDataArray<EPalette>("Palettes", 256, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);
  m_pVertexBuffers = new EDataArray<EVertexBuffer>("Vertex Buffers", 4096, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);
  m_pIndexBuffers = new EDataArray<EIndexBuffer>("Index Buffers", 1024, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);
  m_pVertexPools = new EDataArray<EVertexPool>("Vertex Pools", 128, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);
  m_pVertexShaders = new EDataArray<EVertexShader>("Vertex Shaders", 1024, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);
  m_pPixelShaders = new EDataArray<EPixelShader>("Pixel Shaders", 1024, kDATAARRAY_GROWABLE, kMEMTYPE_Renderer);

  m_hRenderTargetImageTexture = kHTEXTURE_BACKBUFFER;
  m_hRenderTargetDepthTexture = kHTEXTURE_DEPTHBUFFER;
  m_iRenderTargetCubeFace = 0;
  m_dwViewportWidth = 0;
  m_dwViewportHeight = 0;
  m_dwFlags = workingFlags;
  m_bInFrame = false;
  m_bDirectRendering = false;
  m_pdwPushBuffer = nullptr;
  m_dwPushCapacity = 0;
  m_iPushDrawMode = -1;
  return true;
}

bool ERenderer::Reset(unsigned flags) {
  setPresentParameters(flags);
  ForEachUsed(m_pTextures, [](ETexture* t) { t->PreReset(); });
  deleteBackBufferCopy();
  deleteQueries();
  ForEachUsed(m_pVertexPools, [](EVertexPool* p) { p->PreReset(); });
  FlushVideoMem();
  m_pGLRenderer->ClearEntryPoints();

  unsigned working = flags;
  SetMultisampleAttributes(working);
  bool ok = setVideoMode(working) && m_pGLRenderer->LoadEntryPoints();
  if (!ok) {
    // Put the mode that worked back rather than run without OpenGL.
    g_ErrorManager.TraceMessagef(TT_Warning, "Could not change the video mode; keeping %ux%u\n",
                                 m_ModeOptions.m_dwWidth, m_ModeOptions.m_dwHeight);
    m_DisplayOptions = m_ModeOptions;
    working = m_dwFlags;
    m_pGLRenderer->ClearEntryPoints();
    SetMultisampleAttributes(working);
    bool restored = setVideoMode(working) && m_pGLRenderer->LoadEntryPoints();
    EASSERT(restored);
  }

  setupDevice(working);
  // The mode change made a new OpenGL context: the stage samplers are made
  // again and bound to their units.
  if (m_pGLRenderer->supports_GL_ARB_sampler_objects()) {
    m_pGLRenderer->glGenSamplers(4, m_pGLRenderer->m_auSamplers);
    for (GLuint i = 0; i < 4; ++i) m_pGLRenderer->glBindSampler(i, m_pGLRenderer->m_auSamplers[i]);
  }
  for (ETextureStageState& st : m_aTextureStageState) st.m_hTexture = 0;
  invalidateRenderStates();
  m_pGLRenderer->glActiveTexture(GL_TEXTURE4);
  m_bLostDevice = false;
  ForEachUsed(m_pTextures, [](ETexture* t) { t->PostReset(); });
  createBackBufferCopy();
  ForEachUsed(m_pVertexPools, [](EVertexPool* p) { p->PostReset(); });
  resizeWindow(true);
  SetGammaCorrection(m_vGamma, true);
  m_ModeOptions = m_DisplayOptions;
  m_dwFlags = working;
  return ok;
}

void ERenderer::RestoreSize() {
  m_pTextures->RestoreSize(false);
  m_pPalettes->RestoreSize(false);
  m_pVertexBuffers->RestoreSize(false);
  m_pIndexBuffers->RestoreSize(false);
  m_pVertexPools->RestoreSize(false);
}

void ERenderer::Shutdown() {
  SetTextureStages(nullptr, 0);
  // Buffers still alive give their pools up first, so that every pool can
  // be released.
  ForEachUsed(m_pVertexBuffers, [this](EVertexBuffer* b) { DeleteVertexBuffer(b->m_id); });
  ForEachUsed(m_pVertexPools, [](EVertexPool* p) {
    p->m_dwLockCount = 0;
    p->m_dwRefCount = 0;
    p->Release();
  });
  deleteQueries();
  if (g_ThreadProtectD3DCriticalSection) SDL_DestroyMutex(g_ThreadProtectD3DCriticalSection);
  g_ThreadProtectD3DCriticalSection = nullptr;
  ClearVertexShader();
  SetPixelShader(0);
  delete m_pVertexConstantValid;
  m_pVertexConstantValid = nullptr;
  delete m_pPixelConstantValid;
  m_pPixelConstantValid = nullptr;

  delete m_pTextures;
  m_pTextures = nullptr;
  delete m_pPalettes;
  m_pPalettes = nullptr;
  delete m_pVertexBuffers;
  m_pVertexBuffers = nullptr;
  delete m_pIndexBuffers;
  m_pIndexBuffers = nullptr;
  delete m_pVertexPools;
  m_pVertexPools = nullptr;
  delete m_pVertexShaders;
  m_pVertexShaders = nullptr;
  delete m_pPixelShaders;
  m_pPixelShaders = nullptr;

  if (EOpenGLRenderer* gl = m_pGLRenderer) {
    deleteBackBufferCopy();
    gl->glDeleteFramebuffersEXT(1, &gl->m_uRenderFramebuffer);
    gl->glDeleteFramebuffersEXT(1, &gl->m_uCopyFramebuffer);
    if (gl->supports_GL_ARB_sampler_objects()) gl->glDeleteSamplers(4, gl->m_auSamplers);
  }
  delete m_pGLRenderer;
  m_pGLRenderer = nullptr;
  if (g_pCurrentRenderer == this) g_pCurrentRenderer = nullptr;
}

// ---------------------------------------------------------------------------

void ERenderer::EndSwap(bool bCountFrame) {
  ERenderState defaults;
  SetRenderState(&defaults);
  SetTextureStages(nullptr, 0);
  ClearVertexShader();
  SetPixelShader(0);

  SDL_GL_SwapBuffers();
  ++m_dwSwapCount;
  invalidateRenderStates();

  // The renderer's timer measures nothing here; the swap adds 0.
  m_FrameStats.m_fPresentTime += 0.0f;
  m_LastFrameStats = m_FrameStats;
  memset(&m_FrameStats, 0, sizeof(m_FrameStats));
  if (bCountFrame) ++m_dwFrameNumber;
  m_bDirectRendering = false;
}

unsigned ERenderer::GetDisplayWidth() const {
  return m_pSurface ? (unsigned)m_pSurface->w : m_DisplayOptions.m_dwWidth;
}

unsigned ERenderer::GetDisplayHeight() const {
  return m_pSurface ? (unsigned)m_pSurface->h : m_DisplayOptions.m_dwHeight;
}

void ERenderer::BuildGammaRamp(float gamma, uint16_t* ramp) {
  float exponent = 1.0f / gamma;
  for (int i = 0; i < 256; ++i) {
    float x = (float)i / 256.0f;
    ramp[i] = (uint16_t)(pow((double)x, (double)exponent) * 65535.0);
  }
}

void ERenderer::SetGammaCorrection(const EVec3& gamma, bool bForce) {
  EVec3 g(gamma.x, gamma.y, gamma.z);
  for (int c = 0; c < 3; ++c) {
    if (g[c] < 0.25f) g[c] = 0.25f;
    if (g[c] > 2.5f) g[c] = 2.5f;
  }
  if (!bForce && g.x == m_vGamma.x && g.y == m_vGamma.y && g.z == m_vGamma.z) return;
  m_vGamma = g;
  Uint16 red[256], green[256], blue[256];
  BuildGammaRamp(g.x, red);
  BuildGammaRamp(g.y, green);
  BuildGammaRamp(g.z, blue);
  // SDL has no display to apply a ramp to before the window opens.
  if (m_pSurface) SDL_SetGammaRamp(red, green, blue);
}

unsigned ERenderer::StatsGetDynamicVertsUsed(int vbFormat) const {
  if (vbFormat < 0 || vbFormat >= kNUM_VBFORMATS) return 0;
  return m_LastFrameStats.m_adwDynamicVertsUsed[vbFormat];
}

unsigned ERenderer::StatsGetAllocatedVertexMemory() const {
  unsigned total = 0;
  for (int i = 0; i < kNUM_MEMORY_CATEGORIES; ++i) total += m_adwVertexPoolMemory[i];
  return total;
}

unsigned ERenderer::StatsGetAllocatedVertexMemory(unsigned flags) const {
  unsigned category = MemoryCategoryOf(flags);
  return category < kNUM_MEMORY_CATEGORIES ? m_adwVertexPoolMemory[category] : 0;
}

int ERenderer::StatsGetAllocatedVBs() const { return m_pVertexBuffers ? m_pVertexBuffers->m_iCurAllocCount : 0; }
int ERenderer::StatsGetUsedVBs() const { return m_pVertexBuffers ? m_pVertexBuffers->m_iNumUsed : 0; }
int ERenderer::StatsGetAllocatedIBs() const { return m_pIndexBuffers ? m_pIndexBuffers->m_iCurAllocCount : 0; }
int ERenderer::StatsGetUsedIBs() const { return m_pIndexBuffers ? m_pIndexBuffers->m_iNumUsed : 0; }
int ERenderer::StatsGetAllocatedVPools() const { return m_pVertexPools ? m_pVertexPools->m_iCurAllocCount : 0; }
int ERenderer::StatsGetUsedVPools() const { return m_pVertexPools ? m_pVertexPools->m_iNumUsed : 0; }
int ERenderer::StatsGetAllocatedPalettes() const { return m_pPalettes ? m_pPalettes->m_iCurAllocCount : 0; }
int ERenderer::StatsGetUsedPalettes() const { return m_pPalettes ? m_pPalettes->m_iNumUsed : 0; }

// ---------------------------------------------------------------------------

void ERenderer::FlushVideoMem() { STUBBED("write me?"); }

HTEXTURE ERenderer::WriteTextureToFile(HTEXTURE, const char*) {
  STUBBED("write me");
  return 0;
}

unsigned ERenderer::GetAvailableTextureMem() {
  STUBBED("write me");
  return 128;
}

void* ERenderer::getBackBufferSurface() {
  STUBBED("shouldn't be used with OpenGL renderer");
  return nullptr;
}

void* ERenderer::getFrontBufferSurface() {
  STUBBED("shouldn't be used with OpenGL renderer");
  return nullptr;
}

void* ERenderer::getDepthBufferSurface() {
  STUBBED("shouldn't be used with OpenGL renderer");
  return nullptr;
}

void ERenderer::SetHLSLVSConstant(const char*, const float*, unsigned) { STUBBED("not implemented"); }

// ---------------------------------------------------------------------------
// Occlusion queries

namespace {
// Swaps after which a query whose result nobody fetched is taken back.
const unsigned kSTALE_QUERY_SWAPS = 8;
}  // namespace

EQuery::EQuery() : m_iIndex(-1), m_pGLRenderer(nullptr), m_uQuery(0), m_pNext(nullptr), m_dwEndSwap(0) {}

EQuery::~EQuery() {
  if (m_pGLRenderer && m_uQuery) {
    GLuint q = m_uQuery;
    m_pGLRenderer->glDeleteQueriesARB(1, &q);
  }
}

void ERenderer::deleteQueries() {
  while (EQuery* q = m_pQueryList) {
    m_pQueryList = q->m_pNext;
    // Query names die with the context during a reset; the table may be
    // empty by then.
    if (!m_pGLRenderer || !m_pGLRenderer->supports_GL_ARB_occlusion_query()) q->m_pGLRenderer = nullptr;
    delete q;
  }
  m_pCurrentQuery = nullptr;
}

void ERenderer::BeginVisibilityTest() {
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (!gl || !gl->supports_GL_ARB_occlusion_query()) return;
  EASSERT(!m_pCurrentQuery);
  EQuery* pQuery = nullptr;
  for (EQuery* q = m_pQueryList; q; q = q->m_pNext) {
    // A result left unfetched for several frames will never be asked for.
    if (q->m_iIndex != -1 && m_dwSwapCount - q->m_dwEndSwap >= kSTALE_QUERY_SWAPS) q->m_iIndex = -1;
    if (q->m_iIndex == -1 && !pQuery) pQuery = q;
  }
  if (!pQuery) {
    pQuery = new EQuery();
    GLuint name = 0;
    gl->glGenQueriesARB(1, &name);
    pQuery->m_uQuery = name;
    pQuery->m_pGLRenderer = gl;
    pQuery->m_pNext = m_pQueryList;
    m_pQueryList = pQuery;
  }
  gl->glBeginQueryARB(GL_SAMPLES_PASSED_ARB, pQuery->m_uQuery);
  m_pCurrentQuery = pQuery;
}

bool ERenderer::EndVisibilityTest(int tag) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (!gl || !gl->supports_GL_ARB_occlusion_query() || !m_pCurrentQuery) return false;
  EQuery* pQuery = m_pCurrentQuery;
  m_pCurrentQuery = nullptr;
  EASSERT(pQuery->m_iIndex == -1);
  pQuery->m_iIndex = tag;
  pQuery->m_dwEndSwap = m_dwSwapCount;
  gl->glEndQueryARB(GL_SAMPLES_PASSED_ARB);
  return true;
}

unsigned ERenderer::GetVisibilityTestResult(int tag) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  // -1 marks free queries; nothing waits under it.
  if (!gl || !gl->supports_GL_ARB_occlusion_query() || tag == -1) return 0;
  for (EQuery* q = m_pQueryList; q; q = q->m_pNext) {
    if (q->m_iIndex != tag || q == m_pCurrentQuery) continue;
    GLuint count = 0;
    gl->glGetQueryObjectuivARB(q->m_uQuery, GL_QUERY_RESULT_ARB, &count);
    q->m_iIndex = -1;
    return count;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Render state

ERenderState::ERenderState()
    : m_eColorWriteMode(kCOLORWRITE_ALL),
      m_bAlphaBlendEnable(false),
      m_eBlendOp(kBLENDOP_ADD),
      m_eSrcBlend(kBLEND_ONE),
      m_eDestBlend(kBLEND_ZERO),
      m_bStencilEnable(false),
      m_eStencilFunc(kCMP_ALWAYS),
      m_eStencilPass(kSTENCILOP_KEEP),
      m_eStencilFail(kSTENCILOP_KEEP),
      m_eStencilZFail(kSTENCILOP_KEEP),
      m_byStencilFuncRef(0),
      m_byStencilReadMask(0xFF),
      m_byStencilWriteMask(0xFF) {
  Reset();
}

void ERenderState::Reset() {
  m_bValid = true;
  m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
  m_eStencilMode = kSTENCILMODE_NONE;
  m_byStencilRef = 0;
  m_eShadeMode = kSHADE_GOURAUD;
  m_eFillMode = kFILL_SOLID;
  m_eCullMode = kCULL_FRONT;
  m_bZEnable = true;
  m_bZWriteEnable = true;
  m_eZFunc = kCMP_LESSEQUAL;
  m_byZBias = 0;
  m_bAlphaTestEnable = true;
  m_eAlphaFunc = kCMP_NOTEQUAL;
  m_byAlphaRef = 0;
  m_bPointSprites = false;
  m_fPointSize = m_fPointSizeMin = m_fPointScaleA = m_fPointScaleB = m_fPointScaleC = 1.0f;
  m_bSpecularEnable = false;
  m_bFogEnable = false;
  m_dwFogColor = 0xFFFFFFFFu;
  m_fWireframeOffset = 0.0f;
  m_bFastColorFill = false;
}

void ERenderState::convertBlendModeToSubStates() {
  struct Row {
    COLORWRITEMODE write;
    bool blend;
    BLENDOP op;
    BLENDFACTOR src, dest;
  };
  static const Row kRows[] = {
      {kCOLORWRITE_NONE, true, kBLENDOP_ADD, kBLEND_ZERO, kBLEND_ONE},                  // NO_COLOR_WRITE
      {kCOLORWRITE_ALL, false, kBLENDOP_ADD, kBLEND_ONE, kBLEND_ZERO},                  // DECAL
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_SRCALPHA, kBLEND_INVSRCALPHA},       // ALPHA_BLEND
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_ONE, kBLEND_ONE},                    // ADD
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_SRCALPHA, kBLEND_ONE},               // ADD_ALPHA
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_DESTALPHA, kBLEND_ONE},              // ADD_DEST_ALPHA
      {kCOLORWRITE_ALL, true, kBLENDOP_REVSUBTRACT, kBLEND_SRCALPHA, kBLEND_ONE},       // SUBTRACT
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_ZERO, kBLEND_SRCCOLOR},              // MODULATE
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_DESTCOLOR, kBLEND_ONE},              // MODULATE_ADD_DEST
      {kCOLORWRITE_ALL, true, kBLENDOP_ADD, kBLEND_DESTCOLOR, kBLEND_SRCCOLOR},         // MODULATE_2X
      {kCOLORWRITE_ALPHA, false, kBLENDOP_ADD, kBLEND_ONE, kBLEND_ZERO},                // ALPHA_ONLY
  };
  int i = (int)m_eBlendMode - 1;
  if (i < 0 || i >= (int)(sizeof(kRows) / sizeof(kRows[0]))) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown blend mode", false);
    return;
  }
  m_eColorWriteMode = kRows[i].write;
  m_bAlphaBlendEnable = kRows[i].blend;
  m_eBlendOp = kRows[i].op;
  m_eSrcBlend = kRows[i].src;
  m_eDestBlend = kRows[i].dest;
}

void ERenderState::convertStencilModeToSubStates() {
  const uint8_t R = m_byStencilRef;
  m_eStencilFail = kSTENCILOP_KEEP;
  m_eStencilZFail = kSTENCILOP_KEEP;
  m_byStencilReadMask = 0xFF;
  m_byStencilWriteMask = 0xFF;
  m_byStencilFuncRef = R;
  m_bStencilEnable = true;
  switch (m_eStencilMode) {
    case kSTENCILMODE_NONE:
      m_bStencilEnable = false;
      m_eStencilFunc = kCMP_ALWAYS;
      m_eStencilPass = kSTENCILOP_KEEP;
      m_byStencilFuncRef = 0;
      break;
    case kSTENCILMODE_WRITE:
      m_eStencilFunc = kCMP_ALWAYS;
      m_eStencilPass = kSTENCILOP_REPLACE;
      break;
    case kSTENCILMODE_EQUAL:
      m_eStencilFunc = kCMP_EQUAL;
      m_eStencilPass = kSTENCILOP_KEEP;
      break;
    case kSTENCILMODE_NOTEQUAL:
      m_eStencilFunc = kCMP_NOTEQUAL;
      m_eStencilPass = kSTENCILOP_KEEP;
      break;
    case kSTENCILMODE_SET_BITS:
      m_eStencilFunc = kCMP_ALWAYS;
      m_eStencilPass = kSTENCILOP_REPLACE;
      m_byStencilWriteMask = R;
      break;
    case kSTENCILMODE_CLEAR_BITS:
      m_eStencilFunc = kCMP_ALWAYS;
      m_eStencilPass = kSTENCILOP_REPLACE;
      m_byStencilFuncRef = 0;
      m_byStencilWriteMask = R;
      break;
    case kSTENCILMODE_BITS_SET:
      m_eStencilFunc = kCMP_EQUAL;
      m_eStencilPass = kSTENCILOP_KEEP;
      m_byStencilReadMask = R;
      break;
    case kSTENCILMODE_BITS_NOT_SET:
      m_eStencilFunc = kCMP_NOTEQUAL;
      m_eStencilPass = kSTENCILOP_KEEP;
      m_byStencilReadMask = R;
      break;
    default:
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown stencil mode", false);
      break;
  }
}

namespace {

GLenum ConvertBlendOp(BLENDOP op) {
  switch (op) {
    case kBLENDOP_ADD: return GL_FUNC_ADD;
    case kBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
  }
  EERRORF("Unknown blend op: %i\n", (int)op);
  return GL_FUNC_ADD;
}

GLenum ConvertBlendFactor(BLENDFACTOR f) {
  static const GLenum kGL[] = {GL_ONE,       GL_ZERO,      GL_SRC_COLOR,           GL_DST_COLOR,
                               GL_SRC_ALPHA, GL_DST_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE_MINUS_DST_ALPHA};
  if (f >= 1 && f <= 8) return kGL[f - 1];
  EERRORF("Unknown blend factor: %i\n", (int)f);
  return GL_ONE;
}

GLenum ConvertCompareFunc(COMPAREFUNC f) {
  static const GLenum kGL[] = {GL_NEVER, GL_LESS, GL_EQUAL, GL_LEQUAL, GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
  if (f >= 1 && f <= 8) return kGL[f - 1];
  EERRORF("Unknown compare function: %i\n", (int)f);
  return GL_ALWAYS;
}

GLenum ConvertStencilOp(STENCILOP op) {
  static const GLenum kGL[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
  if (op >= 1 && op <= 8) return kGL[op - 1];
  EERRORF("Unsupported stencil op (%d)", (int)op);
  return GL_KEEP;
}

}  // namespace

void ERenderer::SetRenderState(ERenderState* pState) {
  ERenderState& c = m_RenderState;
  const ERenderState& s = *pState;
  const bool forced = !c.m_bValid;

  if (forced || s.m_eBlendMode != c.m_eBlendMode) setBlendMode(pState, !forced);
  if (forced || s.m_eStencilMode != c.m_eStencilMode || s.m_byStencilRef != c.m_byStencilRef)
    setStencilMode(pState, !forced);
  if (forced || s.m_eShadeMode != c.m_eShadeMode) setShadeMode(s.m_eShadeMode);
  if (forced || s.m_eFillMode != c.m_eFillMode) setFillMode(s.m_eFillMode);
  if (forced || s.m_eCullMode != c.m_eCullMode) setCullMode(s.m_eCullMode);
  if (forced || s.m_bZEnable != c.m_bZEnable) setZBufferEnable(s.m_bZEnable);
  if (forced || s.m_bZWriteEnable != c.m_bZWriteEnable) setZBufferWriteEnable(s.m_bZWriteEnable);
  if (forced || s.m_eZFunc != c.m_eZFunc) setZBufferCompareFunc(s.m_eZFunc);
  if (forced || s.m_byZBias != c.m_byZBias) setZBias(s.m_byZBias);
  if (forced || s.m_bAlphaTestEnable != c.m_bAlphaTestEnable) setAlphaTestEnable(s.m_bAlphaTestEnable);
  if (forced || s.m_eAlphaFunc != c.m_eAlphaFunc) setAlphaTestCompareFunc(s.m_eAlphaFunc);
  if (forced || s.m_byAlphaRef != c.m_byAlphaRef) setAlphaTestRefValue(s.m_byAlphaRef);
  // Every point value counts: a new size must reach OpenGL even while the
  // sprites stay on.
  if (forced || s.m_bPointSprites != c.m_bPointSprites || s.m_fPointSize != c.m_fPointSize ||
      s.m_fPointSizeMin != c.m_fPointSizeMin || s.m_fPointScaleA != c.m_fPointScaleA ||
      s.m_fPointScaleB != c.m_fPointScaleB || s.m_fPointScaleC != c.m_fPointScaleC)
    setPointSpriteState(s.m_bPointSprites, s.m_fPointSize, s.m_fPointSizeMin, s.m_fPointScaleA, s.m_fPointScaleB,
                        s.m_fPointScaleC);
  if (forced || s.m_bSpecularEnable != c.m_bSpecularEnable) setSpecularEnable(s.m_bSpecularEnable);
  if (forced || s.m_bFogEnable != c.m_bFogEnable) setFogEnable(s.m_bFogEnable);
  if (forced || s.m_dwFogColor != c.m_dwFogColor) setFogColor(s.m_dwFogColor);
  if (forced || !(s.m_fWireframeOffset == c.m_fWireframeOffset)) setWireframeOffset(s.m_fWireframeOffset);
  if (forced || s.m_bFastColorFill != c.m_bFastColorFill) setFastColorFillEnable(s.m_bFastColorFill);
  c.m_bValid = true;
}

void ERenderer::setBlendMode(ERenderState* pState, bool bCacheValid) {
  ERenderState& c = m_RenderState;
  pState->convertBlendModeToSubStates();
  const bool forced = !bCacheValid;
  if (forced || pState->m_eColorWriteMode != c.m_eColorWriteMode) setColorWriteMode(pState->m_eColorWriteMode);
  if (forced || pState->m_bAlphaBlendEnable != c.m_bAlphaBlendEnable) setAlphaBlendEnable(pState->m_bAlphaBlendEnable);
  if (forced || pState->m_eBlendOp != c.m_eBlendOp) setBlendOp(pState->m_eBlendOp);
  if (forced || pState->m_eSrcBlend != c.m_eSrcBlend || pState->m_eDestBlend != c.m_eDestBlend)
    setBlendFunc(pState->m_eSrcBlend, pState->m_eDestBlend);
  c.m_eBlendMode = pState->m_eBlendMode;
}

void ERenderer::setStencilMode(ERenderState* pState, bool bCacheValid) {
  ERenderState& c = m_RenderState;
  pState->convertStencilModeToSubStates();
  const bool forced = !bCacheValid;
  if (forced || pState->m_bStencilEnable != c.m_bStencilEnable) setStencilBufferEnable(pState->m_bStencilEnable);
  if (forced || pState->m_byStencilWriteMask != c.m_byStencilWriteMask)
    setStencilWriteMask(pState->m_byStencilWriteMask);
  if (forced || pState->m_eStencilFunc != c.m_eStencilFunc || pState->m_byStencilFuncRef != c.m_byStencilFuncRef ||
      pState->m_byStencilReadMask != c.m_byStencilReadMask)
    setStencilFunc(pState->m_eStencilFunc, pState->m_byStencilFuncRef, pState->m_byStencilReadMask);
  if (forced || pState->m_eStencilFail != c.m_eStencilFail || pState->m_eStencilZFail != c.m_eStencilZFail ||
      pState->m_eStencilPass != c.m_eStencilPass)
    setStencilOp(pState->m_eStencilFail, pState->m_eStencilZFail, pState->m_eStencilPass);
  c.m_eStencilMode = pState->m_eStencilMode;
  c.m_byStencilRef = pState->m_byStencilRef;
}

void ERenderer::setColorWriteMode(COLORWRITEMODE mode) {
  GLboolean r = GL_FALSE, g = GL_FALSE, b = GL_FALSE, a = GL_FALSE;
  switch (mode) {
    case kCOLORWRITE_NONE: break;
    case kCOLORWRITE_RGB: r = g = b = GL_TRUE; break;
    case kCOLORWRITE_ALPHA: a = GL_TRUE; break;
    case kCOLORWRITE_ALL: r = g = b = a = GL_TRUE; break;
    default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown color write mode\n", false); return;
  }
  m_pGLRenderer->glColorMask(r, g, b, a);
  m_RenderState.m_eColorWriteMode = mode;
}

void ERenderer::setAlphaBlendEnable(bool on) {
  m_pGLRenderer->ToggleState(GL_BLEND, on);
  m_RenderState.m_bAlphaBlendEnable = on;
}

void ERenderer::setBlendOp(BLENDOP op) {
  m_pGLRenderer->glBlendEquation(ConvertBlendOp(op));
  m_RenderState.m_eBlendOp = op;
}

void ERenderer::setBlendFunc(BLENDFACTOR src, BLENDFACTOR dest) {
  m_pGLRenderer->glBlendFunc(ConvertBlendFactor(src), ConvertBlendFactor(dest));
  m_RenderState.m_eSrcBlend = src;
  m_RenderState.m_eDestBlend = dest;
}

void ERenderer::setStencilBufferEnable(bool on) {
  m_pGLRenderer->ToggleState(GL_STENCIL_TEST, on);
  m_RenderState.m_bStencilEnable = on;
}

void ERenderer::setStencilFunc(COMPAREFUNC func, uint8_t ref, uint8_t mask) {
  m_pGLRenderer->glStencilFunc(ConvertCompareFunc(func), ref, mask);
  m_RenderState.m_eStencilFunc = func;
  m_RenderState.m_byStencilFuncRef = ref;
  m_RenderState.m_byStencilReadMask = mask;
}

void ERenderer::setStencilOp(STENCILOP fail, STENCILOP zfail, STENCILOP pass) {
  m_pGLRenderer->glStencilOp(ConvertStencilOp(fail), ConvertStencilOp(zfail), ConvertStencilOp(pass));
  m_RenderState.m_eStencilFail = fail;
  m_RenderState.m_eStencilZFail = zfail;
  m_RenderState.m_eStencilPass = pass;
}

void ERenderer::setStencilWriteMask(uint8_t mask) {
  m_pGLRenderer->glStencilMask(mask);
  m_RenderState.m_byStencilWriteMask = mask;
}

void ERenderer::setShadeMode(SHADEMODE mode) {
  GLenum gl;
  switch (mode) {
    case kSHADE_FLAT: gl = GL_FLAT; break;
    case kSHADE_GOURAUD: gl = GL_SMOOTH; break;
    default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown shade mode\n", false); return;
  }
  m_pGLRenderer->glShadeModel(gl);
  m_RenderState.m_eShadeMode = mode;
}

void ERenderer::setFillMode(FILLMODE mode) {
  GLenum gl;
  switch (mode) {
    case kFILL_SOLID: gl = GL_FILL; break;
    case kFILL_WIREFRAME: gl = GL_LINE; break;
    default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown fill mode\n", false); return;
  }
  m_pGLRenderer->glPolygonMode(GL_FRONT_AND_BACK, gl);
  m_RenderState.m_eFillMode = mode;
}

void ERenderer::setCullMode(CULLMODE mode) {
  switch (mode) {
    case kCULL_NONE:
      m_pGLRenderer->ToggleState(GL_CULL_FACE, false);
      break;
    case kCULL_BACK:
      m_pGLRenderer->ToggleState(GL_CULL_FACE, true);
      m_pGLRenderer->glCullFace(GL_BACK);
      break;
    case kCULL_FRONT:
      m_pGLRenderer->ToggleState(GL_CULL_FACE, true);
      m_pGLRenderer->glCullFace(GL_FRONT);
      break;
    default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown cull mode\n", false); return;
  }
  m_RenderState.m_eCullMode = mode;
}

void ERenderer::setZBufferEnable(bool on) {
  m_pGLRenderer->ToggleState(GL_DEPTH_TEST, on);
  m_RenderState.m_bZEnable = on;
}

void ERenderer::setZBufferWriteEnable(bool on) {
  m_pGLRenderer->glDepthMask(on ? GL_TRUE : GL_FALSE);
  m_RenderState.m_bZWriteEnable = on;
}

void ERenderer::setZBufferCompareFunc(COMPAREFUNC func) {
  m_pGLRenderer->glDepthFunc(ConvertCompareFunc(func));
  m_RenderState.m_eZFunc = func;
}

void ERenderer::setZBias(uint8_t byZBias) {
  if (byZBias > 16) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "byZBias >= 0 && byZBias <= 16", false);
  float scale = (float)byZBias * -5e-6f;
  m_pGLRenderer->glPolygonOffset(0.0f, m_pGLRenderer->m_fMaxDepthValue * scale);
  m_RenderState.m_byZBias = byZBias;
}

void ERenderer::setAlphaTestEnable(bool on) {
  m_pGLRenderer->ToggleState(GL_ALPHA_TEST, on);
  m_RenderState.m_bAlphaTestEnable = on;
}

void ERenderer::setAlphaTestCompareFunc(COMPAREFUNC func) {
  m_pGLRenderer->glAlphaFunc(ConvertCompareFunc(func), (float)m_RenderState.m_byAlphaRef / 255.0f);
  m_RenderState.m_eAlphaFunc = func;
}

void ERenderer::setAlphaTestRefValue(uint8_t ref) {
  m_pGLRenderer->glAlphaFunc(ConvertCompareFunc(m_RenderState.m_eAlphaFunc), (float)ref / 255.0f);
  m_RenderState.m_byAlphaRef = ref;
}

void ERenderer::setPointSpriteState(bool on, float size, float sizeMin, float a, float b, float c) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (gl->supports_GL_ARB_point_sprite() && gl->supports_GL_ARB_point_parameters()) {
    float h = (float)m_dwViewportHeight;
    float h2 = h * h;
    float s = 1.0f, mn = 1.0f, pa = 1.0f, pb = 0.0f, pc = 0.0f;
    if (on) {
      s = size;
      mn = sizeMin;
      pa = a;
      pb = b;
      pc = c;
    }
    gl->ToggleState(GL_POINT_SPRITE_ARB, on);
    gl->glPointSize(s);
    const GLfloat attenuation[3] = {pa / h2, pb / h2, pc / h2};
    gl->glPointParameterfvARB(GL_POINT_DISTANCE_ATTENUATION_ARB, attenuation);
    gl->glPointParameterfARB(GL_POINT_SIZE_MIN_ARB, mn);
  }
  ERenderState& st = m_RenderState;
  st.m_bPointSprites = on;
  st.m_fPointSize = size;
  st.m_fPointSizeMin = sizeMin;
  st.m_fPointScaleA = a;
  st.m_fPointScaleB = b;
  st.m_fPointScaleC = c;
}

void ERenderer::setSpecularEnable(bool on) {
  if (on) STUBBED("set specular highlights");
  m_RenderState.m_bSpecularEnable = on;
}

void ERenderer::setFogEnable(bool on) {
  if (!m_DeviceSupport.m_bFog) return;
  m_pGLRenderer->ToggleState(GL_FOG, on);
  m_RenderState.m_bFogEnable = on;
}

void ERenderer::setFogColor(uint32_t color) {
  if (!m_DeviceSupport.m_bFog) return;
  EVec4 v = ColorVectorFromRGBA(color);
  const GLfloat rgba[4] = {v.x, v.y, v.z, v.w};
  m_pGLRenderer->glFogfv(GL_FOG_COLOR, rgba);
  m_RenderState.m_dwFogColor = color;
}

void ERenderer::setWireframeOffset(float offset) { m_RenderState.m_fWireframeOffset = offset; }

void ERenderer::setFastColorFillEnable(bool on) {
  m_RenderState.m_bFastColorFill = on;
  m_bDefaultShaderConstantsValid = false;
}

void ERenderer::invalidateRenderStates() {
  m_RenderState.m_bValid = false;
  for (int i = 0; i < 4; ++i) m_aTextureStageState[i].m_bValid = false;
  m_hVertexShader = kUNKNOWN_SHADER;
  m_hPixelShader = kUNKNOWN_SHADER;
  m_bDefaultShaderConstantsValid = false;
  if (m_pVertexConstantValid) m_pVertexConstantValid->Clear();
  if (m_pPixelConstantValid) m_pPixelConstantValid->Clear();
}

// ---------------------------------------------------------------------------
// Texture-projection and cube-face view matrices

namespace {

// a then b, for row vectors: p x (a then b) = (p x a) x b.
EMat4 Then(const EMat4& a, const EMat4& b) {
  EMat4 r;
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col)
      r.m[4 * row + col] = a.m[4 * row + 0] * b.m[0 + col] + a.m[4 * row + 1] * b.m[4 + col] +
                           a.m[4 * row + 2] * b.m[8 + col] + a.m[4 * row + 3] * b.m[12 + col];
  return r;
}

// Maps -1..1 in x and y onto 0..1, without flipping y.
EMat4 TextureBias() { return Then(MatrixScale(0.5f, 0.5f, 1.0f), MatrixTranslate(0.5f, 0.5f, 0.0f)); }

}  // namespace

EMat4 ERenderer::CreatePerspectiveTexGenMatrix(const EVec3& eye, const EVec3& target, const EVec3& up,
                                               float fieldOfView, float aspect, float nearPlane, float farPlane) {
  return Then(Then(MatrixLookAt(eye, target, up),
                   MatrixPerspectiveProjection(fieldOfView, aspect, nearPlane, farPlane)),
              TextureBias());
}

EMat4 ERenderer::CreateOrthoTexGenMatrix(const EVec3& eye, const EVec3& target, const EVec3& up, float width,
                                         float height, float nearPlane, float farPlane) {
  EMat4 m = Then(Then(MatrixLookAt(eye, target, up), MatrixOrthoProjection(width, height, nearPlane, farPlane)),
                 TextureBias());
  // The third texture coordinate is always 1.
  m.m[2] = 0.0f;
  m.m[6] = 0.0f;
  m.m[10] = 0.0f;
  m.m[14] = 1.0f;
  return m;
}

EMat4 ERenderer::CreateCubemapViewMatrix(CUBEMAPFACE face) {
  EVec3 target(1.0f, 0.0f, 0.0f);
  EVec3 up(0.0f, 1.0f, 0.0f);
  switch (face) {
    case kCUBEMAP_POSITIVE_X: target.Set(0.0f, 0.0f, -1.0f); break;
    case kCUBEMAP_NEGATIVE_X: target.Set(0.0f, 0.0f, 1.0f); break;
    case kCUBEMAP_POSITIVE_Y:
      target.Set(0.0f, 1.0f, 0.0f);
      up.Set(1.0f, 0.0f, 0.0f);
      break;
    case kCUBEMAP_NEGATIVE_Y:
      target.Set(0.0f, -1.0f, 0.0f);
      up.Set(-1.0f, 0.0f, 0.0f);
      break;
    case kCUBEMAP_POSITIVE_Z: target.Set(-1.0f, 0.0f, 0.0f); break;
    case kCUBEMAP_NEGATIVE_Z: target.Set(1.0f, 0.0f, 0.0f); break;
    default: break;
  }
  return MatrixLookAt(EVec3(0.0f, 0.0f, 0.0f), target, up);
}

// ---------------------------------------------------------------------------
// Render targets

namespace {

// A render buffer of the given storage and size.
GLuint MakeRenderbuffer(EOpenGLRenderer* gl, GLenum internalFormat, unsigned width, unsigned height) {
  GLuint rb = 0;
  gl->glGenRenderbuffersEXT(1, &rb);
  gl->glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
  gl->glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, internalFormat, (GLsizei)width, (GLsizei)height);
  gl->glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
  return rb;
}

}  // namespace

void ERenderer::SetRenderTarget(HTEXTURE hImage, HTEXTURE hDepth, CUBEMAPFACE face) {
  if (hImage == kHTEXTURE_BACKBUFFER && hDepth == kHTEXTURE_DEPTHBUFFER) {
    RestoreRenderTarget();
    return;
  }
  RestoreRenderTarget();
  EOpenGLRenderer* gl = m_pGLRenderer;

  // The size of the copy comes from the colour texture, and -3 is no
  // texture: both must be textures of their own (0 for no depth).
  EASSERT(hImage && !TextureIsFrameBuffer(hImage));
  EASSERT(!TextureIsFrameBuffer(hDepth));
  ETexture* pImageTexture = m_pTextures->ElementGet(hImage);
  EASSERT(pImageTexture);
  EASSERT(pImageTexture->m_eType == kTEXTURETYPE_BITMAP || pImageTexture->m_eType == kTEXTURETYPE_CUBEMAP);
  EASSERT((unsigned)face < 6);
  if (!pImageTexture->m_renderbuffer) {
    EASSERT(pImageTexture->m_dwMipMapLevels == 1);
    pImageTexture->m_renderbuffer = MakeRenderbuffer(gl, TextureInternalFormat(pImageTexture->m_eFormat),
                                                     pImageTexture->m_dwWidth, pImageTexture->m_dwHeight);
  }
  GLuint depthBuffer = 0;
  if (hDepth) {
    ETexture* pDepthTexture = m_pTextures->ElementGet(hDepth);
    EASSERT(pDepthTexture);
    EASSERT(pDepthTexture->m_eType == kTEXTURETYPE_DEPTHBUFFER);
    if (!pDepthTexture->m_renderbuffer)
      pDepthTexture->m_renderbuffer =
          MakeRenderbuffer(gl, pDepthTexture->m_iDepthBits == 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24,
                           pDepthTexture->m_dwWidth, pDepthTexture->m_dwHeight);
    depthBuffer = pDepthTexture->m_renderbuffer;
  }

  gl->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, gl->m_uRenderFramebuffer);
  gl->glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT,
                                   pImageTexture->m_renderbuffer);
  gl->glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depthBuffer);
  EASSERT(m_pGLRenderer->glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT);

  gl->m_bRenderTargetBound = true;
  m_hRenderTargetImageTexture = hImage;
  m_hRenderTargetDepthTexture = hDepth;
  m_iRenderTargetCubeFace = (int)face;
  unsigned width = 0, height = 0;
  GetTextureDimensions(hImage, width, height);
  m_dwViewportWidth = width;
  m_dwViewportHeight = height;
  gl->glViewport(0, 0, (GLsizei)width, (GLsizei)height);
  gl->glScissor(0, 0, (GLsizei)width, (GLsizei)height);
  // The default constants carry the target's size.
  m_bDefaultShaderConstantsValid = false;
}

void ERenderer::RestoreRenderTarget() {
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (!gl || !gl->m_bRenderTargetBound) return;

  ETexture* pImageTexture = m_pTextures->ElementGet(m_hRenderTargetImageTexture);
  EASSERT(pImageTexture);
  GLenum imageTarget = GL_TEXTURE_2D;
  switch (pImageTexture->m_eType) {
    case kTEXTURETYPE_BITMAP: imageTarget = GL_TEXTURE_2D; break;
    case kTEXTURETYPE_CUBEMAP: imageTarget = GL_TEXTURE_CUBE_MAP_POSITIVE_X + (GLenum)m_iRenderTargetCubeFace; break;
    default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown render target format\n", false); return;
  }
  const GLint width = (GLint)pImageTexture->m_dwWidth;
  const GLint height = (GLint)pImageTexture->m_dwHeight;
  GLuint depthName = 0;
  if (m_hRenderTargetDepthTexture) {
    ETexture* pDepthTexture = m_pTextures->ElementGet(m_hRenderTargetDepthTexture);
    EASSERT(pDepthTexture);
    EASSERT(pDepthTexture->m_eType == kTEXTURETYPE_DEPTHBUFFER);
    depthName = pDepthTexture->m_texture;
  }
  GLbitfield mask = 0;
  if (pImageTexture->m_texture) mask |= GL_COLOR_BUFFER_BIT;
  if (depthName) mask |= GL_DEPTH_BUFFER_BIT;
  EASSERT(mask);

  gl->glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, gl->m_uRenderFramebuffer);
  gl->glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, gl->m_uCopyFramebuffer);
  gl->glFramebufferTexture2DEXT(GL_DRAW_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, imageTarget,
                                pImageTexture->m_texture, 0);
  gl->glFramebufferTexture2DEXT(GL_DRAW_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depthName, 0);
  EASSERT(m_pGLRenderer->glCheckFramebufferStatusEXT(GL_DRAW_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT);
  gl->glBlitFramebufferEXT(0, 0, width, height, 0, height, width, 0, mask, GL_NEAREST);
  // The surface now holds an image: a lock reads it back.
  if (pImageTexture->m_pSurfaceWritten) {
    const unsigned face = pImageTexture->m_eType == kTEXTURETYPE_CUBEMAP ? (unsigned)m_iRenderTargetCubeFace : 0;
    pImageTexture->m_pSurfaceWritten[pImageTexture->m_dwMipMapLevels * face] = 1;
  }

  gl->glFramebufferTexture2DEXT(GL_DRAW_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, imageTarget, 0, 0);
  gl->glFramebufferTexture2DEXT(GL_DRAW_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, 0, 0);
  gl->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, gl->m_uRenderFramebuffer);
  gl->glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, 0);
  gl->glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, 0);
  gl->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);

  const GLsizei w = (GLsizei)GetDisplayWidth(), h = (GLsizei)GetDisplayHeight();
  gl->glViewport(0, 0, w, h);
  gl->glScissor(0, 0, w, h);
  gl->m_bRenderTargetBound = false;
  m_hRenderTargetImageTexture = kHTEXTURE_BACKBUFFER;
  m_hRenderTargetDepthTexture = kHTEXTURE_DEPTHBUFFER;
  m_dwViewportWidth = (unsigned)w;
  m_dwViewportHeight = (unsigned)h;
  m_bDefaultShaderConstantsValid = false;
}

void ERenderer::ClearRenderTarget(const EVec4& colour, bool bClearColor, bool bClearDepth, bool bClearStencil,
                                  float depth) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  GLbitfield bits = 0;
  if (bClearColor) {
    m_RenderState.m_eColorWriteMode = kCOLORWRITE_ALL;
    gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl->glClearColor(colour.x, colour.y, colour.z, colour.w);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (bClearDepth) {
    m_RenderState.m_bZWriteEnable = true;
    gl->glDepthMask(GL_TRUE);
    gl->glClearDepth(depth);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (bClearStencil) bits |= GL_STENCIL_BUFFER_BIT;
  if (bits) gl->glClear(bits);
}

unsigned ERenderer::getBackBufferCopy() {
  if (!g_uBackBufferCopyTexture) return 0;
  EOpenGLRenderer* gl = m_pGLRenderer;
  // The copy texture is made at the window's size.
  const GLint w = (GLint)GetDisplayWidth(), h = (GLint)GetDisplayHeight();
  const GLint copyWidth = w, copyHeight = h;
  gl->glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, gl->m_uCopyFramebuffer);
  gl->glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 0);
  gl->glFramebufferTexture2DEXT(GL_DRAW_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D,
                                g_uBackBufferCopyTexture, 0);
  EASSERT(m_pGLRenderer->glCheckFramebufferStatusEXT(GL_DRAW_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT);
  const GLenum filter = (copyWidth == w && copyHeight == h) ? GL_NEAREST : GL_LINEAR;
  gl->glBlitFramebufferEXT(0, 0, w, h, 0, copyHeight, copyWidth, 0, GL_COLOR_BUFFER_BIT, filter);
  gl->glFramebufferTexture2DEXT(GL_DRAW_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, 0, 0);
  gl->glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, gl->m_bRenderTargetBound ? gl->m_uRenderFramebuffer : 0);
  return g_uBackBufferCopyTexture;
}
