#include "Game/PsackControlHandler.h"

EPsackControlHandler::EPsackControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EPsackControlHandler::~EPsackControlHandler() {}

void EPsackControlHandler::HandleControls_Internal(Input&) {}
