// Loads the input as a content bank file the way the loader does (parse,
// then complete: the bank joins the bank list and rebuilds its index when
// asked), looks titles and global variables up, edits the index, writes the
// bank back and unloads it.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!in) return 0;
  IAUDContentBank* bank = new IAUDContentBank();
  bank->ParseFile(in);
  fclose(in);
  bank->ProcessUnArchivedObject();

  // Every stored title is looked up, then the first page's titles go and
  // come back through the index's own insertion.
  uint32_t type = 0, index = 0;
  for (const SIndexPage* p = bank->GetFirstIndexPage(); p; p = p->pNext)
    for (uint32_t i = 0; i < p->dwCount; ++i) bank->FindContentObjectByName(p->entries[i].wszTitle, &type, &index);
  if (const SIndexPage* first = bank->GetFirstIndexPage()) {
    SIndexPage copy = *first;
    for (uint32_t i = 0; i < copy.dwCount && i < SIndexPage::kEntries; ++i) bank->RemoveIndexEntry(copy.entries[i].wszTitle);
    for (uint32_t i = 0; i < copy.dwCount && i < SIndexPage::kEntries; ++i) bank->AddIndexEntry(&copy.entries[i]);
  }

  uint16_t name[40];
  for (uint32_t v = 0; v < bank->GetNumGlobalVars() && v < 64; ++v) {
    bank->GetGlobalVarName(v, name, 40);
    name[39] = 0;
    uint32_t found = 0, state = 0;
    bank->GetCGlobalVarIndex(name, &found);
    int32_t states = bank->GetNumGlobalVarStates(v);
    for (int32_t s = 0; s < states && s < 64; ++s) {
      if (bank->GetGlobalVarStateName(v, (uint32_t)s, name, 40)) bank->GetCGlobalStateIndex(v, name, &state);
      bank->SetGlobalVarState(v, (uint32_t)s);
    }
    bank->GetGlobalVarState(v);
  }
  bank->ResetEntityGlobalVars();

  if (FILE* out = tmpfile()) {
    bank->ArchiveObject(out);
    fclose(out);
  }
  bank->RemoveObject();
  IAUDResourceManager::ReleaseAllGroups();
  return 0;
}
