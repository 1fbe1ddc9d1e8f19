// Bitmap fonts: the ".twf" reader, the icon list and the measures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "FontTestSupport.h"
#include "TWGraphics/tests/GraphicsTestSupport.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "VERirezo/Font.h"

namespace {

using fonttest::MakeFontBytes;

class FontTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_Font.LoadFromMemory(m_Bytes.data(), m_Bytes.size()));
    gfxtest::StartTraces();
  }
  void TearDown() override { gfxtest::StopTraces(); }
  void Icons(const char* text) { m_Font.ParseIconList(text, strlen(text)); }

  std::vector<uint8_t> m_Bytes = MakeFontBytes();
  EFont m_Font;
};

// A font written byte by byte: 2 glyphs, map entries 'A' -> 1, 'B' -> 7
// (beyond the table), every other code -> 0.
std::vector<uint8_t> HandBuiltFont(uint32_t format, uint32_t count = 2, uint32_t magic = kTWF_MAGIC) {
  std::vector<uint8_t> b(12 + 256 + 24 + 12);
  PutLE32(&b[0], magic);
  PutLE32(&b[4], 77);
  PutLE32(&b[8], count);
  b[12 + 'A'] = 1;
  b[12 + 'B'] = 7;
  const uint16_t rects[2][4] = {{0, 0, 1, 2}, {1, 0, 2, 2}};
  const int32_t baselines[2] = {2, -1};
  for (int g = 0; g < 2; ++g) {
    for (int k = 0; k < 4; ++k) PutLE16(&b[268 + g * 12 + k * 2], rects[g][k]);
    PutLE32(&b[268 + g * 12 + 8], (uint32_t)baselines[g]);
  }
  PutLE32(&b[292], format);
  PutLE32(&b[296], 0x10002);  // width 2 (low 16 bits)
  PutLE32(&b[300], 2);
  const uint8_t alpha[4] = {0xAA, 0x00, 0x01, 0xFF};
  if (format == 3) {
    b.insert(b.end(), alpha, alpha + 4);
  } else {
    for (int i = 0; i < 4; ++i) {
      const uint8_t px[4] = {(uint8_t)(i + 1), 0x20, 0x30, alpha[i]};  // B G R A
      b.insert(b.end(), px, px + 4);
    }
  }
  return b;
}

TEST(FontReader, HandBuiltFontLoadsRectanglesBaselinesMapAndPixels) {
  for (uint32_t format : {0u, 1u, 3u}) {
    SCOPED_TRACE(format);
    std::vector<uint8_t> b = HandBuiltFont(format);
    EFont f;
    ASSERT_TRUE(f.LoadFromMemory(b.data(), b.size()));
    EXPECT_EQ(2, f.GetGlyphCount());
    EXPECT_EQ(0, f.GetFormat());
    unsigned w = 0, h = 0;
    f.GetDims(w, h);
    EXPECT_EQ(2u, w);
    EXPECT_EQ(2u, h);
    ERect a = f.GetCharRects('A');
    EXPECT_EQ(1, a.left);
    EXPECT_EQ(2, a.right);
    EXPECT_EQ(2, a.bottom);
    EXPECT_EQ(-1, f.GetBaseline('A'));
    EXPECT_EQ(2, f.GetBaseline('z'));
    // An entry beyond the glyph table reads glyph 0.
    EXPECT_EQ(0, f.GetCharRects('B').left);
    EXPECT_EQ(2, f.GetBaseline('B'));
    const uint32_t* px = f.GetBitmap();
    if (format == 3) {
      EXPECT_EQ(0xAAFFFFFFu, px[0]);
      EXPECT_EQ(0x00FFFFFFu, px[1]);
      EXPECT_EQ(0xFFFFFFFFu, px[3]);
    } else {
      EXPECT_EQ(0xAA302001u, px[0]);
      EXPECT_EQ(0xFF302004u, px[3]);
    }
  }
}

