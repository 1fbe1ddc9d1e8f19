// Banks through the programming interface on the recording driver: project
// files, content banks and sample banks loaded, refused and replaced; content
// looked up across banks and walked; samples and their names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NonTW/IAUDEng/CGroup.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDInterface.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/tests/InterfaceTestSupport.h"
#include "NonTW/IAUDEng/tests/SampleTestSupport.h"

namespace {

using iaudtest::MakeRiff;
using iaudtest::Narrow;
using iaudtest::TempDir;
using iaudtest::W;

// A content bank of global effects, each "title" or "title@group", with its
// stored name index.
std::string EffectsBank(const std::string& title, const std::vector<std::string>& effects) {
  std::string d = "RIFF icbf\n  chunk titl text \"" + title + "\"\n";
  std::vector<std::pair<std::string, uint32_t>> entries;
  for (const std::string& e : effects) entries.emplace_back(e.substr(0, e.find('@')), (uint32_t)entries.size());
  d += "  " + interfacetest::EffectIndexChunk(entries);
  uint32_t index = 0;
  for (const std::string& e : effects) {
    size_t at = e.find('@');
    d += "  LIST gbef\n    chunk indx u32 " + std::to_string(index++) + "\n    chunk titl text \"" + e.substr(0, at) +
         "\"\n";
    if (at != std::string::npos) d += "    chunk isgn text \"" + e.substr(at + 1) + "\"\n";
    d += "  end\n";
  }
  return d + "end\n";
}

// A sample bank that does not stream, with 16-bit samples in the given slots.
std::string SampleBank(const std::string& title, const std::vector<std::pair<uint32_t, std::string>>& samples) {
  std::string d = "RIFF isbf\n  chunk titl text \"" + title + "\"\n  chunk stri u32 0\n";
  for (const auto& s : samples)
    d += "  LIST samp\n    chunk indx u32 " + std::to_string(s.first) + "\n    chunk titl text \"" + s.second +
         "\"\n    chunk sinf u32 0 0 22050 64 u16 16 0\n    chunk data file short.bin\n  end\n";
  return d + "end\n";
}

class InterfaceBankTest : public interfacetest::InterfaceTest {
 protected:
  void SetUp() override {
    InterfaceTest::SetUp();
    iaudtest::WriteFileBytes(dir / "short.bin", std::vector<uint8_t>(64, 7));
  }
  std::string Make(const std::string& name, const std::string& description) {
    std::string path = MakeRiff(dir, name, description);
    EXPECT_FALSE(path.empty()) << name;
    return path;
  }
  void* LoadBank(const std::string& path) {
    void* bank = nullptr;
    EXPECT_EQ(iface->LoadContentBank(&bank, path.c_str()), 0) << path;
    return bank;
  }
  void* Content(const char* name, void* bank) {
    void* content = nullptr;
    int32_t code = iface->GetContentHandle(&content, name, bank);
    return code == 0 ? content : nullptr;
  }
  std::string ContentName(void* content) {
    char name[129] = {};
    return iface->GetContentName(name, content) == 0 ? std::string(name) : std::string("?");
  }
  TempDir dir;
};

TEST_F(InterfaceBankTest, AProjectLoadsItsBanksAndAFailedLoadKeepsOrDropsAsItShould) {
  std::string effects = Make("effects", EffectsBank("Effects", {"Boom"}));
  std::string samples = Make("samples", SampleBank("Samples", {{0, "Tone"}}));
  std::string project = Make("project", "RIFF isac\n  chunk titl text \"Game\"\n  chunk icbr text \"" + effects +
                                            "\"\n  chunk isbr u32 5 text \"" + samples + "\"\nend\n");
  ASSERT_EQ(iface->LoadFile(project.c_str()), 0);
  IAUDFileObject* loaded = IAUDResourceManager::GetFileObject();
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(Content("Boom", IAUDAllContentBanks()), nullptr);
  uint32_t slot = 0;
  EXPECT_EQ(iface->GetSampleBankIndex(&slot, "Samples"), 0);
  EXPECT_EQ(slot, 5u);

  // A missing file leaves the project as it was.
  EXPECT_EQ(iface->LoadFile((dir / "none.isac").c_str()), kIAUD_FILE_NOT_OPENED);
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), loaded);
  EXPECT_NE(Content("Boom", IAUDAllContentBanks()), nullptr);

  // A project naming a missing bank leaves nothing loaded.
  std::string broken = Make("broken", "RIFF isac\n  chunk icbr text \"" + effects + "\"\n  chunk icbr text \"" +
                                          (dir / "gone.icb") + "\"\nend\n");
  EXPECT_EQ(iface->LoadFile(broken.c_str()), kIAUD_CONTENT_BANK_NOT_OPENED);
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetFirstContentBank(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(5), nullptr);
  EXPECT_EQ(iface->IsValidContentBankHandle(nullptr), kIAUD_INVALID_HANDLE);
  std::string brokenSamples =
      Make("brokenSamples", "RIFF isac\n  chunk isbr u32 1 text \"" + (dir / "gone.isb") + "\"\nend\n");
  EXPECT_EQ(iface->LoadFile(brokenSamples.c_str()), kIAUD_SAMPLE_BANK_NOT_OPENED);
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), nullptr);

  // Releasing everything empties the runtime but keeps it open.
  ASSERT_EQ(iface->LoadFile(project.c_str()), 0);
  EXPECT_EQ(iface->ReleaseAllResources(), 0);
  EXPECT_EQ(IAUDResourceManager::GetFileObject(), nullptr);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(5), nullptr);
  EXPECT_NE(m_papiResourceManager, nullptr);
}

