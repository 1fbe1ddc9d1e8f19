// A game texture: one pooled record per texture the game draws, holding one
// renderer texture per animation frame.
#pragma once

#include <cstdint>

#include "TWGraphics/Renderer.h"
#include "TWUtil/DataArray.h"

class EStream;
struct ETexAnimInfo;

enum {
  kGAMETEXTURE_LOCKED = 0x1,          // common: survives level changes
  kGAMETEXTURE_RENDERER_BIT0 = 0x2,   // renderer texture flag 0x1
  kGAMETEXTURE_PROCEDURAL = 0x4,      // wraps a texture the program made
  kGAMETEXTURE_PURGE_OK = 0x8,        // a procedural texture that purging deletes
  kGAMETEXTURE_RENDERER_BIT1 = 0x10,  // renderer texture flag 0x2
  kGAMETEXTURE_MEMORY_CATEGORY = 0xFF0000,
};

enum { kGAMETEXTURE_RECORD_SIZE = 40, kMAX_TEXTURE_NAME = 4096 };

// Renderer texture flags of game texture flags.
unsigned GameTextureRendererFlags(unsigned flags);

class EGameTexture : public EDataElement {
public:
  EGameTexture();
  ~EGameTexture();
  EGameTexture(const EGameTexture&) = delete;
  EGameTexture& operator=(const EGameTexture&) = delete;

  int GetNumFrames() const;
  bool GetLocked() const { return (m_dwFlags & kGAMETEXTURE_LOCKED) != 0; }
  bool GetProcedural() const { return (m_dwFlags & kGAMETEXTURE_PROCEDURAL) != 0; }
  bool GetPurgeOk() const { return (m_dwFlags & kGAMETEXTURE_PURGE_OK) != 0; }

  // The renderer's answers for frame 0.
  bool HasAlpha() const;
  bool HasBinaryAlpha() const;
  TEXTUREFORMAT GetTextureFormat() const;
  const char* GetTextureFormatString() const;
  // Texels of level 0, summed over the frames.
  unsigned GetTextureSize() const;

  void SetPlayMode(int mode, float startTimeMs, int frame);

  // Texture statistics, computed on first use and kept (TextureReduction.cpp).
  float GetTextureDensity();
  int GetVisualImportance();
  int GetMemoryImportance();

  // The pack record: the 40-byte head, the name, the animation record and
  // one renderer texture record per frame.
  void WriteToPackFile(EStream& stream);
  bool ReadFromPackFile(EStream& stream);
  // The part before the frames; false (with the stream failed) for a record
  // that cannot be right.
  bool ReadHeadFromPackFile(EStream& stream);
  void WriteHeadToPackFile(EStream& stream);

  uint32_t* m_phTextures;    // one renderer texture per frame; owned
  uint32_t* m_phPalettes;    // one palette per frame, or null; owned
  char* m_szName;            // normalised file name; owned
  ETexAnimInfo* m_pTexAnimInfo;  // animated textures only; owned
  float m_fDensity;          // -1: not computed
  int m_iVisualImportance;   // -1: not computed
  int m_iMemoryImportance;   // -1: not computed
  unsigned m_dwReducedMemory;  // given up by automatic reduction
  unsigned m_dwFlags;
};
