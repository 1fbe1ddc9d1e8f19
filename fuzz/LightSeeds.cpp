// Writes the seed corpus of the light-record harness with the light-record
// writer:  light_seeds <corpus folder of the harness>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "LightWriter.h"

namespace {

bool WriteSeed(const std::string& path, const LightRecordDesc& d) {
  std::vector<uint8_t> bytes;
  WriteLightRecord(bytes, d, true);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// A cube face naming two packed planes through a one- or two-byte index table.
LightRecordDesc::Face CubeFace(int nPlanes) {
  LightRecordDesc::Face f;
  f.indices.assign(1024, 0);
  for (int t = 0; t < 1024; t += 7) f.indices[t] = (uint16_t)(nPlanes - 1);
  for (int k = 0; k < nPlanes; ++k) {
    f.packedNormals.push_back(LightPackNormal(k & 1 ? -1.0f : 0.0f, 0, k & 1 ? 0.0f : 1.0f));
    f.packedDistances.push_back((int16_t)(10 + k));
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: light_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir(dir.c_str(), 0755);
  bool ok = true;
  for (uint32_t type = 2; type <= 5; ++type) {
    LightRecordDesc d;
    d.type = type;
    d.name = "Lamp";
    d.flags = 0x10000 | 0x2 | 0x4;
    d.haloTexture = "";
    d.atten[1] = 0.1f;
    d.projectedTexture = "";
    ok = ok && WriteSeed(dir + "/type" + std::to_string(type) + ".light", d);
  }
  {
    LightRecordDesc d;
    d.type = 2;
    d.flags = 0x10000 | 0x200;
    d.faces[0] = CubeFace(3);
    d.faces[4] = CubeFace(260);
    ok = ok && WriteSeed(dir + "/cube_depth.light", d);
  }
  {
    LightRecordDesc d;
    d.type = 3;
    d.flags = 0x10000 | 0x200;
    d.faces[0].indices.assign(16384, 1);
    d.faces[0].worldPlanes = {0, 1, 0, 5, 0, 0, 1, -7};
    d.depthBounds[3] = d.depthBounds[5] = 200;
    ok = ok && WriteSeed(dir + "/directional_depth.light", d);
  }
  if (!ok) {
    fprintf(stderr, "light_seeds: cannot write the seeds into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