TEST_F(InterfaceBankTest, SampleBanksGoIntoSlotsReplaceAndRefuseWhatIsNotABank) {
  std::string first = Make("first", SampleBank("First", {{0, "A"}}));
  std::string second = Make("second", SampleBank("Second", {{0, "B"}}));
  std::string content = Make("content", EffectsBank("Content", {"X"}));
  iaudtest::WriteFileBytes(dir / "empty.isb", {});

  EXPECT_EQ(iface->LoadSampleBank(256, first.c_str(), false), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->LoadSampleBank(3, (dir / "none.isb").c_str(), false), kIAUD_FILE_NOT_OPENED);
  EXPECT_EQ(iface->LoadStreamingSampleBank(3, first.c_str(), 0, 0), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->LoadStreamingSampleBank(256, first.c_str(), 100, 0), kIAUD_BAD_ARGUMENT);
  // Files that are not sample banks store nothing.
  for (const std::string& other : {content, dir / "empty.isb"}) {
    EXPECT_EQ(iface->LoadSampleBank(3, other.c_str(), false), kIAUD_FILE_NOT_OPENED) << other;
    EXPECT_EQ(iface->IsValidSampleBankIndex(3), kIAUD_BAD_ARGUMENT);
  }

  ASSERT_EQ(iface->LoadSampleBank(3, first.c_str(), false), 0);
  EXPECT_EQ(iface->IsValidSampleBankIndex(3), 0);
  ASSERT_EQ(render.loads.size(), 1u);
  ASSERT_EQ(iface->LoadSampleBank(3, second.c_str(), true), 0);
  EXPECT_TRUE(render.loads[0]->freed);
  char name[129] = {};
  EXPECT_EQ(iface->GetSampleBankName(name, 3), 0);
  EXPECT_EQ(std::string(name), "Second");
  uint32_t slot = 0;
  EXPECT_EQ(iface->GetSampleBankIndex(&slot, "First"), kIAUD_NO_OBJECT);

  EXPECT_EQ(iface->UnloadSampleBank(3), 0);
  EXPECT_EQ(iface->UnloadSampleBank(3), 0);
  EXPECT_EQ(iface->UnloadSampleBank(256), kIAUD_BAD_ARGUMENT);
  EXPECT_TRUE(render.loads[1]->freed);
}

