#include "DebugServer/DebugManager.h"

#include "TWUtil/ErrorManager.h"

EDebugManager::EDebugManager() : m_bConnected(false) {}

EDebugManager::~EDebugManager() {}

bool EDebugManager::Init(bool) {
  STUBBED("debug server transport");
  return false;
}

void EDebugManager::Update() {}

void EDebugManager::SendEvent(int) {}

bool EDebugManager::HandleScriptError(const char*) {
  if (!m_bConnected) return false;
  STUBBED("breaking the script debugger on a script error");
  return false;
}

void EDebugManager::onInitLua() {}

void EDebugManager::onShutdownLua() {}

void EDebugManager::Shutdown(bool) { m_bConnected = false; }
