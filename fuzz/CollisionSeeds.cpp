// Writes the seed corpus of the collision-tree harness with the collision-tree
// writer:  collision_seeds <corpus folder of the harness>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CollisionTreeWriter.h"

namespace {

bool WriteSeed(const std::string& path, uint8_t versionByte, const std::vector<uint8_t>& record) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(&versionByte, 1, 1, f) == 1 && fwrite(record.data(), 1, record.size(), f) == record.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: collision_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir(dir.c_str(), 0755);
  // A closed box of twelve triangles, one of them double-sided and one in group 2.
  std::vector<EVec3> verts;
  for (int i = 0; i < 8; i++)
    verts.push_back(EVec3((i & 4) ? 10.0f : -10.0f, (i & 2) ? 10.0f : -10.0f, (i & 1) ? 10.0f : -10.0f));
  const uint32_t faces[12][3] = {{0, 1, 3}, {0, 3, 2}, {4, 6, 7}, {4, 7, 5}, {0, 4, 5}, {0, 5, 1},
                                 {2, 3, 7}, {2, 7, 6}, {0, 2, 6}, {0, 6, 4}, {1, 5, 7}, {1, 7, 3}};
  std::vector<collisionwriter::Poly> polys;
  for (int i = 0; i < 12; i++) {
    collisionwriter::Poly p;
    for (int k = 0; k < 3; k++) p.v[k] = faces[i][k];
    p.flags = 0x1400 | (i == 3 ? 0x8000u : 0u) | (i == 5 ? 0x800000u : 0u) | (i == 7 ? 0x80000u : 0u);
    polys.push_back(p);
  }
  collisionwriter::Options opt;
  opt.maxPerLeaf = 2;
  bool ok = WriteSeed(dir + "/box305.col", 0, collisionwriter::WriteCollisionTree(verts, polys, 305, opt)) &&
            WriteSeed(dir + "/box310.col", 1, collisionwriter::WriteCollisionTree(verts, polys, 310, opt)) &&
            WriteSeed(dir + "/box317.col", 2, collisionwriter::WriteCollisionTree(verts, polys, 317, opt)) &&
            WriteSeed(dir + "/empty.col", 2, collisionwriter::WriteCollisionTree(verts, {}, 317, opt));
  if (!ok) {
    fprintf(stderr, "collision_seeds: cannot write the seeds into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
