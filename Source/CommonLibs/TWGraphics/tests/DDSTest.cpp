// DDS files and texture-pack records, read and written in memory.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TWGraphics/DDS.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"

using ::testing::HasSubstr;

namespace {

using gfxtest::AllTraces;
using gfxtest::Traces;
using gfxtest::VecWriter;

class DDSTest : public ::testing::Test {
protected:
  void SetUp() override {
    gfxtest::StartTraces();
  }
  void TearDown() override { gfxtest::StopTraces(); }
};

// An image whose every byte depends on its surface and position.
ETextureImage MakeImage(TEXTUREFORMAT format, TEXTURETYPE type, unsigned width, unsigned height, unsigned levels) {
  ETextureImage image;
  image.m_eFormat = format;
  image.m_eType = type;
  image.m_dwWidth = width;
  image.m_dwHeight = type == kTEXTURETYPE_CUBEMAP ? width : height;
  image.m_dwLevels = levels;
  image.Allocate();
  for (size_t s = 0; s < image.m_aSurfaces.size(); ++s)
    for (size_t i = 0; i < image.m_aSurfaces[s].size(); ++i)
      image.m_aSurfaces[s][i] = (uint8_t)(s * 31 + i * 7 + 1);
  if (format == kTEXTUREFORMAT_P8) {
    image.m_bHasPalette = true;
    for (unsigned i = 0; i < 256; ++i) image.m_aPalette[i] = 0x80000000u | (i << 16) | ((255 - i) << 8) | (i / 2);
  }
  return image;
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t offset) {
  return (uint32_t)b[offset] | ((uint32_t)b[offset + 1] << 8) | ((uint32_t)b[offset + 2] << 16) |
         ((uint32_t)b[offset + 3] << 24);
}

void PutU32(std::vector<uint8_t>& b, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[offset + i] = (uint8_t)(v >> (8 * i));
}

std::vector<uint8_t> WriteDDS(const ETextureImage& image) {
  VecWriter w;
  WriteDDSImage(w, image);
  return w.m_Bytes;
}

std::vector<uint8_t> WriteRecord(const ETextureImage& image, uint32_t handle = 0) {
  VecWriter w;
  WriteTextureRecord(w, image, handle);
  return w.m_Bytes;
}

// Stored bytes of every surface must match; the rest of a surface is the
// reader's to fill.
void ExpectSameStoredData(const ETextureImage& a, const ETextureImage& b) {
  ASSERT_EQ(a.m_aSurfaces.size(), b.m_aSurfaces.size());
  for (unsigned face = 0; face < a.GetFaceCount(); ++face)
    for (unsigned level = 0; level < a.m_dwLevels; ++level) {
      size_t n = (size_t)TextureLevelStoredBytes(a.m_eFormat, a.m_dwWidth, a.m_dwHeight, level);
      ASSERT_EQ(a.Surface(level, face).size(), b.Surface(level, face).size());
      EXPECT_EQ(0, memcmp(a.Surface(level, face).data(), b.Surface(level, face).data(), n))
          << "face " << face << " level " << level;
    }
}

struct RoundTripCase {
  TEXTUREFORMAT format;
  TEXTURETYPE type;
  unsigned width, height, levels;
};

const RoundTripCase kRoundTrips[] = {
    {kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 256, 64, 9},  {kTEXTUREFORMAT_0888, kTEXTURETYPE_BITMAP, 32, 32, 6},
    {kTEXTUREFORMAT_4444, kTEXTURETYPE_BITMAP, 16, 64, 7},   {kTEXTUREFORMAT_1555, kTEXTURETYPE_BITMAP, 8, 8, 1},
    {kTEXTUREFORMAT_565, kTEXTURETYPE_BITMAP, 64, 16, 7},    {kTEXTUREFORMAT_L8, kTEXTURETYPE_BITMAP, 32, 8, 6},
    {kTEXTUREFORMAT_DXT1, kTEXTURETYPE_BITMAP, 64, 16, 7},   {kTEXTUREFORMAT_DXT3, kTEXTURETYPE_BITMAP, 16, 16, 5},
    {kTEXTUREFORMAT_DXT5, kTEXTURETYPE_BITMAP, 32, 4, 6},    {kTEXTUREFORMAT_P8, kTEXTURETYPE_BITMAP, 16, 8, 5},
    {kTEXTUREFORMAT_8888, kTEXTURETYPE_CUBEMAP, 16, 16, 5},  {kTEXTUREFORMAT_DXT1, kTEXTURETYPE_CUBEMAP, 8, 8, 4},
};
}  // namespace

