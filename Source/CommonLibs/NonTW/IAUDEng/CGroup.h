// A named group of content with a common gain.
#pragma once

#include <cstdint>

class CGroup {
 public:
  explicit CGroup(const uint16_t* title);
  const uint16_t* GetTitle() const { return m_wszTitle; }
  float GetGain() const { return m_flGain; }
  void SetGain(float gain) { m_flGain = gain; }

 private:
  uint16_t m_wszTitle[128];
  float m_flGain;
};
