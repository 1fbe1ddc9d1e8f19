// The power-selection bubble: the radial menu of psychic powers and
// inventory items, and the quick picks, the three buttons that hold a power
// each. It runs while the world stands still.
#pragma once

#include "Game/ControlHandler.h"

enum QUICKPICK {
  kQUICKPICK_0 = 0,
  kQUICKPICK_1 = 1,
  kQUICKPICK_2 = 2,
  kQUICKPICK_NUM = 3,
};

class EBubbleControlHandler : public EControlHandler {
public:
  explicit EBubbleControlHandler(GameApp* pGameApp);
  ~EBubbleControlHandler() override;
  CONTROL_HANDLER_TYPE Type() override { return kCONTROL_BUBBLE; }
  const char* Name() override { return "bubble"; }
  void HandleControls_Internal(Input& in) override;
  // Builds the inventory wheel's layouts, once after the handler is built.
  void InitializeInventory() {}

  // The power (an EPsiPower value) stored on the quick pick; 0 before any
  // was stored.
  static int GetQuickPickPower(QUICKPICK eSlot);
  static void SetQuickPickPower(QUICKPICK eSlot, int iPower);

private:
  static int sm_aQuickPickPower[kQUICKPICK_NUM];
};
