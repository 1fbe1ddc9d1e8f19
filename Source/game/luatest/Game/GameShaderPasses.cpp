// The shader passes of the 2D sprites and the 3D text, and the two pixel
// shaders the sprites choose between. The shaders are small enough to be
// assembled here once per renderer; ReleaseShaderPasses forgets them when
// the renderer goes away.
#include <mojoshader.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "Game/GameShaderPasses.h"
#include "Game/GameShaders.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Vertex.h"
#include "TWUtil/ErrorManager.h"

namespace {

enum {
  kMATERIAL_COLOUR = 2,        // c2 multiplies the vertex colour
  kSPRITEBLIT_CONSTANTS = 10,  // c10 scale, c11 offset (clip space)
  kZSPRITE_CONSTANTS = 64,     // c64..c67 the matrix, c68 the colour
};

struct ShaderPassCache {
  ERenderer* pRenderer = nullptr;
  uint32_t hSpriteVS = 0;
  uint32_t hZSpriteVS = 0;
  uint32_t hColor1TexPS = 0;
  uint32_t hLuminancePS = 0;
  uint32_t hColorBlitVS = 0;
  uint32_t hConstantColorVS = 0;
  uint32_t hDiffuseColorVS = 0;
  uint32_t hVertexColorPS = 0;
};
ShaderPassCache s_ShaderPasses;

const char kSpriteBlitBody[] =
    "mad oPos, v0, c10, c11\n"
    "mul oD0, v2, c2\n"
    "mov oT0, v3\n";
const char kZSpriteBody[] =
    "dp4 oPos.x, v0, c64\n"
    "dp4 oPos.y, v0, c65\n"
    "dp4 oPos.z, v0, c66\n"
    "dp4 oPos.w, v0, c67\n"
    "mul oD0, v2, c68\n"
    "mov oT0, v3\n";
// A colour over a blit rectangle; one colour, and vertex colours times a
// colour, through the model-to-clip matrix.
const char kColorBlitBody[] =
    "mad oPos, v0, c10, c11\n"
    "mov oD0, c2\n";
const char kConstantColorBody[] =
    "dp4 oPos.x, v0, c64\n"
    "dp4 oPos.y, v0, c65\n"
    "dp4 oPos.z, v0, c66\n"
    "dp4 oPos.w, v0, c67\n"
    "mov oD0, c68\n";
const char kDiffuseColorBody[] =
    "dp4 oPos.x, v0, c64\n"
    "dp4 oPos.y, v0, c65\n"
    "dp4 oPos.z, v0, c66\n"
    "dp4 oPos.w, v0, c67\n"
    "mul oD0, v2, c68\n";
const char kVertexColorSource[] = "ps_2_0\ndcl v0\nmov oC0, v0\n";
const char kColor1TexSource[] = "ps_2_0\ndcl v0\ndcl t0\ndcl_2d s0\ntexld r0, t0, s0\nmul r0, r0, v0\nmov oC0, r0\n";
const char kLuminanceSource[] =
    "ps_2_0\ndcl v0\ndcl t0\ndcl_2d s0\ntexld r0, t0, s0\nmul r0, r0.x, v0\nmov oC0, r0\n";

// Byte code of shader assembly, or null with a trace.
char* ShaderPassAssemble(const std::string& text, unsigned* pSize) {
  const MOJOSHADER_parseData* parsed =
      MOJOSHADER_assemble("pass", text.c_str(), (unsigned)text.size(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr,
                          nullptr, nullptr, nullptr, nullptr);
  if (!parsed || parsed->error_count) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Shader pass does not assemble: %s",
                                 parsed && parsed->errors ? parsed->errors[0].error : "no output");
    if (parsed) MOJOSHADER_freeParseData(parsed);
    return nullptr;
  }
  char* code = static_cast<char*>(malloc(parsed->output_len ? parsed->output_len : 1));
  EASSERT(code);
  memcpy(code, parsed->output, parsed->output_len);
  *pSize = (unsigned)parsed->output_len;
  MOJOSHADER_freeParseData(parsed);
  return code;
}

uint32_t ShaderPassVertex(ERenderer* r, VBFORMAT format, const char* body) {
  std::string text = "vs_2_0\n";
  for (const char* const* line = GetVertexDeclaration(format); line && *line; ++line) text += std::string(*line) + "\n";
  text += body;
  unsigned size = 0;
  char* code = ShaderPassAssemble(text, &size);
  if (!code) return 0;
  const VBFORMAT formats[2] = {format, kVBFORMAT_END};
  uint32_t h = r->createVertexShader(code, (int)size, formats);
  free(code);
  return h;
}

uint32_t ShaderPassPixel(ERenderer* r, const char* source, const char* name) {
  unsigned size = 0;
  char* code = ShaderPassAssemble(source, &size);
  if (!code) return 0;
  uint32_t h = r->createPixelShader(code, (int)size, nullptr, name);
  free(code);
  return h;
}

ShaderPassCache& ShaderPassesFor(ERenderer* r) {
  if (s_ShaderPasses.pRenderer != r) {
    s_ShaderPasses = ShaderPassCache();
    s_ShaderPasses.pRenderer = r;
    s_ShaderPasses.hSpriteVS = ShaderPassVertex(r, kVBFORMAT_POSITION_COLOR_TEXCOORD0, kSpriteBlitBody);
    s_ShaderPasses.hZSpriteVS = ShaderPassVertex(r, kVBFORMAT_POSITION_COLOR_TEXCOORD0_TEXCOORD5, kZSpriteBody);
    s_ShaderPasses.hColor1TexPS = ShaderPassPixel(r, kColor1TexSource, "Color1Tex.fpo");
    s_ShaderPasses.hLuminancePS = ShaderPassPixel(r, kLuminanceSource, "LuminanceTexture.fpo");
    s_ShaderPasses.hColorBlitVS = ShaderPassVertex(r, kVBFORMAT_POSITION_COLOR_TEXCOORD0, kColorBlitBody);
    s_ShaderPasses.hConstantColorVS = ShaderPassVertex(r, kVBFORMAT_POSITION_NORMAL, kConstantColorBody);
    s_ShaderPasses.hDiffuseColorVS = ShaderPassVertex(r, kVBFORMAT_POSITION_COLOR, kDiffuseColorBody);
    s_ShaderPasses.hVertexColorPS = ShaderPassPixel(r, kVertexColorSource, "DiffuseColor.fpo");
  }
  return s_ShaderPasses;
}

// The application's drawing passes when they can serve the call: made,
// on the current renderer, with the library's shaders loaded.
EShaderPasses* ShaderPassesLoaded(EGameVertexShader vs, EGamePixelShader ps) {
  if (!gGameApp || !gGameApp->m_pShaderPasses || !gGameApp->m_pGameShaders) return nullptr;
  if (gGameApp->m_pRenderer != g_pCurrentRenderer) return nullptr;
  const EGameShaders* shaders = gGameApp->m_pGameShaders;
  if (!shaders->GetVertexShader(vs) || (ps != kNUM_GAME_PIXEL_SHADERS && !shaders->GetPixelShader(ps))) return nullptr;
  return gGameApp->m_pShaderPasses;
}

}  // namespace

uint32_t GameApp::GetPassPixelShader(const char* szName) {
  const bool luminance = szName && !strcmp(szName, "LuminanceTexture.fpo");
  if (gGameApp && gGameApp->m_pShaderPasses && gGameApp->m_pGameShaders &&
      gGameApp->m_pRenderer == g_pCurrentRenderer) {
    if (uint32_t h = gGameApp->m_pGameShaders->GetPixelShader(luminance ? kGPS_LuminanceTexture : kGPS_Color1Tex))
      return h;
  }
  ShaderPassCache& c = ShaderPassesFor(g_pCurrentRenderer);
  if (szName && !strcmp(szName, "LuminanceTexture.fpo")) return c.hLuminancePS;
  return c.hColor1TexPS;
}

void GameApp::SetShaderSpriteBlit(const EVec2& scale, const EVec2& offset, const EVec2& screenSize) {
  if (EShaderPasses* passes = ShaderPassesLoaded(kGVS_Sprite, kGPS_Color1Tex)) {
    passes->SetShaderSpriteBlit(scale, offset, screenSize);
    return;
  }
  ERenderer* r = g_pCurrentRenderer;
  ShaderPassCache& c = ShaderPassesFor(r);
  if (!c.hSpriteVS) return;
  const EVec4 k[2] = {
      EVec4(2.0f * scale.x / screenSize.x, -2.0f * scale.y / screenSize.y, 0.0f, 0.0f),
      EVec4(2.0f * offset.x / screenSize.x - 1.0f, 1.0f - 2.0f * offset.y / screenSize.y, 0.0f, 1.0f)};
  const EVec4 white(1.0f, 1.0f, 1.0f, 1.0f);
  r->SetVertexShader(c.hSpriteVS);
  r->SetVertexShaderConstant(kMATERIAL_COLOUR, &white, 1);
  r->SetVertexShaderConstant(kSPRITEBLIT_CONSTANTS, k, 2);
  r->SetPixelShader(c.hColor1TexPS);
}

