#include "Game/GameApp.h"

#include <SDL/SDL.h>

#include "TWUtil/ErrorManager.h"

GameApp* gGameApp = nullptr;

GameApp::GameApp() : m_bQuit(false), m_iLastKeyPress(0), m_iFrameCount(0), m_bWindowOpen(false) {}

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

void GameApp::SetWindowActive(bool) {}
