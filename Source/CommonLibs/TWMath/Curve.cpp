#include "TWMath/Curve.h"

#include <new>

#include "TWMath/Matrix.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"

EProfileZone g_zSplineEval("spline eval", 2, false);

// ---------------------------------------------------------------------------
// Curve segments

void EPositionCurveSegment::InitCatmullRom(const EVec3* k) {
  m_vP0 = k[1];
  m_vP1 = k[2];
  m_vT0 = ((k[2] - k[1]) + (k[1] - k[0])) * 0.5f;
  m_vT1 = ((k[3] - k[2]) + (k[2] - k[1])) * 0.5f;
}

void EPositionCurveSegment::InitKochanekBartels(const EVec3* k, float fTension, float fContinuity, float fBias) {
  m_vP0 = k[1];
  m_vP1 = k[2];
  float fK = (1.0f - fTension) * 0.5f;
  m_vT0 = ((k[1] - k[0]) * ((1.0f + fContinuity) * (1.0f + fBias)) +
           (k[2] - k[1]) * ((1.0f - fContinuity) * (1.0f - fBias))) * fK;
  m_vT1 = ((k[2] - k[1]) * ((1.0f - fContinuity) * (1.0f + fBias)) +
           (k[3] - k[2]) * ((1.0f + fContinuity) * (1.0f - fBias))) * fK;
}

EVec3 EPositionCurveSegment::Evaluate(float t) const {
  float t2 = t * t;
  float t3 = t2 * t;
  return m_vP0 * (2.0f * t3 - 3.0f * t2 + 1.0f) + m_vT0 * (t3 - 2.0f * t2 + t) + m_vT1 * (t3 - t2) +
         m_vP1 * (-2.0f * t3 + 3.0f * t2);
}

EVec3 EPositionCurveSegment::Tangent(float t) const {
  float t2 = t * t;
  return m_vP0 * (6.0f * t2 - 6.0f * t) + m_vT0 * (3.0f * t2 - 4.0f * t + 1.0f) + m_vT1 * (3.0f * t2 - 2.0f * t) +
         m_vP1 * (-6.0f * t2 + 6.0f * t);
}

void ERotationCurveSegment::InitRotationSpline(const EVec3* eulers) {
  EQuat q0, q1, q2, q3;
  q0.FromEuler(eulers[0]);
  q1.FromEuler(eulers[1]);
  q2.FromEuler(eulers[2]);
  q3.FromEuler(eulers[3]);

  // Put neighbouring keys on the same hemisphere so that every step takes
  // the short way round.
  if ((q0 - q1).LengthSq() > (q0 + q1).LengthSq()) q0 = q0 * -1.0f;
  if ((q1 - q2).LengthSq() > (q1 + q2).LengthSq()) q2 = q2 * -1.0f;
  if ((q2 - q3).LengthSq() > (q2 + q3).LengthSq()) q3 = q3 * -1.0f;

  m_qQ0 = q1;
  m_qQ1 = q2;
  EQuat q1Inv = q1.Inverse();
  EQuat q2Inv = q2.Inverse();
  m_qA0 = q1 * (((q1Inv * q2).Ln() + (q1Inv * q0).Ln()) * -0.25f).Exp();
  m_qA1 = q2 * (((q2Inv * q3).Ln() + (q2Inv * q1).Ln()) * -0.25f).Exp();
}

EVec3 ERotationCurveSegment::Evaluate(float t) const {
  return Squad(m_qQ0, m_qA0, m_qA1, m_qQ1, t).ToEuler();
}

EInterpolator::EInterpolator()
    : m_fAccelTime(-1.0f), m_fDecelTime(-1.0f), m_fPeakSpeed(0.0f), m_fAccelDist(0.0f), m_fDecelDist(0.0f) {}

