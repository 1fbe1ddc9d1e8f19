#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Game/BubbleControlHandler.h"
#include "Game/SaveLoadGame.h"
#include "Game/UIMenu.h"
#include "Game/tests/SaveGameTestSupport.h"
#include "ScriptVM/ScriptObject.h"
#include "ScriptVM/ScriptVM.h"
#include "VERirezo/Entity.h"
#include "VERirezo/MeshEntity.h"

namespace {

const char* const kBaseClass =
    "function Base()\n"
    "  local o = CreateObject(nil)\n"
    "  o.setState = function(self, s) APISetState(self, s) end\n"
    "  o.SetState = o.setState\n"
    "  return o\n"
    "end\n";
const char* const kHolderClass =
    "function Holder()\n"
    "  local o = CreateObject(\"Base\")\n"
    "  return o\n"
    "end\n";

// A profile in a user data directory of its own, with the real script host
// holding the "Global" script object.
class SaveGames : public SaveDirTest {
protected:
  void SetUp() override {
    SaveDirTest::SetUp();
    filetest::WriteText(m_dir / "game/scripts/Base.lua", kBaseClass);
    filetest::WriteText(m_dir / "game/scripts/Holder.lua", kHolderClass);
    m_files->AddReadPath((m_dir / "game").c_str(), true);
    m_vm = m_app.GetScriptVM();
    m_vm->Initialise();
    m_global = m_vm->CreateScriptObject("Holder", "Global", nullptr, nullptr, false, false, true, false);
    ASSERT_NE(nullptr, m_global);
    Run("Global = gLSO.Global  Global.player = { stats = { } }  Global.saved = { }");
    m_app.m_pUIMenu = &m_menu;
    m_saves.Startup();
    ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "Raz"));
    for (int q = 0; q < 3; ++q) EBubbleControlHandler::SetQuickPickPower((QUICKPICK)q, 0);
  }
  void TearDown() override {
    m_app.m_pUIMenu = nullptr;
    if (m_vm && m_vm->IsInitialised()) m_vm->Shutdown();
    SaveDirTest::TearDown();
  }

  bool Run(const std::string& code) { return m_vm->RunLuaCommands(code.c_str(), nullptr, nullptr, 0); }
  // The Lua type name and text of an expression.
  std::string Value(const std::string& expr) {
    Run("__probe = type(" + expr + ") .. ':' .. tostring(" + expr + ")");
    const char* text = nullptr;
    lua_State* L = m_vm->GetGlobalState();
    lua_getglobal(L, "__probe");
    text = lua_tostring(L, -1);
    std::string out = text ? text : "";
    lua_pop(L, 1);
    return out;
  }
  std::string Slot(int slot) { return "Profiles/Profile 1/SavedGame" + std::to_string(slot); }
  std::string SlotText(int slot) {
    std::vector<unsigned char> b = Bytes(Slot(slot));
    return b.size() > 8 ? std::string(b.begin() + 8, b.end()) : std::string();
  }
  // A save file of the given text after the zero signature area.
  void PutSave(int slot, const std::string& text) {
    std::vector<unsigned char> bytes(8, 0);
    bytes.insert(bytes.end(), text.begin(), text.end());
    filetest::WriteBytes(Abs(Slot(slot)), bytes);
  }
  // Applies the save in the slot as the level loader does.
  bool Apply(int slot) {
    ESavedGameInfo* info = m_saves.GetCurrentProfileGameInfo(slot);
    strcpy(info->m_szDescription, "test");
    if (!m_saves.Load(info)) return false;
    bool ok = m_saves.LoadTableToGame(true);
    m_saves.ClearPendingLoad();
    return ok;
  }

  EScriptVM* m_vm = nullptr;
  EScriptObject* m_global = nullptr;
  EUIMenu m_menu;
};

