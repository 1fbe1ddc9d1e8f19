// Climbing a climbable wall.
#pragma once

#include "Game/ControlHandler.h"

class EWallControlHandler : public EControlHandler {
public:
  explicit EWallControlHandler(GameApp* pGameApp);
  ~EWallControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_WALL; }
  const char* Name() override { return "wall"; }
  void HandleControls_Internal(Input& in) override;
};
