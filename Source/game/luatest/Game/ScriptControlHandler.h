// Script control: a level script reads the live controls.
#pragma once

#include "Game/ControlHandler.h"

class EScriptControlHandler : public EControlHandler {
public:
  explicit EScriptControlHandler(GameApp* pGameApp);
  ~EScriptControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_SCRIPT; }
  const char* Name() override { return "script"; }
  void HandleControls_Internal(Input& in) override;
};
