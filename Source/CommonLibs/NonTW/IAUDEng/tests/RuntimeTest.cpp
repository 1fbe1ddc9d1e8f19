// The runtime's registry, scheduler and effect-slot controller against a
// render interface that records every call.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/tests/RecordingRender.h"
#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"
#include "NonTW/IAUDEng/IAUDEffectSlotController.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/IAUDString.h"

namespace {

// Opens the runtime on a recording driver and closes it again.
using iaudtest::RecordingRender;

class RuntimeTest : public ::testing::Test {
 protected:
  void Open() { manager = new IAUDResourceManager(&render); }
  void TearDown() override {
    if (m_papiResourceManager) {
      IAUDResourceManager::ReleaseAll();
      delete m_papiResourceManager;
      m_papiResourceManager = nullptr;
    }
    IAUDResourceManager::SetHeadRoomGain(1.0f);
  }
  RecordingRender render;
  IAUDResourceManager* manager = nullptr;
};

// Counts its cycles and plays on; may stop its player on a chosen cycle.
class CountingContent : public IAUDContentObject {
 public:
  CountingContent() : IAUDContentObject(nullptr) {}
  int32_t CycleObject(void*, int32_t*, void*, CPlayer* player) override {
    ++cycles;
    order->push_back(this);
    if (cycles == stopOnCycle) player->StopPlayer();
    return true;
  }
  int cycles = 0;
  int stopOnCycle = -1;
  std::vector<CountingContent*>* order = nullptr;
};

std::vector<uint16_t> Wide(const char* s) {
  std::vector<uint16_t> w(strlen(s) + 1);
  IAUDCharStringToShortString(s, w.data());
  return w;
}

}  // namespace

