// A swept-sphere query (radius 40 over 200 units) against a collision tree of
// a 100,000-triangle terrain, compared with testing the same sphere against
// every triangle in a loop. After the runs the pair is printed as a ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "BenchRatios.h"
#include "CollisionTreeWriter.h"
#include "TWMath/Intersect.h"
#include "TWUtil/EStream.h"
#include "VERirezo/CollisionTree.h"

namespace {

const int kQUADS = 224;  // 224 x 224 quads: 100,352 triangles, 50,625 vertices

struct Terrain {
  std::vector<EVec3> verts;
  std::vector<collisionwriter::Poly> polys;
  std::unique_ptr<ECollisionTree> tree;
  std::vector<EVec3> starts;
};

Terrain& GetTerrain() {
  static Terrain* s_pTerrain = nullptr;
  if (s_pTerrain) return *s_pTerrain;
  Terrain* t = new Terrain;
  for (int z = 0; z <= kQUADS; z++)
    for (int x = 0; x <= kQUADS; x++) {
      float fx = 40.0f * (float)x - 4480.0f, fz = 40.0f * (float)z - 4480.0f;
      t->verts.push_back(EVec3(fx, 60.0f * std::sin(fx * 0.003f) * std::cos(fz * 0.004f), fz));
    }
  for (int z = 0; z < kQUADS; z++)
    for (int x = 0; x < kQUADS; x++) {
      uint32_t i = (uint32_t)(z * (kQUADS + 1) + x);
      collisionwriter::Poly a, b;
      a.v[0] = i; a.v[1] = i + 1; a.v[2] = i + kQUADS + 1; a.flags = kSurfacePhysical;
      b.v[0] = i + 1; b.v[1] = i + kQUADS + 2; b.v[2] = i + kQUADS + 1; b.flags = kSurfacePhysical;
      t->polys.push_back(a);
      t->polys.push_back(b);
    }
  collisionwriter::Options opt;
  opt.maxPerLeaf = 16;
  opt.maxDepth = 12;
  std::vector<uint8_t> bytes = collisionwriter::WriteCollisionTree(t->verts, t->polys, 317, opt);
  EMemReader s(bytes.data(), (unsigned)bytes.size());
  s.SetVersion(317);
  t->tree.reset(new ECollisionTree);
  if (!t->tree->Read(s)) fprintf(stderr, "CollisionBench: the terrain tree did not read back\n");
  for (int i = 0; i < 64; i++)
    t->starts.push_back(EVec3(-4000.0f + 125.0f * (float)i, 150.0f, 3000.0f - 90.0f * (float)i));
  s_pTerrain = t;
  return *t;
}

const EVec3 kMOTION(60.0f, -190.0f, 10.0f);  // about 200 units, down into the ground

void BM_TreeSweep(benchmark::State& state) {
  Terrain& t = GetTerrain();
  size_t k = 0;
  int nHits = 0;
  for (auto _ : state) {
    const EVec3& p = t.starts[k++ % t.starts.size()];
    ECollisionTreeHit hit;
    nHits += t.tree->CheckForCollision(p, p + kMOTION, 40.0f, kCOLLIDEFLAG_Physical, 0xF, &hit);
    benchmark::DoNotOptimize(hit);
  }
  benchmark::DoNotOptimize(nHits);
}

void BM_EveryTriangle(benchmark::State& state) {
  Terrain& t = GetTerrain();
  size_t k = 0;
  for (auto _ : state) {
    const EVec3& p = t.starts[k++ % t.starts.size()];
    EFastSeg3 seg(p, p + kMOTION, TagPOINTS());
    float fTime = 1.0f, s = 0.0f;
    int iBest = -1;
    for (int i = 0; i < t.tree->GetPolyCount(); i++) {
      ETri3 tri;
      EPlane plane;
      t.tree->GetTri(i, tri, plane);
      if (TWMath::FindIntersection(seg, 40.0f, tri, plane, false, fTime, s)) iBest = i;
    }
    benchmark::DoNotOptimize(iBest);
  }
}

BENCHMARK(BM_TreeSweep);
BENCHMARK(BM_EveryTriangle);

const std::vector<benchratios::Ratio> kRatios = {
    {"tree sweep / every triangle (target <= 0.02)", "BM_TreeSweep", "BM_EveryTriangle"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
