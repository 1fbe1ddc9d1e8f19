// The common base of everything the audio runtime loads: the object tree, the
// common properties of playable content, markers and the RIFF reading and
// writing of every object.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDResourceManager.h"
#include "NonTW/IAUDEng/IAUDTypes.h"

class CGlobalEffect;
class CPlayer;
class IAUDBankObject;
class IAUDContentBank;

// The in-memory header of one RIFF chunk.
struct RiffChunk {
  uint32_t dwFormType;      // "RIFF"/"LIST": the type after the size; 0 otherwise
  uint32_t dwChunkId;
  uint32_t dwSize;          // as stored
  uint32_t dwDataPosition;  // recorded when the chunk was entered or created
};

// One marker, 296 bytes in memory and in the "imrk" chunk.
struct IAUDContentMarker {
  uint16_t wszTitle[128];
  uint32_t dwContentPosition;
  uint32_t dwMusicalPosition;  // bars 16-31, beats 8-15, clocks 0-7
  uint32_t dwMetricPosition;   // total clocks
  uint32_t dwClock;
  uint32_t dwTempo;
  uint32_t dwTimeSignature;
  uint32_t dwTimeCode;  // hours 17-31, minutes 11-16, seconds 5-10, frames 0-4
  uint32_t dwTotalSubframes;
  uint32_t dwSubframe;
  int32_t nRepeatLimit;  // -1: no limit
};
static_assert(sizeof(IAUDContentMarker) == 296, "marker record is 296 bytes");

struct SSyncStart {
  uint32_t dwType;
  uint32_t dwMultiple;
};

// The editable properties exchanged with the interface layer.
struct OBJECTDATA {
  uint16_t wszTitle[128];
  uint32_t dwGlobalEffectIndex;
  uint32_t dwNumTracks;
  uint32_t dwBaseTimeCode;
  uint32_t dwBaseTempo;
  uint32_t dwBaseTimeSignature;
  int32_t nGroupIndex;
  SSyncStart syncStart;
  int32_t nNumMarkers;
};

class IAUDContentObject : public IAUDResourceManager {
 public:
  explicit IAUDContentObject(IAUDBankObject* pBank);
  virtual ~IAUDContentObject();
  IAUDContentObject(const IAUDContentObject&) = delete;
  IAUDContentObject& operator=(const IAUDContentObject&) = delete;

  // Virtual operations, in slot order.
  virtual uint32_t GetNumTracks() { return m_dwNumTracks; }
  void SetNumTracks(uint32_t count) { m_dwNumTracks = count; }
  virtual void GetMinMaxDuration(uint32_t* pMin, uint32_t* pMax);
  virtual void DeleteObject() { delete this; }
  virtual void SetTitle(const uint16_t* title);
  virtual void SetGlobalEffectIndex(uint32_t index) { m_dwGlobalEffectIndex = index; }
  virtual void UnArchiveObject(void* file, RiffChunk& chunk);
  virtual void UnArchiveObjectDataChunk(void* file, RiffChunk& chunk);
  virtual void ProcessUnArchivedObject() {}
  virtual void ArchiveObject(void* file);
  virtual void ArchiveObjectDataChunks(void* file);
  virtual void InitObject(void** ppInstance) { (void)ppInstance; }
  virtual void StartObject(void*, IAUDContentMarker*, void*, uint32_t, CPlayer*) {}
  virtual int32_t CycleObject(void*, int32_t*, void*, CPlayer*) { return 0; }
  virtual bool StopObject(void*, void*) { return true; }
  virtual void ReleaseObject(void*) {}
  virtual void RestartObject(void*, void*) {}
  virtual void PauseObject(void*, void*) {}
  virtual void ResetObject(void*, void*) {}
  virtual int32_t AdvanceClock(void*, CPlayer*, void*) { return 0; }
  virtual void ReCueLastClock(void*, CPlayer*) {}
  virtual void EstablishMarker(IAUDContentMarker*, void*) {}

  // Tree.
  IAUDContentObject* GetParent() const { return m_pParent; }
  void SetParent(IAUDContentObject* p) { m_pParent = p; }
  IAUDContentObject* GetBefore() const { return m_pBefore; }
  void SetBefore(IAUDContentObject* p) { m_pBefore = p; }
  IAUDContentObject* GetAfter() const { return m_pAfter; }
  void SetAfter(IAUDContentObject* p) { m_pAfter = p; }
  IAUDContentObject* GetChild() const { return m_pChild; }
  void SetChild(IAUDContentObject* p) { m_pChild = p; }
  IAUDBankObject* GetBank() const { return m_pBank; }
  // Non-folders go before the first folder, folders to the end.
  void LinkObject(IAUDContentObject* child);
  IAUDContentObject* Unlink();
  // Takes away the children, the title's index entries and the object.
  void RemoveObject();
  IAUDContentObject* CreateChildFolder();
  uint32_t GetObjectType() const;
  IAUDContentBank* GetContentBank() const;
  // The content an item of a container names by its type and index
  // (samples, events, timelines, sequences, global effects and, where the
  // container allows them, queues); null for another type.
  IAUDContentObject* ContentByType(uint32_t type, uint32_t index, bool bQueues) const;
  CGlobalEffect* GetContentGlobalEffect() const;
  const RiffChunk& GetChunk() const { return m_Chunk; }

