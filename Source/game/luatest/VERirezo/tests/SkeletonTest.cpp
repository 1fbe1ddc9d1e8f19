// Skeletons, joints and skeletal animation instances: the skeleton and
// joint records, the animation table, playback, the blend into the joints,
// root motion and the pose matrices.
#include <cmath>
#include <new>

#include "AnimTestUtil.h"
#include "Event/EEventAnim.h"
#include "Event/EEventAnimManager.h"
#include "Game/PCGameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "SkeletonWriter.h"
#include "TWUtil/EStream.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/SkelAnim.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"

namespace {

std::vector<uint8_t> SkeletonBytes(const SkeletonDesc& d, int version) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(WriteSkeleton(out, d, version, error)) << error;
  return out;
}

// Root "Root" with children "Arm" and "Eye"; Eye is a billboard joint.
SkeletonDesc ThreeJoints() {
  SkeletonDesc d;
  d.name = "Body";
  d.joints.resize(3);
  d.joints[0].name = "Root";
  d.joints[1].name = "Arm";
  d.joints[1].parent = 0;
  d.joints[1].position[0] = 10.0f;
  d.joints[1].euler[1] = 90.0f;
  d.joints[2].name = "Eye";
  d.joints[2].parent = 0;
  d.joints[2].euler[0] = d.joints[2].euler[1] = d.joints[2].euler[2] = -1.0f;
  return d;
}

// Root "J0" at the origin and its child "J1" at (10, 0, 0).
SkeletonDesc TwoJoints() {
  SkeletonDesc d = MakeChainSkeleton("Body", 2);
  d.joints[1].position[0] = 10.0f;
  return d;
}

bool Near(const EVec3& a, const EVec3& b, float eps = 1e-4f) {
  return fabsf(a.x - b.x) <= eps && fabsf(a.y - b.y) <= eps && fabsf(a.z - b.z) <= eps;
}

std::string Str(const EVec3& v) {
  char s[96];
  snprintf(s, sizeof(s), "(%g, %g, %g)", v.x, v.y, v.z);
  return s;
}

// An owner that records the root motion handed to it.
class MotionOwner : public EMeshEntity {
public:
  explicit MotionOwner(const char* szName) : EMeshEntity(nullptr, szName) {}
  void ApplyAnimTranslation(const EVec3& v, ESkelAnim* pAnim) override {
    m_vTotal += v;
    m_pLastAnim = pAnim;
    ++m_nCalls;
  }
  EVec3 m_vTotal;
  ESkelAnim* m_pLastAnim = nullptr;
  int m_nCalls = 0;
};

}  // namespace

// ---------------------------------------------------------------- records

class SkeletonRecord : public AnimTest {
protected:
  // Reads a record; the skeleton is deleted by the fixture.
  ESkeleton* Read(const std::vector<uint8_t>& bytes, int version, bool bExpect = true) {
    ESkeleton* p = new ESkeleton;
    m_Owned.emplace_back(p);
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    EXPECT_EQ(bExpect, p->Read(reader, (unsigned)version)) << AllLines();
    return p;
  }
  std::vector<std::unique_ptr<ESkeleton>> m_Owned;
};

TEST_F(SkeletonRecord, ThreeJointsReadAtBothVersions) {
  for (int version : {318, 294}) {
    SCOPED_TRACE(version);
    const std::vector<uint8_t> bytes = SkeletonBytes(ThreeJoints(), version);
    ESkeleton* s = Read(bytes, version);
    ASSERT_EQ(3, s->GetNumJoints());
    EXPECT_STREQ("Body", s->GetName());
    EJoint* j = s->GetJoints();
    EXPECT_EQ(j, s->GetRootJoint());
    EXPECT_EQ(0x06, j[0].m_byFlags);
    EXPECT_EQ(255, j[0].m_byParent);
    EXPECT_EQ(0, j[1].m_byParent);
    EXPECT_EQ(2, j[1].m_bySibling);
    EXPECT_EQ(0, j[1].m_byFlags);
    EXPECT_EQ(0, j[2].m_byParent);
    EXPECT_EQ(255, j[2].m_bySibling);
    EXPECT_EQ(0x08, j[2].m_byFlags);
    const EQuat q = j[2].GetModelJoint()->m_qBaseRotation;
    EXPECT_TRUE(q.x == 0 && q.y == 0 && q.z == 0 && q.w == 1);
    EXPECT_STREQ("Arm", j[1].GetName());
    EXPECT_TRUE(Near(j[1].m_vLocalPosition, EVec3(10, 0, 0)));
    EXPECT_NEAR(0.70710678f, fabsf(j[1].m_qLocalRotation.y), 1e-5f);
    EXPECT_EQ(&j[2], s->GetJointFromID(0x1002));
    EXPECT_EQ(nullptr, s->GetJointFromID(0x0003));
    EXPECT_EQ(&j[1], j[0].FindJoint("aRM"));
    // The base pose: skinning matrices start as the identity.
    for (int i = 0; i < 3; ++i)
      for (int k = 0; k < 16; ++k) EXPECT_NEAR(cg_mIdentity.m[k], j[i].m_mSkinning.m[k], 1e-5f) << i << " " << k;
  }
}

