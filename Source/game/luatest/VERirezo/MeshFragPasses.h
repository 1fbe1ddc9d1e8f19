// The per-pass decisions of a fragment's draw: the render state, constant
// colour, bright variant and streams of one pass of the shared context's
// list, before its setter and its draw.
#pragma once

#include "Game/LinkedShaders.h"
#include "TWMath/Vector.h"

class EMeshFrag;
class ELight;

namespace meshfragexec {

enum { kSTREAM_GEOM = 0, kSTREAM_COLOR = 1, kSTREAM_TEXCOORD = 2, kSTREAM_SKIN = 3, kSTREAM_BASIS = 4 };

struct PassSetup {
  EVec4 vColor;
  bool bBright = false;
  bool abStreams[5] = {};
};

// Running values of one walk over the pass list.
struct PassWalk {
  int iPerPixel = 0;  // S: the next light of the per-pixel block
  int iSpecular = 0;  // U: the next light of the specular block
  bool bBaseSeen = false;
};

// Fills the context's render state for pass k of the list and works out its
// colour, bright variant and default streams. False when the pass is not
// drawn at all.
bool SetupPass(EMeshFrag& frag, int k, const PassWalk& walk, PassSetup& out);

// The colour of a projected light's pass.
EVec4 ProjectedLightColor(const ELight& light, const EVec4& c);

// The geometry module of the next vertex shader, for the application and
// the shader constants.
void SetGeomShader(VSGEOM eGeom);
// The fragment's joint table for the skinning constants and setters.
void SetJointTable(EMeshFrag& frag);

}  // namespace meshfragexec
