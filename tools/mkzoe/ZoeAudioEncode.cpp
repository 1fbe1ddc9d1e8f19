// Encoder of the sound side of movies.
#include "ZoeAudioEncode.h"

#include <algorithm>
#include <cmath>

#include "NonTW/Zoet/ZoeAudio.h"
#include "ZoeEncode.h"
#include "NonTW/Zoet/ZoeTransform.h"

namespace zoeenc {

namespace {

const uint32_t kAudioRuns[16] = {2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16, 32, 64};

void PutPackedFloat(BitWriter& w, float f) {
  double a = std::fabs((double)f);
  uint32_t e = 0;
  uint64_t m = 0;
  for (; e < 24; e++) {
    m = (uint64_t)std::llround(std::ldexp(a, 23 - (int)e));
    if (m < (1u << 23)) break;
  }
  if (e == 24) {
    e = 23;
    m = (1u << 23) - 1;
  }
  w.Put(e, 5);
  w.Put((uint32_t)m, 23);
  w.Put(f < 0 && m ? 1 : 0, 1);
}

// The decoder's running quantiser position.
struct QuantTrack {
  uint32_t k = 0;
  float quant = 0.0f;
};

uint32_t Quantise(float c, float quant) {
  double v = std::fabs((double)c) / quant + 0.5;
  return v >= 32767.0 ? 32767u : (uint32_t)v;
}

}  // namespace

AudioEncoder::AudioEncoder(uint32_t sampleRate, uint32_t channels, uint32_t flags, uint32_t minQuantiser)
    : channels_(channels), flags_(flags), minQuantiser_(minQuantiser > 95 ? 95 : minQuantiser) {
  ZoetAudioDecoder* d = ZoetAudioDecompressOpen(sampleRate, channels, flags);
  length_ = ZoetAudioFrameLength(sampleRate);
  n_ = d ? d->transformSize : 0;
  if (d) bands_.assign(d->bands, d->bands + d->bandCount + 1);
  ZoetAudioDecompressClose(d);
}

std::vector<uint8_t> AudioEncoder::EncodeFrame(const int16_t* samples) const {
  bool dct = (flags_ & ZOET_AUDIO_DCT) != 0;
  uint32_t blocks = dct ? channels_ : 1;
  uint32_t n = n_;
  uint32_t bandCount = (uint32_t)bands_.size() - 1;
  BitWriter w;
  if (dct) w.Put(0, 2);
  std::vector<int> ip(2 + (size_t)std::sqrt((double)n) + 2, 0);
  std::vector<float> table(dct ? 5 * n / 4 + 1 : n / 2 + 1);
  for (uint32_t b = 0; b < blocks; b++) {
    std::vector<float> coef(n);
    for (uint32_t i = 0; i < n; i++) coef[i] = dct ? samples[i * channels_ + b] : samples[i];
    if (dct) {
      zoe_ddct((int)n, -1, coef.data(), ip.data(), table.data());
      coef[0] *= 0.5f;
    } else {
      zoe_rdft((int)n, 1, coef.data(), ip.data(), table.data());
    }
    float norm = (float)(1.0 / std::sqrt((double)n));
    for (float& c : coef) c *= norm;
    PutPackedFloat(w, coef[0]);
    PutPackedFloat(w, coef[1]);

    // Band quantisers: the finest allowed that keeps every magnitude in 15 bits.
    std::vector<float> q(bandCount);
    for (uint32_t j = 0; j < bandCount; j++) {
      double peak = 0;
      for (uint32_t i = 2 * bands_[j]; i < 2 * bands_[j + 1] && i < n; i++) peak = std::max(peak, (double)std::fabs(coef[i]));
      uint32_t k = minQuantiser_;
      while (k < 95 && peak / ZoetAudioQuantiser(k) + 0.5 >= 32767.0) k++;
      w.Put(k, 8);
      q[j] = ZoetAudioQuantiser(k);
    }

    QuantTrack t;
    while (t.k < bandCount && 2 * bands_[t.k] < 2) t.quant = q[t.k++];
    uint32_t i = 2;
    while (i < n) {
      // The longest run of zeros from i, else a group of 8.
      auto zeroUpTo = [&](uint32_t end) {
        QuantTrack s = t;
        for (uint32_t p = i; p < end; p++) {
          if (s.k < bandCount && p == 2 * bands_[s.k]) s.quant = q[s.k++];
          if (Quantise(coef[p], s.quant)) return false;
        }
        return true;
      };
      int run = -1;
      for (int r = 15; r >= 0; r--) {
        uint32_t end = std::min(i + 8 * kAudioRuns[r], n);
        if (zeroUpTo(end)) {
          run = r;
          break;
        }
      }
      uint32_t end;
      if (run >= 0 && std::min(i + 8 * kAudioRuns[run], n) > std::min(i + 8, n)) {
        w.Put(1, 1);
        w.Put((uint32_t)run, 4);
        end = std::min(i + 8 * kAudioRuns[run], n);
      } else {
        w.Put(0, 1);
        end = std::min(i + 8, n);
      }
      if (zeroUpTo(end)) {
        w.Put(0, 4);
        i = end;
        while (t.k < bandCount && 2 * bands_[t.k] < i) t.quant = q[t.k++];
        continue;
      }
      std::vector<uint32_t> values;
      std::vector<uint32_t> signs;
      uint32_t widest = 0;
      for (uint32_t p = i; p < end; p++) {
        if (t.k < bandCount && p == 2 * bands_[t.k]) t.quant = q[t.k++];
        uint32_t v = Quantise(coef[p], t.quant);
        values.push_back(v);
        signs.push_back(coef[p] < 0 ? 1u : 0u);
        uint32_t bits = 0;
        while ((v >> bits) != 0) bits++;
        widest = std::max(widest, bits);
      }
      w.Put(widest, 4);
      for (size_t x = 0; x < values.size(); x++) {
        w.Put(values[x], widest);
        if (values[x]) w.Put(signs[x], 1);
      }
      i = end;
    }
  }
  return w.Bytes();
}

std::vector<std::vector<uint8_t>> AudioEncoder::EncodeTrackFrames(const int16_t* samples,
                                                                  uint32_t sampleFrames) const {
  uint32_t advance = FrameAdvance();
  uint32_t count = (sampleFrames + advance - 1) / advance;
  std::vector<std::vector<uint8_t>> out;
  std::vector<int16_t> frame((size_t)length_ * channels_);
  for (uint32_t f = 0; f < count; f++) {
    uint64_t start = (uint64_t)f * advance;
    for (uint32_t s = 0; s < length_; s++)
      for (uint32_t c = 0; c < channels_; c++)
        frame[(size_t)s * channels_ + c] =
            start + s < sampleFrames ? samples[(size_t)(start + s) * channels_ + c] : (int16_t)0;
    out.push_back(EncodeFrame(frame.data()));
  }
  return out;
}

std::vector<uint8_t> AudioEncoder::EncodeTrack(const int16_t* samples, uint32_t sampleFrames, uint32_t* frames) const {
  std::vector<std::vector<uint8_t>> each = EncodeTrackFrames(samples, sampleFrames);
  std::vector<uint8_t> out;
  for (const std::vector<uint8_t>& f : each) out.insert(out.end(), f.begin(), f.end());
  if (frames) *frames = (uint32_t)each.size();
  return out;
}

}  // namespace zoeenc
