// Flocking and path AI.
#pragma once

class EPathAIManager {
public:
  // The one manager, made on the first call.
  static EPathAIManager* createPathAIManager();
  // Deletes it; false when there was none.
  static bool destroyPathAIManager();
  static EPathAIManager* Get() { return sm_pInstance; }
  // One frame of flocking and path AI.
  void doIt();

private:
  EPathAIManager() {}
  static EPathAIManager* sm_pInstance;
};
