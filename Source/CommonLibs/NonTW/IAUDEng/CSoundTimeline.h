// A sound timeline: sound events side by side, each on its own voice track,
// each starting at its own offset (a start time plus a drawn delay). The
// timeline loops as a whole once every track has ended, or lets its tracks
// loop by themselves when they start together and last equally long (within
// 10 ms) or when its independent-loop flag is set.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

// One track, 20 bytes in the "trck" chunk (the older "sttk" holds the first 12).
struct STimelineTrack {
  uint32_t dwType;  // only "snde" tracks play
  uint32_t dwIndex;
  uint32_t dwStart;  // milliseconds after the timeline's start
  uint32_t dwDelayMin;
  uint32_t dwDelayMax;
};

// The per-play record; the per-track arrays follow it in the same block.
struct STimelineInstance {
  uint32_t dwStart;
  uint32_t dwPause;
  uint8_t* pStates;  // 0 waiting, 1 playing, 2 ended
  uint32_t* pOffsets;
  int32_t* pLoops;
  void** ppEvents;
};

class CSoundTimeline : public IAUDContentObject {
 public:
  enum : uint8_t { kWaiting = 0, kPlaying = 1, kEnded = 2 };

  explicit CSoundTimeline(IAUDContentBank* bank);
  ~CSoundTimeline() override;

  void GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) override;
  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  void InitObject(void** ppInstance) override;
  void StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops, CPlayer* player) override;
  int32_t CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) override;
  bool StopObject(void* voice, void* instance) override;
  void ReleaseObject(void* instance) override;
  void RestartObject(void* voice, void* instance) override;
  void PauseObject(void* voice, void* instance) override;

  int32_t GetTrackCount() const { return m_aTracks.GetElementCount(); }
  const STimelineTrack* GetTrack(int32_t i) const;
  void AddTrack(const STimelineTrack& track);
  uint32_t GetIndependentLoops() const { return m_dwIndependent; }
  void SetIndependentLoops(uint32_t v) { m_dwIndependent = v; }
  bool IsSeamless() const { return m_bSeamless; }

 private:
  class CSoundEvent* TrackEvent(int32_t i) const;

  uint32_t m_dwIndependent = 0;
  TCArray<STimelineTrack> m_aTracks;
  bool m_bSeamless = false;
};
