// Transforms of the video library: the 8x8 integer inverse DCTs of the video
// decoder with their dequantisation tables, the forward DCTs of the encoder,
// and the single-precision Fourier and cosine transforms of the sound decoder.
#pragma once

#include <cstdint>

// Dequantisation factor of quantiser q (0-15) at raster position i (row x 8 +
// column), before scaling by 65536; the tables and the encoder's reciprocal
// quantisers are built from it.
double ZoeDequantFactor(int inter, int q, int i);

// Tables of 16 quantisers x 64 entries in raster order.
const uint32_t (*ZoeIntraDequant())[64];
const uint32_t (*ZoeInterDequant())[64];

// Inverse DCTs. Coefficients in raster order, q the quantiser 0-15.
void FastIDCT8x8(uint8_t* dst, int pitch, const int16_t coefs[64], int q);
void FastmIDCT8x8(uint8_t* dst, int pitch, const int16_t coefs[64], int q);
void FastIDCT8x8d(uint8_t* dst, int pitch, const int16_t coefs[64], int q);
void FastmIDCT8x8WithMotion(uint8_t* dst, int pitch, const int16_t coefs[64], int q, const uint8_t* ref,
                            int refPitch);

// Forward DCTs of 64 consecutive samples (unnormalised).
void FastFDCT8x8(int32_t out[64], const uint8_t pixels[64]);
void FastFDCTs8x8(int32_t out[64], const int8_t differences[64]);

// Real Fourier transform and cosine transform of a power-of-two length n >= 2.
// ip (at least 2 + sqrt(n/2) ints, ip[0] = ip[1] = 0 before the first call)
// and w (n/2 floats for zoe_rdft, 5n/4 for zoe_ddct) are work areas kept
// between calls.
void zoe_rdft(int n, int direction, float* a, int* ip, float* w);
void zoe_ddct(int n, int direction, float* a, int* ip, float* w);
