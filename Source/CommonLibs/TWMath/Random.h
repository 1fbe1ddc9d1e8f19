// The system's pseudo-random generator: a Mersenne-Twister recurrence whose
// right shifts are arithmetic and whose results are reduced modulo
// 0x7fffffff. Its exact sequence is what makes recordings replay.
#pragma once

#include <cstdint>

class ERand {
public:
  enum { kSTATE_SIZE = 624 };

  ERand() : m_uSeed(1), m_iIndex(kSTATE_SIZE + 1), m_iCount(0) {}

  void Seed(unsigned s);
  // In [0, 2147483646]; an unseeded generator seeds itself with 1234.
  int rand();
  // In [0, 1).
  float frand() { return (float)rand() * 4.656613e-10f; }
  float frand(float low, float high) { return low + (float)rand() * 4.656613e-10f * (high - low); }

  unsigned GetSeed() const { return m_uSeed; }
  int GetCount() const { return m_iCount; }
  uint32_t GetStateWord(int i) const { return m_aState[i]; }

private:
  void Twist();

  unsigned m_uSeed;
  uint32_t m_aState[kSTATE_SIZE];
  int m_iIndex;  // 624: twist before the next number; 625: never seeded
  int m_iCount;
};

extern ERand g_SimRand;     // game simulation
extern ERand g_RenderRand;  // visual effects
extern ERand g_ScriptRand;  // the scripts' random numbers
