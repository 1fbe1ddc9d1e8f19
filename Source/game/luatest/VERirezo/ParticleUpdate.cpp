// Particle emitters frame by frame: emission into the ring of slots,
// particle initialisation, physics with affectors and deflectors, colour,
// size and cell over life, lifetime, the box, depth sort, visibility,
// sleeping and the render request.
#include <cmath>
#include <cstring>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWMath/Intersect.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Random.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/CollisionManager.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/CollisionTree.h"
#include "VERirezo/Domain.h"
#include "VERirezo/ParticleDistribution.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/Physics.h"

EParticleAffectorEntity* EParticleEmitterEntity::s_apFrameAffectors[kMAX_FRAME_AFFECTORS];
int EParticleEmitterEntity::s_nFrameAffectors = 0;
EVec3 EParticleEmitterEntity::s_vSortEye(0.0f, 0.0f, 0.0f);
EVec3 EParticleEmitterEntity::s_vSortView(0.0f, 0.0f, 0.0f);

namespace ParticleSim {

const float kTwoPi = 6.2831855f;
const float kHalfPi = 1.5707964f;
// Life given to a particle whose drawn lifetime is exactly 0.
const float kShortestLife = 0.0001f;

ECamera* RenderCamera() {
  if (!gGameApp) return nullptr;
  ECamera* pCamera = gGameApp->GetRenderCamera();
  return pCamera ? pCamera : gGameApp->GetCurrentCamera();
}

bool DebugSwitch(bool EDebugHooks::*pSwitch, bool bDefault) {
  return gGameApp ? gGameApp->m_DebugHooks.*pSwitch : bDefault;
}

// Brings an angle into 0 to 360 by whole turns.
float WrapDegrees(float f) {
  if (f > 1.0e6f || f < -1.0e6f) f = fmodf(f, 360.0f);
  while (f > 360.0f) f -= 360.0f;
  while (f < 0.0f) f += 360.0f;
  return f;
}

float Clamp(float f, float lo, float hi) { return f < lo ? lo : (f > hi ? hi : f); }

// Swaps two records of any size through a scratch buffer.
void SwapBytes(void* a, void* b, size_t n) {
  uint8_t tmp[sizeof(PARTICLEMETAANIM) > sizeof(PARTICLEANIM) ? sizeof(PARTICLEMETAANIM) : sizeof(PARTICLEANIM)];
  memcpy(tmp, a, n);
  memcpy(a, b, n);
  memcpy(b, tmp, n);
}

template <class P, class M>
void BubbleSortByDepth(P* pParts, M* pMetas, EVec3* pOrients, int n) {
  const EVec3 eye = EParticleEmitterEntity::s_vSortEye, view = EParticleEmitterEntity::s_vSortView;
  for (int pass = 0; pass < n; ++pass) {
    bool bSwapped = false;
    for (int j = 0; j + 1 < n; ++j) {
      if ((pParts[j + 1].pos - eye).Dot(view) > (pParts[j].pos - eye).Dot(view)) {
        SwapBytes(&pParts[j], &pParts[j + 1], sizeof(P));
        SwapBytes(&pMetas[j], &pMetas[j + 1], sizeof(M));
        if (pOrients) SwapBytes(&pOrients[j], &pOrients[j + 1], sizeof(EVec3));
        bSwapped = true;
      }
    }
    if (!bSwapped) break;
  }
}

}  // namespace ParticleSim

void EParticleEmitterEntity::WakeUp(bool bSimulateNextFrame) {
  m_byState = (uint8_t)((m_byState & ~kSTATE_SimulateNext) | (bSimulateNextFrame ? kSTATE_SimulateNext : 0));
  if (m_byState & kSTATE_Released) {
    m_byState &= (uint8_t)~kSTATE_Released;
    SetMaxParticles(m_nDeferredMaxParticles);
  }
  SetEntityFlag(ENTITY_NOSIMULATE, false);
}

bool EParticleEmitterEntity::activateParticle(PARTICLE*& pParticle, PARTICLEMETA*& pMeta) {
  if (mNumActiveParticles >= mMaxParticles || !m_pSlotBase) return false;
  const int newParticle = (mFirstActiveParticle + mNumActiveParticles) % mMaxParticles;
  EASSERT(newParticle >= 0);
  EASSERT(newParticle < mMaxParticles);
  pParticle = GetParticle(newParticle);
  pMeta = GetParticleMeta(newParticle);
  pMeta->flags |= kPARTICLE_NEW;
  mNumActiveParticles += 1;
  EASSERT(mNumActiveParticles <= mMaxParticles);
  return true;
}

void EParticleEmitterEntity::deactivateParticle(PARTICLE* pParticle, PARTICLEMETA* pMeta, EVec3* pOrientation) {
  EASSERT(pParticle);
  if (m_fMaxParticleLifetime - m_fMinParticleLifetime > 0.00001f || GetFlag(kPARTICLEEMITTER_DEPTHSORT)) {
    PARTICLE* pOldest = GetParticle(mFirstActiveParticle);
    if (pOldest != pParticle) {
      memcpy((void*)pParticle, pOldest, m_uSlotStride);
      memcpy((void*)pMeta, GetParticleMeta(mFirstActiveParticle), m_uMetaStride);
      if (pOrientation && m_pOrientations) *pOrientation = m_pOrientations[mFirstActiveParticle];
    }
  }
  mNumActiveParticles -= 1;
  mFirstActiveParticle = (mFirstActiveParticle + 1) % mMaxParticles;
  EASSERT(mNumActiveParticles >= 0);
}

