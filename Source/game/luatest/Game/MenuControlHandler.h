// The in-game menu: on-foot controls with the menu open.
#pragma once

#include "Game/PlayerControlHandler.h"

class EMenuControlHandler : public EPlayerControlHandler {
public:
  explicit EMenuControlHandler(GameApp* pGameApp);
  ~EMenuControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_MENU; }
};
