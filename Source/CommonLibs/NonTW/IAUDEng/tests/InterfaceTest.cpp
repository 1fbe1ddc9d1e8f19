// The runtime's programming interface on the recording driver: the one
// object and the runtime's life under it, the operations' slots, the codes
// of the control, listener, effect and group functions, the distance factor,
// and the all-audio walks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDEntityApi.h"
#include "NonTW/IAUDEng/IAUDInterface.h"
#include "NonTW/IAUDEng/IAUDMath.h"
#include "NonTW/IAUDEng/IAUDPlayerApi.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDVoiceController.h"
#include "NonTW/IAUDEng/tests/InterfaceTestSupport.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using interfacetest::InterfaceTest;
using interfacetest::ListenerRender;

// The virtual-table slot a pointer to a virtual member names (the Itanium
// C++ ABI stores the slot's byte offset plus one).
template <class M>
size_t InterfaceSlotOf(M member) {
  struct {
    uintptr_t ptr;
    ptrdiff_t adj;
  } rep;
  static_assert(sizeof(member) == sizeof(rep), "a member pointer is two words");
  memcpy(&rep, &member, sizeof(rep));
  return (rep.ptr - 1) / sizeof(void*);
}

using I = IAUDInterface;

TEST(InterfaceSlots, TheOperationsKeepTheirSlots) {
  const std::pair<size_t, size_t> slots[] = {
      {InterfaceSlotOf(static_cast<int32_t (I::*)(const uint16_t*)>(&I::LoadFile)), 0},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(const char*)>(&I::LoadFile)), 1},
      {InterfaceSlotOf(&I::ReleaseAllResources), 2},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(uint32_t, const uint16_t*, bool)>(&I::LoadSampleBank)), 3},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(void**, uint32_t, uint32_t)>(&I::GetSampleHandle)), 15},
      {InterfaceSlotOf(&I::GetSampleGroupHandle), 17},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(uint16_t*, uint32_t, uint32_t)>(&I::GetSampleName)), 18},
      {InterfaceSlotOf(&I::UpdateStreamingSampleBanks), 20},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(void**, const uint16_t*)>(&I::LoadContentBank)), 21},
      {InterfaceSlotOf(&I::GetContentGroupHandle), 40},
      {InterfaceSlotOf(&I::ReleaseInterface), 41},
      {InterfaceSlotOf(&I::GetAvailableVoiceCount), 42},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(float, float, float)>(&I::SetListenerOrientation)), 53},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(float*, float*, float*)>(&I::GetListenerOrientation)), 56},
      {InterfaceSlotOf(&I::GetEAXProperty), 58},
      {InterfaceSlotOf(&I::CreateAudioPlayer), 59},
      {InterfaceSlotOf(&I::ReleasePlayerRPC), 66},
      {InterfaceSlotOf(&I::AttachPlayerPrimaryContent), 67},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(void*, STransition*, int32_t, void*)>(&I::TransitionAudioPlayer)),
       74},
      {InterfaceSlotOf(&I::GetAudioPlayerVelocity), 92},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(void**, const uint16_t*, void*)>(&I::CreateEntity)), 93},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(void*, uint32_t, uint32_t)>(&I::SetEntityLocalVarState)), 108},
      {InterfaceSlotOf(&I::GetEntityPitch), 133},
      {InterfaceSlotOf(&I::GetNumGlobalVars), 135},
      {InterfaceSlotOf(
           static_cast<int32_t (I::*)(void*, uint32_t, uint32_t, char*, uint32_t)>(&I::GetGlobalVarStateName)),
       145},
      {InterfaceSlotOf(static_cast<int32_t (I::*)(void**, const uint16_t*)>(&I::GetGroupHandle)), 146},
      {InterfaceSlotOf(&I::GetGroupGain), 150},
  };
  for (const auto& s : slots) EXPECT_EQ(s.first, s.second);
}