TEST_F(DDSTest, EveryWritableFormatRoundTripsByteForByte) {
  for (const RoundTripCase& c : kRoundTrips) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " type " << c.type);
    ETextureImage image = MakeImage(c.format, c.type, c.width, c.height, c.levels);
    std::vector<uint8_t> file = WriteDDS(image);
    EMemReader r(file.data(), (unsigned)file.size());
    ETextureImage back;
    ASSERT_TRUE(ReadDDSImage(r, "t.dds", 0, back)) << AllTraces();
    EXPECT_EQ(r.GetPos(), file.size());
    EXPECT_EQ(back.m_eFormat, c.format);
    EXPECT_EQ(back.m_eType, c.type);
    EXPECT_EQ(back.m_dwWidth, c.width);
    EXPECT_EQ(back.m_dwHeight, image.m_dwHeight);
    EXPECT_EQ(back.m_dwLevels, c.levels);
    ExpectSameStoredData(image, back);
    if (c.format == kTEXTUREFORMAT_P8) {
      EXPECT_TRUE(back.m_bHasPalette);
      EXPECT_EQ(0, memcmp(back.m_aPalette, image.m_aPalette, sizeof(image.m_aPalette)));
    }
    EXPECT_EQ(WriteDDS(back), file);

    // The same texture through a pack record.
    std::vector<uint8_t> record = WriteRecord(image, 0x12345678);
    EMemReader rr(record.data(), (unsigned)record.size());
    ETextureImage fromRecord;
    ASSERT_TRUE(ReadTextureRecord(rr, fromRecord)) << AllTraces();
    EXPECT_EQ(rr.GetPos(), record.size());
    ExpectSameStoredData(image, fromRecord);
    EXPECT_EQ(WriteRecord(fromRecord, 0x12345678), record);
  }
}

TEST_F(DDSTest, HeaderFieldsOfAMipMappedAndOfACompressedTexture) {
  std::vector<uint8_t> f = WriteDDS(MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 256, 64, 9));
  EXPECT_EQ(U32At(f, 0), 0x20534444u);
  EXPECT_EQ(U32At(f, 4), 124u);
  EXPECT_EQ(U32At(f, 8), 0x2100Fu);  // caps, height, width, pixel format, pitch, mip count
  EXPECT_EQ(U32At(f, 12), 64u);
  EXPECT_EQ(U32At(f, 16), 256u);
  EXPECT_EQ(U32At(f, 20), 1024u);
  EXPECT_EQ(U32At(f, 28), 9u);
  EXPECT_EQ(U32At(f, 76), 32u);
  EXPECT_EQ(U32At(f, 80), 0x41u);
  EXPECT_EQ(U32At(f, 88), 32u);
  EXPECT_EQ(U32At(f, 104), 0xFF000000u);
  EXPECT_EQ(U32At(f, 108), 0x401008u);
  EXPECT_EQ(U32At(f, 112), 0u);
  // Levels 0 to 6 hold bytes; 2 x 0 and 1 x 0 hold none.
  EXPECT_EQ(f.size(), 128u + 65536 + 16384 + 4096 + 1024 + 256 + 64 + 16);

  std::vector<uint8_t> d = WriteDDS(MakeImage(kTEXTUREFORMAT_DXT1, kTEXTURETYPE_CUBEMAP, 8, 8, 1));
  EXPECT_EQ(U32At(d, 8), 0x81007u);
  EXPECT_EQ(U32At(d, 20), 64u);  // the level-0 size in texels
  EXPECT_EQ(U32At(d, 28), 0u);
  EXPECT_EQ(U32At(d, 84), 0x31545844u);
  EXPECT_EQ(U32At(d, 108), 0x1008u);
  EXPECT_EQ(U32At(d, 112), 0xFE00u);
  EXPECT_EQ(d.size(), 128u + 6 * 32);
}

