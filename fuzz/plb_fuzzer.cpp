// Reads the input as a scene file into a fresh scene, with its runtime
// references read inline from the rest of the input, then asks the
// visibility tree about a few boxes and takes the scene down.
//
// Input: one byte (bits 0-2 the data type, bit 3 the single-mesh switch),
// then the scene stream.

#include <cstddef>
#include <cstdint>

#include "Game/PCGameApp.h"
#include "TWMath/Octree.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Scene.h"
#include "VERirezo/Visibility.h"

namespace {
void PlbFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ErrorManager.SetConsoleCallback(&PlbFuzzQuiet);
  PCGameApp* pApp = new PCGameApp();
  pApp->m_pMeshFragManager = new EMeshFragManager();
  // Common data may be taken down as at the end of the game.
  pApp->m_bQuit = true;
  gGameApp = pApp;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int eDataType = data[0] & 7;
  const bool bNonScene = (data[0] & 8) != 0;
  {
    EScene scene;
    scene.SetReferencesInline(true);
    EMemReader reader(data + 1, (unsigned)(size - 1));
    scene.LoadSceneInto(scene.GetRootDomain(), reader, bNonScene, eDataType);
    if (EVisibilityTree* pTree = scene.GetVisibilityTree()) {
      const EOctree* pOctree = pTree->GetOctree();
      ESSECube cube;
      const unsigned hLeaf = pOctree->FindNode(EVec3(0, 0, 0), &cube);
      if (hLeaf != EOctree::kNOT_FOUND) {
        volatile bool b = pTree->BoxVisible(EBox3(EVec3(-100, -100, -100), EVec3(100, 100, 100)), hLeaf, cube);
        b = pTree->BoxVisible(EBox3(EVec3(1e6f, 1e6f, 1e6f), EVec3(2e6f, 2e6f, 2e6f)), hLeaf, cube);
        (void)b;
      }
    }
    scene.GetRootDomain()->UpdateBoundingBox();
  }
  // Placed entities' meshes go with the purge.
  EMeshManager::Get()->PurgeCache(true);
  return 0;
}
