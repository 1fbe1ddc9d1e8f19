// The project file ("isac", or "ealo"): a content bank of its own that names
// every content bank and sample bank of the game, loads each as its
// reference is read, and holds the global variables and the head-room gain.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDContentBank.h"

class CSample;
class IAUDSampleBank;

class IAUDFileObject : public IAUDContentBank {
 public:
  // Becomes the resource manager's project file object.
  IAUDFileObject();
  ~IAUDFileObject() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  void ParseFile(void* file) override;
  IAUDContentObject* CreateContentObject(uint32_t type) override;

  // Hooks for a bank file that cannot be opened: a stream to read instead.
  virtual void* HandleMissingSampleBankFile(IAUDSampleBank* bank, const uint16_t* path);
  virtual void* HandleMissingContentBankFile(IAUDContentBank* bank, const uint16_t* path);
  virtual IAUDSampleBank* CreateFileSampleBank();

  IAUDSampleBank* GetFileSampleBank() const { return m_pFileSampleBank; }
  CSample* GetFileSample(uint32_t index);

 private:
  void ReadContentBankReference(void* file, const RiffChunk& chunk);
  void ReadSampleBankReference(void* file, const RiffChunk& chunk);

  IAUDSampleBank* m_pFileSampleBank = nullptr;
};
