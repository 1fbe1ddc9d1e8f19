#include "TWMath/MathGeneral.h"

#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"

bool g_bSSESupport = false;

EMathManager::EMathManager() {
  TWMath::DisableFPExceptions(false);
  buildSqrtTable();
  DetectSSESupport();
}

void EMathManager::buildSqrtTable() {
  // FastSqrt uses the library square root; there is no table to build.
}

void EMathManager::DetectSSESupport() {
  STUBBED("fix up the rest of the SSE code first");
  g_bSSESupport = false;
}

// Built in this order, before main.
EMathManager g_MathManager;
ERand g_SimRand;
ERand g_RenderRand;
ERand g_ScriptRand;

float PinAngle(float a, float low, float high) {
  float d1 = NormalizeAngle(a - low);
  float d2 = NormalizeAngle(a - high);
  if (d1 >= 0.0f && d2 <= 0.0f) return a;
  return ABS(d1) < ABS(d2) ? low : high;
}

float LerpFieldOfView(float a, float b, float t) {
  if (a == b) return a;
  if (a == 0.0f || b == 0.0f) return Lerp(a, b, t);
  // Interpolating the cotangents of the half angles keeps the apparent size
  // of distant objects changing evenly during a zoom.
  float c = Lerp(1.0f / Tangent(a / 2.0f), 1.0f / Tangent(b / 2.0f), t);
  return 2.0f * ArcTan(1.0f, c);
}

namespace TWMath {

int SolveQuadratic(float a, float b, float c, float& r0, float& r1) {
  if (a == 0.0f) {
    // b x + c = 0: one root, or none when b is zero too.
    if (b == 0.0f) return 0;
    r0 = r1 = -c / b;
    return 1;
  }
  float D = b * b - 4.0f * a * c;
  if (D < 0.0f) return 0;
  // The cancellation-free form keeps the smaller root accurate.
  float s = b >= 0.0f ? FastSqrt(D) : -FastSqrt(D);
  float q = -0.5f * (b + s);
  r0 = q / a;
  r1 = q == 0.0f ? r0 : c / q;
  return 2;
}

void DisableFPExceptions(bool) {}

}  // namespace TWMath
