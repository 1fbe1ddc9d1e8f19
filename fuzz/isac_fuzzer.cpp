// Loads the input as a project file. Its bank references resolve inside a
// folder of the harness's own, which holds a content bank "a.icb" and a
// sample bank "b.isb" written by the runtime's writers; inputs naming a path
// with a separator are skipped, so nothing outside that folder is opened.
// Then writes the project back and unloads everything.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/tests/RecordingRender.h"

namespace {

const uint16_t kIsacTitle[] = {'S', 'w', 'a', 'p', 0};

bool IsacWrite(IAUDContentObject* object, const char* name) {
  FILE* f = fopen(name, "w+b");
  if (!f) return false;
  object->ArchiveObject(f);
  return fclose(f) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/isac_fuzzer.XXXXXX";
  if (!mkdtemp(folder) || chdir(folder) != 0) abort();
  IAUDContentBank* bank = new IAUDContentBank();
  bank->CreateNewContentObject(IAUDFourCC("tran"), nullptr)->SetTitle(kIsacTitle);
  IAUDSampleBank* samples = new IAUDSampleBank();
  bool ok = IsacWrite(bank, "a.icb") && IsacWrite(samples, "b.isb");
  bank->RemoveObject();
  samples->RemoveObject();
  if (!ok) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  for (size_t i = 0; i < size; ++i)
    if (data[i] == '/' || data[i] == '\\') return 0;
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!in) return 0;
  iaudtest::FakeRenderDriver driver;
  IAUDFileObject* project = new IAUDFileObject();
  project->ParseFile(in);
  fclose(in);
  project->ProcessUnArchivedObject();
  if (FILE* out = tmpfile()) {
    project->ArchiveObject(out);
    fclose(out);
  }
  project->RemoveObject();
  while (IAUDContentBank* bank = IAUDResourceManager::m_pContentBanks) bank->RemoveObject();
  for (uint32_t slot = 0; slot < 256; ++slot) IAUDResourceManager::AddSampleBank(nullptr, slot);
  IAUDResourceManager::SetIAUDErrorCode(0);
  IAUDResourceManager::SetHeadRoomGain(1.0f);
  IAUDResourceManager::ReleaseAllGroups();
  return 0;
}
