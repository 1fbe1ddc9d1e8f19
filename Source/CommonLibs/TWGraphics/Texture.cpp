#include "TWGraphics/Texture.h"

#include <mojoshader.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "TWGraphics/Color.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWUtil/ErrorManager.h"

namespace {

struct FormatGL {
  unsigned bytes;  // per texel; 0 for the block formats
  GLenum internalFormat;
  GLenum format;
  GLenum type;
};

// 0555 is uploaded as RGBA 5-5-5-1 (its one bit dropped by the RGB5
// storage): OpenGL takes that packed type with four components only.
const FormatGL kFormats[kNUM_TEXTUREFORMATS] = {
    {4, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV},
    {4, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV},
    {2, GL_RGBA4, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4},
    {2, GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1},
    {2, GL_RGB5, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1},
    {2, GL_RGB5, GL_RGB, GL_UNSIGNED_SHORT_5_6_5},
    {1, GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE},
    {1, GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE},
    {1, GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE},
    {0, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, GL_RGBA, GL_UNSIGNED_BYTE},
    {0, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, GL_RGBA, GL_UNSIGNED_BYTE},
    {0, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, GL_RGBA, GL_UNSIGNED_BYTE},
    {2, GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE},
    {4, GL_LUMINANCE16_ALPHA16, GL_LUMINANCE_ALPHA, GL_UNSIGNED_SHORT},
    {1, GL_RED, GL_RED, GL_UNSIGNED_BYTE},
};

bool FormatKnown(TEXTUREFORMAT f) { return (unsigned)f < (unsigned)kNUM_TEXTUREFORMATS; }

GLenum ConvertInternalFormat(TEXTUREFORMAT f) {
  if (!FormatKnown(f)) {
    EERRORF("Unknown texture format: %i", (int)f);
    return 0;
  }
  if (f == kTEXTUREFORMAT_P8) STUBBED("this is wrong");
  return kFormats[f].internalFormat;
}

GLenum ConvertFormat(TEXTUREFORMAT f) {
  if (!FormatKnown(f)) {
    EERRORF("Unknown texture format: %i", (int)f);
    return 0;
  }
  if (f == kTEXTUREFORMAT_P8) STUBBED("this is wrong");
  return kFormats[f].format;
}

GLenum ConvertType(TEXTUREFORMAT f) {
  if (!FormatKnown(f)) {
    EERRORF("Unknown texture format: %i", (int)f);
    return 0;
  }
  if (f == kTEXTUREFORMAT_P8) STUBBED("this is wrong");
  return kFormats[f].type;
}

unsigned BlockBytes(TEXTUREFORMAT f) { return f == kTEXTUREFORMAT_DXT1 ? 8u : 16u; }

unsigned Shrink(unsigned size, unsigned level) {
  unsigned s = level < 32 ? size >> level : 0;
  return s ? s : 1;
}

// Halvings before every dimension reaches 0.
unsigned FullChain(unsigned w, unsigned h, unsigned d) {
  unsigned n = 0;
  while (w || h || d) {
    ++n;
    w >>= 1;
    h >>= 1;
    d >>= 1;
  }
  return n;
}

GLenum TargetOfType(TEXTURETYPE type) {
  switch (type) {
    case kTEXTURETYPE_CUBEMAP: return GL_TEXTURE_CUBE_MAP;
    case kTEXTURETYPE_VOLUME: return GL_TEXTURE_3D;
    default: return GL_TEXTURE_2D;
  }
}

// Generates a texture and defines every level of it from zeros.
GLuint DefineTexture(EOpenGLRenderer* gl, TEXTUREFORMAT format, TEXTURETYPE type, unsigned w, unsigned h,
                     unsigned d, unsigned levels) {
  const GLenum target = TargetOfType(type);
  GLuint tex = 0;
  gl->glGenTextures(1, &tex);
  gl->glBindTexture(target, tex);
  gl->glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
  gl->glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, (GLint)levels - 1);
  size_t bytes = (size_t)w * h * 4 * (type == kTEXTURETYPE_VOLUME ? d : 1);
  void* zeros = calloc(bytes ? bytes : 1, 1);
  EASSERT(zeros);
  const GLenum internalFormat = ConvertInternalFormat(format);
  const GLenum uploadFormat = TextureFormatCompressed(format) ? GL_RGBA : ConvertFormat(format);
  const GLenum uploadType = ConvertType(format);
  if (type == kTEXTURETYPE_VOLUME) {
    // Volumes are defined with the table's own format, block formats too.
    for (unsigned l = 0; l < levels; ++l)
      gl->glTexImage3D(GL_TEXTURE_3D, (GLint)l, (GLint)internalFormat, (GLsizei)Shrink(w, l), (GLsizei)Shrink(h, l),
                       (GLsizei)Shrink(d, l), 0, ConvertFormat(format), uploadType, zeros);
  } else {
    const int faces = type == kTEXTURETYPE_CUBEMAP ? 6 : 1;
    for (int face = 0; face < faces; ++face) {
      GLenum faceTarget = type == kTEXTURETYPE_CUBEMAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
      for (unsigned l = 0; l < levels; ++l)
        gl->glTexImage2D(faceTarget, (GLint)l, (GLint)internalFormat, (GLsizei)Shrink(w, l), (GLsizei)Shrink(h, l), 0,
                         uploadFormat, uploadType, zeros);
    }
  }
  free(zeros);
  gl->glBindTexture(target, 0);
  return tex;
}

