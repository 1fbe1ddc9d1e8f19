#include "Game/ScriptControlHandler.h"

EScriptControlHandler::EScriptControlHandler(GameApp* pGameApp) : EControlHandler(pGameApp) {}

EScriptControlHandler::~EScriptControlHandler() {}

void EScriptControlHandler::HandleControls_Internal(Input&) {}
