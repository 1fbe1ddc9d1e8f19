#include "PathAI/EFlock.h"

#include <cmath>

#include "TWUtil/ErrorManager.h"

namespace flock_detail {

const float kLureReachSq = 40960000.0f;  // 6,400 units
const float kBoidReachSq = 40000.0f;     // 200 units
const float kObstacleReachSq = 90000.0f;  // 300 units
const float kSideStep = 300.0f;
const float kFenceReach = 200.0f;

EVec3 FlockUnit(EVec3 v) {
  v.Normalize();
  return v;
}

}  // namespace flock_detail

EFlock::EFlock()
    : m_nNumBoids(0),
      m_nNumObstacles(0),
      m_nNumFences(0),
      m_fNeighbourDistSq(1440000.0f),
      m_fSpeed(600.0f),
      m_vLure(0.0f, 0.0f, 0.0f) {
  for (_boid& b : m_aBoids) {
    b.m_vPos = b.m_vVel = b.m_vSteer = EVec3(0.0f, 0.0f, 0.0f);
    b.m_mOrient.LoadIdentity();
    b.m_vSide = EVec3(1.0f, 0.0f, 0.0f);
    b.m_vUp = EVec3(0.0f, 1.0f, 0.0f);
    b.m_vForward = EVec3(0.0f, 0.0f, 1.0f);
  }
  for (_obstacle& o : m_aObstacles) o.m_vPos = EVec3(0.0f, 0.0f, 0.0f);
  for (_fence& f : m_aFences) {
    f.m_vStart = f.m_vNormal = f.m_vDir = EVec3(0.0f, 0.0f, 0.0f);
    f.m_fLength = 0.0f;
  }
}

void EFlock::SetBoidState(int index, const EVec3& pos, const EVec3& vel, const EMat4& orient) {
  EASSERT(index >= 0 && index < 32);
  _boid& b = m_aBoids[index];
  b.m_vPos = pos;
  b.m_vVel = vel;
  b.m_mOrient = orient;
  orient.GetBasisVectors(b.m_vSide, b.m_vUp, b.m_vForward);
}

void EFlock::GetBoidState(int index, EVec3& pos, EVec3& vel, EMat4& orient) {
  EASSERT(index >= 0 && index < 32);
  _boid& b = m_aBoids[index];
  b.m_mOrient.SetFromBasisVectors(b.m_vSide, b.m_vUp, b.m_vForward);
  pos = b.m_vPos;
  vel = b.m_vVel;
  orient = b.m_mOrient;
}

void EFlock::SetObstacleState(int index, const EVec3& pos) {
  EASSERT(index >= 0 && index < 32);
  m_aObstacles[index].m_vPos = pos;
}

void EFlock::SetupFence(int index, float x0, float z0, float x1, float z1) {
  EASSERT(index >= 0 && index < 32);
  const float dx = x1 - x0, dz = z1 - z0;
  const float length = sqrtf(dx * dx + dz * dz);
  if (length == 0.0f) return;
  _fence& f = m_aFences[index];
  f.m_vStart.x = x0;
  f.m_vStart.z = z0;
  f.m_vDir.x = dx / length;
  f.m_vDir.z = dz / length;
  f.m_vNormal.x = dz / length;
  f.m_vNormal.z = -dx / length;
  f.m_fLength = length;
}

void EFlock::doIt(const EVec3& lure) {
  m_vLure = lure;
  for (int i = 0; i < (int)m_nNumBoids; ++i) {
    m_aBoids[i].m_vSteer = m_aBoids[i].m_vForward;
    LureBoid(i);
    ConvergeBoid(i);
    AvoidBoid(i);
    MatchFlockDir(i);
    AvoidObstacles(i);
  }
  LimitBoids();
}

void EFlock::LureBoid(int i) {
  _boid& b = m_aBoids[i];
  const EVec3 d = m_vLure - b.m_vPos;
  if (d.Mag2() < flock_detail::kLureReachSq) b.m_vSteer += flock_detail::FlockUnit(d);
}

