// Action tables: the ".asd" reader, links, items and their script bodies,
// damaged files and preloading.

#include <gtest/gtest.h>

#include <string>

#include "AnimTestUtil.h"
#include "Lua/lua.h"
#include "ScriptVM/ScriptVM.h"
#include "TWUtil/EFile.h"
#include "VERirezo/ActionTable.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/SkelAnim.h"

namespace {

// A header of the given states, each unlocked unless its flag is given.
std::string Header(std::initializer_list<std::pair<const char*, const char*>> states) {
  std::string s = "ActionFile\n";
  for (const auto& st : states) s += std::string(st.first) + "\n" + st.second + "\n";
  return s + "[EndHeaders]\n";
}

}  // namespace

class ActionTableTest : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    for (int i = 0; i < 2; ++i) {
      m_abTraces[i] = g_ErrorManager.IsEnabled(kTYPES[i]);
      g_ErrorManager.SetEnabled(kTYPES[i], true);
    }
  }
  void TearDown() override {
    if (EAnimManager::IsCreated()) EAnimManager::Destroy();
    for (int i = 0; i < 2; ++i) g_ErrorManager.SetEnabled(kTYPES[i], m_abTraces[i]);
    AnimTest::TearDown();
  }
  bool Read(EActionTable& table, const std::string& text) {
    EMemFile file;
    file.Open(const_cast<char*>(text.data()), (unsigned)text.size(), false, false);
    return table.ReadActionTable(file);
  }
  int Index(EActionTable& t, int from, int to) {
    EActionListItem* p = t.GetEntry(from, to);
    return p ? t.GetItemIndex(p) : -1;
  }

  static constexpr TRACETYPE kTYPES[2] = {TT_None, TT_Warning};
  bool m_abTraces[2] = {false, false};
};

TEST_F(ActionTableTest, ReadsStatesTransitionsAndItems) {
  const std::string text = Header({{"_Begin", "0"}, {"Walk", "1"}, {"Idle", "yes"}, {"_End", "true"}}) +
                           "[0,1]\n"
                           "1 \"Anims\\Walk.jan\" 0.25 0 1 3\n"
                           "2 Idle\n"
                           "[1,2]\n"
                           "1 \"a.jan\" 0.1 255 0 9\n"
                           "1 \"b.jan\" 0.3 4\n"
                           "04\n"
                           "6 7 -2 3 1.5 2.5\n"
                           "7 \"c.jan\" 1.75\n"
                           "[3,1]\n"
                           "[End]\n";
  EActionTable t;
  ASSERT_TRUE(Read(t, text)) << AllLines();
  ASSERT_EQ(4, t.GetNumStates());
  EXPECT_EQ(0, t.GetBeginState());
  EXPECT_EQ(3, t.GetEndState());
  EXPECT_FALSE(t.GetState(0)->m_bLocked);
  EXPECT_TRUE(t.GetState(1)->m_bLocked);
  EXPECT_FALSE(t.GetState(2)->m_bLocked);
  EXPECT_STREQ("Idle", t.GetStateName(2));
  EXPECT_EQ(nullptr, t.GetStateName(4));
  EXPECT_EQ(nullptr, t.GetState(-1));
  EXPECT_EQ(-1, t.GetStateIndex("idle"));

  EActionListItem* p = t.GetBeginStateEntry(1);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(kACTION_Anim, p[0].m_iKind);
  EXPECT_STREQ("Anims\\Walk.jan", p[0].m_Anim.m_szFile);
  EXPECT_FLOAT_EQ(0.25f, p[0].m_Anim.m_fBlendTime);
  EXPECT_EQ(0, p[0].m_Anim.m_uOptions);
  EXPECT_EQ(3, p[0].m_Anim.m_iPriority);
  EXPECT_EQ(kACTION_Goto, p[1].m_iKind);
  EXPECT_EQ(2, p[1].m_Goto.m_uTarget);
  EXPECT_EQ(kACTION_End, p[2].m_iKind);

  p = t.GetEntry(1, 2);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(0x7F, p[0].m_Anim.m_uOptions);
  EXPECT_EQ(0, p[0].m_Anim.m_iPriority);  // switch 0
  EXPECT_EQ(4, p[1].m_Anim.m_uOptions);
  EXPECT_EQ(0, p[1].m_Anim.m_iPriority);  // no third number
  EXPECT_EQ(kACTION_Yield, p[2].m_iKind);
  EXPECT_EQ(kACTION_Custom, p[3].m_iKind);
  EXPECT_EQ(7, p[3].m_Custom.m_iCustomKind);
  EXPECT_EQ(-2, p[3].m_Custom.m_iArg);
  EXPECT_EQ(3, p[3].m_Custom.m_iArg2);
  EXPECT_FLOAT_EQ(1.5f, p[3].m_Custom.m_fWait);
  EXPECT_FLOAT_EQ(2.5f, p[3].m_Custom.m_fValue2);
  EXPECT_EQ(kACTION_Preload, p[4].m_iKind);
  EXPECT_STREQ("c.jan", p[4].m_Preload.m_szFile);
  EXPECT_FLOAT_EQ(1.75f, p[4].m_Preload.m_fBias);
  EXPECT_EQ(kACTION_End, p[5].m_iKind);

  // An empty list is an end item of its own; missing pairs have nothing.
  p = t.GetEndStateEntry(1);
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(kACTION_End, p->m_iKind);
  EXPECT_EQ(nullptr, t.GetEntry(2, 1));
  EXPECT_EQ(nullptr, t.GetEntry(0, 9));
  EXPECT_EQ(nullptr, t.GetEntry(-1, 0));
}

