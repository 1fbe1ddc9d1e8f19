#include "RendererTestSupport.h"

#include "TWGraphics/tests/WindowedRenderer.h"

#include <algorithm>
#include <vector>

#include <mojoshader.h>

#include <cstdlib>
#include <cstring>

#include "TWGraphics/Shader.h"
#include "TWGraphics/Vertex.h"
#include "TWUtil/DataArray.h"

namespace rtest {

namespace {

Hooks s_hooks;

// Looked up on every call: the library moves when the video subsystem is
// shut down and started again.
template <class F>
F Real(const char* name) {
  return reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

std::string s_filteredExtensions;

const GLubyte* APIENTRY HookGetString(GLenum name) {
  auto real = Real<const GLubyte*(APIENTRY*)(GLenum)>("glGetString");
  if (name == GL_EXTENSIONS && s_hooks.extensions) return reinterpret_cast<const GLubyte*>(s_hooks.extensions);
  if (name == GL_EXTENSIONS && s_hooks.extensionsToHide) {
    std::set<std::string> hide;
    std::string h(s_hooks.extensionsToHide), word;
    for (char c : h + " ") {
      if (c == ' ') {
        if (!word.empty()) hide.insert(word);
        word.clear();
      } else {
        word += c;
      }
    }
    std::string all(reinterpret_cast<const char*>(real(name))), out;
    word.clear();
    for (char c : all + " ") {
      if (c == ' ') {
        if (!word.empty() && !hide.count(word)) out += word + " ";
        word.clear();
      } else {
        word += c;
      }
    }
    s_filteredExtensions = out;
    return reinterpret_cast<const GLubyte*>(s_filteredExtensions.c_str());
  }
  return real(name);
}

void APIENTRY HookActiveTexture(GLenum unit) {
  auto real = Real<void(APIENTRY*)(GLenum)>("glActiveTexture");
  ++s_hooks.activeTextureCalls;
  s_hooks.lastActiveTexture = unit;
  real(unit);
}

void APIENTRY HookSamplerParameterf(GLuint sampler, GLenum pname, GLfloat v) {
  auto real = Real<void(APIENTRY*)(GLuint, GLenum, GLfloat)>("glSamplerParameterf");
  ++s_hooks.textureCalls;
  if (pname == GL_TEXTURE_MAX_ANISOTROPY_EXT) s_hooks.lastAnisotropy = v;
  real(sampler, pname, v);
}

void APIENTRY HookTexParameterf(GLenum target, GLenum pname, GLfloat v) {
  auto real = Real<void(APIENTRY*)(GLenum, GLenum, GLfloat)>("glTexParameterf");
  ++s_hooks.textureCalls;
  if (pname == GL_TEXTURE_MAX_ANISOTROPY_EXT) s_hooks.lastAnisotropy = v;
  real(target, pname, v);
}

void APIENTRY HookTexEnvf(GLenum target, GLenum pname, GLfloat v) {
  auto real = Real<void(APIENTRY*)(GLenum, GLenum, GLfloat)>("glTexEnvf");
  ++s_hooks.textureCalls;
  if (pname == GL_TEXTURE_LOD_BIAS) {
    ++s_hooks.lodBiasCalls;
    s_hooks.lastLodBias = v;
  }
  real(target, pname, v);
}

#define TEXTURE_COUNTED(name, params, args)         \
  void APIENTRY Hook_##name params {                \
    auto real = Real<void(APIENTRY*) params>(#name); \
    ++s_hooks.textureCalls;                         \
    real args;                                      \
  }
TEXTURE_COUNTED(glBindTexture, (GLenum t, GLuint n), (t, n))
TEXTURE_COUNTED(glTexParameteri, (GLenum t, GLenum p, GLint v), (t, p, v))
TEXTURE_COUNTED(glTexParameterfv, (GLenum t, GLenum p, const GLfloat* v), (t, p, v))
TEXTURE_COUNTED(glSamplerParameteri, (GLuint s, GLenum p, GLint v), (s, p, v))
TEXTURE_COUNTED(glSamplerParameterfv, (GLuint s, GLenum p, const GLfloat* v), (s, p, v))
#undef TEXTURE_COUNTED

void APIENTRY HookGetIntegerv(GLenum pname, GLint* out) {
  auto real = Real<void(APIENTRY*)(GLenum, GLint*)>("glGetIntegerv");
  real(pname, out);
  if (pname == GL_MAX_TEXTURE_IMAGE_UNITS && s_hooks.textureUnits >= 0) *out = s_hooks.textureUnits;
}

void APIENTRY HookPointSize(GLfloat size) {
  auto real = Real<void(APIENTRY*)(GLfloat)>("glPointSize");
  ++s_hooks.stateCalls;
  s_hooks.lastPointSize = size;
  real(size);
}

void APIENTRY HookPolygonOffset(GLfloat factor, GLfloat units) {
  auto real = Real<void(APIENTRY*)(GLfloat, GLfloat)>("glPolygonOffset");
  ++s_hooks.stateCalls;
  s_hooks.lastPolygonOffsetFactor = factor;
  s_hooks.lastPolygonOffsetUnits = units;
  real(factor, units);
}

// Counting forwarders for the remaining state-setting functions.
#define COUNTED(name, params, args)                                       \
  void APIENTRY Hook_##name params {                                      \
    auto real = Real<void(APIENTRY*) params>(#name);               \
    ++s_hooks.stateCalls;                                                 \
    real args;                                                            \
  }
COUNTED(glEnable, (GLenum c), (c))
COUNTED(glDisable, (GLenum c), (c))
COUNTED(glBlendFunc, (GLenum s, GLenum d), (s, d))
COUNTED(glBlendEquation, (GLenum m), (m))
COUNTED(glColorMask, (GLboolean r, GLboolean g, GLboolean b, GLboolean a), (r, g, b, a))
COUNTED(glStencilFunc, (GLenum f, GLint r, GLuint m), (f, r, m))
COUNTED(glStencilOp, (GLenum a, GLenum b, GLenum c), (a, b, c))
COUNTED(glStencilMask, (GLuint m), (m))
COUNTED(glShadeModel, (GLenum m), (m))
COUNTED(glPolygonMode, (GLenum f, GLenum m), (f, m))
COUNTED(glCullFace, (GLenum m), (m))
COUNTED(glDepthMask, (GLboolean f), (f))
COUNTED(glDepthFunc, (GLenum f), (f))
COUNTED(glAlphaFunc, (GLenum f, GLclampf r), (f, r))
COUNTED(glFogfv, (GLenum p, const GLfloat* v), (p, v))
COUNTED(glPointParameterfARB, (GLenum p, GLfloat v), (p, v))
COUNTED(glPointParameterfvARB, (GLenum p, const GLfloat* v), (p, v))
#undef COUNTED

void* TestLookup(const char* name) {
  if (s_hooks.hidden.count(name) && s_hooks.hideRemaining != 0) {
    if (s_hooks.hideRemaining > 0) --s_hooks.hideRemaining;
    return nullptr;
  }
  std::string n(name);
  if (n == "glGetString") return reinterpret_cast<void*>(HookGetString);
  if (n == "glGetIntegerv") return reinterpret_cast<void*>(HookGetIntegerv);
  if (n == "glPointSize") return reinterpret_cast<void*>(HookPointSize);
  if (n == "glPolygonOffset") return reinterpret_cast<void*>(HookPolygonOffset);
  if (n == "glActiveTexture") return reinterpret_cast<void*>(HookActiveTexture);
  if (n == "glSamplerParameterf") return reinterpret_cast<void*>(HookSamplerParameterf);
  if (n == "glTexParameterf") return reinterpret_cast<void*>(HookTexParameterf);
  if (n == "glTexEnvf") return reinterpret_cast<void*>(HookTexEnvf);
#define HOOK(fn) \
  if (n == #fn) return reinterpret_cast<void*>(Hook_##fn);
  HOOK(glEnable)
  HOOK(glDisable)
  HOOK(glBlendFunc)
  HOOK(glBlendEquation)
  HOOK(glColorMask)
  HOOK(glStencilFunc)
  HOOK(glStencilOp)
  HOOK(glStencilMask)
  HOOK(glShadeModel)
  HOOK(glPolygonMode)
  HOOK(glCullFace)
  HOOK(glDepthMask)
  HOOK(glDepthFunc)
  HOOK(glAlphaFunc)
  HOOK(glFogfv)
  HOOK(glPointParameterfARB)
  HOOK(glPointParameterfvARB)
  HOOK(glBindTexture)
  HOOK(glTexParameteri)
  HOOK(glTexParameterfv)
  HOOK(glSamplerParameteri)
  HOOK(glSamplerParameterfv)
#undef HOOK
  return SDL_GL_GetProcAddress(name);
}

}  // namespace

Hooks& hooks() { return s_hooks; }

void InstallHooks() {
  s_hooks = Hooks();
  EOpenGLRenderer::SetProcLookup(TestLookup);
}

void RemoveHooks() {
  s_hooks = Hooks();
  EOpenGLRenderer::SetProcLookup(nullptr);
}

bool Draw::Load() {
  Begin = Real<decltype(Begin)>("glBegin");
  End = Real<decltype(End)>("glEnd");
  Vertex3f = Real<decltype(Vertex3f)>("glVertex3f");
  Color4f = Real<decltype(Color4f)>("glColor4f");
  ReadPixels = Real<decltype(ReadPixels)>("glReadPixels");
  ClearColor = Real<decltype(ClearColor)>("glClearColor");
  ClearStencil = Real<decltype(ClearStencil)>("glClearStencil");
  ClearDepth = Real<decltype(ClearDepth)>("glClearDepth");
  Clear = Real<decltype(Clear)>("glClear");
  Viewport = Real<decltype(Viewport)>("glViewport");
  Finish = Real<decltype(Finish)>("glFinish");
  TexCoord2f = Real<decltype(TexCoord2f)>("glTexCoord2f");
  return TexCoord2f && Begin && End && Vertex3f && Color4f && ReadPixels && ClearColor && ClearStencil && ClearDepth && Clear &&
         Viewport && Finish;
}

void Draw::Quad(float x0, float y0, float x1, float y1, float z, float r, float g, float b, float a) const {
  Color4f(r, g, b, a);
  Begin(GL_QUADS);
  Vertex3f(x0, y0, z);
  Vertex3f(x1, y0, z);
  Vertex3f(x1, y1, z);
  Vertex3f(x0, y1, z);
  End();
}

void Draw::TexturedQuad() const {
  Color4f(1, 1, 1, 1);
  Begin(GL_QUADS);
  TexCoord2f(0, 0);
  Vertex3f(-1, -1, 0);
  TexCoord2f(1, 0);
  Vertex3f(1, -1, 0);
  TexCoord2f(1, 1);
  Vertex3f(1, 1, 0);
  TexCoord2f(0, 1);
  Vertex3f(-1, 1, 0);
  End();
}

void Draw::Pixel(int x, int y, unsigned char rgba[4]) const {
  Finish();
  ReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

unsigned char Draw::Stencil(int x, int y) const {
  unsigned char s = 0;
  Finish();
  ReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &s);
  return s;
}

namespace {

MOJOSHADER_glShader* Translate(const std::string& source, std::string* error) {
  const MOJOSHADER_parseData* asm_ = MOJOSHADER_assemble("test", source.c_str(), (unsigned)source.size(), nullptr, 0,
                                                         nullptr, 0, nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                                                         nullptr);
  if (!asm_ || asm_->error_count) {
    if (error) *error = asm_ && asm_->errors ? asm_->errors[0].error : "assembly failed";
    if (asm_) MOJOSHADER_freeParseData(asm_);
    return nullptr;
  }
  MOJOSHADER_glShader* shader = MOJOSHADER_glCompileShader(reinterpret_cast<const unsigned char*>(asm_->output),
                                                           (unsigned)asm_->output_len, nullptr, 0, nullptr, 0);
  MOJOSHADER_freeParseData(asm_);
  if (!shader && error) *error = MOJOSHADER_glGetError();
  return shader;
}

}  // namespace

uint32_t MakeVertexShader(ERenderer* r, std::initializer_list<VBFORMAT> formats, const std::string& body,
                          std::string* error) {
  std::string text = "vs_2_0\n";
  for (VBFORMAT f : formats)
    for (const char* const* line = GetVertexDeclaration(f); line && *line; ++line) text += std::string(*line) + "\n";
  text += body;
  MOJOSHADER_glShader* shader = Translate(text, error);
  if (!shader) return 0;
  std::vector<EVertexElement> elements;
  int stream = 0;
  for (VBFORMAT f : formats) {
    for (const EVertexElement* e = GetVertexElements(f); e && e->Type != -1; ++e) {
      elements.push_back(*e);
      elements.back().Stream = stream;
    }
    ++stream;
  }
  elements.push_back(EVertexElement{0, 0, -1, 0, 0, 0, 0});
  uint32_t id = r->m_pVertexShaders->ElementNew();
  EVertexShader* vs = r->m_pVertexShaders->ElementGet(id);
  vs->m_pShader = shader;
  vs->m_iStreamCount = (int)formats.size();
  vs->m_pFormats = static_cast<VBFORMAT*>(malloc(sizeof(VBFORMAT) * formats.size()));
  std::copy(formats.begin(), formats.end(), vs->m_pFormats);
  vs->m_pElements = static_cast<EVertexElement*>(malloc(sizeof(EVertexElement) * elements.size()));
  std::copy(elements.begin(), elements.end(), vs->m_pElements);
  return id;
}

uint32_t MakePixelShader(ERenderer* r, const std::string& source, std::string* error) {
  MOJOSHADER_glShader* shader = Translate(source, error);
  if (!shader) return 0;
  uint32_t id = r->m_pPixelShaders->ElementNew();
  r->m_pPixelShaders->ElementGet(id)->m_pShader = shader;
  return id;
}

void RendererFixture::SetUp() {
  if (!getenv("DISPLAY")) GTEST_SKIP() << "needs an X display (the test script provides one)";
  InstallHooks();
}

void RendererFixture::TearDown() {
  Stop();
  RemoveHooks();
}

bool RendererFixture::Start(unsigned width, unsigned height, unsigned flags) {
  m_pRenderer = gfxtest::StartWindowedRenderer(width, height, flags);
  if (!m_pRenderer) return false;
  return m_Draw.Load();
}

void RendererFixture::Stop() {
  if (m_pRenderer) {
    m_pRenderer->Shutdown();
    delete m_pRenderer;
    m_pRenderer = nullptr;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void RendererFixture::SetFlatState() {
  ERenderState s;
  s.m_eBlendMode = kBLENDMODE_DECAL;
  s.m_eCullMode = kCULL_NONE;
  s.m_bAlphaTestEnable = false;
  s.m_bZEnable = false;
  m_pRenderer->SetRenderState(&s);
}

}  // namespace rtest