TEST(InterfaceLife, OneObjectOnTheFirstDriverUntilReleasedThenAFreshRuntime) {
  ListenerRender first, second;
  IAUDWinInterface* a = RetrieveIAUDInterface(&first);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(RetrieveIAUDInterface(&second), a);
  EXPECT_EQ(IAUDWinInterface::m_dwCount, 1u);
  EXPECT_EQ(IAUDResourceManager::m_pRenderInterface, &first);
  EXPECT_NE(first.proc, nullptr);
  EXPECT_TRUE(second.calls.empty());

  // A player left alive goes with the runtime; the driver's timer stops.
  void* player = nullptr;
  ASSERT_EQ(a->CreateAudioPlayer(&player), 0);
  ASSERT_NE(player, nullptr);
  a->ReleaseInterface();
  EXPECT_EQ(g_pWinInterface, nullptr);
  EXPECT_EQ(IAUDWinInterface::m_dwCount, 0u);
  EXPECT_EQ(m_papiResourceManager, nullptr);
  EXPECT_EQ(IAUDResourceManager::m_pPlayerList, nullptr);
  EXPECT_EQ(first.calls.back(), "SetSchedulerTimerProc(null)");
  // The closed runtime forgets its driver, so a new one is taken.
  EXPECT_EQ(IAUDWinInterface::m_pRenderInterface, nullptr);

  for (int round = 0; round < 3; ++round) {
    IAUDInterface* again = RetrieveIAUDInterface(&second);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(IAUDResourceManager::m_pRenderInterface, &second);
    EXPECT_NE(m_papiResourceManager, nullptr);
    int32_t voices = 0;
    EXPECT_EQ(again->GetAvailableVoiceCount(&voices), 0);
    EXPECT_EQ(voices, second.trackCount);
    ASSERT_EQ(again->CreateAudioPlayer(&player), 0);
    again->ReleaseInterface();
    EXPECT_EQ(m_papiResourceManager, nullptr);
  }
  EXPECT_EQ(IAUDWinInterface::m_pRenderInterface, nullptr);
}

TEST(InterfaceLife, AClosedRuntimeAnswersNotStarted) {
  ASSERT_EQ(m_papiResourceManager, nullptr);
  IAUDVector v{1, 2, 3}, w{0, 1, 0};
  void* handle = nullptr;
  float f = 0;
  int32_t n = 0;
  const uint16_t name[] = {'a', 0};
  const std::pair<int32_t, int> cases[] = {
      {apiLoadFileShort(name), __LINE__},
      {apiReleaseAllResources(nullptr), __LINE__},
      {apiGetAvailableVoiceCount(&n), __LINE__},
      {apiStopAllAudio(nullptr), __LINE__},
      {apiPauseAllAudio(nullptr), __LINE__},
      {apiRestartAllAudio(nullptr), __LINE__},
      {apiSetDistanceFactor(2.0f), __LINE__},
      {apiSetHeadRoomGain(0.5f), __LINE__},
      {apiGetHeadRoomGain(&f), __LINE__},
      {apiSetListenerGain(0.5f), __LINE__},
      {apiSetListenerPosition(v), __LINE__},
      {apiSetListenerOrientation(v, w), __LINE__},
      {apiSetListenerOrientation(0.1f, 0.2f, 0.3f), __LINE__},
      {apiGetGroupHandleShort(&handle, name), __LINE__},
      {apiIsValidGroupHandle(reinterpret_cast<void*>(1)), __LINE__},
      {apiSetGroupGain(reinterpret_cast<void*>(1), 0.5f), __LINE__},
      {apiLoadContentBankShort(&handle, name), __LINE__},
      {apiIsValidContentBankHandle(nullptr), __LINE__},
      {apiGetContentHandleShort(&handle, name, nullptr), __LINE__},
      {apiLoadSampleBankShort(0, name, false), __LINE__},
      {apiIsValidSampleBankIndex(kIAUD_PROJECT_SAMPLE_BANK), __LINE__},
      {apiUnloadSampleBank(0), __LINE__},
      {apiUpdateStreamingSampleBanks(), __LINE__},
      {apiGetSampleHandle(&handle, 0u, 0u), __LINE__},
      {apiIsValidEntityHandle(nullptr), __LINE__},
  };
  for (const auto& c : cases) EXPECT_EQ(c.first, kIAUD_NOT_STARTED) << "line " << c.second;
  // What lives outside the runtime still answers.
  EXPECT_EQ(apiGetDistanceFactor(&f), 0);
  EXPECT_EQ(f, 1.0f);
  EXPECT_EQ(apiGetListenerPosition(&v), 0);
}

TEST_F(InterfaceTest, DistanceFactorsBelowTheSmallestNormalAreRefusedAndTheSameOneChangesNothing) {
  const float refused[] = {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), 1e-39f};
  for (float f : refused) EXPECT_EQ(iface->SetDistanceFactor(f), kIAUD_BAD_ARGUMENT) << f;
  float now = 0;
  EXPECT_EQ(iface->GetDistanceFactor(&now), 0);
  EXPECT_EQ(now, 1.0f);
  render.positions.clear();
  EXPECT_EQ(iface->SetDistanceFactor(1.0f), 0);
  EXPECT_TRUE(render.positions.empty());
  EXPECT_EQ(iface->GetDistanceFactor(nullptr), kIAUD_BAD_ARGUMENT);
}

