#include "NonTW/AudioDrv/Source.h"

#include <cmath>
#include <cstring>

#include "NonTW/AudioDrv/Buffer.h"
#include "TWUtil/ErrorManager.h"

const IAUDSoundDistance CSource::m_DefaultDistance = {1.0f, 1584.89f, -64.0f, 0};
const IAUDSoundCone CSource::m_DefaultCone = {360, 360, 0, 0, 0};

namespace {
// EAX 4.0 source property ids.
enum : unsigned long {
  kEAXSOURCE_ALLPARAMETERS = 1,
  kEAXSOURCE_OUTSIDEVOLUMEHF = 17,
  kEAXSOURCE_ROLLOFFFACTOR = 19,
  kEAXSOURCE_ROOMROLLOFFFACTOR = 20,
  kEAXSOURCE_AIRABSORPTIONFACTOR = 21,
  kEAXSOURCE_FLAGS = 22,
};
// Offsets within the 72-byte all-parameters record.
const size_t kEAXSOURCE_ALL_SIZE = 72;
const size_t kEAXSOURCE_ALL_OUTSIDEHF = 48;
const size_t kEAXSOURCE_ALL_FLAGS = 68;

float SourceConeGain(long lMillibels) { return static_cast<float>(exp(lMillibels * 0.0011513)); }
}  // namespace

float CSource::ComputeRolloff(float fMin, float fMax, float fAttenuation) {
  if (fMax == fMin) return 1.0f;
  double dRolloff = (fMin * pow(10.0, -fAttenuation / 20.0) - fMin) / (fMax - fMin);
  if (dRolloff < 0.0) dRolloff = 0.0;
  return static_cast<float>(dRolloff);
}

CSource::CSource(ALuint uiName)
    : CAudioOAL(), m_uiSource(uiName), m_pBuffer(nullptr), m_bMute(false), m_bSolo(false), m_bRecord(false),
      m_bLoop(false), m_fGain(1.0f), m_fPitch(1.0f), m_lMode(0), m_ulEAXFlags(7), m_iSetState(AL_STOPPED),
      m_lStreamBuffersCount(0), m_lQueuedBuffersCount(0), m_lUnqueuedBuffersCount(0) {
  memset(m_uiBufferStream, 0, sizeof(m_uiBufferStream));
  memset(m_afPosition, 0, sizeof(m_afPosition));
  memset(m_afVelocity, 0, sizeof(m_afVelocity));
  memset(m_afOrientation, 0, sizeof(m_afOrientation));
  EASSERT(GetCount() >= 1);

  alGetError();
  ALint iRelative = 0;
  alGetSourcef(m_uiSource, AL_GAIN, &m_fGain);
  alGetSourcef(m_uiSource, AL_PITCH, &m_fPitch);
  alGetSourcei(m_uiSource, AL_SOURCE_RELATIVE, &iRelative);
  m_lMode = iRelative;
  alGetSourcefv(m_uiSource, AL_POSITION, m_afPosition);
  alGetSourcefv(m_uiSource, AL_VELOCITY, m_afVelocity);
  alGetSourcefv(m_uiSource, AL_DIRECTION, m_afOrientation);
  alGetError();

  IAUDVector vFront = {0.0f, 0.0f, 1.0f};
  SetOrientation(vFront);

  m_Distance = IAUDSoundDistance{64.0f, 2048.0f, -30.0f, 0};
  alSourcef(m_uiSource, AL_REFERENCE_DISTANCE, m_Distance.fMinDistance);
  alSourcef(m_uiSource, AL_MAX_DISTANCE, m_Distance.fMaxDistance);
  if (m_EAXSet) {
    float fZero = 0.0f;
    SetEAXProp(kEAXSOURCE_ROLLOFFFACTOR, &fZero, sizeof(fZero));
    SetEAXProp(kEAXSOURCE_ROOMROLLOFFFACTOR, &fZero, sizeof(fZero));
    SetEAXProp(kEAXSOURCE_AIRABSORPTIONFACTOR, &fZero, sizeof(fZero));
    alSourcef(m_uiSource, AL_ROLLOFF_FACTOR,
              ComputeRolloff(m_Distance.fMinDistance, m_Distance.fMaxDistance, m_Distance.fAttenuation));
  }

  m_Cone = IAUDSoundCone{360, 360, 0, 0, 3};
  alSourcef(m_uiSource, AL_CONE_INNER_ANGLE, 360.0f);
  alSourcef(m_uiSource, AL_CONE_OUTER_ANGLE, 360.0f);
  alSourcef(m_uiSource, AL_CONE_OUTER_GAIN, 1.0f);
  if (m_EAXSet) {
    int32_t lHF = m_Cone.lOutsideVolumeHF;
    SetEAXProp(kEAXSOURCE_OUTSIDEVOLUMEHF, &lHF, sizeof(lHF));
    SetEAXProp(kEAXSOURCE_FLAGS, &m_ulEAXFlags, sizeof(m_ulEAXFlags));
  }
  alGetError();
}

