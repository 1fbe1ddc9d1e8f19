// The on-foot mode: the player walks, jumps and fights.
#pragma once

#include "Game/ControlHandler.h"

class EPlayerControlHandler : public EControlHandler {
public:
  explicit EPlayerControlHandler(GameApp* pGameApp);
  ~EPlayerControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_PLAYER; }
  const char* Name() override { return "player"; }
  void HandleControls_Internal(Input& in) override;
};