TEST(FontReader, DamagedFilesAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"wrong magic", HandBuiltFont(0, 2, 0x46465754u)},
      {"no glyphs", HandBuiltFont(0, 0)},
      {"pixel format 2", HandBuiltFont(2)},
      {"pixel format 4", HandBuiltFont(4)},
      {"empty", {}},
  };
  std::vector<uint8_t> full = HandBuiltFont(0);
  for (size_t cut : {size_t(3), size_t(100), size_t(280), size_t(300), full.size() - 1})
    cases.push_back({"short", std::vector<uint8_t>(full.begin(), full.begin() + (long)cut)});
  std::vector<uint8_t> huge = HandBuiltFont(0, 0x40000000u);
  cases.push_back({"glyph count beyond the file", huge});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EFont f;
    EXPECT_FALSE(f.LoadFromMemory(c.bytes.data(), c.bytes.size()));
    EXPECT_EQ(nullptr, f.GetBitmap());
    EXPECT_EQ(0, f.GetGlyphCount());
  }
}

TEST_F(FontTest, MeasuresText) {
  Icons("NakedButton, a.tga\nStartKey, b.tga\n");
  // M is 10 wide: icon width w = 11, 16 + trunc(121 / 32) = 19.
  struct Case {
    const char* text;
    unsigned width;
  };
  const Case cases[] = {
      {"", 0},
      {"\t", 36},
      {" ", 9},
      {"ab", 18},                   // (6 + 3) each
      {"abc\r\nab", 27},            // one break; the widest line wins
      {"ab\r\nabcd", 36},           // the last line counts too
      {"ab\n\nabcd", 36},
      {"a/b", 9 + 6 + 9},           // a slash that opens nothing: 4 + 2
      {"/StartKey/", 19},
      {"/STARTKEY/x", 19 + 9},      // a token in capitals matches
      {"/nothing/", 6 + 7 * 9 + 6},
      {"m", 13},
  };
  for (const Case& c : cases) EXPECT_EQ(c.width, m_Font.TextLength(c.text)) << '"' << c.text << '"';
  EXPECT_EQ(0u, m_Font.TextLength(nullptr));
}

TEST_F(FontTest, StringHeightTakesLargestAscentAndDescent) {
  int ascent = -1, descent = -1;
  EXPECT_EQ(0.0f, m_Font.GetStringHeight("", ascent, descent));
  EXPECT_EQ(0, ascent);
  EXPECT_EQ(0, descent);
  EXPECT_EQ(12.0f, m_Font.GetStringHeight("aM", ascent, descent));  // 10 up from M, 2 down from a
  EXPECT_EQ(10, ascent);
  EXPECT_EQ(2, descent);
}

TEST_F(FontTest, SetUVInBothForms) {
  float ul, vt, ur, vb;
  unsigned base, adv;
  m_Font.SetUV('m', ul, vt, ur, vb, base, adv);
  EXPECT_FLOAT_EQ(20.0f / 64, ul);
  EXPECT_FLOAT_EQ(1.0f, vt);
  EXPECT_FLOAT_EQ(30.0f / 64, ur);
  EXPECT_FLOAT_EQ(1.0f - 10.0f / 32, vb);
  EXPECT_EQ(8u, base);
  EXPECT_EQ(13u, adv);
  int16_t s[4];
  m_Font.SetUV('m', s[0], s[1], s[2], s[3], base, adv);
  EXPECT_EQ(10240, s[0]);  // 0.3125 x 32767 = 10239.69 -> 10240
  EXPECT_EQ(32767, s[1]);
  EXPECT_EQ(15360, s[2]);  // 0.46875 x 32767 = 15359.53 -> 15360
  EXPECT_EQ(22527, s[3]);  // 0.6875 x 32767 = 22527.31
  // A half rounds away from zero: u = 1 / 2 of 32767 is 16383.5.
  std::vector<ETwfGlyph> g = {{1, 0, 2, 2, 0}};
  uint8_t map[256] = {};
  std::vector<uint32_t> px(4, 0);
  std::vector<uint8_t> b = TwfWrite(map, g, 0, 2, 2, px.data());
  EFont half;
  ASSERT_TRUE(half.LoadFromMemory(b.data(), b.size()));
  half.SetUV('x', s[0], s[1], s[2], s[3], base, adv);
  EXPECT_EQ(16384, s[0]);
}

