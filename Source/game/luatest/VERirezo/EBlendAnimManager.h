// Blend (morph) animations: the manager of the shared blend resources.
#pragma once

class EBlendAnimManager {
public:
  // The one manager, made on the first call.
  static EBlendAnimManager* createBlendAnimManager();
  // Deletes it; false when there was none.
  static bool destroyBlendAnimManager();
  static EBlendAnimManager* Get() { return sm_pInstance; }
  // The periodic update with the real step in seconds.
  void DoWork(float fSeconds);

private:
  EBlendAnimManager() {}
  static EBlendAnimManager* sm_pInstance;
};
