// A placed instance of a model: its own transform with cached world
// matrices, a tree of child meshes, its fragments and its affectors.
#pragma once

#include <cstdint>

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "VERirezo/Instancable.h"
#include "VERirezo/Visibility.h"

class EBlendAnimController;
class EBlendShapeController;
class ECamera;
class EDomain;
class EDynamicCacheFile;
class EMeshEntity;
class EMeshFrag;
class EModel;
class EStream;
class ENavMesh;
class ECollide;
class ECollisionTree;
class EHitResult;
class EJoint;
class ESkelAnim;
class ESkeleton;
class ELight;
class ETriggerOBB;
struct ELoadAnimArgs;

// What a top-level mesh record says about the entity it stands for: its
// script class and editor variables (pooled texts, null when absent).
struct _EEntityMeshInfo {
  char* m_szScriptClass = nullptr;
  char* m_szEditVars = nullptr;
  // Frees both texts.
  void Release();
};

class EMesh : public EInstancable {
public:
  enum {
    kFLAG_Active = 0x01,
    kFLAG_FrameAnimRunning = 0x02,  // the affectors' keyframe tracks play
    kFLAG_EntityMesh = 0x04,        // the record carried a script class
    kFLAG_OwnerTrans = 0x08,        // the owner entity supplies the world matrix
    kFLAG_FrameAnimEnd = 0x10,      // a track reached its end this pass
    kFLAG_ForcedLOD = 0x20,
    kFLAG_BoxValid = 0x40,
    kFLAG_TransValid = 0x80,
  };
  enum {
    kCACHE_InvTransValid = 0x01,
    kCACHE_LightTransValid = 0x02,
    kCACHE_TransIsIdentity = 0x04,
  };

  EMesh();
  // A copy of the source (sharing its model) at the origin, unscaled.
  EMesh(EMesh& source);
  ~EMesh() override;

  void Init();
  // One mesh record with its subtree into a mesh made with EMesh(); false
  // when the record is refused (what was read stays attached and goes when
  // the caller deletes the mesh). pInfo receives a top mesh's script
  // binding; children get none.
  bool Read(EStream& s, unsigned uVersion, const EArray<unsigned>& aTextureIds, _EEntityMeshInfo* pInfo,
            int eDataType);
  enum {
    kRECORD_ScriptClass = 0x1,
    kRECORD_LOD = 0x2,
    kRECORD_FrustumOnly = 0x4,
  };
  uint32_t GetRecordFlags() const { return m_dwRecordFlags; }
  bool IsEntityMeshRecord() const { return (m_byFlags & kFLAG_EntityMesh) != 0; }
  // Lights placed with the mesh, owned.
  int GetNumLights() const { return m_aLights.Num(); }
  ELight* GetLight(int i) const { return m_aLights[i]; }
  EVisibilityCache& GetVisibilityCache() { return m_VisibilityCache; }
  // Takes the model's placement: position, rotation, scale and box.
  EMesh& operator=(EModel& model);
  EMesh& operator=(EMesh& source);
  EInstancable* Instantiate() override;
  void DestroyInstance() override;
  void MarkNonCached() { m_pSource = EntityMark(); }
  void MarkAsEntityMesh() { MarkNonCached(); }

  unsigned GetFlags() const { return m_byFlags; }
  void SetFlags(unsigned uFlags) { m_byFlags = (uint8_t)uFlags; }
  unsigned GetCacheFlags() const { return m_byCacheFlags; }
  bool GetActive() const { return (m_byFlags & kFLAG_Active) != 0; }
  void SetActive(bool bOn) { m_byFlags = bOn ? (m_byFlags | kFLAG_Active) : (m_byFlags & ~kFLAG_Active); }

  // Hierarchy.
  EMesh* GetParent() const { return m_pParent; }
  void AddChild(EMesh* pChild);
  int GetNumChildren() const { return m_aChildren.Num(); }
  EMesh* GetChild(int i) const { return m_aChildren[i]; }
  EMesh* GetTopMesh();
  EMeshEntity* GetOwner();
  void SetOwner(EMeshEntity* pOwner) { m_pOwner = pOwner; }
  EMeshEntity* GetParentEntity();
  const char* GetName() const;
  // This mesh or the first depth-first child whose model has the name.
  EMesh* FindMesh(const char* szName);
  EModel* GetModel() const { return m_pModel; }
  // Takes ownership of the model (an original's or an entity's own).
  void SetModel(EModel* pModel) { m_pModel = pModel; }
  EDomain* GetOwnerDomain();
  // The owner domain, null when there is none.
  EDomain* PeekOwnerDomain() const { return m_pOwnerDomain; }
  void SetOwnerDomain(EDomain* pDomain) { onDomainChange(m_pOwnerDomain, pDomain); }
  void onDomainChange(EDomain* pOld, EDomain* pNew);
  // Lights go dark while the domain sleeps.
  void onDomainSleep(bool bSleeping);

