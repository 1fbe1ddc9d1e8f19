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

private:
  bool m_bSetup;
};
