// Line collision: a swept line shape with a radius (rail slides, tightropes)
// that an entity reads from its init data. This part keeps the shape; the
// intersection tests come with the collision system.
#pragma once

#include <vector>

#include "TWMath/Vector.h"

class EEntity;
class EHitResult;
class ESphere;
class ESeg3;

class ELineCollision {
public:
  // How the points' times are made.
  enum ETimeStyle { kTIME_Given = 1, kTIME_PointIndex = 2, kTIME_ArcLength = 3 };

  explicit ELineCollision(EEntity* pOwner) : m_pOwner(pOwner), m_fRadius(0.0f), m_bLooping(false) {}

  void SetRadius(float fRadius) { m_fRadius = fRadius; }
  // Takes the points (at least 2) and either no normals or one per point;
  // pTimes serves the given-times style. False, with nothing taken, for a
  // shape that cannot be a line.
  bool Init(const std::vector<EVec3>& aPoints, const std::vector<EVec3>& aNormals, int iTimeStyle,
            const float* pTimes, bool bLooping);
  // Tests in the owner's local space; the hit (in pResult, or null).
  EHitResult* CheckForIntersection(const ESphere& sphere, EHitResult* pResult);
  EHitResult* CheckForIntersection(const ESeg3& line, EHitResult* pResult);

  EEntity* GetOwner() const { return m_pOwner; }
  float GetRadius() const { return m_fRadius; }
  bool IsLooping() const { return m_bLooping; }
  const std::vector<EVec3>& GetPoints() const { return m_aPoints; }
  const std::vector<EVec3>& GetNormals() const { return m_aNormals; }
  const std::vector<float>& GetTimes() const { return m_aTimes; }

private:
  EEntity* m_pOwner;
  float m_fRadius;
  bool m_bLooping;
  std::vector<EVec3> m_aPoints;
  std::vector<EVec3> m_aNormals;
  std::vector<float> m_aTimes;
};
