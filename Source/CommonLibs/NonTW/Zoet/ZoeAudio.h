// Sound decoder of the video library: a movie track's transform-coded frames
// (two packed floats, band quantisers and run-grouped coefficients per channel
// block) turned into 16-bit samples, each frame crossfaded with the tail held
// back from the one before.
#pragma once

#include <cstdint>

// Decoder record; all its buffers share its one allocation.
struct ZoetAudioDecoder {
  uint32_t transformSize;  // N: frame length (cosine mode) or frame length x channels
  float scale;             // 2 / sqrt(N)
  uint32_t frameBytes;     // 16-bit output bytes per frame
  uint32_t overlapBytes;   // frameBytes / 16: crossfaded and held back
  uint32_t blocks;         // channel blocks per frame
  int16_t* output;         // frameBytes bytes
  uint32_t firstFrame;     // 1 until a frame has been decoded
  uint32_t bandCount;      // critical bands (at most 25)
  uint32_t* bands;         // bandCount + 1 band edges
  int* fftIndex;           // integer work area of the transform
  float* fftTable;         // float work area of the transform
  int16_t* overlap;        // held-back tail of the previous frame
  uint32_t flags;          // open flags
};

enum : uint32_t { ZOET_AUDIO_DCT = 1 };

// Frame length of a sample rate: 512, 1024 or 2048 samples.
uint32_t ZoetAudioFrameLength(uint32_t sampleRate);

// The band quantiser of index k (0 to 95).
float ZoetAudioQuantiser(uint32_t k);

// A decoder for 1 or 2 channels (null for other channel counts or when the
// allocation fails). flags bit 0 selects the cosine transform.
ZoetAudioDecoder* ZoetAudioDecompressOpen(uint32_t sampleRate, uint32_t channels, uint32_t flags);

// Decodes the frame at `data` (32-bit aligned); bits past `limit` read as
// zero and the frame never reaches past it. *samples = the decoder's output,
// *bytes = the bytes of it that are final, *dataEnd = the end of the frame.
// Any out pointer may be null.
void ZoetAudioDecompress(ZoetAudioDecoder* decoder, int16_t** samples, uint32_t* bytes, const uint8_t* data,
                         const uint8_t* limit, const uint8_t** dataEnd);

void ZoetAudioDecompressClose(ZoetAudioDecoder* decoder);
