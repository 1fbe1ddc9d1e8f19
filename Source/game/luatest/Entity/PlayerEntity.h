// The player, its thought-bubble companion and the ball trail: class
// records; the player code fills them.
#pragma once

#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

class EPlayerEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EPlayerEntity)
public:
  EPlayerEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}

  // Confusion (the power's effect on the player): the on-foot and ball
  // modes reverse the movement stick while it lasts.
  bool IsConfused() const { return m_bConfused; }
  void SetConfused(bool bConfused) { m_bConfused = bConfused; }
  // The footstep dust; the player has none to switch.
  void EnableDust(bool) {}
  // Puts the player in an action (a kAS_ value) without running it.
  void SetCurrentAction(int iAction) { SetCurActionNumber(iAction); }

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
