// The in-game menu (the journal) page.
#pragma once

class EInGamePage {
public:
  EInGamePage() {}
  // The journal shows its debug page.
  bool IsDebugMenuActive() const { return false; }
  void Frame() {}
  // Removes every journal goal of the goals sheet (no goals are kept yet).
  void JournalClearAllGoals() {}
};
