// Blend animations: the ".pba" readers and writer, sampling, weights, fades
// and binding.
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "AnimTestUtil.h"
#include "BlendTestUtil.h"
#include "TWUtil/EFileCache.h"
#include "TWUtil/EStream.h"
#include "VERirezo/BlendAnim.h"
#include "VERirezo/BlendShapeController.h"
#include "VERirezo/EBlendAnimManager.h"

namespace {

std::vector<uint8_t> Ramp(int n) {
  std::vector<uint8_t> v;
  for (int i = 0; i < n; ++i) v.push_back((uint8_t)(i * 8));
  return v;
}

// Data taken over in place: the bytes, then the name and its NUL.
EBlendAnimShared* Fixup(const std::vector<uint8_t>& bytes, const char* szName, bool* pbOk = nullptr) {
  const size_t n = strlen(szName);
  char* p = static_cast<char*>(malloc(bytes.size() + n + 1));
  if (!bytes.empty()) memcpy(p, bytes.data(), bytes.size());
  memcpy(p + bytes.size(), szName, n + 1);
  EBlendAnimShared* s = new EBlendAnimShared();
  s->setName(p + bytes.size());
  const bool ok = s->loadFromMemoryFixup(p, (unsigned)bytes.size());
  if (pbOk) *pbOk = ok;
  return s;
}

struct PlainShared {
  std::string name;
  std::vector<uint8_t> samples;
};
std::vector<PlainShared> Plain(const EBlendAnimShared& s) {
  std::vector<PlainShared> r;
  for (unsigned i = 0; i < s.getNumChannels(); ++i) {
    const EBlendAnimChannel* c = s.getChannel(i);
    r.push_back({c->getName(), std::vector<uint8_t>(c->getSamples(), c->getSamples() + c->getNumSamples())});
  }
  return r;
}

}  // namespace

class BlendAnimTest : public AnimTest {
protected:
  void SetUp() override {
    AnimTest::SetUp();
    m_pManager = EBlendAnimManager::createBlendAnimManager();
  }
  void TearDown() override {
    EBlendAnimManager::destroyBlendAnimManager();
    AnimTest::TearDown();
  }
  // An instance playing data read from bytes, bound to names in order.
  EBlendAnim* Play(const std::vector<uint8_t>& bytes, const std::vector<std::string>& names) {
    EBlendAnim* a = new EBlendAnim();
    a->m_pShared = Fixup(bytes, "test.pba");
    a->SetOwnsShared(true);
    for (const std::string& n : names) m_Names.AddBlendMapping(n.c_str());
    a->quickBind(&m_Names);
    return a;
  }
  EBlendAnimManager* m_pManager = nullptr;
  EBlendShapeController m_Names;
};

TEST_F(BlendAnimTest, WriterAndThreeReadersAgree) {
  // Authoring through the writer, as the tool does.
  EBlendAnimShared authored;
  authored.createChannels(2, 3);
  authored.getChannel(0)->setName("Smile");
  authored.getChannel(1)->setName("Blink");
  const float values[2][3] = {{0.0f, 0.5f, 1.0f}, {1.01f, -0.2f, 0.25f}};
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < 3; ++i) authored.getChannel(c)->setSample(i, values[c][i]);
  ASSERT_TRUE(authored.writeToFile(Path("smile.pba").c_str()));

  // Out-of-range weights are held at the ends rather than wrapped.
  const std::vector<uint8_t> expected = PbaBytes({{"Smile", {0, 127, 255}}, {"Blink", {255, 0, 63}}});
  FILE* f = fopen(Path("smile.pba").c_str(), "rb");
  ASSERT_NE(nullptr, f);
  std::vector<uint8_t> written(expected.size() + 8);
  written.resize(fread(written.data(), 1, written.size(), f));
  fclose(f);
  EXPECT_EQ(expected, written);

  EBlendAnimShared streamed;
  ASSERT_TRUE(streamed.load("smile.pba"));
  EDynamicCacheFile* pFile = m_pManager->loadBlendAnim("smile.pba");
  ASSERT_NE(nullptr, pFile);
  EBlendAnimShared copied;
  EXPECT_TRUE(copied.loadFromMemory(pFile));
  EXPECT_EQ(pFile, copied.getCacheRef());
  std::unique_ptr<EBlendAnimShared> fixed(Fixup(written, "smile.pba"));

  for (EBlendAnimShared* s : {&streamed, &copied, fixed.get()}) {
    EXPECT_TRUE(s->IsLoaded());
    ASSERT_EQ(2u, s->getNumChannels());
    EXPECT_FLOAT_EQ(0.1f, s->getTotalTimeInSecs());
    std::vector<PlainShared> p = Plain(*s);
    EXPECT_EQ("Smile", p[0].name);
    EXPECT_EQ("Blink", p[1].name);
    EXPECT_EQ(std::vector<uint8_t>({0, 127, 255}), p[0].samples);
    EXPECT_EQ(std::vector<uint8_t>({255, 0, 63}), p[1].samples);
  }
  EXPECT_STREQ("smile.pba", fixed->getName());
  EXPECT_EQ((int)written.size() + 10, fixed->getDataSize());

  EBlendAnimShared missing;
  EXPECT_FALSE(missing.load("nothere.pba"));
  EXPECT_EQ(1, CountLines("Failed to open 'nothere.pba'"));
}

