#include "TWGraphics/DDS.h"

#include <cstring>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

namespace {

const uint32_t kFOURCC_DXT1 = 0x31545844;  // "DXT1"
const uint32_t kFOURCC_DXT2 = 0x32545844;
const uint32_t kFOURCC_DXT3 = 0x33545844;
const uint32_t kFOURCC_DXT4 = 0x34545844;
const uint32_t kFOURCC_DXT5 = 0x35545844;

// Header fields, as indices of its 32-bit values.
enum {
  kHDR_SIZE = 0,
  kHDR_FLAGS = 1,
  kHDR_HEIGHT = 2,
  kHDR_WIDTH = 3,
  kHDR_PITCH = 4,
  kHDR_MIPCOUNT = 6,
  kHDR_PFSIZE = 18,
  kHDR_PFFLAGS = 19,
  kHDR_FOURCC = 20,
  kHDR_BITCOUNT = 21,
  kHDR_RMASK = 22,
  kHDR_GMASK = 23,
  kHDR_BMASK = 24,
  kHDR_AMASK = 25,
  kHDR_CAPS = 26,
  kHDR_CAPS2 = 27,
  kHDR_VALUES = 31,
};

const uint32_t kDDSCAPS2_CUBEMAP_ALL = 0xFE00;

// Order of the faces of a cube map in a pack record: -X, -Y, -Z, +X, +Y, +Z.
const unsigned kRecordFaceOrder[6] = {1, 3, 5, 0, 2, 4};

bool IsCompressed(int format) {
  return format == kTEXTUREFORMAT_DXT1 || format == kTEXTUREFORMAT_DXT3 || format == kTEXTUREFORMAT_DXT5;
}

bool IsPowerOfTwo(unsigned v) { return v && !(v & (v - 1)); }

unsigned Max1(unsigned v) { return v ? v : 1; }

void Read32(EStream& s, uint32_t& v) {
  unsigned int x = 0;
  s << x;
  v = x;
}

void Write32(EStream& s, uint32_t v) {
  unsigned int x = v;
  s << x;
}

// Bytes stored for every level of one face.
uint64_t FaceStoredBytes(const ETextureImage& image) {
  uint64_t total = 0;
  for (unsigned level = 0; level < image.m_dwLevels; ++level)
    total += TextureLevelStoredBytes(image.m_eFormat, image.m_dwWidth, image.m_dwHeight, level);
  return total;
}

// Checks the data against what the stream has left before anything is
// allocated for it.
bool DataAvailable(EStream& s, const ETextureImage& image) {
  uint64_t total = FaceStoredBytes(image) * image.GetFaceCount();
  if (total > 0xFFFFFFFFu) return false;
  return s.BoundLength((unsigned)total) == total;
}

void ReadFace(EStream& s, ETextureImage& image, unsigned face) {
  for (unsigned level = 0; level < image.m_dwLevels; ++level) {
    uint64_t stored = TextureLevelStoredBytes(image.m_eFormat, image.m_dwWidth, image.m_dwHeight, level);
    std::vector<uint8_t>& surface = image.Surface(level, face);
    if (stored) s.Stream(surface.data(), (unsigned)stored);
  }
}

void WriteFace(EStream& s, const ETextureImage& image, unsigned face) {
  for (unsigned level = 0; level < image.m_dwLevels; ++level) {
    uint64_t stored = TextureLevelStoredBytes(image.m_eFormat, image.m_dwWidth, image.m_dwHeight, level);
    const std::vector<uint8_t>& surface = image.Surface(level, face);
    EASSERT(surface.size() >= stored);
    if (stored) s.Stream(static_cast<const void*>(surface.data()), (unsigned)stored);
  }
}

bool ValidSize(unsigned width, unsigned height) {
  return width && height && width <= kMAX_TEXTURE_DIMENSION && height <= kMAX_TEXTURE_DIMENSION;
}

// The DDS pixel format of a texture format: flags, four-character code, bit
// count and the four masks.
struct DDSPixelFormat {
  uint32_t flags, fourCC, bits, r, g, b, a;
};

bool PixelFormatOf(int format, DDSPixelFormat& pf) {
  switch (format) {
    case kTEXTUREFORMAT_8888: pf = {0x41, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}; return true;
    case kTEXTUREFORMAT_0888: pf = {0x40, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}; return true;
    case kTEXTUREFORMAT_4444: pf = {0x41, 0, 16, 0x0F00, 0xF0, 0xF, 0xF000}; return true;
    case kTEXTUREFORMAT_1555: pf = {0x41, 0, 16, 0x7C00, 0x3E0, 0x1F, 0x8000}; return true;
    case kTEXTUREFORMAT_565: pf = {0x40, 0, 16, 0xF800, 0x7E0, 0x1F, 0}; return true;
    case kTEXTUREFORMAT_A8:
    case kTEXTUREFORMAT_L8:
    case kTEXTUREFORMAT_AL8: pf = {0x2, 0, 8, 0, 0, 0, 0xFF}; return true;
    case kTEXTUREFORMAT_DXT1: pf = {0x4, kFOURCC_DXT1, 0, 0, 0, 0, 0}; return true;
    case kTEXTUREFORMAT_DXT3: pf = {0x4, kFOURCC_DXT3, 0, 0, 0, 0, 0}; return true;
    case kTEXTUREFORMAT_DXT5: pf = {0x4, kFOURCC_DXT5, 0, 0, 0, 0, 0}; return true;
    case kTEXTUREFORMAT_P8: pf = {0x20, 0, 8, 0, 0, 0, 0}; return true;
    default: return false;
  }
}

// The texture format of a DDS pixel format, or -1.
int FormatOfPixelFormat(const uint32_t* h) {
  uint32_t flags = h[kHDR_PFFLAGS], fourCC = h[kHDR_FOURCC], bits = h[kHDR_BITCOUNT];
  uint32_t gmask = h[kHDR_GMASK], amask = h[kHDR_AMASK];
  if (fourCC == kFOURCC_DXT1) return kTEXTUREFORMAT_DXT1;
  if (fourCC == kFOURCC_DXT2 || fourCC == kFOURCC_DXT3) return kTEXTUREFORMAT_DXT3;
  if (fourCC == kFOURCC_DXT4 || fourCC == kFOURCC_DXT5) return kTEXTUREFORMAT_DXT5;
  if (flags == 0x41 && bits == 32 && amask == 0xFF000000) return kTEXTUREFORMAT_8888;
  if (flags == 0x40 && bits == 24) return kTEXTUREFORMAT_0888;
  if (flags == 0x41 && bits == 16 && amask == 0x8000) return kTEXTUREFORMAT_1555;
  if (flags == 0x41 && bits == 16 && amask == 0xF000) return kTEXTUREFORMAT_4444;
  if (flags == 0x40 && bits == 16 && gmask == 0x7E0) return kTEXTUREFORMAT_565;
  if (flags == 0x2 && bits == 8) return kTEXTUREFORMAT_L8;
  if (flags == 0x80000 && bits == 16) return kTEXTUREFORMAT_V8U8;
  if (flags == 0x20 && bits == 8 && amask == 0) return kTEXTUREFORMAT_P8;
  return -1;
}

}  // namespace

