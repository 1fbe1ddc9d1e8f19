#include "VERirezo/MeshFrag.h"

#include "VERirezo/Mesh.h"
#include "VERirezo/ModelFrag.h"

EMeshFrag& EMeshFrag::operator=(EModelFrag& modelFrag) {
  m_pModelFrag = &modelFrag;
  m_dwFlags = modelFrag.m_dwFragFlags;
  return *this;
}

bool EMeshFrag::Read(EStream& s, int iVersion, const EArray<unsigned>& aTextureIds, int eDataType) {
  EModelFrag* pModelFrag = EModelFragManager::ModelFragNew();
  pModelFrag->m_pOwnerModel = m_pMesh ? m_pMesh->GetModel() : nullptr;
  if (!pModelFrag->Read(s, iVersion, aTextureIds, eDataType)) {
    EModelFragManager::ModelFragDelete(pModelFrag);
    return false;
  }
  *this = *pModelFrag;
  return true;
}