  // Properties.
  const uint16_t* GetTitle() const { return m_wszTitle; }
  uint32_t GetResourceIndex() const { return m_dwResourceIndex; }
  void SetResourceIndex(uint32_t index) { m_dwResourceIndex = index; }
  uint32_t GetGlobalEffectIndex() const { return m_dwGlobalEffectIndex; }
  uint32_t GetBaseTimeSignature() const { return m_dwBaseTimeSignature; }
  void SetBaseTimeSignature(uint32_t v) { m_dwBaseTimeSignature = v; }
  uint32_t GetBaseTempo() const { return m_dwBaseTempo; }
  void SetBaseTempo(uint32_t v) { m_dwBaseTempo = v; }
  uint32_t GetBaseTimeCode() const { return m_dwBaseTimeCode; }
  void SetBaseTimeCode(uint32_t v) { m_dwBaseTimeCode = v; }
  uint32_t GetMarkerDivision() const { return m_dwMarkerDivision; }
  void SetMarkerDivision(uint32_t v) { m_dwMarkerDivision = v; }
  uint32_t GetSyncStartType() const { return m_dwSyncStartType; }
  uint32_t GetSyncStartMultiple() const { return m_dwSyncStartMultiple; }
  void SetSyncStart(const SSyncStart& s) {
    m_dwSyncStartType = s.dwType;
    m_dwSyncStartMultiple = s.dwMultiple;
  }
  int32_t GetGroupIndex() const { return m_nGroupIndex; }
  void SetGroupIndex(int32_t index) { m_nGroupIndex = index; }
  uint32_t GetLoopCount() const { return m_dwLoopCount; }
  void SetLoopCount(uint32_t count) { m_dwLoopCount = count; }
  float GetGainBoost() const { return m_flGainBoost; }
  void SetGainBoost(float boost) { m_flGainBoost = boost; }
  void GetObjectData(OBJECTDATA* data);
  void SetObjectData(OBJECTDATA* data);

  // Markers.
  int32_t GetNumMarkers() const { return m_nNumMarkers; }
  IAUDContentMarker* GetMarkers() const { return m_pMarkers; }
  // Takes a copy of count markers in place of the present ones.
  void SetMarkers(const IAUDContentMarker* markers, int32_t count);
  IAUDContentMarker* GetMarkerByIndex(int32_t index) const;
  int32_t FindMarkerIndex(const IAUDContentMarker* marker) const;
  int32_t FindMarkerIndexFromMetric(uint32_t metric) const;
  bool ProcessMetricClocks(CPlayer* player);

  // RIFF access.
  static bool DescendFile(void* file, RiffChunk* chunk, RiffChunk* parent);
  // Seeks past the chunk and its pad byte; false (and no seek) when the end
  // lies past the parent's end or past 32 bits.
  static bool AscendFile(void* file, RiffChunk* chunk, RiffChunk* parent = nullptr);
  static void CreateArchiveObject(void* file, RiffChunk* chunk);
  static bool AscendArchiveObject(void* file, RiffChunk* chunk);
  static void WriteObjectData(void* file, uint32_t id, const void* data, uint32_t size);
  // The end of a chunk: its data position plus its size.
  static uint64_t ChunkEnd(const RiffChunk& chunk) { return (uint64_t)chunk.dwDataPosition + chunk.dwSize; }

 protected:
  void SetChunk(uint32_t id, uint32_t formType) {
    m_Chunk.dwChunkId = id;
    m_Chunk.dwFormType = formType;
  }
  // Helpers of the chunk readers and writers of derived kinds: read up to
  // count 32-bit values of a chunk (returns the number read); write one
  // chunk of one 32-bit value.
  static uint32_t ReadChunkLongs(void* file, const RiffChunk& chunk, uint32_t* out, uint32_t count);
  static void WriteLongChunk(void* file, uint32_t id, uint32_t value);
  bool IsIndexedKind() const;

 private:
  void ReadMarkers(void* file, const RiffChunk& chunk);
  void ReadLegacyMarkers(void* file, const RiffChunk& chunk);
  void RemoveTitleFromIndex();
  int Depth() const;

  IAUDContentObject* m_pParent;
  IAUDContentObject* m_pBefore;
  IAUDContentObject* m_pAfter;
  IAUDContentObject* m_pChild;
  IAUDBankObject* m_pBank;
  RiffChunk m_Chunk;
  uint16_t m_wszTitle[128];
  uint32_t m_dwResourceIndex;
  uint32_t m_dwNumTracks;
  uint32_t m_dwGlobalEffectIndex;
  uint32_t m_dwBaseTimeSignature;
  uint32_t m_dwBaseTempo;
  uint32_t m_dwBaseTimeCode;
  uint32_t m_dwMarkerDivision;
  int32_t m_nNumMarkers;
  IAUDContentMarker* m_pMarkers;
  uint32_t m_dwSyncStartType;
  uint32_t m_dwSyncStartMultiple;
  int32_t m_nGroupIndex;
  uint32_t m_dwLoopCount;
  float m_flGainBoost;

 protected:
  friend class IAUDBankObject;
  void SetBank(IAUDBankObject* bank) { m_pBank = bank; }
};
