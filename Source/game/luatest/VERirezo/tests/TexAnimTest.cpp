// Animated-texture records stepped on a clock the test sets, and ".atx" text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TexAnim.h"

using ::testing::HasSubstr;

namespace {

using gfxtest::AllTraces;
using gfxtest::Traces;

ETexAnimInfo Record(int frames, float rate, int mode) {
  ETexAnimInfo info;
  info.m_iNumFrames = frames;
  info.m_fFrameRate = rate;
  info.m_eMode = mode;
  return info;
}

// Frames shown at the given times, in order, on one record.
std::vector<int> Play(ETexAnimInfo info, const std::vector<float>& times) {
  std::vector<int> frames;
  for (float t : times) {
    info.Advance(t);
    frames.push_back(info.GetFrameIndex());
  }
  return frames;
}

}  // namespace

TEST(TexAnimTest, PlayModesStepByRate) {
  const std::vector<float> times = {0, 100, 200, 300, 400, 500, 600, 700, 800, 900};
  struct Case {
    int mode;
    std::vector<int> frames;
  } cases[] = {
      {kANIMTEXMODE_LOOP, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1}},
      {kANIMTEXMODE_LOOPONCE, {0, 1, 2, 3, 3, 3, 3, 3, 3, 3}},
      {kANIMTEXMODE_OSCILLATE, {0, 1, 2, 3, 2, 1, 0, 1, 2, 3}},
      {kANIMTEXMODE_OSCILLATEOUTONCE, {0, 1, 2, 3, 3, 3, 3, 3, 3, 3}},
      {kANIMTEXMODE_STOP, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {42, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(Play(Record(4, 10.0f, c.mode), times), c.frames);
  }
}

TEST(TexAnimTest, LoopFrameAtTwoHundredAndFiftyMs) {
  ETexAnimInfo info = Record(4, 10.0f, kANIMTEXMODE_LOOP);
  info.Advance(250.0f);
  EXPECT_EQ(info.m_fCurFrame, 2.0f);
  info.Advance(400.0f);
  EXPECT_EQ(info.m_fCurFrame, 0.0f);
}

TEST(TexAnimTest, PlayOnceModesEndInStop) {
  ETexAnimInfo once = Record(4, 10.0f, kANIMTEXMODE_LOOPONCE);
  for (float t : {0.0f, 100.0f, 200.0f, 300.0f}) once.Advance(t);
  EXPECT_EQ(once.m_fCurFrame, 3.0f);
  EXPECT_EQ(once.m_eMode, kANIMTEXMODE_LOOPONCE);
  once.Advance(5000.0f);
  EXPECT_EQ(once.m_eMode, kANIMTEXMODE_STOP);
  EXPECT_EQ(once.m_fCurFrame, 3.0f);

  // One swing that holds frame 1 without changing its mode.
  ETexAnimInfo swing = Record(4, 10.0f, kANIMTEXMODE_OSCILLATEONCE);
  for (float t = 0; t <= 500.0f; t += 100.0f) swing.Advance(t);
  EXPECT_EQ(swing.m_fCurFrame, 1.0f);
  EXPECT_FALSE(swing.m_bForward);
  swing.Advance(700.0f);
  EXPECT_EQ(swing.m_fCurFrame, 1.0f);
  EXPECT_EQ(swing.m_eMode, kANIMTEXMODE_OSCILLATEONCE);

  // Back once starts on the last frame running backward and stops at 1.
  ETexAnimInfo back = Record(4, 10.0f, kANIMTEXMODE_STOP);
  back.SetPlayMode(kANIMTEXMODE_OSCILLATEBACKONCE, 1000.0f, -1);
  EXPECT_EQ(back.m_fCurFrame, 3.0f);
  EXPECT_FALSE(back.m_bForward);
  std::vector<int> frames;
  for (float t = 1000.0f; t <= 1700.0f; t += 100.0f) {
    back.Advance(t);
    frames.push_back(back.GetFrameIndex());
  }
  EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 3, 2, 1, 1, 1}));
  EXPECT_EQ(back.m_eMode, kANIMTEXMODE_STOP);
}

