// Reads the input as a collision-tree record and, when it is accepted, runs a
// ray, a sweep, a position check and a sphere gather on it. The first byte
// picks the data version: old polygons and octree, new polygons with the old
// octree, or both new.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EMemStack.h"
#include "TWUtil/EStream.h"
#include "VERirezo/CollisionTree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  static const unsigned s_aVersion[3] = {305, 310, 317};
  EMemReader s(data + 1, (unsigned)size - 1);
  s.SetVersion(s_aVersion[data[0] % 3]);
  ECollisionTree tree;
  if (!tree.Read(s)) return 0;

  const EBox3& box = tree.GetBoundingBox();
  const EVec3 c = box.GetCenter();
  const EVec3 e = box.GetExtent();
  const uint32_t dwAll = kCOLLIDEFLAG_Physical | kCOLLIDEFLAG_Camera | kCOLLIDEFLAG_Terrain;
  ECollisionTreeHit hit;
  tree.CheckForCollision(c + EVec3(0, e.y + 5.0f, 0), c - EVec3(0, e.y + 5.0f, 0), 0.0f, dwAll, 0xF, &hit);
  tree.CheckForCollision(c - e, c + e, 2.0f, dwAll | kCOLLIDEFLAG_NoBackfaceCull, 0xF, &hit);
  tree.CheckForCollision(c, c, 1.5f, dwAll | kCOLLIDEFLAG_CheckPosition | kCOLLIDEFLAG_ReportDepth, 0xF, &hit);
  tree.CheckForContainment(c, false, 0xF);
  static EMemStack* s_pStack = new EMemStack(1u << 22);
  unsigned nUsed = s_pStack->GetUsedBytes();
  uint32_t* pOut = nullptr;
  int nCount = 0;
  tree.GetIntersectingTriangles(ESphere(c, e.Length() * 0.5f + 1.0f), *s_pStack, 0xFFFFFFFFu, 0xF, &pOut, &nCount);
  for (int i = 0; i < nCount; i++) (void)tree.GetTri((int)pOut[i]);
  s_pStack->PopTo(nUsed);
  return 0;
}
