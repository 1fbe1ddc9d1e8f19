// Run-time linked vertex shaders: the module files, the rules of which may
// be joined, and the build of the linked table.
#include "Game/LinkedShaders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "Game/GameShaders.h"
#include "TWUtil/ErrorManager.h"

namespace linkedshaders {

const char* const kGeomFiles[kNUM_VSGEOM] = {
    "Modules\\Geometry\\GeomProject.vsh", "Modules\\Geometry\\GeomProjectBasis.vsh",
    "Modules\\Geometry\\GeomHWSkin.vsh",  "Modules\\Geometry\\GeomHWSkinBasis.vsh",
    "Modules\\Geometry\\GeomHWBlend.vsh", "Modules\\Geometry\\GeomTransform.vsh",
};

const char* const kDiffuseFiles[kNUM_VSDIFFUSE] = {
    "Modules\\Diffuse\\DiffuseMaterial.vsh",         "Modules\\Diffuse\\DiffuseVertexColor.vsh",
    "Modules\\Diffuse\\DiffuseLightPoint.vsh",       "Modules\\Diffuse\\DiffuseLightSpot.vsh",
    "Modules\\Diffuse\\DiffuseSpecularLight.vsh",    "Modules\\Diffuse\\DiffuseSpecularLightPixel.vsh",
    "Modules\\Diffuse\\DiffuseSpecularLightmap.vsh", "Modules\\Diffuse\\DiffuseSpecularVertexColor.vsh",
    "Modules\\Diffuse\\DiffuseReflectFresnel.vsh",   "Modules\\Diffuse\\DiffuseProject.vsh",
    "Modules\\Diffuse\\DiffuseLayeredFog.vsh",       "Modules\\Diffuse\\DiffuseEdgeAlpha.vsh",
    "Modules\\Diffuse\\DiffuseEdgeLuminance.vsh",    "Modules\\Diffuse\\DiffuseInvEdgeAlpha.vsh",
    "Modules\\Diffuse\\DiffuseInvEdgeLuminance.vsh", "Modules\\Diffuse\\DiffuseNormal.vsh",
    "Modules\\Diffuse\\DiffuseBasis.vsh",
};

const char* const kFogFiles[kNUM_VSFOG] = {"Modules\\Fog\\FogNone.vsh", "Modules\\Fog\\FogLayered.vsh"};

struct TextureModule {
  const char* file;
  int coordinates;
};

const TextureModule kTextureModules[kNUM_VSTEXTURE] = {
    {"Modules\\Texture\\TexNone.vsh", kVBFORMAT_END},
    {"Modules\\Texture\\TexCoord1.vsh", 9},
    {"Modules\\Texture\\TexCoord2.vsh", 10},
    {"Modules\\Texture\\TexCoord3.vsh", 11},
    {"Modules\\Texture\\TexCoord4.vsh", 12},
    {"Modules\\Texture\\TexDetail1.vsh", 9},
    {"Modules\\Texture\\TexDetail2.vsh", 10},
    {"Modules\\Texture\\TexDetail3.vsh", 11},
    {"Modules\\Texture\\TexTransform1.vsh", 9},
    {"Modules\\Texture\\TexTransform2.vsh", 9},
    {"Modules\\Texture\\TexTransform4.vsh", 9},
    {"Modules\\Texture\\TexAnimate1.vsh", 9},
    {"Modules\\Texture\\TexAnimate2.vsh", 10},
    {"Modules\\Texture\\TexAnimateDetail1.vsh", 9},
    {"Modules\\Texture\\TexDiffuseLightPoint.vsh", 9},
    {"Modules\\Texture\\TexDiffuseLightSpot.vsh", 9},
    {"Modules\\Texture\\TexSpecularLightPixel.vsh", 9},
    {"Modules\\Texture\\TexLightmap1.vsh", 10},
    {"Modules\\Texture\\TexLightmap2.vsh", 11},
    {"Modules\\Texture\\TexLightmap3.vsh", 12},
    {"Modules\\Texture\\TexLightmapBump1.vsh", 10},
    {"Modules\\Texture\\TexLightmapBump2.vsh", 11},
    {"Modules\\Texture\\TexLightmapBump3.vsh", 12},
    {"Modules\\Texture\\TexLightmapLayer1.vsh", 10},
    {"Modules\\Texture\\TexLightmapLayer2.vsh", 11},
    {"Modules\\Texture\\TexLightmapLayer3.vsh", 12},
    {"Modules\\Texture\\TexLightmapInterp1.vsh", 10},
    {"Modules\\Texture\\TexLightmapInterp2.vsh", 11},
    {"Modules\\Texture\\TexLightmapInterp3.vsh", 12},
    {"Modules\\Texture\\TexReflect.vsh", 9},
    {"Modules\\Texture\\TexAttenLight.vsh", 9},
    {"Modules\\Texture\\TexAttenLightBase.vsh", 9},
    {"Modules\\Texture\\TexAttenLightBump.vsh", 9},
    {"Modules\\Texture\\TexAttenLightLightmap1.vsh", 10},
    {"Modules\\Texture\\TexAttenLightLightmap2.vsh", 11},
    {"Modules\\Texture\\TexAttenLightLightmap3.vsh", 12},
    {"Modules\\Texture\\TexProject.vsh", kVBFORMAT_END},
    {"Modules\\Texture\\TexProjectBase.vsh", 9},
    {"Modules\\Texture\\TexDistortion.vsh", 9},
};

bool In(int v, int lo, int hi) { return v >= lo && v <= hi; }
bool OneOf(int v, std::initializer_list<int> set) {
  for (int s : set)
    if (v == s) return true;
  return false;
}

// Diffuse modules and texture modules that read the tangent basis.
bool DiffuseNeedsBasis(int d) { return OneOf(d, {5, 6, 7, 16}); }
bool TextureNeedsBasis(int t) { return OneOf(t, {14, 15, 16, 20, 21, 22, 29, 32}); }

// One module record of the build.
struct ModuleSource {
  char* text = nullptr;
  unsigned length = 0;
  long long fileTime = 0;
  bool tried = false;
};

}  // namespace linkedshaders

