#include "Game/PCGameApp.h"

#include <cstdlib>
#include <strings.h>

unsigned int g_dwDisplayWidth = 640;
unsigned int g_dwDisplayHeight = 480;
unsigned int g_dwRefreshRate = 60;
const char* GForceMojoShaderProfile = nullptr;
bool g_bFullScreen = false;
bool g_bAntiAlias = false;

static const char* s_pszPendingOption = nullptr;

PCGameApp::PCGameApp() : m_bNoSoundOption(false), m_bWindowActive(true) { m_iLastKeyPress = 0; }

PCGameApp::~PCGameApp() {}

void PCGameApp::ParseCommandLine(int argc, char** argv) {
  s_pszPendingOption = nullptr;
  for (int i = 1; i < argc; ++i) HandleCommandLineArg(argv[i]);
  s_pszPendingOption = nullptr;
}

void PCGameApp::HandleCommandLineArg(const char* arg) {
  if (s_pszPendingOption) {
    const char* opt = s_pszPendingOption;
    s_pszPendingOption = nullptr;
    if (!strcasecmp(opt, "-width")) g_dwDisplayWidth = (unsigned)atoi(arg);
    else if (!strcasecmp(opt, "-height")) g_dwDisplayHeight = (unsigned)atoi(arg);
    else if (!strcasecmp(opt, "-refresh")) g_dwRefreshRate = (unsigned)atoi(arg);
    else if (!strcasecmp(opt, "-mojoshaderprofile")) GForceMojoShaderProfile = arg;
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
    m_bNoSoundOption = true;
  }
}

void PCGameApp::HandleKeyPresses(unsigned key, bool down) {
  if (down) m_iLastKeyPress = (int)key;
}

void PCGameApp::SetWindowActive(bool active) { m_bWindowActive = active; }
