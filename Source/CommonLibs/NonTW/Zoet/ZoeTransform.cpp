// 8x8 integer DCTs (AAN factorisation, 11-bit constants) and the FFT-based
// real Fourier and cosine transforms.
#include "ZoeTransform.h"

#include <cmath>
#include <cstring>

namespace ZoeXform {

const double kQuantScale[16] = {1.0, 4.0 / 3.0, 5.0 / 3.0, 2.0, 8.0 / 3.0, 3.5, 4.0, 5.0,
                                6.0, 8.0, 12.0, 17.0, 22.0, 28.0, 34.0, 44.0};

const uint8_t kIntraMatrix[64] = {
    16, 16, 16, 19, 16, 19, 22, 22, 22, 22, 26, 24, 26, 22, 22, 27, 27, 27, 26, 26, 26, 29,
    29, 29, 27, 27, 27, 26, 34, 34, 34, 29, 29, 29, 27, 27, 37, 34, 34, 32, 32, 29, 29, 38,
    37, 35, 35, 34, 35, 40, 40, 40, 38, 38, 48, 48, 46, 46, 58, 56, 56, 69, 69, 83};
const uint8_t kInterMatrix[64] = {
    16, 17, 17, 18, 18, 18, 19, 19, 19, 19, 20, 20, 20, 20, 20, 21, 21, 21, 21, 21, 21, 22,
    22, 22, 22, 22, 22, 22, 23, 23, 23, 23, 23, 23, 23, 23, 24, 24, 24, 25, 24, 24, 24, 25,
    26, 26, 26, 26, 25, 27, 27, 27, 27, 27, 28, 28, 28, 28, 30, 30, 30, 31, 31, 33};

double AanScale(int k) { return k == 0 ? 1.0 : std::sqrt(2.0) * std::cos(k * M_PI / 16.0); }

struct Tables {
  uint32_t intra[16][64];
  uint32_t inter[16][64];
  Tables() {
    for (int q = 0; q < 16; q++)
      for (int i = 0; i < 64; i++) {
        intra[q][i] = (uint32_t)std::floor((double)(float)(65536.0 * ZoeDequantFactor(0, q, i)) + 0.5);
        inter[q][i] = (uint32_t)std::floor((double)(float)(65536.0 * ZoeDequantFactor(1, q, i)) + 0.5);
      }
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

const uint32_t K1 = 2896, K2 = 3784, K3 = 2217, K4 = (uint32_t)-5352;

// A product with a constant, wrapping like a 32-bit signed multiply, then >> 11.
inline uint32_t MulK(uint32_t a, uint32_t k) { return (uint32_t)((int32_t)(a * k) >> 11); }

// Eight butterflies side by side: lane j reads in[8k + j] (k = 0..7) and
// writes out[8m + j]. Sums wrap modulo 2^32 (unsigned arithmetic).
__attribute__((always_inline)) inline void ButterflyLanes(const uint32_t* in, uint32_t* out) {
  for (int j = 0; j < 8; j++) {
    uint32_t d0 = in[j], d1 = in[8 + j], d2 = in[16 + j], d3 = in[24 + j];
    uint32_t d4 = in[32 + j], d5 = in[40 + j], d6 = in[48 + j], d7 = in[56 + j];
    uint32_t t10 = d0 + d4, t11 = d0 - d4;
    uint32_t t13 = d2 + d6;
    uint32_t t12 = MulK(d2 - d6, K1) - t13;
    uint32_t e0 = t10 + t13, e3 = t10 - t13;
    uint32_t e1 = t11 + t12, e2 = t11 - t12;
    uint32_t z13 = d5 + d3, z10 = d5 - d3;
    uint32_t z11 = d1 + d7, z12 = d1 - d7;
    uint32_t o7 = z11 + z13;
    uint32_t z5 = MulK(z12 + z10, K2);
    uint32_t o6 = MulK(z10, K4) - o7 + z5;
    uint32_t o5 = MulK(z11 - z13, K1) - o6;
    uint32_t o4 = MulK(z12, K3) - z5 + o5;
    out[j] = e0 + o7;
    out[8 + j] = e1 + o6;
    out[16 + j] = e2 + o5;
    out[24 + j] = e3 - o4;
    out[32 + j] = e3 + o4;
    out[40 + j] = e2 - o5;
    out[48 + j] = e1 - o6;
    out[56 + j] = e0 - o7;
  }
}

// Dequantises and runs both passes; out receives the 64 result bytes in
// raster order. A column whose AC coefficients are all zero comes out of the
// column pass as its dequantised DC, as the butterfly leaves it.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void Inverse(const int16_t* coefs, const uint32_t* table, uint8_t out[64]) {
  alignas(32) uint32_t d[64], cols[64], t[64], rows[64];
  for (int i = 0; i < 64; i++) d[i] = (uint32_t)((int32_t)((uint32_t)(int32_t)coefs[i] * table[i]) >> 11);
  ButterflyLanes(d, cols);  // cols[8r + c]: column c, output row r
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++) t[8 * c + r] = cols[8 * r + c];
  ButterflyLanes(t, rows);  // rows[8c + r]: row r, output column c
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++) out[8 * r + c] = (uint8_t)((int32_t)(rows[8 * c + r] + 127) >> 8);
}

