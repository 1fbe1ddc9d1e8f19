#include "TWGraphics/Vertex.h"

#include <mojoshader.h>

#include <cstdlib>
#include <cstring>

#include "TWGraphics/OpenGLGraphics.h"
#include "TWGraphics/Shader.h"
#include "TWUtil/ErrorManager.h"

namespace {

enum { kFLOAT = 6, kUBYTE = 1, kSHORT = 2 };
enum { kPOSITION = 0, kNORMAL = 3, kTEXCOORD = 5, kTANGENT = 6, kBINORMAL = 7, kCOLOR = 10 };

#define END_ELEMENTS \
  { 0, 0, -1, 0, 0, 0, 0 }
#define COLOR_AT(offset) \
  { 0, offset, kUBYTE, GL_BGRA, 1, kCOLOR, 0 }

const EVertexElement kPosition[] = {{0, 0, kFLOAT, 3, 0, kPOSITION, 0}, END_ELEMENTS};
const EVertexElement kPositionColor[] = {{0, 0, kFLOAT, 3, 0, kPOSITION, 0}, COLOR_AT(12), END_ELEMENTS};
const EVertexElement kPositionColorTex5[] = {
    {0, 0, kFLOAT, 3, 0, kPOSITION, 0}, COLOR_AT(12), {0, 16, kFLOAT, 1, 0, kTEXCOORD, 5}, END_ELEMENTS};
const EVertexElement kPositionNormal[] = {
    {0, 0, kFLOAT, 3, 0, kPOSITION, 0}, {0, 12, kFLOAT, 3, 0, kNORMAL, 0}, END_ELEMENTS};
const EVertexElement kPositionNormalTex0[] = {{0, 0, kFLOAT, 3, 0, kPOSITION, 0},
                                              {0, 12, kFLOAT, 3, 0, kNORMAL, 0},
                                              {0, 24, kFLOAT, 2, 0, kTEXCOORD, 0},
                                              END_ELEMENTS};
const EVertexElement kPositionColorTex0[] = {
    {0, 0, kFLOAT, 3, 0, kPOSITION, 0}, COLOR_AT(12), {0, 16, kFLOAT, 2, 0, kTEXCOORD, 0}, END_ELEMENTS};
const EVertexElement kPositionNormalColorTex0[] = {{0, 0, kFLOAT, 3, 0, kPOSITION, 0},
                                                   {0, 12, kFLOAT, 3, 0, kNORMAL, 0},
                                                   COLOR_AT(24),
                                                   {0, 28, kFLOAT, 2, 0, kTEXCOORD, 0},
                                                   END_ELEMENTS};
const EVertexElement kPositionColorTex0Tex5[] = {{0, 0, kFLOAT, 3, 0, kPOSITION, 0},
                                                 COLOR_AT(12),
                                                 {0, 16, kFLOAT, 2, 0, kTEXCOORD, 0},
                                                 {0, 24, kSHORT, 2, 0, kTEXCOORD, 5},
                                                 END_ELEMENTS};
const EVertexElement kColor[] = {COLOR_AT(0), END_ELEMENTS};
const EVertexElement kTex0[] = {{0, 0, kFLOAT, 2, 0, kTEXCOORD, 0}, END_ELEMENTS};
const EVertexElement kTex01[] = {
    {0, 0, kFLOAT, 2, 0, kTEXCOORD, 0}, {0, 8, kFLOAT, 2, 0, kTEXCOORD, 1}, END_ELEMENTS};
const EVertexElement kTex012[] = {{0, 0, kFLOAT, 2, 0, kTEXCOORD, 0},
                                  {0, 8, kFLOAT, 2, 0, kTEXCOORD, 1},
                                  {0, 16, kFLOAT, 2, 0, kTEXCOORD, 2},
                                  END_ELEMENTS};
const EVertexElement kTex0123[] = {{0, 0, kFLOAT, 2, 0, kTEXCOORD, 0},
                                   {0, 8, kFLOAT, 2, 0, kTEXCOORD, 1},
                                   {0, 16, kFLOAT, 2, 0, kTEXCOORD, 2},
                                   {0, 24, kFLOAT, 2, 0, kTEXCOORD, 3},
                                   END_ELEMENTS};
const EVertexElement kTex67[] = {
    {0, 0, kUBYTE, GL_BGRA, 1, kTEXCOORD, 6}, {0, 4, kFLOAT, 1, 0, kTEXCOORD, 7}, END_ELEMENTS};
const EVertexElement kTangentBinormalTex4[] = {{0, 0, kFLOAT, 3, 0, kTANGENT, 0},
                                               {0, 12, kFLOAT, 3, 0, kBINORMAL, 0},
                                               {0, 24, kFLOAT, 3, 0, kTEXCOORD, 4},
                                               END_ELEMENTS};
#define BLEND_ELEMENTS(n) \
  {{0, 0, kFLOAT, 3, 0, kPOSITION, n}, {0, 12, kFLOAT, 3, 0, kNORMAL, n}, END_ELEMENTS}
const EVertexElement kBlend1[] = BLEND_ELEMENTS(1);
const EVertexElement kBlend2[] = BLEND_ELEMENTS(2);
const EVertexElement kBlend3[] = BLEND_ELEMENTS(3);
const EVertexElement kBlend4[] = BLEND_ELEMENTS(4);

const char* const kDclPosition[] = {"dcl_position\tv0", nullptr};
const char* const kDclPositionColor[] = {"dcl_position\tv0", "dcl_color\t\tv2", nullptr};
const char* const kDclPositionColorTex5[] = {"dcl_position\tv0", "dcl_color\t\tv2", "dcl_texcoord5\tv13", nullptr};
const char* const kDclPositionNormal[] = {"dcl_position\tv0", "dcl_normal\t\tv1", nullptr};
const char* const kDclPositionNormalTex0[] = {"dcl_position\tv0", "dcl_normal\t\tv1", "dcl_texcoord0\tv3", nullptr};
const char* const kDclPositionColorTex0[] = {"dcl_position\tv0", "dcl_color\t\tv2", "dcl_texcoord0\tv3", nullptr};
const char* const kDclPositionNormalColorTex0[] = {"dcl_position\tv0", "dcl_normal\t\tv1", "dcl_color\t\tv2",
                                                   "dcl_texcoord0\tv3", nullptr};
const char* const kDclPositionColorTex0Tex5[] = {"dcl_position\tv0", "dcl_color\t\tv2", "dcl_texcoord0\tv3",
                                                 "dcl_texcoord5\tv13", nullptr};
const char* const kDclColor[] = {"dcl_color\t\tv2", nullptr};
const char* const kDclTex0[] = {"dcl_texcoord0\tv3", nullptr};
const char* const kDclTex01[] = {"dcl_texcoord0\tv3", "dcl_texcoord1\tv4", nullptr};
const char* const kDclTex012[] = {"dcl_texcoord0\tv3", "dcl_texcoord1\tv4", "dcl_texcoord2\tv5", nullptr};
const char* const kDclTex0123[] = {"dcl_texcoord0\tv3", "dcl_texcoord1\tv4", "dcl_texcoord2\tv5",
                                   "dcl_texcoord3\tv6", nullptr};
const char* const kDclTex67[] = {"dcl_texcoord6\tv14", "dcl_texcoord7\tv15", nullptr};
const char* const kDclTangentBinormalTex4[] = {"dcl_tangent\tv7", "dcl_binormal\tv8", "dcl_texcoord4\tv9", nullptr};
const char* const kDclBlend1[] = {"dcl_position1\tv6", "dcl_normal1\tv10", nullptr};
const char* const kDclBlend2[] = {"dcl_position2\tv7", "dcl_normal2\tv11", nullptr};
const char* const kDclBlend3[] = {"dcl_position3\tv8", "dcl_normal3\tv12", nullptr};
const char* const kDclBlend4[] = {"dcl_position4\tv9", "dcl_normal4\tv13", nullptr};

struct Layout {
  unsigned size;
  unsigned stride;
  const EVertexElement* elements;
  const char* const* declaration;
};

const Layout kLayouts[kNUM_VBFORMATS] = {
    {12, 12, kPosition, kDclPosition},
    {16, 16, kPositionColor, kDclPositionColor},
    {20, 20, kPositionColorTex5, kDclPositionColorTex5},
    {24, 24, kPositionNormal, kDclPositionNormal},
    {32, 32, kPositionNormalTex0, kDclPositionNormalTex0},
    {24, 24, kPositionColorTex0, kDclPositionColorTex0},
    {36, 36, kPositionNormalColorTex0, kDclPositionNormalColorTex0},
    {28, 28, kPositionColorTex0Tex5, kDclPositionColorTex0Tex5},
    {4, 4, kColor, kDclColor},
    {8, 8, kTex0, kDclTex0},
    {16, 16, kTex01, kDclTex01},
    {24, 24, kTex012, kDclTex012},
    {32, 32, kTex0123, kDclTex0123},
    {8, 8, kTex67, kDclTex67},
    {36, 36, kTangentBinormalTex4, kDclTangentBinormalTex4},
    {24, 24, kBlend1, kDclBlend1},
    {24, 24, kBlend2, kDclBlend2},
    {24, 24, kBlend3, kDclBlend3},
    {24, 24, kBlend4, kDclBlend4},
    {24, 0, nullptr, nullptr},
    {8, 0, nullptr, nullptr},
};

const Layout& LayoutOf(VBFORMAT format) {
  EASSERT((unsigned)format < (unsigned)kNUM_VBFORMATS);
  return kLayouts[(unsigned)format < (unsigned)kNUM_VBFORMATS ? format : 0];
}

GLenum ConvertDrawMode(VBDRAWMODE mode) {
  switch (mode) {
    case kVBDRAWMODE_POINTLIST: return GL_POINTS;
    case kVBDRAWMODE_LINELIST: return GL_LINES;
    case kVBDRAWMODE_LINESTRIP: return GL_LINE_STRIP;
    case kVBDRAWMODE_TRIANGLELIST: return GL_TRIANGLES;
    case kVBDRAWMODE_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case kVBDRAWMODE_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: break;
  }
  g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown draw mode\n", false);
  return GL_POINTS;
}

// Buffer settings of the APPLE range extension, made at creation and again
// after a reset.
void ApplyAppleSettings(EOpenGLRenderer* gl, GLenum target, unsigned flags, bool vertexPool) {
  if (!gl->supports_GL_APPLE_flush_buffer_range()) return;
  gl->glBufferParameteriAPPLE(target, GL_BUFFER_FLUSHING_UNMAP_APPLE, GL_FALSE);
  if (vertexPool && (flags & kVBFLAG_UNSYNCHRONIZED))
    gl->glBufferParameteriAPPLE(target, GL_BUFFER_SERIALIZED_MODIFY_APPLE, GL_FALSE);
}

// Maps a byte range of the buffer bound to target.
void* MapRange(EOpenGLRenderer* gl, GLenum target, unsigned offset, unsigned size, bool write, GLbitfield extra) {
  if (gl->supports_GL_ARB_map_buffer_range()) {
    GLbitfield access = (write ? GL_MAP_WRITE_BIT : GL_MAP_READ_BIT) | extra;
    return gl->glMapBufferRange(target, (GLintptr)offset, (GLsizeiptr)size, access);
  }
  uint8_t* p = static_cast<uint8_t*>(gl->glMapBufferARB(target, write ? GL_WRITE_ONLY_ARB : GL_READ_ONLY_ARB));
  return p ? p + offset : nullptr;
}

void UnmapRange(EOpenGLRenderer* gl, GLenum target, bool write, unsigned offset, unsigned size) {
  if (write && gl->supports_GL_APPLE_flush_buffer_range())
    gl->glFlushMappedBufferRangeAPPLE(target, (GLintptr)offset, (GLsizeiptr)size);
  gl->glUnmapBufferARB(target);
}

// Scratch arrays of the two multi-stream draws.
EVertexPool* s_apUnindexedPools[kMAX_VERTEX_STREAMS];
unsigned s_adwUnindexedBase[kMAX_VERTEX_STREAMS];
EVertexPool* s_apIndexedPools[kMAX_VERTEX_STREAMS];
unsigned s_adwIndexedBase[kMAX_VERTEX_STREAMS];

}  // namespace

