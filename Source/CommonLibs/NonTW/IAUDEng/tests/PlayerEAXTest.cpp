// The player's EAX source properties: the three property sets, minimum
// sizes, the EAX 2.0 translation, per-slot sends and forwarding to voices.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NonTW/AudioDrv/AudioOAL.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using playertest::PlayerRuntimeTest;
using playertest::ScriptedContent;

const _GUID kEAX3Buffer = {0xa8fa6881, 0xb476, 0x11d3, {0xbd, 0xb9, 0x00, 0xc0, 0xf0, 0x2d, 0xdf, 0x87}};
const _GUID kEAX2Buffer = {0x0306a6a7, 0xb224, 0x11d2, {0x99, 0xe5, 0x00, 0x00, 0xe8, 0xd8, 0xc7, 0x22}};

uint32_t Word(float f) {
  uint32_t w;
  std::memcpy(&w, &f, 4);
  return w;
}

class PlayerEAXTest : public PlayerRuntimeTest {
 protected:
  std::vector<uint32_t> AllParameters(CPlayer& player) {
    std::vector<uint32_t> v(18);
    EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, 1, v.data(), 72), 0);
    return v;
  }
  std::vector<std::string> TrackEAXCalls() {
    std::vector<std::string> out;
    for (const std::string& c : render.calls)
      if (c.compare(0, 11, "SetTrackEAX") == 0) out.push_back(c);
    return out;
  }
};

TEST(PlayerEAXClosed, WithoutARuntimeNothingIsAccepted) {
  CPlayer player;
  int32_t v = 0;
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 5, &v, 4), -9);
  EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, 5, &v, 4), -9);
}

TEST_F(PlayerEAXTest, DefaultsAndPropertySets) {
  CPlayer player;
  std::vector<uint32_t> v = AllParameters(player);
  EXPECT_EQ(v[7], Word(0.25f));
  EXPECT_EQ(v[8], Word(1.5f));
  EXPECT_EQ(v[13], Word(1.0f));
  EXPECT_EQ(v[17], 7u);
  int32_t value = 0;
  const _GUID unknown = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  EXPECT_EQ(player.SetEAXProperty(unknown, 5, &value, 4), -2);
  EXPECT_EQ(player.GetEAXProperty(unknown, 5, &value, 4), -2);
  // EAX 3.0 is EAX 4.0: a value set through one reads back through the other.
  value = -1200;
  EXPECT_EQ(player.SetEAXProperty(kEAX3Buffer, 7, &value, 4), 0);
  int32_t room = 0;
  EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, 7, &room, 4), 0);
  EXPECT_EQ(room, -1200);
  EXPECT_EQ(player.GetEAXProperty(kEAX3Buffer, 7, &room, 4), 0);
  EXPECT_EQ(room, -1200);
  // The EAX 2.0 room number is 4; its rolloff goes to the room rolloff factor.
  EXPECT_EQ(player.GetEAXProperty(kEAX2Buffer, 4, &room, 4), 0);
  EXPECT_EQ(room, -1200);
  float rolloff = 0.75f;
  EXPECT_EQ(player.SetEAXProperty(kEAX2Buffer, 6, &rolloff, 4), 0);
  EXPECT_EQ(AllParameters(player)[15], Word(0.75f));
  EXPECT_EQ(player.SetEAXProperty(kEAX2Buffer, 15, &value, 4), -2);
  // The deferred bit: kept on a set, an unknown number on a get.
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 0x80000005u, &value, 4), 0);
  EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, 0x80000005u, &value, 4), -2);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

TEST_F(PlayerEAXTest, MinimumSizes) {
  struct Case {
    unsigned long id, minimum;
  };
  const Case cases[] = {{1, 72}, {2, 8}, {3, 16}, {4, 8}, {5, 4}, {22, 4}, {23, 24}, {24, 48}, {25, 32}, {26, 24}, {27, 16}};
  CPlayer player;
  std::vector<uint8_t> buffer(256, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, c.id, buffer.data(), c.minimum - 1), -2);
    EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, c.id, buffer.data(), c.minimum - 1), -2);
    EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, c.id, nullptr, c.minimum), -2);
    EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, c.id, buffer.data(), c.minimum), 0);
    EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, c.id, buffer.data(), c.minimum), 0);
  }
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 28, buffer.data(), 256), -2);
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 0, nullptr, 0), 0);
}

TEST_F(PlayerEAXTest, EAX2AllParametersBecomeTheFullRecord) {
  ScriptedContent content;
  CPlayer player;
  player.AttachPrimaryContent(&content);
  player.StartPlayer();
  float doppler = 3.0f, rolloff = 2.0f;
  ASSERT_EQ(player.SetEAXProperty(g_guidEAX40Source, 18, &doppler, 4), 0);
  ASSERT_EQ(player.SetEAXProperty(g_guidEAX40Source, 19, &rolloff, 4), 0);
  // direct, direct HF, room, room HF, room rolloff, obstruction, obstruction
  // LF, occlusion, occlusion LF, occlusion room, outside HF, air, flags
  uint32_t eax2[13] = {(uint32_t)-100, (uint32_t)-200, (uint32_t)-300, (uint32_t)-400, Word(0.5f),
                       (uint32_t)-500, Word(0.6f),     (uint32_t)-700, Word(0.7f),     Word(0.8f),
                       (uint32_t)-900, Word(0.9f),     3};
  render.calls.clear();
  ASSERT_EQ(player.SetEAXProperty(kEAX2Buffer, 1, eax2, 52), 0);
  std::vector<uint32_t> v = AllParameters(player);
  const uint32_t expected[18] = {(uint32_t)-100, (uint32_t)-200, (uint32_t)-300, (uint32_t)-400, (uint32_t)-500,
                                 Word(0.6f),     (uint32_t)-700, Word(0.7f),     Word(0.8f),     Word(1.0f),
                                 0,              Word(1.0f),     (uint32_t)-900, Word(1.0f),     Word(0.0f),
                                 Word(0.5f),     Word(0.9f),     3};
  for (int i = 0; i < 18; ++i) EXPECT_EQ(v[i], expected[i]) << "value " << i;
  long track = TrackOf(player.GetPrimaryVoice());
  EXPECT_EQ(TrackEAXCalls(), (std::vector<std::string>{"SetTrackEAX " + std::to_string(track) + " 1 72"}));
  uint32_t back[13];
  ASSERT_EQ(player.GetEAXProperty(kEAX2Buffer, 1, back, 52), 0);
  EXPECT_EQ(std::memcmp(back, eax2, sizeof(back)), 0);
  EXPECT_EQ(player.SetEAXProperty(kEAX2Buffer, 1, eax2, 51), -2);
}

