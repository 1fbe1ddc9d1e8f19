// DDS files and the texture records of texture packs, read into and written
// from a texture's pixel data held in memory. The renderer moves that data
// in and out of its textures (DDSTexture.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "TWGraphics/Renderer.h"

class EStream;

enum {
  kDDS_MAGIC = 0x20534444,  // "DDS "
  kDDS_HEADER_SIZE = 124,
  kTEXTURE_RECORD_HEADER_SIZE = 44,
  // The largest width or height a file may give a texture.
  kMAX_TEXTURE_DIMENSION = 8192,
};

// A bitmap or cube-map texture's pixel data, one block per surface.
struct ETextureImage {
  ETextureImage();

  TEXTUREFORMAT m_eFormat;
  TEXTURETYPE m_eType;  // bitmap or cube map
  unsigned m_dwFlags;   // texture flags to create the texture with
  unsigned m_dwWidth;   // the face size of a cube map
  unsigned m_dwHeight;  // equal to the width for a cube map
  unsigned m_dwLevels;
  bool m_bHasPalette;
  uint32_t m_aPalette[256];  // A8R8G8B8, as a renderer palette holds them
  // Surface level + levels x face (face 0 for a bitmap), each as large as
  // the renderer's lock copy of that level (sides at least 1 texel).
  std::vector<std::vector<uint8_t>> m_aSurfaces;

  unsigned GetFaceCount() const { return m_eType == kTEXTURETYPE_CUBEMAP ? 6 : 1; }
  std::vector<uint8_t>& Surface(unsigned level, unsigned face) { return m_aSurfaces[level + m_dwLevels * face]; }
  const std::vector<uint8_t>& Surface(unsigned level, unsigned face) const {
    return m_aSurfaces[level + m_dwLevels * face];
  }
  // Sizes every surface for the format, size, type and level count, zeroed.
  void Allocate();
};

// Bytes of one texel (uncompressed) or of one 4 x 4 block (compressed); 0
// for a value outside the formats.
unsigned TextureFormatUnitBytes(int format);
// Levels of the full chain for a largest side: floor(log2(side)) + 1.
unsigned TextureFullChainLevels(unsigned width, unsigned height);
// Bytes of the renderer's copy of one level and the pitch of its rows (of
// its rows of blocks when compressed).
unsigned TextureLevelPitch(TEXTUREFORMAT format, unsigned width, unsigned level);
uint64_t TextureLevelBytes(TEXTUREFORMAT format, unsigned width, unsigned height, unsigned level);
// Bytes that DDS files and pack records store for a level. The sides are
// halved without being raised to 1, so the smallest levels of a non-square
// uncompressed texture store nothing.
uint64_t TextureLevelStoredBytes(TEXTUREFORMAT format, unsigned width, unsigned height, unsigned level);

// Reads a DDS file from its first byte. flags are added to the texture flags
// (with kTEXTUREFLAG_LINEAR for a side that is not a power of two). Traces
// and returns false on damaged or unsupported input; name names the file in
// the traces.
bool ReadDDSImage(EStream& stream, const char* name, unsigned flags, ETextureImage& image);
// Writes a DDS file. Formats that DDS cannot hold here (0555, V8U8, V16U16)
// are a fatal report.
void WriteDDSImage(EStream& stream, const ETextureImage& image);

// A texture-pack record: the 44-byte header, a P8 texture's palette and the
// pixel data. A damaged or unsupported record traces, marks the stream
// failed (its end is unknown) and returns false.
bool ReadTextureRecord(EStream& stream, ETextureImage& image);
// Writes a record; handle goes into the header's first field. A texture
// without palette is written with the palette flag 0 when P8.
void WriteTextureRecord(EStream& stream, const ETextureImage& image, uint32_t handle);

// Levels that files store no bytes for (see TextureLevelStoredBytes) are
// filled from the smallest level that is stored.
void FillUnstoredLevels(ETextureImage& image);
