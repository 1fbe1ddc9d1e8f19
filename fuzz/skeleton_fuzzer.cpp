// Reads the input as skeleton records (with their nested joint records) and,
// when one loads, poses it, copies it and looks its joints up.
//
// Input: one byte choosing the scene version (even 318, odd 294), then the
// records.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Joint.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/Skeleton.h"

namespace {
void SkeletonFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_ErrorManager.SetConsoleCallback(&SkeletonFuzzQuiet);
  if (size < 1) return 0;
  const unsigned version = (data[0] & 1) ? 294 : 318;
  EMemReader reader(data + 1, (unsigned)(size - 1));
  EMesh mesh;
  mesh.SetScale(EVec3(1.0f, 1.0f, 1.0f));
  for (int i = 0; i < 4; ++i) {
    ESkeleton* pSkeleton = new ESkeleton;
    if (!pSkeleton->Read(reader, version)) {
      delete pSkeleton;
      break;
    }
    mesh.AddSkeleton(pSkeleton);
  }
  volatile float sum = 0.0f;
  for (int i = 0; i < mesh.GetNumSkeletons(); ++i) {
    ESkeleton* pSkeleton = mesh.GetSkeleton(i);
    pSkeleton->m_vScale = EVec3(1.0f, 2.0f, 1.0f);
    pSkeleton->Transform();
    for (int j = 0; j < pSkeleton->GetNumJoints(); ++j) {
      EJoint* pJoint = &pSkeleton->GetJoints()[j];
      sum = sum + pJoint->m_mSkinning.m[12] + (float)pJoint->GetId();
      if (const char* szName = pJoint->GetName()) sum = sum + (mesh.FindJoint(szName) != nullptr);
      if (EJoint* pParent = pJoint->GetParent()) sum = sum + pParent->m_mPose.m[13];
      if (EJoint* pSibling = pJoint->GetSibling()) sum = sum + (float)pSibling->GetIndex();
    }
    for (unsigned id : {0u, 0x1001u, 0x00FEu, 0xFFFFu}) sum = sum + (mesh.GetJointFromID(id) != nullptr);
  }
  EMesh copy(mesh);
  copy.CopyStaticPose(&mesh, false);
  for (int i = 0; i < copy.GetNumSkeletons(); ++i) copy.GetSkeleton(i)->Transform();
  return 0;
}
