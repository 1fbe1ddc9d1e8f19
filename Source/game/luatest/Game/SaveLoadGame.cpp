// Profiles: the profile records in the "Profiles" folder, their discovery,
// creation, selection and deletion, and the settings of the current one.
#include "Game/SaveLoadGame.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Game/GameApp.h"
#include "Game/PCGameApp.h"
#include "TWUtil/EFile.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/Path.h"
#include "TWUtil/TWUnixCompat.h"

namespace {

// Characters that cannot stand in a file name on any of the game's
// platforms, and control characters.
bool IsUnsafeFileNameChar(unsigned char c) {
  return c < 0x20 || c == 0x7f || strchr("/\\:*?\"<>|", c) != nullptr;
}

}  // namespace

// ---- Options and the record ----

void EGameOptions::Reset() {
  memset(m_aOption, 0, sizeof(m_aOption));
  m_aOption[1] = 1;
  memset(m_aReserved5, 0, sizeof(m_aReserved5));
  m_fOption8 = m_fOption12 = m_fOption16 = 10.0f;
  m_uOption20 = 1;
  m_uOption21 = 0;
  memset(m_aReserved22, 0, sizeof(m_aReserved22));
  m_fOption24 = 10.0f;
}

void EGameOptions::Write(uint8_t* out) const {
  memcpy(out, m_aOption, 5);
  memcpy(out + 5, m_aReserved5, 3);
  PutLEFloat(out + 8, m_fOption8);
  PutLEFloat(out + 12, m_fOption12);
  PutLEFloat(out + 16, m_fOption16);
  out[20] = m_uOption20;
  out[21] = m_uOption21;
  memcpy(out + 22, m_aReserved22, 2);
  PutLEFloat(out + 24, m_fOption24);
}

void EGameOptions::Read(const uint8_t* in) {
  memcpy(m_aOption, in, 5);
  memcpy(m_aReserved5, in + 5, 3);
  m_fOption8 = GetLEFloat(in + 8);
  m_fOption12 = GetLEFloat(in + 12);
  m_fOption16 = GetLEFloat(in + 16);
  m_uOption20 = in[20];
  m_uOption21 = in[21];
  memcpy(m_aReserved22, in + 22, 2);
  m_fOption24 = GetLEFloat(in + 24);
}

EProfileRecord::EProfileRecord() : m_iLastSavedSlot(0) {
  memset(m_szName, 0, sizeof(m_szName));
  memset(m_aSlotUsed, 0, sizeof(m_aSlotUsed));
}

void EProfileRecord::Write(uint8_t* out) const {
  memset(out, 0, kSIZE);
  // A name of ten characters fills its field without a terminator.
  memcpy(out + 8, m_szName, kNAME_SIZE);
  PutLE32(out + 18, (uint32_t)m_iLastSavedSlot);
  m_Options.Write(out + 22);
  memcpy(out + 50, m_aSlotUsed, kNUM_SLOTS);
}

bool EProfileRecord::Read(const uint8_t* in, int size) {
  if (!in || size != kSIZE) return false;
  char name[kNAME_SIZE + 1];
  memcpy(name, in + 8, kNAME_SIZE);
  name[kNAME_SIZE] = '\0';
  if (!name[0]) return false;
  for (int i = 0; i < 8; ++i) {
    if (in[i] != 0) {
      g_ErrorManager.TraceMessagef(TT_General, "Profile Sig not matching");
      return false;
    }
  }
  // The whole field is kept, bytes after the name's end included, so the
  // record writes back as it was read.
  memcpy(m_szName, in + 8, kNAME_SIZE);
  m_szName[kNAME_SIZE] = '\0';
  m_iLastSavedSlot = (int32_t)GetLE32(in + 18);
  m_Options.Read(in + 22);
  memcpy(m_aSlotUsed, in + 50, kNUM_SLOTS);
  return true;
}

// ---- Writing files whole ----

bool ELoadSaveGame::CopyText(char* szOut, size_t size, const char* szText) {
  if (!szOut || !size) return false;
  if (!szText) szText = "";
  size_t n = strnlen(szText, size);
  bool fits = n < size;
  if (!fits) n = size - 1;
  memcpy(szOut, szText, n);
  szOut[n] = '\0';
  return fits;
}

const char* const ELoadSaveGame::kszTempFilePrefix = ".quillomar-new-";

