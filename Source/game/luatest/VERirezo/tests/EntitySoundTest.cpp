// What every entity does for sound, event-track keys, collision callbacks
// and rail-line init data, against a recording sound manager and real
// script objects.

#include <cstring>
#include <string>
#include <vector>

#include "Event/EEventAnim.h"
#include "Game/PCGameApp.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/tests/ScriptVMTestUtil.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EMemStack.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EntityInitData.h"
#include "VERirezo/LineCollision.h"


namespace {

// Writes every call as a line; sources are handed out from 100 on, and the
// next request may name an entity whose source it takes.
class RecordingSound : public ESoundManager {
public:
  void FreeSoundSource(uint32_t uiSource, EEntity*) override { Log("free " + std::to_string(uiSource)); }
  bool ProcessSoundSource(uint32_t uiSource, const EVec3&) override {
    Log("process " + std::to_string(uiSource));
    return m_bKeepSources;
  }
  void SetSoundSourceSleeping(EEntity* pOwner, bool bSleeping) override {
    Log(std::string("sleep ") + pOwner->GetName() + " " + (bSleeping ? "1" : "0"));
  }
  uint32_t GetSoundCue(const char* szName) override {
    Log(std::string("cue ") + szName);
    return (uint32_t)strlen(szName);
  }
  int PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bFlag) override {
    Log("play " + std::to_string(uiCue) + " on " + std::to_string(uiSource) + (bFlag ? " flag" : ""));
    return 7;
  }
  bool SoundCueIsPlaying(uint32_t) override { return m_bPlaying; }
  void StopSoundsOnSource(uint32_t uiSource) override { Log("stop " + std::to_string(uiSource)); }
  uint32_t RequestSoundSource(EEntity* pOwner, const EVec3&, EEntity** ppDisplaced) override {
    Log(std::string("request ") + pOwner->GetName());
    if (!m_bHaveSources) return 0;
    *ppDisplaced = m_pDisplace;
    return m_uiNext++;
  }
  void SetSoundSourceEcho(uint32_t uiSource, bool bEcho) override {
    Log("echo " + std::to_string(uiSource) + (bEcho ? " 1" : " 0"));
  }

  void Log(const std::string& s) { m_Log += (m_Log.empty() ? "" : "; ") + s; }
  std::string Take() {
    std::string s = m_Log;
    m_Log.clear();
    return s;
  }

  std::string m_Log;
  uint32_t m_uiNext = 100;
  bool m_bHaveSources = true;
  bool m_bKeepSources = true;
  bool m_bPlaying = true;
  EEntity* m_pDisplace = nullptr;
};

class PlainEntity : public EEntity {
public:
  explicit PlainEntity(const char* szName) : EEntity(nullptr, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
  void SetupDefaultCollision() override { ++m_nSetups; }
  int m_nSetups = 0;
};

EEventAnimDesc Desc(uint32_t uChannel, const char* szText) {
  EEventAnimDesc d;
  d.setChannel(uChannel);
  d.setString(szText);
  return d;
}

void PutVectors(std::vector<uint8_t>& out, uint32_t dwTag, const std::vector<EVec3>& v) {
  uint8_t b[4];
  PutLE32(b, dwTag);
  out.insert(out.end(), b, b + 4);
  PutLE32(b, (uint32_t)v.size());
  out.insert(out.end(), b, b + 4);
  for (const EVec3& p : v) {
    for (float f : {p.x, p.y, p.z}) {
      PutLEFloat(b, f);
      out.insert(out.end(), b, b + 4);
    }
  }
}

EEntityInitData Spline(const std::vector<EVec3>& points, const std::vector<EVec3>& normals,
                       uint32_t dwPosn = 0x504F534E, uint32_t dwNorm = 0x4E4F524D) {
  std::vector<uint8_t> bytes;
  PutVectors(bytes, dwPosn, points);
  PutVectors(bytes, dwNorm, normals);
  EEntityInitData data;
  data.m_dwTag = 0x53504C4E;
  for (uint8_t c : bytes) data.m_aData.AddData(c);
  return data;
}

}  // namespace