void GameApp::SetShaderZSprite(const EVec4& colour) {
  if (EShaderPasses* passes = ShaderPassesLoaded(kGVS_ParticleBB, kNUM_GAME_PIXEL_SHADERS)) {
    gGameApp->SyncShaderDrawState();
    passes->SetShaderZSprite(colour);
    return;
  }
  ERenderer* r = g_pCurrentRenderer;
  ShaderPassCache& c = ShaderPassesFor(r);
  if (!c.hZSpriteVS) return;
  // The camera's projection is not wired to this pass yet: positions go
  // through the identity.
  const EVec4 k[5] = {EVec4(1, 0, 0, 0), EVec4(0, 1, 0, 0), EVec4(0, 0, 1, 0), EVec4(0, 0, 0, 1), colour};
  r->SetVertexShader(c.hZSpriteVS);
  r->SetVertexShaderConstant(kZSPRITE_CONSTANTS, k, 5);
  r->SetPixelShader(c.hColor1TexPS);
}

void GameApp::SetShaderColorBlit(const EVec2& size, const EVec2& offset, const EVec2& targetSize,
                                 const EVec4& colour) {
  ERenderer* r = g_pCurrentRenderer;
  ShaderPassCache& c = ShaderPassesFor(r);
  if (!c.hColorBlitVS) return;
  const EVec4 k[2] = {
      EVec4(2.0f * size.x / targetSize.x, -2.0f * size.y / targetSize.y, 0.0f, 0.0f),
      EVec4(2.0f * offset.x / targetSize.x - 1.0f, 1.0f - 2.0f * offset.y / targetSize.y, 0.0f, 1.0f)};
  r->SetVertexShader(c.hColorBlitVS);
  r->SetVertexShaderConstant(kMATERIAL_COLOUR, &colour, 1);
  r->SetVertexShaderConstant(kSPRITEBLIT_CONSTANTS, k, 2);
  r->SetPixelShader(c.hVertexColorPS);
}

namespace {

// The model-to-clip matrix of the application's render state as the four
// columns the vertex shaders take, then the colour.
void ShaderPassModelToClip(const GameApp& app, const EVec4& colour, EVec4* k) {
  EMat4 m = app.GetModelToWorld();
  if (ECamera* pCamera = app.GetRenderCamera()) m = pCamera->GetViewProjMatrix() * m;
  for (int col = 0; col < 4; ++col) k[col] = EVec4(m.m[col], m.m[4 + col], m.m[8 + col], m.m[12 + col]);
  k[4] = colour;
}

}  // namespace

void GameApp::SetShaderConstantColor(const EVec4& colour) {
  ERenderer* r = g_pCurrentRenderer;
  ShaderPassCache& c = ShaderPassesFor(r);
  if (!c.hConstantColorVS) return;
  EVec4 k[5];
  ShaderPassModelToClip(*this, colour, k);
  r->SetVertexShader(c.hConstantColorVS);
  r->SetVertexShaderConstant(kZSPRITE_CONSTANTS, k, 5);
  r->SetPixelShader(c.hVertexColorPS);
}

void GameApp::SetShaderDiffuseColor(const EVec4& colour) {
  ERenderer* r = g_pCurrentRenderer;
  ShaderPassCache& c = ShaderPassesFor(r);
  if (!c.hDiffuseColorVS) return;
  EVec4 k[5];
  ShaderPassModelToClip(*this, colour, k);
  r->SetVertexShader(c.hDiffuseColorVS);
  r->SetVertexShaderConstant(kZSPRITE_CONSTANTS, k, 5);
  r->SetPixelShader(c.hVertexColorPS);
}

void GameApp::ReleaseShaderPasses() { s_ShaderPasses = ShaderPassCache(); }

// ---------------------------------------------------------------------------
// The drawing passes of the shader library.

#include "Game/GameRenderResources.h"
#include "Game/GameShaderPasses.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Primitives.h"
#include "VERirezo/Light.h"

namespace shaderpasses {

// A matrix as four registers: register i holds column i.
void Columns(const EMat4& m, EVec4 out[4]) {
  for (int i = 0; i < 4; ++i) out[i] = EVec4(m.m[i], m.m[4 + i], m.m[8 + i], m.m[12 + i]);
}

// a applied first, then b.
EMat4 Then(const EMat4& a, const EMat4& b) { return b * a; }

const EVec4 kWhite(1, 1, 1, 1);
const EVec4 kBlack(0, 0, 0, 1);
const EVec4 kHalf(0.5f, 0.5f, 0.5f, 0.5f);
const EVec4 kZero(0, 0, 0, 0);
// The water's wave vector and sun direction.
const EVec4 kWaterWave(1, -1, -1, 0.5f);
const EVec4 kWaterSun(-0.3f, -0.56f, 0.77f, 0.3f);

bool SpotAt(ELightBlock* block, int lightOffset) {
  return lightOffset < block->m_iLightCount && block->GetLight(lightOffset) &&
         block->GetLight(lightOffset)->GetType() == kLIGHTTYPE_SPOT;
}

EVec4 RangeTerm(const ELight* light) {
  const float r = light->GetRange() != 0 ? 1.0f / light->GetRange() : 1e9f;
  return EVec4(r, r, r, 1);
}

EVec4 Atten(const ELight* light) {
  return EVec4(light->m_fConstantAtten, light->m_fLinearAtten, light->m_fQuadraticAtten, 1);
}


}  // namespace shaderpasses

EGamePixelShader SpecularPowerPixelShader(float power, bool bright, const char* szMessage) {
  switch ((int)power) {
    case 2: return bright ? kGPS_SpecularLightPower2Bright : kGPS_SpecularLightPower2;
    case 4: return bright ? kGPS_SpecularLightPower4Bright : kGPS_SpecularLightPower4;
    case 8: return bright ? kGPS_SpecularLightPower8Bright : kGPS_SpecularLightPower8;
    case 16: return bright ? kGPS_SpecularLightPower16Bright : kGPS_SpecularLightPower16;
    case 32: return bright ? kGPS_SpecularLightPower32Bright : kGPS_SpecularLightPower32;
    default: break;
  }
  g_ErrorManager.ErrorMessage(__FILE__, __LINE__, szMessage, false);
  return bright ? kGPS_SpecularLightPower2Bright : kGPS_SpecularLightPower2;
}

void CheckLightmapTexCoordIndex(int iTexCoordIndex) { EASSERT(iTexCoordIndex >= 1 && iTexCoordIndex <= 3); }

EShaderPasses::EShaderPasses(ERenderer* pRenderer, EGameShaders* pShaders, EShaderDrawState* pState,
                             ESceneShading* pScene, const ERenderResources* pResources)
    : m_Constants(pRenderer, pState, pScene),
      m_pRenderer(pRenderer),
      m_pShaders(pShaders),
      m_pState(pState),
      m_pScene(pScene),
      m_pResources(pResources),
      m_hFilterMatrixPS(0) {
  if (m_pShaders && m_pRenderer->m_DeviceSupport.m_bPixelShaderSupport)
    m_hFilterMatrixPS = m_pShaders->LoadPixelShader("FilterMatrix.fpo");
}

EShaderPasses::~EShaderPasses() {
  if (m_hFilterMatrixPS) m_pRenderer->DeletePixelShader(m_hFilterMatrixPS);
}

namespace shaderpasses {

// A missing or excluded shader selects none.
void SelectVertexShader(ERenderer* r, unsigned h) {
  if (h) r->SetVertexShader(h);
  else r->ClearVertexShader();
}

}  // namespace shaderpasses

void EShaderPasses::Linked(int g, int d, int f, int t) {
  shaderpasses::SelectVertexShader(m_pRenderer, m_pShaders->GetLinkedShader(g, d, f, t));
}
void EShaderPasses::Named(EGameVertexShader which) {
  shaderpasses::SelectVertexShader(m_pRenderer, m_pShaders->GetVertexShader(which));
}
void EShaderPasses::Pixel(EGamePixelShader which) {
  m_pRenderer->SetPixelShader(which == kGPS_FilterMatrix ? m_hFilterMatrixPS : m_pShaders->GetPixelShader(which));
}
void EShaderPasses::VC(int reg, const EVec4& v) { m_pRenderer->SetVertexShaderConstant(reg, &v, 1); }

