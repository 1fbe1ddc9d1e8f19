#include "NonTW/AudioDrv/Buffer.h"

#include "TWUtil/ErrorManager.h"

CBuffer::CBuffer(ALuint uiName)
    : CAudioOAL(), m_uiBuffer(uiName), m_eFormat(0), m_ulSize(0), m_ulSamplesPerSecond(0), m_ulMono(0),
      m_usBitsPerSample(0), m_pPrev(nullptr), m_pPost(nullptr), m_bStreaming(false), m_bTemporary(false) {
  EASSERT(GetCount() > 1);
  m_Distance = IAUDSoundDistance{64.0f, 2048.0f, -30.0f, 0};
  m_Cone = IAUDSoundCone{360, 360, 0, 0, 0};
  m_pPost = m_pBufferList;
  if (m_pBufferList) m_pBufferList->m_pPrev = this;
  m_pBufferList = this;
  ++m_lNumBuffers;
}

CBuffer::~CBuffer() {
  alGetError();
  alDeleteBuffers(1, &m_uiBuffer);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) ReportErrorCode(err, "CBuffer::~CBuffer->alDeleteBuffers");
  if (m_pBufferList == this) {
    m_pBufferList = m_pPost;
    EASSERT(m_pPrev == nullptr && "CBuffer::~CBuffer Broken Link");
  }
  if (m_pPrev) m_pPrev->m_pPost = m_pPost;
  if (m_pPost) m_pPost->m_pPrev = m_pPrev;
  m_pPrev = m_pPost = nullptr;
  --m_lNumBuffers;
}

bool CBuffer::Load(const void* pData, unsigned long ulChannels, unsigned short usBitsPerSample,
                   unsigned long ulSamplesPerSecond, unsigned long ulSize, bool bTemporary, bool bStreaming) {
  EASSERT(pData);
  ALenum eFormat = 0;
  uint32_t ulMono = 0;
  if (ulChannels == 1 && usBitsPerSample == 8) {
    eFormat = AL_FORMAT_MONO8;
    ulMono = 1;
  } else if (ulChannels == 1 && usBitsPerSample == 16) {
    eFormat = AL_FORMAT_MONO16;
    ulMono = 1;
  } else if (ulChannels == 1 && usBitsPerSample == 4) {
    eFormat = static_cast<ALenum>(m_lMonoIMA4Enum);
    ulMono = 1;
  } else if (ulChannels == 2 && usBitsPerSample == 8) {
    eFormat = AL_FORMAT_STEREO8;
  } else if (ulChannels == 2 && usBitsPerSample == 16) {
    eFormat = AL_FORMAT_STEREO16;
  } else if (ulChannels == 2 && usBitsPerSample == 4) {
    eFormat = static_cast<ALenum>(m_lStereoIMA4Enum);
  } else if (bStreaming) {
    EASSERT(0 && "CBuffer::LoadStreamBuffer, Invalid buffer format");
    return false;
  } else {
    EASSERT(0 && "CBuffer::LoadBuffer, Invalid buffer format");
    return false;
  }
  m_eFormat = eFormat;
  m_ulMono = ulMono;
  alGetError();
  alBufferData(m_uiBuffer, eFormat, pData, static_cast<ALsizei>(ulSize), static_cast<ALsizei>(ulSamplesPerSecond));
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, bStreaming ? "CBuffer::LoadStreamBuffer->alBufferData" : "CBuffer::LoadBuffer->alBufferData");
    return false;
  }
  m_ulSize = bStreaming ? 0 : static_cast<uint32_t>(ulSize);
  m_ulSamplesPerSecond = static_cast<uint32_t>(ulSamplesPerSecond);
  m_usBitsPerSample = usBitsPerSample;
  m_bTemporary = bTemporary;
  m_bStreaming = bStreaming;
  return true;
}

bool CBuffer::LoadBuffer(const void* pData, unsigned long ulChannels, unsigned short usBitsPerSample,
                         unsigned long ulSamplesPerSecond, unsigned long ulSize, bool bTemporary) {
  return Load(pData, ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize, bTemporary, false);
}

bool CBuffer::LoadStreamBuffer(const void* pData, unsigned long ulChannels, unsigned short usBitsPerSample,
                               unsigned long ulSamplesPerSecond, unsigned long ulSize, bool bTemporary) {
  return Load(pData, ulChannels, usBitsPerSample, ulSamplesPerSecond, ulSize, bTemporary, true);
}

void CBuffer::UpdateSoundDistance(IAUDSoundDistance* pDistance) {
  if (pDistance) m_Distance = *pDistance;
}

void CBuffer::UpdateSoundCone(IAUDSoundCone* pCone) {
  if (pCone) m_Cone = *pCone;
}
