// The renderer's only door to OpenGL: every function is looked up at run time
// through SDL once the window exists, never linked. Include this only from
// renderer sources; other code talks to ERenderer.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

// Core functions looked up under the group name "OpenGL", in this order.
// X(return type, name, parameter list, argument list)
#define TW_GL_CORE_FUNCTIONS(X)                                                                                  \
  X(void, glActiveTexture, (GLenum texture), (texture))                                                         \
  X(void, glAlphaFunc, (GLenum func, GLclampf ref), (func, ref))                                                 \
  X(void, glBindTexture, (GLenum target, GLuint texture), (target, texture))                                     \
  X(void, glBlendEquation, (GLenum mode), (mode))                                                               \
  X(void, glBlendFunc, (GLenum sfactor, GLenum dfactor), (sfactor, dfactor))                                     \
  X(void, glClear, (GLbitfield mask), (mask))                                                                   \
  X(void, glClearColor, (GLclampf r, GLclampf g, GLclampf b, GLclampf a), (r, g, b, a))                          \
  X(void, glClearDepth, (GLclampd depth), (depth))                                                              \
  X(void, glClearStencil, (GLint s), (s))                                                                       \
  X(void, glColorMask, (GLboolean r, GLboolean g, GLboolean b, GLboolean a), (r, g, b, a))                       \
  X(void, glCompressedTexImage2D,                                                                               \
    (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLint border,             \
     GLsizei imageSize, const void* data),                                                                      \
    (target, level, internalformat, width, height, border, imageSize, data))                                    \
  X(void, glCompressedTexImage3D,                                                                               \
    (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLsizei depth,           \
     GLint border, GLsizei imageSize, const void* data),                                                        \
    (target, level, internalformat, width, height, depth, border, imageSize, data))                             \
  X(void, glCompressedTexSubImage2D,                                                                            \
    (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format,    \
     GLsizei imageSize, const void* data),                                                                      \
    (target, level, xoffset, yoffset, width, height, format, imageSize, data))                                  \
  X(void, glCompressedTexSubImage3D,                                                                            \
    (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLint zoffset, GLsizei width, GLsizei height,    \
     GLsizei depth, GLenum format, GLsizei imageSize, const void* data),                                        \
    (target, level, xoffset, yoffset, zoffset, width, height, depth, format, imageSize, data))                  \
  X(void, glCullFace, (GLenum mode), (mode))                                                                    \
  X(void, glDeleteTextures, (GLsizei n, const GLuint* textures), (n, textures))                                 \
  X(void, glDepthFunc, (GLenum func), (func))                                                                   \
  X(void, glDepthMask, (GLboolean flag), (flag))                                                                \
  X(void, glDepthRange, (GLclampd nearVal, GLclampd farVal), (nearVal, farVal))                                 \
  X(void, glDisable, (GLenum cap), (cap))                                                                       \
  X(void, glDrawArrays, (GLenum mode, GLint first, GLsizei count), (mode, first, count))                        \
  X(void, glDrawBuffer, (GLenum mode), (mode))                                                                  \
  X(void, glDrawRangeElements,                                                                                  \
    (GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* indices),                   \
    (mode, start, end, count, type, indices))                                                                   \
  X(void, glEnable, (GLenum cap), (cap))                                                                        \
  X(void, glFogfv, (GLenum pname, const GLfloat* params), (pname, params))                                      \
  X(void, glGetCompressedTexImage, (GLenum target, GLint level, void* img), (target, level, img))                \
  X(void, glGetIntegerv, (GLenum pname, GLint* params), (pname, params))                                        \
  X(void, glGetTexImage, (GLenum target, GLint level, GLenum format, GLenum type, void* pixels),                \
    (target, level, format, type, pixels))                                                                      \
  X(const GLubyte*, glGetString, (GLenum name), (name))                                                         \
  X(void, glGenTextures, (GLsizei n, GLuint* textures), (n, textures))                                          \
  X(void, glPixelStorei, (GLenum pname, GLint param), (pname, param))                                           \
  X(void, glPointSize, (GLfloat size), (size))                                                                  \
  X(void, glPolygonMode, (GLenum face, GLenum mode), (face, mode))                                              \
  X(void, glPolygonOffset, (GLfloat factor, GLfloat units), (factor, units))                                    \
  X(void, glScissor, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))                  \
  X(void, glShadeModel, (GLenum mode), (mode))                                                                  \
  X(void, glStencilFunc, (GLenum func, GLint ref, GLuint mask), (func, ref, mask))                              \
  X(void, glStencilMask, (GLuint mask), (mask))                                                                 \
  X(void, glStencilOp, (GLenum fail, GLenum zfail, GLenum zpass), (fail, zfail, zpass))                         \
  X(void, glTexEnvf, (GLenum target, GLenum pname, GLfloat param), (target, pname, param))                      \
  X(void, glTexImage2D,                                                                                         \
    (GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLint border,             \
     GLenum format, GLenum type, const void* pixels),                                                           \
    (target, level, internalformat, width, height, border, format, type, pixels))                               \
  X(void, glTexImage3D,                                                                                         \
    (GLenum target, GLint level, GLint internalformat, GLsizei width, GLsizei height, GLsizei depth,            \
     GLint border, GLenum format, GLenum type, const void* pixels),                                             \
    (target, level, internalformat, width, height, depth, border, format, type, pixels))                        \
  X(void, glTexParameteri, (GLenum target, GLenum pname, GLint param), (target, pname, param))                  \
  X(void, glTexParameterf, (GLenum target, GLenum pname, GLfloat param), (target, pname, param))                \
  X(void, glTexParameterfv, (GLenum target, GLenum pname, const GLfloat* params), (target, pname, params))      \
  X(void, glTexSubImage2D,                                                                                      \
    (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLsizei width, GLsizei height, GLenum format,    \
     GLenum type, const void* pixels),                                                                          \
    (target, level, xoffset, yoffset, width, height, format, type, pixels))                                     \
  X(void, glTexSubImage3D,                                                                                      \
    (GLenum target, GLint level, GLint xoffset, GLint yoffset, GLint zoffset, GLsizei width, GLsizei height,    \
     GLsizei depth, GLenum format, GLenum type, const void* pixels),                                            \
    (target, level, xoffset, yoffset, zoffset, width, height, depth, format, type, pixels))                     \
  X(void, glViewport, (GLint x, GLint y, GLsizei width, GLsizei height), (x, y, width, height))

