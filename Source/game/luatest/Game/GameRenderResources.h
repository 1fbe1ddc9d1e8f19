// The textures and unit geometry every render pass may use, made once when
// rendering starts: small procedural textures and three unit vertex buffers.
#pragma once

#include <cstdint>

class ERenderer;

struct ERenderResources {
  // Renderer texture handles, 0 when their maker failed.
  unsigned m_hWhiteTexture = 0;  // luminance 1.0
  unsigned m_hBlackTexture = 0;  // luminance 0.0
  unsigned m_hGreyTexture = 0;   // luminance 0.5
  unsigned m_hErrorTexture = 0;
  unsigned m_hNullBumpmapTexture = 0;
  unsigned m_hDebugTexture = 0;
  unsigned m_hExponentTexture = 0;
  unsigned m_hNormalizationCubemap = 0;
  unsigned m_hZeroAlphaTexture = 0;
  // Unit vertex buffers.
  uint32_t m_hUnitScreenTriVB = 0;
  uint32_t m_hUnitWorldQuadVB = 0;
  uint32_t m_hUnitWorldBoxVB = 0;
};

// The procedural textures, each a renderer handle or 0.
unsigned CreateLuminTexture(ERenderer* pRenderer, float value);
unsigned CreateZeroAlphaTexture(ERenderer* pRenderer);
unsigned CreateErrorTexture(ERenderer* pRenderer);
unsigned CreateNullBumpmapTexture(ERenderer* pRenderer);
unsigned CreateDebugTexture(ERenderer* pRenderer);
unsigned CreateExponentTexture(ERenderer* pRenderer);
unsigned CreateNormalizationCubemap(ERenderer* pRenderer, unsigned edge);

// The unit vertex buffers, each a renderer handle or 0.
uint32_t CreateUnitScreenTriVB(ERenderer* pRenderer);
uint32_t CreateUnitWorldQuadVB(ERenderer* pRenderer);
uint32_t CreateUnitWorldBoxVB(ERenderer* pRenderer);

// Makes every texture (white, black, grey, error, null bump map, debug,
// exponent, normalisation cube map of 256, zero alpha) and the three
// buffers; destroy frees what is non-zero and zeroes it.
void CreateRenderResources(ERenderer* pRenderer, ERenderResources& out);
void DestroyRenderResources(ERenderer* pRenderer, ERenderResources& res);

// Draw the unit geometry with whatever shaders and state are set.
void RenderUnitScreenTri(ERenderer* pRenderer, const ERenderResources& res);
void RenderUnitWorldQuad(ERenderer* pRenderer, const ERenderResources& res);
void RenderUnitWorldBox(ERenderer* pRenderer, const ERenderResources& res);
