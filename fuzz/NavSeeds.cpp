// Writes the seed corpus of the navigation-mesh harness with the record
// writer:  nav_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "NavMeshWriter.h"

namespace {

bool NavSeedWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// A strip of n polygons with an air polygon in the middle and two links.
NavPlaygroundDesc NavSeedStrip(int n) {
  NavPlaygroundDesc pg;
  pg.polys.resize(n);
  for (int i = 0; i < n; ++i) {
    pg.polys[i].collisionPoly = i % 3 == 2 ? -1 : i;
    pg.polys[i].groups = i == n / 2 ? 0x1000002u : 0x3u;
    pg.polys[i].neighbour[0] = i + 1 < n ? i + 1 : -1;
    pg.polys[i].neighbour[2] = i - 1;
    pg.polys[i].corner[1] = 0;
  }
  pg.cornerNormals = {0, 0, 1};
  pg.cornerEdgesA = {1, 0, 0};
  pg.cornerEdgesB = {0, 0, 1};
  pg.groups = {0, 1};
  pg.links.push_back({0x2000000u, 1, "Walk"});
  pg.links.push_back({0, (uint32_t)(n - 1), "Jump"});
  return pg;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: nav_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/navmesh_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  // Version byte: 3 = 303, 4 = 304, 5 = 315.
  struct Seed {
    uint8_t version;
    unsigned scene;
    std::vector<NavPlaygroundDesc> pgs;
  };
  const Seed seeds[] = {
      {5, 315, {NavSeedStrip(5), NavPlaygroundDesc(), NavSeedStrip(3)}},
      {4, 304, {NavSeedStrip(6), NavSeedStrip(2)}},
      {3, 303, {NavSeedStrip(4)}},
      {5, 315, {NavSeedStrip(1)}},
  };
  bool ok = true;
  int n = 0;
  for (const Seed& s : seeds) {
    std::vector<uint8_t> bytes = {s.version, (uint8_t)s.pgs.size()};
    WriteNavMesh(s.pgs, s.scene, bytes);
    ok = NavSeedWrite(dir + "/seed" + std::to_string(n++), bytes) && ok;
  }
  return ok ? 0 : 1;
}
