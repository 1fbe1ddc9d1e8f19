// Shared helpers of the driver tests: each scenario runs in a child process
// of its own, because OpenAL Soft reads its configuration file once per
// process; the child writes its own ALSOFT_CONF and, for the wave driver,
// its own output file.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace AudioDrvTest {

struct SRun {
  std::string dir;   // private temporary folder of this run
  std::string wave;  // the wave driver's output file in it
};

// Runs body in a child process under a configuration with the given
// driver ("wave" or "null") and extra [general] lines. Failures inside the
// child fail the calling test.
void RunWithOpenAL(const char* pszDriver, const std::string& extraGeneral,
                   const std::function<void(const SRun&)>& body);

struct SWave {
  int channels = 0;
  int rate = 0;
  std::vector<short> samples;  // interleaved
  size_t Frames() const { return channels ? samples.size() / channels : 0; }
  short At(size_t frame, int channel) const { return samples[frame * channels + channel]; }
};
bool ReadWave(const std::string& path, SWave* pWave);

// A mono 16-bit tone of the given frequency, amplitude (0..1) and length.
std::vector<short> MakeTone(double frequency, double amplitude, double seconds, int rate = 48000,
                            double phaseStart = 0.0);
// Root mean square of one channel over [first, first + count) frames.
double ChannelRMS(const SWave& wave, int channel, size_t first, size_t count);
// Amplitude of a frequency component over a window (both channels summed).
double ComponentAmplitude(const SWave& wave, double frequency, size_t first, size_t count);

struct SBurst {
  size_t first;
  size_t count;
};
// Stretches of sound separated by silence (10 ms windows above a threshold).
std::vector<SBurst> FindBursts(const SWave& wave, double threshold = 200.0);

// Polls a condition until it holds or the deadline passes.
bool WaitFor(const std::function<bool()>& condition, double seconds = 10.0);

}  // namespace AudioDrvTest
