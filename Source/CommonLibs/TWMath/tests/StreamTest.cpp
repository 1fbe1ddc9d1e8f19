#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWUtil/EStream.h"

namespace {

// A writer that collects the bytes in memory.
class ByteWriter : public EStream {
public:
  ByteWriter() : EStream(kSTREAM_Writer) {}
  void StreamLow(void* data, unsigned bytes) override {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    for (unsigned i = 0; i < bytes; ++i) m_aBytes.push_back(p ? p[i] : 0);
  }
  std::vector<unsigned char> m_aBytes;
};

std::vector<unsigned char> LE(std::initializer_list<float> values) {
  std::vector<unsigned char> out;
  for (float f : values) {
    uint32_t u;
    memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i) out.push_back((unsigned char)(u >> (8 * i)));
  }
  return out;
}

TEST(MathStreams, CubeIsOneSixteenByteBlock) {
  ESSECube c(EVec3(1.5f, -2, 300), 0.25f);
  ByteWriter w;
  w << c;
  EXPECT_EQ(w.m_aBytes, LE({1.5f, -2, 300, 0.25f}));

  EMemReader r(w.m_aBytes.data(), (unsigned)w.m_aBytes.size());
  ESSECube back(EVec3(0, 0, 0), 0);
  r << back;
  EXPECT_EQ(back.GetCentre(), EVec3(1.5f, -2, 300));
  EXPECT_EQ(back.h, 0.25f);
  EXPECT_EQ(r.GetPos(), 16u);
  EXPECT_FALSE(r.Err());
}

TEST(MathStreams, RoundTripsInFieldOrder) {
  EBox3 box(EVec3(1, 2, 3), EVec3(4, 5, 6));
  EVec2 v2(7, 8);
  EVec4 v4(9, 10, 11, 12);
  EEuler e(13, 14, 15);
  EQuat q(0.1f, 0.2f, 0.3f, 0.9f);
  EMat4 m = MatrixRotateEuler(EEuler(10, 20, 30));
  m.SetTranslation(EVec3(-1, -2, -3));
  ByteWriter w;
  w << box << v2 << v4 << e << q << m;
  ASSERT_EQ(w.m_aBytes.size(), 4u * (6 + 2 + 4 + 3 + 4 + 16));
  std::vector<unsigned char> head(w.m_aBytes.begin(), w.m_aBytes.begin() + 24);
  EXPECT_EQ(head, LE({1, 2, 3, 4, 5, 6}));  // minimum corner first

  EMemReader r(w.m_aBytes.data(), (unsigned)w.m_aBytes.size());
  EBox3 box2;
  EVec2 v2b;
  EVec4 v4b;
  EEuler eb;
  EQuat qb;
  EMat4 mb;
  r << box2 << v2b << v4b << eb << qb << mb;
  EXPECT_EQ(box2.vMin, box.vMin);
  EXPECT_EQ(box2.vMax, box.vMax);
  EXPECT_EQ(v2b, v2);
  EXPECT_FALSE(v4b != v4);
  EXPECT_EQ(eb, e);
  EXPECT_EQ(qb.w, q.w);
  EXPECT_EQ(qb.x, q.x);
  EXPECT_EQ(mb, m);
  EXPECT_FALSE(r.Err());
}

TEST(MathStreams, TruncatedDataFlagsTheStream) {
  std::vector<unsigned char> bytes = LE({1, 2, 3, 4, 5});
  EMemReader r(bytes.data(), (unsigned)bytes.size());
  EBox3 b(EVec3(9, 9, 9), EVec3(9, 9, 9));
  r << b;
  EXPECT_TRUE(r.Err());
  EXPECT_EQ(b.vMin, EVec3(1, 2, 3));
  EXPECT_EQ(b.vMax, EVec3(4, 5, 9));  // the unread field keeps its value
}

}  // namespace
