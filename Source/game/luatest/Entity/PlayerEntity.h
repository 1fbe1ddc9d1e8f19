// The player, its thought-bubble companion and the ball trail: class
// records; the player code fills them.
#pragma once

#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

class EPlayerEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EPlayerEntity)
public:
  EPlayerEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}

  // The control handlers read it to mix up the player's powers.
  void SetConfused(bool bConfused) { m_bConfused = bConfused; }
  bool IsConfused() const { return m_bConfused; }

private:
  bool m_bConfused = false;
};

class EThoughtBubbleEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EThoughtBubbleEntity)
public:
  EThoughtBubbleEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};

class EBallTrailEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EBallTrailEntity)
public:
  EBallTrailEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};
