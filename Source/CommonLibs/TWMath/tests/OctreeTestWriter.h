// Writes octree records in both stored layouts through a writer stream, for
// tests that read them back.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "TWMath/Vector.h"
#include "TWUtil/EStream.h"

namespace octreetest {

struct Leaf {
  int32_t first;
  int32_t count;
};

// A tree as the writer sees it: child handles per node (node 0 the root),
// one range per leaf, the index table and the root cube.
struct TreeDesc {
  EVec3 centre;
  float half = 0.0f;
  std::vector<std::vector<uint32_t>> nodes;  // 8 handles each
  std::vector<Leaf> leaves;
  std::vector<int32_t> indices;
};

class Bytes {
public:
  void U8(uint8_t v) { m_data.push_back(v); }
  void U24(uint32_t v) {
    U8((uint8_t)v);
    U8((uint8_t)(v >> 8));
    U8((uint8_t)(v >> 16));
  }
  void U32(uint32_t v) {
    U24(v);
    U8((uint8_t)(v >> 24));
  }
  void F32(float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    U32(u);
  }
  void Pad(size_t n) { m_data.insert(m_data.end(), n, 0); }
  std::vector<uint8_t>& data() { return m_data; }

private:
  std::vector<uint8_t> m_data;
};

// The current layout. storedLeaves: the count written before the leaf words
// (the leaf count, or 0 to store none).
inline std::vector<uint8_t> CurrentLayout(const TreeDesc& t, bool storeLeaves = true) {
  Bytes b;
  b.U32(0);  // reserved
  b.F32(t.centre.x);
  b.F32(t.centre.y);
  b.F32(t.centre.z);
  b.F32(t.half);
  b.U32((uint32_t)t.leaves.size());
  b.U32((uint32_t)t.nodes.size());
  for (const auto& node : t.nodes)
    for (uint32_t h : node) b.U24(h);
  b.U32(storeLeaves ? (uint32_t)t.leaves.size() : 0);
  if (storeLeaves)
    for (const Leaf& l : t.leaves) b.U32((uint32_t)l.first | ((uint32_t)l.count << 19));
  b.U32((uint32_t)t.indices.size());
  for (int32_t i : t.indices) b.U32((uint32_t)i);
  return b.data();
}

// The old 40-byte-record layout; the index count is left out when asked.
inline std::vector<uint8_t> OldLayout(const TreeDesc& t, bool withIndexCount = true) {
  Bytes b;
  b.U32((uint32_t)t.nodes.size());
  b.U32((uint32_t)t.leaves.size());
  if (withIndexCount) b.U32((uint32_t)t.indices.size());
  for (size_t i = 0; i < t.nodes.size(); i++) {
    // Only node 0's cube is read back; the others carry the root's as well.
    b.F32(t.centre.x - t.half);
    b.F32(t.centre.y - t.half);
    b.F32(t.centre.z - t.half);
    b.F32(t.half * 2.0f);
    for (uint32_t h : t.nodes[i]) b.U24(h);
  }
  for (const Leaf& l : t.leaves) {
    b.Pad(16);
    b.U24((uint32_t)l.first);
    b.U24((uint32_t)l.count);
    b.Pad(18);
  }
  if (withIndexCount)
    for (int32_t i : t.indices) b.U32((uint32_t)i);
  return b.data();
}

// Emits the bytes through the system's writer stream.
inline void WriteTo(EStream& s, const std::vector<uint8_t>& bytes) {
  if (!bytes.empty()) s.Write(bytes.data(), 1, (unsigned)bytes.size());
}

}  // namespace octreetest
