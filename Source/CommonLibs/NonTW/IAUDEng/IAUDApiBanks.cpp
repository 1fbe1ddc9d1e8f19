// Content banks, content, sample banks and samples: loading, unloading,
// lookups by name, index and handle, and walks.
#include <new>

#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/CSoundRandomizer.h"
#include "NonTW/IAUDEng/IAUDApi.h"
#include "NonTW/IAUDEng/IAUDContentBank.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDFileObject.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDString.h"

namespace iaudapibanks {

const int32_t kLongNameUnits = 1024;
const int32_t kShortNameUnits = 129;

// The six playable kinds in the order of the bank's arrays.
const uint32_t kPlayableKinds[6] = {IAUDFourCC("gbef"), IAUDFourCC("sqob"), IAUDFourCC("snde"),
                                    IAUDFourCC("sdqu"), IAUDFourCC("sdtl"), IAUDFourCC("sdri")};

bool Open() { return m_papiResourceManager != nullptr; }

bool IsPlayableKind(uint32_t type) {
  for (uint32_t kind : kPlayableKinds)
    if (kind == type) return true;
  return false;
}

bool IsAllBanks(void* bank) { return bank == IAUDAllContentBanks(); }

// A loaded content bank, never the project file.
IAUDContentBank* LoadedBank(void* handle) {
  if (!handle) return nullptr;
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank())
    if (b == handle) return b;
  return nullptr;
}

// A handle apiIsValidContentBankHandle accepts, as its bank (the project file for null).
IAUDContentBank* BankOf(void* handle) {
  if (!handle) return IAUDResourceManager::GetFileObject();
  return LoadedBank(handle);
}

// The bank a content object lives in among the project file and the loaded
// banks, when it is of a playable kind there.
IAUDContentBank* HolderOf(void* content) {
  if (!content) return nullptr;
  const IAUDContentObject* object = static_cast<const IAUDContentObject*>(content);
  IAUDContentBank* project = IAUDResourceManager::GetFileObject();
  if (project && IsPlayableKind(project->FindContent(object))) return project;
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank())
    if (IsPlayableKind(b->FindContent(object))) return b;
  return nullptr;
}

bool Widen(const char* name, uint16_t* units, int32_t capacity) { return IAUDWidenName(name, units, capacity); }

// Whether the open file begins with a RIFF form of that type; the file is
// left at its start.
bool HasForm(void* file, uint32_t form) {
  RiffChunk root{};
  bool ok = IAUDContentObject::DescendFile(file, &root, nullptr) && root.dwChunkId == IAUDFourCC("RIFF") &&
            root.dwFormType == form;
  return IAUDFileSeek(file, 0) && ok;
}

// The bank in a sample-bank slot, or the project file's own for 0xFFFFFFFF.
IAUDSampleBank* SampleBankOf(uint32_t index) {
  if (index == kIAUD_PROJECT_SAMPLE_BANK) {
    IAUDFileObject* project = IAUDResourceManager::GetFileObject();
    return project ? project->GetFileSampleBank() : nullptr;
  }
  return IAUDResourceManager::GetResourceSampleBank(index);
}

bool BankHoldsSample(IAUDSampleBank* bank, const void* sample) {
  if (!bank) return false;
  for (int32_t i = 0, n = bank->GetBankSampleSlotCount(); i < n; ++i)
    if (bank->GetBankSample((uint32_t)i) == sample) return true;
  return false;
}

int32_t LoadSampleBankFile(uint32_t slot, const uint16_t* fileName, uint32_t packetTime, int32_t forcePreload) {
  void* file = IAUDFileOpen(fileName);
  if (!file) return kIAUD_FILE_NOT_OPENED;
  // Anything but a sample bank is refused before a bank is made of it.
  if (!HasForm(file, IAUDFourCC("isbf"))) {
    IAUDFileClose(file);
    return kIAUD_FILE_NOT_OPENED;
  }
  IAUDSampleBank* bank = new (std::nothrow) IAUDSampleBank(packetTime, forcePreload);
  if (!bank) {
    IAUDFileClose(file);
    return kIAUD_NO_MEMORY;
  }
  bank->ParseFile(file);
  IAUDResourceManager::AddSampleBank(bank, slot);
  // A streaming bank keeps the file for its streams and closes it itself.
  if (bank->GetStreamPacketTimeLength() != 0 && bank->GetBankFileHandle() == file)
    bank->ProcessUnArchivedObject();
  else
    IAUDFileClose(file);
  return kIAUD_OK;
}

}  // namespace iaudapibanks

