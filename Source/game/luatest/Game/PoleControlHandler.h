// Climbing and swinging round a pole.
#pragma once

#include "Game/ControlHandler.h"

class EPoleControlHandler : public EControlHandler {
public:
  explicit EPoleControlHandler(GameApp* pGameApp);
  ~EPoleControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_POLE; }
  const char* Name() override { return "pole"; }
  void HandleControls_Internal(Input& in) override;
};