float EParticleEmitterEntity::DrawLifetime() {
  float t = g_RenderRand.frand(m_fMinParticleLifetime, m_fMaxParticleLifetime);
  if (!(t > 0.0f)) t = -t;
  // A life of exactly 0 would have no inverse.
  if (!(t > 0.0f)) t = ParticleSim::kShortestLife;
  return t;
}

void EParticleEmitterEntity::InitParticle(PARTICLE* p, PARTICLEMETA* m, bool& bBoxStarted, EVec3* pOrientation,
                                          const EVec3& vUp) {
  const float yaw = g_RenderRand.frand(0.0f, ParticleSim::kTwoPi);
  const float pitch = g_RenderRand.frand(ParticleSim::kHalfPi - m_fMaxConeAngle, ParticleSim::kHalfPi - m_fMinConeAngle);
  const float speed = g_RenderRand.frand(m_fMinParticleSpeed, m_fMaxParticleSpeed);
  const float cp = cosf(pitch);
  const float s = GetFlag(kPARTICLEEMITTER_NOSPREAD) ? 1.0f : g_RenderRand.frand();
  const EVec3 d(cosf(yaw) * cp, sinf(pitch), sinf(yaw) * cp);
  EPhysics* pPhysics = GetPhysics();
  const EMat4 W = pPhysics ? pPhysics->GetAbsTrans() : EMat4();
  const bool bOriented = GetFlag(kPARTICLEEMITTER_ORIENTED) && pOrientation;
  if (m_pDistribution) {
    m->vel = m->vel * speed;
    if (fabsf(speed) < 0.00001f && pOrientation) *pOrientation = EVec3(W.m[8], W.m[9], W.m[10]);
  } else {
    EVec3 o(0.0f, 0.0f, 0.0f);
    if (GetFlag(kPARTICLEEMITTER_STARTOFFSET)) {
      o.z = g_RenderRand.frand(-m_fMaxStartOffset, m_fMaxStartOffset);
      o.y = g_RenderRand.frand(-m_fMaxStartOffset, m_fMaxStartOffset);
      o.x = g_RenderRand.frand(-m_fMaxStartOffset, m_fMaxStartOffset);
    }
    if (GetFlag(kPARTICLEEMITTER_RELATIVE)) {
      p->pos = o;
      m->vel = d * speed;
      if (bOriented) *pOrientation = fabsf(speed) > 0.00001f ? d : vUp;
    } else {
      p->pos = m_vLastPosition * (1.0f - s) + W.GetTranslation() * s + o;
      const EVec3 dw = W.Mul3Vec3(d);
      m->vel = dw * speed;
      if (bOriented) *pOrientation = fabsf(speed) > 0.00001f ? dw : EVec3(0.0f, 1.0f, 0.0f);
    }
  }
  p->size = GetFlag(kPARTICLEEMITTER_STARTENDSIZE) ? m_fParticleStartSize
                                                    : g_RenderRand.frand(m_fParticleMinSize, m_fParticleMaxSize);
  m->timeRemaining = DrawLifetime();
  m->invLifetime = 1.0f / m->timeRemaining;
  m->hTexture = m_hTexture;
  if (GetFlag(kPARTICLEEMITTER_ANIMATED) && m_pTexAnimInfo && HasAnimRecords()) {
    PARTICLEMETAANIM* ma = static_cast<PARTICLEMETAANIM*>(m);
    const int cells = m_pTexAnimInfo->mNumFramesX * m_pTexAnimInfo->mNumFramesY;
    if (cells == 1) ma->frame = 0;
    else if (m_pTexAnimInfo->startFrame == -1) ma->frame = g_RenderRand.rand() % cells;
    else ma->frame = m_pTexAnimInfo->startFrame;
    if (!(m_pDistribution && m_pDistribution->HandlesUV()))
      setParticleFrame(ma->frame, static_cast<PARTICLEANIM*>(p)->uv);
    ma->frameTimeLeft = m_pTexAnimInfo->secondsPerCell;
  }
  p->color = GetFlag(kPARTICLEEMITTER_STARTCOLOR)
                 ? m_dwStartColor
                 : (((uint32_t)g_RenderRand.rand() & 0x00FFFFFFu) | (m_dwStartColor & 0xFF000000u));
  if (GetFlag(kPARTICLEEMITTER_ROTATED) && HasFullRecords()) {
    PARTICLEFULL* pf = static_cast<PARTICLEFULL*>(p);
    PARTICLEMETAFULL* mf = static_cast<PARTICLEMETAFULL*>(m);
    const bool bNoStart = GetFlag(kPARTICLEEMITTER_NOSTARTROTATION);
    pf->rot = EVec3(0.0f, 0.0f, 0.0f);
    mf->spin = EVec3(0.0f, 0.0f, 0.0f);
    pf->rot.y = bNoStart ? 0.0f : g_RenderRand.frand(0.0f, 360.0f);
    mf->spin.y = g_RenderRand.frand(m_vMinDegreesPerSec.y, m_vMaxDegreesPerSec.y);
    if (GetFlag(kPARTICLEEMITTER_ORIENTED)) {
      if (!bNoStart) {
        pf->rot.x = g_RenderRand.frand(0.0f, 180.0f);
        pf->rot.z = g_RenderRand.frand(0.0f, 180.0f);
      }
      mf->spin.x = g_RenderRand.frand(m_vMinDegreesPerSec.x, m_vMaxDegreesPerSec.x);
      mf->spin.z = g_RenderRand.frand(m_vMinDegreesPerSec.z, m_vMaxDegreesPerSec.z);
    }
  }
  m->flags &= ~kPARTICLE_NEW;
  UpdateBoundingBox(p, bBoxStarted);
}

