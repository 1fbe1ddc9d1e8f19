// Event animations (event tracks): timed text events of an animation, in up
// to 16 channels of keys. Each key's text comes from its channel's string
// table; a playing animation keeps its own cursor in every channel.
#pragma once

#include <cstdint>

class EEntity;
class EEventAnimInstance;
class EEventAnimReader;

typedef uint32_t EEventAnimToken;

enum : uint32_t {
  kEVENTANIM_MAGIC = 0x50455645,  // "EVEP"
  kEVENTANIM_VERSION_BLANKS = 100,
  kEVENTANIM_VERSION_TABS = 101,
  kEVENTANIM_MAX_CHANNELS = 16,
  kEVENTANIM_MAX_KEYS = 4096,
};

// What an entity receives for one event.
struct EEventAnimDesc {
  EEventAnimDesc() : m_uChannel(0), m_uIndex(0), m_fTime(0.0f), m_szString(nullptr), m_Token(0) {}
  void setChannel(uint32_t u) { m_uChannel = u; }
  void setIndex(uint32_t u) { m_uIndex = u; }
  void setTime(float f) { m_fTime = f; }
  void setToken(EEventAnimToken t) { m_Token = t; }
  void setString(const char* sz) { m_szString = sz; }

  uint32_t m_uChannel;
  uint32_t m_uIndex;
  float m_fTime;
  const char* m_szString;
  EEventAnimToken m_Token;
};

// The strings of one channel in one buffer, handed out in turn.
class EEventAnimTable {
public:
  EEventAnimTable() : m_pBuffer(nullptr), m_pEnd(nullptr), m_pNext(nullptr) {}
  ~EEventAnimTable();
  EEventAnimTable(const EEventAnimTable&) = delete;
  EEventAnimTable& operator=(const EEventAnimTable&) = delete;

  // False when the table runs past the data or holds no NUL.
  bool loadFromMemory(EEventAnimReader& file, uint32_t uVersion);
  // The next string; after the last one the first comes again.
  const char* getString();

private:
  char* m_pBuffer;
  char* m_pEnd;
  char* m_pNext;
};

struct EEventAnimKey {
  float getTime() const { return m_fFrame; }
  const char* getItem() const { return m_szText; }
  void setItem(const char* sz) { m_szText = sz; }

  float m_fFrame;
  float m_fValue;
  const char* m_szText;
};

class EEventAnimChannel {
public:
  EEventAnimChannel() : m_pTable(nullptr), m_uId(0), m_nKeys(0), m_fMaxFrame(0.0f), m_pKeyData(nullptr) {}
  ~EEventAnimChannel() { delete[] m_pKeyData; }
  EEventAnimChannel(const EEventAnimChannel&) = delete;
  EEventAnimChannel& operator=(const EEventAnimChannel&) = delete;

  void setId(uint32_t uId) { m_uId = uId; }
  void setEventTable(EEventAnimTable* pTable) { m_pTable = pTable; }
  bool loadFromMemory(EEventAnimReader& file, uint32_t uVersion);
  // Delivers the keys from cursor k whose frames lie below fFrame and gives
  // the new cursor (-1 when the channel had nothing left). When the
  // entity's handler refuses a key, *pRefused is set and the refused key's
  // index comes back, so that it is delivered again next time.
  int update(float fFrame, int k, EEntity* pEntity, bool bFire, bool* pRefused) const;
  float maxTime() const { return m_fMaxFrame / 30.0f; }
  uint32_t numKeys() const { return m_nKeys; }
  const EEventAnimKey& getKey(uint32_t i) const { return m_pKeyData[i]; }

private:
  EEventAnimTable* m_pTable;
  uint32_t m_uId;
  uint32_t m_nKeys;
  float m_fMaxFrame;
  EEventAnimKey* m_pKeyData;
};

class EEventAnim {
public:
  EEventAnim();
  ~EEventAnim();
  EEventAnim(const EEventAnim&) = delete;
  EEventAnim& operator=(const EEventAnim&) = delete;

  // Builds the track from a whole file in memory (the buffer stays the
  // caller's). False, traced and empty, for a file that is not a valid track.
  bool loadFromMemory(const void* pBuffer, uint32_t uSize);
  // Delivers the events due for one instance; true when every channel is
  // finished.
  bool update(EEventAnimInstance& instance, bool bFire) const;
  uint32_t numChannels() const { return m_nEventAnimChannels; }
  uint32_t numTables() const { return m_nTables; }
  const EEventAnimChannel& getChannel(uint32_t i) const { return m_pEventAnimChannels[i]; }

private:
  void Clear();

  uint32_t m_nEventObjects;
  uint32_t m_nTables;
  uint32_t m_nEventAnimChannels;
  EEventAnimChannel* m_pEventAnimChannels;
  EEventAnimTable* m_pEventAnimTables;
};