TEST_F(SaveGames, FileIsPaddedToFifteenBlocks) {
  m_app.m_dSimElapsedTime = 3725.9;
  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_0, 4);
  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_1, 2);
  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_2, 7);
  int estimate = m_saves.Save("Mine", 3, true);
  std::vector<unsigned char> bytes = Bytes(Slot(3));
  ASSERT_EQ(61440u, bytes.size());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(0, bytes[i]);
  std::string text(bytes.begin() + 8, bytes.end());
  const std::string head =
      "levelnotloaded - levelnotloaded 01:02:05\nlevelnotloaded\n2\n4\n7\nscrap\n0\n";
  ASSERT_EQ(head, text.substr(0, head.size()));
  // The padding line: the byte 2, bytes of 1, a line feed.
  size_t pad = text.find('\x02');
  ASSERT_NE(std::string::npos, pad);
  int lines = (int)pad;
  EXPECT_EQ(lines + 8200, estimate);
  EXPECT_EQ(std::string(61432 - lines - 2, '\x01'), text.substr(pad + 1, 61432 - lines - 2));
  EXPECT_EQ('\n', text.back());

  // The slot shows its title, and the profile record marks it used.
  ESavedGameInfo* info = m_saves.GetCurrentProfileGameInfo(3);
  EXPECT_TRUE(info->m_bUsed);
  EXPECT_STREQ("levelnotloaded - levelnotloaded 01:02:05", info->m_szDescription);
  EXPECT_EQ(1, Bytes("Profiles/Profile 1/Profile 1- Raz")[53]);
  EXPECT_EQ(1, m_saves.GetNumSavedGames());
  EXPECT_TRUE(m_saves.ContinueExists());

  // Written again, the slot still counts once.
  EXPECT_GT(m_saves.Save("Mine", 3, true), 0);
  EXPECT_EQ(1, m_saves.GetNumSavedGames());
}

TEST_F(SaveGames, SomeLevelsAreNeverSaved) {
  m_app.m_bLevelLoaded = true;
  strcpy(m_app.m_szFullCurrentLevelName, "CABU_Intro");
  std::vector<unsigned char> before = Bytes(Slot(2));
  EXPECT_EQ(0, m_saves.Save("Mine", 2, true));
  EXPECT_EQ(before, Bytes(Slot(2)));
  strcpy(m_app.m_szFullCurrentLevelName, "xxSTMUxx");
  EXPECT_EQ(0, m_saves.Save("Mine", 2, false));
  strcpy(m_app.m_szFullCurrentLevelName, "CAGP");
  EXPECT_GT(m_saves.Save("Mine", 2, true), 0);
  EXPECT_EQ("cagp - cagp 00:00:00\ncagp\n", SlotText(2).substr(0, 26));
}

TEST_F(SaveGames, AFailedWriteKeepsTheOldSave) {
  ASSERT_GT(m_saves.Save("Autosave", 0, true), 0);
  std::vector<unsigned char> before = Bytes(Slot(0));
  m_app.m_dSimElapsedTime = 7200.0;
  {
    ScopedFileSizeLimit full(4096);
    EXPECT_EQ(0, m_saves.Save("Autosave", 0, true));
  }
  EXPECT_EQ(before, Bytes(Slot(0))) << "the autosave is not deleted before the new one is complete";
  EArray<EString> files;
  EWin32File::GetDirectory(Abs("Profiles/Profile 1").c_str(), "*", files);
  EXPECT_EQ(9, files.Num()) << "no temporary file is left behind";
  EXPECT_GT(m_saves.Save("Autosave", 0, true), 0);
  EXPECT_EQ(61440u, Bytes(Slot(0)).size());
}

TEST_F(SaveGames, LoadingRequestsTheLevelAndAppliesTheSave) {
  m_app.m_bLevelLoaded = true;
  strcpy(m_app.m_szFullCurrentLevelName, "CAGP");
  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_1, 5);
  EScrapBookSheet* sheet = m_menu.GetInGameMenu()->GetScrapbookSheet();
  sheet->RegisterEnvelope("", "A | bar\nand a line", "ENV1");
  sheet->RegisterScrapbookItem("", "msg", "ENV1");
  sheet->RegisterEmoBagItem("label", "", "ENV1");
  sheet->RegisterMovieToScrapbook("intro.zoe", "ENV1");
  ASSERT_GT(m_saves.Save("Mine", 1, true), 0);

  sheet->RemoveAllScrapbookItems();
  EBubbleControlHandler::SetQuickPickPower(kQUICKPICK_1, 0);
  m_app.m_dSimElapsedTime = 50.0;
  ESavedGameInfo* info = m_saves.GetCurrentProfileGameInfo(1);
  ASSERT_TRUE(m_saves.Load(info));
  EXPECT_TRUE(m_app.m_bNewLevelRequested);
  EXPECT_STREQ("workresource\\Levels\\cagp.plb", m_app.m_szRequestedLevel);
  EXPECT_EQ(50.0, m_app.m_dPlayTimeBase);
  EXPECT_TRUE(m_saves.IsLoadPending());
  EXPECT_EQ(0, EBubbleControlHandler::GetQuickPickPower(kQUICKPICK_1)) << "checking applies nothing";

  ASSERT_TRUE(m_saves.LoadTableToGame(true));
  EXPECT_EQ(5, EBubbleControlHandler::GetQuickPickPower(kQUICKPICK_1));
  // Empty fields keep their places; separators and line breaks in a text
  // come back as they were.
  ASSERT_EQ(1, sheet->GetScrapbookEnvelopes().Num());
  EScrapbookEnvelope* env = sheet->GetScrapbookEnvelopes()[0];
  EXPECT_STREQ("ENV1", env->m_szPrefix);
  EXPECT_STREQ("", env->m_szTitle);
  EXPECT_STREQ("A | bar\nand a line", env->m_szText);
  ASSERT_EQ(1, env->m_aVaultItems.Num());
  EXPECT_STREQ("", env->m_aVaultItems[0].m_szLabel);
  EXPECT_STREQ("msg", env->m_aVaultItems[0].m_szMessage);
  ASSERT_EQ(1, env->m_aConceptItems.Num());
  EXPECT_STREQ("label", env->m_aConceptItems[0].m_szLabel);
  EXPECT_STREQ("", env->m_aConceptItems[0].m_szMessage);
  ASSERT_EQ(1, env->m_aMovies.Num());
  EXPECT_STREQ("intro.zoe", env->m_aMovies[0].m_szFileName);
}

