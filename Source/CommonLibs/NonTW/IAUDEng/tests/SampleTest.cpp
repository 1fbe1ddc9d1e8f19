#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "RecordingRender.h"
#include "IAUDTestSupport.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "SampleTestSupport.h"

namespace {

using namespace iaudtest;

struct ObjectRemover {
  void operator()(IAUDContentObject* o) const { o->RemoveObject(); }
};
using SampleBankPtr = std::unique_ptr<IAUDSampleBank, ObjectRemover>;

struct SampleDesc {
  uint32_t index = 0;
  uint32_t rate = 44100;
  uint32_t pcm = 0;
  uint16_t bits = 16;
  uint32_t channels = 1;
  uint32_t kind = CSample::kSamplePCM;
  uint32_t compressed = 0;
  uint32_t block = 0;
  const char* ratio = "1.0";
  uint32_t preload = 0;
  std::string dataFile;  // empty: no "data" chunk
  bool shortCmpi = false;
};

std::string SampleList(const SampleDesc& d) {
  std::string s = "  LIST samp\n    chunk titl text \"S" + std::to_string(d.index) + "\"\n";
  s += "    chunk indx u32 " + std::to_string(d.index) + "\n";
  s += "    chunk sinf u32 0 0 " + std::to_string(d.rate) + " " + std::to_string(d.pcm) + " u16 " +
       std::to_string(d.bits) + " 0\n";
  s += "    chunk chnk u32 " + std::to_string(d.channels) + "\n";
  s += "    chunk prel u32 " + std::to_string(d.preload) + "\n";
  s += "    chunk cmpi u32 " + std::to_string(d.kind) + " 0 " + std::to_string(d.compressed) + " " +
       std::to_string(d.block) + " f32 " + d.ratio + (d.shortCmpi ? "" : " 0.75") + "\n";
  if (!d.dataFile.empty()) s += "    chunk data file " + d.dataFile + "\n";
  return s + "  end\n";
}

std::string BankFile(const TempDir& dir, const std::string& name, const std::vector<SampleDesc>& samples,
                     const std::string& extra = "") {
  std::string desc = "RIFF isbf\n" + extra;
  for (const SampleDesc& d : samples) desc += SampleList(d);
  return MakeRiff(dir, name, desc + "end\n");
}

std::vector<uint8_t> Ramp(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (uint8_t)(i * 7 + i / 251);
  return v;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, size_t from, size_t n) {
  return std::vector<uint8_t>(v.begin() + (long)from, v.begin() + (long)(from + n));
}

// ---------------------------------------------------------------- ADPCM

std::vector<int16_t> DecodeMono(std::vector<uint8_t> block) {
  std::vector<int16_t> out(65);
  EXPECT_EQ(CSample::DecodeMonoIMA4ADPCM(block.data(), (uint32_t)block.size(), out.data(), 130), 130u);
  return out;
}

std::vector<uint8_t> MonoBlock(int16_t predictor, int16_t index, uint8_t first) {
  std::vector<uint8_t> b(36, 0);
  b[0] = (uint8_t)predictor;
  b[1] = (uint8_t)((uint16_t)predictor >> 8);
  b[2] = (uint8_t)index;
  b[3] = (uint8_t)((uint16_t)index >> 8);
  b[4] = first;
  return b;
}

TEST(IAUDSampleADPCM, DecodeSizes) {
  CSample mono(nullptr), stereo(nullptr), three(nullptr);
  // Channels come from "chnk"; a sample without a bank reads nothing else.
  TempDir dir;
  std::string path = MakeRiff(dir, "ch", "LIST samp\n chunk chnk u32 2\nend\n");
  ASSERT_FALSE(path.empty());
  FILE* f = fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  RiffChunk root;
  ASSERT_TRUE(IAUDContentObject::DescendFile(f, &root, nullptr));
  stereo.UnArchiveObject(f, root);
  fclose(f);
  EXPECT_EQ(mono.GetIMA4ADPCMDecodeSize(36), 130u);
  EXPECT_EQ(mono.GetIMA4ADPCMDecodeSize(72), 260u);
  EXPECT_EQ(mono.GetIMA4ADPCMDecodeSize(40), 0u);
  EXPECT_EQ(stereo.GetIMA4ADPCMDecodeSize(72), 260u);
  EXPECT_EQ(stereo.GetIMA4ADPCMDecodeSize(36), 0u);
  std::vector<int16_t> out(130);
  std::vector<uint8_t> blocks(72, 0);
  EXPECT_EQ(CSample::DecodeMonoIMA4ADPCM(blocks.data(), 40, out.data(), 260), 0u);
  EXPECT_EQ(CSample::DecodeMonoIMA4ADPCM(blocks.data(), 72, out.data(), 259), 0u);  // output too small
  EXPECT_EQ(CSample::DecodeMonoIMA4ADPCM(blocks.data(), 72, nullptr, 260), 0u);
  EXPECT_EQ(CSample::DecodeStereoIMA4ADPCM(blocks.data(), 36, out.data(), 260), 0u);
}

TEST(IAUDSampleADPCM, NibbleRule) {
  std::vector<int16_t> a = DecodeMono(MonoBlock(0, 0, 0x07));
  EXPECT_EQ(a[0], 0);
  EXPECT_EQ(a[1], 13);
  EXPECT_EQ(a[2], 15);
  EXPECT_EQ(a[3], 16);  // nibble 0 at index 7 (step 14): the index after 0x07 is 7
  std::vector<int16_t> b = DecodeMono(MonoBlock(1000, 10, 0x9F));
  EXPECT_EQ(b[0], 1000);
  EXPECT_EQ(b[1], 965);
  EXPECT_EQ(b[2], 950);
  // Header indexes out of range are used as 0 and 88.
  EXPECT_EQ(DecodeMono(MonoBlock(0, -5, 0x07))[1], 13);
  EXPECT_EQ(DecodeMono(MonoBlock(0, 200, 0x01))[1], 3 * 32767 / 8);
  // Clamped at the top of the range.
  EXPECT_EQ(DecodeMono(MonoBlock(32000, 88, 0x07))[1], 32767);
}

TEST(IAUDSampleADPCM, StereoGroupsInterleave) {
  std::vector<uint8_t> b(72, 0);
  b[0] = 100;  // left predictor 100, index 0
  b[4] = 0x18;
  b[5] = 0xFC;  // right predictor -1000, index 0
  b[8] = 0x07;  // left: 13 then +2
  b[12] = 0x01;  // right: +2 (3 * 7 / 8)
  std::vector<int16_t> out(130);
  ASSERT_EQ(CSample::DecodeStereoIMA4ADPCM(b.data(), 72, out.data(), 260), 260u);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[1], -1000);
  EXPECT_EQ(out[2], 113);   // pair 1 left
  EXPECT_EQ(out[3], -998);  // pair 1 right
  EXPECT_EQ(out[4], 115);   // pair 2 left
  EXPECT_EQ(out[5], -998);  // pair 2 right: nibble 0 at index 2 (step 9)
}

