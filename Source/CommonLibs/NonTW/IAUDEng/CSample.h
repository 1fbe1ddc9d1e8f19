// One recorded sound of a sample bank: its format, its data (PCM, IMA4 ADPCM
// or Ogg Vorbis) and the driver buffer it is loaded into. Samples of a
// streaming bank load only their first packet; the bank streams the rest.
#pragma once

#include <cstddef>
#include <cstdint>

#include "NonTW/IAUDEng/IAUDContentObject.h"

class IAUDSampleBank;
struct IAUDSoundDistance;
struct IAUDSoundCone;
struct IAUDSoundData;

// "sinf": format word, duration, rate, PCM size, bits, stored word.
struct SSampleInfo {
  uint32_t dwFormat;
  uint32_t dwDuration;  // milliseconds
  uint32_t dwRate;
  uint32_t dwPCMSize;
  uint16_t wBits;
  uint16_t wStored;
};

// "cmpi": how the data is stored.
struct SCompressionInfo {
  uint32_t dwKind;  // kSamplePCM, kSampleADPCM, kSampleVorbis
  uint32_t dwStored;
  uint32_t dwCompressedSize;
  uint32_t dwBlockSize;  // ADPCM block bytes
  float flRatio;         // compressed size / PCM size
  float flStored;
};

class CSample : public IAUDContentObject {
 public:
  enum : uint32_t { kSamplePCM = 0, kSampleADPCM = 1, kSampleVorbis = 2 };

  explicit CSample(IAUDSampleBank* bank);
  ~CSample() override;

  void GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) override;
  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  // Takes its slot in the bank and loads its data into the driver.
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;

  // Played as content: on local track 0 of the player's voice, one pass
  // after another while the loop count lasts. The instance is the time the
  // current pass started.
  void InitObject(void** ppInstance) override;
  void StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops, CPlayer* player) override;
  int32_t CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) override;
  bool StopObject(void* voice, void* instance) override;
  void ReleaseObject(void* instance) override;

  // Loads what the track needs and attaches it; streamed samples get a
  // stream instance in their bank.
  void AttachSample(int32_t track);
  // Becomes the sample of an audio buffer: a copy of its data, its format,
  // title and index, then loads.
  void UpdateFromAudioBuffer(const IAUDSoundData* sound, const void* data, uint32_t fileOffset,
                             const uint16_t* title, uint32_t index);

  // ((bank slot + 1) << 16) | (resource index & 0xFFFF).
  uint32_t GetSampleIndex() const;
  SSampleInfo* GetSampleInfo() { return &m_Info; }
  SCompressionInfo* GetCompressionInfo() { return &m_Compression; }
  void* GetSampleHandle() const { return m_pHandle; }
  uint32_t GetSampleChannels() const { return m_dwChannels; }
  void SetSampleChannels(uint32_t channels) { m_dwChannels = channels; }
  uint32_t GetPreload() const { return m_dwPreload; }
  const uint8_t* GetCompressedData() const { return m_pData; }
  int32_t GetCompressedDataOffset() const { return m_nReadPosition; }
  void SetCompressedDataOffset(int32_t offset) { m_nReadPosition = offset; }
  uint32_t GetDataFileOffset() const { return m_dwDataOffset; }
  IAUDSampleBank* GetSampleBank() const;
  IAUDSoundDistance* GetSampleDistanceInfo() const;
  IAUDSoundCone* GetSampleSoundConeInfo() const;
  void CalcTimeLength();

  // Decoding. The decoders answer the bytes written, 0 for a size that is
  // not whole blocks or an output too small.
  uint32_t GetIMA4ADPCMDecodeSize(uint32_t size) const;
  uint32_t DecodeIMA4ADPCM(const void* data, uint32_t size, int16_t* out, uint32_t outSize) const;
  static uint32_t DecodeMonoIMA4ADPCM(const void* data, uint32_t size, int16_t* out, uint32_t outSize);
  static uint32_t DecodeStereoIMA4ADPCM(const void* data, uint32_t size, int16_t* out, uint32_t outSize);
  // Streamed Vorbis: up to size bytes of PCM from an open decoder.
  static uint32_t DecodeOggVorbis(void* vorbisFile, char* buffer, uint32_t size);
  void LoadADPCMSample();
  void LoadOggSample(bool streaming);

  // The in-memory Vorbis data source: reads the data buffer.
  size_t ReadMemory(void* dest, size_t bytes);

 private:
  void ReadData(void* file, const RiffChunk& chunk);
  void FreeData();
  bool LoadPCM(uint32_t size, const void* data, void** handle, bool streaming, bool temporary);

  void* m_pHandle = nullptr;
  uint32_t m_dwDataOffset = 0;
  uint8_t* m_pData = nullptr;
  uint32_t m_dwDataSize = 0;  // bytes held in m_pData
  int32_t m_nReadPosition = 0;
  SSampleInfo m_Info;
  SCompressionInfo m_Compression;
  uint32_t m_dwBufferIndex;
  uint32_t m_dwChannels = 1;
  uint32_t m_dwPreload = 0;
};

// Vorbis support through libvorbisfile, set up by the resource manager.
void InitVorbisFile();
void ShutdownVorbisFile();
extern uint8_t g_bVorbisSupport;
