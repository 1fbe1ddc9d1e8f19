#include "AudioTestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#define AUDIODRV_TEST_LEAK_CHECK 1
#endif

namespace AudioDrvTest {

void RunWithOpenAL(const char* pszDriver, const std::string& extraGeneral,
                   const std::function<void(const SRun&)>& body) {
  char dir[] = "/tmp/quillomar-audiodrv-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  SRun run;
  run.dir = dir;
  run.wave = run.dir + "/out.wav";
  std::string conf = run.dir + "/alsoft.conf";
  FILE* f = fopen(conf.c_str(), "w");
  ASSERT_NE(nullptr, f);
  fprintf(f,
          "[general]\ndrivers = %s\nchannels = stereo\nsample-type = int16\nfrequency = 48000\nhrtf = false\n"
          "stereo-encoding = panpot\n%s\n[wave]\nfile = %s\n",
          pszDriver, extraGeneral.c_str(), run.wave.c_str());
  fclose(f);

  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    body(run);
    fflush(stdout);
    fflush(stderr);
    int iLeaks = 0;
#ifdef AUDIODRV_TEST_LEAK_CHECK
    // The child ends with _exit, which skips the usual leak check.
    iLeaks = __lsan_do_recoverable_leak_check();
#endif
    _exit(::testing::Test::HasFailure() || iLeaks ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended abnormally";
  if (WIFEXITED(status)) {
    EXPECT_EQ(0, WEXITSTATUS(status)) << "the child reported failures (above)";
  }
  std::string rm = "rm -rf '" + run.dir + "'";
  EXPECT_EQ(0, system(rm.c_str()));
}

static uint32_t WaveU32(const unsigned char* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
static uint16_t WaveU16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool ReadWave(const std::string& path, SWave* pWave) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  std::vector<unsigned char> bytes;
  unsigned char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  fclose(f);
  if (bytes.size() < 12 || memcmp(bytes.data(), "RIFF", 4) != 0 || memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return false;
  size_t pos = 12;
  int bits = 0;
  bool bData = false;
  while (pos + 8 <= bytes.size()) {
    const unsigned char* p = bytes.data() + pos;
    uint32_t size = WaveU32(p + 4);
    if (memcmp(p, "fmt ", 4) == 0 && pos + 8 + 16 <= bytes.size()) {
      pWave->channels = WaveU16(p + 10);
      pWave->rate = static_cast<int>(WaveU32(p + 12));
      bits = WaveU16(p + 22);
    } else if (memcmp(p, "data", 4) == 0) {
      size_t avail = bytes.size() - pos - 8;
      if (size > avail) size = static_cast<uint32_t>(avail);
      if (bits != 16) return false;
      pWave->samples.resize(size / 2);
      for (size_t i = 0; i < pWave->samples.size(); ++i)
        pWave->samples[i] = static_cast<short>(WaveU16(p + 8 + 2 * i));
      bData = true;
      break;
    }
    pos += 8 + size + (size & 1);
  }
  return bData && pWave->channels > 0;
}

std::vector<short> MakeTone(double frequency, double amplitude, double seconds, int rate, double phaseStart) {
  size_t count = static_cast<size_t>(seconds * rate);
  std::vector<short> tone(count);
  for (size_t i = 0; i < count; ++i)
    tone[i] = static_cast<short>(lround(amplitude * 32767.0 * sin(phaseStart + 2.0 * M_PI * frequency * i / rate)));
  return tone;
}

double ChannelRMS(const SWave& wave, int channel, size_t first, size_t count) {
  if (count == 0 || first + count > wave.Frames()) return 0.0;
  double sum = 0.0;
  for (size_t i = first; i < first + count; ++i) sum += double(wave.At(i, channel)) * wave.At(i, channel);
  return sqrt(sum / count);
}

double ComponentAmplitude(const SWave& wave, double frequency, size_t first, size_t count) {
  if (count == 0 || first + count > wave.Frames()) return 0.0;
  double re = 0.0, im = 0.0;
  for (size_t i = first; i < first + count; ++i) {
    double v = 0.0;
    for (int c = 0; c < wave.channels; ++c) v += wave.At(i, c);
    double a = 2.0 * M_PI * frequency * i / wave.rate;
    re += v * cos(a);
    im += v * sin(a);
  }
  return 2.0 * sqrt(re * re + im * im) / count;
}

std::vector<SBurst> FindBursts(const SWave& wave, double threshold) {
  std::vector<SBurst> bursts;
  size_t window = static_cast<size_t>(wave.rate / 100);
  bool inBurst = false;
  for (size_t w = 0; w + window <= wave.Frames(); w += window) {
    double level = 0.0;
    for (int c = 0; c < wave.channels; ++c) level = std::max(level, ChannelRMS(wave, c, w, window));
    bool loud = level > threshold;
    if (loud && !inBurst) bursts.push_back(SBurst{w, 0});
    if (loud) bursts.back().count = w + window - bursts.back().first;
    inBurst = loud;
  }
  return bursts;
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace AudioDrvTest

#ifdef AUDIODRV_TEST_LEAK_CHECK
#undef AUDIODRV_TEST_LEAK_CHECK
#endif
