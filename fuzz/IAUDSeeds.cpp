// Writes seeds of the audio content tree harness with the runtime's own
// writers:  iaud_seeds <corpus folder>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CRPController.h"
#include "NonTW/IAUDEng/CSequence.h"
#include "NonTW/IAUDEng/CSoundEvent.h"
#include "NonTW/IAUDEng/CSoundQueue.h"
#include "NonTW/IAUDEng/CSoundTimeline.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"

namespace {

const uint16_t kSeedTitle[] = {'S', 'e', 'e', 'd', 0};

bool WriteBank(IAUDContentBank* bank, const std::string& path) {
  FILE* f = fopen(path.c_str(), "w+b");
  if (!f) return false;
  bank->ArchiveObject(f);
  bool ok = fclose(f) == 0;
  bank->RemoveObject();
  return ok;
}

bool WriteObject(IAUDContentObject* object, const std::string& path) {
  FILE* f = fopen(path.c_str(), "w+b");
  if (!f) return false;
  object->ArchiveObject(f);
  bool ok = fclose(f) == 0;
  object->RemoveObject();
  return ok;
}

// One sound event (a sound and a silence track), a queue with a loop
// section, a timeline of delayed tracks and a sequence with a group, a ramp,
// a path, a marker grid and an end.
void AddSoundContent(IAUDContentBank* bank, IAUDContentObject* folder) {
  CSoundEvent* event = static_cast<CSoundEvent*>(bank->CreateNewContentObject(IAUDFourCC("snde"), folder));
  SOUNDTRACK sound;
  memset(&sound, 0, sizeof(sound));
  sound.dwSample = 0x10000;
  sound.nPath = 0;
  sound.dwOrder = 2;
  sound.dwChance = 70;
  sound.aflLevel[0] = 0.5f, sound.aflLevel[1] = 1.0f;
  sound.aflPitch[0] = 0.8f, sound.aflPitch[1] = 1.2f;
  sound.aflDirect[1] = sound.aflDirectHF[1] = 1.0f;
  sound.adwSendActive[1] = 1;
  sound.aflSendMax[1] = 0.5f;
  sound.dwRandomFlags = 0x15;
  event->AddSoundTrack(sound);
  event->AddSilenceTrack(SILENCETRACK{1, 30, 100, 400, 1});
  event->SetSetting(3, 3);
  CSoundQueue* queue = static_cast<CSoundQueue*>(bank->CreateNewContentObject(IAUDFourCC("sdqu"), folder));
  const char* kinds[] = {"snde", "sdtl", "sqob", "gbef", "samp"};
  for (const char* k : kinds) {
    uint32_t type = (uint32_t)k[0] | (uint32_t)k[1] << 8 | (uint32_t)k[2] << 16 | (uint32_t)k[3] << 24;
    queue->AddItem(SOUNDQUEUECONTENT{type, type == IAUDFourCC("samp") ? 0x10000u : 0u});
  }
  queue->SetLoopSection(1, 2);
  CSoundTimeline* timeline = static_cast<CSoundTimeline*>(bank->CreateNewContentObject(IAUDFourCC("sdtl"), folder));
  timeline->AddTrack(STimelineTrack{IAUDFourCC("snde"), 0, 0, 0, 0});
  timeline->AddTrack(STimelineTrack{IAUDFourCC("snde"), 0, 500, 0, 100});
  timeline->SetIndependentLoops(1);
  CSequence* sequence = static_cast<CSequence*>(bank->CreateNewContentObject(IAUDFourCC("sqob"), folder));
  const uint32_t stream[] = {0,  CSequence::kOpGroup, 2, CSequence::kOpLevel, 0, 1u << 8 | 1, 0x10000,
                             0,  CSequence::kOpLevelRamp, (96u << 16) | 200,
                             48, CSequence::kOpPath, 192, 0, CSequence::kOpGrid, 0x80000001u,
                             0,  CSequence::kOpSendRamp | 1u << 24 | 1u << 8, (48u << 16) | 80,
                             96, CSequence::kOpTempo, 400000, 96, CSequence::kOpEnd, 0};
  uint32_t* words = static_cast<uint32_t*>(malloc(sizeof(stream)));
  if (words) memcpy(words, stream, sizeof(stream));
  sequence->SetData(words, words ? (uint32_t)(sizeof(stream) / 4) : 0);
  sequence->SetNumTracks(2);
}

IAUDContentBank* SeedBank() {
  IAUDContentBank* bank = new IAUDContentBank();
  IAUDContentObject* folder = bank->CreateChildFolder();
  CPath* path = static_cast<CPath*>(bank->CreateNewContentObject(IAUDFourCC("path"), folder));
  const IAUDVector knots[] = {{0, 0, 0}, {100, 0, 0}, {100, 50, 100}, {0, 0, 100}};
  for (int i = 0; i < 4; ++i) path->addKnot(knots[i], (char)(i % 5));
  path->setLooping(true);
  path->updateTimeStamps(0);
  path->SetTitle(kSeedTitle);
  CRPController* rpc = static_cast<CRPController*>(bank->CreateNewContentObject(IAUDFourCC("rpc "), nullptr));
  const FPOINT level[] = {{0, 0.2f}, {0.5f, 0.6f}, {1, 1}};
  rpc->SetCurve(CRPController::kLevel, level, 3);
  rpc->SetCurve(CRPController::kPitch, level, 2);
  IAUDContentObject* tran = bank->CreateNewContentObject(IAUDFourCC("tran"), folder);
  IAUDContentMarker markers[2] = {};
  markers[0].wszTitle[0] = 'M';
  markers[1].dwMetricPosition = 96;
  markers[1].nRepeatLimit = -1;
  tran->SetMarkers(markers, 2);
  tran->SetGroupIndex(IAUDResourceManager::AddGroup(kSeedTitle));
  CGlobalEffect* effect = static_cast<CGlobalEffect*>(bank->CreateNewContentObject(IAUDFourCC("gbef"), folder));
  const float decay = 1.5f;
  SEffectSet set = {1, 0.5f, 1, {0x0CF95C8F, 0xA3CC, 0x4849, {0xB0, 0xB6, 0x83, 0x2E, 0xCC, 0x18, 0x22, 0xDF}}, 8, 4,
                    nullptr};
  effect->AddEffectSet(&set, &decay);
  AddSoundContent(bank, folder);
  return bank;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: iaud_seeds <corpus folder>\n");
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/iaud_tree_fuzzer";
  mkdir(argv[1], 0755);
  mkdir(dir.c_str(), 0755);
  IAUDContentBank* open = new IAUDContentBank();
  static_cast<CPath*>(open->CreateNewContentObject(IAUDFourCC("path"), nullptr))->addKnot({1, 2, 3}, 0);
  bool ok = WriteBank(SeedBank(), dir + "/bank.icb") && WriteBank(open, dir + "/path.icb") &&
            WriteBank(new IAUDContentBank(), dir + "/empty.icb");
  // The content bank harness: a bank whose index spans two pages.
  std::string icb = std::string(argv[1]) + "/icb_fuzzer";
  mkdir(icb.c_str(), 0755);
  IAUDContentBank* indexed = SeedBank();
  for (int i = 0; i < 60; ++i) {
    SIndexEntry e = {};
    e.wszTitle[0] = (uint16_t)('A' + i / 26);
    e.wszTitle[1] = (uint16_t)('a' + i % 26);
    e.dwType = IAUDFourCC(i % 2 ? "path" : "tran");
    e.dwResourceIndex = (uint32_t)i;
    indexed->AddIndexEntry(&e);
  }
  ok = ok && WriteBank(indexed, icb + "/indexed.icb");
  // The sample bank harness: a streaming bank with audio buffers.
  std::string isb = std::string(argv[1]) + "/isb_fuzzer";
  mkdir(isb.c_str(), 0755);
  IAUDSampleBank* samples = new IAUDSampleBank(250, 0);
  samples->CreateNewContentObject(IAUDFourCC("bfob"), nullptr);
  samples->CreateNewContentObject(IAUDFourCC("bfob"), samples->CreateNewContentObject(IAUDFourCC("fldr"), nullptr));
  ok = ok && WriteObject(samples, isb + "/buffers.isb");
  // The project harness: a project naming the harness's banks "a.icb" and
  // "b.isb" (a bank's path is its title), with a global variable.
  std::string isac = std::string(argv[1]) + "/isac_fuzzer";
  mkdir(isac.c_str(), 0755);
  const uint16_t a[] = {'a', '.', 'i', 'c', 'b', 0}, b[] = {'b', '.', 'i', 's', 'b', 0};
  IAUDContentBank* named = new IAUDContentBank();
  named->SetTitle(a);
  named->ProcessUnArchivedObject();
  IAUDSampleBank* slot = new IAUDSampleBank();
  slot->SetTitle(b);
  IAUDResourceManager::AddSampleBank(slot, 3);
  IAUDFileObject* project = new IAUDFileObject();
  project->CreateNewContentObject(IAUDFourCC("tran"), nullptr)->SetTitle(kSeedTitle);
  ok = ok && WriteObject(project, isac + "/project.isac");
  named->RemoveObject();
  IAUDResourceManager::AddSampleBank(nullptr, 3);
  IAUDResourceManager::ReleaseAllGroups();
  return ok ? 0 : 1;
}