void EParticleEmitterEntity::UpdateParticlePhysics(float dt, PARTICLE* p, PARTICLEMETA* m, EVec3* pOrientation,
                                                   const EMat4& W, const EMat4& WInv, const EVec3& vUp) {
  const bool bRelative = GetFlag(kPARTICLEEMITTER_RELATIVE);
  EVec3 force(0.0f, 0.0f, 0.0f);
  if (GetFlag(kPARTICLEEMITTER_APPLYGRAVITY)) m->vel += vUp * (GetPhysicsConstant(kPC_GRAVITY) * dt);
  if (GetFlag(kPARTICLEEMITTER_FORCE)) {
    EVec3 f;
    if (GetFlag(kPARTICLEEMITTER_RELGRAVFORCE))
      f = ShortestArcQuaternion(EVec3(0.0f, 1.0f, 0.0f), vUp).ToMatrix().Mul3Vec3(m_vParticleForce);
    else if (bRelative) f = m_vParticleForce;
    else f = W.Mul3Vec3(m_vParticleForce);
    m->vel += f * dt;
  }
  const EVec3 pWorld = bRelative ? W.MulVec3(p->pos) : p->pos;
  bool bDeflectors = false;
  for (int i = 0; i < s_nFrameAffectors; ++i) {
    const EParticleAffectorEntity* A = s_apFrameAffectors[i];
    const uint32_t fl = A->m_dwFlags;
    if (fl & (kPARTICLEDEFLECTOR_SPHERE | kPARTICLEDEFLECTOR_CYLINDER)) {
      bDeflectors = true;
      continue;
    }
    const EVec3 a = A->m_vAxis;
    const EVec3 E = pWorld - A->GetPosition();
    const float d2 = E.Dot(E), h = E.Dot(a);
    const float r1 = A->m_fRadius1;
    // The drag step: brakes along the motion, or stops the particle.
    auto Drag = [&](float drag) {
      const EVec3 v = m->vel + force * dt;
      const float sp = v.Length();
      if (sp > 0.0f && sp - dt * drag > 0.0f) force -= v * (drag / sp);
      else force = m->vel * (-1.0f / dt);
    };
    if (fl & kPARTICLEAFFECTOR_SPHERE) {
      if (!(d2 < A->m_fRadius1Sq)) continue;
      float k = 1.0f;
      if (fl & kPARTICLEAFFECTOR_FALLOFF) k = (A->m_fRadius1Sq - d2) * A->m_fInvRadius1Sq;
      else if (fl & kPARTICLEAFFECTOR_INVFALLOFF) k = 1.0f - (A->m_fRadius1Sq - d2) * A->m_fInvRadius1Sq;
      if (fl & kPARTICLEAFFECTOR_DRAG) Drag(A->m_fStrength * 4.0f * (1.0f - k));
      else force += E * (A->m_fStrength * k);
      force += a * (A->m_fAxialStrength * k);
      force += A->m_vTurbulence * k;
    } else if (fl & kPARTICLEAFFECTOR_CYLINDER) {
      const float fReach = A->m_fRadius1Sq > A->m_fRadius2Sq ? A->m_fRadius1Sq : A->m_fRadius2Sq;
      if (!(d2 < fReach && h > 0.0f && h < r1)) continue;
      const EVec3 I = E - a * h;
      const float rho2 = I.Dot(I);
      if (!(rho2 < A->m_fRadius2Sq)) continue;
      EVec3 K = a.Cross(I);
      K.Normalize();
      const EPhysics* pAP = A->GetPhysics() ? A->GetPhysics()->GetAttachParent() : nullptr;
      if ((fl & kPARTICLEAFFECTOR_VELOCITY) && pAP) {
        const EVec3 V = pAP->GetVelocity();
        const float mag = V.Length();
        force += I * (A->m_fStrength * mag);
        force += K * (A->m_fTangentialStrength * mag);
        force += a * (A->m_fAxialStrength * mag);
        force += A->m_vTurbulence * V;
      } else {
        float L = 1.0f;
        if (fl & kPARTICLEAFFECTOR_FALLOFF) L = (A->m_fRadius2Sq - rho2) * A->m_fInvRadius2Sq;
        else if (fl & kPARTICLEAFFECTOR_INVFALLOFF) L = 1.0f - (A->m_fRadius2Sq - rho2) * A->m_fInvRadius2Sq;
        force += K * (A->m_fTangentialStrength * L);
        force += a * (A->m_fAxialStrength * L);
        force += A->m_vTurbulence;
        if (fl & kPARTICLEAFFECTOR_DRAG) Drag(A->m_fStrength * 4.0f * (1.0f - L));
        else force -= I * (A->m_fStrength * L);
      }
    }
  }
  m->vel += (bRelative ? WInv.Mul3Vec3(force) : force) * dt;
  p->pos += m->vel * dt;
  if (GetFlag(kPARTICLEEMITTER_ORIENTED) && pOrientation && m->vel.Dot(m->vel) > 0.0f) {
    EVec3 o = m->vel;
    const float len = o.Length();
    if (len > 0.0f) *pOrientation = o * (1.0f / len);
  }
  if (GetFlag(kPARTICLEEMITTER_COLLIDEWITHGROUND) && p->pos.Dot(vUp) < m_fGroundHeight + 1.0f) {
    m->vel *= m_fBounceFactor;
    m->vel -= vUp * (m->vel * 2.0f).Dot(vUp);
    p->pos -= vUp * p->pos.Dot(vUp);
    p->pos += vUp * (m_fGroundHeight + 1.0f);
    if (GetFlag(kPARTICLEEMITTER_GROUNDSTOPROTATION) && GetFlag(kPARTICLEEMITTER_ROTATED) && HasFullRecords())
      static_cast<PARTICLEMETAFULL*>(m)->spin = EVec3(0.0f, 0.0f, 0.0f);
  }
  if (bDeflectors) {
    for (int i = 0; i < s_nFrameAffectors; ++i) {
      const EParticleAffectorEntity* A = s_apFrameAffectors[i];
      const uint32_t fl = A->m_dwFlags;
      const bool bInverse = (fl & kPARTICLEAFFECTOR_INVERSE) != 0, bNoMercy = (fl & kPARTICLEAFFECTOR_NOMERCY) != 0;
      const EVec3 a = A->m_vAxis;
      const EVec3 E = pWorld - A->GetPosition();
      const float d2 = E.Dot(E), h = E.Dot(a);
      const float r1 = A->m_fRadius1, r2 = A->m_fRadius2;
      EVec3 D(0.0f, 0.0f, 0.0f);
      bool bMove = false, bStop = false;
      if (fl & kPARTICLEDEFLECTOR_SPHERE) {
        const float len = sqrtf(d2);
        const EVec3 En = len > 0.0f ? E * (1.0f / len) : EVec3(0.0f, 0.0f, 0.0f);
        if (!bInverse && d2 < A->m_fRadius1Sq) {
          bMove = true;
          if (bNoMercy) { D = En * (len - r1); bStop = true; }
          else D = En * (-0.1f * r1);
        } else if (bInverse && d2 > A->m_fRadius1Sq) {
          bMove = true;
          if (bNoMercy) { D = En * (len - r1); bStop = true; }
          else D = En * (0.1f * r1);
        }
      } else if (fl & kPARTICLEDEFLECTOR_CYLINDER) {
        if ((!bInverse && d2 < A->m_fRadius1Sq) || (bInverse && d2 > A->m_fRadius2Sq)) {
          const EVec3 I = E - a * h;
          const float rho2 = I.Dot(I), rho = sqrtf(rho2);
          const EVec3 In = rho > 0.0f ? I * (1.0f / rho) : EVec3(0.0f, 0.0f, 0.0f);
          if (!bInverse) {
            if (rho2 < A->m_fRadius2Sq) { D = In * (0.1f * r2); bMove = true; }
          } else if (rho2 > A->m_fRadius2Sq) {
            bMove = true;
            if (bNoMercy) { D = In * (rho - r2); bStop = true; }
            else D = In * (0.1f * r2);
          } else if (h < 0.0f) {
            bMove = true;
            if (bNoMercy) { D = EVec3(0.0f, 1.0f, 0.0f) * (sqrtf(d2) - r1); bStop = true; }
            else D = EVec3(0.0f, 1.0f, 0.0f) * (0.1f * r1);
          } else if (h > r1) {
            bMove = true;
            if (bNoMercy) { D = EVec3(0.0f, -1.0f, 0.0f) * (sqrtf(d2) - r1); bStop = true; }
            else D = EVec3(0.0f, -1.0f, 0.0f) * (0.1f * r1);
          }
        }
      }
      if (bMove) p->pos += bRelative ? WInv.Mul3Vec3(D) : D;
      if (bStop) m->vel = EVec3(0.0f, 0.0f, 0.0f);
    }
  }
  if (GetFlag(kPARTICLEEMITTER_ROTATED) && HasFullRecords()) {
    PARTICLEFULL* pf = static_cast<PARTICLEFULL*>(p);
    pf->rot += static_cast<PARTICLEMETAFULL*>(m)->spin * dt;
    pf->rot.y = ParticleSim::WrapDegrees(pf->rot.y);
    if (GetFlag(kPARTICLEEMITTER_ORIENTED)) {
      pf->rot.x = ParticleSim::WrapDegrees(pf->rot.x);
      pf->rot.z = ParticleSim::WrapDegrees(pf->rot.z);
    }
  }
}

