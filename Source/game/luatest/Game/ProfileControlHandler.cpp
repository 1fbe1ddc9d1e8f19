#include "Game/ProfileControlHandler.h"

EProfileControlHandler::EProfileControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EProfileControlHandler::~EProfileControlHandler() {}

void EProfileControlHandler::HandleControls_Internal(Input&) {}
