// The frame cycle on a settable clock: lateness, dropped and made copies,
// restarts, random access, key frames, copies of rectangles, changed
// rectangles, the hand-over of sound to an output that records what it
// receives and to OpenAL's wave writer, pausing and the sound switch, the
// track calls and the statistics.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <AL/al.h>
#include <AL/alc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TWUtil/ByteOrder.h"
#include "ZoeAudio.h"
#include "ZoeBlit.h"
#include "ZoeMovie.h"
#include "ZoeOpen.h"
#include "ZoePlatform.h"
#include "ZoeSampleMovie.h"
#include "ZoeSound.h"
#include "ZoeTestSupport.h"

namespace {

uint32_t g_now = 10000;
uint32_t PlayClock() { return g_now; }

// Every test drives the library's clock by hand and puts the real one back.
class ZoePlay : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = 10000;
    ZoeSetTimerSource(&PlayClock);
  }
  void TearDown() override { ZoeSetTimerSource(nullptr); }
};

// ---- An output that records what it is handed (installed in a child
// process: the sound system cannot be replaced once a track opened).

struct Recorded {
  std::vector<uint8_t> bytes;
  std::vector<int> enabled;
  std::vector<int> pausedCalls;
  std::vector<int32_t> volumes;
  std::vector<uint8_t> buffer;
  uint32_t bufferSize = 1000;
  uint32_t holdBack = 0, alignMask = 0;
  bool paused = false;
};
Recorded g_rec[4];
int g_opened = 0;

Recorded& Rec(TrackSound* s) { return g_rec[s->reserved[0]]; }
int RecCanTake(TrackSound* s) { return !Rec(s).paused; }
int RecLock(TrackSound* s, void** at, uint32_t* size) {
  Recorded& r = Rec(s);
  r.buffer.assign(r.bufferSize, 0);
  *at = r.buffer.data();
  *size = r.bufferSize;
  return 1;
}
void RecSubmit(TrackSound* s, uint32_t bytes) {
  Recorded& r = Rec(s);
  r.bytes.insert(r.bytes.end(), r.buffer.begin(), r.buffer.begin() + bytes);
}
void RecVolume(TrackSound* s, int32_t v) { Rec(s).volumes.push_back(v); }
int RecPaused(TrackSound* s, int32_t p) {
  Rec(s).pausedCalls.push_back(p);
  Rec(s).paused = p != 0;
  return 1;
}
int RecEnabled(TrackSound* s, int32_t on) {
  Rec(s).enabled.push_back(on);
  return on;
}
int RecOpener(TrackSound* s, uint32_t, uint32_t, uint32_t, uint32_t, void*) {
  int k = g_opened++ % 4;
  memset(s, 0, sizeof(*s));
  s->reserved[0] = (uint8_t)k;
  s->canTakeData = RecCanTake;
  s->lockBuffer = RecLock;
  s->submitBuffer = RecSubmit;
  s->setVolume = RecVolume;
  s->setPaused = RecPaused;
  s->setEnabled = RecEnabled;
  s->holdBack = g_rec[k].holdBack;
  s->alignMask = g_rec[k].alignMask;
  s->noBackground = 1;  // everything on the test's thread
  return 1;
}
SoundOutputOpener RecStartup(uintptr_t) { return RecOpener; }

// A child process with the recording sound system installed.
template <typename F>
void InChild(F body) {
  zoetest::InChild([&] {
    ZoetSetSoundSystem(RecStartup, 0);
    body();
  });
}

zoeenc::SampleSound Sound(int32_t id, uint32_t channels = 1, bool eightBit = false) {
  zoeenc::SampleSound s;
  s.id = id;
  s.channels = channels;
  s.eightBit = eightBit;
  return s;
}

// A 4-byte aligned copy of the movie file for opening from memory.
struct Image {
  std::vector<uint32_t> words;
  explicit Image(const std::vector<uint8_t>& bytes) : words((bytes.size() + 3) / 4) {
    memcpy(words.data(), bytes.data(), bytes.size());
  }
  ZoetMovie* Open(uint32_t flags = 0) { return ZoetOpen(words.data(), OpenFromMemory | flags); }
};

std::vector<uint8_t> Pixels(ZoetMovie* m, uint32_t flags = 0x80000003u) {
  std::vector<uint8_t> px((size_t)m->width * m->height * 4, 0);
  ZoetCopyToBuffer(m, px.data(), (int32_t)m->width * 4, m->height, 0, 0, flags);
  return px;
}

const uint32_t kPeriod = 33;  // one frame at 30 per second