void EParticleEmitterEntity::UpdateParticleRendering(float dt, PARTICLE* p, PARTICLEMETA* m) {
  const float x = 1.0f - m->timeRemaining * m->invLifetime;
  const int nStages = m_aStages.Num();
  // The stage segment that the life fraction lies in, and how far along.
  int seg = 0;
  float t = 0.0f;
  if (nStages >= 3 && (m_dwFlags & (kPARTICLEEMITTER_ENDCOLOR | kPARTICLEEMITTER_STARTENDSIZE))) {
    float e = m_aStages[1].duration;
    while (seg < nStages - 2 && x > e) {
      ++seg;
      e += m_aStages[seg + 1].duration;
    }
    const float dur = m_aStages[seg + 1].duration;
    t = dur > 0.0f ? 1.0f - (e - x) / dur : 1.0f;
  }
  if (m_dwFlags & kPARTICLEEMITTER_ENDCOLOR) {
    if (nStages < 3)
      p->color = (m_dwFlags & kPARTICLEEMITTER_STARTCOLOR) ? RGBA_Lerp(m_dwStartColor, m_dwEndColor, x)
                                                          : RGBA_Lerp(p->color, m_dwEndColor, m->invLifetime * dt);
    else
      p->color = RGBA_Lerp(m_aStages[seg].color, m_aStages[seg + 1].color, t);
  }
  if (m_dwFlags & kPARTICLEEMITTER_STARTENDSIZE) {
    if (nStages < 3) p->size = m_fParticleStartSize + x * m_fParticleSizeDelta;
    else p->size = m_aStages[seg].size + m_aStages[seg + 1].sizeDelta * t;
  }
  if ((m_dwFlags & kPARTICLEEMITTER_ANIMATED) && m_pTexAnimInfo && HasAnimRecords()) {
    PARTICLEMETAANIM* ma = static_cast<PARTICLEMETAANIM*>(m);
    if (m_pTexAnimInfo->rate > 0.0f) ma->frameTimeLeft -= dt;
    if (ma->frameTimeLeft < 0.0f) {
      const int cells = m_pTexAnimInfo->mNumFramesX * m_pTexAnimInfo->mNumFramesY;
      ma->frameTimeLeft += m_pTexAnimInfo->secondsPerCell;
      const int old = ma->frame;
      ma->frame += 1;
      // A grid made smaller under live particles also goes back to the loop.
      if (ma->frame >= cells || ma->frame < 0) ma->frame = m_pTexAnimInfo->loopFrame;
      EASSERT(ma->frame >= 0);
      EASSERT(ma->frame < (m_pTexAnimInfo->mNumFramesX * m_pTexAnimInfo->mNumFramesY));
      if (ma->frame != old) setParticleFrame(ma->frame, static_cast<PARTICLEANIM*>(p)->uv);
    }
  }
}

