// Shared helpers of the scene tests: octrees and visibility records made
// with the writers, and memory streams that answer to a name.
#pragma once

#include <cstdint>
#include <vector>

#include "PlbWriter.h"
#include "TWMath/Octree.h"
#include "TWMath/tests/OctreeTestWriter.h"
#include "TWUtil/EStream.h"

namespace scenetest {

// A full octree of the given depth over the cube centred on the origin with
// the given half size; leaves numbered in walk order, only the first n
// present (the rest empty).
inline octreetest::TreeDesc FullTree(int depth, unsigned n, float half = 8.0f) {
  octreetest::TreeDesc t;
  t.centre = EVec3(0, 0, 0);
  t.half = half;
  unsigned nextLeaf = 0;
  struct Builder {
    octreetest::TreeDesc& t;
    unsigned& nextLeaf;
    unsigned n;
    uint32_t Build(int depth) {
      if (depth == 0) {
        if (nextLeaf >= n) return EOctree::kEMPTY_CHILD;
        t.leaves.push_back({0, 0});
        return EOctree::kLEAF_BIT | nextLeaf++;
      }
      const uint32_t index = (uint32_t)t.nodes.size();
      t.nodes.emplace_back(8, (uint32_t)EOctree::kEMPTY_CHILD);
      for (int i = 0; i < 8; ++i) {
        const uint32_t h = Build(depth - 1);
        t.nodes[index][i] = h;
      }
      return index;
    }
  };
  Builder b{t, nextLeaf, n};
  b.Build(depth);
  return t;
}

inline std::vector<uint8_t> OctreeBytes(const octreetest::TreeDesc& t) { return octreetest::CurrentLayout(t, false); }

// Holds the bytes of a NamedReader (a base, so that they exist before the
// reader that points at them).
struct ReaderBytes {
  explicit ReaderBytes(const std::vector<uint8_t>& b) : m_bytes(b) {}
  std::vector<uint8_t> m_bytes;
};

// A reader over its own copy of the bytes that carries a scene version and
// a name.
class NamedReader : private ReaderBytes, public EMemReader {
public:
  NamedReader(const std::vector<uint8_t>& bytes, const char* name, unsigned version = 0)
      : ReaderBytes(bytes), EMemReader(m_bytes.empty() ? nullptr : m_bytes.data(), (unsigned)m_bytes.size()), m_name(name) {
    SetVersion(version);
  }
  const char* GetName() override { return m_name; }

private:
  const char* m_name;
};

}  // namespace scenetest
