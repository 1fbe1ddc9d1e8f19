#include "VERirezo/LineCollision.h"

#include <cmath>

#include "TWUtil/ErrorManager.h"

bool ELineCollision::Init(const std::vector<EVec3>& aPoints, const std::vector<EVec3>& aNormals, int iTimeStyle,
                          const float* pTimes, bool bLooping) {
  if (aPoints.size() < 2 || (!aNormals.empty() && aNormals.size() != aPoints.size()) ||
      (iTimeStyle == kTIME_Given && !pTimes)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Line collision: %u points and %u normals make no line",
                                 (unsigned)aPoints.size(), (unsigned)aNormals.size());
    return false;
  }
  m_aPoints = aPoints;
  m_aNormals = aNormals;
  m_bLooping = bLooping;
  m_aTimes.resize(aPoints.size());
  float fTime = 0.0f;
  for (size_t i = 0; i < aPoints.size(); ++i) {
    if (iTimeStyle == kTIME_Given) {
      m_aTimes[i] = pTimes[i];
    } else if (iTimeStyle == kTIME_ArcLength) {
      if (i > 0) {
        const EVec3 d = aPoints[i] - aPoints[i - 1];
        fTime += std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
      }
      m_aTimes[i] = fTime;
    } else {
      m_aTimes[i] = (float)i;
    }
  }
  return true;
}

EHitResult* ELineCollision::CheckForIntersection(const ESphere&, EHitResult*) { return nullptr; }
EHitResult* ELineCollision::CheckForIntersection(const ESeg3&, EHitResult*) { return nullptr; }
