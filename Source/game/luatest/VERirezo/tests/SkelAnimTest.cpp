// Skeletal animation files: loading both versions, sampling, stubs.
#include <cstring>

#include "AnimTestUtil.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"
#include "VERirezo/SkelAnim.h"

namespace {

// Three joints: the root with positions and rotations, a child with
// compressed rotations, a grandchild with a scale.
const char* const kThreeJoints =
    "mode 0\n"
    "length 12\n"
    "joint Root 0\n"
    "pos 0: 0 0 0, 10: 10 20 30\n"
    "rot 0: 0 0 0 1, 10: 0 0.70710678 0 0.70710678\n"
    "joint Spine 1\n"
    "rotcomp 0: 0 0 0 1, 10: 0 0.70710678 0 0.70710678\n"
    "joint Head 2\n"
    "scale 0: 1 1 1, 10: 3 3 3, 20: 5 5 5\n";

std::string JanVersion(int v, const char* body) { return "version " + std::to_string(v) + "\n" + body; }

void SkelExpectVec(const EVec3& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(x, v.x);
  EXPECT_FLOAT_EQ(y, v.y);
  EXPECT_FLOAT_EQ(z, v.z);
}

}  // namespace

class SkelAnimTest : public AnimTest {
protected:
  // Loads bytes as an animation named like a file; false when refused.
  bool Load(ESkelAnimShared& anim, const std::vector<uint8_t>& bytes, const char* name = "anims\\t.jan") {
    WriteBytes("anims/t.jan", bytes);
    return anim.Init(name);
  }
};

TEST_F(SkelAnimTest, Version201LoadsJointsAndSamples) {
  ESkelAnimShared anim;
  ASSERT_TRUE(Load(anim, Jan(JanVersion(201, kThreeJoints))));
  EXPECT_EQ(3, anim.GetNumJoints());
  EXPECT_EQ(3, anim.GetNumLoadedJoints());
  EXPECT_EQ(12, anim.GetAnimLength());
  EXPECT_STREQ("Root", anim.GetRootName());
  EXPECT_STREQ("anims\\t.jan", anim.GetName());
  EXPECT_FALSE(anim.GetReloadNeeded());
  EXPECT_EQ(anim.GetAnim(2), anim.GetAnim(99)) << "an index past the last joint gives the last";
  EXPECT_EQ(10, anim.GetLoadedDeltaTransLength());

  const EKeyframeChannelVec3* pos = anim.GetAnim(0)->m_pPos;
  ASSERT_NE(nullptr, pos);
  SkelExpectVec(pos->GetValue(5.0f, nullptr), 5, 10, 15);
  SkelExpectVec(pos->GetValue(-3.0f, nullptr), 0, 0, 0);
  SkelExpectVec(pos->GetValue(10.0f, nullptr), 10, 20, 30);
  SkelExpectVec(pos->GetValue(40.0f, nullptr), 10, 20, 30);
  SkelExpectVec(pos->GetFinalValue(), 10, 20, 30);

  const EQuat q = anim.GetAnim(0)->m_pRot->GetValue(5.0f, nullptr);
  EXPECT_NEAR(0.0f, q.x, 1e-6f);
  EXPECT_NEAR(0.3826834f, q.y, 1e-6f);
  EXPECT_NEAR(0.0f, q.z, 1e-6f);
  EXPECT_NEAR(0.9238795f, q.w, 1e-6f);
  EXPECT_EQ(nullptr, anim.GetAnim(0)->m_pRotComp);

  ASSERT_NE(nullptr, anim.GetAnim(1)->m_pRotComp);
  const EQuat c = anim.GetAnim(1)->m_pRotComp->GetValue(5.0f, nullptr);
  EXPECT_NEAR(0.3826834f, c.y, 2e-4f);
  EXPECT_NEAR(0.9238795f, c.w, 2e-4f);
  EXPECT_NEAR(0.0f, c.x, 2e-4f);

  // Hints: played forward they follow the keys; a hint beyond t restarts.
  const EKeyframeChannelVec3* scale = anim.GetAnim(2)->m_pScale;
  ASSERT_NE(nullptr, scale);
  uint16_t hint = 0;
  SkelExpectVec(scale->GetValue(15.0f, &hint), 4, 4, 4);
  EXPECT_EQ(1, hint);
  SkelExpectVec(scale->GetValue(5.0f, &hint), 2, 2, 2);
  EXPECT_EQ(0, hint);
  SkelExpectVec(scale->GetValue(25.0f, &hint), 5, 5, 5);
  EXPECT_EQ(2, hint);
  hint = 7;  // past the key count: ignored
  SkelExpectVec(scale->GetValue(12.5f, &hint), 3.5f, 3.5f, 3.5f);
  EXPECT_EQ(1, hint);
}

