// Particle emitters: construction, slot allocation and the settings.
#include "VERirezo/ParticleEmitterEntity.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "TWGraphics/Color.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/ParticleDistribution.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/Physics.h"

IMPLEMENT_ENTITY_CLASS(EParticleEmitterEntity, "EntityType_ParticleEmitter", EntityType_ParticleEmitter, EEntity)
IMPLEMENT_ENTITY_CLASS(EParticleAffectorEntity, "EntityType_ParticleAffector", EntityType_ParticleAffector, EEntity)
IMPLEMENT_ENTITY_CLASS(ETableEmitterEntity, "EntityType_TableEmitter", EntityType_TableEmitter, EEntity)
IMPLEMENT_ENTITY_CLASS(EMeshEmitterEntity, "EntityType_MeshEmitter", EntityType_MeshEmitter, EParticleEmitterEntity)
// EMeshEmitterMeshEntity's record is made beside the mesh entity's
// (MeshEntity.cpp).

float gSin[361];
float gCos[361];
EVec4 EParticleDistribution::m_vDebugRenderColor(1.0f, 0.5f, 0.5f, 1.0f);

namespace ParticleSetup {

bool s_bTablesFilled = false;

// Colour components from scripts may lie outside 0 to 1.
inline float Clamp01(float f) { return f > 0.0f ? (f < 1.0f ? f : 1.0f) : 0.0f; }
inline uint32_t PackClamped(float r, float g, float b, float a) {
  return ColorFloatToRGBA(Clamp01(r), Clamp01(g), Clamp01(b), Clamp01(a));
}
inline uint32_t AlphaByte(float a) { return (uint32_t)(Clamp01(a) * 255.0f + 0.5f); }

}  // namespace ParticleSetup

EParticleEmitterEntity::EParticleEmitterEntity(EDomain* pDomain, const char* szName)
    : EEntity(pDomain, szName),
      m_nQueuedFrame(-1),
      m_pParticles(nullptr),
      m_pFullParticles(nullptr),
      m_pAnimParticles(nullptr),
      m_pParticleMeta(nullptr),
      m_pFullParticleMeta(nullptr),
      m_pAnimParticleMeta(nullptr),
      m_pOrientations(nullptr),
      m_nActiveStage(0),
      m_vLastPosition(0.0f, 0.0f, 0.0f),
      mMaxParticles(0),
      mNumActiveParticles(0),
      mFirstActiveParticle(0),
      m_fParticlesToEmit(0.0f),
      m_hTexture(0),
      m_hDepthTexture(0),
      m_pTexAnimInfo(nullptr),
      m_fMinConeAngle(0.0f),
      m_fMaxConeAngle(3.1415927f),
      m_fMaxStartOffset(0.0f),
      m_fMinParticleSpeed(10.0f),
      m_fMaxParticleSpeed(10.0f),
      m_fParticleMinSize(8.0f),
      m_fParticleMaxSize(8.0f),
      m_fParticleStartSize(1.0f),
      m_fParticleEndSize(1.0f),
      m_fParticleSizeDelta(0.0f),
      m_dwStartColor(0xFFFFFFFFu),
      m_dwEndColor(0xFFFFFFFFu),
      m_dwColorDelta(0),
      m_fMinParticlesPerSec(1.0f),
      m_fMaxParticlesPerSec(1.0f),
      m_fMinParticleLifetime(1.0f),
      m_fMaxParticleLifetime(1.0f),
      m_vMinDegreesPerSec(0.0f, 0.0f, 0.0f),
      m_vMaxDegreesPerSec(0.0f, 0.0f, 0.0f),
      m_dwFlags(0),
      m_byState(kSTATE_Released),
      m_eBlendMode(3),
      m_fGroundHeight(0.0f),
      m_fBounceFactor(0.5f),
      m_fNextLazyUpdate(0.0f),
      m_Box(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)),
      m_pDistribution(nullptr),
      m_vParticleForce(0.0f, 0.0f, 0.0f),
      m_fScaleX(0.0f),
      m_fScaleY(0.0f),
      m_vMaterialColor(1.0f, 1.0f, 1.0f, 1.0f),
      m_pParentEmitter(nullptr),
      m_pSortBuddy(nullptr),
      m_nDeferredMaxParticles(0),
      m_pSlotBase(nullptr),
      m_pMetaBase(nullptr),
      m_uSlotStride(sizeof(PARTICLE)),
      m_uMetaStride(sizeof(PARTICLEMETA)),
      m_bCounted(false) {}