// ---------------------------------------------------------------- loading

TEST(IAUDSample, DurationAndSampleReference) {
  TempDir dir;
  SampleDesc mono, stereo;
  mono.pcm = stereo.pcm = 88200;
  stereo.channels = 2;
  stereo.index = 4;
  std::string path = BankFile(dir, "dur", {mono, stereo});
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  IAUDSampleBank* bank = LoadSampleBank(path);
  IAUDResourceManager::AddSampleBank(bank, 3);
  ASSERT_NE(bank->GetBankSample(0), nullptr);
  ASSERT_NE(bank->GetBankSample(4), nullptr);
  EXPECT_EQ(bank->GetBankSample(0)->GetSampleInfo()->dwDuration, 1000u);
  EXPECT_EQ(bank->GetBankSample(4)->GetSampleInfo()->dwDuration, 500u);
  EXPECT_EQ(bank->GetBankSample(4)->GetSampleIndex(), (4u << 16) | 4u);
  EXPECT_EQ(bank->GetBankSampleSlotCount(), 5);
  IAUDResourceManager::AddSampleBank(nullptr, 3);
  EXPECT_EQ(IAUDResourceManager::GetResourceSampleBank(3), nullptr);
}

TEST(IAUDSample, ResidentPCMAndADPCMLoadWhatTheyHold) {
  TempDir dir;
  std::vector<uint8_t> pcm = Ramp(1000);
  WriteFileBytes(dir / "pcm.bin", pcm);
  std::vector<uint8_t> adpcm(72, 0);
  adpcm[4] = 0x07;
  adpcm[36 + 4] = 0x9F;
  WriteFileBytes(dir / "adpcm.bin", adpcm);
  SampleDesc p;
  p.pcm = 1000;
  p.dataFile = "pcm.bin";
  SampleDesc a;
  a.index = 1;
  a.kind = CSample::kSampleADPCM;
  a.compressed = 72;
  a.block = 36;
  a.pcm = 250;  // the last block's padding is cut
  a.dataFile = "adpcm.bin";
  SampleDesc big = a;
  big.index = 2;
  big.pcm = 100000;  // more than the data decodes to: only what was decoded is handed over
  std::string path = BankFile(dir, "resident", {p, a, big});
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(path));
  ASSERT_EQ(driver.loads.size(), 3u);
  EXPECT_EQ(driver.loads[0]->bytes, pcm);
  EXPECT_FALSE(driver.loads[0]->streaming);
  EXPECT_EQ(driver.loads[0]->rate, 44100u);
  EXPECT_EQ(driver.loads[1]->bytes.size(), 250u);
  EXPECT_EQ(driver.loads[2]->bytes.size(), 260u);
  std::vector<int16_t> expect(130);
  CSample::DecodeMonoIMA4ADPCM(adpcm.data(), 72, expect.data(), 260);
  EXPECT_EQ(memcmp(driver.loads[2]->bytes.data(), expect.data(), 260), 0);
  EXPECT_EQ(driver.exclusiveDepth, 0);
  EXPECT_EQ(bank->GetBankSample(0)->GetCompressedData(), nullptr);  // data released once loaded
  void* handle = bank->GetBankSample(0)->GetSampleHandle();
  int entries = driver.exclusiveEntries;
  bank.reset();
  EXPECT_TRUE(static_cast<FakeLoad*>(handle)->freed);
  // Destroyed inside the driver's exclusive mode, away from the timer thread.
  EXPECT_EQ(driver.exclusiveEntries, entries + 1);
  EXPECT_EQ(driver.exclusiveDepth, 0);
}

