// Writes the seed corpus of the profile-record and save-reader harnesses
// with the game's own writers: a profile created in a temporary user data
// directory and saves of a game with quick picks, a scrapbook and saved
// script tables.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Game/BubbleControlHandler.h"
#include "Game/PCGameApp.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFileManager.h"
#include "SaveFuzzSupport.h"

namespace {

bool Copy(const std::string& from, const std::string& to) {
  FILE* in = fopen(from.c_str(), "rb");
  if (!in) return false;
  FILE* out = fopen(to.c_str(), "wb");
  if (!out) {
    fclose(in);
    return false;
  }
  char buf[4096];
  size_t n;
  bool ok = true;
  while ((n = fread(buf, 1, sizeof(buf), in)) > 0) ok = ok && fwrite(buf, 1, n, out) == n;
  fclose(in);
  return fclose(out) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s corpus-folder\n", argv[0]);
    return 2;
  }
  std::string root = argv[1];
  std::string records = root + "/profile_record_fuzzer", saves = root + "/save_reader_fuzzer";
  mkdir(root.c_str(), 0700);
  mkdir(records.c_str(), 0700);
  mkdir(saves.c_str(), 0700);

  char dir[] = "/tmp/quillomar-saveseeds-XXXXXX";
  if (!mkdtemp(dir)) return 1;
  std::string work = dir;
  setenv("XDG_DATA_HOME", (work + "/xdg").c_str(), 1);
  if (!fuzzsupport::WriteSaveClasses(work)) return 1;

  EFileManager* files = new EFileManager();
  gFile = files;
  files->AddReadPath(work.c_str(), true);
  PCGameApp* app = new PCGameApp();
  EUIMenu* menu = new EUIMenu();
  app->m_pUIMenu = menu;
  ELoadSaveGame* manager = new ELoadSaveGame();
  app->m_pSaveLoadInterface = manager;
  gGameApp = app;
  manager->Startup();
  EScriptVM* vm = app->GetScriptVM();
  vm->Initialise();
  vm->CreateScriptObject("Holder", "Global", nullptr, nullptr, false, false, true, false);
  vm->RunLuaCommands(
      "Global = gLSO.Global  Global.player = { stats = { rank = 3, name = \"Raz\" } }"
      "  Global.saved = { flag = 1, text = \"a|b\", list = { 4, \"five\", 6 }, deep = { er = { x = 0 } } }",
      nullptr, nullptr, 0);
  if (!manager->CreateCurrentProfile(0, "Seed")) return 1;

  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_0, 3);
  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_2, 5);
  EScrapBookSheet* sheet = menu->GetInGameMenu()->GetScrapbookSheet();
  sheet->RegisterEnvelope("Title", "", "ENV1");
  sheet->RegisterScrapbookItem("Label", "Message", "ENV1");
  sheet->RegisterEmoBagItem("", "Concept", "ENV1");
  sheet->RegisterMovieToScrapbook("intro.zoe", "ENV1");
  bool ok = manager->Save("Seed", 1, true) > 0;
  sheet->RemoveAllScrapbookItems();
  ok = ok && manager->Save("Autosave", 0, true) > 0;

  std::string profile = files->GetUserDataDir() + std::string("/Profiles/Profile 1/");
  ok = ok && Copy(profile + "Profile 1- Seed", records + "/seed.prf");
  ok = ok && Copy(profile + "SavedGame1", saves + "/scrapbook.sav");
  ok = ok && Copy(profile + "SavedGame0", saves + "/autosave.sav");
  ok = ok && Copy(profile + "SavedGame2", saves + "/preallocated.sav");

  vm->Shutdown();
  std::string cmd = "rm -rf '" + work + "'";
  if (system(cmd.c_str()) != 0) ok = false;
  return ok ? 0 : 1;
}
