// Little-endian scalars in byte buffers, for the file formats that are read
// and written a field at a time.
#pragma once

#include <cstdint>
#include <cstring>

inline uint16_t GetLE16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

inline uint32_t GetLE32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline float GetLEFloat(const uint8_t* p) {
  uint32_t u = GetLE32(p);
  float f;
  memcpy(&f, &u, 4);
  return f;
}

inline void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

inline void PutLE32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

inline void PutLEFloat(uint8_t* p, float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  PutLE32(p, u);
}
