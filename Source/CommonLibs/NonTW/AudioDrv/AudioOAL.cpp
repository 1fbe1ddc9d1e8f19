#include "NonTW/AudioDrv/AudioOAL.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const _GUID g_guidEAX40Context = {0x1d4870ad, 0x0def, 0x43c0, {0xa4, 0x0c, 0x52, 0x36, 0x32, 0x29, 0x63, 0x42}};
const _GUID g_guidEAX40Source = {0x1b86b823, 0x22df, 0x4eae, {0x8b, 0x3c, 0x12, 0x78, 0xce, 0x54, 0x42, 0x27}};
const _GUID g_aguidEAX40FXSlot[4] = {
    {0xc4d79f1e, 0xf1ac, 0x436b, {0xa8, 0x1d, 0xa7, 0x38, 0xe7, 0x04, 0x54, 0x70}},
    {0x08c00e96, 0x74be, 0x4491, {0x93, 0xaa, 0xe8, 0xad, 0x35, 0xa4, 0x91, 0x17}},
    {0x1d433b88, 0xf0f6, 0x4637, {0x91, 0x9f, 0x60, 0xe7, 0xe0, 0x6b, 0x5e, 0xdd}},
    {0xefff08ea, 0xc7d8, 0x44ab, {0x93, 0xad, 0x6d, 0xbd, 0x5f, 0x91, 0x00, 0x64}},
};

uint32_t CAudioOAL::m_dwRefCount = 0;
long CAudioOAL::m_lUserContext = 0;
ALCdevice* CAudioOAL::m_Device = nullptr;
ALCcontext* CAudioOAL::m_Context = nullptr;
EAXSetFn CAudioOAL::m_EAXSet = nullptr;
EAXGetFn CAudioOAL::m_EAXGet = nullptr;
_GUID CAudioOAL::m_guidSourceEAX4 = g_guidEAX40Source;
long CAudioOAL::m_lMonoIMA4Enum = 0;
long CAudioOAL::m_lStereoIMA4Enum = 0;
CSource* CAudioOAL::m_pSource[kAUDIO_MAX_TRACKS];
long CAudioOAL::m_lNumSources = 0;
CSlot* CAudioOAL::m_pSlot[kAUDIO_MAX_SLOTS];
long CAudioOAL::m_lNumSlots = 0;
long CAudioOAL::m_lMaxActiveSlots = 0;
long CAudioOAL::m_lRealNumSlots = 0;
long CAudioOAL::m_lRealMaxActiveSlots = 0;
CBuffer* CAudioOAL::m_pBufferList = nullptr;
long CAudioOAL::m_lNumBuffers = 0;
CBuffer* CAudioOAL::m_pAuditionBuffer = nullptr;
CListener* CAudioOAL::m_pListener = nullptr;
CAudioDrv* CAudioOAL::m_pAudioDrv = nullptr;
long CAudioOAL::m_lSoloCount = 0;
long CAudioOAL::m_lSoloSlotCount = 0;

CAudioOAL::CAudioOAL(void* pContext) {
  if (m_dwRefCount != 0) {
    ++m_dwRefCount;
    return;
  }
  memset(m_pSource, 0, sizeof(m_pSource));
  memset(m_pSlot, 0, sizeof(m_pSlot));

  ALCcontext* pGiven = static_cast<ALCcontext*>(pContext);
  ALCdevice* pDevice = nullptr;
  if (pGiven) {
    pDevice = alcGetContextsDevice(pGiven);
    if (pDevice) m_lUserContext = 1;
  } else {
    pDevice = alcOpenDevice(nullptr);
    m_lUserContext = 0;
  }
  if (!pDevice) return;

  ALCcontext* pCtx = pGiven ? pGiven : alcCreateContext(pDevice, nullptr);
  if (pCtx && alcMakeContextCurrent(pCtx)) {
    m_Device = pDevice;
    m_Context = pCtx;
    alcProcessContext(pCtx);
    const ALfloat afZero[3] = {0.0f, 0.0f, 0.0f};
    const ALfloat afOrientation[6] = {0.0f, 0.0f, -1.0f, 0.0f, 1.0f, 0.0f};
    alListenerfv(AL_POSITION, afZero);
    alListenerfv(AL_VELOCITY, afZero);
    alListenerfv(AL_ORIENTATION, afOrientation);
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    m_lMonoIMA4Enum = alGetEnumValue("AL_FORMAT_MONO_IMA4");
    m_lStereoIMA4Enum = alGetEnumValue("AL_FORMAT_STEREO_IMA4");
    // EAX is looked for but never used: no entry point is taken.
    if (!alIsExtensionPresent("EAX4.0")) alIsExtensionPresent("EAX4.0Emulated");
    m_dwRefCount = 1;
    return;
  }
  if (!pGiven) {
    if (pCtx) {
      alcSuspendContext(pCtx);
      alcDestroyContext(pCtx);
    }
    alcCloseDevice(pDevice);
  }
  m_lUserContext = 0;
}

