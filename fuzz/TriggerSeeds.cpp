// Writes the seed corpus of the trigger-record harness with the trigger
// record writer:  trigger_seeds <corpus folder of the harness>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "TriggerWriter.h"

namespace {

bool WriteSeed(const std::string& path, const std::vector<TriggerRecordDesc>& records) {
  std::vector<uint8_t> bytes;
  for (const TriggerRecordDesc& d : records) WriteTriggerRecord(bytes, d);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: trigger_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = argv[1];
  mkdir(dir.c_str(), 0755);
  TriggerRecordDesc box;
  box.name = "Room";
  box.position[0] = 100;
  box.rotation[1] = 0.5f;
  box.boxMin[2] = -50;
  box.boxMax[2] = 50;
  TriggerRecordDesc plane;
  plane.plane = true;
  plane.name = "Gate";
  plane.boxMin[0] = -50, plane.boxMax[0] = 50;
  TriggerRecordDesc unnamed;
  bool ok = WriteSeed(dir + "/box.trig", {box});
  ok = ok && WriteSeed(dir + "/plane.trig", {plane});
  ok = ok && WriteSeed(dir + "/mixed.trig", {box, plane, unnamed});
  if (!ok) {
    fprintf(stderr, "trigger_seeds: cannot write the seeds into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
