// Renderer textures, the elements of the "Textures" pool.
#pragma once

#include "TWUtil/DataArray.h"

class ETexture : public EDataElement {
public:
  // Called around a change of video mode, which loses every OpenGL object.
  void PreReset() {}
  void PostReset() {}
};