TEST_F(SkeletonRecord, OnlyExactlyMinusOnesMakeABillboard) {
  SkeletonDesc d = ThreeJoints();
  d.joints[2].euler[2] = -0.999f;
  ESkeleton* s = Read(SkeletonBytes(d, 318), 318);
  EJoint& eye = s->GetJoints()[2];
  EXPECT_EQ(0, eye.m_byFlags & EJoint::kFLAG_Billboard);
  EXPECT_GT(fabsf(eye.m_qLocalRotation.w - 1.0f), 1e-6f) << "an ordinary rotation";
}

TEST_F(SkeletonRecord, TheLargestSkeletonReadsAndLargerOnesAreRefused) {
  ESkeleton* big = Read(SkeletonBytes(MakeChainSkeleton("Chain", 255), 318), 318);
  ASSERT_EQ(255, big->GetNumJoints());
  EXPECT_EQ(253, big->GetJoints()[254].m_byParent);
  EXPECT_EQ(&big->GetJoints()[254], big->GetRootJoint()->FindJoint("j254"));

  ESkeleton* tooBig = Read(SkeletonBytes(MakeChainSkeleton("Chain", 256), 318), 318, false);
  EXPECT_EQ(0, tooBig->GetNumJoints());
  EXPECT_EQ(nullptr, tooBig->GetRootJoint());
  EXPECT_EQ(1, CountLines("m_pModelSkeleton->m_nJoints <= MAX_JOINTS"));
}

// Damaged records fail the read cleanly with a trace instead of stopping the
// program or writing past the joint array.
TEST_F(SkeletonRecord, DamagedRecordsAreRefused) {
  struct Case {
    const char* what;
    int64_t count;     // joint count written, -1 the real one
    int badChild;      // joint whose id is written wrong, -1 none
    const char* trace;
  };
  const Case cases[] = {
      {"more nested records than joints", 2, -1, "pCurChild < pJointsEnd"},
      {"a joint count of zero", 0, -1, "pCurChild < pJointsEnd"},
      {"a child id that does not match", -1, 2, "pCurChild->m_byIndex == (BYTE)idChild"},
      {"a count of 1000", 1000, -1, "m_pModelSkeleton->m_nJoints <= MAX_JOINTS"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    m_Lines.clear();
    SkeletonDesc d = ThreeJoints();
    d.jointCountOverride = c.count;
    if (c.badChild >= 0) d.joints[c.badChild].idOverride = 7;
    ESkeleton* s = Read(SkeletonBytes(d, 318), 318, false);
    EXPECT_EQ(0, s->GetNumJoints());
    EXPECT_EQ(nullptr, s->GetJoints());
    EXPECT_EQ(1, CountLines(c.trace)) << AllLines();
  }
  // Every cut of a good record fails too.
  const std::vector<uint8_t> bytes = SkeletonBytes(ThreeJoints(), 318);
  for (size_t n = 0; n < bytes.size(); ++n) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + (long)n);
    ESkeleton* s = Read(cut, 318, false);
    EXPECT_EQ(nullptr, s->GetRootJoint()) << n;
  }
}

TEST_F(SkeletonRecord, ACopySharesTheModelSkeletonAndPlaysNothing) {
  ESkeleton* s = Read(SkeletonBytes(ThreeJoints(), 318), 318);
  s->GetJoints()[1].m_vLocalPosition = EVec3(1, 2, 3);
  ESkeleton* copy = new ESkeleton(*s);
  EXPECT_EQ(s->GetModelSkeleton(), copy->GetModelSkeleton());
  EXPECT_TRUE(copy->HasSharedModel());
  EXPECT_TRUE(copy->GetAnimsChanged());
  EXPECT_EQ(0, copy->GetSkelAnims().GetCount());
  EXPECT_EQ(copy->GetJoints(), copy->GetRootJoint());
  EXPECT_EQ(copy, copy->GetJoints()[2].GetSkeleton());
  EXPECT_EQ(0x08, copy->GetJoints()[2].m_byFlags);
  EXPECT_TRUE(Near(copy->GetJoints()[1].m_vLocalPosition, EVec3(10, 0, 0))) << "copies start at the base pose";
  delete copy;
  EXPECT_STREQ("Arm", s->GetJoints()[1].GetName()) << "the model skeleton outlives the copy";
}

