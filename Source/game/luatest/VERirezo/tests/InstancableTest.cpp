// Shared instances and keyframe affectors.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/EStream.h"
#include "VERirezo/Instancable.h"
#include "VERirezo/Mesh.h"

namespace {

struct AffKey {
  int frame;
  float x, y, z;
};

// An affector record: type code, mode, last frame, key count, keys.
std::vector<uint8_t> AffectorRecordBytes(int type, int mode, int lastFrame, const std::vector<AffKey>& keys, int count = INT32_MIN) {
  std::vector<uint8_t> out(16 + keys.size() * 16);
  PutLE32(&out[0], (uint32_t)type);
  PutLE32(&out[4], (uint32_t)mode);
  PutLE32(&out[8], (uint32_t)lastFrame);
  PutLE32(&out[12], (uint32_t)(count == INT32_MIN ? (int)keys.size() : count));
  for (size_t i = 0; i < keys.size(); ++i) {
    uint8_t* p = &out[16 + i * 16];
    PutLE32(p, (uint32_t)keys[i].frame);
    PutLEFloat(p + 4, keys[i].x);
    PutLEFloat(p + 8, keys[i].y);
    PutLEFloat(p + 12, keys[i].z);
  }
  return out;
}

EAnimAffector* ReadAnim(const std::vector<uint8_t>& bytes) {
  EMemReader reader(bytes.data(), (unsigned)bytes.size());
  return static_cast<EAnimAffector*>(ReadAffectorRecord(reader));
}

void AffExpectVec(const EVec3& v, float x, float y, float z) {
  EXPECT_FLOAT_EQ(x, v.x);
  EXPECT_FLOAT_EQ(y, v.y);
  EXPECT_FLOAT_EQ(z, v.z);
}

const std::vector<AffKey> kLine = {{0, 0, 0, 0}, {10, 10, 20, 30}};

}  // namespace

TEST(Instancable, SourceMarkersAndCounts) {
  EMesh source;
  EXPECT_TRUE(source.IsOriginal());
  EXPECT_FALSE(source.IsEntityMesh());
  EXPECT_EQ(&source, source.GetOriginal());

  // The first user gets the source, later ones copies pointing back at it.
  EXPECT_EQ(&source, source.Instantiate());
  EMesh* copy = static_cast<EMesh*>(source.Instantiate());
  ASSERT_NE(&source, copy);
  EXPECT_EQ(2, source.GetRefCount());
  EXPECT_FALSE(copy->IsOriginal());
  EXPECT_FALSE(copy->IsEntityMesh());
  EXPECT_EQ(&source, copy->GetOriginal());
  // A mesh hands itself to its own first user, a copy as well.
  EXPECT_EQ(copy, copy->Instantiate());
  EXPECT_EQ(1, copy->GetRefCount());
  EXPECT_EQ(2, source.GetRefCount());
  copy->DestroyInstance();
  source.DestroyInstance();
  EXPECT_EQ(0, source.GetRefCount());
  delete copy;

  EMesh own;
  own.MarkAsEntityMesh();
  EXPECT_TRUE(own.IsEntityMesh());
  EXPECT_FALSE(own.IsOriginal());
  EXPECT_EQ(&own, own.GetOriginal());
  own.DestroyInstance();
  EXPECT_EQ(0, own.GetRefCount());

  EXPECT_DEATH(
      {
        EErrorManager::SetErrorStrings("Error", "%s(%d): %s", "%s");
        source.DecRefCount();
      },
      "m_nRefCount >= 0");

  EAffector base;
  EXPECT_EQ(0, base.Type());
  EXPECT_EQ(nullptr, base.Instantiate());
  EXPECT_FALSE(base.Run(&source, 16.0f));
}

TEST(AnimAffector, PlaysPositionKeysToTheEnd) {
  EAnimAffector* aff = ReadAnim(AffectorRecordBytes(0, 0, 10, kLine));
  ASSERT_NE(nullptr, aff);
  EXPECT_EQ(1, aff->Type());
  EXPECT_EQ(1.0f, aff->GetCurrentFrame());
  EMesh mesh;
  mesh.SetFlags(EMesh::kFLAG_FrameAnimRunning);
  EXPECT_TRUE(aff->Run(&mesh, 0.0f));
  AffExpectVec(mesh.GetPosition(), 1, 2, 3);
  aff->Run(&mesh, 50.0f);
  EXPECT_FLOAT_EQ(4.0f, aff->GetCurrentFrame());
  AffExpectVec(mesh.GetPosition(), 4, 8, 12);
  aff->Run(&mesh, 10.0f);  // frame 4.6: whole frames only
  AffExpectVec(mesh.GetPosition(), 4, 8, 12);
  EXPECT_EQ(0u, mesh.GetFlags() & EMesh::kFLAG_FrameAnimEnd);
  aff->Run(&mesh, 500.0f);
  AffExpectVec(mesh.GetPosition(), 10, 20, 30);
  EXPECT_EQ(10.0f, aff->GetCurrentFrame());
  EXPECT_NE(0u, mesh.GetFlags() & EMesh::kFLAG_FrameAnimEnd);

  // Stopped: nothing moves.
  mesh.SetFlags(0);
  mesh.SetPosition(EVec3(7, 7, 7));
  aff->SetCurrentFrame(1.0f);
  aff->Run(&mesh, 100.0f);
  AffExpectVec(mesh.GetPosition(), 7, 7, 7);
  EXPECT_EQ(1.0f, aff->GetCurrentFrame());

  // A copy starts at frame 1 on the same keys and outlives its source.
  aff->SetCurrentFrame(6.0f);
  EAnimAffector* copy = static_cast<EAnimAffector*>(aff->Instantiate());
  EXPECT_EQ(1.0f, copy->GetCurrentFrame());
  EXPECT_EQ(aff->GetKeys(), copy->GetKeys());
  EXPECT_EQ(aff, copy->GetOriginal());
  EXPECT_EQ(10, copy->GetLastFrame());
  delete aff;
  mesh.SetFlags(EMesh::kFLAG_FrameAnimRunning);
  copy->Run(&mesh, 100.0f);  // frame 7
  AffExpectVec(mesh.GetPosition(), 7, 14, 21);
  delete copy;
}

