// Particle emitter and affector entities, the table and mesh emitters and
// the mesh entities a mesh emitter makes: class records; the effects code
// fills them.
#pragma once

#include "VERirezo/MeshEntity.h"

class EParticleEmitterEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EParticleEmitterEntity)
public:
  EParticleEmitterEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};

class EParticleAffectorEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EParticleAffectorEntity)
public:
  EParticleAffectorEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};

class ETableEmitterEntity : public EEntity {
  DECLARE_ENTITY_CLASS(ETableEmitterEntity)
public:
  ETableEmitterEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};

class EMeshEmitterEntity : public EParticleEmitterEntity {
  DECLARE_ENTITY_CLASS(EMeshEmitterEntity)
public:
  EMeshEmitterEntity(EDomain* pDomain, const char* szName) : EParticleEmitterEntity(pDomain, szName) {}
};

// Made only by a mesh emitter, through its own record.
class EMeshEmitterMeshEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EMeshEmitterMeshEntity)
public:
  EMeshEmitterMeshEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};
