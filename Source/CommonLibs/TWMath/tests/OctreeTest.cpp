#include <gtest/gtest.h>

#include <cstdlib>
#include <ftw.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "OctreeTestWriter.h"
#include "TWMath/Intersect.h"
#include "TWMath/Octree.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"
#include "TraceCapture.h"

namespace {

using octreetest::TreeDesc;

const uint32_t kLeaf = EOctree::kLEAF_BIT;
const uint32_t kEmpty = EOctree::kEMPTY_CHILD;
const unsigned kCurrent = 314;
const unsigned kOld = 313;

// Root (centre 0, half size 8): octant 0 is node 1, octants 1..7 are
// leaves 0..6. Node 1 has leaves 7..13 and an empty octant 3. Leaf k runs
// over indices 2k, 2k + 1, except leaf 4, which has none.
TreeDesc SampleTree() {
  TreeDesc t;
  t.centre = EVec3(0, 0, 0);
  t.half = 8;
  t.nodes.resize(2);
  t.nodes[0].push_back(1);
  for (uint32_t o = 1; o < 8; o++) t.nodes[0].push_back(kLeaf | (o - 1));
  uint32_t next = 7;
  for (uint32_t o = 0; o < 8; o++) t.nodes[1].push_back(o == 3 ? kEmpty : (kLeaf | next++));
  for (int k = 0; k < 14; k++) t.leaves.push_back({2 * k, k == 4 ? 0 : 2});
  for (int i = 0; i < 28; i++) t.indices.push_back(100 + i);
  return t;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

struct Visit {
  unsigned leaf, first, count;
  float t;
  ESSECube cube;
};

bool CollectLeaf(const ESSECube* cube, void* user, unsigned first, unsigned count, unsigned leaf) {
  static_cast<std::vector<Visit>*>(user)->push_back({leaf, first, count, 0.0f, *cube});
  return true;
}

bool CollectSorted(const ESSECube* cube, void* user, unsigned first, unsigned count, unsigned leaf, float t) {
  static_cast<std::vector<Visit>*>(user)->push_back({leaf, first, count, t, *cube});
  return true;
}

std::vector<unsigned> Leaves(const std::vector<Visit>& visits) {
  std::vector<unsigned> out;
  for (const Visit& v : visits) out.push_back(v.leaf);
  return out;
}

class OctreeTest : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/quillomar-octree-XXXXXX";
    const char* made = mkdtemp(tmpl);
    ASSERT_NE(made, nullptr);
    m_dir = made;
  }
  void TearDown() override { nftw(m_dir.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

  // Writes the bytes to a file with the system's writer stream and reads
  // the tree back from it.
  bool WriteAndRead(const std::vector<uint8_t>& bytes, EOctree& tree, unsigned flags, unsigned version) {
    std::string path = m_dir + "/octree.bin";
    {
      EWin32File* out = EWin32File::Open(path.c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE);
      EXPECT_NE(out, nullptr);
      if (!out) return false;
      EFileWriter writer(out, kAUTOCLOSE_Yes);
      octreetest::WriteTo(writer, bytes);
      EXPECT_FALSE(writer.Err());
    }
    EWin32File* in = EWin32File::Open(path.c_str(), FILE_READ);
    EXPECT_NE(in, nullptr);
    if (!in) return false;
    EFileReader reader(in, kAUTOCLOSE_Yes);
    reader.SetVersion(version);
    return tree.Read(reader, flags, reader.GetVersion());
  }

  static bool ReadMemory(const std::vector<uint8_t>& bytes, EOctree& tree, unsigned flags, unsigned version) {
    EAltMemFile file(const_cast<uint8_t*>(bytes.data()), (unsigned)bytes.size(), false);
    EFileReader reader(&file, kAUTOCLOSE_No);
    return tree.Read(reader, flags, version);
  }

  std::string m_dir;
};

TEST_F(OctreeTest, ReadsTheCurrentLayout) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(WriteAndRead(octreetest::CurrentLayout(SampleTree()), tree, 0, kCurrent));
  EXPECT_EQ(tree.GetNodeCount(), 2u);
  EXPECT_EQ(tree.GetLeafCount(), 14u);
  ASSERT_EQ(tree.GetIndexCount(), 28u);
  EXPECT_EQ(tree.GetIndices()[27], 127);
  EXPECT_EQ(tree.GetRootCube().h, 8.0f);

  std::vector<Visit> visits;
  EXPECT_TRUE(tree.Walk(nullptr, CollectLeaf, &visits, nullptr));
  // Depth first, children in increasing octant order, the empty child skipped.
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{7, 8, 9, 10, 11, 12, 13, 0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(visits[0].first, 14u);
  EXPECT_EQ(visits[0].count, 2u);
  EXPECT_EQ(visits[11].leaf, 4u);
  EXPECT_EQ(visits[11].count, 0u);
  // Leaf 7 is octant 0 of octant 0: centre (-6, -6, -6), half size 2.
  EXPECT_EQ(visits[0].cube.x, -6.0f);
  EXPECT_EQ(visits[0].cube.h, 2.0f);
  // Leaf 3 is root octant 4: upper in X only.
  EXPECT_EQ(visits[10].cube.x, 4.0f);
  EXPECT_EQ(visits[10].cube.y, -4.0f);
  EXPECT_EQ(visits[10].cube.z, -4.0f);
}

TEST_F(OctreeTest, StoredLeafCountZeroGivesEmptyRanges) {
  EOctree tree(kMEMTYPE_Vistree);
  ASSERT_TRUE(WriteAndRead(octreetest::CurrentLayout(SampleTree(), false), tree, 0, kCurrent));
  EXPECT_FALSE(tree.HasLeafTable());
  std::vector<Visit> visits;
  tree.Walk(nullptr, CollectLeaf, &visits, nullptr);
  ASSERT_EQ(visits.size(), 14u);
  for (const Visit& v : visits) {
    EXPECT_EQ(v.first, 0u);
    EXPECT_EQ(v.count, 0u);
  }
}

TEST_F(OctreeTest, ReadsAndConvertsTheOldLayout) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(WriteAndRead(octreetest::OldLayout(SampleTree()), tree, 0, kOld));
  EXPECT_EQ(tree.GetRootCube().x, 0.0f);
  EXPECT_EQ(tree.GetRootCube().h, 8.0f);
  std::vector<Visit> visits;
  tree.Walk(nullptr, CollectLeaf, &visits, nullptr);
  // Leaf 4 had no primitives and became an empty child.
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{7, 8, 9, 10, 11, 12, 13, 0, 1, 2, 3, 5, 6}));
  EXPECT_EQ(visits[8].first, 2u);
  EXPECT_EQ(visits[8].count, 2u);
  EXPECT_EQ(tree.GetIndices()[0], 100);
}