TEST(IAUDSample, PreloadForcedByTheBankAndShortCompressionInfo) {
  TempDir dir;
  SampleDesc off, on;
  off.preload = 0;
  on.preload = 1;
  on.index = 1;
  on.shortCmpi = true;
  std::string path = BankFile(dir, "prel", {off, on});
  ASSERT_FALSE(path.empty());
  const struct {
    int32_t forced;
    uint32_t off, on;
  } cases[] = {{0, 0, 1}, {1, 1, 1}, {2, 0, 0}, {3, 0, 1}};
  for (const auto& c : cases) {
    SampleBankPtr bank(LoadSampleBank(path, 0, c.forced));
    ASSERT_NE(bank->GetBankSample(1), nullptr);
    EXPECT_EQ(bank->GetBankSample(0)->GetPreload(), c.off) << c.forced;
    EXPECT_EQ(bank->GetBankSample(1)->GetPreload(), c.on) << c.forced;
    EXPECT_FLOAT_EQ(bank->GetBankSample(1)->GetCompressionInfo()->flStored, 0.4f);
    EXPECT_FLOAT_EQ(bank->GetBankSample(0)->GetCompressionInfo()->flStored, 0.75f);
  }
}

TEST(IAUDSample, VorbisLoadsExactlyWhatLibvorbisfileDecodes) {
  InitVorbisFile();
  std::vector<uint8_t> ogg = EncodeVorbisTone(0.5, 22050, 2);
  ASSERT_FALSE(ogg.empty());
  std::vector<uint8_t> pcm = DecodeVorbis(ogg);
  ASSERT_GT(pcm.size(), 40000u);
  TempDir dir;
  WriteFileBytes(dir / "tone.ogg", ogg);
  SampleDesc v;
  v.kind = CSample::kSampleVorbis;
  v.rate = 22050;
  v.channels = 2;
  v.pcm = (uint32_t)pcm.size();
  v.compressed = (uint32_t)ogg.size();
  v.dataFile = "tone.ogg";
  SampleDesc small = v;
  small.index = 1;
  small.pcm = 1000;  // a recorded size too small: the decode stops at its bound
  std::string path = BankFile(dir, "ogg", {v, small});
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(path));
  ASSERT_EQ(driver.loads.size(), 2u);
  EXPECT_EQ(driver.loads[0]->bytes, pcm);
  EXPECT_EQ(driver.loads[0]->channels, 2u);
  EXPECT_FALSE(driver.loads[0]->streaming);
  EXPECT_EQ(driver.loads[1]->bytes, Slice(pcm, 0, 2000));
}

