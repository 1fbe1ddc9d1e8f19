// Swinging on a trapeze.
#pragma once

#include "Game/ControlHandler.h"

class ETrapezeControlHandler : public EControlHandler {
public:
  explicit ETrapezeControlHandler(GameApp* pGameApp);
  ~ETrapezeControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_TRAPEZE; }
  const char* Name() override { return "trapeze"; }
  void HandleControls_Internal(Input& in) override;
};
