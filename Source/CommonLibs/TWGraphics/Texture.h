// Renderer textures, the elements of the "Textures" pool.
#pragma once

#include "TWGraphics/Renderer.h"
#include "TWUtil/DataArray.h"

// The OpenGL internal format that textures of a format are stored with.
unsigned TextureInternalFormat(TEXTUREFORMAT format);

class ETexture : public EDataElement {
public:
  ETexture();
  ~ETexture();

  // Called around a change of video mode, which loses every OpenGL object:
  // dynamic, render-target and depth textures are rebuilt empty.
  void PreReset();
  void PostReset();

  // Surfaces: one per level, six times that for a cube map; none for a
  // depth texture.
  unsigned SurfaceCount() const;

  TEXTUREFORMAT m_eFormat;  // -1 for depth textures
  TEXTURETYPE m_eType;
  unsigned m_dwFlags;
  unsigned m_dwWidth;
  unsigned m_dwHeight;
  unsigned m_dwDepth;  // 1 unless a volume
  unsigned m_dwMipMapLevels;
  EOpenGLRenderer* m_pGLRenderer;  // not owned
  unsigned m_texture;
  unsigned m_renderbuffer;
  uint8_t* m_pLockBuffer;       // owned, only while a surface is locked
  uint8_t* m_pSurfaceWritten;   // owned; 1 once the surface was uploaded
  int m_iDepthBits;             // depth textures: 16 or 32
  unsigned m_dwLockCount;
  uint8_t** m_ppSaved;  // written surfaces kept across a reset, one per surface
};
