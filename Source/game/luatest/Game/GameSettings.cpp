#include "Game/GameSettings.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/TWUnixCompat.h"

// A failed check is fatal and names the expression as the code states it.
#define SETTINGS_CHECK(expr, text) \
  do { if (!(expr)) g_ErrorManager.ErrorMessage(__FILE__, __LINE__, text, false); } while (0)

// EGameSetting

EGameSetting::EGameSetting(const char* szName, bool bValue, bool bAlt)
    : m_szName(szName), m_ValueType(kVALUETYPE_BOOL), m_bAlt(bAlt) {
  m_Default.i = 0;
  m_Default.b = bValue;
  m_Value = m_Default;
}

EGameSetting::EGameSetting(const char* szName, int iValue, bool bAlt)
    : m_szName(szName), m_ValueType(kVALUETYPE_INT), m_bAlt(bAlt) {
  m_Default.i = iValue;
  m_Value = m_Default;
}

EGameSetting::EGameSetting(const char* szName, float fValue, bool bAlt)
    : m_szName(szName), m_ValueType(kVALUETYPE_FLOAT), m_bAlt(bAlt) {
  m_Default.f = fValue;
  m_Value = m_Default;
}

EGameSetting::EGameSetting(const char* szName, PHYSICAL_INPUT eValue, bool bAlt)
    : m_szName(szName), m_ValueType(kVALUETYPE_PHYSICALINPUT), m_bAlt(bAlt) {
  m_Default.input = eValue;
  m_Value = m_Default;
}

void EGameSetting::SetValue(bool bValue) {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_BOOL || m_ValueType == kVALUETYPE_UNINITIALIZED,
                 "m_ValueType == kVALUETYPE_BOOL || m_ValueType == kVALUETYPE_UNINITIALIZED");
  m_ValueType = kVALUETYPE_BOOL;
  m_Value.i = 0;
  m_Value.b = bValue;
}

void EGameSetting::SetValue(int iValue) {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_INT || m_ValueType == kVALUETYPE_UNINITIALIZED,
                 "m_ValueType == kVALUETYPE_INT || m_ValueType == kVALUETYPE_UNINITIALIZED");
  m_ValueType = kVALUETYPE_INT;
  m_Value.i = iValue;
}

void EGameSetting::SetValue(float fValue) {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_FLOAT || m_ValueType == kVALUETYPE_UNINITIALIZED,
                 "m_ValueType == kVALUETYPE_FLOAT || m_ValueType == kVALUETYPE_UNINITIALIZED");
  m_ValueType = kVALUETYPE_FLOAT;
  m_Value.f = fValue;
}

void EGameSetting::SetValue(PHYSICAL_INPUT eValue) {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_PHYSICALINPUT || m_ValueType == kVALUETYPE_UNINITIALIZED,
                 "m_ValueType == kVALUETYPE_PHYSICALINPUT || m_ValueType == kVALUETYPE_UNINITIALIZED");
  m_ValueType = kVALUETYPE_PHYSICALINPUT;
  m_Value.input = eValue;
}

void EGameSetting::GetValue(bool& bValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_BOOL, "m_ValueType == kVALUETYPE_BOOL");
  bValue = m_Value.b;
}

void EGameSetting::GetValue(int& iValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_INT, "m_ValueType == kVALUETYPE_INT");
  iValue = m_Value.i;
}

void EGameSetting::GetValue(float& fValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_FLOAT, "m_ValueType == kVALUETYPE_FLOAT");
  fValue = m_Value.f;
}

void EGameSetting::GetValue(PHYSICAL_INPUT& eValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_PHYSICALINPUT, "m_ValueType == kVALUETYPE_PHYSICALINPUT");
  eValue = m_Value.input;
}

void EGameSetting::GetDefaultValue(bool& bValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_BOOL, "m_ValueType == kVALUETYPE_BOOL");
  bValue = m_Default.b;
}

void EGameSetting::GetDefaultValue(int& iValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_INT, "m_ValueType == kVALUETYPE_INT");
  iValue = m_Default.i;
}