TEST_F(DDSTest, LevelsWithoutStoredBytesAreFilledFromTheSmallestStoredLevel) {
  ETextureImage image = MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 256, 64, 9);
  std::vector<uint8_t> file = WriteDDS(image);
  EMemReader r(file.data(), (unsigned)file.size());
  ETextureImage back;
  ASSERT_TRUE(ReadDDSImage(r, "wide.dds", 0, back));
  const std::vector<uint8_t>& level6 = back.Surface(6, 0);  // 4 x 1
  const std::vector<uint8_t>& level7 = back.Surface(7, 0);  // 2 x 1
  const std::vector<uint8_t>& level8 = back.Surface(8, 0);  // 1 x 1
  ASSERT_EQ(level7.size(), 8u);
  ASSERT_EQ(level8.size(), 4u);
  EXPECT_EQ(0, memcmp(&level7[0], &level6[0], 4));
  EXPECT_EQ(0, memcmp(&level7[4], &level6[8], 4));
  EXPECT_EQ(0, memcmp(&level8[0], &level6[0], 4));
  EXPECT_NE(level8[0] | level8[1] | level8[2] | level8[3], 0);
}

TEST_F(DDSTest, FormatsThatComeBackAsAnother) {
  // A8 is written as an 8-bit luminance file and read as L8.
  std::vector<uint8_t> a8 = WriteDDS(MakeImage(kTEXTUREFORMAT_A8, kTEXTURETYPE_BITMAP, 4, 4, 1));
  EMemReader ra(a8.data(), (unsigned)a8.size());
  ETextureImage back;
  ASSERT_TRUE(ReadDDSImage(ra, "a8.dds", 0, back));
  EXPECT_EQ(back.m_eFormat, kTEXTUREFORMAT_L8);

  std::vector<uint8_t> dxt = WriteDDS(MakeImage(kTEXTUREFORMAT_DXT5, kTEXTURETYPE_BITMAP, 4, 4, 1));
  const struct {
    uint32_t fourCC;
    TEXTUREFORMAT format;
  } kCodes[] = {{0x32545844u, kTEXTUREFORMAT_DXT3}, {0x34545844u, kTEXTUREFORMAT_DXT5}};
  for (const auto& c : kCodes) {
    std::vector<uint8_t> f = dxt;
    PutU32(f, 84, c.fourCC);
    EMemReader r(f.data(), (unsigned)f.size());
    ASSERT_TRUE(ReadDDSImage(r, "dxt.dds", 0, back));
    EXPECT_EQ(back.m_eFormat, c.format);
  }

  // Flags 0x80000 with 16 bits: V8U8, which the writer does not produce.
  std::vector<uint8_t> v = WriteDDS(MakeImage(kTEXTUREFORMAT_565, kTEXTURETYPE_BITMAP, 4, 4, 1));
  PutU32(v, 80, 0x80000);
  EMemReader rv(v.data(), (unsigned)v.size());
  ASSERT_TRUE(ReadDDSImage(rv, "v.dds", 0, back));
  EXPECT_EQ(back.m_eFormat, kTEXTUREFORMAT_V8U8);
}

TEST_F(DDSTest, PaletteTradesRedAndBlueInFilesButNotInRecords) {
  ETextureImage image = MakeImage(kTEXTUREFORMAT_P8, kTEXTURETYPE_BITMAP, 4, 4, 1);
  image.m_aPalette[0] = 0x11223344;  // A 11, R 22, G 33, B 44
  std::vector<uint8_t> f = WriteDDS(image);
  EXPECT_EQ(f[128], 0x22);
  EXPECT_EQ(f[129], 0x33);
  EXPECT_EQ(f[130], 0x44);
  EXPECT_EQ(f[131], 0x11);
  EXPECT_EQ(f.size(), 128u + 1024 + 16);

  std::vector<uint8_t> rec = WriteRecord(image);
  EXPECT_EQ(rec[44] | (rec[45] << 8), 1);
  EXPECT_EQ(U32At(rec, 46), 0x11223344u);
  EXPECT_EQ(rec.size(), 44u + 2 + 1024 + 16);

  image.m_bHasPalette = false;
  std::vector<uint8_t> bare = WriteRecord(image);
  EXPECT_EQ(bare.size(), 44u + 2 + 16);
  EMemReader r(bare.data(), (unsigned)bare.size());
  ETextureImage back;
  ASSERT_TRUE(ReadTextureRecord(r, back));
  EXPECT_FALSE(back.m_bHasPalette);
  EXPECT_EQ(WriteRecord(back), bare);
}

