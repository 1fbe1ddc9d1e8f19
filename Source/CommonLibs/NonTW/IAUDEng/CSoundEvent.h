// A sound event: each start picks one of its tracks (a sound track or a
// silence track) by chance or by order number, draws the track's level,
// pitch and sends anew and plays it on one voice track; with a loop count it
// keeps picking until the count runs out, and a single sound track at full
// chance loops seamlessly on the voice.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/Array/TCArray.h"
#include "NonTW/IAUDEng/IAUDContentObject.h"

// One sound track, 728 bytes in the "sndt" chunk.
struct SOUNDTRACK {
  uint32_t dwSample;  // sample reference
  int32_t nPath;      // bank path index, -1 for none
  uint32_t dwOrder;   // 1-based
  uint32_t dwChance;  // percent
  float aflPosition[3];
  int32_t nAzimuth;    // degrees 0..360
  int32_t nElevation;  // degrees -90..90
  int32_t nThird;      // degrees 0..360, kept only
  float aflVelocity[3];
  float aflLevel[2];  // minimum, maximum
  float aflPitch[2];
  float aflDirect[2];
  float aflDirectHF[2];
  uint32_t adwSendActive[32];
  float aflSendMin[32];
  float aflSendMax[32];
  float aflSendHFMin[32];
  float aflSendHFMax[32];
  uint32_t dwRandomFlags;  // bit 0 level .. bit 5 send HF levels
};
static_assert(sizeof(SOUNDTRACK) == 728, "sound track record is 728 bytes");

// One silence track, 20 bytes in the "silt" chunk.
struct SILENCETRACK {
  uint32_t dwOrder;
  uint32_t dwChance;
  uint32_t dwMinDuration;
  uint32_t dwMaxDuration;
  uint32_t dwRandom;
};

// The per-play record of an event.
struct EVENTINSTANCE {
  int32_t nPath;       // path of the playing sound track, -1 for none
  uint32_t dwDuration;  // one pass at the effective pitch; 0 for silence
  uint32_t dwStart;     // scheduler milliseconds of the current pass
  int32_t nVoiceTrack;  // the voice track the event plays on
};

class CSoundEvent : public IAUDContentObject {
 public:
  enum TRACKTYPE : int32_t { kSoundTrack = 0, kSilenceTrack = 1 };
  static constexpr int32_t kMaxTracks = 64;

  explicit CSoundEvent(IAUDContentBank* bank);
  ~CSoundEvent() override;

  void GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax) override;
  void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk) override;
  void ProcessUnArchivedObject() override;
  void ArchiveObjectDataChunks(void* file) override;
  void InitObject(void** ppInstance) override;
  void StartObject(void* voice, IAUDContentMarker* marker, void* instance, uint32_t loops, CPlayer* player) override;
  // 0 ended, 1 playing, 2 a new pass began.
  int32_t CycleObject(void* voice, int32_t* loops, void* instance, CPlayer* player) override;
  bool StopObject(void* voice, void* instance) override;
  void ReleaseObject(void* instance) override;

  // 0 when a track played, -1 when the pick played nothing.
  int32_t PlaySoundEvent(CPlayer* player, void* voice, EVENTINSTANCE* instance, int32_t loops, bool start);
  void PlaySoundEventSound(CPlayer* player, void* voice, int32_t kind, int32_t index, EVENTINSTANCE* instance,
                           int32_t loops, bool start);
  // The load rules.
  void CheckChancesInRange(int32_t kind, int32_t excluded);
  void CheckOrderNumbersInRange();
  void ClampSoundTrackParameters(int32_t index);
  void ClampSilenceTrackParameters(int32_t index);
  static void ClampMinMaxRange(float& min, float& max, float low, float high);
  static void ClampMinRange(float& min, float& max, float low, float high);
  static void ClampMaxRange(float& min, float& max, float low, float high);
  static float GetRandomLevel(float min, float max, bool random);
  static uint32_t GetRandomLevel(uint32_t min, uint32_t max, bool random);
  void GetPlayingTrack(int32_t* kind, int32_t* index) const;

  // Settings and tracks.
  uint32_t GetSetting(int32_t i) const { return m_adwInfo[i]; }
  void SetSetting(int32_t i, uint32_t v) { m_adwInfo[i] = v; }
  int32_t GetNumSoundTracks() const { return m_aSound.GetElementCount(); }
  int32_t GetNumSilenceTracks() const { return m_aSilence.GetElementCount(); }
  SOUNDTRACK* GetSoundTrack(int32_t i) const;
  SILENCETRACK* GetSilenceTrack(int32_t i) const;
  // Appends a track while the event holds fewer than 64; false when full.
  bool AddSoundTrack(const SOUNDTRACK& track);
  bool AddSilenceTrack(const SILENCETRACK& track);
  uint32_t GetChanceRotor() const { return m_dwRotor; }
  bool IsSeamless() const { return m_bSeamless; }

  // Byte forms of the chunk records.
  static void ReadSoundTrack(const uint8_t* bytes, SOUNDTRACK* out);
  static void WriteSoundTrack(const SOUNDTRACK& track, uint8_t* bytes);

  // Reseeds the platform generator from two draws and the scheduler's clock.
  static void ReseedRandom();

 private:
  enum { kRandomPlay = 0, kPercentage = 1, kEqualChances = 2, kSelection = 3, kReRandomise = 4 };
  int32_t NumTracks() const { return GetNumSoundTracks() + GetNumSilenceTracks(); }
  // Chance of the track at a position of the combined list (sound first).
  uint32_t& ChanceAt(int32_t position) const;
  uint32_t& OrderAt(int32_t position) const;
  uint32_t KindSum(int32_t kind) const;
  // The track whose running chance sum reaches r, among one kind's tracks
  // except one; -1 when none.
  int32_t PickFromKind(int32_t kind, int32_t except, uint32_t r) const;
  void PlayPicked(CPlayer* player, void* voice, int32_t kind, int32_t index, EVENTINSTANCE* instance, int32_t loops,
                  bool start);
  void ComputeSeamless();

  uint32_t m_adwInfo[5] = {1, 50, 1, 0, 1};
  TCArray<SOUNDTRACK> m_aSound;
  TCArray<SILENCETRACK> m_aSilence;
  int32_t m_nLastSound = -1;
  int32_t m_nLastSilence = -1;
  int32_t m_nLastKind = 0;
  uint32_t m_dwOrderPosition = 0;
  uint32_t m_dwRotor = 0;
  int32_t m_nPlayingKind = 0;
  int32_t m_nPlayingIndex = -1;
  bool m_bSeamless = false;
};
