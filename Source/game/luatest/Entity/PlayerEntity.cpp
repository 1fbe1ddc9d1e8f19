// The player and companion entities: class records.
#include "Entity/PlayerEntity.h"

IMPLEMENT_ENTITY_CLASS(EPlayerEntity, "EPlayerEntity", EntityType_NameOnly, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EThoughtBubbleEntity, "EntityType_ThoughtBubble", EntityType_ThoughtBubble, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EBallTrailEntity, "EBallTrailEntity", EntityType_NameOnly, EMeshEntity)