void EInterpolator::Init(float fAccelTime, float fDecelTime) {
  EASSERT_WARN(fAccelTime >= 0.0f && fAccelTime <= 1.0f);
  EASSERT_WARN(fDecelTime >= 0.0f && fDecelTime <= 1.0f);
  EASSERT_WARN(fAccelTime + fDecelTime <= 1.0f);
  m_fAccelTime = fAccelTime;
  m_fDecelTime = fDecelTime;
  float fRamp = fAccelTime + fDecelTime;
  // The area under the speed profile is the whole distance, 1.
  m_fPeakSpeed = 1.0f / (fRamp * 0.5f + (1.0f - fRamp));
  m_fAccelDist = fAccelTime * m_fPeakSpeed * 0.5f;
  m_fDecelDist = fDecelTime * m_fPeakSpeed * 0.5f;
}

float EInterpolator::GetPosition(float fTime) const {
  EASSERT_WARN(fTime >= 0.0f && fTime <= 1.0f);
  EASSERT_WARN(m_fAccelTime >= 0.0f && m_fDecelTime >= 0.0f);
  float v = m_fPeakSpeed;
  float p;
  if (fTime < m_fAccelTime) {
    p = (v * fTime / m_fAccelTime) * fTime * 0.5f;
  } else if (fTime <= 1.0f - m_fDecelTime) {
    p = m_fAccelDist + v * (fTime - m_fAccelTime);
  } else {
    float s = 1.0f - fTime;
    p = 1.0f - (v * s / m_fDecelTime) * s * 0.5f;
  }
  return PIN(p, 0.0f, 1.0f);
}

// ---------------------------------------------------------------------------
// Spline paths

static const EVec3 s_vYAxis(0.0f, 1.0f, 0.0f);

void ESplinePathControlPoint::Init(const EVec3* k, const EVec3* u, float fTension, float fContinuity, float fBias) {
  m_Segment.InitKochanekBartels(k, fTension, fContinuity, fBias);
  m_vUp = u[1];
  m_vUp.Normalize();
  // The direction arriving at the segment's start, or for a path's first
  // segment the segment's own chord.
  EVec3 vDir = (k[0] != k[1]) ? k[1] - k[0] : k[2] - k[1];
  vDir.Normalize();
  EVec3 vSide = m_vUp.Cross(vDir);
  EMat4 m;
  m.SetFromBasisVectors(vSide, m_vUp, vDir);
  m_qRotation = EQuat(m);
}

ESplinePath::ESplinePath()
    : m_nSegments(0), m_pPathCurveSegments(nullptr), m_fLength(0.0f), m_nKeys(0), m_pPts(nullptr),
      m_dwHandle(0xFFFFFFFFu) {}

ESplinePath::~ESplinePath() {
  freeControlPoints();
  freeKeys();
}

void ESplinePath::freeControlPoints() {
  delete[] m_pPathCurveSegments;
  m_pPathCurveSegments = nullptr;
}

void ESplinePath::freeKeys() {
  delete[] m_pPts;
  m_pPts = nullptr;
  m_nKeys = 0;
}