TEST_F(ZoePlay, WithoutSoundLateFramesRestartTheClockAndNoCopyIsDropped) {
  zoeenc::SampleMovieSpec spec;
  spec.frames = 6;
  Image image(zoeenc::MakeSampleMovie(spec));
  ZoetMovie* m = image.Open();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ZoetWait(m), 0) << "nothing played yet";
  for (uint32_t f = 1; f <= 6; f++) {
    EXPECT_EQ(ZoetDoFrame(m), 0);
    std::vector<uint8_t> px(m->width * m->height * 4, 0);
    EXPECT_EQ(ZoetCopyToBuffer(m, px.data(), (int32_t)m->width * 4, m->height, 0, 0, 3), 0) << f;
    EXPECT_NE(px, std::vector<uint8_t>(px.size(), 0)) << "frame " << f << " was copied";
    g_now += 1000;  // far behind
    EXPECT_EQ(ZoetWait(m), 0);
    EXPECT_EQ(m->clockStart, g_now) << "the clock restarts instead of catching up";
    EXPECT_EQ(ZoetShouldSkip(m), 0);
    ZoetNextFrame(m);
  }
  EXPECT_EQ(m->skippedCopies, 0u);
  // The next frame is due one period after the clock started again.
  EXPECT_EQ(ZoetWait(m), 1);
  g_now += kPeriod + 1;
  EXPECT_EQ(ZoetWait(m), 0);
  ZoetClose(m);
}

TEST_F(ZoePlay, WithSoundThreeLateCopiesAreDroppedAndTheFourthIsMade) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 12;
    spec.sounds = {Sound(0)};
    Image image(zoeenc::MakeSampleMovie(spec));
    struct Case {
      uint32_t flags;
      std::vector<int> results;
      std::vector<bool> made;
    } cases[] = {
        {0, {1, 1, 1, 1, 1, 1, 1, 1}, {false, false, false, true, false, false, false, true}},
        {OpenNeverSkip, {1, 1, 1, 1, 1, 1, 1, 1}, {true, true, true, true, true, true, true, true}},
    };
    for (const Case& c : cases) {
      ZoetMovie* m = image.Open(c.flags);
      ASSERT_NE(m, nullptr);
      ASSERT_EQ(m->openTrackCount, 1);
      ZoetDoFrame(m);
      Pixels(m);
      ZoetNextFrame(m);
      for (size_t k = 0; k < c.results.size(); k++) {
        g_now += 500;  // every frame far behind the clock
        ZoetDoFrame(m);
        std::vector<uint8_t> px(m->width * m->height * 4, 0);
        EXPECT_EQ(ZoetCopyToBuffer(m, px.data(), (int32_t)m->width * 4, m->height, 0, 0, 0x80000003u),
                  c.results[k])
            << "flags " << c.flags << " copy " << k;
        EXPECT_EQ(px != std::vector<uint8_t>(px.size(), 0), c.made[k]) << "flags " << c.flags << " copy " << k;
        if (!c.made[k]) {
          // A dropped copy leaves nothing to copy until the next frame.
          EXPECT_EQ(ZoetCopyToBuffer(m, px.data(), (int32_t)m->width * 4, m->height, 0, 0, 0x80000003u), 0);
          EXPECT_EQ(ZoetGetRects(m, 0), 0);
        }
        ZoetNextFrame(m);
      }
      EXPECT_EQ(m->skippedCopies, c.flags ? 0u : 6u);
      ZoetClose(m);
    }
  });
}

TEST_F(ZoePlay, ShouldSkipAnswersForThreeLateFramesThenLetsOneThrough) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 12;
    spec.sounds = {Sound(0)};
    Image image(zoeenc::MakeSampleMovie(spec));
    ZoetMovie* m = image.Open();
    ASSERT_NE(m, nullptr);
    ZoetDoFrame(m);
    ZoetNextFrame(m);
    std::vector<int32_t> answers;
    for (int k = 0; k < 5; k++) {
      g_now += 300;
      ZoetDoFrame(m);
      answers.push_back(ZoetShouldSkip(m));
      ZoetNextFrame(m);
    }
    EXPECT_EQ(answers, (std::vector<int32_t>{1, 1, 1, 0, 1}));
    ZoetClose(m);
    // On time: nothing to skip.
    m = image.Open();
    ZoetDoFrame(m);
    ZoetNextFrame(m);
    g_now += kPeriod;
    ZoetDoFrame(m);
    EXPECT_EQ(ZoetShouldSkip(m), 0);
    ZoetClose(m);
  });
}

TEST_F(ZoePlay, GotoDecodesFromTheKeyFrameOrOneSecondBeforeWithSound) {
  InChild([] {
    for (bool sound : {false, true}) {
      zoeenc::SampleMovieSpec spec;
      spec.frames = 30;
      spec.keyFrames = {1, 20};
      if (sound) spec.sounds = {Sound(0)};
      Image image(zoeenc::MakeSampleMovie(spec));
      // The reference: every frame decoded in order.
      ZoetMovie* ref = image.Open();
      ASSERT_NE(ref, nullptr);
      for (uint32_t f = 1; f < 25; f++) {
        ZoetDoFrame(ref);
        ZoetNextFrame(ref);
      }
      ZoetDoFrame(ref);
      ASSERT_EQ(ref->currentFrame, 25u);
      const std::vector<uint8_t> want = Pixels(ref);
      ZoetClose(ref);

      ZoetMovie* m = image.Open();
      ASSERT_NE(m, nullptr);
      ZoetGoto(m, 25, 0);
      EXPECT_EQ(m->currentFrame, 25u);
      // With sound the pre-roll starts at frame 1 (25 - 30, clamped): 24
      // frames decoded; without, from key frame 20: 5.
      EXPECT_EQ(m->playedFrames, sound ? 24u : 5u) << "sound " << sound;
      EXPECT_EQ(m->videoOn, 1u);
      ZoetDoFrame(m);
      EXPECT_EQ(Pixels(m), want) << "sound " << sound;
      // Both bits: only the frame's data is loaded.
      ZoetGoto(m, 3, 3);
      EXPECT_EQ(m->currentFrame, 3u);
      EXPECT_EQ(m->playedFrames, sound ? 25u : 6u);
      // Frame 0 means 1, frames past the end the last.
      ZoetGoto(m, 99, 3);
      EXPECT_EQ(m->currentFrame, 30u);
      ZoetGoto(m, 0, 3);
      EXPECT_EQ(m->currentFrame, 1u);
      ZoetClose(m);
    }
  });
}

