// Particle emitters and affectors: the particle records, the emitter entity
// with its settings and its per-frame simulation, the affector entity, and
// the class records of the table and mesh emitters.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "VERirezo/MeshEntity.h"

class EParticleDistribution;
class EParticleAffectorEntity;

// A particle lives in a particle record (read by drawing) and a meta record
// (read by the simulation) at the same slot of two parallel arrays. Each
// comes in three nested variants; an emitter uses one pair for all slots.
struct PARTICLE {
  PARTICLE() : pos(0.0f, 0.0f, 0.0f) {}
  EVec3 pos;       // world space, or emitter space for a relative emitter
  uint32_t color;  // packed
  float size;      // quad edge before the emitter's scale
};
struct PARTICLEFULL : PARTICLE {
  PARTICLEFULL() : rot(0.0f, 0.0f, 0.0f) {}
  EVec3 rot;  // degrees; y is the rotation in the view plane
};
struct PARTICLEANIM : PARTICLEFULL {
  PARTICLEANIM() {
    for (EVec2& v : uv) v = EVec2(0.0f, 0.0f);
  }
  EVec2 uv[4];  // (u, v), (u + w, v), (u + w, v + h), (u, v + h)
};
struct PARTICLEMETA {
  PARTICLEMETA() : vel(0.0f, 0.0f, 0.0f) {}
  EVec3 vel;             // units per second, in the position's space
  uint32_t hTexture;     // the emitter's texture at birth
  float timeRemaining;   // seconds of life left
  uint32_t flags;        // kPARTICLE_NEW
  float invLifetime;     // 1 / full lifetime
};
struct PARTICLEMETAFULL : PARTICLEMETA {
  PARTICLEMETAFULL() : spin(0.0f, 0.0f, 0.0f) {}
  EVec3 spin;  // degrees per second, member for member as the rotation
};
struct PARTICLEMETAANIM : PARTICLEMETAFULL {
  int32_t frame;        // texture-animation cell
  float frameTimeLeft;  // seconds until the next cell
};
enum : uint32_t { kPARTICLE_NEW = 0x1 };

// One key of the colour and size curve over a particle's life.
struct EParticleStage {
  uint32_t color;
  uint32_t colorDelta;  // this colour minus the previous stage's, per channel
  float size;
  float sizeDelta;      // this size minus the previous stage's
  float duration;       // share of the life spent reaching this stage
};

struct EParticleTexAnimInfo {
  int32_t mNumFramesX;
  int32_t mNumFramesY;
  int32_t startFrame;  // -1: a random cell per particle
  int32_t loopFrame;   // the cell after the last one
  float rate;          // cells per second; 0 or less freezes
  float secondsPerCell;
  float cellWidth;
  float cellHeight;
};

enum PARTICLE_EMITTER_FLAGS : uint32_t {
  kPARTICLEEMITTER_ACTIVE = 0x1,
  kPARTICLEEMITTER_APPLYGRAVITY = 0x2,
  kPARTICLEEMITTER_COLLIDEWITHGROUND = 0x4,
  kPARTICLEEMITTER_STARTCOLOR = 0x8,
  kPARTICLEEMITTER_ENDCOLOR = 0x10,
  kPARTICLEEMITTER_ANIMATED = 0x20,
  kPARTICLEEMITTER_STARTOFFSET = 0x40,
  kPARTICLEEMITTER_NOSPREAD = 0x80,
  kPARTICLEEMITTER_RELATIVE = 0x100,
  kPARTICLEEMITTER_FORCE = 0x200,
  kPARTICLEEMITTER_STARTENDSIZE = 0x400,
  kPARTICLEEMITTER_ROTATED = 0x800,
  kPARTICLEEMITTER_NOSTARTROTATION = 0x2000,
  kPARTICLEEMITTER_POINTSPRITE = 0x4000,
  kPARTICLEEMITTER_ORIENTED = 0x8000,
  kPARTICLEEMITTER_ZSPRITE = 0x10000,
  kPARTICLEEMITTER_DEPTHSORT = 0x20000,
  kPARTICLEEMITTER_NOZBUFFER = 0x40000,
  kPARTICLEEMITTER_GLARE = 0x80000,
  kPARTICLEEMITTER_GLARE2 = 0x100000,
  kPARTICLEEMITTER_NOPHYSICS = 0x200000,
  kPARTICLEEMITTER_POSTONLY = 0x400000,
  kPARTICLEEMITTER_ORIENTED2 = 0x800000,
  kPARTICLEEMITTER_GROUNDSTOPROTATION = 0x1000000,
  kPARTICLEEMITTER_COLLIDE2 = 0x2000000,
  kPARTICLEEMITTER_DISTORTION = 0x4000000,
  kPARTICLEEMITTER_LIT = 0x8000000,
  kPARTICLEEMITTER_RELGRAVFORCE = 0x10000000,
  kPARTICLEEMITTER_ALWAYSDRAW = 0x20000000,
};

