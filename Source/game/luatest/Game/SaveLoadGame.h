// Player profiles and the save manager that owns them: the profile records,
// the save slots and the save-game files.
#pragma once

#include <cstdint>
#include <cstdio>

#include "Game/GameSettings.h"
#include "TWUtil/Array.h"
#include "TWUtil/List.h"
#include "TWUtil/String.h"

// The name part of a profile record's file name.
#define kSZPROFILE "Profile"

// Options kept in the profile record (28 bytes on disk, little-endian).
struct EGameOptions {
  enum { kSIZE = 28 };

  EGameOptions() { Reset(); }
  void Reset();
  // The 28 bytes of the record; the reserved bytes are kept as read.
  void Write(uint8_t* out) const;
  void Read(const uint8_t* in);

  uint8_t m_aOption[5];    // offsets 0..4
  uint8_t m_aReserved5[3];
  float m_fOption8;
  float m_fOption12;
  float m_fOption16;
  uint8_t m_uOption20;
  uint8_t m_uOption21;     // the only value read: hidden code 8 tests and sets it
  uint8_t m_aReserved22[2];
  float m_fOption24;
};

// One save slot of a profile.
struct ESavedGameInfo {
  ESavedGameInfo() : m_bUsed(false) {
    m_szPath[0] = '\0';
    m_szDescription[0] = '\0';
  }
  // Clears used and the description.
  void Reset() {
    m_bUsed = false;
    m_szDescription[0] = '\0';
  }

  bool m_bUsed;
  char m_szPath[500];
  char m_szDescription[255];  // empty: the slot shows nothing
};

// The profile record (57 bytes): an 8-byte signature area that is always
// zero, the 10-byte display name, the last saved slot, the options and one
// used byte per save slot.
struct EProfileRecord {
  enum { kSIZE = 57, kNAME_SIZE = 10, kNUM_SLOTS = 7 };

  EProfileRecord();
  // Fills out with the 57 bytes of the record.
  void Write(uint8_t* out) const;
  // False (and the record unchanged) unless size is exactly 57, the
  // signature area is zero and the name is not empty.
  bool Read(const uint8_t* in, int size);

  // The name field; the bytes after the name's terminator are kept as read
  // (zero in records this game writes).
  char m_szName[kNAME_SIZE + 1];
  int32_t m_iLastSavedSlot;
  EGameOptions m_Options;
  uint8_t m_aSlotUsed[kNUM_SLOTS];
};

// What the last attempt to write a profile record did.
enum EProfileWriteResult {
  kPROFILEWRITE_Written = 0,
  kPROFILEWRITE_NoSave = 1,     // the play-without-saving switch is on
  kPROFILEWRITE_NoSpace = 2,    // too little disk space
  kPROFILEWRITE_Failed = 3,     // no name, or the file could not be written
};

// One player profile: its record, its save slots and its settings lists.
class EGameProfile {
public:
  enum { kNUM_SLOTS = EProfileRecord::kNUM_SLOTS };

  EGameProfile();

  // Not created, no names, options at their defaults, no slots in use (the
  // slot records and the settings lists keep their contents).
  void Reset();
  // A folder entry without a display name.
  void SetProfileAsCorrupted();

  // The profile record's path, relative to the user data directory when it
  // was found on disk, or a full path once the record has been written.
  const char* GetProfileFilename() const { return *m_sFilename; }
  void SetProfileFilename(const char* szName) { m_sFilename = szName; }
  const char* GetProfileDisplayName() const { return *m_sDisplayName; }
  void SetProfileDisplayName(const char* szName) { m_sDisplayName = szName; }
  const char* GetProfileDirectory() const { return m_szDirectory; }
  void SetProfileDirectory(const char* szDir);
  bool IsProfileCreated() const { return m_bCreated; }
  void SetProfileCreated(bool bCreated) { m_bCreated = bCreated; }
  bool IsCorrupted() const { return m_bCorrupted; }
  bool GetNoSave() const { return m_bNoSave; }
  void SetNoSave(bool bNoSave) { m_bNoSave = bNoSave; }