TEST_F(PlayerEAXTest, SendRecordsFindTheirSlots) {
  CPlayer player;
  struct Send {
    _GUID guid;
    int32_t send, sendHF;
  };
  const _GUID unknown = {9, 9, 9, {9, 9, 9, 9, 9, 9, 9, 9}};
  Send sends[2] = {{unknown, -100, -200}, {g_aguidEAX40FXSlot[1], -300, -400}};
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 23, sends, sizeof(sends)), 0);
  // Five records: one per slot, the fifth is left as it was.
  EAX40SOURCEALLSENDPROPERTIES all[5];
  std::memset(all, 0xAB, sizeof(all));
  ASSERT_EQ(player.GetEAXProperty(g_guidEAX40Source, 24, all, sizeof(all)), 0);
  EXPECT_EQ(all[1].lSend, -300);
  EXPECT_EQ(all[1].lSendHF, -400);
  EXPECT_EQ(all[0].lSend, 0);
  EXPECT_EQ(all[0].flOcclusionLFRatio, 0.25f);
  EXPECT_EQ(all[3].flExclusionLFRatio, 1.0f);
  uint8_t untouched[48];
  std::memset(untouched, 0xAB, sizeof(untouched));
  EXPECT_EQ(std::memcmp(&all[4], untouched, 48), 0);
  EXPECT_EQ(all[2].guidReceivingFXSlotID.Data1, 0xABABABABu) << "the caller's GUIDs stay";
  // Occlusion sends of slot 2 only.
  struct Occlusion {
    _GUID guid;
    int32_t occlusion;
    float lf, room, direct;
  } occ = {g_aguidEAX40FXSlot[2], -1000, 0.1f, 0.2f, 0.3f};
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 25, &occ, sizeof(occ)), 0);
  ASSERT_EQ(player.GetEAXProperty(g_guidEAX40Source, 24, all, 4 * 48), 0);
  EXPECT_EQ(all[2].lOcclusion, -1000);
  EXPECT_EQ(all[2].flOcclusionDirectRatio, 0.3f);
  EXPECT_EQ(all[2].lSend, 0);
  // Active slots: as many whole GUIDs as the size holds, at most two.
  _GUID active[3] = {g_aguidEAX40FXSlot[3], g_aguidEAX40FXSlot[2], g_aguidEAX40FXSlot[1]};
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 27, active, 16), 0);
  _GUID got[2];
  std::memset(got, 0, sizeof(got));
  EXPECT_EQ(player.GetEAXProperty(g_guidEAX40Source, 27, got, sizeof(got)), 0);
  EXPECT_EQ(std::memcmp(&got[0], &active[0], 16), 0);
  EXPECT_EQ(got[1].Data1, 0u);
}

TEST_F(PlayerEAXTest, AcceptedSetsReachEveryTrackOfEveryVoice) {
  ScriptedContent a(nullptr, 2), b(nullptr, 2);
  CPlayer player;
  player.AttachPrimaryContent(&a);
  player.StartPlayer();
  player.AttachTransitionContent(&b);
  STransition t{0, 5.0f, 5.0f, 0.0f, 0.0f, 1.0f};
  player.TransitionPlayer(0, nullptr, &t);
  IAUDVoiceController* vc = IAUDResourceManager::GetVoiceController();
  std::vector<std::string> expected;
  for (void* voice : {player.GetPrimaryVoice(), player.GetTransitionVoice()})
    for (long local = 0; local < 2; ++local)
      expected.push_back("SetTrackEAX " + std::to_string(vc->GetVoiceTrack(voice, local)) + " 2147483660 4");
  render.calls.clear();
  float ratio = 0.5f;
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 0x8000000Cu, &ratio, 4), 0);
  EXPECT_EQ(TrackEAXCalls(), expected);
  render.calls.clear();
  EXPECT_EQ(player.SetEAXProperty(g_guidEAX40Source, 12, &ratio, 3), -2);
  EXPECT_TRUE(render.calls.empty()) << "a refused set is not passed on";
  // A voice opened later starts with the stored value.
  ScriptedContent c(nullptr, 1);
  CPlayer later;
  float obstructionLF = 0.3f;
  EXPECT_EQ(later.SetEAXProperty(g_guidEAX40Source, 10, &obstructionLF, 4), 0);
  render.calls.clear();
  later.AttachPrimaryContent(&c);
  later.StartPlayer();
  ASSERT_EQ(render.lastAllParameters.size(), 18u);
  EXPECT_EQ(render.lastAllParameters[5], Word(0.3f));
}

}  // namespace
