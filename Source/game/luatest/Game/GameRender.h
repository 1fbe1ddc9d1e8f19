// The application's render set-up: helpers for its procedural textures.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

// A unit vector packed as A8R8G8B8: alpha 255, x in red, y in green and z in
// blue, each (c + 1) x 127.5 rounded half away from zero. Components outside
// -1..1 are a fatal report.
uint32_t NormalVectorToRGBA(const EVec3& v);

// The kind of pass being drawn.
enum RENDERMODE {
  kRENDERMODE_MAIN = 0,                  // the main view, and between passes
  kRENDERMODE_INLINE_TRANSLUCENCE = 1,
  kRENDERMODE_MONITORS = 2,
  kRENDERMODE_PROJECTED_TEXTURES = 3,    // projected shadows and lights
  kRENDERMODE_SPRITE_OVERLAYS = 4,       // sprites drawn inside the scene
  kRENDERMODE_REFLECTION = 5,
  kRENDERMODE_STENCIL_RECEIVER = 6,
  kRENDERMODE_OCCLUSION_QUERY = 7,
  kRENDERMODE_SOLID_COLOR = 8,
};

// The visible list into which a render request files mesh fragments.
enum RENDERDOMAIN : int {
  kRENDERDOMAIN_ALL = -1,  // every domain, where a count is asked for
  kRENDERDOMAIN_SCENE = 0,
  kRENDERDOMAIN_SKYBOX = 1,
  kRENDERDOMAIN_MAP = 2,
  kRENDERDOMAIN_REFLECTION = 3,
  kNUM_RENDERDOMAINS = 4,
};

// The screen targets: level 0 has the display's size, levels 1 to 3 are
// 640 x 480 halved once, twice and three times.
enum { kNUM_SCREEN_LEVELS = 4 };