EParticleEmitterEntity::~EParticleEmitterEntity() {
  if (m_pParticles) EParticleManager::m_iNumNormalParticles -= mMaxParticles;
  else if (m_pFullParticles) EParticleManager::m_iNumFullParticles -= mMaxParticles;
  else if (m_pAnimParticles) EParticleManager::m_iNumAnimatedParticles -= mMaxParticles;
  delete[] m_pParticles;
  delete[] m_pFullParticles;
  delete[] m_pAnimParticles;
  delete[] m_pParticleMeta;
  delete[] m_pFullParticleMeta;
  delete[] m_pAnimParticleMeta;
  delete[] m_pOrientations;
  delete m_pTexAnimInfo;
  delete m_pDistribution;
  if (m_bCounted) EParticleManager::m_iNumEmitters -= 1;
}

void EParticleEmitterEntity::InitEntity(EDomain* pDomain) {
  EEntity::InitEntity(pDomain);
  SetEntityFlag(ENTITY_NOSIMULATE, true);
  if (EPhysics* pPhysics = GetPhysics()) {
    pPhysics->SetFlag(PHYSICS_COLLIDER | PHYSICS_COLLIDEE, false);
    pPhysics->SetFlag(PHYSICS_NOPHYSICS, true);
  }
  m_aStages.GrowTo(2, true);
  memset(m_aStages.GetData(), 0, sizeof(EParticleStage) * 2);
  for (int i = 0; i < 2; ++i) {
    m_aStages[i].color = 0xFFFFFFFFu;
    m_aStages[i].size = m_fParticleMinSize;
  }
  m_aStages[1].duration = 1.0f;
  m_nActiveStage = 0;
  m_dwFlags = kPARTICLEEMITTER_ACTIVE;
  if (!ParticleSetup::s_bTablesFilled) {
    for (int i = 0; i <= 360; ++i) {
      gSin[i] = sinf((float)i * 0.017453292f);
      gCos[i] = cosf((float)i * 0.017453292f);
    }
    ParticleSetup::s_bTablesFilled = true;
  }
  if (!m_bCounted) {
    EParticleManager::m_iNumEmitters += 1;
    m_bCounted = true;
  }
}

void EParticleEmitterEntity::FreeSlots() {
  if (m_pParticles) EParticleManager::m_iNumNormalParticles -= mMaxParticles;
  else if (m_pFullParticles) EParticleManager::m_iNumFullParticles -= mMaxParticles;
  else if (m_pAnimParticles) EParticleManager::m_iNumAnimatedParticles -= mMaxParticles;
  if ((m_pParticles || m_pFullParticles || m_pAnimParticles) && IsLineEmitter())
    EParticleManager::m_iNumLineParticles -= mMaxParticles;
  delete[] m_pParticles;
  delete[] m_pFullParticles;
  delete[] m_pAnimParticles;
  delete[] m_pParticleMeta;
  delete[] m_pFullParticleMeta;
  delete[] m_pAnimParticleMeta;
  delete[] m_pOrientations;
  m_pParticles = nullptr;
  m_pFullParticles = nullptr;
  m_pAnimParticles = nullptr;
  m_pParticleMeta = nullptr;
  m_pFullParticleMeta = nullptr;
  m_pAnimParticleMeta = nullptr;
  m_pOrientations = nullptr;
  m_pSlotBase = m_pMetaBase = nullptr;
}