CAudioOAL::CAudioOAL() { ++m_dwRefCount; }

CAudioOAL::~CAudioOAL() {
  if (m_dwRefCount == 0) return;
  if (--m_dwRefCount != 0) return;
  if (m_lUserContext == 0 && m_Context) {
    alcSuspendContext(m_Context);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(m_Context);
    if (m_Device) alcCloseDevice(m_Device);
  }
  m_Context = nullptr;
  m_Device = nullptr;
  m_lUserContext = 0;
  m_EAXSet = nullptr;
  m_EAXGet = nullptr;
  m_pAudioDrv = nullptr;
}

void CAudioOAL::ReportErrorCode(int iALError, const char* pszWhere) {
  if (!pszWhere) pszWhere = "";
  if (strlen(pszWhere) > 448) {
    printf("Error report string exceeded max length of 448 characters.\n");
    fflush(stdout);
    return;
  }
  switch (iALError) {
    case AL_NO_ERROR: printf("ERROR: %s reports AL_NO_ERROR error.\n", pszWhere); break;
    case AL_INVALID_NAME: printf("ERROR: %s reports AL_INVALID_NAME error.\n", pszWhere); break;
    case AL_INVALID_ENUM: printf("ERROR: %s reports AL_INVALID_ENUM error.\n", pszWhere); break;
    case AL_INVALID_VALUE: printf("ERROR: %s reports AL_INVALID_VALUE error.\n", pszWhere); break;
    case AL_INVALID_OPERATION: printf("ERROR: %s reports AL_INVALID_OPERATION error.\n", pszWhere); break;
    case AL_OUT_OF_MEMORY: printf("ERROR: %s reports AL_OUT_OF_MEMORY error.\n", pszWhere); break;
    case -1: printf("ERROR: %s <- DEBUG_MESSAGE\n", pszWhere); break;
    default: printf("ERROR: %s reports unknown error %x.\n", pszWhere, static_cast<unsigned>(iALError)); break;
  }
  fflush(stdout);
}

void CAudioOAL::ReportEAXErrorCode(long lEAXError, const char* pszWhere) {
  if (!pszWhere) pszWhere = "";
  if (strlen(pszWhere) > 448) {
    printf("Error report string exceeded max length of 448 characters.\n");
    fflush(stdout);
    return;
  }
  switch (lEAXError) {
    case -1: printf("ERROR: %s reports EAXERR_INVALID_OPERATION error.\n", pszWhere); break;
    case -2: printf("ERROR: %s reports EAXERR_INVALID_VALUE error.\n", pszWhere); break;
    case -3: printf("ERROR: %s reports EAXERR_NO_EFFECT_LOADED error.\n", pszWhere); break;
    case -4: printf("ERROR: %s reports EAXERR_UNKNOWN_EFFECT error.\n", pszWhere); break;
    default: printf("ERROR: %s reports unknown error %ld.\n", pszWhere, lEAXError); break;
  }
  fflush(stdout);
}

// ---------------------------------------------------------------------------

CListener::CListener(void* pContext) : CAudioOAL(pContext) {
  m_fGain = 1.0f;
  memset(m_afPosition, 0, sizeof(m_afPosition));
  memset(m_afVelocity, 0, sizeof(m_afVelocity));
  memset(m_afOrientation, 0, sizeof(m_afOrientation));
  alGetListenerf(AL_GAIN, &m_fGain);
  alGetListenerfv(AL_POSITION, m_afPosition);
  alGetListenerfv(AL_VELOCITY, m_afVelocity);
  alGetListenerfv(AL_ORIENTATION, m_afOrientation);
}

CListener::~CListener() {}

void CListener::SetGain(float fGain) {
  alGetError();
  alListenerf(AL_GAIN, fGain);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CListener::SetGain");
    return;
  }
  m_fGain = fGain;
}

static bool ListenerSendVector(ALenum eParam, float* pfCache, IAUDVector& v, const char* pszWhere) {
  v.z = -v.z;
  if (pfCache[0] == v.x && pfCache[1] == v.y && pfCache[2] == v.z) return true;
  alGetError();
  alListener3f(eParam, v.x, v.y, v.z);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    CAudioOAL::ReportErrorCode(err, pszWhere);
    return false;
  }
  pfCache[0] = v.x;
  pfCache[1] = v.y;
  pfCache[2] = v.z;
  return true;
}

void CListener::SetPosition(IAUDVector& vPosition) {
  ListenerSendVector(AL_POSITION, m_afPosition, vPosition, "CListener::SetPosition");
}

void CListener::SetVelocity(IAUDVector& vVelocity) {
  ListenerSendVector(AL_VELOCITY, m_afVelocity, vVelocity, "CListener::SetVelocity");
}

