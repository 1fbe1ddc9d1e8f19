// Line collision shapes: fitted frame and box, times, polyline and spline
// evaluation, distances, directions and the capsule-chain tests.
#include "VERirezo/LineCollision.h"

#include <cfloat>
#include <cmath>

#include "TWMath/Intersect.h"
#include "TWMath/MathGeneral.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/DebugLine.h"
#include "VERirezo/Entity.h"
#include "VERirezo/Physics.h"

namespace linecollision {

const EVec4 kWHITE_COLOR(1.0f, 1.0f, 1.0f, 0.7f);
const EVec4 kHIT_COLOR(1.0f, 1.0f, 0.0f, 1.0f);
const EVec4 kSKIP_COLOR(1.0f, 0.0f, 0.0f, 1.0f);

}  // namespace linecollision

ELineCollision::ELineCollision(EEntity* pOwner)
    : m_pOwner(pOwner), m_fRadius(0.0f), m_vColor(linecollision::kWHITE_COLOR), m_eTimeStyle(kTIME_None),
      m_bLooping(false) {
  RecalculateBounds(false);
}

const EMat4& ELineCollision::OwnerTrans() const {
  const EPhysics* pPhys = m_pOwner ? m_pOwner->GetPhysics() : nullptr;
  return pPhys ? pPhys->GetAbsTrans() : cg_mIdentity;
}

bool ELineCollision::Init(std::vector<EVec3>& aPoint, std::vector<EVec3>& aNormal, int iTimeStyle,
                          std::vector<float>* paTime, bool bLooping) {
  if (aPoint.size() < 2 || (!aNormal.empty() && aNormal.size() != aPoint.size())) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Line collision: %u points and %u normals make no line",
                                 (unsigned)aPoint.size(), (unsigned)aNormal.size());
    return false;
  }
  m_aPoint.swap(aPoint);
  m_aNormal.swap(aNormal);
  SetTimes(iTimeStyle, paTime);
  m_bLooping = bLooping;
  RecalculateBounds(false);
  return true;
}

void ELineCollision::SetTimes(int iTimeStyle, std::vector<float>* paTime) {
  m_aTCBTangent.clear();
  if (iTimeStyle == kTIME_Given) {
    if (paTime && paTime->size() == m_aPoint.size()) {
      m_aTime.swap(*paTime);
      m_eTimeStyle = kTIME_Given;
      return;
    }
    g_ErrorManager.TraceMessagef(TT_Warning, "Line collision: %u given times for %u points; using point indices",
                                 paTime ? (unsigned)paTime->size() : 0u, (unsigned)m_aPoint.size());
    iTimeStyle = kTIME_PointIndex;
  }
  m_aTime.resize(m_aPoint.size());
  if (iTimeStyle == kTIME_ArcLength) {
    float fSum = 0.0f;
    for (size_t i = 0; i < m_aPoint.size(); ++i) {
      if (i > 0) fSum += GetSegmentLength((int)i - 1);
      m_aTime[i] = fSum;
    }
    m_eTimeStyle = kTIME_ArcLength;
    return;
  }
  for (size_t i = 0; i < m_aPoint.size(); ++i) m_aTime[i] = (float)i;
  m_eTimeStyle = kTIME_PointIndex;
}

void ELineCollision::SetRadius(float fRadius) {
  m_fRadius = fRadius;
  RecalculateBounds(true);
}

EMat4 ELineCollision::ToTransform(int nCount, const EVec3& vSum, const EMat3& mSum) {
  EMat4 m;
  if (nCount <= 0) return m;
  const float fInv = 1.0f / (float)nCount;
  const EVec3 vMean = vSum * fInv;
  EMat3 cov = mSum * fInv;
  cov.CovarianceTranslateToLocal(vMean);
  float afValues[3];
  EVec3 avVectors[3];
  if (cov.GetEigenStuff(afValues, avVectors)) m = EMat4(avVectors[0], avVectors[1], avVectors[2], vMean);
  m.SetTranslation(vMean);
  m.Orthonormalize();
  return m;
}

