// Entities: the game objects that live in domains. Every entity class has
// one static class record through which entities are created by type
// number or by name and tested for their class.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class ECollide;
class EHitResult;
class ECollisionManager;
class EDomain;
class EDynamicCacheFile;
class EEntity;
class ELineCollision;
class EPhysics;
class EScriptObject;
class ESkelAnim;
class ESplineController;
struct EEntityInitData;
struct EEventAnimDesc;
class EMat4;
class ESeg3;
class ESphere;

// Entity type numbers; -2 marks a class found by name only.
enum EntityType : int32_t {
  EntityType_NameOnly = -2,
  EntityType_None = -1,
  EntityType_Base = 0,
  EntityType_Mesh = 1,
  EntityType_ParticleEmitter = 2,
  EntityType_ParticleAffector = 3,
  EntityType_PsiBlast = 4,
  EntityType_ThoughtBubble = 5,
  EntityType_Trapeze = 6,
  EntityType_LineParticle = 7,
  EntityType_Telekinesis = 8,
  EntityType_Firestarting = 9,
  EntityType_Invisibility = 10,
  EntityType_MeshEmitter = 11,
  EntityType_Knapsack = 12,
  EntityType_TableEmitter = 13,
};

enum ENTITYFLAG : uint32_t {
  ENTITY_VISIBLE = 0x1,
  ENTITY_SEETHROUGH = 0x2,
  ENTITY_CANNOTBESTOODON = 0x4,
  ENTITY_CANNOTBESTOODONBYPLAYER = 0x8,
  ENTITY_CHECKTRIGGERS = 0x10,
  ENTITY_DRAWSHADOW = 0x20,
  ENTITY_LOOKATINTERESTINGTHINGS = 0x40,
  ENTITY_FIXEDLOOKTARGET = 0x80,
  ENTITY_PERSISTENTLOOKTARGET = 0x100,
  ENTITY_LOOKTARGETNOLOOK = 0x200,
  ENTITY_POST_EFFECTS = 0x400,
  ENTITY_SECONDARY_ZLOCK = 0x800,
  ENTITY_FULL_SIM_SPEED = 0x1000,
  ENTITY_DETAIL_CULLING = 0x2000,
  ENTITY_CAMERA_ALPHA = 0x4000,
  ENTITY_CAMERA_ALPHA_INTERIOR = 0x8000,
  ENTITY_CAMERA_INVIS_INTERIOR = 0x10000,
  ENTITY_REFLECTOR = 0x20000,
  ENTITY_HAS_CULL_DISTANCE = 0x40000,
  ENTITY_NOSIMULATE = 0x80000,
  ENTITY_NAVIGATION = 0x100000,
  ENTITY_LIGHT_RIG = 0x200000,
  ENTITY_ZLOCK = 0x400000,
  ENTITY_SOLID_SHADOW = 0x1000000,
  ENTITY_LIT_SHADOW = 0x2000000,
  ENTITY_SPARSE_EVENTS = 0x4000000,
  ENTITY_ALWAYS_POSE = 0x8000000,
  ENTITY_COYOTE_PROJECTION = 0x10000000,
  ENTITY_STENCIL_CASTER = 0x20000000,
  ENTITY_STENCIL_RECEIVER = 0x40000000,
  ENTITY_NO_TARGET_AURA = 0x80000000u,
};

// Bits of the transient word, rebuilt every frame.
enum ENTITYTRANSIENTFLAG : uint32_t {
  ENTITYTRANSIENT_SIMULATED = 0x1,
  ENTITYTRANSIENT_DREW_OPAQUE = 0x2,
  ENTITYTRANSIENT_DREW_NONADDITIVE = 0x4,
  ENTITYTRANSIENT_INLINE_EFFECTS = 0x8,
  ENTITYTRANSIENT_HIDES_PLAYER = 0x10,
  ENTITYTRANSIENT_ANIMATING = 0x20,
};

// Declares the class record and the factory of an entity class.
#define DECLARE_ENTITY_CLASS(Class)                                                  \
public:                                                                              \
  static const EEntity::EClassInfo* StaticClass() { return &sm_ClassInfo; }          \
  static EEntity* New(EDomain* pDomain, const char* szName) { return new Class(pDomain, szName); } \
  static Class* Create(EDomain* pDomain, const char* szName) {                       \
    return static_cast<Class*>(sm_ClassInfo.Create(pDomain, szName));                \
  }                                                                                  \
  static EEntity::EClassInfo sm_ClassInfo;

