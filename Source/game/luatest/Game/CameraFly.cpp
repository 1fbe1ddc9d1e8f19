// The fly camera: developers fly it freely through a level with the game
// pad, with analog speed control, a free "3D" roll mode and a live field of
// view; a status line in the top right corner shows its state.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "DirectX/SDLInput.h"
#include "Game/Camera.h"
#include "Game/ControlHandler.h"
#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"
#include "VERirezo/Font.h"

namespace CameraFly {
// Buttons of the Input record the fly camera reads.
enum {
  kJUMP = 0,
  kCANCEL = 1,
  kPSIPOWER2 = 2,
  kATTACK = 3,
  kUSE = 4,
  kPSIPOWER3 = 5,
  kLOCKON = 6,
  kPSIPOWER1 = 7,
  kSTATS = 8,
};
const unsigned kSTATUS_RIGHT = 590;
const unsigned kSTATUS_Y = 65;

const EDebugHooks& Hooks() {
  static const EDebugHooks s_Defaults;
  return gGameApp ? gGameApp->m_DebugHooks : s_Defaults;
}

float Value(const Input& input, int button) { return (float)input.m_aAnalogButton[button]; }
bool Held(const Input& input, int button) { return input.m_aAnalogButton[button] != 0; }

void Append(char* szOut, unsigned uSize, const char* szText) {
  const size_t used = strlen(szOut);
  if (used + 1 < uSize) snprintf(szOut + used, uSize - used, "%s", szText);
}
}  // namespace CameraFly

float _AddDynamicRange(float x, float k) {
  x = PIN(x, -1.0f, 1.0f);
  if (k <= 0.0f) return x;
  return SIGN(x) * (expf(k * fabsf(x)) - 1.0f) / (expf(k) - 1.0f);
}

float _KillDeadzone(float x, float zone) {
  if (fabsf(x) <= zone) return 0.0f;
  return x > 0.0f ? (x - zone) / (1.0f - zone) : (x + zone) / (1.0f - zone);
}

void ECamera::InitFlyCamera() { m_eType = kCAMERA_FLY; }

void ECamera::FormatFlyStatusLine(const Input& input, char* szOut, unsigned uSize) const {
  using namespace CameraFly;
  if (uSize == 0) return;
  char sz[100];
  snprintf(sz, sizeof(sz), "%s", EControlHandler::ControlsPaused() ? "Fly" : "Fixed");
  if (Held(input, kPSIPOWER3)) {
    char szFov[32];
    snprintf(szFov, sizeof(szFov), " fov=%.0f", m_fFieldOfView);
    Append(sz, sizeof(sz), szFov);
  } else {
    if (m_bFreeRotation) Append(sz, sizeof(sz), " 3D");
    if (Held(input, kLOCKON)) Append(sz, sizeof(sz), " fast");
    if (Held(input, kPSIPOWER1)) Append(sz, sizeof(sz), " slow");
    if (Held(input, kSTATS)) Append(sz, sizeof(sz), " x10");
    if (Held(input, kUSE) && !m_bFreeRotation) Append(sz, sizeof(sz), " x10");
  }
  snprintf(szOut, uSize, "%s", sz);
}

void ECamera::UpdateFlyCamera(const Input* pInput, float fStepMs) {
  using namespace CameraFly;
  if (!pInput) return;
  const Input& in = *pInput;
  const bool bFirst = TestFirstSubStep();

  if (bFirst && Hooks().IsNormalCollisionDisplay() && gGameApp) {
    const unsigned font = (unsigned)gGameApp->m_iTahomaFont;
    if (EFont* pFont = font ? gGameApp->GetFont(font) : nullptr) {
      char sz[100];
      FormatFlyStatusLine(in, sz, sizeof(sz));
      const unsigned width = pFont->TextLength(sz);
      gGameApp->DisplayText(font, width < kSTATUS_RIGHT ? kSTATUS_RIGHT - width : 0, kSTATUS_Y, "%s", sz);
    }
  }

  const float dtSec = fStepMs * 0.001f;
  const float dtFrames = fStepMs * 0.06f;

  float fast = 2.0f, slow = 7.0f;
  if (Held(in, kSTATS)) {
    fast *= 10.0f;
    slow *= 10.0f;
  }
  if (Held(in, kUSE) && !m_bFreeRotation) {
    fast *= 10.0f;
    slow *= 10.0f;
  }
  const float factor =
      (1.0f + Value(in, kLOCKON) / 255.0f * fast) / (1.0f + Value(in, kPSIPOWER1) / 255.0f * slow);

  if (bFirst && in.m_aButtonPressed[kPSIPOWER2]) {
    m_bFreeRotation = !m_bFreeRotation;
    if (!m_bFreeRotation) {
      // Level flight goes on relative to the rolled orientation.
      SetTargetFrameRotationFlag(true);
      m_mTargetFrame = EMat4(GetRotationQuat());
      m_mWorldToTargetFrame = m_mTargetFrame.Transpose();
    }
  }

  if (Held(in, kPSIPOWER3)) {
    m_fFieldOfView = PIN(m_fFieldOfView + (float)in.m_nMoveY * dtFrames * 0.01f, 0.1f, 360.0f);
    return;
  }

  // Turning.
  float rate = 170.0f;
  if (factor < 1.0f) rate *= factor;
  float pitch = _AddDynamicRange((float)in.m_nLookY / 100.0f, 2.5f) * rate * dtSec;
  float yaw = _AddDynamicRange(-(float)in.m_nLookX / 100.0f, 2.5f) * rate * dtSec;
  if (Hooks().CameraInvertRotateY) pitch = -pitch;
  if (m_fFieldOfView < 90.0f) {
    const float s = Sine(m_fFieldOfView);
    pitch *= s;
    yaw *= s;
  }
  if (m_bFreeRotation) {
    const float roll =
        (_KillDeadzone(Value(in, kUSE) / 255.0f, 0.3f) - _KillDeadzone(Value(in, kCANCEL) / 255.0f, 0.3f)) * 120.0f *
        dtSec;
    EVec3 axis(pitch, yaw, roll);
    const float angle = axis.Normalize();
    if (angle > 0.0f) SetRotationQuat(GetRotationQuat() * EQuat(EVec4(axis, angle)));
  } else {
    EVec3 e = QuaternionToRelativeEuler(GetRotationQuat());
    if (fabsf(e.z) < 0.1f) {
      e.x = PIN(e.x + pitch, -80.0f, 80.0f);
      e.y += yaw;
      SetRotationQuat(RelativeEulerToQuaternion(e));
    } else {
      const EQuat qPitch(EVec4(1.0f, 0.0f, 0.0f, pitch));
      const EQuat F(m_mTargetFrame);
      const EQuat qYaw = F * EQuat(EVec4(0.0f, 1.0f, 0.0f, yaw)) * F.Inverse();
      SetRotationQuat(qYaw * GetRotationQuat() * qPitch);
    }
  }

  // Moving, in camera space: x right, y up, z back.
  const EVec3 v = EVec3(_AddDynamicRange((float)in.m_nMoveX / 100.0f, 2.5f) * 1700.0f,
                        _AddDynamicRange((Value(in, kATTACK) - Value(in, kJUMP)) / 255.0f, 2.5f) * 1000.0f,
                        _AddDynamicRange((float)in.m_nMoveY / 100.0f, 2.5f) * 1700.0f) *
                  (dtSec * factor);
  SetPosition(GetPosition() + EMat4(GetRotationQuat()).Mul3Vec3(v));
}
