// Event tracks: the binary event file, the converter that writes it, and
// instances that deliver the keys to an entity as their frames pass.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Event/EEventAnim.h"
#include "Event/EEventAnimManager.h"
#include "TWUtil/ByteOrder.h"
#include "TWUtil/EFileManager.h"
#include "TWUtil/ErrorManager.h"
#include "VERirezo/Entity.h"
#include "VERirezo/EventAnimInstance.h"

namespace {

std::vector<std::string>* s_pEventLines = nullptr;
void EventCapture(const char* text) {
  if (s_pEventLines) s_pEventLines->push_back(text ? text : "");
}

void Put32(std::vector<uint8_t>& out, uint32_t u) {
  uint8_t b[4];
  PutLE32(b, u);
  out.insert(out.end(), b, b + 4);
}

// A track file: each table's bytes as given (NUL included by the caller),
// one channel per entry of frames.
std::vector<uint8_t> Track(uint32_t version, const std::vector<std::string>& tables,
                           const std::vector<std::vector<uint32_t>>& channels, uint32_t objects = 1) {
  std::vector<uint8_t> out;
  Put32(out, kEVENTANIM_MAGIC);
  Put32(out, version);
  Put32(out, objects);
  Put32(out, (uint32_t)tables.size());
  for (const std::string& t : tables) {
    out.push_back((uint8_t)(t.size() & 0xFF));
    out.push_back((uint8_t)(t.size() >> 8));
    out.insert(out.end(), t.begin(), t.end());
  }
  Put32(out, (uint32_t)channels.size());
  for (const auto& keys : channels) {
    Put32(out, (uint32_t)keys.size());
    for (uint32_t f : keys) {
      Put32(out, f);
      Put32(out, 0);
    }
  }
  return out;
}

std::string Z(const char* sz) { return std::string(sz) + std::string(1, '\0'); }

struct Event {
  uint32_t uChannel, uIndex;
  float fTime;
  std::string text;
};

// Records what it receives; refuses the key of one channel and index while
// told to.
class RecordingEntity : public EEntity {
public:
  RecordingEntity() : EEntity(nullptr, "listener") {}
  void RequestRender() override {}
  void RunAffectors() override {}
  int EventHandler(const EEventAnimDesc& desc) override {
    m_Events.push_back({desc.m_uChannel, desc.m_uIndex, desc.m_fTime, desc.m_szString ? desc.m_szString : "(null)"});
    return (int)desc.m_uChannel == m_iRefuseChannel && (int)desc.m_uIndex == m_iRefuseIndex ? 1 : 0;
  }
  std::string Texts() const {
    std::string s;
    for (const Event& e : m_Events) s += std::to_string(e.uChannel) + ":" + e.text + " ";
    return s;
  }

