// Sound decoder of movies, and round trips through the mkzoe sound encoder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "ZoeAudio.h"
#include "ZoeAudioEncode.h"
#include "ZoeEncode.h"
#include "ZoePlatform.h"

namespace {

using zoeenc::BitWriter;

void PutPacked(BitWriter& w, uint32_t e, uint32_t m, uint32_t sign) {
  w.Put(e, 5);
  w.Put(m, 23);
  w.Put(sign, 1);
}

// A mono Fourier-mode frame whose only coefficient is coefficient 0 = m x 2^(e-23).
std::vector<uint8_t> DcFrame(const ZoetAudioDecoder* d, uint32_t e, uint32_t m) {
  BitWriter w;
  PutPacked(w, e, m, 0);
  PutPacked(w, 0, 0, 0);
  for (uint32_t j = 0; j < d->bandCount; j++) w.Put(0, 8);
  for (uint32_t i = 2; i < d->transformSize; i += 512) {
    w.Put(1, 1);
    w.Put(15, 4);  // 64 groups of 8
    w.Put(0, 4);
  }
  return w.Bytes();
}

TEST(ZoeAudioDecoder, FrameLengthsQuantisersAndOpening) {
  const uint32_t rates[][2] = {{8000, 512}, {22049, 512}, {22050, 1024}, {44099, 1024}, {44100, 2048}, {96000, 2048}};
  for (const auto& r : rates) EXPECT_EQ(ZoetAudioFrameLength(r[0]), r[1]) << r[0];
  EXPECT_FLOAT_EQ(ZoetAudioQuantiser(0), 1.0f);
  EXPECT_NEAR(ZoetAudioQuantiser(1), 1.165199, 1e-6);
  EXPECT_NEAR(ZoetAudioQuantiser(2), 1.357688, 1e-6);
  EXPECT_NEAR(ZoetAudioQuantiser(10), 4.613176, 1e-6);
  EXPECT_FLOAT_EQ(ZoetAudioQuantiser(95), 2032357.0f);

  struct Case {
    uint32_t rate, channels, flags, n, frameBytes, blocks, bandCount;
  } cases[] = {
      {22050, 1, 0, 1024, 2048, 1, 23},                 // H = 11025
      {44100, 2, 0, 4096, 8192, 1, 25},                 // H = 44100: past every band
      {44100, 2, ZOET_AUDIO_DCT, 2048, 8192, 2, 25},    // H = 22050
      {11025, 1, ZOET_AUDIO_DCT, 512, 1024, 1, 20},     // H = 5513
      {22050, 2, ZOET_AUDIO_DCT, 1024, 4096, 2, 23},
  };
  for (const Case& c : cases) {
    ZoetAudioDecoder* d = ZoetAudioDecompressOpen(c.rate, c.channels, c.flags);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->transformSize, c.n) << c.rate;
    EXPECT_EQ(d->frameBytes, c.frameBytes) << c.rate;
    EXPECT_EQ(d->overlapBytes, c.frameBytes / 16) << c.rate;
    EXPECT_EQ(d->blocks, c.blocks) << c.rate;
    EXPECT_EQ(d->bandCount, c.bandCount) << c.rate;
    EXPECT_FLOAT_EQ(d->scale, (float)(2.0 / std::sqrt((double)c.n)));
    EXPECT_EQ(d->bands[0], 1u);  // the 0 Hz edge is forced up to 1
    EXPECT_EQ(d->bands[d->bandCount], c.n / 2);
    for (uint32_t j = 0; j < d->bandCount; j++) EXPECT_LE(d->bands[j], d->bands[j + 1]);
    EXPECT_EQ(d->firstFrame, 1u);
    ZoetAudioDecompressClose(d);
  }
  // Only mono and stereo tracks are decoded.
  for (uint32_t ch : {0u, 3u, 6u}) EXPECT_EQ(ZoetAudioDecompressOpen(44100, ch, 0), nullptr) << ch;
}

TEST(ZoeAudioDecoder, FailedAllocationGivesNull) {
  ZoeSetMemory([](uint32_t) { return (void*)~(uintptr_t)0; }, [](void*) {});
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(22050, 1, 0);
  ZoeSetMemory(nullptr, nullptr);
  EXPECT_EQ(d, nullptr);
  ZoetAudioDecompressClose(d);
}

