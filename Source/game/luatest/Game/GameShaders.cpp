// The game's named shaders: source lookup, loading and refresh.
#include "Game/GameShaders.h"

#include <SDL/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "TWGraphics/Renderer.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

namespace gameshaders {

const char* const kVertexShaderFiles[kNUM_GAME_VERTEX_SHADERS] = {
    "XRay.vsh",       "DiffuseColor.vsh", "Sprite.vsh",    "PointSprite.vsh", "ZSprite.vsh",
    "ParticleBB.vsh", "ParticleBBNonUniform.vsh", "Water.vsh", "CheapWater.vsh", "BaseTexture.vsh",
};

const VBFORMAT kXRayFormats[] = {kVBFORMAT_POSITION_NORMAL, kVBFORMAT_TEXCOORD0, kVBFORMAT_END};
const VBFORMAT kColourFormats[] = {kVBFORMAT_POSITION_COLOR, kVBFORMAT_END};
const VBFORMAT kScreenFormats[] = {kVBFORMAT_POSITION_COLOR_TEXCOORD0, kVBFORMAT_END};
const VBFORMAT kPointFormats[] = {kVBFORMAT_POSITION_COLOR_TEXCOORD5, kVBFORMAT_END};
const VBFORMAT kBillboardFormats[] = {kVBFORMAT_POSITION_COLOR_TEXCOORD0_TEXCOORD5, kVBFORMAT_END};

const VBFORMAT* const kVertexShaderFormats[kNUM_GAME_VERTEX_SHADERS] = {
    kXRayFormats,      kColourFormats,    kScreenFormats, kPointFormats,  kBillboardFormats,
    kBillboardFormats, kBillboardFormats, kColourFormats, kColourFormats, kScreenFormats,
};

// The load order of the named vertex shaders.
const EGameVertexShader kVertexLoadOrder[kNUM_GAME_VERTEX_SHADERS] = {
    kGVS_XRay,       kGVS_DiffuseColor,         kGVS_Sprite,     kGVS_PointSprite, kGVS_ParticleBB,
    kGVS_ParticleBBNonUniform, kGVS_CheapWater, kGVS_Water, kGVS_ZSprite,     kGVS_BaseTexture,
};

const char* const kPixelShaderFiles[kNUM_GAME_PIXEL_SHADER_FILES] = {
    "DiffuseColor.fpo", "DiffuseColorAlpha.fpo", "Color1Tex.fpo", "Color1TexBright.fpo", "Color1TexDetail.fpo",
    "Color1TexDetailBright.fpo", "Color1TexLM.fpo", "Color1TexLMBright.fpo", "Color1TexLMDetail.fpo",
    "Color1TexLMDetailBright.fpo", "Color2Tex.fpo", "Color2TexBright.fpo", "Color2TexDetail.fpo",
    "Color2TexDetailBright.fpo", "Color2TexLM.fpo", "Color2TexLMBright.fpo", "Color2TexLMDetail.fpo",
    "Color2TexLMDetailBright.fpo", "Color2TexMask.fpo", "Color3Tex.fpo", "Color3TexBright.fpo",
    "Color3TexDetail.fpo", "Color3TexDetailBright.fpo", "Color3TexLM.fpo", "Color3TexLMBright.fpo",
    "LuminanceTexture.fpo", "AlphaCombineBlit.fpo", "AlphaInverseCombineBlit.fpo", "SubtractBlit.fpo",
    "ConstantAlphaBlit.fpo", "DestAlpha.fpo", "ReflectCube.fpo", "ReflectCubeBright.fpo", "DiffuseLightBump.fpo",
    "AttenLight.fpo", "AttenLightBase.fpo", "AttenLightLM.fpo", "AttenLightBump.fpo", "FilterBlit.fpo",
    "DistortionBlit.fpo", "SpecularLightPower2.fpo", "SpecularLightPower4.fpo", "SpecularLightPower8.fpo",
    "SpecularLightPower16.fpo", "SpecularLightPower32.fpo", "SpecularLightPower2Bright.fpo",
    "SpecularLightPower4Bright.fpo", "SpecularLightPower8Bright.fpo", "SpecularLightPower16Bright.fpo",
    "SpecularLightPower32Bright.fpo", "LightmapBump.fpo", "LightmapInterp.fpo", "ProjectBase.fpo", "Water.fpo",
    "CheapWater.fpo", "DistortionAlpha.fpo", "EdgeEnhancement.fpo", "ScreenWipeSub.fpo", "ScreenWipeAdd.fpo",
};

bool IsScreenWipe(int i) { return i == kGPS_ScreenWipeSub || i == kGPS_ScreenWipeAdd; }

unsigned DefaultTicks() { return SDL_GetTicks(); }

void DefaultProgressFrame(EGameShaders* pShaders, bool) {
  // Outside the application (which shows its text in its own frame) the
  // frame is cleared and presented.
  EGameShaders::PresentClearedFrame(pShaders->GetRenderer());
}

}  // namespace gameshaders

bool EGameShaders::s_bProgressShown = false;

EGameShaders::EGameShaders(ERenderer* pRenderer)
    : m_pfnTicks(gameshaders::DefaultTicks),
      m_pfnProgressFrame(gameshaders::DefaultProgressFrame),
      m_pRenderer(pRenderer),
      m_bRefreshVertexShaders(false),
      m_bRefreshPixelShaders(false) {
  memset(m_ahVertexShaders, 0, sizeof(m_ahVertexShaders));
  memset(m_ahLinked, 0, sizeof(m_ahLinked));
  memset(m_ahPixelShaders, 0, sizeof(m_ahPixelShaders));
}

