#include "Game/BallControlHandler.h"

EBallControlHandler::EBallControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EBallControlHandler::~EBallControlHandler() {}

void EBallControlHandler::HandleControls_Internal(Input&) {}