void EShaderPasses::Standard(const EVec4& colour, bool fog) {
  m_Constants.SetMaterialVertexConstants(colour);
  m_Constants.SetProjectionVertexConstants();
  if (fog) m_Constants.SetFogVertexConstants();
}

void EShaderPasses::VertexLit(const EVec4& colour, ELightBlock* block, int lightOffset, bool spot) {
  m_Constants.SetVertexLightingConstants(block, lightOffset, colour, spot, false);
  m_Constants.SetFogVertexConstants();
}

void EShaderPasses::DetailConstants() {
  VC(kVSC_DETAIL_SCALE, EVec4(m_pState->m_vDetailFactor.x, m_pState->m_vDetailFactor.y, 1, 1));
}

void EShaderPasses::TransformConstants() {
  VC(kVSC_PASS + 2, shaderpasses::kWhite);
  VC(kVSC_PASS + 3, EVec4(m_pState->m_vTexCoordTrans.x, m_pState->m_vTexCoordTrans.y, 0, 0));
}

EVec4 EShaderPasses::Eye() const {
  const EVec3 e = m_pState->m_mWorldToModel.TransformPoint(m_pState->m_vCameraPosition);
  return EVec4(e.x, e.y, e.z, 1);
}

EVec4 EShaderPasses::LightPosition(const ELight* light) const {
  const EVec3 p = m_pState->m_mLightToModel.TransformPoint(
      light->GetInclusivePosition(&m_pState->m_vDirectionalLightTarget, m_pState->m_pLightRigTarget));
  return EVec4(p.x, p.y, p.z, 1);
}

void EShaderPasses::Aniso(ETextureStageState& s) { m_Constants.SetAnisotropicFiltering(&s, 1); }

void EShaderPasses::LightmapStage(ETextureStageState& s, unsigned lightmap, unsigned palette) {
  s.m_hTexture = lightmap;
  s.m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  if (palette) s.m_hPalette = palette;
  if (m_pState->m_bDebugLights) {
    s.m_eFilterMode = kFILTERMODE_POINT;
    s.m_eMipFilterMode = kFILTERMODE_NONE;
  }
}

void EShaderPasses::BumpStage(ETextureStageState& s, unsigned bump) {
  s.m_hTexture = bump;
  if (bump && m_pRenderer->GetTextureFormat(bump) == kTEXTUREFORMAT_P8) s.m_hPalette = m_hBumpmapPalette;
}

void EShaderPasses::NormalStage(ETextureStageState& s, unsigned bump) {
  if (bump) {
    BumpStage(s, bump);
    return;
  }
  s.m_hTexture = m_pResources ? m_pResources->m_hNormalizationCubemap : 0;
  s.m_eAddressMode = kTEXTUREADDRESS_CLAMP;
}

// ---- Material and colour passes ----

void EShaderPasses::SetShaderColor1Tex(const EVec4& colour, unsigned texture, unsigned palette, bool vc, bool bright,
                                       bool distortionAlpha) {
  const bool detail = HasDetail(), transform = HasTransform();
  Linked(G(), vc ? 1 : 0, F(), detail ? (transform ? 13 : 5) : (transform ? 11 : 1));
  Standard(colour, true);
  if (detail) DetailConstants();
  if (transform) TransformConstants();
  Pixel(distortionAlpha ? kGPS_DistortionAlpha
                        : detail ? (bright ? kGPS_Color1TexDetailBright : kGPS_Color1TexDetail)
                                 : (bright ? kGPS_Color1TexBright : kGPS_Color1Tex));
  ETextureStageState s[2];
  s[0].m_hTexture = texture;
  if (palette) s[0].m_hPalette = palette;
  Aniso(s[0]);
  s[1].m_hTexture = m_pState->m_hDetailTexture;
  m_pRenderer->SetTextureStages(s, detail ? 2 : 1);
}

void EShaderPasses::SetShaderColor1TexLM(const EVec4& colour, unsigned texture, unsigned lightmap, unsigned palette,
                                         bool bright) {
  const bool detail = HasDetail(), transform = HasTransform();
  Linked(G(), 0, F(), detail ? 6 : (transform ? 12 : 2));
  Standard(colour, true);
  if (detail) DetailConstants();
  if (transform) {
    TransformConstants();
    VC(kVSC_PASS + 4, shaderpasses::kZero);
  }
  Pixel(detail ? (bright ? kGPS_Color1TexLMDetailBright : kGPS_Color1TexLMDetail)
               : (bright ? kGPS_Color1TexLMBright : kGPS_Color1TexLM));
  ETextureStageState s[3];
  s[0].m_hTexture = texture;
  Aniso(s[0]);
  LightmapStage(s[1], lightmap, palette);
  s[2].m_hTexture = m_pState->m_hDetailTexture;
  m_pRenderer->SetTextureStages(s, detail ? 3 : 2);
}

void EShaderPasses::SetShaderColor1TexVL(const EVec4& colour, unsigned texture, bool bright, ELightBlock* block,
                                         int lightOffset) {
  const bool detail = HasDetail(), transform = HasTransform();
  const bool bs = shaderpasses::SpotAt(block, lightOffset);
  Linked(G(), bs ? 3 : 2, F(), detail ? (transform ? 13 : 5) : (transform ? 11 : 1));
  VertexLit(colour, block, lightOffset, bs);
  if (detail) DetailConstants();
  if (transform) TransformConstants();
  Pixel(detail ? (bright ? kGPS_Color1TexDetailBright : kGPS_Color1TexDetail)
               : (bright ? kGPS_Color1TexBright : kGPS_Color1Tex));
  ETextureStageState s[2];
  s[0].m_hTexture = texture;
  Aniso(s[0]);
  s[1].m_hTexture = m_pState->m_hDetailTexture;
  m_pRenderer->SetTextureStages(s, detail ? 2 : 1);
}

// The two-texture colour passes' pixel side: the shader by detail and
// brightness, the two textures (optionally clamped) and the detail texture.
void EShaderPasses::Color2TexSurface(unsigned texture0, unsigned texture1, bool detail, bool bright, bool clamp) {
  Pixel(detail ? (bright ? kGPS_Color2TexDetailBright : kGPS_Color2TexDetail)
               : (bright ? kGPS_Color2TexBright : kGPS_Color2Tex));
  ETextureStageState s[3];
  s[0].m_hTexture = texture0;
  Aniso(s[0]);
  s[1].m_hTexture = texture1;
  s[2].m_hTexture = m_pState->m_hDetailTexture;
  if (clamp) s[0].m_eAddressMode = s[1].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  m_pRenderer->SetTextureStages(s, detail ? 3 : 2);
}

void EShaderPasses::SetShaderColor2Tex(const EVec4& colour, unsigned texture0, unsigned texture1, bool vc, bool bright,
                                       bool clamp) {
  const bool detail = HasDetail();
  Linked(G(), vc ? 1 : 0, F(), detail ? 6 : 2);
  Standard(colour, true);
  if (detail) DetailConstants();
  Color2TexSurface(texture0, texture1, detail, bright, clamp);
}

void EShaderPasses::SetShaderColor2TexLM(const EVec4& colour, unsigned texture0, unsigned texture1, unsigned lightmap,
                                         unsigned palette, bool bright) {
  const bool detail = HasDetail();
  Linked(G(), 0, F(), detail ? 7 : 3);
  Standard(colour, true);
  if (detail) DetailConstants();
  Pixel(detail ? (bright ? kGPS_Color2TexLMDetailBright : kGPS_Color2TexLMDetail)
               : (bright ? kGPS_Color2TexLMBright : kGPS_Color2TexLM));
  ETextureStageState s[4];
  s[0].m_hTexture = texture0;
  Aniso(s[0]);
  s[1].m_hTexture = texture1;
  LightmapStage(s[2], lightmap, palette);
  s[3].m_hTexture = m_pState->m_hDetailTexture;
  m_pRenderer->SetTextureStages(s, detail ? 4 : 3);
}

void EShaderPasses::SetShaderColor2TexVL(const EVec4& colour, unsigned texture0, unsigned texture1, bool bright,
                                         ELightBlock* block, int lightOffset) {
  const bool detail = HasDetail();
  const bool bs = shaderpasses::SpotAt(block, lightOffset);
  Linked(G(), bs ? 3 : 2, F(), detail ? 6 : 2);
  VertexLit(colour, block, lightOffset, bs);
  if (detail) DetailConstants();
  Color2TexSurface(texture0, texture1, detail, bright, false);
}