// ---------------------------------------------------------------- content banks

int32_t apiLoadContentBankShort(void** out, const uint16_t* fileName) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out || !fileName) return kIAUD_BAD_ARGUMENT;
  void* file = IAUDFileOpen(fileName);
  if (!file) return kIAUD_FILE_NOT_OPENED;
  // Anything but a content bank is refused before a bank is made of it.
  if (!iaudapibanks::HasForm(file, IAUDFourCC("icbf"))) {
    IAUDFileClose(file);
    return kIAUD_FILE_NOT_OPENED;
  }
  IAUDContentBank* bank = new (std::nothrow) IAUDContentBank();
  if (!bank) {
    IAUDFileClose(file);
    return kIAUD_NO_MEMORY;
  }
  bank->ParseFile(file);
  IAUDFileClose(file);
  *out = bank;
  bank->ProcessUnArchivedObject();
  return kIAUD_OK;
}

int32_t apiLoadContentBankChar(void** out, const char* fileName) {
  if (!out || !fileName) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(fileName, units, iaudapibanks::kLongNameUnits))
    return iaudapibanks::Open() ? kIAUD_FILE_NOT_OPENED : kIAUD_NOT_STARTED;
  return apiLoadContentBankShort(out, units);
}

int32_t apiGetContentBankHandleShort(void** out, const uint16_t* name) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  for (IAUDContentBank* b = IAUDResourceManager::GetFirstContentBank(); b; b = b->GetPostContentBank()) {
    if (IAUDCompareString(b->GetTitle(), name) == 0) {
      *out = b;
      return kIAUD_OK;
    }
  }
  return kIAUD_NO_OBJECT;
}

int32_t apiGetContentBankHandleChar(void** out, const char* name) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(name, units, iaudapibanks::kLongNameUnits))
    return iaudapibanks::Open() ? kIAUD_NO_OBJECT : kIAUD_NOT_STARTED;
  return apiGetContentBankHandleShort(out, units);
}

int32_t apiIsValidContentBankHandle(void* bank) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  return iaudapibanks::BankOf(bank) ? kIAUD_OK : kIAUD_INVALID_HANDLE;
}

int32_t apiUnloadContentBank(void* handle) {
  IAUDContentBank* bank = iaudapibanks::Open() ? iaudapibanks::LoadedBank(handle) : nullptr;
  if (!bank) return kIAUD_INVALID_HANDLE;
  if (bank->GetContentBankReference() != 0) return kIAUD_BANK_REFERENCED;
  bank->RemoveObject();
  return kIAUD_OK;
}

int32_t apiGetNextContentBank(void** out, void* bank) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  if (!bank) {
    *out = IAUDResourceManager::GetFirstContentBank();
    return kIAUD_OK;
  }
  IAUDContentBank* b = iaudapibanks::LoadedBank(bank);
  if (!b) return kIAUD_NO_OBJECT;
  *out = b->GetPostContentBank();
  return kIAUD_OK;
}

int32_t apiGetContentBankName(uint16_t* out, void* bank) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  IAUDContentBank* b = iaudapibanks::BankOf(bank);
  if (!b) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDCopyString(out, b->GetTitle());
  return kIAUD_OK;
}

int32_t apiGetContentBankName(char* out, void* bank) {
  uint16_t units[iaudapibanks::kLongNameUnits];
  int32_t code = apiGetContentBankName(out ? units : nullptr, bank);
  if (code == kIAUD_OK) IAUDShortStringToCharString(units, out);
  return code;
}

// ---------------------------------------------------------------- content

