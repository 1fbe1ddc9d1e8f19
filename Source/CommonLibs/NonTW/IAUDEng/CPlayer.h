// The audio player: plays one content object (the primary content) on a
// voice of the voice controller and can hand over to a second one (the
// transition content), with a timed cross-fade, at the primary's next marker
// or at its end. It keeps a metric and a real-time clock for each of the two
// contents, carries its 3D state, pitch, mode, curve set, group and EAX source
// properties to its voices, and synchronises its start with the master
// player's clock. The scheduler cycles every playing player once a period.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/CIAUDEAXObject.h"
#include "NonTW/IAUDEng/CTransition.h"
#include "NonTW/IAUDEng/IAUDEAX.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

class CEntity;
class CGroup;
class CRPController;
class IAUDContentObject;
struct IAUDContentMarker;

// Positions and velocities are stored multiplied by it and reported divided by it.
extern float g_flDistanceFactor;

// Bars, beats and clocks of one content.
struct SMetricTime {
  uint32_t dwAccumulator;   // period credit not yet turned into clocks
  uint32_t dwIncrement;     // credit per scheduler period
  uint32_t dwThreshold;     // credit of one clock
  uint32_t dwPending;       // clocks earned, not yet counted
  uint32_t dwBeatsPerBar;
  uint32_t dwClocksPerBeat;
  uint32_t dwTimeSignature;  // numerator << 16 | denominator
  uint32_t dwTempo;          // microseconds per quarter note
  uint32_t dwBar;
  uint32_t dwBeat;
  uint32_t dwClock;
  uint32_t dwTotalClocks;
};

// Hours, minutes, seconds, frames and subframes of one content.
struct SRealTime {
  uint32_t dwAccumulator;
  uint32_t dwIncrement;
  uint32_t dwThreshold;
  uint32_t dwPending;  // subframes earned, not yet counted
  uint32_t dwFramesPerSecond;
  uint32_t dwSubframesPerFrame;
  uint32_t dwHours;
  uint32_t dwMinutes;
  uint32_t dwSeconds;
  uint32_t dwFrame;
  uint32_t dwSubframe;
  uint32_t dwTotalSubframes;
  uint8_t bDropFrame;
};

// Boundary bits: 0 clock, 1 beat, 2 bar, 3 tempo set, 4 signature set,
// 10 subframe, 11 frame, 12 second, 13 minute, 14 hour, 15 marker passed,
// 28 at the reset position.
struct SStatusFlags {
  uint32_t dwLatched;    // seen since the last report
  uint32_t dwInProcess;  // of the current counting
};

struct SPlayerMetricTime {
  uint32_t dwBar;  // from 1
  uint32_t dwBeat;  // from 1
  uint32_t dwClock;
  uint32_t dwTimeSignature;
  uint32_t dwTempo;
  uint32_t dwTotalClocks;
  uint32_t dwStatus;
};

struct SPlayerRealTime {
  uint32_t dwHours;
  uint32_t dwMinutes;
  uint32_t dwSeconds;
  uint32_t dwFrames;
  uint32_t dwSubframes;
  uint32_t dwTotalSubframes;
  uint32_t dwStatus;
};

// Status 0 stopped, 1 stopping, 2 paused, 3 playing, 4 waiting for a
// transition to begin, 5 cross-fading.
struct SPlayerStatus {
  int32_t nStatus;
  IAUDContentObject* pPrimaryContent;
  IAUDContentMarker* pPrimaryMarker;
  IAUDContentObject* pTransitionContent;
  IAUDContentMarker* pTransitionMarker;
  int32_t nPrimaryLoops;
  int32_t nTransitionLoops;
  uint32_t dwElapsedMs;
};

class CPlayer final : private CIAUDEAXObject {
 public:
  enum : int32_t { kStopped = 0, kStopping = 1, kPaused = 2, kPlaying = 3 };
  enum : uint32_t { kCycleUpdateFlag = 0x20000000u, kMarkerPassed = 0x8000u, kResetPosition = 0x10000000u };

