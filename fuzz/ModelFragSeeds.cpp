// Writes the seed corpus of the model-fragment harness with the record
// writer:  modelfrag_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ModelFragWriter.h"

namespace {

bool ModelFragSeedFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

ModelFragDesc ModelFragSeedBase(int n, bool strip) {
  ModelFragDesc d;
  for (int i = 0; i < n; ++i) {
    d.positions.insert(d.positions.end(), {(float)i, (float)(i % 2), 0.0f});
    d.normals.insert(d.normals.end(), {0.0f, 0.0f, 1.0f});
  }
  d.materialFlags = strip ? 0x1000000u : 0u;
  d.polys = strip ? (uint32_t)n - 2 : (uint32_t)n / 3;
  const uint32_t count = strip ? d.polys + 2 : d.polys * 3;
  for (uint32_t i = 0; i < count; ++i) d.indices.push_back((uint16_t)(i % n));
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: modelfrag_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/modelfrag_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  std::vector<std::vector<uint8_t>> seeds;

  ModelFragDesc plain = ModelFragSeedBase(6, true);
  plain.textures = {0, 1, 2};
  plain.texcoordSets = 2;
  for (int i = 0; i < 6 * 2; ++i) plain.texcoords.insert(plain.texcoords.end(), {0.5f * i, -3.0f});
  plain.colors.assign(6, 0xFF8040C0u);
  plain.bases.assign(6 * 9, 0.5f);
  plain.materialFlags |= 0x20 | 0x20000 | 0x40000 | 0x40000000 | 0x08;
  plain.lightmaps[0] = 3;
  plain.lightmaps[1] = 4;
  plain.switchLight = "lamp";
  plain.blinnThird = 5;
  plain.detail = 6;
  seeds.push_back({1});
  WriteModelFrag(seeds.back(), plain);
  WriteModelFrag(seeds.back(), ModelFragSeedBase(9, false));

  ModelFragDesc skinned = ModelFragSeedBase(3, false);
  skinned.materialFlags |= 0x04;
  skinned.palette = {0x0001, 0x1002};
  for (int i = 0; i < 3; ++i) skinned.skinWeights.push_back({(uint32_t)i, 0.5f, 0.5f});
  seeds.push_back({0x81});
  WriteModelFrag(seeds.back(), skinned);

  ModelFragDesc dense = ModelFragSeedBase(3, false);
  dense.blendFlags = 1;
  ModelFragBlendStream st;
  st.name = "smile";
  st.posDeltas = {0, 1, 0, 0, 2, 0, 0, 0, 0};
  st.normalDeltas.assign(9, 0.0f);
  dense.blendStreams.push_back(st);
  seeds.push_back({1});
  WriteModelFrag(seeds.back(), dense);

  ModelFragDesc sparse = dense;
  sparse.version = 319;
  sparse.blendFlags = 3;
  sparse.blendStreams[0].indices = {2, 1, 0};
  seeds.push_back({2});
  WriteModelFrag(seeds.back(), sparse);

  ModelFragDesc old = ModelFragSeedBase(3, false);
  old.version = 317;
  seeds.push_back({0});
  WriteModelFrag(seeds.back(), old);

  for (size_t i = 0; i < seeds.size(); ++i) {
    if (!ModelFragSeedFile(dir + "/seed" + std::to_string(i), seeds[i])) {
      fprintf(stderr, "modelfrag_seeds: cannot write %s\n", dir.c_str());
      return 1;
    }
  }
  return 0;
}
