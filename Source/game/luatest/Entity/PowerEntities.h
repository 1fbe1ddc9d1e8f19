// The entities of the psychic powers and the knapsack: class records; the
// power code fills them.
#pragma once

#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

class EPsiBlastEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EPsiBlastEntity)
public:
  EPsiBlastEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class ETelekinesisEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(ETelekinesisEntity)
public:
  ETelekinesisEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class EFirestartingEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EFirestartingEntity)
public:
  EFirestartingEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};

class EInvisibilityEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EInvisibilityEntity)
public:
  EInvisibilityEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};

class EKnapsackEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EKnapsackEntity)
public:
  EKnapsackEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};