class EntitySound : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    gGameApp = &m_app;
    m_app.m_pSoundManager = &m_Sound;
    for (int i = 0; i < 2; ++i) {
      m_abTraces[i] = g_ErrorManager.IsEnabled(kTYPES[i]);
      g_ErrorManager.SetEnabled(kTYPES[i], true);
    }
    ASSERT_TRUE(Run("gLog = ''\n"
                    "function Log(name, ...)\n"
                    "  local s = name .. '('\n"
                    "  for i = 1, arg.n do\n"
                    "    local v = arg[i]\n"
                    "    if type(v) == 'table' then v = v.Name or 'table' end\n"
                    "    if i > 1 then s = s .. ',' end\n"
                    "    s = s .. tostring(v)\n"
                    "  end\n"
                    "  gLog = gLog .. s .. ')'\n"
                    "end\n"));
    WriteClass("test.Listener",
               "  o.onCollide = function(self, x, from, y, z) Log('Collide', self, from, x, y, z) end\n"
               "  o.onLand = function(self, data, from) Log('Land', self, data, from) end\n"
               "  o.onSupporting = function(self, data, from) Log('Supporting', self, data, from) end\n"
               "  o.onGroundChange = function(self, a, from, b) Log('GroundChange', self, from, a, b) end\n"
               "  o.onNewGroundCollide = function(self, data, from) Log('NewGround', self, data, from) end\n"
               "  o.IsA = function(self, name) return self.rail end\n");
  }
  void TearDown() override {
    for (EEntity* e : m_Made) {
      if (e->GetScriptObject()) {
        e->GetScriptObject()->FreeMessages();
        e->SetScriptObject(nullptr);
      }
      delete e;
    }
    vm.DestroyDeletedScriptObjects();
    m_app.m_pSoundManager = nullptr;
    gGameApp = nullptr;
    for (int i = 0; i < 2; ++i) g_ErrorManager.SetEnabled(kTYPES[i], m_abTraces[i]);
    ScriptVMTest::TearDown();
  }
  PlainEntity* Make(const char* szName, bool bScript = false) {
    PlainEntity* e = new PlainEntity(szName);
    m_Made.push_back(e);
    if (bScript) {
      EScriptObject* o = vm.CreateScriptObject("test.Listener", szName, nullptr, nullptr, false, true, false, false);
      EXPECT_NE(nullptr, o);
      e->SetScriptObject(o);
    }
    return e;
  }
  // The queued messages of an object, delivered now.
  std::string Deliver() {
    Frames(1);
    return Log();
  }

  static constexpr TRACETYPE kTYPES[2] = {TT_Sound, TT_Warning};
  bool m_abTraces[2] = {false, false};
  PCGameApp m_app;
  RecordingSound m_Sound;
  std::vector<EEntity*> m_Made;
};

TEST_F(EntitySound, CuesPlayWithoutOrOnTheEntitysOwnSource) {
  PlainEntity* a = Make("a");
  EXPECT_EQ(7, a->PlaySoundCue(3, true, true));
  EXPECT_EQ("play 3 on 0 flag", m_Sound.Take());
  EXPECT_EQ(0u, a->GetSoundSource());

  a->SetEchoSound(true);
  a->SetDomainIsSleeping(true);
  EXPECT_EQ("sleep a 1", m_Sound.Take());
  EXPECT_EQ(7, a->PlaySoundCue(4, false, false));
  EXPECT_EQ("request a; echo 100 1; sleep a 1; play 4 on 100", m_Sound.Take());
  EXPECT_EQ(7, a->PlaySoundCue(5, false, false));
  EXPECT_EQ("play 5 on 100", m_Sound.Take());
  a->StopSounds();
  EXPECT_EQ("stop 100", m_Sound.Take());

  // The manager takes the source back during upkeep.
  m_Sound.m_bKeepSources = false;
  a->ProcessSoundSource();
  EXPECT_EQ(0u, a->GetSoundSource());
  m_Sound.Take();

  // Without a source to be had the cue is not played.
  m_Sound.m_bHaveSources = false;
  EXPECT_EQ(0, a->PlaySoundCue(6, false, false));
  EXPECT_EQ("request a", m_Sound.Take());
  EXPECT_EQ(1, CountLines("a could not create a sound source, aborting sound"));
}

