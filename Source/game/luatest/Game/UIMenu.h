// The menu manager, and the message and tutorial boxes that take the input
// while they are shown.
#pragma once

#include "Game/UIIngameMenu/InGamePage.h"
#include "TWMath/BoundingBox.h"
#include "TWUtil/Array.h"

class Input;

class EUIMenu {
public:
  EUIMenu() : m_iMenuMode(0), m_fAcceptLockout(0.0f), m_bMouseOverBox(false), m_bLevelMenuEnabled(true) {}

  // Starts the menus on the named page ("MainMenu" or "LevelMenu").
  void StartUp(const char* szPage);
  void Shutdown();
  void DisableLevelMenu() { m_bLevelMenuEnabled = false; }
  bool IsLevelMenuEnabled() const { return m_bLevelMenuEnabled; }
  const char* GetStartPage() const { return m_szStartPage; }

  EInGamePage* GetInGameMenu() { return &m_InGamePage; }
  // Opens the in-game menu on the given sheet.
  void ShowInGame(int iSheet);
  bool IsShowingMap() const { return false; }
  // The menus take the input; true when they used it.
  bool Handle_Controls(Input* pInput);
  void DrawMenus();
  void DrawMouseCursor(unsigned hTexture);
  void OffScreenRender(Input* pInput);
  void TickAttractMode();
  // Resets the selection of the in-game page and of the main page.
  void ResetAllMenuSelection() { ResetMouseOverSelections(); }

  // True while the journal (1) or the quick menu (2) is open.
  bool IsInGameMenuActive() const { return m_iMenuMode != 0; }
  // Opens the in-game menu (the journal) or closes it.
  void ToggleInGameMenu() { m_iMenuMode = m_iMenuMode ? 0 : 1; }
  // Back to the start page with every menu closed.
  void ReInit() {
    m_iMenuMode = 0;
    ++m_nReInits;
  }
  int GetNumReInits() const { return m_nReInits; }
  // The page of the name; only the in-game page ("InGameMenu") exists.
  EInGamePage* FindPage(const char* szName);

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
  bool m_bLevelMenuEnabled;
  const char* m_szStartPage = nullptr;
  int m_nReInits = 0;
  EInGamePage m_InGamePage;
};

// Per-language layout values of the menus.
class ELanguageInfo {
public:
  ELanguageInfo() {}
  // Pixels between two glyphs of a font: 3 in English, else 2.
  static int GetFontKerningLength();
  // Pixels on each side of an inline icon.
  static int GetFontIconSpacing(bool bLong) { return bLong ? 19 : 16; }
};

// A hit box that a page registers while it draws; bFirst lets it be
// registered while a message or tutorial box is open.
struct EMenuBox {
  EBox2 m_Box;
  bool m_bFirst = false;
};
// The hit boxes registered this frame, filled as text is drawn.
EArray<EMenuBox>& GetMenuHitBoxes();

class EMessageBoxManager {
public:
  enum { kMAX_BOXES = 8, kRESULT_NONE = 7 };
  typedef void (*Callback)(int iResult);

  EMessageBoxManager() : m_iNumBoxes(0), m_iNextId(0) {}
  // True while at least one box is open.
  bool IsMessageBoxActive() const { return m_iNumBoxes > 0; }
  void Handle_controls(Input*) {}
  void RenderAll() {}

  // Opens a modal box showing the text; its id, or -1 when no box is free.
  int AddMessageBox(const char* szText, unsigned dwStyle, Callback pfnCallback, bool bUnused);
  // The answer of the box with the id; 7 while it is unanswered and for an
  // id that no box has. The box's text goes to szText (1024 bytes) when
  // given.
  int GetMsgBoxResult(int id, char* szText);
  // The player's answer closes the box and goes to its callback.
  void AnswerMessageBox(int id, int iResult);

private:
  struct Box {
    int id;
    int result;
    bool open;
    Callback callback;
    char text[1024];
  };
  Box* FindBox(int id);

  int m_iNumBoxes;
  int m_iNextId;
  Box m_aBoxes[kMAX_BOXES] = {};
};

class ETutorialBoxManager {
public:
  ETutorialBoxManager() : m_iNumBoxes(0) {}
  // True while at least one box is open.
  bool IsActive() const { return m_iNumBoxes > 0; }
  void Handle_Controls(Input*) {}
  void RenderAll() {}

private:
  int m_iNumBoxes;
};
