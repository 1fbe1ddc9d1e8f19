// Particle affectors: the entity that pushes, pulls, swirls, drags or
// deflects particles, and the emitter's list of them.
#include "Game/GameApp.h"
#include "TWMath/Intersect.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/Physics.h"

EVec4 EParticleAffectorEntity::m_vDebugRenderColor(0.5f, 1.0f, 0.5f, 1.0f);

EParticleAffectorEntity::EParticleAffectorEntity(EDomain* pDomain, const char* szName)
    : EEntity(pDomain, szName),
      m_dwFlags(0),
      m_vAxis(0.0f, 1.0f, 0.0f),
      m_fStrength(0.0f),
      m_fAxialStrength(0.0f),
      m_fTangentialStrength(0.0f),
      m_fRadius1(0.0f),
      m_fRadius2(0.0f),
      m_fRadius1Sq(0.0f),
      m_fRadius2Sq(0.0f),
      m_fInvRadius1Sq(0.0f),
      m_fInvRadius2Sq(0.0f),
      m_vTurbulence(0.0f, 0.0f, 0.0f),
      m_bActive(true) {}

void EParticleAffectorEntity::InitEntity(EDomain* pDomain) {
  EEntity::InitEntity(pDomain);
  if (GetPhysics()) GetPhysics()->SetFlag(PHYSICS_NOPHYSICS, true);
}

void EParticleAffectorEntity::ProcessFrame(float fFrameMS) {
  EEntity::ProcessFrame(fFrameMS);
  if (GetPhysics()) m_vAxis = GetPhysics()->GetUp();
}

void EParticleAffectorEntity::RequestRender() {
  // The shapes are drawn with the debug lines while "ShowParticleAffectors"
  // is on; nothing to queue otherwise.
}

bool EParticleAffectorEntity::Intersects(const EBox3& box) const {
  if (m_dwFlags & (kPARTICLEAFFECTOR_SPHERE | kPARTICLEDEFLECTOR_SPHERE))
    return TWMath::TestIntersection(ESphere(GetPosition(), m_fRadius1), box);
  if (m_dwFlags & (kPARTICLEAFFECTOR_CYLINDER | kPARTICLEDEFLECTOR_CYLINDER))
    return TWMath::TestIntersection(ESphere(GetPosition(), m_fRadius1 > m_fRadius2 ? m_fRadius1 : m_fRadius2), box);
  return true;
}

void EParticleAffectorEntity::SetRadii(float r1, float r2) {
  m_fRadius1 = r1;
  m_fRadius2 = r2;
  m_fRadius1Sq = r1 * r1;
  m_fRadius2Sq = r2 * r2;
  m_fInvRadius1Sq = m_fRadius1Sq > 0.0f ? 1.0f / m_fRadius1Sq : 1.0f;
  m_fInvRadius2Sq = m_fRadius2Sq > 0.0f ? 1.0f / m_fRadius2Sq : 1.0f;
}

void EParticleAffectorEntity::set(uint32_t dwFlags, float r1, float r2, float fStrength, float fTangential, float fAxial) {
  m_dwFlags = dwFlags;
  SetRadii(r1, r2);
  m_fStrength = fStrength;
  m_fTangentialStrength = fTangential;
  m_fAxialStrength = fAxial;
}

int EParticleEmitterEntity::AddParticleAffector(EParticleAffectorEntity* pAffector) {
  for (int i = 0; i < m_aAffectors.Num(); ++i) {
    if (!m_aAffectors[i]) {
      m_aAffectors[i] = pAffector;
      return i;
    }
  }
  return m_aAffectors.AddData(pAffector);
}

void EParticleEmitterEntity::setParticleAffector(unsigned iSlot, EParticleAffectorEntity* pAffector) {
  if (pAffector) {
    if (iSlot > 0xFFFF) return;
    const int iOld = m_aAffectors.Num();
    if ((int)iSlot >= iOld) {
      m_aAffectors.GrowTo((int)iSlot + 1);
      for (int i = iOld; i < (int)iSlot; ++i) m_aAffectors[i] = nullptr;
    }
    m_aAffectors[(int)iSlot] = pAffector;
    return;
  }
  if (iSlot < (unsigned)m_aAffectors.Num() && m_aAffectors[(int)iSlot]) m_aAffectors.Remove((int)iSlot);
}

void EParticleEmitterEntity::setPrimaryParticleAffector(EParticleAffectorEntity* pAffector) {
  if (pAffector && (m_aAffectors.Num() < 1 || !m_aAffectors[0])) AddParticleAffector(pAffector);
  else setParticleAffector(0, pAffector);
}

void EParticleEmitterEntity::setSecondaryParticleAffector(EParticleAffectorEntity* pAffector) {
  const bool bBoth = m_aAffectors.Num() >= 2 && m_aAffectors[0] && m_aAffectors[1];
  if (pAffector && !bBoth) AddParticleAffector(pAffector);
  else setParticleAffector(1, pAffector);
}
