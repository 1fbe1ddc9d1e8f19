// Event animations: the manager of the event-animation tracks.
#pragma once

class EEventAnimManager {
public:
  // The one manager, made on the first call.
  static EEventAnimManager* createEventAnimManager();
  // Deletes it; false when there was none.
  static bool destroyEventAnimManager();
  static EEventAnimManager* Get() { return sm_pInstance; }

private:
  EEventAnimManager() {}
  static EEventAnimManager* sm_pInstance;
};
