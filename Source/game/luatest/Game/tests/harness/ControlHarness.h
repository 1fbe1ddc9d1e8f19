// A test bench for the input modes and the cameras: an application whose
// simulated and real clocks, steps, frame counter and input record the test
// sets; a player entity whose action, physics state bits, velocity and
// gravity direction the test sets and whose blend animations load
// from a real file; player and global script objects of the real script
// host that log the messages and method calls reaching them and answer as
// the test says; a sound manager that records what it is asked; a render
// camera the test poses; and a stub mode.
#pragma once

#include <string>
#include <vector>

#include "DirectX/SDLInput.h"
#include "Game/ControlHandler.h"
#include "Game/GameApp.h"
#include "TWMath/Random.h"
#include "TWMath/Vector.h"
#include "TWSound/SoundManager.h"

class EBlendAnim;
class ECamera;
class EFileManager;
class EMesh;
class EPlayerEntity;
class EScriptObject;

// A sound manager that keeps a line per call: "cue <name>", "play <cue>",
// "stopsource <source>", "stopall".
class HarnessSoundManager : public ESoundManager {
public:
  void FreeSoundSource(uint32_t, EEntity*) override {}
  bool ProcessSoundSource(uint32_t, const EVec3&) override { return true; }
  void SetSoundSourceSleeping(EEntity*, bool) override {}
  // Cue numbers count from 1 in the order the names are first asked for.
  uint32_t GetSoundCue(const char* szName) override;
  int PlaySoundCue(uint32_t uiCue, uint32_t uiSource, bool bFlag) override;
  bool SoundCueIsPlaying(uint32_t uiCue) override;
  void StopSoundsOnSource(uint32_t uiSource) override;
  void StopAll() override;

  std::vector<std::string> m_Calls;
  std::vector<std::string> m_CueNames;
  std::vector<uint32_t> m_Playing;
};

// The application of the bench. Frames run through GameApp::InitFrame,
// RenderFrame and EndFrame with the record given to Frame as the input.
class HarnessApp : public GameApp {
public:
  HarnessApp();
  EVec2* GetMousePoint() override { return &m_vMouse; }
  void UnlockAchievement(const char*) override {}
  void UpdateInput(Input* pInput, Input* pDebugInput) override;

  EVec2 m_vMouse;
  Input m_NextInput;
};

// A mode the test drives: it counts its calls, answers Activate as set and
// may switch to another mode from its frame.
class HarnessMode : public EControlHandler {
public:
  HarnessMode(GameApp* pApp, CONTROL_HANDLER_TYPE eType, const char* szName = "stub");
  CONTROL_HANDLER_TYPE Type() override { return m_eOwnType; }
  const char* Name() override { return m_szOwnName; }
  bool Activate(void* pData) override;
  bool Deactivate() override;
  void HandleControls_Internal(Input& in) override;
  void PostHandleControls_Internal(Input& in) override;

  CONTROL_HANDLER_TYPE m_eOwnType;
  const char* m_szOwnName;
  bool m_bActivateResult = true;
  CONTROL_HANDLER_TYPE m_eSwitchTo = kCONTROL_NONE;  // switched to in the next frame, once
  void* m_pLastData = nullptr;
  int m_nActivated = 0, m_nDeactivated = 0, m_nHandled = 0, m_nPostHandled = 0;
  Input m_LastInput;  // the record the last frame saw
};

class ControlHarness {
public:
  // Builds everything into a fresh temporary folder; gGameApp, the file
  // manager's read path, the render generator and the handler statics are
  // put back by the destructor.
  ControlHarness();
  ~ControlHarness();
  ControlHarness(const ControlHarness&) = delete;
  ControlHarness& operator=(const ControlHarness&) = delete;

  HarnessApp& App() { return m_App; }
  EPlayerEntity* Player() { return m_pPlayer; }
  EScriptObject* PlayerScript() { return m_pPlayerScript; }
  EScriptObject* GlobalScript() { return m_pGlobalScript; }
  HarnessSoundManager& Sound() { return m_Sound; }
  const std::string& Folder() const { return m_Folder; }

  // ---- Time ----
  void SetSimTime(double dElapsed, float fStep);
  void SetRealTime(double dElapsed, float fStep);
  void SetFrameCount(int iFrame) { m_App.m_iFrameCount = iFrame; }
  // One whole application frame with the record as its input and the
  // given simulated step (0 stands the world still); the real clock moves
  // by fRealMs.
  void Frame(const Input& in, float fSimStep, double fRealMs = 16.0);

  // ---- Player ----
  void SetAction(int iAction);
  void SetStateBit(int iState, bool bOn);
  void SetVelocity(const EVec3& v);
  void SetGravityDir(const EVec3& v);
  // Gives the player a mesh with a blend-animation player; the blink file
  // of the handlers exists under the bench's folder.
  EMesh* GiveMesh();
  // How many instances of the named blend animation play on the mesh, and
  // the newest of them (null when none).
  int BlendAnimCount(const char* szName) const;
  EBlendAnim* FindBlendAnim(const char* szName) const;

  // ---- Scripts ----
  // Runs script text with self = the object (null: no self).
  bool Run(EScriptObject* pObject, const std::string& code);
  // The object logs the message "on" + szName when it is delivered.
  void Listen(EScriptObject* pObject, const char* szName);
  // The object's method logs its calls and returns the script value text.
  void Answer(EScriptObject* pObject, const char* szMethod, const char* szValue);
  // Delivered messages "Name(args) from sender" and method calls
  // "call Method(args)"
  // since the last call, oldest first; the log is emptied.
  std::vector<std::string> TakeLog();
  // The messages waiting in the object's queue: "Name(letters:ints)".
  std::vector<std::string> Queued(EScriptObject* pObject) const;
  // Delivers the queued messages of both objects.
  void Turn();
  // Sets a field of the global script's levelScript table (null clears it).
  void SetLevelType(const char* szType);
  // Detaches the global script object (a level without one).
  void DropGlobalScript();

  // ---- Cameras ----
  // Places the render camera (also the current camera of channel 0).
  void PoseCamera(const EVec3& vPosition, const EVec3& vForward, const EVec3& vUp = EVec3(0.0f, 1.0f, 0.0f));
  ECamera* Camera() { return m_pCamera; }

  // ---- Modes ----
  // The twenty real modes from the factory (GameApp::InitControlHandlers).
  void InitRealModes();
  // Puts a stub into the table at its type; the replaced handler comes back
  // when the bench ends.
  HarnessMode* InstallStub(CONTROL_HANDLER_TYPE eType, const char* szName = "stub");

  // Trace lines sent while the bench lives.
  std::vector<std::string> m_Traces;
  int CountTraces(const std::string& text) const;

private:
  HarnessApp m_App;
  HarnessSoundManager m_Sound;
  EPlayerEntity* m_pPlayer = nullptr;
  EScriptObject* m_pPlayerScript = nullptr;
  EScriptObject* m_pGlobalScript = nullptr;
  ECamera* m_pCamera = nullptr;
  GameApp* m_pPrevApp = nullptr;
  EFileManager* m_pPrevFiles = nullptr;
  EFileManager* m_pFiles = nullptr;
  ERand m_SavedRenderRand;
  std::string m_Folder;
  std::vector<std::pair<int, EControlHandler*>> m_Replaced;
  std::vector<HarnessMode*> m_Stubs;
  bool m_bRealModes = false;
};
