// The player and companion entities: class records.
#include "Entity/PlayerEntity.h"

#include "Game/GameApp.h"

IMPLEMENT_ENTITY_CLASS(EPlayerEntity, "EPlayerEntity", EntityType_NameOnly, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EThoughtBubbleEntity, "EntityType_ThoughtBubble", EntityType_ThoughtBubble, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EBallTrailEntity, "EBallTrailEntity", EntityType_NameOnly, EMeshEntity)

void EPlayerEntity::ResetIdleAnimationTimer() {
  m_fIdlePlayTime = gGameApp ? (float)gGameApp->GetSimElapsedTime() + 15.0f : 15.0f;
}
