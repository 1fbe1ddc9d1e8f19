// Small generated movies for tests, seeds and benchmarks.
#include "ZoeSampleMovie.h"

#include <algorithm>
#include <cmath>

#include "ZoeAudioEncode.h"
#include "ZoeEncode.h"
#include "ZoeMovieWrite.h"

namespace zoeenc {

std::vector<int16_t> SampleSoundPcm(const SampleSound& s, uint32_t sampleFrames) {
  std::vector<int16_t> pcm((size_t)sampleFrames * s.channels);
  for (uint32_t i = 0; i < sampleFrames; i++)
    for (uint32_t c = 0; c < s.channels; c++) {
      double t = (double)i / s.rate;
      double v = 6000 * std::sin(2 * M_PI * (330 + 110 * c) * t) + 3000 * std::sin(2 * M_PI * 495 * t);
      pcm[(size_t)i * s.channels + c] = (int16_t)std::lround(v);
    }
  return pcm;
}

std::vector<uint8_t> MakeSampleMovie(const SampleMovieSpec& spec) {
  MovieDescription movie;
  movie.width = spec.width;
  movie.height = spec.height;
  movie.rate = spec.rate;
  movie.divisor = spec.divisor;
  movie.padTo = spec.padTo;
  FrameEncoder enc(spec.width, spec.height);
  std::vector<uint8_t> y(enc.lumaWidth * enc.lumaHeight), cr(enc.chromaWidth * enc.chromaHeight), cb(cr.size());
  for (uint32_t k = 0; k < spec.frames; k++) {
    for (uint32_t j = 0; j < enc.lumaHeight; j++)
      for (uint32_t i = 0; i < enc.lumaWidth; i++) {
        // A gradient with a square that moves three pixels a frame.
        uint32_t sx = (3 * k) % std::max(1u, spec.width), sy = (2 * k) % std::max(1u, spec.height);
        bool square = i >= sx && i < sx + 12 && j >= sy && j < sy + 10;
        y[j * enc.lumaWidth + i] = spec.solid ? spec.y : (uint8_t)(square ? 220 - (i + j) % 40 : 30 + (i + 2 * j + k) % 150);
      }
    for (uint32_t j = 0; j < enc.chromaHeight; j++)
      for (uint32_t i = 0; i < enc.chromaWidth; i++) {
        cr[j * enc.chromaWidth + i] = spec.solid ? spec.v : (uint8_t)(100 + (i + k) % 40);
        cb[j * enc.chromaWidth + i] = spec.solid ? spec.u : (uint8_t)(90 + (j + 2 * k) % 50);
      }
    EncodeOptions o;
    o.keyFrame = std::find(spec.keyFrames.begin(), spec.keyFrames.end(), k + 1) != spec.keyFrames.end();
    o.lossless = spec.quant < 0;
    o.quant = spec.quant < 0 ? 0 : spec.quant;
    movie.video.push_back(enc.Encode(y.data(), cr.data(), cb.data(), nullptr, o));
    movie.key.push_back(o.keyFrame);
  }
  for (const SampleSound& s : spec.sounds) {
    AudioEncoder audio(s.rate, s.channels, s.dct ? 1u : 0u, 8);
    uint32_t sampleFrames = (uint32_t)((uint64_t)s.rate * spec.frames * spec.divisor / spec.rate);
    std::vector<int16_t> pcm = SampleSoundPcm(s, sampleFrames);
    MovieTrack t;
    t.id = s.id;
    t.word = s.word ? s.word
                    : s.rate | (s.dct ? kTrackDct : kTrackFourier) | (s.channels == 2 ? (uint32_t)kTrackStereo : 0u) |
                          (s.eightBit ? 0u : (uint32_t)kTrack16Bit);
    t.packets = PacketiseSound(audio.EncodeTrackFrames(pcm.data(), sampleFrames), audio.FrameYield(),
                               (uint64_t)sampleFrames * s.channels * 2, spec.frames, (uint64_t)s.rate * s.channels * 2,
                               spec.rate, spec.divisor);
    movie.tracks.push_back(t);
  }
  return WriteMovie(movie);
}

}  // namespace zoeenc