CSource::~CSource() {
  AttachBuffer(nullptr);
  if (m_lStreamBuffersCount != 0) {
    alGetError();
    alDeleteBuffers(static_cast<ALsizei>(m_lStreamBuffersCount), m_uiBufferStream);
    ALenum err = alGetError();
    if (err != AL_NO_ERROR)
      ReportErrorCode(err, "CSource::~CSource alDeleteBuffers(m_lStreamBuffersCount, m_uiBufferStream)");
  }
  alGetError();
  alDeleteSources(1, &m_uiSource);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) ReportErrorCode(err, "CSource::~CSource alDeleteSources(1, &m_uiSource)");
}

ALint CSource::GetState() {
  alGetError();
  ALint iState = AL_STOPPED;
  alGetSourcei(m_uiSource, AL_SOURCE_STATE, &iState);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::GetState alGetSourcei(m_uiSource, AL_SOURCE_STATE, &state)");
    return AL_STOPPED;
  }
  m_iSetState = iState;
  return iState;
}

bool CSource::DeleteStreamBuffers() {
  if (m_lStreamBuffersCount != 0) {
    alGetError();
    alDeleteBuffers(static_cast<ALsizei>(m_lStreamBuffersCount), m_uiBufferStream);
    ALenum err = alGetError();
    if (err != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::~CSource alDeleteBuffers(m_lStreamBuffersCount, m_uiBufferStream)");
      return false;
    }
  }
  memset(m_uiBufferStream, 0, sizeof(m_uiBufferStream));
  m_lStreamBuffersCount = 0;
  m_lQueuedBuffersCount = 0;
  m_lUnqueuedBuffersCount = 0;
  return true;
}

// The stop of a streaming or temporary sample: the source is stopped and
// emptied at once, a temporary sample is deleted and stream buffers go.
void CSource::StopAndRelease() {
  bool bStreaming = m_pBuffer->IsBufferStreaming();
  alSourceStop(m_uiSource);
  ALenum err = alGetError();
  bool bEmptied = false;
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::SetState, alSourceStop(m_uiSource)");
  } else {
    alSourcei(m_uiSource, AL_BUFFER, 0);
    err = alGetError();
    if (err != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::SetState, alSourcei(m_uiSource, AL_BUFFER, 0)");
      return;
    }
    bEmptied = true;
    m_iSetState = AL_STOPPED;
    if (m_pBuffer->IsBufferTemporary()) {
      CBuffer* pBuffer = m_pBuffer;
      m_pBuffer = nullptr;
      delete pBuffer;
    }
  }
  if (bStreaming && DeleteStreamBuffers() && bEmptied) m_iSetState = AL_STOPPED;
}

void CSource::SetState(ALint iState, bool bDeferred) {
  alGetError();
  switch (iState) {
    case AL_PLAYING:
      if (m_pBuffer && m_pBuffer->IsBufferStreaming() && m_lStreamBuffersCount == 0) {
        alGenBuffers(BUFFER_QUEUE_COUNT, m_uiBufferStream);
        ALenum err = alGetError();
        if (err != AL_NO_ERROR) {
          ReportErrorCode(err, "CSource::SetState alGenBuffers(BUFFER_QUEUE_COUNT, m_uiBufferStream)");
          return;
        }
        m_lStreamBuffersCount = BUFFER_QUEUE_COUNT;
      }
      if (!bDeferred) alSourcePlay(m_uiSource);
      break;
    case AL_PAUSED:
      if (!bDeferred) alSourcePause(m_uiSource);
      break;
    case AL_STOPPED:
      if (m_pBuffer && (m_pBuffer->IsBufferStreaming() || m_pBuffer->IsBufferTemporary())) {
        StopAndRelease();
        return;
      }
      if (!bDeferred) alSourceStop(m_uiSource);
      break;
    default:
      EASSERT(0);
      return;
  }
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::SetState");
    return;
  }
  m_iSetState = iState;
}

