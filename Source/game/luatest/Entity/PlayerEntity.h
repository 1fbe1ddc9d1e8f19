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
  // The current action number (a kAS_ value), -1 for none.
  int GetCurrentAction() const { return m_iCurrentAction; }
  void SetCurrentAction(int iAction) { m_iCurrentAction = iAction; }
  // The idle animation may start once the simulated time passes this.
  void ResetIdleAnimationTimer();
  float GetIdlePlayTime() const { return m_fIdlePlayTime; }

private:
  bool m_bConfused = false;
  int m_iCurrentAction = -1;
  float m_fIdlePlayTime = 0.0f;
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
