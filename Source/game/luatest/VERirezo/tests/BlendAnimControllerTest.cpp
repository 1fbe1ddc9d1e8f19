// The per-mesh blend player and the manager behind it: limits, combining,
// speech, stops and fades, the default animation, the file cache and the
// asynchronous requests.
#include <SDL/SDL.h>

#include <string>
#include <vector>

#include "AnimTestUtil.h"
#include "ApfWriter.h"
#include "BlendTestUtil.h"
#include "TWUtil/EFileCache.h"
#include "TWUtil/EStream.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendAnimController.h"
#include "VERirezo/BlendShapeController.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/SkelAnim.h"

namespace {
bool s_bBubble = false;
bool BubbleQuery() { return s_bBubble; }

std::vector<uint8_t> Level(uint8_t v, int n) { return std::vector<uint8_t>((size_t)n, v); }
}  // namespace

class BlendControllerTest : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    s_bBubble = false;
    EBlendAnimController::SetBubbleQuery(&BubbleQuery);
    m_pManager = EBlendAnimManager::createBlendAnimManager();
    for (const char* n : {"Smile", "Jaw", "Brow", "Blink"}) m_Names.AddBlendMapping(n);
    m_pController = new EBlendAnimController();
    m_pController->setBlendAnimManager(m_pManager);
    m_pController->setBlendShapeController(&m_Names);
    WriteBytes("anims/smile.pba", PbaBytes({{"Smile", Level(100, 30)}}));
    WriteBytes("anims/grin.pba", PbaBytes({{"Smile", Level(200, 30)}}));
    WriteBytes("anims/blink.pba", PbaBytes({{"Blink", Level(255, 30)}}));
    WriteBytes("anims/talk.pba", PbaBytes({{"Jaw", Level(255, 30)}}));
    WriteBytes("anims/default.pba", PbaBytes({{"Brow", Level(51, 30)}}));
  }
  void TearDown() override {
    delete m_pController;
    EBlendAnimManager::destroyBlendAnimManager();
    EBlendAnimController::SetBubbleQuery(nullptr);
    AnimTest::TearDown();
  }
  EBlendAnim* Newest() const {
    return m_pController->GetList().head() ? m_pController->GetList().head()->m_Value : nullptr;
  }
  // One frame: advance, then read the weights as the renderer does.
  const float* Frame(float dt) {
    m_pController->update(dt);
    return m_pController->getBlendWeights();
  }
  bool Play(const char* name, float fade = 0.0f, bool lipSync = false, bool async = false) {
    return m_pController->loadBlendAnim(name, true, false, nullptr, fade, async, lipSync);
  }

  EBlendAnimManager* m_pManager = nullptr;
  EBlendAnimController* m_pController = nullptr;
  EBlendShapeController m_Names;
};

TEST_F(BlendControllerTest, EightPlayAndTheLargestWins) {
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(Play(i % 2 ? "anims/smile.pba" : "anims/grin.pba")) << i;
  EXPECT_FALSE(Play("anims/blink.pba"));
  EXPECT_EQ(8u, m_pController->GetList().count());
  EXPECT_EQ(8u, m_pManager->GetInstanceList().count());
  EXPECT_FALSE(m_pController->IsBlendAnimLoaded("anims/blink.pba"));
  const float* w = Frame(0.1f);
  EXPECT_FLOAT_EQ(200 / 255.0f, w[0]) << "the maximum, not the sum";
  EXPECT_EQ(0.0f, w[3]);

  EXPECT_TRUE(m_pController->unloadBlendAnim("anims/grin.pba"));
  EXPECT_EQ(4u, m_pController->GetList().count());
  EXPECT_FALSE(m_pController->unloadBlendAnim("anims/never.pba"));
  EXPECT_TRUE(m_pController->unloadBlendAnim(nullptr));
  EXPECT_EQ(0u, m_pController->GetList().count());
  EXPECT_EQ(0u, m_pManager->GetInstanceList().count());
}