TEST_F(InterfaceBankTest, SampleBankIndicesSlotsAndNames) {
  std::string bank = Make("bank", SampleBank("Bank", {{0, "Zero"}, {2, "Two"}}));
  ASSERT_EQ(iface->LoadSampleBank(7, bank.c_str(), false), 0);
  // The project's own bank is a valid index even without a project.
  EXPECT_EQ(iface->IsValidSampleBankIndex(kIAUD_PROJECT_SAMPLE_BANK), 0);
  uint16_t wide[129] = {};
  EXPECT_EQ(iface->GetSampleBankName(wide, kIAUD_PROJECT_SAMPLE_BANK), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetSampleBankName(wide, 256), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetSampleBankName(wide, 6), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->IsValidSampleBankIndex(6), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->IsValidSampleBankIndex(256), kIAUD_BAD_ARGUMENT);

  struct {
    uint32_t sample, bank;
    int32_t code;
    const char* name;
  } const cases[] = {
      {0, 7, 0, "Zero"},
      {1, 7, kIAUD_NO_OBJECT, ""},  // an empty slot below the count
      {2, 7, 0, "Two"},
      {3, 7, kIAUD_BAD_ARGUMENT, ""},  // the slot count
      {0, 6, kIAUD_BAD_ARGUMENT, ""},
      {0, 256, kIAUD_BAD_ARGUMENT, ""},
      {0, kIAUD_PROJECT_SAMPLE_BANK, kIAUD_BAD_ARGUMENT, ""},
  };
  for (const auto& c : cases) {
    char name[129] = {};
    EXPECT_EQ(iface->GetSampleName(name, c.sample, c.bank), c.code) << c.sample << " in " << c.bank;
    EXPECT_EQ(std::string(name), c.name);
    void* handle = nullptr;
    int32_t byIndex = iface->GetSampleHandle(&handle, c.sample, c.bank);
    EXPECT_EQ(byIndex, c.code == 0 ? 0 : kIAUD_NO_OBJECT);
    if (c.code == 0) {
      void* byName = nullptr;
      EXPECT_EQ(iface->GetSampleHandle(&byName, c.name, c.bank), 0);
      EXPECT_EQ(byName, handle);
      EXPECT_EQ(iface->IsValidSampleHandle(handle), 0);
      void* group = reinterpret_cast<void*>(9);
      EXPECT_EQ(iface->GetSampleGroupHandle(&group, handle), 0);
      EXPECT_EQ(group, nullptr);
    }
  }
  void* handle = nullptr;
  EXPECT_EQ(iface->GetSampleHandle(&handle, "Zero", 6u), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetSampleHandle(&handle, std::string(129, 'Z').c_str(), 7u), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->IsValidSampleHandle(&handle), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->IsValidSampleHandle(nullptr), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->GetSampleGroupHandle(&handle, nullptr), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->GetSampleGroupHandle(nullptr, &handle), kIAUD_BAD_ARGUMENT);
}

