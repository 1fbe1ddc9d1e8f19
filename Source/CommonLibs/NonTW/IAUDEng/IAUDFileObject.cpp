#include "NonTW/IAUDEng/IAUDFileObject.h"

#include <cstring>
#include <vector>

#include "NonTW/IAUDEng/CAudioBuffer.h"
#include "NonTW/IAUDEng/CSample.h"
#include "NonTW/IAUDEng/IAUDFile.h"
#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDSampleBank.h"
#include "NonTW/IAUDEng/IAUDString.h"
#include "TWUtil/ByteOrder.h"

namespace {

// Reference chunks larger than this are not bank references.
const uint32_t kFileObjectMaxReference = 2047;
const uint32_t kFileObjectMaxPath = 1023;

// Reads units of path (at most 1023) and terminates it.
void FileObjectReadPath(void* file, uint32_t units, uint16_t* path) {
  if (units > kFileObjectMaxPath) units = kFileObjectMaxPath;
  memset(path, 0, (kFileObjectMaxPath + 1) * sizeof(uint16_t));
  if (units) IAUDFileReadShorts(path, units, file);
  path[units] = 0;
}

void FileObjectWritePath(std::vector<uint8_t>& bytes, const uint16_t* path) {
  int32_t len = IAUDGetStringLength(path);
  size_t at = bytes.size();
  bytes.resize(at + 2 * ((size_t)len + 1), 0);
  for (int32_t i = 0; i < len; ++i) PutLE16(&bytes[at + 2 * (size_t)i], path[i]);
}

}  // namespace

IAUDFileObject::IAUDFileObject() {
  IAUDResourceManager::m_pFileObject = this;
  SetBank(this);
  m_pFileSampleBank = CreateFileSampleBank();
  SetChunk(IAUDFourCC("RIFF"), IAUDFourCC("isac"));
}

// The project's own samples and buffers belong to the file sample bank:
// they go before it.
IAUDFileObject::~IAUDFileObject() {
  if (IAUDResourceManager::m_pFileObject == this) IAUDResourceManager::m_pFileObject = nullptr;
  RemoveAllChildren();
  if (m_pFileSampleBank) m_pFileSampleBank->RemoveObject();
  m_pFileSampleBank = nullptr;
}

void* IAUDFileObject::HandleMissingSampleBankFile(IAUDSampleBank* bank, const uint16_t* path) {
  (void)bank;
  (void)path;
  return nullptr;
}

void* IAUDFileObject::HandleMissingContentBankFile(IAUDContentBank* bank, const uint16_t* path) {
  (void)bank;
  (void)path;
  return nullptr;
}

IAUDSampleBank* IAUDFileObject::CreateFileSampleBank() { return new IAUDSampleBank(); }

CSample* IAUDFileObject::GetFileSample(uint32_t index) {
  return m_pFileSampleBank ? m_pFileSampleBank->GetBankSample(index) : nullptr;
}

void IAUDFileObject::ParseFile(void* file) {
  RiffChunk root;
  if (!DescendFile(file, &root, nullptr)) return;
  if (root.dwChunkId == IAUDFourCC("RIFF") &&
      (root.dwFormType == IAUDFourCC("isac") || root.dwFormType == IAUDFourCC("ealo")))
    UnArchiveObject(file, root);
  AscendFile(file, &root);
}

IAUDContentObject* IAUDFileObject::CreateContentObject(uint32_t type) {
  if (type == IAUDFourCC("bfob")) return m_pFileSampleBank ? new CAudioBuffer(m_pFileSampleBank) : nullptr;
  if (type == IAUDFourCC("samp")) return m_pFileSampleBank ? new CSample(m_pFileSampleBank) : nullptr;
  if (type == IAUDFourCC("icbf")) return new IAUDContentBank();
  if (type == IAUDFourCC("isbf")) return new IAUDSampleBank();
  return IAUDContentBank::CreateContentObject(type);
}