void ELineCollision::RecalculateBounds(bool bKeepFrame) {
  if (m_aPoint.empty()) {
    m_Bounds = EBox3(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f));
    return;
  }
  if (!bKeepFrame) {
    EVec3 vSum(0.0f, 0.0f, 0.0f);
    EMat3 mSum(0, 0, 0, 0, 0, 0, 0, 0, 0);
    int nCount = 0;
    for (size_t i = 0; i < m_aPoint.size(); ++i) {
      const EVec3 n = m_aNormal.empty() ? EVec3(0.0f, 1.0f, 0.0f) : m_aNormal[i];
      const EVec3 aSample[2] = {m_aPoint[i] + n, m_aPoint[i] - n};
      for (const EVec3& s : aSample) {
        vSum += s;
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 3; ++c) mSum.m[r * 3 + c] += s[r] * s[c];
        ++nCount;
      }
    }
    m_mFrame = ToTransform(nCount, vSum, mSum);
    m_mInvFrame = m_mFrame.OrthoInverse();
  }
  const EVec3 p0 = m_mInvFrame.TransformPoint(m_aPoint[0]);
  m_Bounds = EBox3(p0, p0);
  for (size_t i = 1; i < m_aPoint.size(); ++i) m_Bounds.Add(m_mInvFrame.TransformPoint(m_aPoint[i]));
  m_Bounds = m_Bounds.GetInflatedBox(m_fRadius);
}

void ELineCollision::AddSkip(int iSeg) {
  if (m_aSkip.empty() && NumSegs() > 0) m_aSkip.assign((size_t)NumSegs(), 0);
  if (iSeg >= 0 && iSeg < (int)m_aSkip.size()) m_aSkip[iSeg] = 1;
}

float ELineCollision::GetT(const EHitResult& hit) const {
  if (hit.pLines != this) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "hit.pLines == this", false);
  if ((int)hit.iDstPrimitive >= NumSegs())
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "hit.iDstPrimitive >= 0 && hit.iDstPrimitive < m_aPoint.Num()-1",
                                false);
  return GetT(hit.iDstPrimitive, hit.fDstT);
}

float ELineCollision::GetT(unsigned dwSeg, float fFrac) const {
  if ((int)dwSeg < 0 || (int)dwSeg >= NumSegs())
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "dwSeg >= 0 && dwSeg < DWORD(m_aPoint.Num()-1)", false);
  return m_aTime[dwSeg] + (m_aTime[dwSeg + 1] - m_aTime[dwSeg]) * fFrac;
}

unsigned ELineCollision::ParametricToSegment(float fTime, float* pfFrac, unsigned* pdwHint) const {
  float fDummy;
  float& fFrac = pfFrac ? *pfFrac : fDummy;
  const int nSegs = NumSegs();
  if (fTime < 0.0f || nSegs < 1) {
    fFrac = 0.0f;
    return 0;
  }
  if (m_eTimeStyle == kTIME_PointIndex || m_eTimeStyle == kTIME_None) {
    if (fTime >= (float)nSegs) {
      fFrac = 1.0f;
      return (unsigned)(nSegs - 1);
    }
    const float fSeg = floorf(fTime);
    fFrac = fTime - fSeg;
    return (unsigned)fSeg;
  }
  int iStart = 1;
  if (pdwHint) {
    if (*pdwHint >= (unsigned)nSegs) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "*pdwHint < NumSegs()", false);
    const int iHint = (int)*pdwHint;
    if (fTime < m_aTime[iHint]) {
      int i = iHint - 1;
      while (i > 0 && m_aTime[i] > fTime) --i;
      if (i < 0 || m_aTime[i] > fTime) {
        // The first time lies above the searched one.
        fFrac = 0.0f;
        *pdwHint = 0;
        return 0;
      }
      fFrac = (fTime - m_aTime[i]) / (m_aTime[i + 1] - m_aTime[i]);
      *pdwHint = (unsigned)i;
      return (unsigned)i;
    }
    iStart = iHint + 1;
  }
  for (int i = iStart; i <= nSegs; ++i) {
    if (m_aTime[i] > fTime) {
      const float fSpan = m_aTime[i] - m_aTime[i - 1];
      fFrac = fSpan > 0.0f ? (fTime - m_aTime[i - 1]) / fSpan : 0.0f;
      return (unsigned)(i - 1);
    }
  }
  fFrac = 1.0f;
  if (pdwHint) *pdwHint = (unsigned)(nSegs - 1);
  return (unsigned)(nSegs - 1);
}

