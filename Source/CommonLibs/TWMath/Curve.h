// Cubic curve segments, squad rotation segments, ease-in/ease-out timing
// profiles and spline paths built from them.
#pragma once

#include <cstdint>

#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"

class EProfileZone;
// Profiling zone of spline evaluation ("spline eval").
extern EProfileZone g_zSplineEval;

// One cubic Hermite segment from P0 (t = 0) to P1 (t = 1).
class EPositionCurveSegment {
public:
  EVec3 m_vP0, m_vP1;  // start and end
  EVec3 m_vT0, m_vT1;  // tangents at the start and at the end

  EPositionCurveSegment() {}

  // k holds four keys; the segment runs from k[1] to k[2].
  void InitCatmullRom(const EVec3* k);
  void InitKochanekBartels(const EVec3* k, float fTension, float fContinuity, float fBias);

  EVec3 Evaluate(float t) const;
  // Derivative with respect to t, not normalised.
  EVec3 Tangent(float t) const;
};

// One squad segment between two orientations given as Euler angles.
class ERotationCurveSegment {
public:
  EQuat m_qQ0, m_qQ1;  // orientation at the start and at the end
  EQuat m_qA0, m_qA1;  // inner control orientations

  ERotationCurveSegment() {}

  // Four Euler-angle keys in degrees; the segment runs from eulers[1] to eulers[2].
  void InitRotationSpline(const EVec3* eulers);
  EVec3 Evaluate(float t) const;
};

// Maps normalised time to normalised distance: constant acceleration, then
// constant speed, then constant deceleration.
class EInterpolator {
public:
  EInterpolator();

  void Init(float fAccelTime, float fDecelTime);
  float GetPosition(float fTime) const;

  float m_fAccelTime;
  float m_fDecelTime;

private:
  float m_fPeakSpeed;
  float m_fAccelDist;  // distance covered while accelerating
  float m_fDecelDist;  // distance covered while decelerating
};

// One segment of a spline path.
class ESplinePathControlPoint {
public:
  float m_fSegmentLength;     // chord length |P1 - P0|
  float m_fParametricLength;  // share of the path's parameter range
  float m_fParametricEnd;     // path parameter at the segment's end
  EPositionCurveSegment m_Segment;
  EQuat m_qRotation;  // orientation at the segment's start
  EVec3 m_vUp;        // unit up vector at the segment's start

  ESplinePathControlPoint() : m_fSegmentLength(0.0f), m_fParametricLength(0.0f), m_fParametricEnd(0.0f) {}

  void Init(const EVec3* points, const EVec3* ups, float fTension, float fContinuity, float fBias);
  EVec3 Evaluate(float u) const { return m_Segment.Evaluate(u); }
  EVec3 EvaluateTangent(float u) const { return m_Segment.Tangent(u); }
};

// One sample of a sampled path.
struct ESplineLinearPoint {
  EVec3 m_vPosition;
  EVec3 m_vUp;
  float m_fParameter;  // non-decreasing along the table, first 0, last 1
  uint32_t m_dwWaypoint;  // segment the sample was taken from
};

// A path through waypoints, open or closed, optionally carrying a table of
// samples that makes its parameter follow arc length.
class ESplinePath {
public:
  ESplinePath();
  ~ESplinePath();

  ESplinePath(const ESplinePath&) = delete;
  ESplinePath& operator=(const ESplinePath&) = delete;

  void setPath(bool bClosed, unsigned nCount, const EVec3* pWaypoints, const EVec3* pUps, bool bUniform);
  void InitialiseParametricValues();
  void createUniformPath(unsigned nPerSegment);
  void InitialiseLinearValues();
  bool SetExplicitParametricValues(float* pValues, unsigned nCount);
  // Replaces the samples by a ballistic arc. Refuses (false) fewer than two samples.
  bool createGravityPath(int nCount, const EVec3& vFrom, const EVec3& vTo, float fTime, float fGravity,
                         const EVec3& vUpAxis);
  void createAdaptivePath(int nCount, float fTolerance);

  EVec3 ImplicitEvaluation(float t);
  EVec3 ExplicitEvaluation(float t);
  unsigned ExplicitEvaluationIncludingUpVector(unsigned* pKey, float t, float fSpeed, EVec3* pPos, EVec3* pFwd,
                                               EVec3* pUp);
  unsigned ImplicitEvaluationIncludingUpVector(unsigned* pKey, float t, float fSpeed, EVec3* pPos, EVec3* pFwd,
                                               EVec3* pUp);

  unsigned getKey(unsigned nStart, float t) const;
  unsigned getWaypoint(unsigned nKey) const;
  float getWayPointParametricValue(unsigned nWaypoint) const;
  float getNearestPoint(const EVec3& p) const;
  int GetMemUsage() const;

  unsigned getSegmentCount() const { return m_nSegments; }
  float getLength() const { return m_fLength; }
  unsigned getKeyCount() const { return m_nKeys; }
  bool IsExplicit() const { return m_nKeys != 0; }
  void setHandle(unsigned dwHandle) { m_dwHandle = dwHandle; }
  unsigned getHandle() const { return m_dwHandle; }

  const ESplinePathControlPoint* GetControlPoint(unsigned i) const { return &m_pPathCurveSegments[i]; }
  const ESplineLinearPoint* GetKey(unsigned i) const { return &m_pPts[i]; }

private:
  void freeControlPoints();
  void freeKeys();
  bool hasControlPoints() const { return m_nSegments != 0 && m_pPathCurveSegments != nullptr; }
  // Interval [a, b] of the sample table holding t, searched from nStart
  // (0xFFFFFFFF: binary search).
  void findInterval(unsigned nStart, float t, unsigned& a, unsigned& b) const;

  uint32_t m_nSegments;
  ESplinePathControlPoint* m_pPathCurveSegments;
  float m_fLength;
  uint32_t m_nKeys;
  ESplineLinearPoint* m_pPts;
  uint32_t m_dwHandle;
};
