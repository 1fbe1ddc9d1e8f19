// The application object: owns the game's managers and runs start-up,
// frames and shut-down.
#pragma once

#include <cstdarg>

#include "DialogManager/DialogManager.h"
#include "DirectX/SDLInput.h"
#include "Game/CameraChannel.h"
#include "Game/ControlHandler.h"
#include "Game/DebugScreen.h"
#include "Game/GameRender.h"
#include "Game/GameSettings.h"
#include "Game/LinkedShaders.h"
#include "Game/UI/UserInterfaceManager.h"
#include "ScriptVM/ScriptVM.h"
#include "TWGraphics/Rect.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Matrix.h"
#include "TWMath/Vector.h"
#include "TWUtil/Array.h"
#include "TWUtil/List.h"
#include "TWUtil/String.h"
#include "TWUtil/Timing.h"
#include "UnixMain/UnixMain.h"

class E2DLinesManager;
class EBlendAnimManager;
class ECamera;
class ECameraPath;
enum CAMERATYPE : int;
class EDebugManager;
class EDialogueManager;
class EDomain;
class EEntity;
class EEventAnimManager;
class EFreezeManager;
class ELanguageInfo;
class ELoadSaveGame;
class ERecordPlayback;
class EMessageBoxManager;
class EPathAIManager;
class EPathManager;
class EProfilerStats;
class ERenderer;
class ESayLineDisplayManager;
class ESceneManager;
class EScreenFade;
class EScriptSpriteManager;
class EScriptTextManager;
class ESoundManager;
class ETutorialBoxManager;
class EUIMenu;
class EGameTextureManager;
class EFont;
class ESpriteManager;
class EText3DManager;
class EGameShaders;
class EFileReader;
class EShaderPasses;
class EParticleManager;
struct EShaderDrawState;
struct ESceneShading;
struct ERenderResources;
class EJoint;
class EMeshEntity;
class EMeshFragManager;
class EDebugLineManager;
class EDebugTriManager;
class EMeshFrag;
class ELightTrailManager;
class ELightManager;
class EHaloManager;
class EDecalManager;
class ERenderPatchManager;
class ERenderSplineManager;
class EWaterManager;
class EBubbleControlHandler;
class ETKControlHandler;
class EProfileControlHandler;
class EMenuControlHandler;
class EFigmentControlHandler;
class EDialogChoiceControlHandler;
class ESlideshowControlHandler;

