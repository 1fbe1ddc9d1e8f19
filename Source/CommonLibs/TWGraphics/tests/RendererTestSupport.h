// Shared by the renderer tests: a lookup that stands between the renderer
// and SDL (to hide functions, fake the extension list or the texture-unit
// count, and count state calls), a renderer fixture on the test display, and
// the few immediate-mode calls the tests draw with.
#pragma once

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <initializer_list>
#include <set>
#include <string>

#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Renderer.h"

namespace rtest {

struct Hooks {
  std::set<std::string> hidden;     // names the lookup pretends not to know
  int hideRemaining = -1;           // lookups of `hidden` still refused; -1: all
  const char* extensions = nullptr;  // replaces GL_EXTENSIONS when set
  int textureUnits = -1;             // replaces GL_MAX_TEXTURE_IMAGE_UNITS when >= 0
  int stateCalls = 0;                // calls of the state-setting functions
  float lastPointSize = 0.0f;
  float lastPolygonOffsetFactor = 0.0f;
  float lastPolygonOffsetUnits = 0.0f;
  // Texture-stage work: bindings and sampler or texture parameters, and
  // the unit activations counted apart.
  int textureCalls = 0;
  int activeTextureCalls = 0;
  GLenum lastActiveTexture = 0;
  float lastAnisotropy = 0.0f;
  float lastLodBias = 0.0f;
  int lodBiasCalls = 0;
  const char* extensionsToHide = nullptr;  // blank-separated names removed from GL_EXTENSIONS
};

Hooks& hooks();
// Puts the test lookup in front of SDL's and clears every hook.
void InstallHooks();
void RemoveHooks();

// The immediate-mode calls the tests draw and read back with, looked up
// directly from SDL.
struct Draw {
  void (*Begin)(GLenum);
  void (*End)();
  void (*Vertex3f)(GLfloat, GLfloat, GLfloat);
  void (*Color4f)(GLfloat, GLfloat, GLfloat, GLfloat);
  void (*ReadPixels)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);
  void (*ClearColor)(GLclampf, GLclampf, GLclampf, GLclampf);
  void (*ClearStencil)(GLint);
  void (*ClearDepth)(GLclampd);
  void (*Clear)(GLbitfield);
  void (*Viewport)(GLint, GLint, GLsizei, GLsizei);
  void (*Finish)();
  void (*TexCoord2f)(GLfloat, GLfloat);

  bool Load();
  // A quad over the clip-space rectangle at depth z, counter-clockwise on
  // screen, in one colour.
  void Quad(float x0, float y0, float x1, float y1, float z, float r, float g, float b, float a) const;
  // Reads one RGBA pixel of the back buffer.
  void Pixel(int x, int y, unsigned char rgba[4]) const;
  unsigned char Stencil(int x, int y) const;
  // A quad over the whole viewport with texture coordinates 0..1.
  void TexturedQuad() const;
};

// Stand-ins for the game's shader library: assembles Direct3D shader text
// with the translator and puts the result into the renderer's shader pools.
// The vertex shader gets the declaration lines of its formats in front of
// its body (format i feeds stream i). A message is written on failure and
// 0 returned.
uint32_t MakeVertexShader(ERenderer* r, std::initializer_list<VBFORMAT> formats, const std::string& body,
                          std::string* error = nullptr);
uint32_t MakePixelShader(ERenderer* r, const std::string& source, std::string* error = nullptr);

// Opens the renderer on the test display for each test and takes it down
// afterwards. Skips when there is no display.
class RendererFixture : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // Starts the renderer with a window of the given size.
  bool Start(unsigned width, unsigned height, unsigned flags = 0);
  void Stop();
  // Plain drawing: decal blending, no culling, no alpha or depth test.
  void SetFlatState();

  ERenderer* m_pRenderer = nullptr;
  Draw m_Draw;
};

}  // namespace rtest

#define SKIP_WITHOUT_DISPLAY() \
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)"