TEST_F(ZoePlay, KeyFrameModes) {
  zoeenc::SampleMovieSpec spec;
  spec.frames = 10;
  spec.keyFrames = {5, 9};  // frame 1 carries no key bit
  Image image(zoeenc::MakeSampleMovie(spec));
  ZoetMovie* m = image.Open();
  ASSERT_NE(m, nullptr);
  struct Case {
    uint32_t frame, flags, want;
  } cases[] = {
      {3, 0, 1},    {1, 0, 0},    {1, 0x80, 0}, {7, 0, 5},    {5, 0, 5},    {5, 0x80, 1},  {9, 0x80, 5},
      {3, 1, 5},    {5, 0x81, 9}, {9, 0x81, 0}, {10, 1, 0},   {7, 2, 5},    {8, 2, 9},     {6, 2, 5},
      {5, 0x82, 9}, {3, 3, 0},    {5, 3, 5},    {5, 0x83, 0}, {2, 2, 5},    {0, 0, 0},     {99, 0, 9},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ZoetGetKeyFrame(m, c.frame, c.flags), c.want) << "frame " << c.frame << " flags " << c.flags;
  EXPECT_EQ(ZoetGetKeyFrame(nullptr, 3, 0), 0u);
  ZoetClose(m);
}

TEST_F(ZoePlay, AfterTheLastFrameFrameOneIsLoadedAndAfterFiveMinutesSoundAndClockRestart) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 3;
    spec.sounds = {Sound(0)};
    Image image(zoeenc::MakeSampleMovie(spec));
    g_rec[0] = Recorded();
    g_opened = 0;
    ZoetMovie* m = image.Open();
    ASSERT_NE(m, nullptr);
    for (int f = 0; f < 3; f++) {
      ZoetDoFrame(m);
      ZoetNextFrame(m);
    }
    EXPECT_EQ(m->currentFrame, 1u);
    EXPECT_EQ(m->restartPending, 0u) << "the first loop ended quickly";
    for (int f = 0; f < 3; f++) {
      ZoetDoFrame(m);
      g_now += 100001;
      ZoetNextFrame(m);
    }
    EXPECT_EQ(m->currentFrame, 1u);
    EXPECT_EQ(m->restartPending, 1u);
    g_rec[0].enabled.clear();
    const uint32_t startedBefore = m->clockStart;
    ZoetDoFrame(m);
    EXPECT_EQ(g_rec[0].enabled, (std::vector<int>{0, 1}));
    EXPECT_EQ(m->restartPending, 0u);
    EXPECT_NE(m->clockStart, startedBefore);
    EXPECT_EQ(m->clockStart, g_now);
    EXPECT_EQ(m->clockStartFrame, m->playedFrames - 1);
    ZoetClose(m);
  });
}

TEST_F(ZoePlay, CopiesOfRectanglesAndNegativePitch) {
  zoeenc::SampleMovieSpec spec;
  spec.width = 48;
  spec.height = 32;
  spec.frames = 2;
  Image image(zoeenc::MakeSampleMovie(spec));
  ZoetMovie* m = image.Open();
  ASSERT_NE(m, nullptr);
  ZoetDoFrame(m);
  const std::vector<uint8_t> whole = Pixels(m);
  const uint32_t pitch = m->width * 4;
  std::vector<uint8_t> px(whole.size(), 0x5A);
  struct Case {
    uint32_t x, y, w, h;
  } outside[] = {{48, 0, 16, 16}, {0, 32, 8, 8}, {100, 100, 4, 4}, {0, 0, 0, 8}};
  for (const Case& c : outside) {
    EXPECT_EQ(ZoetCopyToBufferRect(m, px.data(), (int32_t)pitch, m->height, 0, 0, c.x, c.y, c.w, c.h, 0x80000003u), 0);
    EXPECT_EQ(px, std::vector<uint8_t>(whole.size(), 0x5A)) << c.x << "," << c.y;
  }
  // A rectangle reaching past the picture is cut to it.
  EXPECT_EQ(ZoetCopyToBufferRect(m, px.data(), (int32_t)pitch, m->height, 40, 20, 40, 20, 64, 64, 0x80000003u), 0);
  for (uint32_t r = 0; r < m->height; r++)
    for (uint32_t x = 0; x < m->width; x++) {
      const size_t at = (size_t)r * pitch + 4 * x;
      if (r >= 20 && x >= 40)
        ASSERT_EQ(memcmp(&px[at], &whole[at], 4), 0) << x << "," << r;
      else
        ASSERT_EQ(px[at], 0x5A) << x << "," << r;
    }
  // A negative pitch stores the rows bottom up.
  std::vector<uint8_t> flipped(whole.size(), 0);
  EXPECT_EQ(ZoetCopyToBuffer(m, flipped.data(), -(int32_t)pitch, m->height, 0, 0, 0x80000003u), 0);
  for (uint32_t r = 0; r < m->height; r++)
    ASSERT_EQ(memcmp(&flipped[(size_t)(m->height - 1 - r) * pitch], &whole[(size_t)r * pitch], pitch), 0) << r;
  EXPECT_EQ(ZoetCopyToBuffer(nullptr, px.data(), 4, 1, 0, 0, 3), 0);
  EXPECT_EQ(ZoetCopyToBuffer(m, nullptr, 4, 1, 0, 0, 3), 0);
  ZoetClose(m);
}