EVec3 ELineCollision::ParametricToPoint(float fTime, unsigned* pdwHint) const {
  if (m_aPoint.size() < 2) return OwnerTrans().TransformPoint(m_aPoint.empty() ? EVec3(0, 0, 0) : m_aPoint[0]);
  float u;
  const unsigned s = ParametricToSegment(fTime, &u, pdwHint);
  return OwnerTrans().TransformPoint(m_aPoint[s].Lerp(m_aPoint[s + 1], u));
}

EVec3 ELineCollision::CalculateTCBTangent(int iPoint, bool bIncoming, float fTension, float fContinuity,
                                          float fBias) const {
  const int n = NumPoints();
  int iPrev = iPoint - 1, iNext = iPoint + 1;
  if (iPoint == 0) iPrev = m_bLooping ? n - 2 : 0;
  if (iPoint == n - 1) iNext = m_bLooping ? 1 : n - 1;
  const float b = bIncoming ? -fBias : fBias;
  const float fNextW = (1.0f - fTension) * (1.0f - fContinuity) * (1.0f + b) * 0.5f;
  const float fPrevW = (1.0f - fTension) * (1.0f + fContinuity) * (1.0f - b) * 0.5f;
  EVec3 t = (m_aPoint[iNext] - m_aPoint[iPoint]) * fNextW + (m_aPoint[iPoint] - m_aPoint[iPrev]) * fPrevW;
  if (m_eTimeStyle == kTIME_PointIndex || m_eTimeStyle == kTIME_None) return t;
  float dIn = m_aTime[iPoint] - m_aTime[iPrev];
  float dOut = m_aTime[iNext] - m_aTime[iPoint];
  if (m_bLooping) {
    if (dIn < 0.0f) dIn += ParametricLength();
    if (dOut < 0.0f) dOut += ParametricLength();
  }
  const float fSum = dIn + dOut;
  if (fSum <= 0.0f) return t;
  return t * (2.0f * (bIncoming ? dIn : dOut) / fSum);
}

void ELineCollision::CalculateTCBTangents() const {
  m_aTCBTangent.resize(m_aPoint.size() * 2);
  for (int i = 0; i < NumPoints(); ++i) {
    m_aTCBTangent[i * 2] = CalculateTCBTangent(i, true, 0.0f, 0.0f, 0.0f);
    m_aTCBTangent[i * 2 + 1] = CalculateTCBTangent(i, false, 0.0f, 0.0f, 0.0f);
  }
}

const EVec3& ELineCollision::GetTCBTangent(int iPoint, bool bIncoming) const {
  if (m_aTCBTangent.size() != m_aPoint.size() * 2) CalculateTCBTangents();
  return m_aTCBTangent[iPoint * 2 + (bIncoming ? 0 : 1)];
}

void ELineCollision::ParametricToInfoTCB(float fTime, EVec3* pvPos, EVec3* pvTangent, EVec3* pvSecond,
                                         unsigned* pdwHint) const {
  if (m_aPoint.size() < 2) {
    if (pvPos) *pvPos = ParametricToPoint(fTime);
    if (pvTangent) *pvTangent = EVec3(0, 0, 0);
    if (pvSecond) *pvSecond = EVec3(0, 0, 0);
    return;
  }
  float u;
  const unsigned s = ParametricToSegment(fTime, &u, pdwHint);
  const EVec3& P0 = m_aPoint[s];
  const EVec3& P1 = m_aPoint[s + 1];
  const EVec3& T0 = GetTCBTangent((int)s, false);
  const EVec3& T1 = GetTCBTangent((int)s + 1, true);
  const float fSpan = m_aTime[s + 1] - m_aTime[s];
  const float k = fSpan != 0.0f ? 1.0f / fSpan : 0.0f;
  const EMat4& mOwner = OwnerTrans();
  const float u2 = u * u, u3 = u2 * u;
  if (pvPos) {
    const float h = 3.0f * u2 - 2.0f * u3;
    *pvPos = mOwner.TransformPoint(P0 * (1.0f - h) + P1 * h + T0 * (u3 - 2.0f * u2 + u) + T1 * (u3 - u2));
  }
  if (pvTangent) {
    const EVec3 d = ((P1 - P0) * (6.0f * u - 6.0f * u2) + T0 * (3.0f * u2 - 4.0f * u + 1.0f) + T1 * (3.0f * u2 - 2.0f * u)) * k;
    *pvTangent = mOwner.Mul3Vec3(d);
  }
  if (pvSecond) {
    const EVec3 d2 = ((P1 - P0) * (6.0f - 12.0f * u) + T0 * (6.0f * u - 4.0f) + T1 * (6.0f * u - 2.0f)) * (k * k);
    *pvSecond = mOwner.Mul3Vec3(d2);
  }
}