const EVertexElement* GetVertexElements(VBFORMAT format) { return LayoutOf(format).elements; }

const char* const* GetVertexDeclaration(VBFORMAT format) { return LayoutOf(format).declaration; }

unsigned GetVertexSize(VBFORMAT format) { return LayoutOf(format).size; }

unsigned GetVertexStride(VBFORMAT format) { return LayoutOf(format).stride; }

unsigned GetPrimitiveCount(VBDRAWMODE mode, unsigned n) {
  switch (mode) {
    case kVBDRAWMODE_POINTLIST: return n;
    case kVBDRAWMODE_LINELIST: return n / 2;
    case kVBDRAWMODE_LINESTRIP: return n - 1;
    case kVBDRAWMODE_TRIANGLELIST: return n / 3;
    case kVBDRAWMODE_TRIANGLESTRIP:
    case kVBDRAWMODE_TRIANGLEFAN: return n - 2;
    case kVBDRAWMODE_QUADLIST: return n / 4;
    case kVBDRAWMODE_QUADSTRIP: return n / 2 - 1;
  }
  g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown draw mode in GetPrimitiveCount\n", false);
  return 0;
}

// ---------------------------------------------------------------------------
// Index buffers

EIndexBuffer::EIndexBuffer()
    : m_dwIndexCount(0),
      m_dwReserved(0),
      m_dwLockCount(0),
      m_pGLRenderer(nullptr),
      m_bLockWrite(false),
      m_dwLockOffset(0),
      m_dwLockSize(0),
      m_IB(0) {}