TEST(AnimAffector, ModesAndKeyEdges) {
  struct Case {
    const char* what;
    int mode, lastFrame;
    std::vector<AffKey> keys;
    float startFrame;
    bool changes;
    EVec3 value;
  } cases[] = {
      {"before the first key", 0, 10, {{5, 1, 1, 1}, {10, 2, 2, 2}}, 4.9f, false, EVec3()},
      {"on the first key", 0, 10, {{5, 1, 1, 1}, {10, 2, 2, 2}}, 5.0f, true, EVec3(1, 1, 1)},
      {"rotation", 1, 10, {{0, 0, 0, 0}, {10, 1, 2, 3}}, 5.0f, true, EVec3(0.5f, 1, 1.5f)},
      {"scale", 2, 10, {{0, 1, 1, 1}, {10, 3, 3, 3}}, 5.0f, true, EVec3(2, 2, 2)},
      {"last frame beyond the last key", 0, 12, {{0, 0, 0, 0}, {10, 10, 10, 10}}, 12.0f, true, EVec3(12, 12, 12)},
      {"past the last key before the end", 0, 20, {{0, 0, 0, 0}, {5, 5, 6, 7}}, 8.0f, true, EVec3(5, 6, 7)},
      {"one key at the end", 0, 3, {{3, 1, 2, 3}}, 3.0f, false, EVec3()},
      {"no keys", 0, 0, {}, 0.0f, false, EVec3()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EAnimAffector* aff = ReadAnim(AffectorRecordBytes(0, c.mode, c.lastFrame, c.keys));
    ASSERT_NE(nullptr, aff);
    EMesh mesh;
    mesh.SetFlags(EMesh::kFLAG_FrameAnimRunning);
    const EVec3 mark(-9, -9, -9);
    mesh.SetPosition(mark);
    mesh.SetScale(mark);
    mesh.SetRotationRad(EEuler(mark));
    aff->SetCurrentFrame(c.startFrame);
    aff->Run(&mesh, 0.0f);
    EVec3 got = c.mode == 0 ? mesh.GetPosition() : c.mode == 2 ? mesh.GetScale() : EVec3(mesh.GetRotationRad().x, mesh.GetRotationRad().y, mesh.GetRotationRad().z);
    if (c.changes) AffExpectVec(got, c.value.x, c.value.y, c.value.z);
    else AffExpectVec(got, -9, -9, -9);
    delete aff;
  }
}

TEST(AnimAffector, DamagedRecordsAreRefused) {
  std::vector<uint8_t> tooMany = AffectorRecordBytes(0, 0, 10, kLine, 3);
  std::vector<uint8_t> huge = AffectorRecordBytes(0, 0, 10, kLine, 0x10000001);
  std::vector<uint8_t> negative = AffectorRecordBytes(0, 0, 10, kLine, -1);
  std::vector<uint8_t> mode = AffectorRecordBytes(0, 5, 10, kLine);
  std::vector<uint8_t> type = AffectorRecordBytes(2, 0, 10, kLine);
  std::vector<uint8_t> cut = AffectorRecordBytes(0, 0, 10, kLine);
  cut.resize(cut.size() - 1);
  for (const std::vector<uint8_t>* bytes : {&tooMany, &huge, &negative, &mode, &type, &cut}) {
    EXPECT_EQ(nullptr, ReadAnim(*bytes));
  }
  // Every prefix of a good record is refused; the whole record reads.
  const std::vector<uint8_t> good = AffectorRecordBytes(0, 0, 10, kLine);
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_EQ(nullptr, ReadAnim(std::vector<uint8_t>(good.begin(), good.begin() + n))) << n;
  }
  EAnimAffector* aff = ReadAnim(good);
  ASSERT_NE(nullptr, aff);
  EXPECT_EQ(2, aff->GetNumKeys());
  delete aff;
}