  int GetNumSavedGames() const { return m_iNumSavedGames; }
  ESavedGameInfo* GetSavedGameInfo(int slot) { return slot >= 0 && slot < kNUM_SLOTS ? &m_aSlots[slot] : nullptr; }
  ESavedGameInfo* GetLatestSaveGameInfo() const { return m_pLatestSave; }
  EGameOptions& GetOptions() { return m_Options; }
  int64_t GetRecordTime() const { return m_iRecordTime; }

  // Applies the current settings to the game.
  void UpdateOptionsToGame();

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
  // nothing. Writing replaces the file only once the new one is complete;
  // false when nothing was written.
  bool WriteSettingsToFile();
  void ReadSettingsFromFile();

private:
  friend class ELoadSaveGame;

  // The settings file's full path in a buffer from malloc, or null.
  char* SettingsFilePath() const;

  int32_t m_iLastSavedSlot;
  int m_iNumSavedGames;
  bool m_bCorrupted;
  EGameOptions m_Options;
  uint8_t m_aSlotUsed[kNUM_SLOTS];
  char m_szDirectory[500];
  ESavedGameInfo* m_pLatestSave;
  int64_t m_iRecordTime;
  bool m_bNoSave;
  ESavedGameInfo m_aSlots[kNUM_SLOTS];
  EString m_sFilename;
  EString m_sDisplayName;
  bool m_bCreated;
  EGlobalSettings m_GlobalSettings;
  EBindingsSettings m_BindingsSettings;
};

// The save manager: profiles, the current profile, settings queries for it,
// and the save games of its slots.
class ELoadSaveGame {
public:
  enum {
    kNUM_PROFILES = 3,
    kNUM_SLOTS = EGameProfile::kNUM_SLOTS,
    kPROFILE_SIZE = 8 + 10 + 4 + 28 + 8192,
    kSAVE_FILE_SIZE = 61440,
    kBLOCK_SIZE = 4096,
    kMAX_LINE_COUNTED = 499,
  };
  // Kinds of the pending message.
  enum { kMSG_LoadFailed = 0, kMSG_DiskSpace = 2 };
  // Message-box answers acted on by Frame.
  enum { kMSGBOX_Unanswered = 7 };

  ELoadSaveGame();
  ~ELoadSaveGame();
  ELoadSaveGame(const ELoadSaveGame&) = delete;
  ELoadSaveGame& operator=(const ELoadSaveGame&) = delete;

  // Reads the saved-table list; the current profile is profile 0.
  void Startup();
  // Empties the saved-games directory and frees the saved-table list.
  void Shutdown();

  // ---- Profiles ----
  EGameProfile* GetCurrentProfile();
  EGameProfile* GetProfileFromIndex(int index);
  int GetCurrentProfileIndex() const { return m_iCurrentProfile; }
  void SetCurrentProfile(int index);

  void InitDebugProfile();
  void InitDemoProfile();
  // Rediscovers all profiles from disk; with bCheck the newest save must
  // pass a check to count as the one to continue.
  void RefreshProfileInfo(bool bCheck) { initProfileInfo(bCheck); }
  bool CreateCurrentProfile(int index, const char* szDisplayName);
  // Deletes the profile's own files (record, settings, save slots).
  void DeleteProfile(int index);

  // True when the record was written; GetLastProfileWrite says what
  // happened otherwise.
  bool WriteProfileOptionsToFile(int index, EGameOptions* pOptions);
  bool WriteCurrentProfileOptionsToFile(EGameOptions* pOptions) {
    return WriteProfileOptionsToFile(m_iCurrentProfile, pOptions);
  }
  EProfileWriteResult GetLastProfileWrite() const { return m_eLastProfileWrite; }
  bool GetProfileOptionsFrFile(int index, EGameOptions* pOptions);

