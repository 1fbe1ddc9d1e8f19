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

}  // namespace

uint32_t GameApp::GetPassPixelShader(const char* szName) {
  ShaderPassCache& c = ShaderPassesFor(g_pCurrentRenderer);
  if (szName && !strcmp(szName, "LuminanceTexture.fpo")) return c.hLuminancePS;
  return c.hColor1TexPS;
}

void GameApp::SetShaderSpriteBlit(const EVec2& scale, const EVec2& offset, const EVec2& screenSize) {
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
