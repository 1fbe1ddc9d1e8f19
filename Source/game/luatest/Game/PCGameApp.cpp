#include "Game/PCGameApp.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "TWUtil/Array.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Path.h"
#include "TWUtil/String.h"
#include "TWUtil/TWUnixCompat.h"

unsigned int g_dwDisplayWidth = 640;
unsigned int g_dwDisplayHeight = 480;
unsigned int g_dwRefreshRate = 60;
const char* GForceMojoShaderProfile = nullptr;
bool g_bFullScreen = false;
bool g_bAntiAlias = false;

static const char* s_pszPendingOption = nullptr;

// The menu space the mouse pointer moves in.
static const float kMENU_WIDTH = 640.0f;
static const float kMENU_HEIGHT = 480.0f;
// Button presses are dropped for this long after one was seen in a menu.
static const float kMENU_BUTTON_DELAY_MS = 500.0f;
static const unsigned kCPUCAPS_SSE = 0x2000000;

PCGameApp::PCGameApp()
    : m_pWindowHandle(nullptr),
      m_fMenuButtonDelay(0.0f),
      m_dwCPUCaps(0),
      m_vMousePoint(320.0f, 240.0f),
      m_vLastMousePoint(320.0f, 240.0f),
      m_bWindowActive(true) {
  m_iLastKeyPress = 0;
}

PCGameApp::~PCGameApp() {}

// Command line

void PCGameApp::ParseCommandLine(int argc, char** argv) {
  s_pszPendingOption = nullptr;
  for (int i = 1; i < argc; ++i) HandleCommandLineArg(argv[i]);
  s_pszPendingOption = nullptr;
}

// A positive whole number that a display mode can use; anything else is
// refused.
static bool ParseOptionNumber(const char* text, unsigned int& out) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  long v = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v <= 0 || v > 65535) return false;
  out = (unsigned int)v;
  return true;
}

void PCGameApp::HandleCommandLineArg(const char* arg) {
  if (s_pszPendingOption) {
    const char* opt = s_pszPendingOption;
    s_pszPendingOption = nullptr;
    unsigned int* target = nullptr;
    if (!strcasecmp(opt, "-width")) target = &g_dwDisplayWidth;
    else if (!strcasecmp(opt, "-height")) target = &g_dwDisplayHeight;
    else if (!strcasecmp(opt, "-refresh")) target = &g_dwRefreshRate;
    else if (!strcasecmp(opt, "-mojoshaderprofile")) GForceMojoShaderProfile = arg;
    if (target) {
      unsigned int value;
      if (ParseOptionNumber(arg, value)) *target = value;
      else g_ErrorManager.TraceMessagef(TT_Warning, "Ignoring invalid value '%s' for option %s", arg, opt);
    }
    return;
  }
  if (!strcasecmp(arg, "-width") || !strcasecmp(arg, "-height") || !strcasecmp(arg, "-refresh") ||
      !strcasecmp(arg, "-mojoshaderprofile")) {
    s_pszPendingOption = arg;
  } else if (!strcasecmp(arg, "-fullscreen")) {
    g_bFullScreen = true;
  } else if (!strcasecmp(arg, "-antialias")) {
    g_bAntiAlias = true;
  } else if (!strcasecmp(arg, "-nosound")) {
    m_Prefs.m_bSound = false;
  }
}

// Start-up and frame

void PCGameApp::DetectCPUCaps() {
  STUBBED("fix up the rest of the SSE code first");
  m_dwCPUCaps = 0;
}

bool PCGameApp::StartUp(void* data) {
  DetectCPUCaps();
  bool result = GameApp::StartUp(data);
  if (m_dwCPUCaps & kCPUCAPS_SSE) m_Prefs.m_bSSE = true;
  return result;
}

bool PCGameApp::InitFrame() { return GameApp::InitFrame(); }

bool PCGameApp::Shutdown() { return GameApp::Shutdown(); }

// Input

bool PCGameApp::InitInput(void* window) {
  m_pWindowHandle = window;
  InitDirectInput(nullptr);
  SetupJoysticks();
  SetupKeyboard(window);
  SetupMouse(window);
  return true;
}

bool PCGameApp::IsJoystickPresent(unsigned short) { return DI8JoystickPresent(); }