EVec3 ELineCollision::ParametricToPointTCB(float fTime, unsigned* pdwHint) const {
  EVec3 v;
  ParametricToInfoTCB(fTime, &v, nullptr, nullptr, pdwHint);
  return v;
}

float ELineCollision::DistanceToParametric(float fDistance) const {
  if (m_eTimeStyle == kTIME_ArcLength) return PIN(fDistance, 0.0f, ParametricLength());
  if (fDistance <= 0.0f) return 0.0f;
  float fRest = fDistance;
  for (int i = 0; i < NumSegs(); ++i) {
    const float fLen = GetSegmentLength(i);
    if (fRest <= fLen) return (float)i + (fLen > 0.0f ? fRest / fLen : 0.0f);
    fRest -= fLen;
  }
  return (float)(NumPoints() - 1);
}

void ELineCollision::GetDistances(float fTime, float& fBefore, float& fAfter) const {
  fBefore = fAfter = 0.0f;
  if (m_aPoint.size() < 2 || m_eTimeStyle == kTIME_None) return;
  if (m_eTimeStyle == kTIME_ArcLength) {
    fBefore = fTime;
    fAfter = ParametricLength() - fTime;
    return;
  }
  float u;
  const int s = (int)ParametricToSegment(fTime, &u);
  for (int i = 0; i < NumSegs(); ++i) {
    const float fLen = GetSegmentLength(i);
    if (i < s) {
      fBefore += fLen;
    } else if (i > s) {
      fAfter += fLen;
    } else {
      fBefore += fLen * u;
      fAfter += fLen * (1.0f - u);
    }
  }
}

float ELineCollision::GetDistanceBetween(float t1, float t2) const {
  if (m_aPoint.size() < 2) return 0.0f;
  float fSign = 1.0f;
  if (t1 > t2) {
    const float t = t1;
    t1 = t2;
    t2 = t;
    fSign = -1.0f;
  }
  t1 = MAX(t1, 0.0f);
  t2 = MIN(t2, (float)(NumPoints() - 1));
  if (t2 <= t1) return 0.0f;
  const int iFirst = MIN((int)floorf(t1), NumSegs() - 1);
  const int iEnd = (int)ceilf(t2);
  float fSum = 0.0f;
  for (int i = iFirst; i < iEnd; ++i) fSum += GetSegmentLength(i);
  fSum -= (t1 - (float)iFirst) * GetSegmentLength(iFirst);
  fSum -= ((float)iEnd - t2) * GetSegmentLength(iEnd - 1);
  return fSum * fSign;
}

EVec3 ELineCollision::GetForward(float fTime) const {
  if (m_aPoint.size() < 2) return EVec3(0.0f, 0.0f, -1.0f);
  float u;
  int s = (int)ParametricToSegment(fTime, &u);
  if (u > 0.5f) {
    ++s;
    u -= 1.0f;
  }
  EVec3 d;
  if (s == 0) {
    d = m_aPoint[1] - m_aPoint[0];
  } else if (s >= NumSegs()) {
    d = m_aPoint[NumSegs()] - m_aPoint[NumSegs() - 1];
  } else {
    const float fBlend = u + 0.5f;
    d = (m_aPoint[s] - m_aPoint[s - 1]) * (1.0f - fBlend) + (m_aPoint[s + 1] - m_aPoint[s]) * fBlend;
  }
  d.Normalize();
  return OwnerTrans().Mul3Vec3(d);
}

EVec3 ELineCollision::GetUnsmoothedNormal(float fTime) const {
  if (m_aNormal.empty()) return EVec3(0.0f, 1.0f, 0.0f);
  float u;
  const unsigned s = ParametricToSegment(fTime, &u);
  return OwnerTrans().Mul3Vec3(m_aNormal[s]);
}

