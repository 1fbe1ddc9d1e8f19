// Line-particle emitters and their soft variant: class records; the effects
// code fills them.
#pragma once

#include "VERirezo/ParticleEmitterEntity.h"

class ELineParticleEntity : public EParticleEmitterEntity {
  DECLARE_ENTITY_CLASS(ELineParticleEntity)
public:
  ELineParticleEntity(EDomain* pDomain, const char* szName) : EParticleEmitterEntity(pDomain, szName) {}
  bool IsLineEmitter() const override { return true; }
};

class ESoftLineParticleEntity : public ELineParticleEntity {
  DECLARE_ENTITY_CLASS(ESoftLineParticleEntity)
public:
  ESoftLineParticleEntity(EDomain* pDomain, const char* szName) : ELineParticleEntity(pDomain, szName) {}
};