void EParticleEmitterEntity::setParticleFrame(int iCell, EVec2* uv) {
  EASSERT(iCell >= 0);
  EASSERT(m_pTexAnimInfo);
  if (!m_pTexAnimInfo) return;
  EASSERT(iCell < (m_pTexAnimInfo->mNumFramesX * m_pTexAnimInfo->mNumFramesY));
  const float w = m_pTexAnimInfo->cellWidth, h = m_pTexAnimInfo->cellHeight;
  const float u = (float)(iCell % m_pTexAnimInfo->mNumFramesX) * w;
  const float v = (float)(iCell / m_pTexAnimInfo->mNumFramesX) * h;
  uv[0] = EVec2(u, v);
  uv[1] = EVec2(u + w, v);
  uv[2] = EVec2(u + w, v + h);
  uv[3] = EVec2(u, v + h);
}

void EParticleEmitterEntity::UpdateParticleLifetime(float dt, PARTICLE* p, PARTICLEMETA* m, EVec3* pOrientation) {
  if (!(m->timeRemaining > -90.0f)) return;
  if (m->timeRemaining < 0.0f) g_ErrorManager.TraceMessagef("Expiring a dead particle!\n");
  m->timeRemaining -= dt;
  if (m->timeRemaining < 0.0f) {
    if (m_fMinParticleLifetime < 0.0f) {
      m->timeRemaining = DrawLifetime();
      m->invLifetime = 1.0f / m->timeRemaining;
    } else {
      m->timeRemaining = 0.0f;
      deactivateParticle(p, m, pOrientation);
    }
  }
}

void EParticleEmitterEntity::UpdateBoundingBox(PARTICLE* p, bool& bBoxStarted) {
  if (m_dwFlags & kPARTICLEEMITTER_ALWAYSDRAW) return;
  if (!bBoxStarted) {
    m_Box = EBox3(p->pos, p->pos);
    bBoxStarted = true;
  } else {
    m_Box.Add(p->pos);
  }
}

void EParticleEmitterEntity::GatherFrameAffectors(const EBox3& box) {
  s_nFrameAffectors = 0;
  for (int i = 0; i < m_aAffectors.Num() && s_nFrameAffectors < kMAX_FRAME_AFFECTORS; ++i) {
    EParticleAffectorEntity* A = m_aAffectors[i];
    if (A && A->GetActive() && A->Intersects(box)) s_apFrameAffectors[s_nFrameAffectors++] = A;
  }
}

