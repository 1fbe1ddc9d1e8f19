// Yes/no reachability on a 1,000-polygon playground against a breadth-first
// search over the neighbour links for the same 1,000 random polygon pairs.
// The playground is a band of triangles 20 wide; its tables come from the
// navigation-mesh writer. After the runs the ratio is printed.
#include <benchmark/benchmark.h>

#include <random>
#include <utility>
#include <vector>

#include "BenchRatios.h"
#include "NavMeshWriter.h"
#include "TWUtil/EStream.h"
#include "VERirezo/NavMesh.h"

namespace {

const int kNavBenchPolys = 1000;
const int kNavBenchWidth = 20;  // squares across; two triangles each

// Square (r, c) holds triangles 2(r*W+c) (lower) and 2(r*W+c)+1 (upper).
NavPlaygroundDesc NavBenchBand() {
  NavPlaygroundDesc pg;
  pg.polys.resize(kNavBenchPolys);
  const int rows = kNavBenchPolys / (2 * kNavBenchWidth);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < kNavBenchWidth; ++c) {
      const int lo = 2 * (r * kNavBenchWidth + c), hi = lo + 1;
      NavPolyDesc& a = pg.polys[lo];
      NavPolyDesc& b = pg.polys[hi];
      a.collisionPoly = lo;
      b.collisionPoly = hi;
      a.neighbour[0] = hi;                                          // the diagonal
      a.neighbour[1] = r > 0 ? hi - 2 * kNavBenchWidth : -1;        // below
      a.neighbour[2] = c > 0 ? lo - 1 : -1;                         // left
      b.neighbour[0] = lo;
      b.neighbour[1] = r + 1 < rows ? lo + 2 * kNavBenchWidth : -1;  // above
      b.neighbour[2] = c + 1 < kNavBenchWidth ? hi + 1 : -1;         // right
    }
  return pg;
}

struct NavBenchWorld {
  NavPlaygroundDesc desc = NavBenchBand();
  ENavMesh nav;
  std::vector<std::pair<int, int>> pairs;
  NavBenchWorld() {
    std::vector<uint8_t> bytes;
    WriteNavMesh({desc}, 315, bytes);
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    nav.Read(reader, 315, 1);
    std::mt19937 rng(41);
    std::uniform_int_distribution<int> pick(0, kNavBenchPolys - 1);
    for (int i = 0; i < 1000; ++i) pairs.emplace_back(pick(rng), pick(rng));
  }
};

NavBenchWorld& NavWorld() {
  static NavBenchWorld world;
  return world;
}

void BM_NavReachable(benchmark::State& state) {
  NavBenchWorld& w = NavWorld();
  for (auto _ : state) {
    int yes = 0;
    for (const auto& p : w.pairs)
      yes += w.nav.IsReachable(0, p.first, 0, p.second, 20.0f, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0);
    benchmark::DoNotOptimize(yes);
  }
}

void BM_NavBreadthFirst(benchmark::State& state) {
  NavBenchWorld& w = NavWorld();
  std::vector<int> seen(kNavBenchPolys, -1), open(kNavBenchPolys);
  int stamp = 0;
  for (auto _ : state) {
    int yes = 0;
    for (const auto& p : w.pairs) {
      ++stamp;
      int head = 0, tail = 0;
      open[tail++] = p.first;
      seen[p.first] = stamp;
      bool found = p.first == p.second;
      while (!found && head < tail) {
        const int at = open[head++];
        for (int k = 0; k < 3; ++k) {
          const int nb = w.desc.polys[at].neighbour[k];
          if (nb < 0 || seen[nb] == stamp) continue;
          if (nb == p.second) {
            found = true;
            break;
          }
          seen[nb] = stamp;
          open[tail++] = nb;
        }
      }
      yes += found;
    }
    benchmark::DoNotOptimize(yes);
  }
}

BENCHMARK(BM_NavReachable);
BENCHMARK(BM_NavBreadthFirst);

const std::vector<benchratios::Ratio> kRatios = {
    {"table lookup / breadth-first (target <= 0.05)", "BM_NavReachable", "BM_NavBreadthFirst"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
