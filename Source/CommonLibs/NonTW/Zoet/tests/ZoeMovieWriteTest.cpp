// The mkzoe movie writer: header, tables, index and frames as the player reads
// them, and the sound packets cut per movie frame.
#include <gtest/gtest.h>

#include <vector>

#include "TWUtil/ByteOrder.h"
#include "ZoeAudio.h"
#include "ZoeAudioEncode.h"
#include "ZoeMovieWrite.h"
#include "ZoeEncode.h"
#include "ZoeTestMovie.h"

namespace {

using zoeenc::MovieDescription;
using zoeenc::MovieTrack;

uint32_t At(const std::vector<uint8_t>& b, size_t offset) { return GetLE32(b.data() + offset); }

TEST(ZoeMovieWriter, OneFramePaddedMovieLikeTheLogo) {
  MovieDescription m;
  m.width = 224;
  m.height = 252;
  m.rate = 10;
  m.video.push_back(std::vector<uint8_t>(1001, 7));
  m.key.push_back(true);
  m.padTo = 14848;
  std::vector<uint8_t> f = zoeenc::WriteMovie(m);
  ASSERT_EQ(f.size(), 14848u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "ZOEi");
  const uint32_t header[] = {14840, 1, 14848 - 52, 1, 224, 252, 10, 1, 0, 0};
  for (int i = 0; i < 10; i++) EXPECT_EQ(At(f, 4 + 4 * i), header[i]) << i;
  EXPECT_EQ(At(f, 44), 53u);  // offset 52, key frame
  EXPECT_EQ(At(f, 48), 14848u);
  EXPECT_EQ(f[52], 7);
  EXPECT_EQ(f[52 + 1000], 7);
  EXPECT_EQ(f[52 + 1001], 0);

  m.padTo = 100;  // below what the frames need
  EXPECT_TRUE(zoeenc::WriteMovie(m).empty());
}

TEST(ZoeMovieWriter, TracksPacketsAndAlignedVideo) {
  MovieDescription m;
  m.letter = 'h';
  m.width = 16;
  m.height = 8;
  for (int k = 0; k < 3; k++) {
    m.video.push_back(std::vector<uint8_t>(5 + k, (uint8_t)(0x10 + k)));
    m.key.push_back(k == 0);
  }
  for (int t = 0; t < 2; t++) {
    MovieTrack tr;
    tr.word = 22050 | zoeenc::kTrackFourier | zoeenc::kTrack16Bit;
    tr.id = t == 0 ? 5 : -1;
    for (int k = 0; k < 3; k++) {
      std::vector<uint8_t> p(4 + 3 * t);  // the second track's packets need padding
      PutLE32(p.data(), 100u * (k + 1) + t);
      tr.packets.push_back(p);
    }
    m.tracks.push_back(tr);
  }
  std::vector<uint8_t> f = zoeenc::WriteMovie(m);
  ASSERT_FALSE(f.empty());
  EXPECT_EQ(At(f, 4), f.size() - 8);
  EXPECT_EQ(At(f, 40), 2u);
  EXPECT_EQ(At(f, 44), 300u);  // the largest decoded packet of each track
  EXPECT_EQ(At(f, 48), 301u);
  EXPECT_EQ(At(f, 52), m.tracks[0].word);
  EXPECT_EQ((int32_t)At(f, 64), -1);
  const size_t index = 44 + 12 * 2;
  uint32_t largest = 0;
  for (int k = 0; k < 3; k++) {
    uint32_t start = At(f, index + 4 * k) & ~1u, end = At(f, index + 4 * k + 4) & ~1u;
    EXPECT_EQ(At(f, index + 4 * k) & 1u, k == 0 ? 1u : 0u);
    EXPECT_EQ(start % 4, 0u);
    largest = std::max(largest, end - start);
    // Track 0: length 4 and its packet; track 1: length 8 (padded); then the video.
    EXPECT_EQ(At(f, start), 4u);
    EXPECT_EQ(At(f, start + 4), 100u * (k + 1));
    EXPECT_EQ(At(f, start + 8), 8u);
    EXPECT_EQ(At(f, start + 12), 100u * (k + 1) + 1);
    EXPECT_EQ(f[start + 20], 0x10 + k);
    EXPECT_EQ(f[start + 20 + 4 + k], 0x10 + k);
  }
  EXPECT_EQ(At(f, index + 12), f.size());
  EXPECT_EQ(At(f, 12), largest);

  m.tracks[1].packets.pop_back();
  EXPECT_TRUE(zoeenc::WriteMovie(m).empty());
}

TEST(ZoeMovieWriter, SoundPacketsCoverEachFrameAndDecodeToTheTrack) {
  // 1.3 seconds of 11025 Hz stereo in a 10 frames per second movie.
  const uint32_t rate = 11025, channels = 2, sampleFrames = 14332;
  std::vector<int16_t> pcm((size_t)sampleFrames * channels);
  for (size_t i = 0; i < pcm.size(); i++) pcm[i] = (int16_t)((i * 37) % 2000 - 1000);
  zoeenc::AudioEncoder enc(rate, channels, 0, 0);
  std::vector<std::vector<uint8_t>> frames = enc.EncodeTrackFrames(pcm.data(), sampleFrames);
  const uint64_t total = (uint64_t)sampleFrames * channels * 2;
  const uint32_t movieFrames = 14;
  std::vector<std::vector<uint8_t>> packets =
      zoeenc::PacketiseSound(frames, enc.FrameYield(), total, movieFrames, rate * channels * 2, 10, 1);
  ASSERT_EQ(packets.size(), movieFrames);
  uint64_t owed = 0;
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(rate, channels, 0);
  std::vector<int16_t> decoded;
  for (uint32_t k = 0; k < movieFrames; k++) {
    uint32_t count = GetLE32(packets[k].data());
    owed += count;
    uint64_t due = std::min<uint64_t>(total, (uint64_t)(k + 1) * rate * channels * 2 / 10);
    EXPECT_GE(owed, k + 1 == movieFrames ? total : due) << k;
    const uint8_t* at = packets[k].data() + 4;
    const uint8_t* end = packets[k].data() + packets[k].size();
    uint32_t got = 0;
    while (got < count) {
      ASSERT_LT(at, end) << k;
      int16_t* s = nullptr;
      uint32_t bytes = 0;
      ZoetAudioDecompress(d, &s, &bytes, at, end, &at);
      uint32_t take = std::min(bytes, count - got);
      decoded.insert(decoded.end(), s, s + take / 2);
      got += take;
    }
    EXPECT_EQ(at, end) << k;
  }
  ZoetAudioDecompressClose(d);
  EXPECT_EQ(owed, total);
  ASSERT_EQ(decoded.size(), pcm.size());
  for (size_t i = 0; i < pcm.size(); i += 101) EXPECT_NEAR(decoded[i], pcm[i], 40) << i;
}

TEST(ZoeMovieWriter, VideoDataAfterThePacketsDecodesToTheEncodersPicture) {
  const uint32_t w = 48, h = 40;
  zoeenc::FrameEncoder enc(w, h);
  MovieDescription m;
  m.width = w;
  m.height = h;
  std::vector<std::vector<uint8_t>> recon;
  for (int t = 0; t < 3; t++) {
    std::vector<uint8_t> y(enc.lumaWidth * enc.lumaHeight), c(enc.chromaWidth * enc.chromaHeight);
    for (uint32_t j = 0; j < enc.lumaHeight; j++)
      for (uint32_t i = 0; i < enc.lumaWidth; i++)
        y[j * enc.lumaWidth + i] = (uint8_t)(i >= 8u + 4 * t && i < 24u + 4 * t && j > 10 ? 220 : 20 + i + j);
    for (size_t i = 0; i < c.size(); i++) c[i] = (uint8_t)(90 + i % 7);
    zoeenc::EncodeOptions o;
    o.keyFrame = t == 0;
    m.video.push_back(enc.Encode(y.data(), c.data(), c.data(), nullptr, o));
    m.key.push_back(o.keyFrame);
    recon.push_back(enc.recon[0]);
  }
  MovieTrack tr;
  tr.word = 11025 | zoeenc::kTrackFourier;
  for (int t = 0; t < 3; t++) tr.packets.push_back(std::vector<uint8_t>(4 + 4 * t, 0));
  m.tracks.push_back(tr);
  std::vector<uint8_t> f = zoeenc::WriteMovie(m);
  ASSERT_FALSE(f.empty());
  zoetest::TestMovie movie(w, h);
  const size_t index = 44 + 12;
  for (int t = 0; t < 3; t++) {
    uint32_t start = At(f, index + 4 * t) & ~1u, end = At(f, index + 4 * t + 4) & ~1u;
    uint32_t video = start + 4 + At(f, start);
    ASSERT_EQ(video % 4, 0u);
    std::vector<uint8_t> data(f.begin() + video, f.begin() + end);
    movie.Decode(data, 0);
    ASSERT_EQ(0, memcmp(movie.Current(0), recon[t].data(), recon[t].size())) << t;
  }
  EXPECT_TRUE(movie.Intact());
}

}  // namespace
