// Paddling the canoe.
#pragma once

#include "Game/ControlHandler.h"

class ECanoeControlHandler : public EControlHandler {
public:
  explicit ECanoeControlHandler(GameApp* pGameApp);
  ~ECanoeControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_CANOE; }
  const char* Name() override { return "canoe"; }
  void HandleControls_Internal(Input& in) override;
};