void EParticleEmitterEntity::Update(float dt) {
  if (dt == 0.0f) return;
  if (GetFlag(kPARTICLEEMITTER_ACTIVE)) {
    m_fParticlesToEmit += dt * g_RenderRand.frand(m_fMinParticlesPerSec, m_fMaxParticlesPerSec);
    PARTICLE* p = nullptr;
    PARTICLEMETA* m = nullptr;
    if (!m_pDistribution) {
      while (m_fParticlesToEmit >= 1.0f && activateParticle(p, m)) m_fParticlesToEmit -= 1.0f;
    } else {
      EPhysics* pPhysics = GetPhysics();
      EMat4 M;
      M.LoadIdentity();
      const bool bRelative = GetFlag(kPARTICLEEMITTER_RELATIVE);
      if (!bRelative && pPhysics) M = pPhysics->GetAbsTrans();
      const EVec3 T = M.GetTranslation();
      const bool bHandlesUV = GetFlag(kPARTICLEEMITTER_ANIMATED) && m_pDistribution->HandlesUV() && HasAnimRecords();
      while (m_fParticlesToEmit >= 1.0f && activateParticle(p, m)) {
        PARTICLEANIM scratch;
        PARTICLEMETAANIM scratchMeta;
        EVec3* pOrient = nullptr;
        if (GetFlag(kPARTICLEEMITTER_ORIENTED) && m_pOrientations)
          pOrient = &m_pOrientations[(mFirstActiveParticle + mNumActiveParticles - 1) % mMaxParticles];
        m_pDistribution->GetNextParticle(&scratch, &scratchMeta, pOrient);
        if (bRelative) {
          p->pos = scratch.pos;
          m->vel = scratchMeta.vel;
        } else {
          if (!GetFlag(kPARTICLEEMITTER_NOSPREAD)) M.SetTranslation(m_vLastPosition.Lerp(T, g_RenderRand.frand()));
          p->pos = M.MulVec3(scratch.pos);
          m->vel = M.Mul3Vec3(scratchMeta.vel);
          if (pOrient) *pOrient = M.Mul3Vec3(*pOrient);
        }
        if (bHandlesUV)
          for (int c = 0; c < 4; ++c) static_cast<PARTICLEANIM*>(p)->uv[c] = scratch.uv[c];
        m_fParticlesToEmit -= 1.0f;
      }
    }
  } else if (mNumActiveParticles == 0) {
    if (m_fParticlesToEmit == 0.0f && !(m_byState & kSTATE_Released)) {
      m_nDeferredMaxParticles = mMaxParticles;
      SetMaxParticles(0);
      m_byState |= kSTATE_Released;
      SetEntityFlag(ENTITY_NOSIMULATE, true);
    }
    return;
  }

  const int n = mNumActiveParticles, f = mFirstActiveParticle;
  GatherFrameAffectors(GetAbsAdjustedBoundingBox());
  EPhysics* pPhysics = GetPhysics();
  EMat4 W;
  W.LoadIdentity();
  if (pPhysics) W = pPhysics->GetAbsTrans();
  const EMat4 WInv = W.Inverse();
  EVec3 vUp = pPhysics ? pPhysics->GetUltimateGravityDir() : EVec3(0.0f, 1.0f, 0.0f);
  if (GetFlag(kPARTICLEEMITTER_RELATIVE)) vUp = WInv.Mul3Vec3(vUp);
  bool bBoxStarted = false;
  const bool bPhysics = !GetFlag(kPARTICLEEMITTER_NOPHYSICS);
  for (int j = 0; j < n; ++j) {
    const int slot = (f + j) % mMaxParticles;
    PARTICLE* p = GetParticle(slot);
    PARTICLEMETA* m = GetParticleMeta(slot);
    EVec3* pOrient = (GetFlag(kPARTICLEEMITTER_ORIENTED) && m_pOrientations) ? &m_pOrientations[slot] : nullptr;
    if (m->flags & kPARTICLE_NEW) {
      InitParticle(p, m, bBoxStarted, pOrient, vUp);
    } else {
      if (bPhysics) UpdateParticlePhysics(dt, p, m, pOrient, W, WInv, vUp);
      UpdateParticleRendering(dt, p, m);
      UpdateParticleLifetime(dt, p, m, pOrient);
      UpdateBoundingBox(p, bBoxStarted);
    }
  }

  if (GetFlag(kPARTICLEEMITTER_DEPTHSORT) && mNumActiveParticles > 0) {
    GatherForSort();
    if (ECamera* pCamera = ParticleSim::RenderCamera()) {
      s_vSortEye = pCamera->GetPosition();
      s_vSortView = pCamera->GetViewVector();
    }
    if (m_pAnimParticles) sortAnimParticleVertsByDepth();
    else if (m_pFullParticles) sortFullParticleVertsByDepth();
    else sortParticleVertsByDepth();
  }
}

void EParticleEmitterEntity::GatherForSort() {
  const int n = mNumActiveParticles, f = mFirstActiveParticle;
  auto Move = [&](int iTo, int iFrom, int iCount) {
    memmove(m_pSlotBase + (size_t)iTo * m_uSlotStride, m_pSlotBase + (size_t)iFrom * m_uSlotStride,
            (size_t)iCount * m_uSlotStride);
    memmove(m_pMetaBase + (size_t)iTo * m_uMetaStride, m_pMetaBase + (size_t)iFrom * m_uMetaStride,
            (size_t)iCount * m_uMetaStride);
    if (m_pOrientations) memmove(&m_pOrientations[iTo], &m_pOrientations[iFrom], sizeof(EVec3) * (size_t)iCount);
  };
  if (n < mMaxParticles) {
    if (f + n > mMaxParticles) {
      const int iOlder = mMaxParticles - f;
      const int iFirstOpenSlot = n - iOlder;
      EASSERT(iFirstOpenSlot < mFirstActiveParticle);
      Move(iFirstOpenSlot, f, iOlder);
    } else if (f != 0) {
      Move(0, f, n);
    }
  }
  mFirstActiveParticle = 0;
}

