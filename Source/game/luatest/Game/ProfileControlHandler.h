// The front end's profile screens.
#pragma once

#include "Game/ControlHandler.h"

class EProfileControlHandler : public EControlHandler {
public:
  explicit EProfileControlHandler(GameApp* pGameApp);
  ~EProfileControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_PROFILE; }
  const char* Name() override { return "profiles"; }
  void HandleControls_Internal(Input& in) override;
  // Start-up of the mode's assets, once after the handler is built.
  void Startup() {}
};