TEST_F(ActionTableTest, LineEndsBlankLinesAndFirstLine) {
  EActionTable t;
  EXPECT_TRUE(Read(t, "ActionFile\r\n\r\n\nA\r\n1\n\n[EndHeaders]\r\r[0,0]\r\n4\r\n[End]"));
  ASSERT_EQ(1, t.GetNumStates());
  EXPECT_TRUE(t.GetState(0)->m_bLocked);
  ASSERT_NE(nullptr, t.GetEntry(0, 0));
  EXPECT_EQ(kACTION_Yield, t.GetEntry(0, 0)->m_iKind);
  EXPECT_EQ(-1, t.GetBeginState());
  EXPECT_EQ(nullptr, t.GetBeginStateEntry(0));
  EXPECT_EQ(nullptr, t.GetEndStateEntry(0));

  for (const char* bad : {"ActionFile \n[EndHeaders]\n[End]\n", "\nActionFile\n[EndHeaders]\n[End]\n", "", "Action"}) {
    m_Lines.clear();
    EXPECT_FALSE(Read(t, bad)) << bad;
    EXPECT_EQ(1, CountLines("Not a valid action file")) << bad;
    EXPECT_EQ(0, t.GetNumStates());
  }
}

TEST_F(ActionTableTest, LongFlagLineSpillsIntoTheNextName) {
  EActionTable t;
  ASSERT_TRUE(Read(t, "ActionFile\nA\n123456789XNext\n0\n[EndHeaders]\n[End]\n")) << AllLines();
  ASSERT_EQ(2, t.GetNumStates());
  EXPECT_TRUE(t.GetState(0)->m_bLocked);
  EXPECT_STREQ("Next", t.GetStateName(1));
  EXPECT_EQ(1, CountLines("ReadLine: Line too long:\n123456789"));

  // A state name line of 300 characters loses its 300th and goes on.
  m_Lines.clear();
  const std::string name(299, 'n');
  ASSERT_TRUE(Read(t, "ActionFile\n" + name + "X1\n[EndHeaders]\n[End]\n")) << AllLines();
  ASSERT_EQ(1, t.GetNumStates());
  EXPECT_EQ(name, t.GetStateName(0));
  EXPECT_TRUE(t.GetState(0)->m_bLocked);
  EXPECT_EQ(1, CountLines("ReadLine: Line too long"));
}