void CSource::AttachBuffer(CBuffer* pBuffer) {
  SetState(AL_STOPPED, false);
  alGetError();
  alSourcei(m_uiSource, AL_BUFFER, 0);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::AttachBuffer alSourcei(m_uiSource, AL_BUFFER, 0)");
    return;
  }
  m_pBuffer = nullptr;
  if (!pBuffer) return;
  if (pBuffer->IsBufferStreaming()) {
    m_lQueuedBuffersCount = 0;
    m_lUnqueuedBuffersCount = 0;
    m_pBuffer = pBuffer;
    alSourcei(m_uiSource, AL_LOOPING, AL_FALSE);
    ALuint uiBuffer = pBuffer->GetBuffer();
    alGetError();
    alSourceQueueBuffers(m_uiSource, 1, &uiBuffer);
    err = alGetError();
    if (err != AL_NO_ERROR) ReportErrorCode(err, "CSource::AttachBuffer alSourceQueueBuffers(m_uiSource, 1, &uiBuffer");
    return;
  }
  alSourcei(m_uiSource, AL_BUFFER, static_cast<ALint>(pBuffer->GetBuffer()));
  err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::AttachBuffer alSourcei(m_uiSource, AL_BUFFER, pBuffer->GetBuffer())");
    return;
  }
  m_pBuffer = pBuffer;
}

void CSource::SetLoop(bool bLoop) {
  if (!m_pBuffer) return;
  if (!m_pBuffer->IsBufferStreaming()) alSourcei(m_uiSource, AL_LOOPING, bLoop ? AL_TRUE : AL_FALSE);
  m_bLoop = bLoop;
}

void CSource::SetGain(float fGain) {
  bool bAudible = m_lSoloCount != 0 ? m_bSolo : !m_bMute;
  if (bAudible) {
    alGetError();
    alSourcef(m_uiSource, AL_GAIN, fGain);
    ALenum err = alGetError();
    if (err != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::SetGain");
      return;
    }
  }
  m_fGain = fGain;
}

void CSource::SetPitch(float fPitch) {
  if (fPitch == m_fPitch) return;
  alGetError();
  alSourcef(m_uiSource, AL_PITCH, fPitch);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::SetPitch");
    return;
  }
  m_fPitch = fPitch;
}

void CSource::SetMode(unsigned long ulMode) {
  if (static_cast<long>(ulMode) == m_lMode) return;
  alGetError();
  alSourcei(m_uiSource, AL_SOURCE_RELATIVE, ulMode ? AL_TRUE : AL_FALSE);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::SetMode");
    return;
  }
  m_lMode = static_cast<long>(ulMode);
}

bool CSource::SendVector(ALenum eParam, float* pfCache, IAUDVector& v, const char* pszWhere) {
  v.z = -v.z;
  if (pfCache[0] == v.x && pfCache[1] == v.y && pfCache[2] == v.z) return true;
  alGetError();
  alSource3f(m_uiSource, eParam, v.x, v.y, v.z);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, pszWhere);
    return false;
  }
  pfCache[0] = v.x;
  pfCache[1] = v.y;
  pfCache[2] = v.z;
  return true;
}

void CSource::SetPosition(IAUDVector& vPosition) {
  SendVector(AL_POSITION, m_afPosition, vPosition, "CSource::SetPosition");
}

void CSource::SetVelocity(IAUDVector& vVelocity) {
  SendVector(AL_VELOCITY, m_afVelocity, vVelocity, "CSource::SetVelocity");
}

void CSource::SetOrientation(IAUDVector& vOrientation) {
  SendVector(AL_DIRECTION, m_afOrientation, vOrientation, "CSource::SetOrientation");
}