// The player's script fills its saved tables when told the game is saved.
const char* const kPlayerClass =
    "function Player()\n"
    "  local o = CreateObject(\"Base\")\n"
    "  o.onSaving = function(self) Global.saved.fromHandler = 'saving' end\n"
    "  return o\n"
    "end\n";

TEST_F(SaveGames, SavedTablesComeBackAfterALoad) {
  filetest::WriteText(m_dir / "game/scripts/Player.lua", kPlayerClass);
  EEntity* player = new EMeshEntity(nullptr, "Player");
  EScriptObject* playerScript = m_vm->CreateScriptObject("Player", "Player", player, nullptr, false, false, true, false);
  ASSERT_NE(nullptr, playerScript);
  player->SetScriptObject(playerScript);
  m_app.m_pPlayer = player;

  ASSERT_TRUE(Run(
      "Global.player.stats = { rank = 3, name = 'Raz', flag = 1, off = 0, ratio = 0.125 }\n"
      "Global.saved = { text = 'a|b\\nc', mixed = '12abc', empty = '', neg = -2.5,\n"
      "  deep = { er = { est = 'bottom', n = 7 } }, list = { 4, 'five', 6 }, big = 16777216 }\n"
      "Global.saved.self = Global.saved\n"));
  m_app.m_dSimElapsedTime = 100.0;
  ASSERT_GT(m_saves.Save("Mine", 3, true), 0);
  EXPECT_EQ(61440u, Bytes(Slot(3)).size());
  EXPECT_EQ(0u, SlotText(3).find("levelnotloaded - levelnotloaded 00:01:40\n"));
  EXPECT_NE(std::string::npos, SlotText(3).find("saved.fromHandler|saving\n"));
  // The time played so far went into the statistics, and counts from now.
  EXPECT_EQ(100.0, m_app.m_dPlayTimeBase);

  ASSERT_TRUE(Run("Global.saved = { stale = 1 }  Global.player.stats = { rank = 99 }"));
  ESavedGameInfo* info = m_saves.GetCurrentProfileGameInfo(3);
  ASSERT_TRUE(m_saves.Load(info));
  ASSERT_TRUE(m_saves.LoadTableToGame(true));
  struct {
    const char* expr;
    const char* value;
  } cases[] = {
      {"Global.player.stats.rank", "number:3"},
      {"Global.player.stats.name", "string:Raz"},
      {"Global.player.stats.flag", "number:1"},
      {"Global.player.stats.off", "number:0"},
      {"Global.player.stats.ratio", "number:0.125"},
      {"Global.player.stats.fTimePlayed", "number:100"},
      {"Global.saved.text", "string:a|b\nc"},
      {"Global.saved.mixed", "string:12abc"},
      {"Global.saved.empty", "string:"},
      {"Global.saved.neg", "number:-2.5"},
      {"Global.saved.big", "number:16777216"},
      {"Global.saved.deep.er.est", "string:bottom"},
      {"Global.saved.deep.er.n", "number:7"},
      {"Global.saved.list[1]", "number:4"},
      {"Global.saved.list[2]", "string:five"},
      {"Global.saved.list[3]", "number:6"},
      {"Global.saved.fromHandler", "string:saving"},
      {"Global.saved.stale", "nil:nil"},
      {"type(Global.saved.self)", "string:nil"},  // a table met again is not written again
  };
  for (auto& c : cases) EXPECT_EQ(c.value, Value(c.expr)) << c.expr;

  // The same state carried in one string, as across a level reload.
  EString state;
  m_saves.SaveLuaSaveableStateToString(state);
  ASSERT_GT(state.Length(), 0);
  ASSERT_TRUE(Run("Global.saved = { }  Global.player.stats = { }"));
  m_saves.LoadLuaSaveableStateFromString(state);
  for (auto& c : cases) EXPECT_EQ(c.value, Value(c.expr)) << "from the string: " << c.expr;

  m_app.m_pPlayer = nullptr;
  player->DetachScript();
  delete player;
}