TEST_F(ActionTableTest, LinksResolveThroughChains) {
  const std::string text = Header({{"A", "0"}, {"B", "0"}, {"C", "0"}}) +
                           "[0,1]\nLinked 1,2\n"
                           "[1,2]\nLinked 2,0\n"
                           "[2,0]\n4\n"
                           "[0,2]\nLinked 2,2\n"
                           "[0,0]\n4\n"
                           "[0,0]\n1 \"x.jan\" 0.5 0\n"
                           "[1,0]\nLinked 1,1\n[1,1]\nLinked 1,0\n"
                           "[End]\n";
  EActionTable t;
  ASSERT_TRUE(Read(t, text));
  EXPECT_EQ(0, Index(t, 2, 0));
  EXPECT_EQ(0, Index(t, 1, 2));
  EXPECT_EQ(0, Index(t, 0, 1));
  // A link to a pair without a transition, and a cycle of links, lead nowhere.
  EXPECT_EQ(-1, Index(t, 0, 2));
  EXPECT_EQ(-1, Index(t, 1, 0));
  EXPECT_EQ(-1, Index(t, 1, 1));
  EXPECT_EQ(3, CountLines("Error: linking to nonexistent transition"));
  // A transition given twice keeps its second list; both stay in the items.
  EXPECT_EQ(4, Index(t, 0, 0));
  EXPECT_EQ(6, t.GetNumItems());
}

TEST_F(ActionTableTest, PhysicsFlagItems) {
  struct Case {
    const char* szLine;
    int32_t iStateFlag;
    uint32_t uMask;
    uint8_t bIsState, uValue, uAssert;
  } cases[] = {
      {"5 COLLIDER 1", -1, 2, 0, 1, 0},
      {"5 Hanging 0 1", 6, 0, 1, 0, 1},
      {"05 applygravity 257 0x102", -1, 8, 0, 1, 2},
      {"5 KEEPBASE 1 0", 58, 0, 1, 1, 0},
      {" 5 ladderMountTop 1", 34, 0, 1, 1, 0},
  };
  for (const Case& c : cases) {
    EActionTable t;
    ASSERT_TRUE(Read(t, Header({{"A", "0"}}) + "[0,0]\n" + c.szLine + "\n[End]\n")) << c.szLine;
    const EActionListItem& item = t.GetItem(0);
    ASSERT_EQ(kACTION_PhysicsFlag, item.m_iKind) << c.szLine;
    EXPECT_EQ(c.iStateFlag, item.m_Flag.m_iStateFlag) << c.szLine;
    EXPECT_EQ(c.uMask, item.m_Flag.m_uMask) << c.szLine;
    EXPECT_EQ(c.bIsState, item.m_Flag.m_bIsStateFlag) << c.szLine;
    EXPECT_EQ(c.uValue, item.m_Flag.m_uValue) << c.szLine;
    EXPECT_EQ(c.uAssert, item.m_Flag.m_uAssert) << c.szLine;
  }
}

TEST_F(ActionTableTest, BadItemLinesBecomeEmptyItems) {
  const char* bad[] = {
      "5 FLYING 1",            // unknown flag
      "5 COLLIDER",            // no value
      "1 \"open.jan 0.5 0",    // no closing quote
      "1 \"a.jan\" 0.5",       // one number
      "1 a.jan 0.5 0",         // no quote
      "7 \"a.jan\"",           // no bias
      "6",                     // no custom kind
      "8",                     // kind 8 and above
      "12 x",                  // two digits
      "xx",                    // no digit
      "0",                     // kind 0
  };
  for (const char* line : bad) {
    m_Lines.clear();
    EActionTable t;
    ASSERT_TRUE(Read(t, Header({{"A", "0"}}) + "[0,0]\n" + line + "\n4\n[End]\n")) << line;
    ASSERT_EQ(3, t.GetNumItems()) << line;
    EXPECT_EQ(kACTION_Empty, t.GetItem(0).m_iKind) << line;
    EXPECT_EQ(-1, t.GetItem(0).m_iWord) << line;
    EXPECT_EQ(kACTION_Yield, t.GetItem(1).m_iKind) << line;
    EXPECT_EQ(1, CountLines(std::string("Action table: Bad command ") + line)) << line << AllLines();
  }
}

