// Converting a 640 x 480 movie frame into 32-bit pixels (the game's movie
// texture format) against a plain table lookup over the same frame, printed
// as a ratio at the end of one run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "BenchRatios.h"
#include "NonTW/Zoet/ZoeBlit.h"
#include "NonTW/Zoet/ZoePlatform.h"

namespace {

const uint32_t kWidth = 640, kHeight = 480;

struct BenchFrame {
  std::vector<uint8_t> y, cr, cb;
  std::vector<uint32_t> dest;
  FramePlaneSet planes{};
  BenchFrame() : y(kWidth * kHeight), cr(kWidth * kHeight / 4), cb(kWidth * kHeight / 4), dest(kWidth * kHeight) {
    uint32_t s = 1;
    for (uint8_t& b : y) b = static_cast<uint8_t>((s = s * 1103515245u + 12345u) >> 16);
    for (uint8_t& b : cr) b = static_cast<uint8_t>((s = s * 1103515245u + 12345u) >> 16);
    for (uint8_t& b : cb) b = static_cast<uint8_t>((s = s * 1103515245u + 12345u) >> 16);
    planes.Y = {0, y.data(), kWidth};
    planes.cR = {0, cr.data(), kWidth / 2};
    planes.cB = {0, cb.data(), kWidth / 2};
  }
};

// The converter the game uses where the processor has MMX (lane family).
void BM_ConvertFrameFormat3(benchmark::State& state) {
  BenchFrame f;
  CPU_check(0, 0);
  CPU_check(1, 0);
  for (auto _ : state) {
    YUV_init(0x80000003u, 0);
    YUV_blit(f.dest.data(), 0, 0, kWidth * 4, kHeight, &f.planes, 0, 0, kWidth, kHeight, 0x80000003u);
    benchmark::DoNotOptimize(f.dest.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ConvertFrameFormat3);

// Baseline: every destination pixel the 32-bit entry of a 256-entry table
// indexed by its luma byte.
void BM_LumaTableLookup(benchmark::State& state) {
  BenchFrame f;
  uint32_t table[256];
  for (uint32_t i = 0; i < 256; i++) table[i] = i * 0x010101u;
  for (auto _ : state) {
    for (uint32_t r = 0; r < kHeight; r++) {
      const uint8_t* src = &f.y[r * kWidth];
      uint32_t* out = &f.dest[r * kWidth];
      for (uint32_t x = 0; x < kWidth; x++) out[x] = table[src[x]];
    }
    benchmark::DoNotOptimize(f.dest.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_LumaTableLookup);

const std::vector<benchratios::Ratio> kRatios = {
    {"YUV_blit format 3 vs luma table lookup (target <= 2)", "BM_ConvertFrameFormat3", "BM_LumaTableLookup"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
