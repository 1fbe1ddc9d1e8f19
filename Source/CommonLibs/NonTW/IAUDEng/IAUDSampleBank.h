// A sample bank (".isb"): the samples and audio buffers of one bank file in
// numbered slots. A resident bank loads every sample into the render driver
// while it is read; a streaming bank keeps its file open and plays long
// samples from it in packets of a fixed playing time.
#pragma once

#include <cstdint>
#include <cstdio>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDBankObject.h"

class CAudioBuffer;
class CSample;

// One track playing a streamed sample.
struct SStreamInstance {
  int32_t lTrack;
  uint32_t dwDataOffset;  // first ordering key
  uint32_t dwConsumed;    // second ordering key
  uint32_t dwPacket;
  uint32_t dwTotal;
  CSample* pSample;
  void* pDecoder;  // an owned OggVorbis_File, or null
};

// What the refills ask about a driver track (handle null: the number is the
// driver's track); the voice controller answers through g_pStreamTracks.
class IAUDStreamTracks {
 public:
  virtual bool IsTrackPlaying(long local, void* handle, long* ownerLoops) = 0;
  virtual CSample* GetTrackSample(long local, void* handle) = 0;
  virtual long GetTrackLoopCount(long track) const = 0;
  virtual void DecrementTrackLoopCount(long track) = 0;

 protected:
  ~IAUDStreamTracks() = default;
};

class IAUDSampleBank : public IAUDBankObject {
 public:
  IAUDSampleBank();
  // packetTime 0: the file's "stri" decides; all ones: never streams.
  IAUDSampleBank(uint32_t packetTime, int32_t forcedPreload);
  ~IAUDSampleBank() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  // A streaming bank makes its packet and decode buffers here.
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  // Reads the file's first chunk when it is a sample bank and keeps the file.
  void ParseFile(void* file) override;
  IAUDContentObject* CreateContentObject(uint32_t type) override;

  int32_t AddNewSample(CSample* sample);
  void AddSample(CSample* sample, uint32_t slot);
  CSample* GetBankSample(uint32_t slot);
  void NullOutSample(CSample* sample);
  int32_t GetBankSampleSlotCount();
  int32_t AddNewAudioBuffer(CAudioBuffer* buffer);
  void AddAudioBuffer(CAudioBuffer* buffer, uint32_t slot);
  CAudioBuffer* GetAudioBuffer(uint32_t slot);
  void NullOutBuffer(CAudioBuffer* buffer);
  int32_t GetBankBufferSlotCount();

  uint32_t GetStreamPacketTimeLength() const { return m_dwPacketTime; }
  int32_t GetForcePreLoad() const { return m_nForcePreload; }
  FILE* GetBankFileHandle() const { return m_pFile; }
  // Bytes of one packet of that format; block for a resident bank.
  uint32_t GetStreamPacketSize(uint32_t rate, uint32_t channels, uint16_t bits, uint32_t block, float ratio) const;
  uint32_t GetPacketBufferSize() const { return m_dwPacketSize; }
  uint8_t* GetDecodeBuffer() const { return m_pDecodeBuffer; }
  uint32_t GetDecodeBufferSize() const { return m_dwDecodeSize; }

  // The packet buffer after reading size bytes from offset (cut to the buffer).
  uint8_t* LoadFirstSamplePacket(uint32_t offset, uint32_t size);
  void CreateTrackStreamInstance(int32_t track, uint32_t offset, uint32_t total, uint32_t packet, CSample* sample);
  bool LoadAndCreateTrackOggStreamInstance(int32_t track, uint32_t packet, CSample* sample, void** handle);
  // Once a frame: refills the driver's finished stream buffers.
  void ProcessActiveStreams();
  void KillTrackStream(int32_t track, CSample* sample);
  int32_t GetStreamInstanceCount() const { return m_aStreams.GetElementCount(); }
  const SStreamInstance* GetStreamInstance(int32_t i) const { return m_aStreams.GetElementMember(i); }

  // Reads for the file-backed Vorbis decoders of the bank that is refilling.
  size_t ReadStreamFile(void* dest, size_t bytes, void* decoder);

 private:
  void InsertStream(const SStreamInstance& instance);
  void RemoveStream(int32_t i);

  uint8_t* m_pPacketBuffer = nullptr;
  FILE* m_pFile = nullptr;
  TCArray<CSample*> m_aSamples;
  TCArray<CAudioBuffer*> m_aBuffers;
  uint32_t m_dwPacketTime;
  uint32_t m_dwPacketSize = 0;
  int32_t m_nForcePreload;
  uint8_t* m_pDecodeBuffer = nullptr;
  uint32_t m_dwDecodeSize = 0;
  TCArray<SStreamInstance> m_aStreams;
};

// The bank whose file the stream decoders read while it refills.
extern IAUDSampleBank* g_pActiveSampleBank;
// Streams are refilled only while this is set.
extern IAUDStreamTracks* g_pStreamTracks;
