// Writer of ".zoe" movie files (mkzoe): header, track tables, frame index
// with key bits, each frame's sound packets and video data, and padding of
// the last frame up to a requested file size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zoeenc {

// Track word bits.
enum : uint32_t {
  kTrackDct = 1u << 28,
  kTrackStereo = 1u << 29,
  kTrack16Bit = 1u << 30,
  kTrackFourier = 1u << 31,
};

struct MovieTrack {
  uint32_t word = 0;  // sample rate in bits 0-15 and the bits above
  int32_t id = 0;
  // One packet per movie frame: the count of decoded bytes, then whole sound frames.
  std::vector<std::vector<uint8_t>> packets;
};

struct MovieDescription {
  char letter = 'i';
  uint32_t width = 0, height = 0;
  uint32_t rate = 30, divisor = 1;
  uint32_t fileFlags = 0;
  std::vector<std::vector<uint8_t>> video;  // one per frame
  std::vector<bool> key;                    // one per frame
  std::vector<MovieTrack> tracks;
  uint32_t padTo = 0;  // file size to reach with zeros after the last frame (0: none)
};

// The file's bytes; empty when the description is inconsistent (a track with
// another packet count than frames, or padTo below the written size).
std::vector<uint8_t> WriteMovie(const MovieDescription& movie);

// Cuts a track's sound frames (each yielding `frameYield` bytes, the track
// `totalBytes` long) into one packet per movie frame: packet k holds whole
// sound frames, enough that the bytes yielded so far cover the samples due
// by the end of movie frame k (`bytesPerSecond` at `rate` / `divisor` movie
// frames per second); the last packet owes only what is left of the track.
std::vector<std::vector<uint8_t>> PacketiseSound(const std::vector<std::vector<uint8_t>>& soundFrames,
                                                 uint32_t frameYield, uint64_t totalBytes, uint32_t movieFrames,
                                                 uint64_t bytesPerSecond, uint32_t rate, uint32_t divisor);

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace zoeenc