uint16_t* EIndexBuffer::Lock(unsigned dwIndexCount, unsigned dwIndexOffset, unsigned flags) {
  EThreadProtectD3D lock;
  if (!dwIndexCount) dwIndexCount = m_dwIndexCount;
  EASSERT(dwIndexOffset + dwIndexCount <= m_dwIndexCount);
  EASSERT(m_dwLockCount == 0);
  EOpenGLRenderer* gl = m_pGLRenderer;
  const bool write = !(flags & kLOCKFLAG_READONLY);
  gl->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, m_IB);
  void* p = MapRange(gl, GL_ELEMENT_ARRAY_BUFFER_ARB, dwIndexOffset * 2, dwIndexCount * 2, write, 0);
  m_bLockWrite = write;
  m_dwLockOffset = dwIndexOffset * 2;
  m_dwLockSize = dwIndexCount * 2;
  m_dwLockCount = 1;
  return static_cast<uint16_t*>(p);
}

void EIndexBuffer::Unlock() {
  EThreadProtectD3D lock;
  EASSERT(m_dwLockCount);
  EASSERT(m_dwLockCount == 1);
  EOpenGLRenderer* gl = m_pGLRenderer;
  gl->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, m_IB);
  UnmapRange(gl, GL_ELEMENT_ARRAY_BUFFER_ARB, m_bLockWrite, m_dwLockOffset, m_dwLockSize);
  m_bLockWrite = false;
  m_dwLockOffset = m_dwLockSize = 0;
  m_dwLockCount = 0;
}

