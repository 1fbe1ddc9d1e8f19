// The path-AI manager: the one flock, its boid and obstacle entities, and an
// AI path along which a lure point travels back and forth.
#pragma once

#include "PathAI/EFlock.h"
#include "TWMath/Vector.h"

class EEntity;
class EMat4;

typedef int PathAIPathHandle;

struct PathAINode {
  EVec3 m_vPos;
  float m_fA = 0.0f;
  float m_fB = 0.0f;

  void setUp(const EVec3& pos, float a, float b) {
    m_vPos = pos;
    m_fA = a;
    m_fB = b;
  }
  const EVec3& getPos() const { return m_vPos; }
};

struct PathAIPath {
  enum { kMaxNodes = 16 };

  PathAINode m_aNodes[kMaxNodes];
  float m_afParam[kMaxNodes] = {};
  unsigned m_nCount = 0;

  // 1 to 15 points; each node's parameter is its share of the path length.
  void setUp(int nCount, const EVec3* points, float a, float b);
  // The point at parameter t in [0, 1].
  EVec3 getPos(float t) const;
  void draw() const;
};

class EPathAIManager {
public:
  enum { kMaxSlots = 32, kBoidHandle = 0x8000, kObstacleHandle = 0xA000, kPathHandle = 0xC000 };

  // The one manager, made on the first call.
  static EPathAIManager* createPathAIManager();
  // Deletes it; false when there was none.
  static bool destroyPathAIManager();
  static EPathAIManager* Get() { return sm_pInstance; }

  // Empties every boid, obstacle and fence slot.
  void Reset();
  PathAIPathHandle CreateAIPath(int nCount, const EVec3* points);
  // 0 when all 32 slots are taken.
  int AddAIBoid(int unused, EEntity* entity);
  int AddAIObstacle(int unused, EEntity* entity);
  void GetBoidParameters(int handle, EVec3& pos, EVec3& vel, EMat4& orient, float unused);
  // Drops entities that died from the slots.
  void CleanupReferences();

  // One frame of flocking and path AI with the application's frame time.
  void doIt();
  // The same with a given frame time in seconds.
  void doIt(float simDeltaTime);

  EFlock& GetFlock() { return m_Flock; }
  int GetNumBoids() const { return m_nBoidCount; }
  int GetNumObstacles() const { return m_nObstacleCount; }
  static float GetLureParam() { return sm_fLureParam; }
  static float GetLureDir() { return sm_fLureDir; }
  static void SetLure(float param, float dir) {
    sm_fLureParam = param;
    sm_fLureDir = dir;
  }

  ~EPathAIManager();

private:
  EPathAIManager();
  EPathAIManager(const EPathAIManager&) = delete;
  EPathAIManager& operator=(const EPathAIManager&) = delete;
  // The flock processes slots up to the last one in use.
  void UpdateFlockCounts();

  int m_nBoidCount;
  int m_nObstacleCount;
  int m_nFenceCount;
  EEntity** m_pBoids;
  EEntity** m_pObstacles;
  void** m_pFences;
  PathAIPath* m_pPath;
  EFlock m_Flock;

  static EPathAIManager* sm_pInstance;
  static float sm_fLureParam;
  static float sm_fLureDir;
};
