// Reads the input as a profile record; a record that is accepted must write
// back as the very same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "Game/SaveLoadGame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EProfileRecord record;
  if (!record.Read(data, (int)size)) return 0;
  uint8_t out[EProfileRecord::kSIZE];
  record.Write(out);
  if (memcmp(out, data, sizeof(out)) != 0) abort();
  return 0;
}
