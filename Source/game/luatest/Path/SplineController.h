// An entity's spline follower. This is the part entities rely on; following
// a path comes with the path system.
#pragma once

#include <cstdint>

class EEntity;
class EPathManager;

class ESplineController {
public:
  enum { kFLAG_Active = 0x1 };

  ESplineController() : m_pPathManager(nullptr), m_dwFlags(0) {}

  void setPathManager(EPathManager* pManager) { m_pPathManager = pManager; }
  EPathManager* getPathManager() const { return m_pPathManager; }
  uint32_t GetFlags() const { return m_dwFlags; }
  void SetFlags(uint32_t dwFlags) { m_dwFlags = dwFlags; }
  // Moves the entity along its spline by the step in seconds.
  void followSpline(EEntity* pEntity, float fSeconds);
  void CleanupReferences() {}

private:
  EPathManager* m_pPathManager;
  uint32_t m_dwFlags;
};
