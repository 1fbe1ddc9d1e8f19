// The animation cache: names, references, the budget and eviction, packs
// over a package, the reload queue and the script natives.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "AnimTestUtil.h"
#include "ApfWriter.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EPackageWriter.h"
#include "TWUtil/EStream.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/SkelAnim.h"

namespace {

double s_dNow = 0.0;
double TestClock() { return s_dNow; }

const char* const kWalk =
    "version 201\nmode 1\nlength 10\n"
    "joint Root 0\npos 0: 0 0 0, 10: 10 20 30\nrot 0: 0 0 0 1, 10: 0 0.70710678 0 0.70710678\n"
    "joint Leg 1\nrotcomp 0: 0 0 0 1, 5: 0 0.70710678 0 0.70710678\n";
const char* const kIdle = "version 201\nlength 4\njoint Hips 0\nrot 0: 0 0 0 1, 4: 0 0 0.6 0.8\n";

}  // namespace

class AnimManagerTest : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    s_dNow = 0.0;
    EAnimManager::SetClock(&TestClock);
    ASSERT_TRUE(EAnimManager::Create(0));
    m_pCache = EAnimManager::Get();
  }
  void TearDown() override {
    if (EAnimManager::IsCreated()) EAnimManager::Destroy();
    EAnimManager::SetClock(nullptr);
    AnimTest::TearDown();
  }
  void ExpectAccounting() { EXPECT_EQ(m_pCache->SumOfSizes(), m_pCache->GetCurMem()); }

  // Writes the animations into a package folder and mounts the package
  // (the master package); returns the pack over it.
  std::vector<uint8_t> PackageAndPack() {
    WriteBytes("pkg/anims/walk.jan", Jan(kWalk));
    WriteBytes("pkg/anims/idle.jan", Jan(kIdle));
    // Side files become sections the reader passes over.
    WriteBytes("pkg/anims/walk.eve", {1, 2, 3});
    WriteBytes("pkg/anims/walk.pba", {4, 5, 6, 7, 8});
    WriteBytes("pkg/anims/idle.pba", {9});
    EPackageWriter writer;
    EXPECT_TRUE(writer.AddFolder(Path("pkg").c_str()));
    EXPECT_TRUE(writer.Write(Path("data.pkg").c_str()));
    std::vector<ApfEntry> entries;
    std::vector<uint8_t> pack;
    std::string error;
    EXPECT_TRUE(ApfEntriesFromPackage(Path("data.pkg").c_str(), {"anims/walk.jan", "anims/idle.jan"}, entries, error))
        << error;
    EXPECT_TRUE(WriteApf(entries, pack, error)) << error;
    m_pFiles->AddFilePackage(Path("data.pkg").c_str());
    EXPECT_NE(nullptr, g_masterFilePackage);
    return pack;
  }
  bool ReadPack(const std::vector<uint8_t>& pack, bool bCommon = false) {
    EMemReader reader(pack.data(), (unsigned)pack.size());
    return m_pCache->ReadPackFile(reader, bCommon);
  }

  EAnimManager* m_pCache = nullptr;
};

TEST_F(AnimManagerTest, CreateAndDestroyOnce) {
  EXPECT_EQ((unsigned)EAnimManager::kDEFAULT_BUDGET, m_pCache->GetCacheSize());
  EXPECT_FALSE(EAnimManager::Create(100));
  EXPECT_EQ(1, CountLines("Anim manager already created"));
  EXPECT_TRUE(EAnimManager::Destroy());
  EXPECT_FALSE(EAnimManager::IsCreated());
  EXPECT_FALSE(EAnimManager::Destroy());
  EXPECT_EQ(1, CountLines("AnimManager was not initialized"));
  EXPECT_DEATH(
      {
        EErrorManager::SetErrorStrings("Error", "%s(%d): %s", "%s");
        EAnimManager::Get();
      },
      "m_pAnimManager");
  testing::internal::CaptureStderr();
  EXPECT_STREQ("???", ErrorString(2));
  EXPECT_STREQ("???", ErrorString(5));
  testing::internal::GetCapturedStderr();
}