TEST_F(FontTest, IconListAndTokens) {
  Icons("\r\nNakedButton,, a.tga\r\n\r\n\nStartKey , b.tga,ignored\n\nLast,c.tga");
  ASSERT_EQ(3u, m_Font.GetIconCount());
  EXPECT_STREQ("StartKey ", m_Font.GetIcon(1).m_szName);
  EXPECT_TRUE(m_Font.isStringInIconList("nakedbutton"));
  EXPECT_TRUE(m_Font.FindIconInString("press /LAST/ now"));
  EXPECT_FALSE(m_Font.FindIconInString("press /Lost/ now"));
  EXPECT_FALSE(m_Font.FindIconInString("press /Last"));
  EXPECT_TRUE(m_Font.slashIsIcon("a /last/", 2));
  EXPECT_FALSE(m_Font.slashIsIcon("a /last/", 1));
  EXPECT_FALSE(m_Font.slashIsIcon("a /last/", 40));

  // A line without a path ends the list.
  Icons("One, a.tga\nBroken\nTwo, b.tga\n");
  EXPECT_EQ(1u, m_Font.GetIconCount());

  // A name longer than the candidate room is no icon.
  std::string longName(150, 'x');
  Icons((longName + ", a.tga\n").c_str());
  ASSERT_EQ(1u, m_Font.GetIconCount());
  EXPECT_FALSE(m_Font.FindIconInString(("/" + longName + "/").c_str()));
  std::string text = "/" + longName + "/";
  EXPECT_EQ(6u + 150 * 9 + 6, m_Font.TextLength(text.c_str()));
}

TEST(FontLongIcon, NamesThatMakeALongIconText) {
  EXPECT_TRUE(IsLongIcon("get /OneUp/"));
  EXPECT_TRUE(IsLongIcon("MaxLivesUp"));
  EXPECT_TRUE(IsLongIcon("x MapHighlightMark"));
  EXPECT_FALSE(IsLongIcon("oneup"));
  EXPECT_FALSE(IsLongIcon(nullptr));
}

TEST_F(FontTest, WordWrap) {
  EArray<EString> lines;
  // Width 40: "abcd " is 4 x 9 + 9 = 45.
  float widest = m_Font.WordWrap("abc abc abc", 40.0f, lines, 1.0f);
  ASSERT_EQ(3, lines.Num());
  EXPECT_STREQ("abc ", *lines[0]);
  EXPECT_STREQ("abc", *lines[2]);
  EXPECT_EQ(36.0f, widest);

  // Appended, and the widest line of the whole array comes back.
  widest = m_Font.WordWrap("ab", 40.0f, lines, 1.0f);
  EXPECT_EQ(4, lines.Num());
  EXPECT_EQ(36.0f, widest);
  EXPECT_EQ(36.0f, m_Font.WordWrap("", 40.0f, lines, 1.0f));
  EXPECT_EQ(4, lines.Num());

  // Width 0 or less makes no progress: nothing appended.
  EXPECT_EQ(36.0f, m_Font.WordWrap("abc", 0.0f, lines, 1.0f));
  EXPECT_EQ(36.0f, m_Font.WordWrap("abc", -5.0f, lines, 1.0f));
  EXPECT_EQ(4, lines.Num());

  // An over-long word is cut where the width runs out.
  EArray<EString> cut;
  m_Font.WordWrap("abcdefghij", 30.0f, cut, 1.0f);
  ASSERT_GE(cut.Num(), 2);
  EXPECT_STREQ("abcd", *cut[0]);

  // A hyphenated word breaks after the hyphen, which stays on the first line.
  EArray<EString> hyphen;
  m_Font.WordWrap("ab-cdef", 40.0f, hyphen, 1.0f);
  ASSERT_EQ(2, hyphen.Num());
  EXPECT_STREQ("ab-", *hyphen[0]);
  EXPECT_STREQ("cdef", *hyphen[1]);

  // A line feed ends a line and becomes a blank.
  EArray<EString> lf;
  m_Font.WordWrap("ab\ncd", 400.0f, lf, 1.0f);
  ASSERT_EQ(2, lf.Num());
  EXPECT_STREQ("ab ", *lf[0]);
  EXPECT_STREQ("cd", *lf[1]);
}

