// The audio runtime's vector maths with a table-driven sine and cosine.
// Angles are in radians; matrices are 3x3, row then column.
#pragma once

#include <cstdint>

#include "NonTW/IAUDEng/IAUDTypes.h"

// sin(i * 2 pi / 32768) for i = 0 to 8192; null until built.
extern float* g_fSineTable;
extern uint8_t g_bMathInitialized;

// Builds the sine table; whether it exists.
bool IAUDinitmath();
float IAUDsin(float angle);
float IAUDcos(float angle);
float IAUDSquareRoot(float v);
float IAUDatan2(float y, float x);
float IAUDpow(float base, float exponent);
void IAUDcrossproduct(IAUDVector& a, IAUDVector& b, IAUDVector& out);
float IAUDdotproduct(IAUDVector& a, IAUDVector& b);
void IAUDnormalize(IAUDVector& v);
// v becomes v times m as a row vector.
void IAUDmatrixvector(IAUDVector& v, float m[3][3]);
// Columns: the normalised right (top x front), top and front.
void IAUDcreatematrix(IAUDVector& front, IAUDVector& top, float m[3][3]);
// a tilts the front up, b turns it about the vertical, c rolls the top.
void IAUDcreateorientation(float a, float b, float c, IAUDVector& front, IAUDVector& top);
