#include "Game/MenuControlHandler.h"

EMenuControlHandler::EMenuControlHandler(GameApp* pGameApp) : EPlayerControlHandler(pGameApp) {}

EMenuControlHandler::~EMenuControlHandler() {}
