// The player functions: handle checks, the master player, the sync lock,
// curves and transitions looked up by name in one bank, and the setters and
// getters.
#include <gtest/gtest.h>

#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDPlayerApi.h"
#include "NonTW/IAUDEng/IAUDScheduler.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using playertest::PlayerRuntimeTest;
using playertest::ScriptedContent;

const uint16_t* Name(const char16_t* s) { return reinterpret_cast<const uint16_t*>(s); }

class PlayerApiTest : public PlayerRuntimeTest {
 protected:
  void SetUp() override {
    PlayerRuntimeTest::SetUp();
    bank = new IAUDContentBank();
    transition = bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr);
    transition->SetTitle(Name(u"Fade"));
    curve = bank->CreateNewContentObject(IAUDFourCC("rpc "), nullptr);
    curve->SetTitle(Name(u"Curve"));
    ASSERT_EQ(apiCreateAudioPlayer(&player), 0);
  }
  void TearDown() override {
    apiDestroyAudioPlayer(player);
    bank->RemoveObject();
    PlayerRuntimeTest::TearDown();
  }
  IAUDContentBank* bank = nullptr;
  IAUDContentObject* transition = nullptr;
  IAUDContentObject* curve = nullptr;
  CPlayer* player = nullptr;
};

TEST(PlayerApiClosed, ClosedRuntimeRefusesHandlesAndTheMaster) {
  CPlayer* master = nullptr;
  EXPECT_EQ(apiGetMasterAudioPlayer(&master), -2);
  EXPECT_EQ(apiSetMasterAudioPlayer(nullptr), 0);
  CPlayer loose;
  EXPECT_EQ(apiSetMasterAudioPlayer(&loose), -7) << "not a player of an open runtime";
  EXPECT_EQ(IAUDResourceManager::m_pMasterPlayer, nullptr);
  EXPECT_EQ(apiIsValidPlayerHandle(&loose), -7);
  EXPECT_EQ(apiPlayerSyncLock(), -9);
  EXPECT_EQ(apiPlayerSyncUnlock(), -9);
  EXPECT_EQ(apiAttachPlayerRPC(&loose, "Curve", nullptr, 0.5f), -9);
  EXPECT_EQ(apiTransitionAudioPlayer(&loose, "Fade", nullptr, 0, nullptr), -9);
}

TEST_F(PlayerApiTest, DestroyedPlayersAreRefused) {
  CPlayer* other = nullptr;
  ASSERT_EQ(apiCreateAudioPlayer(&other), 0);
  EXPECT_EQ(apiIsValidPlayerHandle(other), 0);
  EXPECT_EQ(apiCreateAudioPlayer(nullptr), -2);
  EXPECT_EQ(apiSetMasterAudioPlayer(other), 0);
  CPlayer* master = nullptr;
  EXPECT_EQ(apiGetMasterAudioPlayer(&master), 0);
  EXPECT_EQ(master, other);
  EXPECT_EQ(apiDestroyAudioPlayer(other), 0);
  EXPECT_EQ(IAUDResourceManager::m_pMasterPlayer, nullptr) << "destroying the master clears it";
  // The handle is dangling now: every function checks the list, none touches it.
  EXPECT_EQ(apiIsValidPlayerHandle(other), -7);
  EXPECT_EQ(apiDestroyAudioPlayer(other), -7);
  EXPECT_EQ(apiSetMasterAudioPlayer(other), -7);
  EXPECT_EQ(apiPlayAudioPlayer(other, 0, nullptr), -7);
  EXPECT_EQ(apiStopAudioPlayer(other), -7);
  EXPECT_EQ(apiSetAudioPlayerPitch(other, 2.0f), -7);
  EXPECT_EQ(apiAttachPlayerRPC(other, "Curve", bank, 0.5f), -7);
  EXPECT_EQ(IAUDResourceManager::m_pPlayerList, player);
}

