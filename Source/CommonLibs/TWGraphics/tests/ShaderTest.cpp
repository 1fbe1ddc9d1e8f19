// Shaders assembled from Direct3D shader assembly, translated, cached on
// disk and drawn; their constants; what happens to shaders that fail.
#include <gtest/gtest.h>

#include <mojoshader.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "Game/PCGameApp.h"
#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"
#include "TWGraphics/Shader.h"
#include "TWGraphics/Vertex.h"
#include "TWUtil/BitArray.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/tests/FileTestSupport.h"

namespace {

std::vector<std::string> s_traces;
void CollectTrace(const char* text) {
  s_traces.push_back(text);
  if (getenv("SHADER_TEST_TRACES")) fprintf(stderr, "trace: %s\n", text);
}
int CountTraces(const std::string& needle) {
  int n = 0;
  for (const std::string& t : s_traces) n += t.find(needle) != std::string::npos;
  return n;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteText(const std::string& path, const std::string& text) {
  size_t slash = path.rfind('/');
  filetest::MakeDirs(path.substr(0, slash));
  std::ofstream(path, std::ios::binary) << text;
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string CacheName(const std::string& keyText, const char* extension) {
  unsigned h0 = HashString(keyText.c_str(), 0x811c9dc5u);
  unsigned h1 = HashString(keyText.c_str(), h0);
  unsigned h2 = HashString(keyText.c_str(), h1);
  unsigned h3 = HashString(keyText.c_str(), h2);
  char name[64];
  snprintf(name, sizeof(name), "vs_%08x%08x%08x%08x.%s", h0, h1, h2, h3, extension);
  return name;
}

const int kSize = 32;
const VBFORMAT kPositionColour[] = {kVBFORMAT_POSITION_COLOR, kVBFORMAT_END};

// The hand-worked example: "a" from seed 0. FNV step (0 ^ 0x61) x 16777619
// = 0x610098b3; then += << 13 gives 0x7416f8b3, ^= >> 7 0x74fed542, += << 3
// 0x1cf57f52, ^= >> 17 0x1cf57128, += << 5 0xbba39628.
TEST(HashString, KnownAnswers) {
  struct Case {
    const char* text;
    unsigned seed, expected;
  } cases[] = {
      {"a", 0u, 0xbba39628u},
      {"", 0x811c9dc5u, 0x5902879eu},  // the mixing steps alone
      {"a", 0x811c9dc5u, 0xd94aa0cfu},
      {"vs_2_0\n", 0x811c9dc5u, 0x416070cbu},
      {"\xff\x80", 0u, 0x21a4e37bu},  // bytes above 127 count as unsigned
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, HashString(c.text, c.seed)) << '"' << c.text << '"';
  // Each key word seeds the next.
  unsigned h0 = HashString("vs_1_1\n", 0x811c9dc5u);
  EXPECT_EQ(0xb7e07ff5u, h0);
  EXPECT_EQ(0x75e4a05bu, HashString("vs_1_1\n", h0));
}

TEST(ShaderConstantsDeathTest, RegistersOutsideTheCachesAreFatal) {
  ERenderer r;
  r.m_DeviceSupport.m_nVertexShaderConstants = 16384;
  EVec4 v[4] = {};
  // Eight pixel registers: c5 to c8 does not fit.
  EXPECT_DEATH(r.SetPixelShaderConstant(5, v, 4), "iRegister");
  EXPECT_DEATH(r.SetPixelShaderConstant(-1, v, 1), "iRegister");
  // The vertex cache has 257 registers, whatever the device allows.
  EXPECT_DEATH(r.SetVertexShaderConstant(256, v, 2), "iRegister");
  // And no more than the device allows.
  r.m_DeviceSupport.m_nVertexShaderConstants = 96;
  EXPECT_DEATH(r.SetVertexShaderConstant(95, v, 2), "iRegister");
}

// A renderer with a shader folder and a file manager over a fresh temporary
// working directory.
class Shaders : public rtest::RendererFixture {
protected:
  Shaders() : m_env("XDG_DATA_HOME", (m_dir / "xdg").c_str()), m_cwd(m_dir.path()) {}

  void SetUp() override {
    rtest::RendererFixture::SetUp();
    if (IsSkipped()) return;
    filetest::MakeDirs(m_dir / "Workresource/VertexShaders");
    filetest::MakeDirs(m_dir / "Workresource/PixelShaders");
    m_pManager = new EFileManager;
    m_pManager->AddReadPath("Workresource", false);
    m_pManager->SetWritePath("Workresource");
    gFile = m_pManager;
    s_traces.clear();
    g_ErrorManager.SetConsoleCallback(CollectTrace);
    ASSERT_TRUE(Start(kSize, kSize));
  }

  void TearDown() override {
    if (m_pRenderer) {
      for (uint32_t h : m_vs) m_pRenderer->DeleteVertexShader(h);
      for (uint32_t h : m_ps) m_pRenderer->DeletePixelShader(h);
    }
    rtest::RendererFixture::TearDown();
    g_ErrorManager.SetConsoleCallback(nullptr);
    gFile = &gFile_twutil;
    delete m_pManager;
  }

  std::string VSDir() const { return m_dir / "Workresource/VertexShaders"; }
  std::string CacheDir() const { return m_dir / "Workresource/VertexShaders/cache"; }

  // The combined text the renderer assembles for these formats.
  std::string Combined(const std::string& version, const VBFORMAT* formats, const std::string& source) {
    std::string text = version;
    for (const VBFORMAT* f = formats; *f != kVBFORMAT_END; ++f)
      for (const char* const* line = GetVertexDeclaration(*f); line && *line; ++line) text += std::string(*line) + "\n";
    return text + source;
  }

  uint32_t Vertex(const std::string& source, const VBFORMAT* formats = kPositionColour, const char* name = "test.vsh") {
    uint32_t h = m_pRenderer->AssembleVertexShader(source.c_str(), (unsigned)source.size(), name, formats, 0);
    if (h) m_vs.push_back(h);
    return h;
  }

  uint32_t Pixel(const std::string& source, const char* name = "test.psh") {
    uint32_t h = m_pRenderer->AssemblePixelShader(source.c_str(), (unsigned)source.size(), name, 0);
    if (h) m_ps.push_back(h);
    return h;
  }

  // A colour-passing pixel shader read from the fixture folder.
  uint32_t PassColourPixelShader() {
    WriteText(m_dir / "Workresource/PixelShaders/PassColour.psh", "ps_1_1\nmov r0, v0\n");
    return Pixel(ReadText(m_dir / "Workresource/PixelShaders/PassColour.psh"), "PassColour.psh");
  }

  // Draws a quad over the whole window through the shaders and reads the
  // middle pixel.
  void Draw(uint32_t vs, uint32_t ps, unsigned char rgba[4]) {
    m_pRenderer->BeginRender();
    SetFlatState();
    m_Draw.ClearColor(0, 0, 0, 0);
    m_Draw.Clear(GL_COLOR_BUFFER_BIT);
    struct PC {
      float x, y, z;
      uint32_t bgra;
    };
    uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 4, 0, "Quad");
    PC* v = static_cast<PC*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
    v[0] = {-1, -1, 0, 0xFFFFFFFFu};
    v[1] = {1, -1, 0, 0xFFFFFFFFu};
    v[2] = {-1, 1, 0, 0xFFFFFFFFu};
    v[3] = {1, 1, 0, 0xFFFFFFFFu};
    m_pRenderer->UnlockVertexBuffer(vb);
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLESTRIP, 4, 0);
    m_Draw.Pixel(kSize / 2, kSize / 2, rgba);
    m_pRenderer->DeleteVertexBuffer(vb);
    m_pRenderer->EndRender();
  }

  void ExpectColour(uint32_t vs, uint32_t ps, int r, int g, int b) {
    unsigned char px[4];
    Draw(vs, ps, px);
    EXPECT_NEAR(r, px[0], 2);
    EXPECT_NEAR(g, px[1], 2);
    EXPECT_NEAR(b, px[2], 2);
  }

  void SetVS(int reg, float x, float y, float z, float w) {
    EVec4 v(x, y, z, w);
    m_pRenderer->SetVertexShaderConstant(reg, &v, 1);
  }

  // The model-to-clip matrix of the error shader's placement.
  void IdentityTransform() {
    const EVec4 rows[4] = {EVec4(1, 0, 0, 0), EVec4(0, 1, 0, 0), EVec4(0, 0, 1, 0), EVec4(0, 0, 0, 1)};
    m_pRenderer->SetVertexShaderConstant(6, rows, 4);
  }

  filetest::TempDir m_dir;
  filetest::ScopedEnv m_env;
  filetest::ScopedChdir m_cwd;
  EFileManager* m_pManager = nullptr;
  std::vector<uint32_t> m_vs, m_ps;
};

TEST_F(Shaders, TheChosenProfileDraws) {
  ASSERT_NE(nullptr, m_pRenderer->GetGLRenderer()->GetMojoShaderProfile());
  std::string profile = m_pRenderer->GetGLRenderer()->GetMojoShaderProfile();
  // SPIR-V loses inputs and crashes the software driver; it is passed over.
  EXPECT_NE("glspirv", profile);
  EXPECT_GE(MOJOSHADER_maxShaderModel(profile.c_str()), 2);
  EXPECT_GE(m_pRenderer->GetDeviceSupport().m_dwVertexShaderVersion, 0x200u);
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, v2\n");
  ASSERT_NE(0u, vs);
  uint32_t ps = PassColourPixelShader();
  ASSERT_NE(0u, ps);
  ExpectColour(vs, ps, 255, 255, 255);
}

TEST_F(Shaders, AForcedProfileIsUsed) {
  Stop();
  GForceMojoShaderProfile = "arb1";
  bool started = Start(kSize, kSize);
  GForceMojoShaderProfile = nullptr;
  ASSERT_TRUE(started);
  EXPECT_STREQ("arb1", m_pRenderer->GetGLRenderer()->GetMojoShaderProfile());
  EXPECT_EQ(1, CountTraces("...but forcing MojoShader profile 'arb1' at user request."));
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, c20\n");
  ASSERT_NE(0u, vs);
  SetVS(20, 0.0f, 1.0f, 1.0f, 1.0f);
  ExpectColour(vs, PassColourPixelShader(), 0, 255, 255);
}

TEST_F(Shaders, AVertexShaderIsCachedUnderItsKeyAndReusedOnTheNextRun) {
  WriteText(VSDir() + "/Colour.vsh", "mov oPos, v0\nmov oD0, c20\n");
  const std::string source = ReadText(VSDir() + "/Colour.vsh");
  uint32_t vs = Vertex(source, kPositionColour, "Colour.vsh");
  ASSERT_NE(0u, vs);
  uint32_t ps = PassColourPixelShader();
  SetVS(20, 0.0f, 1.0f, 0.0f, 1.0f);
  ExpectColour(vs, ps, 0, 255, 0);

  const std::string combined = Combined("vs_2_0\n", kPositionColour, source);
  const std::string vpo = CacheDir() + "/" + CacheName(combined, "vpo");
  const std::string vsh = CacheDir() + "/" + CacheName(combined, "vsh");
  ASSERT_TRUE(FileExists(vpo)) << vpo;
  // The .vsh holds exactly the text that was assembled.
  EXPECT_EQ(combined, ReadText(vsh));
  const std::string byteCode = ReadText(vpo);
  EXPECT_EQ(1, CountTraces("Building VS cache"));

  // The next run finds the entry and does not assemble again.
  uint32_t again = Vertex(source, kPositionColour, "Colour.vsh");
  ASSERT_NE(0u, again);
  EXPECT_EQ(1, CountTraces("Building VS cache"));
  EXPECT_EQ(byteCode, ReadText(vpo));
  SetVS(20, 0.0f, 0.0f, 1.0f, 1.0f);
  ExpectColour(again, ps, 0, 0, 255);
}

TEST_F(Shaders, TheKeyCoversVersionFormatsAndIncludedFiles) {
  const std::string source = "mov oPos, v0\nmov oD0, v2\n";
  const VBFORMAT withTexcoord[] = {kVBFORMAT_POSITION_COLOR_TEXCOORD0, kVBFORMAT_END};
  ASSERT_NE(0u, Vertex(source));
  ASSERT_NE(0u, Vertex(source, withTexcoord));
  // A device of shader version 1 gets the vs_1_1 line, another key.
  m_pRenderer->m_DeviceSupport.m_dwVertexShaderVersion = 0x100;
  ASSERT_NE(0u, Vertex(source));
  EXPECT_EQ(3, CountTraces("Building VS cache"));
  EXPECT_TRUE(FileExists(CacheDir() + "/" + CacheName(Combined("vs_1_1\n", kPositionColour, source), "vpo")));
  EXPECT_TRUE(FileExists(CacheDir() + "/" + CacheName(Combined("vs_2_0\n", withTexcoord, source), "vpo")));
}

TEST_F(Shaders, AChangedIncludedFileBuildsANewEntry) {
  // Leading parent steps are stripped: the file is looked up in the
  // vertex-shader folder itself.
  WriteText(VSDir() + "/Tint.inc", "mov oD0, c21\n");
  const std::string source = "#include \"..\\..\\Tint.inc\"\nmov oPos, v0\n";
  uint32_t ps = PassColourPixelShader();
  uint32_t first = Vertex(source);
  ASSERT_NE(0u, first);
  SetVS(21, 1.0f, 0.0f, 0.0f, 1.0f);
  SetVS(22, 0.0f, 0.0f, 1.0f, 1.0f);
  ExpectColour(first, ps, 255, 0, 0);

  const std::string combined = Combined("vs_2_0\n", kPositionColour, source);
  EXPECT_TRUE(FileExists(CacheDir() + "/" + CacheName(combined + "\nmov oD0, c21\n", "vpo")));

  WriteText(VSDir() + "/Tint.inc", "mov oD0, c22\n");
  uint32_t second = Vertex(source);
  ASSERT_NE(0u, second);
  EXPECT_EQ(2, CountTraces("Building VS cache"));
  ExpectColour(second, ps, 0, 0, 255);
}

TEST_F(Shaders, ADamagedCacheEntryIsBuiltAgain) {
  const std::string source = "mov oPos, v0\nmov oD0, c20\n";
  const std::string vpo = CacheDir() + "/" + CacheName(Combined("vs_2_0\n", kPositionColour, source), "vpo");
  uint32_t ps = PassColourPixelShader();
  ASSERT_NE(0u, Vertex(source));
  const std::string good = ReadText(vpo);
  ASSERT_GT(good.size(), 8u);
  SetVS(20, 1.0f, 1.0f, 0.0f, 1.0f);

  const std::string damaged[] = {
      good.substr(0, good.size() - 6),              // cut short
      std::string("\x01\x01\xfe\xff", 4) + good.substr(4),  // another version
      good.substr(0, 8) + std::string(good.size() - 12, '\xee') + good.substr(good.size() - 4),  // garbage inside
  };
  int builds = 1;
  for (const std::string& bad : damaged) {
    WriteText(vpo, bad);
    uint32_t vs = Vertex(source);
    ASSERT_NE(0u, vs);
    EXPECT_EQ(++builds, CountTraces("Building VS cache"));
    EXPECT_EQ(good, ReadText(vpo));
    ExpectColour(vs, ps, 255, 255, 0);
  }
}

TEST_F(Shaders, AVs11ShaderDrawsOnAShaderModel1Device) {
  m_pRenderer->m_DeviceSupport.m_dwVertexShaderVersion = 0x100;
  WriteText(VSDir() + "/Old.vsh", "#ifdef _VS_1_1\nmov oPos, v0\nmov oD0, c20\n#endif\n");
  uint32_t vs = Vertex(ReadText(VSDir() + "/Old.vsh"));
  ASSERT_NE(0u, vs);
  EXPECT_EQ(0, CountTraces("error shader"));
  SetVS(20, 0.0f, 1.0f, 1.0f, 1.0f);
  ExpectColour(vs, PassColourPixelShader(), 0, 255, 255);
}

TEST_F(Shaders, ConstantsUpToC191FormOneIndexableArray) {
  // A joint index from c4 picks a register of the skinning range.
  uint32_t vs = Vertex("mova a0.x, c4.x\nmov oPos, v0\nmov oD0, c[a0.x + 96]\n");
  ASSERT_NE(0u, vs);
  EXPECT_EQ(0, CountTraces("error shader"));
  uint32_t ps = PassColourPixelShader();
  SetVS(96, 1.0f, 0.0f, 0.0f, 1.0f);
  SetVS(98, 0.0f, 1.0f, 0.0f, 1.0f);
  SetVS(191, 0.0f, 0.0f, 1.0f, 1.0f);
  SetVS(4, 2.0f, 0.0f, 0.0f, 0.0f);
  ExpectColour(vs, ps, 0, 255, 0);
  SetVS(4, 95.0f, 0.0f, 0.0f, 0.0f);
  ExpectColour(vs, ps, 0, 0, 255);
}

TEST_F(Shaders, PixelShadersOfVersion1And2ReadTheirConstants) {
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, v2\n");
  WriteText(m_dir / "Workresource/PixelShaders/Const1.psh", "ps_1_1\nmov r0, c3\n");
  WriteText(m_dir / "Workresource/PixelShaders/Const2.psh", "ps_2_0\nmov oC0, c7\n");
  uint32_t ps1 = Pixel(ReadText(m_dir / "Workresource/PixelShaders/Const1.psh"), "Const1.psh");
  uint32_t ps2 = Pixel(ReadText(m_dir / "Workresource/PixelShaders/Const2.psh"), "Const2.psh");
  ASSERT_NE(0u, ps1);
  ASSERT_NE(0u, ps2);
  m_pRenderer->SetPixelShader(ps1);
  EVec4 c3(1.0f, 0.0f, 1.0f, 1.0f);
  m_pRenderer->SetPixelShaderConstant(3, &c3, 1);
  ExpectColour(vs, ps1, 255, 0, 255);
  // c7, the last of the eight, can be set.
  m_pRenderer->SetPixelShader(ps2);
  EVec4 c7(0.0f, 1.0f, 1.0f, 1.0f);
  m_pRenderer->SetPixelShaderConstant(7, &c7, 1);
  ExpectColour(vs, ps2, 0, 255, 255);
}

TEST_F(Shaders, AnUnchangedConstantIsNotUploadedAgainUntilTheCachesAreCleared) {
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, c20\n");
  uint32_t ps = PassColourPixelShader();
  SetVS(20, 1.0f, 0.0f, 0.0f, 1.0f);
  // Behind the renderer's back the register becomes blue; setting red again
  // is skipped because the cache holds red.
  const float blue[4] = {0.0f, 0.0f, 1.0f, 1.0f};
  MOJOSHADER_glSetVertexShaderUniformF(20, blue, 1);
  SetVS(20, 1.0f, 0.0f, 0.0f, 1.0f);
  ExpectColour(vs, ps, 0, 0, 255);
  // After a buffer swap every constant is uploaded again.
  m_pRenderer->Present(true);
  SetVS(20, 1.0f, 0.0f, 0.0f, 1.0f);
  ExpectColour(vs, ps, 255, 0, 0);
  // A NaN never matches the cache.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EVec4 v(nan, 0.0f, 0.0f, 1.0f);
  m_pRenderer->SetVertexShaderConstant(21, &v, 1);
  EXPECT_TRUE(m_pRenderer->m_pVertexConstantValid->IsBitSet(21));
  MOJOSHADER_glSetVertexShaderUniformF(21, blue, 1);
  m_pRenderer->SetVertexShaderConstant(21, &v, 1);
  EXPECT_NE(m_pRenderer->m_avVertexConstants[21].x, m_pRenderer->m_avVertexConstants[21].x);
  // A new pixel shader forgets the pixel constants.
  EVec4 p(1, 1, 1, 1);
  m_pRenderer->SetPixelShader(ps);
  m_pRenderer->SetPixelShaderConstant(0, &p, 1);
  EXPECT_TRUE(m_pRenderer->m_pPixelConstantValid->IsBitSet(0));
  m_pRenderer->SetPixelShader(ps);
  EXPECT_TRUE(m_pRenderer->m_pPixelConstantValid->IsBitSet(0));
  m_pRenderer->SetPixelShader(0);
  EXPECT_FALSE(m_pRenderer->m_pPixelConstantValid->IsBitSet(0));
  // The highest cached vertex register can be set.
  SetVS(256, 1.0f, 2.0f, 3.0f, 4.0f);
  EXPECT_TRUE(m_pRenderer->m_pVertexConstantValid->IsBitSet(256));
}

TEST_F(Shaders, AShaderThatDoesNotAssembleDrawsMagentaInsteadOfStoppingTheGame) {
  uint32_t ps = PassColourPixelShader();
  uint32_t vs = Vertex("mov oPos, v0\nfrobnicate oD0, v2\n", kPositionColour, "Broken.vsh");
  ASSERT_NE(0u, vs);
  EXPECT_EQ(1, CountTraces("Failed to assemble vertex shader: Broken.vsh"));
  EXPECT_EQ(1, CountTraces("Error messages from MOJOSHADER_assemble"));
  IdentityTransform();
  ExpectColour(vs, ps, 255, 0, 255);

  // An include that is not there fails the same way.
  uint32_t missing = Vertex("#include \"..\\Nowhere.inc\"\nmov oPos, v0\n", kPositionColour, "Missing.vsh");
  ASSERT_NE(0u, missing);
  EXPECT_EQ(1, CountTraces("Couldn't open VS shader #include source: Nowhere.inc"));

  uint32_t badPS = Pixel("ps_2_0\nmov oC0, q9\n", "Broken.psh");
  ASSERT_NE(0u, badPS);
  EXPECT_EQ(1, CountTraces("Failed to assemble pixel shader: Broken.psh"));
  uint32_t goodVS = Vertex("mov oPos, v0\nmov oD0, c1\n");
  ExpectColour(goodVS, badPS, 255, 0, 255);
}

TEST_F(Shaders, ByteCodeTheTranslatorRefusesIsWrittenToBadshaderBin) {
  // A pixel shader's byte code (its name says so) that is not byte code.
  const unsigned char junk[] = {0x00, 0x02, 0xFF, 0xFF, 0x42, 0x42, 0x42, 0x42, 0xFF, 0xFF, 0x00, 0x00};
  const std::string bytes(reinterpret_cast<const char*>(junk), sizeof(junk));
  ::testing::internal::CaptureStderr();
  uint32_t ps = Pixel(bytes, "Junk.fpo");
  std::string err = ::testing::internal::GetCapturedStderr();
  ASSERT_NE(0u, ps);
  EXPECT_EQ(1, CountTraces("Failed to compile a pixel shader!"));
  EXPECT_NE(std::string::npos, err.find("Wrote shader in question to badshader.bin"));
  EXPECT_EQ(bytes, ReadText(m_dir / "badshader.bin"));
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, c1\n");
  ExpectColour(vs, ps, 255, 0, 255);

  // The same for vertex byte code.
  const unsigned char vjunk[] = {0x00, 0x02, 0xFE, 0xFF, 0x42, 0x42, 0x42, 0x42, 0xFF, 0xFF, 0x00, 0x00};
  ::testing::internal::CaptureStderr();
  uint32_t badVS = m_pRenderer->createVertexShader(reinterpret_cast<const char*>(vjunk), (int)sizeof(vjunk),
                                                   kPositionColour);
  ::testing::internal::GetCapturedStderr();
  ASSERT_NE(0u, badVS);
  m_vs.push_back(badVS);
  EXPECT_EQ(1, CountTraces("Failed to compile a vertex shader!"));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(vjunk), sizeof(vjunk)), ReadText(m_dir / "badshader.bin"));
  IdentityTransform();
  ExpectColour(badVS, PassColourPixelShader(), 255, 0, 255);
}