// ---- Changed rectangles against a search over every marked block.

struct Grid {
  uint32_t cols, rows;
  std::vector<uint8_t> marks;
};

TEST_F(ZoePlay, ChangedRectanglesCoverEveryMarkedBlockInsideTheBoundingBox) {
  zoeenc::SampleMovieSpec spec;
  spec.width = 96;
  spec.height = 80;  // 6 x 5 blocks of 16
  spec.frames = 1;
  Image image(zoeenc::MakeSampleMovie(spec));
  ZoetMovie* m = image.Open();
  ASSERT_NE(m, nullptr);
  const uint32_t cols = 6, rows = 5;
  ASSERT_GE(m->changeMapPitch, cols);
  uint32_t seed = 12345;
  for (int trial = 0; trial < 300; trial++) {
    memset(m->changeMap, 0, m->changeMapSize);
    int density = trial % 7;
    for (uint32_t r = 0; r < rows; r++)
      for (uint32_t c = 0; c < cols; c++) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 16) % 8 < (uint32_t)density) m->changeMap[r * m->changeMapPitch + c] = 1;
      }
    // The search: the bounding box of the marks, in pixels.
    int32_t top = -1, bottom = -1, left = 99, right = -1;
    for (uint32_t r = 0; r < rows; r++)
      for (uint32_t c = 0; c < cols; c++)
        if (m->changeMap[r * m->changeMapPitch + c]) {
          if (top < 0) top = (int32_t)r;
          bottom = (int32_t)r;
          left = std::min(left, (int32_t)c);
          right = std::max(right, (int32_t)c);
        }
    m->rectCount = -1;
    int32_t one = ZoetGetRects(m, 0x8000000);
    if (top < 0) {
      EXPECT_EQ(one, 0);
      continue;
    }
    ASSERT_EQ(one, 1);
    EXPECT_EQ(m->rects[0].left, left * 16);
    EXPECT_EQ(m->rects[0].top, top * 16);
    EXPECT_EQ(m->rects[0].width, (right - left + 1) * 16);
    EXPECT_EQ(m->rects[0].height, (bottom - top + 1) * 16);
    const int64_t boxArea = (int64_t)m->rects[0].width * m->rects[0].height;
    m->rectCount = -1;
    int32_t n = ZoetGetRects(m, 0);
    ASSERT_GE(n, 1);
    ASSERT_LE(n, 8);
    int64_t area = 0;
    for (int32_t i = 0; i < n; i++) {
      const ZoetRect& q = m->rects[i];
      area += (int64_t)q.width * q.height;
      EXPECT_GE(q.left, left * 16);
      EXPECT_LE(q.left + q.width, (right + 1) * 16);
      if (i > 0) {
        const ZoetRect& p = m->rects[i - 1];
        EXPECT_TRUE(p.top < q.top || (p.top == q.top && p.left < q.left)) << "ordered by top, then left";
      }
    }
    EXPECT_LE(area, boxArea);
    for (uint32_t r = 0; r < rows; r++)
      for (uint32_t c = 0; c < cols; c++) {
        if (!m->changeMap[r * m->changeMapPitch + c]) continue;
        int covering = 0;
        for (int32_t i = 0; i < n; i++) {
          const ZoetRect& q = m->rects[i];
          if ((int32_t)c * 16 >= q.left && (int32_t)c * 16 < q.left + q.width && (int32_t)r * 16 >= q.top &&
              (int32_t)r * 16 < q.top + q.height)
            covering++;
        }
        EXPECT_EQ(covering, 1) << "block " << c << "," << r << " trial " << trial;
      }
  }
  // Two far corners split into their own blocks.
  memset(m->changeMap, 0, m->changeMapSize);
  m->changeMap[0] = 1;
  m->changeMap[4 * m->changeMapPitch + 5] = 1;
  m->rectCount = -1;
  ASSERT_EQ(ZoetGetRects(m, 0), 2);
  EXPECT_EQ(m->rects[0].left, 0);
  EXPECT_EQ(m->rects[0].width, 16);
  EXPECT_EQ(m->rects[1].left, 80);
  EXPECT_EQ(m->rects[1].top, 64);
  EXPECT_EQ(m->rects[1].height, 16);
  EXPECT_EQ(ZoetGetRects(m, 0x4000000), 0);
  ZoetClose(m);
}

// ---- Sound hand-over.

