#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

namespace {

using namespace iaudtest;

struct BankRemover {
  void operator()(IAUDContentObject* o) const { o->RemoveObject(); }
};
using BankPtr = std::unique_ptr<IAUDContentBank, BankRemover>;

SIndexEntry Entry(const std::string& title, uint32_t index, uint32_t type = IAUDFourCC("sqob")) {
  SIndexEntry e;
  memset(&e, 0, sizeof(e));
  for (size_t i = 0; i < title.size() && i < 127; ++i) e.wszTitle[i] = (uint8_t)title[i];
  e.dwType = type;
  e.dwResourceIndex = index;
  return e;
}

std::string Title(int i) {
  char buf[16];
  snprintf(buf, sizeof(buf), "t%03d", i);
  return buf;
}

// The index as one list of titles per page.
std::vector<std::vector<std::string>> Pages(const IAUDContentBank& bank) {
  std::vector<std::vector<std::string>> out;
  for (const SIndexPage* p = bank.GetFirstIndexPage(); p; p = p->pNext) {
    out.emplace_back();
    for (uint32_t i = 0; i < p->dwCount; ++i) out.back().push_back(Narrow(p->entries[i].wszTitle));
  }
  return out;
}

int64_t Found(IAUDContentBank& bank, const std::string& title) {
  uint32_t type = 1, index = 1;
  std::u16string t = U16(title.c_str());
  if (!bank.FindContentObjectByName(W(t), &type, &index)) {
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(index, 0x80000000u);
    return -1;
  }
  return index;
}

// Parses the file as the loader does and completes the bank.
BankPtr Parse(const std::string& path) {
  BankPtr bank(new IAUDContentBank());
  FILE* f = fopen(path.c_str(), "rb");
  if (f) {
    bank->ParseFile(f);
    fclose(f);
  }
  bank->ProcessUnArchivedObject();
  return bank;
}

// mkriff lines of one stored index entry.
std::string EntryLine(const std::string& title, uint32_t index) {
  return "text:128 \"" + title + "\" fourcc tran u32 " + std::to_string(index) + " ";
}

TEST(IAUDContentBankIndex, PagesOfFiftyPushDownInOrder) {
  BankPtr bank(new IAUDContentBank());
  for (int i = 1; i <= 51; ++i) {
    SIndexEntry e = Entry(Title(i), (uint32_t)i);
    bank->AddIndexEntry(&e);
  }
  auto pages = Pages(*bank);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].size(), 50u);
  EXPECT_EQ(pages[1], std::vector<std::string>{"t051"});

  SIndexEntry first = Entry("t000", 0);
  bank->AddIndexEntry(&first);
  pages = Pages(*bank);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].front(), "t000");
  EXPECT_EQ(pages[0].back(), "t049");
  EXPECT_EQ(pages[1], (std::vector<std::string>{"t050", "t051"}));
  for (int i = 0; i <= 51; ++i) EXPECT_EQ(Found(*bank, Title(i)), i) << Title(i);
  EXPECT_EQ(Found(*bank, "t052"), -1);
  EXPECT_EQ(Found(*bank, "T001"), -1);  // case matters
}

TEST(IAUDContentBankIndex, OrderByUnitValuePrefixFirstEqualTitlesInInsertionOrder) {
  BankPtr bank(new IAUDContentBank());
  const std::pair<const char*, uint32_t> adds[] = {{"ab", 1}, {"a", 2}, {"a?", 5}, {"B", 3}, {"ab", 4}};
  for (auto& a : adds) {
    SIndexEntry e = Entry(a.first, a.second);
    if (a.second == 5) e.wszTitle[1] = 0x8000;  // a unit above 0x7FFF sorts after 'b'
    bank->AddIndexEntry(&e);
  }
  auto pages = Pages(*bank);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].size(), 5u);
  pages[0].pop_back();
  EXPECT_EQ(pages[0], (std::vector<std::string>{"B", "a", "ab", "ab"}));
  EXPECT_EQ(bank->GetFirstIndexPage()->entries[4].wszTitle[1], 0x8000);
  EXPECT_EQ(Found(*bank, "ab"), 1);
  std::u16string ab = U16("ab");
  bank->RemoveIndexEntry(W(ab));
  EXPECT_EQ(Found(*bank, "ab"), 4);
  bank->RemoveIndexEntry(W(ab));
  EXPECT_EQ(Found(*bank, "ab"), -1);
  EXPECT_EQ(Found(*bank, "A"), -1);
}

