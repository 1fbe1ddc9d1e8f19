#include "Game/CanoeControlHandler.h"

ECanoeControlHandler::ECanoeControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ECanoeControlHandler::~ECanoeControlHandler() {}

void ECanoeControlHandler::HandleControls_Internal(Input&) {}
