#include "Game/BubbleControlHandler.h"

int EBubbleControlHandler::sm_aQuickPickPower[kQUICKPICK_NUM] = {0, 0, 0};

EBubbleControlHandler::EBubbleControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {
  m_bRunWhenTimeStopped = true;
}

EBubbleControlHandler::~EBubbleControlHandler() {}

void EBubbleControlHandler::HandleControls_Internal(Input&) {}

int EBubbleControlHandler::GetQuickPickPower(QUICKPICK eSlot) {
  if ((unsigned)eSlot >= (unsigned)kQUICKPICK_NUM) return 0;
  return sm_aQuickPickPower[eSlot];
}

void EBubbleControlHandler::SetQuickPickPower(QUICKPICK eSlot, int iPower) {
  if ((unsigned)eSlot >= (unsigned)kQUICKPICK_NUM) return;
  sm_aQuickPickPower[eSlot] = iPower;
}