TEST_F(OctreeTest, OldLayoutWithLeafNumbersOnly) {
  EOctree tree(kMEMTYPE_Vistree);
  ASSERT_TRUE(WriteAndRead(octreetest::OldLayout(SampleTree(), false), tree,
                           EOctree::kREAD_LEAF_NUMBERS_ONLY | EOctree::kREAD_NO_INDEX_COUNT, kOld));
  EXPECT_FALSE(tree.HasLeafTable());
  std::vector<Visit> visits;
  tree.Walk(nullptr, CollectLeaf, &visits, nullptr);
  // Every leaf keeps its handle, the empty one included.
  ASSERT_EQ(visits.size(), 14u);
  EXPECT_EQ(visits[11].leaf, 4u);
  for (const Visit& v : visits) EXPECT_EQ(v.count, 0u);
}

TEST_F(OctreeTest, OldLayoutWithoutIndexTableGivesEmptyLeaves) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(WriteAndRead(octreetest::OldLayout(SampleTree(), false), tree, EOctree::kREAD_NO_INDEX_COUNT, kOld));
  ASSERT_TRUE(tree.HasLeafTable());
  std::vector<Visit> visits;
  tree.Walk(nullptr, CollectLeaf, &visits, nullptr);
  ASSERT_EQ(visits.size(), 13u);
  for (const Visit& v : visits) {
    EXPECT_EQ(v.first, 0u);
    EXPECT_EQ(v.count, 0u);
  }
}

TEST_F(OctreeTest, OldLeafTooLargeToPackFailsConversion) {
  TreeDesc t = SampleTree();
  t.leaves[2].count = 8192;
  TraceCapture capture;
  EOctree tree(kMEMTYPE_Collision);
  EXPECT_FALSE(WriteAndRead(octreetest::OldLayout(t), tree, 0, kOld));
  EXPECT_TRUE(capture.Contains("Octree can't convert: leaf has 0x2000 prims at 0x4"));
  EXPECT_TRUE(capture.Contains("bSuccess"));
  EXPECT_EQ(tree.GetNodeCount(), 0u);
  EXPECT_EQ(tree.FindNode(EVec3(1, 1, 1), nullptr), EOctree::kNOT_FOUND);
}