// The products are taken in 64 bits: a block of bright samples exceeds 32 bits
// in the column pass.
void Forward(int32_t out[64], const int32_t in[64]) {
  int32_t w[64];
  for (int pass = 0; pass < 2; pass++) {
    const int32_t* src = pass == 0 ? in : w;
    int32_t* dst = pass == 0 ? w : out;
    for (int line = 0; line < 8; line++) {
      // pass 0 walks rows, pass 1 columns
      int base = pass == 0 ? line * 8 : line, step = pass == 0 ? 1 : 8;
      int32_t p[8];
      for (int k = 0; k < 8; k++) p[k] = src[base + k * step];
      int32_t t0 = p[0] + p[7], t1 = p[1] + p[6], t2 = p[2] + p[5], t3 = p[3] + p[4];
      int32_t t4 = p[3] - p[4], t5 = p[2] - p[5], t6 = p[1] - p[6], t7 = p[0] - p[7];
      int32_t t10 = t0 + t3, t11 = t1 + t2, t12 = t1 - t2, t13 = t0 - t3;
      int32_t o[8];
      o[0] = t10 + t11;
      o[4] = t10 - t11;
      int32_t z1 = (int32_t)(((int64_t)(t12 + t13) * 1448) >> 11);
      o[2] = t13 + z1;
      o[6] = t13 - z1;
      int32_t u10 = t4 + t5, u11 = t5 + t6, u12 = t6 + t7;
      int32_t z5 = (int32_t)(((int64_t)(u10 - u12) * 784) >> 11);
      int32_t z2 = (int32_t)(((int64_t)u10 * 1108) >> 11) + z5;
      int32_t z4 = (int32_t)(((int64_t)u12 * 2676) >> 11) + z5;
      int32_t z3 = (int32_t)(((int64_t)u11 * 1448) >> 11);
      int32_t z11 = t7 + z3, z13 = t7 - z3;
      o[5] = z13 + z2;
      o[3] = z13 - z2;
      o[1] = z11 + z4;
      o[7] = z11 - z4;
      for (int k = 0; k < 8; k++) dst[base + k * step] = o[k];
    }
  }
}

}  // namespace ZoeXform

double ZoeDequantFactor(int inter, int q, int i) {
  int r = i >> 3, c = i & 7;
  const uint8_t* m = inter ? ZoeXform::kInterMatrix : ZoeXform::kIntraMatrix;
  return ZoeXform::kQuantScale[q & 15] * ZoeXform::AanScale(r) * ZoeXform::AanScale(c) * m[i] / 16.0;
}

const uint32_t (*ZoeIntraDequant())[64] { return ZoeXform::GetTables().intra; }
const uint32_t (*ZoeInterDequant())[64] { return ZoeXform::GetTables().inter; }

void FastIDCT8x8(uint8_t* dst, int pitch, const int16_t coefs[64], int q) {
  uint8_t px[64];
  ZoeXform::Inverse(coefs, ZoeXform::GetTables().intra[q & 15], px);
  for (int r = 0; r < 8; r++) memcpy(dst + r * pitch, px + 8 * r, 8);
}

void FastmIDCT8x8(uint8_t* dst, int pitch, const int16_t coefs[64], int q) {
  uint8_t px[64];
  ZoeXform::Inverse(coefs, ZoeXform::GetTables().inter[q & 15], px);
  for (int r = 0; r < 8; r++) memcpy(dst + r * pitch, px + 8 * r, 8);
}

void FastIDCT8x8d(uint8_t* dst, int pitch, const int16_t coefs[64], int q) {
  uint8_t px[64];
  ZoeXform::Inverse(coefs, ZoeXform::GetTables().intra[q & 15], px);
  for (int r = 0; r < 8; r++) {
    uint8_t row[16];
    for (int c = 0; c < 8; c++) row[2 * c] = row[2 * c + 1] = px[8 * r + c];
    memcpy(dst + (2 * r) * pitch, row, 16);
    memcpy(dst + (2 * r + 1) * pitch, row, 16);
  }
}

