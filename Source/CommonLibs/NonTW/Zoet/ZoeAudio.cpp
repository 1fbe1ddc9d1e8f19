// Sound decoder of the video library.
#include "ZoeAudio.h"

#include <cmath>
#include <cstring>

#include "ZoeAlloc.h"
#include "ZoeBitplane.h"
#include "ZoePlatform.h"
#include "ZoeTransform.h"

namespace zoeaudio {

const uint32_t kCritical[25] = {0,    100,  200,  300,  400,  510,  630,  770,  920,  1080, 1270,  1480, 1720,
                                2000, 2320, 2700, 3150, 3700, 4400, 5300, 6400, 7700, 9500, 12000, 15500};

const uint32_t kRuns[16] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 32, 64};

// Most coefficients one frame holds: two channels of 2048.
const uint32_t kMaxCoefficients = 4096;

struct Quantisers {
  float q[96];
  Quantisers() {
    for (int k = 0; k < 96; k++) q[k] = (float)pow(10.0, 0.0664 * k);
  }
};

const Quantisers& Table() {
  static const Quantisers table;
  return table;
}

// 29 bits: exponent (5), mantissa (23), sign (1).
float ReadPackedFloat(ZoeBitReader& r) {
  uint32_t e = ZoeReadBits(r, 5);
  uint32_t m = ZoeReadBits(r, 23);
  uint32_t s = ZoeReadBit(r);
  float v = e < 24 ? ldexpf((float)m, (int)e - 23) : 0.0f;
  return s ? -v : v;
}

// Coefficients 2 to N - 1 of one block.
void ReadBands(float* coef, uint32_t n, ZoeBitReader& r, const float* q, const uint32_t* bands,
               uint32_t bandCount) {
  float quant = 0.0f;
  uint32_t k = 0;
  while (k < bandCount && 2 * bands[k] < 2) quant = q[k++];
  uint32_t i = 2;
  while (i < n) {
    uint32_t end = ZoeReadBit(r) ? i + 8 * kRuns[ZoeReadBits(r, 4)] : i + 8;
    if (end > n) end = n;
    uint32_t w = ZoeReadBits(r, 4);
    if (w == 0) {
      for (; i < end; i++) coef[i] = 0.0f;
      while (k < bandCount && 2 * bands[k] < i) quant = q[k++];
      continue;
    }
    for (; i < end; i++) {
      if (k < bandCount && i == 2 * bands[k]) quant = q[k++];
      uint32_t v = ZoeReadBits(r, w);
      if (v == 0) {
        coef[i] = 0.0f;
        continue;
      }
      float c = (float)v * quant;
      coef[i] = ZoeReadBit(r) ? -c : c;
    }
  }
}

int16_t ToSample(float v) {
  if (v >= 32767.0f) return 32767;
  if (v <= -32768.0f) return -32768;
  return (int16_t)lrintf(v);
}

// Returns the frame's length in bytes.
uint32_t DecodeFrame(ZoetAudioDecoder* d, const uint8_t* data, const uint8_t* limit) {
  float coef[kMaxCoefficients];
  uint32_t n = d->transformSize;
  ZoeBitReader r;
  ZoeBitReaderInit(r, data, limit);
  if (d->flags & ZOET_AUDIO_DCT) ZoeReadBits(r, 2);
  const float* table = Table().q;
  for (uint32_t b = 0; b < d->blocks; b++) {
    float* block = coef + b * n;
    block[0] = ReadPackedFloat(r);
    block[1] = ReadPackedFloat(r);
    float q[25];
    for (uint32_t j = 0; j < d->bandCount; j++) {
      uint32_t v = ZoeReadBits(r, 8);
      q[j] = table[v > 95 ? 95 : v];
    }
    ReadBands(block, n, r, q, d->bands, d->bandCount);
    if (d->flags & ZOET_AUDIO_DCT)
      zoe_ddct((int)n, 1, block, d->fftIndex, d->fftTable);
    else
      zoe_rdft((int)n, -1, block, d->fftIndex, d->fftTable);
  }
  int16_t* out = d->output;
  if (d->blocks == 1) {
    for (uint32_t i = 0; i < n; i++) out[i] = ToSample(coef[i] * d->scale);
  } else {
    for (uint32_t i = 0; i < n; i++) {
      out[2 * i] = ToSample(coef[i] * d->scale);
      out[2 * i + 1] = ToSample(coef[n + i] * d->scale);
    }
  }
  return (uint32_t)(r.next - data);
}

}  // namespace zoeaudio

