// Writes the trigger records of the scene file's mesh stream: a box, or a
// plane ("PLANE", its normal, then the trigger's own name) placed by a
// position and Euler angles in radians.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TriggerRecordDesc {
  std::string name;
  bool plane = false;
  float normal[3] = {0, 0, 1};  // plane records only
  float position[3] = {0, 0, 0};
  float rotation[3] = {0, 0, 0};  // radians
  float boxMin[3] = {-1, -1, -1};
  float boxMax[3] = {1, 1, 1};
  // Written after the box; the reader skips it.
  float secondMin[3] = {0, 0, 0};
  float secondMax[3] = {0, 0, 0};
};

// Appends one record.
void WriteTriggerRecord(std::vector<uint8_t>& out, const TriggerRecordDesc& d);
// Its size in bytes.
size_t TriggerRecordSize(const TriggerRecordDesc& d);
