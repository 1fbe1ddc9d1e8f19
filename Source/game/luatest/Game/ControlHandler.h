// The base of the game's input modes.
#pragma once

enum CONTROL_HANDLER_TYPE {
  kCONTROL_NONE = -1,
  kCONTROL_PLAYER = 0,
  kCONTROL_BUBBLE = 1,
  kCONTROL_PSACK = 2,
  kCONTROL_BALL = 3,
  kCONTROL_TRAPEZE = 4,
  kCONTROL_CANTILEVER = 5,
  kCONTROL_POLE = 6,
  kCONTROL_TIGHTROPE2 = 7,
  kCONTROL_TELEKINESIS = 8,
  kCONTROL_WALL = 9,
  kCONTROL_CANOE = 10,
  kCONTROL_SCRIPT = 11,
  kCONTROL_PROFILE = 12,
  kCONTROL_SELECTION = 13,
  kCONTROL_DIALOGCHOICE = 14,
  kCONTROL_LADDER = 15,
  kCONTROL_RAIL = 16,
  kCONTROL_SLIDESHOW = 17,
  kCONTROL_MENU = 18,
  kCONTROL_FIGMENT = 19,
  kCONTROL_NUMTYPES = 20
};

class Input;
class GameApp;

class EControlHandler {
public:
  virtual ~EControlHandler() {}
  virtual void CleanupReferences() {}
  virtual void LevelInit() {}
  virtual void LevelCleanup() {}
  // False when the handler refuses to take the controls.
  virtual bool Activate(void*) { return true; }
  virtual void Deactivate() {}
  virtual void Shutdown() {}
  virtual CONTROL_HANDLER_TYPE Type() = 0;
  virtual const char* Name() { return "EControlHandler"; }

  // The frame's controls: HandleControls_Internal does the handler's own
  // work; PostHandleControls runs after the world has been simulated.
  void HandleControls(Input& input) { HandleControls_Internal(input); }
  virtual void HandleControls_Internal(Input&) {}
  virtual void PostHandleControls(Input&) {}

  // True while the player's controls are paused.
  static bool ControlsPaused() { return sm_bControlsPaused; }
  static void PauseControls(bool bPause, bool) { sm_bControlsPaused = bPause; }
  // Stops (or restarts) running the control handlers.
  static void DontRunControls(bool bStop) { sm_bDontRunControls = bStop; }
  static bool ControlsDontRun() { return sm_bDontRunControls; }

private:
  static bool sm_bControlsPaused;
  static inline bool sm_bDontRunControls = false;
};

class EControlHandlerFactory {
public:
  // The handler of the given type (0 to 19), or null.
  static EControlHandler* Create(GameApp* pApp, int iType);
};
