// Converts the input as event text with the event converter and, when that
// succeeds, loads the written track and plays it through.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Event/EEventAnim.h"
#include "Event/EEventAnimManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/EventAnimInstance.h"

namespace {
void EveTextFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&EveTextFuzzQuiet);
  static const std::string sText = "/tmp/evetext_fuzzer_" + std::to_string(getpid()) + ".txt";
  static const std::string sBinary = "/tmp/evetext_fuzzer_" + std::to_string(getpid()) + ".eve";
  FILE* f = fopen(sText.c_str(), "wb");
  if (!f) return 0;
  if (size) fwrite(data, 1, size, f);
  fclose(f);
  EEventAnimManager* pManager = EEventAnimManager::createEventAnimManager();
  const bool bOk = pManager->CreateBinaryEventFile(sText.c_str(), sBinary.c_str());
  remove(sText.c_str());
  if (!bOk) {
    remove(sBinary.c_str());
    return 0;
  }
  FILE* b = fopen(sBinary.c_str(), "rb");
  std::string bytes;
  if (b) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), b)) > 0) bytes.append(buf, n);
    fclose(b);
  }
  remove(sBinary.c_str());
  EEventAnim track;
  // What the converter writes always loads.
  if (!track.loadFromMemory(bytes.data(), (uint32_t)bytes.size())) __builtin_trap();
  EEventAnimInstance instance;
  instance.Bind(&track, nullptr);
  instance.update(1e6f);
  return 0;
}
