// Input layout shared by the video harnesses and their seed writer.
//
// zoe_video_fuzzer: byte 0 width / 4 - 1 (low 6 bits), byte 1 height / 4 - 1,
// byte 2 flags (bit 0 the file has alpha, 1 decode alpha, 2 grey, 3 old
// colours, 4 key frame, 5 a single plane set), bytes 3-4 the first frame's
// byte count (little-endian); then the first frame and the second frame.
//
// zoe_bitplane_fuzzer: byte 0 the residue budget, then a stream of blocks,
// each read as coefficients then as a residue.
#pragma once

#include <cstdint>
#include <vector>

namespace zoefuzz {

const uint8_t kFileAlpha = 1, kDecodeAlpha = 2, kGrey = 4, kOldColours = 8, kKey = 16, kSingleSet = 32;

inline uint32_t Width(uint8_t b) { return ((b & 63) + 1) * 4; }
inline uint32_t Height(uint8_t b) { return ((b & 63) + 1) * 4; }

inline std::vector<uint8_t> VideoInput(uint32_t width, uint32_t height, uint8_t flags,
                                       const std::vector<uint8_t>& first, const std::vector<uint8_t>& second) {
  std::vector<uint8_t> out = {(uint8_t)(width / 4 - 1), (uint8_t)(height / 4 - 1), flags,
                              (uint8_t)(first.size() & 255), (uint8_t)(first.size() >> 8)};
  out.insert(out.end(), first.begin(), first.end());
  out.insert(out.end(), second.begin(), second.end());
  return out;
}

}  // namespace zoefuzz
