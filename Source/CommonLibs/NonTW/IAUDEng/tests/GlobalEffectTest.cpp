// Global-effect content: its stored slot settings, their file chunks and
// how it applies them to the effect slots.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDEAX.h"
#include "NonTW/IAUDEng/IAUDEffectSlotController.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace {

using namespace iaudtest;

struct GlobalEffectBankDeleter {
  void operator()(IAUDContentObject* o) const { o->RemoveObject(); }
};
using GlobalEffectBankPtr = std::unique_ptr<IAUDContentBank, GlobalEffectBankDeleter>;

const _GUID kReverb = {0x0CF95C8F, 0xA3CC, 0x4849, {0xB0, 0xB6, 0x83, 0x2E, 0xCC, 0x18, 0x22, 0xDF}};

SEffectSet MakeSet(int32_t slot, float level, uint32_t flags, const _GUID& effect, uint32_t parameter, uint32_t size) {
  SEffectSet s{};
  s.nSlot = slot;
  s.flLevel = level;
  s.dwFlags = flags;
  s.guidEffect = effect;
  s.dwParameter = parameter;
  s.dwDataSize = size;
  return s;
}

}  // namespace

TEST(GlobalEffect, SetsRoundTripThroughTheirChunks) {
  TempDir dir;
  GlobalEffectBankPtr bank(new IAUDContentBank());
  auto* g = static_cast<CGlobalEffect*>(bank->CreateNewContentObject(IAUDFourCC("gbef"), nullptr));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->GetNumTracks(), 0u);
  EXPECT_EQ(bank->GetGlobalEffect(g->GetResourceIndex()), g);
  float decay = 1.5f;
  SEffectSet a = MakeSet(1, 0.5f, 1, kReverb, 8, 4), b = MakeSet(0, 1.0f, 0, _GUID{}, 0, 0);
  ASSERT_NE(g->AddEffectSet(&a, &decay), nullptr);
  ASSERT_NE(g->AddEffectSet(&b, nullptr), nullptr);
  // A replaced set frees its data (checked by the sanitizer build).
  ASSERT_NE(g->AddEffectSet(&a, &decay), nullptr);
  SEffectSet bad = MakeSet(32, 1.0f, 0, kReverb, 0, 0);
  EXPECT_EQ(g->AddEffectSet(&bad, nullptr), nullptr);
  std::vector<uint8_t> bytes = Archive(g);

  GlobalEffectBankPtr back(SaveAndReload(bank.get(), dir, "gbef.riff"));
  auto* g2 = static_cast<CGlobalEffect*>(back->GetChild());
  ASSERT_NE(g2, nullptr);
  ASSERT_EQ(g2->GetObjectType(), IAUDFourCC("gbef"));
  const SEffectSet* s = g2->GetSlotEffectSet(1);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->flLevel, 0.5f);
  EXPECT_EQ(s->dwParameter, 8u);
  ASSERT_EQ(s->dwDataSize, 4u);
  float got;
  std::memcpy(&got, s->pData, 4);
  EXPECT_EQ(got, 1.5f);
  EXPECT_EQ(std::memcmp(&s->guidEffect, &kReverb, sizeof(_GUID)), 0);
  ASSERT_NE(g2->GetSlotEffectSet(0), nullptr);
  EXPECT_EQ(g2->GetSlotEffectSet(0)->pData, nullptr);
  EXPECT_EQ(g2->GetSlotEffectSet(2), nullptr);
  EXPECT_EQ(Archive(g2), bytes);
  g2->DeleteEffectSet(1);
  g2->DeleteEffectSet(99);
  EXPECT_EQ(g2->GetSlotEffectSet(1), nullptr);
}

TEST(GlobalEffect, DamagedSetsAreSkipped) {
  TempDir dir;
  std::string path = MakeRiff(dir, "bad", R"(
RIFF icbf
  LIST gbef
    chunk titl text "g"
    chunk eset u32 40 0x3f800000 1 0 0 0 0 0 0 0
    chunk eset u32 0xFFFFFFFF 0x3f800000 1 0 0 0 0 0 0 0
    chunk eset u32 1 0x3f800000 1 0 0 0 0 8 100 0 u32 7
    chunk eset u32 2 0x3f000000 1 0 0 0 0 8
    chunk eset u32 3 0x3f000000 1 0 0 0 0 8 4 0 f32 2.5
  end
end
)");
  ASSERT_FALSE(path.empty());
  GlobalEffectBankPtr bank(LoadBank(path));
  auto* g = static_cast<CGlobalEffect*>(bank->GetChild());
  ASSERT_NE(g, nullptr);
  for (long slot : {0L, 1L, 2L}) EXPECT_EQ(g->GetSlotEffectSet(slot), nullptr) << slot;
  const SEffectSet* s = g->GetSlotEffectSet(3);
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->dwDataSize, 4u);
  float v;
  std::memcpy(&v, s->pData, 4);
  EXPECT_EQ(v, 2.5f);
}

TEST(GlobalEffect, StartAppliesSetsAndReloadsOnlyChangedEffects) {
  RecordingRender render;
  new IAUDResourceManager(&render);
  {
    IAUDContentBank* bank = new IAUDContentBank();
    auto* g = static_cast<CGlobalEffect*>(bank->CreateNewContentObject(IAUDFourCC("gbef"), nullptr));
    float decay = 1.5f;
    SEffectSet one = MakeSet(1, 0.5f, 1, kReverb, 8, 4), two = MakeSet(2, 0.25f, 0, kReverb, 8, 4);
    g->AddEffectSet(&one, &decay);
    g->AddEffectSet(&two, &decay);
    render.slotEffect[1] = kReverb;
    render.calls.clear();
    g->StartObject(nullptr, nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(render.calls, (std::vector<std::string>{
                                "SetSlotEffectParameter 1 8 4 0", "SetSlotFlags 1 0", "SetSlotLevel 1 0",
                                "SetSlotLevel 2 0", "SetSlotEffect 2", "SetSlotEffectParameter 2 8 4 0",
                                "SetSlotFlags 2 0", "SetSlotLevel 2 0"}));
    int32_t loops = 3;
    EXPECT_FALSE(g->CycleObject(nullptr, &loops, nullptr, nullptr));
    EXPECT_EQ(loops, 0);
    bank->RemoveObject();
  }
  IAUDResourceManager::ReleaseAll();
  delete m_papiResourceManager;
  m_papiResourceManager = nullptr;
}
