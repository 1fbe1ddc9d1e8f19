// The audio player, as far as content objects drive its clocks while it
// processes them and the scheduler cycles it. A player that has not started
// processes no clocks.
#pragma once

#include <cstdint>

class CGroup;
class IAUDContentObject;
struct IAUDContentMarker;

class CPlayer {
 public:
  // Links the player at the head of the runtime's player list.
  CPlayer();
  // Unlinks it from the player and active lists; clears the master player
  // when it is this one.
  ~CPlayer();
  CPlayer(const CPlayer&) = delete;
  CPlayer& operator=(const CPlayer&) = delete;

  CPlayer* GetPostPlayer() const { return m_pPostPlayer; }
  CPlayer* NextActive() const { return m_pNextActive; }

  void AttachPrimaryContent(IAUDContentObject* content) { m_pPrimaryContent = content; }
  IAUDContentObject* GetPrimaryContent() const { return m_pPrimaryContent; }
  // Links the player into the active list.
  void StartPlayer(uint32_t loopCount = 0, IAUDContentMarker* marker = nullptr);
  // Takes the player out of the active list.
  void StopPlayer();
  // One scheduler tick.
  void CyclePlayer();
  // Re-applies the group's gain to the player's voices.
  void UpdateGroupGain(CGroup* group) { (void)group; }

  // Status flags of the content being processed (bit 0x10000000: the
  // content starts in this period).
  uint32_t GetInProcessStatusFlags() { return m_dwInProcessStatusFlags; }
  // Consumes one pending metric clock of the period; 0 when none is left.
  uint32_t GetMetricProcessClockCount() { return 0; }
  uint32_t GetProcessBars() { return 0; }
  uint32_t GetProcessBeats() { return 0; }
  uint32_t GetProcessClocks() { return 0; }
  // Consumes every pending metric clock of the period for the time code.
  void ProcessMetricTimeCode() {}
  // False when a pending transition ends the primary content now.
  bool ProcessContentMarker() { return true; }

 private:
  bool IsActive() const;

  uint32_t m_dwInProcessStatusFlags = 0;
  CPlayer* m_pPostPlayer = nullptr;
  CPlayer* m_pNextActive = nullptr;
  IAUDContentObject* m_pPrimaryContent = nullptr;
};
