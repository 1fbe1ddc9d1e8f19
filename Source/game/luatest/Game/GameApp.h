// The application object: owns the game's managers and runs start-up,
// frames and shut-down.
#pragma once

#include "DirectX/SDLInput.h"
#include "Game/ControlHandler.h"
#include "Game/DebugScreen.h"
#include "Game/GameSettings.h"
#include "TWMath/Vector.h"
#include "UnixMain/UnixMain.h"

class EString;
template <class T> class EArray;
class ELoadSaveGame;
class EMessageBoxManager;
class ETutorialBoxManager;
class EUIMenu;

// The developer and build switches read once from "../quillomar.ini".
class EPrefs {
public:
  EPrefs();

  // Reads the preferences file and applies it, also to the application's
  // debug switches, the trace channels, the language and the read paths.
  void ReadPrefs();

  bool m_bSound;
  bool m_bDebugServer;
  bool m_bMainMenu;
  bool m_bInGameMenu;
  bool m_bDemoBuild;
  bool m_bOxmBuild;
  bool m_bStartLog;
  bool m_bScriptDebug;
  bool m_bTextureDebug;
  bool m_bAnimDebug;
  bool m_bRenderingCutscene;
  bool m_bWaitForConnect;
  bool m_bManageSounds;
  bool m_bGameplayLogging;
  bool m_bBreakOnRawString;
  bool m_bDvdEnvironment;
  bool m_bProductionLoading;
  bool m_bDebugSoundStreams;
  bool m_bSSE;
  bool m_bHardwareAudio;
};

EGameLanguage GetDefaultGameLanguage();

// One rumble motor: its curve over [start, end] of simulated time.
struct ERumbleMotor {
  float m_fStartTime;
  float m_fEndTime;
  float m_fTimeScale;
  EVec2 m_aCurve[4];
  float m_fOutput;
};

struct ERumbleData {
  ERumbleMotor m_aMotors[2];
};

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
  virtual bool InitInput(void* data);
  virtual bool IsJoystickPresent(unsigned short port);
  virtual void UpdateInput(Input* input, Input* debugInput);
  virtual void UpdateRumble(float dt);
  virtual int GetCurrentControllerPort();
  virtual EVec2* GetMousePoint() = 0;
  virtual void SetMousePoint(EVec2 point);
  virtual void ValidateGraphics();
  virtual void UnlockAchievement(const char* name) = 0;
  virtual bool CreateSaveGame(const char* name, unsigned mode, unsigned unused, char* folder, int folderSize,
                              bool profile);
  virtual bool DeleteSaveGame(const char* name);
  virtual void GetSavedGamesDirectory(EArray<EString>& out);
  virtual void SetWindowActive(bool active);

  EPrefs& GetPrefs() { return m_Prefs; }
  ELoadSaveGame* GetSaveLoadInterface() { return m_pSaveLoadInterface; }

  void SetLanguage(EGameLanguage language);
  EGameLanguage GetLanguage() const { return m_eLanguage; }
  const char* GetLanguageString() const { return m_szLanguage; }
  static const char* GetLanguageString(EGameLanguage language);

  bool LevelLoaded() const { return m_bLevelLoaded; }
  CONTROL_HANDLER_TYPE GetControlHandlerType();

  float GetRealDeltaTime() const { return m_fRealDeltaTime; }
  float GetRealDeltaTimeMS() const { return m_fRealDeltaTime * 1000.0f; }
  double GetSimElapsedTime() const { return m_dSimElapsedTime; }

  // Lets both motors run down to nothing over the next 2 seconds.
  void KillRumble();

  bool m_bQuit;
  int m_iLastKeyPress;
  int m_iFrameCount;

  EDebugHooks m_DebugHooks;
  EGraphicsSettings m_GraphicsSettings;
  ESoundSettings m_SoundSettings;
  Input m_Input;
  Input m_DebugInput;
  ERumbleData m_Rumble;

  float m_fSimDeltaTime;
  float m_fRealDeltaTime;
  double m_dSimElapsedTime;
  double m_dRealElapsedTime;

  EUIMenu* m_pUIMenu;
  EMessageBoxManager* m_pMessageBoxManager;
  ETutorialBoxManager* m_pTutorialBoxManager;
  ELoadSaveGame* m_pSaveLoadInterface;
  EControlHandler* m_pControlHandler;

  bool m_bLevelLoaded;
  EGameLanguage m_eLanguage;
  char m_szLanguage[26];
  EPrefs m_Prefs;

protected:
  bool m_bWindowOpen;
};

extern GameApp* gGameApp;