TEST_F(SkeletonRecord, ConstraintsFollowAJointAndSkeletonScaleReachesOnlySkinning) {
  ESkeleton* a = Read(SkeletonBytes(TwoJoints(), 318), 318);
  ESkeleton* b = Read(SkeletonBytes(TwoJoints(), 318), 318);
  EXPECT_FALSE(b->Constrain(nullptr));
  EXPECT_TRUE(b->Constrain(&a->GetJoints()[1]));
  EXPECT_FALSE(b->Constrain(&a->GetJoints()[0])) << "the first constraint stays";
  EXPECT_EQ(&a->GetJoints()[1], b->m_pConstraint);

  a->m_vScale = EVec3(2, 2, 2);
  EXPECT_TRUE(a->Transform());
  const EJoint& arm = a->GetJoints()[1];
  EXPECT_TRUE(Near(arm.m_mPose.GetTranslation(), EVec3(10, 0, 0))) << "the pose is unscaled";
  EXPECT_NEAR(2.0f, arm.m_mSkinning.m[0], 1e-5f);
  EXPECT_TRUE(Near(arm.m_mSkinning.GetTranslation(), EVec3(0, 0, 0)));
  EXPECT_TRUE(Near(arm.GetTransNoScale().GetTranslation(), EVec3(20, 0, 0)));
  EXPECT_NEAR(2.0f, arm.GetTransWithScale().m[5], 1e-5f);
  EXPECT_NEAR(1.0f, arm.GetTransNoScale().m[5], 1e-5f);

  // Under the constraint: the joint's scaled matrix, the own scale ignored.
  b->m_vScale = EVec3(3, 3, 3);
  EXPECT_TRUE(b->Transform());
  EXPECT_TRUE(Near(b->GetJoints()[0].m_mPose.GetTranslation(), EVec3(20, 0, 0)))
      << Str(b->GetJoints()[0].m_mPose.GetTranslation());
  EXPECT_TRUE(Near(b->GetJoints()[1].m_mPose.GetTranslation(), EVec3(40, 0, 0)))
      << Str(b->GetJoints()[1].m_mPose.GetTranslation());
  EXPECT_NEAR(2.0f, b->GetJoints()[1].m_mSkinning.m[0], 1e-5f);

  ESkeleton empty;
  EXPECT_FALSE(empty.Transform());
}

// ---------------------------------------------------------------- playback

namespace {
const char* const kHold =  // 30 frames, the root still at the origin
    "version 201\nlength 30\njoint J0 0\npos 0: 0 0 0, 30: 0 0 0\njoint J1 1\n";
}  // namespace

