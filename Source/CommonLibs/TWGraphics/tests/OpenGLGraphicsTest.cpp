// The entry-point table, extension detection and the start-up checks that
// depend on them.
#include <gtest/gtest.h>

#include <string>

#include "RendererTestSupport.h"
#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"

using rtest::hooks;

namespace {

TEST(ExtensionListed, MatchesWholeBlankSeparatedNamesOnly) {
  struct Case {
    const char* list;
    const char* name;
    bool listed;
  } cases[] = {
      {"GL_A GL_B GL_C", "GL_B", true},
      {"GL_A GL_B GL_C", "GL_C", true},
      {"GL_A\tGL_B", "GL_B", true},
      {"GL_B", "GL_B", true},
      {"  GL_B  ", "GL_B", true},
      // A longer name that begins with the wanted one, listed first.
      {"GL_ARB_point_sprite_ext GL_ARB_point_sprite", "GL_ARB_point_sprite", true},
      {"GL_ARB_point_sprite_ext", "GL_ARB_point_sprite", false},
      // The wanted name as the tail of a longer one.
      {"XGL_ARB_point_sprite", "GL_ARB_point_sprite", false},
      {"GL_A GL_C", "GL_B", false},
      {"", "GL_B", false},
      {nullptr, "GL_B", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.listed, EOpenGLRenderer::ExtensionListed(c.list, c.name))
        << "'" << (c.list ? c.list : "(null)") << "' / " << c.name;
}

// A bare OpenGL window with the test lookup in front of SDL's.
class EntryPoints : public ::testing::Test {
protected:
  void SetUp() override {
    SKIP_WITHOUT_DISPLAY();
    rtest::InstallHooks();
    ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    ASSERT_NE(nullptr, SDL_SetVideoMode(64, 64, 0, SDL_OPENGL)) << SDL_GetError();
    const GLubyte* (*getString)(GLenum) =
        reinterpret_cast<const GLubyte* (*)(GLenum)>(SDL_GL_GetProcAddress("glGetString"));
    m_Real = reinterpret_cast<const char*>(getString(GL_EXTENSIONS));
  }
  void TearDown() override {
    rtest::RemoveHooks();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  // Loads a fresh table and returns what it printed.
  std::string Load(bool expected) {
    ::testing::internal::CaptureStderr();
    bool ok = m_GL.LoadEntryPoints();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(expected, ok) << err;
    return err;
  }

  std::string m_Real;
  EOpenGLRenderer m_GL;
};

TEST_F(EntryPoints, LoadsEverythingTheDriverOffers) {
  std::string err = Load(true);
  EXPECT_EQ("", err);
  EXPECT_TRUE(m_GL.supports_GL_ARB_point_sprite());
  EXPECT_TRUE(m_GL.supports_GL_ARB_point_parameters());
  EXPECT_TRUE(m_GL.supports_GL_ARB_sampler_objects());
  EXPECT_TRUE(m_GL.supports_GL_ARB_occlusion_query());
  EXPECT_NE(nullptr, m_GL.glGetString(GL_VERSION));
}

TEST_F(EntryPoints, AMissingCoreFunctionFailsAndClearsTheTable) {
  hooks().hidden = {"glDepthRange"};
  std::string err = Load(false);
  EXPECT_EQ(
      "Missing OpenGL entry point 'glDepthRange' for 'OpenGL'\n"
      "ERROR: Missing required core OpenGL functions\n",
      err);
  EXPECT_FALSE(m_GL.supports_GL_ARB_vertex_buffer_object());
  // Loading again once the function is back works.
  hooks().hidden.clear();
  Load(true);
}

TEST_F(EntryPoints, AMissingRequiredExtensionFunctionNamesItAndFails) {
  hooks().hidden = {"glBlitFramebufferEXT"};
  std::string err = Load(false);
  EXPECT_EQ(
      "Missing OpenGL entry point 'glBlitFramebufferEXT' for 'GL_EXT_framebuffer_blit'\n"
      "ERROR: Missing required OpenGL extensions:\n"
      "    - GL_EXT_framebuffer_blit\n",
      err);
}

TEST_F(EntryPoints, WithoutS3TCTheStartFailsNamingIt) {
  std::string ext = " " + m_Real + " ";
  size_t at = ext.find(" GL_EXT_texture_compression_s3tc ");
  ASSERT_NE(std::string::npos, at);
  ext.erase(at, strlen(" GL_EXT_texture_compression_s3tc"));
  hooks().extensions = ext.c_str();
  std::string err = Load(false);
  EXPECT_EQ("ERROR: Missing required OpenGL extensions:\n    - GL_EXT_texture_compression_s3tc\n", err);
}

TEST_F(EntryPoints, ARequiredExtensionPrecededByALongerNameStillCounts) {
  // The longer name comes first; a plain substring search would stop there.
  std::string ext = "GL_EXT_texture_compression_s3tc_srgb " + m_Real;
  hooks().extensions = ext.c_str();
  Load(true);
}

TEST_F(EntryPoints, AMissingOptionalFunctionTurnsOnlyItsGroupOff) {
  hooks().hidden = {"glSamplerParameterfv"};
  std::string err = Load(true);
  EXPECT_EQ("Missing OpenGL entry point 'glSamplerParameterfv' for 'GL_ARB_sampler_objects'\n", err);
  EXPECT_FALSE(m_GL.supports_GL_ARB_sampler_objects());
  EXPECT_TRUE(m_GL.supports_GL_ARB_occlusion_query());
}

TEST_F(EntryPoints, WithBothBufferRangeExtensionsOnlyTheARBOneStaysOn) {
  // Mesa offers no Apple extension; list one and serve its functions.
  std::string ext = m_Real + " GL_APPLE_flush_buffer_range";
  hooks().extensions = ext.c_str();
  Load(true);
  EXPECT_TRUE(m_GL.supports_GL_ARB_map_buffer_range());
  EXPECT_FALSE(m_GL.supports_GL_APPLE_flush_buffer_range());

  // Without the ARB one the Apple group is kept.
  std::string apple = " " + m_Real + " ";
  size_t at = apple.find(" GL_ARB_map_buffer_range ");
  ASSERT_NE(std::string::npos, at);
  apple.erase(at, strlen(" GL_ARB_map_buffer_range"));
  apple += "GL_APPLE_flush_buffer_range";
  hooks().extensions = apple.c_str();
  Load(true);
  EXPECT_FALSE(m_GL.supports_GL_ARB_map_buffer_range());
}

// ---------------------------------------------------------------------------
// Start-up failures of the whole renderer.

class StartUpFailure : public rtest::RendererFixture {};

TEST_F(StartUpFailure, AMissingCoreFunctionFailsTheStartAndLeavesNoRenderer) {
  hooks().hidden = {"glViewport"};
  ::testing::internal::CaptureStderr();
  bool ok = Start(320, 240);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_NE(std::string::npos, err.find("Missing OpenGL entry point 'glViewport' for 'OpenGL'\n"
                                        "ERROR: Missing required core OpenGL functions\n"))
      << err;
  EXPECT_EQ(nullptr, g_pCurrentRenderer);
  EXPECT_EQ(nullptr, SDL_GetVideoSurface()) << "the window of a failed start stays open";

  // A later start succeeds.
  hooks().hidden.clear();
  EXPECT_TRUE(Start(320, 240));
  EXPECT_EQ(m_pRenderer, g_pCurrentRenderer);
}

TEST_F(StartUpFailure, FourTextureUnitsAreNotEnough) {
  hooks().textureUnits = 4;
  ::testing::internal::CaptureStderr();
  bool ok = Start(320, 240);
  std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_FALSE(ok);
  EXPECT_NE(std::string::npos, err.find("Not enough texture image units! (need 5, have 4)\n")) << err;
  EXPECT_EQ(nullptr, g_pCurrentRenderer);

  hooks().textureUnits = 5;
  EXPECT_TRUE(Start(320, 240));
}

}  // namespace
