// Decoding the picture of movie frames: 60 frames of a 640 x 480 colour film
// at 30 frames per second, made by the movie encoder (a key frame every 30,
// most blocks DCT-coded, every frame changing), decoded on one core. The
// real-time factor is frames decoded per second over the film's 30; the
// baseline is copying the same frames' planes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchRatios.h"
#include "NonTW/Zoet/ZoeDecode.h"
#include "ZoeEncode.h"

namespace {

const uint32_t kWidth = 640, kHeight = 480, kFrames = 60;
const double kFps = 30.0;

struct Film {
  std::vector<std::vector<uint32_t>> frames;  // video data, word-aligned
  std::vector<uint32_t> bytes;
  uint32_t blocks[10] = {};
  Film() {
    zoeenc::FrameEncoder enc(kWidth, kHeight);
    std::vector<uint8_t> y(enc.lumaWidth * enc.lumaHeight), cr(enc.chromaWidth * enc.chromaHeight),
        cb(cr.size());
    for (uint32_t t = 0; t < kFrames; t++) {
      // drifting waves: smooth detail everywhere, moving a little every frame
      for (uint32_t j = 0; j < enc.lumaHeight; j++)
        for (uint32_t i = 0; i < enc.lumaWidth; i++) {
          double v = 128 + 50 * std::sin((i + 2.0 * t) * 0.05) * std::cos((j + 1.0 * t) * 0.043) +
                     20 * std::sin((i * 0.7 + j * 0.3) * 0.11 + t * 0.2);
          y[j * enc.lumaWidth + i] = (uint8_t)v;
        }
      for (uint32_t j = 0; j < enc.chromaHeight; j++)
        for (uint32_t i = 0; i < enc.chromaWidth; i++) {
          cr[j * enc.chromaWidth + i] = (uint8_t)(128 + 30 * std::sin((i + t) * 0.07));
          cb[j * enc.chromaWidth + i] = (uint8_t)(128 + 30 * std::cos((j + t) * 0.06));
        }
      zoeenc::EncodeOptions o;
      o.keyFrame = t % 30 == 0;
      o.lossless = false;
      o.preferDct = true;
      o.quant = 2;
      o.search = 2;
      zoeenc::EncodeStats stats;
      std::vector<uint8_t> data = enc.Encode(y.data(), cr.data(), cb.data(), nullptr, o, &stats);
      for (int k = 0; k < 10; k++) blocks[k] += stats.blocks[k];
      std::vector<uint32_t> words((data.size() + 3) / 4);
      memcpy(words.data(), data.data(), data.size());
      frames.push_back(words);
      bytes.push_back((uint32_t)data.size());
    }
  }
};

const Film& TheFilm() {
  static const Film film;
  return film;
}

struct Player {
  FrameBufferSet fbs{};
  std::vector<uint8_t> planes[2][3];
  std::vector<uint8_t> bundles[9];
  uint8_t* bundlePtrs[9];
  std::vector<uint8_t> map;
  uint32_t mapPitch;
  Player() {
    fbs.totalFrames = 2;
    fbs.lumaWidth = kWidth;
    fbs.lumaHeight = kHeight;
    fbs.chromaWidth = kWidth / 2;
    fbs.chromaHeight = kHeight / 2;
    for (int s = 0; s < 2; s++) {
      PlaneBuffer* p[3] = {&fbs.frames[s].Y, &fbs.frames[s].cR, &fbs.frames[s].cB};
      for (int k = 0; k < 3; k++) {
        uint32_t w = k ? kWidth / 2 : kWidth, h = k ? kHeight / 2 : kHeight;
        planes[s][k].assign((size_t)w * h, 0);
        p[k]->buffer = planes[s][k].data();
        p[k]->pitch = w;
      }
    }
    uint32_t sizes[9];
    ExpandBundleSizes(sizes, kWidth);
    for (int i = 0; i < 9; i++) {
      bundles[i].assign(sizes[i], 0);
      bundlePtrs[i] = bundles[i].data();
    }
    mapPitch = kWidth / 16;
    map.assign((size_t)mapPitch * (kHeight / 16), 0);
  }
};

void BM_DecodeFilm(benchmark::State& state) {
  const Film& film = TheFilm();
  Player player;
  for (auto _ : state) {
    for (uint32_t f = 0; f < kFrames; f++) {
      memset(player.map.data(), 0, player.map.size());
      uint32_t skips = ExpandZoet(&player.fbs, player.map.data(), player.mapPitch, film.frames[f].data(),
                                  film.bytes[f], f % 30 == 0, player.bundlePtrs, 0, 0);
      benchmark::DoNotOptimize(skips);
    }
  }
  state.counters["realtime"] =
      benchmark::Counter((double)kFrames / kFps * (double)state.iterations(), benchmark::Counter::kIsRate);
  uint32_t total = 0;
  for (uint32_t b : film.blocks) total += b;
  state.counters["dct_share"] = (double)(film.blocks[IntraBlock] + film.blocks[InterBlock]) / total;
}
BENCHMARK(BM_DecodeFilm)->Unit(benchmark::kMillisecond);

// Baseline: copying the planes of the same 60 frames.
void BM_CopyFilm(benchmark::State& state) {
  Player player;
  for (auto _ : state) {
    for (uint32_t f = 0; f < kFrames; f++) {
      for (int k = 0; k < 3; k++)
        memcpy(player.planes[f & 1][k].data(), player.planes[(f & 1) ^ 1][k].data(), player.planes[0][k].size());
      benchmark::ClobberMemory();
    }
  }
}
BENCHMARK(BM_CopyFilm)->Unit(benchmark::kMillisecond);

const std::vector<benchratios::Ratio> kRatios = {
    {"decode vs plane copy", "BM_DecodeFilm", "BM_CopyFilm"},
};

}  // namespace

int main(int argc, char** argv) {
  benchratios::TimesReporter reporter;
  const int rc = benchratios::RunAndPrintRatios(argc, argv, kRatios, &reporter);
  if (rc != 0) return rc;
  double seconds = reporter.CpuSeconds("BM_DecodeFilm");
  if (seconds > 0) {
    double factor = (kFrames / seconds) / kFps;
    printf("real-time factor (frames per cpu second / %.0f): %.1f, target >= 20 %s\n", kFps, factor,
           factor >= 20 ? "met" : "MISSED");
  }
  const Film& film = TheFilm();
  uint32_t total = 0;
  for (uint32_t b : film.blocks) total += b;
  printf("DCT-coded blocks: %.0f%%\n", 100.0 * (film.blocks[IntraBlock] + film.blocks[InterBlock]) / total);
  return 0;
}