void CSource::UpdateDistanceParameters(const IAUDSoundDistance* pDistance, bool bForce) {
  if (!m_pBuffer || m_pBuffer->GetBufferChannelCount() != 1) return;
  if (!pDistance) pDistance = &m_DefaultDistance;
  alGetError();
  ALenum err;
  if (pDistance->fMinDistance != m_Distance.fMinDistance || bForce) {
    alSourcef(m_uiSource, AL_REFERENCE_DISTANCE, pDistance->fMinDistance);
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::InitializeDistanceParameters AL_REFERENCE_DISTANCE");
      return;
    }
    m_Distance.fMinDistance = pDistance->fMinDistance;
    bForce = true;
  }
  if (pDistance->fMaxDistance != m_Distance.fMaxDistance || bForce) {
    alSourcef(m_uiSource, AL_MAX_DISTANCE, pDistance->fMaxDistance);
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::InitializeDistanceParameters AL_MAX_DISTANCE");
      return;
    }
    m_Distance.fMaxDistance = pDistance->fMaxDistance;
    bForce = true;
  }
  if (pDistance->fAttenuation != m_Distance.fAttenuation || bForce) {
    float fRolloff = ComputeRolloff(m_Distance.fMinDistance, m_Distance.fMaxDistance, pDistance->fAttenuation);
    alSourcef(m_uiSource, AL_ROLLOFF_FACTOR, fRolloff);
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::InitializeDistanceParameters AL_ROLLOFF_FACTOR");
      return;
    }
    m_Distance.fAttenuation = pDistance->fAttenuation;
  }
  if (m_EAXSet) {
    m_ulEAXFlags = (m_ulEAXFlags & ~2u) | ((pDistance->ulFlags & 1u) << 1);
    m_Distance.ulFlags = pDistance->ulFlags;
    SetEAXProp(kEAXSOURCE_FLAGS, &m_ulEAXFlags, sizeof(m_ulEAXFlags));
  }
}

void CSource::UpdateSoundCone(const IAUDSoundCone* pCone, bool bForce) {
  if (!m_pBuffer || m_pBuffer->GetBufferChannelCount() != 1) return;
  if (!pCone) pCone = &m_DefaultCone;
  alGetError();
  ALenum err;
  if (pCone->lInsideAngle != m_Cone.lInsideAngle || bForce) {
    alSourcef(m_uiSource, AL_CONE_INNER_ANGLE, static_cast<float>(pCone->lInsideAngle));
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::UpdateSoundCode AL_CONE_INNER_ANGLE");
      return;
    }
    m_Cone.lInsideAngle = pCone->lInsideAngle;
  }
  if (pCone->lOutsideAngle != m_Cone.lOutsideAngle || bForce) {
    alSourcef(m_uiSource, AL_CONE_OUTER_ANGLE, static_cast<float>(pCone->lOutsideAngle));
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::UpdateSoundCode AL_CONE_OUTER_ANGLE");
      return;
    }
    m_Cone.lOutsideAngle = pCone->lOutsideAngle;
  }
  if (pCone->lOutsideVolume != m_Cone.lOutsideVolume || bForce) {
    alSourcef(m_uiSource, AL_CONE_OUTER_GAIN, SourceConeGain(pCone->lOutsideVolume));
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::UpdateSoundCode AL_CONE_OUTER_GAIN");
      return;
    }
    m_Cone.lOutsideVolume = pCone->lOutsideVolume;
  }
  if (m_EAXSet) {
    if (pCone->lOutsideVolumeHF != m_Cone.lOutsideVolumeHF || bForce) {
      m_Cone.lOutsideVolumeHF = pCone->lOutsideVolumeHF;
      int32_t lHF = m_Cone.lOutsideVolumeHF;
      SetEAXProp(kEAXSOURCE_OUTSIDEVOLUMEHF, &lHF, sizeof(lHF));
    }
    if (pCone->ulFlags != m_Cone.ulFlags || bForce) {
      m_Cone.ulFlags = pCone->ulFlags;
      m_ulEAXFlags = (m_ulEAXFlags & ~5u) | (pCone->ulFlags & 1u) | ((pCone->ulFlags & 2u) << 1);
      SetEAXProp(kEAXSOURCE_FLAGS, &m_ulEAXFlags, sizeof(m_ulEAXFlags));
    }
  }
}

long CSource::GetProcessedStreamBufferCount() {
  if (m_iSetState != AL_PLAYING) return 0;
  alGetError();
  ALint iProcessed = 0;
  alGetSourcei(m_uiSource, AL_BUFFERS_PROCESSED, &iProcessed);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::ProcessStreamSource alGetSourcei(m_uiSource, AL_BUFFERS_PROCESSED, Buffers)");
    return 0;
  }
  if (iProcessed > 0 && m_lUnqueuedBuffersCount == 0) {
    ALuint uiFirst = 0;
    alSourceUnqueueBuffers(m_uiSource, 1, &uiFirst);
    if (alGetError() != AL_NO_ERROR) return 0;
    ++m_lUnqueuedBuffersCount;
    --iProcessed;
  }
  long lUnqueued = 0;
  for (ALint i = 0; i < iProcessed; ++i) {
    alSourceUnqueueBuffers(m_uiSource, 1, &m_uiBufferStream[(m_lUnqueuedBuffersCount - 1) % BUFFER_QUEUE_COUNT]);
    if (alGetError() != AL_NO_ERROR) return 0;
    ++m_lUnqueuedBuffersCount;
    ++lUnqueued;
  }
  if (m_lQueuedBuffersCount <= 3) return BUFFER_QUEUE_COUNT - m_lQueuedBuffersCount;
  return lUnqueued;
}

