// The stored geometry of one model fragment (textures, lightmaps, renderer
// buffers, skinning and blend-shape data) and the fixed pool holding them.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"

class EModel;
class ELight;
class EStream;

// Position and normal of one vertex (24 bytes).
struct VERTEX_NOTEX_NORM {
  EVec3 vPos;
  EVec3 vNormal;
};

// Tangent basis of one vertex (36 bytes).
struct VERTEX_STREAM_BASIS {
  EVec3 vTangent;
  EVec3 vBinormal;
  EVec3 vNormal;
};

// One sparse blend-shape delta.
struct VERTEX_STREAM_SW_BLEND {
  uint16_t wIndex;
  EVec3 vPosDelta;
  EVec3 vNormalDelta;
};

// Per palette entry: the weight and the two entries whose matrices place
// the entry's box (32 bytes, stored raw).
struct EBoneMaxWeight {
  EBoneMaxWeight() : m_fWeight(0.0f), m_iPaletteIndex(-1), m_iPaletteIndex2(-1) {
    for (uint8_t& b : m_abUnknown1) b = 0;
    for (uint8_t& b : m_abUnknown2) b = 0;
  }
  float m_fWeight;
  uint8_t m_abUnknown1[12];
  int32_t m_iPaletteIndex;
  int32_t m_iPaletteIndex2;
  uint8_t m_abUnknown2[8];
};
static_assert(sizeof(EBoneMaxWeight) == 32, "EBoneMaxWeight is stored raw");

struct EModelBlinnInfo {
  EModelBlinnInfo()
      : m_hReflectionMap(0), m_hTexture2(0), m_hTexture3(0), m_vColor(1.0f, 1.0f, 1.0f), m_fSpecularPower(8.0f),
        m_vSpecularColor(0.5f, 0.5f, 0.5f) {}
  uint32_t m_hReflectionMap;
  uint32_t m_hTexture2;
  uint32_t m_hTexture3;
  EVec3 m_vColor;
  float m_fSpecularPower;
  EVec3 m_vSpecularColor;
};

// Skinning data; the arrays are owned.
struct EModelAnimInfo {
  EModelAnimInfo()
      : m_pJointPalette(nullptr), m_pBoxes(nullptr), m_pBoneMaxWeights(nullptr), m_nPaletteSize(0),
        m_pSkinningVerts(nullptr), m_pSkinningBasis(nullptr), m_pSkinningOrigSkinWeights(nullptr) {}
  ~EModelAnimInfo();
  EModelAnimInfo(const EModelAnimInfo&) = delete;
  EModelAnimInfo& operator=(const EModelAnimInfo&) = delete;
  uint16_t* m_pJointPalette;
  EBox3* m_pBoxes;
  EBoneMaxWeight* m_pBoneMaxWeights;
  uint16_t m_nPaletteSize;
  VERTEX_NOTEX_NORM* m_pSkinningVerts;
  VERTEX_STREAM_BASIS* m_pSkinningBasis;
  uint8_t* m_pSkinningOrigSkinWeights;  // 8 bytes per vertex
};

// Blend-shape data; deltas and buffers are owned.
struct EModelBlendInfo {
  EModelBlendInfo()
      : m_dwFragIndex(0), m_byBlendFlags(0), m_aMappingIndices(kMEMTYPE_Misc), m_aScales(kMEMTYPE_Misc),
        m_aStreamBuffers(kMEMTYPE_Misc), m_pBlendBasis(nullptr), m_aDeltaCounts(kMEMTYPE_Misc),
        m_aSparseDeltas(kMEMTYPE_Misc) {}
  ~EModelBlendInfo();
  EModelBlendInfo(const EModelBlendInfo&) = delete;
  EModelBlendInfo& operator=(const EModelBlendInfo&) = delete;
  uint32_t m_dwFragIndex;
  uint8_t m_byBlendFlags;  // 0x01 blend shapes, 0x02 sparse deltas
  EArray<unsigned int> m_aMappingIndices;
  EArray<float> m_aScales;
  EArray<unsigned int> m_aStreamBuffers;
  VERTEX_NOTEX_NORM* m_pBlendBasis;
  EArray<unsigned int> m_aDeltaCounts;
  EArray<VERTEX_STREAM_SW_BLEND*> m_aSparseDeltas;
};

enum {
  kMODELFRAGSTREAM_GEOM = 0,
  kMODELFRAGSTREAM_DIFFUSE = 1,
  kMODELFRAGSTREAM_TEXCOORD = 2,
  kMODELFRAGSTREAM_HWSKIN = 3,
  kMODELFRAGSTREAM_BASIS = 4,
  kMODELFRAGSTREAM_COUNT = 5,
};

class EModelFrag : public EDataElement {
public:
  EModelFrag();
  ~EModelFrag();
  EModelFrag(const EModelFrag&) = delete;
  EModelFrag& operator=(const EModelFrag&) = delete;

  void SetSwitchLightName(const char* szName);
  const char* GetSwitchLightName() const { return m_szSwitchLightName; }
  void SetGeomShader(int iShader) { m_eGeomShader = iShader; }
  // Reads a model-fragment record into this fragment, whose owner model is
  // set. A damaged record is traced and fails, leaving nothing behind.
  bool Read(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType);
  bool ReadCompressedBlendshapeData(EStream& s, unsigned uResourceFlags);
  // Buffers, names and records released; back to a fresh fragment.
  void FreeData();

  EModel* m_pOwnerModel;
  uint32_t m_phVertBuffer[kMODELFRAGSTREAM_COUNT];
  uint32_t m_hIndexBuffer;
  uint16_t m_nVerts;
  uint16_t m_nPolys;
  uint16_t m_nDegenPolys;
  int16_t m_iMonitorChannel;
  uint32_t m_aTextures[3];
  uint32_t m_ahLightmap[2];
  uint32_t m_ahLightmapPalette[2];
  uint32_t m_hDetailTexture;
  EVec2 m_vTexCoordTransVel;
  EVec2 m_vDetailScale;
  uint8_t m_byNumTextures;
  uint8_t m_byLOD;
  EVec4 m_vColor;
  int32_t m_eGeomShader;  // 0 project, 2 hardware skin, 4 hardware blend
  float m_fGlareIntensity;
  EBox3 m_Box;
  char* m_szSwitchLightName;
  ELight* m_pSwitchLight;
  float m_fTexcoordScale;
  EModelBlinnInfo* m_pBlinnInfo;
  EModelAnimInfo* m_pAnimInfo;
  EModelBlendInfo* m_pBlendInfo;
  uint32_t m_dwFragFlags;
  uint32_t m_dwMaterialFlags;
};

// The fixed pool "Model Frags".
class EModelFragManager {
public:
  enum { kMAX_MODEL_FRAGS = 2252 };
  // A full pool is fatal.
  static EModelFrag* ModelFragNew();
  static void ModelFragDelete(EModelFrag* pFrag);
  static int GetActiveCount();
  static EDataArray<EModelFrag>& GetModelFragArray();
  // Turns 32-bit lightmaps into palettised ones; sharers follow.
  static void PalettizeLightmaps();
};