void EShaderPasses::SetShaderColor2TexMask(const EVec4& colour, unsigned texture0, unsigned texture1, bool vc, bool) {
  Linked(G(), vc ? 1 : 0, F(), 2);
  Standard(colour, true);
  Pixel(kGPS_Color2TexMask);
  ETextureStageState s[2];
  s[0].m_hTexture = texture0;
  s[1].m_hTexture = texture1;
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderShaderColor3Tex(const EVec4& colour, unsigned texture0, unsigned texture1,
                                             unsigned texture2, bool vc, bool bright) {
  const bool detail = HasDetail();
  Linked(G(), vc ? 1 : 0, F(), detail ? 7 : 3);
  Standard(colour, true);
  if (detail) DetailConstants();
  Pixel(detail ? (bright ? kGPS_Color3TexDetailBright : kGPS_Color3TexDetail)
               : (bright ? kGPS_Color3TexBright : kGPS_Color3Tex));
  ETextureStageState s[4];
  s[0].m_hTexture = texture0;
  Aniso(s[0]);
  s[1].m_hTexture = texture2;
  s[2].m_hTexture = texture1;
  s[3].m_hTexture = m_pState->m_hDetailTexture;
  m_pRenderer->SetTextureStages(s, 4);
}

void EShaderPasses::SetShaderShaderColor3TexLM(const EVec4& colour, unsigned texture0, unsigned texture1,
                                               unsigned texture2, unsigned lightmap, unsigned palette, bool bright) {
  Linked(G(), 0, F(), 4);
  Standard(colour, true);
  Pixel(bright ? kGPS_Color3TexLMBright : kGPS_Color3TexLM);
  ETextureStageState s[4];
  s[0].m_hTexture = texture0;
  Aniso(s[0]);
  s[1].m_hTexture = texture2;
  s[2].m_hTexture = texture1;
  LightmapStage(s[3], lightmap, palette);
  m_pRenderer->SetTextureStages(s, 4);
}

void EShaderPasses::SetShaderShaderColor3TexVL(const EVec4& colour, unsigned texture0, unsigned texture1,
                                               unsigned texture2, bool bright, ELightBlock* block, int lightOffset) {
  const bool bs = shaderpasses::SpotAt(block, lightOffset);
  Linked(G(), bs ? 3 : 2, F(), 3);
  VertexLit(colour, block, lightOffset, bs);
  Pixel(bright ? kGPS_Color3TexBright : kGPS_Color3Tex);
  ETextureStageState s[3];
  s[0].m_hTexture = texture0;
  Aniso(s[0]);
  s[1].m_hTexture = texture2;
  s[2].m_hTexture = texture1;
  m_pRenderer->SetTextureStages(s, 3);
}

void EShaderPasses::SetShaderVertexColor() {
  Linked(G(), 1, 0, 1);
  Standard(shaderpasses::kWhite, false);
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

void EShaderPasses::SetShaderVertexLight(ELightBlock* block, int lightOffset) {
  const bool bs = shaderpasses::SpotAt(block, lightOffset);
  Linked(G(), bs ? 3 : 2, 0, 0);
  m_Constants.SetVertexLightingConstants(block, lightOffset, shaderpasses::kWhite, bs, false);
  m_Constants.SetProjectionVertexConstants();
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

void EShaderPasses::SetShaderConstantColor(const EVec4& colour, unsigned texture, bool fog) {
  Linked(G(), 0, fog ? F() : 0, texture ? 1 : 0);
  Standard(colour, fog);
  Pixel(texture ? kGPS_DiffuseColorAlpha : kGPS_DiffuseColor);
  ETextureStageState s;
  s.m_hTexture = texture;
  m_pRenderer->SetTextureStages(texture ? &s : nullptr, texture ? 1 : 0);
}

void EShaderPasses::SetShaderDiffuseColor(const EVec4& colour) {
  Named(kGVS_DiffuseColor);
  Standard(colour, false);
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

void EShaderPasses::SetShaderDestAlpha(const EVec4& colour, unsigned texture) {
  Linked(G(), 0, 0, 1);
  Standard(colour, false);
  Pixel(kGPS_DestAlpha);
  ETextureStageState s;
  s.m_hTexture = texture;
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderHalo(EVec4 colour, unsigned texture) {
  Named(kGVS_BaseTexture);
  Standard(colour, false);
  Pixel(kGPS_Color1Tex);
  ETextureStageState s;
  s.m_hTexture = texture;
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderLayeredFog(const EVec4& colour, unsigned texture) {
  Linked(G(), 10, 0, texture ? 1 : 0);
  const EVec3& fog = m_SceneValues.m_vFogColor;
  m_Constants.SetMaterialVertexConstants(EVec4(fog.x * colour.x, fog.y * colour.y, fog.z * colour.z, colour.w));
  m_Constants.SetProjectionVertexConstants();
  m_Constants.SetFogVertexConstants();
  Pixel(texture ? kGPS_DiffuseColorAlpha : kGPS_DiffuseColor);
  ETextureStageState s;
  s.m_hTexture = texture;
  m_pRenderer->SetTextureStages(texture ? &s : nullptr, texture ? 1 : 0);
}

void EShaderPasses::SetShaderVolumeFog(const ESphere& sphere) {
  const EMat4 vp = shaderpasses::Then(m_pState->m_mCameraView, m_pState->m_mCameraProjection);
  const EVec3& c = sphere.centre;
  const float d = c.x * vp.m[3] + c.y * vp.m[7] + c.z * vp.m[11] + vp.m[15];
  const float nearD = d - sphere.radius > 0 ? d - sphere.radius : 0.0f;
  const float farD = nearD + 2 * sphere.radius;
  Linked(G(), 10, 0, 0);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  m_Constants.SetProjectionVertexConstants();
  const float s = SafeDivide(1.0f, farD - nearD);
  VC(kVSC_FOG, EVec4(-s, farD * s, 0, 1));
  VC(kVSC_EYE, Eye());
  EVec4 rows[4];
  shaderpasses::Columns(m_pState->m_mModelToWorld, rows);
  VC(kVSC_WORLD_HEIGHT, rows[1]);
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

void EShaderPasses::SetShaderEdgeAlpha(const EVec4& colour, unsigned texture, bool luminance) {
  const bool transform = HasTransform();
  Linked(G(), luminance ? 12 : 11, F(), transform ? 11 : 1);
  Standard(colour, true);
  VC(kVSC_PASS, Eye());
  if (transform) TransformConstants();
  Pixel(kGPS_Color1Tex);
  ETextureStageState s;
  s.m_hTexture = texture;
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderInvEdgeAlpha(const EVec4& colour, unsigned texture, bool luminance) {
  const bool transform = HasTransform();
  Linked(G(), luminance ? 14 : 13, F(), transform ? 11 : 1);
  Standard(colour, true);
  VC(kVSC_PASS, Eye());
  if (transform) TransformConstants();
  Pixel(kGPS_Color1Tex);
  ETextureStageState s;
  s.m_hTexture = texture;
  s.m_eColorOp = 3;
  s.m_eColorArg1 = 2;
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderXRay(const EVec4& colour, unsigned) {
  Named(kGVS_XRay);
  Standard(colour, false);
  VC(kVSC_PASS, Eye());
  VC(kVSC_PASS + 1, EVec4(0.6f, 0.2f, 0.5f, 0.5f));
  EVec4 rows[4];
  shaderpasses::Columns(shaderpasses::Then(m_pState->m_mModelToWorld, m_pState->m_mCameraView), rows);
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 4, rows, 4);
  Pixel(kGPS_Color1Tex);
  ETextureStageState s;
  s.m_hTexture = m_pResources ? m_pResources->m_hWhiteTexture : 0;
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderDebugNormals() {
  Linked(G(), 15, 0, 0);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  m_Constants.SetProjectionVertexConstants();
  VC(kVSC_PASS, shaderpasses::kHalf);
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

void EShaderPasses::SetShaderDebugBases() {
  Linked(G(), 16, 0, 0);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  m_Constants.SetProjectionVertexConstants();
  VC(kVSC_PASS, shaderpasses::kHalf);
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

// ---- Screen blits ----

void EShaderPasses::Rectangle(const EVec2& size, const EVec2& pos, const EVec2& screen) {
  const EVec4 rect[2] = {EVec4(2 * size.x / screen.x, -2 * size.y / screen.y, 1, 1),
                         EVec4(2 * pos.x / screen.x - 1, -2 * pos.y / screen.y + 1, 0, 0)};
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS, rect, 2);
}

void EShaderPasses::SetShaderColorBlit(const EVec2& size, const EVec2& pos, const EVec2& screen, const EVec4& colour) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 0);
  m_Constants.SetMaterialVertexConstants(colour);
  Rectangle(size, pos, screen);
  Pixel(kGPS_DiffuseColor);
  m_pRenderer->SetTextureStages(nullptr, 0);
}

void EShaderPasses::SetShaderTextureBlit(unsigned texture, EVec2, const EVec2& size, const EVec2& pos,
                                         const EVec2& screen, const EVec4& colour, float alpha, bool point,
                                         bool useTexCoordTransform) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 8);
  m_Constants.SetMaterialVertexConstants(colour);
  Rectangle(size, pos, screen);
  if (useTexCoordTransform) {
    VC(kVSC_PASS + 2, EVec4(m_pState->m_vTexCoordScale.x, m_pState->m_vTexCoordScale.y, 1, 1));
    VC(kVSC_PASS + 3, EVec4(m_pState->m_vTexCoordTrans.x, m_pState->m_vTexCoordTrans.y, 0, 0));
  } else {
    VC(kVSC_PASS + 2, shaderpasses::kWhite);
    VC(kVSC_PASS + 3, shaderpasses::kZero);
  }
  if (alpha != 0) {
    Pixel(kGPS_ConstantAlphaBlit);
    // The renderer keeps pixel constants set this way for the shader.
    const EVec4 c0(1, 1, 1, alpha);
    m_pRenderer->SetPixelShaderConstant(0, &c0, 1);
  } else {
    Pixel(kGPS_Color1Tex);
  }
  ETextureStageState s;
  s.m_hTexture = texture;
  s.m_eAddressMode = kTEXTUREADDRESS_BORDER;
  if (point) {
    s.m_eFilterMode = kFILTERMODE_POINT;
    s.m_eMipFilterMode = kFILTERMODE_NONE;
  } else if (m_pResources && texture && texture == m_pResources->m_hWhiteTexture) {
    s.m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  } else if (useTexCoordTransform) {
    s.m_eAddressMode = kTEXTUREADDRESS_WRAP;
  }
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderFilterBlit(unsigned texture, const EVec2& texSize, const EVec2& size, const EVec2& pos,
                                        const EVec2& screen, FILTERTYPE type, const EVec4& colour) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 10);
  m_Constants.SetMaterialVertexConstants(colour);
  Rectangle(size, pos, screen);
  const EVec4 ones[4] = {shaderpasses::kWhite, shaderpasses::kWhite, shaderpasses::kWhite, shaderpasses::kWhite};
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, ones, 4);
  EVec2 texel(1.0f / texSize.x, 1.0f / texSize.y);
  if (texture && (m_pRenderer->GetTextureFlags(texture) & kTEXTUREFLAG_LINEAR)) texel = EVec2(1, 1);
  EVec4 taps[4] = {shaderpasses::kZero, shaderpasses::kZero, shaderpasses::kZero, shaderpasses::kZero};
  EGamePixelShader ps = kGPS_Color1Tex;
  bool fourStages = false;
  switch (type) {
    case kFILTERTYPE_BOX_9:
    case kFILTERTYPE_BOX_16: {
      const float k = type == kFILTERTYPE_BOX_9 ? 2.0f / 3.0f : 0.999f;
      const EVec2 a(-k * texel.x, -k * texel.y), b(k * texel.x, k * texel.y);
      taps[0] = EVec4(a.x, a.y, 0, 0);
      taps[1] = EVec4(a.x, b.y, 0, 0);
      taps[2] = EVec4(b.x, b.y, 0, 0);
      taps[3] = EVec4(b.x, a.y, 0, 0);
      ps = kGPS_FilterBlit;
      fourStages = true;
      break;
    }
    case kFILTERTYPE_LUMINANCE: ps = kGPS_LuminanceTexture; break;
    case kFILTERTYPE_HORIZONTAL_4:
    case kFILTERTYPE_VERTICAL_4: {
      const float k = 0.999f;
      const bool h = type == kFILTERTYPE_HORIZONTAL_4;
      const float t = h ? texel.x : texel.y;
      const float offsets[4] = {-k * t, -2 * k * t, k * t, 2 * k * t};
      for (int i = 0; i < 4; ++i) taps[i] = h ? EVec4(offsets[i], 0, 0, 0) : EVec4(0, offsets[i], 0, 0);
      ps = kGPS_FilterBlit;
      fourStages = true;
      break;
    }
    case kFILTERTYPE_OFFSET:
    case kFILTERTYPE_OFFSET_LUMINANCE:
      taps[0] = EVec4(-2.0f / 3.0f * texel.x, -2.0f / 3.0f * texel.y, 0, 0);
      ps = type == kFILTERTYPE_OFFSET ? kGPS_Color1Tex : kGPS_LuminanceTexture;
      break;
    case kFILTERTYPE_CHANNEL_SWAP: ps = kGPS_FilterMatrix; break;
    default: break;
  }
  if (type <= kFILTERTYPE_CHANNEL_SWAP) m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 6, taps, 4);
  Pixel(ps);
  if (type == kFILTERTYPE_CHANNEL_SWAP) {
    // Red from green, green from blue, blue from red.
    const EVec4 rows[3] = {EVec4(0, 1, 0, 0), EVec4(0, 0, 1, 0), EVec4(1, 0, 0, 0)};
    m_pRenderer->SetPixelShaderConstant(0, rows, 3);
  }
  ETextureStageState s[4];
  for (ETextureStageState& st : s) {
    st.m_hTexture = texture;
    st.m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  }
  m_pRenderer->SetTextureStages(s, fourStages ? 4 : 1);
}

void EShaderPasses::SetShaderAveragedBlit(const unsigned textures[4], const EVec2& size, const EVec2& pos,
                                          const EVec2& screen, const EVec4&) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 10);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  Rectangle(size, pos, screen);
  const EVec4 c[8] = {shaderpasses::kWhite, shaderpasses::kWhite, shaderpasses::kWhite, shaderpasses::kWhite,
                      shaderpasses::kZero,  shaderpasses::kZero,  shaderpasses::kZero,  shaderpasses::kZero};
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, c, 8);
  Pixel(kGPS_FilterBlit);
  ETextureStageState s[4];
  for (int i = 0; i < 4; ++i) {
    s[i].m_hTexture = textures[i];
    s[i].m_eAddressMode = kTEXTUREADDRESS_BORDER;
  }
  m_pRenderer->SetTextureStages(s, 4);
}

