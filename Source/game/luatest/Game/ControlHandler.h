// The base of the game's input modes. The application keeps one handler of
// each type and hands the active one every frame's Input record; the base
// buffers presses, pauses, stops or confuses the controls, lets the
// player's script take Cancel, filters a held left trigger, blinks the
// player's eyes and turns the movement stick into a world direction.
#pragma once

#include <cstdint>

#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"

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

class DisplayTextHelper;
class EEntity;
class EPlayerEntity;
class GameApp;
class Input;

class EControlHandler {
public:
  explicit EControlHandler(GameApp* pGameApp);

  // ---- The modes' own operations ----
  virtual ~EControlHandler();
  // Drops a dead psi-blast target.
  virtual void CleanupReferences();
  // The per-level defaults, on every handler when a level loads.
  virtual void LevelInit();
  virtual void LevelCleanup() {}
  // Takes the controls with the mode's activation data; false refuses.
  virtual bool Activate(void* pData);
  virtual bool Deactivate();
  virtual void Shutdown() {}
  virtual CONTROL_HANDLER_TYPE Type() { return kCONTROL_NONE; }
  virtual const char* Name() { return "none"; }
  virtual void DrawDebug(DisplayTextHelper&) {}
  virtual void onMoodAdjusted(float) {}
  // The player's action changed from iPrevAction to iAction.
  virtual void onActionChanged(int, int) {}
  // The prop the mode is attached to, or null.
  virtual EEntity* GetActionItem() const { return nullptr; }
  virtual bool CanOpenThoughtBubble() { return false; }
  // The mode's frame, and its work after the world was simulated.
  virtual void HandleControls_Internal(Input& in) = 0;
  virtual void PostHandleControls_Internal(Input&) {}

  // ---- The frame ----
  // Only on the active main handler, once a frame each.
  void HandleControls(Input& in);
  void PostHandleControls(Input& in);
  // The idle blink of the player's eyes.
  void UpdateHeadAnims();

  // ---- Controls shared by all modes ----
  static void StaticInit();
  static void ClearButtonBuffer();
  // Whether the button (or direction-pad side: 0 left, 1 right) was
  // pressed within the last fWindow simulated seconds; never while paused.
  static bool ButtonPressed(int iButton, float fWindow);
  static bool POVPressed(int iPOV, float fWindow);
  // Paused controls hand the mode a frozen record: its movement stick is
  // the first paused frame's with bKeepStick, else centred.
  static bool PauseControls(bool bPause, bool bKeepStick);
  static bool ControlsPaused() { return sm_bControlsPaused != 0; }
  static bool DontRunControls(bool bDontRun);
  static bool ControlsNotRunning() { return sm_bControlsNotRunning != 0; }
  static bool ControlsTemporarilyPaused();
  static void FilterLeftTrigger() { sm_bFilterLeftTrigger = true; }
  static bool IsPlayerOnFire();

  // ---- The player ----
  EPlayerEntity* GetOwner() const;
  bool IsSet(int iPhysicsState) const;
  bool InAction(int iAction) const;
  // Whether the player is in any of the listed actions; the list ends
  // with 0.
  bool InActions(int iAction, ...) const;
  // Reverses the movement stick of a confused player on foot or in the ball.
  void MaybeApplyConfusion(Input& in);

  // ---- Sticks ----
  // The stick's magnitude (0..1) and its unit direction in camera space
  // (x right, z back).
  float GetPlayerControlInput(const Input& in, EVec3& vDir, bool bLookStick);
  float GetPlayerControlInputWorldSpace(const Input& in, EVec3& vDir, bool bLookStick, bool bLock);
  float GetPlayerControlInputWorldSpace(const Input& in, EVec3& vDir, bool bLookStick, const EVec3& vUp);
  // Turns a camera-space direction into the world through the render
  // camera, onto the plane of vUp.
  void ConvertControlInputToWorldSpace(EVec3& vDir, float& fMagnitude, const EVec3& vUp, bool bLock);
  // Freezes the camera frame of the stick until it turns away from its
  // first direction.
  void LockInputTransform(bool bZeroInput);
  bool ShouldInterrupt(const Input& in);

  CONTROL_HANDLER_TYPE m_eType;
  const char* m_pszName;
  GameApp* m_pGameApp;
  bool m_bActivated;
  bool m_bRunWhenTimeStopped;
  uint8_t m_eHandsState;
  char m_szLastAction[256];
  int m_iLastAction;
  int m_iLedgeCandidateFrame;
  EMat4 m_mLedgeCandidate;
  CONTROL_HANDLER_TYPE m_eReturnType;
  bool m_bInputTransformLocked;
  bool m_bLockZeroesInput;
  EVec3 m_vLockedInputDir;
  EMat4 m_mLockedViewToWorld;
  float m_fBlinkTimer;
  float m_fBlinkMin;
  float m_fBlinkMax;
  float m_fBlinkChance;
  float m_fActivateTime;

  static int sm_bControlsNotRunning;
  static int sm_bControlsPaused;
  static float m_dwControlResumeTick;
  static float sm_dwEnglishResumeTick;
  static float m_dwMeleePressTime;
  static bool sm_bFilterLeftTrigger;
  static bool sm_bCanActivate;
  static EEntity* m_pPsiBlastTarget;
  static float sm_fBufferedPressTime[12];
  static float sm_fBufferedPOVPressTime[2];
  // The record a paused mode sees.
  static Input& GetFrozenInput();

  static const char* const kBlinkAnim;
};

class EControlHandlerFactory {
public:
  // The handler of the type (0 to 19) with its type and name cached.
  static EControlHandler* Create(GameApp* pApp, int iType);
};