// Defines the record of a class declared with DECLARE_ENTITY_CLASS.
#define IMPLEMENT_ENTITY_CLASS(Class, szName, iType, Parent) \
  EEntity::EClassInfo Class::sm_ClassInfo(szName, iType, &Class::New, &Parent::sm_ClassInfo);

class EEntity {
public:
  enum : uint16_t { kNO_INDEX = 0xFFFF };
  enum { kLIFE_Live = 0, kLIFE_DeleteRequested = 1, kLIFE_Destroyed = 2 };

  // Class record: one static instance per entity class, linked newest first.
  class EClassInfo {
  public:
    typedef EEntity* (*Factory)(EDomain* pDomain, const char* szName);

    EClassInfo(const char* szName, int32_t iType, Factory fnFactory, const EClassInfo* pParent);
    EClassInfo(const EClassInfo&) = delete;
    EClassInfo& operator=(const EClassInfo&) = delete;

    static EClassInfo* GetHead() { return sm_pHead; }
    // Exact, case-sensitive name match, newest record first; null if none.
    static const EClassInfo* Lookup(const char* szName);
    // The record of a type number; null for -1 and unknown numbers.
    static const EClassInfo* Lookup(int32_t iType);
    // True when pOther is this record or one of its ancestors.
    bool IsSubclassOf(const EClassInfo* pOther) const;
    // A new entity of this class entered into the domain; null (traced)
    // for a record without a factory.
    EEntity* Create(EDomain* pDomain, const char* szName) const;

    const char* m_szName;
    int32_t m_iType;
    const EClassInfo* m_pParent;
    EClassInfo* m_pNext;
    Factory m_fnFactory;

    static EClassInfo* sm_pHead;
  };

  EEntity(EDomain* pDomain, const char* szName);
  EEntity(const EEntity&) = delete;
  EEntity& operator=(const EEntity&) = delete;

  static const EClassInfo* StaticClass() { return &sm_ClassInfo; }
  const EClassInfo* DynamicClass() const { return m_pClassInfo; }
  bool IsA(const EClassInfo* pClass, bool bExact = false) const;
  bool IsA(int32_t iType, bool bExact = false) const;

  // ---- Virtual operations ----
  // Owner domain, entity table, physics.
  virtual void InitEntity(EDomain* pDomain);
  virtual ~EEntity();
  virtual void onDomainSleep();
  virtual void onDomainChange(EDomain* pOldDomain);
  virtual bool IsMeshEntity() const { return false; }
  virtual void ReadInitData(const EEntityInitData& data);
  virtual void SetupDefaultCollision();
  // Drops references to dead objects; runs for every entity before the
  // deleted ones are freed.
  virtual void CleanupReferences();
  virtual void AttractModeReset() {}
  virtual void onActionChanged() {}
  virtual void onCollide(EEntity* pOther, const EVec3& vNormal, int iA, unsigned uB, bool bFlip);
  virtual void onSupporting(EEntity* pOther);
  virtual void onSupportingExit(EEntity* pOther);
  virtual void onGroundChange(EEntity* pOld, EEntity* pNew, bool bQuiet);
  // First step of deletion (GameApp::DelayedDelete calls it): the entity
  // leaves its script, the entity table and its domain, and is dead.
  virtual void InternalDelayedDelete();
  virtual void ResetPhysics();
  virtual void onSoundCallback(unsigned) {}
  virtual void ProcessFrame(float fFrameMS);
  virtual void RequestRender() = 0;
  virtual void RunAffectors() = 0;
  virtual void ApplyAnimTranslation(const EVec3&, ESkelAnim*) {}
  virtual bool CheckForCollision(ECollide&) { return false; }
  // Every-hit form: the hit on the memory stack (or in pResult), or null.
  virtual EHitResult* CheckForCollision_new(ECollide& query, EHitResult* pResult);
  virtual EVec3 GetLookTargetOffset() const { return m_vLookTargetOffset; }
  virtual EVec3 GetLookTargetOffset_Local() const { return m_vLookTargetOffset; }
  virtual int EventHandler(const EEventAnimDesc& desc);

