#include "Game/PoleControlHandler.h"

EPoleControlHandler::EPoleControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EPoleControlHandler::~EPoleControlHandler() {}

void EPoleControlHandler::HandleControls_Internal(Input&) {}
