#include "Game/UIMenu.h"

// No page registers hit boxes yet, so the pointer is over none.
void EUIMenu::UpdateMouseSelection() { m_bMouseOverBox = false; }

void EUIMenu::ResetMouseOverSelections() {}

void EUIMenu::EmptyMouseOverBoxes() {}

void EUIMenu::StartUp(const char* szPage) { m_szStartPage = szPage; }

void EUIMenu::Shutdown() { m_iMenuMode = 0; }

void EUIMenu::ShowInGame(int) {}

bool EUIMenu::Handle_Controls(Input*) { return false; }

void EUIMenu::DrawMenus() {}

void EUIMenu::DrawMouseCursor(unsigned) {}

void EUIMenu::OffScreenRender(Input*) {}

void EUIMenu::TickAttractMode() {}
