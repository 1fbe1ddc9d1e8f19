#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RecordingRender.h"
#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CAudioBuffer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "SampleTestSupport.h"
#include "TWUtil/ByteOrder.h"

namespace {

using namespace iaudtest;

struct ObjectRemover {
  void operator()(IAUDContentObject* o) const { o->RemoveObject(); }
};
using SampleBankPtr = std::unique_ptr<IAUDSampleBank, ObjectRemover>;

// Loads a project file as the resource manager does and, when the test
// ends, unloads everything it loaded and puts the shared state back.
class ProjectLoad {
 public:
  explicit ProjectLoad(const std::string& path) : project(new IAUDFileObject()) {
    FILE* f = fopen(path.c_str(), "rb");
    if (f) {
      project->ParseFile(f);
      fclose(f);
    }
    project->ProcessUnArchivedObject();
  }
  ~ProjectLoad() {
    project->RemoveObject();
    while (IAUDContentBank* bank = IAUDResourceManager::m_pContentBanks) bank->RemoveObject();
    for (uint32_t slot = 0; slot < 256; ++slot) IAUDResourceManager::AddSampleBank(nullptr, slot);
    IAUDResourceManager::SetIAUDErrorCode(0);
    IAUDResourceManager::SetHeadRoomGain(1.0f);
  }
  ProjectLoad(const ProjectLoad&) = delete;
  ProjectLoad& operator=(const ProjectLoad&) = delete;

  IAUDFileObject* project;
};

std::vector<std::string> BankTitles() {
  std::vector<std::string> out;
  for (IAUDContentBank* b = IAUDResourceManager::m_pContentBanks; b; b = b->GetPostContentBank())
    out.push_back(Narrow(b->GetTitle()));
  return out;
}

struct ProjectFixture {
  TempDir dir;
  std::string present, sampleBank;
  ProjectFixture() {
    present = MakeRiff(dir, "present", R"(
RIFF icbf
  chunk titl text "Present"
  LIST tran
    chunk titl text "Swap"
    chunk indx u32 0
  end
end
)");
    WriteFileBytes(dir / "pcm.bin", std::vector<uint8_t>(64, 3));
    sampleBank = MakeRiff(dir, "samples", R"(
RIFF isbf
  chunk titl text "Samples"
  LIST samp
    chunk indx u32 2
    chunk sinf u32 0 0 22050 64 u16 16 0
    chunk data file pcm.bin
  end
end
)");
  }
  std::string Project(const std::string& name, const std::string& form, const std::string& extra = "") {
    return MakeRiff(dir, name,
                    "RIFF " + form + "\n  chunk icbr text \"" + present + "\"\n  chunk icbr text \"" +
                        (dir / "missing.icb") + "\"\n  chunk isbr u32 3 text \"" + sampleBank +
                        "\"\n  chunk ghrg f32 0.5\n" + extra + "end\n");
  }
};

TEST(IAUDFileObject, LoadsThePresentBanksAndReportsTheMissingOne) {
  for (const char* form : {"isac", "ealo"}) {
    ProjectFixture fx;
    ASSERT_FALSE(fx.present.empty());
    ASSERT_FALSE(fx.sampleBank.empty());
    std::string path = fx.Project("project", form);
    ASSERT_FALSE(path.empty());
    FakeRenderDriver driver;
    ProjectLoad load(path);
    EXPECT_EQ(IAUDResourceManager::m_pFileObject, load.project);
    EXPECT_EQ(BankTitles(), std::vector<std::string>{"Present"}) << form;
    EXPECT_EQ(IAUDResourceManager::GetIAUDErrorCode(), -13) << form;
    IAUDSampleBank* bank = IAUDResourceManager::GetResourceSampleBank(3);
    ASSERT_NE(bank, nullptr) << form;
    EXPECT_EQ(bank->GetResourceIndex(), 3u);
    ASSERT_NE(bank->GetBankSample(2), nullptr);
    EXPECT_EQ(bank->GetBankSample(2)->GetSampleIndex(), (4u << 16) | 2u);
    EXPECT_FLOAT_EQ(IAUDResourceManager::GetHeadRoomGain(), 0.5f);
    ASSERT_EQ(driver.loads.size(), 1u);
    EXPECT_EQ(driver.loads[0]->bytes, std::vector<uint8_t>(64, 3));
    // The loaded bank's index was rebuilt only on request: it has none here.
    uint32_t type = 0;
    std::u16string swap = U16("Swap");
    EXPECT_FALSE(IAUDResourceManager::m_pContentBanks->FindContentObjectByName(W(swap), &type, nullptr));
  }
  EXPECT_EQ(IAUDResourceManager::m_pFileObject, nullptr);
}

TEST(IAUDFileObject, MissingSampleBankAndRefusedReferences) {
  ProjectFixture fx;
  ASSERT_FALSE(fx.present.empty());
  // An oversized "icbr" naming a present bank, and an "isbr" too short for a slot.
  std::string path = MakeRiff(fx.dir, "refused",
                              "RIFF isac\n  chunk icbr text:1100 \"" + fx.present +
                                  "\"\n  chunk isbr u16 1\n  chunk isbr u32 9 text \"" + (fx.dir / "gone.isb") +
                                  "\"\nend\n");
  ASSERT_FALSE(path.empty());
  ProjectLoad load(path);
  EXPECT_TRUE(BankTitles().empty());
  EXPECT_EQ(IAUDResourceManager::GetIAUDErrorCode(), -12);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(9), nullptr);
}