// Extension groups, in the order they are examined.
// G(extension name, required, entry-point list macro)
#define TW_GL_EXTENSION_GROUPS(G)                                         \
  G(GL_ARB_vertex_buffer_object, true, TW_GL_ARB_vertex_buffer_object)    \
  G(GL_EXT_framebuffer_object, true, TW_GL_EXT_framebuffer_object)        \
  G(GL_EXT_framebuffer_blit, true, TW_GL_EXT_framebuffer_blit)            \
  G(GL_ARB_map_buffer_range, false, TW_GL_ARB_map_buffer_range)           \
  G(GL_APPLE_flush_buffer_range, false, TW_GL_APPLE_flush_buffer_range)   \
  G(GL_ARB_point_sprite, false, TW_GL_NO_FUNCTIONS)                       \
  G(GL_ARB_point_parameters, false, TW_GL_ARB_point_parameters)           \
  G(GL_ARB_sampler_objects, false, TW_GL_ARB_sampler_objects)             \
  G(GL_EXT_texture_filter_anisotropic, false, TW_GL_NO_FUNCTIONS)         \
  G(GL_ARB_occlusion_query, false, TW_GL_ARB_occlusion_query)             \
  G(GL_ARB_texture_compression, true, TW_GL_ARB_texture_compression)      \
  G(GL_EXT_texture_compression_s3tc, true, TW_GL_NO_FUNCTIONS)            \
  G(GL_EXT_vertex_array_bgra, false, TW_GL_NO_FUNCTIONS)                 \
  G(GL_ARB_clip_control, false, TW_GL_ARB_clip_control)

#define TW_GL_NO_FUNCTIONS(X)

#define TW_GL_ARB_vertex_buffer_object(X)                                                                       \
  X(void, glBindBufferARB, (GLenum target, GLuint buffer), (target, buffer))                                    \
  X(void, glDeleteBuffersARB, (GLsizei n, const GLuint* buffers), (n, buffers))                                 \
  X(void, glGenBuffersARB, (GLsizei n, GLuint* buffers), (n, buffers))                                          \
  X(void, glBufferDataARB, (GLenum target, GLsizeiptrARB size, const void* data, GLenum usage),                 \
    (target, size, data, usage))                                                                                \
  X(void, glBufferSubDataARB, (GLenum target, GLintptrARB offset, GLsizeiptrARB size, const void* data),        \
    (target, offset, size, data))                                                                               \
  X(void*, glMapBufferARB, (GLenum target, GLenum access), (target, access))                                    \
  X(GLboolean, glUnmapBufferARB, (GLenum target), (target))