  std::vector<Event> m_Events;
  int m_iRefuseChannel = -1;
  int m_iRefuseIndex = -1;
};

class EventAnimTest : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/eventanimXXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    m_Dir = pattern;
    s_pEventLines = &m_Lines;
    g_ErrorManager.SetConsoleCallback(&EventCapture);
    for (int i = 0; i < 2; ++i) {
      m_abTraces[i] = g_ErrorManager.IsEnabled(kTYPES[i]);
      g_ErrorManager.SetEnabled(kTYPES[i], true);
    }
    m_pManager = EEventAnimManager::createEventAnimManager();
  }
  void TearDown() override {
    EEventAnimManager::destroyEventAnimManager();
    for (int i = 0; i < 2; ++i) g_ErrorManager.SetEnabled(kTYPES[i], m_abTraces[i]);
    g_ErrorManager.SetConsoleCallback(nullptr);
    s_pEventLines = nullptr;
    std::string cmd = "rm -rf '" + m_Dir + "'";
    if (system(cmd.c_str()) != 0) ADD_FAILURE() << "could not remove " << m_Dir;
  }
  std::string Path(const std::string& rel) const { return m_Dir + "/" + rel; }
  void WriteFile(const std::string& rel, const std::string& bytes) {
    FILE* f = fopen(Path(rel).c_str(), "wb");
    ASSERT_NE(nullptr, f);
    if (!bytes.empty()) {
      ASSERT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), f));
    }
    fclose(f);
  }
  std::vector<uint8_t> ReadFile(const std::string& rel) {
    std::vector<uint8_t> out;
    FILE* f = fopen(Path(rel).c_str(), "rb");
    if (!f) return out;
    int c;
    while ((c = fgetc(f)) != EOF) out.push_back((uint8_t)c);
    fclose(f);
    return out;
  }
  // Converts text and loads what the converter wrote.
  bool Convert(const std::string& text, EEventAnim& track) {
    WriteFile("in.txt", text);
    if (!m_pManager->CreateBinaryEventFile(Path("in.txt").c_str(), Path("out.eve").c_str())) return false;
    const std::vector<uint8_t> bytes = ReadFile("out.eve");
    return track.loadFromMemory(bytes.data(), (uint32_t)bytes.size());
  }
  int CountLines(const std::string& text) const {
    int n = 0;
    for (const std::string& s : m_Lines) n += s.find(text) != std::string::npos;
    return n;
  }
  std::string AllLines() const {
    std::string r;
    for (const std::string& s : m_Lines) r += s + "\n";
    return r;
  }

  static constexpr TRACETYPE kTYPES[2] = {TT_None, TT_Warning};
  bool m_abTraces[2] = {false, false};
  std::string m_Dir;
  std::vector<std::string> m_Lines;
  EEventAnimManager* m_pManager = nullptr;
};

}  // namespace

// ---- The converter ------------------------------------------------------------------------------

TEST_F(EventAnimTest, ConverterWritesSixteenTablesAndChannels) {
  WriteFile("in.txt", "3 0x10 hello\n\n8 010 Collide 1 2\n");
  ASSERT_TRUE(m_pManager->CreateBinaryEventFile(Path("in.txt").c_str(), Path("out.eve").c_str()));
  std::vector<std::string> tables(16, std::string(1, '\0'));
  tables[3] = Z("hello\t");
  tables[8] = Z("Collide 1 2\t");
  std::vector<std::vector<uint32_t>> channels(16);
  channels[3] = {16};
  channels[8] = {8};
  const std::vector<uint8_t> expected = Track(101, tables, channels);
  ASSERT_EQ(166u, expected.size());
  EXPECT_EQ(expected, ReadFile("out.eve"));
  EXPECT_EQ(1, CountLines("Reading ASCII file '" + Path("in.txt") + "'"));
  EXPECT_EQ(1, CountLines(" Channel 3, Frame 16, String 'hello'"));
  EXPECT_EQ(1, CountLines(" Channel 8, Frame 8, String 'Collide 1 2'"));
  EXPECT_EQ(1, CountLines("Writing event file '" + Path("out.eve") + "'"));
}

TEST_F(EventAnimTest, ConverterRefusesFilesItCannotOpenAndBadChannels) {
  EXPECT_FALSE(m_pManager->CreateBinaryEventFile(Path("missing.txt").c_str(), Path("out.eve").c_str()));
  EXPECT_EQ(1, CountLines("Failed to open '" + Path("missing.txt") + "' file"));
  WriteFile("in.txt", "0 1 a\n");
  EXPECT_FALSE(m_pManager->CreateBinaryEventFile(Path("in.txt").c_str(), Path("no/such/dir/out.eve").c_str()));
  EXPECT_EQ(1, CountLines("Failed to open '" + Path("no/such/dir/out.eve") + "' file"));

  for (const char* text : {"16 1 a\n", "0 1 a\n-1 2 b\n"}) {
    m_Lines.clear();
    WriteFile("in.txt", text);
    EXPECT_FALSE(m_pManager->CreateBinaryEventFile(Path("in.txt").c_str(), Path("out.eve").c_str())) << text;
    EXPECT_EQ(1, CountLines("channel>=0 && channel<=15")) << text;
  }
}

