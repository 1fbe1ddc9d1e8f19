#include "TWMath/Random.h"

namespace {

// Arithmetic shift of the word taken as a signed 32-bit value.
inline uint32_t Sar(uint32_t y, int n) { return (uint32_t)((int32_t)y >> n); }

inline uint32_t Mix(uint32_t hi, uint32_t lo, uint32_t far) {
  uint32_t y = (hi & 0x80000000u) | (lo & 0x7fffffffu);
  return far ^ Sar(y, 1) ^ ((y & 1u) ? 0x9908b0dfu : 0u);
}

}  // namespace

void ERand::Seed(unsigned s) {
  m_aState[0] = s;
  for (int i = 1; i < kSTATE_SIZE; ++i) m_aState[i] = m_aState[i - 1] * 69069u;
  m_iIndex = kSTATE_SIZE;
  m_iCount = 0;
  m_uSeed = s;
}

void ERand::Twist() {
  int i = 0;
  for (; i < 227; ++i) m_aState[i] = Mix(m_aState[i], m_aState[i + 1], m_aState[i + 397]);
  for (; i < 623; ++i) m_aState[i] = Mix(m_aState[i], m_aState[i + 1], m_aState[i - 227]);
  m_aState[623] = Mix(m_aState[623], m_aState[0], m_aState[396]);
  m_iIndex = 0;
}

int ERand::rand() {
  if (m_iIndex >= kSTATE_SIZE) {
    if (m_iIndex == kSTATE_SIZE + 1) Seed(1234);
    Twist();
  }
  uint32_t y = m_aState[m_iIndex++];
  y ^= Sar(y, 11);
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= Sar(y, 18);
  ++m_iCount;
  return (int)(y % 0x7fffffffu);
}
