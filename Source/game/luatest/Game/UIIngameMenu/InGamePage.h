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
  // The next opening of the in-game menu shows the journal.
  void SetForceJournal(bool bForce) { m_bForceJournal = bForce; }
  bool GetForceJournal() const { return m_bForceJournal; }

private:
  bool m_bForceJournal = false;
  EScrapBookSheet m_ScrapbookSheet;
};
