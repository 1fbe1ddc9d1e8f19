#include "TriggerWriter.h"

#include <cstring>

namespace {

void TrigU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}

void TrigFloats(std::vector<uint8_t>& out, const float* p, int n) {
  for (int i = 0; i < n; ++i) {
    uint32_t u;
    memcpy(&u, &p[i], 4);
    TrigU32(out, u);
  }
}

// The length counts the terminating zero.
void TrigString(std::vector<uint8_t>& out, const std::string& s) {
  TrigU32(out, (uint32_t)s.size() + 1);
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

}  // namespace

void WriteTriggerRecord(std::vector<uint8_t>& out, const TriggerRecordDesc& d) {
  if (d.plane) {
    TrigString(out, "PLANE");
    TrigFloats(out, d.normal, 3);
  }
  TrigString(out, d.name);
  TrigFloats(out, d.position, 3);
  TrigFloats(out, d.rotation, 3);
  TrigFloats(out, d.boxMin, 3);
  TrigFloats(out, d.boxMax, 3);
  TrigFloats(out, d.secondMin, 3);
  TrigFloats(out, d.secondMax, 3);
}

size_t TriggerRecordSize(const TriggerRecordDesc& d) {
  return (d.plane ? 4 + 6 + 12 : 0) + 4 + d.name.size() + 1 + 12 * 6;
}
