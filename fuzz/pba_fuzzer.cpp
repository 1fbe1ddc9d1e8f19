// Reads the input as a ".pba" blend animation through the copying reader,
// the in-place reader (as animation packs deliver it) and the stream
// reader; each result is bound to a name list and evaluated at a few times.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendShapeController.h"
#include "VERirezo/EBlendAnimManager.h"

namespace {

void PbaFuzzQuiet(const char*) {}

void PbaFuzzPlay(EBlendAnimShared* pShared, const EBlendShapeController& names) {
  static const float kTimes[] = {0.0f, 0.02f, 0.5f, 1.0f, 3.3f, 1.0e9f};
  for (int loop = 0; loop < 2; ++loop) {
    EBlendAnim anim;
    anim.m_pShared = pShared;
    anim.SetLooping(loop != 0);
    anim.quickBind(&names);
    volatile float sum = anim.GetAnimCompletion();
    anim.SetAutoBlend(true, 0.25f);
    for (float t : kTimes) {
      anim.SetTime(t);
      anim.updateBlend(0.1f);
      const float* w = anim.getBlendWeights();
      for (int i = 0; i < MAX_BLENDWEIGHTS; ++i) sum = sum + w[i];
      sum = sum + anim.getBlendWeightsInterpolated(t)[0] + anim.GetAnimCompletion();
    }
    anim.m_pShared = nullptr;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&PbaFuzzQuiet);
  static EBlendAnimManager* s_pManager = EBlendAnimManager::createBlendAnimManager();
  static EBlendShapeController* s_pNames = [] {
    EBlendShapeController* p = new EBlendShapeController();
    for (const char* n : {"Smile", "Blink", "Jaw", "A", ""}) p->AddBlendMapping(n);
    return p;
  }();

  EBlendAnimShared copied;
  copied.loadFromMemory(reinterpret_cast<const char*>(data), (unsigned)size);
  PbaFuzzPlay(&copied, *s_pNames);

  EMemReader packReader(data, (unsigned)size);
  std::unique_ptr<EBlendAnimShared> fixed(s_pManager->getBlendAnimNoCache(packReader, (unsigned)size, "fuzz.pba"));
  if (fixed) PbaFuzzPlay(fixed.get(), *s_pNames);

  EBlendAnimShared streamed;
  EMemReader reader(data, (unsigned)size);
  streamed.load(reader);
  PbaFuzzPlay(&streamed, *s_pNames);
  return 0;
}
