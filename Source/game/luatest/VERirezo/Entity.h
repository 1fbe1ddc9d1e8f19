// Entities: the game objects that live in domains. This is the part of the
// entity that the script host works with: identity, class records, the link
// to the script object and the life state.
#pragma once

#include <cstdint>

#include "TWMath/Vector.h"

class EDomain;
class EMesh;
class EScriptObject;

class EEntity {
public:
  // Class record: one static instance per entity class.
  struct EClassInfo {
    typedef EEntity* (*NewFn)(EDomain* pDomain, const char* szName);

    EClassInfo(const char* szName, int iType, const EClassInfo* pParent, NewFn fnNew);

    // The class of an entity type number (the first record of that type),
    // or null; -1 gives null.
    static const EClassInfo* Lookup(int iType);
    // The class registered under a name, or null.
    static const EClassInfo* Lookup(const char* szName);
    // The most recently registered record; the others follow along m_pNext.
    static const EClassInfo* GetHead() { return sm_pHead; }

    const char* m_szName;
    int m_iType;
    const EClassInfo* m_pParent;
    EClassInfo* m_pNext;
    NewFn m_fnNew;

    static EClassInfo* sm_pHead;
  };

  enum { kTRANSIENT_Simulated = 1 };

  EEntity(EDomain* pDomain, const char* szName);
  virtual ~EEntity();
  EEntity(const EEntity&) = delete;
  EEntity& operator=(const EEntity&) = delete;

  static const EClassInfo* StaticClass();
  virtual const EClassInfo* DynamicClass() const { return StaticClass(); }
  // True when the entity's class is pClass or, unless bExact, derives from it.
  bool IsA(const EClassInfo* pClass, bool bExact = false) const;
  virtual bool IsMeshEntity() const { return false; }

  const char* GetName() const { return m_szName; }
  // The absolute position (until entities have physics, the one last set).
  const EVec3& GetPosition() const { return m_vPosition; }
  void SetPosition(const EVec3& vPosition) { m_vPosition = vPosition; }
  EScriptObject* GetScriptObject() const { return m_pScriptObject; }
  void SetScriptObject(EScriptObject* pObject) { m_pScriptObject = pObject; }
  // Clears both links between the entity and its script object.
  void DetachScript();

  bool IsValid() const { return (m_uState & 3) != 2; }
  // Dead or being deleted.
  bool IsDead() const;
  // Marks the entity as being deleted (the first step of its deletion).
  void MarkDeleteRequested() { m_uState = (uint8_t)((m_uState & ~3) | 1); }

  bool GetEntityFlag(uint32_t uFlag) const { return (m_dwEntityFlags & uFlag) != 0; }
  uint32_t GetTransientFlag(uint32_t uFlag) const { return m_dwTransientFlags & uFlag; }
  void SetTransientFlag(uint32_t uFlag, bool bOn) {
    m_dwTransientFlags = bOn ? (m_dwTransientFlags | uFlag) : (m_dwTransientFlags & ~uFlag);
  }
  bool IsSimulationCulled() const { return !(m_dwTransientFlags & kTRANSIENT_Simulated); }

  // The id by which scripts name this entity.
  uint32_t GetScriptId() const { return m_uScriptId; }
  // The live entity of an id that scripts passed, or null for anything else
  // (a stale id, an id of another kind of object, a plain number).
  static EEntity* FromScriptId(uint32_t id);

protected:
  static EClassInfo sm_ClassInfo;

private:
  uint32_t m_dwEntityFlags;
  uint32_t m_dwTransientFlags;
  EScriptObject* m_pScriptObject;
  const EClassInfo* m_pClassInfo;
  char* m_szName;
  uint32_t m_uScriptId;
  uint8_t m_uState;
  EVec3 m_vPosition;
};

class EMeshEntity : public EEntity {
public:
  EMeshEntity(EDomain* pDomain, const char* szName) : EEntity(pDomain, szName), m_pMesh(nullptr) {}

  static const EClassInfo* StaticClass();
  const EClassInfo* DynamicClass() const override { return StaticClass(); }
  bool IsMeshEntity() const override { return true; }
  EMesh* GetMesh() const { return m_pMesh; }

private:
  EMesh* m_pMesh;

  static EClassInfo sm_ClassInfo;
};
