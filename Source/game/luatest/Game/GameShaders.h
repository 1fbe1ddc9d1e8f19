// The game's shader library: the named vertex and pixel shaders and the
// table of run-time linked vertex shaders, loaded from the shader folders
// and assembled by the renderer, with their refresh between frames.
#pragma once

#include <cstdint>
#include <vector>

#include "Game/LinkedShaders.h"

class ERenderer;

enum EGameVertexShader {
  kGVS_XRay,
  kGVS_DiffuseColor,
  kGVS_Sprite,
  kGVS_PointSprite,
  kGVS_ZSprite,
  kGVS_ParticleBB,
  kGVS_ParticleBBNonUniform,
  kGVS_Water,
  kGVS_CheapWater,
  kGVS_BaseTexture,
  kNUM_GAME_VERTEX_SHADERS
};

// In load order; kGPS_FilterMatrix is the slot no file fills.
enum EGamePixelShader {
  kGPS_DiffuseColor, kGPS_DiffuseColorAlpha, kGPS_Color1Tex, kGPS_Color1TexBright, kGPS_Color1TexDetail,
  kGPS_Color1TexDetailBright, kGPS_Color1TexLM, kGPS_Color1TexLMBright, kGPS_Color1TexLMDetail,
  kGPS_Color1TexLMDetailBright, kGPS_Color2Tex, kGPS_Color2TexBright, kGPS_Color2TexDetail,
  kGPS_Color2TexDetailBright, kGPS_Color2TexLM, kGPS_Color2TexLMBright, kGPS_Color2TexLMDetail,
  kGPS_Color2TexLMDetailBright, kGPS_Color2TexMask, kGPS_Color3Tex, kGPS_Color3TexBright, kGPS_Color3TexDetail,
  kGPS_Color3TexDetailBright, kGPS_Color3TexLM, kGPS_Color3TexLMBright, kGPS_LuminanceTexture,
  kGPS_AlphaCombineBlit, kGPS_AlphaInverseCombineBlit, kGPS_SubtractBlit, kGPS_ConstantAlphaBlit, kGPS_DestAlpha,
  kGPS_ReflectCube, kGPS_ReflectCubeBright, kGPS_DiffuseLightBump, kGPS_AttenLight, kGPS_AttenLightBase,
  kGPS_AttenLightLM, kGPS_AttenLightBump, kGPS_FilterBlit, kGPS_DistortionBlit, kGPS_SpecularLightPower2,
  kGPS_SpecularLightPower4, kGPS_SpecularLightPower8, kGPS_SpecularLightPower16, kGPS_SpecularLightPower32,
  kGPS_SpecularLightPower2Bright, kGPS_SpecularLightPower4Bright, kGPS_SpecularLightPower8Bright,
  kGPS_SpecularLightPower16Bright, kGPS_SpecularLightPower32Bright, kGPS_LightmapBump, kGPS_LightmapInterp,
  kGPS_ProjectBase, kGPS_Water, kGPS_CheapWater, kGPS_DistortionAlpha, kGPS_EdgeEnhancement, kGPS_ScreenWipeSub,
  kGPS_ScreenWipeAdd,
  kNUM_GAME_PIXEL_SHADER_FILES,  // 59
  kGPS_FilterMatrix = kNUM_GAME_PIXEL_SHADER_FILES,
  kNUM_GAME_PIXEL_SHADERS
};

class EGameShaders {
public:
  explicit EGameShaders(ERenderer* pRenderer);
  ~EGameShaders() {}

  // Reads a source file into a block from malloc of exactly length bytes
  // that the caller frees; null (with a trace) when it cannot be opened.
  char* LoadShaderSource(const char* name, unsigned& length, long long& fileTime, bool pixelShader);
  unsigned LoadVertexShader(const char* name, const VBFORMAT* formats);
  unsigned LoadPixelShader(const char* name);
  // The text a pixel shader is assembled from: as read for "fpo" and
  // "hlps" names, else after the version line "ps.1.1\n". Returns its length.
  static unsigned PreparePixelShaderText(const char* name, const char* text, unsigned length,
                                         std::vector<char>& out);

  bool InitVertexShaders();
  bool InitPixelShaders();
  bool ShutdownVertexShaders();
  // Leaves the two screen-wipe shaders, which the loading screen keeps.
  bool ShutdownPixelShaders();

  void InitRunTimeVertexShaders();
  void ShutdownRunTimeVertexShaders();
  char* LoadGeomShaderSource(int g, unsigned& length, long long& fileTime);
  char* LoadDiffuseShaderSource(int d, unsigned& length, long long& fileTime);
  char* LoadFogShaderSource(int f, unsigned& length, long long& fileTime);
  char* LoadTextureShaderSource(int t, unsigned& length, long long& fileTime);

  // Refresh requests, served by ServiceRefresh at the start of the next
  // frame's drawing.
  void RequestVertexShaderRefresh() { m_bRefreshVertexShaders = true; }
  void RequestPixelShaderRefresh() { m_bRefreshPixelShaders = true; }
  bool IsVertexShaderRefreshRequested() const { return m_bRefreshVertexShaders; }
  bool IsPixelShaderRefreshRequested() const { return m_bRefreshPixelShaders; }
  void ServiceRefresh();

  unsigned GetVertexShader(EGameVertexShader which) const { return m_ahVertexShaders[which]; }
  unsigned GetPixelShader(EGamePixelShader which) const { return m_ahPixelShaders[which]; }
  unsigned GetLinkedShader(int g, int d, int f, int t) const { return m_ahLinked[LinkedShaderIndex(g, d, f, t)]; }
  const unsigned* GetLinkedTable() const { return m_ahLinked; }

  static const char* VertexShaderFile(EGameVertexShader which);
  static const char* PixelShaderFile(EGamePixelShader which);

  // The clock the linked build measures itself with (SDL_GetTicks unless
  // replaced) and the frame shown while a long build runs; the frame is
  // called with true for the progress text and false for the final clear.
  unsigned (*m_pfnTicks)();
  void (*m_pfnProgressFrame)(EGameShaders* pShaders, bool bShowText);
  // Set once the progress frame has been shown in this run of the program.
  static bool s_bProgressShown;
  enum { kPROGRESS_AFTER_MS = 5000 };

  ERenderer* GetRenderer() const { return m_pRenderer; }
  // Clears colour, depth and stencil to black and presents the frame.
  static void PresentClearedFrame(ERenderer* pRenderer);

private:
  ERenderer* m_pRenderer;
  unsigned m_ahVertexShaders[kNUM_GAME_VERTEX_SHADERS];
  unsigned m_ahLinked[kNUM_LINKED_SHADERS];
  unsigned m_ahPixelShaders[kNUM_GAME_PIXEL_SHADERS];
  bool m_bRefreshVertexShaders;
  bool m_bRefreshPixelShaders;
};