TEST_F(EntitySound, ADisplacedOwnerLosesItsSource) {
  PlainEntity* a = Make("a");
  PlainEntity* b = Make("b");
  a->PlaySoundCue(1, false, false);
  EXPECT_EQ(100u, a->GetSoundSource());
  m_Sound.m_pDisplace = a;
  b->PlaySoundCue(1, false, false);
  EXPECT_EQ(101u, b->GetSoundSource());
  EXPECT_EQ(0u, a->GetSoundSource());
  m_Sound.m_pDisplace = nullptr;
  m_Sound.Take();
  a->PlaySoundCue(2, false, false);
  EXPECT_EQ("request a; echo 102 0; play 2 on 102", m_Sound.Take());
}

TEST_F(EntitySound, BabbleRunsUntilItsCueStops) {
  PlainEntity* a = Make("a");
  a->PlaySoundCueWithBabble(9, false);
  EXPECT_EQ("request a; echo 100 0; play 9 on 100 flag", m_Sound.Take());
  EXPECT_TRUE(a->IsBabbling());
  EXPECT_EQ(9u, a->GetAutoBabbleCue());
  a->EndBabble();
  EXPECT_TRUE(a->IsBabbling());
  m_Sound.m_bPlaying = false;
  a->ProcessFrame(16.0f);
  EXPECT_FALSE(a->IsBabbling());

  a->PlaySoundCueWithBabble(8, true);
  EXPECT_EQ("process 100; play 8 on 0 flag", m_Sound.Take());
  EXPECT_FALSE(a->NextCueWithoutSource());
  EXPECT_TRUE(a->IsBabbling());
}

TEST_F(EntitySound, EventKeysPlayCuesAndQueueMessages) {
  PlainEntity* a = Make("a", true);
  EXPECT_EQ(0, a->EventHandler(Desc(0, "foot")));
  EXPECT_EQ("cue foot; play 4 on 0", m_Sound.Take());
  EXPECT_EQ(0, a->EventHandler(Desc(1, "grunt")));
  EXPECT_EQ("cue grunt; request a; echo 100 0; play 5 on 100", m_Sound.Take());
  for (uint32_t c = 2; c <= 7; ++c) EXPECT_EQ(0, a->EventHandler(Desc(c, "Land x")));
  EXPECT_EQ("", m_Sound.Take());
  EXPECT_EQ("", Deliver());

  EXPECT_EQ(0, a->EventHandler(Desc(8, "Land   a b")));
  EXPECT_EQ(0, a->EventHandler(Desc(15, "Land")));
  EXPECT_EQ(0, a->EventHandler(Desc(9, "Unknown data")));
  EXPECT_EQ(2, a->GetScriptObject()->GetMessageQueue().GetCount());
  EXPECT_EQ("Land(a,a b,nil)Land(a,nil,nil)", Deliver());

  // A message name longer than its buffer is not sent.
  const std::string longName = std::string(300, 'L') + " data";
  EXPECT_EQ(0, a->EventHandler(Desc(8, longName.c_str())));
  EXPECT_EQ(1, CountLines("event message name too long"));
  EXPECT_EQ(0, a->GetScriptObject()->GetMessageQueue().GetCount());
  PlainEntity* quiet = Make("quiet");
  EXPECT_EQ(0, quiet->EventHandler(Desc(8, "Land x")));
}

