// The renderer's side of DDS files and texture-pack records: textures made
// from the pixel data that DDS.cpp reads, and their data read back to write.
#include <cstring>

#include "TWGraphics/DDS.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Texture.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

namespace {

CUBEMAPFACE FaceArg(const ETextureImage& image, unsigned face) {
  return image.m_eType == kTEXTURETYPE_CUBEMAP ? (CUBEMAPFACE)face : (CUBEMAPFACE)-1;
}

}  // namespace

HTEXTURE ERenderer::CreateTextureFromImage(const ETextureImage& image) {
  HTEXTURE hTexture =
      image.m_eType == kTEXTURETYPE_CUBEMAP
          ? CreateCubemapTexture(image.m_eFormat, image.m_dwWidth, image.m_dwLevels, image.m_dwFlags)
          : CreateBitmapTexture(image.m_eFormat, image.m_dwWidth, image.m_dwHeight, image.m_dwLevels, image.m_dwFlags);
  if (!hTexture) return 0;
  for (unsigned face = 0; face < image.GetFaceCount(); ++face) {
    for (unsigned level = 0; level < image.m_dwLevels; ++level) {
      const std::vector<uint8_t>& surface = image.Surface(level, face);
      size_t bytes = (size_t)TextureLevelBytes(image.m_eFormat, image.m_dwWidth, image.m_dwHeight, level);
      void* p = LockTexture(hTexture, level, nullptr, false, FaceArg(image, face), true);
      memcpy(p, surface.data(), bytes < surface.size() ? bytes : surface.size());
      UnlockTexture(hTexture, level, false, FaceArg(image, face));
    }
  }
  return hTexture;
}

void ERenderer::GetTextureImage(HTEXTURE hTexture, ETextureImage& image) {
  TEXTURETYPE eType = GetTextureType(hTexture);
  EASSERT(eType == kTEXTURETYPE_BITMAP || eType == kTEXTURETYPE_CUBEMAP);
  image.m_eType = eType;
  image.m_eFormat = GetTextureFormat(hTexture);
  image.m_dwFlags = GetTextureFlags(hTexture);
  GetTextureDimensions(hTexture, image.m_dwWidth, image.m_dwHeight);
  image.m_dwLevels = GetTextureLevelCount(hTexture);
  image.m_bHasPalette = false;
  image.Allocate();
  for (unsigned face = 0; face < image.GetFaceCount(); ++face) {
    for (unsigned level = 0; level < image.m_dwLevels; ++level) {
      std::vector<uint8_t>& surface = image.Surface(level, face);
      const void* p = LockTexture(hTexture, level, nullptr, true, FaceArg(image, face), false);
      memcpy(surface.data(), p, surface.size());
      UnlockTexture(hTexture, level, true, FaceArg(image, face));
    }
  }
}

HTEXTURE ERenderer::LoadTextureFromDDS(const char* path, unsigned flags, HPALETTE* pPalette) {
  EFile* file = gFile->Open(path, FILE_READ, kFILELOC_ReadPaths);
  if (!file) {
    g_ErrorManager.TraceMessagef(TT_None, "LoadTextureFromDDS: couldn't open file %s", path ? path : "");
    return 0;
  }
  return LoadTextureFromDDSStream(file, path, flags, pPalette);
}

HTEXTURE ERenderer::LoadTextureFromDDSStream(EFile* file, const char* name, unsigned flags, HPALETTE* pPalette) {
  if (pPalette) *pPalette = 0;
  if (!name) name = "";
  ETextureImage image;
  {
    EFileReader reader(file, kAUTOCLOSE_Yes);  // closes the file in every case
    if (!ReadDDSImage(reader, name, flags, image)) return 0;
  }
  HTEXTURE hTexture = CreateTextureFromImage(image);
  if (!hTexture) {
    g_ErrorManager.TraceMessagef(TT_Warning, "LoadTextureFromDDS: failed to create texture for %s\n", name);
    return 0;
  }
  if (image.m_eFormat == kTEXTUREFORMAT_P8) {
    HPALETTE hPalette = CreatePalette();
    if (!hPalette) {
      g_ErrorManager.TraceMessagef(TT_None, "Failed to create palette for %s\n", name);
      DeleteTexture(hTexture, true);
      return 0;
    }
    memcpy(LockPalette(hPalette), image.m_aPalette, sizeof(image.m_aPalette));
    UnlockPalette(hPalette);
    if (pPalette) *pPalette = hPalette;
    else DeletePalette(hPalette);
  }
  return hTexture;
}

bool ERenderer::SaveTextureAsDDS(HTEXTURE hTexture, HPALETTE hPalette, const char* path) {
  TEXTURETYPE eType = GetTextureType(hTexture);
  EASSERT(eType == kTEXTURETYPE_BITMAP || eType == kTEXTURETYPE_CUBEMAP);
  ETextureImage image;
  GetTextureImage(hTexture, image);
  if (image.m_eFormat == kTEXTUREFORMAT_P8) {
    EASSERT(hPalette);
    memcpy(image.m_aPalette, LockPalette(hPalette), sizeof(image.m_aPalette));
    UnlockPalette(hPalette);
    image.m_bHasPalette = true;
  }
  EFile* file = gFile->Open(path, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_WritePath);
  if (!file) {
    g_ErrorManager.TraceMessagef(TT_None, "Failed to create file %s\n", path ? path : "");
    return false;
  }
  EFileWriter writer(file, kAUTOCLOSE_Yes);
  WriteDDSImage(writer, image);
  return !writer.Err();
}