// The payload of the first chunk with that id in a written file.
std::vector<uint8_t> ChunkPayload(const std::vector<uint8_t>& bytes, const char* id) {
  for (size_t i = 0; i + 8 <= bytes.size(); ++i) {
    if (memcmp(&bytes[i], id, 4) != 0) continue;
    uint32_t size = GetLE32(&bytes[i + 4]);
    if (i + 8 + size > bytes.size()) break;
    return std::vector<uint8_t>(bytes.begin() + (long)i + 8, bytes.begin() + (long)(i + 8 + size));
  }
  return {};
}

std::vector<uint8_t> Utf16Bytes(const char* s) {
  std::vector<uint8_t> out;
  for (; *s; ++s) out.insert(out.end(), {(uint8_t)*s, 0});
  out.insert(out.end(), {0, 0});
  return out;
}

TEST(IAUDFileObject, WritesItsReferencesGainAndGlobals) {
  ProjectFixture fx;
  std::string path =
      fx.Project("write", "isac", "  chunk secg u32 1 text:32 \"Mood\" u32 2 text:32 \"A\" text:32 \"B\" u32 1\n");
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  std::vector<uint8_t> bytes;
  {
    ProjectLoad load(path);
    ASSERT_EQ(load.project->GetNumGlobalVars(), 1u);
    bytes = Archive(load.project);
  }
  // A bank's relative path is its title.
  EXPECT_EQ(ChunkPayload(bytes, "icbr"), Utf16Bytes("Present"));
  std::vector<uint8_t> isbr = {3, 0, 0, 0};
  std::vector<uint8_t> samples = Utf16Bytes("Samples");
  isbr.insert(isbr.end(), samples.begin(), samples.end());
  EXPECT_EQ(ChunkPayload(bytes, "isbr"), isbr);
  std::vector<uint8_t> gain = ChunkPayload(bytes, "ghrg");
  ASSERT_EQ(gain.size(), 4u);
  EXPECT_FLOAT_EQ(GetLEFloat(gain.data()), 0.5f);
  std::string again = fx.dir / "again.isac";
  WriteFileBytes(again, bytes);
  ProjectLoad load(again);
  ASSERT_EQ(load.project->GetNumGlobalVars(), 1u);
  EXPECT_EQ(load.project->GetNumGlobalVarStates(0), 2);
  EXPECT_EQ(load.project->GetGlobalVarState(0u), 1);
}

