// Save games: the slot files of the current profile, their text form, the
// scripts' saved tables, preallocation, disk space and the messages shown
// about them.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <unistd.h>

#include "Game/BubbleControlHandler.h"
#include "Game/GameApp.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptStateText.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/TWUnixCompat.h"
#include "VERirezo/Entity.h"

#define kcSAVEGAME_TOKEN "|"

namespace {

const char* const kDefaultSavedTables[] = {"player.stats", "saved"};
const int kPADDING_START = 2;
const int kPADDING_FILL = 1;
const int kSLOT_FILE_BLOCKS = 15;
const int kPROFILE_RECORD_RESERVE = 8192;
// The save's size estimate adds the signature area and this much to the
// length of its lines.
const int kSAVE_SIZE_EXTRA = 8 + 8192;


// The running host: the application's own in the game.
EScriptVM* ScriptHost() {
  EScriptVM* vm = EScriptVM::m_spScriptVM;
  if ((!vm || !vm->IsInitialised()) && gGameApp) vm = gGameApp->GetScriptVM();
  return vm && vm->IsInitialised() ? vm : nullptr;
}

EScriptObject* GlobalScript() {
  EScriptVM* vm = ScriptHost();
  return vm ? vm->FindScriptByName("Global") : nullptr;
}

EScriptObject* PlayerScript() {
  EEntity* player = gGameApp ? gGameApp->GetPlayer() : nullptr;
  return player ? player->GetScriptObject() : nullptr;
}

// The text of a line code; the code itself while no string table answers.
const char* LocalText(const char* szCode) {
  const char* text = gGameApp ? gGameApp->LookupLocalizedString(szCode) : nullptr;
  return text ? text : szCode;
}

void SendSaving() {
  if (EScriptObject* player = PlayerScript()) player->SendMessagef("Saving", nullptr, 1, nullptr);
}

EScrapBookSheet* ScrapbookSheet() {
  EUIMenu* menu = gGameApp ? gGameApp->GetUIMenu() : nullptr;
  return menu ? menu->GetInGameMenu()->GetScrapbookSheet() : nullptr;
}

// A line of the save: the text with its line feed, and the length it
// counts towards the file size.
void AddLine(EArray<EString>& lines, const EString& text, int hSig, int& total) {
  EString line(text);
  line += "\n";
  ELoadSaveGame::writeFileSig(&lines, *line, line.Length(), hSig);
  int n = line.Length();
  total += n < ELoadSaveGame::kMAX_LINE_COUNTED ? n : ELoadSaveGame::kMAX_LINE_COUNTED;
}

void AppendField(EString& line, const char* szText) {
  line += kcSAVEGAME_TOKEN;
  ScriptStateText_AppendEscaped(line, szText ? szText : "", kcSAVEGAME_TOKEN);
}

// Splits the line at every separator, keeping empty fields; at most
// maxFields are taken, each unescaped.
int SplitFields(const char* szLine, EString* aFields, int maxFields) {
  int n = 0;
  const char* p = szLine;
  while (n < maxFields) {
    const char* sep = strstr(p, kcSAVEGAME_TOKEN);
    int len = sep ? (int)(sep - p) : (int)strlen(p);
    aFields[n].Empty();
    ScriptStateText_AppendUnescaped(aFields[n], p, len, kcSAVEGAME_TOKEN);
    ++n;
    if (!sep) break;
    p = sep + 1;
  }
  return n;
}

const char* Text(const EString& s) { return *s ? *s : ""; }

int FileSize(const char* szPath, EFileLoc loc) {
  EFile* file = gFile->Open(szPath, FILE_READ, loc);
  if (!file) return -1;
  int size = file->GetFilesize();
  file->Close();
  return size;
}

}  // namespace

// ---- The saved-table list ----

void ELoadSaveGame::readSavedTableList() {
  freeSavedTableList();
  EFile* file = gFile->Open("SavedGames\\savegameprefs.ini", FILE_READ, kFILELOC_Default);
  if (file) {
    EArray<unsigned char> bytes;
    file->ReadAndAlloc(bytes);
    file->Close();
    bytes.AddData(0);
    char* cursor = reinterpret_cast<char*>(bytes.GetData());
    while (char* line = ReadTextLine(&cursor)) {
      // Blanks around a path are not part of it.
      while (*line == ' ' || *line == '\t') ++line;
      size_t n = strlen(line);
      while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t')) line[--n] = '\0';
      if (!n || !strncmp(line, "--", 2)) continue;
      m_SavedTables.AddTail(strdup(line));
    }
    return;
  }
  for (const char* path : kDefaultSavedTables) m_SavedTables.AddTail(strdup(path));
}

void ELoadSaveGame::freeSavedTableList() {
  while (!m_SavedTables.IsEmpty()) free(m_SavedTables.RemoveHead());
}