int32_t apiGetContentHandleShort(void** out, const uint16_t* name, void* bank) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  const bool all = iaudapibanks::IsAllBanks(bank);
  IAUDContentBank* current = nullptr;
  bool inProject = false;
  if (!bank || all) {
    current = IAUDResourceManager::GetFileObject();
    inProject = current != nullptr;
    if (!current && all) current = IAUDResourceManager::GetFirstContentBank();
  } else {
    // Only a loaded bank or the project file itself is searched.
    current = iaudapibanks::LoadedBank(bank);
    if (!current && bank == IAUDResourceManager::GetFileObject()) current = IAUDResourceManager::GetFileObject();
  }
  while (current) {
    uint32_t type = 0, index = 0;
    if (current->FindContentObjectByName(name, &type, &index) && iaudapibanks::IsPlayableKind(type)) {
      if (IAUDContentObject* object = current->GetPlayableContent(type, index)) {
        *out = object;
        return kIAUD_OK;
      }
    }
    if (!all) break;
    current = inProject ? IAUDResourceManager::GetFirstContentBank() : current->GetPostContentBank();
    inProject = false;
  }
  return kIAUD_NO_OBJECT;
}

int32_t apiGetContentHandleChar(void** out, const char* name, void* bank) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(name, units, iaudapibanks::kLongNameUnits))
    return iaudapibanks::Open() ? kIAUD_NO_OBJECT : kIAUD_NOT_STARTED;
  return apiGetContentHandleShort(out, units, bank);
}

int32_t apiIsValidContentHandle(void* content) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  return iaudapibanks::HolderOf(content) ? kIAUD_OK : kIAUD_INVALID_HANDLE;
}

int32_t apiGetNextContent(void** out, void* previous, void* bank) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  IAUDContentBank* b = iaudapibanks::BankOf(bank);
  if (!b) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  bool take = previous == nullptr;
  *out = nullptr;
  for (uint32_t kind : iaudapibanks::kPlayableKinds) {
    for (int32_t i = 0, n = b->GetBankContentSlotCount(kind); i < n; ++i) {
      IAUDContentObject* object = b->GetPlayableContent(kind, (uint32_t)i);
      if (!object) continue;
      if (take) {
        *out = object;
        return kIAUD_OK;
      }
      if (object == previous) take = true;
    }
  }
  return kIAUD_OK;
}

int32_t apiGetContentName(uint16_t* out, void* content) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!iaudapibanks::HolderOf(content)) return kIAUD_INVALID_HANDLE;
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDCopyString(out, static_cast<IAUDContentObject*>(content)->GetTitle());
  return kIAUD_OK;
}

int32_t apiGetContentName(char* out, void* content) {
  uint16_t units[iaudapibanks::kShortNameUnits];
  int32_t code = apiGetContentName(out ? units : nullptr, content);
  if (code == kIAUD_OK) IAUDShortStringToCharString(units, out);
  return code;
}

int32_t apiGetContentVoiceCount(void* content, int32_t* out) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  if (!content) return kIAUD_INVALID_HANDLE;
  IAUDContentObject* object = static_cast<IAUDContentObject*>(content);
  if (object->GetObjectType() == IAUDFourCC("sdri") && static_cast<CSoundRandomizer*>(object)->IsInteractive())
    *out = (int32_t) static_cast<CSoundRandomizer*>(object)->GetNumInteractiveTracks();
  else
    *out = (int32_t)object->GetNumTracks();
  return kIAUD_OK;
}

int32_t apiGetContentInfo(void* content, SContentInfo* out) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  if (!content) return kIAUD_INVALID_HANDLE;
  IAUDContentObject* object = static_cast<IAUDContentObject*>(content);
  object->GetMinMaxDuration(&out->dwMinDuration, &out->dwMaxDuration);
  out->nLoopCount = (int32_t)object->GetLoopCount();
  return kIAUD_OK;
}

int32_t apiGetContentMarkerShort(void** out, const uint16_t* name, void* content) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!content) return kIAUD_INVALID_HANDLE;
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  IAUDContentObject* object = static_cast<IAUDContentObject*>(content);
  IAUDContentMarker* markers = object->GetMarkers();
  for (int32_t i = 0, n = markers ? object->GetNumMarkers() : 0; i < n; ++i) {
    if (IAUDCompareString(markers[i].wszTitle, name) == 0) {
      *out = &markers[i];
      return kIAUD_OK;
    }
  }
  return kIAUD_NO_OBJECT;
}

