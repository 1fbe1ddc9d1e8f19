// Normal maps palettised against the shared bump-map palette.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Game/GameApp.h"
#include "Game/GameRender.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/TextureManager.h"

namespace {

enum { kNUM_NORMALS = 256 };

// The vector an A8R8G8B8 colour stands for; alpha is ignored.
EVec3 NormalVectorFromRGBA(uint32_t colour) {
  return EVec3((float)((colour >> 16) & 0xFF) / 127.5f - 1.0f, (float)((colour >> 8) & 0xFF) / 127.5f - 1.0f,
               (float)(colour & 0xFF) / 127.5f - 1.0f);
}

// The normals as the palette stores them, so that a texel is matched
// against what drawing will actually see.
void BuildNormalTable(EVec3* table) {
  for (int i = 0; i < kNUM_NORMALS; ++i) {
    table[i] = NormalVectorFromRGBA(NormalVectorToRGBA(GetNormalPaletteVector(i)));
    table[i].Normalize();
  }
}

}  // namespace

HPALETTE EGameTextureManager::CreateBumpmapPalette() {
  HPALETTE hPalette = g_pCurrentRenderer->CreatePalette();
  if (!hPalette) return 0;
  uint32_t* colours = g_pCurrentRenderer->LockPalette(hPalette);
  for (int i = 0; i < kNUM_NORMALS; ++i) colours[i] = NormalVectorToRGBA(GetNormalPaletteVector(i));
  g_pCurrentRenderer->UnlockPalette(hPalette);
  return hPalette;
}

int EGameTextureManager::getNearestNormalTableEntry(const EVec3& v, const EVec3* table, float* pError) {
  int best = -1;
  float bestDot = -1.0f;
  for (int i = 0; i < kNUM_NORMALS; ++i) {
    const float d = v.x * table[i].x + v.y * table[i].y + v.z * table[i].z;
    if (d > bestDot) {
      bestDot = d;
      best = i;
    }
    if (d > 0.99999f) break;
  }
  if (pError) {
    float c = bestDot < -1.0f ? -1.0f : (bestDot > 1.0f ? 1.0f : bestDot);
    *pError = fabsf(acosf(c) * 57.29578f);
  }
  return best;
}

HTEXTURE EGameTextureManager::PalettizeBumpmap(HTEXTURE hSource, float* pAverageError, float* pMaxError) {
  ERenderer* r = g_pCurrentRenderer;
  const TEXTUREFORMAT eFormat = r->GetTextureFormat(hSource);
  EASSERT(eFormat == kTEXTUREFORMAT_8888);
  unsigned width = 0, height = 0;
  r->GetTextureDimensions(hSource, width, height);
  const unsigned levels = r->GetTextureLevelCount(hSource);
  HTEXTURE hTexture = r->CreateBitmapTexture(kTEXTUREFORMAT_P8, width, height, levels, 0);
  if (!hTexture) return 0;

  EVec3 table[kNUM_NORMALS];
  BuildNormalTable(table);
  double sum = 0.0;
  float largest = 0.0f;
  unsigned count = 0;
  for (unsigned level = 0; level < levels; ++level) {
    // A side that halves to nothing keeps one texel, as the level does.
    const unsigned w = width ? width : 1, h = height ? height : 1;
    unsigned srcPitch = 0, dstPitch = 0;
    const uint8_t* src =
        static_cast<const uint8_t*>(r->LockTexture(hSource, level, &srcPitch, true, kCUBEMAP_POSITIVE_X, false));
    uint8_t* dst = static_cast<uint8_t*>(r->LockTexture(hTexture, level, &dstPitch, false, kCUBEMAP_POSITIVE_X, true));
    EASSERT(src && dst);
    const unsigned srcTexelsPerRow = srcPitch / 4;
    for (unsigned y = 0; y < h; ++y) {
      for (unsigned x = 0; x < w; ++x) {
        uint32_t texel;
        memcpy(&texel, src + 4 * ((size_t)y * srcTexelsPerRow + x), 4);
        EVec3 n = NormalVectorFromRGBA(texel);
        n.Normalize();
        float error = 0.0f;
        int index = getNearestNormalTableEntry(n, table, &error);
        dst[(size_t)y * dstPitch + x] = (uint8_t)(index < 0 ? 0 : index);
        sum += error;
        if (error > largest) largest = error;
        ++count;
      }
    }
    r->UnlockTexture(hSource, level, true, kCUBEMAP_POSITIVE_X);
    r->UnlockTexture(hTexture, level, false, kCUBEMAP_POSITIVE_X);
    width /= 2;
    height /= 2;
  }
  if (pAverageError) *pAverageError = count ? (float)(sum / count) : 0.0f;
  if (pMaxError) *pMaxError = largest;
  return hTexture;
}

void EGameTextureManager::PalettizeBumpmapTexture(EGameTexture* texture) {
  const char* name = texture->m_szName ? texture->m_szName : "";
  float average = 0.0f, largest = 0.0f;
  HTEXTURE hTexture;
  float seconds;
  {
    EProfileZone zone("PalettizeBumpmap", 0, false);
    hTexture = PalettizeBumpmap(texture->m_phTextures[0], &average, &largest);
    seconds = zone.GetHierTime();
  }
  if (!hTexture) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Failed to palettize bumpmap texture '%s'", name);
    return;
  }
  g_pCurrentRenderer->DeleteTexture(texture->m_phTextures[0], true);
  texture->m_phTextures[0] = hTexture;
  g_ErrorManager.TraceMessagef(TT_None, "Palettized bumpmap texture '%s' in %.1f seconds (avg err %.2f, max err %.2f)",
                               name, seconds, average, largest);

  // The copy is saved under the bare file name with a ".dds" extension.
  const char* slash = strrchr(name, '\\');
  const char* forward = strrchr(name, '/');
  if (forward && (!slash || forward > slash)) slash = forward;
  if (!slash) return;
  const char* bare = slash + 1;
  const char* dot = strrchr(bare, '.');
  if (!dot) return;
  const HPALETTE hPalette = gGameApp ? gGameApp->m_hBumpmapPalette : 0;
  if (!hPalette) {
    // A P8 file needs its palette; without the shared one there is none.
    g_ErrorManager.TraceMessagef(TT_Warning, "No bumpmap palette to save '%s' with", name);
    return;
  }
  char saved[kMAX_TEXTURE_NAME];
  snprintf(saved, sizeof(saved), "%.*sdds", (int)(dot + 1 - bare), bare);
  g_pCurrentRenderer->SaveTextureAsDDS(hTexture, hPalette, saved);
}