void ELoadSaveGame::clearSavedTable() {
  EScriptVM* vm = ScriptHost();
  EScriptObject* global = GlobalScript();
  if (!vm || !global) return;
  for (POSITION pos = m_SavedTables.GetHeadPosition(); pos;) {
    const char* path = m_SavedTables.GetNext(pos);
    EString chunk(EPrintfTag(), "self.%s = { } ", path);
    vm->RunLuaCommands(*chunk, global, nullptr, 0);
  }
  vm->RunLuaCommands("self.player.saved = self.saved", global, nullptr, 0);
}

void ELoadSaveGame::clearStatePriorToLoad() {
  EUIMenu* menu = gGameApp ? gGameApp->GetUIMenu() : nullptr;
  if (menu) menu->GetInGameMenu()->JournalClearAllGoals();
  clearSavedTable();
}

// ---- The text of a save ----

char* ELoadSaveGame::ReadTextLine(char** pCursor) {
  char* p = *pCursor;
  if (!p) return nullptr;
  while (*p == '\n' || *p == '\r') ++p;
  if (!*p) {
    *pCursor = p;
    return nullptr;
  }
  char* line = p;
  while (*p && *p != '\n' && *p != '\r') ++p;
  if (*p) *p++ = '\0';
  *pCursor = p;
  return line;
}

