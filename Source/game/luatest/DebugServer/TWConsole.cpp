#include "DebugServer/TWConsole.h"

#include <cstdarg>
#include <cstdio>

#include "TWUtil/ErrorManager.h"

namespace {
bool s_bCreated = false;
ESceneManager* s_pSceneManager = nullptr;
unsigned s_dwDisplay = 0;
}  // namespace

void SingletonTWConsole::CreateConsole(ESceneManager* pSceneManager, unsigned dwDisplay) {
  if (s_bCreated) return;
  s_bCreated = true;
  s_pSceneManager = pSceneManager;
  s_dwDisplay = dwDisplay;
}

void SingletonTWConsole::ShutdownConsole() {
  s_bCreated = false;
  s_pSceneManager = nullptr;
  s_dwDisplay = 0;
}

bool SingletonTWConsole::Exists() { return s_bCreated; }

int SingletonTWConsole::AddString(const char* szText) {
  if (!szText || !*szText) return 0;
  EErrorManager::SafeOutputDebugString(szText);
  EErrorManager::SafeOutputDebugString("\n");
  return 1;
}

int SingletonTWConsole::AddStringf(const char* szFormat, ...) {
  char buf[1024];
  va_list args;
  va_start(args, szFormat);
  vsnprintf(buf, sizeof(buf), szFormat, args);
  va_end(args);
  return AddString(buf);
}

void SingletonTWConsole::StartLogFile() {
  if (!s_bCreated) return;
  STUBBED("console log file");
}

void SingletonTWConsole::StopLogFile() {
  if (!s_bCreated) return;
  STUBBED("console log file");
}
