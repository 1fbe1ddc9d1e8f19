// A sound queue: plays a list of other content one item after the other on
// the player's voice. A loop section (first and last item) repeats until the
// first stop request releases it; the items after it then play out and the
// queue ends, and a second stop request cuts it off. Without a section the
// whole list repeats while the loop count lasts.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

// One item, 8 bytes in the "qcnt" chunk.
struct SOUNDQUEUECONTENT {
  uint32_t dwType;   // "snde", "sdtl", "sqob", "gbef", "samp" or "bfob"
  uint32_t dwIndex;  // index in the bank's table of the kind; a sample reference for samples
};

// The per-play record; the item instances follow it.
struct SQueueInstance {
  int32_t nCurrent;
  int32_t nCount;
  int32_t nMode;  // 0 ended, 1 playing through, 2 looping the section
  SMetricTime metric;
  SRealTime real;
  SStatusFlags flags;
  void** apItems;  // nCount item instances, in the same block after the record
};

class CSoundQueue : public IAUDContentObject {
 public:
  enum : int32_t { kEnded = 0, kPlayingThrough = 1, kLooping = 2 };

  explicit CSoundQueue(IAUDContentBank* bank);
  ~CSoundQueue() override;

  uint32_t GetNumTracks() override;
  void GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) override;
  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  void InitObject(void** ppInstance) override;
  void StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops, CPlayer* player) override;
  int32_t CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) override;
  // False while the released section plays out.
  bool StopObject(void* voice, void* instance) override;
  void ReleaseObject(void* instance) override;

  int32_t GetPlayingContentIndex(void* instance) const;
  int32_t GetItemCount() const { return m_aItems.GetElementCount(); }
  const SOUNDQUEUECONTENT* GetItem(int32_t i) const;
  void AddItem(const SOUNDQUEUECONTENT& item);
  int32_t GetLoopStart() const { return m_anInfo[1]; }
  int32_t GetLoopEnd() const { return m_anInfo[2]; }
  void SetLoopSection(int32_t start, int32_t end) {
    m_anInfo[1] = start;
    m_anInfo[2] = end;
  }
  // The rules applied after loading: a valid count and section.
  void ApplyLoadRules();

 private:
  // The item's object, or null when it is missing or of a kind that is not played.
  IAUDContentObject* ItemObject(int32_t i) const;
  bool OneItemSectionAt(int32_t i) const { return i == m_anInfo[1] && m_anInfo[1] == m_anInfo[2] && i >= 0; }

  int32_t m_anInfo[3] = {0, -1, -1};  // item count, loop start, loop end
  TCArray<SOUNDQUEUECONTENT> m_aItems;
};
