// Telekinesis: the player steers the claw that grabs and throws.
#pragma once

#include "Game/ControlHandler.h"

class ETKControlHandler : public EControlHandler {
public:
  explicit ETKControlHandler(GameApp* pGameApp);
  ~ETKControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_TELEKINESIS; }
  const char* Name() override { return "Telekinesis"; }
  void HandleControls_Internal(Input& in) override;
};
