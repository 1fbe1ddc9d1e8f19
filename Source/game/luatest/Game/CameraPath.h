// Timed camera paths: waypoints with orientations and fields of view, flown
// over a duration with an ease-in/ease-out profile. Paths live in the
// application's pool "Camera Paths" and cameras name them by data id.
#pragma once

#include <cstdint>

#include "TWMath/Curve.h"
#include "TWMath/Vector.h"
#include "TWUtil/DataArray.h"

// Plain data: arrays of waypoints are copied as raw memory.
struct ECameraWaypoint {
  enum : uint32_t {
    kCUT = 0x1,  // the camera holds this waypoint through the segment that starts here
    kKEY = 0x2,  // one of the keys the path was built from
  };

  EVec3 m_vPosition;
  EVec3 m_vRotation;  // Euler angles in degrees
  float m_fFieldOfView;  // degrees
  uint32_t m_dwFlags;
  float m_fT;  // path parameter: 0 at the first waypoint, 1 at the last

  ECameraWaypoint() {}
};

class ECameraPath : public EDataElement {
public:
  enum { kSAMPLES_PER_SPAN = 127 };

  ECameraPath();
  ~ECameraPath();

  ECameraPath(const ECameraPath&) = delete;
  ECameraPath& operator=(const ECameraPath&) = delete;

  // Adopts the array (from malloc; the path frees it) and spreads the path
  // parameter evenly. False after a failed check; the path stays empty and
  // the array stays the caller's.
  bool Init(ECameraWaypoint* pWaypoint, int iWaypointCount, float fSeconds, float fAccelSeconds, float fDecelSeconds);
  // A smooth path through the keys: Catmull-Rom positions sampled per span,
  // the parameter by arc length, orientations and fields of view following
  // the distance travelled. The keys stay the caller's; their parameters are
  // rewritten to where each key lies along the path. False after a failed
  // check, with no path built.
  bool InitAndSubdivide(ECameraWaypoint* pKey, int iKeyCount, float fSeconds, float fAccelSeconds,
                        float fDecelSeconds);
  // The segment holding parameter t, searched forward from iStartIndex, and
  // the fraction within it (0 throughout a segment that starts on a cut).
  bool GetSegmentPosition(float t, int iStartIndex, int& iIndex0, int& iIndex1, float& u) const;
  // Debug drawing: the polyline, and a sphere and an arrow at the ends and keys.
  void RequestRender(const EVec4& colour) const;

  float GetDurationMs() const { return m_fDurationMs; }
  const EInterpolator& GetPathCurve() const { return m_PathCurve; }
  int GetWaypointCount() const { return m_iWaypointCount; }
  const ECameraWaypoint* GetWaypoints() const { return m_pWaypoint; }
  const ECameraWaypoint& GetWaypoint(int i) const { return m_pWaypoint[i]; }
  // Kept paths outlive the level unload.
  void SetKeep(bool bKeep) { m_byKeep = bKeep ? 1 : 0; }
  bool GetKeep() const { return m_byKeep != 0; }

  // The live path of this id in the application's pool, or null.
  static ECameraPath* Find(uint32_t dwId);

private:
  void initTiming(float fSeconds, float fAccelSeconds, float fDecelSeconds);

  float m_fDurationMs;
  EInterpolator m_PathCurve;
  ECameraWaypoint* m_pWaypoint;
  int32_t m_iWaypointCount;
  uint8_t m_byKeep;
};

typedef EDataArray<ECameraPath> ECameraPathPool;

// The application's pool: 16 paths, not growable.
ECameraPathPool* CreateCameraPathPool();
// The level unload: every path without its keep mark goes.
void DeleteUnkeptCameraPaths(ECameraPathPool& pool);
