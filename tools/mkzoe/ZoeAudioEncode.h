// Encoder of the sound side of movies (mkzoe): 16-bit PCM cut into
// overlapping frames, transformed, quantised per critical band and written in
// the frame layout the sound decoder reads.
#pragma once

#include <cstdint>
#include <vector>

namespace zoeenc {

class AudioEncoder {
 public:
  // flags bit 0 selects the cosine transform; minQuantiser (0 to 95) is the
  // finest band quantiser index used.
  AudioEncoder(uint32_t sampleRate, uint32_t channels, uint32_t flags, uint32_t minQuantiser);

  uint32_t FrameLength() const { return length_; }        // samples per channel in a frame
  uint32_t FrameAdvance() const { return length_ - length_ / 16; }  // new samples per frame
  // Bytes each decoded frame yields.
  uint32_t FrameYield() const { return FrameAdvance() * channels_ * 2; }

  // One frame from FrameLength() interleaved sample frames.
  std::vector<uint8_t> EncodeFrame(const int16_t* samples) const;

  // Every frame of a track of `sampleFrames` interleaved sample frames,
  // enough to yield all of them; *frames = how many were written.
  std::vector<uint8_t> EncodeTrack(const int16_t* samples, uint32_t sampleFrames, uint32_t* frames) const;
  // The same frames one by one.
  std::vector<std::vector<uint8_t>> EncodeTrackFrames(const int16_t* samples, uint32_t sampleFrames) const;

 private:
  uint32_t channels_, flags_, minQuantiser_, length_, n_;
  std::vector<uint32_t> bands_;  // bandCount + 1 edges
};

}  // namespace zoeenc
