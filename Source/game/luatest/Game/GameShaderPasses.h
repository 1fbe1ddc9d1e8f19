// The drawing passes: each setter picks the vertex and pixel shaders of one
// pass from the shader library, writes the constants they read and binds
// the texture stages.
#pragma once

#include <cstdint>

#include "Game/GameShaders.h"
#include "Game/ShaderConstants.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class ERenderer;
class ELight;
class ELightBlock;
class ESphere;
struct ERenderResources;
struct ETextureStageState;

// Values of the current scene the passes read besides those of
// ESceneShading; the defaults are those of a scene reset.
struct EScenePassValues {
  EVec3 m_vFogColor = EVec3(0, 0, 0);
  EVec4 m_vShadowColor = EVec4(0, 0, 0, 0.4f);
  bool m_bShadowFixedDirection = true;
  float m_fShadowCullingBias = 0;
  bool m_bShaderLOD = true;
  float m_fReflectionScale = 0.002f;
  float m_fRefractionScale = 0.002f;
};

// What the water pass takes from the water manager.
struct EWaterPassTextures {
  unsigned m_hWaterBumpTexture = 0;
  unsigned m_hRefractionTexture = 0;
  unsigned m_hFresnelTexture = 0;
  EMat4 m_mReflectionBump, m_mRefractionBump, m_mFresnelBump;
};

// What the shadow pass needs of a shadow-casting entity and its shadow
// camera.
struct EShadowCaster {
  EVec3 m_vCameraPosition = EVec3(0, 0, 0);
  EVec3 m_vCameraView = EVec3(0, 0, 1);
  EVec3 m_vCameraTarget = EVec3(0, 0, 0);  // the last bounded target position
  unsigned m_dwViewportWidth = 0, m_dwViewportHeight = 0;
  EVec3 m_vEntityPosition = EVec3(0, 0, 0);
  bool m_bPlayer = false;
  bool m_bSolidShadow = false;  // ENTITY_SOLID_SHADOW
  float m_fShadowAlpha = 1;
  float m_fInvisibility = 0;
  unsigned m_hShadowTexture = 0;
};

enum FILTERTYPE : uint32_t {
  kFILTERTYPE_NONE = 0,
  kFILTERTYPE_BOX_9 = 1,
  kFILTERTYPE_BOX_16 = 2,
  kFILTERTYPE_LUMINANCE = 3,
  kFILTERTYPE_HORIZONTAL_4 = 4,
  kFILTERTYPE_VERTICAL_4 = 5,
  kFILTERTYPE_OFFSET = 6,
  kFILTERTYPE_OFFSET_LUMINANCE = 7,
  kFILTERTYPE_CHANNEL_SWAP = 8,
};

// The pixel shader of a specular pass by the truncated power (2, 4, 8, 16
// or 32); any other power is a fatal report with the pass's message.
EGamePixelShader SpecularPowerPixelShader(float power, bool bright, const char* szMessage);
// A lightmap's texture-coordinate set must be 1 to 3; anything else is fatal.
void CheckLightmapTexCoordIndex(int iTexCoordIndex);

class EShaderPasses {
public:
  EShaderPasses(ERenderer* pRenderer, EGameShaders* pShaders, EShaderDrawState* pState, ESceneShading* pScene,
                const ERenderResources* pResources);
  ~EShaderPasses();