// ---------------------------------------------------------------- streaming

TEST(IAUDSampleBank, PacketSizes) {
  IAUDSampleBank quarter(250, 0);
  EXPECT_EQ(quarter.GetStreamPacketSize(44100, 2, 16, 32, 1.0f), 44128u);
  EXPECT_EQ(quarter.GetStreamPacketSize(22050, 1, 16, 32, 1.0f), 11040u);
  quarter.ProcessUnArchivedObject();
  EXPECT_EQ(quarter.GetPacketBufferSize(), 48000u);
  EXPECT_EQ(quarter.GetDecodeBufferSize(), 48000u);
  IAUDSampleBank half(500, 0);
  EXPECT_EQ(half.GetStreamPacketSize(44100, 1, 16, 36, 36.0f / 130.0f), 12240u);
  IAUDSampleBank resident;
  EXPECT_EQ(resident.GetStreamPacketSize(44100, 2, 16, 32, 1.0f), 32u);
  resident.ProcessUnArchivedObject();
  EXPECT_EQ(resident.GetPacketBufferSize(), 0u);
}

TEST(IAUDSampleBank, PacketTimeFromStri) {
  TempDir dir;
  std::string with = MakeRiff(dir, "stri", "RIFF isbf\n chunk stri u32 500\nend\n");
  std::string without = MakeRiff(dir, "nostri", "RIFF isbf\n chunk titl text \"b\"\nend\n");
  ASSERT_FALSE(with.empty());
  ASSERT_FALSE(without.empty());
  const struct {
    const std::string* path;
    uint32_t made, expect;
  } cases[] = {{&with, 0xFFFFFFFFu, 0}, {&with, 0, 500}, {&with, 100, 100}, {&without, 0xFFFFFFFFu, 0xFFFFFFFFu}};
  for (const auto& c : cases) {
    SampleBankPtr bank(LoadSampleBank(*c.path, c.made));
    EXPECT_EQ(bank->GetStreamPacketTimeLength(), c.expect) << c.made;
  }
}

struct StreamFixture {
  TempDir dir;
  std::vector<uint8_t> pcm = Ramp(100000);
  std::string path;
  StreamFixture() {
    WriteFileBytes(dir / "long.bin", pcm);
    SampleDesc d;
    d.rate = 20000;  // 1000 ms packets of 20000 mono frames: 40000 bytes
    d.pcm = 100000;
    d.dataFile = "long.bin";
    path = BankFile(dir, "stream", {d});
  }
};

TEST(IAUDSampleBank, PCMStreamsInPacketsAndEnds) {
  StreamFixture fx;
  ASSERT_FALSE(fx.path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(fx.path, 1000));
  CSample* sample = bank->GetBankSample(0);
  ASSERT_NE(sample, nullptr);
  EXPECT_TRUE(driver.loads.empty());  // nothing preloaded
  sample->AttachSample(5);
  ASSERT_EQ(driver.loads.size(), 1u);
  EXPECT_TRUE(driver.loads[0]->streaming);
  EXPECT_TRUE(driver.loads[0]->temporary);
  EXPECT_EQ(driver.loads[0]->bytes, Slice(fx.pcm, 0, 40000));
  EXPECT_EQ(driver.tracks[5].attached, driver.loads[0].get());
  ASSERT_EQ(bank->GetStreamInstanceCount(), 1);
  FakeTrack& track = driver.tracks[5];
  track.sample = sample;
  track.processed = 1;
  bank->ProcessActiveStreams();
  track.processed = 1;
  bank->ProcessActiveStreams();
  ASSERT_EQ(track.refills.size(), 2u);
  EXPECT_EQ(track.refills[0], Slice(fx.pcm, 40000, 40000));
  EXPECT_EQ(track.refills[1], Slice(fx.pcm, 80000, 20000));
  EXPECT_EQ(bank->GetStreamInstanceCount(), 0);
  EXPECT_EQ(driver.exclusiveDepth, 0);
}

