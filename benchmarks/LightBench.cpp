// The strongest-lights query over 256 registered point lights into a block of
// eight, against a plain loop that computes the same 256 scores and keeps the
// best eight by insertion.
#include <cstdlib>
#include <vector>

#include "BenchRatios.h"
#include "TWMath/MathGeneral.h"
#include "VERirezo/LightManager.h"

namespace {

ELightManager* s_pLights = nullptr;
const EBox3 kBox(EVec3(-50, -50, -50), EVec3(50, 50, 50));

struct PlainLight {
  EVec3 position;
  EVec3 colour;
  float k, l, q;
};
std::vector<PlainLight> s_plain;

float Coord(int i, int salt) { return (float)((i * 7919 + salt * 104729) % 2001) - 1000.0f; }

void BM_GetStrongestLights(benchmark::State& state) {
  ELightBlock block;
  for (auto _ : state) {
    s_pLights->GetStrongestLights(kBox, 8, 3, &block, nullptr, nullptr);
    benchmark::DoNotOptimize(block.m_iLightCount);
  }
}
BENCHMARK(BM_GetStrongestLights);

void BM_PlainScoresBestEight(benchmark::State& state) {
  const EBox3 inflated = kBox.GetInflatedBox(1);
  for (auto _ : state) {
    float scores[8];
    const PlainLight* kept[8];
    int count = 0;
    for (const PlainLight& p : s_plain) {
      const float d2 = (p.position - inflated.NearestPosition(p.position)).LengthSquared();
      float a = p.k;
      if (p.l != 0) a += FastSqrt(d2) * p.l;
      if (p.q != 0) a += d2 * p.q;
      const float score = MAX(p.colour.x, MAX(p.colour.y, p.colour.z)) / a;
      int j = 0;
      while (j < count && !(scores[j] < score)) ++j;
      if (j >= 8) continue;
      if (count < 8) ++count;
      for (int m = count - 1; m > j; --m) scores[m] = scores[m - 1], kept[m] = kept[m - 1];
      scores[j] = score;
      kept[j] = &p;
    }
    benchmark::DoNotOptimize(kept);
    benchmark::DoNotOptimize(count);
  }
}
BENCHMARK(BM_PlainScoresBestEight);

const std::vector<benchratios::Ratio> kRatios = {
    {"strongest 8 of 256 point lights / plain scores and insertion (target <= 2)", "BM_GetStrongestLights",
     "BM_PlainScoresBestEight"},
};

}  // namespace

int main(int argc, char** argv) {
  s_pLights = new ELightManager();
  for (int i = 0; i < ELightManager::kMAX_LIGHTS; ++i) {
    ELight* p = s_pLights->AddLight();
    p->m_eType = kLIGHTTYPE_POINT;
    p->m_vPosition = EVec3(Coord(i, 1), Coord(i, 2), Coord(i, 3));
    p->m_vColor = EVec3(0.2f + 0.003f * (float)i, 0.5f, 0.1f);
    p->m_fLinearAtten = 0.002f * (float)(1 + i % 5);
    p->m_fQuadraticAtten = i % 3 == 0 ? 0.00001f : 0.0f;
    p->m_fRange = 5000;
    s_pLights->RegisterLight(p);
    s_plain.push_back({p->m_vPosition, p->m_vColor, p->m_fConstantAtten,
                       p->m_fLinearAtten, p->m_fQuadraticAtten});
  }
  const int rc = benchratios::RunAndPrintRatios(argc, argv, kRatios);
  delete s_pLights;
  return rc;
}