void EParticleEmitterEntity::SetMaxParticles(int n) {
  if (m_byState & kSTATE_Released) {
    m_nDeferredMaxParticles = n;
    return;
  }
  FreeSlots();
  if (n < 0) n = 0;
  if (n > 0) {
    if (m_dwFlags & kPARTICLEEMITTER_ANIMATED) {
      m_pAnimParticles = new PARTICLEANIM[n];
      m_pAnimParticleMeta = new PARTICLEMETAANIM[n];
      m_pSlotBase = (uint8_t*)m_pAnimParticles;
      m_pMetaBase = (uint8_t*)m_pAnimParticleMeta;
      m_uSlotStride = sizeof(PARTICLEANIM);
      m_uMetaStride = sizeof(PARTICLEMETAANIM);
      EParticleManager::m_iNumAnimatedParticles += n;
    } else if (m_dwFlags & kPARTICLEEMITTER_ROTATED) {
      m_pFullParticles = new PARTICLEFULL[n];
      m_pFullParticleMeta = new PARTICLEMETAFULL[n];
      m_pSlotBase = (uint8_t*)m_pFullParticles;
      m_pMetaBase = (uint8_t*)m_pFullParticleMeta;
      m_uSlotStride = sizeof(PARTICLEFULL);
      m_uMetaStride = sizeof(PARTICLEMETAFULL);
      EParticleManager::m_iNumFullParticles += n;
    } else {
      m_pParticles = new PARTICLE[n];
      m_pParticleMeta = new PARTICLEMETA[n];
      m_pSlotBase = (uint8_t*)m_pParticles;
      m_pMetaBase = (uint8_t*)m_pParticleMeta;
      m_uSlotStride = sizeof(PARTICLE);
      m_uMetaStride = sizeof(PARTICLEMETA);
      EParticleManager::m_iNumNormalParticles += n;
    }
    if (IsLineEmitter()) EParticleManager::m_iNumLineParticles += n;
    if (m_dwFlags & kPARTICLEEMITTER_ORIENTED) {
      m_pOrientations = new EVec3[n];
      for (int i = 0; i < n; ++i) m_pOrientations[i] = EVec3(0.0f, 0.0f, 0.0f);
    }
  }
  mMaxParticles = n;
  killAllParticles();
}

void EParticleEmitterEntity::ReallocateParticles() {
  if (m_byState & kSTATE_Released) return;
  SetMaxParticles(mMaxParticles);
}

void EParticleEmitterEntity::InitParticleEmitter() {
  killAllParticles();
  m_dwFlags = 0;
}

void EParticleEmitterEntity::SetInitialParticles(int n) {
  WakeUp(true);
  m_fParticlesToEmit += (float)n;
}

void EParticleEmitterEntity::SetMaxParticlesPerSec(float f) {
  m_fMaxParticlesPerSec = f;
  if (m_fMinParticlesPerSec > f) m_fMinParticlesPerSec = f;
}

void EParticleEmitterEntity::SetParticleLifetime(float fMin, float fMax) {
  m_fMinParticleLifetime = fMin;
  m_fMaxParticleLifetime = fMax;
  killAllParticles();
}

void EParticleEmitterEntity::SetMaxStartOffset(float f) {
  m_fMaxStartOffset = f;
  if (f != 0.0f || f != f) SetFlag(kPARTICLEEMITTER_STARTOFFSET);
  else UnsetFlag(kPARTICLEEMITTER_STARTOFFSET);
}

void EParticleEmitterEntity::SetConeAngle(float fInner, float fOuter) {
  const float kPi = 3.1415927f;
  fInner = fInner < 0.0f ? 0.0f : (fInner > kPi ? kPi : fInner);
  if (fOuter > kPi) fOuter = kPi;
  m_fMinConeAngle = fInner;
  m_fMaxConeAngle = fOuter > fInner ? fOuter : fInner;
}

void EParticleEmitterEntity::SetParticleDegreesPerSec(float fMin, float fMax, bool bNoStartRotation) {
  SetParticle3DDegreesPerSec(EVec3(0.0f, 0.0f, fMin), EVec3(0.0f, 0.0f, fMax), bNoStartRotation);
}

