#include "Game/GameplayLogger.h"

EGameplayLoggerBase* g_pGameplayLogger = nullptr;
