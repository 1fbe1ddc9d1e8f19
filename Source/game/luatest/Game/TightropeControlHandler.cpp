#include "Game/TightropeControlHandler.h"

ETightropeControlHandler::ETightropeControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ETightropeControlHandler::~ETightropeControlHandler() {}

void ETightropeControlHandler::HandleControls_Internal(Input&) {}
