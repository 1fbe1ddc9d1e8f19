// Player profiles and the save manager that owns them.
#pragma once

#include <cstdio>

#include "Game/GameSettings.h"
#include "TWUtil/String.h"

// One player profile: its settings lists and the files they live in.
class EGameProfile {
public:
  EGameProfile() {}

  // The profile record's path, relative to the user data directory when it
  // was found on disk, or a full path once the record has been written.
  const char* GetProfileFilename() const { return *m_sFilename; }
  void SetProfileFilename(const char* szName) { m_sFilename = szName; }

  EGlobalSettings& GetGlobalSettings() { return m_GlobalSettings; }
  EBindingsSettings& GetBindingsSettings() { return m_BindingsSettings; }

  // The "Global" list is asked first, the "Input" list second.
  bool GetSetting(const char* szName, bool& bValue, bool bAlt = false) const;
  bool GetSetting(const char* szName, int& iValue, bool bAlt = false) const;
  bool GetSetting(const char* szName, float& fValue, bool bAlt = false) const;
  bool GetSetting(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false) const;
  bool SetSetting(const char* szName, bool bValue, bool bAlt = false);
  bool SetSetting(const char* szName, int iValue, bool bAlt = false);
  bool SetSetting(const char* szName, float fValue, bool bAlt = false);
  bool SetSetting(const char* szName, PHYSICAL_INPUT eValue, bool bAlt = false);
  bool GetSettingDefault(const char* szName, bool& bValue, bool bAlt = false) const;
  bool GetSettingDefault(const char* szName, int& iValue, bool bAlt = false) const;
  bool GetSettingDefault(const char* szName, float& fValue, bool bAlt = false) const;
  bool GetSettingDefault(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false) const;

  // The settings file is the record's name with ".ini" appended; it holds the
  // "Global" section and then the "Input" section. A missing file changes
  // nothing.
  void WriteSettingsToFile();
  void ReadSettingsFromFile();

private:
  // The settings file's full path in a buffer from malloc, or null.
  char* SettingsFilePath() const;

  EString m_sFilename;
  EGlobalSettings m_GlobalSettings;
  EBindingsSettings m_BindingsSettings;
};

// The save manager: profiles, the current profile, settings queries for it.
class ELoadSaveGame {
public:
  enum { kNUM_PROFILES = 3 };

  ELoadSaveGame() : m_iCurrentProfile(0) {}

  EGameProfile* GetCurrentProfile();
  EGameProfile* GetProfileFromIndex(int index);
  int GetCurrentProfileIndex() const { return m_iCurrentProfile; }

  // Forwarded to the current profile; false without one.
  bool GetSetting(const char* szName, bool& bValue, bool bAlt = false);
  bool GetSetting(const char* szName, int& iValue, bool bAlt = false);
  bool GetSetting(const char* szName, float& fValue, bool bAlt = false);
  bool GetSetting(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false);

  // The scripts' saveable state as one string; empty while no script host
  // runs.
  void SaveLuaSaveableStateToString(EString& out);

  // Appends the iLength bytes at szText (one line, its line feed included)
  // to pLines as one element, and when hSig is not -1 feeds the line without
  // its line feed to the signature update.
  static void writeFileSig(EArray<EString>* pLines, const char* szText, int iLength, int hSig);
  // Signature update: nothing is computed on this platform.
  static void CalculateSignatureUpdate(int hSig, const char* szText, int iLength);

private:
  EGameProfile m_aProfiles[kNUM_PROFILES];
  int m_iCurrentProfile;
};