void EParticleEmitterEntity::SetParticle3DDegreesPerSec(const EVec3& vMin, const EVec3& vMax, bool bNoStartRotation) {
  if (bNoStartRotation) SetFlag(kPARTICLEEMITTER_NOSTARTROTATION);
  else UnsetFlag(kPARTICLEEMITTER_NOSTARTROTATION);
  if (vMin.Length() < 0.00001f && vMax.Length() < 0.00001f && bNoStartRotation) {
    if (GetFlag(kPARTICLEEMITTER_ROTATED)) {
      UnsetFlag(kPARTICLEEMITTER_ROTATED);
      ReallocateParticles();
    }
  } else if (!GetFlag(kPARTICLEEMITTER_ROTATED)) {
    SetFlag(kPARTICLEEMITTER_ROTATED);
    ReallocateParticles();
  }
  m_vMinDegreesPerSec = EVec3(vMin.x, vMin.z, vMin.y);
  m_vMaxDegreesPerSec = EVec3(vMax.x, vMax.z, vMax.y);
}

void EParticleEmitterEntity::SetParticleForce(float x, float y, float z) {
  if (fabsf(x) > 0.00001f || fabsf(y) > 0.00001f || fabsf(z) > 0.00001f) {
    SetFlag(kPARTICLEEMITTER_FORCE);
    m_vParticleForce = EVec3(x, y, z);
  } else {
    UnsetFlag(kPARTICLEEMITTER_FORCE);
    m_vParticleForce = EVec3(0.0f, 0.0f, 0.0f);
  }
}

void EParticleEmitterEntity::ReleaseDistribution() {
  delete m_pDistribution;
  m_pDistribution = nullptr;
}

void EParticleEmitterEntity::SetScale(float x, float y) {
  if (x >= 0.0f && y >= 0.0f) {
    m_fScaleX = x;
    m_fScaleY = y;
  } else {
    m_fScaleX = m_fScaleY = 0.0f;
  }
}

void EParticleEmitterEntity::SetActive(bool bActive) {
  if (bActive) {
    WakeUp(true);
    SetFlag(kPARTICLEEMITTER_ACTIVE);
    m_vLastPosition = GetPosition();
  } else {
    UnsetFlag(kPARTICLEEMITTER_ACTIVE);
  }
}

void EParticleEmitterEntity::SetStartColor(float r, float g, float b, float a) {
  const uint32_t c = ParticleSetup::PackClamped(r, g, b, a);
  const int n = m_aStages.Num();
  const int s = (int)m_nActiveStage;
  if (s == 0) m_dwStartColor = c;
  if (s < n) {
    m_aStages[s].color = c;
    if (s > 0) m_aStages[s].colorDelta = RGBA_Sub(c, m_aStages[s - 1].color);
    if (s < n - 1) m_aStages[s + 1].colorDelta = RGBA_Sub(m_aStages[s + 1].color, c);
  }
  m_dwColorDelta = RGBA_Sub(m_dwEndColor, m_dwStartColor);
  SetFlag(kPARTICLEEMITTER_STARTCOLOR);
}

void EParticleEmitterEntity::SetEndColor(float r, float g, float b, float a) {
  m_dwEndColor = ParticleSetup::PackClamped(r, g, b, a);
  m_dwColorDelta = RGBA_Sub(m_dwEndColor, m_dwStartColor);
  const int n = m_aStages.Num();
  if (n >= 2) {
    m_aStages[n - 1].color = m_dwEndColor;
    m_aStages[n - 1].colorDelta = RGBA_Sub(m_dwEndColor, m_aStages[n - 2].color);
  }
  SetFlag(kPARTICLEEMITTER_ENDCOLOR);
}

void EParticleEmitterEntity::SetStartAlpha(float a) {
  m_dwStartColor = (m_dwStartColor & 0x00FFFFFFu) | (ParticleSetup::AlphaByte(a) << 24);
  if (GetFlag(kPARTICLEEMITTER_ENDCOLOR))
    m_dwColorDelta = (m_dwColorDelta & 0x00FFFFFFu) | (((m_dwEndColor >> 24) - (m_dwStartColor >> 24)) & 0xFFu) << 24;
}