TEST_F(BlendAnimTest, ChannelSampling) {
  EBlendAnimChannel one, ramp;
  one.loadFromMemory("One", 3, (const uint8_t*)"\x66", 1);
  std::vector<uint8_t> r = Ramp(30);
  ramp.loadFromMemory("Ramp", 4, r.data(), 30);
  struct Case {
    const EBlendAnimChannel* c;
    float t;
    bool loop;
    float expect;
  } cases[] = {
      {&one, 0.0f, false, 102 / 255.0f},    {&one, 7.3f, true, 102 / 255.0f},
      {&one, 100.0f, false, 102 / 255.0f},  {&ramp, 0.0f, false, 0.0f},
      {&ramp, 10.0f, false, 232 / 255.0f},  // past the end: the last sample
      // Looping: from the last sample back to the first, half-way.
      {&ramp, (29.5f * 29.0f / 30.0f) / 30.0f, true, 116 / 255.0f},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.expect, c.c->value(c.t, c.loop), 1e-5f) << c.t << " loop " << c.loop;
  EXPECT_FLOAT_EQ(1.0f, ramp.getTotalTimeInSecs());
  EXPECT_FALSE(ramp.IsDone(1.0f));
  EXPECT_TRUE(ramp.IsDone(1.01f));
  EXPECT_EQ(30 + 5, ramp.GetMemUsage());
  EBlendAnimChannel empty;
  EXPECT_EQ(0.0f, empty.value(0.5f, true));
}

TEST_F(BlendAnimTest, WeightsOncePerTimeAndTheEnd) {
  std::unique_ptr<EBlendAnim> a(Play(PbaBytes({{"Jaw", Ramp(30)}, {"Nobody", {9}}}), {"Brow", "Jaw"}));
  ASSERT_TRUE(a->IsBound());
  EXPECT_EQ(1, a->getChannelMap()[0]);
  EXPECT_EQ(-1, a->getChannelMap()[1]);
  a->SetLooping(false);
  a->SetTime(0.5f);
  const float* w = a->getBlendWeights();
  EXPECT_NEAR(15 * 8 / 255.0f, w[1], 1e-5f);
  EXPECT_EQ(0.0f, w[0]);
  const int n = EBlendAnimManager::m_nBlendAnims;
  EXPECT_EQ(w, a->getBlendWeights());
  EXPECT_NEAR(15 * 8 / 255.0f, w[1], 1e-5f);
  EXPECT_EQ(n, EBlendAnimManager::m_nBlendAnims);

  EXPECT_NEAR(0.5f, a->GetAnimCompletion(), 1e-5f);
  a->SetTime(1.0f);
  w = a->getBlendWeights();
  EXPECT_EQ(n + 1, EBlendAnimManager::m_nBlendAnims);
  for (int i = 0; i < MAX_BLENDWEIGHTS; ++i) EXPECT_EQ(0.0f, w[i]) << i;
  EXPECT_TRUE(a->IsDone());
  EXPECT_FALSE(a->IsActive());
}

