// Joints of a skeleton: the live joints with their local values and pose
// matrices, the shared model joints with the base pose, and the affector
// that plays a mesh's skeletal animations into its joints every frame.
#pragma once

#include <cstdint>

#include "TWMath/Matrix.h"
#include "TWMath/Quaternion.h"
#include "TWMath/Vector.h"
#include "VERirezo/Instancable.h"

class EMesh;
class ESkelAnim;
class ESkeleton;
class EStream;

// The shared part of a joint: name, base pose and the inverse bind matrix.
class EModelJoint {
public:
  EModelJoint() : m_pName(nullptr) {}
  ~EModelJoint() { SetName(nullptr); }
  EModelJoint(const EModelJoint&) = delete;
  EModelJoint& operator=(const EModelJoint&) = delete;

  void SetName(const char* szName);
  const char* GetName() const { return m_pName; }

  EMat4 m_mBasePoseToLocal;
  EVec3 m_vBasePosition;
  EQuat m_qBaseRotation;

private:
  char* m_pName;
};

class EJoint {
public:
  enum {
    kFLAG_Root = 0x02,
    kFLAG_HasChildren = 0x04,
    kFLAG_Billboard = 0x08,
    kFLAG_LPNoDraw = 0x10,
    kFLAG_LPNoDrawSkip = 0x20,
    kFLAG_LPNoDrawChildren = 0x40,
    kFLAG_LPFlare = 0x80,
  };
  enum { kNONE = 255 };

  EJoint();

  // Reads this joint's record and its subtree into the joints that follow
  // it in the array (pEnd is one past the array). Returns the joint after
  // the subtree, or null (traced) for a damaged record.
  EJoint* Read(EStream& s, unsigned uVersion, ESkeleton* pSkeleton, EJoint* pEnd);
  void InitFrom(const EJoint& source, ESkeleton* pSkeleton);
  void InitTransforms(const EMat4& mParent);
  // Sets the local rotation and poses the subtree under the parent.
  void UpdatePose(const EQuat& qRotation);
  // Null scales mean none.
  void Pose(const EVec3* pSkelScale, const EVec3* pParentScale, const EMat4& mParent);
  EMat4 GetTransNoScale() const;
  EMat4 GetTransWithScale() const;
  EJoint* FindJoint(const char* szName);
  uint16_t GetId();
  int GetIndex() const { return m_byIndex; }
  EModelJoint* GetModelJoint() const;
  const EMat4& GetBasePoseToLocal() const { return GetModelJoint()->m_mBasePoseToLocal; }
  const char* GetName() const { return GetModelJoint()->GetName(); }
  EJoint* GetParent() { return m_byParent == kNONE ? nullptr : this - m_byIndex + m_byParent; }
  EJoint* GetSibling() { return m_bySibling == kNONE ? nullptr : this - m_byIndex + m_bySibling; }
  EJoint* GetChild() { return (m_byFlags & kFLAG_HasChildren) ? this + 1 : nullptr; }
  ESkeleton* GetSkeleton() const { return m_pSkeleton; }
  // Copies the local values of this subtree into the target's, pairing
  // children in order; bSkipSelf leaves the target joint itself alone.
  void copy(EJoint* pTarget, bool bSkipSelf);

  EMat4 m_mPose;
  EMat4 m_mSkinning;
  EQuat m_qLocalRotation;
  EVec3 m_vScale;
  EVec3 m_vLocalPosition;
  ESkeleton* m_pSkeleton;
  uint8_t m_byIndex;
  uint8_t m_byParent;
  uint8_t m_bySibling;
  uint8_t m_byFlags;
};

// One animation's sample for one joint.
struct EJointAnimValues {
  EVec3 m_vDelta;
  EVec3 m_vTranslation;
  EQuat m_qRotation{0.0f, 0.0f, 0.0f, 0.0f};
  EVec3 m_vScale;
};

class EJointAnimAffector : public EAffector {
public:
  int Type() override { return 2; }
  EInstancable* Instantiate() override { return new EJointAnimAffector; }
  void DestroyInstance() override {}
  // dt in milliseconds.
  bool Run(EMesh* pMesh, float dt) override;

  static void GetValues(EJoint* pJoint, ESkelAnim* pAnim, EJointAnimValues& values);
  static void BlendAllValues(EMesh* pMesh, EJoint* pJoint, bool bRecurse);
};
