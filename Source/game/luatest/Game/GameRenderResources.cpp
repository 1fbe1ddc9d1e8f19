// The procedural textures and unit vertex buffers of the render passes.
#include "Game/GameRenderResources.h"

#include <cmath>
#include <cstring>

#include "Game/GameRender.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"

namespace renderresources {

// A one-level texture of the format and size, filled by fill(pixels);
// 0 when it cannot be made or locked.
template <class Fill>
unsigned MakeTexture(ERenderer* r, TEXTUREFORMAT format, unsigned width, unsigned height, unsigned levels,
                     Fill fill) {
  HTEXTURE h = r->CreateBitmapTexture(format, width, height, levels, 0);
  if (!h) return 0;
  void* p = r->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)-1, true);
  if (!p) {
    r->DeleteTexture(h, true);
    return 0;
  }
  fill(p);
  r->UnlockTexture(h, 0, false, (CUBEMAPFACE)-1);
  if (levels != 1) r->FilterTexture(h, true);
  return h;
}

struct ScreenVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};
struct WorldVertex {
  float x, y, z, nx, ny, nz;
};

template <class T>
uint32_t MakeBuffer(ERenderer* r, VBFORMAT format, const T* vertices, unsigned count, const char* name) {
  EASSERT(GetVertexSize(format) == sizeof(T));
  uint32_t vb = r->CreateVertexBuffer(format, count, 0, name);
  if (!vb) return 0;
  void* p = r->LockVertexBuffer(vb, 0, 0, 0);
  if (!p) {
    r->DeleteVertexBuffer(vb);
    return 0;
  }
  memcpy(p, vertices, sizeof(T) * count);
  r->UnlockVertexBuffer(vb);
  return vb;
}

void DrawUnit(ERenderer* r, uint32_t vb, VBDRAWMODE mode, unsigned count) {
  if (vb) r->DrawUnindexedVertexBuffers(mode, 1, &vb, count, 0);
}

}  // namespace renderresources

unsigned CreateLuminTexture(ERenderer* pRenderer, float value) {
  return renderresources::MakeTexture(pRenderer, kTEXTUREFORMAT_L8, 1, 1, 1,
                                      [value](void* p) { *static_cast<uint8_t*>(p) = (uint8_t)(value * 255.0f); });
}

unsigned CreateZeroAlphaTexture(ERenderer* pRenderer) {
  return renderresources::MakeTexture(pRenderer, kTEXTUREFORMAT_A8, 1, 1, 1,
                                      [](void* p) { *static_cast<uint8_t*>(p) = 0; });
}

unsigned CreateErrorTexture(ERenderer* pRenderer) {
  const uint32_t magenta = ColorVectorToRGBA(EVec4(1, 0, 1, 1));
  return renderresources::MakeTexture(pRenderer, kTEXTUREFORMAT_8888, 1, 1, 1,
                                      [magenta](void* p) { memcpy(p, &magenta, 4); });
}

unsigned CreateNullBumpmapTexture(ERenderer* pRenderer) {
  const uint32_t flat = 0xFF7F7FFFu;
  return renderresources::MakeTexture(pRenderer, kTEXTUREFORMAT_8888, 1, 1, 1,
                                      [flat](void* p) { memcpy(p, &flat, 4); });
}

unsigned CreateDebugTexture(ERenderer* pRenderer) {
  return renderresources::MakeTexture(pRenderer, kTEXTUREFORMAT_L8, 64, 64, 0, [](void* p) {
    uint8_t* texels = static_cast<uint8_t*>(p);
    for (int row = 0; row < 64; ++row)
      for (int column = 0; column < 64; ++column)
        texels[row * 64 + column] = (((row / 32) ^ (column / 32)) & 1) ? 255 : 0;
  });
}

unsigned CreateExponentTexture(ERenderer* pRenderer) {
  return renderresources::MakeTexture(pRenderer, kTEXTUREFORMAT_L8, 256, 256, 0, [](void* p) {
    uint8_t* texels = static_cast<uint8_t*>(p);
    for (int row = 0; row < 256; ++row) {
      const float a = ((2.0f * row + 1.0f) / 256.0f - 1.0f) * 2.0f;
      for (int column = 0; column < 256; ++column) {
        const float c = ((2.0f * column + 1.0f) / 256.0f - 1.0f) * 2.0f;
        const float fIntensity = expf(-a * a) * expf(-c * c);
        EASSERT(fIntensity >= 0.0f && fIntensity <= 1.0f);
        texels[row * 256 + column] = (uint8_t)(fIntensity * 255.0f);
      }
    }
  });
}

unsigned CreateNormalizationCubemap(ERenderer* pRenderer, unsigned edge) {
  HTEXTURE h = pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_0888, edge, 1, 0);
  if (!h) return 0;
  const float last = edge > 1 ? (float)(edge - 1) : 1.0f;
  for (int face = 0; face < 6; ++face) {
    uint32_t* texels =
        static_cast<uint32_t*>(pRenderer->LockTexture(h, 0, nullptr, false, (CUBEMAPFACE)face, true));
    if (!texels) {
      pRenderer->DeleteTexture(h, true);
      return 0;
    }
    for (unsigned j = 0; j < edge; ++j)
      for (unsigned k = 0; k < edge; ++k)
        texels[j * edge + k] = NormalVectorToRGBA(GetCubemapNormal((CUBEMAPFACE)face, k / last, j / last));
    pRenderer->UnlockTexture(h, 0, false, (CUBEMAPFACE)face);
  }
  return h;
}

