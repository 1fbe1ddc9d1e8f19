// The visibility tree: the upper-triangle bit layout, reading the rows,
// box queries over the octree, and the per-mesh answer cache.
#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "SceneTestSupport.h"
#include "VERirezo/Visibility.h"

namespace {

struct PairSet {
  std::set<std::pair<unsigned, unsigned>> pairs;
};

bool VisFromPairs(unsigned i, unsigned j, void* user) {
  return static_cast<PairSet*>(user)->pairs.count({i, j}) != 0;
}

// A tree of n leaves (depth 1 up to 8 leaves, else deeper) whose file rows
// hold exactly the given (row, column) bits.
std::vector<uint8_t> VisRecord(int depth, unsigned n, const PairSet& bits) {
  return MakeVisibilityRecord(scenetest::OctreeBytes(scenetest::FullTree(depth, n)), n, &VisFromPairs,
                              const_cast<PairSet*>(&bits));
}

}  // namespace

TEST(VisibilityTree, BitIndicesOfThreeLeavesFollowTheUpperTriangle) {
  PairSet none;
  EVisibilityTree tree;
  scenetest::NamedReader r(VisRecord(1, 3, none), "vis", 318);
  ASSERT_TRUE(tree.Read(r));
  ASSERT_EQ(3u, tree.GetNumLeaves());
  EXPECT_EQ(6u, tree.GetNumBits());
  const struct {
    unsigned a, b, bit;
  } cases[] = {{0, 0, 0}, {0, 1, 1}, {0, 2, 2}, {1, 1, 3}, {1, 2, 4}, {2, 2, 5}};
  for (const auto& c : cases) EXPECT_EQ(c.bit, tree.GetBitIndex(c.a, c.b)) << c.a << "," << c.b;
  EXPECT_EQ(0u, EVisibilityTree::TriangularNumber(0));
  EXPECT_EQ(528u, EVisibilityTree::TriangularNumber(32));
}

TEST(VisibilityTree, RowsKeepOnlyTheUpperTriangle) {
  // Row 2 says leaf 0 is visible (lower triangle, ignored); row 1 says leaf
  // 2 is; leaf 1 sees itself.
  PairSet bits;
  bits.pairs = {{2, 0}, {1, 2}, {1, 1}};
  EVisibilityTree tree;
  scenetest::NamedReader r(VisRecord(1, 3, bits), "vis", 318);
  ASSERT_TRUE(tree.Read(r));
  EXPECT_FALSE(tree.IsPairVisible(0, 2));
  EXPECT_FALSE(tree.IsPairVisible(2, 0)) << "the pair is taken from row 0";
  EXPECT_TRUE(tree.IsPairVisible(2, 1));
  EXPECT_TRUE(tree.IsPairVisible(1, 1));
  EXPECT_FALSE(tree.IsPairVisible(0, 0));
}

TEST(VisibilityTree, ThirtyThreeLeavesReadTwoWordsPerRow) {
  PairSet bits;
  bits.pairs = {{0, 32}, {31, 32}, {32, 32}};
  const std::vector<uint8_t> octree = scenetest::OctreeBytes(scenetest::FullTree(2, 33));
  std::vector<uint8_t> record = VisRecord(2, 33, bits);
  ASSERT_EQ(octree.size() + 66 * 4, record.size());
  record.push_back(0xAB);  // what follows the record in the file
  EVisibilityTree tree;
  scenetest::NamedReader r(record, "vis", 318);
  ASSERT_TRUE(tree.Read(r));
  EXPECT_EQ(record.size() - 1, r.GetPos()) << "the record ends after 66 row words";
  EXPECT_TRUE(tree.IsPairVisible(0, 32));
  EXPECT_TRUE(tree.IsPairVisible(31, 32));
  EXPECT_FALSE(tree.IsPairVisible(0, 31));

  // Short rows are refused.
  record.resize(record.size() - 6);
  EVisibilityTree shortTree;
  scenetest::NamedReader rs(record, "vis", 318);
  EXPECT_FALSE(shortTree.Read(rs));
}

TEST(VisibilityTree, BoxQueriesWalkTheLeavesTheBoxTouches) {
  // Eight leaves, one per octant of the cube [-8, 8]; leaf 0 is the octant
  // low in X, Y and Z, leaf 7 the one high in all three.
  PairSet bits;
  bits.pairs = {{0, 3}};
  EVisibilityTree tree;
  scenetest::NamedReader r(VisRecord(1, 8, bits), "vis", 318);
  ASSERT_TRUE(tree.Read(r));
  ESSECube viewerCube;
  const unsigned hViewer = tree.GetOctree()->FindNode(EVec3(-4, -4, -4), &viewerCube);
  ASSERT_TRUE(EOctree::IsLeaf(hViewer));
  ASSERT_EQ(0u, hViewer & ~(unsigned)EOctree::kLEAF_BIT);

  const struct {
    EBox3 box;
    bool visible;
    const char* what;
  } cases[] = {
      {EBox3(EVec3(4, 4, 4), EVec3(5, 5, 5)), false, "leaf 7 alone, pair clear"},
      {EBox3(EVec3(-5, 4, 4), EVec3(-4, 5, 5)), true, "leaf 3 alone, pair set"},
      {EBox3(EVec3(-1, -1, -1), EVec3(0.5f, 0.5f, 0.5f)), true, "touches the viewer's own cell"},
      {EBox3(EVec3(1, -5, 1), EVec3(5, 5, 5)), false, "leaves 5 and 7, both clear"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.visible, tree.BoxVisible(c.box, hViewer, viewerCube)) << c.what;

  // With every bit clear a box overlapping the viewer's cell is still seen.
  PairSet none;
  EVisibilityTree blind;
  scenetest::NamedReader rb(VisRecord(1, 8, none), "vis", 318);
  ASSERT_TRUE(blind.Read(rb));
  EXPECT_TRUE(blind.BoxVisible(EBox3(EVec3(-0.5f, -0.5f, -0.5f), EVec3(0.5f, 0.5f, 0.5f)), hViewer, viewerCube));
  EXPECT_FALSE(blind.BoxVisible(EBox3(EVec3(-5, 4, 4), EVec3(-4, 5, 5)), hViewer, viewerCube));
}

TEST(VisibilityCache, RoundRobinOfFourAnswers) {
  EVisibilityCache cache;
  bool result = false;
  EXPECT_FALSE(cache.FindResult(0x400001, &result));
  for (uint32_t k = 1; k <= 4; ++k) cache.StoreResult(0x400000 | k, (k & 1) != 0);
  for (uint32_t k = 1; k <= 4; ++k) {
    ASSERT_TRUE(cache.FindResult(0x400000 | k, &result)) << k;
    EXPECT_EQ((k & 1) != 0, result);
  }
  cache.StoreResult(0x400005, false);
  EXPECT_FALSE(cache.FindResult(0x400001, &result)) << "the fifth answer evicts the first";
  EXPECT_TRUE(cache.FindResult(0x400002, &result));

  // Clearing forgets every key; the next answer goes after the last one
  // written (slot 1), so key 0x400006 then replaces nothing findable.
  cache.Clear();
  for (uint32_t k = 2; k <= 5; ++k) EXPECT_FALSE(cache.FindResult(0x400000 | k, &result));
  cache.StoreResult(0x400006, true);
  ASSERT_TRUE(cache.FindResult(0x400006, &result));
  EXPECT_TRUE(result);
}

TEST(VisibilityCacheDeathTest, ANullOutputIsFatal) {
  EVisibilityCache cache;
  EXPECT_DEATH(cache.FindResult(1, nullptr), "abVisible");
}
