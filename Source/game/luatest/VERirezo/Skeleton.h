// Skeletons: one joint hierarchy of a mesh instance with the skeletal
// animations playing on it, in ascending priority, at most eight.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"
#include "TWUtil/List.h"

class EJoint;
class EMesh;
class EModelJoint;
class ESkelAnim;
class EStream;

enum { MAX_JOINTS = 255, kMAX_SKEL_ANIMS = 8 };

// The description shared by every copy of a skeleton.
class EModelSkeleton {
public:
  EModelSkeleton() : m_pName(nullptr), m_pJoints(nullptr), m_nJoints(0) {}
  ~EModelSkeleton();
  EModelSkeleton(const EModelSkeleton&) = delete;
  EModelSkeleton& operator=(const EModelSkeleton&) = delete;

  char* m_pName;
  EModelJoint* m_pJoints;
  uint32_t m_nJoints;
};

class ESkeleton {
public:
  ESkeleton();
  // A copy for an instanced mesh: shares the model skeleton, plays nothing.
  explicit ESkeleton(const ESkeleton& source);
  ~ESkeleton();
  ESkeleton& operator=(const ESkeleton&) = delete;

  // The skeleton record at the stream's position. False (traced) for a
  // damaged record; the skeleton then holds no joints.
  bool Read(EStream& s, unsigned uVersion);

  const char* GetName() const { return m_pModelSkeleton ? m_pModelSkeleton->m_pName : nullptr; }
  EMesh* GetMesh() const { return m_pMesh; }
  void SetMesh(EMesh* pMesh) { m_pMesh = pMesh; }
  int GetNumJoints() const { return m_pModelSkeleton ? (int)m_pModelSkeleton->m_nJoints : 0; }
  EJoint* GetJoints() const { return m_pJoints; }
  EJoint* GetRootJoint() const { return m_pRootJoint; }
  EModelSkeleton* GetModelSkeleton() const { return m_pModelSkeleton; }
  EModelJoint* GetModelJoints() const { return m_pModelJoints; }

  void AddSkelAnim(ESkelAnim* pAnim);
  bool EnsureSpaceForAnims(int nCount, int iMaxPriority, const char* szName);
  void deactivatePreceedingAnims(ESkelAnim* pAnim);
  void removeInactiveSkelAnims();
  void RemoveSkelAnim(ESkelAnim* pAnim);
  void RemoveAllSkelAnims(bool bAll);
  EList<ESkelAnim*>& GetSkelAnims() { return m_SkelAnims; }

  bool Transform();
  bool Constrain(EJoint* pJoint);
  uint16_t GetJointIDFromAddress(const EJoint* pJoint) const;
  EJoint* GetJointFromID(unsigned id) const;

  bool GetAnimsChanged() const { return (m_byFlags & kFLAG_AnimsChanged) != 0; }
  void SetAnimsChanged(bool bOn) {
    m_byFlags = (uint8_t)(bOn ? (m_byFlags | kFLAG_AnimsChanged) : (m_byFlags & ~kFLAG_AnimsChanged));
  }
  bool HasSharedModel() const { return (m_byFlags & kFLAG_SharedModel) != 0; }

  EModelSkeleton* m_pModelSkeleton;
  EModelJoint* m_pModelJoints;
  EJoint* m_pRootJoint;
  EMesh* m_pMesh;
  EJoint* m_pJoints;
  EVec3 m_vScale;
  EJoint* m_pConstraint;
  EList<ESkelAnim*> m_SkelAnims;

private:
  enum { kFLAG_AnimsChanged = 0x01, kFLAG_SharedModel = 0x02 };
  void FreeJoints();
  uint8_t m_byFlags;
};
