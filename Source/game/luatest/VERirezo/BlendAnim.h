// A blend-shape animation as a skeletal animation sees it: the link it
// keeps in step. The blend-shape player comes with the blend controller.
#pragma once

class ESkelAnim;

class EBlendAnim {
public:
  EBlendAnim() : m_pSkelAnim(nullptr), m_bActive(false), m_fWeight(0.0f), m_fTime(0.0f) {}

  void sync(bool bActive, float fWeight, float fSeconds) {
    m_bActive = bActive;
    m_fWeight = fWeight;
    m_fTime = fSeconds;
  }
  void active(bool bActive) { m_bActive = bActive; }
  void setSkelAnim(ESkelAnim* pAnim) { m_pSkelAnim = pAnim; }
  ESkelAnim* getSkelAnim() const { return m_pSkelAnim; }
  bool isActive() const { return m_bActive; }

private:
  ESkelAnim* m_pSkelAnim;
  bool m_bActive;
  float m_fWeight;
  float m_fTime;
};
