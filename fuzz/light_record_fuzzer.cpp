// Reads the input as a light record of a mesh (type word first) and, when a
// light is kept, samples its depth maps, copies it, asks a light block for
// it and takes both down again.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EStream.h"
#include "VERirezo/LightManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  static ELightManager* s_pLights = new ELightManager();
  EMemReader s(data, (unsigned)size);
  ELight* pLight = nullptr;
  if (!s_pLights->ReadMeshLight(s, 0, nullptr, pLight) || !pLight) return 0;

  const EVec3 P = pLight->GetInclusivePosition(nullptr, nullptr);
  const EVec3 dirs[6] = {EVec3(1, 0, 0), EVec3(-1, 0, 0), EVec3(0, 1, 0),
                         EVec3(0, -1, 0), EVec3(0, 0, 1), EVec3(0.3f, -0.5f, 0.8f)};
  for (const EVec3& d : dirs) {
    (void)pLight->GetSampleVisibility(P + d * 100.0f);
    (void)pLight->GetSampleVisibility(d * 60.0f);
  }
  (void)pLight->GetRegionVisibility(P + EVec3(40, 40, 40));
  ELight* pCopy = s_pLights->AddLight();
  if (pCopy) {
    *pCopy = *pLight;
    s_pLights->RegisterLight(pCopy);
  }
  ELightBlock block;
  s_pLights->GetStrongestLights(EBox3(P - EVec3(50, 50, 50), P + EVec3(50, 50, 50)), 8, 3, &block, nullptr,
                                nullptr);
  ELightManager::SortLightsByType(&block);
  ELight* const made[2] = {pLight, pCopy};
  for (ELight* p : made) {
    if (!p) continue;
    s_pLights->UnregisterLight(p);
    s_pLights->DeleteLight(p);
  }
  return 0;
}
