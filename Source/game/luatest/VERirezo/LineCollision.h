// Line collision: the shape of an entity that is a line rather than a volume
// (a rail to slide on, a tightrope, a spline the camera follows). A polyline
// in the owner's model space, turned into a chain of capsules by its radius,
// with a time per point; the same points also make a smooth TCB spline.
#pragma once

#include <vector>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

class EEntity;
class EHitResult;
class ESphere;
class ELine3;

class ELineCollision {
public:
  // How the points' times are made; 0 until the line is given points.
  enum ETimeStyle { kTIME_None = 0, kTIME_Given = 1, kTIME_PointIndex = 2, kTIME_ArcLength = 3 };

  explicit ELineCollision(EEntity* pOwner);

  // Takes the points (at least 2) and either no normals or one per point by
  // swapping them with the line's own arrays; paTime serves the given-times
  // style and is swapped too. False, with nothing changed, for a shape that
  // cannot be a line.
  bool Init(std::vector<EVec3>& aPoints, std::vector<EVec3>& aNormals, int iTimeStyle, std::vector<float>* paTime,
            bool bLooping);
  // Given times need one time per point (swapped in); without them the times
  // become point indices. Any style but 1 and 3 is stored as 2.
  void SetTimes(int iTimeStyle, std::vector<float>* paTime);
  // Keeps the fitted frame.
  void SetRadius(float fRadius);
  // Refits the frame (unless bKeepFrame) and the box around the points.
  void RecalculateBounds(bool bKeepFrame = false);
  // The frame fitted to nCount samples of sum vSum and outer-product sum mSum.
  static EMat4 ToTransform(int nCount, const EVec3& vSum, const EMat3& mSum);

  // ---- Skips ----
  void AddSkip(int iSeg);
  void ClearSkips() { m_aSkip.clear(); }
  bool IsSkipped(int iSeg) const { return iSeg >= 0 && iSeg < (int)m_aSkip.size() && m_aSkip[iSeg]; }

  // ---- Parameters ----
  // The time of a hit on this line, or of a place on a segment.
  float GetT(const EHitResult& hit) const;
  float GetT(unsigned dwSeg, float fFrac) const;
  // Segment and fraction of a time; a hint names the segment to start the
  // search from and follows the search backwards.
  unsigned ParametricToSegment(float fTime, float* pfFrac, unsigned* pdwHint = nullptr) const;
  // World point on the polyline.
  EVec3 ParametricToPoint(float fTime, unsigned* pdwHint = nullptr) const;
  // World point, tangent and second derivative of the spline.
  EVec3 ParametricToPointTCB(float fTime, unsigned* pdwHint = nullptr) const;
  void ParametricToInfoTCB(float fTime, EVec3* pvPos, EVec3* pvTangent, EVec3* pvSecond,
                           unsigned* pdwHint = nullptr) const;
  const EVec3& GetTCBTangent(int iPoint, bool bIncoming) const;
  void CalculateTCBTangents() const;
  EVec3 CalculateTCBTangent(int iPoint, bool bIncoming, float fTension, float fContinuity, float fBias) const;

  // ---- Distances along the polyline ----
  float DistanceToParametric(float fDistance) const;
  void GetDistances(float fTime, float& fBefore, float& fAfter) const;
  float GetDistanceBetween(float t1, float t2) const;

  // ---- World directions ----
  EVec3 GetForward(float fTime) const;
  EVec3 GetUnsmoothedNormal(float fTime) const;
  EVec3 GetSmoothedNormal(float fTime, unsigned* pdwHint = nullptr) const;

  // ---- Intersections, in the owner's model space ----
  // The hit record (in pHit, or on the thread's memory stack), or null.
  EHitResult* CheckForIntersection(const ESphere& sphere, EHitResult* pHit);
  EHitResult* CheckForIntersection(const ELine3& line, EHitResult* pHit);

  // The world box; pMat stands for the owner's absolute transform when given.
  EBox3 GetTransformedCollisionBoundingBox(const EMat4* pMat = nullptr) const;
  void RequestRender(const EMat4& mat) const;
  void RequestRenderSpline(const EVec3& vOffset, float fFirst, float fLast, float fStep) const;

  EEntity* GetOwner() const { return m_pOwner; }
  float GetRadius() const { return m_fRadius; }
  bool IsLooping() const { return m_bLooping; }
  int GetTimeStyle() const { return m_eTimeStyle; }
  int NumPoints() const { return (int)m_aPoint.size(); }
  int NumSegs() const { return (int)m_aPoint.size() - 1; }
  float GetSegmentLength(int iSeg) const { return (m_aPoint[iSeg + 1] - m_aPoint[iSeg]).Length(); }
  float ParametricLength() const { return m_aTime.empty() ? 0.0f : m_aTime.back(); }
  const EVec3& GetSegmentStart(int iSeg) const { return m_aPoint[iSeg]; }
  const EVec3& GetSegmentNormal(int iSeg) const { return m_aNormal[iSeg]; }
  const std::vector<EVec3>& GetPoints() const { return m_aPoint; }
  const std::vector<EVec3>& GetNormals() const { return m_aNormal; }
  const std::vector<float>& GetTimes() const { return m_aTime; }
  const EBox3& GetBounds() const { return m_Bounds; }
  const EMat4& GetFrame() const { return m_mFrame; }
  const EMat4& GetInvFrame() const { return m_mInvFrame; }
  const EVec4& GetColor() const { return m_vColor; }

private:
  // The owner's absolute transform (identity without physics).
  const EMat4& OwnerTrans() const;

  EEntity* m_pOwner;
  float m_fRadius;
  EBox3 m_Bounds;
  EMat4 m_mInvFrame;
  EMat4 m_mFrame;
  EVec4 m_vColor;
  std::vector<char> m_aSkip;
  std::vector<EVec3> m_aPoint;
  std::vector<EVec3> m_aNormal;
  mutable std::vector<EVec3> m_aTCBTangent;
  std::vector<float> m_aTime;
  int m_eTimeStyle;
  bool m_bLooping;
};

// Polyline tests in the line's model space; marked segments are passed over
// unless bIgnoreSkips.
bool TestIntersection(const ESphere& sphere, const ELineCollision& lines, bool bIgnoreSkips);
bool FindIntersection(const ESphere& sphere, const ELineCollision& lines, int& iSeg, float& fFrac,
                      bool bIgnoreSkips);
bool FindIntersection(const ELine3& line, const ELineCollision& lines, float& fLineT, int& iSeg, float& fFrac,
                      bool bIgnoreSkips);
// Distance to the nearest segment (-1 and -1 when all are skipped).
float Distance(const EVec3& p, const ELineCollision& lines, int& iSeg, float& fFrac, bool bIgnoreSkips);
