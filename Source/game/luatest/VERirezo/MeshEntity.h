// Mesh entities: entities drawn with a mesh. This is the class record and
// the base that derived classes build on; the mesh behaviour comes with the
// mesh-entity code.
#pragma once

#include "VERirezo/Entity.h"

class EMesh;

class EMeshEntity : public EEntity {
  DECLARE_ENTITY_CLASS(EMeshEntity)
public:
  EMeshEntity(EDomain* pDomain, const char* szName)
      : EEntity(pDomain, szName), m_pMesh(nullptr), m_fDetailCullingAlpha(1.0f) {}

  bool IsMeshEntity() const override { return true; }
  void RequestRender() override {}
  void RunAffectors() override {}
  EMesh* GetMesh() const { return m_pMesh; }
  // Gives the entity its mesh (the entity becomes the mesh's owner).
  void SetMesh(EMesh* pMesh, bool bOwn);
  // The entity's alpha with its parents' and the camera's; opaque until
  // fading comes with the mesh-entity drawing.
  float GetCompoundAlpha() const { return 1.0f; }
  float GetDetailCullingAlpha() const { return m_fDetailCullingAlpha; }
  void SetDetailCullingAlpha(float fAlpha) { m_fDetailCullingAlpha = fAlpha; }

private:
  EMesh* m_pMesh;
  float m_fDetailCullingAlpha;
};
