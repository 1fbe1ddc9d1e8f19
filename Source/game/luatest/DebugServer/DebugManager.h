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
  void onInitLua();
  void onShutdownLua();
  void Shutdown(bool bNow);

private:
  bool m_bConnected;
};
