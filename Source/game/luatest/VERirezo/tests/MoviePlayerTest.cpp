// The full-screen movie player on the test display: names, the picture left
// on screen, the subtitle callback, the timers, failed opens, and (in a
// output that records its calls) the sound track chosen by language, its
// volume and the sound manager's service.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Game/ScreenOverlays.h"
#include "NonTW/Zoet/ZoeSound.h"
#include "SpriteTestSupport.h"
#include "TWSound/SoundManager.h"
#include "ZoeSampleMovie.h"

namespace {

// The sound manager's service steps.
class RecordingSoundManager : public ESoundManager {
public:
  void FreeSoundSource(uint32_t, EEntity*) override {}
  bool ProcessSoundSource(uint32_t, const EVec3&) override { return true; }
  void SetSoundSourceSleeping(EEntity*, bool) override {}
  void DoWork(float fSeconds) override { m_aSteps.push_back(fSeconds); }
  std::vector<float> m_aSteps;
};

class MoviePlayer : public spritetest::SpriteFixture {
protected:
  void SetUp() override {
    SpriteFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    m_pApp->m_pSayLineDisplayManager = new ESayLineDisplayManager();
    m_pApp->m_pSoundManager = &m_Sound;
    m_pApp->m_pRenderer = m_pRenderer;
  }
  void TearDown() override {
    if (m_pApp) {
      delete m_pApp->m_pSayLineDisplayManager;
      m_pApp->m_pSayLineDisplayManager = nullptr;
      m_pApp->m_pSoundManager = nullptr;
      m_pApp->m_pRenderer = nullptr;
    }
    SpriteFixture::TearDown();
  }

  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen((m_Dir + "/" + name).c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }

  // RGB of the last drawn picture at window (x, y) from the top (Mesa's
  // swap leaves it in the back buffer, where it can be read).
  uint32_t ShownPixel(int x, int y) {
    auto readPixels = reinterpret_cast<void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*)>(
        SDL_GL_GetProcAddress("glReadPixels"));
    unsigned char p[4];
    readPixels(x, 479 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
  }

  static zoeenc::SampleMovieSpec Solid(uint32_t frames) {
    zoeenc::SampleMovieSpec spec;
    spec.width = 64;
    spec.height = 48;
    spec.frames = frames;
    spec.solid = true;
    spec.y = 81;
    spec.u = 90;
    spec.v = 240;
    return spec;
  }

