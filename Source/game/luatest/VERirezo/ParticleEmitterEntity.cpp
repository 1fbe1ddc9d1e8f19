// Particle emitter and affector entities: class records.
#include "VERirezo/ParticleEmitterEntity.h"

IMPLEMENT_ENTITY_CLASS(EParticleEmitterEntity, "EntityType_ParticleEmitter", EntityType_ParticleEmitter, EEntity)
IMPLEMENT_ENTITY_CLASS(EParticleAffectorEntity, "EntityType_ParticleAffector", EntityType_ParticleAffector, EEntity)
IMPLEMENT_ENTITY_CLASS(ETableEmitterEntity, "EntityType_TableEmitter", EntityType_TableEmitter, EEntity)
IMPLEMENT_ENTITY_CLASS(EMeshEmitterEntity, "EntityType_MeshEmitter", EntityType_MeshEmitter, EParticleEmitterEntity)
// EMeshEmitterMeshEntity's record is made beside the mesh entity's
// (MeshEntity.cpp).
