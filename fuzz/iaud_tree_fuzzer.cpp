// Reads the input as an audio content tree under a content bank, which makes
// folders, paths, parameter curve sets, transitions and global effects; then evaluates what
// loaded and writes the tree back.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

namespace {

void TouchTree(IAUDContentObject* parent) {
  for (IAUDContentObject* o = parent->GetChild(); o; o = o->GetAfter()) {
    uint32_t type = o->GetObjectType();
    if (type == IAUDFourCC("path")) {
      CPath* p = static_cast<CPath*>(o);
      IAUDVector pos, vel;
      for (uint32_t t : {0u, 10u, 333u, 980u, 1000u, 1200u}) p->GetPathPositionVelocity(t, 1000, &pos, &vel);
      p->updateTimeStamps(0);
      p->GetPathPosition(500, 1000, &pos);
    } else if (type == IAUDFourCC("rpc ")) {
      CRPController* r = static_cast<CRPController*>(o);
      for (uint32_t id = 0; id < 70; ++id) r->GetParameterValue(id, 0.5f);
    } else if (type == IAUDFourCC("tran")) {
      STransition t;
      static_cast<CTransition*>(o)->GetTransition(&t);
    } else if (type == IAUDFourCC("gbef")) {
      CGlobalEffect* g = static_cast<CGlobalEffect*>(o);
      for (long slot = 0; slot < 32; ++slot) g->GetSlotEffectSet(slot);
    }
    for (int32_t i = 0; i < o->GetNumMarkers(); ++i) o->FindMarkerIndexFromMetric(o->GetMarkerByIndex(i)->dwMetricPosition);
    TouchTree(o);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!in) return 0;
  IAUDContentBank* bank = new IAUDContentBank();
  RiffChunk root;
  if (IAUDContentObject::DescendFile(in, &root, nullptr) && root.dwChunkId == IAUDFourCC("RIFF"))
    bank->UnArchiveObject(in, root);
  fclose(in);
  TouchTree(bank);
  if (FILE* out = tmpfile()) {
    bank->ArchiveObject(out);
    fclose(out);
  }
  bank->RemoveObject();
  IAUDResourceManager::ReleaseAllGroups();
  return 0;
}
