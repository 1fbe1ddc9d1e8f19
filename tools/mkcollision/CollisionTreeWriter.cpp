#include "CollisionTreeWriter.h"

#include <algorithm>
#include <cmath>

#include "TWMath/BoundingBox.h"
#include "TWMath/Intersect.h"
#include "TWMath/Octree.h"
#include "TWMath/Primitives.h"
#include "TWUtil/ByteOrder.h"

namespace collisionwriter {
namespace {

class Bytes {
public:
  void U8(uint8_t v) { m_data.push_back(v); }
  void U16(uint16_t v) {
    uint8_t b[2];
    PutLE16(b, v);
    m_data.insert(m_data.end(), b, b + 2);
  }
  void U24(uint32_t v) {
    U8((uint8_t)v);
    U8((uint8_t)(v >> 8));
    U8((uint8_t)(v >> 16));
  }
  void U32(uint32_t v) {
    uint8_t b[4];
    PutLE32(b, v);
    m_data.insert(m_data.end(), b, b + 4);
  }
  void F32(float f) {
    uint8_t b[4];
    PutLEFloat(b, f);
    m_data.insert(m_data.end(), b, b + 4);
  }
  void Pad(size_t n) { m_data.insert(m_data.end(), n, 0); }
  std::vector<uint8_t>& data() { return m_data; }

private:
  std::vector<uint8_t> m_data;
};

struct Builder {
  const std::vector<EVec3>& verts;
  const std::vector<Poly>& polys;
  Options opt;
  std::vector<std::vector<uint32_t>> nodes;                 // 8 handles each
  std::vector<std::pair<uint32_t, uint32_t>> leaves;        // first, count
  std::vector<int32_t> indices;

  ETri3 Tri(uint32_t i) const { return ETri3(verts[polys[i].v[0]], verts[polys[i].v[1]], verts[polys[i].v[2]]); }

  // Builds the node for the cube; returns its index.
  uint32_t Build(const ESSECube& cube, const std::vector<uint32_t>& inside, unsigned depth) {
    uint32_t self = (uint32_t)nodes.size();
    nodes.emplace_back(8, (uint32_t)EOctree::kEMPTY_CHILD);
    float h = cube.h * 0.5f;
    for (unsigned o = 0; o < 8; o++) {
      ESSECube child(EVec3((o & 4) ? cube.x + h : cube.x - h, (o & 2) ? cube.y + h : cube.y - h,
                           (o & 1) ? cube.z + h : cube.z - h),
                     h);
      EBox3 box(child);
      std::vector<uint32_t> sub;
      for (uint32_t i : inside)
        if (TWMath::TestIntersection(Tri(i), box)) sub.push_back(i);
      uint32_t handle = EOctree::kEMPTY_CHILD;
      if (!sub.empty()) {
        if (sub.size() > opt.maxPerLeaf && depth + 1 < opt.maxDepth) {
          handle = Build(child, sub, depth + 1);
        } else {
          handle = EOctree::kLEAF_BIT | (uint32_t)leaves.size();
          leaves.emplace_back((uint32_t)indices.size(), (uint32_t)sub.size());
          indices.insert(indices.end(), sub.begin(), sub.end());
        }
      }
      nodes[self][o] = handle;
    }
    return self;
  }
};

void WriteOctree(Bytes& b, const Builder& t, const ESSECube& root, unsigned version) {
  if (version > EOctree::kOLD_LAYOUT_VERSION) {
    b.U32(0);
    b.F32(root.x);
    b.F32(root.y);
    b.F32(root.z);
    b.F32(root.h);
    b.U32((uint32_t)t.leaves.size());
    b.U32((uint32_t)t.nodes.size());
    for (const auto& node : t.nodes)
      for (uint32_t h : node) b.U24(h);
    b.U32((uint32_t)t.leaves.size());
    for (const auto& l : t.leaves) b.U32(l.first | (l.second << EOctree::kLEAF_COUNT_SHIFT));
  } else {
    b.U32((uint32_t)t.nodes.size());
    b.U32((uint32_t)t.leaves.size());
    b.U32((uint32_t)t.indices.size());
    for (const auto& node : t.nodes) {
      // Every node record carries the root's cube (minimum corner and edge).
      b.F32(root.x - root.h);
      b.F32(root.y - root.h);
      b.F32(root.z - root.h);
      b.F32(root.h * 2.0f);
      for (uint32_t h : node) b.U24(h);
    }
    for (const auto& l : t.leaves) {
      b.Pad(16);
      b.U24(l.first);
      b.U24(l.second);
      b.Pad(18);
    }
    for (int32_t i : t.indices) b.U32((uint32_t)i);
    return;
  }
  b.U32((uint32_t)t.indices.size());
  for (int32_t i : t.indices) b.U32((uint32_t)i);
}

}  // namespace

std::vector<uint8_t> WriteCollisionTree(const std::vector<EVec3>& verts, const std::vector<Poly>& polys,
                                        unsigned version, const Options& opt) {
  Bytes b;
  EBox3 bounds(EVec3(0, 0, 0), EVec3(0, 0, 0));
  if (!verts.empty()) bounds = EBox3(verts.data(), (int)verts.size());
  b.U32((uint32_t)polys.size());
  if (!polys.empty()) {
    for (const Poly& p : polys) {
      if (version < 306) {
        b.U32(p.v[0]);
        b.U32(p.v[1]);
        b.U32(p.v[2]);
        b.U32(p.flags);
        b.U32(p.nav);
      } else {
        b.U32(p.flags);
        for (int k = 0; k < 3; k++) b.U16((uint16_t)p.v[k]);
        b.U16(0);
        const EVec3& p0 = verts[p.v[0]];
        EVec3 c = (verts[p.v[2]] - p0).Cross(verts[p.v[1]] - p0);
        float len = std::sqrt(c.Dot(c));
        b.F32(len > 0.0f ? 1.0f / len : 1.0f);
        b.U32(p.nav);
      }
    }
    b.U32((uint32_t)verts.size());
    for (const EVec3& v : verts) {
      b.F32(v.x);
      b.F32(v.y);
      b.F32(v.z);
    }
    Builder t{verts, polys, opt, {}, {}, {}};
    EVec3 c = bounds.GetCenter();
    EVec3 e = bounds.GetExtent();
    float h = std::max(std::max(e.x, e.y), e.z) * 1.01f + 1.0f;
    ESSECube root(c, h);
    std::vector<uint32_t> all(polys.size());
    for (uint32_t i = 0; i < all.size(); i++) all[i] = i;
    t.Build(root, all, 0);
    WriteOctree(b, t, root, version);
  }
  b.F32(bounds.vMin.x);
  b.F32(bounds.vMin.y);
  b.F32(bounds.vMin.z);
  b.F32(bounds.vMax.x);
  b.F32(bounds.vMax.y);
  b.F32(bounds.vMax.z);
  return b.data();
}

}  // namespace collisionwriter
