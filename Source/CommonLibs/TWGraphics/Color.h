// Colour helpers of the renderer.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

// A packed A8R8G8B8 colour as (red, green, blue, alpha), each 0 to 1.
EVec4 ColorVectorFromRGBA(uint32_t color);