GLuint DefineDepthTexture(EOpenGLRenderer* gl, unsigned w, unsigned h, int bits) {
  void* zeros = calloc((size_t)w * h * 4 + 1, 1);
  EASSERT(zeros);
  GLuint tex = 0;
  gl->glGenTextures(1, &tex);
  gl->glBindTexture(GL_TEXTURE_2D, tex);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  gl->glTexImage2D(GL_TEXTURE_2D, 0, bits == 16 ? GL_DEPTH_COMPONENT16 : GL_DEPTH_COMPONENT24, (GLsizei)w,
                   (GLsizei)h, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_BYTE, zeros);
  gl->glBindTexture(GL_TEXTURE_2D, 0);
  free(zeros);
  return tex;
}

// Row pitch and byte size of one surface of a level.
void SurfaceLayout(const ETexture* t, unsigned level, unsigned& w, unsigned& h, unsigned& d, unsigned& pitch,
                   unsigned& size) {
  w = Shrink(t->m_dwWidth, level);
  h = Shrink(t->m_dwHeight, level);
  d = Shrink(t->m_dwDepth, level);
  if (TextureFormatCompressed(t->m_eFormat)) {
    EASSERT(d == 1);
    pitch = ((w + 3) / 4) * BlockBytes(t->m_eFormat);
    size = ((h + 3) / 4) * pitch;
  } else {
    unsigned bpp = TextureFormatBytesPerPixel(t->m_eFormat);
    pitch = w * bpp;
    size = w * h * d * bpp;
  }
}

// Reads one surface of the texture back from OpenGL.
void ReadSurface(EOpenGLRenderer* gl, const ETexture* t, unsigned level, unsigned face, void* dst) {
  const GLenum target = TargetOfType(t->m_eType);
  const GLenum source = t->m_eType == kTEXTURETYPE_CUBEMAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : target;
  gl->glBindTexture(target, t->m_texture);
  if (TextureFormatCompressed(t->m_eFormat))
    gl->glGetCompressedTexImage(source, (GLint)level, dst);
  else
    gl->glGetTexImage(source, (GLint)level, ConvertFormat(t->m_eFormat), ConvertType(t->m_eFormat), dst);
  gl->glBindTexture(target, 0);
}

// Replaces one whole surface of the texture.
void UploadSurface(EOpenGLRenderer* gl, const ETexture* t, unsigned level, unsigned face, const void* src) {
  unsigned w, h, d, pitch, size;
  SurfaceLayout(t, level, w, h, d, pitch, size);
  const TEXTUREFORMAT f = t->m_eFormat;
  const bool compressed = TextureFormatCompressed(f);
  switch (t->m_eType) {
    case kTEXTURETYPE_BITMAP:
    case kTEXTURETYPE_CUBEMAP: {
      const GLenum target = t->m_eType == kTEXTURETYPE_CUBEMAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
      gl->glBindTexture(TargetOfType(t->m_eType), t->m_texture);
      if (compressed)
        gl->glCompressedTexSubImage2D(target, (GLint)level, 0, 0, (GLsizei)w, (GLsizei)h, ConvertInternalFormat(f),
                                      (GLsizei)size, src);
      else
        gl->glTexSubImage2D(target, (GLint)level, 0, 0, (GLsizei)w, (GLsizei)h, ConvertFormat(f), ConvertType(f), src);
      break;
    }
    case kTEXTURETYPE_VOLUME:
      gl->glBindTexture(GL_TEXTURE_3D, t->m_texture);
      if (compressed)
        gl->glCompressedTexSubImage3D(GL_TEXTURE_3D, (GLint)level, 0, 0, 0, (GLsizei)w, (GLsizei)h, (GLsizei)d,
                                      ConvertInternalFormat(f), (GLsizei)size, src);
      else
        gl->glTexSubImage3D(GL_TEXTURE_3D, (GLint)level, 0, 0, 0, (GLsizei)w, (GLsizei)h, (GLsizei)d, ConvertFormat(f),
                            ConvertType(f), src);
      break;
    default:
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown texture type in UnlockTexture", false);
      return;
  }
  gl->glBindTexture(TargetOfType(t->m_eType), 0);
}

}  // namespace

unsigned TextureInternalFormat(TEXTUREFORMAT format) { return ConvertInternalFormat(format); }

unsigned TextureFormatBytesPerPixel(TEXTUREFORMAT format) {
  if (!FormatKnown(format) || kFormats[format].bytes == 0) {
    EERRORF("Unknown or compressed texture format: %i", (int)format);
    return 0;
  }
  return kFormats[format].bytes;
}

bool TextureFormatCompressed(TEXTUREFORMAT format) {
  return format == kTEXTUREFORMAT_DXT1 || format == kTEXTUREFORMAT_DXT3 || format == kTEXTUREFORMAT_DXT5;
}

bool TextureIsFrameBuffer(HTEXTURE hTexture) { return hTexture >= HTEXTURE_DEPTHBUFFER; }

// ---------------------------------------------------------------------------

ETexture::ETexture()
    : m_eFormat(kTEXTUREFORMAT_8888),
      m_eType(kTEXTURETYPE_BITMAP),
      m_dwFlags(0),
      m_dwWidth(0),
      m_dwHeight(0),
      m_dwDepth(0),
      m_dwMipMapLevels(0),
      m_pGLRenderer(nullptr),
      m_texture(0),
      m_renderbuffer(0),
      m_pLockBuffer(nullptr),
      m_pSurfaceWritten(nullptr),
      m_iDepthBits(0),
      m_dwLockCount(0),
      m_ppSaved(nullptr) {}

ETexture::~ETexture() {
  free(m_pLockBuffer);
  m_pLockBuffer = nullptr;
  free(m_pSurfaceWritten);
  m_pSurfaceWritten = nullptr;
  if (m_ppSaved) {
    for (unsigned i = 0; i < SurfaceCount(); ++i) free(m_ppSaved[i]);
    free(m_ppSaved);
    m_ppSaved = nullptr;
  }
}

