// Decoding sample data: 60 s of 44.1 kHz stereo Ogg Vorbis (encoded when the
// program starts) through the runtime's stream decode, and 60 s of 44.1 kHz
// stereo IMA4 ADPCM through the sample's block decoder. The real-time factor
// is audio seconds per CPU second; the baseline is copying the same amount
// of PCM.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchRatios.h"
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

const std::vector<benchratios::Ratio> kRatios = {
    {"Vorbis decode / PCM copy", "BM_DecodeVorbis", "BM_CopyPCM"},
    {"ADPCM decode / PCM copy", "BM_DecodeADPCM", "BM_CopyPCM"},
};

}  // namespace

int main(int argc, char** argv) {
  benchratios::TimesReporter reporter;
  const int rc = benchratios::RunAndPrintRatios(argc, argv, kRatios, &reporter);
  if (rc != 0) return rc;
  for (const char* name : {"BM_DecodeVorbis", "BM_DecodeADPCM"}) {
    double seconds = reporter.CpuSeconds(name);
    if (seconds <= 0) continue;
    double factor = kSeconds / seconds;
    printf("%s: %.0f audio seconds per cpu second (target >= 50 %s)\n", name, factor, factor >= 50 ? "met" : "MISSED");
  }
  return 0;
}
