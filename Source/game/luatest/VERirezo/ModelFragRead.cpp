// Reading a model-fragment record into renderer buffers.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Game/GameApp.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "VERirezo/GameTexture.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"
#include "VERirezo/TextureManager.h"

namespace ModelFragRead {

enum : uint32_t {
  kMAT_Alpha = 0x1,
  kMAT_Error = 0x2,
  kMAT_Skinned = 0x4,
  kMAT_BlinnThird = 0x8,
  kMAT_Lightmaps = 0x20,
  kMAT_Quantise = 0x40,
  kMAT_OneBitAlpha = 0x400,
  kMAT_Specular = 0x20000,
  kMAT_BlinnColor = 0x40000,
  kMAT_Quantise2 = 0x800000,
  kMAT_Strip = 0x1000000,
  kMAT_AlphaOnly = 0x20000000,
  kMAT_Detail = 0x40000000,
  kMAT_ErrorLater = 0x80000000,
};
enum : uint32_t { kFRAG_Blend = 0x1, kFRAG_Skin = 0x2, kFRAG_Blend2 = 0x4, kFRAG_Skin2 = 0x8, kFRAG_Snow = 0x40 };
enum : uint8_t { kBLEND_Present = 0x1, kBLEND_Sparse = 0x2 };
const uint32_t kMAX_WORD = 0xFFFF;

// Traces a damaged record and fails its read.
bool Refuse(const char* szText) {
  g_ErrorManager.TraceMessagef(TT_Warning, "%s", szText);
  return false;
}

// Room for bytes on the scratch stack, without the fatal report of a full one.
void* StackAlloc(unsigned bytes) {
  if ((unsigned long long)g_PrimaryStack.GetUsedBytes() + bytes + 16 > g_PrimaryStack.GetSize()) return nullptr;
  return g_PrimaryStack.Push(bytes ? bytes : 4, 4);
}

EVec3 ReadNormal(EStream& s) {
  ENormPacked3 n;
  s << n.m_uWord;
  return n.ToVector();
}

uint32_t TextureId(const EArray<unsigned>& ids, uint32_t index, bool& bOk) {
  if (index >= (uint32_t)ids.Num()) {
    bOk = false;
    return 0;
  }
  return ids[(int)index];
}

// The renderer texture of a texture id; none without a texture manager.
HTEXTURE TextureHandle(uint32_t id) {
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  return pTextures ? pTextures->GetTextureHandle(id) : 0;
}

float QuantisePower(float f) {
  if (f < 3.0f) return 2.0f;
  if (f < 6.0f) return 4.0f;
  if (f < 12.0f) return 8.0f;
  if (f < 24.0f) return 16.0f;
  return 32.0f;
}

// A vertex buffer of the format filled with count records of the bytes.
uint32_t MakeBuffer(int format, unsigned count, unsigned flags, const char* szName, const void* pData, unsigned stride) {
  ERenderer* pRenderer = g_pCurrentRenderer;
  if (!pRenderer) return 0;
  const uint32_t hVB = pRenderer->CreateVertexBuffer((VBFORMAT)format, count, flags, szName);
  if (!hVB) return 0;
  void* p = pRenderer->LockVertexBuffer(hVB, count, 0, 0);
  if (!p) {
    pRenderer->DeleteVertexBuffer(hVB);
    return 0;
  }
  memcpy(p, pData, (size_t)count * stride);
  pRenderer->UnlockVertexBuffer(hVB);
  return hVB;
}

}  // namespace ModelFragRead