void EFlock::ConvergeBoid(int i) {
  _boid& b = m_aBoids[i];
  EVec3 sum(0.0f, 0.0f, 0.0f);
  int n = 0;
  for (int j = 0; j < (int)m_nNumBoids; ++j) {
    if (j == i || (m_aBoids[j].m_vPos - b.m_vPos).Mag2() >= m_fNeighbourDistSq) continue;
    sum += m_aBoids[j].m_vPos;
    ++n;
  }
  if (n) b.m_vSteer += flock_detail::FlockUnit(sum / (float)n - b.m_vPos) * 0.5f;
}

void EFlock::MatchFlockDir(int i) {
  _boid& b = m_aBoids[i];
  EVec3 sum(0.0f, 0.0f, 0.0f);
  int n = 0;
  for (int j = 0; j < (int)m_nNumBoids; ++j) {
    if (j == i || (m_aBoids[j].m_vPos - b.m_vPos).Mag2() >= m_fNeighbourDistSq) continue;
    sum += m_aBoids[j].m_vVel;
    ++n;
  }
  if (n) b.m_vSteer += flock_detail::FlockUnit(sum / (float)n) * 0.5f;
}

void EFlock::AvoidPoint(int i, const EVec3& other, float radiusSq, float weight) {
  _boid& b = m_aBoids[i];
  EVec3 d = other - b.m_vPos;
  d.y = 0.0f;
  const float q = d.Mag2();
  if (q == 0.0f || q >= radiusSq) return;
  if (d.Dot(b.m_vForward) / sqrtf(q) > 0.5f) {
    const float sigma = d.Dot(b.m_vSide) < 0.0f ? 1.0f : -1.0f;
    b.m_vSteer += (d + b.m_vSide * (flock_detail::kSideStep * sigma)) * weight;
  }
  b.m_vSteer -= flock_detail::FlockUnit(d) * ((radiusSq - q) / radiusSq);
}

void EFlock::AvoidBoid(int i) {
  for (int j = 0; j < (int)m_nNumBoids; ++j)
    if (j != i) AvoidPoint(i, m_aBoids[j].m_vPos, flock_detail::kBoidReachSq, 1.0f);
}

void EFlock::AvoidObstacles(int i) {
  for (int j = 0; j < (int)m_nNumObstacles; ++j)
    AvoidPoint(i, m_aObstacles[j].m_vPos, flock_detail::kObstacleReachSq, 3.0f);
}

void EFlock::AvoidFences(int i) {
  _boid& b = m_aBoids[i];
  for (int k = 0; k < (int)m_nNumFences; ++k) {
    const _fence& f = m_aFences[k];
    EVec3 r = b.m_vPos - f.m_vStart;
    r.y = 0.0f;
    EVec3 a = r + b.m_vVel;
    a.y = 0.0f;
    const float fd = a.x * f.m_vNormal.x + a.z * f.m_vNormal.z;
    const float along = a.x * f.m_vDir.x + a.z * f.m_vDir.z;
    if (fd < -flock_detail::kFenceReach || fd >= flock_detail::kFenceReach || along < 0.0f || along >= f.m_fLength)
      continue;
    const float A = fd >= 0.0f ? (flock_detail::kFenceReach - fd) * (flock_detail::kFenceReach - fd)
                               : -(flock_detail::kFenceReach + fd) * (flock_detail::kFenceReach + fd);
    const float B = 0.01f * A;
    const float sign = b.m_vSteer.x * f.m_vDir.x + b.m_vSteer.z * f.m_vDir.z < 0.0f ? -1.0f : 1.0f;
    b.m_vSteer.x += sign * B * b.m_vSide.x;
    b.m_vSteer.z += sign * B * b.m_vSide.z;
  }
}

void EFlock::LimitBoids() {
  for (int i = 0; i < (int)m_nNumBoids; ++i) {
    _boid& b = m_aBoids[i];
    b.m_vVel.x = b.m_vSteer.x;
    b.m_vVel.z = b.m_vSteer.z;
    EVec3 h(b.m_vVel.x, 0.0f, b.m_vVel.z);
    const float s = h.Length();
    h.Normalize();
    if (s != 0.0f) {
      b.m_vVel.x = h.x * m_fSpeed;
      b.m_vVel.z = h.z * m_fSpeed;
    }
    b.m_vForward = h;
    b.m_vUp = EVec3(0.0f, 1.0f, 0.0f);
    b.m_vSide = b.m_vUp.Cross(b.m_vForward);
  }
}
