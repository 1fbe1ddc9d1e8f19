// The data every copy of a mesh shares: name, placement read from the mesh
// record, local box and level-of-detail switch distances.
#pragma once

#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/String.h"
#include "VERirezo/BlendShapeController.h"

class ECollisionTree;
class EModelTriggerOBB;

class EModel {
public:
  EModel();
  // The shared empty model of meshes that have none.
  explicit EModel(bool bEmpty);
  // Deletes the trigger shapes.
  ~EModel();

  // "" while the model has no name.
  const char* GetName() const {
    const char* szName = m_sName;
    return szName ? szName : "";
  }
  void SetName(const char* szName) { m_sName = szName; }
  // Levels count from 1 (finest); the model keeps one switch distance less.
  int GetNumLODs() const { return m_iNumLODs; }
  float GetLODDistance(int i) const { return m_aLODDistances[i]; }
  // Levels of detail with the distances at which each coarser one starts.
  void SetLODs(const float* pDistances, int iNumDistances);
  // The level count as a record states it (1 carries no distances).
  void SetNumLODs(int iCount) { m_iNumLODs = iCount; }
  int GetNumTriggers() const { return m_iNumTriggers; }
  bool HasBlendShape() const { return m_byHasBlendShape != 0; }
  EBlendShapeController* GetBlendShapeController() { return &m_BlendShapeController; }

  EString m_sName;
  EVec3 m_vPosition;
  EMat4 m_mRotation;
  EVec3 m_vScale;
  EBox3 m_Box;
  ECollisionTree* m_pCollisionTree;
  EBlendShapeController m_BlendShapeController;
  int32_t m_iNumTriggers;
  // The trigger shapes read with the model (owned), one per trigger record.
  EArray<EModelTriggerOBB*> m_apTriggerShapes;
  uint8_t m_byHasBlendShape;
  // The DATATYPE the model was loaded with.
  int32_t m_eDataType = 0;

private:
  int32_t m_iNumLODs;
  EArray<float> m_aLODDistances;
};

// The model of every mesh that has none; never deleted by a mesh.
EModel* GetEmptyModel();
