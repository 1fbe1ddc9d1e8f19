#include "NonTW/IAUDEng/IAUDEffectSlotController.h"

#include <cstring>

#include "NonTW/AudioDrv/AudioIAUD.h"

const _GUID IAUDSlotController::m_guidFXSlotDefault[32] = {
    {0x0CF95C8F, 0xA3CC, 0x4849, {0xB0, 0xB6, 0x83, 0x2E, 0xCC, 0x18, 0x22, 0xDF}},
    {0xDE6D6FE0, 0xAC79, 0x11D2, {0x88, 0xDD, 0x00, 0xA0, 0x24, 0xD1, 0x3C, 0xE1}},
};

IAUDSlotController::IAUDSlotController() {
  if (!m_pRenderInterface) return;
  long count = m_pRenderInterface->GetTotalSlotCount();
  m_dwSlotCount = count < 0 ? 0u : count > 32 ? 32u : (uint32_t)count;
}

long IAUDSlotController::ResetSlotState(long slot) {
  IAUDRenderInterface* ri = m_pRenderInterface;
  if (!ri || slot < 0 || slot >= 32) return 0;
  ri->SetSlotEffect(slot, m_guidFXSlotDefault[slot]);
  ri->SetSlotLevel(slot, 1.0f, 0);
  ri->SetSlotFlags(slot, 1, 0);
  return 0;
}

long IAUDSlotController::SetEAX(long slot, unsigned long property, void* data, unsigned long size) {
  if (m_pRenderInterface) m_pRenderInterface->SetSlotEAX(slot, property, data, size);
  return 0;
}

long IAUDSlotController::GetEAX(long slot, unsigned long property, void* data, unsigned long size) {
  if (m_pRenderInterface) m_pRenderInterface->GetSlotEAX(slot, property, data, size);
  return 0;
}

long IAUDSlotController::SetSlotLevel(long slot, float level, unsigned long deferral) {
  if (m_pRenderInterface) m_pRenderInterface->SetSlotLevel(slot, level, deferral);
  return 0;
}

long IAUDSlotController::SetSlotFlags(long slot, unsigned long flags, unsigned long deferral) {
  if (m_pRenderInterface) m_pRenderInterface->SetSlotFlags(slot, flags, deferral);
  return 0;
}

long IAUDSlotController::SetSlotEffect(long slot, const _GUID& effect) {
  if (m_pRenderInterface) m_pRenderInterface->SetSlotEffect(slot, effect);
  return 0;
}

long IAUDSlotController::GetSlotLevel(long slot, float* level) {
  if (m_pRenderInterface) m_pRenderInterface->GetSlotLevel(slot, level);
  return 0;
}

long IAUDSlotController::GetSlotFlags(long slot, unsigned long* flags) {
  if (m_pRenderInterface) m_pRenderInterface->GetSlotFlags(slot, flags);
  return 0;
}

long IAUDSlotController::GetSlotEffect(long slot, _GUID* effect) {
  if (m_pRenderInterface)
    m_pRenderInterface->GetSlotEffect(slot, effect);
  else if (effect)
    std::memset(effect, 0, sizeof(*effect));
  return 0;
}

long IAUDSlotController::SetSlotEffectParameter(long slot, long parameter, void* data, unsigned long size,
                                                unsigned long deferral) {
  if (m_pRenderInterface) m_pRenderInterface->SetSlotEffectParameter(slot, parameter, data, size, deferral);
  return 0;
}

long IAUDSlotController::GetSlotEffectParameter(long slot, long parameter, void* data, unsigned long size) {
  if (m_pRenderInterface) m_pRenderInterface->GetSlotEffectParameter(slot, parameter, data, size);
  return 0;
}