TEST_F(DDSTest, CubeFacesKeepTheirOrderInFilesAndRecords) {
  ETextureImage cube = MakeImage(kTEXTUREFORMAT_L8, kTEXTURETYPE_CUBEMAP, 2, 2, 1);
  for (unsigned face = 0; face < 6; ++face) cube.Surface(0, face).assign(4, (uint8_t)(0xA0 + face));
  std::vector<uint8_t> f = WriteDDS(cube);
  for (unsigned face = 0; face < 6; ++face) EXPECT_EQ(f[128 + face * 4], 0xA0 + face);
  std::vector<uint8_t> rec = WriteRecord(cube);
  const unsigned kOrder[6] = {1, 3, 5, 0, 2, 4};
  for (unsigned i = 0; i < 6; ++i) EXPECT_EQ(rec[44 + i * 4], 0xA0 + kOrder[i]);
  EMemReader r(rec.data(), (unsigned)rec.size());
  ETextureImage back;
  ASSERT_TRUE(ReadTextureRecord(r, back));
  for (unsigned face = 0; face < 6; ++face) EXPECT_EQ(back.Surface(0, face)[0], 0xA0 + face);
}

TEST_F(DDSTest, NonPowerOfTwoTexturesDropTheirMipMaps) {
  ETextureImage image = MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 100, 64, 1);
  std::vector<uint8_t> f = WriteDDS(image);
  PutU32(f, 28, 7);
  EMemReader r(f.data(), (unsigned)f.size());
  ETextureImage back;
  ASSERT_TRUE(ReadDDSImage(r, "npot.dds", 0x2, back));
  EXPECT_EQ(back.m_dwLevels, 1u);
  EXPECT_EQ(back.m_dwFlags, 0x6u);
  EXPECT_THAT(AllTraces(), HasSubstr("ignoring mip maps in a linear (non power-of-two) texture npot.dds"));
}

TEST_F(DDSTest, DamagedFilesAreRefusedWithATrace) {
  const std::vector<uint8_t> good = WriteDDS(MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 16, 16, 5));
  struct Case {
    const char* what;
    size_t offset;  // a 32-bit field to change, or the length to cut to
    uint32_t value;
    bool cut;
    const char* trace;
  } cases[] = {
      {"identifier", 0, 0x20534443, false, "invalid DDS identifier in bad.dds"},
      {"header size", 4, 123, false, "invalid DDS header in bad.dds"},
      {"zero width", 16, 0, false, "invalid texture size 0x16 in bad.dds"},
      {"zero height", 12, 0, false, "invalid texture size 16x0 in bad.dds"},
      {"huge width", 16, 0x40000000, false, "invalid texture size 1073741824x16 in bad.dds"},
      {"mip count", 28, 6, false, "invalid mip map count 6 in bad.dds"},
      {"huge mip count", 28, 0xFFFFFFFF, false, "invalid mip map count 4294967295 in bad.dds"},
      {"pixel format", 80, 0x1, false, "unrecognized texture format in bad.dds"},
      {"short header", 100, 0, true, "invalid DDS header in bad.dds"},
      {"short data", 128 + 1000, 0, true, "ends inside its pixel data"},
      {"empty", 0, 0, true, "invalid DDS identifier"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Traces().clear();
    std::vector<uint8_t> f = good;
    if (c.cut) f.resize(c.offset);
    else PutU32(f, c.offset, c.value);
    EMemReader r(f.data(), (unsigned)f.size());
    ETextureImage back;
    EXPECT_FALSE(ReadDDSImage(r, "bad.dds", 0, back));
    EXPECT_THAT(AllTraces(), HasSubstr(c.trace));
  }
}