  RecordingSoundManager m_Sound;
};

bool SkipAtOnce() { return true; }

TEST_F(MoviePlayer, NamesGetTheMovieExtensionAndMissingOnesAreReported) {
  Write("intro.zoe", zoeenc::MakeSampleMovie(Solid(1)));
  Write("ab.c.zoe", zoeenc::MakeSampleMovie(Solid(1)));
  Write("x.y.zoe", zoeenc::MakeSampleMovie(Solid(1)));
  struct Case {
    const char* name;
    bool plays;
  } cases[] = {{"intro", true}, {"intro.zoe", true}, {"intro.xyz", true}, {"ab.c", true},
               {"x.y", true},   {"ab", false},       {"intro.zo", false}, {"nothing.zoe", false}};
  for (const Case& c : cases) {
    gfxtest::Traces().clear();
    m_pApp->m_bSkipSwap = false;
    EXPECT_EQ(c.plays, m_pApp->PlayVideo(c.name, nullptr, false, 1.0f, 0, false)) << c.name;
    EXPECT_EQ(c.plays, m_pApp->m_bSkipSwap) << c.name;
    EXPECT_EQ(c.plays ? 0 : 1,
              gfxtest::CountTraces(std::string("File not found in PlayVideo: ") + c.name))
        << gfxtest::AllTraces();
  }
  // The switch for pack-file runs keeps movies off.
  m_pApp->m_DebugHooks.MakingPackfiles = true;
  EXPECT_FALSE(m_pApp->PlayVideo("intro", nullptr, false, 1.0f, 0, false));
  m_pApp->m_DebugHooks.MakingPackfiles = false;
}

TEST_F(MoviePlayer, TheLastFrameStaysOnScreenAndTheNextFrameSkipsItsSwap) {
  Write("solid.zoe", zoeenc::MakeSampleMovie(Solid(1)));
  m_pApp->m_bSkipSwap = false;
  ASSERT_TRUE(m_pApp->PlayVideo("solid", nullptr, false, 1.0f, 0, false));
  for (int y : {0, 240, 479})
    for (int x : {0, 320, 639}) EXPECT_EQ(0xFF0100u, ShownPixel(x, y)) << x << "," << y;
  EXPECT_TRUE(m_pApp->m_bSkipSwap);
  EXPECT_EQ(nullptr, m_pApp->m_pfnVideoCallback);
}

TEST_F(MoviePlayer, SubtitlesFollowTheFramesOfMoviesOpenedByName) {
  zoeenc::SampleMovieSpec spec = Solid(5);
  const std::vector<uint8_t> bytes = zoeenc::MakeSampleMovie(spec);
  Write("talk.zoe", bytes);
  ESayLineDisplayManager* say = m_pApp->m_pSayLineDisplayManager;
  const float period = 1.0f / 30.0f * 1000.0f;
  struct Case {
    bool subtitles, fromMemory;
    float movieTime;
  } cases[] = {{true, false, 5 * period}, {false, false, 0.0f}, {true, true, 0.0f}};
  for (const Case& c : cases) {
    m_pApp->m_DebugHooks.Subtitles = c.subtitles;
    say->m_fMovieTimeMS = 0.0f;
    say->m_aPrerenderTimings.AddData(EPrerenderSaylineTiming());  // a line far ahead
    say->m_aPrerenderTimings[0].m_fStartMS = 1e9f;
    std::vector<uint32_t> image((bytes.size() + 3) / 4);
    memcpy(image.data(), bytes.data(), bytes.size());
    if (c.fromMemory)
      EXPECT_TRUE(m_pApp->PlayVideoFromMemory(image.data(), nullptr, false, 1.0f, 0, false));
    else
      EXPECT_TRUE(m_pApp->PlayVideo("talk", nullptr, false, 1.0f, 0, false));
    EXPECT_FLOAT_EQ(c.movieTime, say->m_fMovieTimeMS) << c.subtitles << c.fromMemory;
    if (c.movieTime > 0) {
      EXPECT_NEAR(period, say->m_fPrerenderFrameMS, 1e-3f) << "each call gets one frame's time";
      EXPECT_EQ(0, say->m_aPrerenderTimings.Num()) << "the timings are emptied";
      EXPECT_FALSE(say->m_bPrerenderMode);
    }
    EXPECT_EQ(nullptr, m_pApp->m_pfnVideoCallback);
    say->m_aPrerenderTimings.Empty();
  }
  m_pApp->m_DebugHooks.Subtitles = false;
}

TEST_F(MoviePlayer, TimersAfterAMovie) {
  Write("three.zoe", zoeenc::MakeSampleMovie(Solid(3)));
  const float period = 1.0f / 30.0f * 1000.0f;
  m_pApp->m_fDemoTimeout = 60000.0f;
  struct Case {
    bool oxm, skip;
    float idle, demo;  // demo timer afterwards, from 500
  } cases[] = {{false, false, 3 * period + 100000.0f, 500.0f},
               {false, true, period + 100000.0f, 500.0f},
               {true, false, 3 * period + 20000.0f, 500.0f + 3 * period},
               {true, true, period + 20000.0f, 60000.0f + period}};
  for (const Case& c : cases) {
    m_pApp->m_Prefs.m_bOxmBuild = c.oxm;
    m_pApp->m_fDemoTimer = 500.0f;
    m_pApp->m_fMenuIdleTime = 0.0f;
    EXPECT_TRUE(m_pApp->PlayVideo("three", c.skip ? &SkipAtOnce : nullptr, false, 1.0f, 0, false));
    EXPECT_FLOAT_EQ(c.idle, m_pApp->m_fMenuIdleTime) << c.oxm << c.skip;
    EXPECT_FLOAT_EQ(c.demo, m_pApp->m_fDemoTimer) << c.oxm << c.skip;
  }
  m_pApp->m_Prefs.m_bOxmBuild = false;
}

TEST_F(MoviePlayer, AMovieThatCannotBeOpenedReportsTheLibrarysTextAndCleansUp) {
  std::vector<uint8_t> bytes = zoeenc::MakeSampleMovie(Solid(2));
  bytes[0] = 'Q';
  Write("broken.zoe", bytes);
  m_pApp->m_DebugHooks.Subtitles = true;
  m_pApp->m_bSkipSwap = false;
  m_pApp->m_fMenuIdleTime = 0.0f;
  const EVec3 gamma = m_pRenderer->GetGammaCorrection();
  EXPECT_FALSE(m_pApp->PlayVideo("broken", nullptr, false, 1.0f, 0, true));
  EXPECT_EQ(1, gfxtest::CountTraces("Not a Zoet file.")) << gfxtest::AllTraces();
  EXPECT_TRUE(m_pApp->m_bSkipSwap);
  EXPECT_EQ(nullptr, m_pApp->m_pfnVideoCallback);
  EXPECT_FLOAT_EQ(100000.0f, m_pApp->m_fMenuIdleTime);
  EXPECT_TRUE(m_Sound.m_aSteps.empty());
  EXPECT_EQ(gamma.x, m_pRenderer->GetGammaCorrection().x);
  m_pApp->m_DebugHooks.Subtitles = false;
}

TEST_F(MoviePlayer, TheSoundManagerIsServicedWithTheLastFrameStep) {
  Write("four.zoe", zoeenc::MakeSampleMovie(Solid(4)));
  ASSERT_TRUE(m_pApp->PlayVideo("four", nullptr, false, 1.0f, 0, true));
  const float step = 0.001f * (1.0f / 30.0f * 1000.0f);
  ASSERT_EQ(4u, m_Sound.m_aSteps.size());
  EXPECT_FLOAT_EQ(0.0f, m_Sound.m_aSteps[0]);
  for (size_t i = 1; i < 4; i++) EXPECT_NEAR(step, m_Sound.m_aSteps[i], 1e-6f) << i;
  m_Sound.m_aSteps.clear();
  ASSERT_TRUE(m_pApp->PlayVideo("four", nullptr, false, 1.0f, 0, false));
  EXPECT_TRUE(m_Sound.m_aSteps.empty());
}

// ---- Sound tracks. The installed sound system is process-wide and stays
// installed; its opener refuses every track (as with none installed) unless
// a test records.

bool g_recording = false;
std::vector<uint32_t> g_openedRates;
std::vector<int32_t> g_volumes;
int RecCanTake(TrackSound*) { return 1; }
uint8_t g_sink[1 << 16];
int RecLock(TrackSound*, void** at, uint32_t* size) {
  *at = g_sink;
  *size = sizeof(g_sink);
  return 1;
}
void RecSubmit(TrackSound*, uint32_t) {}
void RecVolume(TrackSound*, int32_t v) { g_volumes.push_back(v); }
int RecOpener(TrackSound* s, uint32_t rate, uint32_t, uint32_t, uint32_t, void*) {
  if (!g_recording) return 0;
  memset(s, 0, sizeof(*s));
  s->canTakeData = RecCanTake;
  s->lockBuffer = RecLock;
  s->submitBuffer = RecSubmit;
  s->setVolume = RecVolume;
  s->noBackground = 1;
  g_openedRates.push_back(rate);
  return 1;
}
SoundOutputOpener RecStartup(uintptr_t) { return RecOpener; }

TEST_F(MoviePlayer, TheTrackFollowsTheLanguageAndTheVolumeReachesTheOutput) {
  // Tracks told apart by their rates.
  auto movie = [](std::vector<int32_t> ids) {
    zoeenc::SampleMovieSpec spec = Solid(2);
    for (int32_t id : ids) {
      zoeenc::SampleSound s;
      s.id = id;
      s.rate = 8000 + 1000 * (uint32_t)id;
      spec.sounds.push_back(s);
    }
    return zoeenc::MakeSampleMovie(spec);
  };
  Write("two.zoe", movie({0, 2}));
  Write("one.zoe", movie({0, 1}));
  ASSERT_EQ(1, ZoetSetSoundSystem(RecStartup, 0));
  g_recording = true;
  {
    struct Case {
      EGameLanguage language;
      const char* movie;
      std::vector<uint32_t> opened;
    } cases[] = {{kLANGUAGE_German, "two", {10000}},
                 {kLANGUAGE_German, "one", {8000}},  // reopened with id 0
                 {kLANGUAGE_French, "one", {9000}},
                 {kLANGUAGE_English, "two", {8000}}};
    for (const Case& c : cases) {
      m_pApp->SetLanguage(c.language);
      g_openedRates.clear();
      g_volumes.clear();
      m_pApp->m_iVideoVolume = 65535;
      EXPECT_TRUE(m_pApp->PlayVideo(c.movie, nullptr, false, 1.0f, 0, false));
      EXPECT_EQ(c.opened, g_openedRates) << c.movie << " " << c.language;
      EXPECT_EQ(std::vector<int32_t>{65535}, g_volumes);
    }
    g_volumes.clear();
    m_pApp->m_iVideoVolume = 32768;
    EXPECT_TRUE(m_pApp->PlayVideo("two", nullptr, false, 0.3f, 0, false));
    EXPECT_EQ(std::vector<int32_t>{(int32_t)(32768.0f * 0.3f)}, g_volumes);
  }
  g_recording = false;
  m_pApp->SetLanguage(kLANGUAGE_English);
}

}  // namespace