void FastmIDCT8x8WithMotion(uint8_t* dst, int pitch, const int16_t coefs[64], int q, const uint8_t* ref,
                            int refPitch) {
  uint8_t px[64];
  ZoeXform::Inverse(coefs, ZoeXform::GetTables().inter[q & 15], px);
  for (int r = 0; r < 8; r++)
    for (int c = 0; c < 8; c++) dst[r * pitch + c] = (uint8_t)(ref[r * refPitch + c] + px[8 * r + c]);
}

void FastFDCT8x8(int32_t out[64], const uint8_t pixels[64]) {
  int32_t in[64];
  for (int i = 0; i < 64; i++) in[i] = (int32_t)pixels[i] * 256;
  ZoeXform::Forward(out, in);
}

void FastFDCTs8x8(int32_t out[64], const int8_t differences[64]) {
  int32_t in[64];
  for (int i = 0; i < 64; i++) in[i] = (int32_t)differences[i] * 256;
  ZoeXform::Forward(out, in);
}

// ---- Fourier and cosine transforms ----
//
// w layout: the quarter-wave table cos(2 pi t / N), t = 0 .. N/4, of the
// largest real transform built (N = ip[0]); for the cosine transform it is
// followed by cos(pi k / (2 M)), k = 1 .. M-1, of the largest cosine
// transform built (M = ip[1], placed after the quarter-wave table of N = M).

namespace ZoeXform {

struct Wave {
  const float* table;  // cos(2 pi t / size), t = 0 .. size/4
  int size;
  int stride;  // size / n
  float Cos(int k) const {  // cos(2 pi k / n), 0 <= k < n
    int t = k * stride, q = size / 4;
    if (t <= q) return table[t];
    if (t <= 2 * q) return -table[2 * q - t];
    if (t <= 3 * q) return -table[t - 2 * q];
    return table[4 * q - t];
  }
  float Sin(int k, int n) const {  // sin(2 pi k / n)
    int j = k - n / 4;
    if (j < 0) j += n;
    return Cos(j);
  }
};

void BuildWave(float* w, int n) {
  for (int t = 0; t <= n / 4; t++) w[t] = (float)std::cos(2.0 * M_PI * t / n);
}

// In-place complex FFT of m points (m a power of two), sign -1 forward, +1 inverse, unnormalised.
void ComplexFFT(float* re, float* im, int m, int sign, const Wave& wave, int n) {
  for (int i = 1, j = 0; i < m; i++) {
    int bit = m >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      float t = re[i]; re[i] = re[j]; re[j] = t;
      t = im[i]; im[i] = im[j]; im[j] = t;
    }
  }
  for (int len = 2; len <= m; len <<= 1) {
    int step = n / len;  // twiddle e^{sign 2 pi i k / len} = angle index k*step at resolution n
    for (int i = 0; i < m; i += len) {
      for (int k = 0; k < len / 2; k++) {
        float wr = wave.Cos(k * step), wi = sign * wave.Sin(k * step, n);
        int a = i + k, b = i + k + len / 2;
        float xr = re[b] * wr - im[b] * wi, xi = re[b] * wi + im[b] * wr;
        re[b] = re[a] - xr; im[b] = im[a] - xi;
        re[a] += xr; im[a] += xi;
      }
    }
  }
}

