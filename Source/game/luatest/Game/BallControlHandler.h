// The levitation ball: the player rolls and jumps on his thought bubble.
#pragma once

#include "Game/ControlHandler.h"

class EBallControlHandler : public EControlHandler {
public:
  explicit EBallControlHandler(GameApp* pGameApp);
  ~EBallControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_BALL; }
  const char* Name() override { return "ball"; }
  void HandleControls_Internal(Input& in) override;
};