TEST_F(EventAnimTest, ConverterStopsAtItsLimits) {
  // A record that does not go on with two numbers ends the scan.
  for (const char* text : {"abc\n", "0 1 first\nnot a record\n0 2 second\n", "0 x\n", "0 1"}) {
    EEventAnim track;
    ASSERT_TRUE(Convert(text, track)) << text;
    EXPECT_EQ(16u, track.numChannels());
    EXPECT_GE(1u, track.getChannel(0).numKeys()) << text;
  }

  // 255 keys a channel, 4096 bytes of text a channel, 255 characters a line.
  std::string many;
  for (int i = 0; i < 300; ++i) many += "1 " + std::to_string(i) + " k\n";
  many += "2 1 " + std::string(300, 'w') + "\n2 2 after\n";
  for (int i = 0; i < 20; ++i) many += "4 " + std::to_string(i) + " " + std::string(250, 't') + "\n";
  EEventAnim track;
  m_Lines.clear();
  ASSERT_TRUE(Convert(many, track));
  EXPECT_EQ(255u, track.getChannel(1).numKeys());
  EXPECT_EQ(45, CountLines("Event channel 1 is full"));
  ASSERT_EQ(2u, track.getChannel(2).numKeys());
  EXPECT_EQ(std::string(255, 'w'), track.getChannel(2).getKey(0).getItem());
  EXPECT_STREQ("after", track.getChannel(2).getKey(1).getItem());
  EXPECT_EQ(1, CountLines("Event line cut to 255 characters"));
  EXPECT_EQ(16u, track.getChannel(4).numKeys());  // 16 x 251 bytes fit in 4096
  EXPECT_EQ(4, CountLines("Event channel 4 is full"));
}

// ---- Reading tracks -----------------------------------------------------------------------------

TEST_F(EventAnimTest, TablesSplitByVersionAndStringsCycle) {
  EEventAnim v100;
  std::vector<uint8_t> bytes = Track(100, {Z("step jump\tland")}, {{1, 2, 3, 4, 5}});
  ASSERT_TRUE(v100.loadFromMemory(bytes.data(), (uint32_t)bytes.size()));
  ASSERT_EQ(1u, v100.numChannels());
  const EEventAnimChannel& c = v100.getChannel(0);
  ASSERT_EQ(5u, c.numKeys());
  const char* expected100[] = {"step", "jump\tland", "step", "jump\tland", "step"};
  for (int i = 0; i < 5; ++i) EXPECT_STREQ(expected100[i], c.getKey(i).getItem()) << i;
  EXPECT_FLOAT_EQ(5.0f / 30.0f, c.maxTime());

  EEventAnim v101;
  bytes = Track(101, {Z("Collide 1 2\tLand\t"), Z("")}, {{7, 9, 11}, {}});
  ASSERT_TRUE(v101.loadFromMemory(bytes.data(), (uint32_t)bytes.size()));
  const char* expected101[] = {"Collide 1 2", "Land", "Collide 1 2"};
  for (int i = 0; i < 3; ++i) EXPECT_STREQ(expected101[i], v101.getChannel(0).getKey(i).getItem()) << i;
  EXPECT_EQ(0u, v101.getChannel(1).numKeys());

  // Any other version keeps the table whole; an empty table gives empty texts.
  EEventAnim other;
  bytes = Track(7, {Z("a b\tc"), Z("")}, {{1}, {1, 2}});
  ASSERT_TRUE(other.loadFromMemory(bytes.data(), (uint32_t)bytes.size()));
  EXPECT_STREQ("a b\tc", other.getChannel(0).getKey(0).getItem());
  EXPECT_STREQ("", other.getChannel(1).getKey(1).getItem());
}

