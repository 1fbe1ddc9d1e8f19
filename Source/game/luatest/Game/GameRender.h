// The application's render set-up: helpers for its procedural textures.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

// A unit vector packed as A8R8G8B8: alpha 255, x in red, y in green and z in
// blue, each (c + 1) x 127.5 rounded half away from zero. Components outside
// -1..1 are a fatal report.
uint32_t NormalVectorToRGBA(const EVec3& v);
