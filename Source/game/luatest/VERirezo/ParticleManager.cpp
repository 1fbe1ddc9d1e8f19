#include "VERirezo/ParticleManager.h"

#include <cstring>

#include "DebugServer/TWConsole.h"
#include "Game/Camera.h"
#include "Game/GameApp.h"
#include "TWGraphics/Color.h"
#include "TWGraphics/Rect.h"
#include "TWMath/Intersect.h"
#include "TWMath/Primitives.h"
#include "TWUtil/EMemStack.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/EntityManager.h"
#include "VERirezo/ParticleEmitterEntity.h"
#include "VERirezo/ParticleRenderHooks.h"
#include "VERirezo/Physics.h"
#include "VERirezo/TextureManager.h"

int EParticleManager::m_iNumEmitters = 0;
int EParticleManager::m_iNumNormalParticles = 0;
int EParticleManager::m_iNumFullParticles = 0;
int EParticleManager::m_iNumAnimatedParticles = 0;
int EParticleManager::m_iNumLineParticles = 0;
int EParticleManager::m_iNumSimulatedEmitters = 0;
int EParticleManager::m_iEmptySimulatedEmitters = 0;
int EParticleManager::m_iNumSimulatedParticles = 0;
int EParticleManager::m_iNumNotSimulatedEmitters = 0;
int EParticleManager::m_iNumNotSimulatedParticles = 0;
int EParticleManager::m_iNumDrawnEmitters = 0;
int EParticleManager::m_iNumNotDrawnEmitters = 0;
EParticleEmitterEntity* EParticleManager::sm_pDisplayEmitter = nullptr;
EParticleManager* EParticleManager::sm_pActive = nullptr;
void (*EParticleManager::sm_pfnBlockWatcher)(unsigned) = nullptr;
void (*EParticleManager::sm_pfnPushWatcher)(const uint32_t*, const uint32_t*, unsigned) = nullptr;

namespace ParticleDraw {

// Depth of an emitter's entry that has nothing left to draw.
const float kDoneDepth = -1000000000.0f;

int FrameNumber() { return gGameApp ? gGameApp->m_iFrameCount : 0; }

ECamera* Camera() { return gGameApp ? gGameApp->GetRenderCamera() : nullptr; }

EVec3 CameraPosition() {
  ECamera* pCamera = Camera();
  return pCamera ? pCamera->GetPosition() : EVec3(0.0f, 0.0f, 0.0f);
}

bool Wireframe() { return g_ParticleRenderHooks.pfnShowWireframe(); }

// The scene's fog as a packed colour; false without fog or in the sky box.
bool SceneFog(uint32_t& dwColor) {
  EVec4 vFog;
  if (!g_ParticleRenderHooks.pfnGetSceneFog(vFog) || g_ParticleRenderHooks.pfnGetRenderDomain() == 1) return false;
  dwColor = ColorVectorToRGBA(EVec4(vFog.x, vFog.y, vFog.z, 1.0f));
  return true;
}

float DistanceTo(const EBox3& box, const EVec3& c) { return (box.NearestPosition(c) - c).Length(); }

// One emitter in a merge of a parent with its children.
struct MergeEntry {
  float depth;
  int next;   // slot of the next particle to draw
  int drawn;  // particles drawn so far
  EParticleEmitterEntity* pEmitter;
};

void SortMergeEntries(MergeEntry* p, int n) {
  for (int i = 1; i < n; ++i) {
    MergeEntry taken = p[i];
    int j = i;
    for (; j > 0 && p[j - 1].depth < taken.depth; --j) p[j] = p[j - 1];
    p[j] = taken;
  }
}

}  // namespace ParticleDraw

EParticleManager::EParticleManager()
    : m_pEmitterArray(nullptr), m_pSortedEmitters(nullptr), m_iNumActiveEmitters(0), m_pParticleArray(nullptr),
      m_iParticleArraySize(0), m_iFrameParticleCount(0), m_iActiveParticleCount(0), m_bDroppedThisFrame(false) {
  m_RenderState.Reset();
}

EParticleManager::~EParticleManager() {
  Shutdown();
  free(m_pSortedEmitters);
  delete m_pEmitterArray;
  if (sm_pActive == this) sm_pActive = nullptr;
}

