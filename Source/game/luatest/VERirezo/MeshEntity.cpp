// Mesh entities: the class record.
#include "VERirezo/MeshEntity.h"

IMPLEMENT_ENTITY_CLASS(EMeshEntity, "EntityType_Mesh", EntityType_Mesh, EEntity)