TEST_F(InterfaceTest, ANewDistanceFactorKeepsWorldPlacesAndResendsThemScaled) {
  IAUDVector at{1, 0, 0};
  ASSERT_EQ(iface->SetListenerPosition(at), 0);
  ASSERT_EQ(render.positions.size(), 1u);
  EXPECT_EQ(render.positions[0].x, 1.0f);
  void* player = nullptr;
  ASSERT_EQ(iface->CreateAudioPlayer(&player), 0);
  IAUDVector placed{3, 4, 5}, moving{1, 0, -1};
  ASSERT_EQ(iface->SetAudioPlayerPosition(player, placed), 0);
  ASSERT_EQ(iface->SetAudioPlayerVelocity(player, moving), 0);

  ASSERT_EQ(iface->SetDistanceFactor(2.0f), 0);
  IAUDVector back{};
  EXPECT_EQ(iface->GetListenerPosition(&back), 0);
  EXPECT_EQ(back.x, 1.0f);
  EXPECT_EQ(back.y, 0.0f);
  ASSERT_EQ(render.positions.size(), 2u);
  EXPECT_EQ(render.positions[1].x, 2.0f);
  EXPECT_EQ(g_ivListenerPosition.x, 2.0f);
  // The re-sending ran inside the exclusive mode (nested once by the setter).
  EXPECT_EQ(render.positionDepths[1], 2);
  EXPECT_EQ(render.exclusiveDepth, 0);
  ASSERT_EQ(iface->GetAudioPlayerPosition(player, &back), 0);
  EXPECT_EQ(back.x, 3.0f);
  EXPECT_EQ(back.z, 5.0f);
  ASSERT_EQ(iface->GetAudioPlayerVelocity(player, &back), 0);
  EXPECT_EQ(back.z, -1.0f);
  // Positions set afterwards are scaled by the new factor.
  IAUDVector next{0, 0, 3};
  ASSERT_EQ(iface->SetListenerPosition(next), 0);
  EXPECT_EQ(render.positions.back().z, 6.0f);
}

TEST_F(InterfaceTest, ListenerOrientationFromVectorsIsKeptAndFromAnglesOnlySent) {
  IAUDVector forward{1, 0, 0}, up{0, 0, 1};
  ASSERT_EQ(iface->SetListenerOrientation(forward, up), 0);
  ASSERT_EQ(iface->SetListenerOrientation(0.25f, 0.5f, 0.75f), 0);
  ASSERT_EQ(render.orientations.size(), 2u);
  IAUDVector expectFront{}, expectTop{};
  IAUDcreateorientation(0.5f, 0.25f, 0.75f, expectFront, expectTop);
  EXPECT_EQ(render.orientations[1].first.x, expectFront.x);
  EXPECT_EQ(render.orientations[1].first.y, expectFront.y);
  EXPECT_EQ(render.orientations[1].second.z, expectTop.z);
  IAUDVector swapped{}, swappedTop{};
  IAUDcreateorientation(0.25f, 0.5f, 0.75f, swapped, swappedTop);
  EXPECT_NE(render.orientations[1].first.y, swapped.y);

  IAUDVector f{}, u{};
  EXPECT_EQ(iface->GetListenerOrientation(&f, &u), 0);
  EXPECT_EQ(f.x, 1.0f);
  EXPECT_EQ(u.z, 1.0f);
  EXPECT_EQ(iface->GetListenerOrientation(&f, nullptr), kIAUD_BAD_ARGUMENT);
  float a = 7, b = 8, c = 9;
  EXPECT_EQ(iface->GetListenerOrientation(&a, &b, &c), kIAUD_NOT_AVAILABLE);
  EXPECT_EQ(a + b + c, 24.0f);
  EXPECT_EQ(iface->GetListenerOrientation(&a, nullptr, &c), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetListenerOrientation(nullptr, &b, &c), kIAUD_BAD_ARGUMENT);
}