void EParticleManager::Init() {
  EASSERT(m_pParticleArray == 0);
  if (!m_pEmitterArray) m_pEmitterArray = new EDataArray<EParticleAssembly>("Particle Emitters", kMAX_EMITTERS, 0, kMEMTYPE_Particle);
  if (!m_pSortedEmitters) m_pSortedEmitters = static_cast<EDataId*>(calloc(kMAX_EMITTERS, sizeof(EDataId)));
  EASSERT(m_pSortedEmitters);
  m_iNumActiveEmitters = 0;
  m_iFrameParticleCount = 0;
  m_iActiveParticleCount = 0;
  m_pParticleArray = new PARTICLE[kPARTICLE_ARRAY_SIZE];
  m_iParticleArraySize = kPARTICLE_ARRAY_SIZE;
  sm_pActive = this;
}

void EParticleManager::Shutdown() {
  delete[] m_pParticleArray;
  m_pParticleArray = nullptr;
}

void EParticleManager::ResetFrame() {
  if (m_pEmitterArray) m_pEmitterArray->DeleteAll();
  m_iFrameParticleCount = 0;
  m_iNumActiveEmitters = 0;
  m_bDroppedThisFrame = false;
  m_iNumSimulatedEmitters = 0;
  m_iEmptySimulatedEmitters = 0;
  m_iNumNotSimulatedEmitters = 0;
  m_iNumSimulatedParticles = 0;
  m_iNumNotSimulatedParticles = 0;
}

void EParticleManager::AddEmitter(EParticleEmitterEntity* pEmitter) {
  if (!pEmitter) return;
  if (sm_pActive && sm_pActive->m_pEmitterArray) {
    sm_pActive->Submit(pEmitter);
    return;
  }
  // Without a manager the emitter is only marked as queued for the frame.
  pEmitter->m_nQueuedFrame = ParticleDraw::FrameNumber();
}

void EParticleManager::Submit(EParticleEmitterEntity* pEmitter) {
  if (gGameApp && (!gGameApp->m_DebugHooks.ShowParticles || !gGameApp->m_DebugHooks.IsNormalCollisionDisplay()))
    return;
  if (pEmitter->mNumActiveParticles <= 0) return;
  const EDataId id = m_pEmitterArray->ElementNew();
  if (!id) {
    // The pool never grows: the emitters beyond it are not drawn this frame.
    if (!m_bDroppedThisFrame)
      g_ErrorManager.TraceMessagef(TT_Warning, "Too many particle emitters this frame (%d): '%s' and later ones dropped\n",
                                   (int)kMAX_EMITTERS, pEmitter->GetName());
    m_bDroppedThisFrame = true;
    return;
  }
  m_pEmitterArray->ElementGet(id)->m_pEmitter = pEmitter;
  if (pEmitter->GetFlag(kPARTICLEEMITTER_GLARE)) g_ParticleRenderHooks.pfnRequestGlarePass();
  m_iFrameParticleCount += pEmitter->mNumActiveParticles;
  pEmitter->m_nQueuedFrame = ParticleDraw::FrameNumber();
}

bool EParticleManager::SortPredicate(EParticleAssembly* pL, EParticleAssembly* pR) {
  const bool bPostL = pL->m_pEmitter->GetFlag(kPARTICLEEMITTER_POSTONLY);
  const bool bPostR = pR->m_pEmitter->GetFlag(kPARTICLEEMITTER_POSTONLY);
  if (bPostL && !bPostR) return true;
  if (bPostR && !bPostL) return false;
  return pR->m_fSortDistance > pL->m_fSortDistance;
}

