// The pass list of a mesh fragment's draw: the pass kinds, how the static
// lighting reaches a pass, the one render context the fragments share, and
// the building of a fragment's lighting and shadow passes.
#pragma once

#include <cstdint>

#include "TWGraphics/Renderer.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "VERirezo/Light.h"

class ECamera;
class EMeshEntity;
class EMeshFrag;
class EVisibilityCache;

enum RENDERPASS {
  kRENDERPASS_COLOR1TEX = 0,
  kRENDERPASS_COLOR2TEX = 1,
  kRENDERPASS_COLOR3TEX = 2,
  kRENDERPASS_EDGEALPHA = 3,
  kRENDERPASS_INVEDGEALPHA = 4,
  kRENDERPASS_WHITE = 5,
  kRENDERPASS_BLACK = 6,
  kRENDERPASS_DEBUGNORMALS = 7,
  kRENDERPASS_DEBUGBASES = 8,
  kRENDERPASS_DIFFUSELIGHTPIXEL = 9,
  kRENDERPASS_VERTEXLIGHT = 10,
  kRENDERPASS_VERTEXCOLOR = 11,
  kRENDERPASS_LIGHTMAP = 12,
  kRENDERPASS_LIGHTMAPBUMP = 13,
  kRENDERPASS_LIGHTMAPINTERP = 14,
  kRENDERPASS_SPECULARLIGHTVL = 15,
  kRENDERPASS_SPECULARLIGHTPIXEL = 16,
  kRENDERPASS_SPECULARVERTEXCOLOR = 17,
  kRENDERPASS_SPECULARLIGHTMAP = 18,
  kRENDERPASS_REFLECTCUBE = 19,
  kRENDERPASS_ATTENLIGHT = 20,
  kRENDERPASS_PROJECTEDTEXTURE = 21,
  kRENDERPASS_PROJECTEDSHADOW = 22,
  kRENDERPASS_LAYERED_FOG = 23,
  kRENDERPASS_VOLUME_FOG = 24,
  kRENDERPASS_DESTALPHAGLOSS = 25,
  kRENDERPASS_DESTALPHAWHITE = 26,
};

enum RENDERLIGHT {
  kRENDERLIGHT_NONE = 0,
  kRENDERLIGHT_VERTEXLIGHT = 1,
  kRENDERLIGHT_VERTEXCOLOR = 2,
  kRENDERLIGHT_LIGHTMAP = 3,
};

enum { kMAX_RENDER_PASSES = 20, kMAX_SHADOW_PASSES = 12 };

inline bool RenderPassBaseTexture(int p) { return p >= 0 && p <= 8; }
inline bool RenderPassAdditiveLight(int p) { return p >= 9 && p <= 21; }
inline bool RenderPassSpecular(int p) { return p >= 15 && p <= 18; }
inline bool RenderPassReflection(int p) { return p == 19; }
inline bool RenderPassDynamicLight(int p) { return p == 20 || p == 21; }
inline bool RenderPassShadows(int p) { return p == 22; }
inline bool RenderPassFog(int p) { return p == 23 || p == 24; }
inline bool RenderPassDestAlpha(int p) { return p == 25 || p == 26; }
// The pass that applies that static lighting alone.
RENDERPASS RenderLightToRenderPass(RENDERLIGHT eLight);

// Fragment flags of the context.
enum {
  kRENDERFRAG_GLARE = 0x1,
  kRENDERFRAG_INFRARED = 0x2,
  kRENDERFRAG_CAMERA_ALPHA_TESTED = 0x4,
  kRENDERFRAG_VERTEX_COLOR_LIGHT = 0x8,
  kRENDERFRAG_INLINE_TRANSLUCENCE = 0x10,
  kRENDERFRAG_NO_ALPHA_TEST = 0x20,
  kRENDERFRAG_MATERIAL_HIGH_BIT = 0x40,
  kRENDERFRAG_BLENDED = 0x80,
};
// Blend flags of the context.
enum {
  kRENDERBLEND_ADDITIVE = 0x1,
  kRENDERBLEND_ADDITIVE_INLINE = 0x2,
  kRENDERBLEND_BINARY_ALPHA = 0x4,
  kRENDERBLEND_TRANSPARENT = 0x8,
  kRENDERBLEND_OPAQUE = 0x10,
  kRENDERBLEND_LIT = 0x20,
  kRENDERBLEND_LIGHTING_PASSES = 0x40,
  kRENDERBLEND_PER_PIXEL = 0x80,
};
// Pass flags of the context.
enum {
  kRENDERPASSFLAG_BASE_LIGHTING_SET = 0x1,
  kRENDERPASSFLAG_LIGHTING_SEPARATE = 0x2,
};