TEST_F(OctreeTest, DamagedRecordsAreRefused) {
  struct Case {
    const char* name;
    void (*damage)(TreeDesc&);
  };
  const Case cases[] = {
      {"child names a missing node", [](TreeDesc& t) { t.nodes[1][2] = 2; }},
      {"child names the root", [](TreeDesc& t) { t.nodes[1][2] = 0; }},
      {"node reached twice", [](TreeDesc& t) { t.nodes[0][5] = 1; }},
      {"leaf number past the leaf count", [](TreeDesc& t) { t.nodes[1][0] = kLeaf | 14; }},
      {"leaf range past the index table", [](TreeDesc& t) { t.leaves[13].count = 3; }},
      {"leaf range start past the index table", [](TreeDesc& t) { t.leaves[13].first = 40; }},
  };
  for (const Case& c : cases) {
    TreeDesc t = SampleTree();
    c.damage(t);
    EOctree current(kMEMTYPE_Collision), old(kMEMTYPE_Collision);
    EXPECT_FALSE(ReadMemory(octreetest::CurrentLayout(t), current, 0, kCurrent)) << c.name;
    EXPECT_FALSE(ReadMemory(octreetest::OldLayout(t), old, 0, kOld)) << c.name;
    EXPECT_EQ(current.GetNodeCount(), 0u) << c.name;
    std::vector<Visit> visits;
    TraceCapture quiet;
    EXPECT_TRUE(current.Walk(nullptr, CollectLeaf, &visits, nullptr));
    EXPECT_TRUE(visits.empty());
  }
}

TEST_F(OctreeTest, StoredLeafCountMismatchIsReportedAndRefused) {
  std::vector<uint8_t> bytes = octreetest::CurrentLayout(SampleTree());
  // The stored leaf count follows the reserved word, the cube, both counts
  // and the two 24-byte nodes.
  size_t at = 4 + 16 + 8 + 2 * 24;
  ASSERT_EQ(bytes[at], 14);
  bytes[at] = 13;
  TraceCapture capture;
  EOctree tree(kMEMTYPE_Collision);
  EXPECT_FALSE(ReadMemory(bytes, tree, 0, kCurrent));
  EXPECT_TRUE(capture.Contains("dwStoredLeaves == m_nLeaf"));
}

TEST_F(OctreeTest, TruncatedDataIsRefusedAtEveryLength) {
  const std::vector<uint8_t> layouts[2] = {octreetest::CurrentLayout(SampleTree()),
                                           octreetest::OldLayout(SampleTree())};
  for (int k = 0; k < 2; k++) {
    const std::vector<uint8_t>& full = layouts[k];
    for (size_t n = 0; n < full.size(); n++) {
      std::vector<uint8_t> cut(full.begin(), full.begin() + n);
      EOctree tree(kMEMTYPE_Collision);
      ASSERT_FALSE(ReadMemory(cut, tree, 0, k == 0 ? kCurrent : kOld)) << k << " " << n;
      EXPECT_EQ(tree.FindNode(EVec3(), nullptr), EOctree::kNOT_FOUND);
    }
    EOctree tree(kMEMTYPE_Collision);
    EXPECT_TRUE(ReadMemory(full, tree, 0, k == 0 ? kCurrent : kOld));
  }
}

TEST_F(OctreeTest, HugeCountsInAShortFileAreRefused) {
  octreetest::Bytes b;
  b.U32(0);
  for (int i = 0; i < 4; i++) b.F32(1);
  b.U32(100);
  b.U32(0x3FFFFF);  // nodes promised, none present
  EOctree tree(kMEMTYPE_Collision);
  EXPECT_FALSE(ReadMemory(b.data(), tree, 0, kCurrent));
  octreetest::Bytes old;
  old.U32(0xFFFFFFFF);
  old.U32(1);
  old.U32(1);
  EXPECT_FALSE(ReadMemory(old.data(), tree, 0, kOld));
}

