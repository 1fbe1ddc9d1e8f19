// The particle quad writers: one run of an emitter's live particles becomes
// quads of particle vertices in one push buffer.
#include <cmath>

#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWMath/MathGeneral.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleManager.h"
#include "VERirezo/ParticleRenderHooks.h"
#include "VERirezo/Physics.h"

namespace ParticleQuads {

// Texture coordinates of corners 0 to 3 of a plain quad.
const float kCornerU[4] = {0.0f, 1.0f, 1.0f, 0.0f};
const float kCornerV[4] = {1.0f, 1.0f, 0.0f, 0.0f};
// Unrotated corner offsets in half sizes.
const float kCornerX[4] = {-1.0f, 1.0f, 1.0f, -1.0f};
const float kCornerY[4] = {-1.0f, -1.0f, 1.0f, 1.0f};

inline uint32_t PackOffset(int x, int y) {
  return (uint32_t)(uint16_t)(int16_t)x | ((uint32_t)(uint16_t)(int16_t)y << 16);
}

// Nearest integer, halves away from zero.
inline int RoundAway(float f) { return f > 0.0f ? (int)(f + 0.5f) : (int)(f - 0.5f); }

// A quad's four vertices, pushed at once.
struct Quad {
  EParticleVertex v[4];
};

inline void SetVertex(EParticleVertex& vert, const EVec3& p, uint32_t color, float u, float v, uint32_t offset) {
  vert.x = p.x;
  vert.y = p.y;
  vert.z = p.z;
  vert.color = color;
  vert.u = u;
  vert.v = v;
  vert.offset = offset;
}

// The whole-degree table index of a rotation angle.
inline int AngleIndex(float fDegrees) {
  const int i = RoundAway(fDegrees);
  return i < 0 ? 0 : (i > 360 ? 360 : i);
}

// Camera-facing quad; uv null gives the plain corner coordinates.
inline void PushFacing(uint32_t*& pdwPush, const PARTICLE& p, const EVec2* uv) {
  const int t = (int)(p.size * 0.5f);
  const uint32_t offsets[4] = {PackOffset(-t, -t), PackOffset(t, -t), PackOffset(t, t), PackOffset(-t, t)};
  Quad& q = *RendererPushReserve<Quad>(pdwPush);
  for (int k = 0; k < 4; ++k) {
    if (uv)
      SetVertex(q.v[k], p.pos, p.color, uv[k].x, 1.0f - uv[k].y, offsets[k]);
    else
      SetVertex(q.v[k], p.pos, p.color, kCornerU[k], kCornerV[k], offsets[k]);
  }
}

// Camera-facing quad turned by the particle's y angle.
inline void PushRotated(uint32_t*& pdwPush, const PARTICLEFULL& p, const EVec2* uv) {
  const float h = p.size * 0.5f;
  const int i = AngleIndex(p.rot.y);
  const float s = gSin[i], c = gCos[i];
  Quad& q = *RendererPushReserve<Quad>(pdwPush);
  for (int k = 0; k < 4; ++k) {
    const float x0 = kCornerX[k] * h, y0 = kCornerY[k] * h;
    const uint32_t off = PackOffset(RoundAway(x0 * c + y0 * s), RoundAway(-x0 * s + y0 * c));
    if (uv)
      SetVertex(q.v[k], p.pos, p.color, uv[k].x, 1.0f - uv[k].y, off);
    else
      SetVertex(q.v[k], p.pos, p.color, kCornerU[k], kCornerV[k], off);
  }
}

// World-space quad with half-axes W (across) and L (along).
inline void PushWorld(uint32_t*& pdwPush, const PARTICLE& p, const EVec3& W, const EVec3& L, const EVec2* uv) {
  const EVec3 corners[4] = {p.pos - W - L, p.pos + W - L, p.pos + W + L, p.pos - W + L};
  Quad& q = *RendererPushReserve<Quad>(pdwPush);
  for (int k = 0; k < 4; ++k) {
    if (uv)
      SetVertex(q.v[k], corners[k], p.color, uv[k].x, 1.0f - uv[k].y, 0);
    else
      SetVertex(q.v[k], corners[k], p.color, kCornerU[k], kCornerV[k], 0);
  }
}

// The turn of (0, 1, 0) onto the direction of motion. A zero velocity
// keeps no turn; straight down is a half turn about x.
EMat4 TurnUpOnto(const EVec3& vVelocity) {
  EVec3 n = vVelocity;
  if (n.Normalize() == 0.0f) return cg_mIdentity;
  const EVec3 up(0.0f, 1.0f, 0.0f);
  EVec3 axis = n.Cross(up);
  const float d = n.Dot(up);
  if (axis.Normalize() < 1.0e-6f) return d > 0.0f ? cg_mIdentity : MatrixRotateX(180.0f);
  const EVec4 axisAngle(axis.x, axis.y, axis.z, ArcCos(d));
  return MatrixRotateEuler(EEuler(axisAngle.AxisAngleToEuler()));
}

// Half width and half length of an oriented quad.
inline void OrientedHalfExtents(float fSize, float fScaleX, float fScaleY, float& w, float& l) {
  const float h = fSize * 0.5f;
  if (fScaleX > 0.0f) {
    w = h * fScaleX;
    l = h * fScaleY;
  } else {
    w = l = h;
  }
}

}  // namespace ParticleQuads