TEST_F(Shaders, NamesChooseByteCodeOrTheMissingHLSLCompiler) {
  // "hlps" needs a compiler this platform does not have.
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(0u, Pixel("float4 main() : COLOR { return 1; }", "Glow.hlps"));
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("need HLSL compiler"));

  // "fpo" is byte code already: assembled here, then handed over as it is.
  const char* text = "ps_2_0\nmov oC0, c0\n";
  const MOJOSHADER_parseData* pd =
      MOJOSHADER_assemble("x", text, (unsigned)strlen(text), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr,
                          nullptr, nullptr, nullptr);
  ASSERT_EQ(0, pd->error_count);
  std::string byteCode(pd->output, (size_t)pd->output_len);
  MOJOSHADER_freeParseData(pd);
  uint32_t ps = Pixel(byteCode, "Flat.fpo");
  ASSERT_NE(0u, ps);
  EXPECT_EQ(0, CountTraces("error shader"));
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, v2\n");
  m_pRenderer->SetPixelShader(ps);
  EVec4 c0(0.0f, 1.0f, 0.0f, 1.0f);
  m_pRenderer->SetPixelShaderConstant(0, &c0, 1);
  ExpectColour(vs, ps, 0, 255, 0);
}

TEST_F(Shaders, PackedColoursKeepRedAndBlueWithoutBGRAArrays) {
  Stop();
  rtest::hooks().extensionsToHide = "GL_EXT_vertex_array_bgra";
  ASSERT_TRUE(Start(kSize, kSize));
  ASSERT_FALSE(m_pRenderer->GetGLRenderer()->supports_GL_EXT_vertex_array_bgra());
  // The quad's packed colour is opaque white; c20 picks red out of it.
  uint32_t vs = Vertex("mov oPos, v0\nmul oD0, v2, c20\n");
  ASSERT_NE(0u, vs);
  uint32_t ps = PassColourPixelShader();
  SetVS(20, 1.0f, 0.0f, 0.0f, 1.0f);
  ExpectColour(vs, ps, 255, 0, 0);
  // A colour of red alone, packed B, G, R, A, arrives as red.
  m_pRenderer->BeginRender();
  uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 4, 0, "Red");
  float* v = static_cast<float*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
  const float corners[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  for (int i = 0; i < 4; ++i) {
    v[4 * i + 0] = corners[i][0];
    v[4 * i + 1] = corners[i][1];
    v[4 * i + 2] = 0.0f;
    uint32_t red = 0xFFFF0000u;
    memcpy(&v[4 * i + 3], &red, 4);
  }
  m_pRenderer->UnlockVertexBuffer(vb);
  uint32_t passVS = Vertex("mov oPos, v0\nmov oD0, v2\n");
  m_pRenderer->SetVertexShader(passVS);
  m_pRenderer->SetPixelShader(ps);
  m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLESTRIP, 4, 0);
  unsigned char px[4];
  m_Draw.Pixel(kSize / 2, kSize / 2, px);
  EXPECT_EQ(255, px[0]);
  EXPECT_EQ(0, px[2]);
  m_pRenderer->DeleteVertexBuffer(vb);
}

