// The light pool as mesh records reach it: the light code installs its pool
// and its record reader here, so the mesh reader needs neither. Until one is
// installed a light record cannot be read and the mesh holding it is
// refused.
#pragma once

class ELight;
class EMesh;
class EStream;

struct EMeshLightHooks {
  // A free light of the pool, or null when the pool is full.
  ELight* (*pfnAddLight)() = nullptr;
  void (*pfnDeleteLight)(ELight* pLight) = nullptr;
  void (*pfnRegisterLight)(ELight* pLight) = nullptr;
  // The rest of a light record after its type word, with the mesh as owner
  // (ELight::Read); false when the record is refused.
  bool (*pfnRead)(ELight& light, EStream& s, unsigned uVersion, EMesh* pMesh) = nullptr;
  // The light's name (null when it has none) and flag word (bit 0x01 dynamic).
  const char* (*pfnGetName)(const ELight& light) = nullptr;
  unsigned (*pfnGetFlags)(const ELight& light) = nullptr;
};

// The process's hooks; every entry starts null.
EMeshLightHooks& GetMeshLightHooks();
