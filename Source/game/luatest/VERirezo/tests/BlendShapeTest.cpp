// Blend shapes: the model's name list, the blend-target and ".pbx" files,
// instancing and the refusals of damaged sets.
#include <cstring>
#include <string>
#include <vector>

#include "AnimTestUtil.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendShape.h"
#include "VERirezo/BlendShapeController.h"

namespace {

void ShapePut32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}
void ShapePutF(std::vector<uint8_t>& out, float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  ShapePut32(out, u);
}

struct ShapeVertex {
  uint32_t index;
  float x, y, z;
  uint32_t extra;
};
struct ShapeTarget {
  std::string name;
  std::vector<ShapeVertex> verts;
};

// The target block, from the target count on.
std::vector<uint8_t> TargetBlock(const std::vector<std::vector<float>>& basis, const std::vector<ShapeTarget>& targets,
                                 unsigned version, uint32_t count = 0xFFFFFFFF) {
  std::vector<uint8_t> out;
  ShapePut32(out, count == 0xFFFFFFFF ? (uint32_t)targets.size() : count);
  ShapePut32(out, (uint32_t)basis.size());
  for (const auto& b : basis)
    for (float f : b) ShapePutF(out, f);
  for (const ShapeTarget& t : targets) {
    out.push_back((uint8_t)(t.name.size() + 1));
    out.insert(out.end(), t.name.begin(), t.name.end());
    out.push_back(0);
    ShapePut32(out, (uint32_t)t.verts.size());
    for (const ShapeVertex& v : t.verts) {
      ShapePut32(out, v.index);
      ShapePutF(out, v.x);
      ShapePutF(out, v.y);
      ShapePutF(out, v.z);
      if (version > 100) ShapePut32(out, v.extra);
    }
  }
  return out;
}

std::vector<uint8_t> TargetFile(const std::vector<std::vector<float>>& basis, const std::vector<ShapeTarget>& targets,
                                unsigned version, uint32_t count = 0xFFFFFFFF) {
  std::vector<uint8_t> out;
  ShapePut32(out, 0x12345678);
  ShapePut32(out, version);
  std::vector<uint8_t> block = TargetBlock(basis, targets, version, count);
  out.insert(out.end(), block.begin(), block.end());
  return out;
}

std::vector<uint8_t> PbxFile(const std::vector<std::vector<uint32_t>>& frags) {
  std::vector<uint8_t> out;
  ShapePut32(out, 1);
  ShapePut32(out, 2);
  ShapePut32(out, (uint32_t)frags.size());
  for (const auto& f : frags) {
    ShapePut32(out, (uint32_t)f.size());
    for (uint32_t i : f) ShapePut32(out, i);
  }
  return out;
}

const std::vector<std::vector<float>> kBasis = {{1, 1, 1}, {0, 0, 0}, {5, 5, 5}};

}  // namespace

TEST(BlendShapeController, NamesGetWeightIndices) {
  EBlendShapeController names;
  EXPECT_EQ(0u, names.AddBlendMapping("Smile"));
  EXPECT_EQ(1u, names.AddBlendMapping("Blink"));
  EXPECT_EQ(0u, names.AddBlendMapping("Smile"));
  EXPECT_EQ(2, names.GetNumMappings());
  EXPECT_EQ(2u, names.AddBlendMapping("smile"));
  EXPECT_STREQ("smile", names.GetMappingName(2));
}

class BlendShapeTest : public AnimTest {};

TEST_F(BlendShapeTest, TargetsBecomeOffsets) {
  const std::vector<ShapeTarget> targets = {{"Smile", {{0, 1, 2, 3, 77}, {2, 5, 6, 5, 78}}}, {"Blink", {}}};
  WriteBytes("face/v100.tgt", TargetFile(kBasis, targets, 100));
  WriteBytes("face/v100.pbx", PbxFile({{0, 1, 70000}, {}}));
  WriteBytes("face/v101.tgt", TargetFile(kBasis, targets, 101));
  WriteBytes("face/v101.pbx", PbxFile({{2}}));
  struct Case {
    const char* path;
    unsigned version;
    EVec3 first;
    uint32_t extra;
    unsigned fragments;
  } cases[] = {
      {"face/v100.tgt", 100, EVec3(0, 1, 2), 0, 2},
      {"face/v101.tgt", 101, EVec3(1, 2, 3), 77, 1},
  };
  for (const Case& c : cases) {
    EBlendShape shape;
    EXPECT_TRUE(shape.load(c.path)) << AllLines();
    EXPECT_EQ(c.version, shape.getVersion());
    ASSERT_EQ(2u, shape.numBlendTargets());
    ASSERT_EQ(3u, shape.blendBasis()->numVertices());
    const EBlendTarget* smile = shape.blendTargets(0);
    ASSERT_EQ(2u, smile->numVertices());
    EXPECT_EQ(c.first.x, smile->vertices()[0].m_vOffset.x);
    EXPECT_EQ(c.first.y, smile->vertices()[0].m_vOffset.y);
    EXPECT_EQ(c.first.z, smile->vertices()[0].m_vOffset.z);
    EXPECT_EQ(c.extra, smile->vertices()[0].m_uExtra);
    EXPECT_EQ(2u, smile->vertices()[1].m_uIndex);
    EXPECT_EQ(c.fragments, shape.numBlendFragments());
    EXPECT_EQ(0, shape.targetIndex("SMILE"));
    EXPECT_EQ(1, shape.targetIndex("blink"));
    EXPECT_EQ(-1, shape.targetIndex("Frown"));
  }
  EBlendShape shape;
  ASSERT_TRUE(shape.load("face/v100.tgt"));
  ASSERT_EQ(3u, shape.blendFragments(0)->numIndices());
  EXPECT_EQ(4464, shape.blendFragments(0)->index(2));
  EXPECT_EQ(0u, shape.blendFragments(1)->numIndices());

  // Channels named after the targets, then bound to them by name.
  EBlendAnimShared data;
  data.createChannels(2, 1);
  data.copyChannelNames(shape);
  data.getChannel(1)->setSample(0, 1.0f);
  data.getChannel(0)->setName("BLINK");
  EBlendAnim anim;
  anim.m_pShared = &data;
  anim.dynamicBind(&shape);
  EXPECT_EQ(1, anim.getChannelMap()[0]);
  EXPECT_EQ(1, anim.getChannelMap()[1]);
  EXPECT_STREQ("Blink", data.getChannel(1)->getName());
  anim.m_pShared = nullptr;
}