// Clip depth runs from 0 to w as the shaders are written: a quad at z is
// stored at depth z, and one before z = 0 is clipped away. Without clip
// control the depth buffer can only hold (z + 1) / 2.
TEST_F(Shaders, ClipDepthRunsFromZeroToW) {
  auto drawAt = [&](float z, float* depth, unsigned char rgba[4]) {
    uint32_t vs = Vertex("mov oPos, v0\nmov oD0, v2\n");
    uint32_t ps = PassColourPixelShader();
    ASSERT_NE(0u, vs);
    m_pRenderer->BeginRender();
    m_pRenderer->ClearRenderTarget(EVec4(0, 0, 0, 0), true, true, false, 1.0f);
    ERenderState state;
    state.m_eBlendMode = kBLENDMODE_DECAL;
    state.m_eCullMode = kCULL_NONE;
    state.m_bAlphaTestEnable = false;
    state.m_bZEnable = true;
    state.m_bZWriteEnable = true;
    state.m_eZFunc = kCMP_ALWAYS;
    m_pRenderer->SetRenderState(&state);
    struct PC {
      float x, y, z;
      uint32_t bgra;
    };
    uint32_t vb = m_pRenderer->CreateVertexBuffer(kVBFORMAT_POSITION_COLOR, 4, 0, "Quad");
    PC* v = static_cast<PC*>(m_pRenderer->LockVertexBuffer(vb, 0, 0, 0));
    v[0] = {-1, -1, z, 0xFFFFFFFFu};
    v[1] = {1, -1, z, 0xFFFFFFFFu};
    v[2] = {-1, 1, z, 0xFFFFFFFFu};
    v[3] = {1, 1, z, 0xFFFFFFFFu};
    m_pRenderer->UnlockVertexBuffer(vb);
    m_pRenderer->SetVertexShader(vs);
    m_pRenderer->SetPixelShader(ps);
    m_pRenderer->DrawUnindexedVertexBuffer(vb, kVBDRAWMODE_TRIANGLESTRIP, 4, 0);
    m_Draw.ReadPixels(kSize / 2, kSize / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, depth);
    m_Draw.Pixel(kSize / 2, kSize / 2, rgba);
    m_pRenderer->DeleteVertexBuffer(vb);
    m_pRenderer->EndRender();
  };
  ASSERT_TRUE(m_pRenderer->GetGLRenderer()->supports_GL_ARB_clip_control());
  float depth = -1;
  unsigned char px[4];
  drawAt(0.25f, &depth, px);
  EXPECT_NEAR(0.25f, depth, 1e-4f);
  EXPECT_EQ(255, px[0]);
  drawAt(-0.5f, &depth, px);  // before the near plane
  EXPECT_EQ(1.0f, depth);
  EXPECT_EQ(0, px[0]);

  for (uint32_t h : m_vs) m_pRenderer->DeleteVertexShader(h);
  for (uint32_t h : m_ps) m_pRenderer->DeletePixelShader(h);
  m_vs.clear();
  m_ps.clear();
  Stop();
  rtest::hooks().extensionsToHide = "GL_ARB_clip_control";
  ASSERT_TRUE(Start(kSize, kSize));
  ASSERT_FALSE(m_pRenderer->GetGLRenderer()->supports_GL_ARB_clip_control());
  drawAt(0.25f, &depth, px);
  EXPECT_NEAR(0.625f, depth, 1e-4f);
}

