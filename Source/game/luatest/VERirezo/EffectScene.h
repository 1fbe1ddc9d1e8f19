// What the effect stores (decals, render patches and splines, water) read
// of the current scene and reach of the application's drawing passes.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class ESceneSettings;
class EShaderPasses;
class EDomain;

namespace effectscene {
// The render settings of the current scene (fog, ambient colour, binary
// alpha threshold, water scales, spline defaults).
ESceneSettings& Settings();
// The current scene's active domain, or null.
EDomain* ActiveDomain();
// The application's drawing passes with the application's transforms and
// render camera copied in; null when they are not made.
EShaderPasses* Passes();
// The renderer handle of a game texture at its current frame; 0 without one.
uint32_t TextureHandle(uint32_t idTexture);
// The application's simulated seconds.
float Now();
// Model-to-world, world-to-model and light-to-model become the identity.
void IdentityTransforms();
}  // namespace effectscene