TEST_F(BlendControllerTest, SpeechPushesTheOthersDown) {
  ASSERT_TRUE(Play("anims/blink.pba"));
  ASSERT_TRUE(Play("anims/talk.pba", 0.0f, true));
  const float* w = Frame(0.1f);
  EXPECT_FLOAT_EQ(0.2f, w[3]) << "a blink under speech";
  EXPECT_FLOAT_EQ(1.0f, w[1]);

  // While the bubble is up speech neither advances nor counts.
  EBlendAnim* talk = Newest();
  const float t = talk->getTime();
  s_bBubble = true;
  w = Frame(0.1f);
  EXPECT_EQ(t, talk->getTime());
  EXPECT_FLOAT_EQ(1.0f, w[3]);
  EXPECT_EQ(0.0f, w[1]);
  s_bBubble = false;
  w = Frame(0.1f);
  EXPECT_FLOAT_EQ(t + 0.1f, talk->getTime());
  EXPECT_FLOAT_EQ(0.2f, w[3]);
}

TEST_F(BlendControllerTest, StopFadesOutThenHousecleanRemoves) {
  ASSERT_TRUE(Play("anims/smile.pba", 1.0f));
  EBlendAnim* a = Newest();
  EXPECT_EQ(0.0f, a->getBlendFactor());
  for (int i = 0; i < 3; ++i) Frame(0.2f);
  EXPECT_NEAR(0.6f, a->getBlendFactor(), 1e-6f);

  EXPECT_TRUE(m_pController->stopBlendAnim("anims/smile.pba", 0.5f));
  EXPECT_FALSE(a->IsActive());
  for (int i = 0; i < 3; ++i) Frame(0.1f);
  EXPECT_NEAR(0.0f, a->getBlendFactor(), 1e-6f);
  Frame(0.1f);
  EXPECT_EQ(0.0f, a->getBlendFactor());
  EXPECT_EQ(1u, m_pController->GetList().count());
  m_pController->houseclean();
  EXPECT_EQ(0u, m_pController->GetList().count());

  // Without a fade an instance that faded in keeps its rate; others go at
  // 10 per second. A stop of a name not playing changes nothing.
  ASSERT_TRUE(Play("anims/grin.pba"));
  EXPECT_FALSE(m_pController->stopBlendAnim("anims/smile.pba", 0.0f));
  EXPECT_TRUE(m_pController->stopBlendAnim(nullptr, 0.0f));
  Frame(0.05f);
  EXPECT_FLOAT_EQ(0.5f, Newest()->getBlendFactor());
}

TEST_F(BlendControllerTest, DefaultAnimationRule) {
  ASSERT_TRUE(m_pController->loadBlendAnim("anims/blink.pba", false, false, nullptr, 0.0f, false, false));
  EXPECT_TRUE(m_pController->PlayDefaultAnim("anims/default.pba"));
  EBlendAnim* def = Newest();
  EXPECT_TRUE(def->IsLooping());
  EXPECT_EQ(0.0f, def->getBlendFactor());
  EXPECT_TRUE(def->IsAutoBlend());
  Frame(0.05f);
  EXPECT_FLOAT_EQ(0.5f, def->getBlendFactor()) << "a fade-in of 0.1 s";
  EXPECT_FALSE(m_pController->PlayDefaultAnim("anims/default.pba")) << "already playing";
  EXPECT_EQ(2u, m_pController->GetList().count());

  ASSERT_TRUE(Play("anims/smile.pba"));
  EXPECT_TRUE(m_pController->PlayDefaultAnim("anims/default.pba"));
  EXPECT_FALSE(def->IsActive());
  Frame(0.05f);
  Frame(0.05f);
  EXPECT_EQ(0.0f, def->getBlendFactor());
  // Another animation alone: nothing starts.
  m_pController->houseclean();
  EXPECT_FALSE(m_pController->PlayDefaultAnim("anims/default.pba"));
  EXPECT_EQ(2u, m_pController->GetList().count());
}