// Material bits read only by the lighting passes.
enum {
  kMATERIALFLAG_SPECULAR_VERTEX_COLOR = 0x40,
  kMATERIALFLAG_BLACK_BASE = 0x80000,
  kMATERIALFLAG_LIGHTMAP_BUMP = 0x100000,
  kMATERIALFLAG_NO_LIGHTING = 0x8000,
};
// Bits of the model fragment's flag word read by the lighting passes.
enum {
  kMODELFRAGFLAG_SKINNED_DATA = 0x8,
  kMODELFRAGFLAG_SNOW_DETAIL = 0x40,
};

// What the lighting passes read of the fragment being drawn, its model
// fragment and its owner entity.
struct ERenderFragmentInfo {
  uint32_t m_dwFlags = 0;           // the mesh fragment's flags
  uint32_t m_dwMaterialFlags = 0;   // the model fragment's material flags
  uint32_t m_dwModelFragFlags = 0;  // the model fragment's flag word
  float m_fLODFactor = 1;           // L
  float m_fSwitchLODFactor = 1;     // the LOD ramp from 0.5 to 0.6
  EMeshEntity* m_pOwnerEntity = nullptr;
  EBox3 m_OwnerBox = EBox3(EVec3(0, 0, 0), EVec3(0, 0, 0));  // the owner's world box
  EVec3 m_vOwnerAmbient = EVec3(0, 0, 0);                    // the owner's ambient light colour
  EVec3* m_pOwnerIrradiance = nullptr;                       // where the owner keeps its irradiance
  ELight* m_pSwitchLight = nullptr;
  unsigned m_hOffLightmap = 0;  // the lightmap set used while the switch light is off
  unsigned m_hOffSecondLightmap = 0;
  EVec3 m_vReflectionColor = EVec3(0, 0, 0);
  // The holders of the fragment's (or its owner's) light blocks.
  ELightBlock** m_ppStaticLightBlock = nullptr;
  ELightBlock** m_ppDynamicLightBlock = nullptr;
  EVisibilityCache* m_pVisibilityCache = nullptr;

  // The facts of a mesh fragment; its blocks are the fragment's own.
  static ERenderFragmentInfo FromMeshFrag(EMeshFrag& frag);
};

// A shadow caster of the frame with what its shadow pass needs.
struct EShadowCasterInfo {
  EMeshEntity* m_pEntity;
  ECamera* m_pShadowCamera;
  unsigned m_hShadowTexture;
};

class ERenderContext {
public:
  ERenderContext();

  // Starts a list of one base pass with its light entry.
  void Reset(RENDERPASS eBase, RENDERLIGHT eLight);

  EMat4 m_mModelToWorld;
  EMat4 m_mWorldToModel;
  EBox3 m_WorldBox;
  unsigned m_ahBaseTextures[3];
  unsigned m_hLightmap;
  unsigned m_hNormalMap;
  unsigned m_hGlossMap;
  unsigned m_hDetailTexture;
  unsigned m_hSecondLightmap;
  int m_iTextureCount;
  ERenderState m_RenderState;
  ELightBlock* m_pStaticLightBlock;
  ELightBlock* m_pDynamicLightBlock;
  ELightBlock m_PerPixelLights;
  ELightBlock m_SpecularLights;
  int m_iPerPixelCount;
  int m_iSpecularPixelCount;
  RENDERPASS m_aeRenderPasses[kMAX_RENDER_PASSES];
  RENDERLIGHT m_aeRenderLights[kMAX_RENDER_PASSES];
  EMeshEntity* m_apCasters[kMAX_RENDER_PASSES];
  int m_iRenderPassCount;
  int m_iAdditiveCount;
  uint8_t m_byFragmentFlags;
  uint8_t m_byBlendFlags;
  uint8_t m_byPassFlags;
  bool m_abStreamEnables[5];
};

extern ERenderContext sg_Render;

// The building of sg_Render's pass list for one fragment.
namespace fragpasses {
// Puts p before the last pass; the last pass moves up with light entry 0.
void addPreModulationPass(RENDERPASS p);
void addPostModulationPass(RENDERPASS p);
// Splits the base pass's lighting into a pass of its own in front of it.
void separateGlobalLighting();
void renderAddLightingPasses(const ERenderFragmentInfo& info);
// One projected-shadow pass per caster whose shadow falls on the fragment,
// while the list has room.
void renderAddShadowPasses(const ERenderFragmentInfo& info, const EShadowCasterInfo* pCasters, int nCasters);
// The fragment's light blocks, made stale (count -1) on first use.
ELightBlock* getStaticLightBlock(const ERenderFragmentInfo& info);
ELightBlock* getDynamicLightBlock(const ERenderFragmentInfo& info);
// The owner entity when it is lit by the light rig, else null.
EMeshEntity* getLightRigTarget(const ERenderFragmentInfo& info);
}  // namespace fragpasses