TEST_F(EntitySound, CollisionSupportAndGroundBecomeMessages) {
  PlainEntity* a = Make("a", true);
  PlainEntity* b = Make("b", true);
  PlainEntity* bare = Make("bare");
  PlainEntity* global = Make("global", true);
  m_app.m_pGlobalEntity = global;
  Log();
  a->onCollide(b, EVec3(0, 1, 0), 3, 4, true);
  EXPECT_EQ("Collide(a,b,-0,-1,-0)", Log());
  a->onCollide(bare, EVec3(1, 2, 3), 0, 0, false);
  EXPECT_EQ("Collide(a,global,1,2,3)", Log());
  a->onCollide(nullptr, EVec3(1, 2, 3), 0, 0, false);
  EXPECT_EQ("", Log());
  EXPECT_EQ(1, CountLines("Should never happen: Colliding with NULL entity?"));
  bare->onCollide(a, EVec3(1, 2, 3), 0, 0, false);
  m_app.m_pGlobalEntity = nullptr;

  a->onSupporting(b);
  a->onSupporting(bare);
  a->onGroundChange(bare, b, false);
  a->onGroundChange(b, nullptr, false);
  a->onGroundChange(b, bare, true);
  EXPECT_EQ("", Log());
  EXPECT_EQ("Supporting(a,nil,b)NewGround(a,nil,b)GroundChange(a,nil,nil,b)GroundChange(a,nil,b,nil)", Deliver());
}

TEST_F(EntitySound, SplineInitDataMakesARailLine) {
  const std::vector<EVec3> points = {EVec3(0, 0, 0), EVec3(3, 4, 0), EVec3(3, 4, 12)};
  PlainEntity* plain = Make("plain");
  plain->ReadInitData(Spline(points, {}));
  ELineCollision* line = plain->GetLineCollision();
  ASSERT_NE(nullptr, line);
  EXPECT_EQ(70.0f, line->GetRadius());
  EXPECT_EQ(3u, line->GetPoints().size());
  EXPECT_EQ(std::vector<float>({0.0f, 1.0f, 2.0f}), line->GetTimes());
  EXPECT_FALSE(line->IsLooping());
  EXPECT_EQ(1, plain->m_nSetups);

  PlainEntity* rail = Make("rail", true);
  EScriptObject* o = rail->GetScriptObject();
  ASSERT_TRUE(vm.SetScriptTableValue(o, "rail", 1.0f));
  ASSERT_TRUE(vm.SetScriptTableValue(o, "bLooping", 1.0f));
  rail->ReadInitData(Spline(points, {EVec3(0, 1, 0), EVec3(0, 0, -1), EVec3(1, 0, 0)}));
  line = rail->GetLineCollision();
  ASSERT_NE(nullptr, line);
  EXPECT_TRUE(line->IsLooping());
  ASSERT_EQ(3u, line->GetTimes().size());
  EXPECT_FLOAT_EQ(0.0f, line->GetTimes()[0]);
  EXPECT_FLOAT_EQ(5.0f, line->GetTimes()[1]);
  EXPECT_FLOAT_EQ(17.0f, line->GetTimes()[2]);
  EXPECT_EQ(EVec3(0, -1, 0), line->GetNormals()[0]);
  EXPECT_EQ(EVec3(0, 0, 1), line->GetNormals()[1]);
  // Not looping when the script says 0.
  ASSERT_TRUE(vm.SetScriptTableValue(o, "bLooping", 0.0f));
  rail->ReadInitData(Spline(points, {}));
  EXPECT_FALSE(rail->GetLineCollision()->IsLooping());
  EXPECT_FLOAT_EQ(17.0f, rail->GetLineCollision()->GetTimes()[2]);
}