uint32_t ERenderer::CreateIndexBuffer(unsigned count, unsigned flags) {
  EOpenGLRenderer* gl = m_pGLRenderer;
  GLuint ib = 0;
  gl->glGenBuffersARB(1, &ib);
  gl->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, ib);
  gl->glBufferDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, (GLsizeiptrARB)count * 2, nullptr,
                      (flags & kIBFLAG_DYNAMIC) ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB);
  ApplyAppleSettings(gl, GL_ELEMENT_ARRAY_BUFFER_ARB, flags, false);
  m_dwIndexMemory += count * 2;
  m_dwIndexCount += count;
  uint32_t idIB = m_pIndexBuffers->ElementNew();
  EASSERT(idIB);
  EIndexBuffer* pIB = m_pIndexBuffers->ElementGet(idIB);
  pIB->m_dwIndexCount = count;
  pIB->m_pGLRenderer = gl;
  pIB->m_IB = ib;
  return idIB;
}

uint16_t* ERenderer::LockIndexBuffer(uint32_t hIB, unsigned count, unsigned offset, unsigned flags) {
  EIndexBuffer* pIB = m_pIndexBuffers->ElementGet(hIB);
  EASSERT(pIB);
  return pIB->Lock(count, offset, flags);
}

void ERenderer::UnlockIndexBuffer(uint32_t hIB) {
  EIndexBuffer* pIB = m_pIndexBuffers->ElementGet(hIB);
  EASSERT(pIB);
  pIB->Unlock();
}

unsigned ERenderer::GetIndexBufferCount(uint32_t hIB) {
  EIndexBuffer* pIB = m_pIndexBuffers->ElementGet(hIB);
  EASSERT(pIB);
  return pIB->m_dwIndexCount;
}

void ERenderer::DeleteIndexBuffer(uint32_t hIB) {
  EThreadProtectD3D lock;
  EIndexBuffer* pIB = m_pIndexBuffers->ElementGet(hIB);
  EASSERT(pIB);
  EASSERT(!pIB->m_dwLockCount);
  m_dwIndexMemory -= pIB->m_dwIndexCount * 2;
  m_dwIndexCount -= pIB->m_dwIndexCount;
  GLuint ib = pIB->m_IB;
  m_pGLRenderer->glDeleteBuffersARB(1, &ib);
  m_pIndexBuffers->ElementDelete(pIB);
}

// ---------------------------------------------------------------------------
// Vertex pools

EVertexPool::EVertexPool()
    : m_eFormat(kVBFORMAT_POSITION),
      m_dwFlags(0),
      m_dwVertexCount(0),
      m_dwUsedCount(0),
      m_dwRefCount(0),
      m_dwLockCount(0),
      m_pGLRenderer(nullptr),
      m_bLockWrite(false),
      m_dwLockOffset(0),
      m_dwLockSize(0),
      m_pData(0),
      m_VB(0),
      m_pSaved(nullptr) {}

void* EVertexPool::Lock(unsigned dwVertexCount, unsigned dwVertexOffset, unsigned flags) {
  EThreadProtectD3D lock;
  EASSERT(dwVertexOffset + dwVertexCount <= m_dwVertexCount);
  const unsigned size = GetVertexSize(m_eFormat);
  const unsigned byteOffset = dwVertexOffset * size;
  const unsigned byteSize = dwVertexCount * size;
  EASSERT(m_dwLockCount == 0);
  EOpenGLRenderer* gl = m_pGLRenderer;
  const bool write = !(flags & kLOCKFLAG_READONLY);
  GLbitfield extra = 0;
  if (m_dwFlags & kVBFLAG_UNSYNCHRONIZED) extra |= GL_MAP_UNSYNCHRONIZED_BIT;
  if ((m_dwFlags & kVBFLAG_DYNAMIC) && write) {
    // Only what is being rewritten is thrown away; the rest stays.
    const bool whole = byteOffset == 0 && byteSize == m_dwVertexCount * size;
    extra |= whole ? GL_MAP_INVALIDATE_BUFFER_BIT : GL_MAP_INVALIDATE_RANGE_BIT;
  }
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_VB);
  void* p = MapRange(gl, GL_ARRAY_BUFFER_ARB, byteOffset, byteSize, write, extra);
  m_bLockWrite = write;
  m_dwLockOffset = byteOffset;
  m_dwLockSize = byteSize;
  m_dwLockCount = 1;
  if (g_pCurrentRenderer) g_pCurrentRenderer->m_FrameStats.m_fLockTime += 0.0f;  // the timer measures nothing
  return p;
}

