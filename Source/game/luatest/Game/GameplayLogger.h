// The gameplay logger: records of play events (a four-character type code
// and typed fields) handed to the logger's output. Until an output exists
// the base writes nothing; the application installs a logger when gameplay
// logging is on.
#pragma once

#include <cstdint>

class EEntity;

class EGameplayLoggerBase {
public:
  virtual ~EGameplayLoggerBase() {}
  virtual void LogStart(uint32_t uType) { (void)uType; }
  virtual void LogWrite(const char* szText, bool bUnused) { (void)szText, (void)bUnused; }
  virtual void LogWrite(float fValue) { (void)fValue; }
  virtual void LogWrite(EEntity* pEntity) { (void)pEntity; }
  virtual void LogEnd() {}
};

// The logger in use, or null.
extern EGameplayLoggerBase* g_pGameplayLogger;
