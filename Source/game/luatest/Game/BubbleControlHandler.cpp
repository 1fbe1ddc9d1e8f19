#include "Game/BubbleControlHandler.h"

int EBubbleControlHandler::sm_aQuickPickPower[kQUICKPICK_NUM] = {0, 0, 0};

int EBubbleControlHandler::GetQuickPickPower(QUICKPICK eSlot) {
  if ((unsigned)eSlot >= (unsigned)kQUICKPICK_NUM) return 0;
  return sm_aQuickPickPower[eSlot];
}

void EBubbleControlHandler::SetQuickPickPower(QUICKPICK eSlot, int iPower) {
  if ((unsigned)eSlot >= (unsigned)kQUICKPICK_NUM) return;
  sm_aQuickPickPower[eSlot] = iPower;
}
