// Shared loaded data handed out per user, and the per-frame animators that
// meshes run.
#pragma once

#include <cstdint>
#include <memory>

#include "TWUtil/ErrorManager.h"

class EGameFile;
class EMesh;
class EStream;

class EInstancable {
public:
  EInstancable() : m_nRefCount(0), m_pSource(nullptr) {}
  virtual ~EInstancable() {}
  // The first use gets the source object, later ones a copy pointing back at
  // it; the caller owns a copy.
  virtual EInstancable* Instantiate() = 0;
  virtual void DestroyInstance() = 0;

  int GetRefCount() const { return m_nRefCount; }
  void DecRefCount() {
    --m_nRefCount;
    EASSERT(m_nRefCount >= 0);
  }
  bool IsOriginal() const { return m_pSource == nullptr; }
  bool IsEntityMesh() const { return m_pSource == EntityMark(); }
  EInstancable* GetOriginal() { return (m_pSource && m_pSource != EntityMark()) ? m_pSource : this; }

  // The source marker of an object that belongs to one entity alone.
  static EInstancable* EntityMark() { return reinterpret_cast<EInstancable*>(static_cast<intptr_t>(-1)); }

protected:
  int32_t m_nRefCount;
  // Null: a source object; -1: an entity's own; else the source of a copy.
  EInstancable* m_pSource;
};

class EAffector : public EInstancable {
public:
  EInstancable* Instantiate() override { return nullptr; }
  void DestroyInstance() override {}
  virtual int Type() { return 0; }
  virtual bool Read(EGameFile&) { return false; }
  // One frame of dt milliseconds on the mesh.
  virtual bool Run(EMesh*, float) { return false; }
};

// One key of a keyframe track: a frame and three values.
struct EAnimAffectorKey {
  int32_t m_iFrame;
  float x, y, z;
};

// Moves, turns or scales its mesh along keys read from the scene data.
class EAnimAffector : public EAffector {
public:
  enum { kMODE_Position = 0, kMODE_Rotation = 1, kMODE_Scale = 2 };
  enum { kKEY_BYTES = 16 };

  EAnimAffector() : m_iMode(0), m_iLastFrame(0), m_fCurrentFrame(1.0f), m_nKeys(0) {}
  ~EAnimAffector() override;

  EInstancable* Instantiate() override;
  void DestroyInstance() override {}
  int Type() override { return 1; }
  using EAffector::Read;
  bool Run(EMesh* pMesh, float dt) override;
  // The record after its type code. False (traced) for a record whose mode
  // is unknown or whose keys do not fit the data.
  virtual bool Read(EStream& s);

  void SetCurrentFrame(float fFrame) { m_fCurrentFrame = fFrame; }
  float GetCurrentFrame() const { return m_fCurrentFrame; }
  int GetMode() const { return m_iMode; }
  int GetLastFrame() const { return m_iLastFrame; }
  int GetNumKeys() const { return m_nKeys; }
  const EAnimAffectorKey* GetKeys() const { return m_pKeys.get(); }

private:
  int32_t m_iMode;
  int32_t m_iLastFrame;
  float m_fCurrentFrame;
  int32_t m_nKeys;
  // Shared by the source object and its copies; the last holder frees it.
  std::shared_ptr<const EAnimAffectorKey[]> m_pKeys;
};

// Reads one affector record (type code, then the affector); null (traced)
// for an unknown type code or a damaged record. The caller owns the result.
EAffector* ReadAffectorRecord(EStream& s);
