// An audio buffer ("bfob"): one sound's raw data with its distance and cone
// settings, inside a sample bank or the project file. Once read it turns
// itself into a playable sample of the same title and index.
#pragma once

#include <cstdint>

#include "NonTW/AudioDrv/AudioTypes.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

class IAUDSampleBank;

// A sound's format record, 36 bytes in "sddt".
struct IAUDSoundData {
  // [1] format word, [2] rate, [3] base tempo, [4] base time signature,
  // [6] data size; the others are carried.
  uint32_t dwValues[8];
  uint16_t wValues[2];  // [0] bits per sample, [1] channels (0 counts as 1)
};

class CAudioBuffer : public IAUDContentObject {
 public:
  explicit CAudioBuffer(IAUDSampleBank* bank);
  ~CAudioBuffer() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  // Takes its slot in the bank, and turns its data into a sample.
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;

  // Caps the attenuation so that it never asks for a rolloff steeper than 10.
  static void CheckDistanceData(IAUDSoundDistance* distance);
  // The sample's resource index | 0xFFFF0000, or -1 without a project file
  // or a sample.
  int32_t CreateBufferSample();

  IAUDSoundDistance* GetDistanceInfo() { return &m_Distance; }
  IAUDSoundCone* GetSoundConeInfo() { return &m_Cone; }
  IAUDSoundData* GetSoundData() { return &m_SoundData; }
  const void* GetSampleData() const { return m_pSampleData; }

 private:
  IAUDSampleBank* GetBufferBank() const;

  uint32_t m_dwDataPosition = 0;
  uint8_t* m_pSampleData = nullptr;
  IAUDSoundData m_SoundData;
  IAUDSoundDistance m_Distance;
  IAUDSoundCone m_Cone;
};