void EParticleEmitterEntity::SetEndAlpha(float a) {
  m_dwEndColor = (m_dwEndColor & 0x00FFFFFFu) | (ParticleSetup::AlphaByte(a) << 24);
  m_dwColorDelta = (m_dwColorDelta & 0x00FFFFFFu) | (((m_dwEndColor >> 24) - (m_dwStartColor >> 24)) & 0xFFu) << 24;
  SetFlag(kPARTICLEEMITTER_ENDCOLOR);
}

EVec4 EParticleEmitterEntity::GetStartColor() const { return ColorVectorFromRGBA(m_dwStartColor); }
EVec4 EParticleEmitterEntity::GetEndColor() const { return ColorVectorFromRGBA(m_dwEndColor); }

void EParticleEmitterEntity::SetParticleStartSize(float fMin, float fMax) {
  m_fParticleMinSize = fMin;
  m_fParticleMaxSize = fMax > fMin ? fMax : fMin;
  UnsetFlag(kPARTICLEEMITTER_STARTENDSIZE);
}

void EParticleEmitterEntity::SetParticleStartEndSize(float fStart, float fEnd) {
  SetFlag(kPARTICLEEMITTER_STARTENDSIZE);
  m_fParticleEndSize = fEnd;
  m_fParticleMaxSize = fEnd;
  m_fParticleStartSize = fStart;
  m_fParticleSizeDelta = fEnd - fStart;
  const int n = m_aStages.Num();
  if (n < 1) return;
  m_aStages[0].size = fStart;
  m_aStages[0].sizeDelta = 0.0f;
  m_aStages[n - 1].size = fEnd;
  m_aStages[n - 1].sizeDelta = fEnd - fStart;
}

void EParticleEmitterEntity::SetNumStages(unsigned n) {
  // The end colour and the curves need a first and a last stage.
  if (n < 2 || n > 0xFFFF) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Particle emitter <%s>: %u stages refused, at least 2 needed\n", GetName(), n);
    return;
  }
  const int iOld = m_aStages.Num();
  m_aStages.GrowTo((int)n, true);
  if ((int)n > iOld) memset(&m_aStages[iOld], 0, sizeof(EParticleStage) * (n - (unsigned)iOld));
  m_nActiveStage = n - 1;
}

void EParticleEmitterEntity::SetActiveStage(unsigned i) {
  if (i < (unsigned)m_aStages.Num()) {
    m_nActiveStage = i;
    return;
  }
  g_ErrorManager.TraceMessagef("Particle stage %d is greater than allocation of %d", (int)i, m_aStages.Num());
}

void EParticleEmitterEntity::SetParticleStageSize(float fSize) {
  const int n = m_aStages.Num();
  const int s = (int)m_nActiveStage;
  if (s >= n) return;
  m_aStages[s].size = fSize;
  if (s > 0) m_aStages[s].sizeDelta = fSize - m_aStages[s - 1].size;
  if (s < n - 1) m_aStages[s + 1].sizeDelta = m_aStages[s + 1].size - fSize;
  else m_fParticleMaxSize = fSize;
}

void EParticleEmitterEntity::SetStageDuration(float fDuration) {
  const int n = m_aStages.Num();
  if ((int)m_nActiveStage >= n || n < 2) return;
  m_aStages[(int)m_nActiveStage].duration = fDuration;
  float fSum = 0.0f;
  for (int i = 1; i <= n - 2; ++i) fSum += m_aStages[i].duration;
  m_aStages[n - 1].duration = 1.0f - fSum;
}