void PCGameApp::UpdateInput(Input* input, Input* debugInput) {
  UpdateInputState(input, nullptr, debugInput, m_DebugHooks.SimpleDebugCombo);

  m_vLastMousePoint = m_vMousePoint;
  float dx = 0.0f, dy = 0.0f;
  ZARInput_GetMouseDeltas(&dx, &dy);
  EVec2 point(m_vMousePoint.x + dx, m_vMousePoint.y + dy);
  if (point.x < 0.0f) point.x = 0.0f;
  if (point.x > kMENU_WIDTH) point.x = kMENU_WIDTH;
  if (point.y < 0.0f) point.y = 0.0f;
  if (point.y > kMENU_HEIGHT) point.y = kMENU_HEIGHT;
  bool moved = point.x != m_vMousePoint.x || point.y != m_vMousePoint.y;
  if (moved) {
    m_vMousePoint = point;
    if (m_pUIMenu) m_pUIMenu->ResetMouseOverSelections();
  }

  CONTROL_HANDLER_TYPE handler = GetControlHandlerType();
  bool menusOwnInput = !LevelLoaded() || (m_pUIMenu && m_pUIMenu->IsInGameMenuActive()) ||
                       (m_pTutorialBoxManager && m_pTutorialBoxManager->IsActive()) ||
                       (m_pMessageBoxManager && m_pMessageBoxManager->IsMessageBoxActive()) ||
                       handler == kCONTROL_PROFILE || handler == kCONTROL_SLIDESHOW;
  if (menusOwnInput) {
    if (moved) {
      if (m_pUIMenu) m_pUIMenu->UpdateMouseSelection();
      input->m_nLookX = 0;
      input->m_nLookY = 0;
    }

    m_fMenuButtonDelay -= GetRealDeltaTimeMS();
    if (m_fMenuButtonDelay < 0.0f) m_fMenuButtonDelay = 0.0f;
    if (m_fMenuButtonDelay > 0.0f) {
      memset(input->m_aButtonPressed, 0, sizeof(input->m_aButtonPressed));
      memset(input->m_aAnalogButton, 0, sizeof(input->m_aAnalogButton));
    } else {
      for (int s = 0; s < kBUTTON_NUMBUTTONS; ++s) {
        if (input->m_aButtonPressed[s]) {
          m_fMenuButtonDelay = kMENU_BUTTON_DELAY_MS;
          break;
        }
      }
    }

    if (ZARInput_UIInputPressed(kUI_INPUT_ACCEPT)) {
      bool overItem = m_pUIMenu && m_pUIMenu->IsMouseOverBox();
      if (!(ZARInput_WasInputPressed(kINPUT_MOUSE_LEFT) && !overItem)) {
        input->Clear();
        input->m_aButtonPressed[kBUTTON_A] = 1;
      }
    } else if (ZARInput_UIInputPressed(kUI_INPUT_BACK)) {
      input->Clear();
      input->m_aButtonPressed[kBUTTON_B] = 1;
    }
  }

  if (m_pUIMenu) m_pUIMenu->EmptyMouseOverBoxes();
}

void PCGameApp::UpdateRumble(float) {
  // Rumble needs a force-feedback controller, which this platform never has.
  if (!XInputControllerExists()) return;
}

EVec2* PCGameApp::GetMousePoint() { return &m_vMousePoint; }

void PCGameApp::SetMousePoint(EVec2 point) { m_vMousePoint = point; }

void PCGameApp::ValidateGraphics() {}

void PCGameApp::UnlockAchievement(const char*) {}

void PCGameApp::SetWindowActive(bool active) {
  m_bWindowActive = active;
  SetMouseAcquire(active);
  if (m_pUIMenu) m_pUIMenu->SetAcceptLockout(400.0f);
}

void PCGameApp::HandleKeyPresses(unsigned key, bool down) {
  if (down) m_iLastKeyPress = (int)key;
}

// Saved-games folder

