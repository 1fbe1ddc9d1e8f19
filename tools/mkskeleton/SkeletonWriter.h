// Writes skeleton records with their nested joint records, as the mesh
// records of scene files and mesh packs hold them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SkeletonJointDesc {
  std::string name;
  float position[3] = {0.0f, 0.0f, 0.0f};
  // Degrees; (-1, -1, -1) makes a joint that faces the camera.
  float euler[3] = {0.0f, 0.0f, 0.0f};
  // Index of the parent joint in the list, -1 for the root. Joints are
  // listed in pre-order: a joint's children follow it.
  int parent = -1;
  // Written as the child id in the parent's record when not -1, instead of
  // the joint's own index (for damaged records).
  int idOverride = -1;
};

struct SkeletonDesc {
  std::string name;
  std::vector<SkeletonJointDesc> joints;
  // Written instead of the joint count when not -1 (for damaged records).
  int64_t jointCountOverride = -1;
  uint16_t rootIndex = 0;
};

// Appends one skeleton record of the given file version (the 16-bit word
// before each child count is written above version 294). False with a
// message when the joints are not in pre-order or the first is not the root.
bool WriteSkeleton(std::vector<uint8_t>& out, const SkeletonDesc& skeleton, int version, std::string& error);

// A chain of n joints "J0".."Jn-1", each the child of the one
// before, the root at the origin and each child 1 along x.
SkeletonDesc MakeChainSkeleton(const std::string& name, int n);
