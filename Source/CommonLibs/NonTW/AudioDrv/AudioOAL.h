// The OpenAL side of the render driver: the shared device and context, the
// class-wide tables the driver works on, and the listener and effect slot.
#pragma once

#include <AL/al.h>
#include <AL/alc.h>
#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"

class CSource;
class CSlot;
class CBuffer;
class CListener;
class CAudioDrv;

// EAX property access: (property set, property id, source name or 0, value, size).
typedef ALenum (*EAXSetFn)(const _GUID* pPropertySet, ALuint ulProperty, ALuint uiSource, ALvoid* pValue,
                           ALuint ulSize);
typedef ALenum (*EAXGetFn)(const _GUID* pPropertySet, ALuint ulProperty, ALuint uiSource, ALvoid* pValue,
                           ALuint ulSize);

enum : long { kAUDIO_MAX_TRACKS = 256, kAUDIO_MAX_SLOTS = 32 };

// EAX 4.0 property sets.
extern const _GUID g_guidEAX40Context;
extern const _GUID g_guidEAX40Source;
extern const _GUID g_aguidEAX40FXSlot[4];

// Base of every OpenAL object of the driver. The first construction with a
// context opens (or adopts) the device and context; the last destruction
// closes what was opened here.
class CAudioOAL {
public:
  explicit CAudioOAL(void* pContext);
  CAudioOAL();
  ~CAudioOAL();

  static uint32_t GetCount() { return m_dwRefCount; }
  static void ReportErrorCode(int iALError, const char* pszWhere);
  static void ReportEAXErrorCode(long lEAXError, const char* pszWhere);
  static long GetEAXErrorCode() { return 0; }
  static const _GUID& GetSourceGuid() { return m_guidSourceEAX4; }

  static uint32_t m_dwRefCount;
  static long m_lUserContext;
  static ALCdevice* m_Device;
  static ALCcontext* m_Context;
  static EAXSetFn m_EAXSet;
  static EAXGetFn m_EAXGet;
  static _GUID m_guidSourceEAX4;
  static long m_lMonoIMA4Enum;
  static long m_lStereoIMA4Enum;

  static CSource* m_pSource[kAUDIO_MAX_TRACKS];
  static long m_lNumSources;
  static CSlot* m_pSlot[kAUDIO_MAX_SLOTS];
  static long m_lNumSlots;
  static long m_lMaxActiveSlots;
  static long m_lRealNumSlots;
  static long m_lRealMaxActiveSlots;
  static CBuffer* m_pBufferList;
  static long m_lNumBuffers;
  static CBuffer* m_pAuditionBuffer;
  static CListener* m_pListener;
  static CAudioDrv* m_pAudioDrv;
  static long m_lSoloCount;
  static long m_lSoloSlotCount;
};

// The listener. Vectors are cached as sent to OpenAL (z negated).
class CListener : public CAudioOAL {
public:
  explicit CListener(void* pContext);
  ~CListener();

  void SetGain(float fGain);
  void SetPosition(IAUDVector& vPosition);
  void SetVelocity(IAUDVector& vVelocity);
  // Two vectors: forward, then up.
  void SetOrientation(IAUDVector* pFrontTop);

  float GetGain() const { return m_fGain; }
  const float* GetPosition() const { return m_afPosition; }
  const float* GetVelocity() const { return m_afVelocity; }
  const float* GetOrientation() const { return m_afOrientation; }

private:
  float m_afPosition[3];
  float m_afVelocity[3];
  float m_afOrientation[6];
  float m_fGain;
};

// One EAX effect slot. Every operation needs the EAX entry points and does
// nothing without them.
class CSlot : public CAudioOAL {
public:
  explicit CSlot(long lIndex);
  ~CSlot();

  void UpdateSlotState();
  void SetEAX(unsigned long ulProperty, void* pData, unsigned long ulSize);
  void GetEAX(unsigned long ulProperty, void* pData, unsigned long ulSize);
  void SetEffect(_GUID& guidEffect);
  _GUID GetEffect() const { return m_guidEffect; }
  _GUID GetSlot() const { return m_guidSlot; }
  void SetGain(float fGain, unsigned long ulFlags);
  float GetGain() const { return m_fGain; }
  void SetFlags(unsigned long ulFlags, unsigned long ulDeferFlags);
  unsigned long GetFlags() const { return m_ulFlags; }
  void SetParameter(long lParameter, void* pData, unsigned long ulSize, unsigned long ulFlags);
  void GetParameter(long lParameter, void* pData, unsigned long ulSize);
  void SetMute(bool bMute);
  void SetSolo(bool bSolo);
  void SetRecord(bool bRecord) { m_bRecord = bRecord; }
  bool GetMute() const { return m_bMute; }
  bool GetSolo() const { return m_bSolo; }
  bool GetRecord() const { return m_bRecord; }
  long GetLock() const { return m_lLock; }

private:
  void SendVolume(long lVolume, unsigned long ulFlags);

  bool m_bMute;
  bool m_bSolo;
  bool m_bRecord;
  float m_fGain;
  unsigned long m_ulFlags;
  [[maybe_unused]] long m_lIndex;
  long m_lVolume;
  long m_lLock;
  _GUID m_guidSlot;
  _GUID m_guidEffect;
};
