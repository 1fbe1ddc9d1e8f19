// Process entry and the SDL window-event pump.

#include "UnixMain/UnixMain.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "Game/PCGameApp.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"

bool g_bWMQuitReceived = false;
int g_iReturnValue = 0;

static PCGameApp* s_pApp = nullptr;

// Exit status when start-up fails (the renderer could not start).
static const int kSTARTUP_FAILED_STATUS = 1;

char* calcBaseDir(const char* programPath) {
  if (!programPath) return nullptr;
  const char* slash = strrchr(programPath, '/');
  if (slash) {
    size_t n = (size_t)(slash - programPath);
    char* dir = static_cast<char*>(malloc(n + 1));
    if (!dir) return nullptr;
    memcpy(dir, programPath, n);
    dir[n] = '\0';
    return dir;
  }

  const char* env = getenv("PATH");
  if (!env) return nullptr;
  char* paths = strdup(env);
  if (!paths) return nullptr;

  size_t nameLen = strlen(programPath);
  char* buf = nullptr;
  size_t bufSize = 0;
  char* result = nullptr;
  // An empty element of PATH means the current directory, as the shell has it.
  // strsep keeps empty elements where strtok would drop them.
  char* cursor = paths;
  char* tok;
  while ((tok = strsep(&cursor, ":")) != nullptr) {
    const char* dir = *tok ? tok : ".";
    size_t dirLen = strlen(dir);
    size_t need = dirLen + nameLen + 2;
    if (need > bufSize) {
      char* grown = static_cast<char*>(realloc(buf, need));
      if (!grown) {
        free(buf);
        free(paths);
        return nullptr;
      }
      buf = grown;
      bufSize = need;
    }
    if (dirLen > 0 && dir[dirLen - 1] == '/') snprintf(buf, bufSize, "%s%s", dir, programPath);
    else snprintf(buf, bufSize, "%s/%s", dir, programPath);
    if (access(buf, X_OK) == 0) {
      result = strdup(dir);
      break;
    }
  }
  free(buf);
  free(paths);
  return result;
}

bool PCMainHandleAnyWindowsMessages() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    STUBBED("dispatch SDL events");
    switch (event.type) {
      case SDL_KEYDOWN: {
        const SDL_keysym& ks = event.key.keysym;
        if (ks.sym == SDLK_g && (ks.mod & (KMOD_LCTRL | KMOD_RCTRL))) {
          if (SDL_WM_GrabInput(SDL_GRAB_QUERY) == SDL_GRAB_ON) {
            SDL_ShowCursor(SDL_ENABLE);
            SDL_WM_GrabInput(SDL_GRAB_OFF);
          } else {
            SDL_ShowCursor(SDL_DISABLE);
            SDL_WM_GrabInput(SDL_GRAB_ON);
          }
          break;
        }
        if (s_pApp) {
          unsigned code = ks.unicode;
          if (ks.sym == SDLK_ESCAPE) code = 27;
          else if (ks.sym == SDLK_BACKSPACE) code = 8;
          else if (ks.sym == SDLK_RETURN || ks.sym == SDLK_KP_ENTER) code = 13;
          s_pApp->HandleKeyPresses(code, true);
        }
        break;
      }
      case SDL_QUIT:
        g_bWMQuitReceived = true;
        g_iReturnValue = 0;
        break;
      case SDL_ACTIVEEVENT:
        if ((event.active.state & SDL_APPINPUTFOCUS) && s_pApp) s_pApp->SetWindowActive(event.active.gain != 0);
        break;
      default:
        break;
    }
  }
  return g_bWMQuitReceived;
}

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-v") == 0) {
      printf("Quillomar Version: %c%d.%d\n", 'P', (int)g_dwBuildVersionMajor, (int)g_dwBuildVersionMinor);
      return 0;
    }
  }

  atexit(SDL_Quit);

  if (char* baseDir = calcBaseDir(argv[0])) {
    if (chdir(baseDir) != 0) {
      // Resources are then looked for relative to where we were started.
    }
    free(baseDir);
  }

  SetPCLanguage(kLANGUAGE_English);
  g_mainWindowCaption = "Quillomar";
  g_mainWindowCaptionSmall = "quillomar";

  gFile->AddReadPath("WorkResource", false);
  gFile->AddReadPath("TestResource", false);
  gFile->SetWritePath("WorkResource");
  gFile->AddFilePackage("QuillomarData2.pkg");

  PCGameApp* app = new PCGameApp();
  s_pApp = app;
  app->ParseCommandLine(argc, argv);

  int status = kSTARTUP_FAILED_STATUS;
  if (app->StartUp(nullptr)) {
    g_ErrorManager.TraceMessagef("UnixMain: StartUp successful..");
    char cwd[4096];
    if (!getcwd(cwd, sizeof(cwd))) {
      g_ErrorManager.TraceMessagef("Unable to get working directory!");
      snprintf(cwd, sizeof(cwd), "%s", "unknown");
    }
    g_ErrorManager.TraceMessagef("Working directory: %s", cwd);

    while (!PCMainHandleAnyWindowsMessages() && !app->m_bQuit) {
      app->InitFrame();
      app->RenderFrame();
      app->EndFrame();
    }
    status = g_iReturnValue;
    app->m_bQuit = true;
  }

  app->Shutdown();
  s_pApp = nullptr;
  delete app;
  return status;
}
