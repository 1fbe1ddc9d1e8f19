// The menu manager, and the message and tutorial boxes that take the input
// while they are shown.
#pragma once

class EUIMenu {
public:
  EUIMenu() : m_iMenuMode(0), m_fAcceptLockout(0.0f), m_bMouseOverBox(false) {}

  // True while the journal (1) or the quick menu (2) is open.
  bool IsInGameMenuActive() const { return m_iMenuMode != 0; }

  // While above 0 (ms) the menus ignore accept, back and start.
  float GetAcceptLockout() const { return m_fAcceptLockout; }
  void SetAcceptLockout(float ms) { m_fAcceptLockout = ms; }

  // Mouse hover over the hit boxes that pages register while they draw.
  bool IsMouseOverBox() const { return m_bMouseOverBox; }
  void UpdateMouseSelection();
  void ResetMouseOverSelections();
  void EmptyMouseOverBoxes();

private:
  int m_iMenuMode;
  float m_fAcceptLockout;
  bool m_bMouseOverBox;
};

class EMessageBoxManager {
public:
  EMessageBoxManager() : m_iNumBoxes(0) {}
  // True while at least one box is open.
  bool IsMessageBoxActive() const { return m_iNumBoxes > 0; }

private:
  int m_iNumBoxes;
};

class ETutorialBoxManager {
public:
  ETutorialBoxManager() : m_iNumBoxes(0) {}
  // True while at least one box is open.
  bool IsActive() const { return m_iNumBoxes > 0; }

private:
  int m_iNumBoxes;
};
