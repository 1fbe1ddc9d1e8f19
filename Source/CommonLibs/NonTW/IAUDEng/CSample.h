// A sample of a sample bank, as far as voices time and attach it.
#pragma once

#include <cstdint>

class CSample {
 public:
  // The sample reference: ((bank slot + 1) << 16) | index.
  uint32_t GetSampleIndex() const { return m_dwSampleIndex; }
  // Format word, duration in milliseconds, rate, data size, bits.
  uint32_t* GetSampleInfo() { return m_adwSampleInfo; }
  uint32_t GetSampleChannels() const { return m_dwChannels; }
  // Attaches the sample to a driver track.
  void AttachSample(long track) { (void)track; }

  void SetSampleIndex(uint32_t reference) { m_dwSampleIndex = reference; }
  void SetSampleChannels(uint32_t channels) { m_dwChannels = channels; }

 private:
  uint32_t m_dwSampleIndex = 0;
  uint32_t m_adwSampleInfo[5] = {};
  uint32_t m_dwChannels = 1;
};