  // Joins the runtime's player list when the runtime is open.
  CPlayer();
  // Stops, releases the contents and leaves the lists.
  ~CPlayer();
  CPlayer(const CPlayer&) = delete;
  CPlayer& operator=(const CPlayer&) = delete;

  CPlayer* GetPostPlayer() const { return m_pNextPlayer; }
  CPlayer* NextActive() const { return m_pNextActive; }
  // Whether the player is in the runtime's player list (the object it is
  // called on plays no part).
  bool IsValidPlayer(const CPlayer* player) const;

  // Content.
  void AttachPrimaryContent(IAUDContentObject* content);
  void AttachTransitionContent(IAUDContentObject* content);
  void AttachRPC(CRPController* controller, float level);
  void GetPrimaryContent(IAUDContentObject** out) const {
    if (out) *out = m_pPrimary;
  }
  IAUDContentObject* GetPrimaryContent() const { return m_pPrimary; }
  void GetTransitionContent(IAUDContentObject** out) const {
    if (out) *out = m_pTransition;
  }
  IAUDContentObject* GetTransitionContent() const { return m_pTransition; }
  void GetRPC(CRPController** out) const {
    if (out) *out = m_pRPC;
  }
  void SetEntityOwner(CEntity* owner) { m_pOwner = owner; }
  CEntity* GetEntityOwner() const { return m_pOwner; }

  // Playback. A loop count of 0 plays the content's own count; a marker
  // starts the content there.
  void StartPlayer(long loops = 0, void* marker = nullptr);
  void TransitionPlayer(long loops, void* marker, STransition* transition);
  void StopPlayer();
  void PausePlayer();
  void RestartPlayer();
  // One scheduler period; the scheduler's timer calls it.
  void CyclePlayer();
  void MoveTransitionToPrimary();
  // Content objects call it as they pass a marker; false when the primary
  // must stop because the transition takes over.
  bool ProcessContentMarker();
  // Seeks the primary to a metric clock without sound; the player stays paused.
  void AdvancePrimaryToMetricClock(unsigned long clock, bool flushTracks);

  // Queries.
  void GetStatus(SPlayerStatus* out);
  int32_t GetPlayerStatus() const { return m_nStatus; }
  int32_t GetTransitionState() const { return m_nTransitionState; }
  bool IsContentInGroup(unsigned long group) const;
  void UpdateGroupGain(CGroup* group);
  void* GetPrimaryVoice() const { return m_pPrimaryVoice; }
  void* GetTransitionVoice() const { return m_pTransitionVoice; }
  uint32_t GetSyncStartType() const { return m_dwSyncStartType; }

  // 3D state, mode, pitch and the curve level.
  void SetPosition(IAUDVector& position);
  void SetVelocity(IAUDVector& velocity);
  void SetOrientation(IAUDVector& front, IAUDVector& top);
  void SetOrientation(float first, float second, float third);
  void SetMode(unsigned long mode);
  void SetRPCLevel(float level);
  void SetPitch(float pitch);
  void GetPosition(IAUDVector* out);
  void GetVelocity(IAUDVector* out);
  void GetOrientation(IAUDVector* front, IAUDVector* top);
  void GetOrientation(float* first, float* second, float* third);
  void GetMode(unsigned long* out);
  void GetRPCLevel(float* out);
  void GetPitch(float* out);

