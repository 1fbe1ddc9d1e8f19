// The power-selection bubble's quick picks: the three buttons that hold a
// psychic power each.
#pragma once

enum QUICKPICK {
  kQUICKPICK_0 = 0,
  kQUICKPICK_1 = 1,
  kQUICKPICK_2 = 2,
  kQUICKPICK_NUM = 3,
};

class EBubbleControlHandler {
public:
  // The power (an EPsiPower value) stored on the quick pick; 0 before any
  // was stored.
  static int GetQuickPickPower(QUICKPICK eSlot);
  static void SetQuickPickPower(QUICKPICK eSlot, int iPower);

private:
  static int sm_aQuickPickPower[kQUICKPICK_NUM];
};