void EParticleEmitterEntity::sortParticleVertsByDepth() {
  if (m_pParticles) ParticleSim::BubbleSortByDepth(m_pParticles, m_pParticleMeta, m_pOrientations, mNumActiveParticles);
}
void EParticleEmitterEntity::sortFullParticleVertsByDepth() {
  if (m_pFullParticles)
    ParticleSim::BubbleSortByDepth(m_pFullParticles, m_pFullParticleMeta, m_pOrientations, mNumActiveParticles);
}
void EParticleEmitterEntity::sortAnimParticleVertsByDepth() {
  if (m_pAnimParticles)
    ParticleSim::BubbleSortByDepth(m_pAnimParticles, m_pAnimParticleMeta, m_pOrientations, mNumActiveParticles);
}

float EParticleEmitterEntity::LargestParticleSize() const {
  if (!GetFlag(kPARTICLEEMITTER_STARTENDSIZE)) return m_fParticleMaxSize;
  if (m_aStages.Num() > 2) {
    float a = 0.0f;
    for (int i = 0; i < m_aStages.Num(); ++i)
      if (m_aStages[i].size > a) a = m_aStages[i].size;
    return a;
  }
  return m_fParticleStartSize > m_fParticleEndSize ? m_fParticleStartSize : m_fParticleEndSize;
}

EBox3 EParticleEmitterEntity::GetAbsAdjustedBoundingBox() {
  const float a = LargestParticleSize();
  const float across = m_fScaleX > 0.0f ? a * m_fScaleX : a;
  const float down = m_fScaleY > 0.0f ? a * m_fScaleY : a;
  const float extent = GetFlag(kPARTICLEEMITTER_ROTATED) ? FastSqrt(across * across + down * down)
                                                         : (across > down ? across : down);
  const float half = (extent > 64.0f ? extent : 64.0f) * 0.5f;
  EBox3 box;
  if (mNumActiveParticles > 0) {
    box = m_Box;
    if (GetFlag(kPARTICLEEMITTER_RELATIVE) && GetPhysics()) box = box.TransformAffine(GetPhysics()->GetAbsTrans());
  } else {
    const EVec3 c = GetPosition();
    box = EBox3(c - EVec3(half, half, half), c + EVec3(half, half, half));
  }
  return box.GetInflatedBox(half);
}

float EParticleEmitterEntity::CalcVisibility(const EBox3& box) {
  ECamera* pCamera = ParticleSim::RenderCamera();
  if (!pCamera) return 0.0f;
  const float g = pCamera->CalculateScreenDiagonal(box);
  const float fSize = g <= 100.0f ? 0.0f : (g < 200.0f ? (g - 100.0f) * 0.01f : 1.0f);
  const EVec3 d = pCamera->GetPosition() - GetPosition();
  const float d2 = d.Dot(d);
  float fDist = 1.0f;
  if (d2 >= 3500.0f * 3500.0f) fDist = 0.0f;
  else if (d2 > 2500.0f * 2500.0f) fDist = 1.0f - (sqrtf(d2) - 2500.0f) * 0.001f;
  return fSize > fDist ? fSize : fDist;
}

void EParticleEmitterEntity::ProcessFrame(float fFrameMS) {
  EEntity::ProcessFrame(fFrameMS);
  if (ParticleSim::DebugSwitch(&EDebugHooks::ShowParticles, true)) {
    const float now = gGameApp ? (float)gGameApp->GetSimElapsedTime() : 0.0f;
    const EBox3 box = GetAbsAdjustedBoundingBox();
    ECamera* pCamera = ParticleSim::RenderCamera();
    const bool bSeen = GetFlag(kPARTICLEEMITTER_ALWAYSDRAW) ||
                       (pCamera && pCamera->BoxVisible(box, nullptr, false) && CalcVisibility(box) != 0.0f);
    bool bLazy = false;
    if (!bSeen && now > m_fNextLazyUpdate) {
      bLazy = true;
      m_fNextLazyUpdate = now + g_RenderRand.frand(0.2f, 0.4f);
    }
    if (bSeen || (m_byState & kSTATE_SimulateNext) || bLazy ||
        !ParticleSim::DebugSwitch(&EDebugHooks::LazyUpdateParticles, true)) {
      m_byState &= (uint8_t)~kSTATE_SimulateNext;
      EPhysics* pPhysics = GetPhysics();
      if (GetFlag(kPARTICLEEMITTER_COLLIDEWITHGROUND) && pPhysics && GetOwnerDomain() &&
          GetOwnerDomain()->GetCollisionManager()) {
        const EVec3 up = pPhysics->GetUltimateGravityDir();
        const EVec3 P = pPhysics->GetAbsPosition();
        const EVec3 vFrom = P + up * 15.0f, vTo = P - up * 1000.0f;
        ECollide hit(nullptr);
        hit.dwFlags |= kCOLLIDEFLAG_IgnoreSpheres;
        GetOwnerDomain()->GetCollisionManager()->LineCheck(vFrom, vTo, hit, nullptr, 0.0f);
        m_fGroundHeight = hit.vEnd.Dot(up);
        if (GetFlag(kPARTICLEEMITTER_RELATIVE)) m_fGroundHeight -= P.Dot(up);
      }
      if (mNumActiveParticles > 0) EParticleManager::m_iNumSimulatedEmitters += 1;
      else EParticleManager::m_iEmptySimulatedEmitters += 1;
      EParticleManager::m_iNumSimulatedParticles += mNumActiveParticles;
      Update(fFrameMS * 0.001f);
    } else {
      EParticleManager::m_iNumNotSimulatedEmitters += 1;
      EParticleManager::m_iNumNotSimulatedParticles += mNumActiveParticles;
    }
  }
  if (fFrameMS > 0.0f) m_vLastPosition = GetPosition();
}