void EVertexPool::Unlock() {
  EThreadProtectD3D lock;
  EASSERT(m_dwLockCount);
  EASSERT(m_dwLockCount == 1);
  EOpenGLRenderer* gl = m_pGLRenderer;
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_VB);
  UnmapRange(gl, GL_ARRAY_BUFFER_ARB, m_bLockWrite, m_dwLockOffset, m_dwLockSize);
  m_bLockWrite = false;
  m_dwLockOffset = m_dwLockSize = 0;
  m_dwLockCount = 0;
}

void EVertexPool::Release() {
  EThreadProtectD3D lock;
  EASSERT(!m_dwLockCount && !m_dwRefCount);
  ERenderer* r = g_pCurrentRenderer;
  unsigned category = MemoryCategoryOf(m_dwFlags);
  if (category >= kNUM_MEMORY_CATEGORIES) category = 0;
  r->m_adwVertexPoolMemory[category] -= m_dwVertexCount * GetVertexSize(m_eFormat);
  r->m_dwAllocatedVertices -= m_dwVertexCount;
  if (m_VB) {
    GLuint vb = m_VB;
    m_pGLRenderer->glDeleteBuffersARB(1, &vb);
  }
  m_VB = 0;
  r->m_pVertexPools->ElementDelete(this);
}

void EVertexPool::PreReset() {
  const size_t bytes = (size_t)m_dwVertexCount * GetVertexSize(m_eFormat);
  if (!(m_dwFlags & kVBFLAG_DYNAMIC) && m_VB && bytes) {
    // The new video mode's OpenGL context has none of the old buffers:
    // keep a static pool's vertices to put them back.
    EOpenGLRenderer* gl = m_pGLRenderer;
    m_pSaved = static_cast<uint8_t*>(malloc(bytes));
    EASSERT(m_pSaved);
    gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, m_VB);
    if (const void* p = gl->glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_ONLY_ARB)) {
      memcpy(m_pSaved, p, bytes);
      gl->glUnmapBufferARB(GL_ARRAY_BUFFER_ARB);
    } else {
      memset(m_pSaved, 0, bytes);
    }
    gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  }
  if (m_VB) {
    GLuint vb = m_VB;
    m_pGLRenderer->glDeleteBuffersARB(1, &vb);
  }
  m_VB = 0;
}

void EVertexPool::PostReset() {
  EASSERT(m_VB == 0);
  EOpenGLRenderer* gl = m_pGLRenderer;
  const bool dynamic = (m_dwFlags & kVBFLAG_DYNAMIC) != 0;
  GLuint vb = 0;
  gl->glGenBuffersARB(1, &vb);
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, vb);
  gl->glBufferDataARB(GL_ARRAY_BUFFER_ARB, (GLsizeiptrARB)m_dwVertexCount * GetVertexSize(m_eFormat),
                      dynamic ? nullptr : m_pSaved, dynamic ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB);
  free(m_pSaved);
  m_pSaved = nullptr;
  ApplyAppleSettings(gl, GL_ARRAY_BUFFER_ARB, m_dwFlags, true);
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  m_VB = vb;
}

uint32_t ERenderer::CreateVertexPool(VBFORMAT format, unsigned count, unsigned flags) {
  EThreadProtectD3D lock;
  const unsigned size = count * GetVertexSize(format);
  EOpenGLRenderer* gl = m_pGLRenderer;
  GLuint vb = 0;
  gl->glGenBuffersARB(1, &vb);
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, vb);
  gl->glBufferDataARB(GL_ARRAY_BUFFER_ARB, (GLsizeiptrARB)size, nullptr,
                      (flags & kVBFLAG_DYNAMIC) ? GL_DYNAMIC_DRAW_ARB : GL_STATIC_DRAW_ARB);
  ApplyAppleSettings(gl, GL_ARRAY_BUFFER_ARB, flags, true);
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  unsigned category = MemoryCategoryOf(flags);
  if (category >= kNUM_MEMORY_CATEGORIES) category = 0;
  m_adwVertexPoolMemory[category] += size;
  m_dwAllocatedVertices += count;

  uint32_t idVBPool = m_pVertexPools->ElementNew();
  EASSERT(idVBPool);
  EVertexPool* pPool = m_pVertexPools->ElementGet(idVBPool);
  pPool->m_eFormat = format;
  pPool->m_dwFlags = flags;
  pPool->m_dwVertexCount = count;
  pPool->m_pGLRenderer = gl;
  pPool->m_VB = vb;
  return idVBPool;
}