TEST_F(OctreeTest, FindNode) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(ReadMemory(octreetest::CurrentLayout(SampleTree()), tree, 0, kCurrent));
  ESSECube cell;
  EXPECT_EQ(tree.FindNode(EVec3(5, 5, 5), &cell), kLeaf | 6);
  EXPECT_EQ(cell.x, 4.0f);
  EXPECT_EQ(cell.h, 4.0f);
  // The root's centre lies on every centre plane: lower octant (node 1),
  // then upper in all three within it.
  EXPECT_EQ(tree.FindNode(EVec3(0, 0, 0), &cell), kLeaf | 13);
  EXPECT_EQ(cell.x, -2.0f);
  EXPECT_EQ(tree.FindNode(EVec3(8, 8, 8), nullptr), kLeaf | 6);  // on the root's face
  EXPECT_EQ(tree.FindNode(EVec3(-7, -1, -1), nullptr), kEmpty);  // node 1, octant 3
  EXPECT_EQ(tree.FindNode(EVec3(8.01f, 0, 0), nullptr), EOctree::kNOT_FOUND);

  EOctree empty(kMEMTYPE_Collision);
  EXPECT_EQ(empty.FindNode(EVec3(), nullptr), EOctree::kNOT_FOUND);
  TraceCapture capture;
  std::vector<Visit> visits;
  EXPECT_TRUE(empty.Walk(nullptr, CollectLeaf, &visits, nullptr));
  EXPECT_TRUE(capture.Contains("m_aNewNode"));
}

TEST_F(OctreeTest, BoundedWalks) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(ReadMemory(octreetest::CurrentLayout(SampleTree()), tree, 0, kCurrent));

  std::vector<Visit> visits;
  EBox3 inOne(EVec3(1, 1, 1), EVec3(2, 2, 2));
  EXPECT_TRUE(tree.Walk(nullptr, CollectLeaf, &visits, &inOne));
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{6}));

  // A box touching the X centre plane from below straddles it.
  visits.clear();
  EBox3 onPlane(EVec3(-1, 1, 1), EVec3(0, 2, 2));
  tree.Walk(nullptr, CollectLeaf, &visits, &onPlane);
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{2, 6}));

  visits.clear();
  EBox3 lowCorner(EVec3(-7, -7, -7), EVec3(-5, -5, -5));
  tree.Walk(nullptr, CollectLeaf, &visits, &lowCorner);
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{7}));

  visits.clear();
  EBox3 outside(EVec3(9, 9, 9), EVec3(10, 10, 10));
  EXPECT_TRUE(tree.Walk(nullptr, CollectLeaf, &visits, &outside));
  EXPECT_TRUE(visits.empty());

  // A leaf callback that stops on the first leaf stops the walk.
  int calls = 0;
  auto stop = [](const ESSECube*, void* user, unsigned, unsigned, unsigned) {
    ++*static_cast<int*>(user);
    return false;
  };
  EXPECT_FALSE(tree.Walk(nullptr, stop, &calls, nullptr));
  EXPECT_EQ(calls, 1);

  // A node callback refusing the root leaves nothing to visit.
  visits.clear();
  auto refuse = [](const ESSECube*, void*) { return false; };
  EXPECT_TRUE(tree.Walk(refuse, CollectLeaf, &visits, nullptr));
  EXPECT_TRUE(visits.empty());
  EBox3 all(EVec3(-8, -8, -8), EVec3(8, 8, 8));
  EXPECT_TRUE(tree.Walk(refuse, CollectLeaf, &visits, &all));
  EXPECT_TRUE(visits.empty());

  // The node callback sees both interior nodes, never a leaf.
  int nodes = 0;
  auto count = [](const ESSECube*, void* user) {
    ++*static_cast<int*>(static_cast<void**>(user)[0]);
    return true;
  };
  auto ignore = [](const ESSECube*, void*, unsigned, unsigned, unsigned) { return true; };
  void* user[1] = {&nodes};
  tree.Walk(count, ignore, user, nullptr);
  EXPECT_EQ(nodes, 2);
}