  // Queues the mesh tree's fragments for the current render pass.
  void RequestRender();
  // Draws a joint and its descendants as debug lines.
  void DebugRenderJoint(EJoint* pJoint, bool bIsRoot);

  // Transforms.
  void SetPosition(const EVec3& v);
  void SetRotation(const EMat4& m);
  // Degrees.
  void SetRotation(const EEuler& e);
  void SetRotationRad(const EEuler& e);
  void SetScale(const EVec3& v);
  const EVec3& GetPosition() const { return m_vPosition; }
  const EVec3& GetScale() const { return m_vScale; }
  const EMat4& GetRotationMatrix() const { return m_mRotation; }
  // Euler angles in degrees.
  EVec3 GetRotation() const;
  EEuler GetRotationRad() const;
  const EBox3& GetBox() const { return m_Box; }
  void SetBox(const EBox3& box) { m_Box = box; InvalidateCachedPositions(); }
  const EMat4& GetInclusiveTrans();
  const EMat4& GetInvInclusiveTrans();
  const EMat4& GetLightToModelTrans();
  bool InclusiveTransIsIdentity();
  const EBox3& GetTransformedBoundingBox();
  // The world box; attached entities' boxes join it once attachments exist.
  const EBox3& GetTransformedBoundingBoxIncludingAttachments() { return GetTransformedBoundingBox(); }
  // Renews the local box from the fragments' skinned boxes (with them).
  void UpdateDynamicBoundingBox();
  void InvalidateCachedPositions();
  void InvalidateCachedLights();
  void InvalidateCachedData();

  // Detail.
  void ForceLODValue(int iLevel);
  int GetLODForCamera(ECamera* pCamera);

  // Skeletons, owned; a skeleton's number is its place here.
  void AddSkeleton(ESkeleton* pSkeleton);
  int GetNumSkeletons() const { return m_aSkeletons.Num(); }
  ESkeleton* GetSkeleton(int i) const { return m_aSkeletons[i]; }
  bool HasSkeleton() const { return m_aSkeletons.Num() > 0; }
  int GetSkeletonNumber(const ESkeleton* pSkeleton) const;
  // Case-insensitive, depth first, skeletons in order.
  EJoint* FindJoint(const char* szName) const;
  // Case-sensitive.
  ESkeleton* FindSkeleton(const char* szName) const;
  // Bits 12-15 the skeleton, 0-11 the joint; null when either is missing.
  EJoint* GetJointFromID(unsigned id) const;
  EVec3 GetJointWorldPos(EJoint* pJoint);
  EVec3 GetJointWorldPos(const char* szName) { return GetJointWorldPos(FindJoint(szName)); }
  void GetJointWorldTrans(unsigned id, EMat4& mOut, bool bWithScale);
  // Skeletons paired by index: the source's frames (bCopyAnimState) or its
  // joints' local values.
  bool CopyStaticPose(EMesh* pSource, bool bCopyAnimState);
  // Starts a skeletal animation from the animation cache; null when it
  // cannot play here.
  ESkelAnim* ReadSkelAnim(const char* szName, float fBlendTime, bool bLoop, const ELoadAnimArgs& args);
  bool IsSkelAnimDone() const;
  void removeAllSkelAnimsWithPriority(int iPriority, float fBlendOutTime);

  // Blend animations, through the mesh's blend player (made once, owned);
  // without one these answer false, null or nothing.
  EBlendAnimController* CreateBlendAnimController();
  EBlendAnimController* GetBlendAnimController() const { return m_pBlendAnimController; }
  bool loadBlendAnim(const char* szName, bool bLoop, bool bStopOthers, ESkelAnim* pSkelAnim, float fBlendIn,
                     bool bAsync, bool bLipSync);
  bool unloadBlendAnim(const char* szName);
  bool unloadBlendAnimRef(EDynamicCacheFile* pFile);
  bool stopBlendAnim(const char* szName, float fBlendOutTime);
  void updateBlendAnim(float dt);
  // The 64 combined weights, or null without a player.
  const float* getBlendWeights();
  EBlendAnimController* GetBlendAnimList();
  float GetBlendAnimCompletion(const char* szName);
  bool hasBlendShape() const;
  EBlendShapeController* GetBlendShapeController() const;
  void CreateBlendShapeController() {}
  void DestroyBlendAnimController();

  // Affectors, run each frame in order; the mesh owns them.
  void AddAffector(EAffector* pAffector) { m_aAffectors.AddData(pAffector); }
  int GetNumAffectors() const { return m_aAffectors.Num(); }
  EAffector* GetAffector(int i) const { return m_aAffectors[i]; }
  bool RunAffectors(float dt);
  void StartAnimation(int iIgnored, bool bRestart);
  void StopAnimation(bool bReset);
  bool IsMeshAnimDone();

