// Writes the seed corpus of the movie reader harness:
//   zoe_reader_seeds <corpus folder>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "ZoeReaderFuzzSupport.h"

namespace {

bool Save(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zoereaderfuzz;
  if (argc != 2) {
    fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/zoe_reader_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  const uint32_t block = 128 * 1024;

  // The ring filled, read across its wrap, and the file's tail.
  Writer wrap(0, 3 * block + 1000, 0, 300000, 0);
  wrap.Add(STEP_IDLE).Add(STEP_IDLE).Add(STEP_IDLE).Add(STEP_IDLE).Add(STEP_FRAME, 0, 200000);
  wrap.Add(STEP_IDLE).Add(STEP_IDLE).Add(STEP_FRAME, kSameOffset, 194216);

  // A direct read off the grid, then blocks, skips and a seek behind.
  Writer grid(0, 5 * block, 0, 100000, 0);
  grid.Add(STEP_FRAME, 0, 100050).Add(STEP_IDLE).Add(STEP_IDLE).Add(STEP_FRAME, 150000, 1000);
  grid.Add(STEP_FRAME, 500, 700).Add(STEP_IDLE).Add(STEP_FRAME, kSameOffset, 300000);

  // Header reads, background controls and a movie claiming more than the file.
  Writer header(kFlagDescriptor, 70000, 200000, 0, 5);
  header.Add(STEP_HEADER, 0, 44).Add(STEP_HEADER, kSameOffset, 100).Add(STEP_SUSPEND).Add(STEP_IDLE);
  header.Add(STEP_RESUME_AT_ONCE).Add(STEP_SUSPEND_AT_ONCE).Add(STEP_RESUME).Add(STEP_IDLE);
  header.Add(STEP_FRAME, kSameOffset, 80000);

  // A small ring and a simulated rate.
  Writer slow(kFlagRate, 2 * block + 5, 0, 0, 130);
  slow.Add(STEP_IDLE).Add(STEP_FRAME, 3, 10).Add(STEP_IDLE).Add(STEP_FRAME, kSameOffset, 2 * block);

  bool ok = Save(dir + "/wrap.bin", wrap.bytes) && Save(dir + "/grid.bin", grid.bytes) &&
            Save(dir + "/header.bin", header.bytes) && Save(dir + "/slow.bin", slow.bytes);
  return ok ? 0 : 1;
}
