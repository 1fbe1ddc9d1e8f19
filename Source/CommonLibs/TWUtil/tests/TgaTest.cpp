#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "FileTestSupport.h"
#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/ETga.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Four distinct 32-bit pixels (blue, green, red, alpha in the file).
const uint32_t P1 = 0x11223344, P2 = 0x55667788, P3 = 0x99AABBCC, P4 = 0xDDEEFF00;

Bytes Header(int width, int height, int depth, int descriptor, int type = 2, int idLength = 0) {
  Bytes h(18, 0);
  h[0] = (unsigned char)idLength;
  h[2] = (unsigned char)type;
  h[12] = (unsigned char)width;
  h[13] = (unsigned char)(width >> 8);
  h[14] = (unsigned char)height;
  h[15] = (unsigned char)(height >> 8);
  h[16] = (unsigned char)depth;
  h[17] = (unsigned char)descriptor;
  return h;
}

void AddPixel(Bytes& b, uint32_t p, int bpp = 4) {
  for (int i = 0; i < bpp; ++i) b.push_back((unsigned char)(p >> (8 * i)));
}

// A file of at least 26 bytes (the footer is read first).
Bytes Image(Bytes header, const std::vector<uint32_t>& pixels, int bpp = 4) {
  for (uint32_t p : pixels) AddPixel(header, p, bpp);
  while (header.size() < 26) header.push_back(0);
  return header;
}

struct Result {
  bool ok;
  int width, height, format;
  std::vector<uint32_t> pixels;  // 32-bit images only
};

Result Read(Bytes bytes) {
  EFile* f = EAltMemFile::Open(bytes.data(), (unsigned)bytes.size(), kMEMFILE_Borrow);
  EBitmap bitmap;
  ETGAFile tga;
  Result r;
  r.ok = tga.ReadImage(f, &bitmap);
  f->Close();
  r.width = (int)bitmap.Width();
  r.height = (int)bitmap.Height();
  r.format = bitmap.Format();
  if (r.ok && bitmap.Format() == 0) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bitmap.Buffer());
    for (int i = 0; i < r.width * r.height; ++i, p += 4)
      r.pixels.push_back((uint32_t)p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24));
  }
  return r;
}

TEST(TgaTest, OrientationsComeOutTopRowFirst) {
  struct Case {
    const char* what;
    int descriptor;
    std::vector<uint32_t> fileOrder;
  } cases[] = {
      {"bottom to top", 0x08, {P3, P4, P1, P2}},
      {"right to left, bottom to top", 0x18, {P4, P3, P2, P1}},
      {"right to left", 0x38, {P2, P1, P4, P3}},
      {"top to bottom", 0x28, {P1, P2, P3, P4}},
  };
  for (const Case& c : cases) {
    Result r = Read(Image(Header(2, 2, 32, c.descriptor), c.fileOrder));
    ASSERT_TRUE(r.ok) << c.what;
    EXPECT_EQ(0, r.format);
    EXPECT_EQ((std::vector<uint32_t>{P1, P2, P3, P4}), r.pixels) << c.what;
  }
}

