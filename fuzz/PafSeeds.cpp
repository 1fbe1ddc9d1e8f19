// Writes the seed corpus of the input-recording harness with the recorder's
// own writers:  paf_seeds <corpus folder>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "Game/RecordPlayback.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"

namespace {

bool WriteRecording(const std::string& path, const char* level, int frames) {
  EFileWriter s(EWin32File::Open(path.c_str(), FILE_WRITE | FILE_CREATE | FILE_TRUNCATE), kAUTOCLOSE_Yes);
  if (!s.GetFile()) return false;
  ERecordPlayback::WriteHeader(s, level, 12.5f, 300);
  for (int i = 0; i < frames; ++i) {
    ERecordedFrame frame;
    frame.m_fFrameTime = 0.016f + 0.001f * (float)i;
    frame.m_Input.m_nMoveX = i * 10 - 50;
    frame.m_Input.m_aButtonDown[i % kBUTTON_NUMBUTTONS] = 255;
    frame.m_Input.m_aPOV[0] = 9000 * (i % 4);
    frame.m_fPlayerDistance = 100.0f + (float)i;
    frame.m_fCameraDistance = 120.0f - (float)i;
    uint8_t bytes[ERecordPlayback::kFRAME_BYTES];
    ERecordPlayback::WriteFrame(bytes, frame);
    s.Write(bytes, 1, sizeof(bytes));
  }
  return !s.Err();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: paf_seeds <corpus folder>\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/paf_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  bool ok = WriteRecording(dir + "/none.paf", "NONE", 3) && WriteRecording(dir + "/level.paf", "levels\\CAKC.plb", 5) &&
            WriteRecording(dir + "/empty.paf", "", 0);
  if (!ok) {
    fprintf(stderr, "paf_seeds: cannot write the seeds into %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
