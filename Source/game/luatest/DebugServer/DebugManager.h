// The debug server that a remote script debugger connects to.
#pragma once

class EDebugManager {
public:
  EDebugManager();
  ~EDebugManager();

  // Opens the server; false when it cannot run.
  bool Init(bool bWaitForConnect);
  void Update();
  bool Connected() const { return m_bConnected; }
  void SendEvent(int iEvent);
  // Offers a script error to the attached debugger (null: the string on top
  // of the script host's stack). True when the debugger took it and broke
  // execution; false without a debugger or with breaking on errors off.
  bool HandleScriptError(const char* szText);
  void onInitLua();
  void onShutdownLua();
  void Shutdown(bool bNow);

private:
  bool m_bConnected;
};
