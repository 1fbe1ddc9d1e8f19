#include "Game/LadderControlHandler.h"

ELadderControlHandler::ELadderControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ELadderControlHandler::~ELadderControlHandler() {}

void ELadderControlHandler::HandleControls_Internal(Input&) {}