  // EAX source properties: 0, -2 refused, -9 without a runtime.
  int32_t SetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) override;
  int32_t GetEAXProperty(const _GUID& propertySet, unsigned long id, void* data, unsigned long size) override;
  int32_t SetEAX4Source(unsigned long id, void* data, unsigned long size);
  int32_t SetEAX3Source(unsigned long id, void* data, unsigned long size) { return SetEAX4Source(id, data, size); }
  int32_t SetEAX2Source(unsigned long id, void* data, unsigned long size);
  int32_t GetEAX4Source(unsigned long id, void* data, unsigned long size);
  int32_t GetEAX3Source(unsigned long id, void* data, unsigned long size) { return GetEAX4Source(id, data, size); }
  int32_t GetEAX2Source(unsigned long id, void* data, unsigned long size);

  // The render driver's exclusive mode, when the runtime and its render
  // interface exist.
  static void BeginExclusiveMode();
  static void EndExclusiveMode();

  // Time code of the content chosen by the process selector (1 primary,
  // 2 transition, else none: nothing happens and 0 is answered).
  int32_t SetProcessSelector(int32_t selector) {
    int32_t previous = m_nProcess;
    m_nProcess = selector;
    return previous;
  }
  int32_t GetProcessSelector() const { return m_nProcess; }
  void ResetAllTimeCode();
  void ResetAllTimeCodeToMarker(IAUDContentMarker* marker);
  IAUDContentMarker* EstablishPrimaryMarker(IAUDContentMarker* marker);
  void ProcessTempo(uint32_t tempo);
  void ProcessTimeSignature(uint32_t signature);
  void ProcessTimeCode(uint32_t timeCode);
  // Counts one pending clock; the number pending before (0: none counted).
  uint32_t GetMetricProcessClockCount();
  void ProcessMetricTimeCode();
  uint32_t GetRealProcessClockCount();
  void ProcessRealTimeCode();
  uint32_t GetInProcessStatusFlags();
  uint32_t GetProcessBars();
  uint32_t GetProcessBeats();
  uint32_t GetProcessClocks();
  uint32_t GetProcessMetricTotalClock();
  uint32_t GetProcessRealTotalClock();
  // The primary's clock whatever the selector, for synchronised starts.
  uint32_t GetMasterStatus() const { return m_PrimaryFlags.dwInProcess; }
  uint32_t GetMasterBars() const { return m_PrimaryMetric.dwBar; }
  uint32_t GetMasterBeats() const { return m_PrimaryMetric.dwBeat; }
  uint32_t GetMasterClocks() const { return m_PrimaryMetric.dwClock; }
  // Reports; each clears the reported bits of the latched word.
  void GetPrimaryMetricTime(SPlayerMetricTime* out);
  void GetTransitionMetricTime(SPlayerMetricTime* out);
  void GetPrimaryRealTime(SPlayerRealTime* out);
  void GetTransitionRealTime(SPlayerRealTime* out);
  // A child with a time code of its own takes the selected records for its
  // turn and gives them back.
  void BeginChildProcessStatusVariables(SMetricTime* savedMetric, SRealTime* savedReal, SStatusFlags* savedFlags,
                                        SMetricTime* childMetric, SRealTime* childReal, SStatusFlags* childFlags);
  void EndChildProcessStatusVariables(SMetricTime* savedMetric, SRealTime* savedReal, SStatusFlags* savedFlags,
                                      SMetricTime* childMetric, SRealTime* childReal, SStatusFlags* childFlags);
  // True once per 30 ms tick of the player.
  bool IsCycleUpdateTime();

 private:
  // The records the selector chooses; false for none.
  bool SelectedTimeCode(SMetricTime** metric, SRealTime** real, SStatusFlags** flags, uint32_t** elapsed);
  IAUDContentObject* SelectedContent() const;
  // One scheduler period of credit for the selected content's clocks.
  void AdvanceTimeCode();
  void CountClocks(bool all, uint32_t* before);
  void CountSubframes(bool all, uint32_t* before);
  void ResetTimeCodeOf(int32_t selector);

  void* OpenVoice(IAUDContentObject* content, float level);
  void CloseVoice(void** voice, bool stop);
  void StopUntilStopped();
  void StopPlayer(bool force);
  void PushActive();
  void RemoveActive();
  void ArmTransition(bool withRPC);
  void StartTransitionContent(bool withRPC);
  void ReleaseQueued();
  // Runs f on the primary voice and then the transition voice, each when open.
  template <class F>
  void EachVoice(F f) {
    if (m_pPrimaryVoice) f(m_pPrimaryVoice);
    if (m_pTransitionVoice) f(m_pTransitionVoice);
  }

  void StoreEAXDefaults();
  // The 18 source values as 32-bit words, from index first on.
  void StoreEAXValues(uint32_t first, const void* data, uint32_t count);
  void LoadEAXValues(uint32_t first, void* data, uint32_t count) const;
  // Copies words of the per-slot send records between the records of a
  // caller's buffer (GUID first) and the slots.
  bool StoreEAXSends(const void* data, unsigned long size, uint32_t recordSize, uint32_t firstWord, uint32_t words);
  void LoadEAXSends(void* data, unsigned long size, uint32_t recordSize, uint32_t firstWord, uint32_t words) const;

  CPlayer* m_pPrevPlayer = nullptr;
  CPlayer* m_pNextPlayer = nullptr;
  CPlayer* m_pPrevActive = nullptr;
  CPlayer* m_pNextActive = nullptr;
  int32_t m_nStatus = kStopped;
  int32_t m_nProcess = 0;
  IAUDVector m_vPosition{0.0f, 0.0f, 0.0f};
  IAUDVector m_vVelocity{0.0f, 0.0f, 0.0f};
  IAUDVector m_vFront{0.0f, 0.0f, 1.0f};
  IAUDVector m_vTop{0.0f, 1.0f, 0.0f};
  float m_aflAngles[3] = {0.0f, 0.0f, 0.0f};
  unsigned long m_dwMode = 0;
  float m_flPitch = 1.0f;
  bool m_bInChild = false;

  IAUDContentObject* m_pPrimary = nullptr;
  IAUDContentObject* m_pTransition = nullptr;
  IAUDContentObject* m_pQueued = nullptr;
  void* m_pPrimaryInstance = nullptr;
  void* m_pTransitionInstance = nullptr;
  void* m_pQueuedInstance = nullptr;
  int32_t m_nPrimaryLoops = 0;
  int32_t m_nTransitionLoops = 0;
  int32_t m_nQueuedLoops = 0;
  IAUDContentMarker* m_pPrimaryMarker = nullptr;
  IAUDContentMarker* m_pTransitionMarker = nullptr;
  IAUDContentMarker* m_pQueuedMarker = nullptr;
  STransition m_Transition{0, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
  STransition m_QueuedTransition{0, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
  bool m_bQueuedPending = false;
  void* m_pPrimaryVoice = nullptr;
  void* m_pTransitionVoice = nullptr;

  SStatusFlags m_PrimaryFlags{0, 0};
  SStatusFlags m_TransitionFlags{0, 0};
  SMetricTime m_PrimaryMetric{};
  SMetricTime m_TransitionMetric{};
  SRealTime m_PrimaryReal{};
  SRealTime m_TransitionReal{};
  uint32_t m_dwPrimaryElapsed = 0;
  uint32_t m_dwTransitionElapsed = 0;

  CRPController* m_pRPC = nullptr;
  float m_flRPCLevel = 0.0f;
  float m_flRPCApplied = 0.0f;
  uint32_t m_dwFlags = 0;
  uint32_t m_dwElapsed = 0;
  uint32_t m_dwCycleUpdate = 0;
  uint32_t m_dwTransitionEnd = 0;
  uint32_t m_dwTransitionStart = 0;
  uint32_t m_dwPrimaryFadeEnd = 0;
  uint32_t m_dwTransitionContentStart = 0;
  uint32_t m_dwPauseTime = 0;
  uint32_t m_dwPrimaryEndLevel = 0;
  uint32_t m_dwTransitionStartLevel = 0;
  int32_t m_nTransitionState = 0;

  EAX40SOURCEPROPERTIES m_EAXSource;
  EAX40SOURCEALLSENDPROPERTIES m_aEAXSends[4];
  EAX40ACTIVEFXSLOTS m_EAXActiveSlots;

  uint32_t m_dwSyncStartType = 0;
  uint32_t m_dwSyncStartMultiple = 0;
  CEntity* m_pOwner = nullptr;
};