int EParticleManager::QuadSpriteBlocks(int n) {
  return 4 * n <= kVERTS_PER_BLOCK ? 1 : n / kQUADS_PER_BLOCK + 1;
}

unsigned EParticleManager::QuadSpritePushWords(int n) {
  return (unsigned)(7 * 4 * n + QuadSpriteBlocks(n) + 4);
}

void EParticleManager::BeginBlock(int iBlock, int iBlocks, int& iRemaining, int& iQuads, uint32_t*& pdwPush) {
  const int iVerts = iBlock == iBlocks - 1 ? iRemaining : (iRemaining < kVERTS_PER_BLOCK ? iRemaining : kVERTS_PER_BLOCK);
  iRemaining -= iVerts;
  RendererPushHeader(pdwPush, (unsigned)(7 * iVerts));
  if (sm_pfnBlockWatcher) sm_pfnBlockWatcher((unsigned)(7 * iVerts));
  iQuads = iVerts / 4;
}

// The common loop of every writer: blocks of quads, one particle a quad,
// slots wrapping at the emitter's slot count.
#define PARTICLE_QUAD_LOOP(WRITE_ONE)                                \
  uint32_t* pdwPush = pdwPushOut;                                    \
  int iRemaining = iVerts;                                           \
  const int iMax = e->mMaxParticles;                                 \
  for (int b = 0; b < iBlocks; ++b) {                                \
    int iQuads = 0;                                                  \
    BeginBlock(b, iBlocks, iRemaining, iQuads, pdwPush);             \
    for (int q = 0; q < iQuads; ++q, ++iSlot) {                      \
      if (iSlot == iMax) iSlot = 0;                                  \
      WRITE_ONE;                                                     \
    }                                                                \
  } \
  pdwPushOut = pdwPush;

void EParticleManager::DrawNormalQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                             uint32_t*& pdwPushOut) {
  const PARTICLE* pParticles = e->m_pParticles;
  PARTICLE_QUAD_LOOP(ParticleQuads::PushFacing(pdwPush, pParticles[iSlot], nullptr))
}

void EParticleManager::DrawAnimatedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                               uint32_t*& pdwPushOut) {
  const PARTICLEANIM* pParticles = e->m_pAnimParticles;
  PARTICLE_QUAD_LOOP(ParticleQuads::PushFacing(pdwPush, pParticles[iSlot], pParticles[iSlot].uv))
}

void EParticleManager::DrawRotatedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                              uint32_t*& pdwPushOut) {
  const PARTICLEFULL* pParticles = e->m_pFullParticles;
  PARTICLE_QUAD_LOOP(ParticleQuads::PushRotated(pdwPush, pParticles[iSlot], nullptr))
}

void EParticleManager::DrawAnimatedRotatedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                                      uint32_t*& pdwPushOut) {
  const PARTICLEANIM* pParticles = e->m_pAnimParticles;
  PARTICLE_QUAD_LOOP(ParticleQuads::PushRotated(pdwPush, pParticles[iSlot], pParticles[iSlot].uv))
}

namespace ParticleQuads {

// The axes of an oriented quad for the slot's orientation direction.
struct OrientedAxes {
  EVec3 vView, vGravity;
  bool bDistribution, bOriented2;
  float fScaleX, fScaleY;