// What a track decoder makes of the movie's packets, frame after frame.
std::vector<uint8_t> TrackPcm(Image& image, int32_t index, uint32_t frames) {
  ZoetMovie* m = image.Open();
  std::vector<uint8_t> all;
  TrackDecoder* t = ZoetOpenTrack(m, index);
  if (!t) {
    ZoetClose(m);
    return all;
  }
  std::vector<uint8_t> buf(t->maxBytes + 16);
  for (uint32_t f = 1; f <= frames; f++) {
    uint32_t n = ZoetGetTrackData(t, buf.data());
    all.insert(all.end(), buf.begin(), buf.begin() + n);
    ZoetNextFrame(m);
  }
  ZoetCloseTrack(t);
  ZoetClose(m);
  return all;
}

TEST_F(ZoePlay, TheOutputReceivesTheMoviesSoundInOrderAndEightBitTracksTheHighBytes) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 40;
    spec.sounds = {Sound(0, 2), Sound(1, 2, true)};  // the same chord, 16 and 8 bits
    Image image(zoeenc::MakeSampleMovie(spec));
    const std::vector<uint8_t> pcm = TrackPcm(image, 0, spec.frames);
    const std::vector<uint8_t> pcm8 = TrackPcm(image, 1, spec.frames);
    ASSERT_GT(pcm.size(), 10000u);
    ASSERT_EQ(pcm8.size() * 2, pcm.size());
    for (size_t i = 0; i < pcm8.size(); i++) ASSERT_EQ(pcm8[i], (uint8_t)(pcm[2 * i + 1] + 128)) << i;

    for (int k = 0; k < 2; k++) g_rec[k] = Recorded();
    // Until the buffering frame whole sample frames are handed over.
    g_rec[0].alignMask = g_rec[1].alignMask = ~3u;
    g_opened = 0;
    const int32_t ids[] = {0, 1};
    ZoetSetSoundTrack(2, ids);
    ZoetMovie* m = image.Open(OpenSoundTracks);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->openTrackCount, 2);
    for (uint32_t f = 1; f <= spec.frames; f++) {
      ZoetDoFrame(m);
      if (m->currentFrame <= m->tracks[0].bufferingFrame) {
        EXPECT_EQ(g_rec[0].bytes.size() % 4, 0u);
        EXPECT_EQ(g_rec[1].bytes.size() % 2, 0u);
      }
      g_now += kPeriod;
      ZoetWait(m);
      if (f < spec.frames) ZoetNextFrame(m);
    }
    ZoetService(m);
    EXPECT_EQ(g_rec[0].bytes, pcm);
    EXPECT_EQ(g_rec[1].bytes, pcm8);
    ZoetClose(m);
  });
}

TEST_F(ZoePlay, PauseSilencesAndResumeAndTheSoundSwitchContinue) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 30;
    spec.sounds = {Sound(0)};
    Image image(zoeenc::MakeSampleMovie(spec));
    const std::vector<uint8_t> pcm = TrackPcm(image, 0, spec.frames);
    g_rec[0] = Recorded();
    g_opened = 0;
    ZoetMovie* m = image.Open();
    ASSERT_NE(m, nullptr);
    auto play = [&](uint32_t frames) {
      for (uint32_t k = 0; k < frames; k++) {
        ZoetDoFrame(m);
        g_now += kPeriod;
        ZoetWait(m);
        ZoetNextFrame(m);
      }
    };
    play(5);
    const uint32_t started = m->clockStart;
    EXPECT_EQ(ZoetPause(m, 1), 1);
    EXPECT_EQ(g_rec[0].pausedCalls, (std::vector<int>{1}));
    const size_t handed = g_rec[0].bytes.size();
    g_now += 5000;
    EXPECT_EQ(ZoetWait(m), 1) << "paused: never due";
    EXPECT_EQ(g_rec[0].bytes.size(), handed) << "nothing handed over while paused";
    EXPECT_EQ(ZoetPause(m, 0), 0);
    EXPECT_EQ(g_rec[0].pausedCalls, (std::vector<int>{1, 0}));
    EXPECT_EQ(m->clockStart, started + 5000) << "the pause does not count as lateness";
    play(5);
    EXPECT_GT(g_rec[0].bytes.size(), handed);
    // Off empties the ring and pre-fills silence; on restarts the clock.
    EXPECT_EQ(ZoetSetSoundOnOff(m, 0), 0);
    EXPECT_EQ(m->soundOn, 0u);
    EXPECT_EQ(m->tracks[0].waiting, m->tracks[0].preBufferSize);
    EXPECT_EQ(ZoetSetSoundOnOff(m, 1), 1);
    EXPECT_EQ(m->soundOn, 1u);
    EXPECT_EQ(m->clockStart, 0u);
    EXPECT_EQ(g_rec[0].enabled, (std::vector<int>{0, 1}));
    const size_t before = g_rec[0].bytes.size();
    play(19);
    ZoetDoFrame(m);
    ZoetService(m);
    ASSERT_GT(g_rec[0].bytes.size(), before + m->tracks[0].preBufferSize);
    // Up to the switch the output holds the movie's sound; after it the
    // silence and then the sound from the following frames.
    ASSERT_LE(handed, pcm.size());
    EXPECT_TRUE(std::equal(g_rec[0].bytes.begin(), g_rec[0].bytes.begin() + handed, pcm.begin()));
    std::vector<uint8_t> silence(m->tracks[0].preBufferSize, 0);
    EXPECT_TRUE(std::equal(silence.begin(), silence.end(), g_rec[0].bytes.begin() + before));
    ZoetClose(m);
  });
}

