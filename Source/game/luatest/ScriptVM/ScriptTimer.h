// Script timers: a call of a method of a script object after a time, once
// or periodically, on the game's simulated clock.
#pragma once

#include <cstddef>
#include <cstdint>

class EScriptObject;
class EScriptVM;

class EScriptTimer {
public:
  enum { kFLAG_FireOnce = 0x01 };

  // Fires first after fTime seconds; periodically every fTime seconds
  // unless kFLAG_FireOnce is set. The name (or null) is copied.
  EScriptTimer(EScriptVM* pHost, EScriptObject* pObject, float fTime, uint16_t uId, unsigned uFlags,
               const char* szName);
  ~EScriptTimer();
  EScriptTimer(const EScriptTimer&) = delete;
  EScriptTimer& operator=(const EScriptTimer&) = delete;
  static void* operator new(size_t bytes);
  static void operator delete(void* p, size_t bytes);

  // The simulated game time in seconds; it stands still while the game is
  // paused.
  static double GetCurrentTimerTime();
  double GetTimeLeftSecs() const { return m_dFireTime - GetCurrentTimerTime(); }
  EScriptObject* GetScript() const { return m_pObject; }
  uint16_t GetId() const { return m_uId; }
  const char* GetName() const { return m_szName; }
  double GetFireTime() const { return m_dFireTime; }
  void SetFireTime(double dTime) { m_dFireTime = dTime; }
  float GetPeriod() const { return m_fPeriod; }
  // A dead object makes the timer inactive.
  void CleanupReferences();
  void Deactivate() { m_pObject = nullptr; }
  // The heap order: a fires strictly before b.
  static bool IsLessThan(EScriptTimer* const& a, EScriptTimer* const& b, void* pContext);

private:
  [[maybe_unused]] EScriptVM* m_pHost;
  EScriptObject* m_pObject;
  char* m_szName;
  double m_dFireTime;
  float m_fPeriod;
  uint16_t m_uId;
};
