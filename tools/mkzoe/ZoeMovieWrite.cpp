// Writer of ".zoe" movie files.
#include "ZoeMovieWrite.h"

#include <algorithm>
#include <cstdio>

#include "NonTW/Zoet/ZoeAudio.h"
#include "TWUtil/ByteOrder.h"

namespace zoeenc {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  PutLE32(b, v);
  out.insert(out.end(), b, b + 4);
}

// A frame's bytes: each track's packet (padded to a word) with its length,
// then the video data.
std::vector<uint8_t> FrameBytes(const MovieDescription& m, size_t k) {
  std::vector<uint8_t> out;
  for (const MovieTrack& t : m.tracks) {
    const std::vector<uint8_t>& p = t.packets[k];
    uint32_t padded = (uint32_t)((p.size() + 3) & ~(size_t)3);
    Put32(out, padded);
    out.insert(out.end(), p.begin(), p.end());
    out.resize(out.size() + (padded - p.size()), 0);
  }
  out.insert(out.end(), m.video[k].begin(), m.video[k].end());
  out.resize((out.size() + 3) & ~(size_t)3, 0);
  return out;
}

}  // namespace

std::vector<uint8_t> WriteMovie(const MovieDescription& m) {
  const uint32_t frames = (uint32_t)m.video.size();
  const uint32_t tracks = (uint32_t)m.tracks.size();
  for (const MovieTrack& t : m.tracks)
    if (t.packets.size() != frames) return {};
  std::vector<std::vector<uint8_t>> bodies;
  for (uint32_t k = 0; k < frames; k++) bodies.push_back(FrameBytes(m, k));
  const uint32_t first = 44 + 12 * tracks + 4 * (frames + 1);
  std::vector<uint32_t> offsets(frames + 1);
  uint64_t at = first;
  for (uint32_t k = 0; k < frames; k++) {
    offsets[k] = (uint32_t)at;
    at += bodies[k].size();
  }
  if (m.padTo) {
    if (m.padTo < at || frames == 0) return {};
    bodies.back().resize(bodies.back().size() + (m.padTo - at), 0);
    at = m.padTo;
  }
  offsets[frames] = (uint32_t)at;
  uint32_t largest = 0;
  for (const std::vector<uint8_t>& b : bodies) largest = std::max(largest, (uint32_t)b.size());

  std::vector<uint8_t> out;
  out.insert(out.end(), {'Z', 'O', 'E', (uint8_t)m.letter});
  Put32(out, (uint32_t)at - 8);
  Put32(out, frames);
  Put32(out, largest);
  Put32(out, frames);
  Put32(out, m.width);
  Put32(out, m.height);
  Put32(out, m.rate);
  Put32(out, m.divisor);
  Put32(out, m.fileFlags);
  Put32(out, tracks);
  for (const MovieTrack& t : m.tracks) {
    uint32_t most = 0;
    for (const std::vector<uint8_t>& p : t.packets) most = std::max(most, p.size() >= 4 ? GetLE32(p.data()) : 0u);
    Put32(out, most);
  }
  for (const MovieTrack& t : m.tracks) Put32(out, t.word);
  for (const MovieTrack& t : m.tracks) Put32(out, (uint32_t)t.id);
  for (uint32_t k = 0; k <= frames; k++) Put32(out, offsets[k] | (k < frames && k < m.key.size() && m.key[k] ? 1u : 0u));
  for (const std::vector<uint8_t>& b : bodies) out.insert(out.end(), b.begin(), b.end());
  return out;
}

std::vector<std::vector<uint8_t>> PacketiseSound(const std::vector<std::vector<uint8_t>>& soundFrames,
                                                 uint32_t frameYield, uint64_t totalBytes, uint32_t movieFrames,
                                                 uint64_t bytesPerSecond, uint32_t rate, uint32_t divisor) {
  std::vector<std::vector<uint8_t>> packets(movieFrames);
  size_t next = 0;
  uint64_t yielded = 0;
  for (uint32_t k = 0; k < movieFrames; k++) {
    bool last = k + 1 == movieFrames;
    uint64_t due = rate ? (uint64_t)(k + 1) * divisor * bytesPerSecond / rate : totalBytes;
    if (last || due > totalBytes) due = totalBytes;
    std::vector<uint8_t> body;
    uint64_t start = yielded;
    while (next < soundFrames.size() && yielded < due) {
      body.insert(body.end(), soundFrames[next].begin(), soundFrames[next].end());
      yielded += frameYield;
      next++;
    }
    uint64_t count = std::min(yielded, totalBytes) - std::min(start, totalBytes);
    std::vector<uint8_t>& p = packets[k];
    p.resize(4);
    PutLE32(p.data(), (uint32_t)count);
    p.insert(p.end(), body.begin(), body.end());
  }
  return packets;
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace zoeenc