TEST_F(AnimManagerTest, NamesAreNormalised) {
  const char* cases[][2] = {
      {"WorkResource/Anims/Walk.jan", "anims\\walk.jan"},
      {"anims\\walk.jan", "anims\\walk.jan"},
      {"/Anims//Walk.JAN", "anims\\\\walk.jan"},
      {"c:/game/workresource\\\\anims/a.jan", "anims\\a.jan"},
      {"", ""},
  };
  char buffer[256];
  for (auto& c : cases) EXPECT_STREQ(c[1], EAnimManager::NormalizeName(c[0], buffer, sizeof(buffer))) << c[0];
}

TEST_F(AnimManagerTest, OneObjectPerNameWithReferences) {
  WriteBytes("anims/a.jan", Jan(kIdle));
  ESkelAnimShared* a = m_pCache->Get("WorkResource/Anims/A.JAN", 0.0f, 0);
  ASSERT_NE(nullptr, a);
  EXPECT_EQ(a, m_pCache->Get("anims\\a.jan", 0.0f, 0));
  EXPECT_EQ(2, a->GetRefCount());
  EXPECT_STREQ("anims\\a.jan", a->GetName());
  EXPECT_EQ(1, m_pCache->GetNumAnims());
  ExpectAccounting();

  EXPECT_EQ(nullptr, m_pCache->Get("anims/missing.jan", 0.0f, 0));
  EXPECT_EQ(nullptr, m_pCache->Get("", 0.0f, 0));
  EXPECT_EQ(1, CountLines("LoadAnimFile: Blank anim name"));
  WriteBytes("anims/bad.jan", {'X', 'A', 'J', 'P', 9, 0, 0, 0});
  EXPECT_EQ(nullptr, m_pCache->Get("anims/bad.jan", 0.0f, 0));
  EXPECT_EQ(1, CountLines("Unsupported anim version 0x9 'anims\\bad.jan'"));
  EXPECT_EQ(1, m_pCache->GetNumAnims());

  m_pCache->Release(a);
  m_pCache->Release(a);
  EXPECT_EQ(0, a->GetRefCount());
  EXPECT_EQ(1, m_pCache->GetNumAnims()) << "released animations stay cached";
  EXPECT_DEATH(
      {
        EErrorManager::SetErrorStrings("Error", "%s(%d): %s", "%s");
        m_pCache->Release(a);
      },
      "pAnim->m_iSkelRefCount >= 0");
}

TEST_F(AnimManagerTest, PreloadAndLevelEnd) {
  WriteBytes("anims/level.jan", Jan(kIdle));
  WriteBytes("anims/common.jan", Jan(kIdle));
  WriteBytes("anims/held.jan", Jan(kIdle));
  ESkelAnimShared* level = m_pCache->Preload("anims/level.jan", 2.5f, 0);
  ASSERT_NE(nullptr, level);
  EXPECT_EQ(0, level->GetRefCount());
  EXPECT_EQ(2.5f, level->GetBias());
  ASSERT_NE(nullptr, m_pCache->Preload("anims/common.jan", 0.0f, EAnimManager::kFLAG_Common));
  ESkelAnimShared* held = m_pCache->Get("anims/held.jan", 0.0f, 0);
  m_pCache->onEndLevel();
  EXPECT_EQ(nullptr, m_pCache->Find("anims\\level.jan"));
  EXPECT_NE(nullptr, m_pCache->Find("anims\\common.jan"));
  EXPECT_EQ(held, m_pCache->Find("anims\\held.jan"));
  ExpectAccounting();
  m_pCache->Release(held);
}

