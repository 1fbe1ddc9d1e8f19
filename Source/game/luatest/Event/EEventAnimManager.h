// Event animations: the manager of the event-animation tracks.
#pragma once

class EEventAnim;

class EEventAnimManager {
public:
  // The one manager, made on the first call.
  static EEventAnimManager* createEventAnimManager();
  // Deletes it; false when there was none.
  static bool destroyEventAnimManager();
  static EEventAnimManager* Get() { return sm_pInstance; }

  // Converts an event text file (lines of channel, frame and text) into a
  // binary event file; false when a file does not open or a line names a
  // channel outside 0 to 15.
  bool CreateBinaryEventFile(const char* szTextPath, const char* szBinaryPath);
  // A new track from a binary event file read through the file manager;
  // null when the file does not open or is not a valid track.
  EEventAnim* LoadEventAnim(const char* szName);

private:
  EEventAnimManager() {}
  static EEventAnimManager* sm_pInstance;
};
