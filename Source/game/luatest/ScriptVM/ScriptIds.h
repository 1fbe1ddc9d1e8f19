// Script-visible identities of engine objects. Scripts hold engine objects
// as 32-bit id values; an object's address does not fit in 32 bits here, so
// each kind of object hands out ids from a table of its own and every id a
// script passes back is looked up there, never dereferenced.
//
// Layout of an id: bit 31 the kind, bit 30 clear, bits 16 to 29 a serial
// (0x80 to 0x3FFF, so the id is never 0 or 1 and, read as a float, is
// neither a NaN, an infinity nor a denormal), bits 0 to 15 the slot.
#pragma once

#include <cstdint>

#include "TWUtil/Array.h"

class EScriptIdTable {
public:
  enum : uint32_t { kKIND_ScriptObject = 0, kKIND_Entity = 0x80000000u };

  explicit EScriptIdTable(uint32_t uKind) : m_Slots(kMEMTYPE_ScriptVM), m_uKind(uKind), m_iFirstFree(-1), m_uNextSerial(kFIRST_SERIAL), m_iLive(0) {}
  EScriptIdTable(const EScriptIdTable&) = delete;
  EScriptIdTable& operator=(const EScriptIdTable&) = delete;

  // A new id for p; 0 when all 65536 slots are taken.
  uint32_t Add(void* p);
  // Frees the id's slot; a stale or foreign id is ignored.
  void Remove(uint32_t id);
  // The object of a live id of this table, or null.
  void* Find(uint32_t id) const;
  int GetNumLive() const { return m_iLive; }

private:
  enum : uint32_t { kFIRST_SERIAL = 0x80, kLAST_SERIAL = 0x3FFF, kMAX_SLOTS = 0x10000 };
  struct Slot {
    void* p;         // null while free
    uint32_t id;     // the id of the occupant, or the next free slot + 1
  };
  EArray<Slot> m_Slots;
  uint32_t m_uKind;
  int m_iFirstFree;
  uint32_t m_uNextSerial;
  int m_iLive;
};