TEST_F(SaveGames, ValuesReadBackAsNumbersOnlyWhenTheirWholeTextIsANumber) {
  PutSave(4,
          "T\nlevel\n1\n2\n3\n"
          "saved.zero|0\nsaved.zeroPoint|0.0\nsaved.mixed|12abc\nsaved.word|abc\nsaved.empty|\n"
          "saved.neg|-3.5e2\nsaved.spaced| 5\nsaved.hex|0x10\nsaved.sub.deep|1\n"
          "saved.nan|Nan\nsaved.inf|-Infinity\nsaved.half|.5\n"
          "Table|saved.made.here\nsaved.BV.[3]|7\nsaved.BV.[4]|seven\n"
          "saved.esc|a\x01sb\x01nc\n"
          "Name|Hacked\nsavedExtra|1\nTable|notSaved.t\nplayer.statsX|1\nplayer.stats.ok|1\n"
          "\x02\x01\x01\x01\n"
          "saved.after|1\n");
  m_saves.GetCurrentProfile()->GetSavedGameInfo(4)->m_bUsed = true;
  ASSERT_TRUE(Apply(4));
  struct {
    const char* expr;
    const char* value;
  } cases[] = {
      {"Global.saved.zero", "number:0"},
      {"Global.saved.zeroPoint", "number:0"},
      {"Global.saved.mixed", "string:12abc"},
      {"Global.saved.word", "string:abc"},
      {"Global.saved.empty", "string:"},
      {"Global.saved.neg", "number:-350"},
      {"Global.saved.spaced", "string: 5"},
      {"Global.saved.hex", "string:0x10"},
      {"Global.saved.nan", "string:Nan"},
      {"Global.saved.inf", "string:-Infinity"},
      {"Global.saved.half", "number:0.5"},
      {"Global.saved.sub.deep", "number:1"},
      {"type(Global.saved.made.here)", "string:table"},
      {"Global.saved.BV[3]", "number:7"},
      {"Global.saved.BV[4]", "string:seven"},
      {"Global.saved.esc", "string:a|b\nc"},
      {"Global.saved.after", "nil:nil"},
      {"Global.player.saved == Global.saved", "number:1"},
      // Only the saved tables can be written by a save.
      {"Global.Name", "string:Global"},
      {"Global.savedExtra", "nil:nil"},
      {"Global.notSaved", "nil:nil"},
      {"Global.player.statsX", "nil:nil"},
      {"Global.player.stats.ok", "number:1"},
  };
  for (auto& c : cases) EXPECT_EQ(c.value, Value(c.expr)) << c.expr;
}

TEST_F(SaveGames, DamagedSavesFailTheCheck) {
  std::string good = "T\nlevel\n1\n2\n3\nscrap\n1\nenv|a|b|P\n";
  struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"preallocated", std::string(61432, '\0')},
      {"no quick picks", "T\nlevel\n1\n"},
      {"scrapbook lines missing", "T\nlevel\n1\n2\n3\nscrap\n3\nenv|a|b|P\n"},
      {"bad count", "T\nlevel\n1\n2\n3\nscrap\nmany\n"},
      {"negative count", "T\nlevel\n1\n2\n3\nscrap\n-1\n"},
      {"level too long", "T\n" + std::string(300, 'l') + "\n1\n2\n3\n"},
  };
  PutSave(5, good);
  ESavedGameInfo* info = m_saves.GetCurrentProfileGameInfo(5);
  strcpy(info->m_szDescription, "x");
  EXPECT_TRUE(m_saves.Load(info)) << "the good one";
  for (auto& c : cases) {
    PutSave(5, c.text);
    EXPECT_FALSE(m_saves.Load(info)) << c.what;
  }
  filetest::WriteBytes(Abs(Slot(5)), {0, 0, 0});
  EXPECT_FALSE(m_saves.Load(info)) << "shorter than the signature area";
  EXPECT_TRUE(Traced("saveLoad error"));
}

