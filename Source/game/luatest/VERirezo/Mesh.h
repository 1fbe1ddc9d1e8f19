// A mesh node: the part its affectors and the animation code drive. The
// full mesh (hierarchy, models, skeletons, drawing) builds on this.
#pragma once

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "VERirezo/Instancable.h"

class ECollisionTree;

class EMesh : public EInstancable {
public:
  enum {
    kFLAG_FrameAnimRunning = 0x02,  // the affectors' keyframe tracks play
    kFLAG_FrameAnimEnd = 0x10,      // a track reached its end this pass
  };

  EMesh() : m_uFlags(0), m_eRotation(0.0f, 0.0f, 0.0f), m_vScale(1.0f, 1.0f, 1.0f) {}
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

  // The collision tree of the mesh's model (owned by the model) and the
  // mesh's world transform, parents included.
  ECollisionTree* GetCollisionTree() const { return m_pCollisionTree; }
  void SetCollisionTree(ECollisionTree* pTree) { m_pCollisionTree = pTree; }
  const EMat4& GetInclusiveTransform() const { return m_InclusiveTrans; }
  void SetInclusiveTransform(const EMat4& m) { m_InclusiveTrans = m; }

private:
  unsigned m_uFlags;
  EVec3 m_vPosition;
  EEuler m_eRotation;
  EVec3 m_vScale;
  ECollisionTree* m_pCollisionTree = nullptr;
  EMat4 m_InclusiveTrans;
};