  // The record's file name for a display name: "Profile N- name" with the
  // name cut to what the record keeps and every character that cannot
  // stand in a file name replaced.
  static EString MakeProfileRecordName(int index, const char* szDisplayName);

  bool ProfileExists() const { return m_bProfileExists; }
  bool ContinueExists() const { return m_bContinueExists; }
  int GetLastSavedGameIndex() const { return m_iLastSavedGameIndex; }
  // Also makes that profile the current index (its options not applied).
  ESavedGameInfo* GetLastSavedGameInfo();
  int GetNumSavedGames() const { return m_iTotalSavedGames; }
  int GetMaxNumSavedGames() const { return kNUM_SLOTS; }

  // Forwarded to the current profile; false without one.
  bool GetSetting(const char* szName, bool& bValue, bool bAlt = false);
  bool GetSetting(const char* szName, int& iValue, bool bAlt = false);
  bool GetSetting(const char* szName, float& fValue, bool bAlt = false);
  bool GetSetting(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false);
  bool SetSetting(const char* szName, bool bValue, bool bAlt = false);
  bool SetSetting(const char* szName, int iValue, bool bAlt = false);
  bool SetSetting(const char* szName, float fValue, bool bAlt = false);
  bool SetSetting(const char* szName, PHYSICAL_INPUT eValue, bool bAlt = false);
  bool GetSettingDefault(const char* szName, bool& bValue, bool bAlt = false);
  bool GetSettingDefault(const char* szName, int& iValue, bool bAlt = false);
  bool GetSettingDefault(const char* szName, float& fValue, bool bAlt = false);
  bool GetSettingDefault(const char* szName, PHYSICAL_INPUT& eValue, bool bAlt = false);

  // ---- Save games ----
  // Builds the save; with bWrite writes it to the slot. The size estimate,
  // or 0 when nothing may be saved here or the file could not be written.
  int Save(const char* szName, int slot, bool bWrite);
  int GetCurSaveSize() { return Save("Autosave", 0, false); }
  bool Load(ESavedGameInfo* pInfo);
  bool LoadTableToGame(bool bApply);
  // The same over the bytes of a save file.
  bool LoadTableFromBytes(const void* pData, int size, bool bApply);
  bool AttractModeLoadTable(const char* szPath);
  bool IsLoadPending() const { return m_bPendingLoad; }
  void ClearPendingLoad() { m_bPendingLoad = false; }
  const char* GetLevelToLoad() const { return m_szLevelToLoad; }

  bool DeleteSavedGame(ESavedGameInfo* pInfo);
  bool DeleteCurrentProfileAutosave();
  void RefreshSaveGameSlot(int slot, const char* szDescription);
  void updateSaveGamesForProfile(EGameProfile* pProfile);
  int GetCurrentProfileSlotFilesize(int slot);
  ESavedGameInfo* GetCurrentProfileGameInfo(int slot);
  bool createPreallocationFile(const char* szPath);
  void PreallocateSaveGames(int index, const char* szRecordPath);

  // ---- Disk space, in blocks of 4096 bytes ----
  static unsigned ConvertBytesToBlocks(unsigned bytes) { return bytes / kBLOCK_SIZE + (bytes % kBLOCK_SIZE ? 1 : 0); }
  static unsigned ConvertBlocksToBytes(unsigned blocks) { return blocks * (unsigned)kBLOCK_SIZE; }
  static unsigned GetTotalProfileBlocks() { return ConvertBytesToBlocks(kPROFILE_SIZE) + 105; }
  unsigned GetAvailableBlocks();
  bool CheckForDiskFreeSpace(unsigned bytes, int* pShortfall);
  bool CanSaveGame(const char* szName, int slotFileSize, bool bShowError);
  bool CanSaveGameInSlot(int slot, const char* szName, bool bShowError);
  bool HasSpaceForSaveGame(unsigned* pSize);
  bool HasSpaceToCreateProfile();
  bool HasSpaceForProfile();
  void ShowHardDriveErrorSaveGame(unsigned bytes);
  void ShowHardDriveErrorProfile(void (*pfnCallback)(int));
  void ResetSaveGameBlocksNeeded() { m_uBlocksNeeded = 0; }
  bool CreateSaveGameFile(const char* szRecordName, char* szFolder, int folderSize, int bytesNeeded,
                          int& bytesMissing);

