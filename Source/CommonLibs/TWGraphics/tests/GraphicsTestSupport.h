// Shared by the graphics and texture tests and the texture fuzz harnesses:
// a stream writer that collects its bytes in memory, and the console lines
// the error manager writes while a test runs. Needs neither a display nor
// the test framework.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

namespace gfxtest {

// A writer that collects the bytes.
class VecWriter : public EStream {
public:
  VecWriter() : EStream(kSTREAM_Writer) {}
  void StreamLow(void* data, unsigned bytes) override {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (p) m_Bytes.insert(m_Bytes.end(), p, p + bytes);
    else m_Bytes.insert(m_Bytes.end(), bytes, 0);
  }
  std::vector<uint8_t> m_Bytes;
};

// The console lines collected since StartTraces.
inline std::vector<std::string>& Traces() {
  static std::vector<std::string> s_traces;
  return s_traces;
}

// Clears the collected lines and sends every console line to them.
inline void StartTraces() {
  Traces().clear();
  g_ErrorManager.SetConsoleCallback([](const char* text) { Traces().push_back(text); });
}

inline void StopTraces() { g_ErrorManager.SetConsoleCallback(nullptr); }

// Every collected line, each followed by a line break.
inline std::string AllTraces() {
  std::string all;
  for (const std::string& t : Traces()) all += t + "\n";
  return all;
}

// How many collected lines hold the text.
inline int CountTraces(const std::string& needle) {
  int n = 0;
  for (const std::string& t : Traces()) n += t.find(needle) != std::string::npos;
  return n;
}

}  // namespace gfxtest
