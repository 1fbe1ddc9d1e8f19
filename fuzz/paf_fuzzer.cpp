// Reads the input as an input recording (".paf"): the header, then whole
// frames until the data runs out, as playback reads them.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Game/RecordPlayback.h"
#include "TWUtil/EFile.h"
#include "TWUtil/EStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EFile* file = EAltMemFile::Open(const_cast<uint8_t*>(data), (unsigned)size, kMEMFILE_Borrow);
  char level[ERecordPlayback::kMAX_NAME];
  float time = 0.0f;
  int32_t frameCount = 0;
  bool ok;
  {
    EFileReader reader(file, kAUTOCLOSE_No);
    ok = ERecordPlayback::ReadHeader(reader, level, time, frameCount);
  }
  if (ok) {
    // The name is terminated inside its buffer.
    volatile size_t n = strlen(level);
    (void)n;
    uint8_t bytes[ERecordPlayback::kFRAME_BYTES];
    ERecordedFrame frame;
    volatile float sum = 0.0f;
    while (file->Read(bytes, (int)sizeof(bytes)) == (int)sizeof(bytes)) {
      ERecordPlayback::ReadFrame(bytes, frame);
      sum = sum + frame.m_fFrameTime + frame.m_fPlayerDistance + frame.m_fCameraDistance +
            (float)frame.m_Input.m_nMoveX;
    }
  }
  file->Close();
  return 0;
}