TEST_F(InterfaceBankTest, ContentIsFoundInTheBanksTheHandleNames) {
  // The project file is a content bank of its own.
  std::string project = Make("project", "RIFF isac\n  chunk titl text \"Game\"\n  " +
                                            interfacetest::EffectIndexChunk({{"InProject", 0}}) +
                                            "  LIST gbef\n    chunk indx u32 0\n"
                                            "    chunk titl text \"InProject\"\n  end\nend\n");
  void* banks[3] = {};
  ASSERT_EQ(iface->LoadFile(project.c_str()), 0);
  banks[0] = LoadBank(Make("one", EffectsBank("One", {"InFirst", "Shared"})));
  banks[1] = LoadBank(Make("two", EffectsBank("Two", {"Shared"})));
  banks[2] = LoadBank(Make("three", EffectsBank("Three", {"OnlyThird"})));

  EXPECT_EQ(ContentName(Content("OnlyThird", IAUDAllContentBanks())), "OnlyThird");
  EXPECT_EQ(Content("OnlyThird", banks[0]), nullptr);
  EXPECT_EQ(Content("OnlyThird", nullptr), nullptr);  // the project file only
  EXPECT_NE(Content("OnlyThird", banks[2]), nullptr);
  EXPECT_NE(Content("InProject", nullptr), nullptr);
  EXPECT_EQ(Content("InProject", banks[0]), nullptr);
  // With all banks the first in search order wins.
  void* shared = Content("Shared", IAUDAllContentBanks());
  EXPECT_EQ(shared, Content("Shared", banks[0]));
  EXPECT_NE(shared, Content("Shared", banks[1]));

  void* out = nullptr;
  EXPECT_EQ(iface->GetContentHandle(&out, "Missing", IAUDAllContentBanks()), kIAUD_NO_OBJECT);
  // Names that cannot fit the 8-bit buffer name nothing.
  EXPECT_EQ(iface->GetContentHandle(&out, std::string(5000, 'S').c_str(), IAUDAllContentBanks()), kIAUD_NO_OBJECT);
  // A handle that names no loaded bank is not searched.
  EXPECT_EQ(iface->GetContentHandle(&out, "Shared", &out), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetContentHandle(nullptr, "Shared", nullptr), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetContentHandle(&out, static_cast<const char*>(nullptr), nullptr), kIAUD_BAD_ARGUMENT);

  // Content handles are valid while their bank is loaded.
  void* third = Content("OnlyThird", banks[2]);
  EXPECT_EQ(iface->IsValidContentHandle(third), 0);
  EXPECT_EQ(iface->IsValidContentHandle(banks[2]), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->UnloadContentBank(banks[2]), 0);
  EXPECT_EQ(iface->IsValidContentHandle(third), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(Content("OnlyThird", IAUDAllContentBanks()), nullptr);
}

TEST_F(InterfaceBankTest, NamesOfOtherKindsAreNotContent) {
  std::string kinds = Make("kinds",
                           "RIFF icbf\n  chunk titl text \"Kinds\"\n  chunk obdx u32 0\n"
                           "  LIST tran\n    chunk indx u32 0\n    chunk titl text \"Fade\"\n  end\n"
                           "  LIST rpc \n    chunk indx u32 0\n    chunk titl text \"Curve\"\n  end\nend\n");
  void* bank = LoadBank(kinds);
  ASSERT_NE(bank, nullptr);
  SIndexEntry entity{};
  for (int i = 0; i < 6; ++i) entity.wszTitle[i] = (uint16_t) "Entity"[i];
  entity.dwType = IAUDFourCC("ento");
  entity.dwResourceIndex = 0;
  static_cast<IAUDContentBank*>(bank)->AddIndexEntry(&entity);
  uint32_t type = 0, index = 0;
  ASSERT_TRUE(static_cast<IAUDContentBank*>(bank)->FindContentObjectByName(W(u"Fade"), &type, &index));
  for (const char* name : {"Fade", "Curve", "Entity"}) {
    EXPECT_EQ(Content(name, bank), nullptr) << name;
    EXPECT_EQ(Content(name, IAUDAllContentBanks()), nullptr) << name;
  }
  // The search goes on past a bank that knows the name as another kind.
  void* later = LoadBank(Make("later", EffectsBank("Later", {"Fade"})));
  EXPECT_EQ(Content("Fade", IAUDAllContentBanks()), Content("Fade", later));
  EXPECT_NE(Content("Fade", later), nullptr);
}

TEST_F(InterfaceBankTest, BanksAreWalkedNamedAndUnloadedUnlessReferenced) {
  void* a = LoadBank(Make("a", EffectsBank("Alpha", {"First@Music", "Second"})));
  void* b = LoadBank(Make("b", EffectsBank("Beta", {})));
  void* handle = nullptr;
  EXPECT_EQ(iface->GetNextContentBank(&handle, nullptr), 0);
  EXPECT_EQ(handle, a);
  EXPECT_EQ(iface->GetNextContentBank(&handle, a), 0);
  EXPECT_EQ(handle, b);
  EXPECT_EQ(iface->GetNextContentBank(&handle, b), 0);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(iface->GetNextContentBank(&handle, &handle), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetContentBankHandle(&handle, "Beta"), 0);
  EXPECT_EQ(handle, b);
  EXPECT_EQ(iface->GetContentBankHandle(&handle, "Gamma"), kIAUD_NO_OBJECT);
  char name[1024] = {};
  EXPECT_EQ(iface->GetContentBankName(name, a), 0);
  EXPECT_EQ(std::string(name), "Alpha");
  EXPECT_EQ(iface->GetContentBankName(name, nullptr), kIAUD_INVALID_HANDLE);  // no project file
  EXPECT_EQ(iface->GetContentBankName(static_cast<char*>(nullptr), a), kIAUD_BAD_ARGUMENT);

  // Content in array order, then nothing.
  std::vector<std::string> walked;
  void* content = nullptr;
  do {
    ASSERT_EQ(iface->GetNextContent(&content, content, a), 0);
    if (content) walked.push_back(ContentName(content));
  } while (content && walked.size() < 5);
  EXPECT_EQ(walked, (std::vector<std::string>{"First", "Second"}));
  EXPECT_EQ(iface->GetNextContent(&content, nullptr, b), 0);
  EXPECT_EQ(content, nullptr);
  EXPECT_EQ(iface->GetNextContent(&content, nullptr, &content), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->GetNextContent(nullptr, nullptr, a), kIAUD_BAD_ARGUMENT);

  // A content's group, voices and duration.
  void* first = Content("First", a);
  void* group = nullptr;
  ASSERT_EQ(iface->GetContentGroupHandle(&group, first), 0);
  EXPECT_EQ(iface->IsValidGroupHandle(group), 0);
  void* byName = nullptr;
  EXPECT_EQ(iface->GetGroupHandle(&byName, "Music"), 0);
  EXPECT_EQ(group, byName);
  ASSERT_EQ(iface->GetContentGroupHandle(&group, Content("Second", a)), 0);
  EXPECT_EQ(group, nullptr);
  int32_t voices = -1;
  EXPECT_EQ(iface->GetContentVoiceCount(first, &voices), 0);
  EXPECT_EQ(voices, (int32_t) static_cast<IAUDContentObject*>(first)->GetNumTracks());
  SContentInfo info{1, 2, 3};
  EXPECT_EQ(iface->GetContentInfo(first, &info), 0);
  uint32_t lo = 0, hi = 0;
  static_cast<IAUDContentObject*>(first)->GetMinMaxDuration(&lo, &hi);
  EXPECT_EQ(info.dwMinDuration, lo);
  EXPECT_EQ(info.dwMaxDuration, hi);
  EXPECT_EQ(iface->GetContentInfo(first, nullptr), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->GetContentInfo(nullptr, &info), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->GetContentVoiceCount(first, nullptr), kIAUD_BAD_ARGUMENT);

  // Markers by name.
  IAUDContentMarker markers[2] = {};
  markers[0].wszTitle[0] = 'm';
  markers[1].wszTitle[0] = 'n';
  static_cast<IAUDContentObject*>(first)->SetMarkers(markers, 2);
  void* marker = nullptr;
  EXPECT_EQ(iface->GetContentMarker(&marker, "n", first), 0);
  EXPECT_EQ(marker, static_cast<IAUDContentObject*>(first)->GetMarkerByIndex(1));
  EXPECT_EQ(iface->GetContentMarker(&marker, "o", first), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetContentMarker(&marker, std::string(2000, 'n').c_str(), first), kIAUD_NO_OBJECT);
  EXPECT_EQ(iface->GetContentMarker(&marker, "n", nullptr), kIAUD_INVALID_HANDLE);

  // A bank that sound entities still use stays.
  IAUDContentBank* bank = static_cast<IAUDContentBank*>(a);
  bank->AddContentBankReference();
  EXPECT_EQ(iface->UnloadContentBank(a), kIAUD_BANK_REFERENCED);
  EXPECT_EQ(iface->IsValidContentBankHandle(a), 0);
  bank->RemoveContentBankReference();
  EXPECT_EQ(iface->UnloadContentBank(a), 0);
  EXPECT_EQ(iface->UnloadContentBank(a), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->UnloadContentBank(nullptr), kIAUD_INVALID_HANDLE);
  EXPECT_EQ(iface->IsValidContentBankHandle(a), kIAUD_INVALID_HANDLE);
}

TEST_F(InterfaceBankTest, ContentBanksRefuseFilesOfAnotherForm) {
  std::string samples = Make("samples", SampleBank("Samples", {{0, "A"}}));
  iaudtest::WriteFileBytes(dir / "junk.icb", std::vector<uint8_t>(40, 0x52));
  void* bank = reinterpret_cast<void*>(1);
  for (const std::string& path : {samples, dir / "junk.icb", dir / "none.icb"}) {
    EXPECT_EQ(iface->LoadContentBank(&bank, path.c_str()), kIAUD_FILE_NOT_OPENED) << path;
    EXPECT_EQ(IAUDResourceManager::GetFirstContentBank(), nullptr);
  }
  EXPECT_EQ(iface->LoadContentBank(&bank, std::string(2000, 'x').c_str()), kIAUD_FILE_NOT_OPENED);
  EXPECT_EQ(iface->LoadContentBank(nullptr, samples.c_str()), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->LoadFile(static_cast<const char*>(nullptr)), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(iface->LoadSampleBank(0, static_cast<const char*>(nullptr), false), kIAUD_BAD_ARGUMENT);
  EXPECT_EQ(render.exclusiveDepth, 0);
}

}  // namespace
