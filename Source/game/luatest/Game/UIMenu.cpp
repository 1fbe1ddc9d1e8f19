#include "Game/UIMenu.h"

#include <strings.h>

#include <cstdio>

// No page registers hit boxes yet, so the pointer is over none.
void EUIMenu::UpdateMouseSelection() { m_bMouseOverBox = false; }

void EUIMenu::ResetMouseOverSelections() {}

void EUIMenu::EmptyMouseOverBoxes() {}

void EUIMenu::StartUp(const char* szPage) { m_szStartPage = szPage; }

void EUIMenu::Shutdown() { m_iMenuMode = 0; }

void EUIMenu::ShowInGame(int) {}

bool EUIMenu::Handle_Controls(Input*) { return false; }

EInGamePage* EUIMenu::FindPage(const char* szName) {
  return szName && !strcasecmp(szName, "InGameMenu") ? &m_InGamePage : nullptr;
}

void EUIMenu::DrawMenus() {}

void EUIMenu::DrawMouseCursor(unsigned) {}

void EUIMenu::OffScreenRender(Input*) {}

void EUIMenu::TickAttractMode() {}

EMessageBoxManager::Box* EMessageBoxManager::FindBox(int id) {
  if (id < 0) return nullptr;
  for (Box& box : m_aBoxes) {
    if (box.id == id && (box.open || box.result != kRESULT_NONE)) return &box;
  }
  return nullptr;
}

int EMessageBoxManager::AddMessageBox(const char* szText, unsigned, Callback pfnCallback, bool) {
  for (Box& box : m_aBoxes) {
    if (box.open) continue;
    box.id = ++m_iNextId;
    box.result = kRESULT_NONE;
    box.open = true;
    box.callback = pfnCallback;
    snprintf(box.text, sizeof(box.text), "%s", szText ? szText : "");
    ++m_iNumBoxes;
    return box.id;
  }
  return -1;
}

int EMessageBoxManager::GetMsgBoxResult(int id, char* szText) {
  Box* box = FindBox(id);
  if (!box) return kRESULT_NONE;
  if (szText) snprintf(szText, sizeof(box->text), "%s", box->text);
  return box->open ? (int)kRESULT_NONE : box->result;
}

void EMessageBoxManager::AnswerMessageBox(int id, int iResult) {
  Box* box = FindBox(id);
  if (!box || !box->open) return;
  box->open = false;
  box->result = iResult;
  --m_iNumBoxes;
  if (box->callback) box->callback(iResult);
}