void EGameSetting::GetDefaultValue(float& fValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_FLOAT, "m_ValueType == kVALUETYPE_FLOAT");
  fValue = m_Default.f;
}

void EGameSetting::GetDefaultValue(PHYSICAL_INPUT& eValue) const {
  SETTINGS_CHECK(m_ValueType == kVALUETYPE_PHYSICALINPUT, "m_ValueType == kVALUETYPE_PHYSICALINPUT");
  eValue = m_Default.input;
}

const char* EGameSetting::GetName() const {
  SETTINGS_CHECK(m_ValueType != kVALUETYPE_UNINITIALIZED, "m_ValueType != kVALUETYPE_UNINITIALIZED");
  return m_szName;
}

bool EGameSetting::IsAlt() const {
  SETTINGS_CHECK(m_ValueType != kVALUETYPE_UNINITIALIZED, "m_ValueType != kVALUETYPE_UNINITIALIZED");
  return m_bAlt;
}

// The input whose display name the text is: the name itself in any case, or
// a slashed name given without its slashes (compared with case).
static bool FindInputByText(const char* text, PHYSICAL_INPUT& out) {
  size_t len = strlen(text);
  for (int i = 0; i < kINPUT_NUMINPUTS; ++i) {
    const char* name = ZARInput_GetInputName((PHYSICAL_INPUT)i);
    if (!name) continue;
    if (!strcasecmp(name, text)) {
      out = (PHYSICAL_INPUT)i;
      return true;
    }
    size_t n = strlen(name);
    if (name[0] == '/' && n == len + 2 && name[n - 1] == '/' && !strncmp(name + 1, text, len)) {
      out = (PHYSICAL_INPUT)i;
      return true;
    }
  }
  return false;
}

void EGameSetting::SetFromASCII(const char* szBuffer) {
  SETTINGS_CHECK(szBuffer != NULL, "szBuffer != NULL");
  if (!szBuffer) return;
  if (szBuffer[0] == '\0') {
    if (m_ValueType == kVALUETYPE_PHYSICALINPUT) m_Value.input = kINPUT_NONE;
    return;
  }
  switch (m_ValueType) {
    case kVALUETYPE_BOOL:
      if (!strcasecmp(szBuffer, "true")) SetValue(true);
      else if (!strcasecmp(szBuffer, "false")) SetValue(false);
      break;
    case kVALUETYPE_INT: SetValue((int)atoi(szBuffer)); break;
    case kVALUETYPE_FLOAT: SetValue((float)atof(szBuffer)); break;
    case kVALUETYPE_PHYSICALINPUT: {
      PHYSICAL_INPUT input;
      if (FindInputByText(szBuffer, input)) SetValue(input);
      break;
    }
    default: break;
  }
}

void EGameSetting::GetAsASCII(char* szBuffer, int iSize) const {
  if (!szBuffer || iSize <= 0) return;
  szBuffer[0] = '\0';
  switch (m_ValueType) {
    case kVALUETYPE_BOOL: snprintf(szBuffer, (size_t)iSize, "%s", m_Value.b ? "true" : "false"); break;
    case kVALUETYPE_INT: snprintf(szBuffer, (size_t)iSize, "%d", (int)m_Value.i); break;
    case kVALUETYPE_FLOAT: snprintf(szBuffer, (size_t)iSize, "%f", (double)m_Value.f); break;
    case kVALUETYPE_PHYSICALINPUT: {
      if (m_Value.input == kINPUT_NONE) break;
      const char* name = ZARInput_GetInputName(m_Value.input);
      if (!name) break;
      size_t n = strlen(name);
      if (n >= 2 && name[0] == '/' && name[n - 1] == '/')
        snprintf(szBuffer, (size_t)iSize, "%.*s", (int)(n - 2), name + 1);
      else
        snprintf(szBuffer, (size_t)iSize, "%s", name);
      break;
    }
    default: break;
  }
}

// EGameSettingsList

EGameSettingsList::EGameSettingsList(const char* szName) : m_szName(szName) {}

EGameSettingsList::~EGameSettingsList() {
  for (int i = 0; i < m_aSettings.Num(); ++i) {
    m_aSettings[i]->~EGameSetting();
    free(m_aSettings[i]);
  }
  m_aSettings.Empty();
}

