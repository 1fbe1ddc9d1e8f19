#include "Game/UIMenu.h"

// No page registers hit boxes yet, so the pointer is over none.
void EUIMenu::UpdateMouseSelection() { m_bMouseOverBox = false; }

void EUIMenu::ResetMouseOverSelections() {}

void EUIMenu::EmptyMouseOverBoxes() {}
