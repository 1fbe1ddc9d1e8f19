// Writes the seed corpus of the animation harnesses with the tools'
// writers:  anim_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ApfWriter.h"
#include "JanWriter.h"
#include "TWUtil/ByteOrder.h"

namespace {

const char* const kAnims[] = {
    "version 201\nlength 12\njoint Root 0\npos 0: 0 0 0, 10: 10 20 30\n"
    "rot 0: 0 0 0 1, 10: 0 0.70710678 0 0.70710678\njoint Spine 1\n"
    "rotcomp 0: 0 0 0 1, 10: 0 0.70710678 0 0.70710678\njoint Head 2\nscale 0: 1 1 1, 10: 3 3 3\n",
    "version 201\nmode 1\nflags 4\nlength 10\njoint Root 0\npos 0: 1 5 0, 10: 2 7 0\njoint Arm 1\njoint Hand 1\n",
    "version 200\nmode 2\njoint Root 0\npos 0: 1 5 0, 1: 1 7 0\nconst rot 0 0.6 0 0.8\njoint Leg 1\nconst pos 1 2 3\n",
    "version 200\njoint Root 0\nconst scale 2 2 2\nrot 0: 0 0 0 1, 5: 0 0 0.6 0.8\n",
};

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

std::vector<uint8_t> AffectorRecord(int mode, int lastFrame, const std::vector<std::vector<float>>& keys) {
  std::vector<uint8_t> out(16 + 16 * keys.size());
  PutLE32(&out[0], 0);
  PutLE32(&out[4], (uint32_t)mode);
  PutLE32(&out[8], (uint32_t)lastFrame);
  PutLE32(&out[12], (uint32_t)keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    PutLE32(&out[16 + 16 * i], (uint32_t)(int)keys[i][0]);
    for (int c = 0; c < 3; ++c) PutLEFloat(&out[20 + 16 * i + 4 * c], keys[i][1 + c]);
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: anim_seeds <corpus folder>\n");
    return 2;
  }
  const std::string root = argv[1];
  mkdir(root.c_str(), 0755);
  for (const char* name : {"jan_fuzzer", "apf_fuzzer", "affector_fuzzer"}) mkdir((root + "/" + name).c_str(), 0755);
  bool ok = true;
  std::vector<ApfEntry> entries;
  std::string error;
  int n = 0;
  for (const char* text : kAnims) {
    JanAnim anim;
    std::vector<uint8_t> bytes;
    ok = ok && ParseJanText(text, anim, error) && WriteJan(anim, bytes, error);
    ok = ok && WriteFile(root + "/jan_fuzzer/anim" + std::to_string(n) + ".jan", bytes);
    if (anim.version == 201 || anim.mode == 0 || anim.mode == 3) {
      ApfEntry e;
      e.name = "anims/anim" + std::to_string(n) + ".jan";
      e.offset = 512u + 100u * (unsigned)n;
      e.size = (uint32_t)bytes.size();
      e.jan = bytes;
      e.hasEvent = n == 1;
      e.event = {1, 2, 3, 4};
      e.hasBlend = n == 0;
      e.blend = {5, 6};
      entries.push_back(e);
    }
    ++n;
  }
  std::vector<uint8_t> pack;
  ok = ok && WriteApf(entries, pack, error) && WriteFile(root + "/apf_fuzzer/level.apf", pack);
  ok = ok && WriteApf({}, pack, error) && WriteFile(root + "/apf_fuzzer/empty.apf", pack);
  ok = ok && WriteFile(root + "/affector_fuzzer/line.bin", AffectorRecord(0, 10, {{0, 0, 0, 0}, {10, 10, 20, 30}}));
  ok = ok && WriteFile(root + "/affector_fuzzer/rot.bin", AffectorRecord(1, 20, {{5, 0, 0, 0}, {10, 1, 2, 3}}));
  ok = ok && WriteFile(root + "/affector_fuzzer/scale.bin", AffectorRecord(2, 3, {{3, 1, 1, 1}}));
  if (!ok) {
    fprintf(stderr, "anim_seeds: cannot write the seeds into %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  return 0;
}
