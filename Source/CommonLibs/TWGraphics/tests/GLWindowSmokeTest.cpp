// Proves the machinery that window tests use: an SDL window with an OpenGL
// context on the test display, with GL reached only through SDL's lookup.
#include <gtest/gtest.h>

#include <SDL/SDL.h>
#include <cstring>

namespace {

typedef const unsigned char* (*PFN_GetString)(unsigned int);
const unsigned int kGL_VERSION = 0x1F02;

TEST(GLWindowSmoke, OpensAWindowAndReadsTheGLVersion) {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  ASSERT_EQ(0, SDL_Init(SDL_INIT_VIDEO)) << SDL_GetError();
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  ASSERT_NE(nullptr, SDL_SetVideoMode(320, 240, 0, SDL_OPENGL)) << SDL_GetError();
  PFN_GetString getString = (PFN_GetString)SDL_GL_GetProcAddress("glGetString");
  ASSERT_NE(nullptr, getString);
  const char* version = (const char*)getString(kGL_VERSION);
  ASSERT_NE(nullptr, version);
  EXPECT_GT(strlen(version), 0u);
  SDL_GL_SwapBuffers();
  SDL_Quit();
}

}  // namespace
