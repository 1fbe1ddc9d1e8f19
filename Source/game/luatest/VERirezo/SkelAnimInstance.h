// A skeletal animation playing on one skeleton of a mesh instance: the
// shared data bound to a run of joints, with frame, speed, priority, blend
// weight and the root-motion state.
#pragma once

#include <cstdint>

#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"

class EBlendAnim;
class EEventAnimInstance;
class EJoint;
class EMesh;
class EMeshEntity;
class ESkelAnimShared;
class ESkeleton;
struct EJointAnimShared;

// Key hints of one joint record: sampling starts from the last key used.
struct EJointAnim {
  uint16_t m_iPosKey;
  uint16_t m_iScaleKey;
  uint16_t m_iRotKey;
};

// Options with which meshes and entities start an animation.
struct ELoadAnimArgs {
  ELoadAnimArgs()
      : m_fBias(0.0f), m_iPriority(0), m_iStackPos(-1), m_bWaitForData(false), m_bBlendOutAtEnd(false),
        m_pbRestacked(nullptr) {}
  float m_fBias;
  int m_iPriority;
  int m_iStackPos;
  bool m_bWaitForData;
  bool m_bBlendOutAtEnd;
  bool* m_pbRestacked;
};

class ESkelAnim {
public:
  enum : uint32_t { kCOOKY_Live = 0x2301EFCD, kCOOKY_Dead = 0xDEADBEEF };

  // A new instance on the mesh's skeleton that holds the data's root joint,
  // or null (traced) when it does not fit or the table is full.
  static ESkelAnim* Create(ESkelAnimShared* pAnim, EMesh* pMesh, int iPriority, float fBlendSeconds, bool bLoop);

  // Takes over one reference of the data.
  ESkelAnim(ESkelAnimShared* pAnim, EJoint* pRootJoint);
  ~ESkelAnim();
  ESkelAnim(const ESkelAnim&) = delete;
  ESkelAnim& operator=(const ESkelAnim&) = delete;

  void CheckCooky() const;
  void SetFlags(uint32_t dwWord);
  // Advances by dt seconds; whether the instance changed so that the
  // skeleton needs a new blend.
  bool ProcessFrame(float dt);
  void StartBlendOut(float fSeconds);
  void NotifyDone();
  void HACK_SetAnimCompletionName(const char* szName);
  const char* HACK_GetAnimCompletionName() const { return m_pCompletionName; }
  bool HasAnims(int iJoint) const {
    return iJoint >= m_byRootOffset && iJoint < (int)m_byRootOffset + (int)m_byNumLoadedAnims;
  }
  bool GetAnims(int iJoint, const EJointAnimShared*& pShared, EJointAnim*& pHints) const;
  bool IsInterruptible(float fFraction) const { return m_fFrame / (float)m_iLength >= fFraction; }
  void DisableTrans();
  void ConvertTransMode(int eMode, bool bAlsoInData);
  void SetStackPosition(int iPosition);
  bool LoadEventAnim(bool bLoop, int iLength, EMeshEntity* pEntity);
  void UpdateEventAnim();
  void setBlendAnim(EBlendAnim* p) { m_pBlendAnim = p; }
  void unsetBlendAnim() { m_pBlendAnim = nullptr; }
  void setEventAnim(EEventAnimInstance* p) { m_pEventAnimInstance = p; }
  void unsetEventAnim() { m_pEventAnimInstance = nullptr; }
  static const char* FilenameToAnimName(const char* szPath);
  const char* GetName() const { return FilenameToAnimName(GetFullName()); }
  const char* GetFullName() const;
  EMeshEntity* GetEntity() const;
  ESkeleton* GetSkeleton() const { return m_pSkeleton; }
  ESkelAnimShared* GetShared() const { return m_pAnim; }
  int GetPriority() const { return m_iPriority; }
  int GetLength() const { return m_iLength; }

  float GetFrame() const { return m_fFrame; }
  void SetFrame(float f) { CheckCooky(); m_fFrame = f; m_fTransFrame = f; }
  float GetFramePct() const { CheckCooky(); return m_fFrame / (float)m_iLength; }
  void SetFramePct(float f) { CheckCooky(); m_fFrame = (float)m_iLength * f; }
  bool IsDone() const { return m_fFrame >= (float)m_iLength; }
  float GetBlendFactor() const { CheckCooky(); return m_fBlendFactor; }
  void SetBlendFactor(float f) { CheckCooky(); m_fBlendFactor = f; }
  void SetPartialBlendFactor(float f) { CheckCooky(); m_fPartialBlendFactor = f; }
  void SetAnimRate(float f) { CheckCooky(); m_fAnimRate = f; }
  void SetManualBlend(bool b) { CheckCooky(); m_bManualBlend = b; }
  void SetManualFrame(bool b) { CheckCooky(); m_bManualFrame = b; }
  bool IsManualFrame() const { return m_bManualFrame; }
  void Lock() { m_bLocked = true; }
  void Unlock() { m_bLocked = false; }
  bool IsLocked() const { return m_bLocked; }
  const EVec3& GetRootPosition() const { return m_vRootPosition; }
  void SetRootPosition(const EVec3& v) { CheckCooky(); m_vRootPosition = v; m_bRootOverride = true; }
  void AddRootPosition(const EVec3& v) { CheckCooky(); m_vRootPosition += v; m_bRootOverride = true; }
  const EQuat& GetRootRotation() const { return m_qRootRotation; }
  void SetRootRotation(const EQuat& q) { CheckCooky(); m_qRootRotation = q; m_bRootOverride = true; }

  uint32_t m_dwCooky;
  float m_fBlendFactor;
  ESkelAnimShared* m_pAnim;
  float m_fFrame;
  uint8_t m_byRootOffset;
  uint8_t m_byNumAnims;
  uint8_t m_byNumLoadedAnims;
  bool m_bActive : 1;
  bool m_bRootOverride : 1;
  unsigned m_eTransMode : 2;
  float m_fTransFrame;
  EVec3 m_vRootPosition;
  EQuat m_qRootRotation;
  ESkeleton* m_pSkeleton;
  EJoint* m_pRootJoint;
  EBlendAnim* m_pBlendAnim;
  EEventAnimInstance* m_pEventAnimInstance;
  int m_iLength;
  int m_iPriority;
  bool m_bLoop : 1;
  bool m_bLocked : 1;
  bool m_bBlendOutAtEnd : 1;
  bool m_bBlendingOut : 1;
  bool m_bManualBlend : 1;
  bool m_bManualFrame : 1;
  bool m_bWaitForBlendIn : 1;
  bool m_bTransAtEnd : 1;
  float m_fAnimRate;
  float m_fPartialBlendFactor;
  float m_fBlendRate;
  float m_fEffectiveWeight;
  char* m_pCompletionName;
  EJointAnim* m_pJointAnims;
};
