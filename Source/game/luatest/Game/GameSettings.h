// Named lists of typed player settings, read and written as sections of
// INI-style text files.
#pragma once

#include <cstdio>

#include "DirectX/SDLInput.h"
#include "TWUtil/Array.h"

enum EGameSettingValueType {
  kVALUETYPE_UNINITIALIZED = 0,
  kVALUETYPE_BOOL = 1,
  kVALUETYPE_INT = 2,
  kVALUETYPE_FLOAT = 3,
  kVALUETYPE_PHYSICALINPUT = 4,
};

// One setting. The name points at a static string and is not owned.
class EGameSetting {
public:
  EGameSetting(const char* szName, bool bValue, bool bAlt);
  EGameSetting(const char* szName, int iValue, bool bAlt);
  EGameSetting(const char* szName, float fValue, bool bAlt);
  EGameSetting(const char* szName, PHYSICAL_INPUT eValue, bool bAlt);

  void SetValue(bool bValue);
  void SetValue(int iValue);
  void SetValue(float fValue);
  void SetValue(PHYSICAL_INPUT eValue);
  void GetValue(bool& bValue) const;
  void GetValue(int& iValue) const;
  void GetValue(float& fValue) const;
  void GetValue(PHYSICAL_INPUT& eValue) const;
  void GetDefaultValue(bool& bValue) const;
  void GetDefaultValue(int& iValue) const;
  void GetDefaultValue(float& fValue) const;
  void GetDefaultValue(PHYSICAL_INPUT& eValue) const;

  const char* GetName() const;
  bool IsAlt() const;
  int GetValueType() const { return m_ValueType; }

  // The value's text form; unparsable text leaves the value as it was.
  void SetFromASCII(const char* szBuffer);
  void GetAsASCII(char* szBuffer, int iSize) const;

private:
  union Value {
    bool b;
    int32_t i;
    float f;
    PHYSICAL_INPUT input;
  };

  const char* m_szName;
  int m_ValueType;
  Value m_Default;
  Value m_Value;
  bool m_bAlt;
};

class EGameSettingsList {
public:
  explicit EGameSettingsList(const char* szName);
  virtual ~EGameSettingsList();
  EGameSettingsList(const EGameSettingsList&) = delete;
  EGameSettingsList& operator=(const EGameSettingsList&) = delete;

  const char* GetName() const { return m_szName; }
  int GetNumSettings() const { return m_aSettings.Num(); }
  EGameSetting* GetSetting(int i) const { return m_aSettings[i]; }

  void AddSetting(const char* szName, bool bDefault, bool bAlt = false);
  void AddSetting(const char* szName, int iDefault, bool bAlt = false);
  void AddSetting(const char* szName, float fDefault, bool bAlt = false);
  void AddSetting(const char* szName, PHYSICAL_INPUT eDefault, bool bAlt = false);

  // Names are compared without regard to case.
  EGameSetting* FindSetting(const char* szName, bool bAlt) const;

  bool GetSettingValue(const char* szName, bool& bValue, bool bAlt = false) const;
  bool GetSettingValue(const char* szName, int& iValue, bool bAlt = false) const;
  bool GetSettingValue(const char* szName, float& fValue, bool bAlt = false) const;
  bool GetSettingValue(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false) const;
  bool SetSettingValue(const char* szName, bool bValue, bool bAlt = false);
  bool SetSettingValue(const char* szName, int iValue, bool bAlt = false);
  bool SetSettingValue(const char* szName, float fValue, bool bAlt = false);
  bool SetSettingValue(const char* szName, PHYSICAL_INPUT eValue, bool bAlt = false);
  bool GetSettingDefault(const char* szName, bool& bValue, bool bAlt = false) const;
  bool GetSettingDefault(const char* szName, int& iValue, bool bAlt = false) const;
  bool GetSettingDefault(const char* szName, float& fValue, bool bAlt = false) const;
  bool GetSettingDefault(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false) const;

  // Reads "Key=value" lines from the current position to the end; sections
  // are not interpreted, so each list takes its own keys wherever they stand.
  void ReadSettingsFromFile(FILE* pFile);
  void WriteSettingsToFile(FILE* pFile) const;

private:
  EGameSetting* NewSetting(const char* szName, bool bAlt);
  EGameSetting* Lookup(const char* szName, bool bAlt) const;

  const char* m_szName;
  EArray<EGameSetting*> m_aSettings;
};

// Camera and mouse settings of a profile.
class EGlobalSettings : public EGameSettingsList {
public:
  explicit EGlobalSettings(const char* szName = "Global");
  ~EGlobalSettings() override {}

  static const char* const m_szCameraInvertAzimuth;
  static const char* const m_szCameraInvertAltitude;
  static const char* const m_szCameraInvertAltitudeFreelook;
  static const char* const m_szSmartCamera;
  static const char* const m_szCamAltitudeDeadzone;
  static const char* const m_szGlobalAllowRumblePack;
  static const char* const m_szShowGoalPopups;
  static const char* const m_szMouseSensitivity;
  static const char* const m_szDeadzone;
};

// Key bindings of a profile: the 21 primary bindings, then the 21 alternate
// ones, keyed by the action names.
class EBindingsSettings : public EGameSettingsList {
public:
  explicit EBindingsSettings(const char* szName = "Input");
  ~EBindingsSettings() override {}

  static const char* const s_aszActionKeys[kACTION_NUMACTIONS];
  static const PHYSICAL_INPUT s_aDefaultPrimary[kACTION_NUMACTIONS];
  static const PHYSICAL_INPUT s_aDefaultAlternate[kACTION_NUMACTIONS];
};

class EGraphicsSettings : public EGameSettingsList {
public:
  explicit EGraphicsSettings(const char* szName = "DisplaySettings");
  ~EGraphicsSettings() override {}

  static const char* const s_szScreenWidth;
  static const char* const s_szScreenHeight;
  static const char* const s_szFullScreen;
  static const char* const s_szVSync;
  static const char* const s_szFSAA;
  static const char* const s_szFSFX;
  static const char* const s_szAdvancedShading;
  static const char* const s_szShadows;
  static const char* const s_szGammaCorrection;
};

class ESoundSettings : public EGameSettingsList {
public:
  explicit ESoundSettings(const char* szName = "AudioSettings");
  ~ESoundSettings() override {}

  static const char* const s_szMasterVolume;
  static const char* const s_szFXVolume;
  static const char* const s_szMusicVolume;
  static const char* const s_szVoiceVolume;
  static const char* const s_szShowSubtitles;
  static const char* const s_szHardwareAccel;
  static const char* const s_szUseEAX;
  static const char* const s_szPacketSize;
  static const char* const s_szMusicPacketSize;
  static const char* const s_szPreloadVoice;
};

// The settings files in the user data directory: "DisplaySettings.ini" is
// named with a backslash after the directory, "AudioSettings.ini" with a
// slash; the name is repaired for this file system before it is opened.
// Null when the file cannot be opened.
FILE* OpenUserSettingsFile(const char* szName, char separator, const char* szMode);
