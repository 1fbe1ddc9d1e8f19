#include "Game/SelectionControlHandler.h"

ESelectionControlHandler::ESelectionControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

ESelectionControlHandler::~ESelectionControlHandler() {}

void ESelectionControlHandler::HandleControls_Internal(Input&) {}
