// A named group of content with a common gain.
#pragma once

#include <cstdint>

class CGroup {
 public:
  // The title keeps its terminating zero: 127 units at most are kept.
  explicit CGroup(const uint16_t* title);
  ~CGroup() {}
  const uint16_t* GetTitle() const { return m_wszTitle; }
  // A null title changes nothing; the stored title keeps its zero.
  void SetTitle(const uint16_t* title);
  float GetGain() const { return m_flGain; }
  // Nothing for an unchanged gain; else stores it and lets every player
  // re-apply it to its voices.
  void SetGain(float gain);

 private:
  uint16_t m_wszTitle[128];
  float m_flGain;
};
