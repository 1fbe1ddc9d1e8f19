// Decoding the picture of one movie frame: the video data of a frame holds
// alpha, luma and two chroma planes of 8x8 blocks, each block rebuilt by one
// of ten kinds from nine per-plane bundles of entropy-coded parameters.
#pragma once

#include <cstdint>

#include "ZoePlanes.h"

struct FrameBufferSet {
  int32_t totalFrames;  // 1 or 2 (not read here)
  uint32_t lumaWidth, lumaHeight;      // multiples of 8
  uint32_t chromaWidth, chromaHeight;  // multiples of 8
  uint32_t frameNum;                   // plane set holding the latest frame
  FramePlaneSet frames[2];
};

// Block kinds (values of the block-types bundle); 10-15 leave a block untouched.
enum ZoeBlockKind {
  SkipBlock = 0,
  ScaledBlock = 1,
  MotionBlock = 2,
  RunBlock = 3,
  ResidueBlock = 4,
  IntraBlock = 5,
  FillBlock = 6,
  InterBlock = 7,
  PatternBlock = 8,
  RawBlock = 9
};

// Decode flags and header flags read by the decoder.
const uint32_t ZOE_DECODE_OLD_COLOURS = 0x8000;  // formats 'f'-'h': no luma length word
const uint32_t ZOE_DECODE_GREY = 0x20000;
const uint32_t ZOE_DECODE_ALPHA = 0x100000;  // decode the alpha plane
const uint32_t ZOE_HEADER_ALPHA = 0x100000;

// Bundles of a plane, in the order of the buffer array.
enum ZoeBundleIndex {
  ZOE_BUNDLE_TYPES,
  ZOE_BUNDLE_SUBTYPES,
  ZOE_BUNDLE_COLOURS,
  ZOE_BUNDLE_PATTERNS,
  ZOE_BUNDLE_XOFF,
  ZOE_BUNDLE_YOFF,
  ZOE_BUNDLE_INTRA_DC,
  ZOE_BUNDLE_INTER_DC,
  ZOE_BUNDLE_RUNS,
  ZOE_BUNDLE_COUNT
};

// Run scan patterns: 16 orders of the 64 pixel positions of a block.
extern const uint8_t patterns[16][64];

// The sixteen prefix codes: the words of code c as '0'/'1' strings in
// reading order, and each code's lookup width.
extern const char* const zoe_code_words[16][16];
extern const uint8_t zoe_code_width[16];

// Bit length used for a refill count covering n elements: the length of n + 511.
uint32_t ZoeCountBits(uint32_t n);

// Sizes in bytes of the nine bundle buffers for frames `width` pixels wide.
uint32_t* ExpandBundleSizes(uint32_t sizes[9], uint32_t width);

// Decodes one frame's video data (dataBytes bytes at data, 4-byte aligned)
// into the plane set that becomes current and returns the skip statistic.
// The bundle buffers must have the sizes ExpandBundleSizes gives for a width
// of at least buffers->lumaWidth; the map holds one byte per 16x16 luma area,
// rows mapPitch bytes apart. Damaged data gives a wrong picture but never an
// access outside the data, the planes, the map or the bundle buffers.
uint32_t ExpandZoet(FrameBufferSet* buffers, uint8_t* map, uint32_t mapPitch, const uint32_t* data,
                    uint32_t dataBytes, int keyFrame, uint8_t** bundleBuffers, uint32_t decodeFlags,
                    uint32_t headerFlags);
