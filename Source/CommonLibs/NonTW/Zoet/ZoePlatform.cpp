#include "ZoePlatform.h"

#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

uint32_t cpu_features_avail = 0;
uint32_t cpu_features_to_use = 0;

static uint32_t ZoePlatformDetectFeatures() {
  uint32_t bits = 0;
#if defined(__x86_64__) || defined(__i386__)
  unsigned a, b, c, d;
  if (__get_cpuid(1, &a, &b, &c, &d) && (d & (1u << 23))) {
    bits |= 1;
    if (d & (1u << 25)) {
      bits |= 4;
      if (d & (1u << 26)) bits |= 8;
    }
    if (__get_cpuid_max(0x80000000u, nullptr) > 0x80000000u && __get_cpuid(0x80000001u, &a, &b, &c, &d) &&
        (d & (1u << 31)))
      bits |= 2;
  }
#endif
  return bits;
}

uint32_t CPU_check(uint32_t enable, uint32_t disable) {
  if (cpu_features_avail == 0) {
    cpu_features_avail = ZoePlatformDetectFeatures() | 0x80000000u;
    cpu_features_to_use = cpu_features_avail;
  }
  cpu_features_to_use = ((cpu_features_avail & enable) | cpu_features_to_use) & ~(cpu_features_avail & disable);
  return cpu_features_to_use;
}

void* radmalloc(uint32_t size) {
  if (size == 0 || size == 0xFFFFFFFFu) return nullptr;
  return std::malloc(size);
}

void radfree(void* p) {
  std::free(p);
}