TEST(ZoeAudioDecoder, SecondFrameIsCrossfadedWithTheHeldBackTail) {
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(22050, 1, 0);
  ASSERT_NE(d, nullptr);
  std::vector<uint8_t> first = DcFrame(d, 15, 32000u << 8);   // 32000
  std::vector<uint8_t> second = DcFrame(d, 16, 64000u << 7);  // 64000
  int16_t* samples = nullptr;
  uint32_t bytes = 0;
  const uint8_t* end = nullptr;
  ZoetAudioDecompress(d, &samples, &bytes, first.data(), first.data() + first.size(), &end);
  EXPECT_EQ(bytes, 1920u);
  EXPECT_EQ(end, first.data() + first.size());
  ASSERT_EQ(samples, d->output);
  for (uint32_t i = 0; i < 1024; i++) ASSERT_EQ(samples[i], 1000) << i;

  ZoetAudioDecompress(d, &samples, &bytes, second.data(), second.data() + second.size(), nullptr);
  EXPECT_EQ(bytes, 1920u);
  const int16_t head[] = {1000, 1015, 1031, 1046, 1062};
  for (int k = 0; k < 5; k++) EXPECT_EQ(samples[k], head[k]) << k;
  for (int k = 0; k < 64; k++) EXPECT_EQ(samples[k], (int)std::floor(1000 + 1000.0 * k / 64)) << k;
  EXPECT_EQ(samples[63], 1984);
  for (int k = 64; k < 1024; k++) ASSERT_EQ(samples[k], 2000) << k;
  ZoetAudioDecompressClose(d);
}

TEST(ZoeAudioDecoder, LargeExponentsDecodeToZeroAndSamplesSaturate) {
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(22050, 1, 0);
  ASSERT_NE(d, nullptr);
  for (uint32_t e = 24; e < 32; e++) {
    std::vector<uint8_t> f = DcFrame(d, e, 0x7FFFFF);
    int16_t* s = nullptr;
    ZoetAudioDecompress(d, &s, nullptr, f.data(), f.data() + f.size(), nullptr);
    for (uint32_t i = 64; i < 1024; i++) ASSERT_EQ(s[i], 0) << e;
  }
  for (uint32_t sign : {0u, 1u}) {
    BitWriter full;
    PutPacked(full, 23, 0x7FFFFF, sign);  // far beyond the sample range
    PutPacked(full, 0, 0, 0);
    for (uint32_t j = 0; j < d->bandCount; j++) full.Put(0, 8);
    for (uint32_t i = 2; i < 1024; i += 512) {
      full.Put(1, 1);
      full.Put(15, 4);
      full.Put(0, 4);
    }
    std::vector<uint8_t> bytes = full.Bytes();
    int16_t* s = nullptr;
    ZoetAudioDecompress(d, &s, nullptr, bytes.data(), bytes.data() + bytes.size(), nullptr);
    for (uint32_t i = 64; i < 1024; i++) ASSERT_EQ(s[i], sign ? -32768 : 32767) << i;
  }
  ZoetAudioDecompressClose(d);
}

TEST(ZoeAudioDecoder, RunsAreCutAtTheTransformLength) {
  // 11025 Hz mono: N = 512; one run of 64 groups from coefficient 2 would end
  // at 514 and is cut at 512: 510 one-bit values, each followed by its sign.
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(11025, 1, 0);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->transformSize, 512u);
  BitWriter w;
  PutPacked(w, 0, 0, 0);
  PutPacked(w, 0, 0, 0);
  for (uint32_t j = 0; j < d->bandCount; j++) w.Put(0, 8);
  w.Put(1, 1);
  w.Put(15, 4);
  w.Put(1, 4);
  for (int i = 2; i < 512; i++) w.Put(1 | (i & 1) << 1, 2);  // v = 1, alternating signs
  uint64_t bits = w.BitCount();
  std::vector<uint8_t> f = w.Bytes();
  uint32_t trailer = 0xFFFFFFFFu;  // a following frame the decoder must not touch
  f.insert(f.end(), (uint8_t*)&trailer, (uint8_t*)&trailer + 4);
  const uint8_t* end = nullptr;
  ZoetAudioDecompress(d, nullptr, nullptr, f.data(), f.data() + f.size(), &end);
  EXPECT_EQ(end - f.data(), (long)((bits + 31) / 32 * 4));
  ZoetAudioDecompressClose(d);
}