EGameSetting* EGameSettingsList::Lookup(const char* szName, bool bAlt) const {
  for (int i = 0; i < m_aSettings.Num(); ++i) {
    EGameSetting* s = m_aSettings[i];
    if (s->IsAlt() == bAlt && !strcasecmp(s->GetName(), szName)) return s;
  }
  return nullptr;
}

EGameSetting* EGameSettingsList::FindSetting(const char* szName, bool bAlt) const {
  SETTINGS_CHECK(szName != NULL, "szName != NULL");
  if (!szName) return nullptr;
  return Lookup(szName, bAlt);
}

EGameSetting* EGameSettingsList::NewSetting(const char* szName, bool bAlt) {
  SETTINGS_CHECK(szName != NULL, "szName != NULL");
  SETTINGS_CHECK(!FindSetting(szName, bAlt), "!FindSetting( szName, bAlt )");
  void* mem = malloc(sizeof(EGameSetting));
  EASSERT(mem);
  return static_cast<EGameSetting*>(mem);
}

void EGameSettingsList::AddSetting(const char* szName, bool bDefault, bool bAlt) {
  m_aSettings.AddData(new (NewSetting(szName, bAlt)) EGameSetting(szName, bDefault, bAlt));
}

void EGameSettingsList::AddSetting(const char* szName, int iDefault, bool bAlt) {
  m_aSettings.AddData(new (NewSetting(szName, bAlt)) EGameSetting(szName, iDefault, bAlt));
}

void EGameSettingsList::AddSetting(const char* szName, float fDefault, bool bAlt) {
  m_aSettings.AddData(new (NewSetting(szName, bAlt)) EGameSetting(szName, fDefault, bAlt));
}

void EGameSettingsList::AddSetting(const char* szName, PHYSICAL_INPUT eDefault, bool bAlt) {
  m_aSettings.AddData(new (NewSetting(szName, bAlt)) EGameSetting(szName, eDefault, bAlt));
}

#define SETTINGS_ACCESSORS(T)                                                               \
  bool EGameSettingsList::GetSettingValue(const char* szName, T& value, bool bAlt) const {  \
    EGameSetting* s = FindSetting(szName, bAlt);                                            \
    if (!s) return false;                                                                   \
    s->GetValue(value);                                                                     \
    return true;                                                                            \
  }                                                                                         \
  bool EGameSettingsList::SetSettingValue(const char* szName, T value, bool bAlt) {         \
    EGameSetting* s = FindSetting(szName, bAlt);                                            \
    if (!s) return false;                                                                   \
    s->SetValue(value);                                                                     \
    return true;                                                                            \
  }                                                                                         \
  bool EGameSettingsList::GetSettingDefault(const char* szName, T& value, bool bAlt) const { \
    EGameSetting* s = FindSetting(szName, bAlt);                                            \
    if (!s) return false;                                                                   \
    s->GetDefaultValue(value);                                                              \
    return true;                                                                            \
  }

SETTINGS_ACCESSORS(bool)
SETTINGS_ACCESSORS(int)
SETTINGS_ACCESSORS(float)
SETTINGS_ACCESSORS(PHYSICAL_INPUT)

void EGameSettingsList::ReadSettingsFromFile(FILE* pFile) {
  SETTINGS_CHECK(pFile != NULL, "pFile != NULL");
  if (!pFile) return;
  char line[1024];
  while (fgets(line, sizeof(line), pFile)) {
    if (char* cr = strchr(line, '\r')) *cr = '\0';
    if (char* lf = strchr(line, '\n')) *lf = '\0';
    char* eq = strchr(line, '=');
    if (!eq) continue;
    *eq = '\0';
    const char* value = eq + 1;
    bool bAlt = false;
    if (char* alt = strstr(line, "_Alt")) {
      bAlt = true;
      *alt = '\0';
    }
    if (EGameSetting* s = Lookup(line, bAlt)) s->SetFromASCII(value);
  }
}

