// The script state as text: lines of the saved tables, escaping, cycles,
// long lines, and a round trip through the access operations.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "Game/SaveLoadGame.h"
#include "ScriptVM/ScriptStateText.h"
#include "ScriptVMTestUtil.h"
#include "TWUtil/String.h"

class ScriptStateWriterTest : public ScriptVMTest {
protected:
  void SetUp() override {
    ScriptVMTest::SetUp();
    WriteClass("test.Holder", "");
    g = vm.CreateScriptObject("test.Holder", "Global", nullptr, nullptr, false, false, true, false);
    ASSERT_NE(g, nullptr);
  }
  void TearDown() override {
    for (char* p : m_Names) free(p);
    ScriptVMTest::TearDown();
  }

  // Writes the listed tables below root and answers the lines.
  std::vector<std::string> Write(std::vector<std::string> names, const char* root = "Global") {
    EList<char*> list;
    for (const std::string& n : names) {
      m_Names.push_back(strdup(n.c_str()));
      list.AddTail(m_Names.back());
    }
    EArray<EString> lines;
    int hSig = -1;
    vm.TableWriteToFile(&lines, hSig, root, &list, "|");
    std::vector<std::string> v;
    for (int i = 0; i < lines.Num(); ++i) v.push_back(std::string(*lines[i], lines[i].Length()));
    return v;
  }

  // Reads lines back as the save code does: tables of every path are made,
  // array elements written raw, other values as fields; a value is a number
  // when its whole text reads as one.
  void Read(const std::vector<std::string>& lines) {
    for (std::string line : lines) {
      ASSERT_FALSE(line.empty());
      ASSERT_EQ(line.back(), '\n');
      line.pop_back();
      size_t cut = line.find('|');
      EString name, value;
      ScriptStateText_AppendUnescaped(name, line.data(), (int)std::min(cut, line.size()), "|");
      if (cut != std::string::npos) {
        ScriptStateText_AppendUnescaped(value, line.data() + cut + 1, (int)(line.size() - cut - 1), "|");
      }
      std::string path = *name ? *name : "";
      std::string text = *value ? *value : "";
      if (path == "Table") {
        ASSERT_TRUE(vm.CheckOrCreateTable(g, text.c_str()));
        continue;
      }
      size_t lastDot = path.rfind('.');
      if (lastDot != std::string::npos) {
        ASSERT_TRUE(vm.CheckOrCreateTable(g, path.substr(0, lastDot).c_str()));
      }
      char* end = nullptr;
      double number = strtod(text.c_str(), &end);
      bool isNumber = !text.empty() && *end == '\0';
      size_t bracket = path.find('[');
      if (bracket != std::string::npos) {
        std::string table = path.substr(0, bracket - 1);
        int index = atoi(path.c_str() + bracket + 1);
        if (isNumber) {
          ASSERT_TRUE(vm.SetScriptTableArrayValue(g, table.c_str(), index, (float)number));
        } else {
          ASSERT_TRUE(vm.SetScriptTableArrayValue(g, table.c_str(), index, text.c_str()));
        }
      } else if (isNumber) {
        ASSERT_TRUE(g->SetTableValue(path.c_str(), (float)number));
      } else {
        ASSERT_TRUE(g->SetTableValue(path.c_str(), text.c_str()));
      }
    }
  }

  static std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
  }
  static size_t IndexOf(const std::vector<std::string>& v, const std::string& s) {
    return size_t(std::find(v.begin(), v.end(), s) - v.begin());
  }

  EScriptObject* g = nullptr;
  std::vector<char*> m_Names;
};

TEST_F(ScriptStateWriterTest, ListedTablesBecomeValueAndTableLines) {
  Run("gLSO.Global.saved = { x = 3, name = 'Ann', pos = { y = 0.5 }, tenth = 0.1, fn = function() end }");
  std::vector<std::string> lines = Write({"saved"});
  EXPECT_EQ(Sorted(lines), Sorted({"saved.x|3\n", "saved.name|Ann\n", "Table|saved.pos\n", "saved.pos.y|0.5\n",
                                   "saved.tenth|0.1000000014901161\n"}));
  EXPECT_LT(IndexOf(lines, "Table|saved.pos\n"), IndexOf(lines, "saved.pos.y|0.5\n"));

  // Arrays: elements by index, holes left out, tables without text; an empty
  // listed table writes nothing; a missing name is skipped.
  Run("gLSO.Global.saved = { list = { 'a', nil, 7, {} }, empty = {}, bits = {} }");
  ASSERT_TRUE(vm.SetScriptTableBitfield(g, "saved.bits", 0, true));
  lines = Write({"nothing.here", "saved.list", "saved.empty", "saved.bits"});
  EXPECT_EQ(lines, (std::vector<std::string>{"saved.list.[1]|a\n", "saved.list.[3]|7\n", "saved.list.[4]|(null)\n",
                                             "saved.bits.[1]|1.401298464324817e-45\n"}));

  // A valid root path still names the tables from the object's own table.
  EXPECT_EQ(Write({"saved.list"}, "Global.saved"), Write({"saved.list"}));
  // The object's own writer starts at its table.
  EList<char*> list;
  char name[] = "saved.list";
  list.AddTail(name);
  EArray<EString> objectLines;
  int hSig = 0;
  g->TableWriteToFile(&objectLines, hSig, &list, "|");
  ASSERT_EQ(objectLines.Num(), 3);
  EXPECT_STREQ(*objectLines[2], "saved.list.[4]|(null)\n");
}

