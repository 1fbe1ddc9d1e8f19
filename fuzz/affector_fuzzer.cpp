// Reads the input as a mesh's affector record and plays the affector and a
// copy of it (which outlives the source) over a mesh.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Instancable.h"
#include "VERirezo/Mesh.h"

namespace {
void AffectorFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&AffectorFuzzQuiet);
  EMemReader reader(data, (unsigned)size);
  EAffector* affector = ReadAffectorRecord(reader);
  if (!affector) return 0;
  EMesh mesh;
  mesh.SetFlags(EMesh::kFLAG_FrameAnimRunning);
  static const float kSteps[] = {0.0f, 16.0f, 50.0f, 1000.0f, 100000.0f};
  for (float dt : kSteps) affector->Run(&mesh, dt);
  EAffector* copy = static_cast<EAffector*>(affector->Instantiate());
  delete affector;
  mesh.SetFlags(EMesh::kFLAG_FrameAnimRunning);
  for (float dt : kSteps) copy->Run(&mesh, dt);
  delete copy;
  return 0;
}
