// Mesh entities: entities drawn with a mesh. They hold the mesh and its
// skeletal animations, an action table driven state machine, head-tracking
// state and their render option records.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Primitives.h"
#include "TWMath/Quaternion.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntityRenderOptions.h"
#include "VERirezo/MeshManager.h"
#include "TWUtil/EMemStack.h"

class EActionTable;
class EActionListItem;
class ECamera;
class ECollide;
class ESceneSettings;
class EJoint;
class ELightBlock;
class EMesh;
class EString;
class ESkelAnimShared;
class ESkeleton;
struct EActionPos;
struct ELoadAnimArgs;

// Passed to SetMesh for the mesh manager's empty mesh; never dereferenced.
#define THE_EMPTY_MESH (reinterpret_cast<EMesh*>(static_cast<intptr_t>(1)))

class EMeshEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EMeshEntity)
public:
  enum : uint8_t {
    kMEFLAG_MeshBackwards = 0x01,
    kMEFLAG_GroundPlaneValid = 0x02,
    kMEFLAG_ShadowTextureValid = 0x08,
  };

  EMeshEntity(EDomain* pDomain, const char* szName);
  ~EMeshEntity() override;

  // ---- Entity slots ----
  void InitEntity(EDomain* pDomain) override;
  void onDomainSleep() override;
  void onDomainChange(EDomain* pOldDomain) override;
  bool IsMeshEntity() const override { return true; }
  void CleanupReferences() override;
  void ProcessFrame(float fFrameMS) override;
  void RequestRender() override;
  bool CheckForCollision(ECollide& query) override;
  EVec3 GetLookTargetOffset() const override;
  void RunAffectors() override;
  void ApplyAnimTranslation(const EVec3& vDelta, ESkelAnim* pAnim) override;

  // ---- Appended slots ----
  virtual bool GetAlternateAnim(const char* szName, EString& sOutName, float& fOutSpeed);
  virtual bool Action_PlayRandomIdle(EActionPos& pos);
  virtual bool LoadMesh(const char* szName, DATATYPE eType);
  virtual void GetMeshTrans(EMat4& mOut);
  virtual const EBox3& GetTransformedBoundingBox();
  virtual void SetLookTarget(EEntity* pTarget, bool bFixed, bool bTemporary);
  virtual bool CanHoldLookTarget(EEntity*) { return true; }
  // One candidate of the look-target search; any entity, stored through
  // this type.
  struct LookTarget {
    EMeshEntity* m_pEntity;
    float m_fInterest;
    float m_fScore;
  };
  // Appends the candidates near the entity and raises fMaxInterest to the
  // largest interest appended; this version ignores pDir and pRefPos.
  virtual void GetCandidateLookTargets(ETempArray<LookTarget>& aOut, float& fMaxInterest, unsigned dwRequiredFlag,
                                       const EVec3* pDir, const EVec3* pRefPos);

  // ---- Mesh ----
  EMesh* GetMesh() const { return m_pMesh; }
  // Replaces the mesh: THE_EMPTY_MESH asks for the manager's empty mesh, null
  // releases the mesh. An entity mesh is never replaced by another mesh.
  void SetMesh(EMesh* pNewMesh, bool bNotCached);
  ESkeleton* FindSkeleton(const char* szName) const;
  EEuler GetMeshRotation() const;
  void SetMeshRotation(const EEuler& e);
  EVec3 GetScale() const;
  void SetScale(const EVec3& v);
  void ForceLODValue(uint8_t byLevel);
  bool IsMeshBackwards() const { return (m_byMEFlags & kMEFLAG_MeshBackwards) != 0; }
  void SetMeshIsBackwards(bool b) { SetMEFlag(kMEFLAG_MeshBackwards, b); }
  bool GetShadowTextureValid() const { return (m_byMEFlags & kMEFLAG_ShadowTextureValid) != 0; }
  void SetShadowTextureValid(bool b) { SetMEFlag(kMEFLAG_ShadowTextureValid, b); }
  void SetAnimationMovementScale(float f) { m_fAnimMoveScale = f; }
  float GetAnimationMovementScale() const { return m_fAnimMoveScale; }
  void SetCombinedIrradiance(const EVec3& v) { m_vCombinedIrradiance = v; }
  const EVec3& GetCombinedIrradiance() const { return m_vCombinedIrradiance; }
  void SetStaticLightBlock(ELightBlock* p) { m_pStaticLightBlock = p; }
  ELightBlock* GetStaticLightBlock() const { return m_pStaticLightBlock; }
  void SetDynamicLightBlock(ELightBlock* p) { m_pDynamicLightBlock = p; }
  ELightBlock* GetDynamicLightBlock() const { return m_pDynamicLightBlock; }
  float GetDetailCullingAlpha() const { return m_fDetailCullingAlpha; }
  void SetDetailCullingAlpha(float fAlpha) { m_fDetailCullingAlpha = fAlpha; }
  void SetViewCone(float f) { m_fViewCone = f; }
  float GetViewCone() const { return m_fViewCone; }
  const EVec3& GetCurrentHeadAngles() const { return m_vHeadAngles; }
  void SetAuraColor(const EVec4& v) { m_vAuraColor = v; }
  EVec4 GetAuraColor() const;
  void ApplyVelocity(const EVec3& v);
  void TransformApplyVelocity(const EVec3& v);
  // Finds the joint in the mesh; false (and no head joint) when absent.
  bool SetHeadJoint(const char* szName);
  EJoint* GetHeadJoint() const { return m_pHeadJoint; }
  const EQuat& GetLookAtParams() const { return m_qLookAtParams; }
  uint8_t GetHeadConstraint(int iAxis) const { return m_aHeadConstraint[iAxis]; }
  EEntity* GetLookTarget() const { return m_pLookTarget; }
  void InvalidateCachedLights();
  // Head tracking of the frame: the head joint turns toward the look point
  // within its limits (the argument is unused; the frame time is the
  // application's).
  void UpdateHead(float fSeconds);

  // ---- Look targets ----
  void SetLookAtInterestingThings(bool bOn) { SetEntityFlag(ENTITY_LOOKATINTERESTINGTHINGS, bOn); }
  // True when the entity is rejected as a look target; else its interest.
  bool QuickCullLookTarget(EEntity* pEntity, float& fOutInterest, unsigned dwRequiredFlag);
  // The most interesting visible candidate ahead of the reference (pAfter
  // or this entity), or null.
  EMeshEntity* FindNextInterestingTarget(EEntity* pAfter, const EVec3* pDir, unsigned dwRequiredFlag);
  // The point to look at this frame; false without one.
  bool GetHeadTarget(EVec3& vOut);
  EMat4 GetLookDirMatrix();
  EVec3 GetHeadPos();
  // One step of the head angles toward the wanted ones (degrees) for a
  // frame of dt seconds, clamped to the limits.
  static EVec3 StepHeadAngles(const EVec3& vCurrent, const EVec3& vWanted, const EVec3& vLimits, float dt);

  // ---- Drawing ----
  // Whether the camera is inside the entity's ultimate parent.
  bool TestCameraInterior(const ECamera* pCamera);
  void RenderDebugViewCone();
  // Pieces of the facial weight: the facing factor for d (the head's
  // forward axis against the view), the size factor for a screen diagonal
  // in pixels, and the voice fade after dt seconds.
  static float FacialFacing(float d);
  static float FacialSize(float fDiagonal);
  static float StepVoiceFade(float fFade, bool bTalking, float dt);
  // The camera fade, the option fades and transitions of one frame.
  void UpdateVisuals(float fFrameMs);

  // ---- Collision ----
  bool CheckForCollision_Sphere(ECollide& query);
  // Whether the segment a->b enters the sphere; t is the entry as a
  // fraction of the segment.
  static bool SphereLineCollision(const ESphere& s, const EVec3& a, const EVec3& b, float& t);
  // A sphere of radius r moved from a to b against s.
  static bool SphereSweptSphereCollision(const ESphere& s, const EVec3& a, const EVec3& b, float r, float& t);
  // The ground below the entity, found at most once a frame.
  bool GetGroundPlane(EPlane& out);

  // ---- Animation ----
  ESkelAnim* LoadAnim(const char* szFile, float fBlendTime, bool bLoop, const ELoadAnimArgs& args);
  ESkelAnim* LoadAnim(const char* szFile, float fBlendTime, bool bLoop);
  ESkelAnimShared* PreloadAnim(const char* szFile, float fBlendTime, bool bLoop);
  void removeAllSkelAnimsWithPriority(int iPriority, float fBlendOutTime);
  void SetLastSkelAnimTransMode(int eMode);
  void DisableAllDeltaTransAnims();
  // The newest animation on any skeleton whose name starts with the prefix
  // (case-insensitive), or null.
  ESkelAnim* IsPlayingAnim(const char* szPrefix) const;
  bool IsPlayingAnim(const ESkelAnim* pAnim) const;
  bool IsLastSkelAnimDone() const;
  float GetLastSkelAnimLenSecs() const;
  void setAutoBlendAnim(EDynamicCacheFile* pFile) { setAutoBlendAnimRef(pFile); }

  // ---- Actions ----
  bool SetActionTable(const char* szPath, bool bPreload, int iIgnored = 0);
  bool HasActionTable() const { return m_pActionTable != nullptr; }
  EActionTable* GetActionTable() const { return m_pActionTable; }
  int GetActionNumber(const char* szStateName) const;
  const char* GetActionName(int iAction = -1) const;
  int GetCurAction() const { return m_iCurAction; }
  int GetPrevAction() const { return m_iPrevAction; }
  void ResetAction() { m_iCurAction = -1; }
  bool InAction(int n) const { return m_iCurAction == n; }
  // The numbers end with 0.
  bool InActions(int n, ...) const;
  bool InActionType(const char* szPattern) const;
  bool SetNewAction(const char* szStateName, bool bRunNow);
  bool SetNewActionEx(int iAction, const char* szReason, bool bRunNow, const char* szAltAnim);
  bool SetNewActionEx(const char* szStateName, const char* szReason, bool bRunNow, const char* szAltAnim);
  bool SetNewAction_internal(int iAction, bool bRunNow, const char* szAltAnim);
  bool RunActions(EActionPos& pos, bool bAfterAffectors);
  bool ExecuteAction(EActionPos& pos, bool bAfterAffectors);
  bool ExecuteCustomAction(EActionPos& pos, bool bAfterAffectors, const EActionListItem* pItem);
  bool InterruptAction(float fFraction);
  EActionPos& GetActionPos() const { return *m_pActionPos; }
  void ResetIdleAnimationTimer();
  float GetIdlePlayTime() const { return m_fIdlePlayTime; }

  // Per-frame detail, facial weight and voice fade (0..1) of the drawing.
  float GetDetailValue() const { return m_fDetailValue; }
  float GetFacialWeight() const { return m_fFacialWeight; }
  float GetVoiceFade() const { return m_fVoiceFade; }
  // The ground plane cached at the given frame (-1: none yet).
  const EPlane& GetCachedGroundPlane() const { return m_GroundPlane; }
  int GetGroundPlaneFrame() const { return m_iGroundPlaneFrame; }

  // ---- Render options ----
  // An own record in place of the shared default (every setter starts here).
  void InstanceRenderOptionsSemiCommon();
  void InstanceRenderOptionsRare();
  const EMeshEntityRenderOptionsSemiCommon* GetRenderOptionsSemiCommon() const { return m_pRenderOptionsSemiCommon; }
  const EMeshEntityRenderOptionsRare* GetRenderOptionsRare() const { return m_pRenderOptionsRare; }
  void SetColor(const EVec3& c, float fFadeMs);
  void SetAlpha(float a, float fFadeMs = 0.0f);
  void SetGlare(float g, float fFadeMs);
  void SetAmbientLightColor(const EVec3& c);
  void FadeInAura(float fSeconds);
  void FadeOutAura(float fSeconds);
  void SetSolidColor(const EVec4& c);
  void SetSolidColorIntensity(float i, float fSeconds);
  void SetIdealInvisibility(float f);
  void SetIdealCameraAlpha(float f);
  void SetCameraAlphaRadius(float f);
  void SetTexCoordTransVel(const EVec2& v);
  // The record takes ownership of the camera and of the texture.
  void SetShadowCamera(ECamera* pCamera);
  void SetShadowTexture(uint32_t hTexture);
  void SetTexGenMatrix(const EMat4& m);
  void SetDistortionScale(float f);
  void SetDistortionColor(const EVec3& c);
  void SetLightRigScale(const EVec3& v);
  const EVec3& GetColor() const { return m_pRenderOptionsSemiCommon->m_vColor; }
  float GetAlpha() const { return m_pRenderOptionsSemiCommon->m_fAlpha; }
  float GetGlare() const { return m_pRenderOptionsSemiCommon->m_fGlare; }
  const EVec3& GetAmbientLightColor() const { return m_pRenderOptionsRare->m_vAmbientLightColor; }
  const EVec4& GetSolidColor() const { return m_pRenderOptionsRare->m_vSolidColor; }
  float GetSolidColorIntensity() const { return m_pRenderOptionsRare->m_fSolidColorIntensity; }
  float GetIdealInvisibility() const { return m_pRenderOptionsRare->m_fIdealInvisibility; }
  float GetCurInvisibility() const { return m_pRenderOptionsRare->m_fCurInvisibility; }
  float GetIdealCameraAlpha() const { return m_pRenderOptionsRare->m_fIdealCameraAlpha; }
  float GetCurCameraAlpha() const { return m_pRenderOptionsRare->m_fCurCameraAlpha; }
  float GetCameraAlphaRadius() const { return m_pRenderOptionsRare->m_fCameraAlphaRadius; }
  const EVec2& GetTexCoordTransVel() const { return m_pRenderOptionsRare->m_vTexCoordTransVel; }
  ECamera* GetShadowCamera() const { return m_pRenderOptionsRare->m_pShadowCamera; }
  uint32_t GetShadowTexture() const { return m_pRenderOptionsRare->m_hShadowTexture; }
  const EMat4& GetTexGenMatrix() const { return m_pRenderOptionsRare->m_mTexGen; }
  float GetDistortionScale() const { return m_pRenderOptionsRare->m_fDistortionScale; }
  const EVec3& GetDistortionColor() const { return m_pRenderOptionsRare->m_vDistortionColor; }
  const EVec3& GetLightRigScale() const { return m_pRenderOptionsRare->m_vLightRigScale; }
  // 0 while the main channel shows a fixed background or the entity has
  // post effects; else the current invisibility.
  float GetCurInvisibilityForRendering() const;
  // Detail-culling alpha x camera alpha x alpha x (1 - 0.8 x invisibility).
  float GetCompoundAlpha() const;
  // The same without the detail-culling factor.
  float GetShadowAlpha() const;

