// Platform services of the video library: processor features and memory.
#include "ZoePlatform.h"

#include <cstdlib>
#include <cstring>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

uint32_t cpu_features_avail = 0;
uint32_t cpu_features_to_use = 0;

static uint32_t ZoePlatformDetect() {
  uint32_t found = 0;
#if defined(__i386__) || defined(__x86_64__)
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 23))) {
    found |= 1;
    if (d & (1u << 25)) {
      found |= 4;
      if (d & (1u << 26)) found |= 8;
    }
    unsigned top = __get_cpuid_max(0x80000000u, nullptr);
    if (top > 0x80000000u && __get_cpuid(0x80000001u, &a, &b, &c, &d) && (d & (1u << 31))) found |= 2;
  }
#endif
  return found;
}

uint32_t CPU_check(uint32_t enable, uint32_t disable) {
  if (cpu_features_avail == 0) {
    cpu_features_avail = ZoePlatformDetect() | 0x80000000u;
    cpu_features_to_use = cpu_features_avail;
  }
  uint32_t avail = cpu_features_avail;
  cpu_features_to_use = ((avail & enable) | cpu_features_to_use) & ~(avail & disable);
  return cpu_features_to_use;
}

void* radmalloc(uint32_t size) {
  if (size == 0 || size == 0xFFFFFFFFu) return nullptr;
  uint8_t* raw = (uint8_t*)malloc((size_t)size + 64);
  if (!raw) return nullptr;
  uintptr_t base = (uintptr_t)raw;
  uintptr_t aligned = (base + 33 + 31) & ~(uintptr_t)31;
  uint8_t* p = (uint8_t*)aligned;
  p[-1] = (uint8_t)(aligned - base);
  p[-2] = 0;
  return p;
}

void radfree(void* p) {
  if (!p) return;
  uint8_t* q = (uint8_t*)p;
  free(q - q[-1]);
}