TEST_F(BlendControllerTest, AsynchronousLoads) {
  ASSERT_TRUE(Play("anims/talk.pba", 0.0f, true, true));
  EBlendAnim* talk = Newest();
  EXPECT_TRUE(talk->IsBound());
  EXPECT_TRUE(talk->OwnsShared());
  EXPECT_STREQ("anims/talk.pba", talk->m_pShared->getName());
  EXPECT_FALSE(m_pController->IsBlendAnimLoaded("anims/talk.pba"));
  EXPECT_EQ(0u, m_pManager->count()) << "not through the cache";
  EXPECT_EQ(0, m_pManager->GetNumRequests());
  Frame(0.25f);
  EXPECT_FLOAT_EQ(0.25f, m_pController->GetBlendAnimCompletion("anims/talk.pba"));
  EXPECT_EQ(1.0f, m_pController->GetBlendAnimCompletion("anims/smile.pba"));
  EXPECT_EQ(1.0f, Frame(0.0f)[1]);
  EXPECT_FALSE(Play("anims/nothere.pba", 0.0f, false, true));

  // The pool has 20 requests; a full pool refuses loads.
  std::vector<BlendAnimRequest*> held;
  for (int i = 0; i < 20; ++i) {
    held.push_back(m_pManager->StartAsyncRequest());
    ASSERT_NE(nullptr, held.back()) << i;
  }
  EXPECT_EQ(nullptr, m_pManager->StartAsyncRequest());
  EXPECT_FALSE(Play("anims/smile.pba", 0.0f, false, true));
  m_pManager->AbortAsyncRequest(held[5]);
  m_pManager->AbortAsyncRequest(held[5]);
  EXPECT_EQ(19, m_pManager->GetNumRequests());
  EXPECT_TRUE(Play("anims/smile.pba", 0.0f, false, true));
  m_pManager->FinishAsyncRequests();
  EXPECT_EQ(0, m_pManager->GetNumRequests());
}

TEST_F(BlendControllerTest, PendingRequestsFillTheirTargetsLater) {
  // A request still waiting when its data goes is detached, and one that
  // completes fills its target.
  EBlendAnimShared* pending = new EBlendAnimShared();
  BlendAnimRequest* r = m_pManager->StartAsyncRequest();
  ASSERT_NE(nullptr, r);
  r->m_pTarget = pending;
  r->m_pBuffer = static_cast<char*>(malloc(8));
  EXPECT_TRUE(m_pManager->HasPendingAsyncRequest(pending));
  delete pending;
  EXPECT_EQ(nullptr, r->m_pTarget);
  EXPECT_EQ(nullptr, r->m_pBuffer);
  m_pManager->DoWork(0.0f);
  EXPECT_EQ(0, m_pManager->GetNumRequests());
}

