// ".pba" bytes laid out by hand for the blend-animation tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

typedef std::vector<std::pair<std::string, std::vector<uint8_t>>> PbaChannels;

inline void PbaPut32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}

// The file laid out by hand: magic, version, count, then per channel a
// one-byte name length counting the NUL, the name, the count and samples.
inline std::vector<uint8_t> PbaBytes(const PbaChannels& channels, uint32_t claimed = 0xFFFFFFFF) {
  std::vector<uint8_t> out = {0x41, 0x42, 0x50, 0x45};
  PbaPut32(out, 100);
  PbaPut32(out, claimed == 0xFFFFFFFF ? (uint32_t)channels.size() : claimed);
  for (const auto& c : channels) {
    out.push_back((uint8_t)(c.first.size() + 1));
    out.insert(out.end(), c.first.begin(), c.first.end());
    out.push_back(0);
    PbaPut32(out, (uint32_t)c.second.size());
    out.insert(out.end(), c.second.begin(), c.second.end());
  }
  return out;
}

