#include "Game/FigmentControlHandler.h"

EFigmentControlHandler::EFigmentControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {
  m_bRunWhenTimeStopped = true;
}

EFigmentControlHandler::~EFigmentControlHandler() {}

void EFigmentControlHandler::HandleControls_Internal(Input&) {}
