// The track command translator of the runtime; one is made when the
// runtime opens and destroyed when it closes. A sequence buffers the track
// commands of one clock step; processing the buffer merges them per track
// (the last value of a kind wins), applies each changed property once on the
// voice, then stops and starts the step's tracks in one call each.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

class IAUDTranslator : public IAUDResourceManager {
 public:
  static constexpr int32_t kBuffers = 10;
  static constexpr int32_t kRecords = 4096;
  static constexpr int32_t kTracks = 256;

  // Command opcodes (bits 0-7 of the command word).
  enum : uint32_t {
    kPlaySample = 1,
    kStop = 2,
    kPositionX = 3,
    kPositionY = 4,
    kPositionZ = 5,
    kPathX = 6,
    kPathY = 7,
    kPathZ = 8,
    kActiveSends = 12,
    kLevel = 13,
    kSendLevel = 14,
    kSendHFLevel = 15,
    kDirectLevel = 16,
    kDirectHFLevel = 17,
  };
  // Track-mark bits.
  enum : uint32_t {
    kTouched = 0x0001,
    kSample = 0x0002,
    kPathMarks = 0x001C,
    kPositionMarks = 0x00E0,
    kStopMark = 0x0100,
    kSendsMark = 0x0200,
    kLevelMark = 0x0400,
    kSendMark = 0x0800,
    kSendHFMark = 0x1000,
    kDirectMark = 0x2000,
    kDirectHFMark = 0x4000,
  };

  struct SCommand {
    uint32_t dwCommand;
    uint32_t dwValue;
  };

  IAUDTranslator();
  virtual ~IAUDTranslator();
  IAUDTranslator(const IAUDTranslator&) = delete;
  IAUDTranslator& operator=(const IAUDTranslator&) = delete;
  virtual void DeleteObject() { delete this; }

  // The lowest free buffer's handle (1 to 10), or null.
  void* OpenCommandBuffer();
  void BufferCommand(void* handle, uint32_t command, uint32_t value);
  void ProcessCommandBuffer(void* handle, int32_t trackCount, void* voice);
  void FlushCommandBuffer(void* handle);
  int32_t GetRecordCount(void* handle) const;

 private:
  // Decoded values of one track for the buffer being processed.
  struct STrackValues {
    uint32_t dwSample;
    float aflPosition[3];
    float aflPath[3];
    uint32_t dwSends;
    float flLevel;
    float flDirect;
    float flDirectHF;
    float aflSend[32];
    float aflSendHF[32];
  };
  static int32_t BufferIndex(void* handle);

  SCommand m_aCommands[kBuffers][kRecords];
  int32_t m_anCounts[kBuffers] = {};
  uint32_t m_dwInUse = 0;
  uint32_t m_adwTrackMarks[kTracks] = {};
  uint32_t m_adwSendMarks[kTracks] = {};
  uint32_t m_adwSendHFMarks[kTracks] = {};
  STrackValues m_aValues[kTracks];
};