TEST(ZoeAudioDecoder, TruncatedFramesReadZerosAndStopAtTheLimit) {
  zoeenc::AudioEncoder enc(22050, 2, ZOET_AUDIO_DCT, 0);
  std::vector<int16_t> pcm(enc.FrameLength() * 2);
  uint32_t seed = 99;
  for (int16_t& s : pcm) {
    seed = seed * 1103515245u + 12345u;
    s = (int16_t)(seed >> 16);
  }
  std::vector<uint8_t> frame = enc.EncodeFrame(pcm.data());
  for (size_t keep : {(size_t)0, (size_t)3, (size_t)4, frame.size() / 2 + 1, frame.size() - 4}) {
    ZoetAudioDecoder* d = ZoetAudioDecompressOpen(22050, 2, ZOET_AUDIO_DCT);
    ASSERT_NE(d, nullptr);
    // An exact-size copy: reading past it is caught by the sanitizer build.
    std::vector<uint8_t> part(frame.begin(), frame.begin() + keep);
    const uint8_t* data = keep ? part.data() : frame.data();
    const uint8_t* end = nullptr;
    uint32_t bytes = 0;
    ZoetAudioDecompress(d, nullptr, &bytes, data, data + keep, &end);
    EXPECT_EQ(end, data + keep) << keep;
    EXPECT_EQ(bytes, d->frameBytes - d->overlapBytes);
    ZoetAudioDecompressClose(d);
  }
}

// ---- A double-precision decode of the same frames --------------------------

struct RefReader {
  const std::vector<uint8_t>& data;
  size_t bit = 0;
  uint32_t Get(uint32_t n) {
    uint32_t v = 0;
    for (uint32_t i = 0; i < n; i++, bit++) {
      size_t byte = bit / 8;
      uint32_t b = byte < data.size() ? (data[byte] >> (bit % 8)) & 1 : 0;
      v |= b << i;
    }
    return v;
  }
  double Packed() {
    uint32_t e = Get(5), m = Get(23), s = Get(1);
    double v = e < 24 ? std::ldexp((double)m, (int)e - 23) : 0.0;
    return s ? -v : v;
  }
};

// Decodes consecutive frames into the interleaved samples a caller receives.
std::vector<int> ReferenceDecode(const std::vector<uint8_t>& data, uint32_t rate, uint32_t channels, uint32_t flags,
                                 uint32_t frames) {
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(rate, channels, flags);
  const uint32_t n = d->transformSize, blocks = d->blocks;
  std::vector<uint32_t> bands(d->bands, d->bands + d->bandCount + 1);
  const uint32_t bandCount = d->bandCount;
  const uint32_t runs[16] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 32, 64};
  const bool dct = flags & ZOET_AUDIO_DCT;
  ZoetAudioDecompressClose(d);

  std::vector<int> out, tail;
  RefReader r{data};
  for (uint32_t f = 0; f < frames; f++) {
    if (dct) r.Get(2);
    std::vector<std::vector<double>> pcm(blocks, std::vector<double>(n));
    for (uint32_t b = 0; b < blocks; b++) {
      std::vector<double> c(n, 0.0);
      c[0] = r.Packed();
      c[1] = r.Packed();
      std::vector<double> q(bandCount);
      for (uint32_t j = 0; j < bandCount; j++) q[j] = std::pow(10.0, 0.0664 * std::min(r.Get(8), 95u));
      double quant = 0;
      uint32_t k = 0, i = 2;
      while (i < n) {
        uint32_t end = r.Get(1) ? i + 8 * runs[r.Get(4)] : i + 8;
        end = std::min(end, n);
        uint32_t w = r.Get(4);
        if (!w) {
          i = end;
          while (k < bandCount && 2 * bands[k] < i) quant = q[k++];
          continue;
        }
        for (; i < end; i++) {
          if (k < bandCount && i == 2 * bands[k]) quant = q[k++];
          uint32_t v = r.Get(w);
          if (v) c[i] = r.Get(1) ? -(v * quant) : v * quant;
        }
      }
      for (uint32_t s = 0; s < n; s++) {
        double sum = 0;
        if (dct) {
          for (uint32_t j = 0; j < n; j++) sum += c[j] * std::cos(M_PI * j * (s + 0.5) / n);
        } else {
          sum = (c[0] + c[1] * std::cos(M_PI * s)) / 2;
          for (uint32_t j = 1; j < n / 2; j++)
            sum += c[2 * j] * std::cos(2 * M_PI * j * s / n) + c[2 * j + 1] * std::sin(2 * M_PI * j * s / n);
        }
        pcm[b][s] = sum * 2 / std::sqrt((double)n);
      }
    }
    r.bit = (r.bit + 31) / 32 * 32;
    std::vector<int> frame;
    auto clampRound = [](double v) { return (int)std::max(-32768.0, std::min(32767.0, std::nearbyint(v))); };
    for (uint32_t s = 0; s < n; s++)
      for (uint32_t b = 0; b < blocks; b++) frame.push_back(clampRound(pcm[b][s]));
    const int count = (int)frame.size() / 16;
    if (f > 0)
      for (int k = 0; k < count; k++)
        frame[k] = (int)std::floor((tail[k] * (double)(count - k) + frame[k] * (double)k) / count);
    tail.assign(frame.end() - count, frame.end());
    out.insert(out.end(), frame.begin(), frame.end() - count);
  }
  return out;
}

