// Particle emitter and affector entities: class records.
#include "VERirezo/ParticleEmitterEntity.h"

IMPLEMENT_ENTITY_CLASS(EParticleEmitterEntity, "EntityType_ParticleEmitter", EntityType_ParticleEmitter, EEntity)
IMPLEMENT_ENTITY_CLASS(EParticleAffectorEntity, "EntityType_ParticleAffector", EntityType_ParticleAffector, EEntity)
IMPLEMENT_ENTITY_CLASS(ETableEmitterEntity, "EntityType_TableEmitter", EntityType_TableEmitter, EEntity)
IMPLEMENT_ENTITY_CLASS(EMeshEmitterEntity, "EntityType_MeshEmitter", EntityType_MeshEmitter, EParticleEmitterEntity)
// Registered under a name of its own so that the name "EntityType_Mesh"
// always finds the plain mesh entity; it still carries type 1.
IMPLEMENT_ENTITY_CLASS(EMeshEmitterMeshEntity, "EMeshEmitterMeshEntity", EntityType_Mesh, EMeshEntity)
