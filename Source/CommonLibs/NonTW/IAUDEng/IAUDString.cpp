#include "NonTW/IAUDEng/IAUDString.h"

int32_t IAUDGetStringLength(const uint16_t* s) {
  int32_t n = 0;
  while (s[n]) ++n;
  return n;
}

int32_t IAUDCopyString(uint16_t* dst, const uint16_t* src) {
  int32_t n = 0;
  while ((dst[n] = src[n]) != 0) ++n;
  return n;
}

int32_t IAUDCopyNumString(uint16_t* dst, const uint16_t* src, int32_t count) {
  if (count <= 0) return 0;
  int32_t n = 0;
  while (n < count && src[n]) {
    dst[n] = src[n];
    ++n;
  }
  while (n < count) dst[n++] = 0;
  return count;
}

int32_t IAUDCompareString(const uint16_t* a, const uint16_t* b) {
  for (; *a; ++a, ++b) {
    if (*b < *a) return -1;
    if (*b > *a) return 1;
  }
  return *b ? 1 : 0;
}

int32_t IAUDCharStringToShortString(const char* src, uint16_t* dst) {
  int32_t n = 0;
  for (; src[n]; ++n) dst[n] = (uint16_t)(uint8_t)src[n];
  dst[n] = 0;
  return n;
}

int32_t IAUDShortStringToCharString(const uint16_t* src, char* dst) {
  int32_t n = 0;
  for (; src[n]; ++n) dst[n] = (char)(uint8_t)(src[n] & 0xFF);
  dst[n] = 0;
  return n;
}
