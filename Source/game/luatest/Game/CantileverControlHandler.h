// Hanging from and swinging round a cantilever bar.
#pragma once

#include "Game/ControlHandler.h"

class ECantileverControlHandler : public EControlHandler {
public:
  explicit ECantileverControlHandler(GameApp* pGameApp);
  ~ECantileverControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_CANTILEVER; }
  const char* Name() override { return "cantilever"; }
  void HandleControls_Internal(Input& in) override;
};