unsigned ETexture::SurfaceCount() const {
  if (m_eType == kTEXTURETYPE_DEPTHBUFFER) return 0;
  return m_dwMipMapLevels * (m_eType == kTEXTURETYPE_CUBEMAP ? 6 : 1);
}

void ETexture::PreReset() {
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (!(m_dwFlags & (kTEXTUREFLAG_RENDERTARGET | kTEXTUREFLAG_DYNAMIC)) && m_eType != kTEXTURETYPE_DEPTHBUFFER) {
    // A new video mode comes with a new OpenGL context, which has none of
    // the old objects: keep the written surfaces to upload them again.
    if (!m_texture || m_dwFlags & kTEXTUREFLAG_SURFACE_ALIAS) return;
    const unsigned surfaces = SurfaceCount();
    m_ppSaved = static_cast<uint8_t**>(calloc(surfaces + 1, sizeof(uint8_t*)));
    EASSERT(m_ppSaved);
    for (unsigned i = 0; i < surfaces; ++i) {
      if (m_pSurfaceWritten[i] != 1) continue;
      unsigned level = i % m_dwMipMapLevels, face = i / m_dwMipMapLevels;
      unsigned w, h, d, pitch, size;
      SurfaceLayout(this, level, w, h, d, pitch, size);
      m_ppSaved[i] = static_cast<uint8_t*>(malloc(size ? size : 1));
      EASSERT(m_ppSaved[i]);
      ReadSurface(gl, this, level, face, m_ppSaved[i]);
    }
  }
  if (m_texture) {
    GLuint tex = m_texture;
    gl->glDeleteTextures(1, &tex);
  }
  if (m_renderbuffer) {
    GLuint rb = m_renderbuffer;
    gl->glDeleteRenderbuffersEXT(1, &rb);
  }
  m_texture = 0;
  m_renderbuffer = 0;
}

void ETexture::PostReset() {
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (m_ppSaved) {
    m_texture = DefineTexture(gl, m_eFormat, m_eType, m_dwWidth, m_dwHeight, m_dwDepth, m_dwMipMapLevels);
    for (unsigned i = 0; i < SurfaceCount(); ++i) {
      if (!m_ppSaved[i]) continue;
      UploadSurface(gl, this, i % m_dwMipMapLevels, i / m_dwMipMapLevels, m_ppSaved[i]);
      free(m_ppSaved[i]);
    }
    free(m_ppSaved);
    m_ppSaved = nullptr;
    return;
  }
  if (m_dwFlags & (kTEXTUREFLAG_RENDERTARGET | kTEXTUREFLAG_DYNAMIC)) {
    EASSERT(m_texture == 0);
    EASSERT(m_renderbuffer == 0);
    // Rebuilt as what it was made: a cube map stays a cube map.
    m_texture = DefineTexture(gl, m_eFormat, m_eType, m_dwWidth, m_dwHeight, m_dwDepth, m_dwMipMapLevels);
    if (m_dwFlags & kTEXTUREFLAG_RENDERTARGET) {
      EASSERT(m_dwMipMapLevels == 1);
      GLuint rb = 0;
      gl->glGenRenderbuffersEXT(1, &rb);
      gl->glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, rb);
      gl->glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, ConvertInternalFormat(m_eFormat), (GLsizei)m_dwWidth,
                                   (GLsizei)m_dwHeight);
      gl->glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
      m_renderbuffer = rb;
      // The storage was defined from zeros, so the target is already clear.
    }
  } else if (m_eType == kTEXTURETYPE_DEPTHBUFFER) {
    // With the precision it was asked for.
    m_texture = DefineDepthTexture(gl, m_dwWidth, m_dwHeight, m_iDepthBits);
  }
  if (m_pSurfaceWritten) memset(m_pSurfaceWritten, 0, SurfaceCount());
}

// ---------------------------------------------------------------------------

void ERenderer::addTextureMemory(ETexture* pTexture, bool add) {
  unsigned size = GetTextureSize(pTexture->m_id, -1);
  unsigned* counter;
  if (pTexture->m_dwFlags & kTEXTUREFLAG_LINEAR) {
    counter = &m_dwLinearTextureMemory;
  } else {
    unsigned category = MemoryCategoryOf(pTexture->m_dwFlags);
    if (category >= kNUM_MEMORY_CATEGORIES) category = 0;
    counter = &m_adwTextureMemory[category];
  }
  if (add)
    *counter += size;
  else
    *counter -= size;
}

HTEXTURE ERenderer::newTexture(TEXTUREFORMAT format, TEXTURETYPE type, unsigned width, unsigned height,
                               unsigned depth, unsigned levels, unsigned flags) {
  if (levels == 0) {
    if (type == kTEXTURETYPE_VOLUME)
      levels = FullChain(width, height, depth);
    else
      levels = FullChain(width, height, 0);
  }
  GLuint tex = DefineTexture(m_pGLRenderer, format, type, width, height, depth, levels);

  HTEXTURE idTexture = m_pTextures->ElementNew();
  EASSERT(idTexture);
  ETexture* t = m_pTextures->ElementGet(idTexture);
  t->m_eFormat = format;
  t->m_eType = type;
  t->m_dwFlags = flags;
  t->m_dwWidth = width;
  t->m_dwHeight = height;
  t->m_dwDepth = type == kTEXTURETYPE_VOLUME ? depth : 1;
  t->m_dwMipMapLevels = levels;
  t->m_pGLRenderer = m_pGLRenderer;
  t->m_texture = tex;
  t->m_renderbuffer = 0;
  t->m_pSurfaceWritten = static_cast<uint8_t*>(calloc(t->SurfaceCount() + 1, 1));
  EASSERT(t->m_pSurfaceWritten);
  addTextureMemory(t, true);
  return idTexture;
}

