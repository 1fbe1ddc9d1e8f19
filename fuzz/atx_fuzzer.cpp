// Reads the input as the text of an ".atx" file.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "TWUtil/ErrorManager.h"
#include "VERirezo/TexAnim.h"

namespace {

struct Sink : EATXSink {
  void SetFrameCount(int count) override {
    if (count < 1 || count > kMAX_ATX_FRAMES || frames >= 0) abort();
    frames = count;
  }
  bool LoadFrame(int index, const char* filename) override {
    if (frames < 0 || index < 0 || index >= frames || !filename) abort();
    return filename[0] != 'x';  // some frames fail to load
  }
  int frames = -1;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback([](const char*) {});
  std::string text(reinterpret_cast<const char*>(data), size);
  ETexAnimInfo info;
  Sink sink;
  if (ReadATXText(text.c_str(), "textures\\fuzz.atx", "textures\\fuzz.dds", info, sink)) {
    if (info.m_iNumFrames != sink.frames) abort();
    for (int i = 0; i < 8; ++i) {
      info.Advance((float)(i * 137));
      int frame = info.GetFrameIndex();
      if (frame < 0 || frame >= info.m_iNumFrames) abort();
    }
  }
  return 0;
}
