#include "VERirezo/FreezeManager.h"

void EFreezeManager::ProcessFrame(float) {}

void EFreezeManager::CleanupReferences() {}
