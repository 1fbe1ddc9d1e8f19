// Balancing along a tightrope.
#pragma once

#include "Game/ControlHandler.h"

class ETightropeControlHandler : public EControlHandler {
public:
  explicit ETightropeControlHandler(GameApp* pGameApp);
  ~ETightropeControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_TIGHTROPE2; }
  const char* Name() override { return "Tightrope"; }
  void HandleControls_Internal(Input& in) override;
};
