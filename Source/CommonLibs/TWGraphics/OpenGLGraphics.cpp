#include "TWGraphics/OpenGLGraphics.h"

#include <SDL/SDL.h>
#include <mojoshader.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Game/PCGameApp.h"
#include "TWGraphics/DeviceSupport.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"

namespace {

void* SDLLookup(const char* name) { return SDL_GL_GetProcAddress(name); }

EGLProcLookup s_pfnLookup = SDLLookup;

void* MOJOSHADERCALL MojoLookup(const char* name, void*) { return s_pfnLookup(name); }

// The changeset of the translator this code was written against.
const char kMojoShaderChangeset[] = "hg-1109:51292bd4476b";

}  // namespace

void EOpenGLRenderer::SetProcLookup(EGLProcLookup lookup) { s_pfnLookup = lookup ? lookup : SDLLookup; }

EGLProcLookup EOpenGLRenderer::GetProcLookup() { return s_pfnLookup; }

EOpenGLRenderer::EOpenGLRenderer()
    : m_szMojoProfile(nullptr),
      m_pMojoContext(nullptr),
      m_uRenderFramebuffer(0),
      m_uCopyFramebuffer(0),
      m_bRenderTargetBound(false),
      m_eCurrentTextureTarget(GL_TEXTURE_2D),
      m_auSamplers{0, 0, 0, 0},
      m_fMaxDepthValue(0.0f) {
  ClearEntryPoints();
}

EOpenGLRenderer::~EOpenGLRenderer() {
  MOJOSHADER_glMakeContextCurrent(nullptr);
  if (m_pMojoContext) MOJOSHADER_glDestroyContext(m_pMojoContext);
  m_pMojoContext = nullptr;
  free(m_szMojoProfile);
  m_szMojoProfile = nullptr;
  ClearEntryPoints();
}

void EOpenGLRenderer::ClearEntryPoints() {
#define TW_GL_CLEAR_POINTER(ret, name, params, args) m_pfn_##name = nullptr;
  TW_GL_CORE_FUNCTIONS(TW_GL_CLEAR_POINTER)
#define TW_GL_CLEAR_GROUP(ext, required, list) \
  m_b_##ext = false;                           \
  list(TW_GL_CLEAR_POINTER)
  TW_GL_EXTENSION_GROUPS(TW_GL_CLEAR_GROUP)
#undef TW_GL_CLEAR_GROUP
#undef TW_GL_CLEAR_POINTER
}

void* EOpenGLRenderer::LookupFunction(const char* name, const char* group, bool& present) {
  if (!present) return nullptr;
  void* p = s_pfnLookup(name);
  if (!p) {
    fprintf(stderr, "Missing OpenGL entry point '%s' for '%s'\n", name, group);
    present = false;
  }
  return p;
}

bool EOpenGLRenderer::ExtensionListed(const char* list, const char* name) {
  if (!list || !name || !*name) return false;
  size_t len = strlen(name);
  const char* p = list;
  while (*p) {
    while (*p == ' ' || *p == '\t') ++p;
    const char* start = p;
    while (*p && *p != ' ' && *p != '\t') ++p;
    if ((size_t)(p - start) == len && !memcmp(start, name, len)) return true;
  }
  return false;
}