bool EModelFrag::Read(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType) {
  using namespace ModelFragRead;
  EMemMark mark(g_PrimaryStack);
  ERenderer* pRenderer = g_pCurrentRenderer;
  const bool bSoftSkin = pRenderer && pRenderer->m_bSoftwareSkinning;
  const unsigned uResourceFlags = (eDataType >= 1 && eDataType <= 4) ? ((unsigned)eDataType << 16) | 1 : 0;
  EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
  const unsigned idError = gGameApp ? gGameApp->m_idErrorTexture : 0;
  bool bOk = true;
  auto fail = [this](const char* szText) {
    FreeData();
    return Refuse(szText);
  };

  s << m_Box.vMin << m_Box.vMax;
  m_dwFragFlags = 0;
  if (iVersion > 317) s << m_dwFragFlags;
  s << m_dwMaterialFlags;
  uint32_t dwIgnored = 0;
  uint8_t byBlendFlags = 0;
  s << dwIgnored << m_byLOD << byBlendFlags << m_vColor;
  if (s.Err()) return fail("Model fragment record ends early");
  if (byBlendFlags & kBLEND_Present) {
    if (m_pOwnerModel) m_pOwnerModel->m_byHasBlendShape = 1;
    m_pBlendInfo = new EModelBlendInfo();
    m_pBlendInfo->m_byBlendFlags = byBlendFlags;
  }
  if ((m_dwFragFlags & kFRAG_Blend) && !m_pBlendInfo) return fail("Blend-shape fragment without blend flags");
  if ((m_dwFragFlags & kFRAG_Skin2) && !(m_dwMaterialFlags & kMAT_Skinned)) {
    return fail("Skinned fragment without skinning data");
  }

  uint32_t nTextures = 0;
  s << nTextures;
  m_byNumTextures = (uint8_t)nTextures;
  if (nTextures > 3) return fail("More than three textures found in a mesh fragment!\n");
  for (uint32_t i = 0; i < nTextures; ++i) {
    uint32_t index = 0;
    s << index;
    const uint32_t id = TextureId(aTextureIds, index, bOk);
    if (!bOk || s.Err()) return fail("Texture index outside the texture table");
    if (idError && id == idError) m_dwMaterialFlags |= kMAT_Error;
    if (i == 0) {
      m_aTextures[0] = id;
      EGameTexture* pTexture = pTextures ? pTextures->GetTexture(id) : nullptr;
      if (pTexture) {
        if (pTexture->HasAlpha()) m_dwMaterialFlags |= kMAT_Alpha;
        const HTEXTURE hTexture = pTextures->GetTextureHandle(id);
        const TEXTUREFORMAT eFormat = pRenderer && hTexture ? pRenderer->GetTextureFormat(hTexture) : kTEXTUREFORMAT_8888;
        if (eFormat == kTEXTUREFORMAT_1555 || eFormat == kTEXTUREFORMAT_DXT1) m_dwMaterialFlags |= kMAT_OneBitAlpha;
      }
    } else {
      m_aTextures[i < nTextures - 1 ? 2 : 1] = id;
    }
  }

  if (m_dwMaterialFlags & kMAT_Lightmaps) {
    int32_t aiLightmap[2] = {-1, -1};
    s << aiLightmap[0] << aiLightmap[1];
    for (int j = 0; j < 2; ++j) {
      if (aiLightmap[j] == -1) {
        if (j == 0) m_dwMaterialFlags &= ~kMAT_Lightmaps;
        break;
      }
      const uint32_t id = TextureId(aTextureIds, (uint32_t)aiLightmap[j], bOk);
      if (!bOk) return fail("Texture index outside the texture table");
      m_ahLightmap[j] = TextureHandle(id);
      m_ahLightmapPalette[j] = pTextures ? pTextures->GetPaletteHandle(id) : 0;
    }
    if (aiLightmap[0] != -1 && aiLightmap[1] != -1) {
      char* szName = s.StreamStringPooled_4b(kMEMTYPE_Mesh);
      SetSwitchLightName(szName);
      free(szName);
    }
  }

  // Shading extras.
  m_pBlinnInfo = new EModelBlinnInfo();
  if (m_dwMaterialFlags & kMAT_BlinnThird) {
    int32_t index = -1;
    s << index;
    if (index != -1) {
      const uint32_t id = TextureId(aTextureIds, (uint32_t)index, bOk);
      if (!bOk) return fail("Texture index outside the texture table");
      m_pBlinnInfo->m_hTexture3 = TextureHandle(id);
    }
  }
  if (!m_pBlinnInfo->m_hTexture3) m_dwMaterialFlags &= ~kMAT_BlinnThird;
  int32_t iSecond = -1;
  s << iSecond;
  if (iSecond != -1) {
    const uint32_t id = TextureId(aTextureIds, (uint32_t)iSecond, bOk);
    if (!bOk) return fail("Texture index outside the texture table");
    m_pBlinnInfo->m_hTexture2 = TextureHandle(id);
  }
  if (m_dwMaterialFlags & kMAT_Specular) {
    s << m_pBlinnInfo->m_fSpecularPower << m_pBlinnInfo->m_vSpecularColor;
    if (m_dwMaterialFlags & (kMAT_Lightmaps | kMAT_Quantise | kMAT_Quantise2)) {
      m_pBlinnInfo->m_fSpecularPower = QuantisePower(m_pBlinnInfo->m_fSpecularPower);
    }
  }
  int32_t iReflection = -1;
  s << iReflection;
  if (iReflection != -1) {
    const uint32_t id = TextureId(aTextureIds, (uint32_t)iReflection, bOk);
    if (!bOk) return fail("Texture index outside the texture table");
    m_pBlinnInfo->m_hReflectionMap = TextureHandle(id);
    if (pRenderer && m_pBlinnInfo->m_hReflectionMap &&
        pRenderer->GetTextureType(m_pBlinnInfo->m_hReflectionMap) != kTEXTURETYPE_CUBEMAP) {
      EGameTexture* pTexture = pTextures ? pTextures->GetTexture(id) : nullptr;
      g_ErrorManager.TraceMessagef(TT_Warning, "Reflection map is not stored as a cubemap: %s\n",
                                   pTexture && pTexture->m_szName ? pTexture->m_szName : "");
    }
  }
  EVec3 vColor;
  s << vColor;
  if (m_dwMaterialFlags & kMAT_BlinnColor) m_pBlinnInfo->m_vColor = vColor;
  if (m_dwMaterialFlags & kMAT_Detail) {
    int32_t index = -1;
    s << index << m_vDetailScale;
    if (index != -1) {
      const uint32_t id = TextureId(aTextureIds, (uint32_t)index, bOk);
      if (!bOk) return fail("Texture index outside the texture table");
      m_hDetailTexture = TextureHandle(id);
      EGameTexture* pTexture = pTextures ? pTextures->GetTexture(id) : nullptr;
      if (m_hDetailTexture && pTexture && pTexture->m_szName && strstr(pTexture->m_szName, "detailtextures\\snow")) {
        m_dwFragFlags |= kFRAG_Snow;
      }
    }
  }
  s << m_fGlareIntensity << m_vTexCoordTransVel << dwIgnored;

  uint32_t nVerts = 0;
  s << nVerts;
  if (s.Err()) return fail("Model fragment record ends early");
  if (nVerts == 0 || nVerts >= kMAX_WORD) return fail("iVertCount > 0 && iVertCount < kMAX_WORD");
  m_nVerts = (uint16_t)nVerts;
  VERTEX_NOTEX_NORM* pVerts = static_cast<VERTEX_NOTEX_NORM*>(StackAlloc(nVerts * sizeof(VERTEX_NOTEX_NORM)));
  if (!pVerts) return fail("Model fragment: no room for the vertices");
  if (s.BoundLength(nVerts * 16) != nVerts * 16) return fail("Model fragment record ends early");
  {
    // One read of the whole block, decoded in place: position, packed normal.
    std::vector<uint8_t> raw((size_t)nVerts * 16);
    s.Stream(raw.data(), nVerts * 16);
    const uint8_t* p = raw.data();
    for (uint32_t i = 0; i < nVerts; ++i, p += 16) {
      pVerts[i].vPos = EVec3(GetLEFloat(p), GetLEFloat(p + 4), GetLEFloat(p + 8));
      ENormPacked3 n;
      n.m_uWord = GetLE32(p + 12);
      pVerts[i].vNormal = n.ToVector();
    }
  }

  uint32_t bDiffuse = 0;
  s << bDiffuse;
  if (bDiffuse) {
    uint32_t* pColors = static_cast<uint32_t*>(StackAlloc(nVerts * 4));
    if (!pColors) return fail("Model fragment: no room for the colours");
    if (s.BoundLength(nVerts * 4) != nVerts * 4) return fail("Model fragment record ends early");
    for (uint32_t i = 0; i < nVerts; ++i) s << pColors[i];
    m_phVertBuffer[kMODELFRAGSTREAM_DIFFUSE] = MakeBuffer(kVBFORMAT_COLOR, nVerts, uResourceFlags, "Diffuse Stream", pColors, 4);
    if (!m_phVertBuffer[kMODELFRAGSTREAM_DIFFUSE]) return fail("Model fragment: no diffuse buffer");
  }

  uint32_t nSets = 0;
  s << nSets;
  if (nSets > 4) return fail("More than four texture-coordinate sets in a mesh fragment");
  if (nSets) {
    s << m_fTexcoordScale;
    const unsigned n = nVerts * nSets;
    if (s.BoundLength(n * 4) != n * 4) return fail("Model fragment record ends early");
    std::vector<uint8_t> raw((size_t)n * 4);
    s.Stream(raw.data(), n * 4);
    float* pCoords = new float[(size_t)n * 2];
    for (unsigned i = 0; i < n; ++i) {
      const uint32_t w = GetLE32(&raw[(size_t)i * 4]);
      pCoords[2 * i] = (float)(int16_t)(w & 0xFFFF) / 32767.0f;
      pCoords[2 * i + 1] = (float)(int16_t)(w >> 16) / 32767.0f;
    }
    m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD] =
        MakeBuffer(kVBFORMAT_COLOR + (int)nSets, nVerts, uResourceFlags, "Texcoord Stream", pCoords, nSets * 8);
    delete[] pCoords;
    if (!m_phVertBuffer[kMODELFRAGSTREAM_TEXCOORD]) return fail("Model fragment: no texcoord buffer");
  }

  uint32_t bBasis = 0;
  s << bBasis;
  VERTEX_STREAM_BASIS* pBasis = nullptr;
  if (bBasis) {
    pBasis = static_cast<VERTEX_STREAM_BASIS*>(StackAlloc(nVerts * sizeof(VERTEX_STREAM_BASIS)));
    if (!pBasis) return fail("Model fragment: no room for the bases");
    if (s.BoundLength(nVerts * 12) != nVerts * 12) return fail("Model fragment record ends early");
    for (uint32_t i = 0; i < nVerts; ++i) {
      pBasis[i].vTangent = ReadNormal(s);
      pBasis[i].vBinormal = ReadNormal(s);
      pBasis[i].vNormal = ReadNormal(s);
    }
  }

  uint32_t nPolys = 0, nDegen = 0;
  s << nPolys << nDegen;
  if (s.Err()) return fail("Model fragment record ends early");
  if (nPolys >= kMAX_WORD) return fail("iPolyCount < kMAX_WORD");
  if (nDegen >= kMAX_WORD) return fail("iDegenPolyCount < kMAX_WORD");
  m_nPolys = (uint16_t)nPolys;
  m_nDegenPolys = (uint16_t)nDegen;
  const unsigned nIndices = (m_dwMaterialFlags & kMAT_Strip) ? nPolys + 2 : nPolys * 3;
  if (nIndices == 0) return fail("Model fragment without polygons");
  uint16_t* pIndices = static_cast<uint16_t*>(StackAlloc(nIndices * 2));
  if (!pIndices) return fail("Model fragment: no room for the indices");
  if (s.BoundLength(nIndices * 2) != nIndices * 2) return fail("Model fragment record ends early");
  s.Stream(pIndices, nIndices * 2);
  for (unsigned i = 0; i < nIndices; ++i) pIndices[i] = GetLE16(reinterpret_cast<const uint8_t*>(&pIndices[i]));

  const bool bBlend = m_pBlendInfo != nullptr;
  const bool bSparse = bBlend && (m_pBlendInfo->m_byBlendFlags & kBLEND_Sparse);
  if (m_dwMaterialFlags & kMAT_Skinned) {
    uint16_t wIgnored = 0, nPalette = 0, nInfluences = 0;
    s << wIgnored << nPalette << nInfluences;
    if (s.Err()) return fail("Model fragment record ends early");
    m_pAnimInfo = new EModelAnimInfo();
    m_pAnimInfo->m_nPaletteSize = nPalette;
    m_dwFragFlags |= kFRAG_Skin;
    if (nInfluences > 2) {
      g_ErrorManager.TraceMessagef(TT_Warning, "Loading model with %i influences per vertex (maximum is 2): %s",
                                   (int)nInfluences, s.GetName() ? s.GetName() : "");
    }
    if (!bSoftSkin) m_eGeomShader = (bBlend && !bSparse) ? 4 : 2;
    const unsigned uPaletteBytes = nPalette * (2u + 32u + 24u);
    if (s.BoundLength(uPaletteBytes) != uPaletteBytes) return fail("Model fragment record ends early");
    m_pAnimInfo->m_pJointPalette = new uint16_t[nPalette ? nPalette : 1];
    m_pAnimInfo->m_pBoneMaxWeights = new EBoneMaxWeight[nPalette ? nPalette : 1];
    m_pAnimInfo->m_pBoxes = new EBox3[nPalette ? nPalette : 1];
    for (unsigned i = 0; i < nPalette; ++i) s << m_pAnimInfo->m_pJointPalette[i];
    for (unsigned i = 0; i < nPalette; ++i) {
      uint8_t raw[32];
      s.Read(raw, 1, 32);
      EBoneMaxWeight& w = m_pAnimInfo->m_pBoneMaxWeights[i];
      w.m_fWeight = GetLEFloat(raw);
      memcpy(w.m_abUnknown1, raw + 4, 12);
      w.m_iPaletteIndex = (int32_t)GetLE32(raw + 16);
      w.m_iPaletteIndex2 = (int32_t)GetLE32(raw + 20);
      memcpy(w.m_abUnknown2, raw + 24, 8);
    }
    for (unsigned i = 0; i < nPalette; ++i) s << m_pAnimInfo->m_pBoxes[i].vMin << m_pAnimInfo->m_pBoxes[i].vMax;
    if (s.BoundLength(nVerts * 12) != nVerts * 12) return fail("Model fragment record ends early");
    uint8_t* pWeights = new uint8_t[(size_t)nVerts * 8];
    for (uint32_t i = 0; i < nVerts; ++i) {
      uint32_t dwWord = 0;
      float fFirst = 0.0f, fSecond = 0.0f;
      s << dwWord << fFirst << fSecond;
      memcpy(pWeights + i * 8, &dwWord, 4);
      memcpy(pWeights + i * 8 + 4, &fFirst, 4);
    }
    m_pAnimInfo->m_pSkinningOrigSkinWeights = pWeights;
    m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN] =
        MakeBuffer(kVBFORMAT_TEXCOORD67, nVerts, uResourceFlags, "Hardware Skinning Stream", pWeights, 8);
    if (!m_phVertBuffer[kMODELFRAGSTREAM_HWSKIN]) return fail("Model fragment: no skinning buffer");
  } else {
    m_eGeomShader = (!bSoftSkin && bBlend && !bSparse) ? 4 : 0;
  }
  if (s.Err()) return fail("Model fragment record ends early");

  if (m_dwMaterialFlags & kMAT_Skinned) m_dwFragFlags |= kFRAG_Skin2;
  const bool bSkinned = (m_dwFragFlags & kFRAG_Skin2) != 0;
  if (bBlend) {
    m_dwFragFlags |= kFRAG_Blend | kFRAG_Blend2;
    if (!bSparse) {
      m_dwMaterialFlags &= ~(kMAT_BlinnThird | kMAT_BlinnColor | kMAT_Quantise2);
      m_pBlinnInfo->m_hTexture3 = 0;
      pBasis = nullptr;
    }
  }
  if (bSparse || (bSkinned && bSoftSkin)) {
    if (bBlend && (bSparse || bSoftSkin)) {
      m_pBlendInfo->m_pBlendBasis = new VERTEX_NOTEX_NORM[nVerts];
      memcpy(m_pBlendInfo->m_pBlendBasis, pVerts, nVerts * sizeof(VERTEX_NOTEX_NORM));
    }
  } else {
    m_phVertBuffer[kMODELFRAGSTREAM_GEOM] = MakeBuffer(kVBFORMAT_POSITION_NORMAL, nVerts, uResourceFlags,
                                                       "Geometry Stream", pVerts, sizeof(VERTEX_NOTEX_NORM));
    if (!m_phVertBuffer[kMODELFRAGSTREAM_GEOM]) return fail("Model fragment: no geometry buffer");
    if (bBlend && bSoftSkin) {
      EASSERT(m_pBlendInfo->m_pBlendBasis == NULL);
      m_pBlendInfo->m_pBlendBasis = new VERTEX_NOTEX_NORM[nVerts];
      memcpy(m_pBlendInfo->m_pBlendBasis, pVerts, nVerts * sizeof(VERTEX_NOTEX_NORM));
    }
  }
  if (pBasis && !(bSkinned && bSoftSkin)) {
    m_phVertBuffer[kMODELFRAGSTREAM_BASIS] = MakeBuffer(kVBFORMAT_TANGENT_BINORMAL_TEXCOORD4, nVerts, uResourceFlags,
                                                        "Basis Stream", pBasis, sizeof(VERTEX_STREAM_BASIS));
    if (!m_phVertBuffer[kMODELFRAGSTREAM_BASIS]) return fail("Model fragment: no basis buffer");
  }
  if (pRenderer) {
    m_hIndexBuffer = pRenderer->CreateIndexBuffer(nIndices, 0);
    uint16_t* p = m_hIndexBuffer ? pRenderer->LockIndexBuffer(m_hIndexBuffer, nIndices, 0, 0) : nullptr;
    if (!p) return fail("Model fragment: no index buffer");
    memcpy(p, pIndices, nIndices * 2);
    pRenderer->UnlockIndexBuffer(m_hIndexBuffer);
  }
  if ((m_dwFragFlags & kFRAG_Blend) && !ReadCompressedBlendshapeData(s, uResourceFlags)) {
    FreeData();
    return false;
  }
  if (bSoftSkin && bSkinned && !bBlend) {
    m_pAnimInfo->m_pSkinningVerts = new VERTEX_NOTEX_NORM[nVerts];
    memcpy(m_pAnimInfo->m_pSkinningVerts, pVerts, nVerts * sizeof(VERTEX_NOTEX_NORM));
    if (pBasis) {
      m_pAnimInfo->m_pSkinningBasis = new VERTEX_STREAM_BASIS[nVerts];
      memcpy(m_pAnimInfo->m_pSkinningBasis, pBasis, nVerts * sizeof(VERTEX_STREAM_BASIS));
    }
  }
  const bool bAlpha = (m_dwMaterialFlags & kMAT_Alpha) && !(m_dwMaterialFlags & kMAT_OneBitAlpha);
  if (!bAlpha) {
    if (m_dwMaterialFlags & kMAT_ErrorLater) m_dwMaterialFlags = (m_dwMaterialFlags & ~kMAT_ErrorLater) | kMAT_Error;
    m_dwMaterialFlags &= ~kMAT_AlphaOnly;
  }
  return true;
}

