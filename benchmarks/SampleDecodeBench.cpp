// Decoding sample data: 60 s of 44.1 kHz stereo Ogg Vorbis (encoded when the
// program starts) through the runtime's stream decode, and 60 s of 44.1 kHz
// stereo IMA4 ADPCM through the sample's block decoder. The real-time factor
// is audio seconds per CPU second; the baseline is copying the same amount
// of PCM.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDVorbis.h"
#include "NonTW/IAUDEng/tests/SampleTestSupport.h"

namespace {

const double kSeconds = 60.0;
const int kRate = 44100;

const std::vector<uint8_t>& TheOgg() {
  static const std::vector<uint8_t> ogg = iaudtest::EncodeVorbisTone(kSeconds, kRate, 2);
  return ogg;
}

const std::vector<uint8_t>& TheADPCM() {
  static const std::vector<uint8_t> adpcm = [] {
    size_t blocks = (size_t)(kSeconds * kRate / 65) + 1;
    std::vector<uint8_t> data(blocks * 72);
    uint32_t x = 12345;
    for (size_t b = 0; b < blocks; ++b) {
      uint8_t* p = &data[b * 72];
      for (int i = 8; i < 72; ++i) {
        x = x * 1664525u + 1013904223u;
        p[i] = (uint8_t)(x >> 24);
      }
      p[2] = p[6] = 20;  // step indexes
    }
    return data;
  }();
  return adpcm;
}

size_t PcmBytes() { return (size_t)(kSeconds * kRate) * 4; }

void BM_DecodeVorbis(benchmark::State& state) {
  InitVorbisFile();
  const std::vector<uint8_t>& ogg = TheOgg();
  std::vector<char> pcm(48000);
  for (auto _ : state) {
    iaudtest::VorbisMemory m{&ogg, 0};
    ov_callbacks cb = {iaudtest::VorbisMemoryRead, nullptr, nullptr, nullptr};
    OggVorbis_File vf;
    if (fn_ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) {
      state.SkipWithError("open");
      break;
    }
    while (CSample::DecodeOggVorbis(&vf, pcm.data(), (uint32_t)pcm.size()) != 0) benchmark::DoNotOptimize(pcm.data());
    fn_ov_clear(&vf);
  }
}
BENCHMARK(BM_DecodeVorbis)->Unit(benchmark::kMillisecond);

void BM_DecodeADPCM(benchmark::State& state) {
  const std::vector<uint8_t>& adpcm = TheADPCM();
  std::vector<int16_t> pcm(adpcm.size() / 72 * 130);
  for (auto _ : state) {
    uint32_t n = CSample::DecodeStereoIMA4ADPCM(adpcm.data(), (uint32_t)adpcm.size(), pcm.data(),
                                                (uint32_t)(pcm.size() * 2));
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DecodeADPCM)->Unit(benchmark::kMillisecond);

void BM_CopyPCM(benchmark::State& state) {
  std::vector<uint8_t> from(PcmBytes(), 1), to(PcmBytes());
  for (auto _ : state) {
    memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CopyPCM)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      seconds_[run.run_name.function_name] = run.cpu_accumulated_time / (double)run.iterations;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double CpuSeconds(const char* name) const {
    auto it = seconds_.find(name);
    return it == seconds_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double copy = reporter.CpuSeconds("BM_CopyPCM");
  for (const char* name : {"BM_DecodeVorbis", "BM_DecodeADPCM"}) {
    double seconds = reporter.CpuSeconds(name);
    if (seconds <= 0) continue;
    double factor = kSeconds / seconds;
    printf("%s: %.0f audio seconds per cpu second (target >= 50 %s), %.1f x the PCM copy\n", name, factor,
           factor >= 50 ? "met" : "MISSED", copy > 0 ? seconds / copy : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
