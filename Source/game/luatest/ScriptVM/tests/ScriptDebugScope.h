// Test helpers: an application with a debug manager (the script host's
// reports go to the debugger only while one exists) and the output console.
#pragma once

#include "DebugServer/DebugManager.h"
#include "DebugServer/TWConsole.h"
#include "Game/PCGameApp.h"

class ScopedDebugManager {
public:
  ScopedDebugManager() : m_pApp(new PCGameApp()), m_pPrev(gGameApp) {
    gGameApp = m_pApp;
    m_pApp->m_pDebugManager = &m_DebugManager;
  }
  ~ScopedDebugManager() {
    m_pApp->m_pDebugManager = nullptr;
    delete m_pApp;
    gGameApp = m_pPrev;
  }
  ScopedDebugManager(const ScopedDebugManager&) = delete;
  ScopedDebugManager& operator=(const ScopedDebugManager&) = delete;

private:
  EDebugManager m_DebugManager;
  GameApp* m_pApp;
  GameApp* m_pPrev;
};

class ScopedConsole {
public:
  ScopedConsole() { SingletonTWConsole::CreateConsole(nullptr, 0); }
  ~ScopedConsole() { SingletonTWConsole::ShutdownConsole(); }
  ScopedConsole(const ScopedConsole&) = delete;
  ScopedConsole& operator=(const ScopedConsole&) = delete;
};
