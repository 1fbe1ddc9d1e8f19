// The knapsack: the player picks an item of his inventory.
#pragma once

#include "Game/ControlHandler.h"

class EPsackControlHandler : public EControlHandler {
public:
  explicit EPsackControlHandler(GameApp* pGameApp);
  ~EPsackControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_PSACK; }
  const char* Name() override { return "psack"; }
  void HandleControls_Internal(Input& in) override;
};
