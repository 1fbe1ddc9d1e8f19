// The controls that belong to no control handler (the debug pad, journal,
// inventory, skipping lines and cutscenes), the level requests they serve,
// the copy of the profile's options into the running game, and the hidden
// button codes.
#include "Game/GameApp.h"

#include <cstring>

#include "Game/SaveLoadGame.h"
#include "Game/ScreenOverlays.h"
#include "Game/UIMenu.h"
#include "ScriptVM/ScriptMessage.h"
#include "ScriptVM/ScriptObject.h"
#include "TWSound/SoundManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Profiler.h"
#include "VERirezo/Entity.h"

void GameApp::ReturnToStartMenu() {
  m_bReturnToStartMenuRequested = true;
  if (m_pSoundManager) m_pSoundManager->StopAll();
}

bool GameApp::ProcessGlobalInput(Input& in) {
  ProcessDebugInput(m_DebugInput);

  // While a box or a special screen is up, everything below waits.
  if ((m_pMessageBoxManager && m_pMessageBoxManager->IsMessageBoxActive()) ||
      GetControlHandlerType() == kCONTROL_SLIDESHOW || GetControlHandlerType() == kCONTROL_FIGMENT ||
      (m_pTutorialBoxManager && m_pTutorialBoxManager->IsActive()) || m_UserInterface.IsShowingEndDemo()) {
    return true;
  }

  const bool bMenuHandler = GetControlHandlerType() == kCONTROL_MENU;
  const bool bChoiceHandler = GetControlHandlerType() == kCONTROL_DIALOGCHOICE;
  const bool bCabu = strncmp(m_szCurrentLevelName, "CABU", 4) == 0;
  const bool bInGameMenu = m_pUIMenu && m_pUIMenu->IsInGameMenuActive();
  uint8_t* pressed = in.m_aButtonPressed;

  // Both sticks clicked: the in-game menu on its own page (debug builds).
  const bool bCombo = (in.m_aAnalogButton[kBUTTON_LCLICK] && pressed[kBUTTON_RCLICK]) ||
                      (in.m_aAnalogButton[kBUTTON_RCLICK] && pressed[kBUTTON_LCLICK]);
  if (bCombo && m_bLevelLoaded && m_DebugHooks.DebugMenuCombo && m_pUIMenu) {
    pressed[kBUTTON_LCLICK] = pressed[kBUTTON_BLACK] = pressed[kBUTTON_B] = 0;
    const bool bInGameMenuPref = m_Prefs.m_bInGameMenu;
    m_Prefs.m_bInGameMenu = false;
    m_pUIMenu->GetInGameMenu()->SetForceJournal(false);
    m_pUIMenu->ToggleInGameMenu();
    m_Prefs.m_bInGameMenu = bInGameMenuPref;
  }

  if (!bCabu && pressed[kBUTTON_LCLICK] && !bMenuHandler && m_bLevelLoaded && !bInGameMenu) {
    m_UserInterface.DisplayInventory(false, false);
  }

  if (!bCabu && pressed[kBUTTON_START] && !bChoiceHandler && m_bLevelLoaded && !bInGameMenu && m_pUIMenu) {
    if (EInGamePage* pPage = m_pUIMenu->FindPage("InGameMenu")) {
      in.m_aPOVChanged[0] = -1;
      pPage->SetForceJournal(true);
      m_pUIMenu->ToggleInGameMenu();
    }
  }

  if (pressed[kBUTTON_A] && m_bLevelLoaded && !bInGameMenu && m_pSayLineDisplayManager &&
      m_pSayLineDisplayManager->DeleteAllDialog(false)) {
    pressed[kBUTTON_A] = 0;
    m_bDialogSkipped = true;
  }

  if (pressed[kBUTTON_B] && m_ScriptVM.IsInitialised() && m_ScriptVM.InCutscene() && !bInGameMenu) {
    m_ScriptVM.CutsceneOverride();
    if (!bChoiceHandler) pressed[kBUTTON_B] = 0;
  }

  if (m_bNewLevelRequested) {
    const int64_t start = Profile_GetTimestamp();
    loadLevel();
    g_ErrorManager.TraceMessagef(TT_Developer4, "Level loaded in %.2f seconds",
                                 Profile_TimestampsToSeconds(Profile_GetTimestamp() - start));
  }

  if (m_bReturnToStartMenuRequested) {
    if (m_bLevelLoaded) {
      unloadLevel();
      m_szFullCurrentLevelName[0] = '\0';
      m_szCurrentLevelName[0] = '\0';
      if (m_pUIMenu) m_pUIMenu->ReInit();
    }
    m_bReturnToStartMenuRequested = false;
  }

  return m_pUIMenu ? m_pUIMenu->Handle_Controls(&in) : false;
}

namespace {
// A debug-pad button is taken as fully down above this held value.
const int kGLOBALINPUT_FULL_PRESS = 224;
}  // namespace