TEST_F(SkelAnimTest, Version200LoadsToTheSameRecords) {
  ESkelAnimShared a201, a200;
  ASSERT_TRUE(Load(a201, Jan(JanVersion(201, kThreeJoints))));
  ASSERT_TRUE(Load(a200, Jan(JanVersion(200, kThreeJoints))));
  EXPECT_EQ(200u, a200.GetHeader()->fileVersion);
  EXPECT_EQ(3, a200.GetNumLoadedJoints());
  ASSERT_EQ(a201.m_Data.Num(), a200.m_Data.Num());
  EXPECT_EQ(0, memcmp(a201.m_Data.GetData(), a200.m_Data.GetData(), a201.m_Data.Num()));
  EXPECT_EQ(a201.m_ChannelHeaders.Num(), a200.m_ChannelHeaders.Num());
  EXPECT_EQ(a201.GetSize(), a200.GetSize());
  EXPECT_EQ(10, a200.GetAnimLength()) << "the last key of the root's channels";
  SkelExpectVec(a200.GetAnim(0)->m_pPos->GetValue(5.0f, nullptr), 5, 10, 15);

  // Without position or rotation keys on the first joint the length is 1.
  ESkelAnimShared bare;
  ASSERT_TRUE(Load(bare, Jan("version 200\njoint Root 0\nscale 0: 1 1 1, 30: 2 2 2\n")));
  EXPECT_EQ(1, bare.GetAnimLength());
}

