// Light trails: the ribbons of light that the effects draw among the
// transparent scene. The scene's transparent pass needs only their order
// and their drawing; the trails themselves come with the effects.
#pragma once

struct ELightTrail {
  float m_fSortDistance = 0.0f;  // from the render camera; larger is farther
};

class ELightTrailManager {
public:
  virtual ~ELightTrailManager() {}
  // Trails in use, in drawing order.
  int GetNumTrails() const { return m_nTrails; }
  // Null past the end.
  ELightTrail* GetTrail(int i) const { return i >= 0 && i < m_nTrails ? m_apTrails[i] : nullptr; }
  virtual void DrawTrail(ELightTrail*) {}

protected:
  enum { kMAX_TRAILS = 64 };
  ELightTrail* m_apTrails[kMAX_TRAILS] = {};
  int m_nTrails = 0;
};