// ---- Tracks and statistics.

TEST_F(ZoePlay, TrackCallsAnswerByIndexAndModeAndRefuseOutsideTheTable) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 4;
    zoeenc::SampleSound fourier = Sound(7), dct = Sound(8), neither = Sound(9), mono8 = Sound(10, 1, true);
    dct.dct = true;
    neither.word = 22050 | (1u << 30);
    spec.sounds = {fourier, dct, neither, mono8};
    Image image(zoeenc::MakeSampleMovie(spec));
    ZoetMovie* m = image.Open();
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->trackCount, 4);
    EXPECT_EQ(ZoetGetTrackID(m, 1), 8);
    EXPECT_EQ(ZoetGetTrackType(m, 2), 22050u | (1u << 30));
    EXPECT_GT(ZoetGetTrackMaxSize(m, 0), 0u);
    for (int32_t bad : {-1, 4, 1000, INT32_MIN}) {
      EXPECT_EQ(ZoetGetTrackID(m, bad), 0) << bad;
      EXPECT_EQ(ZoetGetTrackType(m, bad), 0u) << bad;
      EXPECT_EQ(ZoetGetTrackMaxSize(m, bad), 0u) << bad;
      EXPECT_EQ(ZoetOpenTrack(m, bad), nullptr) << bad;
    }
    EXPECT_EQ(ZoetGetTrackID(nullptr, 0), 0);

    struct Case {
      int32_t index;
      bool opens;
      uint32_t decoderFlags, bits;
    } cases[] = {{0, true, 0, 16}, {1, true, 1, 16}, {2, false, 0, 0}, {3, true, 0, 8}};
    for (const Case& c : cases) {
      TrackDecoder* t = ZoetOpenTrack(m, c.index);
      ASSERT_EQ(t != nullptr, c.opens) << c.index;
      if (!t) continue;
      EXPECT_EQ(t->decoder->flags, c.decoderFlags) << c.index;
      EXPECT_EQ(t->bits, c.bits);
      EXPECT_EQ(t->rate, 22050u);
      EXPECT_EQ(t->index, (uint32_t)c.index);
      const uint32_t most = (ZoetGetTrackMaxSize(m, c.index) + 3) & ~3u;
      EXPECT_EQ(t->maxBytes, c.bits == 8 ? most / 2 : most);
      ZoetCloseTrack(t);
    }
    ZoetCloseTrack(nullptr);

    // An 8-bit mono track writes half of what its decoder makes.
    TrackDecoder* t8 = ZoetOpenTrack(m, 3);
    TrackDecoder* t16 = ZoetOpenTrack(m, 0);
    ASSERT_NE(t8, nullptr);
    ASSERT_NE(t16, nullptr);
    std::vector<uint8_t> a(t16->maxBytes + 64, 0xEE), b(t8->maxBytes + 64, 0xEE);
    const uint32_t n16 = ZoetGetTrackData(t16, a.data()), n8 = ZoetGetTrackData(t8, b.data());
    EXPECT_GT(n16, 0u);
    EXPECT_EQ(n8 * 2, n16);
    EXPECT_EQ(GetLE32(m->frameData + 4), n16) << "the packet's decoded byte count";
    EXPECT_EQ(b[n8], 0xEE);
    ZoetCloseTrack(t8);
    ZoetCloseTrack(t16);
    ZoetClose(m);
  });
}

TEST_F(ZoePlay, VolumeReachesTheOpenTrackWithTheIdOnly) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 2;
    spec.sounds = {Sound(0), Sound(2)};
    Image image(zoeenc::MakeSampleMovie(spec));
    for (int k = 0; k < 2; k++) g_rec[k] = Recorded();
    g_opened = 0;
    const int32_t ids[] = {2, 0};
    ZoetSetSoundTrack(2, ids);
    ZoetMovie* m = image.Open(OpenSoundTracks);
    ASSERT_NE(m, nullptr);
    ZoetSetVolume(m, 5, 1000);
    ZoetSetVolume(nullptr, 0, 1000);
    EXPECT_TRUE(g_rec[0].volumes.empty());
    EXPECT_TRUE(g_rec[1].volumes.empty());
    ZoetSetVolume(m, 0, 65535);
    ZoetSetVolume(m, 2, 12);
    EXPECT_EQ(g_rec[0].volumes, (std::vector<int32_t>{12}));  // the first opened is id 2
    EXPECT_EQ(g_rec[1].volumes, (std::vector<int32_t>{65535}));
    ZoetSetPan(m, 0, 3);  // the output has no pan callback
    ZoetClose(m);
  });
}