TEST_F(AnimManagerTest, EvictionPicksTheHighestScore) {
  WriteBytes("anims/a.jan", Jan(kIdle));
  WriteBytes("anims/b.jan", Jan(kIdle));
  WriteBytes("anims/c.jan", Jan(kIdle));
  // a: 100 s old over bias 2 (50); b: 60 s old over bias 1 (60).
  s_dNow = 0.0;
  ESkelAnimShared* a = m_pCache->Preload("anims/a.jan", 2.0f, 0);
  s_dNow = 40.0;
  ESkelAnimShared* b = m_pCache->Preload("anims/b.jan", 1.0f, 0);
  s_dNow = 100.9;
  ESkelAnimShared* c = m_pCache->Preload("anims/c.jan", 1.0f, 0);
  ASSERT_TRUE(a && b && c);
  ASSERT_LT(c->GetSize(), 1024) << "c's score is 0: requested this second, below 1 KB";

  m_pCache->SetCacheSize((unsigned)m_pCache->GetCurMem() - 1);
  EXPECT_TRUE(b->GetReloadNeeded());
  EXPECT_FALSE(a->GetReloadNeeded());
  EXPECT_EQ(0, CountLines("Anim cache usage too high"));
  ExpectAccounting();

  m_pCache->SetCacheSize(0);
  EXPECT_TRUE(a->GetReloadNeeded());
  EXPECT_FALSE(c->GetReloadNeeded()) << "a score of 0 never qualifies";
  EXPECT_EQ(1, CountLines("Anim cache usage too high: "));
  ExpectAccounting();
}

TEST_F(AnimManagerTest, BudgetBelowOneAnimationKeepsIt) {
  WriteBytes("anims/a.jan", Jan(kWalk));
  m_pCache->SetCacheSize(100);
  ESkelAnimShared* a = m_pCache->Get("anims/a.jan", 0.0f, 0);
  ASSERT_NE(nullptr, a);
  EXPECT_FALSE(a->GetReloadNeeded());
  char line[128];
  snprintf(line, sizeof(line), "Anim cache usage too high: %d (max 100)", a->GetSize());
  EXPECT_EQ(1, CountLines(line)) << AllLines();
  m_pCache->Release(a);
}

TEST_F(AnimManagerTest, PackStubsReloadFromThePackage) {
  const std::vector<uint8_t> pack = PackageAndPack();
  ASSERT_TRUE(ReadPack(pack));
  ASSERT_EQ(2, m_pCache->GetNumAnims());
  ExpectAccounting();
  ESkelAnimShared* walk = m_pCache->Find("anims\\walk.jan");
  ESkelAnimShared* idle = m_pCache->Find("anims\\idle.jan");
  ASSERT_TRUE(walk && idle);
  EXPECT_TRUE(walk->GetReloadNeeded());
  EXPECT_STREQ("Root", walk->GetRootName());
  EXPECT_EQ(10, walk->GetAnimLength());
  EXPECT_EQ(1, walk->GetNumLoadedJoints());
  EXPECT_EQ(10, walk->GetLoadedDeltaTransLength()) << "translating stubs keep the root keys";
  EXPECT_EQ(0, idle->GetNumLoadedJoints());
  EXPECT_NE(0xFFFFFFFFu, walk->GetPackOffset());

  // Asked twice in a frame: one reload, rebuilt at the next frame.
  EXPECT_EQ(walk, m_pCache->Get("anims/walk.jan", 0.0f, 0));
  EXPECT_EQ(walk, m_pCache->Get("anims/walk.jan", 0.0f, 0));
  EXPECT_EQ(1, m_pCache->GetNumQueued());
  EXPECT_TRUE(walk->GetReloadNeeded());
  m_pCache->ProcessFrame(0.033f);
  EXPECT_EQ(0, m_pCache->GetNumQueued());
  EXPECT_EQ(1, CountLines("anims\\walk.jan: loaded (1 frames latency)")) << AllLines();
  EXPECT_FALSE(walk->GetReloadNeeded());
  EXPECT_EQ(2, walk->GetNumLoadedJoints());
  ESkelAnimShared direct;
  ASSERT_TRUE(direct.Init("pkg/anims/walk.jan"));
  ASSERT_EQ(direct.m_Data.Num(), walk->m_Data.Num());
  EXPECT_EQ(0, memcmp(direct.m_Data.GetData(), walk->m_Data.GetData(), direct.m_Data.Num()));
  ExpectAccounting();

  // Flag 1 leaves the stub; flag 2 returns with the data.
  EXPECT_EQ(idle, m_pCache->Get("anims/idle.jan", 0.0f, EAnimManager::kFLAG_NoReload));
  EXPECT_EQ(0, m_pCache->GetNumQueued());
  EXPECT_TRUE(idle->GetReloadNeeded());
  EXPECT_EQ(idle, m_pCache->Get("anims/idle.jan", 0.0f, EAnimManager::kFLAG_Block));
  EXPECT_FALSE(idle->GetReloadNeeded());
  EXPECT_EQ(1, idle->GetNumLoadedJoints());
  ExpectAccounting();

  // A second read of the pack: every entry is redundant.
  m_Lines.clear();
  ASSERT_TRUE(ReadPack(pack));
  EXPECT_EQ(1, CountLines("Redundant packfile read: anims\\walk.jan"));
  EXPECT_EQ(1, CountLines("Redundant packfile read: anims\\idle.jan"));
  EXPECT_EQ(2, m_pCache->GetNumAnims());
  ExpectAccounting();
  for (int i = 0; i < 2; ++i) m_pCache->Release(walk);
  for (int i = 0; i < 2; ++i) m_pCache->Release(idle);

  // Discarded again and read back from the package.
  m_pCache->SqueezeCache(false);
  EXPECT_TRUE(walk->GetReloadNeeded());
  EXPECT_EQ(1, CountLines("Net change: "));
  EXPECT_EQ(walk, m_pCache->Get("anims/walk.jan", 0.0f, EAnimManager::kFLAG_Block));
  EXPECT_EQ(2, walk->GetNumLoadedJoints());
  m_pCache->Release(walk);
  ExpectAccounting();
}

