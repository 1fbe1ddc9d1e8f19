// The spline paths of the level.
#pragma once

class EPathManager {
public:
  // The one manager, made on the first call.
  static EPathManager* createPathManager();
  // Deletes it; false when there was none.
  static bool destroyPathManager();
  static EPathManager* Get() { return sm_pInstance; }

private:
  EPathManager() {}
  static EPathManager* sm_pInstance;
};
