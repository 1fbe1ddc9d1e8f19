// What particle drawing needs of the scene renderer and the application's
// shader setters, reached through one table so the application can connect
// its own passes (and checks can watch the calls). Each entry starts with a
// plain behaviour that needs no scene: no fog, no sorting sphere, no lights,
// the normal render mode.
#pragma once

#include <cstdint>

#include "TWGraphics/Renderer.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "VERirezo/RendererPushHeader.h"

class ECamera;
class EMeshEntity;
class ESphere;
struct ERect;

struct EParticleRenderHooks {
  // GameApp::SetShaderParticleBillboard: binds the billboard shader with the
  // emitter's scale and colour.
  void (*pfnSetShaderParticleBillboard)(float fScaleX, float fScaleY, const EVec4& vColor);
  void (*pfnSetModelToWorld)(const EMat4& m);
  void (*pfnSetWorldToModel)(const EMat4& m);
  // GameApp::ApplyDistortionToScreen inside the rectangle.
  void (*pfnApplyDistortionToScreen)(unsigned dwFlags, float fStrength, const EVec3& vTint, const ERect& rect);
  HTEXTURE (*pfnGetScreenImageTexture)();
  HTEXTURE (*pfnGetScreenDepthTexture)();
  // The current scene's fog colour; false when the scene has no fog.
  bool (*pfnGetSceneFog)(EVec4& vColor);
  // The current scene's sorting sphere; false when it has no sorting entity.
  bool (*pfnGetSortingSphere)(ESphere& sphere);
  // A mesh entity's transformed bounding box; false when it has none.
  bool (*pfnGetMeshBox)(EMeshEntity* pMesh, EBox3& box);
  // The render domain being drawn (1 is the sky box) and the render mode (0 normal).
  int (*pfnGetRenderDomain)();
  int (*pfnGetRenderMode)();
  bool (*pfnShowWireframe)();
  bool (*pfnDebugLights)();
  HTEXTURE (*pfnGetDebugTexture)();
  // Combined irradiance of the up to 12 strongest static and dynamic lights
  // reaching the box.
  EVec3 (*pfnGetCombinedIrradiance)(const EBox3& box);
  // Whether the main camera channel shows a fixed background.
  bool (*pfnTestFixedBackground)();
  void (*pfnRequestGlarePass)();
  void (*pfnRequestDistortionPass)();
  // The box's rectangle on the screen of the camera.
  void (*pfnCalculateScreenRect)(ECamera* pCamera, const EBox3& box, ERect& rect);
};

extern EParticleRenderHooks g_ParticleRenderHooks;
// The table with its plain behaviours.
EParticleRenderHooks ParticleDefaultRenderHooks();