HTEXTURE ERenderer::ReadTextureFromPackFile(EStream& reader, HPALETTE** ppPalettes, void*) {
  if (ppPalettes) *ppPalettes = nullptr;
  ETextureImage image;
  if (!ReadTextureRecord(reader, image)) return 0;
  HTEXTURE hTexture = CreateTextureFromImage(image);
  if (!hTexture) {
    g_ErrorManager.TraceMessagef(TT_Warning, "ReadTextureFromPackFile: failed to create a texture");
    return 0;
  }
  if (image.m_bHasPalette) {
    HPALETTE hPalette = CreatePalette();
    uint32_t* pPal = LockPalette(hPalette);
    EASSERT(pPal);
    memcpy(pPal, image.m_aPalette, sizeof(image.m_aPalette));
    UnlockPalette(hPalette);
    if (ppPalettes) {
      *ppPalettes = new HPALETTE[1];
      (*ppPalettes)[0] = hPalette;
    } else {
      DeletePalette(hPalette);
    }
  }
  return hTexture;
}

int ERenderer::WriteTextureToPackFile(HTEXTURE hTexture, EStream& stream, const HPALETTE* pPalettes) {
  ETexture* pTexture = m_pTextures->ElementGet(hTexture);
  EASSERT(pTexture);
  TEXTURETYPE eType = pTexture->m_eType;
  if (eType != kTEXTURETYPE_BITMAP && eType != kTEXTURETYPE_CUBEMAP) {
    // The header goes out before the type is looked at.
    unsigned int header[kTEXTURE_RECORD_HEADER_SIZE / 4] = {
        hTexture, (unsigned)pTexture->m_eFormat, (unsigned)eType, pTexture->m_dwFlags, pTexture->m_dwWidth,
        pTexture->m_dwHeight, pTexture->m_dwMipMapLevels, 0, 0, 0, 0};
    for (unsigned int& v : header) stream << v;
    if (eType == kTEXTURETYPE_VOLUME)
      g_ErrorManager.TraceMessagef(TT_Warning, "Volume Map Textures are not supported for writing to a pack file");
    else if (eType == kTEXTURETYPE_DEPTHBUFFER)
      g_ErrorManager.TraceMessagef(TT_Warning, "Depth Buffer Textures are not supported for writing to a pack file");
    else
      g_ErrorManager.TraceMessagef(TT_Warning, "Unknown texture type passed to WriteTextureToPackFile. Ignoring");
    return 0;
  }
  ETextureImage image;
  GetTextureImage(hTexture, image);
  if (image.m_eFormat == kTEXTUREFORMAT_P8 && pPalettes && pPalettes[0]) {
    uint32_t* pPal = LockPalette(pPalettes[0]);
    EASSERT(pPal);
    memcpy(image.m_aPalette, pPal, sizeof(image.m_aPalette));
    UnlockPalette(pPalettes[0]);
    image.m_bHasPalette = true;
  }
  WriteTextureRecord(stream, image, hTexture);
  return 1;
}

bool ERenderer::loadAllMipSurfaces(HTEXTURE hTexture, CUBEMAPFACE face, EFile* file, bool bReadOnly) {
  TEXTUREFORMAT format = GetTextureFormat(hTexture);
  unsigned width = 0, height = 0;
  GetTextureDimensions(hTexture, width, height);
  unsigned levels = GetTextureLevelCount(hTexture);
  bool ok = true;
  for (unsigned level = 0; level < levels; ++level) {
    unsigned stored = (unsigned)TextureLevelStoredBytes(format, width, height, level);
    void* p = LockTexture(hTexture, level, nullptr, bReadOnly, face, false);
    if (stored && file->Read(p, (int)stored) != (int)stored) ok = false;
    UnlockTexture(hTexture, level, bReadOnly, face);
  }
  return ok;
}

bool ERenderer::saveAllMipSurfaces(HTEXTURE hTexture, CUBEMAPFACE face, EStream& stream, bool bReadOnly) {
  TEXTUREFORMAT format = GetTextureFormat(hTexture);
  unsigned width = 0, height = 0;
  GetTextureDimensions(hTexture, width, height);
  unsigned levels = GetTextureLevelCount(hTexture);
  for (unsigned level = 0; level < levels; ++level) {
    unsigned stored = (unsigned)TextureLevelStoredBytes(format, width, height, level);
    const void* p = LockTexture(hTexture, level, nullptr, bReadOnly, face, false);
    if (stored) stream.Stream(p, stored);
    UnlockTexture(hTexture, level, bReadOnly, face);
  }
  return !stream.Err();
}

unsigned ERenderer::GetSurfaceDataSize(HTEXTURE hTexture, CUBEMAPFACE) {
  TEXTUREFORMAT format = GetTextureFormat(hTexture);
  unsigned width = 0, height = 0;
  GetTextureDimensions(hTexture, width, height);
  uint64_t total = 0;
  for (unsigned level = 0; level < GetTextureLevelCount(hTexture); ++level)
    total += TextureLevelStoredBytes(format, width, height, level);
  return (unsigned)total;
}

unsigned ERenderer::GetTextureDataSize(HTEXTURE hTexture) {
  switch (GetTextureType(hTexture)) {
    case kTEXTURETYPE_BITMAP: return GetSurfaceDataSize(hTexture, (CUBEMAPFACE)-1);
    case kTEXTURETYPE_CUBEMAP: return 6 * GetSurfaceDataSize(hTexture, kCUBEMAP_POSITIVE_X);
    case kTEXTURETYPE_VOLUME:
      g_ErrorManager.TraceMessagef(TT_Warning, "Volume Map Textures are not supported for writing to a pack file");
      return 0;
    case kTEXTURETYPE_DEPTHBUFFER:
      g_ErrorManager.TraceMessagef(TT_Warning, "Depth Buffer Textures are not supported for writing to a pack file");
      return 0;
  }
  return 0;
}
