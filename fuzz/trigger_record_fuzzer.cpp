// Reads the input as trigger records of a mesh (one after another, as the
// mesh record holds them), then asks each trigger what it contains, where it
// is filed and how it describes itself, copies it and deletes everything.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "TWUtil/EStream.h"
#include "VERirezo/CollisionQuery.h"
#include "VERirezo/TriggerShapes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  EMemReader s(data, (unsigned)size);
  std::vector<EModelTriggerOBB*> shapes;
  std::vector<ETriggerOBB*> triggers;
  for (int i = 0; i < 8; ++i) {
    EModelTriggerOBB* pShape = new EModelTriggerOBB();
    ETriggerOBB* pTrigger = new ETriggerOBB();
    pTrigger->SetModelTrigger(pShape);
    shapes.push_back(pShape);
    triggers.push_back(pTrigger);
    if (!pTrigger->Init(nullptr, s)) break;
  }
  for (ETriggerOBB* pTrigger : triggers) {
    (void)pTrigger->GetCollisionBoundingBox();
    (void)pTrigger->GetTrans();
    char szText[64];
    pTrigger->Describe(szText, (int)sizeof(szText));
    ESweepHitQuery q;
    q.vStart = EVec3(0.0f, 0.0f, -100.0f);
    q.vMove = EVec3(0.0f, 0.0f, 200.0f);
    q.fRadius = 10.0f;
    pTrigger->ProcessIntersection(q, false);
    ETriggerOBB copy;
    copy.Init(nullptr, *pTrigger);
    copy.SetBox(EBox3(EVec3(-1.0f, -1.0f, -1.0f), EVec3(1.0f, 1.0f, 1.0f)));
  }
  for (ETriggerOBB* pTrigger : triggers) delete pTrigger;
  for (EModelTriggerOBB* pShape : shapes) delete pShape;
  return 0;
}