// The subsystem-initialised flags of the application.
enum EGameSubsystem {
  kSUBSYSTEM_Entity = 1,
  kSUBSYSTEM_Lua = 2,
  kSUBSYSTEM_UIMenu = 4,
  kSUBSYSTEM_ControlHandler = 8,
};

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
  enum { kNUM_CAMERAS = 9, kNUM_CAMERA_CHANNELS = 12 };

  GameApp();
  virtual ~GameApp();

  virtual bool StartUp(void* data);
  virtual bool Shutdown();
  virtual bool InitFrame();
  virtual bool InGameMenuInitFrame();
  virtual bool RenderFrame();
  virtual bool InGameMenuRenderFrame();
  virtual bool EndFrame();
  virtual bool InitRender(void* data);
  virtual void ShutdownRender();
  // Control handlers (GameServices.cpp). SetControlHandler makes the
  // handler of the type the active one: true when it is (already or now);
  // a handler that refuses leaves the player handler active.
  bool SetControlHandler(CONTROL_HANDLER_TYPE eType, void* pData);
  void SetUIControlHandler(CONTROL_HANDLER_TYPE eType);
  EControlHandler* GetControlHandlerByType(CONTROL_HANDLER_TYPE eType);
  // The active main handler, and the user-interface handler; null when none.
  EControlHandler* GetControlHandler() { return m_pControlHandler; }
  EControlHandler* GetUIControlHandler() { return m_pUIControlHandler; }
  // Pauses the controls under the fly, script and map cameras.
  void SetControlsFromCurrentCamera();
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
  virtual void DoInstallation();
  virtual void displayMissingControllerError();
  virtual void checkControllerAcknowledge();
  virtual bool areControllersIdle();

  // Raises a fatal error when the flag is already in the requested state.
  void SetInitialized(EGameSubsystem eSubsystem, bool bValue);
  // True when all the given flags are set.
  bool IsInitialized(unsigned dwSubsystems) const {
    return (m_dwInitializedSubsystems & dwSubsystems) == dwSubsystems;
  }

  void InitLua();
  void InitLua2();
  void ShutdownLua();
  void InitControlHandlers();
  void InitEntities();
  void ShutdownEntities();
  // The domains under the scene's root: "MainGame" (active) holding "Level",
  // "SkyBox", and "Inventory" holding "InvItems".
  void BuildDomainTree();
  // The context lines that a fatal report can print.
  static void DumpGameContext();
  static void OnNonfatalProblem(const char* szMessage);

  // The frame (see GameApp.cpp).
  void ResetFrame();
  void PreprocessRenderManagers();
  void ResetRenderStatistics();
  void InitDbgCollideStats();
  // Deletion at the end of the frame; the object is marked dead at once.
  void DelayedDelete(EEntity* pEntity);
  void DelayedDelete(EScriptObject* pObject);
  void CleanupDestroyedEntities(bool bUnused);
  void CleanupReferences();
  // One simulated frame of the entities of the domain's subtree.
  void SimulateFrame(EDomain* pDomain);
  // True when the active or the user-interface handler has the type.
  bool InControlHandler(CONTROL_HANDLER_TYPE eType);
  virtual bool ProcessGlobalInput(Input& input);
  virtual bool ProcessDebugInput(Input& input);
  void HandleApplicationSwitchMessageBox();

  // Scene rendering (GameRender.cpp).
  // Bit 0 vertical sync, bit 1 antialiasing, bit 2 the third display flag.
  unsigned GetIdealRendererFlags();
  void SetRenderCamera(ECamera* pCamera) { m_pRenderCamera = pCamera; }
  ECamera* GetRenderCamera() const { return m_pRenderCamera; }
  // Whether a camera channel's camera sees the box; every box counts as seen
  // until the channels keep their frustums.
  bool BoxVisible(const EBox3&) const { return true; }
  // Over the main channel and the switched-on channels with a camera: the
  // nearest distance from a camera that sees the box (1e9 when none), and
  // the largest screen diagonal of the box in pixels (0 when none).
  float NearestViewDistance(const EBox3& box);
  float LargestPixelDiagonal(const EBox3& box);
  void SetRenderChannel(ECameraChannel* pChannel) { m_pRenderChannel = pChannel; }
  ECameraChannel* GetRenderChannel() const { return m_pRenderChannel; }
  void SetModelToWorld(const EMat4& m) { m_mModelToWorld = m; }
  void SetWorldToModel(const EMat4& m) { m_mWorldToModel = m; }
  const EMat4& GetModelToWorld() const { return m_mModelToWorld; }
  const EMat4& GetWorldToModel() const { return m_mWorldToModel; }
  void SetTexCoordTrans(const EVec2& v) { m_vTexCoordTrans = v; }
  void SetTexCoordScale(const EVec2& v) { m_vTexCoordScale = v; }
  const EVec2& GetTexCoordTrans() const { return m_vTexCoordTrans; }
  const EVec2& GetTexCoordScale() const { return m_vTexCoordScale; }
  void SetJointTable(EJoint** ppJoints) { m_ppJointTable = ppJoints; }
  EJoint** GetJointTable() const { return m_ppJointTable; }
  void SetGeomShader(VSGEOM eGeom) { m_eGeomShader = eGeom; }
  VSGEOM GetGeomShader() const { return m_eGeomShader; }
  // Nesting of stencil-marked drawing: Push returns the new depth; Pop stops at 0.
  unsigned PushStencilStack() { return ++m_nStencilStack; }
  void PopStencilStack() {
    if (m_nStencilStack > 0) --m_nStencilStack;
  }
  unsigned GetStencilStack() const { return m_nStencilStack; }
  // Stores the entity the clairvoyance power looks through; with
  // bMoveCamera, camera 8 rides the entity as a script camera, or chases
  // the player again when there is none.
  void SetClairvoyanceTarget(EMeshEntity* pEntity, bool bMoveCamera = false);
  EMeshEntity* GetClairvoyanceTarget() const { return m_pClairvoyanceTarget; }
  // Everything InitRender and the screen targets made, short of the
  // renderer itself; ShutdownRender then takes the renderer down.
  void releaseRenderResources();
  void CreateScreenTargetTextures();
  void ReleaseScreenTargetTextures();
  unsigned GetScreenImageTexture() const { return m_ahScreenImage[0][0]; }
  unsigned GetScreenDepthTexture() const { return m_ahScreenDepth[0]; }
  unsigned GetSquareImageTexture() const { return m_ahSquareImage[0][0]; }
  unsigned GetSquareDepthTexture() const { return m_ahSquareDepth[0]; }
  // Fills the viewport (or, with the scissor switch, the rectangle) with a
  // colour, leaving depth alone; the stencil clear sets the stencil to 0.
  void RenderColorClear(const EVec4& colour, const ERect* pRect = nullptr);
  void RenderStencilClear(const ERect* pRect = nullptr);
  // An invisible camera-facing quad, or the unit box under the transform,
  // drawn inside a visibility test with the query id; returns what the test
  // gives, 0 without drawing while visibility tests are off.
  int RenderVisibilityTestQuad(const EVec3& vPosition, float fSize, int iQueryId, bool bDepthTest);
  int RenderVisibilityTestBox(const EMat4& mTransform, int iQueryId, bool bDepthTest);
  void RenderUnitScreenTri();
  void RenderUnitWorldQuad();
  void RenderUnitWorldBox();
  unsigned createUnitScreenTriVB();
  unsigned createUnitWorldQuadVB();
  unsigned createUnitWorldBoxVB();
  unsigned createLuminTexture(float fValue);
  unsigned createZeroAlphaTexture();
  unsigned createNullBumpmapTexture();
  unsigned createDebugTexture();
  unsigned createNormalizationCubemap(unsigned dwEdge);
  // Shader passes of the render set-up (GameShaderPasses.cpp): a colour
  // over a blit rectangle, one colour through the render camera, and the
  // vertex colours times a colour through the render camera.
  static void SetShaderColorBlit(const EVec2& size, const EVec2& offset, const EVec2& targetSize,
                                 const EVec4& colour);
  void SetShaderConstantColor(const EVec4& colour);
  void SetShaderDiffuseColor(const EVec4& colour);
  EMeshFragManager* GetMeshFragManager() const { return m_pMeshFragManager; }
  void RenderSceneOverlays();
  void RenderSpriteOverlays();

  EUIMenu* GetUIMenu() { return m_pUIMenu; }
  EDebugManager* GetDebugManager() { return m_pDebugManager; }
  EScriptVM* GetScriptVM() { return &m_ScriptVM; }
  EEntity* GetPlayer() { return m_pPlayer; }
  EEntity* GetGlobalEntity() { return m_pGlobalEntity; }
  EBlendAnimManager* GetBlendAnimManager() { return m_pBlendAnimManager; }
  EPathManager* GetPathManager() { return m_pPathManager; }
  EDialogManager* GetDialogManager() { return &m_DialogManager; }
  ESceneManager* GetSceneManager() { return m_pSceneManager; }
  EFreezeManager* GetFreezeManager() { return m_pFreezeManager; }
  // Cameras and channels (GameCameraChannels.cpp). An index out of range
  // is fatal; the main channel always keeps a camera.
  ECamera* GetCamera(int dwCameraIndex);
  ECameraChannel& GetCameraChannel(int dwChannelIndex);
  ECameraChannel& GetMainChannel() { return m_aCameraChannels[0]; }
  void AssignCameraToChannel(int dwCameraIndex, int dwChannelIndex);
  void AssignCameraToChannel(ECamera* pCamera, int dwChannelIndex);
  void SetCameraType(int dwCameraIndex, CAMERATYPE eType);
  void SetCameraType(ECamera* pCamera, CAMERATYPE eType);
  // The entities of the active domains, listed on the trace.
  void DumpEntityInfo();
  void UpdateMemoryTracking();
  EControlHandler* GetControlHandler(CONTROL_HANDLER_TYPE eType) { return m_aControlHandlers[eType]; }
  const char* GetBuildString() const { return *m_sBuildString; }
  bool StartUpComplete() const { return m_bStartUpComplete; }
  bool LevelUnloading() const { return m_bLevelUnloading; }
  int GetLastKeyPress() const { return m_iLastKeyPress; }
  const char* GetLevelFilter() const { return *m_sLevelFilter; }
  EBox3 GetPlayerBox() const { return m_PlayerBox; }

  EPrefs& GetPrefs() { return m_Prefs; }
  ELoadSaveGame* GetSaveLoadInterface() { return m_pSaveLoadInterface; }

  void SetLanguage(EGameLanguage language);
  EGameLanguage GetLanguage() const { return m_eLanguage; }
  const char* GetLanguageString() const { return m_szLanguage; }
  static const char* GetLanguageString(EGameLanguage language);

  // Localised text (LocalizedText.cpp). Lookups return m_szLocalizedText,
  // valid until the next lookup, or the text itself when it is refused.
  enum { kLOCALIZED_TEXT_SIZE = 1024 };
  void LoadLocalizedTextBank(const char* szGroup);
  void UnloadLocalizedLevelTextBank();
  char* InternalLookupLinecode(const char* szCode);
  char* LookupLocalizedString(const char* szText);
  // Replaces the button tokens of a text in a 1024-byte buffer.
  void ReplaceButtonTokens(char* szText);
  char m_szLocalizedText[kLOCALIZED_TEXT_SIZE];

  // Input recording and playback (RecordPlayback.cpp).
  ERecordPlayback* GetRecordPlayback() { return m_pRecordPlayback; }
  // The frame's real step: from the clock (and recorded when recording) or
  // from the recording being played back, which then also gives the input.
  void LatchRealFrameTime();
  ERecordPlayback* m_pRecordPlayback;

  // Level requests, served by the frame's global-input step.
  void RequestNewLevel(const char* szPath, bool bUnused);
  // Requests the start menu and stops all sound at once.
  void ReturnToStartMenu();
  // Levels (GameLevel.cpp). loadLevel serves the pending request, first
  // taking the running level down; unloadLevel takes it down.
  void loadLevel();
  void unloadLevel();
  // Rebuilds the script interpreter and the entities, keeping the scripts'
  // saveable state.
  void RebootLuaAndEntities();
  // The level pack "PCLevelPackFiles/<name>.ppf" (or "common") and the
  // animation pack beside it: true when the level pack was read;
  // *pbSceneLoaded tells whether its scene loaded.
  bool LoadPackFile(const char* szName, bool bCommon, bool* pbSceneLoaded = nullptr);
  bool ReadLevelPack(EFileReader& reader, bool bCommon, bool* pbSceneLoaded);
  // The texture, mesh and script packs of the name; the script pack's result.
  bool LoadIndividualPackFiles(const char* szName, bool bCommon);
  // Sky-box slots: child domains "SkyBox<n>" of "SkyBox".
  bool SetSkyBox(const char* szScenePath, unsigned slot);
  void SetActiveSkyBox(unsigned slot);
  void processLevelFigments();
  // Hold the music and the ambient effects until the delayed start runs out.
  void SetDelayedStartMusic();
  void SetDelayedStartAmbFx();
  void ShowDebugMemory();
  void ShowMemoryDumpInfo();
  bool m_bSkyBoxSet = false;
  // How the unload's sound fade waits between its steps (milliseconds);
  // benchmarks put a function that returns at once.
  static void (*sm_pfnLevelFadeSleep)(unsigned ms);
  float m_fClairvoyanceMaskValue = 0.0f;
  // Renderer memory sampled during a load: initial, level, scripts.
  float m_afLoadVertexBytes[3] = {};
  float m_afLoadTextureBytes[3] = {};
  char m_szCurrentLevelName[300] = "";

  // Profile options into the running game (GameGlobalInput.cpp).
  void RefreshAllSettings();
  void RefreshGlobalSettings();
  void RefreshInputSettings();
  void RefreshGraphicsSettings() {}
  void RefreshSoundSettings();

  // Hidden button codes: six presses while both flippers are held.
  void UpdateCheatCodes(Input* input);
  void AddCheatInput(unsigned char slot);
  unsigned char m_aCheatInput[8] = {};
  int m_nCheatInputs = 0;
  float m_fLastCheatPressMS = 0.0f;  // real elapsed time of the last accepted press
  int m_nCheatNotifications = 0;     // "CheatNotification" cues asked for

  // Application services (GameServices.cpp).
  bool AllowCameraScriptMods();
  // Fresh cameras and channels for a level.
  void ResetCameras();
  // Hides the loaded state of the level while a menu loads its assets.
  void OverrideIngameLoading(bool bOn);
  // Reads input between the frames of a movie or a blocking screen; true
  // when the player asked to skip.
  bool RendererInputCallback();
  // The clairvoyance screen tint: six vertices over the display.
  void InitClairvoyanceCloud(EVec4 colour);
  void ExitClairvoyanceCloud();
  struct ETintVertex {
    float x, y, z;
    uint32_t diffuse;
    float u, v;
  };
  ETintVertex m_aClairvoyanceTint[6] = {};
  bool m_bClairvoyanceActive = false;
  EEntity* m_pClairvoyanceCloud = nullptr;
  unsigned m_hClairvoyanceTintVB = 0;
  bool m_bSkipRequested = false;  // the player asked to skip a movie or screen
  char m_szRequestedLevel[301];
  bool m_bNewLevelRequested;
  bool m_bReturnToStartMenuRequested;
  // The camera of the main channel.
  ECamera* GetCurrentCamera() { return m_aCameraChannels[0].m_pCamera; }

  bool LevelLoaded() const { return m_bLevelLoaded; }
  CONTROL_HANDLER_TYPE GetControlHandlerType();

  float GetRealDeltaTime() const { return m_fRealDeltaTime; }
  float GetRealDeltaTimeMS() const { return m_fRealDeltaTime * 1000.0f; }
  float GetSimDeltaTime() const { return m_fSimDeltaTime; }
  // The debug lock of the simulation position: true and the point while on.
  bool GetLockedSimulationPosition(EVec3& v) const {
    if (m_bLockSimulationPosition) v = m_vLockedSimulationPosition;
    return m_bLockSimulationPosition;
  }
  float GetSimDeltaTimeMS() const { return m_fSimDeltaTime * 1000.0f; }
  double GetSimElapsedTime() const { return m_dSimElapsedTime; }
  // Seconds played in this game: the player's "stats.fTimePlayed" (0 when
  // missing) and the simulated time since the play-time stamp.
  float GetPlayedTimeSecs();
  double GetSimElapsedTimeMS() const { return m_dSimElapsedTime * 1000.0; }
  double GetRealElapsedTime() const { return m_dRealElapsedTime; }
  double GetRealElapsedTimeMS() const { return m_dRealElapsedTime * 1000.0; }
  void SetSimElapsedTime(double dTime) { m_dSimElapsedTime = dTime; }

  // Lets both motors run down to nothing over the next 2 seconds.
  void KillRumble();

  // Full-screen movies (VERirezo/MoviePlayer.cpp). The skip callback is
  // asked once per shown frame; the third and fifth arguments are unused.
  typedef bool (*VideoSkipCallback)();
  bool PlayVideo(const char* szName, VideoSkipCallback pfnSkip, bool bUnused, float fVolumeScale, uint32_t dwUnused,
                 bool bRunSoundManager);
  bool PlayVideoFromMemory(const void* pData, VideoSkipCallback pfnSkip, bool bUnused, float fVolumeScale,
                           uint32_t dwUnused, bool bRunSoundManager);
  bool playVideoZoet(const void* pNameOrData, VideoSkipCallback pfnSkip, bool bUnused, float fVolumeScale,
                     uint32_t dwUnused, bool bRunSoundManager, bool bFromMemory);
  void SetVideoCallback(void (*pfnCallback)(float)) { m_pfnVideoCallback = pfnCallback; }
  // Draws the whole texture over the target (-1: the back buffer) at the
  // offset, sized as the target times the scale.
  void BlitTexture(uint32_t hTexture, int iTarget, int eBlendMode, const EVec2* pOffset, const EVec2* pScale,
                   const EVec4* pColour, float fAlphaScale, const struct ERect* pScissor, bool bTexTransform);
  // The attract-mode idle time-out, in milliseconds.
  float GetDemoTimeout() const { return m_fDemoTimeout; }
  float m_fDemoTimeout = 0.0f;
  float m_fDemoTimer = 0.0f;  // ms
  bool m_bMovieSkipped = false;  // set by the movies' skip callbacks

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

  // Managers and services, null until start-up makes them.
  EBlendAnimManager* m_pBlendAnimManager;
  EEventAnimManager* m_pEventAnimManager;
  EDialogueManager* m_pDialogueManager;
  EPathManager* m_pPathManager;
  EPathAIManager* m_pPathAIManager;
  int m_iVideoVolume;
  void (*m_pfnVideoCallback)(float);
  double m_dPlayTimeBase;
  ERenderer* m_pRenderer;
  ESoundManager* m_pSoundManager;
  // Sound start-up (GameSound.cpp): the manager, the bank files of
  // "WorkResource\Sounds", the banks of a level, the cues engine code plays.
  void InitSound(void* pData);
  void InitSoundFiles(void* pData);
  void LoadSoundData(const char* szLevel, bool bLoad, bool bBySubstring);
  void ShutdownSound();
  EArray<EString> m_aWaveBankFiles;
  EArray<EString> m_aSoundBankFiles;
  enum { kNUM_STARTUP_SOUND_CUES = 40 };
  // In the order of GameSound.cpp's cue table ("DoubleJumpBubble" first).
  unsigned m_auStartupSoundCues[kNUM_STARTUP_SOUND_CUES] = {};
  ESceneManager* m_pSceneManager;
  EFreezeManager* m_pFreezeManager;
  ELanguageInfo* m_pLanguageInfo;
  unsigned m_hCursorTexture;
  ETiming m_Timing;
  EProfilerStats* m_pProfilerStats;
  EUserInterfaceManager m_UserInterface;
  EScreenFade* m_pScreenFade;
  ESayLineDisplayManager* m_pSayLineDisplayManager;
  EScriptSpriteManager* m_pScriptSpriteManager;
  E2DLinesManager* m_p2DLinesManager;
  EScriptTextManager* m_pScriptTextManager;
  EDebugManager* m_pDebugManager;
  EDialogManager m_DialogManager;
  EScriptVM m_ScriptVM;

  // Entities of global standing and the objects being processed right now.
  EEntity* m_pCurrentEntity;
  EScriptObject* m_pCurrentScriptObject;
  EEntity* m_pPlayer;
  EEntity* m_pGlobalEntity;
  EDomain* m_pMainDomain;
  EDomain* m_pLevelDomain;
  EDomain* m_pSkyBoxDomain;
  EDomain* m_pInventoryDomain;
  EDomain* m_pInvItemsDomain;
  // Simulation culling measures from the locked point instead of the
  // camera and the player.
  bool m_bLockSimulationPosition;
  EVec3 m_vLockedSimulationPosition;

  // Control and cameras.
  EControlHandler* m_aControlHandlers[kCONTROL_NUMTYPES];
  EControlHandler* m_pUIControlHandler;
  // Shortcuts into m_aControlHandlers, taken by InitControlHandlers.
  EBubbleControlHandler* m_pBubbleControlHandler = nullptr;
  ETKControlHandler* m_pTKControlHandler = nullptr;
  EProfileControlHandler* m_pProfileControlHandler = nullptr;
  EMenuControlHandler* m_pMenuControlHandler = nullptr;
  EDialogChoiceControlHandler* m_pDialogChoiceControlHandler = nullptr;
  ESlideshowControlHandler* m_pSlideshowControlHandler = nullptr;
  EFigmentControlHandler* m_pFigmentControlHandler = nullptr;
  ECamera* m_aCameras[kNUM_CAMERAS];
  ECameraChannel m_aCameraChannels[kNUM_CAMERA_CHANNELS];
  ECamera* m_pRenderCamera;
  ECameraChannel* m_pRenderChannel;
  ECamera* m_pMapCamera;
  // The camera paths ("Camera Paths", 16 entries), made at start-up.
  EDataArray<ECameraPath>* m_pCameraPaths = nullptr;

  // Per-frame and flag state.
  EString m_sLevelFilter;
  int m_iMainFont, m_iArialFont, m_iTahomaFont, m_iZolFont;
  EBox3 m_PlayerBox;
  EString m_sBuildString;
  bool m_bLevelUnloading;
  bool m_bStartUpComplete;
  bool m_bSkipSwap;
  bool m_bSoundPositionCameraRelative;
  bool m_bSoundOrientationCameraRelative;
  bool m_bMenuFrame;
  float m_fMenuIdleTime;  // ms
  bool m_bCopyFrameBuffer;
  bool m_bShowInGameMenuRequest;
  bool m_bDialogSkipped;
  bool m_bThoughtBubbleOpen;
  float m_fDelayedStartTime;  // s
  bool m_bDelayedMusicStart;
  bool m_bDelayedAmbienceStart;
  EArray<EEntity*> m_aDelayedDeleteEntities;
  EArray<EScriptObject*> m_aDelayedDeleteScriptObjects;
  unsigned m_dwInitializedSubsystems;

  // Textures: the game texture manager (made when rendering starts) and
  // the state it consults.
  EGameTextureManager* GetGameTextureManager() const { return m_pGameTextureManager; }
  // 3 once a level has loaded completely and runs.
  int GetLevelLoadedState() const { return m_iLevelLoadedState; }
  const char* GetFullCurrentLevelName() const { return m_szFullCurrentLevelName; }
  // Memory in use (what the renderer holds) and in total, in bytes; their
  // difference is free memory.
  void GetRetailMemState(float& used, float& total);
  // Procedural textures made when rendering starts; renderer handles or 0.
  unsigned createErrorTexture();
  unsigned createExponentTexture();

  EGameTextureManager* m_pGameTextureManager;
  // The shader library (GameShaders.cpp): made by InitShaders, released by
  // ShutdownRender; its refresh requests are served by the next RenderFrame.
  bool InitShaders();
  EGameShaders* GetGameShaders() const { return m_pGameShaders; }
  EGameShaders* m_pGameShaders;
  // The drawing passes over the shader library, made by InitRender and
  // deleted before the library; the draw state and scene values they read,
  // and the procedural textures and unit buffers they bind.
  EShaderPasses* GetShaderPasses() const { return m_pShaderPasses; }
  EShaderPasses* m_pShaderPasses = nullptr;
  EShaderDrawState* m_pShaderDrawState = nullptr;
  ESceneShading* m_pSceneShading = nullptr;
  ERenderResources* m_pPassResources = nullptr;
  // Copies the model transforms and the render camera into the passes'
  // draw state.
  void SyncShaderDrawState();
  // Pieces of the level sequence.
  void levelMemoryReport(const char* szWhen, const char* szRule);
  void sampleLoadStatistics(int iPair);
  void stopMenuMusic();
  void fadeOutLevelSound();
  void purgeLevelSound();
  // The frame's particle emitters: made and initialised by InitRender,
  // shut down and deleted when rendering is released.
  EParticleManager* GetParticleManager() const { return m_pParticleManager; }
  EParticleManager* m_pParticleManager = nullptr;
  // Points particle drawing at the application's passes, transforms, screen
  // targets and camera (the application in gGameApp).
  static void ConnectParticleRenderHooks();
  int m_iLevelLoadedState;
  char m_szFullCurrentLevelName[300];
  // Game texture ids of the procedural textures "Exponent" and
  // "ErrorTexture"; the second is what failed texture loads return.
  unsigned m_idExponentTexture;
  unsigned m_idErrorTexture;
  unsigned m_hBumpmapPalette;
  unsigned m_dwTextureReductions;  // run-time texture reductions so far
  // Game textures of the player model, and the sum of their sizes.
  EArray<unsigned int> m_aPlayerModelTextures;
  unsigned m_dwPlayerModelTextureBytes;

  // Fonts, sprites and 3D text (GameFonts.cpp). Fonts are numbered from 1.
  unsigned LoadFont(const char* szPath);
  EFont* GetFont(unsigned id) const { return id >= 1 && (int)id <= m_lFonts.Num() ? m_lFonts[(int)id - 1] : nullptr; }
  void DeleteFonts();
  // The four fonts of start-up: Bagel (the main font), Arial, Tahoma and
  // ZolNotebook.
  void LoadStartUpFonts();
  EArray<EFont*> m_lFonts;
  // Formatted screen text for this frame in the font of the id (0 is a
  // fatal check failure; an id past the list traces and draws nothing).
  void DisplayText(unsigned font, unsigned x, unsigned y, const char* szFormat, ...)
      __attribute__((format(printf, 5, 6)));
  void DisplayTextv(unsigned font, unsigned x, unsigned y, const char* szFormat, va_list args);
  EVec4 m_vTextColor = EVec4(1.0f, 1.0f, 1.0f, 1.0f);
  // Finds the value of the key in a frozen object's edit variables: the
  // text between the next two single quotes, at most size - 1 characters
  // and terminated. False when the key is missing; a missing closing quote
  // or an empty value is traced.
  static bool ReadEditVariable(const char* szVariables, const char* szKey, char* szOut, int iSize);
  ESpriteManager* m_pSpriteManager = nullptr;
  EText3DManager* m_pText3DManager = nullptr;
  int m_iRenderMode = 0;  // a RENDERMODE: 0 the main view, 4 the psychedelic pass
  // 1 while boxes are tested relative to the camera (the sky box), 0 in the
  // main scene space, 3 for what reflectors show.
  int m_iRenderSpace = 0;
  // A render request asked for a camera channel this frame.
  bool m_bChannelsWanted = false;
  // Skinned top meshes with several fragments requested this frame.
  int m_nSkinnedMeshes = 0;

  // The render state and resources of the scene passes (GameRender.cpp).
  unsigned m_dwRendererFlags = 0;
  RENDERDOMAIN m_eRenderDomain = kRENDERDOMAIN_SCENE;
  EMat4 m_mModelToWorld;
  EMat4 m_mWorldToModel;
  EVec2 m_vTexCoordTrans = EVec2(0.0f, 0.0f);
  EVec2 m_vTexCoordScale = EVec2(1.0f, 1.0f);
  EJoint** m_ppJointTable = nullptr;
  VSGEOM m_eGeomShader = kVSGEOM_PROJECT;
  unsigned m_nStencilStack = 0;
  int m_iFirstPostEmitter = -1;
  EMeshEntity* m_pClairvoyanceTarget = nullptr;
  unsigned m_ahScreenImage[kNUM_SCREEN_LEVELS][2] = {};
  unsigned m_ahScreenDepth[kNUM_SCREEN_LEVELS] = {};
  unsigned m_ahSquareImage[kNUM_SCREEN_LEVELS][2] = {};
  unsigned m_ahSquareDepth[kNUM_SCREEN_LEVELS] = {};
  unsigned m_hGlareTexture = 0;
  unsigned m_hMotionBlurTexture = 0;
  unsigned m_hQueryImage = 0;
  unsigned m_hQueryDepth = 0;
  unsigned m_idScreenImageTexture = 0;
  unsigned m_hWhiteTexture = 0;
  unsigned m_hBlackTexture = 0;
  unsigned m_hGreyTexture = 0;
  unsigned m_hErrorTexture = 0;
  unsigned m_hNullBumpmapTexture = 0;
  unsigned m_hDebugTexture = 0;
  unsigned m_hExponentTexture = 0;
  unsigned m_hNormalizationCubemap = 0;
  unsigned m_hZeroAlphaTexture = 0;
  unsigned m_hMapAlphaTexture = 0;
  unsigned m_hUnitScreenTriVB = 0;
  unsigned m_hUnitWorldQuadVB = 0;
  unsigned m_hUnitWorldBoxVB = 0;
  unsigned m_hClairvoyanceCloudVB = 0;
  EMeshFragManager* m_pMeshFragManager = nullptr;
  EDebugLineManager* m_pDebugLineManager = nullptr;
  EDebugTriManager* m_pDebugTriManager = nullptr;
  // Lights (GameLighting.cpp): the light and halo managers that InitRender
  // makes, the light-rig entity, and the lighting values of the fragment being
  // drawn, which the setters also hand to the passes' draw state.
  ELightManager* GetLightManager() const { return m_pLightManager; }
  EHaloManager* GetHaloManager() const { return m_pHaloManager; }
  void SetLightRigTarget(EMeshEntity* pEntity);
  EMeshEntity* GetLightRigTarget() const { return m_pLightRigTarget; }
  void SetDirectionalLightTarget(const EVec3& v);
  const EVec3& GetDirectionalLightTarget() const { return m_vDirectionalLightTarget; }
  void SetDetailTexture(unsigned hTexture);
  void SetDetailFactor(const EVec2& v);
  void SetAnisotropyLevel(float f);
  void SetTexcoordCompressScale(float f);
  unsigned GetStencilStackLevel() const { return m_nStencilStack; }
  void createLightManagers();
  void releaseLightManagers();
  ELightManager* m_pLightManager = nullptr;
  EHaloManager* m_pHaloManager = nullptr;
  EMeshEntity* m_pLightRigEntity = nullptr;
  EMeshEntity* m_pLightRigTarget = nullptr;
  EVec3 m_vDirectionalLightTarget = EVec3(0, 0, 0);
  unsigned m_hDetailTexture = 0;
  EVec2 m_vDetailFactor = EVec2(1, 1);
  float m_fAnisotropyLevel = 0;
  float m_fTexcoordCompressScale = 1;
  // Entities the frame's render requests collect for the passes.
  EList<EMeshEntity*> m_lShadowCasters;
  EList<EMeshEntity*> m_lReflectors;
  EList<EMeshEntity*> m_lAuraEntities;
  EList<EMeshEntity*> m_lStencilCasters;
  EList<EMeshEntity*> m_lPostEffectEntities;
  // A reflector asked for its reflection channel this frame.
  bool m_bReflectionWanted = false;
  // Empties the five lists and the reflection request; the frame starts here.
  void ResetFrameEntityLists();
  // The effect stores (GameEffects.cpp): decals, render patches and
  // splines and water, made and released with rendering; the frame empties,
  // prepares and draws them at fixed points.
  void createEffectStores();
  void releaseEffectStores();
  void ResetEffectStores();
  void PreprocessEffectStores();
  // Scene-pass steps: the water portals before the opaque geometry; the
  // splines and patches after it (again for the downsampled depth); the
  // decals and the water before the transparent geometry; the glowing
  // decals in the glare pass; the halos last.
  void RenderWaterPortals();
  void RenderSplinesAndPatches();
  void RenderDecalsAndWater();
  void RenderGlareDecals();
  void RenderHalos();
  // Level load shrinks the pools (the unload clears the decals and ends the
  // water's level itself).
  void EffectStoresLevelLoaded();
  // Decals on entities that died go.
  void CleanupEffectReferences();
  EDecalManager* GetDecalManager() const { return m_pDecalManager; }
  ERenderPatchManager* GetRenderPatchManager() const { return m_pRenderPatchManager; }
  ERenderSplineManager* GetRenderSplineManager() const { return m_pRenderSplineManager; }
  EWaterManager* GetWaterManager() const { return m_pWaterManager; }
  EDecalManager* m_pDecalManager = nullptr;
  ERenderPatchManager* m_pRenderPatchManager = nullptr;
  ERenderSplineManager* m_pRenderSplineManager = nullptr;
  EWaterManager* m_pWaterManager = nullptr;
  // The game texture of render splines given none, loaded on first use.
  unsigned GetRopeTexture();
  unsigned m_idRopeTexture = 0;
  bool m_bGlowingDecals = false;     // written by the decal preprocess, read by the glare pass
  // Mesh-fragment drawing (GameMeshFragViews.cpp).
  // A channel's monitor texture; 0 while monitors sample nothing.
  unsigned GetMonitorChannelTexture(int iChannel);
  void SetLightToModel(const EMat4& m);
  // The frame's facts gathered by the fragment preprocess; the frame clears
  // them when it starts.
  int m_eGlareMode = -1;  // the GLAREMODE being drawn, -1 outside the glare pass
  EMeshFrag* m_pGlareSunFrag = nullptr;
  bool m_bMonitorView = false;
  bool m_bTranslucentEntities = false;
  bool m_bDistortionFrame = false;
  bool m_bVolumeFogValid = false;
  EBox3 m_VolumeFogBox = EBox3(EVec3(0, 0, 0), EVec3(0, 0, 0));
  bool m_bGlareMeshFrags = false;
  bool m_bLoadingScreen = false;
  ELightTrailManager* m_pLightTrailManager = nullptr;
  // Shader passes of the sprites and the 3D text (GameShaderPasses.cpp):
  // the 640 x 480 sprite space mapped onto the target, the unit billboard
  // of 3D text, and the application's pixel shaders by name.
  static void SetShaderSpriteBlit(const EVec2& scale, const EVec2& offset, const EVec2& screenSize);
  static void SetShaderZSprite(const EVec4& colour);
  static uint32_t GetPassPixelShader(const char* szName);
  static void ReleaseShaderPasses();

protected:
  // The build string "P0602" (with ".minor" when the minor number is set).
  void WriteBuildString(unsigned dwMajor, unsigned dwMinor);
  void initUIMenu();
};

extern GameApp* gGameApp;
// The mark of the simulated frame's scratch memory while the entities run; null otherwise.
class EMemMark;
extern EMemMark* g_pAffectorMark;
