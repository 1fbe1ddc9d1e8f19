// Action tables: the state machines of mesh entities, read from ".asd"
// text files. A table holds named states, an N x N table of transitions
// and the items of every transition's list, one list after another.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"

class EMemFile;
class EActionTable;
class EActionLineReader;

enum : int { INVALID_ACTION_STATE = -1 };

enum EActionItemKind : int32_t {
  kACTION_Empty = 0,
  kACTION_Anim = 1,
  kACTION_Goto = 2,
  kACTION_Lua = 3,
  kACTION_Yield = 4,
  kACTION_PhysicsFlag = 5,
  kACTION_Custom = 6,
  kACTION_Preload = 7,
  kACTION_End = 8,
};

// One item of a transition's list. Items live in the table's array and are
// built in place; the array frees what they own.
class EActionListItem {
public:
  EActionListItem();
  ~EActionListItem();
  EActionListItem(const EActionListItem&) = delete;
  EActionListItem& operator=(const EActionListItem&) = delete;

  int32_t m_iKind;
  union {
    int32_t m_iWord;  // -1 in every new item
    struct {
      char* m_szFile;
      float m_fBlendTime;
      int32_t m_iPriority;
      uint8_t m_uOptions;
    } m_Anim;
    struct {
      uint16_t m_uTarget;
    } m_Goto;
    struct {
      int32_t m_iRef;
    } m_Lua;
    struct {
      int32_t m_iStateFlag;
      uint32_t m_uMask;
      uint8_t m_bIsStateFlag;
      uint8_t m_uValue;
      uint8_t m_uAssert;
    } m_Flag;
    struct {
      int32_t m_iCustomKind;
      int32_t m_iArg;
      int32_t m_iArg2;
      float m_fWait;
      float m_fValue2;
    } m_Custom;
    struct {
      char* m_szFile;
      float m_fBias;
    } m_Preload;
  };

private:
  friend class EActionTable;
  // Parses one item at the reader; false when the data ended or the table
  // must be refused (the reason is traced).
  bool Read(EActionLineReader& reader, EActionTable& table);
  // Reads a script body; bFailed when it did not make a function.
  bool ReadLua(EActionLineReader& reader, bool& bFailed);
};

class EActionState {
public:
  EActionState() : m_szName(nullptr), m_bLocked(0) {}
  EActionState(const char* szName, bool bLocked);
  ~EActionState();
  EActionState(const EActionState&) = delete;
  EActionState& operator=(const EActionState&) = delete;

  char* m_szName;
  uint8_t m_bLocked;
};

// The position of an entity in a running list.
struct EActionPos {
  explicit EActionPos(EActionListItem* pItem = nullptr) : m_pItem(pItem), m_pData(nullptr), m_bInterrupted(false) {}
  EActionListItem* m_pItem;
  void* m_pData;  // the animation started by the item, or a wait's start time
  bool m_bInterrupted;
};

class EActionTable {
public:
  enum : uint16_t { kNO_TRANSITION = 0xFFFF, kLINK_BIT = 0x8000 };

  EActionTable();
  ~EActionTable();
  EActionTable(const EActionTable&) = delete;
  EActionTable& operator=(const EActionTable&) = delete;

  // Reads a whole file held in memory. False (traced) for a file that is
  // not an action file or is damaged; the table is then left empty.
  bool ReadActionTable(EMemFile& file);
  // Asks the animation cache to preload every animation the items name.
  void PreloadAnims();

  int GetNumStates() const { return m_aState.Num(); }
  int GetNumItems() const { return m_aItems.Num(); }
  const EActionListItem& GetItem(int i) const { return m_aItems[i]; }
  int GetItemIndex(const EActionListItem* pItem) const { return (int)(pItem - m_aItems.GetData()); }
  EActionState* GetState(int iIndex);
  const char* GetStateName(int iIndex);
  int GetStateIndex(const char* szName) const;
  bool IsValid(int iFrom, int iTo) const {
    return (uint16_t)iFrom < (unsigned)m_aState.Num() && (uint16_t)iTo < (unsigned)m_aState.Num();
  }
  uint16_t& TableRef(int iFrom, int iTo) { return m_pTable[(uint16_t)iFrom * m_aState.Num() + (uint16_t)iTo]; }
  EActionListItem* GetEntry(int iFrom, int iTo);
  EActionListItem* GetBeginStateEntry(int iState) { return GetEntry(m_iBeginState, iState); }
  EActionListItem* GetEndStateEntry(int iState) { return GetEntry(m_iEndState, iState); }
  int GetBeginState() const { return m_iBeginState; }
  int GetEndState() const { return m_iEndState; }

private:
  void Clear();
  bool ReadBody(EActionLineReader& reader);

  EArray<EActionState> m_aState;
  uint16_t* m_pTable;
  EArray<EActionListItem> m_aItems;
  int16_t m_iBeginState;
  int16_t m_iEndState;
};
