// Collects the trace lines written while a test runs.
#pragma once

#include <string>
#include <vector>

#include "TWUtil/ErrorManager.h"

class TraceCapture {
public:
  TraceCapture() {
    Lines().clear();
    g_ErrorManager.SetConsoleCallback(&TraceCapture::Collect);
  }
  ~TraceCapture() { g_ErrorManager.SetConsoleCallback(nullptr); }

  const std::vector<std::string>& lines() const { return Lines(); }
  bool Contains(const std::string& text) const {
    for (const std::string& s : Lines())
      if (s.find(text) != std::string::npos) return true;
    return false;
  }
  void Clear() { Lines().clear(); }

private:
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> s_lines;
    return s_lines;
  }
  static void Collect(const char* text) { Lines().push_back(text ? text : ""); }
};
