// Freezing of distant objects: placed props kept as records until needed.
#pragma once

class EFreezeManager {
public:
  EFreezeManager() {}
  // One frame with the simulated step in seconds.
  void ProcessFrame(float fSeconds);
  void CleanupReferences();
};
