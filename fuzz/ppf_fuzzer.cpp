// Reads the input as a level pack through the application's pack reader:
// textures, meshes, scripts and, unless it is the common pack, the scene
// into the level domain; then takes the level down again.
//
// Input: one byte (bit 0: the common pack), then the pack.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Game/PCGameApp.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Domain.h"
#include "VERirezo/MeshFrag.h"
#include "VERirezo/MeshManager.h"
#include "VERirezo/Scene.h"
#include "VERirezo/TextureManager.h"

namespace {
void PpfFuzzQuiet(const char*) {}
char s_szPackPath[64];
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  g_ErrorManager.SetConsoleCallback(&PpfFuzzQuiet);
  PCGameApp* pApp = new PCGameApp();
  pApp->m_pMeshFragManager = new EMeshFragManager();
  pApp->m_pGameTextureManager = new EGameTextureManager();
  pApp->m_pSceneManager = new ESceneManager();
  pApp->m_pLevelDomain = pApp->m_pSceneManager->GetDefaultSceneRootDomain()->CreateChildDomain("Level");
  // Common data may be taken down as at the end of the game.
  pApp->m_bQuit = true;
  gGameApp = pApp;
  pApp->GetScriptVM()->Initialise();
  EMeshManager::Initialize();
  snprintf(s_szPackPath, sizeof(s_szPackPath), "/tmp/ppf_fuzzer_%d.ppf", (int)getpid());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const bool bCommon = (data[0] & 1) != 0;
  FILE* f = fopen(s_szPackPath, "wb");
  if (!f) abort();
  if (size > 1 && fwrite(data + 1, size - 1, 1, f) != 1) abort();
  fclose(f);
  GameApp* pApp = gGameApp;
  EFile* pFile = EWin32File::Open(s_szPackPath, FILE_READ);
  if (!pFile) abort();
  {
    EFileReader reader(pFile, kAUTOCLOSE_Yes);
    bool bScene = false;
    pApp->ReadLevelPack(reader, bCommon, &bScene);
  }
  pApp->m_pLevelDomain->Clear();
  EMeshManager::Get()->PurgeCache(true);
  return 0;
}
