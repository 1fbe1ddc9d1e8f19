// Reads the input as an ".apf" animation pack into a fresh animation cache,
// reads it a second time (every entry then redundant) and reports.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/SkelAnim.h"

namespace {
void ApfFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&ApfFuzzQuiet);
  EAnimManager::Create(0);
  EAnimManager* cache = EAnimManager::Get();
  for (int pass = 0; pass < 2; ++pass) {
    EMemReader reader(data, (unsigned)size);
    cache->ReadPackFile(reader, pass == 0);
  }
  if (cache->SumOfSizes() != cache->GetCurMem()) __builtin_trap();
  cache->PackfileReport();
  cache->DebugReport(3);
  cache->SqueezeCache(true);
  EAnimManager::Destroy();
  return 0;
}