void Rdft(int n, int direction, float* a, const Wave& wave) {
  if (n == 2) {
    float a0 = a[0], a1 = a[1];
    if (direction >= 0) { a[0] = a0 + a1; a[1] = a0 - a1; }
    else { a[0] = (a0 + a1) * 0.5f; a[1] = (a0 - a1) * 0.5f; }
    return;
  }
  int m = n / 2;
  float re[2048], im[2048];
  float* pr = re;
  float* pi = im;
  float* heap = nullptr;
  if (m > 2048) {
    heap = new float[2 * m];
    pr = heap;
    pi = heap + m;
  }
  if (direction >= 0) {
    for (int j = 0; j < m; j++) { pr[j] = a[2 * j]; pi[j] = a[2 * j + 1]; }
    ComplexFFT(pr, pi, m, -1, wave, n);
    // X[k] = Ze + W^k Zo, W = e^{-2 pi i / n}; store R = Re X, I = -Im X
    a[0] = pr[0] + pi[0];
    a[1] = pr[0] - pi[0];
    for (int k = 1; k < m; k++) {
      float zr = pr[k], zi = pi[k], cr = pr[m - k], ci = -pi[m - k];
      float er = (zr + cr) * 0.5f, ei = (zi + ci) * 0.5f;
      // Zo = (Z - conj Z')/(2i)
      float dr = (zr - cr) * 0.5f, di = (zi - ci) * 0.5f;
      float orr = di, oi = -dr;
      float wr = wave.Cos(k), wi = -wave.Sin(k, n);
      float xr = er + orr * wr - oi * wi, xi = ei + orr * wi + oi * wr;
      a[2 * k] = xr;
      a[2 * k + 1] = -xi;
    }
  } else {
    for (int k = 0; k < m; k++) {
      float xr, xi, yr, yi;  // X[k] and conj X[m-k]
      if (k == 0) { xr = a[0]; xi = 0; yr = a[1]; yi = 0; }
      else { xr = a[2 * k]; xi = -a[2 * k + 1]; yr = a[2 * (m - k)]; yi = a[2 * (m - k) + 1]; }
      float sr = xr + yr, si = xi + yi, dr = xr - yr, di = xi - yi;
      float wr = wave.Cos(k), wi = wave.Sin(k, n);  // W^{-k}
      float tr = dr * wr - di * wi, ti = dr * wi + di * wr;
      // Z = (S + i T) / 2
      pr[k] = (sr - ti) * 0.5f;
      pi[k] = (si + tr) * 0.5f;
    }
    ComplexFFT(pr, pi, m, 1, wave, n);
    for (int j = 0; j < m; j++) { a[2 * j] = pr[j]; a[2 * j + 1] = pi[j]; }
  }
  delete[] heap;
}

}  // namespace ZoeXform

void zoe_rdft(int n, int direction, float* a, int* ip, float* w) {
  if (n < 2) return;
  if (n > ip[0]) {
    ZoeXform::BuildWave(w, n);
    ip[0] = n;
    ip[1] = 0;
  }
  ZoeXform::Wave wave{w, ip[0], ip[0] / n};
  ZoeXform::Rdft(n, direction, a, wave);
}

void zoe_ddct(int n, int direction, float* a, int* ip, float* w) {
  if (n < 2) return;
  if (n > ip[1]) {
    ZoeXform::BuildWave(w, n);
    ip[0] = n;
    float* rot = w + n / 4 + 1;
    for (int k = 1; k < n; k++) rot[k - 1] = (float)std::cos(M_PI * k / (2.0 * n));
    ip[1] = n;
  }
  int big = ip[1], stride = big / n;
  const float* rot = w + big / 4 + 1;
  auto rotCos = [&](int k) -> float {  // cos(pi k / (2n)), 0 <= k <= n
    int t = k * stride;
    return t == 0 ? 1.0f : t == big ? 0.0f : rot[t - 1];
  };
  ZoeXform::Wave wave{w, ip[0], ip[0] / n};
  float local[4096];
  float* v = n <= 4096 ? local : new float[n];
  if (direction < 0) {
    for (int j = 0; j < n / 2; j++) { v[j] = a[2 * j]; v[n - 1 - j] = a[2 * j + 1]; }
    ZoeXform::Rdft(n, 1, v, wave);
    for (int k = 0; k < n; k++) {
      float r, im;
      if (k == 0) { r = v[0]; im = 0; }
      else if (k == n / 2) { r = v[1]; im = 0; }
      else if (k < n / 2) { r = v[2 * k]; im = v[2 * k + 1]; }
      else { r = v[2 * (n - k)]; im = -v[2 * (n - k) + 1]; }
      a[k] = rotCos(k) * r - rotCos(n - k) * im;
    }
  } else {
    // b[0] = a[0], b[k] = a[k] / 2; V[k] = e^{i pi k / 2n} (b[k] - i b[n-k]); R = 2 Re V, I = -2 Im V
    for (int k = 0; k <= n / 2; k++) {
      float bk = k == 0 ? a[0] : a[k] * 0.5f;
      float bn = k == 0 ? 0.0f : a[n - k] * 0.5f;
      float c = rotCos(k), s = rotCos(n - k);
      float vr = c * bk + s * bn, vi = s * bk - c * bn;
      if (k == 0) v[0] = 2 * vr;
      else if (k == n / 2) v[1] = 2 * vr;
      else { v[2 * k] = 2 * vr; v[2 * k + 1] = -2 * vi; }
    }
    ZoeXform::Rdft(n, -1, v, wave);
    for (int j = 0; j < n / 2; j++) { a[2 * j] = v[j]; a[2 * j + 1] = v[n - 1 - j]; }
  }
  if (v != local) delete[] v;
}