TEST(TgaTest, RunLengthPacketsExpandAndStopAtTheLastPixel) {
  Bytes b = Header(4, 2, 32, 0x28, 10);
  b.push_back(0x83);  // one pixel, four times
  AddPixel(b, P1);
  b.push_back(0x03);  // four pixels as they come
  for (uint32_t p : {P1, P2, P3, P4}) AddPixel(b, p);
  Result r = Read(Image(b, {}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ((std::vector<uint32_t>{P1, P1, P1, P1, P1, P2, P3, P4}), r.pixels);

  Bytes run = Header(3, 1, 32, 0x28, 10);
  run.push_back(0xFF);  // 128 copies, but the image holds 3
  AddPixel(run, P2);
  r = Read(Image(run, {}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ((std::vector<uint32_t>{P2, P2, P2}), r.pixels);
}

TEST(TgaTest, OtherDepthsAndSkippedFields) {
  // 24 bits with an ID field and a colour map to skip.
  Bytes b = Header(1, 1, 24, 0x20, 2, 3);
  b[1] = 1;
  b[5] = 2;   // colour-map length 2
  b[7] = 15;  // 15-bit entries: 2 bytes each
  b.insert(b.end(), {'i', 'd', '!', 0, 0, 0, 0});
  AddPixel(b, 0x00ABCDEF, 3);
  Result r = Read(Image(b, {}));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(1, r.format);

  // 16 bits with one attribute bit: 1555.
  r = Read(Image(Header(2, 1, 16, 0x21), {0x8001, 0x7FFF}, 2));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(3, r.format);
}

TEST(TgaTest, FilesItCannotReadAreRefused) {
  struct Case {
    const char* what;
    Bytes bytes;
  } cases[] = {
      {"fewer than 26 bytes", Bytes(25, 0)},
      {"8 bits", Image(Header(1, 1, 8, 0x20), {1}, 1)},
      {"15 bits", Image(Header(1, 1, 15, 0x20), {1}, 2)},
      {"colour-mapped type", Image(Header(1, 1, 32, 0x20, 1), {P1})},
      {"24 bits with attribute bits", Image(Header(1, 1, 24, 0x28), {P1}, 3)},
      {"24 bits interleaved", Image(Header(1, 1, 24, 0x60), {P1}, 3)},
      {"16 bits with 8 attribute bits", Image(Header(1, 1, 16, 0x28), {P1}, 2)},
      {"zero width", Image(Header(0, 1, 32, 0x20), {P1})},
      {"negative height", Image(Header(1, 0x8001, 32, 0x20), {P1})},
      {"pixels cut short", Image(Header(4, 4, 32, 0x20), {P1, P2})},
      {"huge size in a small file", Image(Header(0x7fff, 0x7fff, 32, 0x20, 10), {P1})},
      {"run-length data cut short", [] {
         Bytes b = Header(4, 4, 32, 0x20, 10);
         b.push_back(0x7F);
         AddPixel(b, P1);
         return b;
       }()},
  };
  for (const Case& c : cases) {
    Result r = Read(c.bytes);
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(EBitmap::kFORMAT_NONE, r.format) << c.what;
    EXPECT_EQ(0, r.width) << c.what;
  }
}

TEST(TgaTest, Tga2FooterPointsAtAnExtensionArea) {
  Bytes b = Image(Header(1, 1, 32, 0x28), {P1});
  Bytes footer(26, 0);
  memcpy(&footer[8], "TRUEVISION-XFILE.", 18);
  footer[0] = (unsigned char)b.size();  // the extension area would start here
  Bytes withFooter = b;
  withFooter.insert(withFooter.end(), footer.begin(), footer.end());
  EXPECT_FALSE(Read(withFooter).ok) << "the extension area is missing";

  Bytes complete = b;
  complete.insert(complete.end(), 495, 0);
  footer[0] = (unsigned char)(b.size() & 0xff);
  footer[1] = (unsigned char)(b.size() >> 8);
  complete.insert(complete.end(), footer.begin(), footer.end());
  Result r = Read(complete);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ((std::vector<uint32_t>{P1}), r.pixels);

  footer[0] = footer[1] = 0;  // offset 0: no extension area
  withFooter = b;
  withFooter.insert(withFooter.end(), footer.begin(), footer.end());
  EXPECT_TRUE(Read(withFooter).ok);
}

TEST(TgaTest, WideBottomToTopImagesFlipWhole) {
  const int width = 3000;  // rows of 12000 bytes
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back((uint32_t)(y * 100000 + x));
  Result r = Read(Image(Header(width, 3, 32, 0x08), pixels));
  ASSERT_TRUE(r.ok);
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ((uint32_t)((2 - y) * 100000), r.pixels[y * width]);
    EXPECT_EQ((uint32_t)((2 - y) * 100000 + width - 1), r.pixels[y * width + width - 1]);
  }
}

TEST(TgaTest, WrittenImagesReadBack) {
  filetest::TempDir dir;
  std::string path = dir / "rgb.tga";
  const char pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  EBitmap source;
  ASSERT_TRUE(source.Init(2, 2, 1, pixels, true));
  EXPECT_EQ(24, source.Depth());
  EFile* out = EWin32File::Open(path.c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE);
  ETGAFile tga;
  ASSERT_TRUE(tga.WriteImage(out, &source));
  out->Close();

  EFile* in = EWin32File::Open(path.c_str(), FILE_READ);
  EBitmap back;
  ASSERT_TRUE(tga.ReadImage(in, &back));
  in->Close();
  EXPECT_EQ(2, back.Width());
  EXPECT_EQ(1, back.Format());
  EXPECT_EQ(0, memcmp(pixels, back.Buffer(), sizeof(pixels)));
}

TEST(BitmapTest, InitOwnsOrBorrows) {
  struct Depth {
    int format, bits;
  } depths[] = {{0, 32}, {1, 24}, {2, 16}, {3, 16}, {4, 0}, {5, 16}, {6, 8}, {7, 8}, {9, 0}, {-1, 0}};
  for (const Depth& d : depths) EXPECT_EQ(d.bits, EBitmap::DepthOfFormat(d.format)) << d.format;

  char glyphs[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EBitmap borrowed;
  ASSERT_TRUE(borrowed.Init(4, 2, 6, glyphs, false));
  EXPECT_EQ(glyphs, borrowed.Buffer());
  borrowed.Reset();  // never frees the glyphs
  EXPECT_EQ(EBitmap::kFORMAT_NONE, borrowed.Format());
  EXPECT_EQ(nullptr, borrowed.Buffer());

  EBitmap blank;
  ASSERT_TRUE(blank.Init(3, 3, 0, nullptr, false));
  EXPECT_EQ(0, blank.Buffer()[35]);

  EXPECT_EXIT(EBitmap().Init(0, 1, 0, nullptr, false), testing::ExitedWithCode(255), "Width > 0");
  EXPECT_EXIT(EBitmap().Init(1, 1, 4, nullptr, false), testing::ExitedWithCode(255), "depth");
  EXPECT_EXIT(EBitmap().Init(1, 1, (unsigned)-1, nullptr, false), testing::ExitedWithCode(255), "Format != NONE");
}

}  // namespace
