#include "VERirezo/ParticleRenderHooks.h"

#include "Game/Camera.h"
#include "TWGraphics/Rect.h"

namespace ParticleHooksDefault {
void SetShader(float, float, const EVec4&) {}
void SetMatrix(const EMat4&) {}
void Distort(unsigned, float, const EVec3&, const ERect&) {}
HTEXTURE NoTexture() { return 0; }
bool NoFog(EVec4&) { return false; }
bool NoSphere(ESphere&) { return false; }
bool NoBox(EMeshEntity*, EBox3&) { return false; }
int Zero() { return 0; }
bool Off() { return false; }
EVec3 NoLight(const EBox3&) { return EVec3(0.0f, 0.0f, 0.0f); }
void Nothing() {}
void WholeScreen(ECamera*, const EBox3&, ERect& rect) {
  rect.left = rect.top = 0;
  rect.right = 640;
  rect.bottom = 480;
}
}  // namespace ParticleHooksDefault

EParticleRenderHooks ParticleDefaultRenderHooks() {
  using namespace ParticleHooksDefault;
  EParticleRenderHooks h;
  h.pfnSetShaderParticleBillboard = SetShader;
  h.pfnSetModelToWorld = SetMatrix;
  h.pfnSetWorldToModel = SetMatrix;
  h.pfnApplyDistortionToScreen = Distort;
  h.pfnGetScreenImageTexture = NoTexture;
  h.pfnGetScreenDepthTexture = NoTexture;
  h.pfnGetSceneFog = NoFog;
  h.pfnGetSortingSphere = NoSphere;
  h.pfnGetMeshBox = NoBox;
  h.pfnGetRenderDomain = Zero;
  h.pfnGetRenderMode = Zero;
  h.pfnShowWireframe = Off;
  h.pfnDebugLights = Off;
  h.pfnGetDebugTexture = NoTexture;
  h.pfnGetCombinedIrradiance = NoLight;
  h.pfnTestFixedBackground = Off;
  h.pfnRequestGlarePass = Nothing;
  h.pfnRequestDistortionPass = Nothing;
  h.pfnCalculateScreenRect = WholeScreen;
  return h;
}

EParticleRenderHooks g_ParticleRenderHooks = ParticleDefaultRenderHooks();