#define TW_GL_EXT_framebuffer_object(X)                                                                         \
  X(void, glBindRenderbufferEXT, (GLenum target, GLuint renderbuffer), (target, renderbuffer))                  \
  X(void, glDeleteRenderbuffersEXT, (GLsizei n, const GLuint* renderbuffers), (n, renderbuffers))               \
  X(void, glGenRenderbuffersEXT, (GLsizei n, GLuint* renderbuffers), (n, renderbuffers))                        \
  X(void, glRenderbufferStorageEXT, (GLenum target, GLenum internalformat, GLsizei width, GLsizei height),      \
    (target, internalformat, width, height))                                                                    \
  X(void, glBindFramebufferEXT, (GLenum target, GLuint framebuffer), (target, framebuffer))                     \
  X(void, glDeleteFramebuffersEXT, (GLsizei n, const GLuint* framebuffers), (n, framebuffers))                  \
  X(void, glGenFramebuffersEXT, (GLsizei n, GLuint* framebuffers), (n, framebuffers))                           \
  X(GLenum, glCheckFramebufferStatusEXT, (GLenum target), (target))                                             \
  X(void, glFramebufferTexture2DEXT,                                                                            \
    (GLenum target, GLenum attachment, GLenum textarget, GLuint texture, GLint level),                          \
    (target, attachment, textarget, texture, level))                                                            \
  X(void, glFramebufferRenderbufferEXT,                                                                         \
    (GLenum target, GLenum attachment, GLenum renderbuffertarget, GLuint renderbuffer),                         \
    (target, attachment, renderbuffertarget, renderbuffer))                                                     \
  X(void, glGenerateMipmapEXT, (GLenum target), (target))

#define TW_GL_EXT_framebuffer_blit(X)                                                                           \
  X(void, glBlitFramebufferEXT,                                                                                 \
    (GLint srcX0, GLint srcY0, GLint srcX1, GLint srcY1, GLint dstX0, GLint dstY0, GLint dstX1, GLint dstY1,    \
     GLbitfield mask, GLenum filter),                                                                           \
    (srcX0, srcY0, srcX1, srcY1, dstX0, dstY0, dstX1, dstY1, mask, filter))

#define TW_GL_ARB_map_buffer_range(X)                                                                           \
  X(void*, glMapBufferRange, (GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access),            \
    (target, offset, length, access))                                                                           \
  X(void, glFlushMappedBufferRange, (GLenum target, GLintptr offset, GLsizeiptr length), (target, offset, length))

#define TW_GL_APPLE_flush_buffer_range(X)                                                                       \
  X(void, glBufferParameteriAPPLE, (GLenum target, GLenum pname, GLint param), (target, pname, param))          \
  X(void, glFlushMappedBufferRangeAPPLE, (GLenum target, GLintptr offset, GLsizeiptr size), (target, offset, size))

#define TW_GL_ARB_point_parameters(X)                                                                           \
  X(void, glPointParameterfARB, (GLenum pname, GLfloat param), (pname, param))                                  \
  X(void, glPointParameterfvARB, (GLenum pname, const GLfloat* params), (pname, params))

#define TW_GL_ARB_clip_control(X) X(void, glClipControl, (GLenum origin, GLenum depth), (origin, depth))

#define TW_GL_ARB_sampler_objects(X)                                                                            \
  X(void, glGenSamplers, (GLsizei count, GLuint* samplers), (count, samplers))                                  \
  X(void, glDeleteSamplers, (GLsizei count, const GLuint* samplers), (count, samplers))                         \
  X(void, glBindSampler, (GLuint unit, GLuint sampler), (unit, sampler))                                        \
  X(void, glSamplerParameteri, (GLuint sampler, GLenum pname, GLint param), (sampler, pname, param))            \
  X(void, glSamplerParameterf, (GLuint sampler, GLenum pname, GLfloat param), (sampler, pname, param))          \
  X(void, glSamplerParameterfv, (GLuint sampler, GLenum pname, const GLfloat* params), (sampler, pname, params))