TEST(IAUDSampleBank, PCMStreamWrapsOnALoop) {
  StreamFixture fx;
  ASSERT_FALSE(fx.path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(fx.path, 1000));
  CSample* sample = bank->GetBankSample(0);
  ASSERT_NE(sample, nullptr);
  sample->AttachSample(2);
  FakeTrack& track = driver.tracks[2];
  track.sample = sample;
  track.loops = 1;
  track.processed = 3;
  bank->ProcessActiveStreams();
  ASSERT_EQ(track.refills.size(), 3u);
  EXPECT_EQ(track.refills[0], Slice(fx.pcm, 40000, 40000));
  std::vector<uint8_t> wrap = Slice(fx.pcm, 80000, 20000);
  std::vector<uint8_t> head = Slice(fx.pcm, 0, 20000);
  wrap.insert(wrap.end(), head.begin(), head.end());
  EXPECT_EQ(track.refills[1], wrap);
  EXPECT_EQ(track.loops, 0u);
  EXPECT_EQ(track.refills[2], Slice(fx.pcm, 20000, 40000));
  ASSERT_EQ(bank->GetStreamInstanceCount(), 1);
  EXPECT_EQ(bank->GetStreamInstance(0)->dwConsumed, 60000u);
}

TEST(IAUDSampleBank, RefusedRefillsRepeatAndStoppedTracksEnd) {
  StreamFixture fx;
  ASSERT_FALSE(fx.path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(fx.path, 1000));
  CSample* sample = bank->GetBankSample(0);
  ASSERT_NE(sample, nullptr);
  sample->AttachSample(1);
  sample->AttachSample(0);
  FakeTrack& t0 = driver.tracks[0];
  FakeTrack& t1 = driver.tracks[1];
  t0.sample = t1.sample = sample;
  driver.refuseUpdates = true;
  t0.processed = 1;
  bank->ProcessActiveStreams();
  driver.refuseUpdates = false;
  t0.processed = 1;
  t1.processed = 1;
  bank->ProcessActiveStreams();
  ASSERT_EQ(t0.refills.size(), 1u);
  EXPECT_EQ(t0.refills[0], Slice(fx.pcm, 40000, 40000));  // the refused bytes again
  // Ordered by how far each has played: track 1 is now behind track 0.
  ASSERT_EQ(bank->GetStreamInstanceCount(), 2);
  t1.playing = false;
  bank->ProcessActiveStreams();
  ASSERT_EQ(bank->GetStreamInstanceCount(), 1);
  EXPECT_EQ(bank->GetStreamInstance(0)->lTrack, 0);
  bank->KillTrackStream(0, sample);
  EXPECT_EQ(bank->GetStreamInstanceCount(), 0);
}

TEST(IAUDSampleBank, VorbisStreamsToTheWholeDecode) {
  InitVorbisFile();
  std::vector<uint8_t> ogg = EncodeVorbisTone(3.0, 44100, 2);
  ASSERT_FALSE(ogg.empty());
  std::vector<uint8_t> pcm = DecodeVorbis(ogg);
  TempDir dir;
  WriteFileBytes(dir / "long.ogg", ogg);
  SampleDesc v;
  v.kind = CSample::kSampleVorbis;
  v.channels = 2;
  v.pcm = (uint32_t)pcm.size();
  v.compressed = (uint32_t)ogg.size();
  v.dataFile = "long.ogg";
  std::string path = BankFile(dir, "oggstream", {v});
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(path, 50));  // packets of 8832 bytes
  CSample* sample = bank->GetBankSample(0);
  ASSERT_NE(sample, nullptr);
  ASSERT_GT(v.compressed, bank->GetStreamPacketSize(44100, 2, 16, 32, 1.0f));
  sample->AttachSample(3);
  ASSERT_EQ(driver.loads.size(), 1u);
  EXPECT_TRUE(driver.loads[0]->streaming);
  std::vector<uint8_t> streamed = driver.loads[0]->bytes;
  FakeTrack& track = driver.tracks[3];
  track.sample = sample;
  for (int frame = 0; frame < 10000; ++frame) {
    track.processed = 2;
    bank->ProcessActiveStreams();
    if (!track.refills.empty() && track.refills.back().empty()) break;
  }
  for (const auto& r : track.refills) streamed.insert(streamed.end(), r.begin(), r.end());
  EXPECT_EQ(streamed, pcm);
}

