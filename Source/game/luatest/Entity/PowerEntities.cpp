// Power entities: class records.
#include "Entity/PowerEntities.h"

IMPLEMENT_ENTITY_CLASS(EPsiBlastEntity, "EntityType_PsiBlast", EntityType_PsiBlast, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(ETelekinesisEntity, "EntityType_Telekinesis", EntityType_Telekinesis, EMeshEntity)
IMPLEMENT_ENTITY_CLASS(EFirestartingEntity, "EntityType_Firestarting", EntityType_Firestarting, EEntity)
IMPLEMENT_ENTITY_CLASS(EInvisibilityEntity, "EntityType_Invisibility", EntityType_Invisibility, EEntity)
IMPLEMENT_ENTITY_CLASS(EKnapsackEntity, "EntityType_Knapsack", EntityType_Knapsack, EEntity)
