// Camera shakes: timed random and periodic offsets and two kicked springs,
// added to the position the view is built from, never to the camera's own.
#include <cmath>

#include "Game/Camera.h"
#include "Game/CameraSpring.h"
#include "Game/GameApp.h"
#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"

namespace CameraShake {
const float kEPSILON = 0.00001f;

// Envelope of a running shake: eases in over accel and out over decel.
float Envelope(const ECamera::FShake& s) {
  if (s.fElapsed < s.fAccel && s.fAccel > 0.0f) return s.fElapsed / s.fAccel;
  if (s.fElapsed > s.fDuration - s.fDecel && s.fDecel > 0.0f) return (s.fDuration - s.fElapsed) / s.fDecel;
  return 1.0f;
}

// Advances a shake; false when it is inactive or has just ended.
bool Advance(ECamera::FShake& s, float fDeltaMs) {
  if (s.fDuration == 0.0f) return false;
  s.fElapsed += fDeltaMs;
  if (s.fDuration <= s.fElapsed) {
    s.fDuration = 0.0f;
    return false;
  }
  return true;
}

float AbsSum(const EVec3& v) { return fabsf(v.x) + fabsf(v.y) + fabsf(v.z); }

void StepSpring(EVec3& vOffset, EVec3& vVelocity, float dt, float k, float zeta) {
  const EVec3 dv = GetDampedSpringAccel<EVec3>(vOffset, vVelocity, dt, k, zeta);
  vVelocity += dv;
  vOffset += vVelocity * dt;
  if (AbsSum(dv) < 0.00001f && AbsSum(vVelocity) < 0.00001f) vOffset = vVelocity = EVec3(0.0f, 0.0f, 0.0f);
}
}  // namespace CameraShake

// Shake times come from scripts: a bad set is reported and starts nothing.
bool ECamera::checkShakeTimes(float fTotalSeconds, float fAccelSeconds, float fDecelSeconds) const {
  if (!(fAccelSeconds >= 0.0f && fDecelSeconds >= 0.0f)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "fAccelSeconds >= 0.0f && fDecelSeconds >= 0.0f", true);
    return false;
  }
  if (!(fAccelSeconds + fDecelSeconds <= fTotalSeconds + CameraShake::kEPSILON)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "fAccelSeconds + fDecelSeconds <= fTotalSeconds + EPSILON", true);
    return false;
  }
  return true;
}

void ECamera::StartShakeRandom(const EVec3& vAmplitude, float fTotalSeconds, float fAccelSeconds,
                               float fDecelSeconds) {
  if (!checkShakeTimes(fTotalSeconds, fAccelSeconds, fDecelSeconds)) return;
  m_ShakeRandom = FShake{fTotalSeconds * 1000.0f, fAccelSeconds * 1000.0f, fDecelSeconds * 1000.0f, 0.0f,
                         vAmplitude, 0.0f};
}

void ECamera::StartShakePeriodic(const EVec3& vAmplitude, float fFrequency, float fTotalSeconds, float fAccelSeconds,
                                 float fDecelSeconds) {
  if (!checkShakeTimes(fTotalSeconds, fAccelSeconds, fDecelSeconds)) return;
  m_ShakePeriodic = FShake{fTotalSeconds * 1000.0f, fAccelSeconds * 1000.0f, fDecelSeconds * 1000.0f, 0.0f,
                           vAmplitude, fFrequency};
}

void ECamera::StartShakeDriven(float fMagnitude) {
  if (!sm_bCameraShakeEnable) return;
  const float dt = (gGameApp ? gGameApp->GetSimDeltaTimeMS() : 0.0f) * 0.06f;
  const float fAltA = g_SimRand.frand(-70.0f, -50.0f);
  const float fAzA = g_SimRand.frand(0.0f, 360.0f);
  const float fAltB = g_SimRand.frand(-90.0f, -70.0f);
  const float fAzB = g_SimRand.frand(0.0f, 360.0f);
  const EVec3 vDirA = EVec3(1.0f, fAzA, fAltA).SphericalToCartesian();
  const EVec3 vDirB = EVec3(1.0f, fAzB, fAltB).SphericalToCartesian();
  m_vShakeSpringVelocityA += vDirA * (fMagnitude * dt / 2.0f);
  m_vShakeSpringVelocityB += vDirB * (fMagnitude * dt / 24.0f);
}

void ECamera::StopShake() {
  m_ShakeRandom.fDuration = m_ShakePeriodic.fDuration = 0.0f;
  m_vShakeSpringOffsetA = m_vShakeSpringVelocityA = EVec3(0.0f, 0.0f, 0.0f);
  m_vShakeSpringOffsetB = m_vShakeSpringVelocityB = EVec3(0.0f, 0.0f, 0.0f);
}

void ECamera::advanceShakeSprings(float fStepMs) {
  if (!sm_bCameraShakeEnable || m_eType == kCAMERA_FLY) {
    m_vShakeSpringOffsetA = m_vShakeSpringVelocityA = EVec3(0.0f, 0.0f, 0.0f);
    m_vShakeSpringOffsetB = m_vShakeSpringVelocityB = EVec3(0.0f, 0.0f, 0.0f);
    return;
  }
  if (fStepMs == 0.0f) return;
  const float dt = fStepMs * 0.06f;
  CameraShake::StepSpring(m_vShakeSpringOffsetA, m_vShakeSpringVelocityA, dt, 0.3f, 0.01f);
  CameraShake::StepSpring(m_vShakeSpringOffsetB, m_vShakeSpringVelocityB, dt, 0.02f, 0.6f);
}

EVec3 ECamera::advanceTimedShakes(float fDeltaMs) {
  EVec3 vOffset(0.0f, 0.0f, 0.0f);
  if (CameraShake::Advance(m_ShakeRandom, fDeltaMs)) {
    const float s = CameraShake::Envelope(m_ShakeRandom);
    const EVec3& a = m_ShakeRandom.vAmplitude;
    const float z = g_SimRand.frand(-a.z, a.z);
    const float y = g_SimRand.frand(-a.y, a.y);
    const float x = g_SimRand.frand(-a.x, a.x);
    vOffset += EVec3(x * s, y * s, z * s);
  }
  if (CameraShake::Advance(m_ShakePeriodic, fDeltaMs)) {
    const float s = CameraShake::Envelope(m_ShakePeriodic);
    const EVec3& a = m_ShakePeriodic.vAmplitude;
    const float t = (float)((gGameApp ? gGameApp->GetRealElapsedTime() : 0.0) * m_ShakePeriodic.fFrequency);
    vOffset += EVec3(sinf(t) * a.x * s, sinf(t + 2.0943952f) * a.y * s, sinf(t + 4.1887903f) * a.z * s);
  }
  return vOffset + m_vShakeSpringOffsetA + m_vShakeSpringOffsetB;
}
