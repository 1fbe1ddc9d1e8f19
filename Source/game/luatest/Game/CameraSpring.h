// The damped spring the cameras smooth their tracked values with. Time is
// counted in frames of 1/60 s; the step returns the change of velocity, and
// the caller adds it to its velocity and then moves by velocity x dt.
#pragma once

#include "TWMath/MathGeneral.h"
#include "TWMath/Vector.h"

// Acceleration of a spring pulling x toward zero with stiffness k and
// damping coefficient c.
template <class T>
T InstDampedSpringAccel(const T& x, const T& v, float k, float c) {
  return x * -k - v * c;
}

// Velocity change over dt for displacement x and velocity v, stiffness k
// and damping ratio zeta (1 = critical), by a fourth-order Runge-Kutta step
// whose intermediate positions follow the intermediate velocities.
template <class T>
T GetDampedSpringAccel(const T& x, const T& v, float dt, float k, float zeta) {
  const float c = FastSqrt(k) * (2.0f * zeta);
  const T a1 = InstDampedSpringAccel<T>(x, v, k, c) * dt;
  const T vHalf1 = v + a1 * 0.5f;
  const T xHalf1 = x + vHalf1 * (dt * 0.5f);
  const T a2 = InstDampedSpringAccel<T>(xHalf1, vHalf1, k, c) * dt;
  const T vHalf2 = v + a2 * 0.5f;
  const T xHalf2 = x + vHalf2 * (dt * 0.5f);
  const T a3 = InstDampedSpringAccel<T>(xHalf2, vHalf2, k, c) * dt;
  const T vEnd = v + a3;
  const T xEnd = x + vEnd * dt;
  const T a4 = InstDampedSpringAccel<T>(xEnd, vEnd, k, c) * dt;
  return (a1 + a4) * 0.16666667f + (a2 + a3) * 0.33333334f;
}

extern template EVec3 GetDampedSpringAccel<EVec3>(const EVec3&, const EVec3&, float, float, float);
extern template float GetDampedSpringAccel<float>(const float&, const float&, float, float, float);