void ESplinePath::setPath(bool bClosed, unsigned nCount, const EVec3* pW, const EVec3* pU, bool bUniform) {
  if (nCount <= 1) return;

  freeControlPoints();
  unsigned n = bClosed ? nCount : nCount - 1;
  m_nSegments = 0;
  m_pPathCurveSegments = new (std::nothrow) ESplinePathControlPoint[n];
  EASSERT(m_pPathCurveSegments);
  m_nSegments = n;

  EVec3 aPoints[4];
  EVec3 aUps[4];
  if (n == 1) {
    aPoints[0] = aPoints[1] = pW[0];
    aPoints[2] = aPoints[3] = pW[1];
    if (pU) {
      aUps[0] = aUps[1] = pU[0];
      aUps[2] = aUps[3] = pU[1];
    } else {
      aUps[0] = aUps[1] = aUps[2] = aUps[3] = s_vYAxis;
    }
    m_pPathCurveSegments[0].Init(aPoints, aUps, 0.0f, 0.0f, 0.0f);
  } else {
    for (unsigned i = 0; i < n; i++) {
      unsigned aIdx[4];
      if (bClosed) {
        for (unsigned k = 0; k < 4; k++) aIdx[k] = (n + k + i - 1) % n;
      } else {
        aIdx[0] = (i == 0) ? i : i - 1;
        aIdx[1] = i;
        aIdx[2] = i + 1;
        aIdx[3] = (i == n - 1) ? i + 1 : i + 2;
      }
      for (unsigned k = 0; k < 4; k++) {
        aPoints[k] = pW[aIdx[k]];
        aUps[k] = pU ? pU[aIdx[k]] : s_vYAxis;
      }
      m_pPathCurveSegments[i].Init(aPoints, aUps, 0.0f, 0.0f, 0.0f);
    }
  }

  InitialiseParametricValues();
  if (bUniform) createUniformPath(32);
}

void ESplinePath::InitialiseParametricValues() {
  if (!hasControlPoints()) return;
  float fTotal = 0.0f;
  for (unsigned i = 0; i < m_nSegments; i++) {
    ESplinePathControlPoint& cp = m_pPathCurveSegments[i];
    cp.m_fSegmentLength = (cp.m_Segment.m_vP1 - cp.m_Segment.m_vP0).Length();
    fTotal += cp.m_fSegmentLength;
  }
  float fEnd = 0.0f;
  for (unsigned i = 0; i < m_nSegments; i++) {
    ESplinePathControlPoint& cp = m_pPathCurveSegments[i];
    if (fTotal != 0.0f) {
      cp.m_fParametricLength = cp.m_fSegmentLength / fTotal;
      fEnd += cp.m_fParametricLength;
      cp.m_fParametricEnd = fEnd;
    } else {
      cp.m_fParametricLength = 0.0f;
      cp.m_fParametricEnd = 0.0f;
    }
  }
}

void ESplinePath::createUniformPath(unsigned a) {
  if (!hasControlPoints()) return;
  freeKeys();
  unsigned n = m_nSegments;
  unsigned nKeys = a * n + 1;
  m_pPts = new (std::nothrow) ESplineLinearPoint[nKeys];
  EASSERT(m_pPts);
  m_nKeys = nKeys;

  for (unsigned i = 0; i < n; i++) {
    const ESplinePathControlPoint& cp = m_pPathCurveSegments[i];
    const ESplinePathControlPoint& next = m_pPathCurveSegments[(i + 1) % n];
    for (unsigned j = 0; j < a; j++) {
      float u = (float)j / (float)a;
      ESplineLinearPoint& pt = m_pPts[i * a + j];
      pt.m_dwWaypoint = i;
      pt.m_vPosition = cp.Evaluate(u);
      pt.m_vUp = cp.m_qRotation.Slerp(next.m_qRotation, u, true).Transform(s_vYAxis);
      pt.m_fParameter = 0.0f;
    }
  }
  ESplineLinearPoint& last = m_pPts[a * n];
  last.m_vPosition = m_pPathCurveSegments[n - 1].Evaluate(1.0f);
  last.m_vUp = m_pPathCurveSegments[n - 1].m_vUp;
  last.m_dwWaypoint = n - 1;
  last.m_fParameter = 0.0f;

  InitialiseLinearValues();
}

