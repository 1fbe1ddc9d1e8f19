// The runtime's names: strings of 16-bit units ending in a 0 unit.
#pragma once

#include <cstdint>

// Units before the 0 unit.
int32_t IAUDGetStringLength(const uint16_t* s);
// Copies the source with its 0 unit; returns the units copied before it.
int32_t IAUDCopyString(uint16_t* dst, const uint16_t* src);
// Copies until the source's 0 unit or count units, then fills up to count
// units with 0; returns count (0 for a count of 0 or less). A source of count
// units or more leaves the destination without a 0 unit.
int32_t IAUDCopyNumString(uint16_t* dst, const uint16_t* src, int32_t count);
// 0 when equal; -1 when the first sorts after the second, 1 when it sorts
// before (a proper prefix sorts before). The sign is reversed against the
// usual convention; callers only test for 0.
int32_t IAUDCompareString(const uint16_t* a, const uint16_t* b);
// Widens each byte as an unsigned value and writes the 0 unit; returns the length.
int32_t IAUDCharStringToShortString(const char* src, uint16_t* dst);
// Keeps the low byte of each unit and writes the 0 byte; returns the length.
int32_t IAUDShortStringToCharString(const uint16_t* src, char* dst);