TEST_F(InterfaceTest, GainsAreCheckedAndReachTheirPlaces) {
  void* music = reinterpret_cast<void*>((uintptr_t)IAUDResourceManager::AddGroup(interfacetest::W(u"Music")) + 1);
  const std::pair<float, int32_t> gains[] = {{1.0f, 0},
                                             {0.0f, 0},
                                             {0.5f, 0},
                                             {1.01f, kIAUD_BAD_ARGUMENT},
                                             {-0.01f, kIAUD_BAD_ARGUMENT},
                                             {std::numeric_limits<float>::quiet_NaN(), kIAUD_BAD_ARGUMENT}};
  for (const auto& g : gains) {
    EXPECT_EQ(iface->SetGroupGain(music, g.first), g.second) << g.first;
    EXPECT_EQ(iface->SetHeadRoomGain(g.first), g.second) << g.first;
  }
  float gain = 0;
  EXPECT_EQ(iface->GetGroupGain(music, &gain), 0);
  EXPECT_EQ(gain, 0.5f);
  EXPECT_EQ(iface->GetHeadRoomGain(&gain), 0);
  EXPECT_EQ(gain, 0.5f);
  EXPECT_EQ(iface->SetGroupGain(reinterpret_cast<void*>(2), 0.5f), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->GetGroupGain(music, nullptr), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->SetListenerGain(3.0f), 0);  // the driver's own range
  ASSERT_EQ(render.listenerLevels.size(), 1u);
  EXPECT_EQ(render.listenerLevels[0], 3.0f);
}

TEST_F(InterfaceTest, GroupsAreFoundByTitleAndHandlesAreIndexPlusOne) {
  IAUDResourceManager::AddGroup(interfacetest::W(u"Voice"));
  std::u16string longTitle(127, u'g');
  IAUDResourceManager::AddGroup(interfacetest::W(longTitle));
  void* handle = nullptr;
  EXPECT_EQ(iface->GetGroupHandle(&handle, interfacetest::W(u"Voice")), 0);
  EXPECT_EQ(handle, reinterpret_cast<void*>(1));
  EXPECT_EQ(iface->GetGroupHandle(&handle, std::string(127, 'g').c_str()), 0);
  EXPECT_EQ(handle, reinterpret_cast<void*>(2));
  // A name the 8-bit buffer cannot hold names no group, also when its start
  // is a group's whole title.
  EXPECT_EQ(iface->GetGroupHandle(&handle, std::string(128, 'g').c_str()), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetGroupHandle(&handle, std::string(5000, 'g').c_str()), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetGroupHandle(&handle, "voice"), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetGroupHandle(nullptr, "Voice"), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetGroupHandle(&handle, static_cast<const char*>(nullptr)), kIAUD_BAD_ARGUMENT);

  const std::pair<uintptr_t, int32_t> handles[] = {
      {0, kIAUD_INVALID_HANDLE}, {1, 0}, {2, 0}, {3, kIAUD_INVALID_HANDLE}, {~(uintptr_t)0, kIAUD_INVALID_HANDLE}};
  for (const auto& h : handles) EXPECT_EQ(iface->IsValidGroupHandle(reinterpret_cast<void*>(h.first)), h.second);
  IAUDResourceManager::DeleteGroup(0);
  EXPECT_EQ(iface->IsValidGroupHandle(reinterpret_cast<void*>(1)), kIAUD_INVALID_HANDLE);
}

TEST_F(InterfaceTest, EffectPropertiesAreRoutedBySet) {
  // Property 0 of an EAX 4.0 effect slot's set goes to that slot unchecked.
  const _GUID slots[4] = {
      {0xc4d79f1e, 0xf1ac, 0x436b, {0xa8, 0x1d, 0xa7, 0x38, 0xe7, 0x04, 0x54, 0x69}},
      {0x08c00e96, 0x74be, 0x4491, {0x93, 0xaa, 0xe8, 0xad, 0x35, 0xa4, 0x91, 0x17}},
      {0x1d433b88, 0xf0f6, 0x4637, {0x91, 0x9f, 0x60, 0xe7, 0xe0, 0x6b, 0x5e, 0xdd}},
      {0xefff08ea, 0xc7d8, 0x44ab, {0x93, 0xad, 0x6d, 0xbd, 0x5f, 0x91, 0x00, 0x64}},
  };
  int32_t value = 0;
  for (int slot = 0; slot < 4; ++slot) {
    render.calls.clear();
    EXPECT_EQ(iface->SetEAXProperty(nullptr, slots[slot], 0, &value, sizeof(value)), 0);
    EXPECT_EQ(render.calls, std::vector<std::string>{"SetSlotEffectParameter " + std::to_string(slot) + " 0 4 0"});
    EXPECT_EQ(render.exclusiveDepth, 0);
  }
  // An unknown set on a player reaches the player but answers refused.
  const _GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* player = nullptr;
  ASSERT_EQ(iface->CreateAudioPlayer(&player), 0);
  render.calls.clear();
  EXPECT_EQ(iface->SetEAXProperty(player, unknown, 1, &value, sizeof(value)), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetEAXProperty(nullptr, unknown, 1, &value, sizeof(value)), kIAUD_BAD_ARGUMENT);
  EXPECT_TRUE(render.calls.empty());
  EXPECT_EQ(render.exclusiveDepth, 0);
}