// Sine and cosine of whole degrees 0 to 360, filled by the first emitter.
extern float gSin[361];
extern float gCos[361];

class EParticleEmitterEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EParticleEmitterEntity)
  friend class EParticleManager;  // reads the records and settings to draw them

public:
  enum : uint8_t { kSTATE_SimulateNext = 0x1, kSTATE_Released = 0x2 };
  enum { kMAX_FRAME_AFFECTORS = 8 };

  EParticleEmitterEntity(EDomain* pDomain, const char* szName);
  ~EParticleEmitterEntity() override;

  void InitEntity(EDomain* pDomain) override;
  void CleanupReferences() override;
  void AttractModeReset() override {}
  void ProcessFrame(float fFrameMS) override;
  void RequestRender() override;
  void RunAffectors() override {}

  virtual void BufferSizeSanityCheck();
  virtual void SetMaxParticles(int n);
  virtual void InitParticleEmitter();
  virtual void ResetParticleEmitter() { killAllParticles(); }
  virtual bool IsLineEmitter() const { return false; }
  virtual bool IsMeshEmitter() const { return false; }
  virtual void Render() {}
  virtual void Update(float dt);
  virtual void DebugDumpInfo();

  // ---- Settings ----
  void SetInitialParticles(int n);
  void SetTexture(uint32_t h) { m_hTexture = h; }
  void SetDepthTexture(uint32_t h) { m_hDepthTexture = h; }
  void SetParticleSpeed(float fMin, float fMax) { m_fMinParticleSpeed = fMin; m_fMaxParticleSpeed = fMax; }
  void SetMinParticlesPerSec(float f) { m_fMinParticlesPerSec = f; }
  void SetMaxParticlesPerSec(float f);
  void SetParticleLifetime(float fMin, float fMax);
  void SetMaxStartOffset(float f);
  void SetConeAngle(float fInner, float fOuter);
  void SetParticleDegreesPerSec(float fMin, float fMax, bool bNoStartRotation);
  void SetParticle3DDegreesPerSec(const EVec3& vMin, const EVec3& vMax, bool bNoStartRotation);
  void SetParticleForce(float x, float y, float z);
  void SetParticleBounceFactor(float f) { m_fBounceFactor = f; }
  void SetParticleBlendMode(int eMode) { m_eBlendMode = eMode; }
  void SetMaterialColor(const EVec4& v) { m_vMaterialColor = v; }
  void SetSortBuddy(EMeshEntity* pEntity, bool) { m_pSortBuddy = pEntity; }
  void SetDistribution(EParticleDistribution* pDist) { m_pDistribution = pDist; }
  void ReleaseDistribution();
  void SetScale(float x, float y);
  void SetActive(bool bActive);
  void SetStartColor(float r, float g, float b, float a);
  void SetEndColor(float r, float g, float b, float a);
  void SetStartAlpha(float a);
  void SetEndAlpha(float a);
  void SetParticleStartSize(float fMin, float fMax);
  void SetParticleStartEndSize(float fStart, float fEnd);
  void SetNumStages(unsigned n);
  void SetActiveStage(unsigned i);
  void SetParticleStageSize(float fSize);
  void SetStageDuration(float fDuration);
  void SetTexAnimInfo2D(int cellsX, int cellsY, int startFrame, int loopFrame, float rate, bool bResetLive);
  void SetTexAnimInfo(int frames, int startFrame, int loopFrame, float rate, bool bResetLive) {
    SetTexAnimInfo2D(frames, 1, startFrame, loopFrame, rate, bResetLive);
  }
  void SetFlag(uint32_t dwBits) { m_dwFlags |= dwBits; }
  void UnsetFlag(uint32_t dwBits) { m_dwFlags &= ~dwBits; }
  bool GetFlag(uint32_t dwBits) const { return (m_dwFlags & dwBits) != 0; }
  uint32_t GetFlags() const { return m_dwFlags; }
  void ReallocateParticles();
  void killAllParticles() { mNumActiveParticles = mFirstActiveParticle = 0; m_fParticlesToEmit = 0.0f; }

  // ---- Readers ----
  void GetTexAnimInfo(int& frames, int& startFrame, int& loopFrame, float& rate) const;
  const EParticleTexAnimInfo* GetTexAnimRecord() const { return m_pTexAnimInfo; }
  int GetMaxParticles() const { return (m_byState & kSTATE_Released) ? 0 : mMaxParticles; }
  int GetNumActiveParticles() const { return mNumActiveParticles; }
  int GetFirstActiveParticle() const { return mFirstActiveParticle; }
  float GetParticlesToEmit() const { return m_fParticlesToEmit; }
  uint32_t GetTexture() const { return m_hTexture; }
  uint32_t GetDepthTexture() const { return m_hDepthTexture; }
  float GetMinConeAngle() const { return m_fMinConeAngle; }
  float GetMaxConeAngle() const { return m_fMaxConeAngle; }
  float GetMaxStartOffset() const { return m_fMaxStartOffset; }
  float GetMinParticleSpeed() const { return m_fMinParticleSpeed; }
  float GetMaxParticleSpeed() const { return m_fMaxParticleSpeed; }
  float GetParticleMinSize() const { return m_fParticleMinSize; }
  float GetParticleMaxSize() const { return m_fParticleMaxSize; }
  float GetParticleStartSize() const { return m_fParticleStartSize; }
  float GetParticleEndSize() const { return m_fParticleEndSize; }
  float GetMinParticlesPerSec() const { return m_fMinParticlesPerSec; }
  float GetMaxParticlesPerSec() const { return m_fMaxParticlesPerSec; }
  float GetMinParticleLifetime() const { return m_fMinParticleLifetime; }
  float GetMaxParticleLifetime() const { return m_fMaxParticleLifetime; }
  float GetMinParticleDegreesPerSec() const { return m_vMinDegreesPerSec.y; }
  float GetMaxParticleDegreesPerSec() const { return m_vMaxDegreesPerSec.y; }
  const EVec3& GetParticleForce() const { return m_vParticleForce; }
  int GetParticleBlendMode() const { return m_eBlendMode; }
  const EVec4& GetMaterialColor() const { return m_vMaterialColor; }
  EParticleDistribution* GetDistribution() const { return m_pDistribution; }
  EMeshEntity* GetSortBuddy() const { return m_pSortBuddy; }
  void GetScale(float& x, float& y) const { x = m_fScaleX; y = m_fScaleY; }
  bool GetActive() const { return GetFlag(kPARTICLEEMITTER_ACTIVE); }
  EVec4 GetStartColor() const;
  EVec4 GetEndColor() const;
  uint32_t GetStartColorPacked() const { return m_dwStartColor; }
  uint32_t GetEndColorPacked() const { return m_dwEndColor; }
  uint32_t GetColorDelta() const { return m_dwColorDelta; }
  float GetBounceFactor() const { return m_fBounceFactor; }
  float GetGroundHeight() const { return m_fGroundHeight; }
  void SetGroundHeight(float f) { m_fGroundHeight = f; }
  const EArray<EParticleStage>& GetStages() const { return m_aStages; }
  unsigned GetActiveStage() const { return m_nActiveStage; }
  uint8_t GetState() const { return m_byState; }
  const EBox3& GetBox() const { return m_Box; }
  int GetDeferredMaxParticles() const { return m_nDeferredMaxParticles; }
  float GetNextLazyUpdate() const { return m_fNextLazyUpdate; }

  // The slot's records as base types, and the orientation (null unless
  // oriented); the three variant arrays (null unless in use).
  PARTICLE* GetParticle(int iSlot) { return (PARTICLE*)(m_pSlotBase + (size_t)iSlot * m_uSlotStride); }
  PARTICLEMETA* GetParticleMeta(int iSlot) { return (PARTICLEMETA*)(m_pMetaBase + (size_t)iSlot * m_uMetaStride); }
  EVec3* GetOrientation(int iSlot) { return m_pOrientations ? &m_pOrientations[iSlot] : nullptr; }
  PARTICLE* GetNormalParticles() { return m_pParticles; }
  PARTICLEFULL* GetFullParticles() { return m_pFullParticles; }
  PARTICLEANIM* GetAnimParticles() { return m_pAnimParticles; }
  PARTICLEMETAANIM* GetAnimParticleMeta() { return m_pAnimParticleMeta; }

  // ---- Simulation ----
  void WakeUp(bool bSimulateNextFrame);
  bool activateParticle(PARTICLE*& pParticle, PARTICLEMETA*& pMeta);
  void deactivateParticle(PARTICLE* pParticle, PARTICLEMETA* pMeta, EVec3* pOrientation);
  void InitParticle(PARTICLE* pParticle, PARTICLEMETA* pMeta, bool& bBoxStarted, EVec3* pOrientation, const EVec3& vUp);
  void UpdateParticlePhysics(float dt, PARTICLE* pParticle, PARTICLEMETA* pMeta, EVec3* pOrientation, const EMat4& W,
                             const EMat4& WInv, const EVec3& vUp);
  void UpdateParticleRendering(float dt, PARTICLE* pParticle, PARTICLEMETA* pMeta);
  void UpdateParticleLifetime(float dt, PARTICLE* pParticle, PARTICLEMETA* pMeta, EVec3* pOrientation);
  void UpdateBoundingBox(PARTICLE* pParticle, bool& bBoxStarted);
  void setParticleFrame(int iCell, EVec2* pCoords);
  EBox3 GetAbsAdjustedBoundingBox();
  float CalcVisibility(const EBox3& box);
  void EstimateBoundingBox();
  float GetAggregateMaxParticleSize() const;
  void AgeParticles(float fFraction);
  void CropFrames(int n);
  void AttachChildEmitter(EParticleEmitterEntity* pChild);
  void DetachChildEmitter(EParticleEmitterEntity* pChild);
  void DetachFromParentEmitter();
  EParticleEmitterEntity* GetParentEmitter() const { return m_pParentEmitter; }
  const EArray<EParticleEmitterEntity*>& GetChildEmitters() const { return m_aChildEmitters; }
  void sortParticleVertsByDepth();
  void sortFullParticleVertsByDepth();
  void sortAnimParticleVertsByDepth();

  // ---- Affector list (slot 0 primary, slot 1 secondary; slots may be empty) ----
  int AddParticleAffector(EParticleAffectorEntity* pAffector);
  void setParticleAffector(unsigned iSlot, EParticleAffectorEntity* pAffector);
  void setPrimaryParticleAffector(EParticleAffectorEntity* pAffector);
  void setSecondaryParticleAffector(EParticleAffectorEntity* pAffector);
  const EArray<EParticleAffectorEntity*>& GetAffectors() const { return m_aAffectors; }

  // The affectors taken into the current particle pass, and the view the
  // depth sort measures from.
  static EParticleAffectorEntity* s_apFrameAffectors[kMAX_FRAME_AFFECTORS];
  static int s_nFrameAffectors;
  static EVec3 s_vSortEye;
  static EVec3 s_vSortView;
  // Fills the frame affector list from this emitter's list for the box.
  void GatherFrameAffectors(const EBox3& box);

  int32_t m_nQueuedFrame;

