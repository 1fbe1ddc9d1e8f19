// Writes the collision-tree record of a model: the triangle table, the vertex
// table, an octree built over the triangles and the bounding box, in the
// layout of a given data version (old polygons before 306, old octree up to
// 313).
#pragma once

#include <cstdint>
#include <vector>

#include "TWMath/Vector.h"

namespace collisionwriter {

struct Poly {
  uint32_t v[3];
  uint32_t flags;
  uint32_t nav = 0xFF;  // navigation word: mesh 255 = none
};

struct Options {
  unsigned maxPerLeaf = 8;  // a cell with more triangles is split...
  unsigned maxDepth = 10;   // ...down to this depth
};

// The record's bytes. An empty triangle list gives the count and the box.
std::vector<uint8_t> WriteCollisionTree(const std::vector<EVec3>& verts, const std::vector<Poly>& polys,
                                        unsigned version, const Options& opt = Options());

}  // namespace collisionwriter
