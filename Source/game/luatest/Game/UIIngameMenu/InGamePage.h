// The in-game menu (the journal) page.
#pragma once

#include "Game/UIIngameMenu/ScrapBookSheet.h"

class EInGamePage {
public:
  EInGamePage() {}
  // The journal shows its debug page.
  bool IsDebugMenuActive() const { return false; }
  void Frame() {}
  // Removes every journal goal of the goals sheet (no goals are kept yet).
  void JournalClearAllGoals() {}
  EScrapBookSheet* GetScrapbookSheet() { return &m_ScrapbookSheet; }

private:
  EScrapBookSheet m_ScrapbookSheet;
};
