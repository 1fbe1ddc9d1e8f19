// Reads the input as a mesh pack into the mesh manager, hands out and takes
// back an instance of each cached mesh, then empties the cache.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Game/PCGameApp.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Mesh.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshManager.h"

namespace {
void MpfFuzzQuiet(const char*) {}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ErrorManager.SetConsoleCallback(&MpfFuzzQuiet);
  PCGameApp* pApp = new PCGameApp();
  pApp->m_pMeshFragManager = new EMeshFragManager();
  // Common data may be taken down as at the end of the game.
  pApp->m_bQuit = true;
  gGameApp = pApp;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EMeshManager* pManager = EMeshManager::Get();
  EMemReader reader(data, (unsigned)size);
  pManager->ReadPackFile(reader);
  pManager->DumpDebugInfo();
  pManager->PurgeCache(false);
  pManager->PurgeCache(true);
  return 0;
}
