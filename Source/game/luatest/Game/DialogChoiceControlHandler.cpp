#include "Game/DialogChoiceControlHandler.h"

EDialogChoiceControlHandler::EDialogChoiceControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {
  m_bRunWhenTimeStopped = true;
}

EDialogChoiceControlHandler::~EDialogChoiceControlHandler() {}

void EDialogChoiceControlHandler::HandleControls_Internal(Input&) {}