protected:
  // Sets the action number without running any action list.
  void SetCurActionNumber(int iAction) { m_iCurAction = iAction; }

private:
  void SetMEFlag(uint8_t byFlag, bool bOn) { m_byMEFlags = (uint8_t)(bOn ? (m_byMEFlags | byFlag) : (m_byMEFlags & ~byFlag)); }
  // Ledge animations are played from a fixed root placement.
  void ApplyLedgeAdjustment(ESkelAnim* pAnim, const char* szName);
  void ResolvePlayerActionNumbers(const char* szPath);
  void UpdateFacialWeight(const ECamera* pCamera, const ESceneSettings* pSettings);
  void RenderDebugDisplays();
  // Whether the eye sees the candidate (one of up to five lines is free).
  bool LookTargetVisible(EEntity* pCandidate, const EVec3& vEye);

  EJoint* m_pHeadJoint;
  EQuat m_qLookAtParams;
  EEntity* m_pLookTarget;
  uint8_t m_aHeadConstraint[3];
  EVec3 m_vHeadAngles;
  float m_fViewCone;
  float m_fDetailValue;
  float m_fFacialWeight;
  float m_fVoiceFade;
  EMesh* m_pMesh;
  EActionTable* m_pActionTable;
  int m_iCurAction;
  int m_iPrevAction;
  const char* m_pszAltAnim;
  EActionPos* m_pActionPos;
  float m_fIdlePlayTime;
  EPlane m_GroundPlane;
  int m_iGroundPlaneFrame;
  float m_fAnimMoveScale;
  EVec4 m_vAuraColor;
  EVec3 m_vCombinedIrradiance;
  float m_fDetailCullingAlpha;
  ELightBlock* m_pStaticLightBlock;
  ELightBlock* m_pDynamicLightBlock;
  EMeshEntityRenderOptionsSemiCommon* m_pRenderOptionsSemiCommon;
  EMeshEntityRenderOptionsRare* m_pRenderOptionsRare;
  uint8_t m_byMEFlags;
  // The end list of the current action is running: a change asked for from
  // it does not run that end list again.
  bool m_bInEndList;
};