TEST_F(ScriptStateWriterTest, AMissingRootOrAnInvalidRootPathWritesNothing) {
  Run("gLSO.Global.saved = { x = 1, n = 5 }");
  int top = lua_gettop(L);
  EXPECT_TRUE(Write({"saved"}, "Nobody").empty());
  EXPECT_EQ(CountLines("ScriptVM Error: Couldn't find script 'Nobody' for GetLuaTableEntries"), 1);
  EXPECT_TRUE(Write({"saved"}, "Global.missing").empty());
  EXPECT_TRUE(Write({"saved"}, "Global.saved.n").empty());
  EXPECT_EQ(CountLines("Not Valid 'Global.missing'"), 1);
  EXPECT_EQ(CountLines("Not Valid 'Global.saved.n'"), 1);
  EXPECT_EQ(lua_gettop(L), top);
}

TEST_F(ScriptStateWriterTest, SeparatorsAndLineBreaksAreEscapedAndLongLinesStayWhole) {
  std::string longText(3000, 'w');
  Run(("gLSO.Global.saved = { odd = 'a|b\\nc\\rd\\1e', ['key|with\\nbreak'] = 2, long = '" + longText + "' }").c_str());
  std::vector<std::string> lines = Write({"saved"});
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 1) << line;
    EXPECT_EQ(line.find_first_of("\r\n"), line.size() - 1) << line;
  }
  EXPECT_NE(IndexOf(lines, "saved.long|" + longText + "\n"), lines.size());
  EXPECT_NE(IndexOf(lines, "saved.odd|a\001sb\001nc\001rd\001ee\n"), lines.size());
  EXPECT_NE(IndexOf(lines, "saved.key\001swith\001nbreak|2\n"), lines.size());
}

TEST_F(ScriptStateWriterTest, TablesMetAgainAreWrittenOnceWithOneWarning) {
  Run("local s = {} gLSO.Global.saved = s  s.me = s  s.a = { v = 1 }  s.a.up = s.a  s.b = s.a"
      "  s.c = { { 'x' } }  s.c[1][2] = s");
  std::vector<std::string> lines = Write({"saved", "saved.a"});
  // saved.a (or saved.b, whichever the traversal meets first) holds v; the
  // other names, the self references and the second listing write nothing.
  int tableLines = 0;
  for (const std::string& line : lines) tableLines += line.rfind("Table|", 0) == 0;
  EXPECT_EQ(tableLines, 2) << ::testing::PrintToString(lines);  // one of saved.a/saved.b, and saved.c
  EXPECT_TRUE(IndexOf(lines, "saved.a.v|1\n") != lines.size() || IndexOf(lines, "saved.b.v|1\n") != lines.size());
  EXPECT_NE(IndexOf(lines, "saved.c.[1]|(null)\n"), lines.size());
  EXPECT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
  EXPECT_EQ(CountLines("met again were not written again"), 1);

  // Nesting without end is cut at a fixed depth.
  Run("local t = {} gLSO.Global.deep = t  for i = 1, 200 do t.next = {} t = t.next end");
  m_Lines.clear();
  lines = Write({"deep"});
  EXPECT_EQ(lines.size(), 64u);
  EXPECT_EQ(CountLines("nested deeper than 64 levels were not written"), 1);
}

