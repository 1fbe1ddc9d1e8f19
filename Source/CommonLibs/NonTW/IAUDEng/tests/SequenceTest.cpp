// Sequences played by a player on the recording driver (the test calls the
// timer), their streams put together by a small assembler: frames against
// the metric clock, ramps, paths, marker loop-backs, and damaged streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/IAUDTranslator.h"
#include "NonTW/IAUDEng/tests/ContentTestSupport.h"

namespace {

using contenttest::ContentRuntimeTest;

// Builds a command stream: At(delta) starts a record, then one command and
// value; Group(delta, pairs) a group record.
class Stream {
 public:
  Stream& Cmd(uint32_t delta, uint32_t command, uint32_t value) {
    words.insert(words.end(), {delta, command, value});
    return *this;
  }
  Stream& Level(uint32_t delta, uint32_t track, uint32_t value) { return Cmd(delta, CSequence::kOpLevel | track << 8, value); }
  Stream& End(uint32_t delta) { return Cmd(delta, CSequence::kOpEnd, 0); }
  Stream& Group(uint32_t delta, const std::vector<std::pair<uint32_t, uint32_t>>& pairs) {
    words.insert(words.end(), {delta, CSequence::kOpGroup, (uint32_t)pairs.size()});
    for (const auto& p : pairs) words.insert(words.end(), {p.first, p.second});
    return *this;
  }
  // The stream as mkriff fields.
  std::string Fields() const {
    std::string s = "u32";
    for (uint32_t w : words) s += " " + std::to_string(w);
    return s;
  }
  std::vector<uint32_t> words;
};

class SequenceTest : public ContentRuntimeTest {
 protected:
  CSequence* Sequence(const Stream& stream, uint32_t tracks = 2, const std::string& extra = "") {
    IAUDContentBank* bank =
        Bank(" LIST sqob\n  chunk trks u32 " + std::to_string(tracks) + "\n  chunk data " + stream.Fields() + "\n" + extra +
             " end\n");
    return bank->GetSequence(0);
  }
  // The levels sent to a driver track, as bytes.
  std::vector<int> Levels(long track) const {
    std::vector<int> out;
    for (const playertest::LevelSent& l : render.For(track)) out.push_back((int)std::lround(l.level * 255.0f));
    return out;
  }
};

TEST_F(SequenceTest, AFirstDeltaOfZeroRunsInTheStartPeriod) {
  for (uint32_t first : {0u, 96u}) {
    SCOPED_TRACE(first);
    CSequence* s = Sequence(Stream().Level(first, 1, 128).End(96));
    CPlayer player;
    player.AttachPrimaryContent(s);
    player.StartPlayer();
    long track = vc->GetVoiceTrack(player.GetPrimaryVoice(), 1);
    render.levelLog.clear();
    Tick();
    std::vector<int> sent = Levels(track);
    EXPECT_EQ(!sent.empty() && sent.back() == 128, first == 0);
    player.StopPlayer();
  }
}

TEST_F(SequenceTest, ALevelRampRisesAtEachUpdateAndEndsOnItsTarget) {
  CSequence* s = Sequence(Stream().Level(0, 0, 0).Cmd(0, CSequence::kOpLevelRamp, (96u << 16) | 200).End(192));
  CPlayer player;
  player.AttachPrimaryContent(s);
  player.StartPlayer();
  long track = vc->GetVoiceTrack(player.GetPrimaryVoice(), 0);
  render.levelLog.clear();
  Tick(80);
  std::vector<playertest::LevelSent> sent = render.For(track);
  ASSERT_GE(sent.size(), 10u);
  EXPECT_EQ(sent.front().level, 0.0f);
  EXPECT_EQ(sent.back().level, 200.0f / 255.0f);
  for (size_t i = 1; i < sent.size(); ++i) EXPECT_GE(sent[i].level, sent[i - 1].level) << i;
  for (size_t i = 2; i + 1 < sent.size(); ++i) EXPECT_NEAR((double)(sent[i].ms - sent[i - 1].ms), 30.0, 10.0) << i;
  EXPECT_NEAR((double)sent.back().ms, 500.0, 40.0) << "96 clocks at 120 beats a minute";
}

TEST_F(SequenceTest, APathMovesTheOffsetAndThenSendsZero) {
  CSequence* s = Sequence(Stream().Cmd(0, CSequence::kOpPath, (0u << 22) | 192).End(384));
  IAUDContentBank* bank = owned.back();
  CPath* path = static_cast<CPath*>(bank->CreateNewContentObject(IAUDFourCC("path"), nullptr));
  ASSERT_NE(path, nullptr);
  ASSERT_EQ(path->GetResourceIndex(), 0u);
  const IAUDVector knots[] = {{0, 0, 0}, {100, 0, 0}, {100, 50, 100}, {0, 0, 100}};
  for (const IAUDVector& k : knots) path->addKnot(k, 0);
  path->updateTimeStamps(0);
  CPlayer player;
  player.AttachPrimaryContent(s);
  player.StartPlayer();
  void* voice = player.GetPrimaryVoice();
  float furthest = 0.0f;
  int lastMoved = -1;
  for (int i = 0; i < 150; ++i) {
    Tick();
    IAUDTrackState st;
    vc->GetTrackState(0, &st, voice);
    float d = std::fabs(st.vPathOffset.x) + std::fabs(st.vPathOffset.y) + std::fabs(st.vPathOffset.z);
    if (d > furthest) furthest = d;
    if (d > 0.0f) lastMoved = i;
  }
  EXPECT_GT(furthest, 50.0f);
  EXPECT_NEAR(lastMoved * 10.0, 1000.0, 40.0) << "two quarter notes, then a zero offset";
  IAUDTrackState st;
  vc->GetTrackState(0, &st, voice);
  EXPECT_EQ(st.vPathOffset.x, 0.0f);
  EXPECT_EQ(st.vPathOffset.z, 0.0f);
}

// At the end the sequence jumps back to its marker as often as the marker's
// loop limit allows, then ends and the player stops.
TEST_F(SequenceTest, AMarkerLoopsBackUpToItsLimit) {
  Stream stream = Stream().Level(0, 0, 10).Level(48, 0, 20).Level(48, 0, 30).End(48);
  CSequence* s = Sequence(stream);
  IAUDContentMarker marker{};
  marker.dwContentPosition = 3;  // the frame setting 20
  marker.dwMetricPosition = 48;
  marker.nRepeatLimit = 2;
  s->SetMarkers(&marker, 1);
  CPlayer player;
  player.AttachPrimaryContent(s);
  player.StartPlayer();
  long track = vc->GetVoiceTrack(player.GetPrimaryVoice(), 0);
  render.levelLog.clear();
  int ticks = 0;
  while (player.GetPlayerStatus() != CPlayer::kStopped && ticks < 500) Tick(), ++ticks;
  std::vector<int> sent = Levels(track);
  std::vector<int> wanted = {10, 20, 30, 20, 30, 20, 30};
  std::vector<int> ours;
  for (int v : sent)
    if (v == 10 || v == 20 || v == 30) ours.push_back(v);
  EXPECT_EQ(ours, wanted);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
  EXPECT_NEAR(ticks * 10.0, 750.0 + 2 * 500.0, 60.0) << "each loop-back replays the 96 clocks from the marker";
}

// A player seeking into a sequence runs its frames up to the clock without
// sound and plays on from there.
TEST_F(SequenceTest, SeekingRunsTheFramesUpToTheClockAndPlaysOn) {
  CSequence* s = Sequence(Stream().Level(0, 0, 10).Level(48, 0, 20).Level(48, 0, 30).Level(48, 0, 40).End(48));
  CPlayer player;
  player.AttachPrimaryContent(s);
  player.StartPlayer();
  void* voice = player.GetPrimaryVoice();
  player.AdvancePrimaryToMetricClock(100, false);
  IAUDTrackState st;
  vc->GetTrackState(0, &st, voice);
  EXPECT_EQ(std::lround(st.flLevel * 255.0f), 30);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kPaused);
  player.RestartPlayer();
  int ticks = 0;
  while (std::lround(st.flLevel * 255.0f) != 40 && ticks < 100) {
    Tick(), ++ticks;
    vc->GetTrackState(0, &st, voice);
  }
  EXPECT_NEAR(ticks * 10.0, (144 - 100) / 0.192, 40.0) << "the frame at 144 clocks comes on time";
  while (player.GetPlayerStatus() != CPlayer::kStopped && ticks < 200) Tick(), ++ticks;
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);
}

