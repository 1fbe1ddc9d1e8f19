// Text drawn through the sprite and 3D-text managers: pen movement, shadows,
// tabs and line breaks, icons, menu boxes, text at world positions and 3D
// characters; the application's font list.
#include <SDL/SDL.h>
#include <SDL/SDL_opengl.h>

#include <cstdio>
#include <sys/stat.h>

#include "FontTestSupport.h"
#include "Game/Camera.h"
#include "Game/UIMenu.h"
#include "SpriteTestSupport.h"
#include "TWGraphics/Color.h"
#include "TWMath/Matrix.h"
#include "TWUtil/EBitmap.h"
#include "TWUtil/EFile.h"
#include "TWUtil/ETga.h"
#include "VERirezo/Font.h"

namespace {

class TextTest : public spritetest::SpriteFixture {
protected:
  void SetUp() override {
    spritetest::SpriteFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    MakeDir("fonts");
    WriteFile("fonts/Test_lin.twf", fonttest::MakeFontBytes());
  }
  void MakeDir(const std::string& rel) {
    std::string path = m_Dir;
    size_t start = 0;
    while (start < rel.size()) {
      size_t slash = rel.find('/', start);
      if (slash == std::string::npos) slash = rel.size();
      path += "/" + rel.substr(start, slash - start);
      mkdir(path.c_str(), 0755);
      start = slash + 1;
    }
  }
  void WriteFile(const std::string& rel, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen((m_Dir + "/" + rel).c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  // The icon list with icons of 32 x 32 pixels. The file manager reads
  // "WorkResource\..." names from the read paths without that folder.
  void WriteIcons(const std::string& list) {
    MakeDir("Textures/icons/UI_Icons");
    WriteFile("Textures/icons/UI_Icons/IconPrefsPC.ini", std::vector<uint8_t>(list.begin(), list.end()));
    EBitmap bitmap;
    bitmap.Init(32, 32, 0, nullptr, false);
    memset(bitmap.Buffer(), 0xFF, 32 * 32 * 4);
    EFile* f = EWin32File::Open((m_Dir + "/icon.tga").c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE);
    ASSERT_NE(nullptr, f);
    ETGAFile tga;
    ASSERT_TRUE(tga.WriteImage(f, &bitmap));
    f->Close();
  }
  EFont* Load() {
    unsigned id = m_pApp->LoadFont("fonts\\Test.twf");
    EXPECT_NE(0u, id);
    return m_pApp->GetFont(id);
  }
  int Count() { return m_pSprites->GetSpriteArray()->GetNumUsed(); }
  const ESprite& At(int slot) { return (*m_pSprites->GetSpriteArray())[slot]; }
  float Left(int slot) { return At(slot).m_avCorners[2].x; }
  float Top(int slot) { return At(slot).m_avCorners[2].y; }
};

TEST_F(TextTest, FontListNumbersFromOne) {
  EXPECT_EQ(0u, m_pApp->LoadFont("fonts\\Missing.twf"));
  std::vector<uint8_t> bad = fonttest::MakeFontBytes();
  bad[12 + 256 + 5 * 12] = 2;  // the pixel format of its five glyphs
  WriteFile("fonts/Bad_lin.twf", bad);
  EXPECT_EQ(0u, m_pApp->LoadFont("fonts\\Bad.twf"));
  EXPECT_EQ(0, m_pApp->m_lFonts.Num());
  for (unsigned i = 1; i <= 4; ++i) EXPECT_EQ(i, m_pApp->LoadFont("fonts\\Test.twf"));
  EFont* f = m_pApp->GetFont(4);
  ASSERT_NE(nullptr, f);
  EXPECT_EQ(nullptr, f->GetBitmap());  // freed once the texture is made
  EXPECT_NE(0u, m_pApp->GetGameTextureManager()->GetTextureHandle(f->GetTexture()));
  EXPECT_EQ(nullptr, m_pApp->GetFont(5));
  EXPECT_EQ(nullptr, m_pApp->GetFont(0));
}

TEST_F(TextTest, PenMovesAndReturnsItsOffset) {
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  // a: 6 + 3; blank 9; byte 160: 6.
  const char text[] = {'a', ' ', 'a', (char)160, 'a', 0};
  EXPECT_EQ(9 + 9 + 9 + 6 + 9, f->DisplayText2(100, 200, text, 0));
  ASSERT_EQ(3, Count());
  EXPECT_EQ(100, Left(0));
  EXPECT_EQ(200 - 8, Top(0));
  EXPECT_EQ(118, Left(1));
  EXPECT_EQ(133, Left(2));
  EXPECT_EQ(0.0f, f->DisplayText2(0, 0, nullptr, 0));

  struct Case {
    const char* text;
    float result;  // pen x - start x at the end
    float lastTop;
  };
  // A tab at offset 0 goes to trunc(mW x 4) = 40; CR LF and LF LF make one
  // break, CR CR two.
  const Case cases[] = {{"\ta", 49, 192}, {"a\ta", 49, 192}, {"a\r\na", 9, 222},
                        {"a\n\na", 9, 222}, {"a\r\ra", 9, 252}, {"a\n\ra", 9, 252}};
  for (const Case& c : cases) {
    m_pSprites->ResetFrame();
    EXPECT_EQ(c.result, f->DisplayText2(0, 200, c.text, 0)) << c.text;
    EXPECT_EQ(c.lastTop, Top(Count() - 1)) << c.text;
  }
}

TEST_F(TextTest, ShadowCentringFixedWidthAndClipping) {
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  const EVec2 scale(2, 2);
  f->DisplayText2(10, 100, "a", kFONTSTYLE_SHADOW, nullptr, nullptr, &scale, 7);
  ASSERT_EQ(2, Count());
  EXPECT_EQ(8u, At(0).m_dwLayer);
  EXPECT_EQ(7u, At(1).m_dwLayer);
  EXPECT_EQ(0xFF000000u, At(1).m_dwColor);
  EXPECT_EQ(Left(0) + 2.5f, Left(1));
  EXPECT_EQ(Top(0) - 2.0f, Top(1));

  // Centred: both lines start at the same x, from the wider line.
  m_pSprites->ResetFrame();
  f->DisplayText2(100, 100, "aaaa\na", kFONTSTYLE_CENTERED);
  EXPECT_EQ(100 - 18, Left(0));
  EXPECT_EQ(100 - 18, Left(4));

  // Fixed width: cells of mW = 10, glyphs centred in them.
  m_pSprites->ResetFrame();
  EXPECT_EQ(2 * 10 - 2 * 2, f->DisplayText2(0, 100, "aa", kFONTSTYLE_FIXED_WIDTH));
  EXPECT_EQ(2, Left(0));

  // Clipping stops at the first character that starts beyond the limit.
  m_pSprites->ResetFrame();
  EXPECT_EQ(27, f->DisplayText2(0, 100, "aaaaaa", 0, nullptr, nullptr, nullptr, 0, 20.0f));
  EXPECT_EQ(3, Count());
}

TEST_F(TextTest, IconsInText) {
  WriteIcons("NakedButton, icon.tga\nStart, icon.tga\n");
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  ASSERT_EQ(2u, f->GetIconCount());
  ASSERT_EQ(32u, f->GetIcon(1).m_dwWidth);

  // An icon: one sprite; the pen moves 2 x 16 + 2.3.
  EXPECT_FLOAT_EQ(9 + 34.3f, f->DisplayText2(0, 100, "a/start/", 0));
  EXPECT_EQ(2, Count());
  EXPECT_EQ(32u, f->m_dwLastIconWidth);

  // Hidden icons take their space and draw nothing.
  m_pSprites->ResetFrame();
  EXPECT_FLOAT_EQ(34.3f, f->DisplayText2(0, 100, "/Start/", kFONTSTYLE_HIDDEN_ICONS));
  EXPECT_EQ(0, Count());

  // A name that is no icon is drawn as characters, slashes included.
  m_pSprites->ResetFrame();
  f->DisplayText2(0, 100, "/no/", 0);
  EXPECT_EQ(4, Count());

  // A one-character token: the naked button and the character in black.
  m_pSprites->ResetFrame();
  const EVec4 white(1, 1, 1, 0.5f);
  f->DisplayText2(0, 100, "/x/", 0, &white, nullptr, nullptr, 3);
  ASSERT_EQ(2, Count());
  EXPECT_EQ(ColorVectorToRGBA(EVec4(0, 0, 0, 0.5f)), At(1).m_dwColor);
  EXPECT_EQ(4u, At(1).m_dwLayer);

  // A span longer than the name room is drawn as characters.
  m_pSprites->ResetFrame();
  std::string longSpan = "/" + std::string(300, 'q') + "/";
  f->DisplayText2(0, 100, longSpan.c_str(), 0, nullptr, nullptr, nullptr, 0, 30.0f);
  EXPECT_GT(Count(), 0);
}

TEST_F(TextTest, MenuBoxIsRegistered) {
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  GetMenuHitBoxes().Empty();
  EMenuBox box;
  const EVec2 scale(2, 2);
  f->DisplayText2(10, 100, "aM", 0, nullptr, nullptr, &scale, 0, 0.0f, false, nullptr, 0.0f, &box);
  ASSERT_EQ(1, GetMenuHitBoxes().Num());
  EXPECT_EQ(10, box.m_Box.vMin.x);
  EXPECT_EQ(100 - 10 * 2, box.m_Box.vMin.y);  // ascent scaled
  EXPECT_EQ(100 + 2, box.m_Box.vMax.y);       // descent not
  EXPECT_EQ(10 + 2 * (9 + 13), box.m_Box.vMax.x);
  GetMenuHitBoxes().Empty();
}

TEST_F(TextTest, TextAtWorldPositions) {
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  ECamera camera;
  camera.SetPosition(EVec3(0, 0, 0));
  camera.SetRotation(EVec3(-1, 0, 0), EVec3(0, 1, 0), EVec3(0, 0, 1));  // right-handed, looking down +z
  camera.SetFieldOfView(4.0f * atanf(0.75f) * 57.29578f);  // 90 degrees across the 640 x 480 screen
  camera.SetViewportNearZ(1e-4f);  // depth along the view, to the near plane's 1e-4
  camera.UpdateMatrices();
  m_pApp->m_aCameraChannels[0].m_pCamera = &camera;
  const EVec4 colour(1, 1, 1, 1);
  const EVec2 offset(0, 0);
  f->Display3dText(EVec3(0, 0, -5), "a", 1.0f, 100.0f, colour, offset, 0);
  f->Display3dText(EVec3(0, 0, 150), "a", 1.0f, 100.0f, colour, offset, 0);
  EXPECT_EQ(0, Count());
  f->Display3dText(EVec3(0, 0, 50), "a", 1.0f, 100.0f, colour, offset, 0);
  ASSERT_EQ(1, Count());
  // fade (1 - 0.5) x 0.8 + 0.2 = 0.6; scale 1000 / 50 = 20.
  EXPECT_EQ(ColorVectorToRGBA(EVec4(1, 1, 1, 0.6f)), At(0).m_dwColor);
  EXPECT_NEAR(6 * 20, At(0).m_avCorners[3].x - At(0).m_avCorners[2].x, 1e-3);
  m_pSprites->ResetFrame();
  f->Display3dText(EVec3(0, 0, 50), "a", 0.0f, 100.0f, EVec4(1, 1, 1, 0.3f), offset, 0);
  ASSERT_EQ(1, Count());
  EXPECT_EQ(0xFFFFFFFFu, At(0).m_dwColor);
  EXPECT_EQ(6, At(0).m_avCorners[3].x - At(0).m_avCorners[2].x);
  m_pApp->m_aCameraChannels[0].m_pCamera = nullptr;
}

TEST_F(TextTest, ThreeDCharacters) {
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  EText3DManager* t = m_pApp->m_pText3DManager;
  const HTEXTURE tex = Texture(64, 32);
  const EBox2 box(EVec2(0, 0), EVec2(0.25f, 0.5f));  // 16 x 16
  const EVec3 scale(2, 3, 1);
  t->AddChar(tex, 1, 2, 3, box, nullptr, nullptr, &scale);
  const EChar3D& c = (*t->GetCharArray())[0];
  EXPECT_EQ(1, c.m_avCorners[0].x);
  EXPECT_EQ(33, c.m_avCorners[1].x);
  EXPECT_EQ(50, c.m_avCorners[2].y);
  EXPECT_EQ(3, c.m_avCorners[3].z);
  // A matrix without an origin is not applied; an origin with no rotation
  // keeps the corners.
  EMat4 move;
  move.m[12] = 100;
  t->AddChar(tex, 1, 2, 3, box, nullptr, nullptr, nullptr, nullptr, &move);
  EXPECT_EQ(1, (*t->GetCharArray())[1].m_avCorners[0].x);
  const EVec3 origin(5, 5, 5);
  const EEuler none(0, 0, 0);
  t->AddChar(tex, 1, 2, 3, box, nullptr, &origin, nullptr, &none);
  EXPECT_NEAR(1, (*t->GetCharArray())[2].m_avCorners[0].x, 1e-5);
  t->AddChar(tex, 1, 2, 3, box, nullptr, &origin, nullptr, nullptr, &move);
  EXPECT_EQ(101, (*t->GetCharArray())[3].m_avCorners[0].x);
  // Colours outside 0..1 are clamped.
  const EVec4 bright(2, -1, 0.5f, 1);
  t->AddChar(tex, 0, 0, 0, box, &bright);
  EXPECT_EQ(ColorVectorToRGBA(EVec4(1, 0, 0.5f, 1)), (*t->GetCharArray())[4].m_dwColor);
  t->ResetFrame();

  // Text laid out as characters: 57 of one texture in one run (56 + 1).
  std::string text(57, 'a');
  f->Display3dTextOriented(0, 0, 10, text.c_str(), 0);
  EXPECT_EQ(57, t->GetCharArray()->GetNumUsed());
  t->AddChar(tex, 0, 0, 0, box);
  t->PreprocessAll();
  ASSERT_EQ(58, t->GetSortedCount());
  const EDataId* ids = t->GetSortList();
  const uint32_t first = t->GetCharArray()->ElementGet(ids[0])->m_hTexture;
  for (int i = 1; i < 57; ++i) EXPECT_EQ(first, t->GetCharArray()->ElementGet(ids[i])->m_hTexture);
  t->DrawAll();
  EXPECT_EQ(0, gfxtest::CountTraces("Skipping"));
  t->ResetFrame();
  f->Display3dTextOriented(0, 0, 10, "a", kFONTSTYLE_SHADOW);
  ASSERT_EQ(2, t->GetCharArray()->GetNumUsed());
  EXPECT_FLOAT_EQ(3.1f, (*t->GetCharArray())[1].m_avCorners[0].x);
  EXPECT_FLOAT_EQ(9.9f, (*t->GetCharArray())[1].m_avCorners[0].z);
}

TEST_F(TextTest, GlyphCoversItsRectangleOnScreen) {
  EFont* f = Load();
  ASSERT_NE(nullptr, f);
  auto clearColor = reinterpret_cast<void (*)(GLclampf, GLclampf, GLclampf, GLclampf)>(
      SDL_GL_GetProcAddress("glClearColor"));
  auto clear = reinterpret_cast<void (*)(GLbitfield)>(SDL_GL_GetProcAddress("glClear"));
  auto readPixels = reinterpret_cast<void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*)>(
      SDL_GL_GetProcAddress("glReadPixels"));
  clearColor(0, 0, 0, 1);
  clear(GL_COLOR_BUFFER_BIT);
  const EVec4 green(0, 1, 0, 1);
  f->DisplayText2(100, 100, "a", 0, &green);  // 6 x 10 glyph, top at 92
  m_pSprites->PreprocessAll();
  m_pSprites->DrawAll();
  auto px = [&](int x, int y) {
    unsigned char p[4];
    readPixels(x, 479 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (uint32_t)p[0] << 16 | (uint32_t)p[1] << 8 | p[2];
  };
  for (int y = 92; y < 102; ++y)
    for (int x = 100; x < 106; ++x) ASSERT_EQ(0x00FF00u, px(x, y)) << x << ", " << y;
  EXPECT_EQ(0u, px(99, 95));
  EXPECT_EQ(0u, px(106, 95));
  EXPECT_EQ(0u, px(102, 91));
  EXPECT_EQ(0u, px(102, 102));
}

}  // namespace
