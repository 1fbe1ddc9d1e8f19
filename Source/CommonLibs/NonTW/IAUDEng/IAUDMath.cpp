#include "NonTW/IAUDEng/IAUDMath.h"

#include <cmath>
#include <cstdlib>

float* g_fSineTable = nullptr;
uint8_t g_bMathInitialized = 0;

namespace {

const int kSineQuarter = 8192;
const int kSineSteps = 32768;
const double kSineStepsPerRadian = 5215.189175235227;

// Table steps of an angle, truncated toward zero, with whole turns taken
// off (keeping the sign); angles that are not finite count as 0.
int32_t MathSineIndex(float angle) {
  double k = trunc((double)angle * kSineStepsPerRadian);
  if (!std::isfinite(k)) return 0;
  return (int32_t)fmod(k, (double)kSineSteps);
}

}  // namespace

bool IAUDinitmath() {
  if (g_bMathInitialized == 1) return true;
  float* table = static_cast<float*>(malloc(sizeof(float) * (kSineQuarter + 1)));
  if (!table) return false;
  for (int i = 0; i <= kSineQuarter; ++i) table[i] = (float)sin(i * 2.0 * M_PI / kSineSteps);
  g_fSineTable = table;
  g_bMathInitialized = 1;
  return true;
}

// Without a table the platform's functions answer.
float IAUDsin(float angle) {
  if (!IAUDinitmath()) return sinf(angle);
  int32_t i = MathSineIndex(angle) % kSineSteps;
  if (i < 0) i += kSineSteps;
  if (i <= 8192) return g_fSineTable[i];
  if (i <= 16384) return g_fSineTable[16384 - i];
  if (i <= 24576) return -g_fSineTable[i - 16384];
  return -g_fSineTable[32768 - i];
}

float IAUDcos(float angle) {
  if (!IAUDinitmath()) return cosf(angle);
  int32_t k = MathSineIndex(angle);
  int32_t i = (k < 0 ? -k : k) % kSineSteps;
  if (i <= 8192) return g_fSineTable[8192 - i];
  if (i <= 16384) return -g_fSineTable[i - 8192];
  if (i <= 24576) return -g_fSineTable[24576 - i];
  return g_fSineTable[i - 24576];
}

float IAUDSquareRoot(float v) {
  IAUDinitmath();
  return (float)sqrt((double)v);
}

float IAUDatan2(float y, float x) {
  IAUDinitmath();
  return (float)atan2((double)y, (double)x);
}

float IAUDpow(float base, float exponent) { return (float)pow((double)base, (double)exponent); }

void IAUDcrossproduct(IAUDVector& a, IAUDVector& b, IAUDVector& out) {
  IAUDVector r = {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
  out = r;
}

float IAUDdotproduct(IAUDVector& a, IAUDVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void IAUDnormalize(IAUDVector& v) {
  float len = IAUDSquareRoot(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len == 0.0f) return;
  v.x /= len;
  v.y /= len;
  v.z /= len;
}

void IAUDmatrixvector(IAUDVector& v, float m[3][3]) {
  IAUDVector r = {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
                  v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
  v = r;
}

void IAUDcreatematrix(IAUDVector& front, IAUDVector& top, float m[3][3]) {
  IAUDVector f = front, t = top, r;
  IAUDcrossproduct(t, f, r);
  IAUDnormalize(r);
  IAUDnormalize(t);
  IAUDnormalize(f);
  const IAUDVector* cols[3] = {&r, &t, &f};
  for (int c = 0; c < 3; ++c) {
    m[0][c] = cols[c]->x;
    m[1][c] = cols[c]->y;
    m[2][c] = cols[c]->z;
  }
}

void IAUDcreateorientation(float a, float b, float c, IAUDVector& front, IAUDVector& top) {
  float sa = IAUDsin(a), ca = IAUDcos(a), sb = IAUDsin(b), cb = IAUDcos(b), sc = IAUDsin(c), cc = IAUDcos(c);
  front.x = -sb * ca;
  front.y = sa;
  front.z = cb * ca;
  top.x = sb * sa * cc + cb * sc;
  top.y = ca * cc;
  top.z = sb * sc - cb * sa * cc;
}
