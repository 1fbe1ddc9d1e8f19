// Traversal props: class records.
#include "Entity/PropEntities.h"

IMPLEMENT_ENTITY_CLASS(ETrapezeEntity, "EntityType_Trapeze", EntityType_Trapeze, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(ETightropeEntity, "ETightropeEntity", EntityType_NameOnly, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(ETrampolineEntity, "ETrampolineEntity", EntityType_NameOnly, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(ERopeEntity, "ERopeEntity", EntityType_NameOnly, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EMoverEntity, "EMoverEntity", EntityType_NameOnly, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EMMGravityEntity, "EMMGravityEntity", EntityType_NameOnly, EMeshEntity)