  // Material and colour passes.
  void SetShaderColor1Tex(const EVec4& colour, unsigned texture, unsigned palette, bool vc, bool bright,
                          bool distortionAlpha);
  void SetShaderColor1TexLM(const EVec4& colour, unsigned texture, unsigned lightmap, unsigned palette, bool bright);
  void SetShaderColor1TexVL(const EVec4& colour, unsigned texture, bool bright, ELightBlock* block, int lightOffset);
  void SetShaderColor2Tex(const EVec4& colour, unsigned texture0, unsigned texture1, bool vc, bool bright, bool clamp);
  void SetShaderColor2TexLM(const EVec4& colour, unsigned texture0, unsigned texture1, unsigned lightmap,
                            unsigned palette, bool bright);
  void SetShaderColor2TexVL(const EVec4& colour, unsigned texture0, unsigned texture1, bool bright, ELightBlock* block,
                            int lightOffset);
  void SetShaderColor2TexMask(const EVec4& colour, unsigned texture0, unsigned texture1, bool vc, bool bright);
  void SetShaderShaderColor3Tex(const EVec4& colour, unsigned texture0, unsigned texture1, unsigned texture2, bool vc,
                                bool bright);
  void SetShaderShaderColor3TexLM(const EVec4& colour, unsigned texture0, unsigned texture1, unsigned texture2,
                                  unsigned lightmap, unsigned palette, bool bright);
  void SetShaderShaderColor3TexVL(const EVec4& colour, unsigned texture0, unsigned texture1, unsigned texture2,
                                  bool bright, ELightBlock* block, int lightOffset);
  void SetShaderVertexColor();
  void SetShaderVertexLight(ELightBlock* block, int lightOffset);
  void SetShaderConstantColor(const EVec4& colour, unsigned texture, bool fog);
  void SetShaderDiffuseColor(const EVec4& colour);
  void SetShaderDestAlpha(const EVec4& colour, unsigned texture);
  void SetShaderHalo(EVec4 colour, unsigned texture);
  void SetShaderLayeredFog(const EVec4& colour, unsigned texture);
  void SetShaderVolumeFog(const ESphere& sphere);
  void SetShaderEdgeAlpha(const EVec4& colour, unsigned texture, bool luminance);
  void SetShaderInvEdgeAlpha(const EVec4& colour, unsigned texture, bool luminance);
  void SetShaderXRay(const EVec4& colour, unsigned texture);
  void SetShaderDebugNormals();
  void SetShaderDebugBases();

  // Light, lightmap, specular and reflection passes.
  void SetShaderAttenLight(const EVec4& colour, ELight* light, unsigned base, unsigned bump, bool vertexColour,
                           bool half);
  void SetShaderAttenLightLM(const EVec4& colour, ELight* light, unsigned lightmap, unsigned palette,
                             int texCoordIndex, bool half);
  void SetShaderAttenLightVL(const EVec4& colour, ELight* light, unsigned base, unsigned bump, bool half,
                             ELightBlock* block, int lightOffset);
  void SetShaderDiffuseLightPixel(ELight* light, float intensity, unsigned bump);
  void SetShaderDiffuseLightPixelVL(ELight* light, float intensity, unsigned bump, ELightBlock* block,
                                    int lightOffset);
  void SetShaderLightmap(const EVec4& colour, unsigned lightmap, unsigned palette, int texCoordIndex);
  void SetShaderLightmapBump(const EVec4& colour, unsigned bump, unsigned lightmap, unsigned palette,
                             int texCoordIndex);
  void SetShaderLightmapInterp(const EVec4& colour, unsigned lightmap1, unsigned palette1, unsigned lightmap2,
                               unsigned palette2, int texCoordIndex);
  void SetShaderSpecularLightVL(const EVec4& colour, float power, unsigned texture, ELightBlock* block,
                                int lightOffset);
  void SetShaderSpecularLightPixel(ELight* light, float scale, const EVec4& colour, float power, unsigned bump,
                                   unsigned gloss);
  void SetShaderSpecularLightmap(const EVec4& colour, float power, unsigned bump, unsigned lightmap, unsigned palette,
                                 int texCoordIndex);
  void SetShaderSpecularVertexColor(const EVec4& colour, float power, unsigned bump);
  void SetShaderReflectCube(const EVec4& colour, unsigned bump, unsigned cube, bool vertexColour, bool fresnel,
                            bool bright);

  // Projected textures and shadows. The shadow pass of a caster without a
  // shadow camera (null) sets nothing.
  void SetShaderProjectedTexture(unsigned projTexture, unsigned baseTexture, const EVec4& colour,
                                 const EMat4& texMatrix, const EVec3& position, const EVec3& direction,
                                 float nearFade, float farFade, bool twoWay, float positionW);
  void SetShaderProjectedShadow(const EShadowCaster* caster, unsigned baseTexture);

