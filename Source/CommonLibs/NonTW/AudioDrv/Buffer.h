// One loaded sample of the render driver, on one OpenAL buffer. Samples are
// kept in a doubly linked list headed by CAudioOAL::m_pBufferList.
#pragma once

#include "NonTW/AudioDrv/AudioOAL.h"

class CBuffer : public CAudioOAL {
public:
  explicit CBuffer(ALuint uiName);
  ~CBuffer();

  bool LoadBuffer(const void* pData, unsigned long ulChannels, unsigned short usBitsPerSample,
                  unsigned long ulSamplesPerSecond, unsigned long ulSize, bool bTemporary);
  // The data is the stream's first chunk.
  bool LoadStreamBuffer(const void* pData, unsigned long ulChannels, unsigned short usBitsPerSample,
                        unsigned long ulSamplesPerSecond, unsigned long ulSize, bool bTemporary);
  void UpdateSoundDistance(IAUDSoundDistance* pDistance);
  void UpdateSoundCone(IAUDSoundCone* pCone);

  ALuint GetBuffer() const { return m_uiBuffer; }
  ALenum GetBufferFormat() const { return m_eFormat; }
  const IAUDSoundDistance& GetSoundDistance() const { return m_Distance; }
  const IAUDSoundCone& GetSoundCone() const { return m_Cone; }
  uint32_t GetSize() const { return m_ulSize; }
  uint32_t GetSamplesPerSecond() const { return m_ulSamplesPerSecond; }
  // 1 for a mono sample, 0 for stereo.
  uint32_t GetBufferChannelCount() const { return m_ulMono; }
  uint16_t GetBitsPerSample() const { return m_usBitsPerSample; }
  CBuffer* GetPrev() const { return m_pPrev; }
  CBuffer* GetPost() const { return m_pPost; }
  bool IsBufferStreaming() const { return m_bStreaming; }
  bool IsBufferTemporary() const { return m_bTemporary; }

private:
  bool Load(const void* pData, unsigned long ulChannels, unsigned short usBitsPerSample,
            unsigned long ulSamplesPerSecond, unsigned long ulSize, bool bTemporary, bool bStreaming);

  ALuint m_uiBuffer;
  ALenum m_eFormat;
  IAUDSoundDistance m_Distance;
  IAUDSoundCone m_Cone;
  uint32_t m_ulSize;
  uint32_t m_ulSamplesPerSecond;
  uint32_t m_ulMono;
  uint16_t m_usBitsPerSample;
  CBuffer* m_pPrev;
  CBuffer* m_pPost;
  bool m_bStreaming;
  bool m_bTemporary;
};