class SkelAnimPlay : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    ASSERT_TRUE(EAnimManager::Create(0));
    m_pMesh = new EMesh;
    m_pMesh->SetScale(EVec3(1, 1, 1));
    ESkeleton* s = new ESkeleton;
    const std::vector<uint8_t> bytes = SkeletonBytes(TwoJoints(), 318);
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    ASSERT_TRUE(s->Read(reader, 318));
    m_pMesh->AddSkeleton(s);
    m_pMesh->AddAffector(new EJointAnimAffector);
  }
  void TearDown() override {
    delete m_pMesh;
    if (m_pOwner) {
      m_pOwner->SetScriptObject(nullptr);
      delete m_pOwner;
    }
    if (m_pScript) {
      m_pScript->FreeMessages();
      delete m_pScript;
    }
    if (m_pVM && m_pVM->IsInitialised()) m_pVM->Shutdown();
    m_pVM.reset();
    EAnimManager::Destroy();
    AnimTest::TearDown();
  }
  ESkeleton* Skel() { return m_pMesh->GetSkeleton(0); }
  EJoint* Joint(int i) { return &Skel()->GetJoints()[i]; }
  // Writes the animation file and starts it.
  ESkelAnim* Play(const char* szName, const char* szText, bool bLoop = true, int iPriority = 0,
                  float fBlend = 0.0f) {
    WriteBytes(szName, Jan(szText));
    ELoadAnimArgs args;
    args.m_iPriority = iPriority;
    return m_pMesh->ReadSkelAnim(szName, fBlend, bLoop, args);
  }
  std::string Order() {
    std::string s;
    for (POSITION pos = Skel()->GetSkelAnims().GetHeadPosition(); pos;) {
      ESkelAnim* p = Skel()->GetSkelAnims().GetNext(pos);
      s += std::string(s.empty() ? "" : " ") + p->GetName();
    }
    return s;
  }
  MotionOwner* MakeOwner() {
    m_pOwner = new MotionOwner("Hero");
    m_pMesh->SetOwner(m_pOwner);
    return m_pOwner;
  }
  // Queued messages need a running interpreter.
  EScriptObject* MakeScript() {
    m_pVM.reset(new EScriptVM);
    m_pVM->Initialise();
    MakeOwner();
    m_pScript = new EScriptObject;
    m_pOwner->SetScriptObject(m_pScript);
    return m_pScript;
  }

  EMesh* m_pMesh = nullptr;
  MotionOwner* m_pOwner = nullptr;
  EScriptObject* m_pScript = nullptr;
  std::unique_ptr<EScriptVM> m_pVM;
};

TEST_F(SkelAnimPlay, TheTableKeepsPriorityOrderAndEjectsOnlyUnlockedPriorityZero) {
  Play("a.jan", kHold, true, 1);
  Play("b.jan", kHold, true, 0);
  Play("c.jan", kHold, true, 1);
  Play("d.jan", kHold, true, 2);
  EXPECT_EQ("b.jan a.jan c.jan d.jan", Order());
  Skel()->RemoveAllSkelAnims(true);

  // Eight of priority 0, two locked: the ninth ejects the six others.
  MakeOwner();
  for (int i = 0; i < 8; ++i) {
    ESkelAnim* p = Play(("p" + std::to_string(i) + ".jan").c_str(), kHold);
    ASSERT_NE(nullptr, p);
    if (i == 2 || i == 5) p->Lock();
  }
  m_Lines.clear();
  ASSERT_NE(nullptr, Play("ninth.jan", kHold));
  EXPECT_EQ(1, CountLines("Hero: Anim table overflow: 'ninth.jan'")) << AllLines();
  EXPECT_EQ(6, CountLines("Ejecting '"));
  EXPECT_EQ(1, CountLines("Ejecting 'p0.jan'"));
  EXPECT_EQ("p2.jan p5.jan ninth.jan", Order());

  // Eight locked: refused after the overflow trace.
  for (int i = 0; i < 5; ++i) Play(("q" + std::to_string(i) + ".jan").c_str(), kHold);
  for (POSITION pos = Skel()->GetSkelAnims().GetHeadPosition(); pos;) Skel()->GetSkelAnims().GetNext(pos)->Lock();
  m_Lines.clear();
  EXPECT_EQ(nullptr, Play("full.jan", kHold));
  EXPECT_EQ(1, CountLines("Anim table overflow: 'full.jan'"));
  EXPECT_EQ(0, CountLines("Ejecting"));
  EXPECT_EQ(8, Skel()->GetSkelAnims().GetCount());
  char szKey[256];
  ESkelAnimShared* full = EAnimManager::Get()->Find(EAnimManager::NormalizeName("full.jan", szKey, sizeof(szKey)));
  ASSERT_NE(nullptr, full);
  EXPECT_EQ(0, full->GetSkelRefCount()) << "the refused data is released";
  Skel()->RemoveAllSkelAnims(true);

  // Priorities 3 and -1 are never ejected.
  for (int i = 0; i < 4; ++i) Play(("r" + std::to_string(i) + ".jan").c_str(), kHold, true, 3);
  for (int i = 0; i < 4; ++i) Play(("s" + std::to_string(i) + ".jan").c_str(), kHold, true, -1);
  EXPECT_EQ(nullptr, Play("t.jan", kHold));
  EXPECT_EQ(8, Skel()->GetSkelAnims().GetCount());
}

