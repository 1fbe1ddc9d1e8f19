// Script objects: the engine side of the Lua table that stands for one game
// object (the level script, the player, every scripted prop).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "Lua/lua.h"
#include "TWUtil/List.h"
#include "TWUtil/Timing.h"
#include "VERirezo/Entity.h"

class EMeshEntity;
class EScriptVM;
class EString;
struct EScriptMessage;
template <class T> class EArray;
enum SCRIPT_STATE_MESSAGE : int;

class EScriptObject {
public:
  enum {
    kFLAG_BeingRemoved = 0x01,
    kFLAG_NoState = 0x04,
    kFLAG_Protected = 0x08,
    kFLAG_GoesWithLevel = 0x10,
    kFLAG_Paused = 0x20,
  };
  enum { kDELETE_Live = 0, kDELETE_Released = 1, kDELETE_Destroyed = 2 };

  EScriptObject();
  ~EScriptObject();
  EScriptObject(const EScriptObject&) = delete;
  static void* operator new(size_t bytes);
  static void operator delete(void* p, size_t bytes);
  EScriptObject& operator=(const EScriptObject&) = delete;

  // The table's Name (valid while the table holds it), or null.
  const char* GetName() const;
  const char* DebugGetName() const { return m_szName; }
  void SetName(const char* szName);
  // The table's address.
  const void* GetLuaObj() const;
  // Pushes the object's table (nil when its reference is gone); true when a
  // table was pushed.
  bool PushTable(lua_State* L) const;
  int GetTableRef() const { return m_hObject; }
  // The id value that stands for this object in its table.
  uint32_t GetScriptId() const { return m_uScriptId; }
  static EScriptObject* FromScriptId(uint32_t id);

  bool IsA(const char* szClass);
  // The entity class that the table's EntityType names (a type number or a
  // class name); the mesh-entity class when it names none that exists, null
  // for the number -1.
  const EEntity::EClassInfo* GetEntityClass() const;
  EEntity* GetEntity() const { return m_pEntity; }
  void SetEntity(EEntity* pEntity) { m_pEntity = pEntity; }
  bool AttachToEntity(EEntity* pEntity);
  bool DetachFromEntity();
  EMeshEntity* GetMeshEntity() const;
  // Body of the native APISetState: arguments (table, state) on the stack.
  void SetState(lua_State* L);
  bool HasFunction(const char* szName);
  bool CanHandleMessage(const char* szMessage);
  // Releases the table reference (first step of deletion).
  void DelayedDelete();
  void CleanupReferences();
  bool IsBeingRemoved() const { return (m_uFlags & kFLAG_BeingRemoved) != 0; }
  bool IsDead() const { return m_uDeletionState != kDELETE_Live; }
  bool IsProtected() const { return (m_uFlags & kFLAG_Protected) != 0; }
  bool HasNoState() const { return (m_uFlags & kFLAG_NoState) != 0; }
  bool IsPaused() const { return (m_uFlags & kFLAG_Paused) != 0; }
  void SetPaused(bool bPaused) { SetFlag(kFLAG_Paused, bPaused); }
  bool GoesWithLevel() const { return (m_uFlags & kFLAG_GoesWithLevel) != 0; }
  uint8_t GetFlags() const { return m_uFlags; }
  void SetFlag(uint8_t uFlag, bool bOn) { m_uFlags = bOn ? (uint8_t)(m_uFlags | uFlag) : (uint8_t)(m_uFlags & ~uFlag); }
  int GetThreadIndex() const { return m_threadIndex; }
  void SetThreadIndex(int iIndex) { m_threadIndex = (uint8_t)iIndex; }
  // Appends ":" + Type for each ancestor class, root first.
  void DebugAppendClassPath(class EString& sPath);

  bool CallMethodf(const char* szMethod, const char* szFormat, ...);
  bool CallMethodv(const char* szMethod, const char* szFormat, va_list args);

  // Table access below this object's table (dotted paths); integers are
  // stored as numbers.
  bool GetTableValue(const char* szPath, float& fValue) const;
  bool GetTableValue(const char* szPath, int& iValue) const;
  bool GetTableValue(const char* szPath, const char*& szValue) const;
  bool GetTableValue(const char* szPath, EScriptObject*& pValue) const;
  bool SetTableValue(const char* szPath, float fValue) const;
  bool SetTableValue(const char* szPath, int iValue) const;
  bool SetTableValue(const char* szPath, const char* szValue) const;
  bool SetTableValue(const char* szPath, EScriptObject* pValue) const;
  // The saved-state text of the listed tables below this object's table.
  void TableWriteToFile(EArray<EString>* pLines, int& hSig, EList<char*>* pNames, const char* szSeparator);
  void GetScriptNamesFromTable(EArray<EString>* pOut, const char* szName, const char* szMatch);

  EHistoryScalar& GetRunTimeHistory() { return m_RunTimeHistory; }
  float GetLastRunTime() const { return m_fLastRunTime; }
  void SetLastRunTime(float fSeconds) { m_fLastRunTime = fSeconds; }
  uint8_t GetStateMessagesSent() const { return m_uStateMessagesSent; }
  void SetStateMessagesSent(uint8_t uMask) { m_uStateMessagesSent = uMask; }
  EList<EScriptMessage*>& GetMessageQueue() { return m_MessageQueue; }

  // ---- Messages (this object is the receiver) ----
  // Letters and arguments as for EScriptMessage; priority 1 delivers at
  // once, any other value at the object's next turn.
  void SendMessagef(const char* szName, EScriptObject* pSender, int iPriority, const char* szLetters, ...);
  // A message with one text argument.
  void SendMessage(const char* szName, EScriptObject* pSender, const char* szArg, int iPriority);
  // Delivers the queued messages, oldest first.
  void ProcessMessages(lua_State* L);
  void SendStateMessage(SCRIPT_STATE_MESSAGE eMessage);
  // The state messages an object made after the level started has missed.
  void SendUnsentStateMessages();
  // Frees the queued messages unsent.
  void FreeMessages();

private:
  friend class EScriptVM;

  EEntity* m_pEntity;
  EList<EScriptMessage*> m_MessageQueue;
  EHistoryScalar m_RunTimeHistory;
  float m_fLastRunTime;
  uint8_t m_uFlags;
  uint8_t m_uStateMessagesSent;
  uint8_t m_uDeletionState;
  uint8_t m_threadIndex;
  // Interpreter reference of the table; 0 once released. An int: a short
  // would run out at 32767 objects.
  int m_hObject;
  char* m_szName;
  uint32_t m_uScriptId;
};

// A reference to a script object's table that lets the table be collected.
class EScriptObjectSoftReference {
public:
  EScriptObjectSoftReference() : m_iRef(-1) {}
  ~EScriptObjectSoftReference() { Release(); }
  EScriptObjectSoftReference(const EScriptObjectSoftReference&) = delete;
  EScriptObjectSoftReference& operator=(const EScriptObjectSoftReference&) = delete;

  EScriptObject* Find(const char* szName);
  void Release();
  int GetRef() const { return m_iRef; }

private:
  int m_iRef;
};