TEST_F(AnimManagerTest, ReloadsFromPlainFilesAndFailedReloads) {
  WriteBytes("anims/a.jan", Jan(kWalk));
  ESkelAnimShared* a = m_pCache->Get("anims/a.jan", 0.0f, 0);
  ASSERT_NE(nullptr, a);
  m_pCache->SqueezeCache(true);
  EXPECT_TRUE(a->GetReloadNeeded());
  EXPECT_EQ(1, a->GetNumLoadedJoints());
  EXPECT_EQ(a, m_pCache->Get("anims/a.jan", 0.0f, EAnimManager::kFLAG_Block));
  EXPECT_EQ(2, a->GetNumLoadedJoints());

  // The file is damaged while the data is away: the stub stays, the reload
  // ends and a later request may try again.
  m_pCache->SqueezeCache(true);
  const int iStub = a->GetSize();
  WriteBytes("anims/a.jan", {'X', 'A', 'J', 'P', 201, 0, 0, 0, 1});
  EXPECT_EQ(a, m_pCache->Get("anims/a.jan", 0.0f, EAnimManager::kFLAG_Block));
  EXPECT_TRUE(a->GetReloadNeeded());
  EXPECT_FALSE(a->GetReloadInProgress());
  EXPECT_EQ(iStub, a->GetSize());
  EXPECT_EQ(1, CountLines("Could not reload 'anims\\a.jan'")) << AllLines();
  ExpectAccounting();

  // The file is gone: the request cannot be made.
  unlink(Path("anims/a.jan").c_str());
  m_Lines.clear();
  EXPECT_EQ(a, m_pCache->Get("anims/a.jan", 0.0f, 0));
  EXPECT_EQ(0, m_pCache->GetNumQueued());
  EXPECT_EQ(1, CountLines("Could not reload 'anims\\a.jan'"));
  for (int i = 0; i < 4; ++i) m_pCache->Release(a);

  // A reload whose animation left the cache.
  WriteBytes("anims/b.jan", Jan(kIdle));
  ESkelAnimShared* b = m_pCache->Get("anims/b.jan", 0.0f, 0);
  m_pCache->SqueezeCache(true);
  m_pCache->AddToReloadQueue(b);
  m_pCache->Release(b);
  m_pCache->PurgeOneAnim("anims\\b.jan");
  m_pCache->ProcessFrame(0.0f);
  EXPECT_EQ(1, CountLines("Reloaded data for anims\\b.jan: not in cache???"));
  m_pCache->PurgeOneAnim("anims\\b.jan");
  EXPECT_EQ(1, CountLines("anims\\b.jan not found in cache"));
}

