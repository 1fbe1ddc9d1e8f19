// A text log appended to in the write directory.
#pragma once

#include "TWUtil/String.h"

class ELogFile {
public:
  ELogFile() : m_bOpen(false) {}
  ~ELogFile() { CloseLog(); }

  // Starts the log "Quillomar.log" in the write directory, creating the file
  // when missing; the name passed is not used. False when the file cannot be
  // created.
  bool OpenLog(const char* name);
  // Appends text as it is (no line end added).
  bool WriteToLog(const char* text);
  void CloseLog();
  bool IsLogOpen() const { return m_bOpen; }
  const char* GetLogName() const { return *m_Name; }

private:
  bool m_bOpen;
  EString m_Name;
};