TEST_F(BlendControllerTest, CacheKeepsFilesInUse) {
  ASSERT_TRUE(Play("anims/smile.pba"));
  EDynamicCacheFile* smile = m_pManager->getBlendAnimCacheRef("anims/smile.pba");
  ASSERT_NE(nullptr, smile);
  // Data held outside the manager's list, as a full list hands it out.
  EDynamicCacheFile* grin = m_pManager->loadBlendAnim("anims/grin.pba");
  EBlendAnimShared* untracked = new EBlendAnimShared();
  untracked->loadFromMemory(grin);
  for (int i = 0; (int)m_pManager->count() < EBlendAnimManager::kCACHE_FILES; ++i) {
    std::string name = "fill/f" + std::to_string(i) + ".pba";
    WriteBytes(name, PbaBytes({{"Smile", {1}}}));
    ASSERT_NE(nullptr, m_pManager->loadBlendAnim(name.c_str()));
  }
  const unsigned now = SDL_GetTicks();
  for (EStaticListIter<EDynamicCacheFile*> it(m_pManager->GetCache().GetCacheList()); !it.isDone(); it.next())
    it.item()->setLastAccess(now - 40000);
  m_Lines.clear();
  WriteBytes("anims/new.pba", PbaBytes({{"Smile", {1}}}));
  EXPECT_NE(nullptr, m_pManager->loadBlendAnim("anims/new.pba"));
  EXPECT_EQ(1, CountLines("Purging blend anim cache!"));
  EXPECT_EQ(1, CountLines("Trying to purge file still in use: anims/smile.pba, marking access time as now"))
      << AllLines();
  EXPECT_EQ(EBlendAnimManager::kCACHE_FILES / 2 + 1, (int)m_pManager->count());
  EXPECT_EQ(smile, m_pManager->getBlendAnimCacheRef("anims/smile.pba"));
  EXPECT_EQ(grin, m_pManager->getBlendAnimCacheRef("anims/grin.pba")) << "in use outside the list";
  EXPECT_FALSE(m_pManager->purgeBlendAnim("anims/grin.pba"));
  delete untracked;
  EXPECT_TRUE(m_pManager->purgeBlendAnim("anims/grin.pba"));
  EXPECT_FALSE(m_pManager->purgeBlendAnim("anims/grin.pba"));

  // Stops and unloads still find the playing file.
  EXPECT_TRUE(m_pController->stopBlendAnim("anims/smile.pba", 0.0f));
  EXPECT_TRUE(m_pController->unloadBlendAnim("anims/smile.pba"));

  m_Lines.clear();
  m_pManager->DebugDumpBlendAnims();
  EXPECT_EQ(1, CountLines("0 blend anims"));
  EXPECT_EQ(1, CountLines("anims/new.pba: 24"));
}

TEST_F(BlendControllerTest, MissingFileIsCachedEmpty) {
  m_Lines.clear();
  EXPECT_FALSE(Play("anims/later.pba"));
  EDynamicCacheFile* entry = m_pManager->getBlendAnimCacheRef("anims/later.pba");
  ASSERT_NE(nullptr, entry);
  EXPECT_EQ(nullptr, entry->data());
  WriteBytes("anims/later.pba", PbaBytes({{"Smile", {1}}}));
  EXPECT_EQ(nullptr, m_pManager->getBlendAnim("anims/later.pba")) << "not opened again";
  EXPECT_EQ(1u, m_pManager->count());
  EXPECT_EQ(0, CountLines("Can't find cached file"));
}

TEST_F(BlendControllerTest, MeshesForwardToTheirPlayer) {
  EMesh mesh;
  EXPECT_EQ(nullptr, mesh.getBlendWeights());
  EXPECT_EQ(1.0f, mesh.GetBlendAnimCompletion("anims/smile.pba"));
  EXPECT_FALSE(mesh.loadBlendAnim("anims/smile.pba", true, false, nullptr, 0.0f, false, false));
  EXPECT_FALSE(mesh.stopBlendAnim(nullptr, 0.0f));
  mesh.updateBlendAnim(0.1f);

  EBlendAnimController* player = mesh.CreateBlendAnimController();
  ASSERT_NE(nullptr, player);
  EXPECT_EQ(player, mesh.CreateBlendAnimController());
  player->setBlendShapeController(&m_Names);
  ASSERT_TRUE(mesh.loadBlendAnim("anims/smile.pba", true, false, nullptr, 0.0f, false, false));
  mesh.updateBlendAnim(0.1f);
  EXPECT_FLOAT_EQ(100 / 255.0f, mesh.getBlendWeights()[0]);
  EXPECT_EQ(player, mesh.GetBlendAnimList());

  {
    // A copy gets a player of its own.
    EMesh copy(mesh);
    ASSERT_NE(nullptr, copy.GetBlendAnimController());
    EXPECT_NE(player, copy.GetBlendAnimController());
    EXPECT_EQ(0u, copy.GetBlendAnimController()->GetList().count());
  }
  EXPECT_EQ(1u, m_pManager->GetInstanceList().count());
  EXPECT_TRUE(mesh.unloadBlendAnim("anims/smile.pba"));
  EXPECT_EQ(0u, m_pManager->GetInstanceList().count());
}