ETextureImage::ETextureImage()
    : m_eFormat(kTEXTUREFORMAT_8888), m_eType(kTEXTURETYPE_BITMAP), m_dwFlags(0), m_dwWidth(0), m_dwHeight(0),
      m_dwLevels(0), m_bHasPalette(false) {
  memset(m_aPalette, 0, sizeof(m_aPalette));
}

void ETextureImage::Allocate() {
  unsigned faces = GetFaceCount();
  m_aSurfaces.assign((size_t)m_dwLevels * faces, std::vector<uint8_t>());
  for (unsigned face = 0; face < faces; ++face)
    for (unsigned level = 0; level < m_dwLevels; ++level)
      Surface(level, face).assign((size_t)TextureLevelBytes(m_eFormat, m_dwWidth, m_dwHeight, level), 0);
}

unsigned TextureFormatUnitBytes(int format) {
  switch (format) {
    case kTEXTUREFORMAT_8888:
    case kTEXTUREFORMAT_0888:
    case kTEXTUREFORMAT_V16U16: return 4;
    case kTEXTUREFORMAT_4444:
    case kTEXTUREFORMAT_1555:
    case kTEXTUREFORMAT_0555:
    case kTEXTUREFORMAT_565:
    case kTEXTUREFORMAT_V8U8: return 2;
    case kTEXTUREFORMAT_A8:
    case kTEXTUREFORMAT_L8:
    case kTEXTUREFORMAT_AL8:
    case kTEXTUREFORMAT_P8: return 1;
    case kTEXTUREFORMAT_DXT1: return 8;
    case kTEXTUREFORMAT_DXT3:
    case kTEXTUREFORMAT_DXT5: return 16;
    default: return 0;
  }
}

