// Input format of the movie reader harness, shared with its seed writer.
//
//   byte 0        flags: bit 0 opens the file through a descriptor, bit 1
//                 gives the reader a simulated data rate (fast)
//   bytes 1..3    file size (LE24, pattern content)
//   bytes 4..6    size the movie claims (LE24; 0 = the file size)
//   bytes 7..9    buffer size asked of bufferSize (LE24)
//   byte 10       bytes taken off the buffer before setInfo, in KB
//   then steps of 7 bytes: kind, offset (LE24, 0xFFFFFF = where the last
//   read ended), size (LE24)
#pragma once

#include <cstdint>
#include <vector>

namespace zoereaderfuzz {

enum Step : uint8_t {
  STEP_FRAME = 0,
  STEP_IDLE = 1,
  STEP_HEADER = 2,
  STEP_SUSPEND = 3,
  STEP_RESUME = 4,
  STEP_SUSPEND_AT_ONCE = 5,
  STEP_RESUME_AT_ONCE = 6,
  STEP_KINDS = 7,
};

const uint32_t kHeaderBytes = 11;
const uint32_t kStepBytes = 7;
const uint32_t kSameOffset = 0xFFFFFF;
const uint32_t kFlagDescriptor = 1;
const uint32_t kFlagRate = 2;

inline uint8_t FileByte(uint32_t i) { return (uint8_t)((i * 2654435761u) >> 11); }

inline void PutLE24(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back((uint8_t)v);
  out.push_back((uint8_t)(v >> 8));
  out.push_back((uint8_t)(v >> 16));
}

inline uint32_t GetLE24(const uint8_t* p) { return p[0] | (p[1] << 8) | ((uint32_t)p[2] << 16); }

struct Writer {
  std::vector<uint8_t> bytes;
  Writer(uint8_t flags, uint32_t fileSize, uint32_t claimed, uint32_t wanted, uint8_t trimKB) {
    bytes.push_back(flags);
    PutLE24(bytes, fileSize);
    PutLE24(bytes, claimed);
    PutLE24(bytes, wanted);
    bytes.push_back(trimKB);
  }
  Writer& Add(Step kind, uint32_t offset = 0, uint32_t size = 0) {
    bytes.push_back(kind);
    PutLE24(bytes, offset);
    PutLE24(bytes, size);
    return *this;
  }
};

}  // namespace zoereaderfuzz
