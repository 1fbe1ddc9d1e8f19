// Vertex buffers, index buffers and the vertex pools they live in.
#pragma once

#include "TWGraphics/Renderer.h"
#include "TWUtil/DataArray.h"

// One input of a vertex layout, as the shader translator takes it. A record
// with type -1 ends a list.
struct EVertexElement {
  int Stream;
  int Offset;
  int Type;        // translator attribute type: 6 float, 1 unsigned byte, 2 short
  int Size;        // 1 to 4, or GL_BGRA for a packed B, G, R, A colour
  int Normalized;  // 0 or 1
  int Usage;       // translator usage: 0 position, 3 normal, 5 texcoord, ...
  int UsageIndex;
};

// The inputs of a layout (stream 0), ended by a type -1 record; null for the
// layouts without any.
const EVertexElement* GetVertexElements(VBFORMAT format);
// The shader declaration lines of a layout, ended by null.
const char* const* GetVertexDeclaration(VBFORMAT format);

class EVertexPool : public EDataElement {
public:
  EVertexPool();

  void* Lock(unsigned count, unsigned offset, unsigned flags);
  void Unlock();
  void Release();
  // Called around a change of video mode: dynamic pools are rebuilt empty.
  void PreReset();
  void PostReset();

  VBFORMAT m_eFormat;
  unsigned m_dwFlags;
  unsigned m_dwVertexCount;  // capacity
  unsigned m_dwUsedCount;    // handed out to buffers
  unsigned m_dwRefCount;     // buffers placed in it
  unsigned m_dwLockCount;
  EOpenGLRenderer* m_pGLRenderer;  // not owned
  bool m_bLockWrite;
  unsigned m_dwLockOffset;  // bytes
  unsigned m_dwLockSize;    // bytes
  uintptr_t m_pData;        // offset of the data in the buffer object, or a pointer without one
  unsigned m_VB;
  uint8_t* m_pSaved;  // a static pool's contents, kept across a reset
};

class EVertexBuffer : public EDataElement {
public:
  EVertexBuffer();

  void* Lock(unsigned count, unsigned offset, unsigned flags);
  void Unlock();
  unsigned GetVertexCount() const { return m_dwVertexCount; }

  VBFORMAT m_eFormat;
  unsigned m_dwFlags;
  unsigned m_dwVertexCount;
  uint32_t m_hPool;
  unsigned m_dwFirstVertex;  // in the pool
};

class EIndexBuffer : public EDataElement {
public:
  EIndexBuffer();

  uint16_t* Lock(unsigned count, unsigned offset, unsigned flags);
  void Unlock();

  unsigned m_dwIndexCount;
  unsigned m_dwReserved;
  unsigned m_dwLockCount;
  EOpenGLRenderer* m_pGLRenderer;  // not owned
  bool m_bLockWrite;
  unsigned m_dwLockOffset;
  unsigned m_dwLockSize;
  unsigned m_IB;
};