bool EModelFrag::ReadCompressedBlendshapeData(EStream& s, unsigned uResourceFlags) {
  using namespace ModelFragRead;
  ERenderer* pRenderer = g_pCurrentRenderer;
  EModelBlendInfo* pInfo = m_pBlendInfo;
  if (!pInfo) return Refuse("Blend-shape fragment without blend flags");
  uint32_t dwTag = 0;
  uint8_t nStreams = 0;
  s << dwTag;
  if (dwTag != 0x53504253) return Refuse("Invalid start tag in compressed blend shape");
  s << nStreams;
  if (nStreams == 0) return Refuse("byNumStreams > 0");
  const bool bSparse = (pInfo->m_byBlendFlags & kBLEND_Sparse) || (pRenderer && pRenderer->m_bSoftwareSkinning);
  const bool bIndexed = (pInfo->m_byBlendFlags & kBLEND_Sparse) != 0;
  EBlendShapeController* pController = m_pOwnerModel ? m_pOwnerModel->GetBlendShapeController() : nullptr;
  for (unsigned iStream = 0; iStream < nStreams; ++iStream) {
    char* szName = s.StreamStringPooled_4b(kMEMTYPE_BlndShpe);
    const unsigned uMapping = pController ? pController->AddBlendMapping(szName) : 0;
    free(szName);
    float fScale = 0.0f;
    if (bSparse) {
      uint32_t nDeltas = m_nVerts;
      if (bIndexed) s << nDeltas;
      s << fScale;
      const unsigned uEach = bIndexed ? 10u : 8u;
      if (s.Err() || nDeltas > 0x10000 || s.BoundLength(nDeltas * uEach) != nDeltas * uEach) {
        return Refuse("Compressed blend shape ends early");
      }
      VERTEX_STREAM_SW_BLEND* pDeltas = new VERTEX_STREAM_SW_BLEND[nDeltas ? nDeltas : 1];
      for (uint32_t i = 0; i < nDeltas; ++i) {
        uint16_t wIndex = (uint16_t)i;
        if (bIndexed) s << wIndex;
        pDeltas[i].wIndex = wIndex;
        pDeltas[i].vPosDelta = ReadNormal(s);
        pDeltas[i].vNormalDelta = ReadNormal(s);
      }
      pInfo->m_aScales.AddData(fScale);
      pInfo->m_aMappingIndices.AddData(uMapping);
      pInfo->m_aDeltaCounts.AddData(nDeltas);
      pInfo->m_aSparseDeltas.AddData(pDeltas);
    } else {
      s << fScale;
      if (s.Err() || s.BoundLength(m_nVerts * 8u) != m_nVerts * 8u) return Refuse("Compressed blend shape ends early");
      pInfo->m_aMappingIndices.AddData(uMapping);
      pInfo->m_aScales.AddData(fScale);
      VERTEX_NOTEX_NORM* pDeltas = new VERTEX_NOTEX_NORM[m_nVerts];
      for (unsigned i = 0; i < m_nVerts; ++i) {
        pDeltas[i].vPos = ReadNormal(s);
        pDeltas[i].vNormal = ReadNormal(s);
      }
      const uint32_t hVB = MakeBuffer(kVBFORMAT_BLEND1, m_nVerts, uResourceFlags, "Blend Geometry Stream", pDeltas,
                                      sizeof(VERTEX_NOTEX_NORM));
      delete[] pDeltas;
      if (!hVB) return Refuse("Model fragment: no blend buffer");
      pInfo->m_aStreamBuffers.AddData(hVB);
    }
  }
  if (bSparse) pInfo->m_byBlendFlags |= kBLEND_Sparse;
  if (pController) pController->CompactNames();
  s << dwTag;
  if (s.Err() || dwTag != 0x45504253) return Refuse("Invalid end tag in compressed blend shape");
  return true;
}
