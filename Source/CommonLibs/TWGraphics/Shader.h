// Translated vertex and pixel shaders, the elements of the shader pools.
#pragma once

#include "TWUtil/DataArray.h"

class EVertexShader : public EDataElement {};

class EPixelShader : public EDataElement {};