bool ELoadSaveGame::ParseSavedNumber(const char* szText, float& fValue) {
  if (!szText || !*szText) return false;
  const char* p = szText;
  if (*p == '+' || *p == '-') ++p;
  // Only decimal text is a number: leading blanks, hexadecimal text and
  // words such as "nan" or "Infinity" are strings that only look like
  // numbers to strtod.
  bool bDecimal = isdigit((unsigned char)p[0]) || (p[0] == '.' && isdigit((unsigned char)p[1]));
  if (!bDecimal || (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) return false;
  errno = 0;
  char* end = nullptr;
  double d = strtod(szText, &end);
  if (end == szText || *end != '\0') return false;
  fValue = (float)d;
  return true;
}

void ELoadSaveGame::LoadLuaSaveableState(char** pCursor, int hSig, bool bApply) {
  EScriptVM* vm = bApply ? ScriptHost() : nullptr;
  EScriptObject* global = bApply ? GlobalScript() : nullptr;
  if (bApply && (!vm || !global)) {
    g_ErrorManager.TraceMessagef(TT_Script, "No script object 'Global' to load the saved tables into");
    bApply = false;
  }
  while (char* line = ReadTextLine(pCursor)) {
    int length = (int)strlen(line);
    if (hSig != -1) CalculateSignatureUpdate(hSig, line, length);
    if ((unsigned char)line[0] == kPADDING_START) break;
    if (!bApply) continue;

    const char* sep = strstr(line, kcSAVEGAME_TOKEN);
    int pathLen = sep ? (int)(sep - line) : length;
    if (pathLen == 0) break;
    EString path, value;
    ScriptStateText_AppendUnescaped(path, line, pathLen, kcSAVEGAME_TOKEN);
    if (sep) ScriptStateText_AppendUnescaped(value, sep + 1, (int)strlen(sep + 1), kcSAVEGAME_TOKEN);
    const char* p = Text(path);
    const char* v = Text(value);

    if (!strcmp(p, "Table")) {
      if (*v && IsSavedTablePath(v)) vm->CheckOrCreateTable(global, v);
      continue;
    }
    // A hand-edited line cannot reach the rest of the script's table.
    if (!IsSavedTablePath(p)) {
      g_ErrorManager.TraceMessagef(TT_Script, "Saved value outside the saved tables ignored: %s", p);
      continue;
    }
    float number = 0.0f;
    bool isNumber = ParseSavedNumber(v, number);
    if (const char* dot = strrchr(p, '.')) {
      EString parent(p, (int)(dot - p));
      vm->CheckOrCreateTable(global, *parent);
    }
    if (const char* bracket = strchr(p, '[')) {
      // "table.[index]": an element of the array at table.
      int index = atoi(bracket + 1);
      const char* cut = bracket;
      if (cut > p && cut[-1] == '.') --cut;
      EString table(p, (int)(cut - p));
      if (isNumber) vm->SetScriptTableArrayValue(global, *table, index, number);
      else vm->SetScriptTableArrayValue(global, *table, index, v);
    } else if (isNumber) {
      global->SetTableValue(p, number);
    } else {
      global->SetTableValue(p, v);
    }
  }
}

bool ELoadSaveGame::IsSavedTablePath(const char* szPath) const {
  if (!szPath) return false;
  for (POSITION pos = m_SavedTables.GetHeadPosition(); pos;) {
    const char* table = m_SavedTables.GetNext(pos);
    size_t n = strlen(table);
    if (!strncmp(szPath, table, n) && (szPath[n] == '\0' || szPath[n] == '.')) return true;
  }
  return false;
}

void ELoadSaveGame::SaveLuaSaveableStateToString(EString& out) {
  out.Empty();
  EScriptVM* vm = ScriptHost();
  if (!vm || !GlobalScript()) return;
  SendSaving();
  EArray<EString> lines;
  int hSig = -1;
  vm->TableWriteToFile(&lines, hSig, "Global", &m_SavedTables, kcSAVEGAME_TOKEN);
  int total = 0;
  for (int i = 0; i < lines.Num(); ++i) total += lines[i].Length();
  // Nothing written leaves the text empty, with no unterminated buffer.
  EString text;
  if (total) text.GetCharArray().Reserve(total + 1);
  for (int i = 0; i < lines.Num(); ++i) text += lines[i];
  EString::Swap(out, text);
}

void ELoadSaveGame::LoadLuaSaveableStateFromString(EString& text) {
  clearStatePriorToLoad();
  if (!text.Length()) return;
  char* cursor = text.GetCharArray().GetData();
  LoadLuaSaveableState(&cursor, -1, true);
}

// ---- Writing a save ----

int ELoadSaveGame::Save(const char* szName, int slot, bool bWrite) {
  if (slot < 0 || slot >= kNUM_SLOTS) return 0;
  // 1. Played time.
  double played = gGameApp ? gGameApp->GetPlayedTimeSecs() : 0.0;
  long seconds = played > 0.0 ? (long)played : 0;
  int hours = (int)(seconds / 3600), minutes = (int)(seconds / 60 % 60), secs = (int)(seconds % 60);

  // 2. Level.
  char level[255];
  const char* levelName = gGameApp && gGameApp->LevelLoaded() ? gGameApp->GetFullCurrentLevelName() : nullptr;
  ELoadSaveGame::CopyText(level, sizeof(level), levelName && *levelName ? levelName : "levelnotloaded");
  for (char* c = level; *c; ++c) *c = (char)tolower((unsigned char)*c);
  if (strstr(level, "cabu") || strstr(level, "stmu")) return 0;

  // 3. Title and description.
  const char* title = level;
  const char* description = level;
  float inCU = 0.0f;
  if (slot == 6 && szName) {
    description = szName;
  } else if (strstr(level, "casa") && GlobalScript() &&
             GlobalScript()->GetTableValue("levelScript.bPlayerInCU", inCU) && inCU != 0.0f) {
    description = LocalText("/GLZF037TO/");
  }

  // 4. Signature and the scripts' chance to fill their saved tables.
  int hSig = CalculateSignatureBegin();
  if (hSig == -1) {
    g_ErrorManager.TraceMessagef(TT_General, "Sig handle not valid");
    return 0;
  }
  SendSaving();

  // 5. The lines.
  EArray<EString> lines;
  int total = 0;
  char titleLine[500];
  EString fullTitle(EPrintfTag(), "%s - %s %02d:%02d:%02d", title, description, hours, minutes, secs);
  CopyText(titleLine, sizeof(titleLine), *fullTitle);
  AddLine(lines, EString(titleLine), hSig, total);
  AddLine(lines, EString(level), hSig, total);
  const QUICKPICK order[3] = {kQUICKPICK_1, kQUICKPICK_0, kQUICKPICK_2};
  for (QUICKPICK q : order) {
    AddLine(lines, EString(EPrintfTag(), "%d", EBubbleControlHandler::GetQuickPickPower(q)), hSig, total);
  }
  if (EScrapBookSheet* sheet = ScrapbookSheet()) {
    EArray<EString> scrap;
    EArray<EScrapbookEnvelope*>& envelopes = sheet->GetScrapbookEnvelopes();
    for (int e = 0; e < envelopes.Num(); ++e) {
      const EScrapbookEnvelope* env = envelopes[e];
      EString line("env");
      AppendField(line, env->m_szTitle);
      AppendField(line, env->m_szText);
      AppendField(line, env->m_szPrefix);
      scrap.AddData(line);
      auto addItems = [&](const char* kind, const EArray<EScrapbookItem>& items) {
        for (int i = 0; i < items.Num(); ++i) {
          EString item(kind);
          AppendField(item, items[i].m_szLabel);
          AppendField(item, items[i].m_szMessage);
          AppendField(item, env->m_szPrefix);
          scrap.AddData(item);
        }
      };
      addItems("vault", env->m_aVaultItems);
      addItems("concept", env->m_aConceptItems);
      for (int i = 0; i < env->m_aMovies.Num(); ++i) {
        EString item("movie");
        AppendField(item, env->m_aMovies[i].m_szFileName);
        AppendField(item, env->m_szPrefix);
        scrap.AddData(item);
      }
    }
    // The count line has room for four digits.
    int count = scrap.Num() < 9999 ? scrap.Num() : 9999;
    AddLine(lines, EString("scrap"), hSig, total);
    AddLine(lines, EString(EPrintfTag(), "%d", count), hSig, total);
    for (int i = 0; i < count; ++i) AddLine(lines, scrap[i], hSig, total);
  }

  if (bWrite) {
    // 6. Played time into the player's statistics.
    if (gGameApp) {
      double now = gGameApp->GetSimElapsedTime();
      double delta = now - gGameApp->m_dPlayTimeBase;
      float stat = 0.0f;
      EScriptObject* player = PlayerScript();
      if (player && player->GetTableValue("stats.fTimePlayed", stat)) {
        player->SetTableValue("stats.fTimePlayed", (float)(stat + delta));
      } else if (EScriptVM* vm = ScriptHost()) {
        EString chunk(EPrintfTag(), "Global.player.%s = %f", "stats.fTimePlayed", delta);
        vm->RunLuaCommands(*chunk, nullptr, nullptr, 0);
      }
      gGameApp->m_dPlayTimeBase = now;
    }
    // 7. The scripts' saved tables.
    if (EScriptVM* vm = ScriptHost()) {
      int first = lines.Num();
      vm->TableWriteToFile(&lines, hSig, "Global", &m_SavedTables, kcSAVEGAME_TOKEN);
      for (int i = first; i < lines.Num(); ++i)
        total += lines[i].Length() < kMAX_LINE_COUNTED ? lines[i].Length() : (int)kMAX_LINE_COUNTED;
    }
  }

  // 8. Padding to the fixed file size.
  if (total + kSAVE_SIZE_EXTRA <= kSAVE_FILE_SIZE - 1) {
    int padding = kSAVE_FILE_SIZE - 8 - total;
    EString pad;
    pad.GetCharArray().Reserve(padding + 1);
    char fill[256];
    memset(fill, kPADDING_FILL, sizeof(fill));
    char start = (char)kPADDING_START;
    pad.Append(&start, 1);
    for (int left = padding - 2; left > 0; left -= (int)sizeof(fill))
      pad.Append(fill, left < (int)sizeof(fill) ? left : (int)sizeof(fill));
    pad += "\n";
    writeFileSig(&lines, *pad, pad.Length(), hSig);
  }
  CalculateSignatureEnd(hSig);

  // 9. The file.
  if (bWrite) {
    EGameProfile* profile = GetCurrentProfile();
    EASSERT(profile);
    if (!profile->GetProfileDirectory()[0]) return 0;
    EString path(EPrintfTag(), "%s/SavedGame%d", profile->GetProfileDirectory(), slot);
    EString content;
    int size = 8;
    for (int i = 0; i < lines.Num(); ++i) size += lines[i].Length();
    content.GetCharArray().Reserve(size + 1);
    static const char kZeroSig[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    content.Append(kZeroSig, 8);
    for (int i = 0; i < lines.Num(); ++i) content.Append(*lines[i], lines[i].Length());
    // The old save, the autosave included, stays until the new one is
    // complete on the disk.
    if (!WriteFileReplacing(*path, *content, (size_t)content.Length())) return 0;
    profile->m_iLastSavedSlot = slot;
    profile->m_aSlotUsed[slot] = 1;
    WriteCurrentProfileOptionsToFile(nullptr);
    RefreshSaveGameSlot(slot, titleLine);
  }
  // 10.
  return total + kSAVE_SIZE_EXTRA;
}

void ELoadSaveGame::RefreshSaveGameSlot(int slot, const char* szDescription) {
  EGameProfile* profile = GetCurrentProfile();
  ESavedGameInfo* info = profile ? profile->GetSavedGameInfo(slot) : nullptr;
  if (!info) return;
  CopyText(info->m_szPath, sizeof(info->m_szPath),
           *EString(EPrintfTag(), "%s/SavedGame%d", profile->GetProfileDirectory(), slot));
  // A slot written over counts once.
  if (!info->m_bUsed) {
    ++profile->m_iNumSavedGames;
    ++m_iTotalSavedGames;
  }
  info->m_bUsed = true;
  snprintf(info->m_szDescription, sizeof(info->m_szDescription), "%s", szDescription ? szDescription : "");
  m_iLastSavedGameIndex = m_iCurrentProfile;
  m_pLastSavedGameInfo = info;
  m_bContinueExists = true;
}

// ---- Reading a save ----

bool ELoadSaveGame::LoadTableToGame(bool bApply) {
  EFile* file = gFile->Open(m_szLoadPath, FILE_READ, (EFileLoc)m_eLoadLocation);
  if (!file) {
    g_ErrorManager.TraceMessagef(TT_General, "Could not open saved game %s", m_szLoadPath);
    return false;
  }
  EArray<unsigned char> bytes;
  file->ReadAndAlloc(bytes);
  file->Close();
  return LoadTableFromBytes(bytes.GetData(), bytes.Num(), bApply);
}

bool ELoadSaveGame::LoadTableFromBytes(const void* pData, int size, bool bApply) {
  if (!pData || size < 8) return false;
  EArray<unsigned char> bytes;
  bytes.GrowTo(size + 1, true);
  memcpy(bytes.GetData(), pData, (size_t)size);
  bytes[size] = 0;
  char* cursor = reinterpret_cast<char*>(bytes.GetData()) + 8;
  int hSig = CalculateSignatureBegin();

  char* title = ReadTextLine(&cursor);
  if (!title) return false;
  CalculateSignatureUpdate(hSig, title, (int)strlen(title));
  char* level = ReadTextLine(&cursor);
  if (!level) return false;
  CalculateSignatureUpdate(hSig, level, (int)strlen(level));
  int n = snprintf(m_szLevelToLoad, sizeof(m_szLevelToLoad), "workresource\\Levels\\%s.plb", level);
  if (n < 0 || n >= (int)sizeof(m_szLevelToLoad)) {
    g_ErrorManager.TraceMessagef(TT_General, "Saved game %s names a level that is too long", m_szLoadPath);
    m_szLevelToLoad[0] = '\0';
    return false;
  }
  const QUICKPICK order[3] = {kQUICKPICK_1, kQUICKPICK_0, kQUICKPICK_2};
  for (QUICKPICK q : order) {
    char* line = ReadTextLine(&cursor);
    if (!line) return false;
    CalculateSignatureUpdate(hSig, line, (int)strlen(line));
    if (bApply) EBubbleControlHandler::SetQuickPickPower(q, atoi(line));
  }

  char* peek = cursor;
  while (*peek == '\n' || *peek == '\r') ++peek;
  if (!strncmp(peek, "scrap", 5) && (peek[5] == '\0' || peek[5] == '\n' || peek[5] == '\r')) {
    EScrapBookSheet* sheet = bApply ? ScrapbookSheet() : nullptr;
    if (sheet) sheet->RemoveAllScrapbookItems();
    char* scrap = ReadTextLine(&cursor);
    CalculateSignatureUpdate(hSig, scrap, (int)strlen(scrap));
    char* countLine = ReadTextLine(&cursor);
    if (!countLine) return false;
    CalculateSignatureUpdate(hSig, countLine, (int)strlen(countLine));
    char* end = nullptr;
    long count = strtol(countLine, &end, 10);
    if (end == countLine || *end || count < 0) return false;
    for (long i = 0; i < count; ++i) {
      char* line = ReadTextLine(&cursor);
      if (!line) return false;
      CalculateSignatureUpdate(hSig, line, (int)strlen(line));
      if (!sheet) continue;
      EString f[4];
      int fields = SplitFields(line, f, 4);
      const char* kind = Text(f[0]);
      if (!strcasecmp(kind, "env") && fields >= 4) sheet->RegisterEnvelope(Text(f[1]), Text(f[2]), Text(f[3]));
      else if (!strcasecmp(kind, "vault") && fields >= 4)
        sheet->RegisterScrapbookItem(Text(f[1]), Text(f[2]), Text(f[3]));
      else if (!strcasecmp(kind, "concept") && fields >= 4)
        sheet->RegisterEmoBagItem(Text(f[1]), Text(f[2]), Text(f[3]));
      else if (!strcasecmp(kind, "movie") && fields >= 3)
        sheet->RegisterMovieToScrapbook(Text(f[1]), Text(f[2]));
    }
  }

  if (bApply) clearStatePriorToLoad();
  LoadLuaSaveableState(&cursor, hSig, bApply);
  CalculateSignatureEnd(hSig);
  return true;
}

void ELoadSaveGame::showLoadFailedMessage() {
  EMessageBoxManager* boxes = gGameApp ? gGameApp->m_pMessageBoxManager : nullptr;
  if (!boxes) return;
  int id = boxes->AddMessageBox(LocalText("/GLZE018TO/"), 8, nullptr, false);
  // The message counts as pending only while its box is up; a disk-space
  // message already pending keeps its place.
  if (id < 0 || m_bMessagePending) return;
  m_bMessagePending = true;
  m_iMessageKind = kMSG_LoadFailed;
  m_iMessageBoxId = id;
}

bool ELoadSaveGame::Load(ESavedGameInfo* pInfo) {
  EASSERT(pInfo);
  m_pSaveBeingLoaded = pInfo;
  if (!pInfo->m_szDescription[0]) return false;
  m_eLoadLocation = kFILELOC_UserData;
  if (!CopyText(m_szLoadPath, sizeof(m_szLoadPath), pInfo->m_szPath) || !LoadTableToGame(false)) {
    g_ErrorManager.TraceMessagef(TT_General, "saveLoad error");
    showLoadFailedMessage();
    m_bPendingLoad = false;
    return false;
  }
  if (gGameApp) gGameApp->m_dPlayTimeBase = gGameApp->GetSimElapsedTime();
  if (m_szLevelToLoad[0]) {
    if (gGameApp) gGameApp->RequestNewLevel(m_szLevelToLoad, false);
    m_bPendingLoad = true;
  }
  return m_bPendingLoad;
}

bool ELoadSaveGame::AttractModeLoadTable(const char* szPath) {
  if (!szPath) return false;
  m_eLoadLocation = kFILELOC_AsGiven;
  if (!CopyText(m_szLoadPath, sizeof(m_szLoadPath), szPath) || !LoadTableToGame(false)) {
    g_ErrorManager.TraceMessagef(TT_General, "Attractmode Load error");
    m_bPendingLoad = false;
    return false;
  }
  if (m_szLevelToLoad[0]) {
    if (gGameApp) gGameApp->RequestNewLevel(m_szLevelToLoad, false);
    m_bPendingLoad = true;
  }
  return m_bPendingLoad;
}

bool ELoadSaveGame::getFriendlyNameFromFile(const char* szPath, char* szOut, int size) {
  if (!szOut || size <= 0) return false;
  EFile* file = gFile->Open(szPath, FILE_READ, kFILELOC_AsGiven);
  if (!file) return false;
  EArray<unsigned char> bytes;
  file->ReadAndAlloc(bytes);
  file->Close();
  if (bytes.Num() <= 7) return false;
  bytes.AddData(0);
  char* cursor = reinterpret_cast<char*>(bytes.GetData()) + (bytes.Num() > 8 ? 8 : bytes.Num() - 1);
  char* line = ReadTextLine(&cursor);
  if (!line) line = cursor;
  if (char* comma = strchr(line, ',')) *comma = '\0';
  snprintf(szOut, (size_t)size, "%s", line);
  return true;
}

// ---- Slots ----

void ELoadSaveGame::updateSaveGamesForProfile(EGameProfile* pProfile) {
  if (!pProfile) return;
  int64_t newest = 0;
  for (int s = 0; s < kNUM_SLOTS; ++s) {
    ESavedGameInfo& info = pProfile->m_aSlots[s];
    CopyText(info.m_szPath, sizeof(info.m_szPath),
             *EString(EPrintfTag(), "%s/SavedGame%d", pProfile->GetProfileDirectory(), s));
    CopyText(m_szLoadPath, sizeof(m_szLoadPath), info.m_szPath);
    m_eLoadLocation = kFILELOC_AsGiven;
    if (pProfile->m_aSlotUsed[s]) {
      char description[255];
      if (!LoadTableToGame(false)) {
        snprintf(description, sizeof(description), "%s", LocalText("/GLZE021TO/"));
      } else {
        EFile* file = gFile->Open(info.m_szPath, FILE_READ, kFILELOC_AsGiven);
        if (!file) {
          info.Reset();
          pProfile->m_aSlotUsed[s] = 0;
          createPreallocationFile(info.m_szPath);
          continue;
        }
        int64_t time = file->GetFiletime();
        file->Close();
        if (!getFriendlyNameFromFile(info.m_szPath, description, (int)sizeof(description)))
          snprintf(description, sizeof(description), "%s", LocalText("/GLZE021TO/"));
        if (!pProfile->m_pLatestSave || time > newest) {
          pProfile->m_pLatestSave = &info;
          newest = time;
        }
      }
      info.m_bUsed = true;
      snprintf(info.m_szDescription, sizeof(info.m_szDescription), "%s", description);
      ++pProfile->m_iNumSavedGames;
      ++m_iTotalSavedGames;
    } else {
      info.Reset();
      int size = FileSize(info.m_szPath, kFILELOC_AsGiven);
      if (size >= 0 && (int)ConvertBytesToBlocks((unsigned)size) == kSLOT_FILE_BLOCKS) continue;
      // A readable save that the record missed (its rewrite failed) is
      // kept rather than overwritten.
      if (size > 0 && LoadTableToGame(false)) continue;
      createPreallocationFile(info.m_szPath);
    }
  }
}

int ELoadSaveGame::GetCurrentProfileSlotFilesize(int slot) {
  EGameProfile* profile = GetCurrentProfile();
  if (!profile || slot < 0 || slot >= kNUM_SLOTS) return 0;
  EString path(EPrintfTag(), "%s/SavedGame%d", profile->GetProfileDirectory(), slot);
  int size = FileSize(*path, kFILELOC_AsGiven);
  return size > 0 ? size : 0;
}

ESavedGameInfo* ELoadSaveGame::GetCurrentProfileGameInfo(int slot) {
  EGameProfile* profile = GetCurrentProfile();
  return profile ? profile->GetSavedGameInfo(slot) : nullptr;
}

bool ELoadSaveGame::DeleteSavedGame(ESavedGameInfo* pInfo) {
  if (!pInfo) return false;
  EGameProfile* profile = GetCurrentProfile();
  if (pInfo->m_szPath[0] && gFile->Delete(pInfo->m_szPath, kFILELOC_AsGiven)) createPreallocationFile(pInfo->m_szPath);
  bool wasUsed = pInfo->m_bUsed;
  pInfo->Reset();
  if (profile && pInfo >= profile->m_aSlots && pInfo < profile->m_aSlots + kNUM_SLOTS) {
    if (wasUsed) {
      if (profile->m_iNumSavedGames > 0) --profile->m_iNumSavedGames;
      if (m_iTotalSavedGames > 0) --m_iTotalSavedGames;
    }
    profile->m_aSlotUsed[pInfo - profile->m_aSlots] = 0;
    if (profile->m_pLatestSave == pInfo) profile->m_pLatestSave = nullptr;
    if (m_pLastSavedGameInfo == pInfo) {
      m_pLastSavedGameInfo = nullptr;
      m_bContinueExists = false;
    }
    WriteCurrentProfileOptionsToFile(nullptr);
  }
  return true;
}

bool ELoadSaveGame::DeleteCurrentProfileAutosave() { return DeleteSavedGame(GetCurrentProfileGameInfo(0)); }

bool ELoadSaveGame::createPreallocationFile(const char* szPath) {
  static const char kZeros[4096] = {};
  EFile* file = gFile->Open(szPath, FILE_WRITE | FILE_CREATE | FILE_TRUNCATE, kFILELOC_AsGiven);
  bool ok = file != nullptr;
  for (int left = kSAVE_FILE_SIZE; ok && left > 0; left -= (int)sizeof(kZeros))
    ok = file->Write(kZeros, (int)sizeof(kZeros)) == (int)sizeof(kZeros);
  if (file) file->Close();
  if (!ok) g_ErrorManager.TraceMessagef(TT_General, "Savegame: Could not create preallocation file %s", szPath);
  return ok;
}

void ELoadSaveGame::PreallocateSaveGames(int, const char* szRecordPath) {
  const char* slash = szRecordPath ? strrchr(szRecordPath, '/') : nullptr;
  if (!slash) {
    g_ErrorManager.TraceMessagef(TT_General, "Could not get profile path");
    return;
  }
  EString dir(szRecordPath, (int)(slash - szRecordPath));
  for (int s = 0; s < kNUM_SLOTS; ++s) createPreallocationFile(*EString(EPrintfTag(), "%s/SavedGame%d", *dir, s));
}

// ---- Disk space ----

unsigned ELoadSaveGame::GetAvailableBlocks() {
  STUBBED("GetDiskFreeSpace");
  return ConvertBytesToBlocks(0x7fffffffu);
}

bool ELoadSaveGame::CheckForDiskFreeSpace(unsigned bytes, int* pShortfall) {
  if (bytes == 0) return true;
  unsigned available = ConvertBlocksToBytes(GetAvailableBlocks());
  if (pShortfall) *pShortfall = (int)(bytes - available);
  return available >= bytes;
}

bool ELoadSaveGame::CanSaveGame(const char* szName, int slotFileSize, bool bShowError) {
  unsigned estimate = ConvertBytesToBlocks((unsigned)Save(szName, 0, false));
  if (estimate < (unsigned)kSLOT_FILE_BLOCKS) estimate = kSLOT_FILE_BLOCKS;
  unsigned have = ConvertBytesToBlocks(slotFileSize > 0 ? (unsigned)slotFileSize : 0u);
  unsigned needed = estimate > have ? estimate - have : 0;
  if (GetAvailableBlocks() >= needed) return true;
  if (bShowError) ShowHardDriveErrorSaveGame(ConvertBlocksToBytes(needed));
  return false;
}

bool ELoadSaveGame::CanSaveGameInSlot(int slot, const char* szName, bool bShowError) {
  return CanSaveGame(szName, GetCurrentProfileSlotFilesize(slot), bShowError);
}

bool ELoadSaveGame::HasSpaceForSaveGame(unsigned* pSize) {
  unsigned size = (unsigned)GetCurSaveSize();
  if (pSize) *pSize = size;
  return CheckForDiskFreeSpace(size, nullptr);
}

bool ELoadSaveGame::HasSpaceToCreateProfile() { return GetTotalProfileBlocks() < GetAvailableBlocks(); }

bool ELoadSaveGame::HasSpaceForProfile() {
  int needed = kPROFILE_SIZE;
  EGameProfile* profile = GetCurrentProfile();
  if (profile && profile->GetProfileFilename() && *profile->GetProfileFilename()) {
    int size = FileSize(profile->GetProfileFilename(), kFILELOC_UserData);
    if (size >= 0) needed -= size + kPROFILE_RECORD_RESERVE;
  }
  if (needed < 0) needed = 0;
  return CheckForDiskFreeSpace((unsigned)needed, nullptr);
}

void ELoadSaveGame::ShowHardDriveErrorSaveGame(unsigned bytes) {
  if (m_bMessagePending) return;
  m_uBlocksNeeded = ConvertBytesToBlocks(bytes);
  unsigned available = GetAvailableBlocks();
  if (available >= m_uBlocksNeeded) return;
  EMessageBoxManager* boxes = gGameApp ? gGameApp->m_pMessageBoxManager : nullptr;
  if (!boxes) return;
  char text[1024];
  // The three texts keep their own copies: each lookup reuses one buffer.
  EString a(LocalText("/GLZD348TO/")), b(LocalText("/GLZD560TO/")), c(LocalText("/GLZD561TO/"));
  snprintf(text, sizeof(text), "%s\n %s %d %s", Text(a), Text(b), (int)(m_uBlocksNeeded - available), Text(c));
  int id = boxes->AddMessageBox(text, 8, nullptr, false);
  if (id < 0) return;
  m_bMessagePending = true;
  m_iMessageKind = kMSG_DiskSpace;
  m_iMessageBoxId = id;
}

void ELoadSaveGame::ShowHardDriveErrorProfile(void (*pfnCallback)(int)) {
  if (m_bMessagePending) return;
  m_uBlocksNeeded = GetTotalProfileBlocks();
  unsigned available = GetAvailableBlocks();
  if (m_uBlocksNeeded < available) return;
  EMessageBoxManager* boxes = gGameApp ? gGameApp->m_pMessageBoxManager : nullptr;
  if (!boxes) return;
  char text[1024];
  EString a(LocalText("/GLZD348TO/")), b(LocalText("/GLZD560TO/")), c(LocalText("/GLZD561TO/"));
  snprintf(text, sizeof(text), "%s\n %s %d %s", Text(a), Text(b), (int)(m_uBlocksNeeded - available), Text(c));
  int id = boxes->AddMessageBox(text, 8, pfnCallback, false);
  // With a callback the caller acts on the answer itself.
  if (id < 0 || pfnCallback) return;
  m_bMessagePending = true;
  m_iMessageKind = kMSG_DiskSpace;
  m_iMessageBoxId = id;
}

bool ELoadSaveGame::CreateSaveGameFile(const char* szRecordName, char* szFolder, int folderSize, int bytesNeeded,
                                       int& bytesMissing) {
  bytesMissing = 0;
  if (!gGameApp) return false;
  if (!gGameApp->CreateSaveGame(szRecordName, 3, 0, szFolder, folderSize, true)) {
    if (!CheckForDiskFreeSpace((unsigned)bytesNeeded, nullptr)) {
      ShowHardDriveErrorSaveGame((unsigned)bytesNeeded);
      bytesMissing = bytesNeeded;
      return false;
    }
    if (gGameApp->CreateSaveGame(szRecordName, 1, 0, szFolder, folderSize, true)) return true;
    g_ErrorManager.TraceMessagef(TT_Warning, "Could not saved game %s. Possibly out of hard drive space",
                                 szRecordName);
    return false;
  }
  EString full(szFolder);
  int n = full.Length();
  while (n > 0 && ((*full)[n - 1] == '/' || (*full)[n - 1] == '\\')) --n;
  full = EString(EPrintfTag(), "%.*s/%s", n, *full, szRecordName);
  int size = FileSize(*full, kFILELOC_UserData);
  if (size < 0) return false;
  int have = size + kPROFILE_RECORD_RESERVE;
  if (have >= bytesNeeded || CheckForDiskFreeSpace((unsigned)(bytesNeeded - have), nullptr)) return true;
  ShowHardDriveErrorSaveGame((unsigned)(bytesNeeded - have));
  bytesMissing = bytesNeeded;
  return false;
}

// ---- Messages ----

void ELoadSaveGame::Frame() {
  if (!m_bMessagePending) return;
  EMessageBoxManager* boxes = gGameApp ? gGameApp->m_pMessageBoxManager : nullptr;
  int result = boxes ? boxes->GetMsgBoxResult(m_iMessageBoxId, nullptr) : (int)EMessageBoxManager::kRESULT_NONE;
  if (result == EMessageBoxManager::kRESULT_NONE) {
    // A box that no longer exists can never be answered.
    if (boxes && !boxes->IsMessageBoxActive()) m_bMessagePending = false;
    return;
  }
  switch (m_iMessageKind) {
    case kMSG_DiskSpace:
      if (result == 3) {
        m_bMessagePending = false;
        m_uBlocksNeeded = 0;
      } else if (result == 4) {
        m_bMessagePending = false;
        m_uBlocksNeeded = 0;
        if (gGameApp) gGameApp->m_bQuit = true;
      }
      break;
    case kMSG_LoadFailed:
    default:
      // The failed-load message only informs: once answered it is done.
      m_bMessagePending = false;
      break;
  }
}