EVec3 ELineCollision::GetSmoothedNormal(float fTime, unsigned* pdwHint) const {
  if (m_aNormal.empty()) return EVec3(0.0f, 1.0f, 0.0f);
  float u;
  int s = (int)ParametricToSegment(fTime, &u, pdwHint);
  if (u > 0.5f) {
    ++s;
    u -= 1.0f;
  }
  EVec3 n;
  if (s > 0 && s < NumSegs()) {
    const float fBlend = u + 0.5f;
    n = m_aNormal[s - 1] * (1.0f - fBlend) + m_aNormal[s] * fBlend;
  } else {
    n = s == 0 ? m_aNormal[0] : m_aNormal[NumSegs() - 1];
  }
  n.Normalize();
  return OwnerTrans().Mul3Vec3(n);
}

// ---- Intersections ----------------------------------------------------------------------------

bool FindIntersection(const ESphere& sphere, const ELineCollision& lines, int& iSeg, float& fFrac, bool bIgnoreSkips) {
  const float fReach = sphere.radius + lines.GetRadius();
  float fBest = fReach * fReach;
  bool bFound = false;
  const std::vector<EVec3>& aPoint = lines.GetPoints();
  for (int i = 0; i < lines.NumSegs(); ++i) {
    if (!bIgnoreSkips && lines.IsSkipped(i)) continue;
    g_CollideStats.nCapsuleTests++;
    float t;
    const float d2 = TWMath::SqrDistance(sphere.centre, EFastSeg3(aPoint[i], aPoint[i + 1], TagPOINTS()), &t);
    if (d2 < fBest) {
      fBest = d2;
      iSeg = i;
      fFrac = t;
      bFound = true;
    }
  }
  return bFound;
}

bool FindIntersection(const ELine3& line, const ELineCollision& lines, float& fLineT, int& iSeg, float& fFrac,
                      bool bIgnoreSkips) {
  float fBest = lines.GetRadius() * lines.GetRadius();
  bool bFound = false;
  const std::vector<EVec3>& aPoint = lines.GetPoints();
  for (int i = 0; i < lines.NumSegs(); ++i) {
    if (!bIgnoreSkips && lines.IsSkipped(i)) continue;
    g_CollideStats.nCapsuleTests++;
    float s, t;
    const float d2 = TWMath::SqrDistance(line, EFastSeg3(aPoint[i], aPoint[i + 1], TagPOINTS()), &s, &t);
    if (d2 < fBest) {
      fBest = d2;
      fLineT = s;
      iSeg = i;
      fFrac = t;
      bFound = true;
    }
  }
  return bFound;
}

float Distance(const EVec3& p, const ELineCollision& lines, int& iSeg, float& fFrac, bool bIgnoreSkips) {
  float fBest = FLT_MAX;
  iSeg = -1;
  fFrac = -1.0f;
  const std::vector<EVec3>& aPoint = lines.GetPoints();
  for (int i = 0; i < lines.NumSegs(); ++i) {
    if (!bIgnoreSkips && lines.IsSkipped(i)) continue;
    float t;
    const float d2 = TWMath::SqrDistance(p, EFastSeg3(aPoint[i], aPoint[i + 1], TagPOINTS()), &t);
    if (d2 < fBest) {
      fBest = d2;
      iSeg = i;
      fFrac = t;
    }
  }
  return FastSqrt(fBest);
}

bool TestIntersection(const ESphere& sphere, const ELineCollision& lines, bool bIgnoreSkips) {
  int iSeg;
  float fFrac;
  return FindIntersection(sphere, lines, iSeg, fFrac, bIgnoreSkips);
}

namespace linecollision {

EHitResult* FillHit(EHitResult* pHit, ELineCollision* pLines, float fTime, float fFrac, int iSeg) {
  if (!pHit) pHit = PushData(*GetThreadLocalStack(), EHitResult());
  pHit->eType = CCT_CapsuleEdge;
  pHit->pLines = pLines;
  pHit->fTime = fTime;
  pHit->fDstT = fFrac;
  pHit->iSrcPrimitive = 0;
  pHit->iDstPrimitive = (uint16_t)iSeg;
  pHit->pEntity = pLines->GetOwner();
  pHit->vNormal = EVec3(0.0f, 0.0f, 0.0f);
  pHit->pNext = nullptr;
  return pHit;
}

}  // namespace linecollision