namespace {

// Every file below path, in directory order; folders are descended into.
void ListFilesRecursive(const char* path, bool repaired, EArray<EString>& out) {
  EString fixed;
  if (!repaired) {
    fixed = path;
    convertUnixFilename(fixed.GetCharArray().GetData(), path);
    path = *fixed;
  }
  DIR* dir = opendir(path);
  if (!dir) return;
  while (struct dirent* entry = readdir(dir)) {
    if (!strcmp(entry->d_name, ".") || !strcmp(entry->d_name, "..")) continue;
    char child[4096];
    int n = snprintf(child, sizeof(child), "%s/%s", path, entry->d_name);
    if (n < 0 || n >= (int)sizeof(child)) continue;
    struct stat st;
    if (stat(child, &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) ListFilesRecursive(child, true, out);
    else out.AddData(EString(child));
  }
  closedir(dir);
}

bool HasPathSeparator(const char* name) { return strchr(name, '/') || strchr(name, '\\'); }

// A save or record name as stored: ':' cannot appear in file names.
EString SaveFileName(const char* name) {
  EString copy(name);
  char* p = copy.GetCharArray().GetData();
  for (; p && *p; ++p)
    if (*p == ':') *p = '-';
  return copy;
}

// The folder of the current profile's record, relative to or inside the
// user data directory; empty without a profile.
EString CurrentProfileFolder(GameApp* app) {
  ELoadSaveGame* saves = app->GetSaveLoadInterface();
  EGameProfile* profile = saves ? saves->GetCurrentProfile() : nullptr;
  if (!profile || !profile->GetProfileFilename()) return EString();
  return Path::DirName(profile->GetProfileFilename());
}

// A folder below "Profiles", relative to the user data directory, whose
// components are all real names.
bool IsSaveFolder(const char* rel) {
  size_t n = strlen(kQUILLOMAR_SAVE_PATH);
  if (strncasecmp(rel, kQUILLOMAR_SAVE_PATH, n) != 0 || (rel[n] != '/' && rel[n] != '\\') || rel[n + 1] == '\0')
    return false;
  const char* p = rel;
  while (*p) {
    const char* end = p;
    while (*end && *end != '/' && *end != '\\') ++end;
    size_t len = (size_t)(end - p);
    if ((len == 2 && p[0] == '.' && p[1] == '.') || (len == 1 && p[0] == '.')) return false;
    p = *end ? end + 1 : end;
  }
  return true;
}

}  // namespace

void PCGameApp::GetSavedGamesDirectory(EArray<EString>& out) {
  const char* userDir = gFile->GetUserDataDir();
  EString root(EPrintfTag(), "%s\\%s", userDir, kQUILLOMAR_SAVE_PATH);
  EArray<EString> found;
  ListFilesRecursive(*root, false, found);
  int cut = (int)strlen(userDir) + 1;
  for (int i = 0; i < found.Num(); ++i) {
    if (found[i].Length() > cut) out.AddData(EString(*found[i] + cut));
  }
}

bool PCGameApp::DeleteSavedGamesDirectory(const char* folder) {
  const char* userDir = gFile->GetUserDataDir();
  if (!folder || !userDir) return false;
  const char* rel = folder;
  size_t dirLen = strlen(userDir);
  // A folder given with its full path must lie in the user data directory.
  if (!strncmp(folder, userDir, dirLen) && (folder[dirLen] == '/' || folder[dirLen] == '\\')) rel = folder + dirLen + 1;
  if (rel[0] == '/' || rel[0] == '\\' || (rel[0] && rel[1] == ':') || !IsSaveFolder(rel)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Refusing to delete saved games outside %s: '%s'", kQUILLOMAR_SAVE_PATH,
                                 folder);
    return false;
  }
  EString path(EPrintfTag(), "%s\\%s", userDir, rel);
  EArray<EString> files;
  ListFilesRecursive(*path, false, files);
  for (int i = 0; i < files.Num(); ++i) unlink(*files[i]);
  return true;
}

bool PCGameApp::CreateSaveGame(const char* name, unsigned mode, unsigned, char* folder, int folderSize, bool profile) {
  if (!name || !*name || HasPathSeparator(name) || !strcmp(name, "..")) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Bad save file name '%s'", name ? name : "");
    return false;
  }
  EString fileName = SaveFileName(name);

  unsigned flags = 0;
  if (mode == 1) flags = FILE_WRITE | FILE_CREATE | FILE_TRUNCATE;
  else if (mode == 3) flags = FILE_WRITE;

  EString sub;
  if (profile) {
    EString profileFolder(*fileName, fileName.Length() < 9 ? fileName.Length() : 9);
    sub = kQUILLOMAR_SAVE_PATH;
    Path::Join(sub, *profileFolder);
  } else {
    sub = CurrentProfileFolder(this);
  }
  // A profile folder already given with its full path stays as it is.
  EString full = sub.Length() && (*sub)[0] == '/' ? sub : EString(gFile->GetUserDataDir());
  if (sub.Length() && (*sub)[0] != '/') Path::Join(full, *sub);
  Path::Join(full, *fileName);

  if (mode == 1) {
    if (EFile* existing = gFile->Open(*full, FILE_READ, kFILELOC_AsGiven)) {
      existing->Close();
      return false;
    }
  }

  EString resultFolder = Path::DirName(*full);
  if (!resultFolder.Length() || !folder || resultFolder.Length() + 2 > folderSize)
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "false", false);

  EFile* file = gFile->Open(*full, flags, kFILELOC_AsGiven);
  if (!file) return false;
  file->Close();
  snprintf(folder, (size_t)folderSize, "%s/", *resultFolder);
  return true;
}

bool PCGameApp::DeleteSaveGame(const char* name) {
  if (!name || !*name || HasPathSeparator(name) || !strcmp(name, "..")) return false;
  EString fileName = SaveFileName(name);
  EString sub = CurrentProfileFolder(this);
  if (!sub.Length()) return false;
  EString full = (*sub)[0] == '/' ? sub : EString(gFile->GetUserDataDir());
  if ((*sub)[0] != '/') Path::Join(full, *sub);
  Path::Join(full, *fileName);
  convertUnixFilename(full.GetCharArray().GetData(), *full);
  return unlink(*full) == 0;
}

// Native script functions

void PCScript_UnlockAchievement(const char* name) {
  if (gGameApp) gGameApp->UnlockAchievement(name);
}

void PCScript_ResetStoreUserStats() {}

void PCScript_GetSaveString(EString& out) {
  ELoadSaveGame* saves = gGameApp ? gGameApp->GetSaveLoadInterface() : nullptr;
  if (saves) saves->SaveLuaSaveableStateToString(out);
  else out.Empty();
}
