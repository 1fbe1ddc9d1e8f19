// Translated vertex and pixel shaders, the elements of the shader pools.
#pragma once

#include "TWGraphics/Vertex.h"
#include "TWUtil/DataArray.h"

struct MOJOSHADER_glShader;

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