const char* GeomModuleFile(int g) {
  if (g < 0 || g >= kNUM_VSGEOM) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown geometry shader type\n", false);
  return linkedshaders::kGeomFiles[g];
}

const char* DiffuseModuleFile(int d) {
  if (d < 0 || d >= kNUM_VSDIFFUSE) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown diffuse shader type\n", false);
  return linkedshaders::kDiffuseFiles[d];
}

const char* FogModuleFile(int f) {
  if (f < 0 || f >= kNUM_VSFOG) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown fog shader type\n", false);
  return linkedshaders::kFogFiles[f];
}

const char* TextureModuleFile(int t) {
  if (t < 0 || t >= kNUM_VSTEXTURE) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown texture shader type\n", false);
  return linkedshaders::kTextureModules[t].file;
}

VBFORMAT TextureModuleCoordinates(int t) { return (VBFORMAT)linkedshaders::kTextureModules[t].coordinates; }

bool LinkedShaderAllowed(int g, int d, int f, int t) {
  using linkedshaders::In;
  using linkedshaders::OneOf;
  // The transform group.
  const bool transformTexture = OneOf(t, {8, 9, 10, 38});
  if (g == kVSGEOM_TRANSFORM) {
    if (!OneOf(d, {0, 1}) || f != 0 || !OneOf(t, {0, 8, 9, 10, 38})) return false;
  } else if (transformTexture) {
    return false;
  }
  // The static group.
  const bool skinned = In(g, 2, 4);
  if (skinned && (OneOf(d, {6, 7}) || In(t, 17, 28) || In(t, 30, 35))) return false;
  // The tangent basis is there exactly when something reads it.
  const bool hasBasis = g == kVSGEOM_PROJECTBASIS || g == kVSGEOM_HWSKINBASIS;
  if (hasBasis != (linkedshaders::DiffuseNeedsBasis(d) || linkedshaders::TextureNeedsBasis(t))) return false;
  // Diffuse modules that need a particular texture module.
  switch (d) {
    case 4: if (t != 1) return false; break;
    case 5: case 7: if (t != 16) return false; break;
    case 6: if (!In(t, 23, 25)) return false; break;
    case 8: if (t != 29) return false; break;
    case 9: if (!OneOf(t, {36, 37})) return false; break;
    case 10: if (!OneOf(t, {0, 1})) return false; break;
    case 11: case 12: case 13: case 14: if (!OneOf(t, {1, 11})) return false; break;
    case 15: case 16: if (t != 0 || f != 0) return false; break;
    default: break;
  }
  // Texture modules that need a particular diffuse or fog module.
  if (OneOf(t, {14, 15}) && f != 0) return false;
  if (t == 16 && !OneOf(d, {5, 7})) return false;
  if ((In(t, 17, 19) || In(t, 26, 28) || In(t, 33, 35) || t == 38) && (d != 0 || f != 0)) return false;
  if (In(t, 23, 25) && !OneOf(d, {6, 7})) return false;
  if (t == 29 && !OneOf(d, {0, 1, 8})) return false;
  if (OneOf(t, {36, 37}) && d != 9) return false;
  // Blend shapes.
  if (g == kVSGEOM_HWBLEND && (t == 4 || In(t, 17, 28) || In(t, 33, 35))) return false;
  return true;
}

