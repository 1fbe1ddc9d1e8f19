#include "Game/TrapezeControlHandler.h"

ETrapezeControlHandler::ETrapezeControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ETrapezeControlHandler::~ETrapezeControlHandler() {}

void ETrapezeControlHandler::HandleControls_Internal(Input&) {}