const char* EGameShaders::VertexShaderFile(EGameVertexShader which) {
  return gameshaders::kVertexShaderFiles[which];
}

const char* EGameShaders::PixelShaderFile(EGamePixelShader which) {
  return which < kNUM_GAME_PIXEL_SHADER_FILES ? gameshaders::kPixelShaderFiles[which] : nullptr;
}

void EGameShaders::PresentClearedFrame(ERenderer* pRenderer) {
  pRenderer->BeginRender();
  pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 0), true, true, true, 1.0f);
  pRenderer->EndRender();
  pRenderer->Present(false);
}

char* EGameShaders::LoadShaderSource(const char* name, unsigned& length, long long& fileTime, bool pixelShader) {
  char path[EFileManager::kMAX_PATH];
  const char* format = "Workresource\\VertexShaders\\%s";
  if (pixelShader) {
    if (strstr(name, "fpo"))
      format = "Workresource\\PixelShaders\\fpo\\%s";
    else if (strstr(name, "hlps"))
      format = "Workresource\\PixelShaders\\hlps\\%s";
    else
      format = "Workresource\\PixelShaders\\Preprocessed_win32\\%s";
  }
  snprintf(path, sizeof(path), format, name);
  EFile* file = gFile->Open(path, FILE_READ, kFILELOC_Default);
  if (!file) {
    g_ErrorManager.TraceMessagef("Couldn't load shader source: %s", path);
    return nullptr;
  }
  int size = file->GetFilesize();
  if (size < 0) size = 0;
  fileTime = file->GetFiletime();
  char* text = static_cast<char*>(malloc(size ? (size_t)size : 1));
  int got = size ? file->Read(text, size) : 0;
  file->Close();
  if (got != size) {
    free(text);
    g_ErrorManager.TraceMessagef("Couldn't load shader source: %s", path);
    return nullptr;
  }
  length = (unsigned)size;
  return text;
}

unsigned EGameShaders::LoadVertexShader(const char* name, const VBFORMAT* formats) {
  unsigned length = 0;
  long long fileTime = 0;
  char* text = LoadShaderSource(name, length, fileTime, false);
  if (!text) return 0;
  // The working buffer is sized to the text and its closing zero.
  std::vector<char> buffer(length + 1, 0);
  memcpy(buffer.data(), text, length);
  free(text);
  return m_pRenderer->AssembleVertexShader(buffer.data(), length, name, formats, fileTime);
}

unsigned EGameShaders::LoadPixelShader(const char* name) {
  unsigned length = 0;
  long long fileTime = 0;
  char* text = LoadShaderSource(name, length, fileTime, true);
  if (!text) return 0;
  std::vector<char> buffer;
  const unsigned used = PreparePixelShaderText(name, text, length, buffer);
  free(text);
  return m_pRenderer->AssemblePixelShader(buffer.data(), used, name, fileTime);
}

unsigned EGameShaders::PreparePixelShaderText(const char* name, const char* text, unsigned length,
                                              std::vector<char>& out) {
  static const char kVersionLine[] = "ps.1.1\n";
  const unsigned versionLength = sizeof(kVersionLine) - 1;
  // Sized to the text, its version line and a closing zero.
  out.assign(length + versionLength + 1, 0);
  if (strstr(name, "hlps") || strstr(name, "fpo")) {
    memcpy(out.data(), text, length);
    return length;
  }
  memcpy(out.data(), kVersionLine, versionLength);
  memcpy(out.data() + versionLength, text, length);
  return length + versionLength;
}

bool EGameShaders::InitVertexShaders() {
  for (EGameVertexShader which : gameshaders::kVertexLoadOrder)
    m_ahVertexShaders[which] =
        LoadVertexShader(gameshaders::kVertexShaderFiles[which], gameshaders::kVertexShaderFormats[which]);
  InitRunTimeVertexShaders();
  return true;
}

bool EGameShaders::InitPixelShaders() {
  if (!m_pRenderer->DeviceGetPixelShaderSupport()) {
    g_ErrorManager.TraceMessagef("Pixel shaders not supported by this device!\n");
    return true;
  }
  for (int i = 0; i < kNUM_GAME_PIXEL_SHADER_FILES; ++i) {
    // The screen wipes outlive a refresh: the loading screen holds them.
    if (gameshaders::IsScreenWipe(i) && m_ahPixelShaders[i]) continue;
    m_ahPixelShaders[i] = LoadPixelShader(gameshaders::kPixelShaderFiles[i]);
  }
  return true;
}

bool EGameShaders::ShutdownVertexShaders() {
  m_pRenderer->ClearVertexShader();
  ShutdownRunTimeVertexShaders();
  for (unsigned& h : m_ahVertexShaders) {
    if (h) m_pRenderer->DeleteVertexShader(h);
    h = 0;
  }
  return true;
}

bool EGameShaders::ShutdownPixelShaders() {
  m_pRenderer->SetPixelShader(0);
  for (int i = 0; i < kNUM_GAME_PIXEL_SHADERS; ++i) {
    if (gameshaders::IsScreenWipe(i) || !m_ahPixelShaders[i]) continue;
    m_pRenderer->DeletePixelShader(m_ahPixelShaders[i]);
    m_ahPixelShaders[i] = 0;
  }
  return true;
}

void EGameShaders::ServiceRefresh() {
  if (m_bRefreshVertexShaders) {
    ShutdownVertexShaders();
    InitVertexShaders();
    m_bRefreshVertexShaders = false;
  }
  if (m_bRefreshPixelShaders) {
    ShutdownPixelShaders();
    InitPixelShaders();
    m_bRefreshPixelShaders = false;
  }
}
