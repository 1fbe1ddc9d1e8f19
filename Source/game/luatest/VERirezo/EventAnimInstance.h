// The playing side of an animation's event track: its own cursor in every
// channel, the time and weight it follows and the entity that receives the
// events.
#pragma once

#include <cstdint>

class EEntity;
class EEventAnim;

class EEventAnimInstance {
public:
  enum { kMAX_CHANNELS = 16 };

  EEventAnimInstance()
      : m_pEventAnim(nullptr), m_pEntity(nullptr), m_fTime(0.0f), m_fWeight(1.0f), m_fLoopLength(0.0f), m_bLoop(false) {
    reset();
  }

  // Every channel starts again from its first key.
  void reset() {
    for (int i = 0; i < kMAX_CHANNELS; ++i) m_aiCursor[i] = 0;
  }
  void Bind(EEventAnim* pEventAnim, EEntity* pEntity) { m_pEventAnim = pEventAnim; m_pEntity = pEntity; }
  void SetLoop(bool bLoop, float fLoopLength) { m_bLoop = bLoop; m_fLoopLength = fLoopLength; }
  // Follows the animation: a time behind the stored one (a wrap or a jump
  // back) starts the track again.
  void sync(bool bActive, float fWeight, float fSeconds) {
    if (m_fTime > fSeconds) reset();
    m_fTime = fSeconds;
    m_fWeight = bActive ? fWeight : 0.0f;
  }
  bool HasChannels() const;
  // Moves on by fStep seconds and delivers the events passed; true when the
  // track is finished.
  bool update(float fStep);

  float GetTime() const { return m_fTime; }
  void SetTime(float fTime) { m_fTime = fTime; }
  float GetWeight() const { return m_fWeight; }
  bool GetLoop() const { return m_bLoop; }
  float GetLoopLength() const { return m_fLoopLength; }
  EEntity* GetEntity() const { return m_pEntity; }
  EEventAnim* GetEventAnim() const { return m_pEventAnim; }
  int GetCursor(int iChannel) const { return m_aiCursor[iChannel]; }
  void SetCursor(int iChannel, int iCursor) { m_aiCursor[iChannel] = iCursor; }

private:
  int32_t m_aiCursor[kMAX_CHANNELS];
  EEventAnim* m_pEventAnim;
  EEntity* m_pEntity;
  float m_fTime;
  float m_fWeight;
  float m_fLoopLength;
  bool m_bLoop;
};
