// One drawn fragment of a mesh: this mesh's own use of a shared model
// fragment, and the pool of fragments with the frame's visible lists.
#pragma once

#include <cstdint>

#include "Game/GameRender.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/DataArray.h"
#include "VERirezo/Instancable.h"

class EMesh;
class EMeshEntity;
class EModelFrag;
class EStream;
class EVisibilityCache;
class ELightBlock;
class EJoint;
struct ETexAnimInfo;

// Bits of a mesh fragment's own flag word.
enum {
  kMESH_SORT_BIAS = 0x1,
  kMESH_SORT_BEGIN = 0x2,
  kMESH_SORT_END = 0x4,
  kMESHFRAGFLAG_TRANSPARENT = 0x8,
  kMESHFRAGFLAG_TRANSLUCENT_ENTITY = 0x10,
  kMESHFRAGFLAG_DEBUG_TEXTURE = 0x20,
  kMESHFRAGFLAG_DEBUG_HIGHLIGHT = 0x40,
  kMESHFRAGFLAG_DEBUG_OPAQUE = 0x80,
  kMESHFRAGFLAG_REFLECTOR = 0x100,
  kMESHFRAGFLAG_CAMERA_ALPHA_TEST = 0x200,
  kMESHFRAGFLAG_CAMERA_ALPHA = 0x400,
  kMESHFRAGFLAG_SCROLLING = 0x800,
  kMESHFRAGFLAG_SWITCH_LIGHT = 0x1000,
  kMESHFRAGFLAG_DYNAMIC_LIGHTS = 0x2000,
  kMESHFRAGFLAG_PROJECTED_LIGHT = 0x4000,
  kMESHFRAGFLAG_SHADOW_RECEIVER = 0x8000,
  kMESHFRAGFLAG_VERTICES_READY = 0x10000,
  kMESHFRAGFLAG_BOX_VALID = 0x20000,
  // What survives the start of a preprocess.
  kMESHFRAGFLAG_KEPT = 0x1 | 0x2 | 0x4 | 0x200 | 0x400 | 0x20000,
};

// Bits of the model fragment's own flag word.
enum {
  kMODELFRAGFLAG_BLENDSHAPES = 0x1 | 0x4,
  kMODELFRAGFLAG_SKINNED = 0x2 | 0x8,
  kMODELFRAGFLAG_DISTANT_GEOMETRY = 0x20,
};

// Material flags, shared by every instance of a model fragment.
enum {
  kMATERIALFLAG_ALPHA = 0x1,
  kMATERIALFLAG_INCANDESCENT = 0x2,
  kMATERIALFLAG_SKINNED = 0x4,
  kMATERIALFLAG_DOUBLE_SIDED = 0x10,
  kMATERIALFLAG_BILLBOARD = 0x80,
  kMATERIALFLAG_FLATBILLBOARD = 0x100,
  kMATERIALFLAG_ADDITIVE_BLENDING = 0x200,
  kMATERIALFLAG_BINARY_ALPHA = 0x400,
  kMATERIALFLAG_DECAL = 0x800,
  kMATERIALFLAG_VOLUME_FOG = 0x1000,
  kMATERIALFLAG_EDGE_ALPHA = 0x2000,
  kMATERIALFLAG_INV_EDGE_ALPHA = 0x4000,
  kMATERIALFLAG_DISTORTION = 0x10000,
  kMATERIALFLAG_SPECULAR = 0x20000,
  kMATERIALFLAG_ENVMAP = 0x40000,
  kMATERIALFLAG_FRESNEL_REFLECTION = 0x200000,
  kMATERIALFLAG_GLARE_ONLY = 0x400000,
  kMATERIALFLAG_PER_PIXEL_LIGHTING = 0x800000,
  kMATERIALFLAG_TRISTRIP = 0x1000000,
  // Read together as the alpha bits, and the bits that cancel them.
  kMATERIALFLAG_ALPHA_BITS = 0x1 | 0x1000 | 0x2000 | 0x4000 | 0x8000 | 0x400000,
  kMATERIALFLAG_ALPHA_CANCEL = 0x20000000 | 0x80000000u,
};

// Skinning state of one skinned fragment.
struct EMeshAnimInfo {
  EBox3 m_AnimatedBox;
  EJoint** m_ppJointTable = nullptr;
  uint16_t m_nJoints = 0;
};

class EMeshFrag : public EInstancable, public EDataElement {
public:
  EMeshFrag();
  ~EMeshFrag() override;

  EInstancable* Instantiate() override { return nullptr; }
  // A fragment that is not an instance forgets its override texture.
  void DestroyInstance() override;
  // Binds to the source's model fragment and records the source.
  EMeshFrag& operator=(const EMeshFrag& other);
  // Binds the fragment to the model fragment.
  EMeshFrag& operator=(EModelFrag& modelFrag);
  // Reads a model-fragment record into a fragment from the pool (its owner
  // model the mesh's) and binds to it; a failed read gives it back. The
  // fragment and its copies share it; the last of them to go gives it back.
  bool Read(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType);