void ESplinePath::InitialiseLinearValues() {
  if (m_nKeys == 0 || !m_pPts) return;
  unsigned K = m_nKeys;
  float fLength = 0.0f;
  for (unsigned i = 0; i + 1 < K; i++) fLength += (m_pPts[i].m_vPosition - m_pPts[i + 1].m_vPosition).Length();
  m_fLength = fLength;

  bool bCP = hasControlPoints();
  m_pPts[0].m_fParameter = 0.0f;
  for (unsigned i = 1; i < K; i++) {
    float v;
    if (fLength != 0.0f) {
      v = (m_pPts[i].m_vPosition - m_pPts[i - 1].m_vPosition).Length() / fLength + m_pPts[i - 1].m_fParameter;
      if (v > 1.0f) v = 1.0f;
    } else {
      v = m_pPts[i - 1].m_fParameter;
    }
    m_pPts[i].m_fParameter = v;
    unsigned wp = m_pPts[i].m_dwWaypoint;
    if (bCP && wp < m_nSegments) m_pPathCurveSegments[wp].m_fParametricEnd = v;
  }
  m_pPts[K - 1].m_fParameter = 1.0f;
  unsigned wpLast = m_pPts[K - 1].m_dwWaypoint;
  if (bCP && wpLast < m_nSegments) m_pPathCurveSegments[wpLast].m_fParametricEnd = 1.0f;

  if (bCP) {
    float fPrevEnd = 0.0f;
    for (unsigned i = 0; i < m_nSegments; i++) {
      ESplinePathControlPoint& cp = m_pPathCurveSegments[i];
      cp.m_fParametricLength = cp.m_fParametricEnd - fPrevEnd;
      fPrevEnd = cp.m_fParametricEnd;
    }
  }
}

bool ESplinePath::SetExplicitParametricValues(float* pValues, unsigned nCount) {
  if (nCount < m_nSegments + 1) {
    g_ErrorManager.TraceMessagef("Not enough values");
    return false;
  }
  if (nCount > m_nSegments + 1) {
    g_ErrorManager.TraceMessagef("Too many values");
    return false;
  }

  bool bCP = hasControlPoints();
  for (unsigned w = 0; w + 1 < nCount; w++) {
    const char* szReason = nullptr;
    if (!(pValues[w] >= 0.0f && pValues[w] <= 1.0f))
      szReason = "out of range [0,1]";
    else if (w > 0 && pValues[w - 1] >= pValues[w])
      szReason = "less than its predecessor";
    if (szReason) {
      g_ErrorManager.TraceMessagef("Bogus value in  %f at waypoint %d (%s)\n", pValues[w], (int)w, szReason);
      InitialiseParametricValues();
      if (m_nKeys != 0) InitialiseLinearValues();
      return false;
    }
  }

  // End of the previous segment as this pass leaves it (0 before the first).
  float fPrevEnd = 0.0f;
  for (unsigned w = 0; w + 1 < nCount; w++) {
    float fSegLength = pValues[w + 1] - pValues[w];
    float fStart = fPrevEnd;
    ESplinePathControlPoint* pCP = bCP ? &m_pPathCurveSegments[w] : nullptr;
    if (pCP) pCP->m_fParametricLength = fSegLength;
    if (m_nKeys == 0) {
      fPrevEnd = fSegLength + fStart;
      if (pCP) pCP->m_fParametricEnd = fPrevEnd;
      continue;
    }

    // The samples of this segment follow one another in the table.
    unsigned nFirst = 0;
    while (nFirst < m_nKeys && m_pPts[nFirst].m_dwWaypoint != w) nFirst++;
    if (nFirst == m_nKeys) {
      if (pCP) fPrevEnd = pCP->m_fParametricEnd;
      continue;
    }
    unsigned nEnd = nFirst;
    while (nEnd < m_nKeys && m_pPts[nEnd].m_dwWaypoint == w) nEnd++;

    // Spread the span from the start value up to the next waypoint's value
    // over the samples, in proportion to the distances between them.
    float fTotal = 0.0f;
    for (unsigned k = nFirst; k < nEnd; k++)
      if (k + 1 < m_nKeys) fTotal += (m_pPts[k + 1].m_vPosition - m_pPts[k].m_vPosition).Length();
    float fSpan = pValues[w + 1] - fStart;

    float fValue = fStart;
    m_pPts[nFirst].m_fParameter = fValue;
    for (unsigned k = nFirst + 1; k < nEnd; k++) {
      if (fTotal > 0.0f) fValue += fSpan * ((m_pPts[k].m_vPosition - m_pPts[k - 1].m_vPosition).Length() / fTotal);
      m_pPts[k].m_fParameter = fValue;
    }
    fPrevEnd = fValue;
    if (pCP) pCP->m_fParametricEnd = fValue;
  }

  if (m_nKeys >= 2) m_pPts[m_nKeys - 1].m_fParameter = 1.0f;
  if (bCP) m_pPathCurveSegments[m_nSegments - 1].m_fParametricEnd = 1.0f;
  return true;
}