TEST_F(SkelAnimPlay, EndOfAnimationCompletesOnceOrAfterBlendingOut) {
  EScriptObject* script = MakeScript();
  for (bool bBlendOut : {false, true}) {
    SCOPED_TRACE(bBlendOut);
    ESkelAnim* a = Play("Anims/Swing.JAN", kHold, false);
    ASSERT_NE(nullptr, a);
    a->m_bBlendOutAtEnd = bBlendOut;
    a->SetBlendFactor(1.0f);
    a->SetFrame(29.0f);
    EXPECT_TRUE(a->ProcessFrame(1.0f / 15.0f));
    EXPECT_FLOAT_EQ(30.0f, a->GetFrame());
    if (!bBlendOut) {
      ASSERT_EQ(1, script->GetMessageQueue().GetCount());
      EScriptMessage* m = script->GetMessageQueue().GetHead();
      EXPECT_STREQ("AnimCompleted", m->GetName());
      EXPECT_STREQ("s", m->GetLetters());
      EXPECT_STREQ("anims/swing.jan", m->m_aArgs[0].s);
      EXPECT_EQ(nullptr, m->GetSender());
      for (int i = 0; i < 3; ++i) EXPECT_FALSE(a->ProcessFrame(1.0f / 15.0f)) << i;
      EXPECT_FLOAT_EQ(30.0f, a->GetFrame());
      EXPECT_EQ(1, script->GetMessageQueue().GetCount());
    } else {
      EXPECT_EQ(0, script->GetMessageQueue().GetCount());
      int nFrames = 0;
      while (a->m_bActive && nFrames < 100) {
        EXPECT_EQ(0, script->GetMessageQueue().GetCount()) << "while blending out";
        EXPECT_TRUE(a->ProcessFrame(0.001f));
        ++nFrames;
      }
      EXPECT_FLOAT_EQ(0.0f, a->GetBlendFactor());
      EXPECT_EQ(1, script->GetMessageQueue().GetCount());
    }
    script->FreeMessages();
    Skel()->RemoveAllSkelAnims(true);
  }
}

TEST_F(SkelAnimPlay, LoopingWrapsAndDiscardedDataNeverCompletes) {
  ESkelAnim* loop = Play("loop.jan", kHold, true);
  loop->SetBlendFactor(1.0f);
  loop->SetFrame(29.5f);
  EXPECT_FALSE(loop->ProcessFrame(1.0f / 30.0f)) << "a wrap alone is no change";
  EXPECT_NEAR(0.5f, loop->GetFrame(), 1e-4f);
  Skel()->RemoveAllSkelAnims(true);

  MakeScript();
  ESkelAnim* a = Play("gone.jan", kHold, false, 0, 0.5f);
  a->GetShared()->DiscardData();
  a->SetFrame(29.0f);
  for (int i = 0; i < 20; ++i) a->ProcessFrame(1.0f / 15.0f);
  EXPECT_NEAR(29.99f, a->GetFrame(), 1e-4f);
  EXPECT_LT(a->GetBlendFactor(), 1.0f);
  EXPECT_GT(a->GetBlendFactor(), 0.999f);
  EXPECT_EQ(0, m_pScript->GetMessageQueue().GetCount());
}

TEST_F(SkelAnimPlay, StackPositionLiftsAnInstanceAndKeepsItsContribution) {
  ESkelAnim* a = Play("a.jan", kHold);
  ESkelAnim* b = Play("b.jan", kHold);
  ESkelAnim* c = Play("c.jan", kHold);
  a->SetBlendFactor(1.0f);
  b->SetBlendFactor(0.5f);
  c->SetBlendFactor(0.5f);
  c->SetStackPosition(0);
  EXPECT_EQ("a.jan b.jan c.jan", Order()) << "the top one stays";
  a->SetStackPosition(0);
  EXPECT_EQ("b.jan c.jan a.jan", Order());
  EXPECT_FLOAT_EQ(0.25f, a->GetBlendFactor());
  EXPECT_FLOAT_EQ(1.0f, b->GetBlendFactor());
  EXPECT_FLOAT_EQ(0.5f / 0.75f, c->GetBlendFactor());
  b->SetStackPosition(1);
  EXPECT_EQ("c.jan b.jan a.jan", Order());
}

TEST_F(SkelAnimPlay, WritingThroughADeletedInstanceIsFatal) {
  ESkelAnim* a = Play("a.jan", kHold);
  ESkelAnimShared* shared = a->GetShared();
  Skel()->RemoveAllSkelAnims(true);
  // A destroyed instance in memory that stays ours, as a stale pointer sees it.
  alignas(ESkelAnim) unsigned char storage[sizeof(ESkelAnim)];
  ++shared->m_iSkelRefCount;
  ESkelAnim* stale = new (storage) ESkelAnim(shared, Joint(0));
  stale->~ESkelAnim();
  EXPECT_DEATH(
      {
        g_ErrorManager.SetConsoleCallback(nullptr);
        stale->SetFrame(3.0f);
      },
      "Writing to deleted anim!");
}