void ERenderer::ReleaseUnusedVertexPools() {
  for (int i = 0; i <= m_pVertexPools->m_iHighestUsed; ++i) {
    EVertexPool* p = &m_pVertexPools->m_pData[i];
    if (!EDataArray<EVertexPool>::ElementIsUsed(p)) continue;
    if (p->m_dwFlags & (kVBFLAG_DYNAMIC | kVBFLAG_UNSYNCHRONIZED)) continue;
    if (p->m_dwUsedCount || p->m_dwRefCount) continue;
    p->Release();
  }
}

// ---------------------------------------------------------------------------
// Vertex buffers

EVertexBuffer::EVertexBuffer()
    : m_eFormat(kVBFORMAT_POSITION), m_dwFlags(0), m_dwVertexCount(0), m_hPool(0), m_dwFirstVertex(0) {}

void* EVertexBuffer::Lock(unsigned count, unsigned offset, unsigned flags) {
  if (!count) count = m_dwVertexCount;
  EVertexPool* pPool = g_pCurrentRenderer->m_pVertexPools->ElementGet(m_hPool);
  EASSERT(pPool);
  return pPool->Lock(count, m_dwFirstVertex + offset, flags);
}

void EVertexBuffer::Unlock() {
  EVertexPool* pPool = g_pCurrentRenderer->m_pVertexPools->ElementGet(m_hPool);
  EASSERT(pPool);
  pPool->Unlock();
}

uint32_t ERenderer::CreateVertexBuffer(VBFORMAT format, unsigned dwVertexCount, unsigned flags, const char*) {
  EThreadProtectD3D lock;
  EASSERT(dwVertexCount <= kMAX_VERTICES_PER_BUFFER);
  flags &= ~1u;
  uint32_t hPool = CreateVertexPool(format, dwVertexCount, flags);
  if (!hPool) return 0;
  uint32_t idVB = m_pVertexBuffers->ElementNew();
  EASSERT(idVB);
  EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(idVB);
  EVertexPool* pPool = m_pVertexPools->ElementGet(hPool);
  pVB->m_eFormat = format;
  pVB->m_dwFlags = flags;
  pVB->m_dwVertexCount = dwVertexCount;
  pVB->m_hPool = hPool;
  pVB->m_dwFirstVertex = pPool->m_dwUsedCount;
  ++pPool->m_dwRefCount;
  pPool->m_dwUsedCount += dwVertexCount;
  m_dwUsedVertices += dwVertexCount;
  return idVB;
}

void* ERenderer::LockVertexBuffer(uint32_t hVB, unsigned count, unsigned offset, unsigned flags) {
  EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(hVB);
  EASSERT(pVB);
  return pVB->Lock(count, offset, flags);
}

void ERenderer::UnlockVertexBuffer(uint32_t hVB) {
  EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(hVB);
  EASSERT(pVB);
  pVB->Unlock();
}

unsigned ERenderer::GetVertexBufferCount(uint32_t hVB) {
  EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(hVB);
  EASSERT(pVB);
  return pVB->m_dwVertexCount;
}

unsigned ERenderer::GetVertexBufferFlags(uint32_t hVB) {
  EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(hVB);
  EASSERT(pVB);
  return pVB->m_dwFlags;
}

void ERenderer::DeleteVertexBuffer(uint32_t hVB) {
  EThreadProtectD3D lock;
  EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(hVB);
  EASSERT(pVB);
  if (EVertexPool* pPool = m_pVertexPools->ElementGet(pVB->m_hPool)) {
    EASSERT(!pPool->m_dwLockCount);
    if (--pPool->m_dwRefCount == 0) pPool->Release();
  }
  m_dwUsedVertices -= pVB->m_dwVertexCount;
  m_pVertexBuffers->ElementDelete(pVB);
}

// ---------------------------------------------------------------------------
// Drawing

void ERenderer::DrawUnindexedVertexBuffer(uint32_t hVB, VBDRAWMODE mode, unsigned count, unsigned start) {
  DrawUnindexedVertexBuffers(mode, 1, &hVB, count, start);
}

void ERenderer::DrawIndexedVertexBuffer(uint32_t hVB, uint32_t hIB, VBDRAWMODE mode, unsigned indexCount,
                                        unsigned indexOffset) {
  DrawIndexedVertexBuffers(mode, 1, &hVB, hIB, indexCount, indexOffset);
}