void EParticleManager::PreprocessAll() {
  m_iNumActiveEmitters = 0;
  if (!m_pEmitterArray || m_iFrameParticleCount == 0) return;
  const EVec3 c = ParticleDraw::CameraPosition();
  ESphere sphere;
  const bool bSphere = g_ParticleRenderHooks.pfnGetSortingSphere(sphere);
  const bool bCameraInSphere = bSphere && TWMath::TestIntersection(c, sphere);
  for (int i = 0; i <= m_pEmitterArray->GetHighestUsed(); ++i) {
    EParticleAssembly& a = (*m_pEmitterArray)[i];
    if (!a.m_id || !a.m_pEmitter || a.m_pEmitter->mNumActiveParticles <= 0) continue;
    EParticleEmitterEntity* e = a.m_pEmitter;
    m_pSortedEmitters[m_iNumActiveEmitters++] = a.m_id;
    const EVec3 p = e->GetAbsAdjustedBoundingBox().NearestPosition(c);
    float d = (p - c).Length();
    EBox3 buddyBox;
    if (e->GetSortBuddy() && g_ParticleRenderHooks.pfnGetMeshBox(e->GetSortBuddy(), buddyBox)) {
      const float b = ParticleDraw::DistanceTo(buddyBox, c);
      if (d >= b) d = b - 1.0f;
    }
    if (e->GetFlag(kPARTICLEEMITTER_DISTORTION) && !g_ParticleRenderHooks.pfnTestFixedBackground())
      g_ParticleRenderHooks.pfnRequestDistortionPass();
    if (bSphere && TWMath::TestIntersection(p, sphere) == bCameraInSphere) d -= 100000.0f;
    a.m_fSortDistance = d;
  }
  m_pEmitterArray->SortIndexArray(m_pSortedEmitters, m_iNumActiveEmitters, SortPredicate);
}

int EParticleManager::FindFirstPostEmitter() const {
  for (int i = 0; i < m_iNumActiveEmitters; ++i) {
    const EParticleAssembly* a = m_pEmitterArray->ElementGet(m_pSortedEmitters[i]);
    if (a && a->m_pEmitter->GetFlag(kPARTICLEEMITTER_POSTONLY)) return i;
  }
  return -1;
}

void EParticleManager::StartRender() {
  m_iActiveParticleCount = m_iFrameParticleCount;
  if (ParticleDraw::Wireframe()) return;
  m_RenderState.Reset();
  m_RenderState.m_eBlendMode = kBLENDMODE_ALPHA_BLEND;
  m_RenderState.m_eShadeMode = kSHADE_GOURAUD;
  m_RenderState.m_bZEnable = true;
  m_RenderState.m_bZWriteEnable = false;
  m_RenderState.m_bPointSprites = false;
  m_RenderState.m_eCullMode = kCULL_NONE;
  uint32_t dwFog = 0;
  m_RenderState.m_bFogEnable = ParticleDraw::SceneFog(dwFog);
  if (m_RenderState.m_bFogEnable) m_RenderState.m_dwFogColor = dwFog;
  m_aTextureStages[0] = ETextureStageState();
  for (int i = 1; i < 4; ++i) {
    m_aTextureStages[i] = ETextureStageState();
    m_aTextureStages[i].m_hTexture = 0;  // the z-sprite depth texture, never made
    m_aTextureStages[i].m_eColorOp = 3;
    m_aTextureStages[i].m_eColorArg1 = 2;
    m_aTextureStages[i].m_eAlphaOp = 1;
  }
}