TEST_F(PlayerApiTest, CurvesAndTransitionsByName) {
  EXPECT_EQ(apiAttachPlayerRPC(player, "Fade", bank, 0.5f), -10) << "known, but as a transition";
  EXPECT_EQ(apiAttachPlayerRPC(player, "Nothing", bank, 0.5f), -10);
  EXPECT_EQ(apiAttachPlayerRPC(player, "Curve", nullptr, 0.5f), -10) << "no project file";
  EXPECT_EQ(apiAttachPlayerRPC(player, static_cast<const char*>(nullptr), bank, 0.5f), -7);
  EXPECT_EQ(apiAttachPlayerRPC(player, Name(u"Curve"), bank, 0.25f), 0);
  CRPController* got = nullptr;
  EXPECT_EQ(apiGetPlayerRPC(player, &got), 0);
  EXPECT_EQ(static_cast<IAUDContentObject*>(got), curve);
  EXPECT_EQ(bank->GetContentBankReference(), 1);
  float level = 0;
  EXPECT_EQ(apiGetAudioPlayerRPCLevel(player, &level), 0);
  EXPECT_EQ(level, 0.25f);
  EXPECT_EQ(apiReleasePlayerRPC(player), 0);
  EXPECT_EQ(bank->GetContentBankReference(), 0);

  EXPECT_EQ(apiTransitionAudioPlayer(player, "Fade", nullptr, 0, nullptr), -7) << "no bank and no project file";
  EXPECT_EQ(apiTransitionAudioPlayer(player, "Curve", bank, 0, nullptr), -10);
  ScriptedContent a, b;
  EXPECT_EQ(apiAttachPlayerPrimaryContent(player, &a), 0);
  EXPECT_EQ(apiAttachPlayerTransitionContent(player, &b), 0);
  EXPECT_EQ(apiAttachPlayerTransitionContent(player, nullptr), -7);
  EXPECT_EQ(apiPlayAudioPlayer(player, 0, nullptr), 0);
  // The transition object's own record: 5 s in all, 5 s of fade.
  EXPECT_EQ(apiTransitionAudioPlayer(player, "Fade", bank, 0, nullptr), 0);
  EXPECT_EQ(b.starts, 1);
  SPlayerStatus status;
  EXPECT_EQ(apiGetAudioPlayerStatus(player, &status), 0);
  EXPECT_EQ(status.nStatus, 5);
  EXPECT_EQ(status.pTransitionContent, &b);
  Tick(499);
  EXPECT_EQ(player->GetPrimaryContent(), &a);
  Tick();
  EXPECT_EQ(player->GetPrimaryContent(), &b);
  EXPECT_EQ(apiReleasePlayerPrimaryContent(player), 0);
}

TEST_F(PlayerApiTest, OutputsAreCheckedAfterTheHandle) {
  IAUDVector v{1, 2, 3};
  IAUDVector front, top;
  EXPECT_EQ(apiGetAudioPlayerOrientation(player, &front, nullptr), -2);
  EXPECT_EQ(apiGetAudioPlayerOrientation(nullptr, &front, nullptr), -7);
  EXPECT_EQ(apiGetAudioPlayerOrientation(player, &front, &top), 0);
  EXPECT_EQ(front.z, 1.0f);
  EXPECT_EQ(top.y, 1.0f);
  EXPECT_EQ(apiGetAudioPlayerMetricTime(player, nullptr), -2);
  EXPECT_EQ(apiGetAudioPlayerRealTime(player, nullptr), -2);
  EXPECT_EQ(apiGetPlayerPrimaryContent(player, nullptr), -2);
  EXPECT_EQ(apiGetAudioPlayerStatus(player, nullptr), 0);
  EXPECT_EQ(apiSetAudioPlayerVelocity(player, v), 0);
  IAUDVector back{};
  EXPECT_EQ(apiGetAudioPlayerVelocity(player, &back), 0);
  EXPECT_EQ(back.y, 2.0f);
  EXPECT_EQ(apiSetAudioPlayerMode(player, 1), 0);
  uint32_t mode = 0;
  EXPECT_EQ(apiGetAudioPlayerMode(player, &mode), 0);
  EXPECT_EQ(mode, 1u);
  EXPECT_EQ(apiSetAudioPlayerOrientation(player, 0.0f, 0.25f, 0.5f), 0);
  float a1, a2, a3;
  EXPECT_EQ(apiGetAudioPlayerOrientation(player, &a1, &a2, nullptr), -2);
  EXPECT_EQ(apiGetAudioPlayerOrientation(player, &a1, &a2, &a3), 0);
  EXPECT_EQ(a1, 0.25f);
  EXPECT_EQ(a2, 0.0f);
  EXPECT_EQ(a3, 0.5f);
  SPlayerMetricTime m;
  EXPECT_EQ(apiGetAudioPlayerMetricTime(player, &m), 0);
  EXPECT_EQ(m.dwTempo, 500000u);
}

TEST_F(PlayerApiTest, SyncLockStartsChangesOnTheSameTick) {
  ScriptedContent a, b;
  CPlayer* second = nullptr;
  ASSERT_EQ(apiCreateAudioPlayer(&second), 0);
  apiAttachPlayerPrimaryContent(player, &a);
  apiAttachPlayerPrimaryContent(second, &b);
  EXPECT_EQ(apiPlayerSyncLock(), 0);
  apiPlayAudioPlayer(player, 0, nullptr);
  Tick(2);
  apiPlayAudioPlayer(second, 0, nullptr);
  EXPECT_EQ(a.cycles, 0);
  EXPECT_EQ(apiPlayerSyncUnlock(), 0);
  Tick();
  EXPECT_EQ(a.cycles, 3);
  EXPECT_EQ(b.cycles, 3);
  apiDestroyAudioPlayer(second);
  apiReleasePlayerPrimaryContent(player);  // the content goes before the fixture's player
}

}  // namespace