TEST_F(RuntimeTest, OpenRegistersTimerAndCloseUnregistersItFirst) {
  Open();
  EXPECT_EQ(m_papiResourceManager, manager);
  ASSERT_NE(IAUDResourceManager::m_pSlotController, nullptr);
  ASSERT_NE(IAUDResourceManager::GetVoiceController(), nullptr);
  ASSERT_NE(IAUDResourceManager::m_pTranslator, nullptr);
  ASSERT_NE(IAUDResourceManager::GetScheduler(), nullptr);
  // The slot controller asks for the slot count before the voice controller
  // resets the tracks, and the scheduler registers last.
  ASSERT_GE(render.calls.size(), 3u);
  EXPECT_EQ(render.calls.front(), "GetTotalSlotCount");
  EXPECT_EQ(render.calls[1], "SetTrackLevel 0");
  EXPECT_EQ(render.calls.back(), "SetSchedulerTimerProc");
  EXPECT_EQ(IAUDResourceManager::GetMicrosPerPeriod(), 10000u);
  // A second open keeps the first driver.
  RecordingRender other;
  IAUDResourceManager second(&other);
  EXPECT_EQ(IAUDResourceManager::GetRenderInterface(), &render);
  EXPECT_TRUE(other.calls.empty());

  CPlayer* player = new CPlayer();
  player->StartPlayer();
  IAUDResourceManager::m_pMasterPlayer = player;
  render.calls.clear();
  IAUDResourceManager::ReleaseAll();
  EXPECT_EQ(render.calls, (std::vector<std::string>{"SetSchedulerTimerProc(null)"}));
  EXPECT_EQ(IAUDResourceManager::m_pPlayerList, nullptr);
  EXPECT_EQ(IAUDResourceManager::m_pActivePlayers, nullptr);
  EXPECT_EQ(IAUDResourceManager::m_pMasterPlayer, nullptr);
  EXPECT_EQ(IAUDResourceManager::GetScheduler(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetVoiceController(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetRenderInterface(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetMicrosPerPeriod(), 0u);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

TEST_F(RuntimeTest, SchedulerCarriesMicrosecondsIntoMilliseconds) {
  render.period = 1500;
  Open();
  IAUDScheduler* s = IAUDResourceManager::GetScheduler();
  std::vector<uint32_t> steps;
  uint32_t last = s->GetMilliseconds();
  for (int i = 0; i < 4; ++i) {
    render.proc();
    steps.push_back(s->GetMilliseconds() - last);
    last = s->GetMilliseconds();
  }
  EXPECT_EQ(steps, (std::vector<uint32_t>{1, 2, 1, 2}));
  EXPECT_EQ(render.exclusiveDepth, 0);
}

TEST_F(RuntimeTest, SyncLockHoldsTicksBackAndCatchesUp) {
  Open();
  IAUDScheduler* s = IAUDResourceManager::GetScheduler();
  std::vector<CountingContent*> order;
  CountingContent master, a, b;
  master.order = a.order = b.order = &order;
  CPlayer pm, pa, pb, idle;
  pm.AttachPrimaryContent(&master);
  pa.AttachPrimaryContent(&a);
  pb.AttachPrimaryContent(&b);
  pa.StartPlayer();
  pm.StartPlayer();
  pb.StartPlayer();
  IAUDResourceManager::m_pMasterPlayer = &pm;

  apiPlayerSyncLock();
  for (int i = 0; i < 3; ++i) render.proc();
  EXPECT_EQ(s->GetMilliseconds(), 0u);
  EXPECT_EQ(s->GetPendingTicks(), 3);
  EXPECT_EQ(a.cycles, 0);
  apiPlayerSyncUnlock();
  render.proc();
  EXPECT_EQ(s->GetMilliseconds(), 40u);
  EXPECT_EQ(s->GetPendingTicks(), 0);
  EXPECT_EQ(master.cycles, 4);
  EXPECT_EQ(a.cycles, 4);
  EXPECT_EQ(b.cycles, 4);
  // The master comes first on every tick.
  ASSERT_EQ(order.size(), 12u);
  for (size_t i = 0; i < order.size(); i += 3) EXPECT_EQ(order[i], &master);

  // A master that is not playing is not cycled; the others still are.
  pm.StopPlayer();
  render.proc();
  EXPECT_EQ(master.cycles, 4);
  EXPECT_EQ(a.cycles, 5);
  EXPECT_EQ(b.cycles, 5);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

TEST_F(RuntimeTest, PlayerLeavingTheListWhileCycledDoesNotEndTheWalk) {
  Open();
  CountingContent first, second, third;
  std::vector<CountingContent*> order;
  first.order = second.order = third.order = &order;
  CPlayer p1, p2, p3;
  p1.AttachPrimaryContent(&first);
  p2.AttachPrimaryContent(&second);
  p3.AttachPrimaryContent(&third);
  p3.StartPlayer();
  p2.StartPlayer();
  p1.StartPlayer();  // active list: p1, p2, p3
  second.stopOnCycle = 1;
  render.proc();
  EXPECT_EQ(order, (std::vector<CountingContent*>{&first, &second, &third}));
  render.proc();
  EXPECT_EQ(second.cycles, 1);
  EXPECT_EQ(third.cycles, 2);
}

TEST(RuntimeSchedulerTest, WithoutDriverNothingTicksAndThePeriodIs1000) {
  IAUDScheduler s;
  EXPECT_EQ(s.GetMicrosInPeriod(), 1000u);
  s.SetSyncLock(true);
  IAUDScheduler::IAUDSchedulerTimerProc();
  EXPECT_EQ(s.GetMilliseconds(), 0u);
  s.UpdateSystemTimer();
  EXPECT_EQ(s.GetMilliseconds(), 1u);
}

TEST_F(RuntimeTest, SampleBankSlots) {
  Open();
  IAUDSampleBank* a = new IAUDSampleBank();
  IAUDSampleBank* b = new IAUDSampleBank();
  EXPECT_EQ(IAUDResourceManager::AddNewSampleBank(a), 0);
  EXPECT_EQ(a->GetResourceIndex(), 0u);
  // 256 lands in slot 0 and removes the bank there.
  IAUDResourceManager::AddSampleBank(b, 256);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(0), b);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(256), nullptr);
  // Moving keeps the bank alive.
  IAUDResourceManager::MoveSampleBank(b, 7);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(0), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(7), b);
  EXPECT_EQ(b->GetResourceIndex(), 7u);
  for (int i = 0; i < 255; ++i) EXPECT_GE(IAUDResourceManager::AddNewSampleBank(new IAUDSampleBank()), 0);
  IAUDSampleBank* extra = new IAUDSampleBank();
  EXPECT_EQ((uint32_t)IAUDResourceManager::AddNewSampleBank(extra), 0x80000000u);
  delete extra;
  // Null empties a slot (and removes its bank).
  IAUDResourceManager::AddSampleBank(nullptr, 7);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(7), nullptr);
  IAUDResourceManager::ReleaseAllResources();
  for (uint32_t i = 0; i < 256; ++i) EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(i), nullptr);
}

TEST_F(RuntimeTest, ReleaseAllResourcesRemovesTheProjectFile) {
  Open();
  new IAUDFileObject();
  EXPECT_NE(IAUDResourceManager::GetFileObject(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetSample(0x00005), nullptr);
  IAUDResourceManager::ReleaseAllResources();
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetSample(0x1010005), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetSample(0x10005), nullptr);
}