HTEXTURE ERenderer::CreateBitmapTexture(TEXTUREFORMAT format, unsigned dwWidth, unsigned dwHeight, unsigned levels,
                                        unsigned flags) {
  EThreadProtectD3D lock;
  EASSERT(dwWidth && dwHeight);
  return newTexture(format, kTEXTURETYPE_BITMAP, dwWidth, dwHeight, 1, levels, flags & ~(unsigned)kTEXTUREFLAG_LINEAR);
}

HTEXTURE ERenderer::CreateCubemapTexture(TEXTUREFORMAT format, unsigned dwWidth, unsigned levels, unsigned flags) {
  EThreadProtectD3D lock;
  EASSERT(dwWidth);
  return newTexture(format, kTEXTURETYPE_CUBEMAP, dwWidth, dwWidth, 1, levels, flags);
}

HTEXTURE ERenderer::CreateVolumeTexture(TEXTUREFORMAT format, unsigned dwWidth, unsigned dwHeight, unsigned dwDepth,
                                        unsigned levels, unsigned flags) {
  EThreadProtectD3D lock;
  EASSERT(dwWidth && dwHeight && dwDepth);
  return newTexture(format, kTEXTURETYPE_VOLUME, dwWidth, dwHeight, dwDepth, levels, flags);
}

HTEXTURE ERenderer::CreateDepthTexture(unsigned dwWidth, unsigned dwHeight, int bits) {
  EThreadProtectD3D lock;
  EASSERT(dwWidth && dwHeight);
  GLuint tex = DefineDepthTexture(m_pGLRenderer, dwWidth, dwHeight, bits);
  HTEXTURE idTexture = m_pTextures->ElementNew();
  EASSERT(idTexture);
  ETexture* t = m_pTextures->ElementGet(idTexture);
  t->m_eFormat = (TEXTUREFORMAT)-1;
  t->m_eType = kTEXTURETYPE_DEPTHBUFFER;
  t->m_dwFlags = 0;
  t->m_dwWidth = dwWidth;
  t->m_dwHeight = dwHeight;
  t->m_dwDepth = 1;
  t->m_dwMipMapLevels = 0;
  t->m_pGLRenderer = m_pGLRenderer;
  t->m_texture = tex;
  t->m_iDepthBits = bits;
  addTextureMemory(t, true);
  return idTexture;
}

HTEXTURE ERenderer::CreateSurfaceAliasTexture(HTEXTURE hSource, TEXTURETYPE type, unsigned width, unsigned height) {
  ETexture* pOrigTexture = m_pTextures->ElementGet(hSource);
  EASSERT(pOrigTexture);
  EASSERT(pOrigTexture->m_eType == kTEXTURETYPE_DEPTHBUFFER ||
          (pOrigTexture->m_eType == kTEXTURETYPE_BITMAP && TextureFormatBytesPerPixel(pOrigTexture->m_eFormat) == 4));
  if (type == kTEXTURETYPE_DEPTHBUFFER) return CreateDepthTexture(width, height, 32);
  return CreateBitmapTexture(pOrigTexture->m_eFormat, width, height, pOrigTexture->m_dwMipMapLevels,
                             pOrigTexture->m_dwFlags);
}

void* ERenderer::LockTexture(HTEXTURE hTexture, unsigned level, unsigned* pPitch, bool, CUBEMAPFACE face,
                             bool bDiscard) {
  EThreadProtectD3D lock;
  EASSERT(hTexture != HTEXTURE_DEPTHBUFFER);
  if (TextureIsFrameBuffer(hTexture)) return nullptr;
  ETexture* pTexture = m_pTextures->ElementGet(hTexture);
  EASSERT(pTexture);
  EASSERT(!(pTexture->m_dwFlags & kTEXTUREFLAG_SURFACE_ALIAS));
  EASSERT(pTexture->m_eType != kTEXTURETYPE_DEPTHBUFFER);
  EASSERT(level < pTexture->m_dwMipMapLevels);
  // One copy per texture: a second lock would lose the first.
  EASSERT(pTexture->m_dwLockCount == 0);
  const bool cube = pTexture->m_eType == kTEXTURETYPE_CUBEMAP;
  if (!cube) face = kCUBEMAP_POSITIVE_X;
  EASSERT((unsigned)face < 6);

  unsigned w, h, d, pitch, size;
  SurfaceLayout(pTexture, level, w, h, d, pitch, size);
  uint8_t* copy = static_cast<uint8_t*>(malloc(size ? size : 1));
  EASSERT(copy);
  if (pPitch) *pPitch = pitch;

  const unsigned surface = level + pTexture->m_dwMipMapLevels * (unsigned)face;
  if (pTexture->m_pSurfaceWritten[surface] != 1) {
    memset(copy, 0, size);
  } else if (!bDiscard) {
    g_ErrorManager.TraceMessagef(TT_None, "Doing a texture readback for locking!\n");
    ReadSurface(m_pGLRenderer, pTexture, level, (unsigned)face, copy);
  }
  pTexture->m_pLockBuffer = copy;
  ++pTexture->m_dwLockCount;
  return copy;
}

void ERenderer::UnlockTexture(HTEXTURE hTexture, unsigned level, bool, CUBEMAPFACE face) {
  EThreadProtectD3D lock;
  EASSERT(hTexture != HTEXTURE_DEPTHBUFFER);
  if (TextureIsFrameBuffer(hTexture)) return;
  ETexture* pTexture = m_pTextures->ElementGet(hTexture);
  EASSERT(pTexture);
  EASSERT(pTexture->m_dwLockCount);
  EASSERT(!(pTexture->m_dwFlags & kTEXTUREFLAG_SURFACE_ALIAS));
  EASSERT(level < pTexture->m_dwMipMapLevels);
  const bool cube = pTexture->m_eType == kTEXTURETYPE_CUBEMAP;
  if (!cube) face = kCUBEMAP_POSITIVE_X;
  EASSERT((unsigned)face < 6);

  UploadSurface(m_pGLRenderer, pTexture, level, (unsigned)face, pTexture->m_pLockBuffer);
  free(pTexture->m_pLockBuffer);
  pTexture->m_pLockBuffer = nullptr;
  pTexture->m_pSurfaceWritten[level + pTexture->m_dwMipMapLevels * (unsigned)face] = 1;
  --pTexture->m_dwLockCount;
}