TEST_F(FontTest, WordWrapOfLongTexts) {
  // Lines of any width are built whole (no fixed line buffer).
  std::string text(400, 'a');
  EArray<EString> lines;
  m_Font.WordWrap(text.c_str(), 100000.0f, lines, 1.0f);
  ASSERT_EQ(1, lines.Num());
  EXPECT_EQ(400, lines[0].Length());
  EXPECT_EQ(0, gfxtest::CountTraces("Text too long"));

  std::string longer(620, 'b');
  EArray<EString> cut;
  m_Font.WordWrap(longer.c_str(), 100000.0f, cut, 1.0f);
  ASSERT_EQ(1, cut.Num());
  EXPECT_EQ(499, cut[0].Length());
  EXPECT_EQ(1, gfxtest::CountTraces("Text too long for wordwrap buffer: 620 characters"));
}

class FontFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/fontfileXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    gFile->AddReadPath(m_Dir.c_str(), true);
    gfxtest::StartTraces();
  }
  void TearDown() override {
    gfxtest::StopTraces();
    if (!m_Dir.empty()) system(("rm -rf " + m_Dir).c_str());
  }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = m_Dir + "/" + name;
    mkdir((m_Dir + "/fonts").c_str(), 0755);
    mkdir((m_Dir + "/my.dir").c_str(), 0755);
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  std::string m_Dir;
};

TEST_F(FontFileTest, OpensTheLinFileAndSplitsAtTheLastDot) {
  Write("fonts/Main_lin.twf", MakeFontBytes());
  EFont f;
  ASSERT_TRUE(f.Load("fonts\\Main.twf"));
  EXPECT_STREQ("fonts\\Main_lin.twf", f.GetFilename());
  EXPECT_EQ(1, gfxtest::CountTraces("Error could not load icon prefs file"));
  EXPECT_EQ(0u, f.GetIconCount());

  Write("my.dir/Font_lin.twf", MakeFontBytes(3));
  EFont g;
  EXPECT_TRUE(g.Load("my.dir/Font.twf"));

  EFont missing;
  EXPECT_FALSE(missing.Load("fonts\\Main_lin.twf"));
  std::vector<uint8_t> bad = MakeFontBytes();
  bad.resize(bad.size() - 1);
  Write("fonts/Short_lin.twf", bad);
  EFont shortFont;
  EXPECT_FALSE(shortFont.Load("fonts\\Short.twf"));
  EXPECT_EQ(nullptr, shortFont.GetFilename());
}

#ifdef QUILLOMAR_MKTWF
// mktwf makes a font from a TGA grid of cells; it loads with the glyph
// rectangles trimmed to the cells' non-zero alpha.
TEST_F(FontFileTest, FontsFromMktwfLoad) {
  // 32 x 16 image, 16 x 16 cells: code 65 has alpha at x 2..5, y 3..12.
  std::vector<uint8_t> tga(18 + 32 * 16 * 4, 0);
  tga[2] = 2;
  PutLE16(&tga[12], 32);
  PutLE16(&tga[14], 16);
  tga[16] = 32;
  tga[17] = 0x28;  // top row first, 8 alpha bits
  for (int y = 3; y <= 12; ++y)
    for (int x = 2; x <= 5; ++x) tga[18 + (y * 32 + x) * 4 + 3] = 0x80;
  Write("grid.tga", tga);
  for (int format : {0, 3}) {
    SCOPED_TRACE(format);
    const std::string out = m_Dir + "/fonts/Grid_lin.twf";
    const std::string cmd = std::string(QUILLOMAR_MKTWF) + " -cell 16x16 -first 65 -baseline 10 -format " +
                            std::to_string(format) + " " + m_Dir + "/grid.tga " + out + " > /dev/null";
    ASSERT_EQ(0, system(cmd.c_str()));
    EFont f;
    ASSERT_TRUE(f.Load("fonts\\Grid.twf"));
    EXPECT_EQ(2, f.GetGlyphCount());
    ERect r = f.GetCharRects('A');
    EXPECT_EQ(2, r.left);
    EXPECT_EQ(3, r.top);
    EXPECT_EQ(6, r.right);
    EXPECT_EQ(13, r.bottom);
    EXPECT_EQ(7, f.GetBaseline('A'));
    EXPECT_EQ(16, f.GetCharRects('B').left);  // the empty second cell
    EXPECT_EQ(format == 3 ? 0x80FFFFFFu : 0x80000000u, f.GetBitmap()[3 * 32 + 2]);
  }
}
#endif

}  // namespace