void EParticleEmitterEntity::RequestRender() {
  if (m_pDistribution && ParticleSim::DebugSwitch(&EDebugHooks::ShowDistributions, false) && GetPhysics())
    m_pDistribution->RequestRender(GetPhysics()->GetAbsTrans());
  if (mNumActiveParticles <= 0 || !GetVisible() || !ParticleSim::DebugSwitch(&EDebugHooks::ShowParticles, true)) return;
  const int32_t nFrame = gGameApp ? gGameApp->m_iFrameCount : 0;
  if (m_pParentEmitter || m_nQueuedFrame == nFrame) return;
  ECamera* pCamera = ParticleSim::RenderCamera();
  const EBox3 box = GetAbsAdjustedBoundingBox();
  if (GetFlag(kPARTICLEEMITTER_ALWAYSDRAW) ||
      (pCamera && pCamera->BoxVisible(box, nullptr, false) && CalcVisibility(box) != 0.0f)) {
    EParticleManager::AddEmitter(this);
    return;
  }
  for (int i = 0; i < m_aChildEmitters.Num(); ++i) {
    EParticleEmitterEntity* pChild = m_aChildEmitters[i];
    const EBox3 childBox = pChild->GetAbsAdjustedBoundingBox();
    if (pCamera && pCamera->BoxVisible(childBox, nullptr, false) && pChild->CalcVisibility(childBox) != 0.0f) {
      EParticleManager::AddEmitter(this);
      return;
    }
  }
  EParticleManager::m_iNumNotDrawnEmitters += 1;
}

void EParticleEmitterEntity::AgeParticles(float fFraction) {
  if (!(fFraction >= 0.0f && fFraction <= 1.0f) || mMaxParticles <= 0) return;
  for (int j = 0; j < mNumActiveParticles; ++j) {
    PARTICLEMETA* m = GetParticleMeta((mFirstActiveParticle + j) % mMaxParticles);
    const float limit = (1.0f - fFraction) / m->invLifetime;
    if (m->timeRemaining > limit) m->timeRemaining = limit;
  }
}

void EParticleEmitterEntity::CropFrames(int n) {
  if (n <= 0 || !GetFlag(kPARTICLEEMITTER_ANIMATED) || !m_pAnimParticleMeta) return;
  for (int j = 0; j < mNumActiveParticles; ++j) {
    PARTICLEMETAANIM& m = m_pAnimParticleMeta[(mFirstActiveParticle + j) % mMaxParticles];
    if (m.frame >= n) m.frame = n - 1;
  }
}

void EParticleEmitterEntity::EstimateBoundingBox() {
  float r = m_fMaxParticleSpeed * m_fMaxParticleLifetime;
  if (m_pDistribution) r += m_pDistribution->GetMaxExtent();
  r *= 1.1f;
  const EVec3 c = GetPosition();
  m_Box = EBox3(c - EVec3(r, r, r), c + EVec3(r, r, r));
}

float EParticleEmitterEntity::GetAggregateMaxParticleSize() const {
  const float a = LargestParticleSize();
  const float across = m_fScaleX > 0.0f ? a * m_fScaleX : a;
  const float down = m_fScaleY > 0.0f ? a * m_fScaleY : a;
  return across > down ? across : down;
}

void EParticleEmitterEntity::AttachChildEmitter(EParticleEmitterEntity* pChild) {
  if (!pChild || pChild == this) return;
  for (int i = 0; i < m_aChildEmitters.Num(); ++i)
    if (m_aChildEmitters[i] == pChild) return;
  m_aChildEmitters.AddData(pChild);
  pChild->m_pParentEmitter = this;
}

void EParticleEmitterEntity::DetachChildEmitter(EParticleEmitterEntity* pChild) {
  for (int i = m_aChildEmitters.Num() - 1; i >= 0; --i)
    if (m_aChildEmitters[i] == pChild) m_aChildEmitters.RemoveSwap(i);
  if (pChild) pChild->m_pParentEmitter = nullptr;
}

void EParticleEmitterEntity::DetachFromParentEmitter() {
  if (!m_pParentEmitter) return;
  m_pParentEmitter->DetachChildEmitter(this);
  m_pParentEmitter = nullptr;
}

void EParticleEmitterEntity::CleanupReferences() {
  EEntity::CleanupReferences();
  if (m_pSortBuddy && m_pSortBuddy->IsDead()) m_pSortBuddy = nullptr;
  if (m_pParentEmitter && m_pParentEmitter->IsDead()) m_pParentEmitter = nullptr;
  for (int i = m_aChildEmitters.Num() - 1; i >= 0; --i)
    if (m_aChildEmitters[i]->IsDead()) m_aChildEmitters.Remove(i);
  // Every slot is checked: the pass gathers from the whole list.
  bool bCleared = false;
  for (int i = 0; i < m_aAffectors.Num(); ++i) {
    if (m_aAffectors[i] && m_aAffectors[i]->IsDead()) {
      m_aAffectors[i] = nullptr;
      bCleared = true;
    }
  }
  if (bCleared) {
    int iKept = 0;
    for (int i = 0; i < m_aAffectors.Num(); ++i)
      if (m_aAffectors[i]) m_aAffectors[iKept++] = m_aAffectors[i];
    m_aAffectors.GrowTo(iKept, true);
  }
  if (m_pDistribution && m_pDistribution->CleanupReferences()) SetActive(false);
}