void ERenderer::DeleteTexture(HTEXTURE hTexture, bool bFreeSlot) {
  EThreadProtectD3D lock;
  ETexture* pTexture = m_pTextures->ElementGet(hTexture);
  if (!pTexture) return;
  EASSERT(!pTexture->m_dwLockCount);
  // A record kept without OpenGL objects was taken off the counters already.
  if (pTexture->m_texture || pTexture->m_renderbuffer) addTextureMemory(pTexture, false);
  SetTextureStages(nullptr, 0);
  EASSERT((pTexture->m_dwFlags & kTEXTUREFLAG_SURFACE_ALIAS) == 0);
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (pTexture->m_texture) {
    GLuint tex = pTexture->m_texture;
    gl->glDeleteTextures(1, &tex);
  }
  if (pTexture->m_renderbuffer) {
    GLuint rb = pTexture->m_renderbuffer;
    gl->glDeleteRenderbuffersEXT(1, &rb);
  }
  pTexture->m_texture = 0;
  pTexture->m_renderbuffer = 0;
  if (bFreeSlot) m_pTextures->ElementDelete(pTexture);
}

// ---------------------------------------------------------------------------

TEXTURETYPE ERenderer::GetTextureType(HTEXTURE hTexture) {
  EASSERT(hTexture);
  if (hTexture == HTEXTURE_DEPTHBUFFER) return kTEXTURETYPE_DEPTHBUFFER;
  if (TextureIsFrameBuffer(hTexture)) return kTEXTURETYPE_BITMAP;
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  return t->m_eType;
}

TEXTUREFORMAT ERenderer::GetTextureFormat(HTEXTURE hTexture) {
  EASSERT(hTexture);
  if (TextureIsFrameBuffer(hTexture)) return kTEXTUREFORMAT_8888;
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  return t->m_eFormat;
}

unsigned ERenderer::GetTextureFlags(HTEXTURE hTexture) {
  EASSERT(hTexture);
  if (TextureIsFrameBuffer(hTexture)) return kTEXTUREFLAG_LINEAR;
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  return t->m_dwFlags;
}

void ERenderer::GetTextureDimensions(HTEXTURE hTexture, unsigned& width, unsigned& height) {
  EASSERT(hTexture);
  if (TextureIsFrameBuffer(hTexture)) {
    width = GetDisplayWidth();
    height = GetDisplayHeight();
    return;
  }
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  width = t->m_dwWidth;
  height = t->m_dwHeight;
}

unsigned ERenderer::GetTextureSize(HTEXTURE hTexture, int iMipLevel) {
  EASSERT(hTexture);
  if (TextureIsFrameBuffer(hTexture)) {
    EASSERT(iMipLevel == 0 || iMipLevel == -1);
    return GetDisplayWidth() * GetDisplayHeight() * 4;
  }
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  if (t->m_dwFlags & kTEXTUREFLAG_SURFACE_ALIAS) return 0;
  const unsigned faces = t->m_eType == kTEXTURETYPE_CUBEMAP ? 6 : 1;
  auto levelSize = [&](unsigned l) {
    return Shrink(t->m_dwWidth, l) * Shrink(t->m_dwHeight, l) * Shrink(t->m_dwDepth, l) * faces;
  };
  if (iMipLevel >= 0) return levelSize((unsigned)iMipLevel);
  unsigned total = 0;
  for (unsigned l = 0; l < t->m_dwMipMapLevels; ++l) total += levelSize(l);
  return (total + 4095u) & ~4095u;
}

unsigned ERenderer::GetTextureLevelCount(HTEXTURE hTexture) {
  EASSERT(hTexture);
  if (TextureIsFrameBuffer(hTexture)) return 0;
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  return t->m_dwMipMapLevels;
}

unsigned ERenderer::StatsGetTotalTextureMemory() const {
  unsigned total = m_dwLinearTextureMemory;
  for (int i = 0; i < kNUM_MEMORY_CATEGORIES; ++i) total += m_adwTextureMemory[i];
  return total;
}

unsigned ERenderer::StatsGetTotalTextureMemory(unsigned flags) const {
  unsigned category = MemoryCategoryOf(flags);
  return category < kNUM_MEMORY_CATEGORIES ? m_adwTextureMemory[category] : 0;
}

int ERenderer::StatsGetAllocatedTextures() const { return m_pTextures ? m_pTextures->m_iCurAllocCount : 0; }
int ERenderer::StatsGetUsedTextures() const { return m_pTextures ? m_pTextures->m_iNumUsed : 0; }

// ---------------------------------------------------------------------------

void ERenderer::FilterTexture(HTEXTURE hTexture, bool) {
  EASSERT(!TextureIsFrameBuffer(hTexture));
  STUBBED("this might be wrong");
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  if (t->m_eType == kTEXTURETYPE_DEPTHBUFFER) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown texture type in FilterTexture", false);
    return;
  }
  const GLenum target = TargetOfType(t->m_eType);
  m_pGLRenderer->glBindTexture(target, t->m_texture);
  m_pGLRenderer->glGenerateMipmapEXT(target);
  m_pGLRenderer->glBindTexture(target, 0);
  // The generated levels hold data now: a later lock reads them back.
  const unsigned faces = t->m_eType == kTEXTURETYPE_CUBEMAP ? 6 : 1;
  for (unsigned face = 0; face < faces; ++face)
    for (unsigned l = 1; l < t->m_dwMipMapLevels; ++l) t->m_pSurfaceWritten[l + t->m_dwMipMapLevels * face] = 1;
}