int32_t apiGetContentMarkerChar(void** out, const char* name, void* content) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(name, units, iaudapibanks::kLongNameUnits)) {
    if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
    return content ? kIAUD_NO_OBJECT : kIAUD_INVALID_HANDLE;
  }
  return apiGetContentMarkerShort(out, units, content);
}

int32_t apiGetContentGroupHandle(void** out, void* content) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  if (!content) return kIAUD_INVALID_HANDLE;
  int32_t group = static_cast<IAUDContentObject*>(content)->GetGroupIndex();
  *out = reinterpret_cast<void*>((uintptr_t)(uint32_t)(group + 1));
  return kIAUD_OK;
}

// ---------------------------------------------------------------- sample banks

int32_t apiLoadSampleBankShort(uint32_t slot, const uint16_t* fileName, bool resident) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (slot >= 256 || !fileName) return kIAUD_BAD_ARGUMENT;
  return iaudapibanks::LoadSampleBankFile(slot, fileName, resident ? 0u : 0xFFFFFFFFu, 0);
}

int32_t apiLoadSampleBankChar(uint32_t slot, const char* fileName, bool resident) {
  if (!fileName) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(fileName, units, iaudapibanks::kLongNameUnits)) {
    if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
    return slot >= 256 ? kIAUD_BAD_ARGUMENT : kIAUD_FILE_NOT_OPENED;
  }
  return apiLoadSampleBankShort(slot, units, resident);
}

int32_t apiLoadStreamingSampleBankShort(uint32_t slot, const uint16_t* fileName, uint32_t packetTime,
                                        int32_t forcePreload) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (slot >= 256 || packetTime == 0 || !fileName) return kIAUD_BAD_ARGUMENT;
  return iaudapibanks::LoadSampleBankFile(slot, fileName, packetTime, forcePreload);
}

int32_t apiLoadStreamingSampleBankChar(uint32_t slot, const char* fileName, uint32_t packetTime, int32_t forcePreload) {
  if (!fileName) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(fileName, units, iaudapibanks::kLongNameUnits)) {
    if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
    return slot >= 256 || packetTime == 0 ? kIAUD_BAD_ARGUMENT : kIAUD_FILE_NOT_OPENED;
  }
  return apiLoadStreamingSampleBankShort(slot, units, packetTime, forcePreload);
}

int32_t apiGetSampleBankIndexShort(uint32_t* out, const uint16_t* name) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  IAUDSampleBank* own = iaudapibanks::SampleBankOf(kIAUD_PROJECT_SAMPLE_BANK);
  if (own && IAUDCompareString(own->GetTitle(), name) == 0) {
    *out = kIAUD_PROJECT_SAMPLE_BANK;
    return kIAUD_OK;
  }
  for (uint32_t slot = 0; slot < 256; ++slot) {
    IAUDSampleBank* bank = IAUDResourceManager::GetResourceSampleBank(slot);
    if (bank && IAUDCompareString(bank->GetTitle(), name) == 0) {
      *out = slot;
      return kIAUD_OK;
    }
  }
  return kIAUD_NO_OBJECT;
}

int32_t apiGetSampleBankIndexChar(uint32_t* out, const char* name) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kLongNameUnits];
  if (!iaudapibanks::Widen(name, units, iaudapibanks::kLongNameUnits))
    return iaudapibanks::Open() ? kIAUD_NO_OBJECT : kIAUD_NOT_STARTED;
  return apiGetSampleBankIndexShort(out, units);
}

int32_t apiIsValidSampleBankIndex(uint32_t index) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (index == kIAUD_PROJECT_SAMPLE_BANK) return kIAUD_OK;
  return IAUDResourceManager::GetResourceSampleBank(index) ? kIAUD_OK : kIAUD_BAD_ARGUMENT;
}

int32_t apiUnloadSampleBank(uint32_t slot) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (slot >= 256) return kIAUD_BAD_ARGUMENT;
  IAUDResourceManager::AddSampleBank(nullptr, slot);
  return kIAUD_OK;
}

int32_t apiGetSampleBankName(uint16_t* out, uint32_t index) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  IAUDSampleBank* bank = iaudapibanks::SampleBankOf(index);
  if (!bank) return index == kIAUD_PROJECT_SAMPLE_BANK || index >= 256 ? kIAUD_BAD_ARGUMENT : kIAUD_NO_OBJECT;
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDCopyString(out, bank->GetTitle());
  return kIAUD_OK;
}