TEST_F(EntitySound, DamagedInitDataIsIgnored) {
  const std::vector<EVec3> three = {EVec3(0, 0, 0), EVec3(1, 0, 0), EVec3(2, 0, 0)};
  EEntityInitData otherTag = Spline(three, {});
  otherTag.m_dwTag = 0x4E4F4E45;
  EEntityInitData shortData = Spline(three, {});
  shortData.m_aData.GrowTo(20);
  EEntityInitData noNormals = Spline(three, {});
  noNormals.m_aData.GrowTo(8 + 36);
  struct Case {
    const char* szName;
    EEntityInitData data;
    const char* szTrace;
  } cases[] = {
      {"other tag", otherTag, "init data with tag 0x4E4F4E45 ignored"},
      {"no POSN", Spline(three, {}, 0x11111111), "dwTag == 'POSN'"},
      {"no NORM", Spline(three, {}, 0x504F534E, 0x22222222), "dwTag == 'NORM'"},
      {"points past the data", shortData, "points past the data"},
      {"normals missing", noNormals, "dwTag == 'NORM'"},
      {"one point", Spline({EVec3(0, 0, 0)}, {}), "1 points and 0 normals make no line"},
      {"two normals for three points", Spline(three, {EVec3(0, 1, 0), EVec3(0, 1, 0)}), "3 points and 2 normals"},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    PlainEntity* e = Make(c.szName);
    e->ReadInitData(c.data);
    EXPECT_EQ(nullptr, e->GetLineCollision()) << c.szName;
    EXPECT_EQ(0, e->m_nSetups) << c.szName;
    EXPECT_EQ(1, CountLines(c.szTrace)) << c.szName << AllLines();
  }
}

namespace {
// Hits when the query's sphere radius is the one it waits for.
class SphereTarget : public PlainEntity {
public:
  SphereTarget() : PlainEntity("target") {}
  bool CheckForCollision(ECollide& q) override {
    m_Radii.push_back(q.fRadius);
    if (q.fRadius != m_fHitRadius) return false;
    q.eCollisionType = CCT_TriInterior;
    q.fDepth = 0.5f;
    return true;
  }
  float m_fHitRadius = -1.0f;
  std::vector<float> m_Radii;
};
}  // namespace

TEST_F(EntitySound, CollisionQueriesTestEachSphereInTurn) {
  SphereTarget* t = new SphereTarget;
  m_Made.push_back(t);
  ECollide q(nullptr);
  q.InitSegment(EVec3(0, 0, 0), EVec3(10, 0, 0));
  q.eSrcType = CPT_Spheres;
  q.nSpheres = 3;
  q.aSpheres[0] = ESphere(EVec3(0, 1, 0), 1.0f);
  q.aSpheres[1] = ESphere(EVec3(0, 2, 0), 2.0f);
  q.aSpheres[2] = ESphere(EVec3(0, 3, 0), 3.0f);
  q.fRadius = 9.0f;
  EXPECT_EQ(nullptr, t->CheckForCollision_new(q, nullptr));
  EXPECT_EQ(std::vector<float>({1.0f, 2.0f, 3.0f}), t->m_Radii);
  EXPECT_EQ(CPT_Spheres, q.eSrcType);
  EXPECT_EQ(EVec3(0, 0, 0), q.vStart);

  t->m_Radii.clear();
  t->m_fHitRadius = 2.0f;
  EHitResult record;
  EHitResult* hit = t->CheckForCollision_new(q, &record);
  EXPECT_EQ(&record, hit);
  EXPECT_EQ(std::vector<float>({1.0f, 2.0f}), t->m_Radii);
  EXPECT_EQ(CPT_Spheres, q.eSrcType);
  EXPECT_EQ(9.0f, q.fRadius);

  EMemMark mark(*GetThreadLocalStack());
  q.eSrcType = CPT_OneSphere;
  q.fRadius = 2.0f;
  hit = t->CheckForCollision_new(q, nullptr);
  ASSERT_NE(nullptr, hit);
  EXPECT_TRUE(GetThreadLocalStack()->IsValidPointer(hit));

  q.eSrcType = CPT_Triangles;
  EXPECT_EQ(nullptr, t->CheckForCollision_new(q, nullptr));
  EXPECT_EQ(1, CountLines("Unhandled in CheckForCollision_new"));
}
