#include "VERirezo/Model.h"

#include "VERirezo/TriggerShapes.h"

EModel::EModel()
    : m_vPosition(0.0f, 0.0f, 0.0f),
      m_vScale(1.0f, 1.0f, 1.0f),
      m_Box(EVec3(0.0f, 0.0f, 0.0f), EVec3(0.0f, 0.0f, 0.0f)),
      m_pCollisionTree(nullptr),
      m_iNumTriggers(0),
      m_byHasBlendShape(0),
      m_iNumLODs(0) {}

EModel::EModel(bool) : EModel() {}

EModel::~EModel() {
  for (int i = 0; i < m_apTriggerShapes.Num(); ++i) delete m_apTriggerShapes[i];
  m_apTriggerShapes.Empty();
  m_iNumTriggers = 0;
}

void EModel::SetLODs(const float* pDistances, int iNumDistances) {
  m_aLODDistances.Empty();
  for (int i = 0; i < iNumDistances; ++i) m_aLODDistances.AddData(pDistances[i]);
  m_iNumLODs = iNumDistances ? iNumDistances + 1 : 0;
}

EModel* GetEmptyModel() {
  static EModel s_EmptyModel(true);
  return &s_EmptyModel;
}
