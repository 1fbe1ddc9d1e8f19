// One track of the render driver on one OpenAL source: cached parameters
// that skip unchanged values, deferred state changes, and the queue of a
// streaming sample (its own first chunk plus four rotating buffers).
#pragma once

#include "NonTW/AudioDrv/AudioOAL.h"

class CSource : public CAudioOAL {
public:
  enum { BUFFER_QUEUE_COUNT = 4 };

  explicit CSource(ALuint uiName);
  ~CSource();

  // Queries OpenAL and records the answer; AL_STOPPED on an error.
  ALint GetState();
  // A deferred change only records the state; the caller issues the
  // OpenAL call for a whole list of tracks.
  void SetState(ALint iState, bool bDeferred);
  void AttachBuffer(CBuffer* pBuffer);
  void SetLoop(bool bLoop);
  void SetGain(float fGain);
  void SetPitch(float fPitch);
  void SetMode(unsigned long ulMode);
  // These negate z in the vector they are given.
  void SetPosition(IAUDVector& vPosition);
  void SetVelocity(IAUDVector& vVelocity);
  void SetOrientation(IAUDVector& vOrientation);
  void UpdateDistanceParameters(const IAUDSoundDistance* pDistance, bool bForce);
  void UpdateSoundCone(const IAUDSoundCone* pCone, bool bForce);
  long GetProcessedStreamBufferCount();
  bool UpdateStreamBuffer(void* pData, unsigned long ulSize);
  // EAX source properties; false when EAX is absent or refuses.
  bool SetEAXProp(unsigned long ulProperty, void* pValue, unsigned long ulSize);
  bool GetEAXProp(unsigned long ulProperty, void* pValue, unsigned long ulSize);
  void SetMute(bool bMute);
  void SetSolo(bool bSolo);
  void SetRecord(bool bRecord) { m_bRecord = bRecord; }

  ALuint GetSource() const { return m_uiSource; }
  CBuffer* GetAttachedBuffer() const { return m_pBuffer; }
  const IAUDSoundDistance& GetDistance() const { return m_Distance; }
  const IAUDSoundCone& GetCone() const { return m_Cone; }
  const float* GetPosition() const { return m_afPosition; }
  const float* GetVelocity() const { return m_afVelocity; }
  const float* GetOrientation() const { return m_afOrientation; }
  bool GetMute() const { return m_bMute; }
  bool GetSolo() const { return m_bSolo; }
  bool GetRecord() const { return m_bRecord; }
  bool GetLoop() const { return m_bLoop; }
  float GetGain() const { return m_fGain; }
  float GetPitch() const { return m_fPitch; }
  long GetMode() const { return m_lMode; }
  ALint GetSetState() const { return m_iSetState; }
  long GetStreamBuffersCount() const { return m_lStreamBuffersCount; }
  const ALuint* GetStreamBuffers() const { return m_uiBufferStream; }

  // The rolloff factor that puts the record's attenuation at its maximum
  // distance under the inverse-distance-clamped model.
  static float ComputeRolloff(float fMin, float fMax, float fAttenuation);

  static const IAUDSoundDistance m_DefaultDistance;
  static const IAUDSoundCone m_DefaultCone;

private:
  bool SendVector(ALenum eParam, float* pfCache, IAUDVector& v, const char* pszWhere);
  void StopAndRelease();
  bool DeleteStreamBuffers();

  ALuint m_uiSource;
  CBuffer* m_pBuffer;
  IAUDSoundDistance m_Distance;
  IAUDSoundCone m_Cone;
  float m_afPosition[3];
  float m_afVelocity[3];
  float m_afOrientation[3];
  bool m_bMute;
  bool m_bSolo;
  bool m_bRecord;
  bool m_bLoop;
  float m_fGain;
  float m_fPitch;
  long m_lMode;
  uint32_t m_ulEAXFlags;
  ALint m_iSetState;
  ALuint m_uiBufferStream[BUFFER_QUEUE_COUNT];
  long m_lStreamBuffersCount;
  long m_lQueuedBuffersCount;
  long m_lUnqueuedBuffersCount;
};