void EShaderPasses::SetShaderAlphaCombineBlit(unsigned colourTexture, unsigned alphaTexture, EVec2, const EVec2& size,
                                              const EVec2& pos, const EVec2& screen, const EVec4& colour, bool inverse,
                                              const EVec2* alphaScale) {
  AlphaCombine(colourTexture, alphaTexture, size, pos, screen, colour, inverse, alphaScale, nullptr,
               kTEXTUREADDRESS_BORDER);
}

void EShaderPasses::SetShaderAlphaCombineSprite(unsigned colourTexture, unsigned alphaTexture, EVec2,
                                                const EVec2& size, const EVec2& pos, const EVec2& screen,
                                                const EVec4& colour, bool inverse, const EVec2* alphaScale,
                                                const EVec2* alphaOffset) {
  AlphaCombine(colourTexture, alphaTexture, size, pos, screen, colour, inverse, alphaScale, alphaOffset,
               kTEXTUREADDRESS_WRAP);
}

void EShaderPasses::AlphaCombine(unsigned colourTexture, unsigned alphaTexture, const EVec2& size, const EVec2& pos,
                                 const EVec2& screen, const EVec4& colour, bool inverse, const EVec2* alphaScale,
                                 const EVec2* alphaOffset, int colourAddress) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 9);
  m_Constants.SetMaterialVertexConstants(colour);
  Rectangle(size, pos, screen);
  EVec4 c[4] = {shaderpasses::kWhite, shaderpasses::kWhite, shaderpasses::kZero, shaderpasses::kZero};
  if (alphaScale) c[0].x *= alphaScale->x, c[0].y *= alphaScale->y;
  if (alphaOffset) c[2] = EVec4(alphaOffset->x, alphaOffset->y, 0, 0);
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, c, 4);
  Pixel(inverse ? kGPS_AlphaInverseCombineBlit : kGPS_AlphaCombineBlit);
  ETextureStageState s[2];
  s[0].m_hTexture = colourTexture;
  s[0].m_eAddressMode = (TEXTUREADDRESSMODE)colourAddress;
  s[1].m_hTexture = alphaTexture;
  s[1].m_eAddressMode = kTEXTUREADDRESS_BORDER;
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderSubtractBlit(unsigned texture0, unsigned texture1, EVec2, const EVec2& size,
                                          const EVec2& pos, const EVec2& screen, const EVec4& colour) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 9);
  m_Constants.SetMaterialVertexConstants(colour);
  Rectangle(size, pos, screen);
  const EVec4 c[4] = {shaderpasses::kWhite, shaderpasses::kWhite, shaderpasses::kZero, shaderpasses::kZero};
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, c, 4);
  Pixel(kGPS_SubtractBlit);
  ETextureStageState s[2];
  s[0].m_hTexture = texture0;
  s[0].m_eAddressMode = kTEXTUREADDRESS_BORDER;
  s[1].m_hTexture = texture1;
  s[1].m_eAddressMode = kTEXTUREADDRESS_BORDER;
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderDistortionBlit(unsigned screenTexture, unsigned distortionTexture, EVec2,
                                            const EVec2& size, EVec2, const EVec2& pos, const EVec2& screen,
                                            const EVec2& scroll, float strength) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 38);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  Rectangle(size, pos, screen);
  const float k = strength / 480.0f;
  const EVec4 c[5] = {shaderpasses::kWhite, shaderpasses::kWhite, EVec4(scroll.x, scroll.y, 0, 0),
                      shaderpasses::kZero, EVec4(k, k, k, k)};
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, c, 5);
  Pixel(kGPS_DistortionBlit);
  ETextureStageState s[3];
  s[0].m_hTexture = distortionTexture;
  s[0].m_eAddressMode = kTEXTUREADDRESS_WRAP;
  s[2].m_hTexture = screenTexture;
  s[2].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  m_pRenderer->SetTextureStages(s, 3);
}