uint32_t CreateUnitScreenTriVB(ERenderer* pRenderer) {
  const renderresources::ScreenVertex tri[3] = {
      {0, -1, 0, 0xFFFFFFFFu, 0, -1}, {2, 1, 0, 0xFFFFFFFFu, 2, 1}, {0, 1, 0, 0xFFFFFFFFu, 0, 1}};
  return renderresources::MakeBuffer(pRenderer, kVBFORMAT_POSITION_COLOR_TEXCOORD0, tri, 3, "Unit Screen Tri");
}

uint32_t CreateUnitWorldQuadVB(ERenderer* pRenderer) {
  const renderresources::WorldVertex quad[6] = {{-1, -1, 0, 0, 0, 1}, {1, -1, 0, 0, 0, 1}, {-1, 1, 0, 0, 0, 1},
                                                {-1, 1, 0, 0, 0, 1},  {1, -1, 0, 0, 0, 1}, {1, 1, 0, 0, 0, 1}};
  return renderresources::MakeBuffer(pRenderer, kVBFORMAT_POSITION_NORMAL, quad, 6, "Unit World Quad");
}

uint32_t CreateUnitWorldBoxVB(ERenderer* pRenderer) {
  static const float kPairs[6][2] = {{-1, -1}, {1, -1}, {-1, 1}, {-1, 1}, {1, -1}, {1, 1}};
  renderresources::WorldVertex box[36];
  int n = 0;
  for (int axis = 0; axis < 3; ++axis)
    for (int side = -1; side <= 1; side += 2)
      for (int k = 0; k < 6; ++k) {
        float b = kPairs[k][0];
        const float c = kPairs[k][1];
        if (axis == 1) b = -b;
        if (side == 1) b = -b;
        const float s = (float)side;
        float p[3], nrm[3] = {0, 0, 0};
        if (axis == 0) p[0] = s, p[1] = b, p[2] = c;
        else if (axis == 1) p[0] = b, p[1] = s, p[2] = c;
        else p[0] = b, p[1] = c, p[2] = s;
        nrm[axis] = s;
        box[n++] = {p[0], p[1], p[2], nrm[0], nrm[1], nrm[2]};
      }
  return renderresources::MakeBuffer(pRenderer, kVBFORMAT_POSITION_NORMAL, box, 36, "Unit World Box");
}

void CreateRenderResources(ERenderer* pRenderer, ERenderResources& out) {
  out.m_hWhiteTexture = CreateLuminTexture(pRenderer, 1.0f);
  out.m_hBlackTexture = CreateLuminTexture(pRenderer, 0.0f);
  out.m_hGreyTexture = CreateLuminTexture(pRenderer, 0.5f);
  out.m_hErrorTexture = CreateErrorTexture(pRenderer);
  out.m_hNullBumpmapTexture = CreateNullBumpmapTexture(pRenderer);
  out.m_hDebugTexture = CreateDebugTexture(pRenderer);
  out.m_hExponentTexture = CreateExponentTexture(pRenderer);
  out.m_hNormalizationCubemap = CreateNormalizationCubemap(pRenderer, 256);
  out.m_hZeroAlphaTexture = CreateZeroAlphaTexture(pRenderer);
  out.m_hUnitScreenTriVB = CreateUnitScreenTriVB(pRenderer);
  out.m_hUnitWorldQuadVB = CreateUnitWorldQuadVB(pRenderer);
  out.m_hUnitWorldBoxVB = CreateUnitWorldBoxVB(pRenderer);
}

void DestroyRenderResources(ERenderer* pRenderer, ERenderResources& res) {
  unsigned* textures[] = {&res.m_hWhiteTexture,       &res.m_hBlackTexture,     &res.m_hGreyTexture,
                          &res.m_hNullBumpmapTexture, &res.m_hDebugTexture,     &res.m_hExponentTexture,
                          &res.m_hNormalizationCubemap, &res.m_hErrorTexture, &res.m_hZeroAlphaTexture};
  for (unsigned* h : textures) {
    if (*h) pRenderer->DeleteTexture(*h, true);
    *h = 0;
  }
  uint32_t* buffers[] = {&res.m_hUnitScreenTriVB, &res.m_hUnitWorldQuadVB, &res.m_hUnitWorldBoxVB};
  for (uint32_t* vb : buffers) {
    if (*vb) pRenderer->DeleteVertexBuffer(*vb);
    *vb = 0;
  }
}

void RenderUnitScreenTri(ERenderer* pRenderer, const ERenderResources& res) {
  renderresources::DrawUnit(pRenderer, res.m_hUnitScreenTriVB, kVBDRAWMODE_TRIANGLESTRIP, 3);
}

void RenderUnitWorldQuad(ERenderer* pRenderer, const ERenderResources& res) {
  renderresources::DrawUnit(pRenderer, res.m_hUnitWorldQuadVB, kVBDRAWMODE_TRIANGLELIST, 6);
}

void RenderUnitWorldBox(ERenderer* pRenderer, const ERenderResources& res) {
  renderresources::DrawUnit(pRenderer, res.m_hUnitWorldBoxVB, kVBDRAWMODE_TRIANGLELIST, 36);
}
