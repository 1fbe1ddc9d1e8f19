// The playing side of an animation's event track: the time and weight it
// follows. The events themselves come with the event-track reader.
#pragma once

class EEntity;
class EEventAnim;

class EEventAnimInstance {
public:
  EEventAnimInstance() : m_pEventAnim(nullptr), m_pEntity(nullptr), m_fTime(0.0f), m_fWeight(0.0f),
                         m_fLoopLength(0.0f), m_bLoop(false) {}

  void Reset() { m_fTime = 0.0f; m_fWeight = 0.0f; }
  void Bind(EEventAnim* pEventAnim, EEntity* pEntity) { m_pEventAnim = pEventAnim; m_pEntity = pEntity; }
  void SetLoop(bool bLoop, float fLoopLength) { m_bLoop = bLoop; m_fLoopLength = fLoopLength; }
  // Follows the animation: a time behind the stored one (a wrap or a jump
  // back) starts the track again.
  void sync(bool bActive, float fWeight, float fSeconds) {
    if (m_fTime > fSeconds) Reset();
    m_fTime = fSeconds;
    m_fWeight = bActive ? fWeight : 0.0f;
  }
  bool HasChannels() const { return false; }
  void Update(float) {}

  float GetTime() const { return m_fTime; }
  float GetWeight() const { return m_fWeight; }

private:
  EEventAnim* m_pEventAnim;
  EEntity* m_pEntity;
  float m_fTime;
  float m_fWeight;
  float m_fLoopLength;
  bool m_bLoop;
};
