#include "Game/WallControlHandler.h"

EWallControlHandler::EWallControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EWallControlHandler::~EWallControlHandler() {}

void EWallControlHandler::HandleControls_Internal(Input&) {}