void IAUDFileObject::UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) {
  IAUDContentBank::UnArchiveObjectDataChunk(file, chunk);
  const uint32_t id = chunk.dwChunkId;
  if (id == IAUDFourCC("icbr")) {
    IAUDFileSeek(file, chunk.dwDataPosition);
    ReadContentBankReference(file, chunk);
  } else if (id == IAUDFourCC("isbr")) {
    IAUDFileSeek(file, chunk.dwDataPosition);
    ReadSampleBankReference(file, chunk);
  } else if (id == IAUDFourCC("ghrg") && chunk.dwSize >= 4) {
    float gain = 0;
    IAUDFileSeek(file, chunk.dwDataPosition);
    if (IAUDFileReadFloats(&gain, 1, file) == 1) IAUDResourceManager::SetHeadRoomGain(gain);
  }
}

void IAUDFileObject::ReadContentBankReference(void* file, const RiffChunk& chunk) {
  if (chunk.dwSize > kFileObjectMaxReference) return;
  IAUDContentObject* made = CreateContentObject(IAUDFourCC("icbf"));
  if (!made) return;
  IAUDContentBank* bank = static_cast<IAUDContentBank*>(made);
  uint16_t path[kFileObjectMaxPath + 1];
  FileObjectReadPath(file, chunk.dwSize / 2, path);
  uint32_t resume = IAUDFileTell(file);
  void* stream = IAUDFileOpen(path);
  if (!stream) stream = HandleMissingContentBankFile(bank, path);
  if (!stream) {
    IAUDResourceManager::SetIAUDErrorCode(kIAUD_CONTENT_BANK_NOT_OPENED);
    bank->RemoveObject();
    return;
  }
  bank->ParseFile(stream);
  IAUDFileClose(stream);
  bank->StoreRelativePath(path);
  bank->ProcessUnArchivedObject();
  IAUDFileSeek(file, resume);
}

// A chunk under 4 bytes holds no slot: it is no reference.
void IAUDFileObject::ReadSampleBankReference(void* file, const RiffChunk& chunk) {
  if (chunk.dwSize > kFileObjectMaxReference || chunk.dwSize < 4) return;
  IAUDContentObject* made = CreateContentObject(IAUDFourCC("isbf"));
  if (!made) return;
  IAUDSampleBank* bank = static_cast<IAUDSampleBank*>(made);
  uint32_t slot = 0;
  uint16_t path[kFileObjectMaxPath + 1];
  if (IAUDFileReadLongs(&slot, 1, file) != 1) {
    bank->RemoveObject();
    return;
  }
  FileObjectReadPath(file, (chunk.dwSize - 4) / 2, path);
  uint32_t resume = IAUDFileTell(file);
  void* stream = IAUDFileOpen(path);
  if (!stream) stream = HandleMissingSampleBankFile(bank, path);
  if (!stream) {
    IAUDResourceManager::SetIAUDErrorCode(kIAUD_SAMPLE_BANK_NOT_OPENED);
    bank->RemoveObject();
    return;
  }
  bank->ParseFile(stream);
  if (bank->GetStreamPacketTimeLength() == 0 || bank->GetBankFileHandle() != stream) IAUDFileClose(stream);
  IAUDResourceManager::AddSampleBank(bank, slot);
  bank->StoreRelativePath(path);
  bank->ProcessUnArchivedObject();
  IAUDFileSeek(file, resume);
}

void IAUDFileObject::ProcessUnArchivedObject() { ReIndexContent(); }

void IAUDFileObject::ArchiveObjectDataChunks(void* file) {
  IAUDContentBank::ArchiveObjectDataChunks(file);
  std::vector<uint8_t> bytes;
  for (IAUDContentBank* bank = IAUDResourceManager::m_pContentBanks; bank; bank = bank->GetPostContentBank()) {
    bytes.clear();
    FileObjectWritePath(bytes, bank->GetRelativePath());
    WriteObjectData(file, IAUDFourCC("icbr"), bytes.data(), (uint32_t)bytes.size());
  }
  for (uint32_t slot = 0; slot < 256; ++slot) {
    IAUDSampleBank* bank = IAUDResourceManager::m_pSampleBanks[slot];
    if (!bank) continue;
    bytes.assign(4, 0);
    PutLE32(bytes.data(), slot);
    FileObjectWritePath(bytes, bank->GetRelativePath());
    WriteObjectData(file, IAUDFourCC("isbr"), bytes.data(), (uint32_t)bytes.size());
  }
  uint8_t gain[4];
  PutLEFloat(gain, IAUDResourceManager::GetHeadRoomGain());
  WriteObjectData(file, IAUDFourCC("ghrg"), gain, 4);
  WriteGlobalVars(file);
}