TEST_F(ActionTableTest, DamagedFilesAreRefusedWhole) {
  const std::string head = Header({{"A", "0"}, {"B", "0"}});
  struct Case {
    std::string text;
    const char* szTrace;
  } cases[] = {
      {"ActionFile\nA\n0\n", "the file ends inside the header"},
      {"ActionFile\nA\n", "the file ends inside the header"},
      {head, "the file ends before [End]"},
      {head + "[0,1]\n4\n", "the file ends inside a transition"},
      {head + "[0,1]\n3\nreturn 1\n", "the file ends inside a script body"},
      {head + "[0;1]\n4\n[End]\n", "false"},
      {head + "[2,0]\n4\n[End]\n", "dwSrc < m_aState.Num()"},
      {head + "[0,2]\n4\n[End]\n", "dwDst < m_aState.Num()"},
      {head + "[0,1]\nLinked 1\n[End]\n", "false"},
      {head + "[0,1]\nLinked 5,0\n[End]\n", "iTargetSrc < m_aState.Num()"},
      {head + "[0,1]\nLinked 0,5\n[End]\n", "iTargetDst < m_aState.Num()"},
      {head + "[0,1]\n2 a\n[End]\n", "m_iGotoTarget != INVALID_ACTION_STATE"},
      {head + "[0,1]\n2\n[End]\n", "m_iGotoTarget != INVALID_ACTION_STATE"},
      {head + "[0,1]\n[LUAEND]\n[End]\n", "false"},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    EActionTable t;
    EXPECT_FALSE(Read(t, c.text)) << c.text;
    EXPECT_EQ(1, CountLines(std::string("Action table refused: ") + c.szTrace)) << c.text << AllLines();
    EXPECT_EQ(0, t.GetNumStates());
    EXPECT_EQ(0, t.GetNumItems());
    EXPECT_EQ(nullptr, t.GetEntry(0, 1));
  }
}

TEST_F(ActionTableTest, TooManyLinksAndItemsAreRefused) {
  std::string links = Header({{"A", "0"}});
  for (int i = 0; i < 0x7FFF + 1; ++i) links += "[0,0]\nLinked 0,0\n";
  EActionTable t;
  EXPECT_FALSE(Read(t, links + "[End]\n"));
  EXPECT_EQ(1, CountLines("dwFixupIdx < MAX_ITEM_INDEX"));

  std::string items = Header({{"A", "0"}}) + "[0,0]\n";
  for (int i = 0; i < 0x7FFF; ++i) items += "4\n";
  EXPECT_FALSE(Read(t, items + "[0,0]\n4\n[End]\n"));
  EXPECT_EQ(1, CountLines("dwCurIdx < MAX_ITEM_INDEX"));
}