  // Screen blits.
  void SetShaderColorBlit(const EVec2& size, const EVec2& pos, const EVec2& screen, const EVec4& colour);
  void SetShaderTextureBlit(unsigned texture, EVec2 unused, const EVec2& size, const EVec2& pos, const EVec2& screen,
                            const EVec4& colour, float alpha, bool point, bool useTexCoordTransform);
  void SetShaderFilterBlit(unsigned texture, const EVec2& texSize, const EVec2& size, const EVec2& pos,
                           const EVec2& screen, FILTERTYPE type, const EVec4& colour);
  void SetShaderAveragedBlit(const unsigned textures[4], const EVec2& size, const EVec2& pos, const EVec2& screen,
                             const EVec4& colour);
  void SetShaderAlphaCombineBlit(unsigned colourTexture, unsigned alphaTexture, EVec2 unused, const EVec2& size,
                                 const EVec2& pos, const EVec2& screen, const EVec4& colour, bool inverse,
                                 const EVec2* alphaScale);
  void SetShaderAlphaCombineSprite(unsigned colourTexture, unsigned alphaTexture, EVec2 unused, const EVec2& size,
                                   const EVec2& pos, const EVec2& screen, const EVec4& colour, bool inverse,
                                   const EVec2* alphaScale, const EVec2* alphaOffset);
  void SetShaderSubtractBlit(unsigned texture0, unsigned texture1, EVec2 unused, const EVec2& size, const EVec2& pos,
                             const EVec2& screen, const EVec4& colour);
  void SetShaderDistortionBlit(unsigned screenTexture, unsigned distortionTexture, EVec2 unused0, const EVec2& size,
                               EVec2 unused1, const EVec2& pos, const EVec2& screen, const EVec2& scroll,
                               float strength);
  void SetShaderEdgeEnhancement(unsigned texture, unsigned unused, const EVec2& texSize, const EVec2& size,
                                const EVec2& pos, const EVec2& screen, const EVec4& colour, const EVec2* scale);
  void SetShaderSpriteBlit(const EVec2& size, const EVec2& pos, const EVec2& screen);

  // Particles, sprites and water.
  void SetShaderParticleBillboard(float scaleX, float scaleY, const EVec4& colour);
  void SetShaderZSprite(const EVec4& colour) { SetShaderParticleBillboard(1, 1, colour); }
  void SetShaderPointSprite(const EVec4& colour);
  void SetShaderWater(const EMat4& matrix, unsigned reflectionTexture, bool waterBump, bool fresnel);

  // The colour-matrix shader of filter type 8, loaded with the library.
  unsigned GetFilterMatrixPixelShader() const { return m_hFilterMatrixPS; }

  EShaderConstants m_Constants;
  EScenePassValues m_SceneValues;
  EWaterPassTextures m_Water;
  unsigned m_hBumpmapPalette = 0;
  // Set from the opposite of the display setting "AdvancedShading".
  bool m_bCheapWater = false;
  // Simulated seconds, as the application's clock gives them.
  double m_dSimElapsedTime = 0;

private:
  int G() const { return m_pState->m_iGeomShader; }
  int F() const { return m_pScene->GetFogShaderFragment(); }
  bool HasDetail() const { return m_pState->m_hDetailTexture != 0; }
  bool HasTransform() const { return m_pState->m_vTexCoordTrans.x != 0 || m_pState->m_vTexCoordTrans.y != 0; }
  void Linked(int g, int d, int f, int t);
  void Named(EGameVertexShader which);
  void Pixel(EGamePixelShader which);
  void VC(int reg, const EVec4& v);
  void Standard(const EVec4& colour, bool fog);
  void VertexLit(const EVec4& colour, ELightBlock* block, int lightOffset, bool spot);
  void DetailConstants();
  void TransformConstants();
  EVec4 Eye() const;
  EVec4 LightPosition(const ELight* light) const;
  void LightmapStage(ETextureStageState& s, unsigned lightmap, unsigned palette);
  void BumpStage(ETextureStageState& s, unsigned bump);
  void NormalStage(ETextureStageState& s, unsigned bump);
  void Aniso(ETextureStageState& s);
  void Rectangle(const EVec2& size, const EVec2& pos, const EVec2& screen);
  void AttenLightCommon(ELight* light);
  void Color2TexSurface(unsigned texture0, unsigned texture1, bool detail, bool bright, bool clamp);
  void AttenLightSurface(ELight* light, unsigned base, unsigned bump, bool half, const EVec4& tint);
  void AlphaCombine(unsigned colourTexture, unsigned alphaTexture, const EVec2& size, const EVec2& pos,
                    const EVec2& screen, const EVec4& colour, bool inverse, const EVec2* alphaScale,
                    const EVec2* alphaOffset, int colourAddress);
  void SetShaderDiffuseLightPixelTail(ELight* light, float intensity, unsigned bump, bool spot);

  ERenderer* m_pRenderer;
  EGameShaders* m_pShaders;
  EShaderDrawState* m_pState;
  ESceneShading* m_pScene;
  const ERenderResources* m_pResources;
  unsigned m_hFilterMatrixPS;
};