TEST_F(BlendShapeTest, StreamAndInstances) {
  std::vector<uint8_t> block = TargetBlock(kBasis, {{"Jaw", {{1, 0.5f, 0, 0, 9}}}}, 101);
  WriteBytes("face/head.dat", block);
  WriteBytes("face/head.pbx", PbxFile({{0, 1, 2}}));
  // A stream named as scene data names its files.
  struct NamedReader : EMemReader {
    NamedReader(const std::vector<uint8_t>& b) : EMemReader(b.data(), (unsigned)b.size()) {}
    const char* GetName() override { return "face/head.dat"; }
  } reader(block);
  EBlendShape* shape = new EBlendShape();
  ASSERT_TRUE(shape->load(reader)) << AllLines();
  EXPECT_EQ(101u, shape->getVersion());
  EXPECT_EQ(9u, shape->blendTargets(0)->vertices()[0].m_uExtra);
  EXPECT_EQ(1u, shape->numBlendFragments());

  EXPECT_EQ(shape, shape->Instantiate());
  EBlendShape* copy = static_cast<EBlendShape*>(shape->Instantiate());
  ASSERT_NE(shape, copy);
  EXPECT_EQ(shape, copy->getSource());
  EXPECT_EQ(shape->blendTargets(0), copy->blendTargets(0));
  EXPECT_EQ(shape->blendBasis(), copy->blendBasis());
  EXPECT_EQ(2, shape->GetRefCount());
  copy->DestroyInstance();
  delete copy;
  EXPECT_EQ(1, shape->GetRefCount());
  EXPECT_STREQ("Jaw", shape->blendTargets(0)->getName());
  EXPECT_EQ(0.5f, shape->blendTargets(0)->vertices()[0].m_vOffset.x);
  EXPECT_EQ(3u, shape->blendFragments(0)->numIndices());

  m_Lines.clear();
  shape->DumpInfo(nullptr);
  EXPECT_EQ(1, CountLines("Total vertices in mesh = 3")) << AllLines();
  EXPECT_EQ(1, CountLines("Max deviation = 0.5")) << AllLines();
  shape->DestroyInstance();
  delete shape;
}

TEST_F(BlendShapeTest, DamagedSetsAreRefusedWhole) {
  std::vector<ShapeTarget> many(64, ShapeTarget{"t", {}});
  WriteBytes("bad/many.tgt", TargetFile(kBasis, many, 101));
  WriteBytes("bad/past.tgt", TargetFile(kBasis, {{"A", {{0, 1, 1, 1, 0}}}, {"B", {{3, 0, 0, 0, 0}}}}, 100));
  WriteBytes("bad/cut.tgt", TargetFile(kBasis, {{"A", {{0, 1, 1, 1, 0}}}}, 100, 2));
  std::vector<uint8_t> huge = TargetFile(kBasis, {}, 101);
  huge[12] = 0xFF;
  huge[15] = 0x7F;  // a basis far longer than the file
  WriteBytes("bad/huge.tgt", huge);
  std::vector<uint8_t> pbx = PbxFile({{1, 2}});
  pbx[12] = 0xF0;  // more indices than the file holds
  WriteBytes("bad/cut.pbx", pbx);
  WriteBytes("bad/noext", TargetFile(kBasis, {}, 101));
  struct Case {
    std::string path;
    const char* trace;
  } cases[] = {
      {"bad/many.tgt", "more than 63 targets"},
      {"bad/past.tgt", "target vertex past the basis"},
      {"bad/cut.tgt", "data cut short"},
      {"bad/huge.tgt", "data cut short"},
      {"bad/noext", "path without an extension"},
      {"bad/" + std::string(260, 'x') + ".tgt", "path too long"},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    EBlendShape shape;
    EXPECT_FALSE(shape.load(c.path.c_str()));
    EXPECT_EQ(0u, shape.numBlendTargets()) << c.path;
    EXPECT_EQ(nullptr, shape.blendBasis()) << c.path;
    EXPECT_EQ(-1, shape.targetIndex("A"));
    EXPECT_EQ(0u, shape.numBlendFragments()) << c.path;
    EXPECT_EQ(1, CountLines(c.trace)) << c.path << "\n" << AllLines();
  }
  // Missing files leave the set empty without a word.
  m_Lines.clear();
  EBlendShape shape;
  EXPECT_FALSE(shape.load("nothere/face.tgt"));
  EXPECT_EQ(0u, shape.numBlendTargets());
  EXPECT_EQ("", AllLines());
}