// A stored index may be out of order; what the lookup finds, removal takes
// away (removing an object's title looped for ever when the two disagreed).
TEST(IAUDContentBankIndex, RemovalTakesWhatTheLookupFindsInAnUnorderedPage) {
  BankPtr bank(new IAUDContentBank());
  for (const char* t : {"a", "b", "c"}) {
    SIndexEntry e = Entry(t, 1);
    bank->AddIndexEntry(&e);
  }
  // As a damaged "ctdx" chunk would store it.
  SIndexPage* page = const_cast<SIndexPage*>(bank->GetFirstIndexPage());
  std::swap(page->entries[1], page->entries[2]);  // a, c, b
  std::u16string b = U16("b");
  EXPECT_NE(Found(*bank, "b"), -1);
  EXPECT_TRUE(bank->RemoveIndexEntry(W(b)));
  EXPECT_EQ(Found(*bank, "b"), -1);
  EXPECT_FALSE(bank->RemoveIndexEntry(W(b)));
  EXPECT_EQ(Pages(*bank)[0], (std::vector<std::string>{"a", "c"}));
}

TEST(IAUDContentBankIndex, AnEmptiedPageStaysAndTakesTheNextFittingEntry) {
  BankPtr bank(new IAUDContentBank());
  for (int i = 1; i <= 51; ++i) {
    SIndexEntry e = Entry(Title(i), (uint32_t)i);
    bank->AddIndexEntry(&e);
  }
  std::u16string last = U16("t051");
  bank->RemoveIndexEntry(W(last));
  auto pages = Pages(*bank);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_TRUE(pages[1].empty());
  SIndexEntry e = Entry("t060", 60);
  bank->AddIndexEntry(&e);
  pages = Pages(*bank);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1], std::vector<std::string>{"t060"});
  EXPECT_EQ(Found(*bank, "t060"), 60);
}

TEST(IAUDContentBankIndex, StoredPagesAreKeptAndOverfullPagesSpread) {
  TempDir dir;
  std::string desc = "RIFF icbf\n  chunk ctdx u32 60 ";
  for (int i = 0; i < 60; ++i) desc += EntryLine(Title(i), (uint32_t)i);
  desc += "u32 1 " + EntryLine("zz", 99) + "\nend\n";
  std::string path = MakeRiff(dir, "overfull", desc);
  ASSERT_FALSE(path.empty());
  BankPtr bank = Parse(path);
  auto pages = Pages(*bank);
  ASSERT_EQ(pages.size(), 3u);
  EXPECT_EQ(pages[0].size(), 50u);
  EXPECT_EQ(pages[1].size(), 10u);
  EXPECT_EQ(pages[2], std::vector<std::string>{"zz"});
  EXPECT_EQ(Found(*bank, "t055"), 55);
  EXPECT_EQ(Found(*bank, "zz"), 99);

  // The written index gives back the same pages.
  BankPtr again(SaveAndReload(bank.get(), dir, "again.icb"));
  EXPECT_EQ(Pages(*again), pages);
}

TEST(IAUDContentBankIndex, CountsBeyondTheChunkAreRefused) {
  TempDir dir;
  const std::string cases[] = {
      "chunk ctdx u32 1 " + EntryLine("ok", 1) + "u32 2 " + EntryLine("cut", 2),
      "chunk ctdx u32 1 " + EntryLine("ok", 1) + "u32 0xFFFFFFFF",
      "chunk ctdx size=100 u32 1 " + EntryLine("ok", 1),
  };
  int n = 0;
  for (const std::string& c : cases) {
    std::string path = MakeRiff(dir, "bad" + std::to_string(n++), "RIFF icbf\n" + c + "\nend\n");
    ASSERT_FALSE(path.empty());
    BankPtr bank = Parse(path);
    EXPECT_EQ(Found(*bank, "cut"), -1) << c;
    EXPECT_LE(Pages(*bank).size(), 1u) << c;
  }
}