bool ELoadSaveGame::WriteFileReplacing(const char* szPath, const void* pData, size_t size) {
  if (!szPath || !*szPath) return false;
  EString dir = Path::DirName(szPath);
  if (!dir.Length()) dir = ".";
  EString tmpl(EPrintfTag(), "%s/%sXXXXXX", *dir, kszTempFilePrefix);
  char* tmpPath = tmpl.GetCharArray().GetData();
  int fd = mkstemp(tmpPath);
  if (fd < 0) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Could not write %s: %s", szPath, strerror(errno));
    return false;
  }
  bool ok = true;
  const char* p = static_cast<const char*>(pData);
  size_t left = size;
  while (ok && left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else {
      p += n;
      left -= (size_t)n;
    }
  }
  int err = ok ? 0 : errno;
  if (ok && fsync(fd) != 0) ok = false, err = errno;
  if (close(fd) != 0 && ok) ok = false, err = errno;
  EString target(szPath);
  convertUnixFilename(target.GetCharArray().GetData(), szPath);
  if (ok && rename(tmpPath, *target) != 0) ok = false, err = errno;
  if (!ok) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Could not write %s: %s", szPath, err ? strerror(err) : "short write");
    unlink(tmpPath);
    return false;
  }
  // The new name must reach the disk too.
  int dfd = open(*dir, O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return true;
}

// ---- Profiles ----

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
  }                                                                                           \
  bool ELoadSaveGame::SetSetting(const char* szName, T value, bool bAlt) {                    \
    EGameProfile* profile = GetCurrentProfile();                                              \
    return profile && profile->SetSetting(szName, value, bAlt);                               \
  }                                                                                           \
  bool ELoadSaveGame::GetSettingDefault(const char* szName, T& value, bool bAlt) {            \
    EGameProfile* profile = GetCurrentProfile();                                              \
    return profile && profile->GetSettingDefault(szName, value, bAlt);                        \
  }

PROFILE_SETTING_ACCESSORS(bool)
PROFILE_SETTING_ACCESSORS(int)
PROFILE_SETTING_ACCESSORS(float)
PROFILE_SETTING_ACCESSORS(PHYSICAL_INPUT)

EGameProfile::EGameProfile() : m_bCreated(false) {
  m_szDirectory[0] = '\0';
  Reset();
}

void EGameProfile::Reset() {
  m_bCreated = false;
  m_sFilename.Empty();
  m_sDisplayName.Empty();
  m_bCorrupted = false;
  m_iLastSavedSlot = 0;
  m_iNumSavedGames = 0;
  m_Options.Reset();
  m_pLatestSave = nullptr;
  m_iRecordTime = 0;
  m_bNoSave = false;
  memset(m_aSlotUsed, 0, sizeof(m_aSlotUsed));
}

void EGameProfile::SetProfileAsCorrupted() {
  m_sDisplayName.Empty();
  m_bCorrupted = true;
  m_Options.Reset();
  m_bCreated = true;
}

void EGameProfile::SetProfileDirectory(const char* szDir) {
  // A folder cut short would be another folder: none is kept instead.
  if (!ELoadSaveGame::CopyText(m_szDirectory, sizeof(m_szDirectory), szDir)) {
    g_ErrorManager.TraceMessagef(TT_Warning, "Profile folder too long: %s", szDir);
    m_szDirectory[0] = '\0';
  }
}

void EGameProfile::UpdateOptionsToGame() {
  if (gGameApp) gGameApp->RefreshAllSettings();
}

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

