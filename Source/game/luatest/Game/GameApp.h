// The application object: owns the game's managers and runs start-up,
// frames and shut-down.
#pragma once

class GameApp {
public:
  GameApp();
  virtual ~GameApp();

  virtual bool StartUp(void* data);
  virtual bool Shutdown();
  virtual bool InitFrame();
  virtual bool InGameMenuInitFrame();
  virtual bool RenderFrame();
  virtual bool InGameMenuRenderFrame();
  virtual bool EndFrame();
  virtual void SetWindowActive(bool active);

  bool m_bQuit;
  int m_iLastKeyPress;
  int m_iFrameCount;

protected:
  bool m_bWindowOpen;
};

extern GameApp* gGameApp;
