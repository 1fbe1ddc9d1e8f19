// Vertex buffers, index buffers and the vertex pools they live in.
#pragma once

#include "TWUtil/DataArray.h"

class EVertexBuffer : public EDataElement {};

class EIndexBuffer : public EDataElement {};

class EVertexPool : public EDataElement {
public:
  // Called around a change of video mode, which loses every OpenGL object.
  void PreReset() {}
  void PostReset() {}
  void Release() {}
};