TEST_F(OctreeTest, SortedWalkAlongAnAxisAndAtAPoint) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(ReadMemory(octreetest::CurrentLayout(SampleTree()), tree, 0, kCurrent));

  std::vector<Visit> visits;
  EXPECT_TRUE(tree.SortedWalk(CollectSorted, &visits, EVec3(7, 1, 1), EVec3(-7, 1, 1)));
  // Along -X: the walk order (octant 3, then 7) reversed.
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{6, 2}));
  EXPECT_EQ(visits[0].first, 12u);

  visits.clear();
  EXPECT_TRUE(tree.SortedWalk(CollectSorted, &visits, EVec3(-7, 1, 1), EVec3(7, 1, 1)));
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{2, 6}));

  // A point: every leaf around it, t = 0, in reverse walk order.
  visits.clear();
  EXPECT_TRUE(tree.SortedWalk(CollectSorted, &visits, EVec3(0, 0, 0), EVec3(0, 0, 0)));
  EXPECT_EQ(Leaves(visits), (std::vector<unsigned>{6, 5, 4, 3, 2, 1, 0, 13}));
  for (const Visit& v : visits) EXPECT_EQ(v.t, 0.0f);
}

TEST_F(OctreeTest, SortedWalkOrdersLeavesAlongTheSegment) {
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(ReadMemory(octreetest::CurrentLayout(SampleTree()), tree, 0, kCurrent));
  const EVec3 from(-7.5f, -6.9f, -6.1f), to(7.2f, 6.3f, 7.7f);
  std::vector<Visit> visits;
  EXPECT_TRUE(tree.SortedWalk(CollectSorted, &visits, from, to));
  ASSERT_GE(visits.size(), 3u);
  for (size_t i = 0; i < visits.size(); i++) {
    const Visit& v = visits[i];
    if (i > 0) {
      EXPECT_GE(v.t, visits[i - 1].t);
    }
    // t is where the segment leaves the leaf's box.
    float enter, exit;
    ASSERT_TRUE(TWMath::FindIntersection(from, to - from, 1.0f, EBox3(v.cube), enter, exit));
    EXPECT_EQ(v.t, exit);
  }
  ESSECube first, last;
  EXPECT_EQ(kLeaf | visits.front().leaf, tree.FindNode(from, &first));
  EXPECT_EQ(kLeaf | visits.back().leaf, tree.FindNode(to, &last));
  EXPECT_EQ(visits.back().t, 1.0f);

  // Reversed, the same leaves come in the opposite order.
  std::vector<Visit> back;
  tree.SortedWalk(CollectSorted, &back, to, from);
  ASSERT_EQ(back.size(), visits.size());
  for (size_t i = 0; i < back.size(); i++) EXPECT_EQ(back[i].leaf, visits[visits.size() - 1 - i].leaf);

  // A callback that stops ends the walk.
  int calls = 0;
  auto stop = [](const ESSECube*, void* user, unsigned, unsigned, unsigned, float) {
    ++*static_cast<int*>(user);
    return false;
  };
  EXPECT_FALSE(tree.SortedWalk(stop, &calls, from, to));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(tree.SortedWalk(stop, &calls, EVec3(7, 1, 1), EVec3(-7, 1, 1)));
  EXPECT_EQ(calls, 2);
}

TEST_F(OctreeTest, SortedWalksNestWithinTheirCallbacks) {
  // The walk keeps its sorting state in the call: a walk started from a
  // callback of another does not disturb it.
  EOctree tree(kMEMTYPE_Collision);
  ASSERT_TRUE(ReadMemory(octreetest::CurrentLayout(SampleTree()), tree, 0, kCurrent));
  struct Ctx {
    EOctree* tree;
    std::vector<unsigned> outer;
    size_t inner = 0;
  } ctx{&tree, {}, 0};
  auto cb = [](const ESSECube*, void* user, unsigned, unsigned, unsigned leaf, float) {
    Ctx* c = static_cast<Ctx*>(user);
    c->outer.push_back(leaf);
    std::vector<Visit> inner;
    c->tree->SortedWalk(CollectSorted, &inner, EVec3(7.5f, 6.1f, -7), EVec3(-7.2f, -6.3f, 7.3f));
    c->inner += inner.size();
    return true;
  };
  tree.SortedWalk(cb, &ctx, EVec3(-7.5f, -6.9f, -6.1f), EVec3(7.2f, 6.3f, 7.7f));
  std::vector<Visit> plain;
  tree.SortedWalk(CollectSorted, &plain, EVec3(-7.5f, -6.9f, -6.1f), EVec3(7.2f, 6.3f, 7.7f));
  EXPECT_EQ(ctx.outer, Leaves(plain));
  EXPECT_GT(ctx.inner, 0u);
}

}  // namespace