void EGameSettingsList::WriteSettingsToFile(FILE* pFile) const {
  SETTINGS_CHECK(pFile != NULL, "pFile != NULL");
  if (!pFile) return;
  fprintf(pFile, "[%s]\n", m_szName);
  char value[1024];
  for (int i = 0; i < m_aSettings.Num(); ++i) {
    const EGameSetting* s = m_aSettings[i];
    s->GetAsASCII(value, (int)sizeof(value));
    fprintf(pFile, "%s%s=%s\n", s->GetName(), s->IsAlt() ? "_Alt" : "", value);
  }
  fprintf(pFile, "\n");
}

// EGlobalSettings

const char* const EGlobalSettings::m_szCameraInvertAzimuth = "InvertCamVert";
const char* const EGlobalSettings::m_szCameraInvertAltitude = "InvertCamHoriz";
const char* const EGlobalSettings::m_szCameraInvertAltitudeFreelook = "InvertFPCam";
const char* const EGlobalSettings::m_szSmartCamera = "SmartCamera";
const char* const EGlobalSettings::m_szCamAltitudeDeadzone = "CameraAltitudeDampening";
const char* const EGlobalSettings::m_szGlobalAllowRumblePack = "EnableRumble";
const char* const EGlobalSettings::m_szShowGoalPopups = "ShowGoalPopups";
const char* const EGlobalSettings::m_szMouseSensitivity = "MouseSensitivity";
const char* const EGlobalSettings::m_szDeadzone = "JoystickDeadzone";

EGlobalSettings::EGlobalSettings(const char* szName) : EGameSettingsList(szName) {
  AddSetting(m_szCameraInvertAzimuth, false);
  AddSetting(m_szCameraInvertAltitude, false);
  AddSetting(m_szCameraInvertAltitudeFreelook, false);
  AddSetting(m_szSmartCamera, true);
  AddSetting(m_szCamAltitudeDeadzone, true);
  AddSetting(m_szGlobalAllowRumblePack, true);
  AddSetting(m_szShowGoalPopups, true);
  AddSetting(m_szMouseSensitivity, 0.5f);
  AddSetting(m_szDeadzone, 0.15f);
}

// EBindingsSettings

const char* const EBindingsSettings::s_aszActionKeys[kACTION_NUMACTIONS] = {
    "MoveForward", "MoveBackward",  "MoveLeft",    "MoveRight", "Jump",     "Attack",   "Use",
    "Cancel",      "LockOn/Float",  "PsiPower1",   "PsiPower2", "PsiPower3", "InventoryMenu",
    "PsiPowersMenu", "FirstPerson", "Journal",     "Stats",     "LookUp",   "LookDown", "LookLeft",
    "LookRight"};

const PHYSICAL_INPUT EBindingsSettings::s_aDefaultPrimary[kACTION_NUMACTIONS] = {
    (PHYSICAL_INPUT)17,  (PHYSICAL_INPUT)31, (PHYSICAL_INPUT)30, (PHYSICAL_INPUT)32, (PHYSICAL_INPUT)57,
    (PHYSICAL_INPUT)258, (PHYSICAL_INPUT)33, (PHYSICAL_INPUT)45, (PHYSICAL_INPUT)42, (PHYSICAL_INPUT)259,
    (PHYSICAL_INPUT)16,  (PHYSICAL_INPUT)18, (PHYSICAL_INPUT)2,  (PHYSICAL_INPUT)3,  (PHYSICAL_INPUT)44,
    (PHYSICAL_INPUT)1,   (PHYSICAL_INPUT)15, (PHYSICAL_INPUT)72, (PHYSICAL_INPUT)80, (PHYSICAL_INPUT)75,
    (PHYSICAL_INPUT)77};

const PHYSICAL_INPUT EBindingsSettings::s_aDefaultAlternate[kACTION_NUMACTIONS] = {
    (PHYSICAL_INPUT)200, (PHYSICAL_INPUT)208, (PHYSICAL_INPUT)203, (PHYSICAL_INPUT)205, (PHYSICAL_INPUT)281,
    (PHYSICAL_INPUT)280, (PHYSICAL_INPUT)283, (PHYSICAL_INPUT)282, (PHYSICAL_INPUT)284, (PHYSICAL_INPUT)285,
    (PHYSICAL_INPUT)286, (PHYSICAL_INPUT)287, (PHYSICAL_INPUT)278, (PHYSICAL_INPUT)279, (PHYSICAL_INPUT)291,
    (PHYSICAL_INPUT)288, (PHYSICAL_INPUT)290, (PHYSICAL_INPUT)317, (PHYSICAL_INPUT)317, (PHYSICAL_INPUT)314,
    (PHYSICAL_INPUT)314};

