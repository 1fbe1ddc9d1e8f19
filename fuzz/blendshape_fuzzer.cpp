// Reads the input as a blend-target block and a ".pbx" fragment file, then
// looks targets up, instances the set and dumps its statistics.
//
// Input: one byte choosing the version (even 100, odd 101), a u32 length n
// of the target block, n bytes of it, then the ".pbx" file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/BlendShape.h"

namespace {
void BlendShapeFuzzQuiet(const char*) {}
const char* const kBlendShapeFuzzPbx = "blendshape_fuzz.pbx";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&BlendShapeFuzzQuiet);
  if (size < 5) return 0;
  const unsigned version = (data[0] & 1) ? 101 : 100;
  uint32_t n = (uint32_t)data[1] | ((uint32_t)data[2] << 8) | ((uint32_t)data[3] << 16) | ((uint32_t)data[4] << 24);
  if (n > size - 5) n = (uint32_t)(size - 5);
  FILE* f = fopen(kBlendShapeFuzzPbx, "wb");
  if (!f) return 0;
  fwrite(data + 5 + n, 1, size - 5 - n, f);
  fclose(f);

  struct VersionedReader : EMemReader {
    VersionedReader(const void* p, unsigned len) : EMemReader(p, len) {}
    const char* GetName() override { return "blendshape_fuzz.tgt"; }
  } reader(data + 5, n);
  EBlendShape* shape = new EBlendShape();
  if (version == 101) {
    shape->load(reader);
  } else {
    shape->loadTarget(reader);
    shape->loadFragment(kBlendShapeFuzzPbx);
  }
  volatile int sum = shape->targetIndex("Smile") + shape->targetIndex("");
  volatile float offsets = 0.0f;
  for (unsigned t = 0; t < shape->numBlendTargets(); ++t) {
    const EBlendTarget* target = shape->blendTargets(t);
    sum = sum + shape->targetIndex(target->getName());
    for (unsigned v = 0; v < target->numVertices(); ++v) {
      sum = sum + (int)(target->vertices()[v].m_uIndex & 0xFFFF);
      offsets = offsets + target->vertices()[v].m_vOffset.x;
    }
  }
  shape->DumpInfo(nullptr);
  EBlendShape* first = static_cast<EBlendShape*>(shape->Instantiate());
  EBlendShape* copy = static_cast<EBlendShape*>(shape->Instantiate());
  sum = sum + (int)copy->numBlendFragments() + (int)first->numBlendTargets();
  copy->DestroyInstance();
  delete copy;
  shape->DestroyInstance();
  delete shape;
  remove(kBlendShapeFuzzPbx);
  return 0;
}
