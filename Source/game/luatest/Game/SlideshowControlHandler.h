// The slideshow of pictures between levels.
#pragma once

#include "Game/ControlHandler.h"

class ESlideshowControlHandler : public EControlHandler {
public:
  explicit ESlideshowControlHandler(GameApp* pGameApp);
  ~ESlideshowControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_SLIDESHOW; }
  void HandleControls_Internal(Input& in) override;
  // Start-up of the mode's assets, once after the handler is built.
  void Startup() {}
};