  // The override base texture, or the model fragment's first texture.
  unsigned GetBaseTexture() const;
  // Shows hTexture (0: the model fragment's first) unless hOnlyIfShowing is
  // not 0 and is not the texture shown now. Unless bKeepAlphaFlags, the model
  // fragment's alpha bits follow the texture (for every instance). A texture
  // that does not exist is traced and changes nothing.
  void SetBaseTexture(unsigned hTexture, unsigned hOnlyIfShowing, bool bKeepAlphaFlags);
  // The play mode of the fragment's own texture animation, or 8 without one.
  int GetTexturePlayMode() const;
  // Mode 8 drops the own animation; any other gives the fragment one (a copy
  // of its base texture's when that is animated) started in the mode.
  void SetTexturePlayMode(int eMode, float fStartTime, int iStartFrame);
  ETexAnimInfo* GetTexAnimInfo() const { return m_pTexAnimInfo; }

  EBox3 GetTransformedBoundingBox();
  // Brings the skinned box up to date with the joints; the deformation code
  // keeps it while it poses the fragment.
  void updateDynamicBoundingBox() {}
  EBox3 GetUntransformedBoundingBox() const;
  void InvalidateCachedPositions();
  void InvalidateCachedLights() {}
  void InvalidateCachedData() {
    InvalidateCachedPositions();
    InvalidateCachedLights();
  }

  bool HasAlphaFlags() const;
  bool IsAlphaBlended() const;
  bool IsAdditiveBlended() const;
  bool IsBinaryAlpha() const;
  bool IsEdgeAlpha() const;
  bool IsDecal() const;
  bool IsDistortion() const;
  bool IsDistantGeometry() const;
  bool IsBlendShaped() const;
  bool IsSkinned() const;
  bool IsTranslucentEntity() const { return (m_dwFlags & kMESHFRAGFLAG_TRANSLUCENT_ENTITY) != 0; }
  float GetShaderLODFactor(float fFull, float fNone) const;
  // This frame's flags and sort key; the rest of the frame's work builds on it.
  void Preprocess(float dt);
  // Draws the fragment's geometry through the current shaders with the
  // given index buffer as its triangle list.
  void RenderBasic(bool bFlag, uint32_t hIndexBuffer);

  EModelFrag* m_pModelFrag;
  EMesh* m_pMesh;
  EMeshEntity* m_pOwnerEntity;
  int32_t m_iVisibleFrame;
  uint32_t m_hDynamicGeomStream;
  uint32_t m_hDynamicBasisStream;
  EVec4 m_vColor;
  float m_fSortKey;
  float m_fLODFactor;
  EVisibilityCache* m_pVisibilityCache;
  ELightBlock* m_pStaticLightBlock;
  ELightBlock* m_pDynamicLightBlock;
  EBox3 m_TransformedBox;
  EMeshAnimInfo* m_pAnimInfo;
  ETexAnimInfo* m_pTexAnimInfo;
  uint32_t m_hBaseTexture;
  uint32_t m_dwFlags;

private:
  void bind(EModelFrag& modelFrag);
  void createBonePalette();
  void releaseBinding();
};

class EMeshFragManager {
public:
  enum { kMAX_MESH_FRAGS = 3276, kDUMMY_VERTICES = 8192 };

  EMeshFragManager();
  ~EMeshFragManager();

  // A fragment from the pool; null, with a trace, when the pool is full.
  EMeshFrag* MeshFragNew();
  void MeshFragDelete(EMeshFrag* pFrag);
  void MeshFragMarkVisible(EMeshFrag* pFrag);
  void ResetFrame();
  void PreprocessAll(float dt);
  int GetVisibleCount(RENDERDOMAIN eRenderDomain) const { return m_piVisibleMeshFragCount[eRenderDomain]; }
  EMeshFrag* GetVisibleMeshFrag(RENDERDOMAIN eRenderDomain, int iIndex) const;
  // The count the last ResetFrame saved; -1 sums the four domains.
  int GetLastVisibleCount(int eRenderDomain) const;
  int GetActiveCount() const { return m_pMeshFragArray->GetNumUsed(); }
  // Lets every owner entity of a visible fragment draw its inline effects
  // again (before a pass that redraws the scene).
  void ClearInlineEntityFlags();
  void CreateDummyBlendVBs();
  // With production loading on: shrinks the model-fragment pool to its used
  // size (or gives it back its full size) and re-points every fragment at
  // its model fragment in the pool's new storage.
  void CompactArrays(bool bShrink);
  uint32_t GetDummyBlend() const { return m_hDummyBlendVB; }
  uint32_t GetDummyHWSkin() const { return m_hDummyHWSkinVB; }
  EDataArray<EMeshFrag>* GetMeshFragArray() const { return m_pMeshFragArray; }
  // Whether a goes after b in a visible list.
  static bool SortCompare(EMeshFrag* a, EMeshFrag* b);
  // An entity's meshes drawn into the stencil only (mode 0 marks, mode 2
  // clears), or in one constant colour.
  void DrawMeshEntityStencilOnly(EMeshEntity* pEntity, int eStencilOnlyMode, bool bFlag);
  void DrawMeshEntityConstantColor(EMeshEntity* pEntity, const EVec4& vColor, int eConstantColorMode, bool bFlag);

private:
  EMeshFragManager(const EMeshFragManager&) = delete;
  EMeshFragManager& operator=(const EMeshFragManager&) = delete;

  EDataArray<EMeshFrag>* m_pMeshFragArray;
  EDataId m_aVisibleMeshFrags[kNUM_RENDERDOMAINS][kMAX_MESH_FRAGS];
  int m_piVisibleMeshFragCount[kNUM_RENDERDOMAINS];
  int m_piLastVisibleMeshFragCount[kNUM_RENDERDOMAINS];
  uint32_t m_hDummyBlendVB;
  uint32_t m_hDummyHWSkinVB;
};
