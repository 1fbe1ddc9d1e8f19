// The figment viewer.
#pragma once

#include "Game/ControlHandler.h"

class EFigmentControlHandler : public EControlHandler {
public:
  explicit EFigmentControlHandler(GameApp* pGameApp);
  ~EFigmentControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_FIGMENT; }
  void HandleControls_Internal(Input& in) override;
};
