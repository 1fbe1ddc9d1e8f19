#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptVM/ScriptVM.h"
#include "TWUtil/ErrorManager.h"
#include "TWUtil/String.h"
#include "VERirezo/FreezeManager.h"

namespace {

std::vector<std::string>* s_pFreezeLines = nullptr;
void FreezeCapture(const char* text) {
  if (s_pFreezeLines) s_pFreezeLines->push_back(text ? text : "");
}

TEST(FreezeManager, AFullRecordBlockRefusesTheObjectAndLeavesItsTextToTheCaller) {
  ASSERT_EQ(EScriptVM::m_spScriptVM, nullptr);
  std::vector<std::string> lines;
  s_pFreezeLines = &lines;
  g_ErrorManager.SetConsoleCallback(FreezeCapture);
  {
    EFreezeManager fm;
    for (int i = 0; i < EFreezeManager::kMaxRecords; ++i) {
      char* p = nullptr;
      ASSERT_EQ(fm.AddEntity("a.Prop", p, nullptr, EVec3((float)i, 0, 0), EQuat()), (uint16_t)i);
    }
    char* szText = StringDuplicatePooled("x = 1", kMEMTYPE_String);
    EXPECT_EQ(fm.AddEntity("a.Prop", szText, nullptr, EVec3(0, 0, 0), EQuat()), EFreezeManager::kInvalidHandle);
    ASSERT_NE(szText, nullptr);
    StringFreePooled(szText, kMEMTYPE_String);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("a.Prop not added"), std::string::npos) << lines[0];
    int t, n;
    fm.GetStats(t, n);
    EXPECT_EQ(n, EFreezeManager::kMaxRecords);
    // the next record takes the slot that a level reset frees
    fm.LevelReset();
    char* p = nullptr;
    EXPECT_EQ(fm.AddEntity("b", p, nullptr, EVec3(0, 0, 0), EQuat()), 0);
    EXPECT_EQ(fm.GetRecord(0)->m_uIndex, 0);
  }
  g_ErrorManager.SetConsoleCallback(nullptr);
  s_pFreezeLines = nullptr;
}

TEST(FreezeManager, WithoutAScriptHostNothingThawsAndRecordsStayFrozen) {
  EFreezeManager fm;
  char* szText = StringDuplicatePooled("x = 1", kMEMTYPE_String);
  uint16_t h = fm.AddEntity("a.Prop", szText, nullptr, EVec3(1, 0, 0), EQuat());
  EXPECT_EQ(szText, nullptr);
  EXPECT_EQ(fm.CreateEntity(h), nullptr);
  fm.ProcessFrameAt(0.1f, EVec3(0, 0, 0));
  ASSERT_NE(fm.GetRecord(h), nullptr);
  EXPECT_EQ(fm.GetRecord(h)->GetState(), kFS_InitialFrozen);
  EXPECT_STREQ(fm.GetRecord(h)->m_szText, "x = 1");
  EXPECT_EQ(fm.GetRecord(h)->m_fDistSq, 1.0f);
  EXPECT_EQ(fm.GetClassInfo("a.Prop"), 0);
  EXPECT_EQ(fm.GetClassInfo("b.Other"), 1);
}

}  // namespace
