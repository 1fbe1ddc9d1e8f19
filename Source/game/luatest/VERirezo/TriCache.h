// The triangle cache of a moving object: the collision triangles of the
// level and of static triangle entities inside a sphere around where the
// object has been, each with a bounding sphere. The object's queries test
// the cached triangles near their motion first; a motion that stays inside
// the sphere skips the level geometry. The sphere follows decaying
// statistics of the query positions.
#pragma once

#include <cstdint>
#include <vector>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Primitives.h"
#include "TWMath/Vector.h"

class ECollide;
class ECollisionManager;
class EDomain;
class EMesh;
class EMeshEntity;

// The decay factors shared by the history values: level 0 keeps only the
// newest sample, levels 1 and 2 forget with time constants 1.0 and 2.5 s.
class EHistoryManager {
public:
  EHistoryManager();
  // exp(dt * -ln 10 / T) per level (0 for T = 0); all zeros for dt = 0.
  const double* GetDecayConstants(double dt);

  double m_dLastDt;
  double m_adTimeConstant[3];
  double m_adDecay[3];
};
extern EHistoryManager g_HistoryManager;

// Mean and second moment of a value at three levels of decay.
class EHistoryVec1 {
public:
  EHistoryVec1();
  void Set(float x, float dt);
  float GetMean(int i) const { return m_afMean[i]; }
  float GetVariance(int i) const { return m_afMoment[i] - m_afMean[i] * m_afMean[i]; }

private:
  float m_afMean[3];
  float m_afMoment[3];
};

class EHistoryVec2 {
public:
  EHistoryVec2();
  void Set(const EVec2& v, float dt);
  const EVec2& GetMean(int i) const { return m_avMean[i]; }
  EMat2 GetVariance(int i) const;

private:
  EVec2 m_avMean[3];
  EMat2 m_amMoment[3];
};

class EHistoryVec3 {
public:
  EHistoryVec3();
  void Set(const EVec3& v, float dt);
  const EVec3& GetMean(int i) const { return m_avMean[i]; }
  EMat3 GetVariance(int i) const;

private:
  EVec3 m_avMean[3];
  EMat3 m_amMoment[3];
};

class ETriCache {
public:
  struct TriData {
    EMesh* pMesh;
    uint32_t dwIndex;
  };

  // A null manager means the game's own.
  ETriCache(float fMaxRadius, unsigned dwSurfaceFlags, const char* szName, ECollisionManager* pCM);
  ~ETriCache();
  ETriCache(const ETriCache&) = delete;
  ETriCache& operator=(const ETriCache&) = delete;

  // Re-centres and re-sizes the cache from the statistics (once a frame).
  void AutoTune();
  // Refills the cache around the sphere; radius 0 empties it.
  void Fill(const ESphere& sphere);
  void Empty() { Fill(ESphere(EVec3(0.0f, 0.0f, 0.0f), 0.0f)); }
  // Appends the mesh's triangles that lie in the cache sphere.
  void AddMesh(EMesh* pMesh);
  // Feeds one query's positions into the statistics.
  void ReportResult(const ECollide& hit, bool bInside);
  void onDomainChange(EDomain* pOld, EDomain* pNew);
  void RequestRender() const;
  // True when a cached triangle belongs to the mesh or to one of its children.
  bool ReferencesMesh(const EMesh* pMesh) const;

  ECollisionManager* GetCollisionManager() const { return m_pCM; }
  const char* GetName() const { return m_szName; }
  float GetMaxRadius() const { return m_fMaxRadius; }
  unsigned GetSurfaceFlags() const { return m_dwSurfaceFlags; }
  const ESphere& GetSphere() const { return m_Sphere; }
  EHistoryVec3& GetHistory() { return m_History; }
  int GetNumTris() const { return (int)m_TriData.size(); }
  const TriData& GetTriData(int i) const { return m_TriData[i]; }
  const ESphere& GetTriSphere(int i) const { return m_TriSpheres[i]; }
  bool TakesMovers() const { return m_bMovers; }
  void SetTakesMovers(bool bMovers) { m_bMovers = bMovers; }
  ETriCache* GetNext() const { return m_pNext; }

  // A triangle entity started or stopped being a collidee.
  static void NotifyCollidee(EMeshEntity* pEntity, const EBox3& box);
  static void NotifyNotCollidee(EMeshEntity* pEntity);
  // A mesh with collision went away: the caches holding its triangles empty.
  static void NotifyMeshUnloaded(const EMesh* pMesh);
  static void EmptyAll();
  // Whether the triangle-cache switch of the debug hooks is on.
  static bool IsEnabled();

  static ETriCache* sm_pHead;

private:
  const char* m_szName;
  unsigned m_dwSurfaceFlags;
  bool m_bMovers;
  float m_fMaxRadius;
  ESphere m_Sphere;
  EHistoryVec3 m_History;
  ECollisionManager* m_pCM;
  std::vector<ESphere> m_TriSpheres;
  std::vector<TriData> m_TriData;
  ETriCache* m_pNext;
};