bool GameApp::ProcessDebugInput(Input& in) {
  static bool s_abArmed[kBUTTON_NUMBUTTONS] = {};

  for (int slot = 0; slot < 8; ++slot) {
    if (!in.m_aAnalogButton[slot] && !in.m_aButtonPrevDown[slot]) continue;
    bool bTaken = false;
    if (m_ScriptVM.CallFunctionf("DebugAnalogInput", "ii/b", slot, (int)in.m_aAnalogButton[slot], &bTaken) &&
        bTaken) {
      in.m_aButtonPressed[slot] = 0;
      in.m_aAnalogButton[slot] = 0;
    }
  }

  for (int slot = 0; slot < kBUTTON_NUMBUTTONS; ++slot) {
    if (in.m_aButtonPressed[slot]) s_abArmed[slot] = true;
    if (!s_abArmed[slot]) continue;
    const int held = in.m_aAnalogButton[slot];
    const int previous = in.m_aButtonPrevDown[slot];
    if (held <= kGLOBALINPUT_FULL_PRESS && held >= previous) continue;
    bool bTaken = false;
    if (m_ScriptVM.CallFunctionf("DebugDigitalInput", "ib/b", slot, held > kGLOBALINPUT_FULL_PRESS, &bTaken) &&
        bTaken) {
      in.m_aButtonPressed[slot] = 0;
      in.m_aAnalogButton[slot] = 0;
    }
    s_abArmed[slot] = false;
  }

  for (int k = 0; k < 4; ++k) {
    if (in.m_aPOVChanged[0] != k * 9000) continue;
    bool bTaken = false;
    if (m_ScriptVM.CallFunctionf("DebugDigitalInput", "ib/b", 12 + k, false, &bTaken) && bTaken) {
      in.m_aPOVChanged[0] = -1;
      break;
    }
  }

  if (!m_Prefs.m_bMainMenu) {
    int32_t* axes[] = {&m_Input.m_nMoveY, &m_Input.m_nLookX, &m_Input.m_nLookY, &m_Input.m_nMoveX};
    const int32_t debugAxes[] = {in.m_nMoveY, in.m_nLookX, in.m_nLookY, in.m_nMoveX};
    for (int i = 0; i < 4; ++i) {
      if (*axes[i] == 0 && debugAxes[i] != 0) *axes[i] = debugAxes[i];
    }
  }
  return true;
}

// Settings

void GameApp::RefreshAllSettings() {
  RefreshGlobalSettings();
  RefreshInputSettings();
  RefreshGraphicsSettings();
  RefreshSoundSettings();
}

void GameApp::RefreshGlobalSettings() {
  if (!m_pSaveLoadInterface) return;
  ELoadSaveGame& saves = *m_pSaveLoadInterface;
  struct Switch {
    const char* key;
    bool EDebugHooks::*target;
  };
  static const Switch kSwitches[] = {
      {EGlobalSettings::m_szCameraInvertAzimuth, &EDebugHooks::CameraInvertRotateX},
      {EGlobalSettings::m_szCameraInvertAltitude, &EDebugHooks::CameraInvertRotateY},
      {EGlobalSettings::m_szCameraInvertAltitudeFreelook, &EDebugHooks::CameraInvertFirstPerson},
      {EGlobalSettings::m_szShowGoalPopups, &EDebugHooks::ShowGoalPopups},
      {EGlobalSettings::m_szSmartCamera, &EDebugHooks::SmartCamera},
      {EGlobalSettings::m_szCamAltitudeDeadzone, &EDebugHooks::CameraAltitudeDampening},
      {EGlobalSettings::m_szGlobalAllowRumblePack, &EDebugHooks::RumbleSaved},
  };
  for (const Switch& s : kSwitches) {
    bool bValue = false;
    if (saves.GetSetting(s.key, bValue)) m_DebugHooks.*(s.target) = bValue;
  }
  float fValue = 0.0f;
  if (saves.GetSetting(EGlobalSettings::m_szMouseSensitivity, fValue)) ZARInput_SetMouseSensitivity(fValue);
  if (saves.GetSetting(EGlobalSettings::m_szDeadzone, fValue)) ZARInput_SetJoystickDeadzone(fValue);
}

void GameApp::RefreshInputSettings() { ZARInput_ReadSettings(); }

void GameApp::RefreshSoundSettings() {
  bool bSubtitles = false;
  if (m_SoundSettings.GetSettingValue(ESoundSettings::s_szShowSubtitles, bSubtitles)) m_DebugHooks.Subtitles = bSubtitles;
  if (m_pSayLineDisplayManager && !m_DebugHooks.Subtitles) m_pSayLineDisplayManager->DeleteAllDialog(true);
  if (!m_pSoundManager) return;
  struct Volume {
    const char* key;
    void (ESoundManager::*set)(float, int);
  };
  static const Volume kVolumes[] = {
      {ESoundSettings::s_szMasterVolume, &ESoundManager::SetMasterVolume},
      {ESoundSettings::s_szFXVolume, &ESoundManager::SetFXVolume},
      {ESoundSettings::s_szMusicVolume, &ESoundManager::SetMusicVolume},
      {ESoundSettings::s_szVoiceVolume, &ESoundManager::SetVoiceVolume},
  };
  for (const Volume& v : kVolumes) {
    float fValue = 0.0f;
    if (m_SoundSettings.GetSettingValue(v.key, fValue)) (m_pSoundManager->*(v.set))(fValue, 0);
  }
}