// Commands for a track beyond the sequence's count are neither kept nor passed on.
TEST_F(SequenceTest, CommandsForTracksBeyondTheCountAreIgnored) {
  CSequence* s = Sequence(Stream().Level(0, 2, 40).Level(0, 1, 50).Cmd(0, 0x05u | 2u << 8, 0).End(96), 2);
  void* inst = nullptr;
  s->InitObject(&inst);
  s->StartObject(nullptr, nullptr, inst, 0, nullptr);
  IAUDTranslator* tr = IAUDResourceManager::m_pTranslator;
  void* buffer = tr->OpenCommandBuffer();
  s->ProcessClockFrame(buffer, 0, static_cast<SSequenceInstance*>(inst), nullptr);
  EXPECT_EQ(tr->GetRecordCount(buffer), 2) << "the track-1 level and the unread opcode 5";
  SSequenceInstance* si = static_cast<SSequenceInstance*>(inst);
  EXPECT_EQ(si->pLevel[1].bCurrent, 50);
  tr->FlushCommandBuffer(buffer);
  s->ReleaseObject(inst);
}

TEST_F(SequenceTest, AnEndedSequenceCycledAgainReportsPlaying) {
  CSequence* s = Sequence(Stream().Level(0, 0, 40).End(0));
  void* inst = nullptr;
  s->InitObject(&inst);
  s->StartObject(nullptr, nullptr, inst, 0, nullptr);
  int32_t loops = 0;
  EXPECT_EQ(s->CycleObject(nullptr, &loops, inst, nullptr), 0);
  EXPECT_EQ(s->CycleObject(nullptr, &loops, inst, nullptr), 1);
  // A reset plays it again; a marker records the last frame.
  s->ResetObject(nullptr, inst);
  EXPECT_EQ(s->CycleObject(nullptr, &loops, inst, nullptr), 0);
  IAUDContentMarker m{};
  s->EstablishMarker(&m, inst);
  EXPECT_EQ(m.dwContentPosition, 0u);
  s->ReleaseObject(inst);
}