TEST(TexAnimTest, LoopTailCyclesFromTheLoopFrame) {
  ETexAnimInfo info = Record(5, 10.0f, kANIMTEXMODE_LOOPTAIL);
  info.m_fLoopFrame = 2.0f;
  EXPECT_EQ(Play(info, {0, 100, 200, 300, 400, 500, 600, 700, 800}), (std::vector<int>{0, 1, 2, 3, 4, 2, 3, 4, 2}));

  info.SetPlayMode(kANIMTEXMODE_LOOPTAIL, 0.0f, 7);
  EXPECT_EQ(info.m_fLoopFrame, 2.0f);
  info.SetPlayMode(kANIMTEXMODE_LOOPTAIL, 0.0f, -1);
  EXPECT_EQ(info.m_fLoopFrame, 4.0f);
  info.SetPlayMode(kANIMTEXMODE_LOOPTAIL, 0.0f, 1);
  EXPECT_EQ(info.m_fLoopFrame, 1.0f);
}

TEST(TexAnimTest, StillRecordsAndOddInputs) {
  // Rate 0 never moves.
  ETexAnimInfo still = Record(4, 0.0f, kANIMTEXMODE_LOOP);
  still.m_fCurFrame = 2.0f;
  still.Advance(12345.0f);
  EXPECT_EQ(still.m_fCurFrame, 2.0f);

  // A start in the future plays as time 0.
  ETexAnimInfo future = Record(4, 10.0f, kANIMTEXMODE_LOOP);
  future.m_fCurFrame = 3.0f;
  future.m_fStartTime = 5000.0f;
  future.Advance(100.0f);
  EXPECT_EQ(future.m_fCurFrame, 0.0f);

  // One frame in an oscillating mode always draws frame 0.
  for (int mode : {kANIMTEXMODE_OSCILLATE, kANIMTEXMODE_OSCILLATEOUTONCE, kANIMTEXMODE_OSCILLATEBACKONCE}) {
    ETexAnimInfo one = Record(1, 10.0f, mode);
    for (float t : {0.0f, 50.0f, 1000.0f}) {
      one.Advance(t);
      EXPECT_EQ(one.GetFrameIndex(), 0);
    }
  }
}

TEST(TexAnimTest, PlayModeResetsFrameAndDirection) {
  ETexAnimInfo info = Record(4, 10.0f, kANIMTEXMODE_OSCILLATE);
  info.m_fCurFrame = 2.0f;
  info.m_bForward = 0;
  info.SetPlayMode(kANIMTEXMODE_LOOP, 300.0f, -1);
  EXPECT_EQ(info.m_fCurFrame, 0.0f);
  EXPECT_TRUE(info.m_bForward);
  EXPECT_EQ(info.m_fStartTime, 300.0f);
  info.Advance(400.0f);
  EXPECT_EQ(info.m_fCurFrame, 1.0f);

  info.m_fCurFrame = 2.0f;
  info.SetPlayMode(kANIMTEXMODE_STOP, 0.0f, -1);
  EXPECT_EQ(info.m_fCurFrame, 2.0f);
  EXPECT_EQ(info.m_eMode, kANIMTEXMODE_STOP);
}

namespace {

struct FakeSink : EATXSink {
  void SetFrameCount(int count) override { frameCount = count; }
  bool LoadFrame(int index, const char* filename) override {
    indices.push_back(index);
    names.push_back(filename);
    return failAt != index;
  }
  int frameCount = -1;
  int failAt = -1;
  std::vector<int> indices;
  std::vector<std::string> names;
};

class ATXTest : public ::testing::Test {
protected:
  void SetUp() override {
    gfxtest::StartTraces();
  }
  void TearDown() override { gfxtest::StopTraces(); }

  bool Read(const char* text) {
    info = ETexAnimInfo();
    sink = FakeSink();
    return ReadATXText(text, "textures\\fx\\fire.atx", "textures\\fx\\fire.dds", info, sink);
  }
  ETexAnimInfo info;
  FakeSink sink;
};

}  // namespace

