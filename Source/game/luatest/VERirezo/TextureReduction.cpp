// Automatic texture reduction: when memory runs short, the texture whose
// loss shows least for the most memory gives up its top mip level.
#include <cstring>
#include <initializer_list>

#include "TWGraphics/Renderer.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/TextureApp.h"
#include "VERirezo/TextureManager.h"

namespace {

const int kNEVER_REDUCE = 0x7FFFFFFF;

bool ContainsAny(const char* name, std::initializer_list<const char*> parts) {
  for (const char* part : parts)
    if (strstr(name, part)) return true;
  return false;
}

}  // namespace

int EGameTexture::GetVisualImportance() {
  if (m_iVisualImportance != -1) return m_iVisualImportance;
  const char* name = m_szName ? m_szName : "";
  int value = 0;
  // Later rules win.
  if (ContainsAny(name, {"_ch1.", "_ch2.", "_ch3.", "_ch4."})) value = 10;
  if (ContainsAny(name, {"figment", "cobweb"})) value = 20;
  if (strstr(name, "detail")) value = 30;
  if (ContainsAny(name, {"_norm", "bump", "water\\"})) value = 40;
  if (strstr(name, "characters\\")) value = 50;
  if (GetLocked()) value = 60;
  if (strstr(name, "lightmaps\\")) value = 70;
  if (strstr(name, "ruzi\\")) value = 80;
  if (ContainsAny(name, {"fonts\\", "hud\\", "ui\\", "loading_screens\\", "icons\\", "tutorialbox", "vault_reel_",
                         "projector_icon", "saylinecloud"}))
    value = kNEVER_REDUCE;
  if (GetProcedural()) value = kNEVER_REDUCE;
  m_iVisualImportance = value;
  return value;
}

int EGameTexture::GetMemoryImportance() {
  if (m_iMemoryImportance != -1) return m_iMemoryImportance;
  unsigned width = 0, height = 0;
  if (g_pCurrentRenderer && m_phTextures && m_phTextures[0])
    g_pCurrentRenderer->GetTextureDimensions(m_phTextures[0], width, height);
  unsigned s = width < height ? width : height;
  m_iMemoryImportance = s >= 512 ? 25 : s >= 256 ? 20 : s >= 128 ? 15 : s >= 64 ? 10 : 0;
  return m_iMemoryImportance;
}

float EGameTexture::GetTextureDensity() {
  if (m_fDensity != -1.0f) return m_fDensity;
  // Texel area over surface area, summed over the model fragments that use
  // this texture; no fragment uses it until the world model has fragments.
  float texelArea = 0.0f, surfaceArea = 0.0f;
  m_fDensity = surfaceArea != 0.0f ? texelArea / surfaceArea : 0.0f;
  return m_fDensity;
}

unsigned EGameTextureManager::GetTotalReducedMemory() const {
  unsigned total = 0;
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i)
    if (m_Textures[i].m_id) total += m_Textures[i].m_dwReducedMemory;
  return total;
}

unsigned EGameTextureManager::GetTotalReducedCount() const {
  unsigned count = 0;
  for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i)
    if (m_Textures[i].m_id && m_Textures[i].m_dwReducedMemory) ++count;
  return count;
}

void EGameTextureManager::AutoReduceTextures(unsigned bytesNeeded) {
  if (!TextureApp::AutoReduceTextures() || !gGameApp || !g_pCurrentRenderer) return;
  for (;;) {
    float used = 0.0f, total = 0.0f;
    gGameApp->GetRetailMemState(used, total);
    if (!TextureApp::DebugTextureReduction() && total - used >= (float)bytesNeeded) return;

    EGameTexture* victim = nullptr;
    int best = 0;
    for (int i = 0; i <= m_Textures.GetHighestUsed(); ++i) {
      EGameTexture& texture = m_Textures[i];
      if (!texture.m_id) continue;
      int memory = texture.GetMemoryImportance();
      int visual = texture.GetVisualImportance();
      if (memory == 0 || visual == kNEVER_REDUCE) continue;
      int score = memory - visual;
      if (!victim || score > best) {
        victim = &texture;
        best = score;
      }
    }
    if (!victim) return;

    unsigned before = gGameApp->m_dwTextureReductions;
    int frames = victim->m_phTextures ? victim->GetNumFrames() : 0;
    for (int f = 0; f < frames; ++f) {
      HTEXTURE hTexture = victim->m_phTextures[f];
      if (!hTexture) continue;
      unsigned oldSize = g_pCurrentRenderer->GetTextureSize(hTexture, 0);
      if (g_pCurrentRenderer->ReduceTexture(hTexture, 1)) {
        victim->m_iMemoryImportance = -1;
        ++gGameApp->m_dwTextureReductions;
        victim->m_dwReducedMemory += oldSize - g_pCurrentRenderer->GetTextureSize(hTexture, 0);
      } else {
        victim->m_iVisualImportance = kNEVER_REDUCE;
      }
    }
    if (!frames) victim->m_iVisualImportance = kNEVER_REDUCE;
    const char* name = victim->m_szName ? victim->m_szName : "";
    if (TextureApp::AutoReduceBreak() && before == 0 && gGameApp->m_dwTextureReductions != 0)
      TextureApp::HardBreak("Out of memory, reducing texture at run time: %s", name);
    else
      g_ErrorManager.TraceMessagef(TT_Warning, "Out of memory, reducing texture at run time: %s", name);
  }
}
