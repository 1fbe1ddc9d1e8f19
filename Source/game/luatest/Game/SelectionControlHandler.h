// Selection: a script lets the player pick among entities.
#pragma once

#include "Game/ControlHandler.h"

class ESelectionControlHandler : public EControlHandler {
public:
  explicit ESelectionControlHandler(GameApp* pGameApp);
  ~ESelectionControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_SELECTION; }
  const char* Name() override { return "Selection"; }
  void HandleControls_Internal(Input& in) override;
};