TEST_F(SaveGames, FailedLoadMessageIsClearedOnceAnswered) {
  ESavedGameInfo* info = m_saves.GetCurrentProfileGameInfo(2);
  strcpy(info->m_szDescription, "x");
  EXPECT_FALSE(m_saves.Load(info)) << "a preallocated slot";
  ASSERT_TRUE(m_saves.IsMessagePending());
  EXPECT_EQ(ELoadSaveGame::kMSG_LoadFailed, m_saves.GetPendingMessageKind());
  EXPECT_TRUE(m_boxes.IsMessageBoxActive());
  m_saves.Frame();
  EXPECT_TRUE(m_saves.IsMessagePending()) << "not answered yet";

  // Answered, it no longer holds back the disk-space message.
  m_boxes.AnswerMessageBox(1, 0);
  m_saves.Frame();
  EXPECT_FALSE(m_saves.IsMessagePending());
  m_saves.ShowHardDriveErrorSaveGame(0xF0000000u);
  ASSERT_TRUE(m_saves.IsMessagePending());
  EXPECT_EQ(ELoadSaveGame::kMSG_DiskSpace, m_saves.GetPendingMessageKind());
  char text[1024];
  EXPECT_EQ(EMessageBoxManager::kRESULT_NONE, m_boxes.GetMsgBoxResult(2, text));
  EXPECT_NE(nullptr, strstr(text, " 458752 ")) << text;  // 983040 blocks needed, 524288 free
  m_boxes.AnswerMessageBox(2, 3);
  m_saves.Frame();
  EXPECT_FALSE(m_saves.IsMessagePending());
  EXPECT_FALSE(m_app.m_bQuit);
}

TEST_F(SaveGames, SlotsAfterDiscoveryAndDeletion) {
  ASSERT_GT(m_saves.Save("Mine", 2, true), 0);
  ASSERT_GT(m_saves.Save("Other", 5, true), 0);
  SetTime(Slot(2), 2000000000);
  SetTime(Slot(5), 1000000000);
  PutSave(6, "not a save");  // unused in the record: preallocated again

  ELoadSaveGame other;
  m_app.m_pSaveLoadInterface = &other;
  other.RefreshProfileInfo(true);
  EXPECT_EQ(2, other.GetNumSavedGames());
  EXPECT_TRUE(other.ContinueExists());
  ESavedGameInfo* last = other.GetLastSavedGameInfo();
  EXPECT_EQ(other.GetCurrentProfileGameInfo(2), last);
  EXPECT_STREQ("levelnotloaded - levelnotloaded 00:00:00", last->m_szDescription);
  EXPECT_EQ(61440u, Bytes(Slot(6)).size());
  EXPECT_EQ(0, Bytes(Slot(6))[8]);

  EXPECT_TRUE(other.DeleteSavedGame(last));
  EXPECT_EQ(1, other.GetNumSavedGames());
  EXPECT_FALSE(last->m_bUsed);
  std::vector<unsigned char> zeros(61440, 0);
  EXPECT_EQ(zeros, Bytes(Slot(2)));
  EXPECT_EQ(0, Bytes("Profiles/Profile 1/Profile 1- Raz")[52]);
  m_app.m_pSaveLoadInterface = &m_saves;
}

TEST_F(SaveGames, BlocksAndSpace) {
  EXPECT_EQ(0u, ELoadSaveGame::ConvertBytesToBlocks(0));
  EXPECT_EQ(1u, ELoadSaveGame::ConvertBytesToBlocks(1));
  EXPECT_EQ(15u, ELoadSaveGame::ConvertBytesToBlocks(61440));
  EXPECT_EQ(16u, ELoadSaveGame::ConvertBytesToBlocks(61441));
  EXPECT_EQ(108u, ELoadSaveGame::GetTotalProfileBlocks());
  EXPECT_EQ(524288u, m_saves.GetAvailableBlocks());
  EXPECT_TRUE(m_saves.CanSaveGameInSlot(0, "Autosave", true));
  EXPECT_TRUE(m_saves.HasSpaceToCreateProfile());
  EXPECT_TRUE(m_saves.HasSpaceForProfile());
  int shortfall = 0;
  EXPECT_FALSE(m_saves.CheckForDiskFreeSpace(0x80000001u, &shortfall));
  EXPECT_EQ(1, shortfall);
  EXPECT_TRUE(m_saves.CheckForDiskFreeSpace(0, nullptr));
}

}  // namespace
