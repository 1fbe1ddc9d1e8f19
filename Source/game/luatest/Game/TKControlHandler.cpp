#include "Game/TKControlHandler.h"

ETKControlHandler::ETKControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ETKControlHandler::~ETKControlHandler() {}

void ETKControlHandler::HandleControls_Internal(Input&) {}