// Scripted content that notes the driver's exclusive-mode depth whenever it
// is paused or restarted (the player calls it outside its own lock).
class InterfaceDepthContent : public playertest::ScriptedContent {
 public:
  void PauseObject(void* voice, void* instance) override {
    ScriptedContent::PauseObject(voice, instance);
    depths.push_back(render->exclusiveDepth);
  }
  void RestartObject(void* voice, void* instance) override {
    ScriptedContent::RestartObject(voice, instance);
    depths.push_back(render->exclusiveDepth);
  }
  iaudtest::RecordingRender* render = nullptr;
  std::vector<int> depths;
};

// Players on scripted content in two groups, walked by the all-audio calls.
class InterfaceAllAudioTest : public playertest::PlayerRuntimeTest {
 protected:
  void SetUp() override {
    PlayerRuntimeTest::SetUp();
    music = IAUDResourceManager::AddGroup(interfacetest::W(u"Music"));
    voice = IAUDResourceManager::AddGroup(interfacetest::W(u"Voice"));
    for (int i = 0; i < 4; ++i) {
      contents[i].SetGroupIndex(i < 2 ? music : voice);
      contents[i].render = &render;
      ASSERT_EQ(apiCreateAudioPlayer(&players[i]), 0);
      players[i]->AttachPrimaryContent(&contents[i]);
      players[i]->StartPlayer();
    }
    Tick();
  }
  void TearDown() override {
    for (CPlayer* p : players) apiDestroyAudioPlayer(p);
    PlayerRuntimeTest::TearDown();
  }
  static void* Handle(int32_t index) { return reinterpret_cast<void*>((uintptr_t)index + 1); }
  std::vector<int32_t> Statuses() {
    std::vector<int32_t> out;
    for (CPlayer* p : players) out.push_back(p->GetPlayerStatus());
    return out;
  }
  int32_t music = 0, voice = 0;
  InterfaceDepthContent contents[4];
  CPlayer* players[4] = {};
};

TEST_F(InterfaceAllAudioTest, StopPauseAndRestartActOnOneGroupOrAllUnderTheExclusiveMode) {
  const int32_t kPlaying = CPlayer::kPlaying, kPaused = CPlayer::kPaused, kStopped = CPlayer::kStopped;
  EXPECT_EQ(Statuses(), (std::vector<int32_t>{kPlaying, kPlaying, kPlaying, kPlaying}));
  EXPECT_EQ(apiPauseAllAudio(Handle(music)), 0);
  EXPECT_EQ(Statuses(), (std::vector<int32_t>{kPaused, kPaused, kPlaying, kPlaying}));
  EXPECT_EQ(apiPauseAllAudio(nullptr), 0);
  EXPECT_EQ(Statuses(), (std::vector<int32_t>{kPaused, kPaused, kPaused, kPaused}));
  // Paused players are not active: the restart walks every player.
  EXPECT_EQ(apiRestartAllAudio(Handle(voice)), 0);
  EXPECT_EQ(Statuses(), (std::vector<int32_t>{kPaused, kPaused, kPlaying, kPlaying}));
  EXPECT_EQ(apiRestartAllAudio(nullptr), 0);
  // The timer thread cycles the same players: the walks hold the driver's lock.
  for (const InterfaceDepthContent& c : contents) {
    EXPECT_EQ(c.depths.size(), 2u);
    for (int depth : c.depths) EXPECT_EQ(depth, 1);
  }
  EXPECT_EQ(apiStopAllAudio(Handle(voice)), 0);
  Tick(2);
  EXPECT_EQ(Statuses(), (std::vector<int32_t>{kPlaying, kPlaying, kStopped, kStopped}));
  // Every active player stops, though each leaves the active list at once.
  EXPECT_EQ(apiStopAllAudio(nullptr), 0);
  Tick(2);
  EXPECT_EQ(Statuses(), (std::vector<int32_t>{kStopped, kStopped, kStopped, kStopped}));
  EXPECT_EQ(IAUDResourceManager::m_pActivePlayers, nullptr);
  EXPECT_EQ(render.exclusiveDepth, 0);

  for (auto call : {apiStopAllAudio, apiPauseAllAudio, apiRestartAllAudio}) {
    EXPECT_EQ(call(Handle(7)), kIAUD_INVALID_HANDLE);
    EXPECT_EQ(call(reinterpret_cast<void*>(~(uintptr_t)0)), kIAUD_INVALID_HANDLE);
  }
}

}  // namespace