void ERenderer::DrawUnindexedVertexBuffers(VBDRAWMODE mode, int iStreamCount, uint32_t* phVBs, unsigned count,
                                           unsigned start) {
  EASSERT(iStreamCount >= 1 && iStreamCount <= kMAX_VERTEX_STREAMS);
  for (int i = 0; i < iStreamCount; ++i) {
    EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(phVBs[i]);
    EASSERT(pVB);
    s_apUnindexedPools[i] = m_pVertexPools->ElementGet(pVB->m_hPool);
    s_adwUnindexedBase[i] = pVB->m_dwFirstVertex + start;
  }
  DrawVertexPools(mode, iStreamCount, s_apUnindexedPools, count, s_adwUnindexedBase, nullptr, 0, 0);
}

void ERenderer::DrawIndexedVertexBuffers(VBDRAWMODE mode, int iStreamCount, uint32_t* phVBs, uint32_t hIB,
                                         unsigned indexCount, unsigned indexOffset) {
  EASSERT(iStreamCount >= 1 && iStreamCount <= kMAX_VERTEX_STREAMS);
  for (int i = 0; i < iStreamCount; ++i) {
    EVertexBuffer* pVB = m_pVertexBuffers->ElementGet(phVBs[i]);
    EASSERT(pVB);
    s_apIndexedPools[i] = m_pVertexPools->ElementGet(pVB->m_hPool);
    s_adwIndexedBase[i] = pVB->m_dwFirstVertex;
  }
  EIndexBuffer* pIB = m_pIndexBuffers->ElementGet(hIB);
  EASSERT(pIB);
  DrawVertexPools(mode, iStreamCount, s_apIndexedPools, 0, s_adwIndexedBase, pIB, indexCount, indexOffset);
}

void ERenderer::DrawVertexPools(VBDRAWMODE mode, int streams, EVertexPool** ppPools, unsigned dwVertexCount,
                                unsigned* pBaseVertices, EIndexBuffer* pIB, unsigned dwIndexCount,
                                unsigned dwIndexOffset) {
  EASSERT((dwVertexCount || dwIndexCount) && dwVertexCount <= kMAX_VERTICES_PER_RENDER);
  EASSERT(RenderingAllowed());
  setDefaultShaderConstants();
  const GLenum glMode = ConvertDrawMode(mode);
  EVertexShader* vs = currentVertexShader();
  if (!vs) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skipping vertex pool draw with no associated shader\n");
    return;
  }
  MOJOSHADER_glShader* vshader = vs->m_pShader;
  MOJOSHADER_glShader* pshader = nullptr;
  if (EPixelShader* ps = currentPixelShader()) pshader = ps->m_pShader;
  EASSERT((pshader != NULL) == (m_hPixelShader != 0));
  EASSERT(vshader != NULL);
  MOJOSHADER_glBindShaders(vshader, pshader);
  SetVertexShaderInput(ppPools, pBaseVertices, streams, vs->m_pElements);
  MOJOSHADER_glProgramReady();

  EOpenGLRenderer* gl = m_pGLRenderer;
  if (pIB) {
    EASSERT(dwIndexCount);
    EASSERT(dwIndexCount + dwIndexOffset <= pIB->m_dwIndexCount);
    // The highest index that can name a vertex of stream 0.
    const unsigned last = ppPools[0]->m_dwVertexCount - pBaseVertices[0] - 1;
    gl->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, pIB->m_IB);
    gl->glDrawRangeElements(glMode, 0, last, (GLsizei)dwIndexCount, GL_UNSIGNED_SHORT,
                            reinterpret_cast<const void*>((uintptr_t)dwIndexOffset * 2));
    gl->glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  } else {
    gl->glDrawArrays(glMode, 0, (GLsizei)dwVertexCount);
  }
  m_FrameStats.m_fDrawTime += 0.0f;  // the timer measures nothing
  ++m_FrameStats.m_dwRenderBatches;
}

void ERenderer::SetVertexShaderInput(EVertexPool** ppPools, unsigned* pFirstVertex, int iStreamCount,
                                     const EVertexElement* pElements) {
  EASSERT(iStreamCount <= kMAX_VERTEX_STREAMS);
  if (iStreamCount == 0) return;
  EOpenGLRenderer* gl = m_pGLRenderer;
  const bool bgra = gl->supports_GL_EXT_vertex_array_bgra();
  for (const EVertexElement* pElem = pElements; pElem && pElem->Type != -1; ++pElem) {
    EASSERT(pElem->Stream < iStreamCount);
    EVertexPool* pool = ppPools[pElem->Stream];
    const unsigned size = GetVertexSize(pool->m_eFormat);
    const unsigned stride = GetVertexStride(pool->m_eFormat);
    int components = pElem->Size;
    if (components == GL_BGRA && !bgra) components = 4;
    gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, pool->m_VB);
    uintptr_t address = pool->m_pData + (uintptr_t)size * pFirstVertex[pElem->Stream] + (uintptr_t)pElem->Offset;
    MOJOSHADER_glSetVertexAttribute((MOJOSHADER_usage)pElem->Usage, pElem->UsageIndex, (unsigned)components,
                                    (MOJOSHADER_attributeType)pElem->Type, pElem->Normalized, stride,
                                    reinterpret_cast<const void*>(address));
  }
  gl->glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  checkPixelShaderSamplers();
}

