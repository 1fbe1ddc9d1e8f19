#include "SkeletonWriter.h"

#include <cstring>

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back((uint8_t)v);
  out.push_back((uint8_t)(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  PutU32(out, u);
}

// Length counting the terminator, then the bytes; an empty name is a
// length of 0.
void PutString(std::vector<uint8_t>& out, const std::string& s) {
  if (s.empty()) {
    PutU32(out, 0);
    return;
  }
  PutU32(out, (uint32_t)s.size() + 1);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

void PutJoint(std::vector<uint8_t>& out, const SkeletonDesc& d, int i, int version) {
  const SkeletonJointDesc& j = d.joints[i];
  PutString(out, j.name);
  for (float f : j.position) PutFloat(out, f);
  for (float f : j.euler) PutFloat(out, f);
  if (version > 294) PutU16(out, 0);
  std::vector<int> children;
  for (int k = i + 1; k < (int)d.joints.size(); ++k) {
    if (d.joints[k].parent == i) children.push_back(k);
  }
  PutU32(out, (uint32_t)children.size());
  for (int c : children) {
    const int id = d.joints[c].idOverride >= 0 ? d.joints[c].idOverride : c;
    PutU16(out, (uint32_t)id);
    PutJoint(out, d, c, version);
  }
}

}  // namespace

bool WriteSkeleton(std::vector<uint8_t>& out, const SkeletonDesc& d, int version, std::string& error) {
  if (d.joints.empty() || d.joints[0].parent != -1) {
    error = "the first joint must be the root";
    return false;
  }
  // Pre-order: a joint's parent comes before it, and once a subtree is left
  // it is never entered again.
  std::vector<int> stack{0};
  for (int i = 1; i < (int)d.joints.size(); ++i) {
    const int p = d.joints[i].parent;
    while (!stack.empty() && stack.back() != p) stack.pop_back();
    if (stack.empty()) {
      error = "joint " + std::to_string(i) + " is not in pre-order";
      return false;
    }
    stack.push_back(i);
  }
  PutString(out, d.name);
  PutU32(out, d.jointCountOverride >= 0 ? (uint32_t)d.jointCountOverride : (uint32_t)d.joints.size());
  PutU16(out, d.rootIndex);
  PutJoint(out, d, 0, version);
  return true;
}

SkeletonDesc MakeChainSkeleton(const std::string& name, int n) {
  SkeletonDesc d;
  d.name = name;
  for (int i = 0; i < n; ++i) {
    SkeletonJointDesc j;
    j.name = "J" + std::to_string(i);
    j.parent = i - 1;
    if (i > 0) j.position[0] = 1.0f;
    d.joints.push_back(j);
  }
  return d;
}