// Three mono blocks streamed one block a packet: the pass that ends on a
// packet boundary loses the last block's padding, never more than it decoded.
TEST(IAUDSampleBank, ADPCMStreamsBlocksAndCutsThePadding) {
  TempDir dir;
  std::vector<uint8_t> adpcm(108, 0);
  for (int b = 0; b < 3; ++b) adpcm[36 * b + 4] = (uint8_t)(0x07 + b);
  WriteFileBytes(dir / "blocks.bin", adpcm);
  std::vector<int16_t> whole(195);
  ASSERT_EQ(CSample::DecodeMonoIMA4ADPCM(adpcm.data(), 108, whole.data(), 390), 390u);
  const uint8_t* wholeBytes = reinterpret_cast<const uint8_t*>(whole.data());
  const struct {
    uint32_t pcm, lastRefill;
  } cases[] = {{300, 40}, {10, 0}};
  for (const auto& c : cases) {
    SampleDesc d;
    d.rate = 65;  // 65 frames a 1000 ms packet: one block
    d.kind = CSample::kSampleADPCM;
    d.compressed = 108;
    d.block = 36;
    d.ratio = "0.276923";
    d.pcm = c.pcm;
    d.dataFile = "blocks.bin";
    std::string path = BankFile(dir, "adpcm" + std::to_string(c.pcm), {d});
    ASSERT_FALSE(path.empty());
    FakeRenderDriver driver;
    SampleBankPtr bank(LoadSampleBank(path, 1000));
    CSample* sample = bank->GetBankSample(0);
    ASSERT_NE(sample, nullptr);
    ASSERT_EQ(bank->GetStreamPacketSize(65, 1, 16, 36, 36.0f / 130.0f), 36u);
    sample->AttachSample(0);
    ASSERT_EQ(driver.loads.size(), 1u);
    EXPECT_EQ(driver.loads[0]->bytes, std::vector<uint8_t>(wholeBytes, wholeBytes + 130));
    FakeTrack& track = driver.tracks[0];
    track.sample = sample;
    track.processed = 2;
    bank->ProcessActiveStreams();
    ASSERT_EQ(track.refills.size(), 2u);
    EXPECT_EQ(track.refills[0], std::vector<uint8_t>(wholeBytes + 130, wholeBytes + 260));
    EXPECT_EQ(track.refills[1], std::vector<uint8_t>(wholeBytes + 260, wholeBytes + 260 + c.lastRefill));
    EXPECT_EQ(bank->GetStreamInstanceCount(), 0);
  }
}

// Packets beyond the bank's buffers (sized for 48 kHz stereo 16-bit) are cut.
TEST(IAUDSampleBank, LargerPacketsAreCutToTheBuffers) {
  TempDir dir;
  std::vector<uint8_t> pcm = Ramp(200000);
  WriteFileBytes(dir / "hi.bin", pcm);
  SampleDesc d;
  d.rate = 96000;
  d.channels = 2;
  d.pcm = 200000;
  d.dataFile = "hi.bin";
  std::string path = BankFile(dir, "hirate", {d});
  ASSERT_FALSE(path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(path, 250));
  ASSERT_EQ(bank->GetStreamPacketSize(96000, 2, 16, 32, 1.0f), 96000u);
  CSample* sample = bank->GetBankSample(0);
  ASSERT_NE(sample, nullptr);
  sample->AttachSample(0);
  ASSERT_EQ(driver.loads.size(), 1u);
  EXPECT_EQ(driver.loads[0]->bytes, Slice(pcm, 0, 48000));
  ASSERT_EQ(bank->GetStreamInstanceCount(), 1);
  EXPECT_EQ(bank->GetStreamInstance(0)->dwPacket, 48000u);
  driver.tracks[0].sample = sample;
  driver.tracks[0].processed = 1;
  bank->ProcessActiveStreams();
  ASSERT_EQ(driver.tracks[0].refills.size(), 1u);
  EXPECT_EQ(driver.tracks[0].refills[0], Slice(pcm, 48000, 48000));
}

TEST(IAUDSampleBank, PreloadedStreamingSampleKeepsItsFirstPacket) {
  StreamFixture fx;
  ASSERT_FALSE(fx.path.empty());
  FakeRenderDriver driver;
  SampleBankPtr bank(LoadSampleBank(fx.path, 1000, 1));
  ASSERT_EQ(driver.loads.size(), 1u);
  EXPECT_TRUE(driver.loads[0]->streaming);
  EXPECT_FALSE(driver.loads[0]->temporary);
  EXPECT_EQ(driver.loads[0]->bytes, Slice(fx.pcm, 0, 40000));
  bank->GetBankSample(0)->AttachSample(0);
  EXPECT_EQ(driver.loads.size(), 1u);  // reused, not read again
  EXPECT_EQ(driver.tracks[0].attached, driver.loads[0].get());
  EXPECT_EQ(bank->GetStreamInstanceCount(), 1);
}

}  // namespace