void EShaderPasses::SetShaderEdgeEnhancement(unsigned texture, unsigned, const EVec2& texSize, const EVec2& size,
                                             const EVec2& pos, const EVec2& screen, const EVec4& colour,
                                             const EVec2* scale) {
  Linked(kVSGEOM_TRANSFORM, 0, 0, 9);
  m_Constants.SetMaterialVertexConstants(colour);
  Rectangle(size, pos, screen);
  float tx = 1.0f / texSize.x;
  if (texture && (m_pRenderer->GetTextureFlags(texture) & kTEXTUREFLAG_LINEAR)) tx *= texSize.x;
  EVec4 c[4] = {shaderpasses::kWhite, shaderpasses::kWhite, EVec4(-2.0f / 3.0f * tx, 0, 0, 0),
                EVec4(2.0f / 3.0f * tx, 0, 0, 0)};
  if (scale) c[0].x *= scale->x, c[0].y *= scale->y;
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, c, 4);
  Pixel(kGPS_EdgeEnhancement);
  ETextureStageState s[2];
  for (ETextureStageState& st : s) {
    st.m_hTexture = texture;
    st.m_eAddressMode = kTEXTUREADDRESS_BORDER;
  }
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderSpriteBlit(const EVec2& size, const EVec2& pos, const EVec2& screen) {
  Named(kGVS_Sprite);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  Rectangle(size, pos, screen);
  Pixel(kGPS_Color1Tex);
}

// ---- Particles, sprites and water ----

void EShaderPasses::SetShaderParticleBillboard(float scaleX, float scaleY, const EVec4& colour) {
  const bool nonUniform = (scaleX > 0 && fabsf(scaleX - 1) > 1e-5f) || (scaleY > 0 && fabsf(scaleY - 1) > 1e-5f);
  Named(nonUniform ? kGVS_ParticleBBNonUniform : kGVS_ParticleBB);
  Standard(colour, true);
  // The billboard turns the camera's view back: its rows are the camera's
  // right and up axes in the world.
  EVec3 b0, b1, b2;
  m_pState->m_mCameraView.OrthoInverse().GetBasisVectors(b0, b1, b2);
  const EMat4 vp = shaderpasses::Then(m_pState->m_mCameraView, m_pState->m_mCameraProjection);
  const EVec3 right = vp.Mul3Vec3(-b0), up = vp.Mul3Vec3(b1);
  VC(kVSC_PASS, EVec4(right.x, right.y, right.z, 0));
  VC(kVSC_PASS + 4, EVec4(up.x, up.y, up.z, 0));
  if (nonUniform) VC(kVSC_PASS + 5, EVec4(scaleX, scaleY, 1, 1));
  VC(kVSC_PASS + 7, EVec4(64, 0, 0.03125f, 96));
  m_pRenderer->SetPixelShader(0);
}

void EShaderPasses::SetShaderPointSprite(const EVec4& colour) {
  Named(kGVS_PointSprite);
  Standard(colour, true);
  EVec4 rows[4];
  shaderpasses::Columns(shaderpasses::Then(m_pState->m_mModelToWorld, m_pState->m_mCameraView), rows);
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS, rows, 4);
  VC(kVSC_PASS + 4, EVec4(64, 480, 32, 64));
  m_pRenderer->SetPixelShader(0);
}

void EShaderPasses::SetShaderWater(const EMat4& matrix, unsigned reflectionTexture, bool waterBump, bool fresnel) {
  Named(m_bCheapWater ? kGVS_CheapWater : kGVS_Water);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kWhite);
  m_Constants.SetProjectionVertexConstants();
  EVec4 c[12];
  shaderpasses::Columns(matrix, c);
  // One degree every ten seconds of game time.
  const double tenths = std::trunc(m_dSimElapsedTime / 10.0);
  const float angle = (float)std::fmod(tenths, 360.0);
  c[4] = EVec4(0.002f, 0.5f, Sine(angle), 0);
  c[5] = shaderpasses::kWaterWave;
  c[6] = EVec4(m_SceneValues.m_fReflectionScale, 0.5f, m_SceneValues.m_fRefractionScale, 0.5f);
  const EVec3& eye = m_pState->m_vCameraPosition;
  c[7] = EVec4(eye.x, eye.y, eye.z, 0.5f);
  c[8] = EVec4(-1.0f / 896.0f, 1024.0f / 896.0f, 0, 0);
  const EVec4& sun = shaderpasses::kWaterSun;
  c[9] = EVec4(0.5f - 0.5f * sun.x, 0.5f + 0.5f * sun.z, 0.5f + 0.5f * sun.y, 0.497f);
  c[10] = EVec4(sun.x, sun.y, sun.z, 32);
  c[11] = EVec4(0, 0, 1, 1);
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS, c, 12);
  Pixel(m_bCheapWater ? kGPS_CheapWater : kGPS_Water);
  ETextureStageState s[4];
  s[0].m_hTexture = waterBump ? m_Water.m_hWaterBumpTexture : (m_pResources ? m_pResources->m_hBlackTexture : 0);
  s[0].m_bSigned = true;
  s[0].m_fMipLODBias = -3;
  s[1].m_hTexture = reflectionTexture;
  s[1].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  s[2].m_hTexture = m_Water.m_hRefractionTexture;
  s[2].m_eAddressMode = kTEXTUREADDRESS_WRAP;
  s[3].m_hTexture = fresnel ? m_Water.m_hFresnelTexture : (m_pResources ? m_pResources->m_hZeroAlphaTexture : 0);
  s[3].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  m_pRenderer->SetTextureStages(s, 4);
  const float* r = m_Water.m_mReflectionBump.m;
  const float* f = m_Water.m_mRefractionBump.m;
  const float* n = m_Water.m_mFresnelBump.m;
  m_pRenderer->BumpEnvMatSet(1, r[0], r[1], r[4], r[5]);
  m_pRenderer->BumpEnvMatSet(2, -f[0], -f[1], -f[4], -f[5]);
  m_pRenderer->BumpEnvMatSet(3, n[0], n[1], n[4], n[5]);
}

// ---- Lights, lightmaps, specular and reflection ----

void EShaderPasses::AttenLightCommon(ELight* light) {
  VC(kVSC_PASS, LightPosition(light));
  VC(kVSC_PASS + 1, shaderpasses::RangeTerm(light));
  VC(kVSC_PASS + 2, shaderpasses::kHalf);
}

