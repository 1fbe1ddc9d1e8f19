// The HUD and its parts.
#pragma once

class EUserInterfaceManager {
public:
  EUserInterfaceManager() : m_bSetup(false) {}
  void Setup() { m_bSetup = true; }
  void Shutdown() { m_bSetup = false; }
  bool IsSetup() const { return m_bSetup; }
  void InitLevel() {}
  void Render() {}
  // The HUD's frame while a menu owns the screen.
  void PauseModeFrame() {}
  void CleanupReferences() {}
  // Resets the HUD's programmable (quick-pick) buttons, when the HUD exists.
  void ResetProgrammableButtons() {}
  // Opens the inventory screen.
  void DisplayInventory(bool, bool) { ++m_nInventoryShown; }
  int GetNumInventoryShown() const { return m_nInventoryShown; }
  // The end-of-demo screen is up.
  bool IsShowingEndDemo() const { return m_bShowingEndDemo; }
  bool m_bShowingEndDemo = false;

private:
  bool m_bSetup;
  int m_nInventoryShown = 0;
};