bool EGameProfile::WriteSettingsToFile() {
  char* path = SettingsFilePath();
  if (!path) return false;
  bool ok = false;
  char* text = nullptr;
  size_t size = 0;
  if (FILE* f = open_memstream(&text, &size)) {
    m_GlobalSettings.WriteSettingsToFile(f);
    m_BindingsSettings.WriteSettingsToFile(f);
    if (fclose(f) == 0) ok = ELoadSaveGame::WriteFileReplacing(path, text, size);
  }
  free(text);
  free(path);
  return ok;
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

// ---- The save manager: profiles ----

ELoadSaveGame::ELoadSaveGame()
    : m_iCurrentProfile(0),
      m_bProfileExists(false),
      m_bContinueExists(false),
      m_iLastSavedGameIndex(0),
      m_pLastSavedGameInfo(nullptr),
      m_iTotalSavedGames(0),
      m_eLastProfileWrite(kPROFILEWRITE_Written),
      m_eLoadLocation(kFILELOC_UserData),
      m_bPendingLoad(false),
      m_pSaveBeingLoaded(nullptr),
      m_bMessagePending(false),
      m_iMessageKind(0),
      m_iMessageBoxId(-1),
      m_uBlocksNeeded(0) {
  m_szLoadPath[0] = '\0';
  m_szLevelToLoad[0] = '\0';
}

ELoadSaveGame::~ELoadSaveGame() { freeSavedTableList(); }

void ELoadSaveGame::Startup() {
  readSavedTableList();
  m_iCurrentProfile = 0;
}

void ELoadSaveGame::Shutdown() {
  m_aSavedGamesDirectory.Empty();
  freeSavedTableList();
}

EGameProfile* ELoadSaveGame::GetCurrentProfile() { return GetProfileFromIndex(m_iCurrentProfile); }

EGameProfile* ELoadSaveGame::GetProfileFromIndex(int index) {
  if (index < 0 || index >= kNUM_PROFILES) return nullptr;
  return &m_aProfiles[index];
}

ESavedGameInfo* ELoadSaveGame::GetLastSavedGameInfo() {
  m_iCurrentProfile = m_iLastSavedGameIndex;
  return m_pLastSavedGameInfo;
}

void ELoadSaveGame::SetCurrentProfile(int index) {
  EGameProfile* profile = GetProfileFromIndex(index);
  if (!profile) return;
  m_iCurrentProfile = index;
  // The profile screen's play-without-saving switch belongs to whichever
  // profile is current; without that screen the profile keeps its own.
  profile->UpdateOptionsToGame();
}

EString ELoadSaveGame::MakeProfileRecordName(int index, const char* szDisplayName) {
  // The record keeps ten characters of the name, so the file is named after
  // those: a name read back from the record then names the same file.
  char name[EProfileRecord::kNAME_SIZE + 1];
  snprintf(name, sizeof(name), "%s", szDisplayName ? szDisplayName : "");
  for (char* p = name; *p; ++p) {
    if (IsUnsafeFileNameChar((unsigned char)*p)) *p = '_';
  }
  return EString(EPrintfTag(), "%s %d- %s", kSZPROFILE, index + 1, name);
}

bool ELoadSaveGame::GetProfileOptionsFrFile(int index, EGameOptions* pOptions) {
  EGameProfile* profile = GetProfileFromIndex(index);
  if (!profile || !profile->GetProfileFilename()) return false;
  EFile* file = gFile->Open(profile->GetProfileFilename(), FILE_READ, kFILELOC_UserData);
  if (!file) return false;
  profile->m_iRecordTime = file->GetFiletime();
  profile->m_bCreated = true;
  EArray<unsigned char> bytes;
  int size = file->GetFilesize();
  // Only a record of the right size is read at all.
  if (size == EProfileRecord::kSIZE) file->ReadAndAlloc(bytes);
  file->Close();
  EProfileRecord record;
  if (!record.Read(bytes.GetData(), bytes.Num())) return false;

  profile->m_sDisplayName = record.m_szName;
  profile->m_bCreated = true;
  profile->m_iLastSavedSlot = record.m_iLastSavedSlot;
  profile->m_Options = record.m_Options;
  memcpy(profile->m_aSlotUsed, record.m_aSlotUsed, sizeof(profile->m_aSlotUsed));
  if (pOptions && pOptions != &profile->m_Options) *pOptions = record.m_Options;
  EString full(gFile->GetUserDataDir());
  const char* name = profile->GetProfileFilename();
  size_t dirLen = strlen(*full);
  // A full path inside the user data directory is taken as it is.
  if (!strncmp(name, *full, dirLen) && name[dirLen] == '/') full = name;
  else Path::Join(full, name);
  profile->SetProfileDirectory(*Path::DirName(*full));
  profile->ReadSettingsFromFile();
  return true;
}

bool ELoadSaveGame::WriteProfileOptionsToFile(int index, EGameOptions* pOptions) {
  EGameProfile* current = GetCurrentProfile();
  if (current && current->m_bNoSave) {
    m_eLastProfileWrite = kPROFILEWRITE_NoSave;
    return false;
  }
  EGameProfile* profile = GetProfileFromIndex(index);
  EASSERT(profile);
  if (profile->m_bCorrupted && !HasSpaceForProfile()) {
    m_eLastProfileWrite = kPROFILEWRITE_NoSpace;
    return false;
  }
  const char* displayName = profile->GetProfileDisplayName();
  if (!displayName || !*displayName) {
    m_eLastProfileWrite = kPROFILEWRITE_Failed;
    return false;
  }
  if (pOptions) profile->m_Options = *pOptions;

  EString recordName = MakeProfileRecordName(index, displayName);
  char folder[500];
  int missing = 0;
  if (!CreateSaveGameFile(*recordName, folder, (int)sizeof(folder), kPROFILE_SIZE, missing)) {
    m_eLastProfileWrite = missing > 0 ? kPROFILEWRITE_NoSpace : kPROFILEWRITE_Failed;
    return false;
  }
  const char* slash = strrchr(folder, '/');
  EString path(folder, slash ? (int)(slash - folder) + 1 : 0);
  path += *recordName;

  EProfileRecord record;
  strncpy(record.m_szName, displayName, EProfileRecord::kNAME_SIZE);
  record.m_iLastSavedSlot = profile->m_iLastSavedSlot;
  record.m_Options = profile->m_Options;
  memcpy(record.m_aSlotUsed, profile->m_aSlotUsed, sizeof(record.m_aSlotUsed));
  uint8_t bytes[EProfileRecord::kSIZE];
  record.Write(bytes);
  int hSig = CalculateSignatureBegin();
  CalculateSignatureUpdate(hSig, reinterpret_cast<const char*>(bytes) + 8, EProfileRecord::kSIZE - 8);
  CalculateSignatureEnd(hSig);
  if (!WriteFileReplacing(*path, bytes, sizeof(bytes))) {
    // An empty file made above to find the folder is no record.
    struct stat st;
    if (stat(*path, &st) == 0 && st.st_size == 0) unlink(*path);
    m_eLastProfileWrite = kPROFILEWRITE_Failed;
    return false;
  }
  EString dir(*path, (int)(strrchr(*path, '/') - *path));
  profile->SetProfileDirectory(*dir);
  profile->m_sFilename = path;
  profile->m_bCreated = true;
  if (!profile->WriteSettingsToFile()) {
    m_eLastProfileWrite = kPROFILEWRITE_Failed;
    return false;
  }
  m_eLastProfileWrite = kPROFILEWRITE_Written;
  return true;
}

void ELoadSaveGame::initProfileInfo(bool bCheck) {
  m_bProfileExists = false;
  m_bContinueExists = false;
  m_iTotalSavedGames = 0;
  m_aSavedGamesDirectory.Empty();
  if (gGameApp) gGameApp->GetSavedGamesDirectory(m_aSavedGamesDirectory);
  for (int j = 0; j < kNUM_PROFILES; ++j) m_aProfiles[j].Reset();

  int64_t bestTime = 0;
  for (int j = 0; j < kNUM_PROFILES; ++j) {
    EGameProfile& profile = m_aProfiles[j];
    char prefix[32];
    snprintf(prefix, sizeof(prefix), "%s %d-", kSZPROFILE, j + 1);
    size_t prefixLen = strlen(prefix);
    for (int e = 0; e < m_aSavedGamesDirectory.Num(); ++e) {
      if (profile.m_bCreated && !profile.m_bCorrupted) continue;
      const char* entry = *m_aSavedGamesDirectory[e];
      if (!entry) continue;
      bool match = false;
      for (const char* p = entry; *p && !match; ++p) match = !strncasecmp(p, prefix, prefixLen);
      if (!match) continue;

      profile.m_sFilename = entry;
      const char* base = strrchr(entry, '/');
      const char* dash = strchr(base ? base : entry, '-');
      if (!dash) {
        profile.SetProfileAsCorrupted();
        continue;
      }
      profile.m_sDisplayName = strlen(dash) >= 2 ? dash + 2 : "";
      profile.m_iNumSavedGames = 0;
      if (!GetProfileOptionsFrFile(j, &profile.m_Options)) {
        profile.Reset();
        continue;
      }
      updateSaveGamesForProfile(&profile);
      ESavedGameInfo* latest = profile.m_pLatestSave;
      if (latest && profile.m_bCreated && !profile.m_bCorrupted && profile.m_iRecordTime > bestTime) {
        bool qualifies = true;
        if (bCheck) {
          m_eLoadLocation = kFILELOC_AsGiven;
          qualifies = CopyText(m_szLoadPath, sizeof(m_szLoadPath), latest->m_szPath) && LoadTableToGame(false);
        }
        if (qualifies) {
          bestTime = profile.m_iRecordTime;
          m_iLastSavedGameIndex = j;
          m_pLastSavedGameInfo = latest;
          m_bContinueExists = true;
        }
      }
      if (profile.m_bCreated) m_bProfileExists = true;
    }
  }

  if (!m_bContinueExists) {
    m_pLastSavedGameInfo = nullptr;
    for (int j = kNUM_PROFILES - 1; j >= 0; --j) {
      if (m_aProfiles[j].m_bCreated && !m_aProfiles[j].m_bCorrupted) {
        m_iLastSavedGameIndex = j;
        break;
      }
    }
  }

  int current = 0;
  int64_t newest = 0;
  bool any = false;
  for (int j = 0; j < kNUM_PROFILES; ++j) {
    if (!m_aProfiles[j].m_bCreated) continue;
    if (!any || m_aProfiles[j].m_iRecordTime > newest) {
      current = j;
      newest = m_aProfiles[j].m_iRecordTime;
      any = true;
    }
  }
  SetCurrentProfile(current);
}

bool ELoadSaveGame::CreateCurrentProfile(int index, const char* szDisplayName) {
  if (index >= kNUM_PROFILES || index < 0) {
    g_ErrorManager.TraceMessagef(TT_General, "Profile index is greater than the max");
    return false;
  }
  if (m_aProfiles[index].m_bCreated) DeleteProfile(index);
  m_iCurrentProfile = index;
  EGameProfile& profile = m_aProfiles[index];
  profile.m_sDisplayName = szDisplayName ? szDisplayName : "";
  for (int s = 0; s < kNUM_SLOTS; ++s) profile.m_aSlots[s].m_szDescription[0] = '\0';
  if (HasSpaceToCreateProfile()) {
    if (WriteCurrentProfileOptionsToFile(nullptr)) {
      if (!(gGameApp && gGameApp->GetPrefs().m_bOxmBuild)) PreallocateSaveGames(index, profile.GetProfileFilename());
    }
    initProfileInfo(false);
  }
  profile.UpdateOptionsToGame();
  return true;
}

void ELoadSaveGame::DeleteProfile(int index) {
  EGameProfile* profile = GetProfileFromIndex(index);
  if (!profile) return;
  const char* name = profile->GetProfileFilename();
  if (name && *name) {
    // Only the profile's own files go: its record, its settings and its save
    // slots, and what an interrupted write of them left behind.
    EString record(gFile->GetUserDataDir());
    size_t dirLen = strlen(*record);
    if (!strncmp(name, *record, dirLen) && name[dirLen] == '/') record = name;
    else Path::Join(record, name);
    convertUnixFilename(record.GetCharArray().GetData(), *record);
    EString dir = Path::DirName(*record);
    unlink(*record);
    unlink(*EString(EPrintfTag(), "%s.ini", *record));
    for (int s = 0; s < kNUM_SLOTS; ++s) unlink(*EString(EPrintfTag(), "%s/SavedGame%d", *dir, s));
    EArray<EString> files;
    EWin32File::GetDirectory(*dir, "*", files);
    for (int i = 0; i < files.Num(); ++i) {
      if (!strncmp(*files[i], kszTempFilePrefix, strlen(kszTempFilePrefix)))
        unlink(*EString(EPrintfTag(), "%s/%s", *dir, *files[i]));
    }
  }
  profile->Reset();
  initProfileInfo(false);
}

void ELoadSaveGame::InitDebugProfile() {
  if (gGameApp && gGameApp->GetPrefs().m_bMainMenu) return;
  initProfileInfo(false);
  if (!m_bProfileExists) CreateCurrentProfile(2, "Debug");
  SetCurrentProfile(m_iLastSavedGameIndex);
}

void ELoadSaveGame::InitDemoProfile() {
  initProfileInfo(false);
  if (!m_bProfileExists) CreateCurrentProfile(0, "Zol");
  SetCurrentProfile(m_iLastSavedGameIndex);
}

void ELoadSaveGame::writeFileSig(EArray<EString>* pLines, const char* szText, int iLength, int hSig) {
  if (!pLines || !szText || iLength <= 0) return;
  pLines->AddData(EString(szText, iLength));
  if (hSig == -1) return;
  int iSigLength = szText[iLength - 1] == '\n' ? iLength - 1 : iLength;
  CalculateSignatureUpdate(hSig, szText, iSigLength);
}

void ELoadSaveGame::CalculateSignatureUpdate(int, const char*, int) {}