  // Acts on the answer of the message the manager shows.
  void Frame();
  bool IsMessagePending() const { return m_bMessagePending; }
  int GetPendingMessageKind() const { return m_iMessageKind; }

  // ---- The scripts' saved tables ----
  const EList<char*>& GetSavedTableList() const { return m_SavedTables; }
  void SaveLuaSaveableStateToString(EString& out);
  void LoadLuaSaveableStateFromString(EString& text);
  void ClearSavedTable() { clearSavedTable(); }

  // Signature hooks: no signature is computed on this platform.
  static int CalculateSignatureBegin() { return 0; }
  static void CalculateSignatureEnd(int) {}

  // Appends the iLength bytes at szText (one line, its line feed included)
  // to pLines as one element, and when hSig is not -1 feeds the line without
  // its line feed to the signature update.
  static void writeFileSig(EArray<EString>* pLines, const char* szText, int iLength, int hSig);
  // Signature update: nothing is computed on this platform.
  static void CalculateSignatureUpdate(int hSig, const char* szText, int iLength);

  // Reads the script-table lines of text (cut into lines in place) from
  // *pCursor; with bApply sets the values under the "Global" script object.
  // Stops at the padding line. Lines for paths outside the saved tables are
  // skipped.
  void LoadLuaSaveableState(char** pCursor, int hSig, bool bApply);
  // True when the path is one of the saved tables or lies inside one.
  bool IsSavedTablePath(const char* szPath) const;
  // The value of a state line: true and the number when the whole text is
  // a number, false when the value is a string.
  static bool ParseSavedNumber(const char* szText, float& fValue);
  // The text-line reader of the save files: skips line breaks, null at the
  // end of the text, else the line (terminated in place).
  static char* ReadTextLine(char** pCursor);

  // Writes the bytes to a new file in path's folder, flushes it to the disk
  // and renames it over path, so path holds either its old or its new
  // contents whatever happens. False (path untouched) when any step fails.
  static bool WriteFileReplacing(const char* szPath, const void* pData, size_t size);
  // Temporary files of WriteFileReplacing begin with this name.
  static const char* const kszTempFilePrefix;

  // Copies text into the buffer of the size; false when it was cut.
  static bool CopyText(char* szOut, size_t size, const char* szText);

private:
  void initProfileInfo(bool bCheck);
  void readSavedTableList();
  void freeSavedTableList();
  void clearSavedTable();
  void clearStatePriorToLoad();
  bool getFriendlyNameFromFile(const char* szPath, char* szOut, int size);
  void showLoadFailedMessage();

  EGameProfile m_aProfiles[kNUM_PROFILES];
  int m_iCurrentProfile;
  EArray<EString> m_aSavedGamesDirectory;
  bool m_bProfileExists;
  bool m_bContinueExists;
  int m_iLastSavedGameIndex;
  ESavedGameInfo* m_pLastSavedGameInfo;
  int m_iTotalSavedGames;
  EProfileWriteResult m_eLastProfileWrite;

  EList<char*> m_SavedTables;
  // A full path: the profile folder can be as long as a slot's path.
  char m_szLoadPath[500];
  int m_eLoadLocation;
  char m_szLevelToLoad[255];
  bool m_bPendingLoad;
  ESavedGameInfo* m_pSaveBeingLoaded;

  bool m_bMessagePending;
  int m_iMessageKind;
  int m_iMessageBoxId;
  unsigned m_uBlocksNeeded;
};
