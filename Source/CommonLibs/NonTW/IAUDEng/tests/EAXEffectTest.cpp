// The EAX layer over the effect slots against a recording render interface.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "NonTW/IAUDEng/IAUDEAX.h"
#include "NonTW/IAUDEng/IAUDEAXEffect.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace {

using iaudtest::RecordingRender;

class EAXEffectTest : public ::testing::Test {
 protected:
  void SetUp() override { new IAUDResourceManager(&render); }
  void TearDown() override {
    IAUDResourceManager::ReleaseAll();
    delete m_papiResourceManager;
    m_papiResourceManager = nullptr;
  }
  std::vector<std::string> SlotCalls() {
    std::vector<std::string> out;
    for (const std::string& c : render.calls)
      if (c.compare(0, 7, "SetSlot") == 0) out.push_back(c);
    render.calls.clear();
    return out;
  }
  RecordingRender render;
};

}  // namespace

TEST(EAXEffectClosedTest, WithoutRuntimeEverythingIsRefused) {
  float v = 1.5f;
  EXPECT_EQ(SetEAX4Effect(0, 8, &v, 4), -9);
  EXPECT_EQ(GetEAX2Effect(5, &v, 4), -9);
  EXPECT_EQ(SetEAX4Context(1, &v, 4), -9);
  EXPECT_EQ(GetSlotIndex(_GUID{}), -1);
  _GUID none = GetGUID(7);
  EXPECT_TRUE(IAUDIsNullGUID(none));
  EXPECT_EQ(GetSlotIndex(GetGUID(3)), 3);
}

TEST_F(EAXEffectTest, ReverbValuesAreRangeChecked) {
  render.calls.clear();
  float decay = 25.0f;
  EXPECT_EQ(SetEAX4Effect(2, 8 | 0x80000000ul, &decay, 4), -2);
  decay = 1.5f;
  EXPECT_EQ(SetEAX4Effect(2, 8 | 0x80000000ul, &decay, 4), 0);
  EXPECT_EQ(SetEAX4Effect(2, 8, nullptr, 4), -2);
  EXPECT_EQ(SetEAX4Effect(2, 8, &decay, 3), -2);
  EXPECT_EQ(SetEAX4Effect(2, 26, &decay, 4), -2);
  float pan[3] = {1, 2, 3};
  EXPECT_EQ(SetEAX4Effect(1, 13, pan, 4), -2);
  EXPECT_EQ(SetEAX4Effect(1, 13, pan, 12), 0);
  EXPECT_EQ(SlotCalls(), (std::vector<std::string>{"SetSlotEffectParameter 2 8 4 2147483648",
                                                   "SetSlotEffectParameter 1 13 12 0"}));
  // Environment: EAX 2.0 stops at 25, EAX 4.0 takes 26.
  uint32_t env = 25;
  EXPECT_EQ(SetEAX2Effect(11, &env, 4), 0);
  env = 26;
  EXPECT_EQ(SetEAX2Effect(11, &env, 4), -2);
  EXPECT_EQ(SetEAX4Effect(0, 2, &env, 4), 0);
  EXPECT_EQ(SlotCalls(),
            (std::vector<std::string>{"SetSlotEffectParameter 0 2 4 0", "SetSlotEffectParameter 0 2 4 0"}));
  float pan4[3];
  EXPECT_EQ(GetEAX4Effect(0, 16, pan4, 4), -2);
  EXPECT_EQ(GetEAX4Effect(0, 16, pan4, 12), 0);
}

TEST_F(EAXEffectTest, EAX2FullRecordIsCheckedWholeAndWidened) {
  // room, room HF, rolloff, decay, decay HF, reflections, reflections delay,
  // reverb, reverb delay, environment, size, diffusion, air absorption, flags.
  uint32_t rec[14];
  int32_t ints[] = {-1000, -100};
  std::memcpy(&rec[0], ints, 8);
  float f[] = {0.0f, 1.49f, 0.83f};
  std::memcpy(&rec[2], f, 12);
  int32_t refl = -2602;
  float reflDelay = 0.007f;
  int32_t reverb = 200;
  float reverbDelay = 0.011f;
  std::memcpy(&rec[5], &refl, 4);
  std::memcpy(&rec[6], &reflDelay, 4);
  std::memcpy(&rec[7], &reverb, 4);
  std::memcpy(&rec[8], &reverbDelay, 4);
  rec[9] = 0;
  float g[] = {7.5f, 1.0f, -5.0f};
  std::memcpy(&rec[10], g, 12);
  rec[13] = 64;
  render.calls.clear();
  EXPECT_EQ(SetEAX2Effect(1, rec, sizeof(rec)), -2);
  EXPECT_TRUE(SlotCalls().empty());
  rec[13] = 63;
  EXPECT_EQ(SetEAX2Effect(1, rec, 55), -2);
  EXPECT_EQ(SetEAX2Effect(1, rec, sizeof(rec)), 0);
  EXPECT_EQ(SlotCalls(), (std::vector<std::string>{"SetSlotEffectParameter 0 1 112 0"}));
}

TEST_F(EAXEffectTest, SlotVolumeAndEffect) {
  int32_t volume = -2000;
  EXPECT_EQ(SetEAX4Effect(1, 0x10003, &volume, 4), 0);
  EXPECT_NEAR(render.slotLevel[1], 0.1f, 1e-6f);
  int32_t back = 0;
  EXPECT_EQ(GetEAX4Effect(1, 0x10003, &back, 4), 0);
  EXPECT_EQ(back, -1999);
  render.slotLevel[1] = 0.0f;
  EXPECT_EQ(GetEAX4Effect(1, 0x10003, &back, 4), 0);
  EXPECT_EQ(back, -10000);
  volume = 1;
  EXPECT_EQ(SetEAX4Effect(1, 0x10003, &volume, 4), -2);
  // The full slot record: effect, level and flags, then the lock.
  uint8_t rec[28] = {};
  _GUID effect = GetGUID(2);
  std::memcpy(rec, &effect, 16);
  int32_t vol = 0, lock = 1;
  uint32_t flags = 2;
  std::memcpy(rec + 16, &vol, 4);
  std::memcpy(rec + 20, &lock, 4);
  std::memcpy(rec + 24, &flags, 4);
  render.calls.clear();
  EXPECT_EQ(SetEAX4Effect(3, 0x10001, rec, 28), -2);
  flags = 1;
  std::memcpy(rec + 24, &flags, 4);
  EXPECT_EQ(SetEAX4Effect(3, 0x10001, rec, 28), 0);
  EXPECT_EQ(SlotCalls(),
            (std::vector<std::string>{"SetSlotEffect 3", "SetSlotLevel 3 0", "SetSlotFlags 3 0"}));
  EXPECT_EQ(std::memcmp(&render.slotEffect[3], &effect, 16), 0);
  EXPECT_EQ(SetEAX4Effect(3, 0x10006, rec, 28), -2);
}