protected:
  void FreeSlots();
  void GatherForSort();
  float LargestParticleSize() const;
  bool HasFullRecords() const { return m_pFullParticles || m_pAnimParticles; }
  bool HasAnimRecords() const { return m_pAnimParticles != nullptr; }
  // A new lifetime drawn from the range: never 0, negated when negative.
  float DrawLifetime();

  PARTICLE* m_pParticles;
  PARTICLEFULL* m_pFullParticles;
  PARTICLEANIM* m_pAnimParticles;
  PARTICLEMETA* m_pParticleMeta;
  PARTICLEMETAFULL* m_pFullParticleMeta;
  PARTICLEMETAANIM* m_pAnimParticleMeta;
  EVec3* m_pOrientations;
  EArray<EParticleStage> m_aStages;
  uint32_t m_nActiveStage;
  EVec3 m_vLastPosition;
  int32_t mMaxParticles;
  int32_t mNumActiveParticles;
  int32_t mFirstActiveParticle;
  float m_fParticlesToEmit;
  uint32_t m_hTexture;
  uint32_t m_hDepthTexture;
  EParticleTexAnimInfo* m_pTexAnimInfo;
  float m_fMinConeAngle;
  float m_fMaxConeAngle;
  float m_fMaxStartOffset;
  float m_fMinParticleSpeed;
  float m_fMaxParticleSpeed;
  float m_fParticleMinSize;
  float m_fParticleMaxSize;
  float m_fParticleStartSize;
  float m_fParticleEndSize;
  float m_fParticleSizeDelta;
  uint32_t m_dwStartColor;
  uint32_t m_dwEndColor;
  uint32_t m_dwColorDelta;
  float m_fMinParticlesPerSec;
  float m_fMaxParticlesPerSec;
  float m_fMinParticleLifetime;
  float m_fMaxParticleLifetime;
  EVec3 m_vMinDegreesPerSec;
  EVec3 m_vMaxDegreesPerSec;
  uint32_t m_dwFlags;
  uint8_t m_byState;
  int m_eBlendMode;
  float m_fGroundHeight;
  float m_fBounceFactor;
  float m_fNextLazyUpdate;
  EBox3 m_Box;
  EParticleDistribution* m_pDistribution;
  EVec3 m_vParticleForce;
  float m_fScaleX;
  float m_fScaleY;
  EVec4 m_vMaterialColor;
  EArray<EParticleAffectorEntity*> m_aAffectors;
  EParticleEmitterEntity* m_pParentEmitter;
  EArray<EParticleEmitterEntity*> m_aChildEmitters;
  EMeshEntity* m_pSortBuddy;
  int32_t m_nDeferredMaxParticles;

  // Slot addressing of the variant in use.
  uint8_t* m_pSlotBase;
  uint8_t* m_pMetaBase;
  size_t m_uSlotStride;
  size_t m_uMetaStride;
  bool m_bCounted;  // counted in the manager's emitter total
};

