// Line-particle emitters: class records.
#include "VERirezo/LineParticleEntity.h"

IMPLEMENT_ENTITY_CLASS(ELineParticleEntity, "ELineParticleEntity", EntityType_NameOnly, EParticleEmitterEntity)
IMPLEMENT_ENTITY_CLASS(ESoftLineParticleEntity, "ESoftLineParticleEntity", EntityType_NameOnly, ELineParticleEntity)