bool ERenderer::ReduceTexture(HTEXTURE hTexture, unsigned levels) {
  if (TextureIsFrameBuffer(hTexture)) return false;
  ETexture* t = m_pTextures->ElementGet(hTexture);
  if (!t || t->m_eType != kTEXTURETYPE_BITMAP) return false;
  unsigned n = levels < t->m_dwMipMapLevels - 1 ? levels : t->m_dwMipMapLevels - 1;
  if (n == 0) return false;
  const unsigned oldLevels = t->m_dwMipMapLevels;
  HTEXTURE hNew = CreateBitmapTexture(t->m_eFormat, Shrink(t->m_dwWidth, n), Shrink(t->m_dwHeight, n),
                                      oldLevels - n, t->m_dwFlags);
  for (unsigned i = 0; i < oldLevels - n; ++i) {
    unsigned oldPitch = 0, newPitch = 0;
    void* src = LockTexture(hTexture, n + i, &oldPitch, true, (CUBEMAPFACE)-1, false);
    void* dst = LockTexture(hNew, i, &newPitch, false, (CUBEMAPFACE)-1, true);
    unsigned w, h, d, pitch, size;
    SurfaceLayout(m_pTextures->ElementGet(hNew), i, w, h, d, pitch, size);
    memcpy(dst, src, size);
    UnlockTexture(hTexture, n + i, true, (CUBEMAPFACE)-1);
    UnlockTexture(hNew, i, false, (CUBEMAPFACE)-1);
  }
  // Swap everything but the ids, so the caller's handle names the reduced
  // texture and the new handle the old storage, which is then deleted.
  ETexture* a = m_pTextures->ElementGet(hTexture);
  ETexture* b = m_pTextures->ElementGet(hNew);
  std::swap(a->m_eFormat, b->m_eFormat);
  std::swap(a->m_eType, b->m_eType);
  std::swap(a->m_dwFlags, b->m_dwFlags);
  std::swap(a->m_dwWidth, b->m_dwWidth);
  std::swap(a->m_dwHeight, b->m_dwHeight);
  std::swap(a->m_dwDepth, b->m_dwDepth);
  std::swap(a->m_dwMipMapLevels, b->m_dwMipMapLevels);
  std::swap(a->m_pGLRenderer, b->m_pGLRenderer);
  std::swap(a->m_texture, b->m_texture);
  std::swap(a->m_renderbuffer, b->m_renderbuffer);
  std::swap(a->m_pLockBuffer, b->m_pLockBuffer);
  std::swap(a->m_pSurfaceWritten, b->m_pSurfaceWritten);
  std::swap(a->m_iDepthBits, b->m_iDepthBits);
  std::swap(a->m_dwLockCount, b->m_dwLockCount);
  std::swap(a->m_ppSaved, b->m_ppSaved);
  DeleteTexture(hNew, true);
  return true;
}

bool ERenderer::ContainsAlpha(HTEXTURE hTexture) {
  switch (GetTextureFormat(hTexture)) {
    case kTEXTUREFORMAT_8888:
    case kTEXTUREFORMAT_4444:
    case kTEXTUREFORMAT_A8:
    case kTEXTUREFORMAT_AL8:
    case kTEXTUREFORMAT_DXT3:
    case kTEXTUREFORMAT_DXT5:
      return true;
    default:
      return ContainsBinaryAlpha(hTexture);
  }
}

bool ERenderer::ContainsBinaryAlpha(HTEXTURE hTexture) {
  if (TextureIsFrameBuffer(hTexture)) return false;
  ETexture* t = m_pTextures->ElementGet(hTexture);
  EASSERT(t);
  if (t->m_dwFlags & kTEXTUREFLAG_ALPHA_TESTED) return (t->m_dwFlags & kTEXTUREFLAG_BINARY_ALPHA) != 0;
  t->m_dwFlags |= kTEXTUREFLAG_ALPHA_TESTED;
  if (t->m_eFormat == kTEXTUREFORMAT_1555) {
    t->m_dwFlags |= kTEXTUREFLAG_BINARY_ALPHA;
    return true;
  }
  if (t->m_eFormat != kTEXTUREFORMAT_DXT1) return false;

  const unsigned blocksWide = (t->m_dwWidth + 3) / 4;
  const unsigned blocksHigh = (t->m_dwHeight + 3) / 4;
  const uint8_t* p = static_cast<const uint8_t*>(LockTexture(hTexture, 0, nullptr, true, (CUBEMAPFACE)-1, false));
  bool found = false;
  for (unsigned b = 0; b < blocksWide * blocksHigh && !found; ++b, p += 8) {
    unsigned c0 = p[0] | ((unsigned)p[1] << 8);
    unsigned c1 = p[2] | ((unsigned)p[3] << 8);
    if (c0 >= c1) continue;
    for (int i = 4; i < 8 && !found; ++i) {
      uint8_t bits = p[i];
      for (int k = 0; k < 4; ++k)
        if (((bits >> (2 * k)) & 3) == 3) found = true;
    }
  }
  UnlockTexture(hTexture, 0, true, (CUBEMAPFACE)-1);
  // The pool may have moved while locked; look the record up again.
  t = m_pTextures->ElementGet(hTexture);
  if (found) t->m_dwFlags |= kTEXTUREFLAG_BINARY_ALPHA;
  return found;
}

// ---------------------------------------------------------------------------
// Texture stages

