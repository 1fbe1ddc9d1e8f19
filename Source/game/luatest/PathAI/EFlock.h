// A flock of up to 32 boids steered on the ground plane toward a lure,
// toward their neighbours, along the neighbours' heading and away from
// boids and obstacles close ahead. Y is up; speeds are horizontal.
#pragma once

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class EFlock {
public:
  enum { kMaxBoids = 32 };

  struct _boid {
    EVec3 m_vPos;
    EVec3 m_vVel;
    EVec3 m_vSteer;
    EMat4 m_mOrient;
    EVec3 m_vSide;
    EVec3 m_vUp;
    EVec3 m_vForward;
  };
  struct _obstacle {
    EVec3 m_vPos;
  };
  struct _fence {
    EVec3 m_vStart;
    EVec3 m_vNormal;
    EVec3 m_vDir;
    float m_fLength;
  };

  EFlock();

  void SetBoidState(int index, const EVec3& pos, const EVec3& vel, const EMat4& orient);
  void GetBoidState(int index, EVec3& pos, EVec3& vel, EMat4& orient);
  void SetObstacleState(int index, const EVec3& pos);
  void setNumBoids(unsigned n) { m_nNumBoids = n; }
  void setNumObstacles(unsigned n) { m_nNumObstacles = n; }
  void SetupFence(int index, float x0, float z0, float x1, float z1);

  // One frame of steering for every boid in use.
  void doIt(const EVec3& lure);

  void LureBoid(int i);
  void ConvergeBoid(int i);
  void AvoidBoid(int i);
  void MatchFlockDir(int i);
  void AvoidObstacles(int i);
  void AvoidFences(int i);
  void LimitBoids();

  unsigned GetNumBoids() const { return m_nNumBoids; }
  unsigned GetNumObstacles() const { return m_nNumObstacles; }
  const EVec3& GetLure() const { return m_vLure; }
  const _boid& GetBoid(int i) const { return m_aBoids[i]; }
  const _fence& GetFence(int i) const { return m_aFences[i]; }
  void setNumFences(unsigned n) { m_nNumFences = n; }

private:
  // Steering away from a point close ahead: radiusSq is the reach, weight
  // scales the sideways term.
  void AvoidPoint(int i, const EVec3& other, float radiusSq, float weight);

  unsigned m_nNumBoids;
  unsigned m_nNumObstacles;
  unsigned m_nNumFences;
  float m_fNeighbourDistSq;
  float m_fSpeed;
  EVec3 m_vLure;
  _boid m_aBoids[kMaxBoids];
  _obstacle m_aObstacles[kMaxBoids];
  _fence m_aFences[kMaxBoids];
};
