// Writes seeds of the audio content tree harness with the runtime's own
// writers:  iaud_seeds <corpus folder>

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "NonTW/IAUDEng/CGlobalEffect.h"
#include "NonTW/IAUDEng/CPath.h"
#include "NonTW/IAUDEng/CRPController.h"
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
