#include "Game/PlayerControlHandler.h"

EPlayerControlHandler::EPlayerControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EPlayerControlHandler::~EPlayerControlHandler() {}

void EPlayerControlHandler::HandleControls_Internal(Input&) {}