int LinkedShaderInputs(int g, int d, int t, VBFORMAT out[kMAX_LINKED_INPUTS]) {
  if (g == kVSGEOM_TRANSFORM) {
    out[0] = kVBFORMAT_POSITION_COLOR_TEXCOORD0;
    out[1] = kVBFORMAT_END;
    return 1;
  }
  VBFORMAT list[16];
  int n = 0;
  list[n++] = kVBFORMAT_POSITION_NORMAL;
  if (d == 1 || d == 7) list[n++] = kVBFORMAT_COLOR;
  VBFORMAT coords = TextureModuleCoordinates(t);
  if (coords != kVBFORMAT_END) list[n++] = coords;
  if (linkedshaders::In(g, 2, 4)) list[n++] = kVBFORMAT_TEXCOORD67;
  if (linkedshaders::DiffuseNeedsBasis(d) || linkedshaders::TextureNeedsBasis(t))
    list[n++] = kVBFORMAT_TANGENT_BINORMAL_TEXCOORD4;
  if (g == kVSGEOM_HWBLEND) {
    list[n++] = kVBFORMAT_BLEND1;
    list[n++] = kVBFORMAT_BLEND2;
    list[n++] = kVBFORMAT_BLEND3;
    list[n++] = kVBFORMAT_BLEND4;
  }
  const int iStreamCount = n;
  EASSERT(iStreamCount <= kMAX_VERTEX_STREAMS);
  for (int i = 0; i < n && i < kMAX_VERTEX_STREAMS; ++i) out[i] = list[i];
  out[n < kMAX_VERTEX_STREAMS ? n : kMAX_VERTEX_STREAMS] = kVBFORMAT_END;
  return n;
}

char* EGameShaders::LoadGeomShaderSource(int g, unsigned& length, long long& fileTime) {
  return LoadShaderSource(GeomModuleFile(g), length, fileTime, false);
}
char* EGameShaders::LoadDiffuseShaderSource(int d, unsigned& length, long long& fileTime) {
  return LoadShaderSource(DiffuseModuleFile(d), length, fileTime, false);
}
char* EGameShaders::LoadFogShaderSource(int f, unsigned& length, long long& fileTime) {
  return LoadShaderSource(FogModuleFile(f), length, fileTime, false);
}
char* EGameShaders::LoadTextureShaderSource(int t, unsigned& length, long long& fileTime) {
  return LoadShaderSource(TextureModuleFile(t), length, fileTime, false);
}

void EGameShaders::InitRunTimeVertexShaders() {
  using linkedshaders::ModuleSource;
  memset(m_ahLinked, 0, sizeof(m_ahLinked));
  ModuleSource geom[kNUM_VSGEOM], diffuse[kNUM_VSDIFFUSE], fog[kNUM_VSFOG], texture[kNUM_VSTEXTURE];
  const unsigned start = m_pfnTicks();
  std::vector<char> buffer;
  for (int g = 0; g < kNUM_VSGEOM; ++g) {
    ModuleSource& G = geom[g];
    if (!G.tried) G.text = LoadGeomShaderSource(g, G.length, G.fileTime), G.tried = true;
    if (!G.text) continue;
    for (int d = 0; d < kNUM_VSDIFFUSE; ++d) {
      ModuleSource& D = diffuse[d];
      if (!D.tried) D.text = LoadDiffuseShaderSource(d, D.length, D.fileTime), D.tried = true;
      if (!D.text) continue;
      for (int f = 0; f < kNUM_VSFOG; ++f) {
        ModuleSource& F = fog[f];
        if (!F.tried) F.text = LoadFogShaderSource(f, F.length, F.fileTime), F.tried = true;
        if (!F.text) continue;
        for (int t = 0; t < kNUM_VSTEXTURE; ++t) {
          ModuleSource& T = texture[t];
          if (!T.tried) T.text = LoadTextureShaderSource(t, T.length, T.fileTime), T.tried = true;
          if (!T.text) continue;
          if (!LinkedShaderAllowed(g, d, f, t)) continue;
          // The joined text, in a buffer sized to it and its closing zero.
          const unsigned length = G.length + D.length + F.length + T.length;
          buffer.assign(length + 1, 0);
          char* p = buffer.data();
          for (const ModuleSource* m : {&G, &D, &F, &T}) {
            memcpy(p, m->text, m->length);
            p += m->length;
          }
          long long fileTime = G.fileTime;
          for (const ModuleSource* m : {&D, &F, &T})
            if (m->fileTime > fileTime) fileTime = m->fileTime;
          VBFORMAT inputs[kMAX_LINKED_INPUTS];
          LinkedShaderInputs(g, d, t, inputs);
          char name[256];
          snprintf(name, sizeof(name), "Linked shader %i.%i.%i.%i", g, d, f, t);
          m_ahLinked[LinkedShaderIndex(g, d, f, t)] =
              m_pRenderer->AssembleVertexShader(buffer.data(), length, name, inputs, fileTime);
          if (!s_bProgressShown && m_pfnTicks() - start > (unsigned)kPROGRESS_AFTER_MS) {
            s_bProgressShown = true;
            m_pfnProgressFrame(this, true);
          }
        }
      }
    }
  }
  // Take the progress text off the screen again.
  if (s_bProgressShown) m_pfnProgressFrame(this, false);
  for (ModuleSource& m : geom) free(m.text);
  for (ModuleSource& m : diffuse) free(m.text);
  for (ModuleSource& m : fog) free(m.text);
  for (ModuleSource& m : texture) free(m.text);
}

void EGameShaders::ShutdownRunTimeVertexShaders() {
  for (unsigned& h : m_ahLinked) {
    if (h) m_pRenderer->DeleteVertexShader(h);
    h = 0;
  }
}