unsigned TextureFullChainLevels(unsigned width, unsigned height) {
  unsigned levels = 0;
  while (width || height) {
    ++levels;
    width >>= 1;
    height >>= 1;
  }
  return levels;
}

unsigned TextureLevelPitch(TEXTUREFORMAT format, unsigned width, unsigned level) {
  unsigned w = Max1(level < 32 ? width >> level : 0);
  if (IsCompressed(format)) return ((w + 3) / 4) * TextureFormatUnitBytes(format);
  return w * TextureFormatUnitBytes(format);
}

uint64_t TextureLevelBytes(TEXTUREFORMAT format, unsigned width, unsigned height, unsigned level) {
  unsigned h = Max1(level < 32 ? height >> level : 0);
  uint64_t pitch = TextureLevelPitch(format, width, level);
  if (IsCompressed(format)) return pitch * ((h + 3) / 4);
  return pitch * h;
}

uint64_t TextureLevelStoredBytes(TEXTUREFORMAT format, unsigned width, unsigned height, unsigned level) {
  unsigned w = level < 32 ? width >> level : 0;
  unsigned h = level < 32 ? height >> level : 0;
  unsigned unit = TextureFormatUnitBytes(format);
  if (IsCompressed(format)) {
    uint64_t rows = Max1(h / 4);
    return rows * ((Max1(w) + 3) / 4) * unit;
  }
  return (uint64_t)w * h * unit;
}

void FillUnstoredLevels(ETextureImage& image) {
  if (IsCompressed(image.m_eFormat) || image.m_dwLevels == 0) return;
  unsigned unit = TextureFormatUnitBytes(image.m_eFormat);
  // The smallest level with both sides non-zero.
  unsigned source = 0;
  while (source + 1 < image.m_dwLevels && (image.m_dwWidth >> (source + 1)) && (image.m_dwHeight >> (source + 1)))
    ++source;
  unsigned sw = Max1(image.m_dwWidth >> source), sh = Max1(image.m_dwHeight >> source);
  for (unsigned face = 0; face < image.GetFaceCount(); ++face) {
    const std::vector<uint8_t>& src = image.Surface(source, face);
    for (unsigned level = source + 1; level < image.m_dwLevels; ++level) {
      unsigned w = Max1(image.m_dwWidth >> level), h = Max1(image.m_dwHeight >> level);
      std::vector<uint8_t>& dst = image.Surface(level, face);
      for (unsigned y = 0; y < h; ++y) {
        unsigned sy = (unsigned)((uint64_t)y * sh / h);
        for (unsigned x = 0; x < w; ++x) {
          unsigned sx = (unsigned)((uint64_t)x * sw / w);
          memcpy(&dst[((size_t)y * w + x) * unit], &src[((size_t)sy * sw + sx) * unit], unit);
        }
      }
    }
  }
}