TEST_F(ActionTableTest, ScriptBodiesBecomeFunctionsOfSelf) {
  EScriptVM vm;
  ASSERT_NE(nullptr, vm.Initialise());
  lua_State* L = vm.GetGlobalState();
  const std::string text = Header({{"A", "0"}}) +
                           "[0,0]\n"
                           "3\n"
                           "self.hits = (self.hits or 0) + 1\n"
                           "[LUAEND] anything\n"
                           "3\n"
                           "this is not lua\n"
                           "[LUAEND]\n"
                           "4\n"
                           "[End]\n";
  int iRef = -1;
  {
    EActionTable t;
    ASSERT_TRUE(Read(t, text)) << AllLines();
    ASSERT_EQ(4, t.GetNumItems());
    const EActionListItem& item = t.GetItem(0);
    ASSERT_EQ(kACTION_Lua, item.m_iKind);
    iRef = item.m_Lua.m_iRef;
    ASSERT_NE(-1, iRef);
    EXPECT_EQ(kACTION_Empty, t.GetItem(1).m_iKind);
    EXPECT_EQ(1, CountLines("ActionTable: Syntax error in lua function dummyActionTableCommand(self)\n\tthis is not lua"));
    EXPECT_EQ(kACTION_Yield, t.GetItem(2).m_iKind);

    lua_getglobal(L, "dummyActionTableCommand");
    EXPECT_EQ(LUA_TNIL, lua_type(L, -1));
    lua_settop(L, 0);
    ASSERT_EQ(1, lua_getref(L, iRef));
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_setglobal(L, "probe");
    EXPECT_EQ(0, lua_call(L, 1, 0));
    ASSERT_TRUE(vm.RunLuaCommands("result = probe.hits", nullptr, nullptr, 0));
    lua_getglobal(L, "result");
    EXPECT_EQ(1.0f, lua_tonumber(L, -1));
    lua_settop(L, 0);
  }
  // The table released its reference.
  EXPECT_EQ(0, lua_getref(L, iRef));
  lua_settop(L, 0);
  vm.Shutdown();
}

TEST_F(ActionTableTest, OversizedScriptBodyIsTracedAndItsRestReadAsItems) {
  EScriptVM vm;
  ASSERT_NE(nullptr, vm.Initialise());
  std::string body;
  for (int i = 0; i < 40; ++i) body += "x = 1 -- " + std::string(80, 'c') + "\n";
  EActionTable t;
  ASSERT_TRUE(Read(t, Header({{"A", "0"}}) + "[0,0]\n3\n" + body + "[0,0]\n4\n[End]\n")) << AllLines();
  EXPECT_EQ(1, CountLines("ActionTable: Lua command function dummyActionTableCommand"));
  EXPECT_EQ(kACTION_Empty, t.GetItem(0).m_iKind);
  // Lines after the cut become bad items, up to the next transition.
  EXPECT_EQ(kACTION_End, t.GetItem(t.GetNumItems() - 3).m_iKind);
  EXPECT_EQ(kACTION_Yield, t.GetEntry(0, 0)->m_iKind);
  vm.Shutdown();
}

TEST_F(ActionTableTest, PreloadAnimsInItemOrder) {
  ASSERT_TRUE(EAnimManager::Create(0));
  WriteBytes("anims/a.jan", Jan("version 201\nlength 4\njoint Hips 0\nrot 0: 0 0 0 1, 4: 0 0 0.6 0.8\n"));
  WriteBytes("anims/b.jan", Jan("version 201\nlength 2\njoint Hips 0\nrot 0: 0 0 0 1, 2: 0 0 0.6 0.8\n"));
  const std::string text = Header({{"A", "0"}}) +
                           "[0,0]\n"
                           "1 \"anims/missing2.jan\" 0.2 0\n"
                           "7 \"anims/a.jan\" 2.5\n"
                           "4\n"
                           "1 \"anims/b.jan\" 0.2 0\n"
                           "7 \"anims/missing1.jan\" 1\n"
                           "[End]\n";
  EActionTable t;
  ASSERT_TRUE(Read(t, text));
  m_Lines.clear();
  t.PreloadAnims();
  EAnimManager* pCache = EAnimManager::Get();
  EXPECT_EQ(2, pCache->GetNumAnims());
  ESkelAnimShared* a = pCache->Find("anims\\a.jan");
  ESkelAnimShared* b = pCache->Find("anims\\b.jan");
  ASSERT_NE(nullptr, a);
  ASSERT_NE(nullptr, b);
  EXPECT_FLOAT_EQ(2.5f, a->GetBias());
  EXPECT_FLOAT_EQ(1.0f, b->GetBias());
  EXPECT_EQ(0, a->GetRefCount());
  const std::string lines = AllLines();
  const size_t p2 = lines.find("missing2.jan"), p1 = lines.find("missing1.jan");
  ASSERT_NE(std::string::npos, p2) << lines;
  ASSERT_NE(std::string::npos, p1) << lines;
  EXPECT_LT(p2, p1);
}
