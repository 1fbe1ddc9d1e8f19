// Run-time linked vertex shaders: which geometry, diffuse, fog and texture
// modules may be joined, and the vertex streams a joined shader reads.
#pragma once

#include "TWGraphics/Renderer.h"

enum VSGEOM {
  kVSGEOM_PROJECT = 0,
  kVSGEOM_PROJECTBASIS = 1,
  kVSGEOM_HWSKIN = 2,
  kVSGEOM_HWSKINBASIS = 3,
  kVSGEOM_HWBLEND = 4,
  kVSGEOM_TRANSFORM = 5,
  kNUM_VSGEOM = 6,
};

enum { kNUM_VSDIFFUSE = 17, kNUM_VSFOG = 2, kNUM_VSTEXTURE = 39 };

enum {
  kNUM_LINKED_SHADERS = kNUM_VSGEOM * kNUM_VSDIFFUSE * kNUM_VSFOG * kNUM_VSTEXTURE,  // 7,956
  kMAX_LINKED_INPUTS = kMAX_VERTEX_STREAMS + 1,                                   // with the -1
};

// Entry (g, d, f, t) of the linked table.
inline int LinkedShaderIndex(int g, int d, int f, int t) { return g * 1326 + d * 78 + f * 39 + t; }

// The module files, under the vertex-shader folder.
const char* GeomModuleFile(int g);
const char* DiffuseModuleFile(int d);
const char* FogModuleFile(int f);
const char* TextureModuleFile(int t);

// The coordinate format a texture module reads, or kVBFORMAT_END for none.
VBFORMAT TextureModuleCoordinates(int t);

// True when the combination may be linked.
bool LinkedShaderAllowed(int g, int d, int f, int t);

// Writes the -1-terminated input list of the combination into out and
// returns the number of streams. More than kMAX_VERTEX_STREAMS is fatal.
int LinkedShaderInputs(int g, int d, int t, VBFORMAT out[kMAX_LINKED_INPUTS]);