TEST_F(EventAnimTest, DamagedTracksAreRefused) {
  const std::vector<uint8_t> good = Track(101, {Z("a\t"), Z("b\t")}, {{1}, {2}});
  std::vector<uint8_t> noNul = Track(101, {"abc"}, {{1}});
  std::vector<uint8_t> tooManyKeys = Track(101, {Z("a")}, {std::vector<uint32_t>(4096, 1)});
  std::vector<uint8_t> seventeen = Track(101, std::vector<std::string>(17, Z("")), std::vector<std::vector<uint32_t>>(17));
  std::vector<uint8_t> moreChannels = Track(101, {Z("a")}, {{1}, {2}});
  std::vector<uint8_t> longTable = good;
  longTable[16] = 0xFF;  // the first table claims 255 bytes
  std::vector<uint8_t> manyTables = good;
  PutLE32(&manyTables[12], 0x7FFFFFFF);
  struct Case {
    const char* szName;
    std::vector<uint8_t> bytes;
    const char* szTrace;
  } cases[] = {
      {"two objects", Track(101, {Z("a")}, {{1}}, 2), "object count other than 1"},
      {"no NUL", noNul, "string table without a NUL"},
      {"4096 keys", tooManyKeys, "4096 or more keys"},
      {"17 channels", seventeen, "more than 16 channels"},
      {"channels beyond tables", moreChannels, "more channels than string tables"},
      {"table past the data", longTable, "string table past the data"},
      {"tables past the data", manyTables, "string tables past the data"},
      {"keys past the data", std::vector<uint8_t>(good.begin(), good.end() - 4), "keys past the data"},
      {"no channel count", std::vector<uint8_t>(good.begin(), good.begin() + 26), "no channel count"},
      {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 6), "short header"},
  };
  for (const Case& c : cases) {
    m_Lines.clear();
    EEventAnim track;
    EXPECT_FALSE(track.loadFromMemory(c.bytes.data(), (uint32_t)c.bytes.size())) << c.szName;
    EXPECT_EQ(1, CountLines(std::string("Bad event track: ") + c.szTrace)) << c.szName << AllLines();
    EXPECT_EQ(0u, track.numChannels()) << c.szName;
  }
  EEventAnim track;
  EXPECT_FALSE(track.loadFromMemory(nullptr, 10));
}

TEST_F(EventAnimTest, LoadEventAnimReadsThroughTheFileManager) {
  EFileManager files;
  files.AddReadPath(m_Dir.c_str(), true);
  EFileManager* pOld = gFile;
  gFile = &files;
  const std::vector<uint8_t> bytes = Track(101, {Z("x\t")}, {{4}});
  mkdir(Path("anims").c_str(), 0755);
  WriteFile("anims/track.eve", std::string(bytes.begin(), bytes.end()));
  WriteFile("anims/bad.eve", "EVEP");
  EEventAnim* pTrack = m_pManager->LoadEventAnim("anims/track.eve");
  ASSERT_NE(nullptr, pTrack);
  EXPECT_EQ(1u, pTrack->numChannels());
  EXPECT_STREQ("x", pTrack->getChannel(0).getKey(0).getItem());
  delete pTrack;
  EXPECT_EQ(nullptr, m_pManager->LoadEventAnim("anims/missing.eve"));
  EXPECT_EQ(nullptr, m_pManager->LoadEventAnim("anims/bad.eve"));
  gFile = pOld;
}

// ---- Playing tracks -----------------------------------------------------------------------------

TEST_F(EventAnimTest, KeysFireOncePassedAndInOrder) {
  EEventAnim track;
  ASSERT_TRUE(Convert("0 15 a\n0 20 b\n0 25 c\n9 18 Msg x\n2 40 late\n", track));
  RecordingEntity entity;
  EEventAnimInstance instance;
  instance.Bind(&track, &entity);
  EXPECT_FALSE(instance.update(0.5f));  // frame 15: not yet
  EXPECT_TRUE(entity.m_Events.empty());
  instance.update(0.01f);
  ASSERT_EQ(1u, entity.m_Events.size());
  EXPECT_EQ(0u, entity.m_Events[0].uChannel);
  EXPECT_EQ(0u, entity.m_Events[0].uIndex);
  EXPECT_FLOAT_EQ(15.0f, entity.m_Events[0].fTime);
  // A jump delivers every key passed, channel by channel.
  instance.update(0.5f);
  EXPECT_EQ("0:a 0:b 0:c 9:Msg x ", entity.Texts());
  EXPECT_EQ(2u, entity.m_Events[2].uIndex);
  EXPECT_FALSE(instance.update(1.0f));
  EXPECT_EQ("0:a 0:b 0:c 9:Msg x 2:late ", entity.Texts());
  // Finished once every channel has reported its end.
  EXPECT_TRUE(instance.update(0.0f));
  EXPECT_EQ(-1, instance.GetCursor(0));
}

