// Loads the input as a content bank file the way the loader does (parse,
// then complete: the bank joins the bank list and rebuilds its index when
// asked), looks titles and global variables up, edits the index, writes the
// bank back and unloads it. Content plays without a runtime, randomizers
// through their tracks, and entity definitions drive instances.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "NonTW/IAUDEng/CEntity.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/CSoundEntity.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/CSoundQueue.h"
#include "NonTW/IAUDEng/CSoundRandomizer.h"
#include "NonTW/IAUDEng/CSoundTimeline.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"

namespace {

// Plays the content without a runtime: starts, a few cycles, a stop.
void PlayContent(IAUDContentObject* content) {
  if (!content) return;
  uint32_t lo = 0, hi = 0;
  content->GetMinMaxDuration(&lo, &hi);
  content->GetNumTracks();
  void* instance = nullptr;
  content->InitObject(&instance);
  content->StartObject(nullptr, nullptr, instance, 2, nullptr);
  int32_t loops = 2;
  for (int i = 0; i < 8 && content->CycleObject(nullptr, &loops, instance, nullptr); ++i) {
  }
  content->StopObject(nullptr, instance);
  content->StopObject(nullptr, instance);
  content->ReleaseObject(instance);
}

// Runs every frame of a sequence's stream and its ramps and paths.
void RunSequence(CSequence* sequence) {
  void* instance = nullptr;
  sequence->InitObject(&instance);
  SSequenceInstance* inst = static_cast<SSequenceInstance*>(instance);
  if (!inst) return;
  uint32_t clock = 0;
  for (int frame = 0; frame < 4096 && inst->nFrameDelta >= 0 && !(inst->dwFlags & CSequence::kEnded); ++frame) {
    clock += (uint32_t)inst->nFrameDelta;
    sequence->ProcessClockFrame(nullptr, clock, inst, nullptr);
    sequence->CreateClockFrame(inst);
    sequence->ProcessActivePaths(nullptr, clock + 30, inst);
    sequence->ProcessActiveLevels(nullptr, clock + 30, inst);
    sequence->ProcessActiveSend(nullptr, clock + 30, inst);
    sequence->ProcessActiveSendHF(nullptr, clock + 30, inst);
  }
  IAUDContentMarker marker = {};
  sequence->EstablishMarker(&marker, inst);
  sequence->CueMarker(&marker, inst);
  sequence->ReCueLastClock(inst, nullptr);
  sequence->ReleaseObject(inst);
}

// Runs an interactive randomizer through its tracks.
void PlayLayers(CSoundRandomizer* randomizer) {
  if (!randomizer || !randomizer->IsInteractive()) return;
  randomizer->GetNumInteractiveTracks();
  void* instance = nullptr;
  randomizer->InitObject(&instance);
  randomizer->StartObject(nullptr, nullptr, instance, 1, nullptr);
  int32_t loops = 1;
  for (int32_t track = -1; track < randomizer->GetItemCount() + 2; ++track) {
    randomizer->SetInteractiveTrack(track, instance);
    randomizer->CycleObject(nullptr, &loops, instance, nullptr);
  }
  randomizer->StopObject(nullptr, instance);
  randomizer->ReleaseObject(instance);
}

// Two instances of a definition driven through every local state and every
// global state of their bank.
void DriveEntity(IAUDContentBank* bank, CSoundEntity* definition) {
  if (!definition || !definition->IsValid()) return;
  CEntity* first = new CEntity(definition);
  CEntity* second = new CEntity(definition);
  first->ActivateEntity(true);
  second->ActivateEntity(true);
  for (uint32_t v = 0; v < first->GetNumLocalVars() && v < 16; ++v)
    for (int32_t s = first->GetNumLocalVarStates(v) - 1; s >= 0 && s < 16; --s) first->SetLocalVarState(v, (uint32_t)s);
  for (uint32_t v = 0; v < bank->GetNumGlobalVars() && v < 16; ++v)
    for (int32_t s = bank->GetNumGlobalVarStates(v) - 1; s >= 0 && s < 16; --s) bank->SetGlobalVarState(v, (uint32_t)s);
  second->ResetEntityLocalVars();
  bank->ResetEntityGlobalVars();
  IAUDVector at{1, 2, 3};
  first->SetPosition(at);
  first->SetOrientation(10.0f, 20.0f, 30.0f);
  delete first;
  delete second;
}

}  // namespace

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

  for (uint32_t i = 0; i < 16; ++i) {
    PlayContent(bank->GetSoundEvent(i));
    PlayContent(bank->GetSoundQueue(i));
    PlayContent(bank->GetSoundTimeline(i));
    PlayContent(bank->GetSequence(i));
    if (CSequence* sequence = bank->GetSequence(i)) RunSequence(sequence);
    PlayContent(bank->GetSoundRandomizer(i));
    PlayLayers(bank->GetSoundRandomizer(i));
    DriveEntity(bank, bank->GetSoundEntity(i));
  }

  if (FILE* out = tmpfile()) {
    bank->ArchiveObject(out);
    fclose(out);
  }
  bank->RemoveObject();
  IAUDResourceManager::ReleaseAllGroups();
  return 0;
}
