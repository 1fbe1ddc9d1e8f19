// Reads the input as a ".jan" skeletal animation and, when it loads,
// samples every channel of every joint, then discards the data to a stub.

#include <cstddef>
#include <cstdint>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/SkelAnim.h"

namespace {
void JanFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&JanFuzzQuiet);
  ESkelAnimShared anim;
  EMemReader reader(data, (unsigned)size);
  if (!anim.InitFromFile(reader, (unsigned)size)) return 0;
  volatile float sum = 0.0f;
  static const float kTimes[] = {-1.0f, 0.0f, 0.5f, 3.7f, 2.0f, 70000.0f};
  for (int j = 0; j < anim.GetNumLoadedJoints(); ++j) {
    const EJointAnimShared* joint = anim.GetAnim(j);
    uint16_t hints[4] = {0, 0, 0, 0};
    for (float t : kTimes) {
      if (joint->m_pPos) sum = sum + joint->m_pPos->GetValue(t, &hints[0]).x + joint->m_pPos->GetFinalValue().y;
      if (joint->m_pScale) sum = sum + joint->m_pScale->GetValue(t, &hints[1]).z;
      if (joint->m_pRot) sum = sum + joint->m_pRot->GetValue(t, &hints[2]).w + (float)joint->m_pRot->GetFinalTime();
      if (joint->m_pRotComp) sum = sum + joint->m_pRotComp->GetValue(t, &hints[3]).w;
    }
  }
  sum = sum + (float)anim.GetLoadedDeltaTransLength();
  anim.DiscardData();
  sum = sum + (float)anim.GetLoadedDeltaTransLength();
  return 0;
}
