#include "Game/RailControlHandler.h"

RailControlHandler::RailControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

RailControlHandler::~RailControlHandler() {}

void RailControlHandler::HandleControls_Internal(Input&) {}