TEST_F(EventAnimTest, ARefusedKeyIsDeliveredAgainAndLaterChannelsWait) {
  EEventAnim track;
  ASSERT_TRUE(Convert("0 1 a\n0 2 b\n0 3 c\n5 1 other\n", track));
  RecordingEntity entity;
  entity.m_iRefuseChannel = 0;
  entity.m_iRefuseIndex = 1;
  EEventAnimInstance instance;
  instance.Bind(&track, &entity);
  EXPECT_FALSE(instance.update(1.0f));
  EXPECT_EQ("0:a 0:b ", entity.Texts());
  EXPECT_EQ(1, instance.GetCursor(0));
  instance.update(0.0f);
  EXPECT_EQ("0:a 0:b 0:b ", entity.Texts());
  entity.m_iRefuseChannel = -1;
  instance.update(0.0f);
  EXPECT_EQ("0:a 0:b 0:b 0:b 0:c 5:other ", entity.Texts());
}

TEST_F(EventAnimTest, SparseEventsAndAbsentEntitiesPassKeysSilently) {
  EEventAnim track;
  ASSERT_TRUE(Convert("0 1 a\n0 20 b\n", track));
  RecordingEntity entity;
  entity.SetEntityFlag(ENTITY_SPARSE_EVENTS, true);
  EEventAnimInstance instance;
  instance.Bind(&track, &entity);
  instance.sync(true, 0.5f, 0.1f);
  instance.update(0.0f);
  EXPECT_TRUE(entity.m_Events.empty());
  instance.sync(true, 0.6f, 1.0f);
  instance.update(0.0f);
  EXPECT_EQ("0:b ", entity.Texts());
  // Without the flag the weight does not matter; an inactive animation has weight 0.
  entity.SetEntityFlag(ENTITY_SPARSE_EVENTS, false);
  instance.sync(false, 1.0f, 0.0f);
  instance.update(0.5f);
  EXPECT_EQ("0:b 0:a ", entity.Texts());

  EEventAnimInstance orphan;
  orphan.Bind(&track, nullptr);
  EXPECT_FALSE(orphan.update(1.0f));
  EXPECT_EQ(2, orphan.GetCursor(0));
  EEventAnimInstance empty;
  EXPECT_FALSE(empty.update(1.0f));
  EXPECT_FALSE(empty.HasChannels());
  EXPECT_TRUE(orphan.HasChannels());
}

TEST_F(EventAnimTest, WrapsFireTheEarlyKeysAgain) {
  EEventAnim track;
  ASSERT_TRUE(Convert("1 3 early\n1 24 late\n", track));
  RecordingEntity entity;
  EEventAnimInstance instance;
  instance.Bind(&track, &entity);
  // The animation wraps: sync sees its time go back.
  instance.sync(true, 1.0f, 0.9f);
  instance.update(0.0f);
  EXPECT_EQ("1:early 1:late ", entity.Texts());
  instance.sync(true, 1.0f, 0.2f);
  instance.update(0.0f);
  EXPECT_EQ("1:early 1:late 1:early ", entity.Texts());

  // A looping instance starts again itself once finished past its length.
  EEventAnimInstance looping;
  looping.Bind(&track, &entity);
  looping.SetLoop(true, 1.0f);
  entity.m_Events.clear();
  looping.update(0.9f);
  EXPECT_TRUE(looping.update(0.2f));
  EXPECT_NEAR(0.1f, looping.GetTime(), 1e-5f);
  EXPECT_EQ(0, looping.GetCursor(1));
  looping.update(0.0f);
  EXPECT_EQ("1:early 1:late 1:early ", entity.Texts());
}
