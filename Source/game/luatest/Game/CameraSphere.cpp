// The sphere camera: orbits its target on a sphere, steered by the look
// stick and zoomed by two buttons, always looking at the target.
#include "DirectX/SDLInput.h"
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"

namespace CameraSphere {
enum { kZOOM_OUT = 6 /*LockOn/Float*/, kZOOM_IN = 7 /*PsiPower1*/ };
const float kINIT_RADIUS = 735.0f;
const float kMIN_RADIUS = 1.0f;
const float kMAX_RADIUS = 2000.0f;

const EDebugHooks& Hooks() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}
}  // namespace CameraSphere

void ECamera::InitSphereCamera() {
  m_eType = kCAMERA_SPHERE;
  m_vLastSpherical = GetSphericalPosition();
  m_vLastSpherical.x = CameraSphere::kINIT_RADIUS;
  SetPosition(GetTargetPosition(true) + RelativeSphericalToCartesian(m_vLastSpherical));
}

void ECamera::UpdateSphereCamera(const Input* pInput, float fStepMs) {
  using namespace CameraSphere;
  if (!pInput) return;
  const float dt = fStepMs * 0.06f;
  const EDebugHooks& hooks = Hooks();
  EVec3& s = m_vLastSpherical;

  if (pInput->m_nLookY != 0) {
    s.z += dt * (float)pInput->m_nLookY * (hooks.CameraInvertRotateY ? 1.0f : -1.0f) / 80.0f;
    s.z = PIN(s.z, -89.0f, 89.0f);
  }
  if (pInput->m_nLookX != 0) {
    s.y += dt * (float)pInput->m_nLookX * (hooks.CameraInvertRotateX ? -1.0f : 1.0f) / 60.0f;
    s.y = NormalizeAngle(s.y);
  }
  if (const uint8_t v = pInput->m_aAnalogButton[kZOOM_OUT])
    s.x = PIN(s.x + dt * ((float)v / 255.0f) * 20.0f, kMIN_RADIUS, kMAX_RADIUS);
  if (const uint8_t v = pInput->m_aAnalogButton[kZOOM_IN])
    s.x = PIN(s.x - dt * ((float)v / 255.0f) * 20.0f, kMIN_RADIUS, kMAX_RADIUS);

  const EVec3 target = GetTargetPosition(true);
  SetPosition(target + RelativeSphericalToCartesian(s));
  CameraLookAt(target);
}