EBindingsSettings::EBindingsSettings(const char* szName) : EGameSettingsList(szName) {
  for (int a = 0; a < kACTION_NUMACTIONS; ++a) AddSetting(s_aszActionKeys[a], s_aDefaultPrimary[a], false);
  for (int a = 0; a < kACTION_NUMACTIONS; ++a) AddSetting(s_aszActionKeys[a], s_aDefaultAlternate[a], true);
}

// EGraphicsSettings

const char* const EGraphicsSettings::s_szScreenWidth = "ScreenWidth";
const char* const EGraphicsSettings::s_szScreenHeight = "ScreenHeight";
const char* const EGraphicsSettings::s_szFullScreen = "FullScreen";
const char* const EGraphicsSettings::s_szVSync = "VSync";
const char* const EGraphicsSettings::s_szFSAA = "FSAA";
const char* const EGraphicsSettings::s_szFSFX = "FSFX";
const char* const EGraphicsSettings::s_szAdvancedShading = "AdvancedShading";
const char* const EGraphicsSettings::s_szShadows = "Shadows";
const char* const EGraphicsSettings::s_szGammaCorrection = "GammaCorrection";

EGraphicsSettings::EGraphicsSettings(const char* szName) : EGameSettingsList(szName) {
  AddSetting(s_szScreenWidth, 800);
  AddSetting(s_szScreenHeight, 600);
  AddSetting(s_szFullScreen, false);
  AddSetting(s_szVSync, true);
  AddSetting(s_szFSAA, true);
  AddSetting(s_szFSFX, true);
  AddSetting(s_szAdvancedShading, true);
  AddSetting(s_szShadows, true);
  AddSetting(s_szGammaCorrection, 1.0f);
}

// ESoundSettings

const char* const ESoundSettings::s_szMasterVolume = "MasterVolume";
const char* const ESoundSettings::s_szFXVolume = "FXVolume";
const char* const ESoundSettings::s_szMusicVolume = "MusicVolume";
const char* const ESoundSettings::s_szVoiceVolume = "VoiceVolume";
const char* const ESoundSettings::s_szShowSubtitles = "ShowSubtitles";
const char* const ESoundSettings::s_szHardwareAccel = "HardwareAccel";
const char* const ESoundSettings::s_szUseEAX = "UseEAX";
const char* const ESoundSettings::s_szPacketSize = "PacketSize";
const char* const ESoundSettings::s_szMusicPacketSize = "MusicPacketSize";
const char* const ESoundSettings::s_szPreloadVoice = "PreloadVoice";

ESoundSettings::ESoundSettings(const char* szName) : EGameSettingsList(szName) {
  AddSetting(s_szMasterVolume, 1.0f);
  AddSetting(s_szFXVolume, 1.0f);
  AddSetting(s_szMusicVolume, 1.0f);
  AddSetting(s_szVoiceVolume, 1.0f);
  AddSetting(s_szShowSubtitles, false);
  AddSetting(s_szHardwareAccel, true);
  AddSetting(s_szUseEAX, false);
  AddSetting(s_szPacketSize, 250);
  AddSetting(s_szMusicPacketSize, 375);
  AddSetting(s_szPreloadVoice, true);
}

FILE* OpenUserSettingsFile(const char* szName, char separator, const char* szMode) {
  const char* dir = gFile->GetUserDataDir();
  if (!szName || !szMode || !dir) return nullptr;
  size_t n = strlen(dir) + 1 + strlen(szName) + 1;
  char* path = static_cast<char*>(malloc(n));
  if (!path) return nullptr;
  snprintf(path, n, "%s%c%s", dir, separator, szName);
  convertUnixFilename(path, path);
  FILE* f = fopen(path, szMode);
  free(path);
  return f;
}
