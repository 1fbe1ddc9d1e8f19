// Writes the seed corpus of the font harness with the engine's own ".twf"
// writer, and two icon lists:  twf_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VERirezo/FontWriter.h"

namespace {

bool WriteSeed(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::vector<uint8_t> Grid(uint32_t format) {
  std::vector<uint32_t> pixels(32 * 16, 0);
  for (int y = 2; y < 12; ++y)
    for (int x = 1; x < 6; ++x) pixels[(size_t)y * 32 + x] = 0x80FFFFFFu;
  return TwfFromGrid(pixels.data(), 32, 16, 8, 8, 65, 6, format);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: twf_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/twf_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  const std::string list = "NakedButton, a.tga\r\n\r\nStart,, b.tga,x\nOneUp, c.tga";
  bool ok = WriteSeed(dir + "/grid0.twf", Grid(0)) && WriteSeed(dir + "/grid3.twf", Grid(3)) &&
            WriteSeed(dir + "/icons.ini", std::vector<uint8_t>(list.begin(), list.end()));
  if (!ok) {
    fprintf(stderr, "twf_seeds: cannot write the seeds into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