bool ReadDDSImage(EStream& s, const char* name, unsigned flags, ETextureImage& image) {
  if (!name) name = "";
  uint32_t magic = 0;
  Read32(s, magic);
  if (s.Err() || magic != kDDS_MAGIC) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: invalid DDS identifier in %s\n", name);
    return false;
  }
  uint32_t h[kHDR_VALUES];
  for (uint32_t& v : h) Read32(s, v);
  if (s.Err() || h[kHDR_SIZE] != kDDS_HEADER_SIZE) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: invalid DDS header in %s\n", name);
    return false;
  }
  unsigned width = h[kHDR_WIDTH], height = h[kHDR_HEIGHT];
  unsigned levels = h[kHDR_MIPCOUNT] ? h[kHDR_MIPCOUNT] : 1;
  bool cube = (h[kHDR_CAPS2] & kDDSCAPS2_CUBEMAP_ALL) != 0;
  int format = FormatOfPixelFormat(h);
  if (format < 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: unrecognized texture format in %s\n", name);
    return false;
  }
  if (cube) height = width;  // faces are square, sized by the width
  if (!ValidSize(width, height)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: invalid texture size %ux%u in %s\n", width, height,
                                 name);
    return false;
  }
  if (levels > TextureFullChainLevels(width, height)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: invalid mip map count %u in %s\n", levels, name);
    return false;
  }
  if (!IsPowerOfTwo(width) || !IsPowerOfTwo(height)) {
    flags |= kTEXTUREFLAG_LINEAR;
    if (levels > 1) {
      g_ErrorManager.TraceMessagef(
          TT_Warning, "LoadTextureFromDDS: ignoring mip maps in a linear (non power-of-two) texture %s\n", name);
      levels = 1;
    }
  }

  image.m_eFormat = (TEXTUREFORMAT)format;
  image.m_eType = cube ? kTEXTURETYPE_CUBEMAP : kTEXTURETYPE_BITMAP;
  image.m_dwFlags = flags;
  image.m_dwWidth = width;
  image.m_dwHeight = height;
  image.m_dwLevels = levels;
  image.m_bHasPalette = false;

  if (format == kTEXTUREFORMAT_P8) {
    uint8_t rgba[256 * 4];
    s.Stream(rgba, sizeof(rgba));
    for (unsigned i = 0; i < 256; ++i) {
      const uint8_t* e = &rgba[i * 4];
      image.m_aPalette[i] = ((uint32_t)e[3] << 24) | ((uint32_t)e[0] << 16) | ((uint32_t)e[1] << 8) | e[2];
    }
    image.m_bHasPalette = true;
  }
  if (s.Err() || !DataAvailable(s, image)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: file %s ends inside its pixel data\n", name);
    return false;
  }
  image.Allocate();
  for (unsigned face = 0; face < image.GetFaceCount(); ++face) ReadFace(s, image, face);
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: file %s ends inside its pixel data\n", name);
    return false;
  }
  FillUnstoredLevels(image);
  return true;
}

void WriteDDSImage(EStream& s, const ETextureImage& image) {
  DDSPixelFormat pf;
  if (!PixelFormatOf(image.m_eFormat, pf)) EERRORF("Unknown format in SaveTextureAsDDS\n");
  bool compressed = IsCompressed(image.m_eFormat);
  bool cube = image.m_eType == kTEXTURETYPE_CUBEMAP;
  bool mips = image.m_dwLevels > 1;

  uint32_t h[kHDR_VALUES];
  memset(h, 0, sizeof(h));
  h[kHDR_SIZE] = kDDS_HEADER_SIZE;
  h[kHDR_FLAGS] = 0x1007 | (mips ? 0x20000 : 0) | (compressed ? 0x80000 : 0x8);
  h[kHDR_HEIGHT] = image.m_dwHeight;
  h[kHDR_WIDTH] = image.m_dwWidth;
  h[kHDR_PITCH] = compressed ? image.m_dwWidth * image.m_dwHeight
                             : image.m_dwWidth * TextureFormatUnitBytes(image.m_eFormat);
  h[kHDR_MIPCOUNT] = mips ? image.m_dwLevels : 0;
  h[kHDR_PFSIZE] = 32;
  h[kHDR_PFFLAGS] = pf.flags;
  h[kHDR_FOURCC] = pf.fourCC;
  h[kHDR_BITCOUNT] = pf.bits;
  h[kHDR_RMASK] = pf.r;
  h[kHDR_GMASK] = pf.g;
  h[kHDR_BMASK] = pf.b;
  h[kHDR_AMASK] = pf.a;
  h[kHDR_CAPS] = (mips ? 0x401008 : 0x1000) | (cube ? 0x8 : 0);
  h[kHDR_CAPS2] = cube ? kDDSCAPS2_CUBEMAP_ALL : 0;

  Write32(s, kDDS_MAGIC);
  for (uint32_t v : h) Write32(s, v);
  if (image.m_eFormat == kTEXTUREFORMAT_P8) {
    uint8_t rgba[256 * 4];
    for (unsigned i = 0; i < 256; ++i) {
      uint32_t c = image.m_aPalette[i];
      rgba[i * 4 + 0] = (uint8_t)(c >> 16);
      rgba[i * 4 + 1] = (uint8_t)(c >> 8);
      rgba[i * 4 + 2] = (uint8_t)c;
      rgba[i * 4 + 3] = (uint8_t)(c >> 24);
    }
    s.Stream(static_cast<const void*>(rgba), sizeof(rgba));
  }
  for (unsigned face = 0; face < image.GetFaceCount(); ++face) WriteFace(s, image, face);
}