TEST_F(ATXTest, ReadsFramesAndSettings) {
  ASSERT_TRUE(Read("NumFrames 3\r\n\ntexture fire01.tga\ntexture fire02\n  texture sub\\fire03.dds  extra\n"
                   "framerate 12.5\nPLAYMODE OscillateOnce\nstartframe 2\nloopframe 1\nunknown key\nlonely\n"));
  EXPECT_EQ(sink.frameCount, 3);
  EXPECT_EQ(sink.names, (std::vector<std::string>{"textures\\fx\\fire01.tga", "textures\\fx\\fire02.dds",
                                                  "textures\\fx\\sub\\fire03.dds"}));
  EXPECT_EQ(sink.indices, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(info.m_iNumFrames, 3);
  EXPECT_EQ(info.m_fFrameRate, 12.5f);
  EXPECT_EQ(info.m_eMode, kANIMTEXMODE_OSCILLATEONCE);
  EXPECT_EQ(info.m_fCurFrame, 2.0f);
  EXPECT_EQ(info.m_fLoopFrame, 1.0f);
  EXPECT_EQ(AllTraces(), "");
}

TEST_F(ATXTest, DefaultsWithoutRateOrMode) {
  ASSERT_TRUE(Read("numframes 1\ntexture a"));
  EXPECT_EQ(info.m_fFrameRate, 0.0f);
  EXPECT_EQ(info.m_eMode, kANIMTEXMODE_LOOP);
  // A frame name without a folder of its own.
  ETexAnimInfo bare;
  FakeSink s;
  ASSERT_TRUE(ReadATXText("numframes 1\ntexture b.tga\n", "loose.atx", "loose.dds", bare, s));
  EXPECT_EQ(s.names[0], "b.tga");
}

TEST_F(ATXTest, ErrorsNameTheFile) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"texture a\nnumframes 1\n", "Atx file <textures\\fx\\fire.atx> must specify 'numframes' before 'texture'."},
      {"startframe 0\n", "Atx file <textures\\fx\\fire.atx> must specify 'numframes' before 'startframe'."},
      {"loopframe 0\n", "Atx file <textures\\fx\\fire.atx> must specify 'numframes' before 'loopframe'."},
      {"numframes 1\ntexture a\ntexture b\n", "Atx file <textures\\fx\\fire.atx> has more frames than specified"},
      {"numframes 2\nstartframe 2\n",
       "Atx file <textures\\fx\\fire.atx> must have 'startframe' between 0 and 'numframes' - 1."},
      {"numframes 2\nstartframe -1\n",
       "Atx file <textures\\fx\\fire.atx> must have 'startframe' between 0 and 'numframes' - 1."},
      {"numframes 2\nloopframe nan\n",
       "Atx file <textures\\fx\\fire.atx> must have 'loopframe' between 0 and 'numframes'-1."},
      {"numframes 2\nplaymode Bounce\n", "Atx file <textures\\fx\\fire.atx> has invalid playmode <Bounce>"},
      {"numframes 4\ntexture a\ntexture b\ntexture c\n",
       "Atx file <textures\\fx\\fire.dds> specifies <4> frames but names <3> textures."},
      {"", "Atx file <textures\\fx\\fire.dds> specifies <1> frames but names <0> textures."},
      {"numframes 0\n", "Atx file <textures\\fx\\fire.atx> has invalid 'numframes' <0>."},
      {"numframes -3\ntexture a\n", "Atx file <textures\\fx\\fire.atx> has invalid 'numframes' <-3>."},
      {"numframes 99999999\n", "has invalid 'numframes' <99999999>."},
      {"numframes 1\nnumframes 2\n", "specifies 'numframes' twice."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Traces().clear();
    EXPECT_FALSE(Read(c.text));
    EXPECT_THAT(AllTraces(), HasSubstr(c.message));
  }
}

TEST_F(ATXTest, AFrameThatFailsEndsTheFile) {
  info = ETexAnimInfo();
  sink = FakeSink();
  sink.failAt = 1;
  EXPECT_FALSE(ReadATXText("numframes 3\ntexture a\ntexture b\ntexture c\n", "x.atx", "x.dds", info, sink));
  EXPECT_EQ(sink.indices, (std::vector<int>{0, 1}));
}
