// The PC platform layer over the application object.
#pragma once

#include "Game/GameApp.h"

extern unsigned int g_dwDisplayWidth;
extern unsigned int g_dwDisplayHeight;
extern unsigned int g_dwRefreshRate;
extern const char* GForceMojoShaderProfile;
extern bool g_bFullScreen;
extern bool g_bAntiAlias;

class PCGameApp : public GameApp {
public:
  PCGameApp();
  ~PCGameApp() override;

  void ParseCommandLine(int argc, char** argv);
  void HandleCommandLineArg(const char* arg);
  void HandleKeyPresses(unsigned key, bool down);

  void SetWindowActive(bool active) override;
  bool IsWindowActive() const { return m_bWindowActive; }

  // Whether "-nosound" was given; the preferences apply it once they exist.
  bool m_bNoSoundOption;

private:
  bool m_bWindowActive;
};
