// The PC platform layer over the application object.
#pragma once

#include "Game/GameApp.h"

extern unsigned int g_dwDisplayWidth;
extern unsigned int g_dwDisplayHeight;
extern unsigned int g_dwRefreshRate;
extern const char* GForceMojoShaderProfile;
extern bool g_bFullScreen;
extern bool g_bAntiAlias;

// The folder of all profiles and saves, in the user data directory.
#define kQUILLOMAR_SAVE_PATH "Profiles"

class PCGameApp : public GameApp {
public:
  PCGameApp();
  ~PCGameApp() override;

  void ParseCommandLine(int argc, char** argv);
  void HandleCommandLineArg(const char* arg);
  void HandleKeyPresses(unsigned key, bool down);

  bool StartUp(void* data) override;
  bool Shutdown() override;
  bool InitFrame() override;
  void DetectCPUCaps();

  bool InitInput(void* window) override;
  bool IsJoystickPresent(unsigned short port) override;
  void UpdateInput(Input* input, Input* debugInput) override;
  void UpdateRumble(float dt) override;
  EVec2* GetMousePoint() override;
  void SetMousePoint(EVec2 point) override;
  void ValidateGraphics() override;
  void UnlockAchievement(const char* name) override;
  bool CreateSaveGame(const char* name, unsigned mode, unsigned unused, char* folder, int folderSize,
                      bool profile) override;
  bool DeleteSaveGame(const char* name) override;
  void GetSavedGamesDirectory(EArray<EString>& out) override;
  // Deletes every file below the folder (relative to the user data
  // directory, inside "Profiles"); folders stay. False when the folder is
  // refused.
  bool DeleteSavedGamesDirectory(const char* folder);

  void SetWindowActive(bool active) override;
  bool IsWindowActive() const { return m_bWindowActive; }

  void* m_pWindowHandle;
  float m_fMenuButtonDelay;  // ms
  unsigned m_dwCPUCaps;
  EVec2 m_vMousePoint;
  EVec2 m_vLastMousePoint;

private:
  bool m_bWindowActive;
};

// Native script functions of this platform; the script host registers them
// under the names "UnlockAchievement", "ResetStoreUserStats" and
// "GetSaveString".
void PCScript_UnlockAchievement(const char* name);
void PCScript_ResetStoreUserStats();
void PCScript_GetSaveString(EString& out);