// ---------------------------------------------------------------- blending

TEST_F(SkelAnimPlay, WeightsBlendFromTheTopDown) {
  struct Anim {
    float x;       // root position
    float weight;  // blend factor
  };
  struct Case {
    const char* what;
    std::vector<Anim> anims;
    float rootX;
    std::vector<float> effective;
  };
  const Case cases[] = {
      {"one alone", {{4, 0.2f}}, 4, {1.0f}},
      {"B last at 0.3", {{0, 1.0f}, {10, 0.3f}}, 3, {0.7f, 0.3f}},
      {"below 0.01 left", {{0, 1.0f}, {10, 0.5f}, {20, 0.995f}}, 0.995f * 20 + 0.005f * 10, {0.0f, 0.005f, 0.995f}},
  };
  int iFile = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<ESkelAnim*> made;
    for (size_t i = 0; i < c.anims.size(); ++i) {
      char text[256];
      snprintf(text, sizeof(text), "version 201\nlength 30\njoint J0 0\npos 0: %g 0 0, 30: %g 0 0\njoint J1 1\n",
               c.anims[i].x, c.anims[i].x);
      ESkelAnim* p = Play(("w" + std::to_string(iFile++) + ".jan").c_str(), text);
      ASSERT_NE(nullptr, p);
      p->SetBlendFactor(c.anims[i].weight);
      made.push_back(p);
    }
    m_pMesh->RunAffectors(0.0f);
    EXPECT_NEAR(c.rootX, Joint(0)->m_vLocalPosition.x, 1e-4f);
    for (size_t i = 0; i < made.size(); ++i) EXPECT_NEAR(c.effective[i], made[i]->m_fEffectiveWeight, 1e-5f) << i;
    Skel()->RemoveAllSkelAnims(true);
  }
}

TEST_F(SkelAnimPlay, OppositeQuaternionsBlendToTheSameRotation) {
  ESkelAnim* a = Play("q.jan", "version 201\nlength 30\njoint J0 0\nrot 0: 0 0.6 0 0.8, 30: 0 0.6 0 0.8\njoint J1 1\n");
  ESkelAnim* b =
      Play("mq.jan", "version 201\nlength 30\njoint J0 0\nrot 0: 0 -0.6 0 -0.8, 30: 0 -0.6 0 -0.8\njoint J1 1\n");
  a->SetBlendFactor(1.0f);
  b->SetBlendFactor(0.5f);
  m_pMesh->RunAffectors(0.0f);
  const EQuat q = Joint(0)->m_qLocalRotation;
  EXPECT_NEAR(0.6f, fabsf(q.y), 1e-4f);
  EXPECT_NEAR(0.8f, fabsf(q.w), 1e-4f);
  EXPECT_GT(q.y * q.w, 0.0f);
}

TEST_F(SkelAnimPlay, PoseAndSkinningMatricesFollowTheHierarchy) {
  Play("up.jan", "version 201\nlength 30\njoint J0 0\npos 0: 0 5 0, 30: 0 5 0\njoint J1 1\n");
  m_pMesh->RunAffectors(0.0f);
  EXPECT_TRUE(Near(Joint(1)->m_mPose.GetTranslation(), EVec3(10, 5, 0))) << Str(Joint(1)->m_mPose.GetTranslation());
  EXPECT_TRUE(Near(Joint(1)->m_mSkinning.GetTranslation(), EVec3(0, 5, 0)))
      << Str(Joint(1)->m_mSkinning.GetTranslation());
  EXPECT_FALSE(Skel()->GetAnimsChanged());
  // The joint's world position takes the mesh's placement.
  m_pMesh->SetPosition(EVec3(100, 0, 0));
  EXPECT_TRUE(Near(m_pMesh->GetJointWorldPos("j1"), EVec3(110, 5, 0)));
  EXPECT_TRUE(Near(m_pMesh->GetJointWorldPos((EJoint*)nullptr), EVec3(0, 0, 0)));
}

// ---------------------------------------------------------------- root motion

namespace {
const char* const kWalkXZ = "version 201\nmode 1\nlength 30\njoint J0 0\npos 0: 0 5 0, 30: 30 5 60\njoint J1 1\n";
}  // namespace

