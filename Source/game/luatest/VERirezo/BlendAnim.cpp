// A playing blend animation: time, fades, binding and the weight table.
#include <cmath>
#include <cstring>

#include "TWUtil/ByteOrder.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendShape.h"
#include "VERirezo/BlendShapeController.h"
#include "VERirezo/EBlendAnimManager.h"
#include "VERirezo/SkelAnimInstance.h"

#define BLENDANIM_CHECK(cond, text) \
  do { if (!(cond)) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, text, true); } while (0)

EBlendAnim::EBlendAnim()
    : m_pShared(nullptr), m_fTime(0.0f), m_fLastEvalTime(-1.0f), m_bActive(true), m_bLooping(true), m_bDone(false),
      m_bAutoBlend(false), m_bOwnsShared(false), m_bLipSync(false), m_bBound(false), m_fAutoBlendRate(0.0f),
      m_fBlendFactor(1.0f), m_pSkelAnim(nullptr), m_pChannelMap(nullptr) {
  memset(m_afWeights, 0, sizeof(m_afWeights));
}

EBlendAnim::~EBlendAnim() {
  if (m_bOwnsShared) delete m_pShared;
  m_pShared = nullptr;
  delete[] m_pChannelMap;
}

void EBlendAnim::ValidateData() const {
  BLENDANIM_CHECK(m_pShared, "m_pShared");
  if (!m_pShared) return;
  const char* pData = m_pShared->getData();
  if (pData) {
    BLENDANIM_CHECK(m_pShared->getDataSize() >= 4 && GetLE32(reinterpret_cast<const uint8_t*>(pData)) == kPBA_MAGIC,
                    "(*((DWORD*)pData)) == 'EPBA'");
    BLENDANIM_CHECK(m_pShared->getDataSize() > 0 && pData[m_pShared->getDataSize() - 1] == '\0',
                    "(*(pData+m_pShared->getDataSize()-1)) == '\\0'");
  } else {
    BLENDANIM_CHECK(!m_pShared->IsLoaded() || m_pShared->getCacheRef(),
                    "!m_pShared->IsLoaded() || m_pShared->getCacheRef()");
  }
}

void EBlendAnim::notifySkelAnim() {
  if (m_pSkelAnim) m_pSkelAnim->unsetBlendAnim();
}

void EBlendAnim::update(float dt) {
  ValidateData();
  if (m_pSkelAnim) return;
  m_fTime += dt;
  updateBlend(dt);
}

void EBlendAnim::updateBlend(float dt) {
  float step = dt;
  if (m_fLastEvalTime < 0.0f || m_fLastEvalTime > m_fTime) step = m_fTime;
  if (!m_bActive) {
    if (m_fAutoBlendRate > 0.0f)
      m_fBlendFactor -= m_fAutoBlendRate * step;
    else
      m_fBlendFactor -= 10.0f * step;
    if (m_fBlendFactor < 0.0f) m_fBlendFactor = 0.0f;
  } else if (m_bAutoBlend && m_fBlendFactor < 1.0f) {
    m_fBlendFactor += m_fAutoBlendRate * step;
    if (m_fBlendFactor > 1.0f) {
      m_fBlendFactor = 1.0f;
      m_bAutoBlend = false;
    }
  }
  if (m_pShared && m_pShared->IsLoaded() && m_fTime >= m_pShared->getTotalTimeInSecs() && !m_bLooping) {
    m_bDone = true;
    m_bActive = false;
  }
}

const float* EBlendAnim::getBlendWeights() {
  ValidateData();
  if (m_fTime == m_fLastEvalTime) return m_afWeights;
  m_fLastEvalTime = m_fTime;
  ++EBlendAnimManager::m_nBlendAnims;
  memset(m_afWeights, 0, sizeof(m_afWeights));
  if (!m_pShared || !m_pShared->m_pBlendAnimChannels || m_pShared->m_nAnimChannels == 0) return m_afWeights;
  if (m_fTime >= m_pShared->getTotalTimeInSecs() && !m_bLooping && !m_pSkelAnim) {
    m_bDone = true;
    m_bActive = false;
    return m_afWeights;
  }
  if (!m_bBound || !m_pChannelMap) return m_afWeights;
  const bool bLoop = m_pSkelAnim ? true : m_bLooping;
  for (unsigned i = 0; i < m_pShared->m_nAnimChannels; ++i) {
    const int iTarget = m_pChannelMap[i];
    if (iTarget < 0) continue;
    const EBlendAnimChannel& channel = m_pShared->m_pBlendAnimChannels[i];
    const unsigned n = channel.getNumSamples();
    const float t = n ? m_fTime * (float)(n - 1) / (float)n : 0.0f;
    m_afWeights[iTarget] = channel.value(t, bLoop) * m_fBlendFactor;
  }
  return m_afWeights;
}