  // ---- Identity and links ----
  const char* GetName() const { return m_szName; }
  EScriptObject* GetScriptObject() const { return m_pScriptObject; }
  void SetScriptObject(EScriptObject* pObject) { m_pScriptObject = pObject; }
  EPhysics* GetPhysics() { return m_pPhysics; }
  const EPhysics* GetPhysics() const { return m_pPhysics; }
  EDomain* GetOwnerDomain() const { return m_pOwnerDomain; }
  ECollisionManager* GetCollisionManager() const;
  EEntity* GetParentEntity() const { return m_pParentEntity; }
  EEntity* GetUltimateParentEntity();
  bool IsValid() const { return (m_uState & 3) != kLIFE_Destroyed; }
  // Not live; a fatal report for a destroyed entity.
  bool IsDead() const;
  uint16_t GetEntityIndex() const { return m_iEntityIndex; }
  uint16_t GetCollisionIndex() const { return m_iCollisionIndex; }
  void SetCollisionIndex(uint16_t iIndex) { m_iCollisionIndex = iIndex; }

  // ---- Flags ----
  bool GetEntityFlag(uint32_t dwFlag) const { return (m_dwEntityFlags & dwFlag) != 0; }
  void SetEntityFlag(uint32_t dwFlags, bool bOn);
  uint32_t GetEntityFlags() const { return m_dwEntityFlags; }
  bool GetVisible() const { return GetEntityFlag(ENTITY_VISIBLE); }
  void SetVisible(bool bVisible) { SetEntityFlag(ENTITY_VISIBLE, bVisible); }
  uint32_t GetTransientFlag(uint32_t dwFlag) const { return m_dwTransientFlags & dwFlag; }
  uint32_t GetTransientFlags() const { return m_dwTransientFlags; }
  void SetTransientFlag(uint32_t dwFlag, bool bOn) {
    m_dwTransientFlags = bOn ? (m_dwTransientFlags | dwFlag) : (m_dwTransientFlags & ~dwFlag);
  }
  void ClearTransientFlags() { m_dwTransientFlags = 0; }
  bool DomainIsSleeping() const { return (m_uState & kSTATE_DomainAsleep) != 0; }

  // ---- Physics forwards ----
  EVec3 GetPosition() const;
  void SetPosition(const EVec3& vPosition);
  void InitPosition(const EVec3& vPosition);
  EVec3 GetVelocity() const;
  void SetVelocity(const EVec3& vVelocity);
  bool GetPhysicsStateFlag(int iState) const;
  void SetPhysicsStateFlag(int iState);
  void UnsetPhysicsStateFlag(int iState);
  EEntity* GetCollidedWithEntity() const;
  // Replaces the physics (which must not be null); the new one takes over
  // the old one's state.
  void SetPhysics(EPhysics* pPhysics);
  bool AttachToParent(EEntity* pParent, const EMat4* pOffset, const char* szJoint);
  void DetachFromParent();

  // ---- Domain ----
  void SetOwnerDomain(EDomain* pDomain);
  void SetDomainIsSleeping(bool bAsleep);
  // Copies the owner domain into the entity's table slot.
  void UpdateEntityManager();

  // ---- Script ----
  bool AttachScript(const char* szClass, const char* szName, const char* szEditVars, bool bLeading, bool bProtected,
                    bool bSendSpawn);
  // Clears both links between the entity and its script object.
  void DetachScript();
  bool GetValue(const char* szKey, float& fValue) const;
  bool GetValue(const char* szKey, const char*& szValue) const;
  bool GetValue(const char* szKey, EScriptObject*& pValue) const;
  bool GetValue(const char* szKey, int& iValue) const;
  // The id by which scripts name this entity.
  uint32_t GetScriptId() const { return m_uScriptId; }
  // The live entity of an id that scripts passed, or null for anything else.
  static EEntity* FromScriptId(uint32_t id);

  // ---- Sound ----
  uint32_t GetSoundSource() const { return m_uiSoundSource; }
  void SetSoundSource(uint32_t uiSource) { m_uiSoundSource = uiSource; }
  // Moves the sound source to the entity.
  void ProcessSoundSource();
  // Plays a cue without a source or on the entity's own (requested when it
  // has none); the sound manager's result, 0 when no source was to be had.
  int PlaySoundCue(uint32_t uiCue, bool bWithoutSource, bool bFlag);
  // Plays a cue as a babble that runs until the cue stops.
  int PlaySoundCueWithBabble(uint32_t uiCue, bool bWithoutSource);
  void StopSounds();
  uint32_t GetAutoBabbleCue() const { return m_uiAutoBabbleCue; }
  void SetAutoBabbleCue(uint32_t uiCue) { m_uiAutoBabbleCue = uiCue; }
  // Echo on the sound source requested next.
  void SetEchoSound(bool bEcho) { m_uState = (uint8_t)(bEcho ? (m_uState | kSTATE_Echo) : (m_uState & ~kSTATE_Echo)); }
  bool IsBabbling() const { return (m_uState & kSTATE_Babble) != 0; }
  bool NextCueWithoutSource() const { return (m_uState & kSTATE_NoSourceNextCue) != 0; }
  // Ends a babble whose cue has stopped (a step of the frame).
  void EndBabble();