void EParticleEmitterEntity::SetTexAnimInfo2D(int cellsX, int cellsY, int startFrame, int loopFrame, float rate,
                                              bool bResetLive) {
  if (cellsX < 1 || cellsY < 1 || cellsX > 0x7FFF || cellsY > 0x7FFF) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Particle emitter <%s>: texture grid %d x %d refused\n", GetName(), cellsX,
                                 cellsY);
    return;
  }
  const int cells = cellsX * cellsY;
  if (!m_pTexAnimInfo && (cellsX > 1 || cellsY > 1)) {
    m_pTexAnimInfo = new EParticleTexAnimInfo();
    memset(m_pTexAnimInfo, 0, sizeof(*m_pTexAnimInfo));
  }
  bool bReallocated = false;
  if (cells >= 2 && !GetFlag(kPARTICLEEMITTER_ANIMATED)) {
    SetFlag(kPARTICLEEMITTER_ANIMATED);
    ReallocateParticles();
    bReallocated = true;
  }
  const int iHighest = cells == 1 ? 0x7FFFFFFF : cells - 1;
  if (startFrame < -1 || startFrame > iHighest) {
    const int iClamped = startFrame < -1 ? -1 : iHighest;
    g_ErrorManager.TraceMessagef(TT_Warning, "Particle emitter <%s>: start frame %d clamped to %d\n", GetName(),
                                 startFrame, iClamped);
    startFrame = iClamped;
  }
  if (!m_pTexAnimInfo) return;
  m_pTexAnimInfo->mNumFramesX = cellsX;
  m_pTexAnimInfo->mNumFramesY = cellsY;
  m_pTexAnimInfo->cellWidth = 1.0f / (float)cellsX;
  m_pTexAnimInfo->cellHeight = 1.0f / (float)cellsY;
  m_pTexAnimInfo->startFrame = startFrame;
  m_pTexAnimInfo->loopFrame = (loopFrame >= 0 && loopFrame < cells) ? loopFrame : cells - 1;
  m_pTexAnimInfo->rate = rate;
  m_pTexAnimInfo->secondsPerCell = rate > 0.0f ? 1.0f / rate : 0.0f;
  if (bResetLive && !bReallocated && m_pAnimParticleMeta) {
    for (int j = 0; j < mNumActiveParticles; ++j) {
      PARTICLEMETAANIM& m = m_pAnimParticleMeta[(mFirstActiveParticle + j) % mMaxParticles];
      m.frame = 0;
      m.frameTimeLeft = m_pTexAnimInfo->secondsPerCell;
    }
  }
}

void EParticleEmitterEntity::GetTexAnimInfo(int& frames, int& startFrame, int& loopFrame, float& rate) const {
  if (!m_pTexAnimInfo) {
    frames = 1;
    startFrame = loopFrame = 0;
    rate = 0.0f;
    return;
  }
  frames = m_pTexAnimInfo->mNumFramesX;
  startFrame = m_pTexAnimInfo->startFrame;
  loopFrame = m_pTexAnimInfo->loopFrame;
  rate = m_pTexAnimInfo->rate;
}

void EParticleEmitterEntity::BufferSizeSanityCheck() {
  const int needed = (int)(m_fMaxParticleLifetime * m_fMaxParticlesPerSec);
  if ((float)mMaxParticles * 0.9f > (float)needed)
    g_ErrorManager.TraceMessagef("Particle Emitter <%s> has %d slots, needs %d slots.\n", GetName(), mMaxParticles, needed);
}

void EParticleEmitterEntity::DebugDumpInfo() {
  // The output console comes with the developer tools; the trace serves
  // until then.
  const int needed = (int)(m_fMaxParticleLifetime * m_fMaxParticlesPerSec);
  char szSuffix[256] = "";
  if ((float)mMaxParticles * 0.9f > (float)needed)
    snprintf(szSuffix, sizeof(szSuffix), " (will likely only use %d/%d slots)", needed, mMaxParticles);
  const char* szKind = GetFlag(kPARTICLEEMITTER_ANIMATED) ? "animated"
                       : GetFlag(kPARTICLEEMITTER_ROTATED) ? "rotated"
                                                          : "normal";
  g_ErrorManager.TraceMessagef("%s: %d/%d %s particles%s", GetName(), mNumActiveParticles, mMaxParticles, szKind, szSuffix);
}