// A request reads into its own mapping and closes its own descriptor, even
// when that descriptor is 0.
TEST_F(AnimManagerTest, RequestsCloseDescriptorZero) {
  const std::vector<uint8_t> bytes = Jan(kIdle);
  WriteBytes("anims/a.jan", bytes);
  const int iSaved = dup(0);
  ASSERT_GE(iSaved, 0);
  close(0);
  bool bOk = false;
  int hFile = -2;
  {
    EQueuedReloadAnim request;
    bOk = request.Init("anims\\a.jan", 0xFFFFFFFFu, 0xFFFFFFFFu, true, kMEMTYPE_Anim);
    hFile = request.GetDescriptor();
    if (bOk) bOk = request.GetDataSize() == bytes.size() && memcmp(request.GetData(), bytes.data(), bytes.size()) == 0;
  }
  const bool bClosed = fcntl(0, F_GETFD) == -1;
  dup2(iSaved, 0);
  close(iSaved);
  EXPECT_TRUE(bOk);
  EXPECT_EQ(0, hFile);
  EXPECT_TRUE(bClosed);

  EQueuedReloadAnim missing("anims\\none.jan", 0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_FALSE(missing.Init(kMEMTYPE_Anim));
  EXPECT_EQ(-1, missing.GetDescriptor());
  EXPECT_EQ(nullptr, missing.GetData());
}

TEST_F(AnimManagerTest, DamagedPacksStopAndKeepWhatWasRead) {
  const std::vector<uint8_t> pack = PackageAndPack();
  // The second entry's code.
  std::vector<uint8_t> bad = pack;
  size_t second = 0;
  for (size_t i = 12; i + 4 <= bad.size(); ++i) {
    if (memcmp(&bad[i], "BTSA", 4) == 0) second = i;
  }
  ASSERT_NE(0u, second);
  bad[second] = 'Z';
  EXPECT_FALSE(ReadPack(bad, true));
  EXPECT_EQ(1, CountLines("cooky == 'ASTB'"));
  EXPECT_EQ(1, m_pCache->GetNumAnims());
  EXPECT_TRUE(m_pCache->Find("anims\\walk.jan")->IsCommon());
  ExpectAccounting();

  std::vector<uint8_t> wrong = pack;
  wrong[0] = 'Q';
  EXPECT_FALSE(ReadPack(wrong));
  EXPECT_EQ(1, CountLines("cooky == 'APAK'"));

  // Every truncation stops cleanly with the accounting intact.
  for (size_t n = 0; n < pack.size(); ++n) {
    m_pCache->SafePurgeCache(true);
    std::vector<uint8_t> cut(pack.begin(), pack.begin() + n);
    EXPECT_FALSE(ReadPack(cut)) << n;
    ExpectAccounting();
  }
}

TEST_F(AnimManagerTest, ForcedPurgeLeavesHeldAnimationsToTheirHolders) {
  WriteBytes("anims/a.jan", Jan(kIdle));
  WriteBytes("anims/b.jan", Jan(kIdle));
  ESkelAnimShared* a = m_pCache->Get("anims/a.jan", 0.0f, 0);
  ASSERT_NE(nullptr, m_pCache->Preload("anims/b.jan", 0.0f, 0));
  m_pCache->SafePurgeCache(false);
  EXPECT_EQ(a, m_pCache->Find("anims\\a.jan"));
  EXPECT_EQ(nullptr, m_pCache->Find("anims\\b.jan"));
  m_pCache->SafePurgeCache(true);
  EXPECT_EQ(0, m_pCache->GetNumAnims());
  EXPECT_EQ(0, m_pCache->GetCurMem());
  // The holder still reads it; its release deletes it (leak checks see it).
  EXPECT_EQ(1, a->GetNumLoadedJoints());
  m_pCache->Release(a);
  // The same name loads anew.
  ESkelAnimShared* again = m_pCache->Get("anims/a.jan", 0.0f, 0);
  ASSERT_NE(nullptr, again);
  m_pCache->Release(again);
}

TEST_F(AnimManagerTest, Reports) {
  WriteBytes("anims/b.jan", Jan(kIdle));
  WriteBytes("anims/a.jan", Jan(kIdle));
  WriteBytes("anims/c.jan", Jan(kWalk));
  ESkelAnimShared* b = m_pCache->Get("anims/b.jan", 0.0f, EAnimManager::kFLAG_Common);
  m_pCache->Preload("anims/a.jan", 0.0f, 0);
  m_pCache->Preload("anims/c.jan", 0.0f, 0)->DiscardData();
  m_Lines.clear();
  m_pCache->PackfileReport();
  ASSERT_EQ(5u, m_Lines.size()) << AllLines();
  EXPECT_EQ("# Begin report", m_Lines[0]);
  EXPECT_EQ("0 anims\\a.jan", m_Lines[1]);
  EXPECT_EQ("1 anims\\b.jan", m_Lines[2]);
  EXPECT_EQ("0 anims\\c.jan", m_Lines[3]);
  EXPECT_EQ("# End report", m_Lines[4]);

  m_Lines.clear();
  m_pCache->DebugReport(0);
  EXPECT_EQ(1, CountLines("!!! Bad cur mem count: ")) << "c was discarded behind the cache's back";
  EXPECT_EQ("Anims: 3", m_Lines.at(2));
  EXPECT_EQ(1, CountLines("Locked and loaded:    1"));
  EXPECT_EQ(1, CountLines("Loaded:               1"));
  EXPECT_EQ(1, CountLines("Partially loaded:     1"));
  EXPECT_EQ(6u, m_Lines.size());
  m_Lines.clear();
  m_pCache->DebugReport(3);
  EXPECT_EQ(2, CountLines("------------------ (Loaded anims)"));
  EXPECT_EQ(1, CountLines(" 1 oC anims\\b.jan"));
  EXPECT_EQ(1, CountLines(" 0 o  anims\\a.jan"));
  EXPECT_EQ(1, CountLines(" 0 o  anims\\c.jan"));
  m_pCache->Release(b);
}

TEST_F(AnimManagerTest, ScriptNatives) {
  EScriptVM vm;
  ASSERT_NE(nullptr, vm.Initialise());
  auto run = [&](const char* code) { EXPECT_TRUE(vm.RunLuaCommands(code, nullptr, nullptr, 0)) << code; };

  run("AnimManager_SetCacheSize(128)");
  EXPECT_EQ(1, CountLines("Bad cache size: 128 K"));
  run("AnimManager_SetCacheSize(-5)");
  EXPECT_EQ(1, CountLines("Bad cache size: -5 K"));
  run("AnimManager_SetCacheSize(65536)");
  EXPECT_EQ(1, CountLines("Bad cache size: 65536 K"));
  EXPECT_EQ((unsigned)EAnimManager::kDEFAULT_BUDGET, m_pCache->GetCacheSize());
  run("AnimManager_SetCacheSize(129.7)");
  EXPECT_EQ(132096u, m_pCache->GetCacheSize());

  const std::vector<uint8_t> pack = PackageAndPack();
  WriteBytes("LevelPackFiles/level1.apf", pack);
  run("AnimManager_ReadPackfile('level1', 1)");
  run("AnimManager_ReadPackfile('missing', 1)");
  ASSERT_EQ(2, m_pCache->GetNumAnims());
  EXPECT_TRUE(m_pCache->Find("anims\\idle.jan")->IsCommon());
  m_Lines.clear();
  run("AnimManager_PackfileReport()");
  EXPECT_EQ(1, CountLines("1 anims\\idle.jan"));
  run("AnimManager_Report(1)");
  EXPECT_EQ(1, CountLines("Anims: 2"));
  EXPECT_EQ(1, CountLines("Age     Size   Bias Ref Name"));

  ESkelAnimShared* walk = m_pCache->Get("anims/walk.jan", 0.0f, EAnimManager::kFLAG_Block);
  run("AnimManager_SqueezeCache()");
  EXPECT_FALSE(walk->GetReloadNeeded());
  run("AnimManager_SqueezeCache(1)");
  EXPECT_TRUE(walk->GetReloadNeeded());
  run("AnimManager_PurgeOneAnim('anims\\\\idle.jan')");
  EXPECT_EQ(nullptr, m_pCache->Find("anims\\idle.jan"));
  run("AnimManager_PurgeCache()");
  EXPECT_EQ(walk, m_pCache->Find("anims\\walk.jan"));
  m_pCache->Release(walk);
  run("AnimManager_PurgeCache(0)");
  EXPECT_EQ(0, m_pCache->GetNumAnims());
  m_Lines.clear();
  run("AnimManager_SetCacheSize()");
  EXPECT_EQ(1, CountLines("invalid # of arguments (need 1)"));
  vm.Shutdown();
}
