#include "Game/GameApp.h"

#include <SDL/SDL.h>
#include <cstdio>
#include <cstring>

#include "TWUtil/Array.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"

GameApp* gGameApp = nullptr;

GameApp::GameApp()
    : m_bQuit(false),
      m_iLastKeyPress(0),
      m_iFrameCount(0),
      m_GraphicsSettings("DisplaySettings"),
      m_SoundSettings("AudioSettings"),
      m_fSimDeltaTime(0.0f),
      m_fRealDeltaTime(0.0f),
      m_dSimElapsedTime(0.0),
      m_dRealElapsedTime(0.0),
      m_pUIMenu(nullptr),
      m_pMessageBoxManager(nullptr),
      m_pTutorialBoxManager(nullptr),
      m_pSaveLoadInterface(nullptr),
      m_pControlHandler(nullptr),
      m_bLevelLoaded(false),
      m_eLanguage(kLANGUAGE_English),
      m_bWindowOpen(false) {
  m_szLanguage[0] = '\0';
  for (ERumbleMotor& motor : m_Rumble.m_aMotors) {
    motor.m_fStartTime = motor.m_fEndTime = motor.m_fTimeScale = motor.m_fOutput = 0.0f;
    for (EVec2& point : motor.m_aCurve) point.Zero();
  }
  SetLanguage(kLANGUAGE_English);
}

GameApp::~GameApp() {}

bool GameApp::StartUp(void*) {
  gGameApp = this;
  // Until the renderer owns the window, open a plain OpenGL window so that
  // the event pump has something to serve.
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    g_ErrorManager.TraceMessagef(TT_Render, "SDL video start-up failed: %s", SDL_GetError());
    return false;
  }
  SDL_WM_SetCaption("Quillomar", "quillomar");
  if (!SDL_SetVideoMode(640, 480, 0, SDL_OPENGL)) {
    g_ErrorManager.TraceMessagef(TT_Render, "Could not open the game window: %s", SDL_GetError());
    return false;
  }
  SDL_EnableUNICODE(1);
  m_bWindowOpen = true;
  return true;
}

bool GameApp::Shutdown() {
  if (m_bWindowOpen) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    m_bWindowOpen = false;
  }
  if (gGameApp == this) gGameApp = nullptr;
  return true;
}

bool GameApp::InitFrame() {
  ++m_iFrameCount;
  return true;
}

bool GameApp::InGameMenuInitFrame() { return true; }

bool GameApp::RenderFrame() {
  if (m_bWindowOpen) SDL_GL_SwapBuffers();
  SDL_Delay(16);
  return true;
}

bool GameApp::InGameMenuRenderFrame() { return true; }

bool GameApp::EndFrame() { return true; }

bool GameApp::InitInput(void*) { return false; }

bool GameApp::IsJoystickPresent(unsigned short) { return false; }

void GameApp::UpdateInput(Input*, Input*) {}

void GameApp::UpdateRumble(float) {}

int GameApp::GetCurrentControllerPort() { return 0; }

void GameApp::SetMousePoint(EVec2) {}

void GameApp::ValidateGraphics() {}

bool GameApp::CreateSaveGame(const char*, unsigned, unsigned, char*, int, bool) { return false; }

bool GameApp::DeleteSaveGame(const char*) { return true; }

void GameApp::GetSavedGamesDirectory(EArray<EString>& out) {
  gFile->GetDirectory(out, "Workresource\\SavedGames", "*.csv", kFILELOC_ReadPaths);
}

void GameApp::SetWindowActive(bool) {}

static const char* const s_aszLanguages[] = {"English", "French", "German", "Nonsense"};

const char* GameApp::GetLanguageString(EGameLanguage language) {
  EASSERT((unsigned)language < sizeof(s_aszLanguages) / sizeof(s_aszLanguages[0]));
  return s_aszLanguages[language];
}

void GameApp::SetLanguage(EGameLanguage language) {
  const char* name = GetLanguageString(language);
  m_eLanguage = language;
  snprintf(m_szLanguage, sizeof(m_szLanguage), "%s", name);
}

CONTROL_HANDLER_TYPE GameApp::GetControlHandlerType() {
  return m_pControlHandler ? m_pControlHandler->Type() : kCONTROL_NONE;
}

void GameApp::KillRumble() {
  float now = (float)GetSimElapsedTime();
  for (ERumbleMotor& motor : m_Rumble.m_aMotors) {
    motor.m_fEndTime = now + 2.0f;
    motor.m_fTimeScale = 1.0f;
    motor.m_aCurve[0] = EVec2(0.0f, 0.0f);
    motor.m_aCurve[1] = EVec2(0.0f, 0.0f);
    motor.m_aCurve[2] = EVec2(0.0f, 0.0f);
    motor.m_aCurve[3] = EVec2(0.01f, 0.0f);
  }
  UpdateRumble(1.0f);
}