uint32_t ZoetAudioFrameLength(uint32_t sampleRate) {
  if (sampleRate >= 44100) return 2048;
  if (sampleRate >= 22050) return 1024;
  return 512;
}

float ZoetAudioQuantiser(uint32_t k) { return zoeaudio::Table().q[k > 95 ? 95 : k]; }

ZoetAudioDecoder* ZoetAudioDecompressOpen(uint32_t sampleRate, uint32_t channels, uint32_t flags) {
  if (channels != 1 && channels != 2) return nullptr;
  uint32_t length = ZoetAudioFrameLength(sampleRate);
  uint32_t frameBytes = length * channels * 2;
  bool dct = (flags & ZOET_AUDIO_DCT) != 0;
  uint32_t n = dct ? length : length * channels;
  uint32_t half = dct ? (uint32_t)(((uint64_t)sampleRate + 1) / 2)
                      : (uint32_t)(((uint64_t)sampleRate * channels + 1) / 2);
  uint32_t bandCount = 0;
  while (bandCount < 25 && zoeaudio::kCritical[bandCount] < half) bandCount++;

  void* bands = nullptr;
  void* index = nullptr;
  void* table = nullptr;
  void* tail = nullptr;
  void* output = nullptr;
  pushmalloc(&bands, (bandCount + 1) * 4);
  pushmalloc(&index, 4 * (uint32_t)lrint(sqrt(n / 2.0)) + 8);
  pushmalloc(&table, dct ? 5 * n : 2 * n);
  pushmalloc(&tail, frameBytes / 2);
  pushmalloc(&output, frameBytes);
  uint32_t buffers = popmalloctotal();
  ZoetAudioDecoder* d = (ZoetAudioDecoder*)popmalloc(sizeof(ZoetAudioDecoder));
  if (!d) return nullptr;
  memset(d, 0, ((sizeof(ZoetAudioDecoder) + 31) & ~(size_t)31) + buffers);
  d->transformSize = n;
  d->scale = (float)(2.0 / sqrt((double)n));
  d->frameBytes = frameBytes;
  d->overlapBytes = frameBytes / 16;
  d->blocks = dct ? channels : 1;
  d->output = (int16_t*)output;
  d->firstFrame = 1;
  d->bandCount = bandCount;
  d->bands = (uint32_t*)bands;
  d->fftIndex = (int*)index;
  d->fftTable = (float*)table;
  d->overlap = (int16_t*)tail;
  d->flags = flags;
  for (uint32_t j = 0; j < bandCount; j++) {
    uint32_t edge = zoeaudio::kCritical[j] * (n / 2) / half;
    d->bands[j] = edge ? edge : 1;
  }
  d->bands[bandCount] = n / 2;
  return d;
}

void ZoetAudioDecompress(ZoetAudioDecoder* d, int16_t** samples, uint32_t* bytes, const uint8_t* data,
                         const uint8_t* limit, const uint8_t** dataEnd) {
  uint32_t length = zoeaudio::DecodeFrame(d, data, limit);
  uint32_t count = d->overlapBytes / 2;
  int16_t* out = d->output;
  if (d->firstFrame) {
    d->firstFrame = 0;
  } else {
    for (uint32_t k = 0; k < count; k++) {
      int32_t p = (int32_t)d->overlap[k] * (int32_t)(count - k) + (int32_t)out[k] * (int32_t)k;
      int32_t c = (int32_t)count;
      out[k] = (int16_t)(p >= 0 ? p / c : -((-p + c - 1) / c));
    }
  }
  memcpy(d->overlap, (uint8_t*)out + d->frameBytes - d->overlapBytes, d->overlapBytes);
  if (samples) *samples = out;
  if (bytes) *bytes = d->frameBytes - d->overlapBytes;
  if (dataEnd) *dataEnd = data + length;
}

void ZoetAudioDecompressClose(ZoetAudioDecoder* d) {
  if (d) radfree(d);
}
