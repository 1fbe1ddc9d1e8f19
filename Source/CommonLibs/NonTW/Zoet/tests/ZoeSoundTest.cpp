// The movie sound output on OpenAL Soft's null device, and the installer of
// sound systems. OpenAL Soft reads its configuration once per process, so
// every scenario runs in a child process of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <AL/al.h>
#include <AL/alc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "ZoePlatform.h"
#include "ZoeSound.h"
#include "ZoeTestSupport.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define ZOE_SOUND_LEAK_CHECK 1
#endif

namespace {

// Runs body in a child with a current OpenAL context on the null device.
void WithOpenAL(const std::function<void()>& body) {
  zoetest::TempDir dir;
  std::string conf = dir.File("alsoft.conf");
  FILE* f = fopen(conf.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fprintf(f, "[general]\ndrivers = null\n");
  fclose(f);
  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    ALCdevice* device = alcOpenDevice(nullptr);
    ALCcontext* context = device ? alcCreateContext(device, nullptr) : nullptr;
    bool ready = context && alcMakeContextCurrent(context);
    EXPECT_TRUE(ready) << "no OpenAL context";
    if (ready) body();
    alcMakeContextCurrent(nullptr);
    if (context) alcDestroyContext(context);
    if (device) alcCloseDevice(device);
    fflush(stdout);
    fflush(stderr);
    int leaks = 0;
#ifdef ZOE_SOUND_LEAK_CHECK
    leaks = __lsan_do_recoverable_leak_check();
#endif
    _exit(::testing::Test::HasFailure() || leaks ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended abnormally";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child reported failures (above)";
}

ALint SourceInt(ALuint source, ALenum what) {
  ALint v = 0;
  alGetSourcei(source, what, &v);
  return v;
}

float Gain(ALuint source) {
  float g = -1;
  alGetSourcef(source, AL_GAIN, &g);
  return g;
}

// Locks, fills with a quiet ramp and submits `bytes`.
void Submit(TrackSound& s, uint32_t bytes) {
  void* at = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(s.lockBuffer(&s, &at, &size), 1);
  ASSERT_GE(size, bytes);
  for (uint32_t i = 0; i < bytes; i++) static_cast<uint8_t*>(at)[i] = (uint8_t)(i & 7);
  s.submitBuffer(&s, bytes);
}

int LiveBuffers() {
  int n = 0;
  for (ALuint name = 1; name < 64; name++) n += alIsBuffer(name) ? 1 : 0;
  return n;
}

TEST(ZoeOpenALOutput, FormatsAndRefusedLayouts) {
  WithOpenAL([] {
    struct Case {
      uint32_t bits, channels;
      int ok;
      ALenum format;
    } cases[] = {{8, 1, 1, AL_FORMAT_MONO8},    {8, 2, 1, AL_FORMAT_STEREO8}, {16, 1, 1, AL_FORMAT_MONO16},
                 {16, 2, 1, AL_FORMAT_STEREO16}, {24, 2, 0, 0},               {16, 6, 0, 0},
                 {16, 0, 0, 0}};
    for (const Case& c : cases) {
      TrackSound s;
      memset(&s, 0xAB, sizeof(s));
      ASSERT_EQ(ZoetOpenALOpener(&s, 44100, c.bits, c.channels, 0, nullptr), c.ok) << c.bits << "x" << c.channels;
      EXPECT_NE(s.canTakeData, nullptr);
      EXPECT_NE(s.setMixBinVolumes, nullptr);
      EXPECT_EQ(s.ringSize, 0u);
      if (!c.ok) {
        EXPECT_EQ(s.source, 0u);
        continue;
      }
      EXPECT_TRUE(alIsSource(s.source));
      EXPECT_EQ(s.format, c.format);
      EXPECT_EQ(s.rate, 44100u);
      EXPECT_FLOAT_EQ(Gain(s.source), 1.0f);
      s.close(&s);
    }
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
  });
}

TEST(ZoeOpenALOutput, VolumePauseAndSwitchingOff) {
  WithOpenAL([] {
    TrackSound s;
    ASSERT_EQ(ZoetOpenALOpener(&s, 22050, 16, 2, 0, nullptr), 1);
    const struct {
      int32_t volume;
      float gain;
    } volumes[] = {{0, 0.0f}, {16384, 0.5f}, {32768, 1.0f}};
    for (const auto& v : volumes) {
      s.setVolume(&s, v.volume);
      EXPECT_FLOAT_EQ(Gain(s.source), v.gain) << v.volume;
    }
    s.ringSize = 22050;  // half a second each
    Submit(s, 22048);
    EXPECT_EQ(SourceInt(s.source, AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_EQ(s.setPaused(&s, 1), 1);
    EXPECT_EQ(SourceInt(s.source, AL_SOURCE_STATE), AL_PAUSED);
    // Submitting while paused queues without restarting; the queue is bounded.
    uint32_t submitted = 1;
    while (s.canTakeData(&s) && submitted < 20) {
      Submit(s, 22048);
      submitted++;
      EXPECT_EQ(SourceInt(s.source, AL_SOURCE_STATE), AL_PAUSED);
    }
    EXPECT_EQ(submitted, (uint32_t)ZOET_OPENAL_MAX_WAITING);
    EXPECT_EQ(SourceInt(s.source, AL_BUFFERS_QUEUED), (ALint)ZOET_OPENAL_MAX_WAITING);
    EXPECT_EQ(s.setPaused(&s, 0), 1);
    EXPECT_EQ(SourceInt(s.source, AL_SOURCE_STATE), AL_PLAYING);

    // Switched off the source stops and its queue counts as played; switched
    // on again the next buffer starts it.
    EXPECT_EQ(s.setEnabled(&s, 0), 0);
    EXPECT_EQ(SourceInt(s.source, AL_SOURCE_STATE), AL_STOPPED);
    EXPECT_TRUE(s.canTakeData(&s));
    EXPECT_EQ(s.setEnabled(&s, 1), 1);
    Submit(s, 4096);
    EXPECT_EQ(SourceInt(s.source, AL_SOURCE_STATE), AL_PLAYING);
    EXPECT_LE(LiveBuffers(), (int)ZOET_OPENAL_MAX_WAITING + 1);  // played buffers are reused
    s.close(&s);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
  });
}

uint32_t g_blocks = 0;
void* CountingAlloc(uint32_t bytes) {
  ++g_blocks;
  return malloc(bytes);
}
void CountingFree(void* p) {
  --g_blocks;
  free(p);
}

TEST(ZoeOpenALOutput, CloseDeletesBuffersSourceAndStagingBuffer) {
  WithOpenAL([] {
    ZoeSetMemory(CountingAlloc, CountingFree);
    TrackSound s;
    ASSERT_EQ(ZoetOpenALOpener(&s, 11025, 8, 1, 0, nullptr), 1);
    s.ringSize = 1000;
    ASSERT_EQ(s.setPaused(&s, 1), 1);  // not yet playing: nothing to pause
    Submit(s, 1000);
    s.setPaused(&s, 1);
    Submit(s, 500);
    s.ringSize = 3000;  // a new ring size replaces the staging buffer
    Submit(s, 3000);
    EXPECT_EQ(s.stagingSize, 3000u);
    EXPECT_EQ(g_blocks, 1u);
    EXPECT_EQ(LiveBuffers(), 3);
    ALuint source = s.source;
    s.close(&s);
    EXPECT_FALSE(alIsSource(source));
    EXPECT_EQ(LiveBuffers(), 0);
    EXPECT_EQ(g_blocks, 0u);
    EXPECT_EQ(s.staging, nullptr);
    ZoeSetMemory(nullptr, nullptr);

    // A source that never played.
    ASSERT_EQ(ZoetOpenALOpener(&s, 11025, 16, 1, 0, nullptr), 1);
    s.close(&s);
    EXPECT_EQ(alGetError(), AL_NO_ERROR);
  });
}

int g_fakeOpened = 0;
int FakeOpener(TrackSound* s, uint32_t, uint32_t, uint32_t, uint32_t, void*) {
  memset(s, 0, sizeof(*s));
  ++g_fakeOpened;
  return 1;
}
SoundOutputOpener FakeStartup(uintptr_t) { return FakeOpener; }
SoundOutputOpener NullStartup(uintptr_t) { return nullptr; }

TEST(ZoeSoundSystem, AnotherSystemIsRefusedOnceATrackOpened) {
  // In a child: the installed system and the count of opened tracks are
  // process-wide and never go back.
  WithOpenAL([] {
    TrackSound s;
    EXPECT_EQ(ZoetSetSoundSystem(nullptr, 0), 0);
    EXPECT_EQ(ZoetSetSoundSystem(NullStartup, 0), 0);  // nothing installed yet
    EXPECT_EQ(ZoetOpenSoundOutput(&s, 22050, 16, 1, 0, nullptr), 0);
    EXPECT_EQ(ZoetSetSoundSystem(FakeStartup, 0), 1);
    EXPECT_EQ(ZoetAudioStartup(), 1);  // no track opened yet: replaced
    ASSERT_EQ(ZoetOpenSoundOutput(&s, 22050, 16, 1, 0, nullptr), 1);
    EXPECT_EQ(s.format, AL_FORMAT_MONO16);
    s.close(&s);

    EXPECT_EQ(ZoetSetSoundSystem(FakeStartup, 0), 0);
    EXPECT_EQ(ZoetAudioStartup(), 1);
    ASSERT_EQ(ZoetOpenSoundOutput(&s, 22050, 8, 2, 0, nullptr), 1);
    EXPECT_EQ(s.format, AL_FORMAT_STEREO8);
    s.close(&s);
    EXPECT_EQ(g_fakeOpened, 0);
    EXPECT_EQ(ZoetOpenSoundOutput(&s, 22050, 24, 2, 0, nullptr), 0);  // refused layouts are not counted
  });
}

}  // namespace
