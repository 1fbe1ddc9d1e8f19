#include "Game/CantileverControlHandler.h"

ECantileverControlHandler::ECantileverControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ECantileverControlHandler::~ECantileverControlHandler() {}

void ECantileverControlHandler::HandleControls_Internal(Input&) {}