// Hidden button codes

namespace {

const float kCHEAT_PAUSE_MS = 500.0f;

// Six presses (0x80 | button slot) and two zero bytes each.
const unsigned char kCHEAT_CODES[8][8] = {
    {0x8C, 0x8A, 0x8E, 0x8B, 0x8D, 0x8F, 0, 0}, {0x8F, 0x8D, 0x8E, 0x8C, 0x8A, 0x8B, 0, 0},
    {0x8E, 0x8C, 0x8F, 0x8A, 0x8D, 0x8B, 0, 0}, {0x8B, 0x8F, 0x8A, 0x8D, 0x8E, 0x8C, 0, 0},
    {0x8D, 0x8E, 0x8B, 0x8F, 0x8C, 0x8A, 0, 0}, {0x8A, 0x8B, 0x8C, 0x8F, 0x8E, 0x8D, 0, 0},
    {0x8F, 0x8E, 0x8D, 0x8C, 0x8B, 0x8A, 0, 0}, {0x8C, 0x8D, 0x8A, 0x8E, 0x8F, 0x8B, 0, 0},
};

}  // namespace

void GameApp::UpdateCheatCodes(Input* input) {
  if (m_Prefs.m_bOxmBuild) return;
  const float now = (float)GetRealElapsedTimeMS();
  if (m_nCheatInputs > 0 && now - m_fLastCheatPressMS > kCHEAT_PAUSE_MS) {
    memset(m_aCheatInput, 0, sizeof(m_aCheatInput));
    m_nCheatInputs = 0;
  }
  if (!input->m_aAnalogButton[kBUTTON_LEFTFLIPPER] || !input->m_aAnalogButton[kBUTTON_RIGHTFLIPPER]) return;
  for (int slot = 0; slot < kBUTTON_NUMBUTTONS; ++slot) {
    if (slot == kBUTTON_LEFTFLIPPER || slot == kBUTTON_RIGHTFLIPPER || !input->m_aButtonPressed[slot]) continue;
    AddCheatInput((unsigned char)slot);
    m_fLastCheatPressMS = now;
    return;
  }
}

void GameApp::AddCheatInput(unsigned char slot) {
  if (m_nCheatInputs >= 8) return;
  m_aCheatInput[m_nCheatInputs++] = (unsigned char)(0x80 | slot);
  EScriptObject* pPlayer = m_pPlayer ? m_pPlayer->GetScriptObject() : nullptr;
  if (!pPlayer) return;

  int code = 0;
  for (int i = 0; i < 8 && !code; ++i) {
    if (!memcmp(m_aCheatInput, kCHEAT_CODES[i], 8)) code = i + 1;
  }
  if (!code) return;

  EScriptObject* pDebug = m_ScriptVM.FindScriptByName("Debug");
  bool bNotify = true;
  switch (code) {
    case 1:
      if (pDebug) pDebug->SendMessagef("DebugMenu", nullptr, kMESSAGE_Queued, "s", "powers");
      break;
    case 2:
      pPlayer->SetTableValue("stats.maxLives", 9999);
      pPlayer->SetTableValue("stats.ruziLives", 9999);
      break;
    case 3:
      m_DebugHooks.invulnerable = true;
      if (pDebug) {
        pDebug->CallMethodf("debugMC", "s", "SuperOly");
        pDebug->CallMethodf("debugMC", "s", "OwMyFace");
      }
      break;
    case 4:
      pPlayer->CallMethodf("setConfusionMaxAmmo", "i", 9999);
      pPlayer->SetTableValue("stats.psiBlastMaxAmmo", 9999);
      STUBBED("psi-blast ammunition");
      break;
    case 5:
      if (pDebug) pDebug->SendMessagef("DebugMenu", nullptr, kMESSAGE_Queued, "s", "globalitems");
      break;
    case 6: pPlayer->CallMethodf("setRank", "ii", 100, 1); break;
    case 7:
      pPlayer->SetTableValue("stats.arrowheads", 9999);
      STUBBED("collectibles for the player");
      break;
    case 8: {
      m_DebugHooks.m_bNonsenseText = !m_DebugHooks.m_bNonsenseText;
      EGameProfile* pProfile = m_pSaveLoadInterface ? m_pSaveLoadInterface->GetCurrentProfile() : nullptr;
      if (pProfile && pProfile->GetOptions().m_uOption21 == 0) {
        pProfile->GetOptions().m_uOption21 = 1;
        pProfile->UpdateOptionsToGame();
      }
      char szGroup[3] = {m_szFullCurrentLevelName[0], m_szFullCurrentLevelName[0] ? m_szFullCurrentLevelName[1] : '\0',
                         '\0'};
      if (szGroup[0]) LoadLocalizedTextBank(szGroup);
      bNotify = m_DebugHooks.m_bNonsenseText;
      break;
    }
  }
  if (bNotify) {
    // The cue plays once the sound banks are served.
    ++m_nCheatNotifications;
    STUBBED("the CheatNotification cue");
  }
}