// Saved state over strings (separator and line breaks included), numbers,
// flags (1 and absent), nested and empty tables, arrays with holes and bit
// fields; checked after it was read back.
class ScriptStateRoundTripTest : public ScriptStateWriterTest {
protected:
  void MakeState() {
    Run("local s = {} gLSO.Global.saved = s"
        "  s.x = 3  s.half = 0.5  s.tenth = 0.1  s.zero = 0  s.neg = -2.25  s.big = 123456789"
        "  s.bTrue = 1  s.name = 'Ann'  s.odd = 'a|b\\nc\\rd\\1e'  s.mixed = '12abc'  s.empty = ''"
        "  s.pos = { y = 0.5, deep = { z = 'q', w = { } } }  s.list = { 'a', nil, 7 }  s.none = {}"
        "  s['with|bar'] = 'v'  s.bits = {}"
        "  gLSO.Global.player = { stats = { rank = 4, fTimePlayed = 12.5 } }");
    ASSERT_TRUE(vm.SetScriptTableBitfield(g, "saved.bits", 3, true));
    ASSERT_TRUE(vm.SetScriptTableBitfield(g, "saved.bits", 40, true));
  }
  void CheckState() {
    float f = 0;
    ASSERT_TRUE(g->GetTableValue("saved.tenth", f));
    EXPECT_EQ(f, 0.1f);
    ASSERT_TRUE(g->GetTableValue("saved.neg", f));
    EXPECT_EQ(f, -2.25f);
    int i = 0;
    ASSERT_TRUE(g->GetTableValue("saved.big", i));
    EXPECT_EQ(i, 123456792);  // the nearest single-precision value, as stored
    ASSERT_TRUE(g->GetTableValue("saved.bTrue", i));
    EXPECT_EQ(i, 1);
    ASSERT_TRUE(g->GetTableValue("saved.zero", i));
    EXPECT_EQ(i, 0);
    ASSERT_TRUE(g->GetTableValue("player.stats.rank", i));
    EXPECT_EQ(i, 4);
    const char* s = nullptr;
    ASSERT_TRUE(g->GetTableValue("saved.odd", s));
    EXPECT_STREQ(s, "a|b\nc\rd\001e");
    ASSERT_TRUE(g->GetTableValue("saved.mixed", s));
    EXPECT_STREQ(s, "12abc");
    ASSERT_TRUE(g->GetTableValue("saved.empty", s));
    EXPECT_STREQ(s, "");
    ASSERT_TRUE(g->GetTableValue("saved.with|bar", s));
    EXPECT_STREQ(s, "v");
    ASSERT_TRUE(g->GetTableValue("saved.pos.deep.z", s));
    EXPECT_STREQ(s, "q");
    EXPECT_EQ(Num("type(gLSO.Global.saved.pos.deep.w) == 'table' and type(gLSO.Global.saved.none) == 'table'"
                  " and 1 or 0"),
              1.0f);
    EXPECT_EQ(Num("gLSO.Global.saved.list[2] == nil and gLSO.Global.saved.list[3] == 7 and 1 or 0"), 1.0f);
    EXPECT_EQ(Num("gLSO.Global.saved.junk == nil and 1 or 0"), 1.0f);
    EXPECT_TRUE(vm.GetScriptTableBitfield(g, "saved.bits", 3));
    EXPECT_TRUE(vm.GetScriptTableBitfield(g, "saved.bits", 40));
    EXPECT_FALSE(vm.GetScriptTableBitfield(g, "saved.bits", 4));
  }
};

TEST_F(ScriptStateRoundTripTest, ReadBackThroughTheAccessOperationsGivesTheSameTablesAndValues) {
  MakeState();
  std::vector<std::string> first = Write({"player.stats", "saved"});
  // The save code empties the listed tables before it reads.
  Run("gLSO.Global.saved = {}  gLSO.Global.player.stats = {}");
  Read(first);
  if (HasFailure()) return;
  EXPECT_EQ(Sorted(Write({"player.stats", "saved"})), Sorted(first));
  CheckState();
}

TEST_F(ScriptStateRoundTripTest, ReadBackThroughTheSaveCodeGivesTheSameTablesAndValues) {
  MakeState();
  ELoadSaveGame saves;
  saves.Startup();
  std::vector<std::string> names;
  for (POSITION pos = saves.GetSavedTableList().GetHeadPosition(); pos;) {
    names.push_back(saves.GetSavedTableList().GetNext(pos));
  }
  ASSERT_EQ(names, (std::vector<std::string>{"player.stats", "saved"}));
  std::vector<std::string> first = Write(names);
  EString text;
  for (const std::string& line : first) text += line.c_str();

  Run("gLSO.Global.saved = { junk = 1 }  gLSO.Global.player.stats = { rank = 9 }");
  saves.LoadLuaSaveableStateFromString(text);
  EXPECT_EQ(Sorted(Write(names)), Sorted(first));
  CheckState();
  EXPECT_EQ(Num("gLSO.Global.player.saved == gLSO.Global.saved and 1 or 0"), 1.0f);
  saves.Shutdown();
}
