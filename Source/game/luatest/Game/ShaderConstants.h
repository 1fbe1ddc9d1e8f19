// The shared shader constants: the registers the game's shaders read, the
// drawing state that feeds them, and the setters every pass calls.
#pragma once

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class ERenderer;
class ELightBlock;
class EMeshEntity;
struct ETextureStageState;

// Vertex-shader constant registers.
enum {
  kVSC_MATERIAL = 2,
  kVSC_AMBIENT = 3,
  kVSC_FOG = 4,
  kVSC_DETAIL_SCALE = 5,
  kVSC_MODEL_TO_CLIP = 6,  // to 9
  kVSC_PASS = 10,          // to 21
  kVSC_SKINNING_INDEX = 23,
  kVSC_BLEND_WEIGHTS = 24,  // and 25
  kVSC_BLEND_FACTOR = 26,
  kVSC_EYE = 51,
  kVSC_WORLD_HEIGHT = 52,
  kVSC_LIGHTS = 64,  // to 87
  kVSC_SPOTS = 88,   // to 91
  kVSC_TEXCOORD_SCALE = 94,
  kVSC_SKINNING = 96,  // to 191
  kMAX_SKINNING_JOINTS = 32,
};

// A layered-fog layer of the current scene.
struct EFogLayer {
  bool m_bOn = false;
  float m_fStart = 0, m_fEnd = 0;
};

// What the setters read of the current scene.
struct ESceneShading {
  EFogLayer m_aFogLayers[2];
  EVec3 m_vAmbientColor = EVec3(0, 0, 0);
  float m_fAmbientIntensity = 1;
  // 1 when either fog layer is on: the fog module of the linked shaders.
  int GetFogShaderFragment() const { return m_aFogLayers[0].m_bOn || m_aFogLayers[1].m_bOn ? 1 : 0; }
};

// The drawing state of the application, rewritten by the mesh drawing for
// each fragment.
struct EShaderDrawState {
  int m_iGeomShader = 0;
  int m_iRenderDomain = 0;  // 1 is the sky box
  EMat4 m_mModelToWorld, m_mWorldToModel, m_mLightToModel;
  // The render camera.
  EMat4 m_mCameraView, m_mCameraProjection;
  EVec3 m_vCameraPosition = EVec3(0, 0, 0);
  EMeshEntity* m_pLightRigTarget = nullptr;
  EVec3 m_vDirectionalLightTarget = EVec3(0, 0, 0);
  EVec2 m_vTexCoordTrans = EVec2(0, 0), m_vTexCoordScale = EVec2(1, 1);
  unsigned m_hDetailTexture = 0;
  EVec2 m_vDetailFactor = EVec2(1, 1);
  float m_fAnisotropyLevel = 0;
  float m_fTexcoordCompressScale = 1;
  // The skinning matrix of each joint of the mesh being drawn; null, or a
  // null entry, for none.
  const EMat4* const* m_ppJointSkinning = nullptr;
  int m_iJointTableSize = 0;
  int m_iGlareMode = -1;
  // Developer switches read by the setters.
  bool m_bDebugMeshFrags = false, m_bDebugMeshTextures = false, m_bDebugLights = false;
  bool m_bAnisotropicFiltering = true;
};

class EShaderConstants {
public:
  EShaderConstants(ERenderer* pRenderer, EShaderDrawState* pState, ESceneShading* pScene)
      : m_pRenderer(pRenderer), m_pState(pState), m_pScene(pScene) {}

  void SetMaterialVertexConstants(const EVec4& colour);
  void SetProjectionVertexConstants();
  void SetFogVertexConstants();
  void SetVertexLightingConstants(ELightBlock* pLightBlock, int iLightOffset, const EVec4& material,
                                  bool bSpotLights, bool bFiveLights);
  void SetHWSkinningConstants(unsigned jointCount);
  void SetBlendShapeConstants(float w0, float w1, float w2, float w3, float w4, float w5, float w6, float w7,
                              float factor);
  bool SetAnisotropicFiltering(ETextureStageState* pStages, int count);

  // The view-to-clip part of the model-to-clip matrix for the render domain.
  static EMat4 ViewToClip(const EShaderDrawState& state);

private:
  ERenderer* m_pRenderer;
  EShaderDrawState* m_pState;
  ESceneShading* m_pScene;
};
