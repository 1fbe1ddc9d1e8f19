// Particle distributions: sources of start positions and directions that an
// emitter may own in place of its emission cone. The kinds (curves, meshes,
// spheres, cylinders, boxes, text) derive from this base.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class EMat4;
struct PARTICLE;
struct PARTICLEMETA;

enum ParticleDistributionType {
  kPD_NONE = 0,
  kPD_SPLINE = 1,
  kPD_MESH = 2,
  kPD_SPHERE = 3,
  kPD_CYLINDER = 4,
  kPD_BOX = 5,
  kPD_TEXT = 6,
};

enum ParticleDistributionVelocity {
  kPDV_DEFAULT = 0,
  kPDV_NORMAL = 1,
  kPDV_TANGENT = 2,
  kPDV_AXIAL = 3,
  kPDV_RANDOM = 4,
  kPDV_NONE = 5,
};

class EParticleDistribution {
public:
  EParticleDistribution() : m_eVelocityType(kPDV_NORMAL), m_eDistType(kPD_NONE), m_dwFlags(0) {}
  virtual ~EParticleDistribution() {}

  virtual void GetParticles(PARTICLE* pParticles, int iCount) = 0;
  virtual void InitFrame(float fDeltaTime, int iCount) = 0;
  // Writes the start position (emitter space) into the particle and the
  // start direction (unit or zero) into the meta record's velocity; the
  // records are of the largest variant. Writes the texture coordinates when
  // HandlesUV answers true; may write the orientation when one is given.
  virtual void GetNextParticle(PARTICLE* pParticle, PARTICLEMETA* pMeta, EVec3* pOrientation) = 0;
  virtual EVec3 GetTangent() { return EVec3(1.0f, 0.0f, 0.0f); }
  virtual void SetDistType(ParticleDistributionType eType) { m_eDistType = eType; }
  // Radius of the shape around the emitter.
  virtual float GetMaxExtent() = 0;
  // Debug drawing of the shape placed by the emitter's transform.
  virtual void RequestRender(const EMat4&) {}
  // True when the shape's source is gone: the emitter stops emitting.
  virtual bool CleanupReferences() { return false; }
  virtual bool HandlesUV() { return false; }

  ParticleDistributionType GetDistType() const { return m_eDistType; }
  void SetVelocityType(ParticleDistributionVelocity eType) { m_eVelocityType = eType; }
  ParticleDistributionVelocity GetVelocityType() const { return m_eVelocityType; }
  void SetFlag(uint32_t dwBits) { m_dwFlags |= dwBits; }
  void ClearFlag(uint32_t dwBits) { m_dwFlags &= ~dwBits; }
  uint32_t GetFlags() const { return m_dwFlags; }

  // Colour of the kinds' debug shapes.
  static EVec4 m_vDebugRenderColor;

protected:
  ParticleDistributionVelocity m_eVelocityType;
  ParticleDistributionType m_eDistType;
  uint32_t m_dwFlags;
};