  // Fragments: the mesh owns them (taken from the application's fragment
  // pool); they share the model fragments.
  void AddMeshFrag(EMeshFrag* pFrag);
  // One fragment record into a fragment from the pool; false (nothing kept)
  // when the pool is full or the record is refused.
  bool ReadMeshFrag(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType);
  // On every fragment, or only on those showing hOnlyIfShowing when it is
  // not 0: shows hTexture instead (0: the model's own texture).
  void SetBaseTexture(unsigned hTexture, unsigned hOnlyIfShowing, bool bKeepAlphaFlags);
  int GetNumMeshFrags() const { return m_aMeshFrags.Num(); }
  EMeshFrag* GetMeshFrag(int i) const { return m_aMeshFrags[i]; }

  const EVec4& GetMaterialColor() const { return m_vMaterialColor; }
  // The render domain (a RENDERDOMAIN) into which its fragments are filed.
  int GetRenderDomain() const { return m_iRenderSpace; }
  void SetRenderDomain(int iDomain) { m_iRenderSpace = iDomain; }
  void SetMaterialColor(const EVec4& v) { m_vMaterialColor = v; }
  float GetAnimSpeedScale() const { return m_fAnimSpeedScale; }
  void SetAnimSpeedScale(float f) { m_fAnimSpeedScale = f; }

  static int sm_iTotalMeshCount;

  // Trigger instances, one per trigger shape of the model. An instance
  // deleted elsewhere (the level unload's pass) reads as null.
  int GetNumTriggers() const { return m_aTriggerHandles.Num(); }
  ETriggerOBB* GetTrigger(int i) const;
  // This mesh's first trigger of the name, then depth first in the children.
  ETriggerOBB* FindTrigger(const char* szName);
  // Re-files every trigger after the mesh moved.
  void UpdateTriggers();

  // The collision geometry of the mesh's model (owned by the model), or null.
  ECollisionTree* GetCollisionTree() const;
  // The navigation mesh the scene reader attached; the mesh owns it, and a
  // copy owns a copy of its own.
  ENavMesh* GetNavMesh() const { return m_pNavMesh; }
  void SetNavMesh(ENavMesh* pNavMesh);
  // The model's collision tree has polygons, or a child's has.
  bool HasCollision() const;
  // Whether the world point lies inside the collision geometry.
  bool CheckForContainment(const EVec3& vPoint, bool bFlag);
  EBox3 GetTransformedCollisionBoundingBox();
  // Nearest hit of the query nearer than its current end, recorded in it.
  bool CheckForCollision(ECollide& hit, uint32_t nGroupMask = 1);
  // The hit as a record on the memory stack (or in pResult), or null.
  EHitResult* CheckForCollision_new(ECollide& hit, EHitResult* pResult, uint32_t nGroupMask = 1);

private:
  // Gives the lights back to the light pool.
  void ReleaseLights();
  // Deletes the trigger instances still alive.
  void DeleteTriggers();
  // Fresh instances copied from the current ones (no listeners, no contents).
  void RenewTriggers();
  // One instance per trigger of the source, copied from it.
  void CopyTriggersFrom(const EMesh& source);

  EMesh* m_pParent;
  EMeshEntity* m_pOwner;
  EModel* m_pModel;
  EBox3 m_Box;
  ENavMesh* m_pNavMesh;
  int32_t m_iRenderSpace;
  EArray<EMeshFrag*> m_aMeshFrags;
  EArray<EMesh*> m_aChildren;
  EArray<ESkeleton*> m_aSkeletons;
  EArray<EAffector*> m_aAffectors;
  uint32_t m_dwRecordFlags;
  uint8_t m_byFlags;
  uint8_t m_byCacheFlags;
  EVec3 m_vPosition;
  EMat4 m_mRotation;
  EMat4 m_mInclusiveTrans;
  EMat4 m_mInvInclusiveTrans;
  EMat4 m_mLightToModelTrans;
  EVec3 m_vScale;
  EVec4 m_vMaterialColor;
  uint8_t m_byForcedLOD;
  EDomain* m_pOwnerDomain;
  float m_fAnimSpeedScale;
  EBox3 m_TransformedBox;
  EBlendAnimController* m_pBlendAnimController = nullptr;
  EArray<ELight*> m_aLights;
  // Handles of the trigger instances: the triggers' registry may delete them first.
  EArray<unsigned int> m_aTriggerHandles;
  EVisibilityCache m_VisibilityCache;
  // The model's collision tree came from this mesh's record.
  bool m_bOwnsCollisionTree;
};