ETextureStageState::ETextureStageState()
    : m_bValid(true),
      m_hTexture(0),
      m_eColorOp(2),
      m_eColorArg1(2),
      m_eColorArg2(3),
      m_eAlphaOp(2),
      m_eAlphaArg1(2),
      m_eAlphaArg2(3),
      m_eAddressMode(kTEXTUREADDRESS_WRAP),
      m_eFilterMode(kFILTERMODE_LINEAR),
      m_eMipFilterMode(kFILTERMODE_LINEAR),
      m_dwMaxAnisotropy(1),
      m_fMipLODBias(0.0f),
      m_dwBorderColor(0),
      m_bSigned(false),
      m_bAlphaKill(false),
      m_hPalette(0),
      m_bProjected(false) {}

namespace {

GLint ConvertAddressMode(TEXTUREADDRESSMODE mode) {
  switch (mode) {
    case kTEXTUREADDRESS_WRAP: return GL_REPEAT;
    case kTEXTUREADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case kTEXTUREADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case kTEXTUREADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
  }
  EERRORF("Unknown texture address mode: %i", (int)mode);
  return GL_REPEAT;
}

GLint ConvertMagFilter(FILTERMODE mode) {
  switch (mode) {
    case kFILTERMODE_NONE: return 0;
    case kFILTERMODE_POINT: return GL_NEAREST;
    case kFILTERMODE_LINEAR:
    case kFILTERMODE_ANISOTROPIC: return GL_LINEAR;
  }
  EERRORF("Unknown filter mode: %i", (int)mode);
  return GL_LINEAR;
}

GLint MinFilter(FILTERMODE mode, FILTERMODE mip) {
  if (mode == kFILTERMODE_POINT) {
    switch (mip) {
      case kFILTERMODE_NONE: return GL_NEAREST;
      case kFILTERMODE_POINT: return GL_NEAREST_MIPMAP_NEAREST;
      case kFILTERMODE_LINEAR: return GL_NEAREST_MIPMAP_LINEAR;
      default: return GL_LINEAR;
    }
  }
  if (mode == kFILTERMODE_LINEAR || mode == kFILTERMODE_ANISOTROPIC) {
    switch (mip) {
      case kFILTERMODE_NONE: return GL_LINEAR;
      case kFILTERMODE_POINT: return GL_LINEAR_MIPMAP_NEAREST;
      case kFILTERMODE_LINEAR: return GL_LINEAR_MIPMAP_LINEAR;
      default: return GL_LINEAR;
    }
  }
  return GL_LINEAR;
}

}  // namespace

void ERenderer::SetTextureStages(ETextureStageState* pStates, unsigned dwStageCount) {
  EASSERT(dwStageCount <= kMAX_TEXTURE_STAGES);
  EOpenGLRenderer* gl = m_pGLRenderer;
  if (!gl) return;
  const bool samplers = gl->supports_GL_ARB_sampler_objects();
  for (unsigned s = 0; s < dwStageCount; ++s) {
    ETextureStageState& st = pStates[s];
    ETextureStageState& c = m_aTextureStageState[s];
    const bool forced = !samplers || !c.m_bValid;
    gl->glActiveTexture(GL_TEXTURE0 + s);

    if (st.m_hTexture && st.m_eAddressMode == kTEXTUREADDRESS_WRAP) {
      const bool frameBuffer = TextureIsFrameBuffer(st.m_hTexture);
      unsigned flags = GetTextureFlags(st.m_hTexture);
      if (!frameBuffer && (flags & kTEXTUREFLAG_MIRROR)) st.m_eAddressMode = kTEXTUREADDRESS_MIRROR;
      if (frameBuffer || (flags & (kTEXTUREFLAG_CLAMP | kTEXTUREFLAG_LINEAR))) st.m_eAddressMode = kTEXTUREADDRESS_CLAMP;
    }
    if (forced || st.m_hTexture != c.m_hTexture) setTexture(s, st.m_hTexture);
    if (forced || st.m_eAddressMode != c.m_eAddressMode) setTextureAddressMode(s, st.m_eAddressMode);
    if (forced || st.m_eFilterMode != c.m_eFilterMode || st.m_eMipFilterMode != c.m_eMipFilterMode ||
        st.m_dwMaxAnisotropy != c.m_dwMaxAnisotropy)
      setFilterMode(s, st.m_eFilterMode, st.m_eMipFilterMode, st.m_dwMaxAnisotropy);
    if (forced || st.m_eColorOp != c.m_eColorOp) setColorOp(s, st.m_eColorOp);
    if (forced || st.m_eColorArg1 != c.m_eColorArg1) setColorArg1(s, st.m_eColorArg1);
    if (forced || st.m_eColorArg2 != c.m_eColorArg2) setColorArg2(s, st.m_eColorArg2);
    if (forced || st.m_eAlphaOp != c.m_eAlphaOp) setAlphaOp(s, st.m_eAlphaOp);
    if (forced || st.m_eAlphaArg1 != c.m_eAlphaArg1) setAlphaArg1(s, st.m_eAlphaArg1);
    if (forced || st.m_eAlphaArg2 != c.m_eAlphaArg2) setAlphaArg2(s, st.m_eAlphaArg2);
    if (forced || st.m_dwBorderColor != c.m_dwBorderColor) setTextureBorderColor(s, st.m_dwBorderColor);
    if (forced || !(st.m_fMipLODBias == c.m_fMipLODBias)) setMipLODBias(s, st.m_fMipLODBias);
    if (forced || st.m_bSigned != c.m_bSigned) setSigned(s, st.m_bSigned);
    if (forced || st.m_bAlphaKill != c.m_bAlphaKill) setAlphaKill(s, st.m_bAlphaKill);
    if (forced || st.m_hPalette != c.m_hPalette) setPalette(s, st.m_hPalette);
    if (forced || st.m_bProjected != c.m_bProjected) setProjected(s, st.m_bProjected);
    c = st;
  }
  for (unsigned s = dwStageCount; s < kMAX_TEXTURE_STAGES; ++s) {
    if (!m_aTextureStageState[s].m_hTexture) continue;
    gl->glActiveTexture(GL_TEXTURE0 + s);
    setTexture(s, 0);
    m_aTextureStageState[s].m_hTexture = 0;
  }
  gl->glActiveTexture(GL_TEXTURE0 + 4);
}