TEST_F(DDSTest, DamagedRecordsFailTheStream) {
  const std::vector<uint8_t> good = WriteRecord(MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 16, 16, 5));
  struct Case {
    const char* what;
    size_t offset;
    uint32_t value;
    bool cut;
    const char* trace;
  } cases[] = {
      {"volume", 8, kTEXTURETYPE_VOLUME, false, "Volume Maps are not supported by ReadTextureFromPackFile :("},
      {"depth", 8, kTEXTURETYPE_DEPTHBUFFER, false, "Depth Buffers are not supported by ReadTextureFromPackFile :("},
      {"type", 8, 9, false, "Unknown texture type in ReadTextureFromPackFile :("},
      {"format", 4, 15, false, "Unknown texture format 15"},
      {"zero width", 16, 0, false, "Invalid texture size 0x16"},
      {"huge height", 20, 0x10000, false, "Invalid texture size 16x65536"},
      {"no levels", 24, 0, false, "Invalid mip level count 0"},
      {"many levels", 24, 33, false, "Invalid mip level count 33"},
      {"short header", 40, 0, true, "ends inside its header"},
      {"short data", 44 + 100, 0, true, "ends inside its pixel data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Traces().clear();
    std::vector<uint8_t> f = good;
    if (c.cut) f.resize(c.offset);
    else PutU32(f, c.offset, c.value);
    EMemReader r(f.data(), (unsigned)f.size());
    ETextureImage back;
    EXPECT_FALSE(ReadTextureRecord(r, back));
    EXPECT_TRUE(r.Err());
    EXPECT_THAT(AllTraces(), HasSubstr(c.trace));
  }
}

TEST_F(DDSTest, RecordsFollowEachOtherWithoutPadding) {
  ETextureImage wide = MakeImage(kTEXTUREFORMAT_8888, kTEXTURETYPE_BITMAP, 256, 64, 9);
  ETextureImage small = MakeImage(kTEXTUREFORMAT_DXT1, kTEXTURETYPE_BITMAP, 4, 4, 1);
  VecWriter w;
  WriteTextureRecord(w, wide, 1);
  WriteTextureRecord(w, small, 2);
  EXPECT_EQ(w.m_Bytes.size(), 44u + 65536 + 16384 + 4096 + 1024 + 256 + 64 + 16 + 44 + 8);
  EMemReader r(w.m_Bytes.data(), (unsigned)w.m_Bytes.size());
  ETextureImage a, b;
  ASSERT_TRUE(ReadTextureRecord(r, a));
  ASSERT_TRUE(ReadTextureRecord(r, b));
  EXPECT_EQ(b.m_eFormat, kTEXTUREFORMAT_DXT1);
  ExpectSameStoredData(small, b);
  EXPECT_FALSE(r.Err());
}

TEST(DDSLayoutTest, LevelSizes) {
  // Compressed levels keep at least one row of blocks.
  EXPECT_EQ(TextureLevelStoredBytes(kTEXTUREFORMAT_DXT1, 16, 16, 3), 8u);
  EXPECT_EQ(TextureLevelStoredBytes(kTEXTUREFORMAT_DXT5, 16, 16, 4), 16u);
  EXPECT_EQ(TextureLevelBytes(kTEXTUREFORMAT_DXT1, 16, 16, 3), 8u);
  EXPECT_EQ(TextureLevelPitch(kTEXTUREFORMAT_DXT5, 16, 3), 16u);
  EXPECT_EQ(TextureLevelStoredBytes(kTEXTUREFORMAT_8888, 256, 64, 7), 0u);
  EXPECT_EQ(TextureLevelBytes(kTEXTUREFORMAT_8888, 256, 64, 7), 8u);
  EXPECT_EQ(TextureFullChainLevels(256, 64), 9u);
  EXPECT_EQ(TextureFullChainLevels(1, 1), 1u);
}

TEST(DDSDeathTest, FormatsWithoutADDSPixelFormatStopTheWriter) {
  ETextureImage image = MakeImage(kTEXTUREFORMAT_0555, kTEXTURETYPE_BITMAP, 4, 4, 1);
  EXPECT_DEATH(WriteDDS(image), "Unknown format in SaveTextureAsDDS");
}
