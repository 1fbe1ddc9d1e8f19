// Event tracks reach the animation cache: from the side file beside an
// animation and from an animation pack's event section.

#include <gtest/gtest.h>

#include "AnimTestUtil.h"
#include "ApfWriter.h"
#include "Event/EEventAnim.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EStream.h"
#include "VERirezo/AnimManager.h"
#include "VERirezo/SkelAnim.h"

namespace {

const char* const kStill = "version 201\nlength 30\njoint Root 0\npos 0: 0 0 0, 30: 0 0 0\n";

// A version-101 track of one channel holding one key at frame 6.
std::vector<uint8_t> OneKeyTrack(const char* szText) {
  std::vector<uint8_t> out(16);
  PutLE32(&out[0], kEVENTANIM_MAGIC);
  PutLE32(&out[4], 101);
  PutLE32(&out[8], 1);
  PutLE32(&out[12], 1);
  const std::string table = std::string(szText) + "\t" + std::string(1, '\0');
  out.push_back((uint8_t)table.size());
  out.push_back(0);
  out.insert(out.end(), table.begin(), table.end());
  uint8_t tail[16];
  PutLE32(tail, 1);
  PutLE32(tail + 4, 1);
  PutLE32(tail + 8, 6);
  PutLEFloat(tail + 12, 0.0f);
  out.insert(out.end(), tail, tail + 16);
  return out;
}

class EventTrackCache : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    m_bWarn = g_ErrorManager.IsEnabled(TT_Warning);
    g_ErrorManager.SetEnabled(TT_Warning, true);
    ASSERT_TRUE(EAnimManager::Create(0));
  }
  void TearDown() override {
    EAnimManager::Destroy();
    g_ErrorManager.SetEnabled(TT_Warning, m_bWarn);
    AnimTest::TearDown();
  }
  bool m_bWarn = false;
};

}  // namespace

TEST_F(EventTrackCache, SideFilesGiveNewAnimationsTheirTracks) {
  WriteBytes("anims/walk.jan", Jan(kStill));
  WriteBytes("anims/walk.eve", OneKeyTrack("Step"));
  WriteBytes("anims/idle.jan", Jan(kStill));
  WriteBytes("anims/idle.eve", {'E', 'V', 'E', 'P', 101, 0, 0, 0, 2, 0, 0, 0});
  WriteBytes("anims/run.jan", Jan(kStill));
  EAnimManager* pCache = EAnimManager::Get();
  ESkelAnimShared* walk = pCache->Get("Anims\\Walk.jan", 0.0f, 0);
  ASSERT_NE(nullptr, walk);
  ASSERT_NE(nullptr, walk->GetEventAnim());
  ASSERT_EQ(1u, walk->GetEventAnim()->numChannels());
  EXPECT_STREQ("Step", walk->GetEventAnim()->getChannel(0).getKey(0).getItem());
  ESkelAnimShared* idle = pCache->Get("anims/idle.jan", 0.0f, 0);
  ASSERT_NE(nullptr, idle);
  EXPECT_EQ(nullptr, idle->GetEventAnim());
  EXPECT_EQ(1, CountLines("Bad event track: object count other than 1"));
  ESkelAnimShared* run = pCache->Get("anims/run.jan", 0.0f, 0);
  ASSERT_NE(nullptr, run);
  EXPECT_EQ(nullptr, run->GetEventAnim());
  pCache->Release(walk);
  pCache->Release(idle);
  pCache->Release(run);
}

TEST_F(EventTrackCache, PackEventSectionsBuildTracks) {
  std::vector<ApfEntry> entries(2);
  entries[0].name = "anims/walk.jan";
  entries[0].offset = 0;
  entries[0].size = 100;
  entries[0].jan = Jan(kStill);
  entries[0].hasEvent = true;
  entries[0].event = OneKeyTrack("Land");
  entries[1].name = "anims/idle.jan";
  entries[1].offset = 100;
  entries[1].size = 100;
  entries[1].jan = Jan(kStill);
  entries[1].hasEvent = true;
  entries[1].event = {1, 2, 3};
  std::vector<uint8_t> pack;
  std::string error;
  ASSERT_TRUE(WriteApf(entries, pack, error)) << error;
  EMemReader reader(pack.data(), (unsigned)pack.size());
  ASSERT_TRUE(EAnimManager::Get()->ReadPackFile(reader, false));
  ESkelAnimShared* walk = EAnimManager::Get()->Find("anims\\walk.jan");
  ASSERT_NE(nullptr, walk);
  ASSERT_NE(nullptr, walk->GetEventAnim());
  EXPECT_STREQ("Land", walk->GetEventAnim()->getChannel(0).getKey(0).getItem());
  ESkelAnimShared* idle = EAnimManager::Get()->Find("anims\\idle.jan");
  ASSERT_NE(nullptr, idle);
  EXPECT_EQ(nullptr, idle->GetEventAnim());
  EXPECT_EQ(1, CountLines("Bad event track"));
}