const float* EBlendAnim::getBlendWeightsInterpolated(float t) {
  ValidateData();
  if (!m_pShared || !m_bBound || !m_pChannelMap) return m_afWeights;
  for (unsigned i = 0; i < m_pShared->m_nAnimChannels; ++i) {
    const int iTarget = m_pChannelMap[i];
    if (iTarget >= 0) m_afWeights[iTarget] = m_pShared->m_pBlendAnimChannels[i].valueInterpolated(t, true);
  }
  return m_afWeights;
}

void EBlendAnim::SetAutoBlend(bool bOn, float fSeconds) {
  ValidateData();
  m_bAutoBlend = bOn;
  if (!bOn) {
    m_fAutoBlendRate = 0.0f;
    return;
  }
  if (fSeconds > 0.00001f) {
    m_fAutoBlendRate = 1.0f / fSeconds;
    m_fBlendFactor = 0.0f;
  } else if (fSeconds < -0.00001f) {
    m_fAutoBlendRate = -1.0f / fSeconds;
  } else {
    m_bAutoBlend = false;
    m_fAutoBlendRate = 0.0f;
  }
}

float EBlendAnim::GetAnimCompletion() const {
  if (!m_pShared || !m_pShared->IsLoaded() || !m_bBound) return 0.0f;
  float fDuration = 0.0f;
  if (m_pChannelMap) {
    for (unsigned i = 0; i < m_pShared->m_nAnimChannels; ++i) {
      if (m_pChannelMap[i] == -1) continue;
      const float d = m_pShared->m_pBlendAnimChannels[i].getTotalTimeInSecs();
      if (d > fDuration) fDuration = d;
    }
  }
  if (fDuration <= 0.0f) return 1.0f;
  return fmodf(m_fTime, fDuration) / fDuration;
}

void EBlendAnim::PrepareMap() {
  delete[] m_pChannelMap;
  m_pChannelMap = nullptr;
  m_bBound = true;
  if (!m_pShared || !m_pShared->m_pBlendAnimChannels || m_pShared->m_nAnimChannels == 0) return;
  m_pChannelMap = new int[m_pShared->m_nAnimChannels];
  for (unsigned i = 0; i < m_pShared->m_nAnimChannels; ++i) m_pChannelMap[i] = -1;
}

void EBlendAnim::quickBind(const EBlendShapeController* pController) {
  ValidateData();
  PrepareMap();
  if (!m_pChannelMap || !pController) return;
  for (unsigned i = 0; i < m_pShared->m_nAnimChannels; ++i) {
    const char* szName = m_pShared->m_pBlendAnimChannels[i].getName();
    for (int k = 0; k < pController->GetNumMappings(); ++k) {
      if (strcmp(pController->GetMappingName(k), szName) != 0) continue;
      // Only the first 64 names have a weight.
      m_pChannelMap[i] = k < MAX_BLENDWEIGHTS ? k : -1;
      break;
    }
  }
}

void EBlendAnim::dynamicBind(const EBlendShape* pShape) {
  ValidateData();
  PrepareMap();
  if (!m_pChannelMap || !pShape) return;
  for (unsigned i = 0; i < m_pShared->m_nAnimChannels; ++i) {
    const int k = pShape->targetIndex(m_pShared->m_pBlendAnimChannels[i].getName());
    m_pChannelMap[i] = (k >= 0 && k < MAX_BLENDWEIGHTS) ? k : -1;
  }
}

#undef BLENDANIM_CHECK
