// Scalar helpers, degree-based trigonometry and the math library's start-up.
//
// Angles are in degrees unless a name ends in Rad. Everything is single
// precision; the order of operations below is part of the results.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

// The math library's start-up object: disables floating-point exceptions
// (nothing to do here), builds the square-root table (none is used) and
// decides whether the SSE products may be used (never).
class EMathManager {
public:
  EMathManager();
  static void buildSqrtTable();
  static void DetectSSESupport();
};

extern EMathManager g_MathManager;
// Chooses between the plain and the SSE matrix products; always false.
extern bool g_bSSESupport;

template <class T> inline T Square(T x) { return x * x; }

// True when a and b lie within eps of each other.
inline bool Equal(float a, float b, float eps) { return (a - b) * (a - b) <= eps * eps; }

inline float FastSqrt(float x) { return sqrtf(x); }

inline void MAKEABS(float& f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  bits &= 0x7fffffffu;
  memcpy(&f, &bits, 4);
}

inline float ABS(float f) { MAKEABS(f); return f; }
inline int ABS(int i) { return i < 0 ? (int)(0u - (unsigned)i) : i; }
inline double ABS(double d) { return fabs(d); }

// high is tested first, so a range with low > high yields high.
template <class T, class L, class H> inline T PIN(T x, L low, H high) {
  return x > (T)high ? (T)high : (x < (T)low ? (T)low : x);
}

template <class T> inline void SWAP(T& a, T& b) { T t = a; a = b; b = t; }
template <class T> inline T MAX(T a, T b) { return a > b ? a : b; }
template <class T> inline T MIN(T a, T b) { return a < b ? a : b; }
inline float max(float a, float b) { return a > b ? a : b; }
inline float min(float a, float b) { return a < b ? a : b; }

inline float SIGN(float x) { return x == 0.0f ? 0.0f : (x > 0.0f ? 1.0f : -1.0f); }
inline short SIGN(short x) { return x == 0 ? 0 : (x > 0 ? 1 : -1); }

inline int ABSMAX(int a, int b) { return ABS(a) > ABS(b) ? a : b; }
inline unsigned char ABSMAX(unsigned char a, unsigned char b) { return a > b ? a : b; }

// a / b, or a huge value of a's sign when b is zero.
inline float SafeDivide(float a, float b) {
  if (b == 0.0f) return SIGN(a) * 1000000000.0f;
  return a / b;
}

inline float Lerp(float a, float b, float t) { return (1.0f - t) * a + t * b; }

inline unsigned Align8(unsigned n) { return (n + 7u) & ~7u; }
inline unsigned Align16(unsigned n) { return (n + 15u) & ~15u; }
inline unsigned Align32(unsigned n) { return (n + 31u) & ~31u; }
// a must be a power of two.
inline unsigned AlignPowerOfTwo(unsigned n, unsigned a) {
  return (n & (a - 1u)) == 0 ? n : (n / a + 1u) * a;
}

// Maps an angle into (-180, 180].
inline float NormalizeAngle(float a) {
  if (a > 540.0f || a <= -540.0f) a = fmodf(a, 360.0f);
  if (a > 180.0f) a -= 360.0f;
  if (a <= -180.0f) a += 360.0f;
  return a;
}

inline float Sine(float deg) { return (float)sin((double)deg * 0.017453292519943295); }
inline float Cosine(float deg) { return (float)cos((double)deg * 0.017453292519943295); }
inline float Tangent(float deg) { return (float)tan((double)deg * 0.017453292519943295); }
inline float SineRad(float rad) { return sinf(rad); }
inline float CosineRad(float rad) { return cosf(rad); }

inline float ArcTan(float y, float x) { return NormalizeAngle(atan2f(y, x) * 57.29578f); }
inline float ArcCos(float x) { return NormalizeAngle(acosf(PIN(x, -1.0f, 1.0f)) * 57.29578f); }
inline float ArcSin(float x) { return NormalizeAngle(asinf(PIN(x, -1.0f, 1.0f)) * 57.29578f); }
inline float ArcCosRad(float x) { return acosf(x); }

// The unsigned difference of two angles around the circle.
inline float AbsDiffAngle(float a, float b) { return ABS(NormalizeAngle(a - b)); }

// Holds a inside the arc from low to high; outside it, the nearer end wins.
float PinAngle(float a, float low, float high);

// Interpolates two fields of view so that distant objects change size evenly.
float LerpFieldOfView(float a, float b, float t);

inline float OuterProduct(float a, float b) { return a * b; }

namespace TWMath {
// Real roots of a x^2 + b x + c = 0, the one of larger magnitude in r0.
// Returns the number of roots written: 0, 1 (linear case, both outputs
// hold the root) or 2 (a double root is written twice).
int SolveQuadratic(float a, float b, float c, float& r0, float& r1);
void DisableFPExceptions(bool disable);
}  // namespace TWMath