bool ESplinePath::createGravityPath(int nCount, const EVec3& vFrom, const EVec3& vTo, float fTime, float fGravity,
                                    const EVec3& vAxis) {
  // The arc needs at least its two end samples.
  if (nCount < 2) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "iCount >= 2", true);
    return false;
  }

  freeKeys();
  // The sampled evaluation takes directions from control points 0 and 1; a
  // smaller table cannot serve, so the samples alone then give them.
  if (m_pPathCurveSegments && m_nSegments < 2) freeControlPoints();

  m_pPts = new (std::nothrow) ESplineLinearPoint[nCount];
  EASSERT(m_pPts);
  m_nKeys = (unsigned)nCount;

  float h = vTo.Dot(vAxis) - vFrom.Dot(vAxis);
  EVec3 vHorizontal = (vTo - vFrom) - vAxis * h;
  float fDist = vHorizontal.Normalize();
  float T = fTime;
  float g = fGravity;
  float fVa = (h - 0.5f * g * T * T) / T;
  float fVh = fDist / T;
  float fApex = -fVa / g;

  for (int i = 0; i < nCount - 1; i++) {
    float u = (float)i / (float)(nCount - 1);
    float tau = u * T;
    ESplineLinearPoint& pt = m_pPts[i];
    pt.m_vUp = vAxis;
    pt.m_fParameter = u;
    pt.m_vPosition = vFrom + vHorizontal * (tau * fVh) + vAxis * (fVa * tau + 0.5f * g * tau * tau);
    pt.m_dwWaypoint = (tau < fApex) ? 0 : 1;
  }
  ESplineLinearPoint& last = m_pPts[nCount - 1];
  last.m_vUp = vAxis;
  last.m_fParameter = 1.0f;
  last.m_vPosition = vTo;
  last.m_dwWaypoint = 1;

  m_nSegments = 2;
  return true;
}

static void AdaptiveSubdivide(float c, float h, int iDepth) {
  iDepth++;
  if (iDepth <= 2) {
    AdaptiveSubdivide(c - h, h * 0.5f, iDepth);
    AdaptiveSubdivide(c + h, h * 0.5f, iDepth);
  } else {
    g_ErrorManager.TraceMessagef("%i = (%.3f,%.3f)", iDepth, c - 2.0f * h, c + 2.0f * h);
  }
}

void ESplinePath::createAdaptivePath(int, float) { AdaptiveSubdivide(0.5f, 0.25f, 0); }

EVec3 ESplinePath::ImplicitEvaluation(float t) {
  if (m_nKeys != 0) return ExplicitEvaluation(t);
  if (!hasControlPoints()) return EVec3();
  float fStart = 0.0f;
  for (unsigned i = 0; i < m_nSegments; i++) {
    const ESplinePathControlPoint& cp = m_pPathCurveSegments[i];
    float fEnd = fStart + cp.m_fParametricLength;
    if (fEnd > t) return cp.Evaluate((t - fStart) / cp.m_fParametricLength);
    fStart = fEnd;
  }
  return m_pPathCurveSegments[m_nSegments - 1].Evaluate(1.0f);
}

