// Reads the input as a save-game file: first only checked, then applied to
// the scripts' tables of a real script host and to the scrapbook, and its
// text read again as the scripts' saved state in string form.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Game/PCGameApp.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "SaveFuzzSupport.h"

namespace {

PCGameApp* s_pApp = nullptr;
char s_szDir[] = "/tmp/quillomar-savefuzz-XXXXXX";
ELoadSaveGame* s_pSaves = nullptr;

void Quiet(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char* dir = mkdtemp(s_szDir);
  if (!dir) abort();
  // The class files go again when the run ends.
  atexit([] {
    std::string cmd = std::string("rm -rf '") + s_szDir + "'";
    if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", s_szDir);
  });
  if (!fuzzsupport::WriteSaveClasses(dir)) abort();
  gFile->AddReadPath(dir, true);
  g_ErrorManager.SetConsoleCallback(&Quiet);
  s_pApp = new PCGameApp();
  s_pApp->m_pUIMenu = new EUIMenu();
  s_pSaves = new ELoadSaveGame();
  s_pApp->m_pSaveLoadInterface = s_pSaves;
  gGameApp = s_pApp;
  s_pSaves->Startup();
  EScriptVM* vm = s_pApp->GetScriptVM();
  vm->Initialise();
  if (!vm->CreateScriptObject("Holder", "Global", nullptr, nullptr, false, false, true, false)) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  s_pSaves->LoadTableFromBytes(data, (int)size, false);
  s_pSaves->LoadTableFromBytes(data, (int)size, true);
  EString text(reinterpret_cast<const char*>(data), (int)size);
  s_pSaves->LoadLuaSaveableStateFromString(text);
  // What the input made below the object goes again before the next one.
  EScriptVM* vm = s_pApp->GetScriptVM();
  vm->RunLuaCommands("for k, v in gLSO.Global do if type(v) == \"table\" then gLSO.Global[k] = nil end end",
                     nullptr, nullptr, 0);
  vm->ForceGarbageCollection();
  return 0;
}