TEST_F(BlendControllerTest, SkeletalAnimationsBringTheirBlendData) {
  ASSERT_TRUE(EAnimManager::Create(0x480000));
  const char* const kJan = "version 201\nlength 4\njoint Hips 0\nrot 0: 0 0 0 1, 4: 0 0 0.6 0.8\n";
  WriteBytes("anims/nod.jan", Jan(kJan));
  WriteBytes("anims/nod.pba", PbaBytes({{"Brow", Level(9, 4)}}));
  WriteBytes("anims/still.jan", Jan(kJan));
  ESkelAnimShared* nod = EAnimManager::Get()->Get("anims/nod.jan", 1.0f, 0);
  ESkelAnimShared* still = EAnimManager::Get()->Get("anims/still.jan", 1.0f, 0);
  ASSERT_NE(nullptr, nod);
  ASSERT_NE(nullptr, still);
  EBlendAnimShared* blend = nod->GetBlendAnimShared();
  ASSERT_NE(nullptr, blend);
  EXPECT_EQ(nullptr, still->GetBlendAnimShared());
  EXPECT_EQ(1u, blend->getNumChannels());
  EXPECT_STREQ("anims\\nod.pba", blend->getName()) << "named after the cache key";
  // Borrowers count as users of the animation.
  blend->AddRef();
  EXPECT_EQ(2, nod->GetRefCount());
  blend->RemoveRef();
  EAnimManager::Get()->Release(nod);
  EAnimManager::Get()->Release(still);

  // Animation packs carry blend data in 'blnd' sections.
  std::vector<ApfEntry> entries(2);
  entries[0].name = "anims/packed.jan";
  entries[0].jan = Jan(kJan);
  entries[0].hasBlend = true;
  entries[0].blend = PbaBytes({{"Jaw", Level(7, 3)}, {"Brow", Level(8, 2)}});
  entries[1].name = "anims/short.jan";
  entries[1].jan = Jan(kJan);
  entries[1].hasBlend = true;
  entries[1].blend = {0x41, 0x42, 0x50, 0x45, 1};
  std::vector<uint8_t> pack;
  std::string error;
  ASSERT_TRUE(WriteApf(entries, pack, error)) << error;
  m_Lines.clear();
  EMemReader reader(pack.data(), (unsigned)pack.size());
  ASSERT_TRUE(EAnimManager::Get()->ReadPackFile(reader, false)) << AllLines();
  EXPECT_EQ(1, CountLines("Bad pba, header only - 'anims\\short.jan'")) << AllLines();
  ESkelAnimShared* packed = EAnimManager::Get()->Get("anims/packed.jan", 1.0f, EAnimManager::kFLAG_NoReload);
  ESkelAnimShared* shortOne = EAnimManager::Get()->Get("anims/short.jan", 1.0f, EAnimManager::kFLAG_NoReload);
  ASSERT_NE(nullptr, packed);
  ASSERT_NE(nullptr, shortOne);
  ASSERT_NE(nullptr, packed->GetBlendAnimShared());
  EXPECT_EQ(2u, packed->GetBlendAnimShared()->getNumChannels());
  EXPECT_EQ(nullptr, shortOne->GetBlendAnimShared());
  EAnimManager::Get()->Release(packed);
  EAnimManager::Get()->Release(shortOne);
  EAnimManager::Destroy();
}

TEST_F(BlendControllerTest, PlayerOutlivingTheManagerLetsGoAlone) {
  ASSERT_TRUE(Play("anims/smile.pba"));
  ASSERT_TRUE(Play("anims/talk.pba", 0.0f, true, true));
  EXPECT_TRUE(EBlendAnimManager::destroyBlendAnimManager());
  m_pController->update(0.1f);
  EXPECT_EQ(2u, m_pController->GetList().count());
  delete m_pController;
  m_pController = nullptr;
}