TEST(IAUDContentBankIndex, ObdxRebuildsTheIndexFromTheObjects) {
  TempDir dir;
  const std::string body = "  chunk ctdx u32 1 " + EntryLine("Old", 1) + R"(
  LIST tran
    chunk titl text "Zed"
    chunk indx u32 4
  end
)";
  std::string stored = MakeRiff(dir, "stored", "RIFF icbf\n" + body + "end\n");
  std::string rebuilt = MakeRiff(dir, "rebuilt", "RIFF icbf\n  chunk obdx\n" + body + "end\n");
  ASSERT_FALSE(stored.empty());
  ASSERT_FALSE(rebuilt.empty());
  {
    BankPtr bank = Parse(stored);
    EXPECT_EQ(Found(*bank, "Old"), 1);
    EXPECT_EQ(Found(*bank, "Zed"), -1);
  }
  BankPtr bank = Parse(rebuilt);
  uint32_t type = 0, index = 0;
  std::u16string zed = U16("Zed");
  ASSERT_TRUE(bank->FindContentObjectByName(W(zed), &type, &index));
  EXPECT_EQ(type, IAUDFourCC("tran"));
  EXPECT_EQ(index, 4u);
  EXPECT_EQ(Found(*bank, "Old"), 1);
}

TEST(IAUDContentBank, FileOfAnotherFormLoadsNothing) {
  TempDir dir;
  std::string path = MakeRiff(dir, "other", "RIFF isbf\n  chunk ctdx u32 1 " + EntryLine("x", 1) + "\nend\n");
  ASSERT_FALSE(path.empty());
  BankPtr bank = Parse(path);
  EXPECT_TRUE(Pages(*bank).empty());
}

TEST(IAUDContentBank, SlotsAndFindContent) {
  BankPtr bank(new IAUDContentBank());
  CPath* path = static_cast<CPath*>(bank->CreateContentObject(IAUDFourCC("path")));
  ASSERT_NE(path, nullptr);
  bank->LinkObject(path);
  bank->AddPath(path, 5);
  EXPECT_EQ(path->GetResourceIndex(), 5u);
  for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(bank->GetPath(i), nullptr);
  EXPECT_EQ(bank->GetBankContentSlotCount(IAUDFourCC("path")), 6);
  EXPECT_EQ(bank->GetBankContentSlotCount(IAUDFourCC("xxxx")), 0);
  EXPECT_EQ(bank->FindContent(path), IAUDFourCC("path"));
  EXPECT_EQ(bank->FindContent(nullptr), 0u);
  bank->NullOutPath(5);
  EXPECT_EQ(bank->GetBankContentSlotCount(IAUDFourCC("path")), 0);
  EXPECT_EQ(bank->FindContent(path), 0u);
}

TEST(IAUDContentBank, ReferencesAndTheBankList) {
  BankPtr a(new IAUDContentBank()), b(new IAUDContentBank()), c(new IAUDContentBank());
  EXPECT_EQ(a->RemoveContentBankReference(), 0);
  EXPECT_EQ(a->AddContentBankReference(), 1);
  EXPECT_EQ(a->AddContentBankReference(), 2);
  EXPECT_EQ(a->RemoveContentBankReference(), 1);
  EXPECT_EQ(a->GetContentBankReference(), 1);

  ASSERT_EQ(IAUDResourceManager::m_pContentBanks, nullptr);
  a->ProcessUnArchivedObject();
  b->ProcessUnArchivedObject();
  c->ProcessUnArchivedObject();
  a->ProcessUnArchivedObject();  // already listed: stays where it is
  EXPECT_EQ(IAUDResourceManager::m_pContentBanks, a.get());
  EXPECT_EQ(a->GetPostContentBank(), b.get());
  EXPECT_EQ(b->GetPostContentBank(), c.get());
  EXPECT_EQ(c->GetPostContentBank(), nullptr);
  b.reset();
  EXPECT_EQ(a->GetPostContentBank(), c.get());
  a.reset();
  EXPECT_EQ(IAUDResourceManager::m_pContentBanks, c.get());
  c.reset();
  EXPECT_EQ(IAUDResourceManager::m_pContentBanks, nullptr);
}

