// The visibility tree's box query against the octree walk it is built on:
// a 4,096-leaf tree, a box over 8 leaves away from the viewer, no leaf
// visible, so that the query visits every leaf of the box.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "BenchRatios.h"
#include "TWMath/Octree.h"
#include "TWMath/tests/OctreeTestWriter.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Visibility.h"

namespace {

// A full tree of the given depth over [-64, 64]^3: 8^depth leaves.
uint32_t VisBenchBuild(octreetest::TreeDesc& t, int depth) {
  if (depth == 0) {
    t.leaves.push_back({0, 0});
    return EOctree::kLEAF_BIT | (uint32_t)(t.leaves.size() - 1);
  }
  const uint32_t index = (uint32_t)t.nodes.size();
  t.nodes.emplace_back(8, (uint32_t)EOctree::kEMPTY_CHILD);
  for (int i = 0; i < 8; ++i) {
    const uint32_t h = VisBenchBuild(t, depth - 1);
    t.nodes[index][i] = h;
  }
  return index;
}

struct VisBenchWorld {
  VisBenchWorld() {
    octreetest::TreeDesc t;
    t.centre = EVec3(0, 0, 0);
    t.half = 64.0f;
    VisBenchBuild(t, 4);
    std::vector<uint8_t> bytes = octreetest::CurrentLayout(t, false);
    const unsigned n = (unsigned)t.leaves.size();
    const unsigned w = (n - 1) / 32 + 1;
    bytes.resize(bytes.size() + (size_t)n * w * 4, 0);  // nothing visible
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    reader.SetVersion(318);
    tree.Read(reader);
    hViewer = tree.GetOctree()->FindNode(EVec3(-60, -60, -60), &viewerCube);
  }
  EVisibilityTree tree;
  ESSECube viewerCube;
  unsigned hViewer = 0;
  // Leaves are 8 units wide: this box covers a 2x2x2 block of them.
  const EBox3 box = EBox3(EVec3(17, 17, 17), EVec3(31, 31, 31));
};

VisBenchWorld& World() {
  static VisBenchWorld s_World;
  return s_World;
}

bool VisBenchEmptyLeaf(const ESSECube*, void*, unsigned, unsigned, unsigned) { return true; }

void BM_VisBoxVisible(benchmark::State& state) {
  VisBenchWorld& w = World();
  for (auto _ : state) benchmark::DoNotOptimize(w.tree.BoxVisible(w.box, w.hViewer, w.viewerCube));
}

void BM_VisOctreeWalk(benchmark::State& state) {
  VisBenchWorld& w = World();
  for (auto _ : state) benchmark::DoNotOptimize(w.tree.GetOctree()->Walk(nullptr, &VisBenchEmptyLeaf, nullptr, &w.box));
}

BENCHMARK(BM_VisBoxVisible);
BENCHMARK(BM_VisOctreeWalk);

const std::vector<benchratios::Ratio> kRatios = {
    {"box query / octree walk (target <= 3)", "BM_VisBoxVisible", "BM_VisOctreeWalk"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
