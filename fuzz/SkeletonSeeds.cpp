// Writes the seed corpus of the skeleton harness with the skeleton record
// writer:  skeleton_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SkeletonWriter.h"

namespace {

bool SkeletonSeedWrite(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

// A root with two arms of two joints each and a billboard joint.
SkeletonDesc SkeletonSeedTree() {
  SkeletonDesc d;
  d.name = "Body";
  const char* names[] = {"Root", "ArmL", "HandL", "ArmR", "HandR", "Eye"};
  const int parents[] = {-1, 0, 1, 0, 3, 0};
  for (int i = 0; i < 6; ++i) {
    SkeletonJointDesc j;
    j.name = names[i];
    j.parent = parents[i];
    j.position[0] = (float)i;
    j.euler[1] = 30.0f * (float)i;
    d.joints.push_back(j);
  }
  for (float& e : d.joints[5].euler) e = -1.0f;
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: skeleton_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/skeleton_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  struct Seed {
    const char* name;
    int version;
    std::vector<SkeletonDesc> skeletons;
  };
  SkeletonDesc unnamed = MakeChainSkeleton("", 3);
  const Seed seeds[] = {
      {"tree318", 318, {SkeletonSeedTree()}},
      {"tree294", 294, {SkeletonSeedTree()}},
      {"two318", 318, {SkeletonSeedTree(), unnamed}},
      {"chain40", 318, {MakeChainSkeleton("Chain", 40)}},
  };
  for (const Seed& s : seeds) {
    std::vector<uint8_t> bytes{(uint8_t)(s.version == 294 ? 1 : 0)};
    for (const SkeletonDesc& d : s.skeletons) {
      std::string error;
      if (!WriteSkeleton(bytes, d, s.version, error)) {
        fprintf(stderr, "skeleton_seeds: %s: %s\n", s.name, error.c_str());
        return 1;
      }
    }
    if (!SkeletonSeedWrite(dir + "/" + s.name, bytes)) {
      fprintf(stderr, "skeleton_seeds: cannot write %s\n", s.name);
      return 1;
    }
  }
  return 0;
}
