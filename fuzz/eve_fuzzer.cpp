// Reads the input as a binary event track and, when it loads, plays it with
// a looping instance: steps forward, a jump back and a wrap.

#include <cstddef>
#include <cstdint>

#include "Event/EEventAnim.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/EventAnimInstance.h"

namespace {
void EveFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&EveFuzzQuiet);
  EEventAnim track;
  if (!track.loadFromMemory(size ? data : nullptr, (uint32_t)size)) return 0;
  volatile float sum = 0.0f;
  for (uint32_t i = 0; i < track.numChannels(); ++i) {
    const EEventAnimChannel& c = track.getChannel(i);
    sum = sum + c.maxTime();
    for (uint32_t k = 0; k < c.numKeys(); ++k) sum = sum + (float)(c.getKey(k).getItem()[0]);
  }
  EEventAnimInstance instance;
  instance.Bind(&track, nullptr);
  instance.SetLoop(true, 2.0f);
  static const float kSteps[] = {0.1f, 0.5f, 1.0f, 3.0f, 0.0f, 40.0f, 200.0f};
  for (float f : kSteps) sum = sum + (instance.update(f) ? 1.0f : 0.0f);
  instance.sync(true, 0.4f, 0.5f);
  sum = sum + (instance.update(0.25f) ? 1.0f : 0.0f);
  return 0;
}