TEST_F(ZoePlay, DamagedPacketLengthsStopAtTheFramesEnd) {
  InChild([] {
    zoeenc::SampleMovieSpec spec;
    spec.frames = 3;
    spec.sounds = {Sound(0), Sound(1)};
    std::vector<uint8_t> bytes = zoeenc::MakeSampleMovie(spec);
    // Frame 2's first packet claims more than the frame holds; frame 3's
    // second packet likewise.
    const uint32_t tracks = GetLE32(&bytes[40]);
    const uint32_t index = 44 + 12 * tracks;
    const uint32_t f2 = GetLE32(&bytes[index + 4]) & ~1u, f3 = GetLE32(&bytes[index + 8]) & ~1u;
    PutLE32(&bytes[f2], 0x7FFFFFF0u);
    const uint32_t second = f3 + 4 + GetLE32(&bytes[f3]);
    PutLE32(&bytes[second], 0xFFFFFFF0u);
    Image image(bytes);
    g_opened = 0;
    for (int k = 0; k < 2; k++) g_rec[k] = Recorded();
    const int32_t ids[] = {0, 1};
    ZoetSetSoundTrack(2, ids);
    ZoetMovie* m = image.Open(OpenSoundTracks);
    ASSERT_NE(m, nullptr);
    TrackDecoder* t0 = ZoetOpenTrack(m, 0);
    TrackDecoder* t1 = ZoetOpenTrack(m, 1);
    std::vector<uint8_t> buf(t0->maxBytes + t1->maxBytes + 64);
    uint32_t expect[3][2];
    for (uint32_t f = 0; f < 3; f++) {
      expect[f][0] = ZoetGetTrackData(t0, buf.data());
      expect[f][1] = ZoetGetTrackData(t1, buf.data());
      const size_t had0 = g_rec[0].bytes.size() + m->tracks[0].waiting;
      const size_t had1 = g_rec[1].bytes.size() + m->tracks[1].waiting;
      EXPECT_EQ(ZoetDoFrame(m), 0);
      EXPECT_EQ(g_rec[0].bytes.size() + m->tracks[0].waiting > had0, expect[f][0] > 0) << "frame " << f + 1;
      EXPECT_EQ(g_rec[1].bytes.size() + m->tracks[1].waiting > had1, expect[f][1] > 0) << "frame " << f + 1;
      Pixels(m);
      ZoetNextFrame(m);
    }
    EXPECT_GT(expect[0][0], 0u);
    EXPECT_EQ(expect[1][0], 0u);
    EXPECT_EQ(expect[1][1], 0u) << "after a packet that does not fit nothing follows";
    EXPECT_GT(expect[2][0], 0u);
    EXPECT_EQ(expect[2][1], 0u);
    ZoetCloseTrack(t0);
    ZoetCloseTrack(t1);
    ZoetClose(m);
  });
}

TEST_F(ZoePlay, SummaryAndRealtimeRecords) {
  zoetest::TempDir dir;
  zoeenc::SampleMovieSpec spec;
  spec.frames = 45;
  spec.width = 64;
  spec.height = 48;
  spec.padTo = 600000;  // too large to be read whole
  const std::vector<uint8_t> bytes = zoeenc::MakeSampleMovie(spec);
  ASSERT_TRUE(zoetest::WriteFile(dir.File("m.zoe"), bytes));
  ZoetSetIOSize(200);
  ZoetMovie* m = ZoetOpen(dir.File("m.zoe").c_str(), OpenIOSize | OpenNoBackgroundIO);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->preloaded, nullptr);
  ZoetDoFrame(m);
  g_now += 7;
  RealtimeStats rt;
  ZoetGetRealtime(m, &rt, 0);
  EXPECT_EQ(rt.words[0], 1u);
  EXPECT_EQ(rt.words[3], 1u) << "after frame 1 the window is one frame";
  EXPECT_EQ(rt.words[1], 30u);
  for (uint32_t f = 2; f <= 20; f++) {
    ZoetNextFrame(m);
    ZoetDoFrame(m);
    g_now += f == 11 ? 90 : 10;  // frame 11 takes longest
    ZoetWait(m);
  }
  ZoetGetRealtime(m, &rt, 5);
  EXPECT_EQ(rt.words[3], 5u);
  EXPECT_EQ(rt.words[4], 5u * 10);  // five decode starts 10 ms apart
  ZoetGetRealtime(m, &rt, 100);
  EXPECT_EQ(rt.words[3], 19u) << "at most a second of frames less one";
  PlaybackSummary s;
  memset(&s, 0xFF, sizeof(s));
  ZoetGetSummary(m, &s);
  EXPECT_EQ(s.words[0], 64u);
  EXPECT_EQ(s.words[1], 48u);
  EXPECT_EQ(s.words[3], 30u);
  EXPECT_EQ(s.words[8], 45u);
  EXPECT_EQ(s.words[9], 20u);
  EXPECT_EQ(s.words[10], 0u);
  EXPECT_EQ(s.words[20], 90u);
  EXPECT_EQ(s.words[21], 10u);
  EXPECT_EQ(s.words[22], 11u);
  EXPECT_EQ(s.words[27], m->io->ringSize);
  EXPECT_NE(s.words[27], 200u) << "the reader's buffer, not the size asked for";
  EXPECT_GT(s.words[28], 0u);
  EXPECT_LE(s.words[28], s.words[27]);
  EXPECT_GE(s.words[26], s.words[27]);
  const uint32_t first = GetLE32(&bytes[44]) & ~1u;
  EXPECT_EQ(s.words[25], (uint32_t)((bytes.size() - 8 - first) / 45));
  EXPECT_EQ(s.words[30], m->peakSecondFrame + 1);
  ZoetGetSummary(nullptr, &s);
  ZoetGetSummary(m, nullptr);
  ZoetClose(m);
}

