// A sequence: a stream of timed track commands played against the player's
// metric clock. Track commands go through the runtime's translator, one
// batch per clock step; the sequence itself runs the timing and meta
// commands and turns level ramps and paths into a series of track commands.
// Markers serve as cue points and as loop-back points with a repeat limit.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDContentObject.h"

// One level kind of one track (or send slot) while it is set or ramped.
struct SSequenceValue {
  uint8_t bCurrent;
  uint8_t bTarget;
  uint32_t dwStart;  // metric clock
  uint32_t dwEnd;
};

// The per-play record; the per-track arrays follow it in the same block.
struct SSequenceInstance {
  int32_t nClockCounter;
  uint32_t dwReadPosition;
  uint32_t dwFlags;
  uint32_t dwFrameStart;
  uint32_t dwFrameEnd;
  int32_t nFrameDelta;  // 0 due now; -1 no frame left
  uint32_t dwSavedStart;
  uint32_t dwSavedEnd;
  int32_t nSavedDelta;
  uint32_t dwGrid;
  int32_t nMarker;
  int32_t nRepeats;
  uint32_t dwTracks;
  uint32_t* pPathIndex;
  uint32_t* pPathStart;
  uint32_t* pPathDuration;
  SSequenceValue* pLevel;
  SSequenceValue* pDirect;
  SSequenceValue* pDirectHF;
  SSequenceValue* pSend;    // 4 per track
  SSequenceValue* pSendHF;  // 4 per track
};

class CSequence : public IAUDContentObject {
 public:
  static constexpr uint32_t kTableBytes = 28672;
  // Instance flags.
  enum : uint32_t {
    kEnded = 0x2,
    kCycling = 0x4,
    kResetting = 0x8,
    kGridChanged = 0x100,
    kPathsChanged = 0x10000,
    kLevelsChanged = 0x20000,
    kDirectChanged = 0x40000,
    kDirectHFChanged = 0x80000,
    kSendsChanged = 0x100000,
    kSendHFChanged = 0x200000,
    kAllChanged = 0x3F0000,
  };
  // Opcodes the sequence interprets.
  enum : uint32_t {
    kOpLevel = 0x0D,
    kOpSend = 0x0E,
    kOpSendHF = 0x0F,
    kOpDirect = 0x10,
    kOpDirectHF = 0x11,
    kOpPath = 0x80000001u,
    kOpLevelRamp = 0x80000002u,
    kOpSendRamp = 0x80000003u,
    kOpSendHFRamp = 0x80000004u,
    kOpDirectRamp = 0x80000005u,
    kOpDirectHFRamp = 0x80000006u,
    kOpGroup = 0xC0000001u,
    kOpEnd = 0xC0000002u,
    kOpTempo = 0xC0000003u,
    kOpTimeSignature = 0xC0000004u,
    kOpGrid = 0xC0000005u,
  };

  explicit CSequence(IAUDContentBank* bank);
  ~CSequence() override;

  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  void InitObject(void** ppInstance) override;
  void StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops, CPlayer* player) override;
  int32_t CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) override;
  void ReleaseObject(void* instance) override;
  void ResetObject(void* voice, void* instance) override;
  // 0 once the sequence has ended, else 3.
  int32_t AdvanceClock(void* instance, CPlayer* player, void* voice) override;
  void ReCueLastClock(void* instance, CPlayer* player) override;
  void EstablishMarker(IAUDContentMarker* marker, void* instance) override;

  void ResetSequence(SSequenceInstance* inst);
  void CueMarker(IAUDContentMarker* marker, SSequenceInstance* inst);
  void CreateClockFrame(SSequenceInstance* inst);
  void ProcessClockFrame(void* buffer, uint32_t now, SSequenceInstance* inst, CPlayer* player);
  void ProcessActivePaths(void* buffer, uint32_t now, SSequenceInstance* inst);
  void ProcessActiveLevels(void* buffer, uint32_t now, SSequenceInstance* inst);
  void ProcessActiveDirect(void* buffer, uint32_t now, SSequenceInstance* inst);
  void ProcessActiveDirectHF(void* buffer, uint32_t now, SSequenceInstance* inst);
  void ProcessActiveSend(void* buffer, uint32_t now, SSequenceInstance* inst);
  void ProcessActiveSendHF(void* buffer, uint32_t now, SSequenceInstance* inst);

  // Takes the stream (allocated with malloc) without copying it.
  void SetData(uint32_t* words, uint32_t count);
  const uint32_t* GetData() const { return m_pData; }
  uint32_t GetDataCount() const { return m_dwWords; }
  const uint8_t* GetTable() const { return m_abTable; }

 private:
  // Runs the command at the cursor and moves the cursor past it.
  void ProcessClockFrameCommands(void* buffer, uint32_t now, SSequenceInstance* inst, CPlayer* player,
                                 uint32_t* cursor, bool inGroup);
  void RestoreLastFrame(SSequenceInstance* inst);
  void EmitAll(void* buffer, uint32_t now, SSequenceInstance* inst);
  void EmitChanged(void* buffer, uint32_t now, SSequenceInstance* inst);
  // The content marker at the grid's positions; false when it refuses.
  bool CheckGrid(SSequenceInstance* inst, CPlayer* player);
  int32_t Cycle(void* voice, int32_t* loops, SSequenceInstance* inst, CPlayer* player, int depth);

  uint32_t* m_pData = nullptr;
  uint32_t m_dwWords = 0;
  uint8_t m_abTable[kTableBytes] = {};
};
