// The dialogue choice: the player picks a line to say.
#pragma once

#include "Game/ControlHandler.h"

class EDialogChoiceControlHandler : public EControlHandler {
public:
  explicit EDialogChoiceControlHandler(GameApp* pGameApp);
  ~EDialogChoiceControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_DIALOGCHOICE; }
  const char* Name() override { return "DialogBubble"; }
  void HandleControls_Internal(Input& in) override;
};
