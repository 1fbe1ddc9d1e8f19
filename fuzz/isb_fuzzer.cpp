// Loads the input as a sample bank twice, into a recording render driver:
// once resident (every sample decoded and loaded whole) and once streaming
// in packets of 100 ms (every sample attached to a track and refilled a few
// frames, looping once); then writes the bank back and unloads it.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace {

void IsbLoad(const uint8_t* data, size_t size, uint32_t packetTime) {
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!in) return;
  iaudtest::FakeRenderDriver driver;
  IAUDSampleBank* bank = new IAUDSampleBank(packetTime, 0);
  bank->ParseFile(in);
  if (bank->GetBankFileHandle() != in) fclose(in);
  bank->ProcessUnArchivedObject();
  int32_t slots = bank->GetBankSampleSlotCount();
  for (int32_t i = 0; i < slots && i < 16; ++i) {
    CSample* sample = bank->GetBankSample((uint32_t)i);
    if (!sample) continue;
    sample->GetSampleDistanceInfo();
    sample->AttachSample(i);
    driver.tracks[i].sample = sample;
    driver.tracks[i].loops = 1;
  }
  for (int frame = 0; frame < 8 && bank->GetStreamInstanceCount(); ++frame) {
    for (auto& t : driver.tracks) t.second.processed = 2;
    bank->ProcessActiveStreams();
  }
  if (FILE* out = tmpfile()) {
    bank->ArchiveObject(out);
    fclose(out);
  }
  bank->RemoveObject();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  InitVorbisFile();
  IsbLoad(data, size, 0xFFFFFFFFu);
  IsbLoad(data, size, 100);
  IAUDResourceManager::ReleaseAllGroups();
  return 0;
}
