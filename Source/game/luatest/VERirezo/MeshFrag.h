// One drawn fragment of a mesh: this mesh's own use of a shared model
// fragment, and the pool of fragments with the frame's visible lists.
#pragma once

#include <cstdint>

#include "Game/GameRender.h"
#include "Game/LinkedShaders.h"
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
struct VERTEX_NOTEX_NORM;
struct VERTEX_STREAM_BASIS;
struct EParticleAssembly;
class ESceneSettings;

// Depth handling of a constant-colour draw.
enum CONSTANTCOLORMODE {
  kCONSTANTCOLORMODE_DEPTH_TEST = 0,  // tested, not written
  kCONSTANTCOLORMODE_NO_DEPTH = 1,    // neither tested nor written
  kCONSTANTCOLORMODE_DEPTH_BIAS = 2,  // tested, not written, bias 1
};
// What a stencil-only draw marks.
enum STENCILONLYMODE {
  kSTENCILONLYMODE_VISIBLE = 0,     // the visible pixels get 1
  kSTENCILONLYMODE_SILHOUETTE = 1,  // the whole silhouette gets 1
  kSTENCILONLYMODE_CLEAR = 2,       // depth written always, bit 1 cleared
};
// The steps of a fog volume's draw; a negative mode draws every fragment.
enum VOLUMEFOGMODE {
  kVOLUMEFOGMODE_ALL = -1,
  kVOLUMEFOGMODE_MARK = 0,
  kVOLUMEFOGMODE_BACK = 1,
  kVOLUMEFOGMODE_RECEIVERS = 2,
};
enum GLAREMODE { kGLAREMODE_NONE = -1, kGLAREMODE_GLARE = 0 };

// Triangles drawn by fragments, by the group of their pass and by the kind
// of geometry; the frame's statistics read and clear them.
struct EMeshFragTriangleStats {
  unsigned m_dwBaseTexture = 0;
  unsigned m_dwAdditiveLight = 0;
  unsigned m_dwShadows = 0;
  unsigned m_dwFog = 0;
  unsigned m_dwSkinned = 0;
  unsigned m_dwOther = 0;
};

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
  // This frame's flags, colour, detail factor, sort key, lights and shadows,
  // debug views and deformed vertices (MeshFragPreprocess.cpp).
  void Preprocess(float dt);
  // Skinned and animated this frame (the owner's animating flag).
  bool HasActiveAnims() const;
  bool HasActiveBlendAnims() const;
  // The geometry module of the vertex shader; with bBasis its variant with
  // a tangent basis.
  VSGEOM GetGeomShader(bool bBasis) const;
  // Processor skinning into the fragment's geometry (and basis) stream; null
  // sources are the bind pose.
  void bindVertsToJoints(VERTEX_NOTEX_NORM* pSource, VERTEX_STREAM_BASIS* pBasisSource);
  // Processor blend shapes (then skinning when animated).
  void blendVerts();
  // Appends the shader blend-shape streams (four) to phVB.
  void setDynamicStreams(uint32_t* phVB, int& iCount);
  // One vertex skinned on the processor; either output may be null.
  bool SoftwareBindSingleVert(unsigned iVertex, VERTEX_NOTEX_NORM* pVertex, VERTEX_STREAM_BASIS* pBasis);
  EVec2 GetTexCoordTransVel() const;
  EVec2 GetTexCoordTrans() const;
  void debugDrawSoftwareVerts();

  // Drawing (MeshFragDraw.cpp): the full multi-pass draw and the
  // single-pass variants.
  void Render();
  // Draws with the shader the caller has set: texture coordinates only with
  // bTexcoords; hIndexBuffer 0 means the fragment's own indices.
  void RenderBasic(bool bTexcoords, unsigned hIndexBuffer);
  void RenderConstantColor(const EVec4& vColor, CONSTANTCOLORMODE eMode);
  void RenderZBufferOnly();
  void RenderStencilOnly(STENCILONLYMODE eMode);
  void RenderVolumeFog(VOLUMEFOGMODE eMode);
  void RenderDistortion(unsigned dwFlags, int eStencilMode, uint8_t byRef);
  void RenderCoyote() {}
  float GetGlareIntensity() const;
  unsigned GetReflectionTexture() const;
  void renderApplyDebugModes();
  // Whether the LOD of the mesh for the render camera lets it be drawn.
  bool PassesLODTest() const;

  // Execution of the pass list (MeshFragRender.cpp).
  void renderExecutePasses();
  // ePass is a RENDERPASS; hIndexBuffer 0 draws the fragment's own indices.
  void renderLowLevel(uint32_t* phVB, int iStreamCount, int ePass, unsigned hIndexBuffer, unsigned iIndexCount);
  void renderWireframe();
  EVec4 getDebugModeColor();
  EVec4 getDebugColor() const;
  EVec4 getDebugTextureColor() const;
  static EMeshFragTriangleStats sm_TriangleStats;

  // Billboards, visibility tests, inline entity effects and debug vectors of
  // the frame: with the least behaviour until the frame's code fills them.
  void generateBillboardMatrices(EMat4& mModelToWorld, EMat4& mWorldToModel, const EVec3& vCentre);
  bool runVisibilityTest(int iQueryBase);
  bool renderInlineEntityEffect() { return false; }
  bool testValidMonitorFragment() { return true; }
  void requestRenderMeshVectors() {}
  // Inline distortion of a distortion fragment.
  void RenderInlineDistortion(bool bTextures);

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

  // Drawing of a domain's visible list (MeshFragDraw.cpp); each stores the
  // domain as the one being drawn.
  void DrawAllDefault(RENDERDOMAIN eDomain);
  // Draws up to the first transparent fragment and returns its index (the
  // count when there is none).
  int DrawAllOpaque(RENDERDOMAIN eDomain);
  // Transparent fragments, particle emitters and light trails back to
  // front, from the caller's running state.
  void DrawAllTransparent(RENDERDOMAIN eDomain, int& iIndex, EMeshFrag*& pFrag, int& iEmitter,
                          EParticleAssembly*& pEmitter, int& iEmitterA, int& iEmitterB);
  void DrawAllZBufferOnly(RENDERDOMAIN eDomain);
  void DrawAllGlare(RENDERDOMAIN eDomain, GLAREMODE eMode);
  void DrawAllVolumeFog(RENDERDOMAIN eDomain, VOLUMEFOGMODE eMode);
  void DrawAllDistortion(RENDERDOMAIN eDomain);
  // The fragments of the entity's own mesh visible this frame.
  void DrawMeshEntity(EMeshEntity* pEntity);
  void DrawMeshEntityBasic(EMeshEntity* pEntity);
  void DrawMeshEntityConstantColor(EMeshEntity* pEntity, const EVec4& vColor, CONSTANTCOLORMODE eMode,
                                   bool bSkipAlpha);
  void DrawMeshEntityZBufferOnly(EMeshEntity* pEntity);
  void DrawMeshEntityStencilOnly(EMeshEntity* pEntity, STENCILONLYMODE eMode, bool bSkipAlpha);
  void DrawMeshEntityDistortion(EMeshEntity* pEntity, unsigned dwFlags, int eStencilMode, uint8_t byRef);
  void DrawMeshEntityCoyote(EMeshEntity* pEntity);

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