void EParticleManager::SetRenderState(EParticleEmitterEntity* e) {
  const EParticleRenderHooks& h = g_ParticleRenderHooks;
  if (e->GetFlag(kPARTICLEEMITTER_RELATIVE) && e->GetPhysics()) {
    const EMat4& m = e->GetPhysics()->GetAbsTrans();
    h.pfnSetModelToWorld(m);
    h.pfnSetWorldToModel(m.Inverse());
  } else {
    h.pfnSetModelToWorld(cg_mIdentity);
    h.pfnSetWorldToModel(cg_mIdentity);
  }
  m_RenderState.m_eBlendMode = (BLENDMODE)e->m_eBlendMode;
  uint32_t dwFog = 0;
  m_RenderState.m_bFogEnable = e->m_eBlendMode != kBLENDMODE_ADD_ALPHA && ParticleDraw::SceneFog(dwFog);
  if (m_RenderState.m_bFogEnable) m_RenderState.m_dwFogColor = dwFog;
  EVec4 k = e->m_vMaterialColor;
  const EBox3 box = e->GetAbsAdjustedBoundingBox();
  if (!e->GetFlag(kPARTICLEEMITTER_ALWAYSDRAW)) k.w = e->CalcVisibility(box);
  m_RenderState.m_bZEnable = !e->GetFlag(kPARTICLEEMITTER_NOZBUFFER);
  const bool bWire = ParticleDraw::Wireframe();
  m_RenderState.m_eFillMode = bWire && h.pfnGetRenderMode() == 0 ? kFILL_WIREFRAME : kFILL_SOLID;
  m_RenderState.m_bAlphaTestEnable = true;
  // The state is applied only on a renderer with a device.
  ERenderer* r = g_pCurrentRenderer && g_pCurrentRenderer->GetGLRenderer() ? g_pCurrentRenderer : nullptr;
  if (r) r->SetRenderState(&m_RenderState);
  if (e->GetFlag(kPARTICLEEMITTER_LIT)) {
    const EVec3 irr = h.pfnGetCombinedIrradiance(box) * 0.75f;
    const float f[3] = {irr.x, irr.y, irr.z};
    float g[3];
    for (int i = 0; i < 3; ++i) g[i] = f[i] < 0.0f ? 0.0f : (f[i] > 1.0f ? 1.0f : f[i]);
    k.x *= g[0];
    k.y *= g[1];
    k.z *= g[2];
  }
  h.pfnSetShaderParticleBillboard(e->m_fScaleX, e->m_fScaleY, k);
  if (bWire || h.pfnDebugLights()) {
    m_aTextureStages[0].m_hTexture = h.pfnGetDebugTexture();
  } else {
    EGameTextureManager* pTextures = gGameApp ? gGameApp->GetGameTextureManager() : nullptr;
    m_aTextureStages[0].m_hTexture = pTextures ? pTextures->GetTextureHandle(e->m_hTexture) : 0;
  }
  if (r) r->SetTextureStages(m_aTextureStages, 1);
}

void EParticleManager::DrawEmitter(int iIndex) {
  if (iIndex < 0 || iIndex >= m_iNumActiveEmitters) return;
  EParticleAssembly* a = m_pEmitterArray->ElementGet(m_pSortedEmitters[iIndex]);
  if (a && a->m_pEmitter) DrawEmitter(a->m_pEmitter, true);
}

void EParticleManager::DrawEmitter(EParticleEmitterEntity* e, bool bInterleave) {
  ERenderProfileZone zone("Draw Particle Emitter", EVec4(1.0f, 1.0f, 0.0f, 1.0f));
  e->Render();
  const EParticleRenderHooks& h = g_ParticleRenderHooks;
  ERenderer* r = g_pCurrentRenderer && g_pCurrentRenderer->GetGLRenderer() ? g_pCurrentRenderer : nullptr;
  const HTEXTURE hImage = r ? r->GetRenderTargetImage() : 0;
  const HTEXTURE hDepth = r ? r->GetRenderTargetDepth() : 0;
  const bool bDistort =
      e->GetFlag(kPARTICLEEMITTER_DISTORTION) && !ParticleDraw::Wireframe() && !h.pfnTestFixedBackground();
  if (bDistort && r) {
    r->SetRenderTarget(h.pfnGetScreenImageTexture(), h.pfnGetScreenDepthTexture(), kCUBEMAP_POSITIVE_X);
    r->ClearRenderTarget(EVec4(0.5f, 0.5f, 1.0f, 0.0f), true, false, false, 1.0f);
  }
  if (bInterleave && e->m_aChildEmitters.Num() > 0) {
    InterleaveEmitters(e);
  } else {
    SetRenderState(e);
    DrawQuadSprites(e, e->mFirstActiveParticle, e->mNumActiveParticles);
  }
  if (bDistort) {
    ERect rect;
    h.pfnCalculateScreenRect(ParticleDraw::Camera(), e->GetAbsAdjustedBoundingBox(), rect);
    h.pfnApplyDistortionToScreen(12, 10.0f, EVec3(1.0f, 1.0f, 1.0f), rect);
    if (r) r->SetRenderTarget(hImage, hDepth, kCUBEMAP_POSITIVE_X);
  }
}