TEST_F(Shaders, ASamplerOfTheWrongTypeIsReportedOnce) {
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, v2\nmov oT0, c0\n");
  uint32_t ps = Pixel("ps_2_0\ndcl_2d s0\ndcl t0\ntexld r0, t0, s0\nmov oC0, r0\n", "Sample.psh");
  ASSERT_NE(0u, ps);
  HTEXTURE cube = m_pRenderer->CreateCubemapTexture(kTEXTUREFORMAT_8888, 4, 1, 0);
  ETextureStageState stage;
  stage.m_hTexture = cube;
  ::testing::internal::CaptureStdout();
  for (int i = 0; i < 2; ++i) {
    m_pRenderer->SetTextureStages(&stage, 1);
    unsigned char px[4];
    Draw(vs, ps, px);
  }
  std::string out = ::testing::internal::GetCapturedStdout();
  const std::string needle = "has wrong sampler type (0, should be 1)";
  size_t at = out.find(needle);
  ASSERT_NE(std::string::npos, at) << out;
  EXPECT_EQ(std::string::npos, out.find(needle, at + 1));
  m_pRenderer->SetTextureStages(nullptr, 0);
  m_pRenderer->DeleteTexture(cube, true);
}

TEST_F(Shaders, DeletingAShaderFreesItsSlot) {
  uint32_t vs = Vertex("mov oPos, v0\nmov oD0, v2\n");
  uint32_t ps = PassColourPixelShader();
  int vsUsed = m_pRenderer->m_pVertexShaders->m_iNumUsed;
  int psUsed = m_pRenderer->m_pPixelShaders->m_iNumUsed;
  m_pRenderer->DeleteVertexShader(vs);
  m_pRenderer->DeletePixelShader(ps);
  m_pRenderer->DeleteVertexShader(0);
  m_pRenderer->DeletePixelShader(0);
  m_vs.clear();
  m_ps.clear();
  EXPECT_EQ(vsUsed - 1, m_pRenderer->m_pVertexShaders->m_iNumUsed);
  EXPECT_EQ(psUsed - 1, m_pRenderer->m_pPixelShaders->m_iNumUsed);
}

}  // namespace
