// Writes the seed corpora of the blend-animation and blend-shape harnesses:
// ".pba" files through the engine's own writer, and target blocks with
// ".pbx" files laid out field by field.
//   blend_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "VERirezo/BlendAnim.h"

namespace {

void BlendSeedPut32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}
void BlendSeedPutF(std::vector<uint8_t>& out, float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  BlendSeedPut32(out, u);
}

bool BlendSeedWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

bool BlendSeedPba(const std::string& path, const std::vector<std::string>& names, unsigned samples) {
  EBlendAnimShared anim;
  anim.createChannels((unsigned)names.size(), samples);
  for (size_t c = 0; c < names.size(); ++c) {
    anim.getChannel((unsigned)c)->setName(names[c].c_str());
    for (unsigned i = 0; i < samples; ++i) anim.getChannel((unsigned)c)->setSample(i, (float)((i * 37 + c * 11) % 100) / 99.0f);
  }
  return anim.writeToFile(path.c_str());
}

// Version byte, block length, target block, then the ".pbx" file.
std::vector<uint8_t> BlendSeedShape(bool v101, unsigned nTargets) {
  std::vector<uint8_t> block;
  BlendSeedPut32(block, nTargets);
  BlendSeedPut32(block, 4);
  for (int v = 0; v < 4; ++v)
    for (int k = 0; k < 3; ++k) BlendSeedPutF(block, (float)(v + k));
  for (unsigned t = 0; t < nTargets; ++t) {
    const std::string name = t == 0 ? "Smile" : "T" + std::to_string(t);
    block.push_back((uint8_t)(name.size() + 1));
    block.insert(block.end(), name.begin(), name.end());
    block.push_back(0);
    BlendSeedPut32(block, 2);
    for (uint32_t v = 0; v < 2; ++v) {
      BlendSeedPut32(block, v + t % 2);
      for (int k = 0; k < 3; ++k) BlendSeedPutF(block, 0.5f * (float)k);
      if (v101) BlendSeedPut32(block, 7);
    }
  }
  std::vector<uint8_t> out = {(uint8_t)(v101 ? 1 : 0)};
  BlendSeedPut32(out, (uint32_t)block.size());
  out.insert(out.end(), block.begin(), block.end());
  BlendSeedPut32(out, 0);
  BlendSeedPut32(out, 0);
  BlendSeedPut32(out, 2);
  BlendSeedPut32(out, 3);
  for (uint32_t i : {0u, 1u, 1u}) BlendSeedPut32(out, i);
  BlendSeedPut32(out, 2);
  for (uint32_t i : {3u, 70000u}) BlendSeedPut32(out, i);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: blend_seeds <corpus folder>\n");
    return 2;
  }
  const std::string pba = std::string(argv[1]) + "/pba_fuzzer";
  const std::string shape = std::string(argv[1]) + "/blendshape_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(pba.c_str(), 0755);
  mkdir(shape.c_str(), 0755);
  bool ok = BlendSeedPba(pba + "/face.pba", {"Smile", "Blink", "Jaw"}, 31) &&
            BlendSeedPba(pba + "/one.pba", {"Blink"}, 1) && BlendSeedPba(pba + "/empty.pba", {}, 0) &&
            BlendSeedWrite(shape + "/v100", BlendSeedShape(false, 2)) &&
            BlendSeedWrite(shape + "/v101", BlendSeedShape(true, 3));
  if (!ok) {
    fprintf(stderr, "blend_seeds: cannot write the seeds\n");
    return 1;
  }
  return 0;
}
