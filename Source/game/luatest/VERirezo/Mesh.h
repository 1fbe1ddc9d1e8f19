// A mesh node: the part its affectors and the animation code drive. The
// full mesh (hierarchy, models, skeletons, drawing) builds on this.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"
#include "VERirezo/Instancable.h"

class ECollide;
class ECollisionTree;
class EHitResult;

class EMesh : public EInstancable {
public:
  enum {
    kFLAG_FrameAnimRunning = 0x02,  // the affectors' keyframe tracks play
    kFLAG_FrameAnimEnd = 0x10,      // a track reached its end this pass
  };

  EMesh() : m_pCollisionTree(nullptr), m_uFlags(0), m_eRotation(0.0f, 0.0f, 0.0f), m_vScale(1.0f, 1.0f, 1.0f) {}
  EMesh(const EMesh& other) = default;
  ~EMesh() override {}

  EInstancable* Instantiate() override {
    EInstancable* pSource = GetOriginal();
    EMesh* pMesh = static_cast<EMesh*>(pSource);
    if (pMesh->m_nRefCount++ == 0) return pMesh;
    EMesh* pCopy = new EMesh(*pMesh);
    pCopy->m_nRefCount = 0;
    pCopy->m_pSource = pMesh;
    return pCopy;
  }
  void DestroyInstance() override {
    if (IsEntityMesh()) return;
    GetOriginal()->DecRefCount();
  }

  unsigned GetFlags() const { return m_uFlags; }
  void SetFlags(unsigned uFlags) { m_uFlags = uFlags; }
  // An entity's own mesh, shared with no one.
  void MarkAsEntityMesh() { m_pSource = EntityMark(); }

  void SetPosition(const EVec3& v) { m_vPosition = v; }
  // Euler angles in radians.
  void SetRotationRad(const EEuler& e) { m_eRotation = e; }
  void SetScale(const EVec3& v) { m_vScale = v; }
  const EVec3& GetPosition() const { return m_vPosition; }
  const EEuler& GetRotationRad() const { return m_eRotation; }
  const EVec3& GetScale() const { return m_vScale; }

  // The collision geometry (not owned), in the mesh's space.
  ECollisionTree* GetCollisionTree() const { return m_pCollisionTree; }
  void SetCollisionTree(ECollisionTree* pTree) { m_pCollisionTree = pTree; }
  // Nearest hit of the query nearer than its current end, recorded in it.
  bool CheckForCollision(ECollide& hit, uint32_t nGroupMask = 1);
  // The hit as a record on the memory stack (or in pResult), or null.
  EHitResult* CheckForCollision_new(ECollide& hit, EHitResult* pResult, uint32_t nGroupMask = 1);

private:
  ECollisionTree* m_pCollisionTree;
  unsigned m_uFlags;
  EVec3 m_vPosition;
  EEuler m_eRotation;
  EVec3 m_vScale;
};