TEST_F(SkelAnimPlay, RootMotionMovesTheMeshOrHandsTheDeltaToTheOwner) {
  ESkelAnim* a = Play("walk.jan", kWalkXZ);
  ASSERT_NE(nullptr, a);
  m_pMesh->RunAffectors(500.0f);
  EXPECT_TRUE(Near(m_pMesh->GetPosition(), EVec3(15, 0, 30))) << Str(m_pMesh->GetPosition());
  EXPECT_TRUE(Near(Joint(0)->m_vLocalPosition, EVec3(0, 5, 0))) << Str(Joint(0)->m_vLocalPosition);
  Skel()->RemoveAllSkelAnims(true);

  MotionOwner* owner = MakeOwner();
  m_pMesh->SetPosition(EVec3(0, 0, 0));
  ESkelAnim* b = Play("walk2.jan", kWalkXZ);
  m_pMesh->RunAffectors(500.0f);
  EXPECT_TRUE(Near(owner->m_vTotal, EVec3(15, 0, 30))) << Str(owner->m_vTotal);
  EXPECT_EQ(b, owner->m_pLastAnim);
  EXPECT_TRUE(Near(owner->getSplineAnimationDelta(), EVec3(15, 0, 30)));
  EXPECT_TRUE(Near(m_pMesh->GetPosition(), EVec3(0, 0, 0))) << "the owner moves, not the mesh";
  Skel()->RemoveAllSkelAnims(true);

  owner->m_vTotal = EVec3(0, 0, 0);
  Play("strip.jan", "version 201\nmode 3\nlength 30\njoint J0 0\npos 0: 0 5 0, 30: 30 5 60\njoint J1 1\n");
  m_pMesh->RunAffectors(500.0f);
  EXPECT_TRUE(Near(owner->m_vTotal, EVec3(0, 0, 0)));
  EXPECT_TRUE(Near(Joint(0)->m_vLocalPosition, EVec3(0, 0, 0)));
}

TEST_F(SkelAnimPlay, AWrapHandsOverTheRestOfThePassAndTheStartOfTheNext) {
  MotionOwner* owner = MakeOwner();
  ESkelAnim* a = Play("run.jan", "version 201\nmode 2\nlength 30\njoint J0 0\npos 0: 0 0 0, 30: 30 0 0\njoint J1 1\n");
  a->SetBlendFactor(1.0f);
  a->SetFrame(25.0f);
  Skel()->SetAnimsChanged(true);  // posed this frame, as while another anim blends in
  m_pMesh->RunAffectors(1000.0f / 3.0f);
  EXPECT_NEAR(5.0f, a->GetFrame(), 1e-3f);
  EXPECT_TRUE(Near(owner->m_vTotal, EVec3(10, 0, 0), 1e-3f)) << Str(owner->m_vTotal);
}

TEST_F(SkelAnimPlay, HiddenOwnersKeepRootMotionButAreNotPosed) {
  MotionOwner* owner = MakeOwner();
  owner->SetVisible(false);
  Play("walk.jan", "version 201\nmode 1\nlength 30\njoint J0 0\npos 0: 0 5 0, 30: 30 5 60\n"
                   "joint J1 1\npos 0: 10 0 0, 30: 10 7 0\n");
  const EMat4 before = Joint(1)->m_mPose;
  m_pMesh->RunAffectors(500.0f);
  EXPECT_TRUE(Near(owner->m_vTotal, EVec3(15, 0, 30)));
  EXPECT_TRUE(before == Joint(1)->m_mPose) << "joint matrices stay";
  EXPECT_TRUE(Near(Joint(1)->m_vLocalPosition, EVec3(10, 0, 0))) << "only the root is blended";
  EXPECT_TRUE(Skel()->GetAnimsChanged());

  owner->SetEntityFlag(ENTITY_ALWAYS_POSE, true);
  m_pMesh->RunAffectors(100.0f);
  EXPECT_NEAR(5.0f + 7.0f * 18.0f / 30.0f, Joint(1)->m_mPose.GetTranslation().y, 1e-3f);
}

TEST_F(SkelAnimPlay, NothingAnimatesWithTheSceneSwitchedOff) {
  PCGameApp app;
  gGameApp = &app;
  app.m_DebugHooks.ShowScene = false;
  ESkelAnim* a = Play("walk.jan", kWalkXZ);
  m_pMesh->RunAffectors(500.0f);
  EXPECT_EQ(0.0f, a->GetFrame());
  EXPECT_TRUE(Near(m_pMesh->GetPosition(), EVec3(0, 0, 0)));
  app.m_DebugHooks.ShowScene = true;
  m_pMesh->RunAffectors(500.0f);
  EXPECT_NEAR(15.0f, a->GetFrame(), 1e-4f);
  gGameApp = nullptr;
}