  void Get(const PARTICLE& p, const EVec3& u, EVec3& W, EVec3& L) const {
    float w, l;
    OrientedHalfExtents(p.size, fScaleX, fScaleY, w, l);
    EVec3 A, R;
    if (bDistribution) {
      A = u;
      R = A.CalculateRightVector(vGravity);
    } else if (bOriented2) {
      EVec3 N = u;
      N.Normalize();
      A = N.CalculateRightVector(vGravity);
      R = A.Cross(N);
    } else {
      A = u;
      A.Normalize();
      R = A.CalculateRightVector(vView);
    }
    L = A * l;
    W = R * w;
  }
};

OrientedAxes MakeOrientedAxes(EParticleEmitterEntity* e, EParticleDistribution* pDistribution, float fScaleX,
                              float fScaleY) {
  OrientedAxes axes;
  ECamera* pCamera = gGameApp ? gGameApp->GetRenderCamera() : nullptr;
  axes.vView = pCamera ? pCamera->GetViewVector() : EVec3(0.0f, 0.0f, 1.0f);
  axes.vGravity = e->GetPhysics() ? e->GetPhysics()->GetUltimateGravityDir() : EVec3(0.0f, -1.0f, 0.0f);
  axes.bDistribution = pDistribution != nullptr;
  axes.bOriented2 = e->GetFlag(kPARTICLEEMITTER_ORIENTED2);
  axes.fScaleX = fScaleX;
  axes.fScaleY = fScaleY;
  return axes;
}

inline EVec3 SlotOrientation(const EVec3* pOrientations, int iSlot) {
  return pOrientations ? pOrientations[iSlot] : EVec3(0.0f, 0.0f, 0.0f);
}

// The half-axes of a rotated oriented quad.
inline void RotatedOrientedAxes(const PARTICLEFULL& p, const EVec3& vVelocity, bool bDistribution, const EVec3& u,
                                float fScaleX, float fScaleY, EVec3& W, EVec3& L) {
  float w, l;
  OrientedHalfExtents(p.size, fScaleX, fScaleY, w, l);
  EVec3 a(1.0f, 0.0f, 0.0f), b(0.0f, 0.0f, 1.0f);
  if (bDistribution) {
    a = u;
    b = u.CalculateRightVector(EVec3(0.0f, 1.0f, 0.0f));
  }
  const EMat4 M = TurnUpOnto(vVelocity)
                      .Mul(MatrixRotateX(p.rot.x))
                      .Mul(MatrixRotateZ(p.rot.z))
                      .Mul(MatrixRotateY(p.rot.y));
  L = M.Mul3Vec3(a) * l;
  W = M.Mul3Vec3(b) * w;
}

}  // namespace ParticleQuads

void EParticleManager::DrawOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                               uint32_t*& pdwPushOut) {
  const ParticleQuads::OrientedAxes axes = ParticleQuads::MakeOrientedAxes(e, e->m_pDistribution, e->m_fScaleX,
                                                                           e->m_fScaleY);
  const PARTICLE* pParticles = e->m_pParticles;
  const EVec3* pOrientations = e->m_pOrientations;
  EVec3 W, L;
  PARTICLE_QUAD_LOOP(axes.Get(pParticles[iSlot], ParticleQuads::SlotOrientation(pOrientations, iSlot), W, L);
                     ParticleQuads::PushWorld(pdwPush, pParticles[iSlot], W, L, nullptr))
}

void EParticleManager::DrawAnimatedOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                                       uint32_t*& pdwPushOut) {
  const ParticleQuads::OrientedAxes axes = ParticleQuads::MakeOrientedAxes(e, e->m_pDistribution, e->m_fScaleX,
                                                                           e->m_fScaleY);
  const PARTICLEANIM* pParticles = e->m_pAnimParticles;
  const EVec3* pOrientations = e->m_pOrientations;
  EVec3 W, L;
  PARTICLE_QUAD_LOOP(axes.Get(pParticles[iSlot], ParticleQuads::SlotOrientation(pOrientations, iSlot), W, L);
                     ParticleQuads::PushWorld(pdwPush, pParticles[iSlot], W, L, pParticles[iSlot].uv))
}

void EParticleManager::DrawRotatedOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts, int iSlot,
                                                      uint32_t*& pdwPushOut) {
  const PARTICLEFULL* pParticles = e->m_pFullParticles;
  const PARTICLEMETAFULL* pMeta = e->m_pFullParticleMeta;
  const EVec3* pOrientations = e->m_pOrientations;
  const bool bDistribution = e->m_pDistribution != nullptr;
  EVec3 W, L;
  PARTICLE_QUAD_LOOP(ParticleQuads::RotatedOrientedAxes(pParticles[iSlot], pMeta[iSlot].vel, bDistribution,
                                                        ParticleQuads::SlotOrientation(pOrientations, iSlot),
                                                        e->m_fScaleX, e->m_fScaleY, W, L);
                     ParticleQuads::PushWorld(pdwPush, pParticles[iSlot], W, L, nullptr))
}

