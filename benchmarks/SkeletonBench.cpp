// One frame of the joint-animation affector on a 60-joint skeleton playing
// three animations (advance, blend, pose and skinning matrices) against a
// plain pass of 60 matrix products, each joint's local matrix times its
// parent's; and the same frame on a culled mesh (root motion only) against
// the visible one. The affector frames also count heap allocations.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "JanWriter.h"
#include "SkeletonWriter.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/EStream.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshEntity.h"
#include "VERirezo/SkelAnimInstance.h"
#include "VERirezo/Skeleton.h"

namespace {
std::atomic<long> s_nAllocs{0};
}  // namespace

// Counting replacements of the global allocation functions; they pair malloc
// with free themselves.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(size_t n) {
  s_nAllocs.fetch_add(1, std::memory_order_relaxed);
  if (void* p = malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }

namespace {

const int kJOINTS = 60;
const int kKEYS = 61;

std::string s_Dir;

std::vector<uint8_t> SkelBenchAnim(int iVariant) {
  JanAnim anim;
  anim.length = kKEYS - 1;
  anim.mode = iVariant == 0 ? 1 : 0;
  for (int j = 0; j < kJOINTS; ++j) {
    JanJoint joint;
    joint.name = "J" + std::to_string(j);
    joint.depth = j == 0 ? 0 : 1;
    JanChannel pos, rot;
    pos.kind = 0;
    rot.kind = 1;
    for (int k = 0; k < kKEYS; ++k) {
      JanKey p, r;
      p.time = r.time = (uint32_t)k;
      p.v[0] = j == 0 ? (float)k : 1.0f;
      p.v[1] = std::sin(0.1f * (float)(k + iVariant)) * 0.2f;
      p.v[2] = 0.0f;
      const float half = 0.01f * (float)k * (1.0f + 0.1f * (float)iVariant);
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
  if (!WriteJan(anim, bytes, error)) fprintf(stderr, "SkeletonBench: %s\n", error.c_str());
  return bytes;
}

void SkelBenchWrite(const std::string& name, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen((s_Dir + "/" + name).c_str(), "wb");
  if (!f) return;
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

void SkelBenchSetUp() {
  if (!s_Dir.empty()) return;
  char pattern[] = "/tmp/skelbenchXXXXXX";
  if (!mkdtemp(pattern)) return;
  s_Dir = pattern;
  for (int i = 0; i < 3; ++i) SkelBenchWrite("anim" + std::to_string(i) + ".jan", SkelBenchAnim(i));
  gFile->AddReadPath(s_Dir.c_str(), true);
  EAnimManager::Create(0);
}

// A mesh with one 60-joint skeleton playing three looping animations.
EMesh* SkelBenchMesh() {
  SkelBenchSetUp();
  EMesh* pMesh = new EMesh;
  pMesh->SetScale(EVec3(1.0f, 1.0f, 1.0f));
  std::vector<uint8_t> bytes;
  std::string error;
  WriteSkeleton(bytes, MakeChainSkeleton("Body", kJOINTS), 318, error);
  EMemReader reader(bytes.data(), (unsigned)bytes.size());
  ESkeleton* pSkeleton = new ESkeleton;
  if (!pSkeleton->Read(reader, 318)) fprintf(stderr, "SkeletonBench: skeleton refused\n");
  pMesh->AddSkeleton(pSkeleton);
  pMesh->AddAffector(new EJointAnimAffector);
  const float weights[3] = {1.0f, 0.5f, 0.4f};
  for (int i = 0; i < 3; ++i) {
    ESkelAnim* pAnim = pMesh->ReadSkelAnim(("anim" + std::to_string(i) + ".jan").c_str(), 0.0f, true, ELoadAnimArgs());
    if (!pAnim) {
      fprintf(stderr, "SkeletonBench: animation %d refused\n", i);
      continue;
    }
    pAnim->SetBlendFactor(weights[i]);
    pAnim->SetPartialBlendFactor(weights[i]);
    pAnim->SetFrame(7.0f * (float)i);
  }
  return pMesh;
}

void SkelBenchFrame(benchmark::State& state, EMesh* pMesh) {
  EJointAnimAffector affector;
  affector.Run(pMesh, 16.0f);  // settle
  const long nBefore = s_nAllocs.load();
  for (auto _ : state) {
    affector.Run(pMesh, 16.0f);
    benchmark::DoNotOptimize(pMesh->GetSkeleton(0)->GetJoints()[kJOINTS - 1].m_mSkinning.m[12]);
  }
  state.counters["allocs/frame"] = (double)(s_nAllocs.load() - nBefore) / (double)state.iterations();
}

void BM_AffectorFrameVisible(benchmark::State& state) {
  EMesh* pMesh = SkelBenchMesh();
  SkelBenchFrame(state, pMesh);
  delete pMesh;
}
BENCHMARK(BM_AffectorFrameVisible);

void BM_AffectorFrameCulled(benchmark::State& state) {
  EMesh* pMesh = SkelBenchMesh();
  EMeshEntity* pOwner = new EMeshEntity(nullptr, "Hidden");
  pOwner->SetVisible(false);
  pMesh->SetOwner(pOwner);
  SkelBenchFrame(state, pMesh);
  delete pMesh;
  delete pOwner;
}
BENCHMARK(BM_AffectorFrameCulled);

void BM_SixtyMatrixProducts(benchmark::State& state) {
  EMat4 local[kJOINTS], world[kJOINTS];
  int parent[kJOINTS];
  for (int j = 0; j < kJOINTS; ++j) {
    parent[j] = j - 1;
    local[j] = EMat4(EQuat(0.0f, std::sin(0.01f * (float)j), 0.0f, std::cos(0.01f * (float)j)), EVec3(1.0f, 0.0f, 0.0f));
  }
  for (auto _ : state) {
    world[0] = local[0];
    for (int j = 1; j < kJOINTS; ++j) world[j] = world[parent[j]].Mul(local[j]);
    benchmark::DoNotOptimize(world[kJOINTS - 1].m[12]);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SixtyMatrixProducts);

}  // namespace

int main(int argc, char** argv) {
  const int rc = benchratios::RunAndPrintRatios(
      argc, argv,
      {{"visible affector frame / 60 matrix products (target <= 15)", "BM_AffectorFrameVisible",
        "BM_SixtyMatrixProducts"},
       {"culled affector frame / visible frame (target <= 0.1)", "BM_AffectorFrameCulled",
        "BM_AffectorFrameVisible"}});
  if (EAnimManager::IsCreated()) EAnimManager::Destroy();
  if (!s_Dir.empty()) {
    const std::string cmd = "rm -rf '" + s_Dir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "SkeletonBench: could not remove %s\n", s_Dir.c_str());
  }
  return rc;
}
