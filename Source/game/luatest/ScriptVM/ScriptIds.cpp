#include "ScriptVM/ScriptIds.h"

uint32_t EScriptIdTable::Add(void* p) {
  int slot = m_iFirstFree;
  if (slot >= 0) {
    m_iFirstFree = (int)m_Slots[slot].id - 1;
  } else {
    if ((uint32_t)m_Slots.Num() >= kMAX_SLOTS) return 0;
    slot = m_Slots.Add();
  }
  uint32_t serial = m_uNextSerial;
  m_uNextSerial = serial >= kLAST_SERIAL ? kFIRST_SERIAL : serial + 1;
  uint32_t id = m_uKind | (serial << 16) | (uint32_t)slot;
  m_Slots[slot].p = p;
  m_Slots[slot].id = id;
  ++m_iLive;
  return id;
}

void EScriptIdTable::Remove(uint32_t id) {
  if (!Find(id)) return;
  int slot = (int)(id & 0xFFFF);
  m_Slots[slot].p = nullptr;
  m_Slots[slot].id = (uint32_t)(m_iFirstFree + 1);
  m_iFirstFree = slot;
  if (--m_iLive == 0) {
    // Nothing is live: give the storage back.
    m_Slots.Empty();
    m_iFirstFree = -1;
  }
}

void* EScriptIdTable::Find(uint32_t id) const {
  if ((id & 0x80000000u) != m_uKind || (id & 0x40000000u)) return nullptr;
  int slot = (int)(id & 0xFFFF);
  if (slot >= m_Slots.Num()) return nullptr;
  const Slot& s = m_Slots[slot];
  return (s.p && s.id == id) ? s.p : nullptr;
}