  // ---- Line collision ----
  ELineCollision* GetLineCollision() const { return m_pLineCollision; }
  // Makes pLines the entity's line collision, deleting the one it replaces.
  void SetLineCollision(ELineCollision* pLines);
  // Tests against the line collision in the entity's local space.
  EHitResult* CheckForIntersection(const ESphere& sphere, EHitResult* pResult = nullptr);
  EHitResult* CheckForIntersection(const ESeg3& line, EHitResult* pResult = nullptr);

  // ---- Simulation culling ----
  void SetSimulationCullDistance(float fDistance);
  float GetSimulationCullDistanceSq() const { return m_fSimCullDistSq; }
  bool ShouldBeSimulationCulled(const EVec3& vCamera, const EVec3& vPlayer) const;
  bool IsSimulationCulled() const { return !(m_dwTransientFlags & ENTITYTRANSIENT_SIMULATED); }
  uint32_t GetFrameCount() const { return m_nFrameCount; }
  void ResetFrameCount() { m_nFrameCount = 0; }

  // ---- Look targets and interest ----
  void SetLookTargetOffset(const EVec3& vOffset) { m_vLookTargetOffset = vOffset; }
  float GetMaxLookDistance() const { return m_fMaxLookDistance; }
  void SetMaxLookDistance(float fDistance) { m_fMaxLookDistance = fDistance; }
  int GetBaseInterestLevel() const { return m_iBaseInterestLevel; }
  void SetBaseInterestLevel(int iLevel) { m_iBaseInterestLevel = iLevel; }
  const EVec3& getSplineAnimationDelta() const { return m_vSplineAnimationDelta; }
  void setSplineAnimationDelta(const EVec3& vDelta) { m_vSplineAnimationDelta = vDelta; }

  // The spline controller, made on first use.
  ESplineController* getSplineController();
  // The spline controller when one was made, else null.
  ESplineController* GetSplineControllerIfAny() const { return m_pSplineController; }
  // Fatal when the physics belongs to another entity.
  void Debug_CheckPhysics();

  static EClassInfo sm_ClassInfo;

protected:
  // The automatic babble animation's cache reference, released when the
  // babble ends.
  void setAutoBlendAnimRef(EDynamicCacheFile* pFile) { m_pAutoBlendAnim = pFile; }
  EDynamicCacheFile* getAutoBlendAnimRef() const { return m_pAutoBlendAnim; }

private:
  friend class EEntityManager;
  friend class EPhysics;

  enum : uint8_t {
    kSTATE_LifeMask = 0x03,
    kSTATE_Echo = 0x04,
    kSTATE_Babble = 0x08,
    kSTATE_NoSourceNextCue = 0x10,
    kSTATE_DomainAsleep = 0x20,
  };
  void SetLifeState(int iState) { m_uState = (uint8_t)((m_uState & ~kSTATE_LifeMask) | iState); }
  int GetLifeState() const { return m_uState & kSTATE_LifeMask; }
  void BaseInternalDelayedDelete();

  uint32_t m_dwEntityFlags;
  uint32_t m_dwTransientFlags;
  EScriptObject* m_pScriptObject;
  EPhysics* m_pPhysics;
  float m_fSimCullDistSq;
  EEntity* m_pParentEntity;
  const EClassInfo* m_pClassInfo;
  char* m_szName;
  uint16_t m_iEntityIndex;
  uint16_t m_iCollisionIndex;
  uint32_t m_nFrameCount;
  uint32_t m_uiAutoBabbleCue;
  EDynamicCacheFile* m_pAutoBlendAnim;
  EDomain* m_pOwnerDomain;
  uint32_t m_uiSoundSource;
  ESplineController* m_pSplineController;
  EVec3 m_vLookTargetOffset;
  EVec3 m_vSplineAnimationDelta;
  int m_iBaseInterestLevel;
  float m_fMaxLookDistance;
  uint8_t m_uState;
  ELineCollision* m_pLineCollision;
  uint32_t m_uScriptId;
};