// Damaged data: group counts past the end, a larger second stream, a table
// too long, and a grid whose multiple is 0 load and play without reading
// out of bounds or dividing by zero.
TEST_F(SequenceTest, DamagedStreamsLoadAndPlaySafely) {
  Stream second = Stream().Cmd(0, CSequence::kOpGrid, 0x80000000u).Level(0, 0, 60).Level(10, 0, 70).End(10);
  std::string extra = "  chunk sctb u8 7*30000\n  chunk data " + second.Fields() + "\n  chunk titl text \"After\"\n";
  CSequence* s = Sequence(Stream().Level(0, 0, 1), 1, extra);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetDataCount(), (uint32_t)second.words.size());
  EXPECT_EQ(std::vector<uint32_t>(s->GetData(), s->GetData() + s->GetDataCount()), second.words);
  EXPECT_EQ(s->GetTable()[CSequence::kTableBytes - 1], 7);
  EXPECT_EQ(iaudtest::Narrow(s->GetTitle()), "After");
  s->SetMarkerDivision(0x40000000u);  // clocks, multiple 0
  CPlayer player;
  player.AttachPrimaryContent(s);
  player.StartPlayer();
  Tick(30);
  EXPECT_EQ(player.GetPlayerStatus(), CPlayer::kStopped);

  Stream runaway = Stream().Level(0, 0, 5);
  runaway.words.insert(runaway.words.end(), {12, CSequence::kOpGroup, 100000, CSequence::kOpLevel, 9});
  CSequence* r = Sequence(runaway, 1);
  CPlayer other;
  other.AttachPrimaryContent(r);
  other.StartPlayer();
  Tick(30);
  EXPECT_EQ(other.GetPlayerStatus(), CPlayer::kPlaying) << "a stream without an end keeps cycling";
  other.StopPlayer();
}

}  // namespace