std::vector<int16_t> MakeSignal(int kind, uint32_t rate, uint32_t channels, uint32_t sampleFrames) {
  std::vector<int16_t> pcm((size_t)sampleFrames * channels);
  uint32_t seed = 12345;
  for (uint32_t s = 0; s < sampleFrames; s++)
    for (uint32_t c = 0; c < channels; c++) {
      double v;
      if (kind == 0) {
        v = 12000 * std::sin(2 * M_PI * (440.0 + 110 * c) * s / rate) + 6000 * std::sin(2 * M_PI * 3000.0 * s / rate);
      } else {
        seed = seed * 1103515245u + 12345u;
        v = ((int32_t)(seed >> 8 & 0xFFFF) - 32768) * 0.6;
      }
      pcm[(size_t)s * channels + c] = (int16_t)std::lrint(v);
    }
  return pcm;
}

struct RoundTrip {
  uint32_t rate, channels, flags;
  int kind;  // 0 tones, 1 noise
};

std::vector<int16_t> DecodeAll(const std::vector<uint8_t>& data, const RoundTrip& c, uint32_t frames) {
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(c.rate, c.channels, c.flags);
  std::vector<int16_t> out;
  const uint8_t* at = data.data();
  for (uint32_t f = 0; f < frames; f++) {
    int16_t* s = nullptr;
    uint32_t bytes = 0;
    ZoetAudioDecompress(d, &s, &bytes, at, data.data() + data.size(), &at);
    out.insert(out.end(), s, s + bytes / 2);
  }
  EXPECT_EQ(at, data.data() + data.size());
  ZoetAudioDecompressClose(d);
  return out;
}

TEST(ZoeAudioRoundTrip, EncodedTracksDecodeCloseToTheSource) {
  const RoundTrip cases[] = {
      {22050, 1, 0, 0}, {22050, 1, ZOET_AUDIO_DCT, 1}, {44100, 2, 0, 1},
      {44100, 2, ZOET_AUDIO_DCT, 0}, {11025, 2, 0, 0}, {32000, 1, ZOET_AUDIO_DCT, 0},
  };
  for (const RoundTrip& c : cases) {
    const uint32_t sampleFrames = c.rate / 4;
    std::vector<int16_t> pcm = MakeSignal(c.kind, c.rate, c.channels, sampleFrames);
    zoeenc::AudioEncoder enc(c.rate, c.channels, c.flags, 0);
    uint32_t frames = 0;
    std::vector<uint8_t> data = enc.EncodeTrack(pcm.data(), sampleFrames, &frames);
    ASSERT_GT(frames, 1u);
    std::vector<int16_t> got = DecodeAll(data, c, frames);
    ASSERT_GE(got.size(), pcm.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < pcm.size(); i++) {
      signal += (double)pcm[i] * pcm[i];
      noise += ((double)got[i] - pcm[i]) * ((double)got[i] - pcm[i]);
    }
    double snr = 10 * std::log10(signal / std::max(noise, 1e-9));
    EXPECT_GE(snr, 40.0) << c.rate << " ch " << c.channels << " flags " << c.flags << " kind " << c.kind;
  }
}

TEST(ZoeAudioRoundTrip, SinglePrecisionDecodeStaysWithinOneOfDoublePrecision) {
  const RoundTrip cases[] = {{22050, 1, 0, 1}, {22050, 2, ZOET_AUDIO_DCT, 0}, {11025, 2, 0, 1}};
  for (const RoundTrip& c : cases) {
    const uint32_t sampleFrames = 3000;
    std::vector<int16_t> pcm = MakeSignal(c.kind, c.rate, c.channels, sampleFrames);
    // A coarser quantiser as well, so that the bands really scale.
    for (uint32_t quality : {0u, 20u}) {
      zoeenc::AudioEncoder enc(c.rate, c.channels, c.flags, quality);
      uint32_t frames = 0;
      std::vector<uint8_t> data = enc.EncodeTrack(pcm.data(), sampleFrames, &frames);
      std::vector<int16_t> got = DecodeAll(data, c, frames);
      std::vector<int> want = ReferenceDecode(data, c.rate, c.channels, c.flags, frames);
      ASSERT_EQ(got.size(), want.size());
      int worst = 0;
      for (size_t i = 0; i < got.size(); i++) worst = std::max(worst, std::abs(got[i] - want[i]));
      EXPECT_LE(worst, 1) << c.rate << " ch " << c.channels << " quality " << quality;
    }
  }
}

}  // namespace