void ERenderer::BumpEnvMatSet(int stage, float m00, float m01, float m10, float m11) {
  MOJOSHADER_glSetLegacyBumpMapEnv((unsigned)stage, m00, m01, m10, m11, 0.0f, 0.0f);
}

void ERenderer::setTexture(unsigned dwStage, HTEXTURE hTexture) {
  EASSERT(dwStage < kMAX_TEXTURE_STAGES);
  EOpenGLRenderer* gl = m_pGLRenderer;
  static const GLenum kTargets[3] = {GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_3D};
  GLenum target = 0;
  GLuint name = 0;
  if (hTexture == HTEXTURE_BACKBUFFER) {
    EASSERT(m_hRenderTargetImageTexture != HTEXTURE_BACKBUFFER);
    name = getBackBufferCopy();
    if (name) target = GL_TEXTURE_2D;
  } else if (hTexture && !TextureIsFrameBuffer(hTexture)) {
    ETexture* t = m_pTextures->ElementGet(hTexture);
    EASSERT(t);
    switch (t->m_eType) {
      case kTEXTURETYPE_BITMAP: target = GL_TEXTURE_2D; break;
      case kTEXTURETYPE_CUBEMAP: target = GL_TEXTURE_CUBE_MAP; break;
      case kTEXTURETYPE_VOLUME: target = GL_TEXTURE_3D; break;
      default: g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown texture type in SetTexture", false); return;
    }
    name = t->m_texture;
  }
  for (GLenum other : kTargets) {
    if (other == target) continue;
    gl->glBindTexture(other, 0);
    gl->ToggleState(other, false);
  }
  if (target) {
    gl->ToggleState(target, true);
    gl->glBindTexture(target, name);
    gl->m_eCurrentTextureTarget = target;
  } else {
    gl->m_eCurrentTextureTarget = GL_TEXTURE_2D;
  }
}

void ERenderer::setTextureAddressMode(unsigned stage, TEXTUREADDRESSMODE mode) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  GLint wrap = ConvertAddressMode(mode);
  static const GLenum kCoords[3] = {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R};
  for (GLenum coord : kCoords) {
    if (gl->supports_GL_ARB_sampler_objects())
      gl->glSamplerParameteri(gl->m_auSamplers[stage], coord, wrap);
    else
      gl->glTexParameteri(gl->m_eCurrentTextureTarget, coord, wrap);
  }
}

void ERenderer::setFilterMode(unsigned stage, FILTERMODE eMode, FILTERMODE eMipMode, unsigned maxAnisotropy) {
  EASSERT(eMode != kFILTERMODE_NONE);
  EASSERT(eMipMode != kFILTERMODE_ANISOTROPIC);
  EOpenGLRenderer* gl = m_pGLRenderer;
  const bool aniso = gl->supports_GL_EXT_texture_filter_anisotropic();
  if (eMode == kFILTERMODE_ANISOTROPIC && !aniso) eMode = kFILTERMODE_LINEAR;
  const GLint minFilter = MinFilter(eMode, eMipMode);
  const GLint magFilter = ConvertMagFilter(eMode);
  const float anisotropy = eMode == kFILTERMODE_ANISOTROPIC ? (float)maxAnisotropy : 1.0f;
  if (gl->supports_GL_ARB_sampler_objects()) {
    GLuint sampler = gl->m_auSamplers[stage];
    gl->glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minFilter);
    gl->glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magFilter);
    if (aniso) gl->glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
  } else {
    GLenum target = gl->m_eCurrentTextureTarget;
    gl->glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minFilter);
    gl->glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magFilter);
    if (aniso) gl->glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, anisotropy);
  }
}

void ERenderer::setTextureBorderColor(unsigned stage, uint32_t color) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  EVec4 v = ColorVectorFromRGBA(color);
  const GLfloat rgba[4] = {v.x, v.y, v.z, v.w};
  if (gl->supports_GL_ARB_sampler_objects())
    gl->glSamplerParameterfv(gl->m_auSamplers[stage], GL_TEXTURE_BORDER_COLOR, rgba);
  else
    gl->glTexParameterfv(gl->m_eCurrentTextureTarget, GL_TEXTURE_BORDER_COLOR, rgba);
}

void ERenderer::setMipLODBias(unsigned, float bias) {
  m_pGLRenderer->glTexEnvf(GL_TEXTURE_FILTER_CONTROL, GL_TEXTURE_LOD_BIAS, bias);
}

void ERenderer::setColorOp(unsigned, SHADEOP) { STUBBED("fixed function pipeline?"); }
void ERenderer::setColorArg1(unsigned, SHADEARG) { STUBBED("fixed function pipeline?"); }
void ERenderer::setColorArg2(unsigned, SHADEARG) { STUBBED("fixed function pipeline?"); }
void ERenderer::setAlphaOp(unsigned, SHADEOP) { STUBBED("fixed function pipeline?"); }
void ERenderer::setAlphaArg1(unsigned, SHADEARG) { STUBBED("fixed function pipeline?"); }
void ERenderer::setAlphaArg2(unsigned, SHADEARG) { STUBBED("fixed function pipeline?"); }
void ERenderer::setProjected(unsigned, bool) { STUBBED("fixed function pipeline?"); }
