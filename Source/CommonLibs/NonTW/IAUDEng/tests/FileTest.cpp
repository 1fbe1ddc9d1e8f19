#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/IAUDFile.h"

namespace {

using namespace iaudtest;

TEST(IAUDFile, OpensWindowsStyleNamesInAnyCase) {
  TempDir dir;
  ASSERT_EQ(mkdir((dir / "Sounds").c_str(), 0755), 0);
  {
    std::ofstream(dir / "Sounds/Bank.icb") << "RIFF";
  }
  void* f = IAUDFileOpen(W(U16((dir.path() + "\\sounds\\BANK.icb").c_str())));
  ASSERT_NE(f, nullptr);
  char text[5] = {};
  EXPECT_EQ(IAUDFileRead(text, 1, 4, f), 4u);
  EXPECT_STREQ(text, "RIFF");
  IAUDFileClose(f);
  EXPECT_EQ(IAUDFileOpen(W(U16((dir.path() + "/missing.icb").c_str()))), nullptr);
  EXPECT_EQ(IAUDFileOpen(nullptr), nullptr);
}

TEST(IAUDFile, NumbersAreLittleEndian) {
  FILE* f = tmpfile();
  ASSERT_NE(f, nullptr);
  const uint16_t shorts[2] = {0x0102, 0xA0B0};
  const uint32_t longs[2] = {0x01020304, 0xDEADBEEF};
  const float floats[1] = {1.0f};
  EXPECT_EQ(IAUDFileWriteShorts(shorts, 2, f), 2u);
  EXPECT_EQ(IAUDFileWriteLongs(longs, 2, f), 2u);
  EXPECT_EQ(IAUDFileWriteFloats(floats, 1, f), 1u);
  EXPECT_EQ(IAUDFileTell(f), 16u);
  EXPECT_EQ(IAUDFileLength(f), 16u);

  ASSERT_TRUE(IAUDFileSeek(f, 0));
  uint8_t bytes[16];
  ASSERT_EQ(IAUDFileRead(bytes, 1, 16, f), 16u);
  const uint8_t expect[16] = {0x02, 0x01, 0xB0, 0xA0, 0x04, 0x03, 0x02, 0x01,
                              0xEF, 0xBE, 0xAD, 0xDE, 0x00, 0x00, 0x80, 0x3F};
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 16), std::vector<uint8_t>(expect, expect + 16));

  ASSERT_TRUE(IAUDFileSeek(f, 2));
  uint16_t s = 0;
  uint32_t l[3] = {};
  float x = 0;
  EXPECT_EQ(IAUDFileReadShorts(&s, 1, f), 1u);
  EXPECT_EQ(s, 0xA0B0);
  EXPECT_EQ(IAUDFileReadLongs(l, 2, f), 2u);
  EXPECT_EQ(l[1], 0xDEADBEEFu);
  EXPECT_EQ(IAUDFileReadFloats(&x, 1, f), 1u);
  EXPECT_EQ(x, 1.0f);
  EXPECT_EQ(IAUDFileReadLongs(l, 3, f), 0u);  // at the end: nothing whole
  IAUDFileClose(f);
}

}  // namespace
