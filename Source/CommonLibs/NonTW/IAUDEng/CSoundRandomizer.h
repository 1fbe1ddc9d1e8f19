// A sound randomizer: plays one of its items at a time, picked by chance
// (optionally never the same twice running) or by order number, and picks
// again when it ends while loops last. With a transition matrix it is
// interactive instead: all its layers (timelines and queues) play at once on
// voices of their own and the selected track alone is heard; a change of
// track is immediate or a timed cross-fade taken from the matrix.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/CPlayer.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

// One item, 16 bytes in the "rcnt" chunk.
struct SOUNDRANDOMIZERCONTENT {
  uint32_t dwType;   // "snde", "sdqu", "sdtl", "sqob", "gbef", "samp" or "bfob"
  uint32_t dwIndex;  // index in the bank's table of the kind; a sample reference for samples
  uint32_t dwOrder;  // from 1
  uint32_t dwChance;  // percent
};

// The per-play record; the item instances and voices follow it.
struct SRandomizerInstance {
  int32_t nCount;
  SMetricTime metric;
  SRealTime real;
  SStatusFlags flags;
  IAUDContentMarker* pMarker;
  CPlayer* pPlayer;
  uint32_t dwLoops;
  int32_t nCurrent;  // the playing item; interactive: the audible track
  int32_t nTarget;   // interactive: the track being entered
  int32_t nPending;  // interactive: a request made during a cross-fade, -1 for none
  uint32_t dwFadeStart;
  void** apItems;
  void** apVoices;  // interactive only
};

class CSoundRandomizer : public IAUDContentObject {
 public:
  // Cross-fade levels move at the player's 30 ms update ticks.
  explicit CSoundRandomizer(IAUDContentBank* bank);
  ~CSoundRandomizer() override;

  uint32_t GetNumTracks() override;
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

  // An item index, or -1 when the pick finds nothing.
  int32_t SelectContentToPlay();
  static uint32_t GetRandomLevel(uint32_t min, uint32_t max);
  int32_t GetPlayingContentIndex() const { return m_nPlaying; }
  bool IsInteractive() const { return m_bInteractive; }
  bool IsSeamless() const { return m_bSeamless; }
  // The summed track counts of the timeline and queue items.
  uint32_t GetNumInteractiveTracks();
  void SetInteractiveTransition(uint32_t row, uint32_t column, uint32_t fadeIn, uint32_t fadeOut);
  void SetInteractiveTrack(int32_t track, void* instance);
  void StartInteractiveContent(void* instance);
  void StopInteractiveContentVoices(void* instance);
  void UpdateVoicesGroupGain(void* instance);

  // The sound event's rules for chances and order numbers on the one list;
  // loading does not apply them.
  void CheckChancesInRange(int32_t excluded);
  void CheckOrderNumbersInRange();

  int32_t GetItemCount() const { return m_aItems.GetElementCount(); }
  const SOUNDRANDOMIZERCONTENT* GetItem(int32_t i) const;
  void AddItem(const SOUNDRANDOMIZERCONTENT& item) { m_aItems.AddElement(&item); }
  uint32_t GetSetting(int i) const { return m_adwInfo[i & 3]; }
  void SetSetting(int i, uint32_t v) { m_adwInfo[i & 3] = v; }

 private:
  IAUDContentObject* ItemObject(int32_t i) const;
  bool IsLayerKind(int32_t i) const;
  // The item plays on a voice of its own in an interactive play.
  bool HasVoice(const SRandomizerInstance* inst, int32_t i) const;
  const uint32_t* Cell(int32_t row, int32_t column) const;
  void StopItem(int32_t i, void* voice, void* itemInstance);
  void SetLayerLevel(SRandomizerInstance* inst, int32_t track, float level);
  void CloseExtraVoices(SRandomizerInstance* inst);
  void OpenExtraVoices(SRandomizerInstance* inst, void* voice);
  void StartPlain(void* voice, IAUDContentMarker* marker, SRandomizerInstance* inst, uint32_t loops, CPlayer* player);
  int32_t CycleItem(SRandomizerInstance* inst, void* voice, int32_t* loops, CPlayer* player);
  int32_t CyclePlain(void* voice, int32_t* loops, SRandomizerInstance* inst, CPlayer* player);
  int32_t CycleInteractive(int32_t* loops, SRandomizerInstance* inst, CPlayer* player);
  void FadeStep(SRandomizerInstance* inst);

  uint32_t m_adwInfo[4] = {1, 50, 1, 0};  // random play, percentage, equal chances, flags
  TCArray<SOUNDRANDOMIZERCONTENT> m_aItems;
  uint32_t* m_pMatrix = nullptr;  // side x side cells of fade-in, fade-out
  uint32_t m_dwSide = 0;
  int32_t m_nLastItem = -1;
  uint32_t m_dwOrderPosition = 0;
  uint32_t m_dwChanceRotor = 0;
  int32_t m_nPlaying = -1;
  bool m_bInteractive = false;
  bool m_bSeamless = false;
};