#define TW_GL_ARB_occlusion_query(X)                                                                            \
  X(void, glGenQueriesARB, (GLsizei n, GLuint* ids), (n, ids))                                                  \
  X(void, glDeleteQueriesARB, (GLsizei n, const GLuint* ids), (n, ids))                                         \
  X(void, glBeginQueryARB, (GLenum target, GLuint id), (target, id))                                            \
  X(void, glEndQueryARB, (GLenum target), (target))                                                             \
  X(void, glGetQueryObjectuivARB, (GLuint id, GLenum pname, GLuint* params), (id, pname, params))

#define TW_GL_ARB_texture_compression(X)                                                                        \
  X(void, glCompressedTexImage2DARB,                                                                            \
    (GLenum target, GLint level, GLenum internalformat, GLsizei width, GLsizei height, GLint border,            \
     GLsizei imageSize, const void* data),                                                                      \
    (target, level, internalformat, width, height, border, imageSize, data))

struct MOJOSHADER_glContext;

// Finds an OpenGL function by name; SDL_GL_GetProcAddress unless replaced.
typedef void* (*EGLProcLookup)(const char* name);

class EOpenGLRenderer {
public:
  EOpenGLRenderer();
  ~EOpenGLRenderer();

  // Looks every function up and records the extensions present. False, with
  // the reasons on standard error and every entry point cleared, when a core
  // function or a required extension is missing.
  bool LoadEntryPoints();
  // Forgets every entry point and extension flag; nothing may be called
  // through this object until the next successful LoadEntryPoints.
  void ClearEntryPoints();
  // Picks the shader translator's profile and makes its context current.
  bool InitMojoShader();

  void ToggleState(GLenum cap, bool on) const {
    if (on)
      glEnable(cap);
    else
      glDisable(cap);
  }

  // The lookup every function goes through. Tests put their own in front of
  // SDL's; null restores SDL's.
  static void SetProcLookup(EGLProcLookup lookup);
  static EGLProcLookup GetProcLookup();

  // Thin callers of the looked-up functions; they check nothing, so a
  // function of an absent extension must not be called.
#define TW_GL_DECLARE_FUNCTION(ret, name, params, args) \
  typedef ret(APIENTRY* PFN_##name) params;             \
  ret name params const { return m_pfn_##name args; }
  TW_GL_CORE_FUNCTIONS(TW_GL_DECLARE_FUNCTION)
#define TW_GL_DECLARE_GROUP(ext, required, list) list(TW_GL_DECLARE_FUNCTION)
  TW_GL_EXTENSION_GROUPS(TW_GL_DECLARE_GROUP)
#undef TW_GL_DECLARE_GROUP
#undef TW_GL_DECLARE_FUNCTION

#define TW_GL_DECLARE_QUERY(ext, required, list) \
  bool supports_##ext() const { return m_b_##ext; }
  TW_GL_EXTENSION_GROUPS(TW_GL_DECLARE_QUERY)
#undef TW_GL_DECLARE_QUERY

  // True when the blank-separated extension list names the extension
  // exactly (a longer name that merely begins with it does not count).
  static bool ExtensionListed(const char* list, const char* name);

  const char* GetMojoShaderProfile() const { return m_szMojoProfile; }
  MOJOSHADER_glContext* GetMojoShaderContext() const { return m_pMojoContext; }

  // Translator state (kept across resets).
  char* m_szMojoProfile;
  MOJOSHADER_glContext* m_pMojoContext;
  // Framebuffer objects for render targets and copies.
  GLuint m_uRenderFramebuffer;
  GLuint m_uCopyFramebuffer;
  bool m_bRenderTargetBound;
  // Texture target of the active texture unit.
  GLenum m_eCurrentTextureTarget;
  // One sampler object per texture stage.
  GLuint m_auSamplers[4];
  // The largest value the depth buffer holds (2^bits - 1).
  float m_fMaxDepthValue;

private:
  EOpenGLRenderer(const EOpenGLRenderer&) = delete;
  EOpenGLRenderer& operator=(const EOpenGLRenderer&) = delete;

  static void* LookupFunction(const char* name, const char* group, bool& present);

#define TW_GL_DECLARE_POINTER(ret, name, params, args) PFN_##name m_pfn_##name;
  TW_GL_CORE_FUNCTIONS(TW_GL_DECLARE_POINTER)
#define TW_GL_DECLARE_GROUP_FIELDS(ext, required, list) \
  bool m_b_##ext;                                        \
  list(TW_GL_DECLARE_POINTER)
  TW_GL_EXTENSION_GROUPS(TW_GL_DECLARE_GROUP_FIELDS)
#undef TW_GL_DECLARE_GROUP_FIELDS
#undef TW_GL_DECLARE_POINTER
};
