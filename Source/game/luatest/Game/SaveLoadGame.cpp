#include "Game/SaveLoadGame.h"

#include <cstdlib>
#include <cstring>

#include "TWUtil/EFileManager.h"
#include "TWUtil/TWUnixCompat.h"

#define PROFILE_SETTING_ACCESSORS(T)                                                         \
  bool EGameProfile::GetSetting(const char* szName, T& value, bool bAlt) const {             \
    return m_GlobalSettings.GetSettingValue(szName, value, bAlt) ||                           \
           m_BindingsSettings.GetSettingValue(szName, value, bAlt);                           \
  }                                                                                           \
  bool EGameProfile::SetSetting(const char* szName, T value, bool bAlt) {                     \
    return m_GlobalSettings.SetSettingValue(szName, value, bAlt) ||                           \
           m_BindingsSettings.SetSettingValue(szName, value, bAlt);                           \
  }                                                                                           \
  bool EGameProfile::GetSettingDefault(const char* szName, T& value, bool bAlt) const {      \
    return m_GlobalSettings.GetSettingDefault(szName, value, bAlt) ||                         \
           m_BindingsSettings.GetSettingDefault(szName, value, bAlt);                         \
  }                                                                                           \
  bool ELoadSaveGame::GetSetting(const char* szName, T& value, bool bAlt) {                   \
    EGameProfile* profile = GetCurrentProfile();                                              \
    return profile && profile->GetSetting(szName, value, bAlt);                               \
  }

PROFILE_SETTING_ACCESSORS(bool)
PROFILE_SETTING_ACCESSORS(int)
PROFILE_SETTING_ACCESSORS(float)
PROFILE_SETTING_ACCESSORS(PHYSICAL_INPUT)

char* EGameProfile::SettingsFilePath() const {
  const char* name = *m_sFilename;
  if (!name || !*name) return nullptr;
  // A record found on disk is named relative to the user data directory;
  // one written since carries its full path.
  const char* dir = name[0] == '/' ? nullptr : gFile->GetUserDataDir();
  size_t n = (dir ? strlen(dir) + 1 : 0) + strlen(name) + sizeof(".ini");
  char* path = static_cast<char*>(malloc(n));
  if (!path) return nullptr;
  if (dir) snprintf(path, n, "%s\\%s.ini", dir, name);
  else snprintf(path, n, "%s.ini", name);
  convertUnixFilename(path, path);
  return path;
}

void EGameProfile::WriteSettingsToFile() {
  char* path = SettingsFilePath();
  if (!path) return;
  if (FILE* f = fopen(path, "w")) {
    m_GlobalSettings.WriteSettingsToFile(f);
    m_BindingsSettings.WriteSettingsToFile(f);
    fclose(f);
  }
  free(path);
}

void EGameProfile::ReadSettingsFromFile() {
  char* path = SettingsFilePath();
  if (!path) return;
  if (FILE* f = fopen(path, "r")) {
    m_GlobalSettings.ReadSettingsFromFile(f);
    fseek(f, 0, SEEK_SET);
    m_BindingsSettings.ReadSettingsFromFile(f);
    fclose(f);
  }
  free(path);
}

EGameProfile* ELoadSaveGame::GetCurrentProfile() { return GetProfileFromIndex(m_iCurrentProfile); }

EGameProfile* ELoadSaveGame::GetProfileFromIndex(int index) {
  if (index < 0 || index >= kNUM_PROFILES) return nullptr;
  return &m_aProfiles[index];
}

void ELoadSaveGame::SaveLuaSaveableStateToString(EString& out) { out.Empty(); }

void ELoadSaveGame::writeFileSig(EArray<EString>* pLines, const char* szText, int iLength, int hSig) {
  if (!pLines || !szText || iLength <= 0) return;
  pLines->AddData(EString(szText, iLength));
  if (hSig == -1) return;
  int iSigLength = szText[iLength - 1] == '\n' ? iLength - 1 : iLength;
  CalculateSignatureUpdate(hSig, szText, iSigLength);
}

void ELoadSaveGame::CalculateSignatureUpdate(int, const char*, int) {}
