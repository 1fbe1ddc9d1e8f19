#include "Game/SlideshowControlHandler.h"

ESlideshowControlHandler::ESlideshowControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {
  m_bRunWhenTimeStopped = true;
}

ESlideshowControlHandler::~ESlideshowControlHandler() {}

void ESlideshowControlHandler::HandleControls_Internal(Input&) {}