// ---------------------------------------------------------------------------
// Push buffers

// Grows one of the renderer's push storages to hold at least the bytes
// asked for; push buffers reuse them rather than allocating per draw.
static uint8_t* GrowPushStorage(uint8_t*& pStorage, size_t& dwCapacity, size_t dwBytes) {
  if (dwBytes > dwCapacity) {
    size_t dwNew = dwCapacity ? dwCapacity : 4096;
    while (dwNew < dwBytes) dwNew *= 2;
    uint8_t* p = static_cast<uint8_t*>(realloc(pStorage, dwNew));
    EASSERT(p);
    pStorage = p;
    dwCapacity = dwNew;
  }
  return pStorage;
}

uint32_t* ERenderer::BeginPush(VBDRAWMODE mode, unsigned words) {
  EASSERT(!m_pdwPushBuffer);
  m_pdwPushBuffer =
      reinterpret_cast<uint32_t*>(GrowPushStorage(m_pPushStorage, m_dwPushStorageBytes, (size_t)words * 4 + 4));
  m_dwPushCapacity = words * 4;
  m_dwPushBytes = 0;
  m_iPushDrawMode = mode;
  return m_pdwPushBuffer;
}

void ERenderer::pushBytesChecked(unsigned dwBytes) {
  EASSERT(m_pdwPushBuffer);
  // Writing past the words asked for would corrupt the heap.
  EASSERT(m_dwPushBytes + dwBytes <= m_dwPushCapacity);
  m_dwPushBytes += dwBytes;
}

void ERenderer::EndPush(uint32_t* pdwPush) {
  EASSERT(m_pdwPushBuffer && pdwPush >= m_pdwPushBuffer);
  EASSERT(pdwPush <= m_pdwPushBuffer + m_dwPushCapacity / 4);
  auto close = [this]() {
    m_pdwPushBuffer = nullptr;
    m_dwPushBytes = 0;
    m_dwPushCapacity = 0;
    m_iPushDrawMode = -1;
  };
  EVertexShader* vs = currentVertexShader();
  if (!vs) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skipping direct push buffer draw with no associated shader\n");
    close();
    return;
  }
  if (m_dwPushBytes == 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Skipping direct push buffer draw of zero length\n");
    close();
    return;
  }
  const VBFORMAT format = vs->m_pFormats ? vs->m_pFormats[0] : kVBFORMAT_POSITION;
  const unsigned vertexSize = GetVertexSize(format);
  VBDRAWMODE mode = (VBDRAWMODE)m_iPushDrawMode;
  const uint8_t* pData = reinterpret_cast<const uint8_t*>(m_pdwPushBuffer);
  if (mode == kVBDRAWMODE_QUADLIST) {
    const unsigned quads = m_dwPushBytes / (4 * vertexSize);
    uint8_t* tris = GrowPushStorage(m_pPushQuadStorage, m_dwPushQuadStorageBytes, (size_t)6 * quads * vertexSize + 4);
    static const int kOrder[6] = {0, 1, 2, 0, 2, 3};
    for (unsigned q = 0; q < quads; ++q)
      for (int k = 0; k < 6; ++k)
        memcpy(tris + ((size_t)q * 6 + k) * vertexSize, pData + ((size_t)q * 4 + kOrder[k]) * vertexSize, vertexSize);
    pData = tris;
    m_dwPushBytes = 6 * quads * vertexSize;
    mode = kVBDRAWMODE_TRIANGLELIST;
  }
  setDefaultShaderConstants();
  MOJOSHADER_glShader* pshader = nullptr;
  if (EPixelShader* ps = currentPixelShader()) pshader = ps->m_pShader;
  EASSERT((pshader != NULL) == (m_hPixelShader != 0));
  EASSERT(vs->m_pShader != NULL);
  MOJOSHADER_glBindShaders(vs->m_pShader, pshader);
  EVertexPool pool;
  pool.m_eFormat = format;
  pool.m_pData = reinterpret_cast<uintptr_t>(pData);
  pool.m_VB = 0;
  EVertexPool* pools[1] = {&pool};
  unsigned first[1] = {0};
  SetVertexShaderInput(pools, first, 1, vs->m_pElements);
  MOJOSHADER_glProgramReady();
  if (m_dwPushBytes >= vertexSize)
    m_pGLRenderer->glDrawArrays(ConvertDrawMode(mode), 0, (GLsizei)(m_dwPushBytes / vertexSize));
  close();
}