const char* const kGlobalVars = R"(
RIFF icbf
  chunk secg u32 2 text:32 "Weather" u32 3 text:32 "Sun" text:32 "Rain" text:32 "Snow" u32 1 text:32 "Mood" u32 1 text:32 "Calm" u32 0
end
)";

TEST(IAUDContentBankGlobals, ReadQueryAndSet) {
  TempDir dir;
  std::string path = MakeRiff(dir, "vars", kGlobalVars);
  ASSERT_FALSE(path.empty());
  BankPtr bank = Parse(path);
  ASSERT_EQ(bank->GetNumGlobalVars(), 2u);
  EXPECT_EQ(bank->GetNumGlobalVarStates(0), 3);
  EXPECT_EQ(bank->GetNumGlobalVarStates(2), -1);
  uint16_t buf[8];
  memset(buf, 0xFF, sizeof(buf));
  ASSERT_NE(bank->GetGlobalVarName(1, buf, 8), nullptr);
  EXPECT_EQ(Narrow(buf), "Mood");
  for (int i = 4; i < 8; ++i) EXPECT_EQ(buf[i], 0);
  uint16_t small[3];
  ASSERT_NE(bank->GetGlobalVarStateName(0, 2, small, 3), nullptr);
  EXPECT_EQ(small[0], 'S');
  EXPECT_EQ(small[2], 'o');  // filled, not terminated
  EXPECT_EQ(bank->GetGlobalVarStateName(0, 3, buf, 8), nullptr);
  EXPECT_EQ(bank->GetGlobalVarName(2, buf, 8), nullptr);

  std::u16string weather = U16("Weather"), snow = U16("Snow"), hail = U16("Hail"), weath = U16("Weath");
  EXPECT_EQ(bank->GetGlobalVarState(W(weather)), 1);
  EXPECT_EQ(bank->GetGlobalVarState(W(weath)), -1);
  EXPECT_TRUE(bank->SetGlobalVarState(W(weather), W(snow)));
  EXPECT_EQ(bank->GetGlobalVarState(0u), 2);
  EXPECT_FALSE(bank->SetGlobalVarState(W(weather), W(hail)));
  EXPECT_TRUE(bank->SetGlobalVarState(0u, 2u));
  EXPECT_FALSE(bank->SetGlobalVarState(0u, 3u));
  EXPECT_FALSE(bank->SetGlobalVarState(2u, 0u));
  EXPECT_EQ(bank->GetGlobalVarState(5u), -1);
  bank->ResetEntityGlobalVars();
  EXPECT_EQ(bank->GetGlobalVarState(0u), 1);
}

TEST(IAUDContentBankGlobals, DamagedVariablesAreRefusedWhole) {
  TempDir dir;
  const char* const cases[] = {
      // The second variable's states run past the chunk.
      "chunk secg u32 2 text:32 \"A\" u32 1 text:32 \"x\" u32 0 text:32 \"B\" u32 1000 text:32 \"y\" u32 0",
      // More variables than the chunk holds.
      "chunk secg u32 0xFFFFFFFF text:32 \"A\" u32 0 u32 0",
      // A variable cut before its initial state.
      "chunk secg u32 1 text:32 \"A\" u32 1 text:32 \"x\"",
  };
  int n = 0;
  for (const char* c : cases) {
    std::string path = MakeRiff(dir, "secg" + std::to_string(n++), std::string("RIFF icbf\n") + c + "\nend\n");
    ASSERT_FALSE(path.empty());
    BankPtr bank = Parse(path);
    EXPECT_EQ(bank->GetNumGlobalVars(), 0u) << c;
  }
}

}  // namespace