EVec3 ESplinePath::ExplicitEvaluation(float t) {
  unsigned nKey = 0xFFFFFFFFu;
  EVec3 vPos, vFwd, vUp;
  if (m_nKeys != 0)
    ExplicitEvaluationIncludingUpVector(&nKey, t, 1.0f, &vPos, &vFwd, &vUp);
  else
    ImplicitEvaluationIncludingUpVector(&nKey, t, 1.0f, &vPos, &vFwd, &vUp);
  return vPos;
}

void ESplinePath::findInterval(unsigned nStart, float t, unsigned& a, unsigned& b) const {
  unsigned K = m_nKeys;
  const ESplineLinearPoint* p = m_pPts;
  if (nStart == 0xFFFFFFFFu) {
    unsigned lo = 0, n = K;
    a = n / 2;
    b = a + 1;
    bool bDone = false;
    while (!bDone && n > 2) {
      if (t > p[b].m_fParameter) {
        n = lo + n - b;
        lo = b;
        a = n / 2 + lo;
        b = a + 1;
      } else if (p[a].m_fParameter > t) {
        n = a - lo + 1;
        a = n / 2 + lo;
        b = a + 1;
      } else {
        bDone = true;
      }
    }
    if (n == 2) {
      a = lo % K;
      b = (a + 1) % K;
    }
  } else {
    a = nStart % K;
    b = (a + 1) % K;
    for (unsigned i = 0; i < K && (p[a].m_fParameter > t || t > p[b].m_fParameter); i++) {
      a = (a + 1) % K;
      b = (b + 1) % K;
    }
  }
  // Parameters out of order could leave the search at the table's end.
  a %= K;
  b = (a + 1) % K;
}

unsigned ESplinePath::ExplicitEvaluationIncludingUpVector(unsigned* pKey, float t, float fSpeed, EVec3* pPos,
                                                          EVec3* pFwd, EVec3* pUp) {
  if (m_nKeys == 0) return ImplicitEvaluationIncludingUpVector(pKey, t, fSpeed, pPos, pFwd, pUp);
  EASSERT(pPos && pFwd && pUp);
  EASSERT(t>=0 && t<=1);

  unsigned nKeyLocal = 0xFFFFFFFFu;
  if (!pKey) pKey = &nKeyLocal;
  unsigned a, b;
  findInterval(*pKey, t, a, b);
  *pKey = a;

  const ESplineLinearPoint& A = m_pPts[a];
  const ESplineLinearPoint& B = m_pPts[b];
  float d = B.m_fParameter - A.m_fParameter;
  float f0 = 0.0f, f1 = 0.0f;
  if (d != 0.0f) {
    f0 = (t - A.m_fParameter) / d;
    f1 = (t + fSpeed * 0.033f - A.m_fParameter) / d;
  }
  EVec3 vDelta = B.m_vPosition - A.m_vPosition;
  *pPos = A.m_vPosition + vDelta * f0;
  EVec3 vAhead = A.m_vPosition + vDelta * f1;

  bool bFromCurve = false;
  if (hasControlPoints() && A.m_dwWaypoint < m_nSegments && B.m_dwWaypoint < m_nSegments) {
    unsigned s = (m_pPathCurveSegments[A.m_dwWaypoint].m_fParametricEnd >= t) ? A.m_dwWaypoint : B.m_dwWaypoint;
    float u = 0.0f;
    if (s > 0) {
      float fPrevEnd = m_pPathCurveSegments[s - 1].m_fParametricEnd;
      float e = m_pPathCurveSegments[s].m_fParametricEnd - fPrevEnd;
      if (e > 0.00001f) u = (t - fPrevEnd) / e;
    } else {
      float fEnd0 = m_pPathCurveSegments[0].m_fParametricEnd;
      if (fEnd0 > 0.00001f) u = t / fEnd0;
    }
    *pFwd = m_pPathCurveSegments[s].EvaluateTangent(u);
    bFromCurve = true;
  }
  if (!bFromCurve) *pFwd = vAhead - *pPos;

  *pUp = A.m_vUp + (B.m_vUp - A.m_vUp) * f0;
  pUp->Normalize();
  pFwd->Normalize();
  return A.m_dwWaypoint;
}

