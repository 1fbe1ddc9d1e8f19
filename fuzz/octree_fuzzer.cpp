// Reads the input as an octree record and, when it is accepted, runs every
// kind of query on it. The first byte chooses the layout: bit 0 set is the
// current layout, clear the old one; bits 1 and 2 are the read flags.

#include <cstddef>
#include <cstdint>

#include "TWMath/Octree.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"

namespace {

struct Sum {
  const EOctree* tree;
  int64_t total;
};

// Touches every index a leaf names, so that a range outside the table shows.
void TouchRange(Sum* sum, unsigned first, unsigned count) {
  const int32_t* indices = sum->tree->GetIndices();
  for (unsigned i = 0; i < count; i++) sum->total += indices[first + i];
}

bool LeafCB(const ESSECube*, void* user, unsigned first, unsigned count, unsigned) {
  TouchRange(static_cast<Sum*>(user), first, count);
  return true;
}

bool SortedCB(const ESSECube*, void* user, unsigned first, unsigned count, unsigned, float) {
  TouchRange(static_cast<Sum*>(user), first, count);
  return true;
}

bool NodeCB(const ESSECube* cube, void*) { return cube->h > 0.0f; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  unsigned version = (data[0] & 1) ? 314 : 313;
  unsigned flags = (data[0] >> 1) & 3;
  // The buffer is borrowed by the memory file, which is only read.
  EFile* file = EAltMemFile::Open(const_cast<uint8_t*>(data + 1), (unsigned)(size - 1), kMEMFILE_Borrow);
  EFileReader reader(file, kAUTOCLOSE_Yes);
  EOctree tree(kMEMTYPE_Collision);
  if (!tree.Read(reader, flags, version)) return 0;

  Sum sum = {&tree, 0};
  const ESSECube& root = tree.GetRootCube();
  EVec3 c(root.x, root.y, root.z);
  float h = root.h;
  EVec3 lo = c - EVec3(h, h, h) * 0.9f, hi = c + EVec3(h, h, h) * 0.7f;
  ESSECube cell;
  tree.FindNode(c, &cell);
  tree.FindNode(lo, &cell);
  tree.FindNode(hi, nullptr);
  tree.Walk(nullptr, LeafCB, &sum, nullptr);
  tree.Walk(NodeCB, LeafCB, &sum, nullptr);
  EBox3 box(c - EVec3(h, h, h) * 0.3f, c + EVec3(h, 0.0f, h) * 0.2f);
  tree.Walk(nullptr, LeafCB, &sum, &box);
  tree.SortedWalk(SortedCB, &sum, lo, hi);
  tree.SortedWalk(SortedCB, &sum, hi, EVec3(lo.x, hi.y, hi.z));
  tree.SortedWalk(SortedCB, &sum, c, c);
  return 0;
}
