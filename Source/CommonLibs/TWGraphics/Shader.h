// Translated vertex and pixel shaders, the elements of the shader pools.
#pragma once

#include "TWGraphics/Vertex.h"
#include "TWUtil/DataArray.h"

struct MOJOSHADER_glShader;

enum {
  kMAX_VERTEX_ELEMENTS = 32,
  kPIXEL_SHADER_CONSTANT_COUNT = 8,
  // Vertex constants the renderer caches (registers 0 to 256).
  kVERTEX_SHADER_CONSTANT_CACHE = 257,
};

// FNV-1a over the text up to its terminating zero, starting from seed, then
// mixed: the key of the vertex-shader cache.
unsigned HashString(const char* text, unsigned seed);

class EVertexShader : public EDataElement {
public:
  EVertexShader();
  ~EVertexShader();

  MOJOSHADER_glShader* m_pShader;  // owned
  VBFORMAT* m_pFormats;            // owned; format i feeds stream i
  EVertexElement* m_pElements;     // owned; ended by a type -1 record
  int m_iStreamCount;
};

class EPixelShader : public EDataElement {
public:
  EPixelShader();
  ~EPixelShader();

  MOJOSHADER_glShader* m_pShader;  // owned
  void* m_pConstantTable;
};
