// The sweep query of a physics object: a collision query for its owner with
// the velocity the sweep carries and what the sweep found.
#pragma once

#include "VERirezo/CollisionQuery.h"
#include "VERirezo/Physics.h"

class EPhysics::ECollideEx : public ECollide {
public:
  explicit ECollideEx(EEntity* pOwner) : ECollide(pOwner) {}

  ECollideEx& InitSegment(const EVec3& vFrom, const EVec3& vTo) {
    ECollide::InitSegment(vFrom, vTo);
    return *this;
  }

  bool m_bNoClimb = false;       // no hit turns the motion or the velocity upward
  bool m_bNoClimbSteep = false;  // the same, on surfaces that are not walkable
  bool m_bAdjustVelocity = true;
  EVec3 m_vVelocity{0.0f, 0.0f, 0.0f};
  bool m_bOnGround = false;
  bool m_bWalkable = false;
  bool m_bCollided = false;
  bool m_bBounced = false;
};
