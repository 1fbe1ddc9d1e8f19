// The frame's 2D sprites: textured, coloured quads in the 640 x 480 overlay
// space (y grows downward), drawn in order of layer, batched by texture.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"

enum {
  kSPRITEFLAG_LUMINANCE = 0x1,       // drawn with the luminance pixel shader
  kSPRITEFLAG_ABSOLUTE_PIVOT = 0x2,  // the pivot is a screen position
  kSPRITEFLAG_PSYCHEDELIC = 0x4,     // visible only in the psychedelic pass
};

struct ESprite : public EDataElement {
  uint32_t m_hTexture;
  uint32_t m_dwMaskFlag;
  uint32_t m_dwLayer;
  uint32_t m_dwColor;
  EBox2 m_TexBox;
  EVec2 m_avCorners[4];  // bottom-left, bottom-right, top-left, top-right
  uint32_t m_dwFlags;
};

class ESpriteManager {
public:
  enum {
    kINITIAL_SPRITES = 128,
    kVERTS_PER_BUFFER = 16384,
    kMAX_SPRITE_VERTS = 16383,
    kMAX_SPRITES_PER_PASS = kMAX_SPRITE_VERTS / 6,  // 2730
    kNUM_VERTEX_BUFFERS = 3,
  };

  ESpriteManager();
  ~ESpriteManager();
  ESpriteManager(const ESpriteManager&) = delete;
  ESpriteManager& operator=(const ESpriteManager&) = delete;

  // Queues one sprite whose top-left corner is at (x, y). Colour components
  // outside 0..1 are clamped.
  void AddSprite(uint32_t hTexture, float x, float y, unsigned layer, const EBox2& texBox,
                 const EVec4* pColor = nullptr, const EVec2* pPivot = nullptr, const EVec2* pScale = nullptr,
                 float rotation = 0.0f, const EVec2* pCrop = nullptr, unsigned flags = 0, unsigned maskFlag = 0,
                 EBox2* pOutBox = nullptr);
  // Sorts the frame's sprites (layer, then texture) and writes their
  // vertices into the next of the three vertex buffers. A pass holds at
  // most 2730 sprites; the rest are dropped with one warning.
  void PreprocessAll();
  void DrawAll(const EVec2* pOffset = nullptr, const EVec2* pScale = nullptr);
  void ResetFrame();
  void RestoreSize();
  void drawSpriteAlphaMask(ESprite*) {}

  // Read by tests and by the passes that run the cycle themselves.
  int GetSortedCount() const { return m_iSortedSpriteCount; }
  int GetLastCount() const { return m_iLastSpriteCount; }
  const EDataId* GetSortList() const { return m_pSortList; }
  int GetCurrentBuffer() const { return m_iCurrentBuffer; }
  uint32_t GetVertexBuffer(int i) const { return m_ahVertexBuffers[i]; }
  EDataArray<ESprite>* GetSpriteArray() { return m_pSpriteArray; }

private:
  EDataArray<ESprite>* m_pSpriteArray;
  EDataId* m_pSortList;
  int m_iSortListCapacity;
  int m_iSortedSpriteCount;
  int m_iLastSpriteCount;
  uint32_t m_ahVertexBuffers[kNUM_VERTEX_BUFFERS];
  int m_iCurrentBuffer;
  bool m_bWarnedOverflow;
};

// Clamps each component of a colour to 0..1 (a NaN becomes 0).
EVec4 SpriteClampColor(const EVec4& colour);