namespace shaderpasses {

EVec4 LightColour(const ELight* light, EMeshEntity* rig, float h, const EVec4& by) {
  const EVec3 c = light->GetCompoundColor(rig) * h;
  return EVec4(c.x * by.x, c.y * by.y, c.z * by.z, by.w);
}

// The four attenuation stages: two falloff maps, the normalisation cube map
// and the base or bump map; returns the count.
int AttenStages(ETextureStageState s[4], const ERenderResources* res) {
  s[0].m_hTexture = s[1].m_hTexture = res ? res->m_hExponentTexture : 0;
  s[0].m_eAddressMode = s[1].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  s[2].m_hTexture = res ? res->m_hNormalizationCubemap : 0;
  s[2].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  return 3;
}

}  // namespace shaderpasses

// The attenuated light's pixel side on a plain, textured or bumped surface:
// the pixel shader, c0 = the light's colour times the tint, and the stages.
void EShaderPasses::AttenLightSurface(ELight* light, unsigned base, unsigned bump, bool half, const EVec4& tint) {
  AttenLightCommon(light);
  Pixel(base ? kGPS_AttenLightBase : bump ? kGPS_AttenLightBump : kGPS_AttenLight);
  const EVec4 c0 = shaderpasses::LightColour(light, m_pState->m_pLightRigTarget, half ? 0.5f : 1.0f, tint);
  m_pRenderer->SetPixelShaderConstant(0, &c0, 1);
  ETextureStageState s[4];
  int count = shaderpasses::AttenStages(s, m_pResources);
  if (base) {
    s[3].m_hTexture = base;
    Aniso(s[3]);
    count = 4;
  } else if (bump) {
    BumpStage(s[3], bump);
    count = 4;
  }
  m_pRenderer->SetTextureStages(s, (unsigned)count);
}

void EShaderPasses::SetShaderAttenLight(const EVec4& colour, ELight* light, unsigned base, unsigned bump,
                                        bool vertexColour, bool half) {
  const int tA = base ? 31 : bump ? 32 : 30;
  Linked(G(), vertexColour ? 1 : 0, 0, tA);
  m_Constants.SetMaterialVertexConstants(vertexColour ? colour : shaderpasses::kBlack);
  m_Constants.SetProjectionVertexConstants();
  AttenLightSurface(light, base, bump, half, colour);
}

void EShaderPasses::SetShaderAttenLightLM(const EVec4& colour, ELight* light, unsigned lightmap, unsigned palette,
                                          int texCoordIndex, bool half) {
  CheckLightmapTexCoordIndex(texCoordIndex);
  Linked(G(), 0, 0, 32 + texCoordIndex);
  Standard(colour, false);
  AttenLightCommon(light);
  Pixel(kGPS_AttenLightLM);
  const EVec4 c0 = shaderpasses::LightColour(light, m_pState->m_pLightRigTarget, half ? 0.5f : 1.0f, EVec4(1, 1, 1, 1));
  m_pRenderer->SetPixelShaderConstant(0, &c0, 1);
  ETextureStageState s[4];
  shaderpasses::AttenStages(s, m_pResources);
  LightmapStage(s[3], lightmap, palette);
  m_pRenderer->SetTextureStages(s, 4);
}

void EShaderPasses::SetShaderAttenLightVL(const EVec4& colour, ELight* light, unsigned base, unsigned bump, bool half,
                                          ELightBlock* block, int lightOffset) {
  const int tA = base ? 31 : bump ? 32 : 30;
  const bool bs = shaderpasses::SpotAt(block, lightOffset);
  Linked(G(), bs ? 3 : 2, 0, tA);
  m_Constants.SetVertexLightingConstants(block, lightOffset, colour, bs, false);
  AttenLightSurface(light, base, bump, half, EVec4(1, 1, 1, 1));
}

void EShaderPasses::SetShaderDiffuseLightPixel(ELight* light, float intensity, unsigned bump) {
  const bool spot = light->GetType() == kLIGHTTYPE_SPOT;
  Linked(G(), 0, 0, spot ? 15 : 14);
  m_Constants.SetMaterialVertexConstants(shaderpasses::kBlack);
  m_Constants.SetProjectionVertexConstants();
  SetShaderDiffuseLightPixelTail(light, intensity, bump, spot);
}

void EShaderPasses::SetShaderDiffuseLightPixelVL(ELight* light, float intensity, unsigned bump, ELightBlock* block,
                                                 int lightOffset) {
  const bool spot = light->GetType() == kLIGHTTYPE_SPOT;
  const bool bs = shaderpasses::SpotAt(block, lightOffset);
  Linked(G(), bs ? 3 : 2, 0, spot ? 15 : 14);
  m_Constants.SetVertexLightingConstants(block, lightOffset, shaderpasses::kWhite, bs, false);
  SetShaderDiffuseLightPixelTail(light, intensity, bump, spot);
}