TEST_F(SkelAnimTest, Version200RootDeltasBecomePositions) {
  struct Case {
    int mode;
    EVec3 second;
  } cases[] = {
      {TRANS_None, EVec3(1, 7, 0)},
      {TRANS_XZ, EVec3(2, 7, 0)},
      {TRANS_XYZ, EVec3(2, 12, 0)},
      {TRANS_STRIPTRANS, EVec3(2, 7, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    std::string text = "version 200\nmode " + std::to_string(c.mode) +
                       "\njoint Root 0\npos 0: 1 5 0, 1: 1 7 0\njoint Arm 1\npos 0: 1 5 0, 1: 1 7 0\n";
    ESkelAnimShared anim;
    ASSERT_TRUE(Load(anim, Jan(text)));
    const EKeyframeChannelVec3* root = anim.GetAnim(0)->m_pPos;
    SkelExpectVec(root->GetKeyValue(0), 1, 5, 0);
    SkelExpectVec(root->GetKeyValue(1), c.second.x, c.second.y, c.second.z);
    SkelExpectVec(anim.GetAnim(1)->m_pPos->GetKeyValue(1), 1, 7, 0);
  }
}

TEST_F(SkelAnimTest, Version200ConstantChannelsBecomeOneKey) {
  ESkelAnimShared anim;
  ASSERT_TRUE(Load(anim, Jan("version 200\njoint Root 0\nconst rot 0 0.6 0 0.8\nconst pos 4 5 6\n"
                             "pos 0: 1 1 1, 3: 2 2 2\n")));
  EXPECT_EQ(0u, anim.GetHeader()->nNullRotKeys);
  EXPECT_EQ(0u, anim.GetHeader()->nNullPosKeys);
  const EKeyframeChannelQuat* rot = anim.GetAnim(0)->m_pRot;
  ASSERT_NE(nullptr, rot);
  EXPECT_EQ(1, rot->m_nKeys);
  EXPECT_EQ(0, rot->GetFinalTime());
  EXPECT_FLOAT_EQ(0.6f, rot->GetValue(20.0f, nullptr).y);
  // Of two position channels the later wins.
  EXPECT_EQ(2, anim.GetAnim(0)->m_pPos->m_nKeys);
}

// Damaged files are refused with the reason traced; nothing is kept.
TEST_F(SkelAnimTest, DamagedFilesAreRefused) {
  const std::vector<uint8_t> good = Jan(JanVersion(201, kThreeJoints));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    const char* trace;
  };
  std::vector<Case> cases;
  auto patched = [&](size_t at, std::vector<uint8_t> with) {
    std::vector<uint8_t> b = good;
    memcpy(&b[at], with.data(), with.size());
    return b;
  };
  cases.push_back({"magic", patched(0, {'X', 'X', 'X', 'X'}), "Not an animation file 'anims\\t.jan'"});
  cases.push_back({"version", patched(4, {202, 0, 0, 0}), "Unsupported anim version 0xca 'anims\\t.jan'"});
  cases.push_back({"joints", patched(13, {4}), "m_Anims.Num() == m_Anims.Max()"});
  cases.push_back({"fewer joints", patched(13, {2}), "m_Anims.Num() == m_Anims.Max()"});
  cases.push_back({"channels", patched(14, {3}), "m_ChannelHeaders.Num() == m_ChannelHeaders.Max()"});
  cases.push_back({"mode and flags", patched(8, {1, 0, 12, 0, 1}), "(header.eTranslateMode & header.iFlags) == 0"});
  // The root's first channel: kind at 18 + 4 + 5 + 2.
  cases.push_back({"kind", patched(29, {9, 0}), "false"});
  cases.push_back({"no keys", patched(31, {0, 0}), "nKeys > 0"});
  cases.push_back({"key count", patched(31, {0xff, 0x7f}), "uBytes <= uBytesLeft"});
  cases.push_back({"name length", patched(18, {0xff, 0xff, 0xff, 0x0f}), "uBytes <= uBytesLeft"});
  cases.push_back({"empty", {}, "Not an animation file"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_Lines.clear();
    ESkelAnimShared anim;
    EXPECT_FALSE(Load(anim, c.bytes));
    EXPECT_EQ(1, CountLines(c.trace)) << AllLines();
    EXPECT_EQ(0, anim.GetNumLoadedJoints());
    EXPECT_EQ(0, anim.m_Data.Num());
  }
  // Every truncation of a good file, of either version, is refused.
  for (int v : {200, 201}) {
    const std::vector<uint8_t> full = Jan(JanVersion(v, kThreeJoints));
    for (size_t n = 0; n < full.size(); ++n) {
      ESkelAnimShared anim;
      EMemReader reader(full.data(), (unsigned)n);
      EXPECT_FALSE(anim.InitFromFile(reader, (unsigned)n)) << v << " cut at " << n;
    }
  }
  ESkelAnimShared missing;
  EXPECT_FALSE(missing.Init("anims\\none.jan"));
  EXPECT_EQ(1, CountLines("Could not open 'anims\\none.jan'"));
  EXPECT_FALSE(missing.Init(""));
}

TEST_F(SkelAnimTest, DiscardKeepsTheRootTranslationAndReloads) {
  const std::vector<uint8_t> bytes = Jan(std::string("version 201\nmode 2\nlength 12\n") + (strstr(kThreeJoints, "joint")));
  ESkelAnimShared anim;
  ASSERT_TRUE(Load(anim, bytes));
  const int iFull = anim.GetSize();
  anim.DiscardData();
  EXPECT_TRUE(anim.GetReloadNeeded());
  EXPECT_EQ(1, anim.GetNumLoadedJoints());
  EXPECT_EQ(3, anim.GetNumJoints());
  EXPECT_EQ(10, anim.GetLoadedDeltaTransLength());
  SkelExpectVec(anim.GetAnim(0)->m_pPos->GetValue(5.0f, nullptr), 5, 10, 15);
  EXPECT_EQ(nullptr, anim.GetAnim(0)->m_pRot);
  const int iStub = anim.GetSize();
  EXPECT_LT(iStub, iFull);
  anim.DiscardData();
  EXPECT_EQ(iStub, anim.GetSize()) << "discarding a stub changes nothing";

  // A damaged image leaves the stub and ends the reload.
  anim.m_bReloadInProgress = true;
  std::vector<uint8_t> bad = bytes;
  bad[0] = 'Q';
  EXPECT_FALSE(anim.ReloadData(bad.data(), (unsigned)bad.size()));
  EXPECT_TRUE(anim.GetReloadNeeded());
  EXPECT_FALSE(anim.GetReloadInProgress());
  EXPECT_EQ(iStub, anim.GetSize());

  anim.m_bReloadInProgress = true;
  EXPECT_TRUE(anim.ReloadData(bytes.data(), (unsigned)bytes.size()));
  EXPECT_FALSE(anim.GetReloadNeeded());
  EXPECT_FALSE(anim.GetReloadInProgress());
  EXPECT_EQ(3, anim.GetNumLoadedJoints());
  EXPECT_EQ(iFull, anim.GetSize());
  EXPECT_STREQ("Root", anim.GetRootName());

  // Without root translation a discarded animation keeps no joint.
  ESkelAnimShared still;
  ASSERT_TRUE(Load(still, Jan(JanVersion(201, kThreeJoints))));
  still.DiscardData();
  EXPECT_EQ(0, still.GetNumLoadedJoints());
  EXPECT_EQ(0, still.GetLoadedDeltaTransLength());
  EXPECT_EQ((int)sizeof(ESkelAnimShared), still.GetSize());
}