TEST_F(BlendAnimTest, BindingStaysInsideTheWeights) {
  // A name list longer than the weight table: names from 64 on have no
  // weight, so their channels stay unbound.
  std::vector<std::string> names;
  for (int i = 0; i < 70; ++i) names.push_back("t" + std::to_string(i));
  std::unique_ptr<EBlendAnim> a(Play(PbaBytes({{"t63", {255}}, {"t64", {255}}, {"t69", {255}}}), names));
  EXPECT_EQ(63, a->getChannelMap()[0]);
  EXPECT_EQ(-1, a->getChannelMap()[1]);
  EXPECT_EQ(-1, a->getChannelMap()[2]);
  EXPECT_EQ(1.0f, a->getBlendWeights()[63]);
  // Names compare with case when bound through the name list.
  std::unique_ptr<EBlendAnim> b(Play(PbaBytes({{"T1", {255}}}), {}));
  EXPECT_EQ(-1, b->getChannelMap()[0]);
  EXPECT_EQ(1.0f, b->GetAnimCompletion()) << "bound, but no channel has a target";
}

TEST_F(BlendAnimTest, FadesAndTheirSteps) {
  std::unique_ptr<EBlendAnim> a(Play(PbaBytes({{"Jaw", Ramp(30)}}), {"Jaw"}));
  // Fade-in over 0.5 s in steps of 0.125 s, evaluating each frame.
  a->SetAutoBlend(true, 0.5f);
  EXPECT_EQ(0.0f, a->getBlendFactor());
  const float rise[] = {0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 1.0f};
  for (float expect : rise) {
    a->update(0.125f);
    a->getBlendWeights();
    EXPECT_EQ(expect, a->getBlendFactor());
  }
  // A stop fading over 0.5 s from 1.
  a->active(false);
  a->SetAutoBlend(true, -0.5f);
  const float fall[] = {0.75f, 0.5f, 0.25f, 0.0f, 0.0f};
  for (float expect : fall) {
    a->update(0.125f);
    a->getBlendWeights();
    EXPECT_EQ(expect, a->getBlendFactor());
  }

  // Without a fade an inactive instance falls at 10 per second.
  std::unique_ptr<EBlendAnim> b(Play(PbaBytes({{"Jaw", Ramp(30)}}), {"Jaw"}));
  b->update(0.0f);
  b->getBlendWeights();
  b->active(false);
  b->update(0.03125f);
  EXPECT_FLOAT_EQ(0.6875f, b->getBlendFactor());

  // The first update after creation steps by the elapsed time: a clock that
  // went back does too.
  std::unique_ptr<EBlendAnim> c(Play(PbaBytes({{"Jaw", Ramp(30)}}), {"Jaw"}));
  c->SetAutoBlend(true, 1.0f);
  c->SetTime(0.25f);
  c->update(0.125f);
  EXPECT_EQ(0.375f, c->getBlendFactor());
}