EHitResult* ELineCollision::CheckForIntersection(const ESphere& sphere, EHitResult* pHit) {
  m_vColor = linecollision::kWHITE_COLOR;
  const EVec3 vLocal = m_mInvFrame.TransformPoint(sphere.centre);
  if (TWMath::SqrDistance(vLocal, m_Bounds) > sphere.radius * sphere.radius) return nullptr;
  int iSeg;
  float fFrac;
  if (!FindIntersection(sphere, *this, iSeg, fFrac, false)) return nullptr;
  m_vColor = linecollision::kHIT_COLOR;
  return linecollision::FillHit(pHit, this, 0.0f, fFrac, iSeg);
}

EHitResult* ELineCollision::CheckForIntersection(const ELine3& line, EHitResult* pHit) {
  m_vColor = linecollision::kWHITE_COLOR;
  int iSeg;
  float fFrac, fLineT;
  if (!FindIntersection(line, *this, fLineT, iSeg, fFrac, false)) return nullptr;
  m_vColor = linecollision::kHIT_COLOR;
  return linecollision::FillHit(pHit, this, fLineT, fFrac, iSeg);
}

EBox3 ELineCollision::GetTransformedCollisionBoundingBox(const EMat4* pMat) const {
  return m_Bounds.TransformAffine((pMat ? *pMat : OwnerTrans()).Mul(m_mFrame));
}

// ---- Debug drawing ---------------------------------------------------------------------------

void ELineCollision::RequestRender(const EMat4& mat) const {
  if (!gDebugLine) return;
  EMat4 m = mat;
  m.m[13] += 1.0f;
  for (int i = 0; i < NumSegs(); ++i) {
    const EVec4* pColor = IsSkipped(i) ? &linecollision::kSKIP_COLOR : &m_vColor;
    gDebugLine->AddLine(m.TransformPoint(m_aPoint[i]), m.TransformPoint(m_aPoint[i + 1]), pColor, 0);
  }
}

void ELineCollision::RequestRenderSpline(const EVec3& vOffset, float fFirst, float fLast, float fStep) const {
  if (!gDebugLine || m_aPoint.size() < 2) return;
  if (fFirst < 0.0f) fFirst = 0.0f;
  if (fLast < 0.0f) fLast = ParametricLength();
  if (fStep <= 0.0f) fStep = ParametricLength() / (8.0f * (float)NumSegs());
  if (fStep <= 0.0f) return;
  static const EVec4 kPINK(1.0f, 0.5f, 0.5f, 1.0f);
  static const EVec4 kCYAN(0.0f, 1.0f, 1.0f, 1.0f);
  static const EVec4 kWHITE(1.0f, 1.0f, 1.0f, 1.0f);
  unsigned dwHint = 0;
  EVec3 vPrev;
  ParametricToInfoTCB(fFirst, &vPrev, nullptr, nullptr, &dwHint);
  vPrev += vOffset;
  bool bPink = false;
  for (float t = fFirst + fStep; t <= fLast + fStep * 0.5f; t += fStep) {
    EVec3 vPos, vTan;
    ParametricToInfoTCB(MIN(t, fLast), &vPos, &vTan, nullptr, &dwHint);
    vPos += vOffset;
    gDebugLine->AddLine(vPrev, vPos, bPink ? &kPINK : &kWHITE, 0);
    gDebugLine->AddLine(vPos, vPos + vTan * (ParametricLength() * 10.0f), &kCYAN, 0);
    bPink = !bPink;
    vPrev = vPos;
  }
  const EMat4& mOwner = OwnerTrans();
  for (int i = 0; i < NumSegs(); ++i) {
    const EVec3 a = mOwner.TransformPoint(m_aPoint[i]) + vOffset;
    const EVec3 b = mOwner.TransformPoint(m_aPoint[i + 1]) + vOffset;
    gDebugLine->AddArrow(a, a + mOwner.Mul3Vec3(GetTCBTangent(i, false)) * 0.2f, &linecollision::kSKIP_COLOR, 0);
    gDebugLine->AddArrow(b, b - mOwner.Mul3Vec3(GetTCBTangent(i + 1, true)) * 0.2f, &linecollision::kSKIP_COLOR, 0);
  }
}