TEST(IAUDAudioBuffer, DistanceRecords) {
  TempDir dir;
  std::string path = MakeRiff(dir, "dist", R"(
RIFF isbf
  LIST bfob
    chunk indx u32 0
    chunk sdst f32 1 101 -100 u32 0
  end
  LIST bfob
    chunk indx u32 1
    chunk dist f32 10 -20 1 u32 5
    chunk cone i32 90 180 -500 -100 u32 1
  end
  LIST bfob
    chunk indx u32 2
    chunk dist f32 10 -20 0 u32 0
  end
  LIST bfob
    chunk sdst f32 1 101 -100 u32 0
  end
end
)");
  ASSERT_FALSE(path.empty());
  SampleBankPtr bank(LoadSampleBank(path));
  ASSERT_EQ(bank->GetBankBufferSlotCount(), 4);
  EXPECT_NEAR(bank->GetAudioBuffer(0)->GetDistanceInfo()->fAttenuation, -20.0 * std::log10(1001.0), 0.01);
  EXPECT_NEAR(bank->GetAudioBuffer(0)->GetDistanceInfo()->fAttenuation, -60.0, 0.01);
  const IAUDSoundDistance* d = bank->GetAudioBuffer(1)->GetDistanceInfo();
  EXPECT_FLOAT_EQ(d->fMinDistance, 10.0f);
  EXPECT_NEAR(d->fMaxDistance, 90.0f, 1e-4);
  EXPECT_FLOAT_EQ(d->fAttenuation, -20.0f);
  EXPECT_EQ(d->ulFlags, 5u);
  EXPECT_EQ(bank->GetAudioBuffer(1)->GetSoundConeInfo()->lOutsideVolume, -500);
  EXPECT_FLOAT_EQ(bank->GetAudioBuffer(2)->GetDistanceInfo()->fMaxDistance, 10.0f);  // no rolloff
  // Without a stored index the record is kept as read.
  EXPECT_FLOAT_EQ(bank->GetAudioBuffer(3)->GetDistanceInfo()->fAttenuation, -100.0f);
  // Defaults, and what the writer writes.
  CAudioBuffer fresh(bank.get());
  EXPECT_FLOAT_EQ(fresh.GetDistanceInfo()->fMaxDistance, 2048.0f);
  EXPECT_EQ(fresh.GetSoundConeInfo()->ulFlags, 3u);
  std::vector<uint8_t> bytes = Archive(bank->GetAudioBuffer(1));
  std::string back = dir / "back.isb";
  std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'i', 's', 'b', 'f'};
  file.insert(file.end(), bytes.begin(), bytes.end());
  uint32_t size = (uint32_t)file.size() - 8;
  memcpy(&file[4], &size, 4);
  WriteFileBytes(back, file);
  SampleBankPtr again(LoadSampleBank(back));
  ASSERT_NE(again->GetAudioBuffer(1), nullptr);
  EXPECT_EQ(memcmp(again->GetAudioBuffer(1)->GetDistanceInfo(), d, sizeof(*d)), 0);
  EXPECT_EQ(again->GetAudioBuffer(1)->GetSoundConeInfo()->lInsideAngle, 90);
}

TEST(IAUDAudioBuffer, BecomesASampleOfItsTitleAndIndex) {
  TempDir dir;
  WriteFileBytes(dir / "raw.bin", std::vector<uint8_t>(100, 9));
  std::string path = MakeRiff(dir, "buffer", R"(
RIFF isac
  LIST bfob
    chunk titl text "Knock"
    chunk indx u32 7
    chunk sddt u32 0 1 22050 500000 0x00040004 0 0 0 u16 16 1
    chunk data file raw.bin
  end
end
)");
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  ProjectLoad load(path);
  CSample* sample = load.project->GetFileSample(7);
  ASSERT_NE(sample, nullptr);
  EXPECT_EQ(Narrow(sample->GetTitle()), "Knock");
  EXPECT_EQ(sample->GetResourceIndex(), 7u);
  EXPECT_EQ(sample->GetSampleInfo()->dwRate, 22050u);
  EXPECT_EQ(sample->GetSampleInfo()->dwPCMSize, 100u);
  ASSERT_EQ(driver.loads.size(), 1u);
  EXPECT_EQ(driver.loads[0]->bytes, std::vector<uint8_t>(100, 9));
  CAudioBuffer* buffer = load.project->GetFileSampleBank()->GetAudioBuffer(7);
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(buffer->GetSampleData(), nullptr);
  // Made again by hand, the call answers the index with the high half set.
  EXPECT_EQ((uint32_t)buffer->CreateBufferSample(), 0xFFFF0007u);
  EXPECT_EQ(load.project->GetFileSample(7)->GetResourceIndex(), 7u);
}

TEST(IAUDAudioBuffer, NoProjectFileNoSample) {
  IAUDSampleBank bank;
  CAudioBuffer buffer(&bank);
  ASSERT_EQ(IAUDResourceManager::m_pFileObject, nullptr);
  EXPECT_EQ(buffer.CreateBufferSample(), -1);
}

}  // namespace