enum PARTICLE_AFFECTOR_FLAGS : uint32_t {
  kPARTICLEAFFECTOR_SPHERE = 0x1,
  kPARTICLEAFFECTOR_CYLINDER = 0x2,
  kPARTICLEDEFLECTOR_SPHERE = 0x8,
  kPARTICLEDEFLECTOR_CYLINDER = 0x10,
  kPARTICLEAFFECTOR_VELOCITY = 0x10000,
  kPARTICLEAFFECTOR_INVERSE = 0x20000,
  kPARTICLEAFFECTOR_DRAG = 0x40000,
  kPARTICLEAFFECTOR_FALLOFF = 0x80000,
  kPARTICLEAFFECTOR_INVFALLOFF = 0x100000,
  kPARTICLEAFFECTOR_TURBULENCE = 0x200000,
  kPARTICLEAFFECTOR_NOMERCY = 0x400000,
};

class EParticleAffectorEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EParticleAffectorEntity)
public:
  EParticleAffectorEntity(EDomain* pDomain, const char* szName);

  void InitEntity(EDomain* pDomain) override;
  void ProcessFrame(float fFrameMS) override;
  void RequestRender() override;
  void RunAffectors() override {}
  virtual void Update(float) {}

  // Whether the affector's reach sphere touches the emitter's box.
  bool Intersects(const EBox3& box) const;
  void set(uint32_t dwFlags, float r1, float r2, float fStrength, float fTangential, float fAxial);
  // Radii with their squares and inverse squares.
  void SetRadii(float r1, float r2);
  bool GetActive() const { return m_bActive; }
  void SetActive(bool bActive) { m_bActive = bActive; }
  uint32_t GetFlags() const { return m_dwFlags; }
  void SetFlags(uint32_t dwFlags) { m_dwFlags = dwFlags; }
  void SetAxis(const EVec3& v) { m_vAxis = v; }
  void SetTurbulence(const EVec3& v) { m_vTurbulence = v; }
  void SetStrengths(float fStrength, float fTangential, float fAxial) {
    m_fStrength = fStrength; m_fTangentialStrength = fTangential; m_fAxialStrength = fAxial;
  }

  static EVec4 m_vDebugRenderColor;

  uint32_t m_dwFlags;
  EVec3 m_vAxis;
  float m_fStrength;
  float m_fAxialStrength;
  float m_fTangentialStrength;
  float m_fRadius1;
  float m_fRadius2;
  float m_fRadius1Sq;
  float m_fRadius2Sq;
  float m_fInvRadius1Sq;
  float m_fInvRadius2Sq;
  EVec3 m_vTurbulence;
  bool m_bActive;
};

class ETableEmitterEntity : public EEntity {
  DECLARE_ENTITY_CLASS(ETableEmitterEntity)
public:
  ETableEmitterEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName) {}
  void RequestRender() override {}
  void RunAffectors() override {}
};

class EMeshEmitterEntity : public EParticleEmitterEntity {
  DECLARE_ENTITY_CLASS(EMeshEmitterEntity)
public:
  EMeshEmitterEntity(EDomain* pDomain, const char* szName) : EParticleEmitterEntity(pDomain, szName) {}
  bool IsMeshEmitter() const override { return true; }
};

// Made only by a mesh emitter, through its own record.
class EMeshEmitterMeshEntity : public EMeshEntity {
  DECLARE_ENTITY_CLASS(EMeshEmitterMeshEntity)
public:
  EMeshEmitterMeshEntity(EDomain* pDomain, const char* szName) : EMeshEntity(pDomain, szName) {}
};
