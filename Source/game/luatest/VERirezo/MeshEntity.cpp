// Mesh entities: the class record, and that of the mesh entities a mesh
// emitter makes, which shares the name "EntityType_Mesh" and type 1. Both
// are made here, the mesh emitter's first: records made in one file are
// linked in order, so the name finds the plain mesh entity, newest first.
#include "VERirezo/MeshEntity.h"

#include "VERirezo/ParticleEmitterEntity.h"

IMPLEMENT_ENTITY_CLASS(EMeshEmitterMeshEntity, "EntityType_Mesh", EntityType_Mesh, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EMeshEntity, "EntityType_Mesh", EntityType_Mesh, EEntity)