TEST(RuntimeRegistryTest, GroupsAreFoundByTitleAndReuseDeletedEntries) {
  IAUDResourceManager::ReleaseAllGroups();
  std::vector<uint16_t> music = Wide("music"), voice = Wide("voice"), ui = Wide("ui");
  int32_t m = IAUDResourceManager::AddGroup(music.data());
  int32_t v = IAUDResourceManager::AddGroup(voice.data());
  EXPECT_EQ(IAUDResourceManager::AddGroup(music.data()), m);
  EXPECT_EQ(IAUDResourceManager::GetGroupArrayCount(), 2);
  IAUDResourceManager::DeleteGroup((uint32_t)m);
  EXPECT_EQ(IAUDResourceManager::GetGroup((uint32_t)m), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetGroupArrayCount(), 2);
  EXPECT_EQ(IAUDResourceManager::AddGroup(ui.data()), m);
  EXPECT_EQ(IAUDResourceManager::GetGroup(99), nullptr);
  EXPECT_NE(v, m);
  IAUDResourceManager::DeleteGroup(99);
  IAUDResourceManager::ReleaseAllGroups();
  EXPECT_EQ(IAUDResourceManager::GetGroupArrayCount(), 0);
}

TEST(RuntimeRegistryTest, GroupTitleKeepsItsZeroAndGainStores) {
  std::vector<uint16_t> longTitle(200, 'a');
  longTitle.back() = 0;
  CGroup g(longTitle.data());
  EXPECT_EQ(IAUDGetStringLength(g.GetTitle()), 127);
  EXPECT_EQ(g.GetGain(), 1.0f);
  g.SetGain(0.25f);
  EXPECT_EQ(g.GetGain(), 0.25f);
  std::vector<uint16_t> shortTitle = Wide("fx");
  g.SetTitle(shortTitle.data());
  g.SetTitle(nullptr);
  EXPECT_EQ(IAUDCompareString(g.GetTitle(), shortTitle.data()), 0);
  EXPECT_EQ(g.GetTitle()[127], 0);
}

TEST(RuntimeRegistryTest, ErrorCodeIsResetWhenRead) {
  IAUDResourceManager::SetIAUDErrorCode(-12);
  EXPECT_EQ(IAUDResourceManager::GetIAUDErrorCode(), -12);
  EXPECT_EQ(IAUDResourceManager::GetIAUDErrorCode(), 0);
  EXPECT_EQ(IAUDResourceManager::GetHeadRoomGain(), 1.0f);
}

TEST_F(RuntimeTest, SlotControllerCapsCountAndResetsSlots) {
  render.slots = 64;
  Open();
  IAUDSlotController* c = IAUDResourceManager::m_pSlotController;
  EXPECT_EQ(c->GetSlotCount(), 32u);
  render.calls.clear();
  c->ResetSlotState(0);
  c->ResetSlotState(5);
  c->ResetSlotState(32);  // outside the default table: ignored
  c->ResetSlotState(-1);
  EXPECT_EQ(render.calls, (std::vector<std::string>{"SetSlotEffect 0", "SetSlotLevel 0 0", "SetSlotFlags 0 0",
                                                    "SetSlotEffect 5", "SetSlotLevel 5 0", "SetSlotFlags 5 0"}));
  ASSERT_EQ(render.effects.size(), 2u);
  const _GUID reverb = {0x0CF95C8F, 0xA3CC, 0x4849, {0xB0, 0xB6, 0x83, 0x2E, 0xCC, 0x18, 0x22, 0xDF}};
  EXPECT_EQ(memcmp(&render.effects[0], &reverb, sizeof(_GUID)), 0);
  const _GUID none = {};
  EXPECT_EQ(memcmp(&render.effects[1], &none, sizeof(_GUID)), 0);
  EXPECT_EQ(render.levels, (std::vector<float>{1.0f, 1.0f}));
  EXPECT_EQ(render.flags, (std::vector<unsigned long>{1, 1}));
  float level = 0;
  c->GetSlotLevel(5, &level);
  EXPECT_EQ(level, 1.0f);
}

TEST(RuntimeSlotTest, WithoutDriverSettingsReturnZeroAndEffectIsNull) {
  IAUDSlotController c;
  EXPECT_EQ(c.GetSlotCount(), 0u);
  EXPECT_EQ(c.ResetSlotState(0), 0);
  _GUID g;
  memset(&g, 0xAB, sizeof(g));
  c.GetSlotEffect(0, &g);
  const _GUID none = {};
  EXPECT_EQ(memcmp(&g, &none, sizeof(_GUID)), 0);
}