void CListener::SetOrientation(IAUDVector* pFrontTop) {
  float af[6] = {pFrontTop[0].x, pFrontTop[0].y, -pFrontTop[0].z, pFrontTop[1].x, pFrontTop[1].y, -pFrontTop[1].z};
  pFrontTop[0].z = af[2];
  pFrontTop[1].z = af[5];
  bool bSame = true;
  for (int i = 0; i < 6; ++i) bSame = bSame && af[i] == m_afOrientation[i];
  if (bSame) return;
  alGetError();
  alListenerfv(AL_ORIENTATION, af);
  ALenum err = alGetError();
  if (err != AL_NO_ERROR) {
    ReportErrorCode(err, "CListener::SetOrientation");
    return;
  }
  memcpy(m_afOrientation, af, sizeof(af));
}

// ---------------------------------------------------------------------------

namespace {
enum : unsigned long {
  kSLOT_ALLPARAMETERS = 0x10001,
  kSLOT_LOADEFFECT = 0x10002,
  kSLOT_VOLUME = 0x10003,
  kSLOT_FLAGS = 0x10005,
};
struct SSlotAllParameters {
  _GUID guidEffect;
  int32_t lVolume;
  int32_t lLock;
  uint32_t ulFlags;
};
}  // namespace

CSlot::CSlot(long lIndex)
    : m_bMute(false), m_bSolo(false), m_bRecord(false), m_fGain(1.0f), m_ulFlags(0), m_lIndex(lIndex),
      m_lVolume(0), m_lLock(1) {
  memset(&m_guidSlot, 0, sizeof(m_guidSlot));
  memset(&m_guidEffect, 0, sizeof(m_guidEffect));
  if (lIndex >= 0 && lIndex < 4) m_guidSlot = g_aguidEAX40FXSlot[lIndex];
}

CSlot::~CSlot() {}

void CSlot::UpdateSlotState() {
  if (!m_EAXGet) return;
  SSlotAllParameters all;
  memset(&all, 0, sizeof(all));
  if (m_EAXGet(&m_guidSlot, kSLOT_ALLPARAMETERS, 0, &all, sizeof(all)) != 0) return;
  m_guidEffect = all.guidEffect;
  m_fGain = static_cast<float>(exp(all.lVolume * 0.0011513));
  m_ulFlags = all.ulFlags;
  m_lLock = all.lLock;
}

void CSlot::SetEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (m_EAXSet) m_EAXSet(&m_guidSlot, static_cast<ALuint>(ulProperty), 0, pData, static_cast<ALuint>(ulSize));
}

void CSlot::GetEAX(unsigned long ulProperty, void* pData, unsigned long ulSize) {
  if (m_EAXGet) m_EAXGet(&m_guidSlot, static_cast<ALuint>(ulProperty), 0, pData, static_cast<ALuint>(ulSize));
}

void CSlot::SetEffect(_GUID& guidEffect) {
  if (!m_EAXSet) return;
  m_EAXSet(&m_guidSlot, kSLOT_LOADEFFECT, 0, &guidEffect, sizeof(_GUID));
  m_guidEffect = guidEffect;
}

void CSlot::SendVolume(long lVolume, unsigned long ulFlags) {
  if (!m_EAXSet) return;
  int32_t lValue = static_cast<int32_t>(lVolume);
  m_EAXSet(&m_guidSlot, static_cast<ALuint>(kSLOT_VOLUME | ulFlags), 0, &lValue, sizeof(lValue));
}

void CSlot::SetGain(float fGain, unsigned long ulFlags) {
  if (!m_EAXSet) return;
  long lVolume = fGain == 0.0f ? -10000 : static_cast<long>(2000.0 * log10(fGain));
  bool bAudible = m_lSoloSlotCount != 0 ? m_bSolo : !m_bMute;
  if (bAudible) SendVolume(lVolume, ulFlags);
  m_lVolume = lVolume;
  m_fGain = fGain;
}

void CSlot::SetFlags(unsigned long ulFlags, unsigned long ulDeferFlags) {
  if (!m_EAXSet) return;
  uint32_t ulValue = static_cast<uint32_t>(ulFlags);
  m_EAXSet(&m_guidSlot, static_cast<ALuint>(kSLOT_FLAGS | ulDeferFlags), 0, &ulValue, sizeof(ulValue));
  m_ulFlags = ulFlags;
}

void CSlot::SetParameter(long lParameter, void* pData, unsigned long ulSize, unsigned long ulFlags) {
  if (m_EAXSet)
    m_EAXSet(&m_guidSlot, static_cast<ALuint>(static_cast<unsigned long>(lParameter) | ulFlags), 0, pData,
             static_cast<ALuint>(ulSize));
}

void CSlot::GetParameter(long lParameter, void* pData, unsigned long ulSize) {
  if (m_EAXGet)
    m_EAXGet(&m_guidSlot, static_cast<ALuint>(lParameter), 0, pData, static_cast<ALuint>(ulSize));
}

void CSlot::SetMute(bool bMute) {
  m_bMute = bMute;
  SendVolume(bMute ? -10000 : m_lVolume, 0);
}

void CSlot::SetSolo(bool bSolo) {
  m_bSolo = bSolo;
  SendVolume(bSolo ? m_lVolume : -10000, 0);
}