bool ReadTextureRecord(EStream& s, ETextureImage& image) {
  uint32_t h[kTEXTURE_RECORD_HEADER_SIZE / 4];
  for (uint32_t& v : h) Read32(s, v);
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture record ends inside its header");
    return false;
  }
  uint32_t format = h[1], type = h[2], flags = h[3], width = h[4], height = h[5], levels = h[6];
  if (format >= kNUM_TEXTUREFORMATS) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Unknown texture format %u in ReadTextureFromPackFile", format);
    s.SetErr();
    return false;
  }
  image.m_eFormat = (TEXTUREFORMAT)format;
  image.m_bHasPalette = false;
  if (format == kTEXTUREFORMAT_P8) {
    unsigned short hasPalette = 0;
    s << hasPalette;
    if (hasPalette) {
      for (uint32_t& c : image.m_aPalette) Read32(s, c);
      image.m_bHasPalette = true;
    }
  }
  if (type == kTEXTURETYPE_BITMAP) {
    image.m_eType = kTEXTURETYPE_BITMAP;
    image.m_dwFlags = flags;
  } else if (type == kTEXTURETYPE_CUBEMAP) {
    image.m_eType = kTEXTURETYPE_CUBEMAP;
    image.m_dwFlags = 0;
    height = width;
  } else {
    if (type == kTEXTURETYPE_VOLUME)
      g_ErrorManager.TraceMessagef(TT_Warning, "Volume Maps are not supported by ReadTextureFromPackFile :(");
    else if (type == kTEXTURETYPE_DEPTHBUFFER)
      g_ErrorManager.TraceMessagef(TT_Warning, "Depth Buffers are not supported by ReadTextureFromPackFile :(");
    else
      g_ErrorManager.TraceMessagef(TT_Warning, "Unknown texture type in ReadTextureFromPackFile :(");
    s.SetErr();
    return false;
  }
  if (!ValidSize(width, height)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Invalid texture size %ux%u in ReadTextureFromPackFile", width, height);
    s.SetErr();
    return false;
  }
  if (levels == 0 || levels > TextureFullChainLevels(width, height)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Invalid mip level count %u in ReadTextureFromPackFile", levels);
    s.SetErr();
    return false;
  }
  image.m_dwWidth = width;
  image.m_dwHeight = height;
  image.m_dwLevels = levels;
  if (s.Err() || !DataAvailable(s, image)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture record ends inside its pixel data");
    s.SetErr();
    return false;
  }
  image.Allocate();
  if (image.m_eType == kTEXTURETYPE_CUBEMAP) {
    for (unsigned face : kRecordFaceOrder) ReadFace(s, image, face);
  } else {
    ReadFace(s, image, 0);
  }
  if (s.Err()) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Texture record ends inside its pixel data");
    return false;
  }
  FillUnstoredLevels(image);
  return true;
}

void WriteTextureRecord(EStream& s, const ETextureImage& image, uint32_t handle) {
  uint32_t h[kTEXTURE_RECORD_HEADER_SIZE / 4] = {handle,           (uint32_t)image.m_eFormat,
                                                 (uint32_t)image.m_eType, image.m_dwFlags,
                                                 image.m_dwWidth,  image.m_dwHeight,
                                                 image.m_dwLevels, 0,
                                                 0,                0,
                                                 0};
  for (uint32_t v : h) Write32(s, v);
  if (image.m_eFormat == kTEXTUREFORMAT_P8) {
    const unsigned short flag = image.m_bHasPalette ? 1 : 0;
    s << flag;
    if (image.m_bHasPalette)
      for (uint32_t c : image.m_aPalette) Write32(s, c);
  }
  if (image.m_eType == kTEXTURETYPE_CUBEMAP) {
    for (unsigned face : kRecordFaceOrder) WriteFace(s, image, face);
  } else {
    WriteFace(s, image, 0);
  }
}