int32_t apiGetSampleBankName(char* out, uint32_t index) {
  uint16_t units[iaudapibanks::kShortNameUnits];
  int32_t code = apiGetSampleBankName(out ? units : nullptr, index);
  if (code == kIAUD_OK) IAUDShortStringToCharString(units, out);
  return code;
}

int32_t apiUpdateStreamingSampleBanks() {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  for (uint32_t slot = 0; slot < 256; ++slot)
    if (IAUDSampleBank* bank = IAUDResourceManager::GetResourceSampleBank(slot)) bank->ProcessActiveStreams();
  return kIAUD_OK;
}

// ---------------------------------------------------------------- samples

int32_t apiGetSampleHandle(void** out, const uint16_t* name, uint32_t bankIndex) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  IAUDSampleBank* bank = iaudapibanks::SampleBankOf(bankIndex);
  for (int32_t i = 0, n = bank ? bank->GetBankSampleSlotCount() : 0; i < n; ++i) {
    CSample* sample = bank->GetBankSample((uint32_t)i);
    if (sample && IAUDCompareString(sample->GetTitle(), name) == 0) {
      *out = sample;
      return kIAUD_OK;
    }
  }
  return kIAUD_NO_OBJECT;
}

int32_t apiGetSampleHandle(void** out, const char* name, uint32_t bankIndex) {
  if (!out || !name) return kIAUD_BAD_ARGUMENT;
  uint16_t units[iaudapibanks::kShortNameUnits];
  if (!iaudapibanks::Widen(name, units, iaudapibanks::kShortNameUnits))
    return iaudapibanks::Open() ? kIAUD_NO_OBJECT : kIAUD_NOT_STARTED;
  return apiGetSampleHandle(out, units, bankIndex);
}

int32_t apiGetSampleHandle(void** out, uint32_t index, uint32_t bankIndex) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDSampleBank* bank = iaudapibanks::SampleBankOf(bankIndex);
  CSample* sample = bank ? bank->GetBankSample(index) : nullptr;
  if (!sample) return kIAUD_NO_OBJECT;
  *out = sample;
  return kIAUD_OK;
}

int32_t apiIsValidSampleHandle(void* sample) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (sample && iaudapibanks::BankHoldsSample(iaudapibanks::SampleBankOf(kIAUD_PROJECT_SAMPLE_BANK), sample))
    return kIAUD_OK;
  for (uint32_t slot = 0; sample && slot < 256; ++slot)
    if (iaudapibanks::BankHoldsSample(IAUDResourceManager::GetResourceSampleBank(slot), sample)) return kIAUD_OK;
  return kIAUD_INVALID_HANDLE;
}

int32_t apiGetSampleGroupHandle(void** out, void* sample) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  if (!out) return kIAUD_BAD_ARGUMENT;
  if (!sample) return kIAUD_INVALID_HANDLE;
  int32_t group = static_cast<CSample*>(sample)->GetGroupIndex();
  *out = reinterpret_cast<void*>((uintptr_t)(uint32_t)(group + 1));
  return kIAUD_OK;
}

int32_t apiGetSampleName(uint16_t* out, uint32_t index, uint32_t bankIndex) {
  if (!iaudapibanks::Open()) return kIAUD_NOT_STARTED;
  IAUDSampleBank* bank = iaudapibanks::SampleBankOf(bankIndex);
  if (!bank || index >= (uint32_t)bank->GetBankSampleSlotCount()) return kIAUD_BAD_ARGUMENT;
  CSample* sample = bank->GetBankSample(index);
  if (!sample) return kIAUD_NO_OBJECT;
  if (!out) return kIAUD_BAD_ARGUMENT;
  IAUDCopyString(out, sample->GetTitle());
  return kIAUD_OK;
}

int32_t apiGetSampleName(char* out, uint32_t index, uint32_t bankIndex) {
  uint16_t units[iaudapibanks::kShortNameUnits];
  int32_t code = apiGetSampleName(out ? units : nullptr, index, bankIndex);
  if (code == kIAUD_OK) IAUDShortStringToCharString(units, out);
  return code;
}
