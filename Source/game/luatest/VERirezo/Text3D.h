// The frame's characters of text laid out in the 3D world: textured,
// coloured quads drawn depth-tested after the scene, grouped by texture.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"

class EMat4;

struct EChar3D : public EDataElement {
  uint32_t m_hTexture;
  uint32_t m_dwColor;
  EBox2 m_TexBox;
  EVec3 m_avCorners[4];  // bottom-left, bottom-right, top-left, top-right
};

class EText3DManager {
public:
  enum { kINITIAL_CHARS = 128, kCHUNK_VERTS = 224, kWORDS_PER_VERTEX = 7 };

  EText3DManager();
  ~EText3DManager();
  EText3DManager(const EText3DManager&) = delete;
  EText3DManager& operator=(const EText3DManager&) = delete;

  // Queues one character whose bottom-left corner is at (x, y, z). Colour
  // components outside 0..1 are clamped.
  void AddChar(uint32_t hTexture, float x, float y, float z, const EBox2& texBox, const EVec4* pColor = nullptr,
               const EVec3* pOrigin = nullptr, const EVec3* pScale = nullptr, const EEuler* pRotation = nullptr,
               const EMat4* pMatrix = nullptr);
  void PreprocessAll();
  void DrawAll();
  void ResetFrame();
  void RestoreSize();

  int GetSortedCount() const { return m_iSortedCharCount; }
  const EDataId* GetSortList() const { return m_pSortList; }
  EDataArray<EChar3D>* GetCharArray() { return m_pCharArray; }

private:
  EDataArray<EChar3D>* m_pCharArray;
  EDataId* m_pSortList;
  int m_iSortListCapacity;
  int m_iSortedCharCount;
  int m_iUnusedCount;
};