bool CSource::UpdateStreamBuffer(void* pData, unsigned long ulSize) {
  if (!m_pBuffer || !m_pBuffer->IsBufferStreaming() || m_iSetState != AL_PLAYING || ulSize == 0) return false;
  if (m_lStreamBuffersCount == 0) return false;
  ALuint uiBuffer = m_uiBufferStream[m_lQueuedBuffersCount % BUFFER_QUEUE_COUNT];
  alGetError();
  alBufferData(uiBuffer, m_pBuffer->GetBufferFormat(), pData, static_cast<ALsizei>(ulSize),
               static_cast<ALsizei>(m_pBuffer->GetSamplesPerSecond()));
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::UpdateStreamBuffer alBufferData()");
    return false;
  }
  alSourceQueueBuffers(m_uiSource, 1, &uiBuffer);
  if ((err = alGetError()) != AL_NO_ERROR) {
    ReportErrorCode(err,
                    "CSource::UpdateStreamBuffer alSourceQueueBuffers(m_uiSource, 1, "
                    "m_uiBufferStream[m_lQueuedBuffersCount%2])");
    return false;
  }
  ++m_lQueuedBuffersCount;
  ALint iState = AL_STOPPED;
  alGetSourcei(m_uiSource, AL_SOURCE_STATE, &iState);
  if ((err = alGetError()) != AL_NO_ERROR) {
    ReportErrorCode(err, "CSource::UpdateStreamBuffer alGetSourcei(m_uiSource, AL_SOURCE_STATE, &state)");
    return false;
  }
  if (iState == AL_STOPPED) {
    alSourcePlay(m_uiSource);
    if ((err = alGetError()) != AL_NO_ERROR) {
      ReportErrorCode(err, "CSource::UpdateStreamBuffer alSourcePlay(m_uiSource)");
      return false;
    }
  }
  return true;
}

bool CSource::SetEAXProp(unsigned long ulProperty, void* pValue, unsigned long ulSize) {
  if (!m_EAXSet) return false;
  unsigned char aAll[kEAXSOURCE_ALL_SIZE];
  int32_t lHF = m_Cone.lOutsideVolumeHF;
  uint32_t ulFlags = m_ulEAXFlags;
  if (ulProperty == kEAXSOURCE_ALLPARAMETERS && pValue && ulSize >= kEAXSOURCE_ALL_SIZE) {
    memcpy(aAll, pValue, kEAXSOURCE_ALL_SIZE);
    uint32_t ulCaller;
    memcpy(&ulCaller, aAll + kEAXSOURCE_ALL_FLAGS, 4);
    ulCaller = (ulCaller & ~2u) | m_ulEAXFlags;
    memcpy(aAll + kEAXSOURCE_ALL_OUTSIDEHF, &lHF, 4);
    memcpy(aAll + kEAXSOURCE_ALL_FLAGS, &ulCaller, 4);
    pValue = aAll;
    ulSize = kEAXSOURCE_ALL_SIZE;
  } else if (ulProperty == kEAXSOURCE_OUTSIDEVOLUMEHF) {
    pValue = &lHF;
    ulSize = sizeof(lHF);
  } else if (ulProperty == kEAXSOURCE_FLAGS) {
    pValue = &ulFlags;
    ulSize = sizeof(ulFlags);
  }
  return m_EAXSet(&m_guidSourceEAX4, static_cast<ALuint>(ulProperty), m_uiSource, pValue,
                  static_cast<ALuint>(ulSize)) == 0;
}

bool CSource::GetEAXProp(unsigned long ulProperty, void* pValue, unsigned long ulSize) {
  if (!m_EAXGet) return false;
  return m_EAXGet(&m_guidSourceEAX4, static_cast<ALuint>(ulProperty), m_uiSource, pValue,
                  static_cast<ALuint>(ulSize)) == 0;
}

void CSource::SetMute(bool bMute) {
  m_bMute = bMute;
  alSourcef(m_uiSource, AL_GAIN, bMute ? 0.0f : m_fGain);
}

void CSource::SetSolo(bool bSolo) {
  m_bSolo = bSolo;
  alSourcef(m_uiSource, AL_GAIN, bSolo ? m_fGain : 0.0f);
}
