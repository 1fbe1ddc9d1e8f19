// The traversal props: class records; the prop code fills them.
#pragma once

#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

class ETrapezeEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(ETrapezeEntity)
public:
  ETrapezeEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class ETightropeEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(ETightropeEntity)
public:
  ETightropeEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class ETrampolineEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(ETrampolineEntity)
public:
  ETrampolineEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class ERopeEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(ERopeEntity)
public:
  ERopeEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class EMoverEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EMoverEntity)
public:
  EMoverEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class EMMGravityEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EMMGravityEntity)
public:
  EMMGravityEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};