void EParticleManager::DrawAnimatedRotatedOrientedQuadSprites(EParticleEmitterEntity* e, int iBlocks, int iVerts,
                                                              int iSlot, uint32_t*& pdwPushOut) {
  const PARTICLEANIM* pParticles = e->m_pAnimParticles;
  const PARTICLEMETAANIM* pMeta = e->m_pAnimParticleMeta;
  const EVec3* pOrientations = e->m_pOrientations;
  const bool bDistribution = e->m_pDistribution != nullptr;
  EVec3 W, L;
  PARTICLE_QUAD_LOOP(ParticleQuads::RotatedOrientedAxes(pParticles[iSlot], pMeta[iSlot].vel, bDistribution,
                                                        ParticleQuads::SlotOrientation(pOrientations, iSlot),
                                                        e->m_fScaleX, e->m_fScaleY, W, L);
                     ParticleQuads::PushWorld(pdwPush, pParticles[iSlot], W, L, pParticles[iSlot].uv))
}

#undef PARTICLE_QUAD_LOOP

void EParticleManager::DrawQuadSprites(EParticleEmitterEntity* e, int first, int count) {
  if (!e || count <= 0 || !g_pCurrentRenderer) return;
  const int iVerts = 4 * count;
  const int iBlocks = QuadSpriteBlocks(count);
  const uint32_t dwKind = e->m_dwFlags & (kPARTICLEEMITTER_ANIMATED | kPARTICLEEMITTER_ROTATED | kPARTICLEEMITTER_ORIENTED);
  // The records the chosen writer reads; an emitter without them has
  // nothing to draw.
  const bool bAnimated = (dwKind & kPARTICLEEMITTER_ANIMATED) != 0;
  const bool bRotated = (dwKind & kPARTICLEEMITTER_ROTATED) != 0;
  const bool bTurned = bRotated && (dwKind & kPARTICLEEMITTER_ORIENTED);
  if (bAnimated ? (!e->m_pAnimParticles || (bTurned && !e->m_pAnimParticleMeta))
                : bRotated ? (!e->m_pFullParticles || (bTurned && !e->m_pFullParticleMeta)) : !e->m_pParticles)
    return;
  const unsigned dwWords = QuadSpritePushWords(count);
  uint32_t* const pdwBegin = g_pCurrentRenderer->BeginPush(kVBDRAWMODE_QUADLIST, dwWords);
  uint32_t* pdwPush = pdwBegin;
  switch (dwKind) {
    case 0: DrawNormalQuadSprites(e, iBlocks, iVerts, first, pdwPush); break;
    case kPARTICLEEMITTER_ANIMATED: DrawAnimatedQuadSprites(e, iBlocks, iVerts, first, pdwPush); break;
    case kPARTICLEEMITTER_ROTATED: DrawRotatedQuadSprites(e, iBlocks, iVerts, first, pdwPush); break;
    case kPARTICLEEMITTER_ORIENTED: DrawOrientedQuadSprites(e, iBlocks, iVerts, first, pdwPush); break;
    case kPARTICLEEMITTER_ANIMATED | kPARTICLEEMITTER_ROTATED:
      DrawAnimatedRotatedQuadSprites(e, iBlocks, iVerts, first, pdwPush);
      break;
    case kPARTICLEEMITTER_ANIMATED | kPARTICLEEMITTER_ORIENTED:
      DrawAnimatedOrientedQuadSprites(e, iBlocks, iVerts, first, pdwPush);
      break;
    case kPARTICLEEMITTER_ROTATED | kPARTICLEEMITTER_ORIENTED:
      DrawRotatedOrientedQuadSprites(e, iBlocks, iVerts, first, pdwPush);
      break;
    default: DrawAnimatedRotatedOrientedQuadSprites(e, iBlocks, iVerts, first, pdwPush); break;
  }
  if (sm_pfnPushWatcher) sm_pfnPushWatcher(pdwBegin, pdwPush, dwWords);
  g_pCurrentRenderer->EndPush(pdwPush);
}