TEST_F(ZoePlay, NullMoviesAreIgnored) {
  EXPECT_EQ(ZoetWait(nullptr), 0);
  EXPECT_EQ(ZoetDoFrame(nullptr), 0);
  ZoetNextFrame(nullptr);
  EXPECT_EQ(ZoetShouldSkip(nullptr), 0);
  EXPECT_EQ(ZoetGetRects(nullptr, 0), 0);
  ZoetGoto(nullptr, 3, 0);
  EXPECT_EQ(ZoetPause(nullptr, 1), 0);
  EXPECT_EQ(ZoetService(nullptr), 0);
  EXPECT_EQ(ZoetSetSoundOnOff(nullptr, 1), 0);
  EXPECT_EQ(ZoetControlBackgroundIO(nullptr, 1), -1);
  RealtimeStats rt;
  ZoetGetRealtime(nullptr, &rt, 1);
}

}  // namespace

// ---- The OpenAL output: OpenAL Soft's wave writer records what is played.

namespace {

std::vector<int16_t> WaveSamples(const std::string& path) {
  std::vector<int16_t> out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return out;
  std::vector<uint8_t> bytes;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  fclose(f);
  // RIFF chunks after the 12-byte header; the samples are in "data".
  for (size_t at = 12; at + 8 <= bytes.size();) {
    uint32_t size = GetLE32(&bytes[at + 4]);
    if (memcmp(&bytes[at], "data", 4) == 0) {
      size_t end = std::min(bytes.size(), at + 8 + (size_t)size);
      for (size_t i = at + 8; i + 1 < end; i += 2) out.push_back((int16_t)GetLE16(&bytes[i]));
      break;
    }
    at += 8 + size + (size & 1);
  }
  return out;
}

TEST_F(ZoePlay, TheWaveOutputHoldsTheMoviesSoundInOrder) {
  zoetest::TempDir dir;
  const std::string wave = dir.File("out.wav"), conf = dir.File("alsoft.conf");
  FILE* f = fopen(conf.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fprintf(f, "[general]\ndrivers = wave\nfrequency = 22050\nchannels = mono\nsample-type = int16\n"
             "dither = false\n[wave]\nfile = %s\n", wave.c_str());
  fclose(f);
  zoeenc::SampleMovieSpec spec;
  spec.frames = 30;
  spec.sounds = {Sound(0)};
  Image image(zoeenc::MakeSampleMovie(spec));
  const std::vector<uint8_t> pcmBytes = TrackPcm(image, 0, spec.frames);
  ASSERT_FALSE(pcmBytes.empty());
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ZoeSetTimerSource(nullptr);
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    ALCdevice* device = alcOpenDevice(nullptr);
    ALCcontext* context = device ? alcCreateContext(device, nullptr) : nullptr;
    bool ready = context && alcMakeContextCurrent(context);
    EXPECT_TRUE(ready) << "no OpenAL wave device";
    if (ready && ZoetAudioStartup() == 1) {
      ZoetMovie* m = image.Open();
      EXPECT_NE(m, nullptr);
      if (m) {
        EXPECT_EQ(m->openTrackCount, 1);
        for (uint32_t k = 0; k < spec.frames; k++) {
          ZoetDoFrame(m);
          // Everything decoded is handed over before the next frame.
          EXPECT_TRUE(zoetest::WaitUntil([&] {
            ZoetService(m);
            return m->openTrackCount < 1 || m->tracks[0].waiting == 0;
          }));
          ZoetNextFrame(m);
        }
        const ALuint source = m->tracks[0].source;
        EXPECT_TRUE(zoetest::WaitUntil([&] {
          ALint state = 0;
          alGetSourcei(source, AL_SOURCE_STATE, &state);
          return state == AL_STOPPED;
        }));
        ZoetClose(m);
      }
    }
    alcMakeContextCurrent(nullptr);
    if (context) alcDestroyContext(context);
    if (device) alcCloseDevice(device);
    fflush(stdout);
    fflush(stderr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the child reported failures (above)";
  const std::vector<int16_t> heard = WaveSamples(wave);
  std::vector<int16_t> pcm(pcmBytes.size() / 2);
  memcpy(pcm.data(), pcmBytes.data(), pcm.size() * 2);
  // The device records silence until the source starts.
  size_t first = 0;
  while (first < heard.size() && heard[first] == 0) first++;
  size_t lead = 0;
  while (lead < pcm.size() && pcm[lead] == 0) lead++;
  ASSERT_GE(heard.size() - first, pcm.size() - lead) << "the whole sound was played";
  // On a loaded machine the stream may run dry for a moment; the device then
  // records silence until the next buffer arrives. Such gaps are skipped:
  // every sample must still come, in order, within 1 of the movie's.
  size_t j = first;
  for (size_t i = lead; i < pcm.size(); i++) {
    while (j < heard.size() && std::abs(heard[j] - pcm[i]) > 1 && heard[j] == 0) j++;
    ASSERT_LT(j, heard.size()) << "sample " << i << " never came";
    ASSERT_LE(std::abs(heard[j] - pcm[i]), 1) << "sample " << i;
    j++;
  }
}

}  // namespace