void EShaderPasses::SetShaderDiffuseLightPixelTail(ELight* light, float intensity, unsigned bump, bool spot) {
  VC(kVSC_PASS, LightPosition(light));
  VC(kVSC_PASS + 1, shaderpasses::Atten(light));
  if (spot) {
    const EVec3 d = m_pState->m_mModelToWorld.Transpose().Mul3Vec3(light->GetInclusiveDirection());
    const float cosOuter = Cosine(light->m_fConeAngle);
    const float cosInner = Cosine(light->m_fConeAngle - light->m_fPenumbraAngle);
    const float s = SafeDivide(1.0f, cosOuter - cosInner);
    const EVec4 spots[2] = {EVec4(d.x, d.y, d.z, 1), EVec4(-s, cosOuter * s, 0, 0)};
    m_pRenderer->SetVertexShaderConstant(kVSC_PASS + 2, spots, 2);
  }
  Pixel(kGPS_DiffuseLightBump);
  const EVec3 c = light->GetCompoundColor(m_pState->m_pLightRigTarget) * intensity;
  const EVec4 c0(c.x, c.y, c.z, 1);
  m_pRenderer->SetPixelShaderConstant(0, &c0, 1);
  ETextureStageState s[2];
  BumpStage(s[0], bump);
  s[1].m_hTexture = m_pResources ? m_pResources->m_hNormalizationCubemap : 0;
  s[1].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderLightmap(const EVec4& colour, unsigned lightmap, unsigned palette, int texCoordIndex) {
  CheckLightmapTexCoordIndex(texCoordIndex);
  Linked(G(), 0, 0, 16 + texCoordIndex);
  Standard(colour, false);
  Pixel(kGPS_Color1Tex);
  ETextureStageState s;
  LightmapStage(s, lightmap, palette);
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderLightmapBump(const EVec4& colour, unsigned bump, unsigned lightmap, unsigned palette,
                                          int texCoordIndex) {
  CheckLightmapTexCoordIndex(texCoordIndex);
  Linked(G(), 0, 0, 19 + texCoordIndex);
  Standard(colour, false);
  Pixel(kGPS_LightmapBump);
  ETextureStageState s[3];
  BumpStage(s[0], bump);
  s[1].m_hTexture = m_pResources ? m_pResources->m_hNormalizationCubemap : 0;
  s[1].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  LightmapStage(s[2], lightmap, palette);
  m_pRenderer->SetTextureStages(s, 3);
}

void EShaderPasses::SetShaderLightmapInterp(const EVec4& colour, unsigned lightmap1, unsigned palette1,
                                            unsigned lightmap2, unsigned palette2, int texCoordIndex) {
  CheckLightmapTexCoordIndex(texCoordIndex);
  Linked(G(), 0, 0, 25 + texCoordIndex);
  Standard(colour, false);
  Pixel(kGPS_LightmapInterp);
  ETextureStageState s[2];
  LightmapStage(s[0], lightmap1, palette1);
  LightmapStage(s[1], lightmap2, palette2);
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderSpecularLightVL(const EVec4& colour, float power, unsigned texture, ELightBlock* block,
                                             int lightOffset) {
  Linked(G(), 4, F(), 1);
  m_Constants.SetVertexLightingConstants(block, lightOffset, colour, false, true);
  m_Constants.SetFogVertexConstants();
  VC(kVSC_PASS, Eye());
  VC(kVSC_PASS + 1, EVec4(power, 0, 0, 0));
  Pixel(kGPS_Color1Tex);
  ETextureStageState s;
  s.m_hTexture = texture;
  m_pRenderer->SetTextureStages(&s, 1);
}

void EShaderPasses::SetShaderSpecularLightPixel(ELight* light, float scale, const EVec4& colour, float power,
                                                unsigned bump, unsigned gloss) {
  const EGamePixelShader ps =
      SpecularPowerPixelShader(power, false, "Unsupported specular power in SetShaderSpecularLightPixel");
  Linked(G(), 5, F(), 16);
  const EVec3 c = light->GetCompoundColor(m_pState->m_pLightRigTarget);
  m_Constants.SetMaterialVertexConstants(EVec4(c.x * colour.x * scale, c.y * colour.y * scale, c.z * colour.z * scale, 1));
  m_Constants.SetProjectionVertexConstants();
  m_Constants.SetFogVertexConstants();
  VC(kVSC_PASS, Eye());
  const EVec3 p = m_pState->m_mWorldToModel.TransformPoint(light->GetInclusivePosition(nullptr, m_pState->m_pLightRigTarget));
  VC(kVSC_PASS + 1, EVec4(p.x, p.y, p.z, 1));
  VC(kVSC_PASS + 2, shaderpasses::Atten(light));
  VC(kVSC_PASS + 3, shaderpasses::kHalf);
  Pixel(ps);
  ETextureStageState s[2];
  NormalStage(s[0], bump);
  s[1].m_hTexture = gloss;
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderSpecularLightmap(const EVec4& colour, float power, unsigned bump, unsigned lightmap,
                                              unsigned palette, int texCoordIndex) {
  CheckLightmapTexCoordIndex(texCoordIndex);
  const EGamePixelShader ps =
      SpecularPowerPixelShader(power, true, "Unsupported specular power in SetShaderSpecularLightmap");
  Linked(G(), 6, F(), 22 + texCoordIndex);
  Standard(colour, true);
  VC(kVSC_PASS, Eye());
  VC(kVSC_PASS + 1, shaderpasses::kHalf);
  Pixel(ps);
  ETextureStageState s[2];
  NormalStage(s[0], bump);
  s[1].m_hTexture = lightmap;
  if (palette) s[1].m_hPalette = palette;
  if (m_pState->m_bDebugLights) {
    s[1].m_eFilterMode = kFILTERMODE_POINT;
    s[1].m_eMipFilterMode = kFILTERMODE_NONE;
  }
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderSpecularVertexColor(const EVec4& colour, float power, unsigned bump) {
  const EGamePixelShader ps =
      SpecularPowerPixelShader(power, true, "Unsupported specular power in SetShaderSpecularVertexColorBump");
  Linked(G(), 7, F(), 16);
  Standard(colour, true);
  VC(kVSC_PASS, Eye());
  VC(kVSC_PASS + 1, shaderpasses::kHalf);
  VC(kVSC_DETAIL_SCALE, shaderpasses::kWhite);
  Pixel(ps);
  ETextureStageState s[2];
  NormalStage(s[0], bump);
  s[1].m_hTexture = m_pResources ? m_pResources->m_hWhiteTexture : 0;
  m_pRenderer->SetTextureStages(s, 2);
}

void EShaderPasses::SetShaderReflectCube(const EVec4& colour, unsigned bump, unsigned cube, bool vertexColour,
                                         bool fresnel, bool bright) {
  using shaderpasses::Then;
  Linked(G(), fresnel ? 8 : (vertexColour ? 1 : 0), F(), 29);
  Standard(colour, true);
  static const EMat4 s_mNegIdentity(-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1);
  const EMat4 R = Then(m_pState->m_mModelToWorld, m_pState->m_mCameraView);
  EMat4 Vr = m_pState->m_mCameraView.OrthoInverse();
  Vr.SetTranslation(EVec3(0, 0, 0));
  EMat4 Rr = R;
  Rr.SetTranslation(EVec3(0, 0, 0));
  EMat4 A = Then(Rr, Vr).Transpose();
  A.m[3] = m_pState->m_vTexCoordTrans.x;
  A.m[7] = m_pState->m_vTexCoordTrans.y;
  const EMat4 B = Then(Then(R, s_mNegIdentity), Vr).Transpose();
  EVec4 rows[6];
  for (int i = 0; i < 3; ++i) {
    rows[i] = EVec4(A.m[4 * i], A.m[4 * i + 1], A.m[4 * i + 2], A.m[4 * i + 3]);
    rows[3 + i] = EVec4(B.m[4 * i], B.m[4 * i + 1], B.m[4 * i + 2], B.m[4 * i + 3]);
  }
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS, rows, 6);
  if (fresnel) VC(kVSC_PASS + 6, Eye());
  Pixel(bright ? kGPS_ReflectCubeBright : kGPS_ReflectCube);
  ETextureStageState s[4];
  if (bump) BumpStage(s[0], bump);
  s[3].m_hTexture = cube;
  s[3].m_eAddressMode = kTEXTUREADDRESS_CLAMP;
  m_pRenderer->SetTextureStages(s, 4);
}

// ---- Projected textures and shadows ----

void EShaderPasses::SetShaderProjectedTexture(unsigned projTexture, unsigned baseTexture, const EVec4& colour,
                                              const EMat4& texMatrix, const EVec3& position, const EVec3& direction,
                                              float nearFade, float farFade, bool twoWay, float positionW) {
  const bool fade = farFade != 0 && farFade >= nearFade;
  Linked(G(), 9, F(), baseTexture ? 37 : 36);
  Standard(colour, true);
  const EVec3 p = m_pState->m_mLightToModel.TransformPoint(position);
  const EVec3 d = m_pState->m_mModelToWorld.Transpose().Mul3Vec3(-direction);
  EVec4 t[4];
  shaderpasses::Columns(texMatrix, t);
  EVec4 c[7] = {EVec4(p.x, p.y, p.z, positionW), EVec4(d.x, d.y, d.z, 1),
                twoWay ? EVec4(1, 0, 0, 0) : EVec4(0, 1, 0, 0), t[0], t[1], t[2], EVec4(0, 1, 0, 0)};
  if (fade) {
    const float s = SafeDivide(1.0f, farFade - nearFade);
    c[6] = EVec4(-s, farFade * s, 0, 0);
  }
  m_pRenderer->SetVertexShaderConstant(kVSC_PASS, c, 7);
  Pixel(baseTexture ? kGPS_ProjectBase : kGPS_Color1Tex);
  ETextureStageState s[2];
  s[0].m_hTexture = projTexture;
  s[0].m_eAddressMode = kTEXTUREADDRESS_BORDER;
  s[0].m_bProjected = true;
  s[1].m_hTexture = baseTexture;
  m_pRenderer->SetTextureStages(s, baseTexture ? 2 : 1);
}

void EShaderPasses::SetShaderProjectedShadow(const EShadowCaster* caster, unsigned baseTexture) {
  if (!caster) return;  // no shadow camera, no pass
  const EVec3& pos = caster->m_vCameraPosition;
  const EVec3& view = caster->m_vCameraView;
  const EVec3& target = caster->m_vCameraTarget;
  const EVec3 up = (-view).CalculateRightVector(cg_vDefaultRightVector);
  const float size = caster->m_bPlayer ? 1000.0f : 100.0f;
  float nearD = (pos - target).Length() + size * 0.125f;
  float farD = nearD + size * 0.875f;
  if (caster->m_bSolidShadow) nearD += 3000, farD += 3000;
  const EMat4 T = ERenderer::CreateOrthoTexGenMatrix(pos, target - view * 10.0f, up,
                                                     (float)caster->m_dwViewportWidth,
                                                     (float)caster->m_dwViewportHeight, 1.0f, farD);
  const EMat4 M = shaderpasses::Then(m_pState->m_mModelToWorld, T);
  float a = m_SceneValues.m_vShadowColor.w * caster->m_fShadowAlpha;
  if (m_pState->m_iGlareMode != -1) a = 1;
  if (m_SceneValues.m_bShaderLOD) {
    const float d2 = caster->m_bPlayer ? 0.0f : (m_pState->m_vCameraPosition - caster->m_vEntityPosition).Mag2();
    if (!caster->m_bSolidShadow && d2 > 2560000.0f) {
      float f = (sqrtf(d2) - 1600.0f) / 800.0f;
      f = f < 0 ? 0 : f > 1 ? 1 : f;
      a *= 1 - f;
    }
  }
  if (caster->m_fInvisibility != 0) {
    const float k = 1 - caster->m_fInvisibility;
    a *= k > 0.5f ? k : 0.5f;
  }
  float w = m_SceneValues.m_fShadowCullingBias;
  if (!m_SceneValues.m_bShadowFixedDirection && w > -1000.0f) w = -1000.0f;
  SetShaderProjectedTexture(caster->m_hShadowTexture, baseTexture, EVec4(1, 1, 1, a), M, pos, view, nearD, farD, true,
                            w);
}
