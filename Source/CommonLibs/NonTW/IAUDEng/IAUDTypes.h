// Basic types of the audio runtime: its vector, the four-character codes of
// its RIFF files and its result codes.
#pragma once

#include <cstdint>

// Three floats; y is up.
#ifndef IAUD_VECTOR_DECLARED
#define IAUD_VECTOR_DECLARED
struct IAUDVector {
  float x;
  float y;
  float z;
};
#endif

// A four-character code as the 32-bit little-endian value whose bytes, in
// file order, spell it.
constexpr uint32_t IAUDFourCC(const char (&s)[5]) {
  return (uint32_t)(uint8_t)s[0] | ((uint32_t)(uint8_t)s[1] << 8) | ((uint32_t)(uint8_t)s[2] << 16) |
         ((uint32_t)(uint8_t)s[3] << 24);
}

// Resource index of an object not yet placed in its bank.
constexpr uint32_t kIAUD_NO_INDEX = 0x80000000u;

// Result codes of the runtime.
enum : int32_t {
  kIAUD_OK = 0,
  kIAUD_BAD_ARGUMENT = -2,
  kIAUD_NO_MEMORY = -3,
  kIAUD_INVALID_HANDLE = -7,
  kIAUD_FILE_NOT_OPENED = -8,
  kIAUD_NOT_STARTED = -9,
  kIAUD_NO_OBJECT = -10,
  kIAUD_BANK_REFERENCED = -11,
  kIAUD_SAMPLE_BANK_NOT_OPENED = -12,
  kIAUD_CONTENT_BANK_NOT_OPENED = -13,
};