TEST_F(BlendAnimTest, DamagedDataKeepsTheWholeChannels) {
  const std::vector<uint8_t> full =
      PbaBytes({{"Smile", {1, 2}}, {"Blink", {3}}, {"Jaw", {4, 5, 6}}, {"Brow", {7, 8, 9, 10}}});
  // Offsets into the file: the header is 12 bytes, each record 1 + L + 4 + S.
  const size_t ch3 = 12 + (1 + 6 + 4 + 2) + (1 + 6 + 4 + 1) + (1 + 4 + 4 + 3);
  struct Case {
    size_t len;
    uint32_t claimed;
    unsigned channels;
    const char* trace;
  } cases[] = {
      {ch3 + 3, 4, 3, "Channel (incomplete) has a name but no data"},
      {ch3 + 1 + 5, 4, 3, "Channel Brow has a name but no data"},
      {ch3 + 1 + 5 + 4 + 2, 4, 3, "Channel Brow claims to have 4 samples, but at best has 2"},
      {ch3, 4, 3, "Fewer channels than claimed (3/4)"},
      {full.size(), 6, 4, "Fewer channels than claimed (4/6)"},
      {full.size(), 4, 4, nullptr},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(full.begin(), full.begin() + c.len);
    bytes[8] = (uint8_t)c.claimed;
    m_Lines.clear();
    bool ok = true;
    std::unique_ptr<EBlendAnimShared> s(Fixup(bytes, "anims/face.pba", &ok));
    EXPECT_EQ(c.trace == nullptr, ok) << c.len;
    EXPECT_TRUE(s->IsLoaded());
    EXPECT_EQ(c.channels, s->getNumChannels()) << c.len;
    if (c.trace) {
      EXPECT_EQ(1, CountLines(c.trace)) << AllLines();
    }
    EXPECT_EQ("Jaw", Plain(*s)[2].name);
    EXPECT_FLOAT_EQ(c.channels == 4 ? 4 / 30.0f : 3 / 30.0f, s->getTotalTimeInSecs());

    // The copying and stream readers stop at the same place.
    EBlendAnimShared copied;
    EXPECT_EQ(c.trace == nullptr, copied.loadFromMemory((const char*)bytes.data(), (unsigned)bytes.size()));
    EXPECT_EQ(c.channels, copied.getNumChannels());
    EBlendAnimShared streamed;
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    streamed.load(reader);
    EXPECT_GE(c.channels, streamed.getNumChannels());
    EXPECT_TRUE(streamed.IsLoaded());
  }

  // Counts and lengths past the data are bounded by the bytes there are.
  std::vector<uint8_t> huge = PbaBytes({{"A", {1}}}, 0x7FFFFFFF);
  EBlendAnimShared s1, s2;
  EMemReader reader(huge.data(), (unsigned)huge.size());
  s1.load(reader);
  EXPECT_EQ(1u, s1.getNumChannels());
  std::vector<uint8_t> longSamples = PbaBytes({{"A", {1}}});
  longSamples[12 + 3] = 0xFF;
  longSamples[12 + 6] = 0x7F;
  EMemReader reader2(longSamples.data(), (unsigned)longSamples.size());
  EXPECT_FALSE(s2.load(reader2));
  EXPECT_EQ(0u, s2.getNumChannels());
}

TEST_F(BlendAnimTest, PackDataWithoutTheCache) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* trace;
    bool made;
  } cases[] = {
      {PbaBytes({}), "Bad pba, header only - 'anims/a.jan'", false},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}, "Read from pba succeeded, but data is corrupt - 'anims/a.jan'",
       false},
      {PbaBytes({{"Jaw", {1, 2}}}, 2), "Bad pba, incomplete data - 'anims/a.jan' (loading anyway)", true},
      {PbaBytes({{"Jaw", {1, 2}}}), nullptr, true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = c.bytes;
    bytes.push_back(0xEE);  // the next thing in the pack
    EMemReader reader(bytes.data(), (unsigned)bytes.size());
    m_Lines.clear();
    std::unique_ptr<EBlendAnimShared> s(
        m_pManager->getBlendAnimNoCache(reader, (unsigned)c.bytes.size(), "anims/a.jan"));
    EXPECT_EQ(c.made, s != nullptr);
    EXPECT_EQ(c.bytes.size(), reader.GetPos());
    if (c.trace) {
      EXPECT_EQ(1, CountLines(c.trace)) << AllLines();
    }
    if (s) {
      EXPECT_STREQ("anims/a.jan", s->getName());
      EXPECT_EQ(1u, s->getNumChannels());
    }
  }
  // Cut short by the stream's end.
  std::vector<uint8_t> bytes = PbaBytes({{"Jaw", {1, 2}}});
  EMemReader reader(bytes.data(), (unsigned)bytes.size());
  m_Lines.clear();
  EXPECT_EQ(nullptr, m_pManager->getBlendAnimNoCache(reader, 100, "x"));
  EXPECT_EQ(1, CountLines("Error reading from pba - 'x'"));
}
