// Sampling a skeletal pose against copying the pose's matrices. One frame of
// a 64-joint animation (position and rotation channels of 300 keys each,
// played forward with the per-joint hints) is compared with a plain copy of
// 64 4x4 float matrices, and compressed rotations with plain ones. After the
// runs each pair is printed as a ratio.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "JanWriter.h"
#include "TWUtil/EStream.h"
#include "VERirezo/SkelAnim.h"

namespace {

const int kJOINTS = 64;
const int kKEYS = 300;

// A chain of joints, each turning a little further every frame.
std::vector<uint8_t> MakePose(bool compressed) {
  JanAnim anim;
  anim.length = kKEYS - 1;
  for (int j = 0; j < kJOINTS; ++j) {
    JanJoint joint;
    joint.name = "Joint" + std::to_string(j);
    joint.depth = j == 0 ? 0 : 1;
    JanChannel pos, rot;
    pos.kind = 0;
    rot.kind = compressed ? 3 : 1;
    for (int k = 0; k < kKEYS; ++k) {
      JanKey p, r;
      p.time = r.time = (uint32_t)k;
      p.v[0] = (float)j;
      p.v[1] = std::sin(0.05f * (float)k) * 10.0f;
      p.v[2] = (float)k * 0.1f;
      const float half = 0.005f * (float)k * (1.0f + 0.01f * (float)j);
      r.v[0] = 0.0f;
      r.v[1] = std::sin(half);
      r.v[2] = 0.0f;
      r.v[3] = std::cos(half);
      pos.keys.push_back(p);
      rot.keys.push_back(r);
    }
    joint.channels.push_back(pos);
    joint.channels.push_back(rot);
    anim.joints.push_back(joint);
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!WriteJan(anim, bytes, error)) fprintf(stderr, "AnimBench: %s\n", error.c_str());
  return bytes;
}

struct Pose {
  EVec3 pos[kJOINTS];
  EQuat rot[kJOINTS];
};

void SamplePose(benchmark::State& state, bool compressed) {
  const std::vector<uint8_t> bytes = MakePose(compressed);
  ESkelAnimShared anim;
  EMemReader reader(bytes.data(), (unsigned)bytes.size());
  if (!anim.InitFromFile(reader, (unsigned)bytes.size()) || anim.GetNumLoadedJoints() != kJOINTS) {
    state.SkipWithError("the animation did not load");
    return;
  }
  uint16_t hints[kJOINTS][2] = {};
  Pose pose;
  float t = 0.0f;
  for (auto _ : state) {
    for (int j = 0; j < kJOINTS; ++j) {
      const EJointAnimShared* joint = anim.GetAnim(j);
      pose.pos[j] = joint->m_pPos->GetValue(t, &hints[j][0]);
      pose.rot[j] = compressed ? joint->m_pRotComp->GetValue(t, &hints[j][1]) : joint->m_pRot->GetValue(t, &hints[j][1]);
    }
    benchmark::DoNotOptimize(&pose);
    benchmark::ClobberMemory();
    t += 0.5f;
    if (t > (float)(kKEYS - 1)) t = 0.0f;
  }
  state.SetItemsProcessed(state.iterations() * kJOINTS);
}

void BM_SamplePose(benchmark::State& state) { SamplePose(state, false); }
void BM_SamplePoseCompressed(benchmark::State& state) { SamplePose(state, true); }

void BM_CopyMatrices(benchmark::State& state) {
  static float src[kJOINTS][16], dst[kJOINTS][16];
  for (int j = 0; j < kJOINTS; ++j) {
    for (int i = 0; i < 16; ++i) src[j][i] = (float)(j * 16 + i);
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(&src);
    memcpy(dst, src, sizeof(dst));
    benchmark::DoNotOptimize(&dst);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kJOINTS);
}

BENCHMARK(BM_SamplePose);
BENCHMARK(BM_SamplePoseCompressed);
BENCHMARK(BM_CopyMatrices);

const std::vector<benchratios::Ratio> kRatios = {
    {"pose sample / matrix copy (target <= 30)", "BM_SamplePose", "BM_CopyMatrices"},
    {"compressed / plain rotations (target <= 2)", "BM_SamplePoseCompressed", "BM_SamplePose"},
};

}  // namespace

int main(int argc, char** argv) { return benchratios::RunAndPrintRatios(argc, argv, kRatios); }
