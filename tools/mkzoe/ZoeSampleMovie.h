// Small generated movies for the video library's tests, fuzz seeds and
// benchmarks: a picture that changes from frame to frame (or one solid
// colour), chosen key frames, and sound tracks of a chord.
#pragma once

#include <cstdint>
#include <vector>

namespace zoeenc {

struct SampleSound {
  uint32_t rate = 22050;
  uint32_t channels = 1;
  bool eightBit = false;
  bool dct = false;
  int32_t id = 0;
  uint32_t word = 0;  // nonzero: the track word as given (rate and coding bits)
};

struct SampleMovieSpec {
  uint32_t width = 32, height = 32, frames = 8;
  uint32_t rate = 30, divisor = 1;
  std::vector<uint32_t> keyFrames{1};  // 1-based
  std::vector<SampleSound> sounds;
  bool solid = false;  // every frame one colour (y, u, v)
  uint8_t y = 0, u = 0, v = 0;
  int quant = -1;  // -1: lossless blocks only
  uint32_t padTo = 0;  // file size reached with zeros after the last frame
};

std::vector<uint8_t> MakeSampleMovie(const SampleMovieSpec& spec);

// The PCM a sample track is made from (interleaved 16-bit).
std::vector<int16_t> SampleSoundPcm(const SampleSound& sound, uint32_t sampleFrames);

}  // namespace zoeenc