void EParticleManager::InterleaveEmitters(EParticleEmitterEntity* e) {
  using ParticleDraw::MergeEntry;
  ECamera* pCamera = ParticleDraw::Camera();
  const EVec3 c = ParticleDraw::CameraPosition();
  const EVec3 v = pCamera ? pCamera->GetViewVector() : EVec3(0.0f, 0.0f, 1.0f);
  // Depth of the particle in a slot, the ring wrapped as the writers wrap it.
  auto depthAt = [&](EParticleEmitterEntity* em, int iSlot) {
    return v.Dot(em->GetParticle(iSlot % em->mMaxParticles)->pos - c);
  };
  EMemStack& stack = *GetThreadLocalStack();
  EMemMark mark(stack);
  const int iCapacity = e->m_aChildEmitters.Num() + 1;
  MergeEntry* entries = reinterpret_cast<MergeEntry*>(stack.Push((unsigned)(sizeof(MergeEntry) * (size_t)iCapacity)));
  int n = 0;
  auto add = [&](EParticleEmitterEntity* em) {
    if (!em || em->mNumActiveParticles <= 0 || em->mMaxParticles <= 0 || !em->m_pSlotBase) return;
    MergeEntry& m = entries[n++];
    m.next = em->mFirstActiveParticle % em->mMaxParticles;
    m.drawn = 0;
    m.pEmitter = em;
    m.depth = depthAt(em, m.next);
  };
  for (int i = 0; i < e->m_aChildEmitters.Num(); ++i) add(e->m_aChildEmitters[i]);
  add(e);
  ParticleDraw::SortMergeEntries(entries, n);
  while (n > 0 && entries[0].depth > ParticleDraw::kDoneDepth) {
    MergeEntry& f = entries[0];
    EParticleEmitterEntity* em = f.pEmitter;
    const int live = em->mNumActiveParticles;
    int run = 1;
    if (n < 2) {
      run = live - f.drawn;
    } else {
      while (f.drawn + run < live && depthAt(em, f.next + run) > entries[1].depth) ++run;
    }
    SetRenderState(em);
    DrawQuadSprites(em, f.next, run);
    f.next = (f.next + run) % em->mMaxParticles;
    f.drawn += run;
    f.depth = f.drawn >= live ? ParticleDraw::kDoneDepth : depthAt(em, f.next);
    ParticleDraw::SortMergeEntries(entries, n);
  }
}

void EParticleManager::DrawAll() {
  EASSERT(0);
  abort();
}

unsigned EParticleManager::GetMemUsage() {
  return (unsigned)(m_iNumNormalParticles * sizeof(PARTICLE) + m_iNumFullParticles * sizeof(PARTICLEFULL) +
                    m_iNumAnimatedParticles * sizeof(PARTICLEANIM));
}

void EParticleManager::DebugDumpParticles(bool bLineEmittersOnly, bool bOnlyWithParticles) {
  SingletonTWConsole::AddStringf("Num emitters = %d\n", m_iNumEmitters);
  SingletonTWConsole::AddStringf("Allocations");
  SingletonTWConsole::AddStringf("===========");
  SingletonTWConsole::AddStringf("\tNormal particles = %d (%d line)", m_iNumNormalParticles, m_iNumLineParticles);
  SingletonTWConsole::AddStringf("\tRotated particles = %d", m_iNumFullParticles);
  SingletonTWConsole::AddStringf("\tAnimated particles = %d\n", m_iNumAnimatedParticles);
  SingletonTWConsole::AddStringf("Total mem usage = %.2f MB", GetMemUsage() / 1048576.0);
  EDomain* pDomain = gGameApp ? gGameApp->m_pMainDomain : nullptr;
  if (!pDomain) return;
  for (EEntityIter it(pDomain, true); it; ++it) {
    EEntity* pEntity = *it;
    if (!pEntity || !pEntity->IsA(EParticleEmitterEntity::StaticClass())) continue;
    EParticleEmitterEntity* e = static_cast<EParticleEmitterEntity*>(pEntity);
    if (bLineEmittersOnly && !e->IsLineEmitter()) continue;
    if (bOnlyWithParticles && e->GetNumActiveParticles() <= 0) continue;
    e->DebugDumpInfo();
  }
}

bool EParticleManager::StaticCleanupReferences() {
  if (sm_pDisplayEmitter && sm_pDisplayEmitter->IsDead()) {
    sm_pDisplayEmitter = nullptr;
    return true;
  }
  return false;
}