bool EOpenGLRenderer::LoadEntryPoints() {
  bool core = true;
#define TW_GL_LOAD_CORE(ret, name, params, args) \
  m_pfn_##name = (PFN_##name)LookupFunction(#name, "OpenGL", core);
  TW_GL_CORE_FUNCTIONS(TW_GL_LOAD_CORE)
#undef TW_GL_LOAD_CORE
  if (!core) {
    fputs("ERROR: Missing required core OpenGL functions\n", stderr);
    ClearEntryPoints();
    return false;
  }

  const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
  // Each group's functions are looked up under the group's name and flag;
  // the first one missing turns the group off.
#define TW_GL_LOAD_FN(ret, name, params, args) m_pfn_##name = (PFN_##name)LookupFunction(#name, group, *flag);
#define TW_GL_LOAD_GROUP(ext, required, list)       \
  {                                                  \
    m_b_##ext = ExtensionListed(extensions, #ext);   \
    const char* group = #ext;                        \
    bool* flag = &m_b_##ext;                         \
    (void)group;                                     \
    (void)flag;                                      \
    list(TW_GL_LOAD_FN)                              \
  }
  TW_GL_EXTENSION_GROUPS(TW_GL_LOAD_GROUP)
#undef TW_GL_LOAD_GROUP
#undef TW_GL_LOAD_FN

  bool anyMissing = false;
#define TW_GL_CHECK_REQUIRED(ext, required, list) \
  if (required && !m_b_##ext) anyMissing = true;
  TW_GL_EXTENSION_GROUPS(TW_GL_CHECK_REQUIRED)
#undef TW_GL_CHECK_REQUIRED
  if (anyMissing) {
    fputs("ERROR: Missing required OpenGL extensions:\n", stderr);
#define TW_GL_REPORT_REQUIRED(ext, required, list) \
  if (required && !m_b_##ext) fprintf(stderr, "    - %s\n", #ext);
    TW_GL_EXTENSION_GROUPS(TW_GL_REPORT_REQUIRED)
#undef TW_GL_REPORT_REQUIRED
    ClearEntryPoints();
    return false;
  }

  // Buffer code prefers the ARB range mapping when both are offered.
  if (m_b_GL_APPLE_flush_buffer_range && m_b_GL_ARB_map_buffer_range) m_b_GL_APPLE_flush_buffer_range = false;
  return true;
}

bool EOpenGLRenderer::InitMojoShader() {
  g_ErrorManager.TraceMessagef("MojoShader init!\n");
  g_ErrorManager.TraceMessagef("Compiled against MojoShader changeset %s\n", kMojoShaderChangeset);
  g_ErrorManager.TraceMessagef("Linked against MojoShader changeset %s\n", MOJOSHADER_changeset());

  const char* profile = MOJOSHADER_glBestProfile(MojoLookup, nullptr, nullptr, nullptr, nullptr);
  if (!profile) {
    fprintf(stderr, "Couldn't find a compatible MojoShader profile: %s\n", MOJOSHADER_glGetError());
    return false;
  }
  g_ErrorManager.TraceMessagef("MojoShader thinks the 'best' profile is '%s'\n", profile);
  if (GForceMojoShaderProfile) {
    g_ErrorManager.TraceMessagef("...but forcing MojoShader profile '%s' at user request.\n", GForceMojoShaderProfile);
    profile = GForceMojoShaderProfile;
  } else if (!strcmp(profile, MOJOSHADER_PROFILE_GLSPIRV)) {
    // The SPIR-V path loses vertex inputs that do not fill the registers
    // from v0 up and crashes Mesa's software drivers when drawing; take the
    // next profile the driver offers.
    const char* profiles[16] = {};
    int count = MOJOSHADER_glAvailableProfiles(MojoLookup, nullptr, profiles, 16, nullptr, nullptr, nullptr);
    for (int i = 0; i < count && i < 16; ++i) {
      if (profiles[i] && strcmp(profiles[i], MOJOSHADER_PROFILE_GLSPIRV) != 0) {
        g_ErrorManager.TraceMessagef("...but using MojoShader profile '%s', which draws correctly.\n", profiles[i]);
        profile = profiles[i];
        break;
      }
    }
  }
  if (MOJOSHADER_maxShaderModel(profile) <= 1) {
    fprintf(stderr, "MojoShader profile '%s' isn't able to handle Shader Model 2.\n", profile);
    return false;
  }
  MOJOSHADER_glContext* ctx = MOJOSHADER_glCreateContext(profile, MojoLookup, nullptr, nullptr, nullptr, nullptr);
  if (!ctx) {
    fprintf(stderr, "Couldn't create a MojoShader context: %s\n", MOJOSHADER_glGetError());
    return false;
  }
  MOJOSHADER_glMakeContextCurrent(ctx);
  if (m_pMojoContext) MOJOSHADER_glDestroyContext(m_pMojoContext);
  m_pMojoContext = ctx;
  free(m_szMojoProfile);
  m_szMojoProfile = StringDuplicate(profile, kMEMTYPE_String);
  return true;
}

// ---------------------------------------------------------------------------

EDeviceSupport::EDeviceSupport()
    : m_bPixelShaderSupport(false),
      m_szAdapter(nullptr),
      m_szDriver(nullptr),
      m_nVertexShaderConstants(0),
      m_bSoftwareSkinning(false),
      m_dwVertexShaderVersion(0),
      m_dwPixelShaderVersion(0),
      m_nMaxSimultaneousTextures(0),
      m_nTextureImageUnits(0),
      m_bOcclusionQueries(false),
      m_bBorderAddressing(false),
      m_bShaderModel2(false),
      m_bMipmappedCubeMaps(false),
      m_bAnisotropicMin(false),
      m_bAnisotropicMag(false),
      m_bFog(false) {}

EDeviceSupport::~EDeviceSupport() {
  free(m_szAdapter);
  free(m_szDriver);
}

void EDeviceSupport::Initialize(EOpenGLRenderer* m_pGLRenderer, unsigned, unsigned) {
  EASSERT(m_pGLRenderer);
  const char* adapter = (const char*)m_pGLRenderer->glGetString(GL_RENDERER);
  const char* driver = (const char*)m_pGLRenderer->glGetString(GL_VENDOR);
  free(m_szAdapter);
  free(m_szDriver);
  m_szAdapter = StringDuplicate(adapter ? adapter : "", kMEMTYPE_String);
  m_szDriver = StringDuplicate(driver ? driver : "", kMEMTYPE_String);

  GLint units = 0;
  m_pGLRenderer->glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS_ARB, &units);
  const char* profile = m_pGLRenderer->GetMojoShaderProfile();
  int shaderModel = profile ? MOJOSHADER_maxShaderModel(profile) : 0;
  m_nVertexShaderConstants = MOJOSHADER_glMaxUniforms(MOJOSHADER_TYPE_VERTEX);

  unsigned version = (unsigned)shaderModel << 8;
  m_dwVertexShaderVersion = version;
  m_dwPixelShaderVersion = version;
  m_bSoftwareSkinning = !(m_nVertexShaderConstants > 195 && version >= 0x200);
  m_nMaxSimultaneousTextures = 4;
  m_nTextureImageUnits = units;
  m_bBorderAddressing = true;
  m_bShaderModel2 = version >= 0x200;
  m_bMipmappedCubeMaps = true;
  m_bAnisotropicMin = m_pGLRenderer->supports_GL_EXT_texture_filter_anisotropic();
  m_bAnisotropicMag = m_bAnisotropicMin;
  m_bFog = true;
  STUBBED("D3DPTEXTURECAPS_PROJECTED?");
  STUBBED("multisampling");
}

void EDeviceSupport::PostCreate(EOpenGLRenderer* m_pGLRenderer) {
  EASSERT(m_pGLRenderer);
  m_bOcclusionQueries = m_pGLRenderer->supports_GL_ARB_occlusion_query();
}
