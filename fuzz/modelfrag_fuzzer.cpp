// Reads the input as model-fragment records (its first byte picks the
// record version) into renderer buffers on the test display, then gives
// every fragment back to the pool.

#include <SDL/SDL.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "TWGraphics/Renderer.h"
#include "TWUtil/Array.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Model.h"
#include "VERirezo/ModelFrag.h"

namespace {
void ModelFragFuzzQuiet(const char*) {}
ERenderer* s_pModelFragRenderer = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ErrorManager.SetConsoleCallback(&ModelFragFuzzQuiet);
  if (!getenv("DISPLAY")) return 0;
  s_pModelFragRenderer = new ERenderer();
  s_pModelFragRenderer->m_DisplayOptions.m_dwWidth = 64;
  s_pModelFragRenderer->m_DisplayOptions.m_dwHeight = 64;
  s_pModelFragRenderer->m_DisplayOptions.m_bFullScreen = false;
  s_pModelFragRenderer->m_DisplayOptions.m_fGamma = 1.0f;
  if (!s_pModelFragRenderer->Init(nullptr, 0)) {
    delete s_pModelFragRenderer;
    s_pModelFragRenderer = nullptr;
    return 0;
  }
  SDL_WM_GrabInput(SDL_GRAB_OFF);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&ModelFragFuzzQuiet);
  if (size < 2) return 0;
  const int version = 317 + data[0] % 3;
  if (s_pModelFragRenderer) s_pModelFragRenderer->m_bSoftwareSkinning = (data[0] & 0x80) != 0;
  EArray<unsigned> ids;
  for (unsigned i = 0; i < 8; ++i) ids.AddData(i + 1);
  EModel model;
  EMemReader reader(data + 1, (unsigned)(size - 1));
  const int active = EModelFragManager::GetActiveCount();
  EModelFrag* frags[4] = {};
  int n = 0;
  for (; n < 4 && reader.GetPos() < reader.GetSize(); ++n) {
    frags[n] = EModelFragManager::ModelFragNew();
    frags[n]->m_pOwnerModel = &model;
    if (!frags[n]->Read(reader, version, ids, 2)) {
      EModelFragManager::ModelFragDelete(frags[n]);
      frags[n] = nullptr;
      break;
    }
  }
  for (EModelFrag* f : frags) {
    if (f) EModelFragManager::ModelFragDelete(f);
  }
  if (EModelFragManager::GetActiveCount() != active) abort();
  return 0;
}
