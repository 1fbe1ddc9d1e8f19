// The track command translator on the recording driver: per-track merging
// of one buffer, the order of its calls, and what it refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/IAUDTranslator.h"
#include "NonTW/IAUDEng/tests/PlayerTestSupport.h"

namespace {

using playertest::PlayerRuntimeTest;

uint32_t Bits(float f) {
  uint32_t u;
  memcpy(&u, &f, 4);
  return u;
}

uint32_t Command(uint32_t op, uint32_t track, uint32_t send = 0) { return op | (track << 8) | (send << 24); }

class TranslatorTest : public PlayerRuntimeTest {
 protected:
  void SetUp() override {
    PlayerRuntimeTest::SetUp();
    tr = IAUDResourceManager::m_pTranslator;
    vc = IAUDResourceManager::GetVoiceController();
    SVoiceData d{};
    d.dwNumTracks = 8;
    d.flLevel = 1.0f;
    d.flPitch = 1.0f;
    d.vFront = IAUDVector{0, 0, 1};
    d.vTop = IAUDVector{0, 1, 0};
    voice = vc->GetVoiceHandle(&d);
    render.calls.clear();
    render.levelLog.clear();
  }
  IAUDTrackState State(long track) {
    IAUDTrackState s;
    vc->GetTrackState(track, &s, voice);
    return s;
  }
  std::vector<std::string> CallsOf(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : render.calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }
  IAUDTranslator* tr = nullptr;
  IAUDVoiceController* vc = nullptr;
  void* voice = nullptr;
};

TEST_F(TranslatorTest, EveryOpenGivesTheFirstBufferAndBadHandlesDoNothing) {
  void* b = tr->OpenCommandBuffer();
  EXPECT_EQ(b, reinterpret_cast<void*>(1));
  EXPECT_EQ(tr->OpenCommandBuffer(), b) << "opening marks nothing";
  for (void* bad : {static_cast<void*>(nullptr), reinterpret_cast<void*>(11)}) {
    tr->BufferCommand(bad, Command(13, 0), 10);
    tr->ProcessCommandBuffer(bad, 8, voice);
    EXPECT_EQ(tr->GetRecordCount(bad), 0);
  }
  EXPECT_TRUE(render.levelLog.empty());
}

// The last value of a kind wins; only the low byte of a level counts.
TEST_F(TranslatorTest, CommandsOfOneTrackMergeIntoOneCallPerProperty) {
  void* b = tr->OpenCommandBuffer();
  tr->BufferCommand(b, Command(13, 1), 255);
  tr->BufferCommand(b, Command(13, 1), 0xABCDEF00u | 64);
  tr->ProcessCommandBuffer(b, 8, voice);
  ASSERT_EQ(render.For(1).size(), 1u);
  EXPECT_FLOAT_EQ(State(1).flLevel, 64.0f / 255.0f);

  // One position/path call keeps every coordinate not named.
  IAUDVector position{1, 2, 3}, offset{4, 5, 6};
  vc->SetTrackPositionPath(2, &position, &offset, voice);
  render.calls.clear();
  tr->BufferCommand(b, Command(3, 2), Bits(10.0f));
  tr->BufferCommand(b, Command(8, 2), Bits(60.0f));
  tr->ProcessCommandBuffer(b, 8, voice);
  IAUDTrackState s = State(2);
  EXPECT_EQ(s.vPosition.x, 10.0f);
  EXPECT_EQ(s.vPosition.y, 2.0f);
  EXPECT_EQ(s.vPosition.z, 3.0f);
  EXPECT_EQ(s.vPathOffset.x, 4.0f);
  EXPECT_EQ(s.vPathOffset.y, 5.0f);
  EXPECT_EQ(s.vPathOffset.z, 60.0f);
  EXPECT_EQ(CallsOf("SetTrackPosition").size(), 1u);
  EXPECT_EQ(tr->GetRecordCount(b), 0);
}

TEST_F(TranslatorTest, StopsComeBeforeStartsEachInOneCall) {
  void* b = tr->OpenCommandBuffer();
  tr->BufferCommand(b, Command(1, 5), 0);
  tr->BufferCommand(b, Command(1, 2), 0);
  tr->BufferCommand(b, Command(2, 2), 0);
  tr->ProcessCommandBuffer(b, 8, voice);
  std::vector<std::string> batches;
  for (const std::string& c : render.calls)
    if (c.rfind("StopTracks", 0) == 0 || c.rfind("PlayTracks", 0) == 0) batches.push_back(c);
  EXPECT_EQ(batches, (std::vector<std::string>{"StopTracks 2", "PlayTracks 2 5 loop 0"}));
}

TEST_F(TranslatorTest, SendsAndDirectLevels) {
  void* b = tr->OpenCommandBuffer();
  tr->BufferCommand(b, Command(14, 3, 6), 51);
  tr->BufferCommand(b, Command(15, 3, 6), 51);
  tr->BufferCommand(b, Command(15, 3, 1), 102);
  tr->BufferCommand(b, Command(16, 3), 255);
  tr->BufferCommand(b, Command(17, 3), 0);
  tr->BufferCommand(b, Command(12, 3), 0x5);
  tr->BufferCommand(b, 0x40000000u | Command(13, 3), 0);  // a high bit: only touches the track
  tr->BufferCommand(b, Command(40, 3), 0);                // no such opcode
  float levelBefore = State(3).flLevel;
  tr->ProcessCommandBuffer(b, 8, voice);
  IAUDTrackState s = State(3);
  EXPECT_FLOAT_EQ(s.aflSendLevel[6], 0.2f);
  EXPECT_EQ(s.aflSendHFLevel[6], 1.0f) << "high-frequency sends stop at send 3";
  EXPECT_FLOAT_EQ(s.aflSendHFLevel[1], 0.4f);
  EXPECT_EQ(s.flDirectLevel, 1.0f);
  EXPECT_EQ(s.flDirectHFLevel, 0.0f);
  EXPECT_EQ(s.dwActiveSends, 0x5u);
  EXPECT_EQ(s.flLevel, levelBefore);
}

// Tracks at or beyond the count are left alone, and nothing of them is
// applied by a later buffer either.
TEST_F(TranslatorTest, TracksBeyondTheCountAndFlushedBuffersApplyNothing) {
  void* b = tr->OpenCommandBuffer();
  tr->BufferCommand(b, Command(13, 7), 10);
  tr->BufferCommand(b, Command(1, 7), 0);
  tr->ProcessCommandBuffer(b, 4, voice);
  EXPECT_TRUE(render.For(7).empty());
  tr->ProcessCommandBuffer(b, 8, voice);
  EXPECT_TRUE(render.For(7).empty());
  EXPECT_TRUE(CallsOf("PlayTracks").empty());

  tr->BufferCommand(b, Command(13, 0), 10);
  tr->BufferCommand(b, Command(1, 0), 0);
  tr->FlushCommandBuffer(b);
  tr->ProcessCommandBuffer(b, 8, voice);
  EXPECT_TRUE(render.For(0).empty());
  EXPECT_TRUE(CallsOf("PlayTracks").empty());
}

TEST_F(TranslatorTest, AFullBufferDropsFurtherRecords) {
  void* b = tr->OpenCommandBuffer();
  for (int i = 0; i < IAUDTranslator::kRecords; ++i) tr->BufferCommand(b, Command(13, 1), 0);
  tr->BufferCommand(b, Command(13, 1), 255);
  EXPECT_EQ(tr->GetRecordCount(b), IAUDTranslator::kRecords);
  tr->ProcessCommandBuffer(b, 8, voice);
  EXPECT_EQ(State(1).flLevel, 0.0f) << "the dropped record set nothing";
}

}  // namespace
