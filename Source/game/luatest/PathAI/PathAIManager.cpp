#include "PathAI/PathAIManager.h"

#include "Game/GameApp.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Physics.h"

EPathAIManager* EPathAIManager::sm_pInstance = nullptr;
float EPathAIManager::sm_fLureParam = 0.0f;
float EPathAIManager::sm_fLureDir = 1.0f;

void PathAIPath::setUp(int nCount, const EVec3* points, float a, float b) {
  EASSERT(nCount > 0 && nCount < 16);
  m_nCount = (unsigned)nCount;
  for (int i = 0; i < nCount; ++i) m_aNodes[i].setUp(points[i], a, b);
  float total = 0.0f;
  for (int i = 0; i + 1 < nCount; ++i) total += (points[i + 1] - points[i]).Length();
  m_afParam[0] = 0.0f;
  for (int i = 1; i + 1 < nCount; ++i)
    m_afParam[i] = m_afParam[i - 1] + (points[i] - points[i - 1]).Length() / total;
  m_afParam[nCount - 1] = 1.0f;
}

EVec3 PathAIPath::getPos(float t) const {
  for (unsigned i = 1; i < m_nCount; ++i) {
    if (m_afParam[i] > t) {
      const EVec3& p0 = m_aNodes[i - 1].getPos();
      const EVec3& p1 = m_aNodes[i].getPos();
      return p0 + (p1 - p0) * ((t - m_afParam[i - 1]) / (m_afParam[i] - m_afParam[i - 1]));
    }
  }
  if (m_nCount) return m_aNodes[m_nCount - 1].getPos();
  return EVec3(0.0f, 0.0f, 0.0f);
}

// Debug lines are not drawn in this build.
void PathAIPath::draw() const {}

EPathAIManager* EPathAIManager::createPathAIManager() {
  if (!sm_pInstance) sm_pInstance = new EPathAIManager();
  return sm_pInstance;
}

bool EPathAIManager::destroyPathAIManager() {
  if (!sm_pInstance) return false;
  delete sm_pInstance;
  sm_pInstance = nullptr;
  return true;
}

EPathAIManager::EPathAIManager()
    : m_nBoidCount(0),
      m_nObstacleCount(0),
      m_nFenceCount(0),
      m_pBoids(new EEntity*[kMaxSlots]),
      m_pObstacles(new EEntity*[kMaxSlots]),
      m_pFences(new void*[kMaxSlots]),
      m_pPath(new PathAIPath) {
  Reset();
}

EPathAIManager::~EPathAIManager() {
  delete m_pPath;
  delete[] m_pBoids;
  delete[] m_pObstacles;
  delete[] m_pFences;
}

void EPathAIManager::Reset() {
  EASSERT(m_pBoids);
  EASSERT(m_pObstacles);
  EASSERT(m_pFences);
  for (int i = 0; i < kMaxSlots; ++i) {
    m_pBoids[i] = nullptr;
    m_pObstacles[i] = nullptr;
    m_pFences[i] = nullptr;
  }
  m_nBoidCount = m_nObstacleCount = m_nFenceCount = 0;
}

PathAIPathHandle EPathAIManager::CreateAIPath(int nCount, const EVec3* points) {
  EASSERT(nCount > 0 && nCount < 16);
  EASSERT(m_pPath);
  m_pPath->setUp(nCount, points, 100.0f, 200.0f);
  return kPathHandle;
}

void EPathAIManager::UpdateFlockCounts() {
  unsigned boids = 0, obstacles = 0;
  for (int i = 0; i < kMaxSlots; ++i) {
    if (m_pBoids[i]) boids = (unsigned)i + 1;
    if (m_pObstacles[i]) obstacles = (unsigned)i + 1;
  }
  // The flock's counts only grow.
  if (boids > m_Flock.GetNumBoids()) m_Flock.setNumBoids(boids);
  if (obstacles > m_Flock.GetNumObstacles()) m_Flock.setNumObstacles(obstacles);
}

int EPathAIManager::AddAIBoid(int, EEntity* entity) {
  if (m_nBoidCount >= kMaxSlots) return 0;
  int i = 0;
  while (m_pBoids[i]) ++i;
  m_pBoids[i] = entity;
  ++m_nBoidCount;
  UpdateFlockCounts();
  return kBoidHandle + i;
}

int EPathAIManager::AddAIObstacle(int, EEntity* entity) {
  if (m_nObstacleCount >= kMaxSlots) return 0;
  int i = 0;
  while (m_pObstacles[i]) ++i;
  m_pObstacles[i] = entity;
  ++m_nObstacleCount;
  UpdateFlockCounts();
  return kObstacleHandle + i;
}

void EPathAIManager::GetBoidParameters(int handle, EVec3& pos, EVec3& vel, EMat4& orient, float) {
  m_Flock.GetBoidState(handle - kBoidHandle, pos, vel, orient);
}

void EPathAIManager::CleanupReferences() {
  for (int i = 0; i < kMaxSlots; ++i) {
    if (m_pBoids[i] && m_pBoids[i]->IsDead()) {
      m_pBoids[i] = nullptr;
      --m_nBoidCount;
    }
    if (m_pObstacles[i] && m_pObstacles[i]->IsDead()) {
      m_pObstacles[i] = nullptr;
      --m_nObstacleCount;
    }
  }
}

void EPathAIManager::doIt() { doIt(gGameApp ? gGameApp->GetSimDeltaTime() : 0.0f); }

void EPathAIManager::doIt(float simDeltaTime) {
  for (int i = 0; i < kMaxSlots; ++i) {
    const EPhysics* phys = m_pBoids[i] ? m_pBoids[i]->GetPhysics() : nullptr;
    if (phys) m_Flock.SetBoidState(i, phys->GetAbsPosition(), phys->GetVelocity(), phys->GetAbsTrans().GetRotation());
  }
  for (int j = 0; j < kMaxSlots; ++j) {
    const EPhysics* phys = m_pObstacles[j] ? m_pObstacles[j]->GetPhysics() : nullptr;
    if (phys) m_Flock.SetObstacleState(j, phys->GetAbsPosition());
  }
  sm_fLureParam += simDeltaTime * sm_fLureDir * 0.05f;
  if (sm_fLureParam > 1.0f) {
    sm_fLureParam = 1.0f;
    sm_fLureDir = -1.0f;
  } else if (sm_fLureParam < 0.0f) {
    sm_fLureParam = 0.0f;
    sm_fLureDir = 1.0f;
  }
  const EVec3 lure = m_pPath->getPos(sm_fLureParam);
  m_Flock.doIt(lure);
}