// ---------------------------------------------------------------- meshes

TEST_F(SkelAnimPlay, MeshCopiesCopyTheSkeletonsAndPoses) {
  EXPECT_EQ(nullptr, m_pMesh->GetJointFromID(0x1001)) << "one skeleton";
  EXPECT_EQ(Joint(1), m_pMesh->GetJointFromID(0x0001));
  EXPECT_EQ(0x0001, Joint(1)->GetId());
  EXPECT_EQ(Joint(1), m_pMesh->FindJoint("J1"));
  EXPECT_EQ(Skel(), m_pMesh->FindSkeleton("Body"));
  EXPECT_EQ(nullptr, m_pMesh->FindSkeleton("body"));

  Play("a.jan", kHold);
  EMesh* first = static_cast<EMesh*>(m_pMesh->Instantiate());
  EXPECT_EQ(m_pMesh, first);
  EMesh* copy = static_cast<EMesh*>(m_pMesh->Instantiate());
  ASSERT_NE(m_pMesh, copy);
  ASSERT_EQ(1, copy->GetNumSkeletons());
  ESkeleton* cs = copy->GetSkeleton(0);
  EXPECT_EQ(copy, cs->GetMesh());
  EXPECT_EQ(Skel()->GetModelSkeleton(), cs->GetModelSkeleton());
  EXPECT_EQ(0, cs->GetSkelAnims().GetCount());
  EXPECT_EQ(&cs->GetJoints()[1], copy->FindJoint("j1"));

  Joint(1)->m_vLocalPosition = EVec3(4, 5, 6);
  EXPECT_TRUE(copy->CopyStaticPose(m_pMesh, false));
  EXPECT_TRUE(Near(cs->GetJoints()[1].m_vLocalPosition, EVec3(4, 5, 6)));

  Skel()->GetSkelAnims().GetHead()->SetFrame(12.0f);
  copy->ReadSkelAnim("a.jan", 0.0f, true, ELoadAnimArgs());
  EXPECT_TRUE(copy->CopyStaticPose(m_pMesh, true));
  ESkelAnim* ca = cs->GetSkelAnims().GetHead();
  EXPECT_TRUE(ca->IsManualFrame());
  EXPECT_EQ(12.0f, ca->GetFrame());
  copy->DestroyInstance();
  EXPECT_EQ(0, cs->GetSkelAnims().GetCount());
  delete copy;
  m_pMesh->DestroyInstance();
  EXPECT_EQ(0, Skel()->GetSkelAnims().GetCount());
}

namespace {
// An owner that keeps the texts of the events its animations deliver.
class EventOwner : public MotionOwner {
public:
  EventOwner() : MotionOwner("Listener") {}
  int EventHandler(const EEventAnimDesc& desc) override {
    m_Texts += std::string(desc.m_szString) + " ";
    return 0;
  }
  std::string m_Texts;
};
}  // namespace

TEST_F(SkelAnimPlay, PlayingAnimationsDeliverTheirTracksToTheOwner) {
  EEventAnimManager* pEvents = EEventAnimManager::createEventAnimManager();
  WriteBytes("step.txt", {'0', ' ', '6', ' ', 'S', 't', 'e', 'p', '\n', '9', ' ', '2', '0', ' ', 'E', 'n', 'd', '\n'});
  ASSERT_TRUE(pEvents->CreateBinaryEventFile(Path("step.txt").c_str(), Path("step.eve").c_str()));
  EEventAnimManager::destroyEventAnimManager();
  EventOwner* pOwner = new EventOwner;
  m_pOwner = pOwner;
  m_pMesh->SetOwner(pOwner);
  ESkelAnim* a = Play("step.jan", kHold, true);
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, a->GetShared()->GetEventAnim());
  a->SetFrame(5.0f);
  a->UpdateEventAnim();
  EXPECT_EQ("", pOwner->m_Texts);
  a->SetFrame(21.0f);
  a->UpdateEventAnim();
  EXPECT_EQ("Step End ", pOwner->m_Texts);
  // Wrapping round starts the track again.
  a->SetFrame(7.0f);
  a->UpdateEventAnim();
  EXPECT_EQ("Step End Step ", pOwner->m_Texts);
}
