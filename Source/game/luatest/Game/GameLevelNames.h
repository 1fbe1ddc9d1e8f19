// Names derived from a requested level path, and the level pack's magic.
#pragma once

#include <cstddef>
#include <cstdint>

// "PPAK" read as a little-endian 32-bit word.
enum : uint32_t { kLEVEL_PACK_MAGIC = 0x4B415050u };

namespace levelnames {
// The file's base name without folder or extension, letters in upper case
// ("workresource\\levels\\cakc.plb" gives "CAKC").
void FullLevelName(const char* szPath, char* szOut, size_t size);
// The first four characters of the full name.
void LevelCode(const char* szFullName, char szCode[5]);
// "scripts/CA/CAKC.lua" and "ca.CAKC".
void LevelScriptPath(const char* szFullName, char* szOut, size_t size);
void LevelScriptClass(const char* szFullName, char* szOut, size_t size);
// Levels that never autosave when entered (any letter case).
bool AutosaveAllowedForCode(const char* szCode);
}  // namespace levelnames

// Set at the end of a level load; the next frame reads and clears it.
extern bool gbLevelJustLoaded;