unsigned ESplinePath::ImplicitEvaluationIncludingUpVector(unsigned* pKey, float t, float fSpeed, EVec3* pPos,
                                                          EVec3* pFwd, EVec3* pUp) {
  if (!hasControlPoints()) {
    if (m_nKeys != 0) return ExplicitEvaluationIncludingUpVector(pKey, t, fSpeed, pPos, pFwd, pUp);
    return 0xFFFFFFFFu;
  }
  EASSERT(pPos && pFwd && pUp);
  unsigned nKeyLocal = 0xFFFFFFFFu;
  if (!pKey) pKey = &nKeyLocal;

  *pUp = s_vYAxis;
  *pFwd = EVec3(0.0f, 0.0f, 1.0f);
  if (*pKey == 0xFFFFFFFFu) *pKey = 0;

  unsigned n = m_nSegments;
  float fPrevEnd = 0.0f;
  for (unsigned i = 0; i < n; i++) {
    const ESplinePathControlPoint& cp = m_pPathCurveSegments[i];
    *pKey = i;
    if (cp.m_fParametricEnd >= t) {
      float u = (cp.m_fParametricLength != 0.0f) ? (t - fPrevEnd) / cp.m_fParametricLength : 0.0f;
      *pPos = cp.Evaluate(u);
      unsigned nNext = (i + 1 < n) ? i + 1 : i;
      *pUp = Lerp(cp.m_vUp, m_pPathCurveSegments[nNext].m_vUp, u);
      pUp->Normalize();
      *pFwd = cp.EvaluateTangent(u);
      pFwd->Normalize();
      return i;
    }
    fPrevEnd = cp.m_fParametricEnd;
    *pKey = (i + 1) % n;
  }
  *pPos = m_pPathCurveSegments[n - 1].Evaluate(1.0f);
  return n - 1;
}

unsigned ESplinePath::getKey(unsigned nStart, float t) const {
  if (m_nKeys == 0 || nStart >= m_nKeys) return 0;
  unsigned a, b;
  findInterval(nStart, t, a, b);
  return a;
}

unsigned ESplinePath::getWaypoint(unsigned nKey) const {
  if (m_nKeys == 0) return nKey;
  if (nKey < m_nKeys) return m_pPts[nKey].m_dwWaypoint;
  return 0;
}

float ESplinePath::getWayPointParametricValue(unsigned nWaypoint) const {
  if (m_nKeys != 0) {
    for (unsigned i = 0; i < m_nKeys; i++)
      if (m_pPts[i].m_dwWaypoint == nWaypoint) return m_pPts[i].m_fParameter;
    return 1.0f;
  }
  if (hasControlPoints() && nWaypoint > 0 && nWaypoint < m_nSegments)
    return m_pPathCurveSegments[nWaypoint - 1].m_fParametricEnd;
  return 0.0f;
}

float ESplinePath::getNearestPoint(const EVec3& p) const {
  if (m_nKeys == 0) return 0.5f;
  unsigned nBest = 0;
  float fBest = (m_pPts[0].m_vPosition - p).LengthSquared();
  for (unsigned i = 1; i < m_nKeys; i++) {
    float f = (m_pPts[i].m_vPosition - p).LengthSquared();
    if (f < fBest) {
      fBest = f;
      nBest = i;
    }
  }
  return m_pPts[nBest].m_fParameter;
}

int ESplinePath::GetMemUsage() const {
  // Accounted at the stored record sizes: 88 bytes per segment, 32 per sample.
  int n = 88 * (int)m_nSegments;
  if (m_pPts) n += 32 * (int)m_nKeys;
  return n;
}
