// Colour helpers of the renderer: packed texels and colour vectors, HSV
// colours, the normals of the bump-map palette, the named colours, cube-map
// faces and directions, and the texture frames for flipped drawing. Colour
// vectors hold (red, green, blue, alpha), each 0 to 1.
#pragma once

#include <cstdint>

#include "TWGraphics/Renderer.h"
#include "TWMath/BoundingBox.h"
#include "TWMath/Vector.h"

// A packed A8R8G8B8 colour as (red, green, blue, alpha), each 0 to 1.
EVec4 ColorVectorFromRGBA(uint32_t color);

// The colour of a texel of 8888, 0888, 4444, 1555, 0555, 565, A8, L8 or AL8;
// any other format is a fatal report. Formats without alpha read alpha 0,
// A8 reads white and L8 opaque.
EVec4 ColorVectorFromPixel(unsigned texel, TEXTUREFORMAT format);
// The texel of a colour whose components lie in 0 to 1, for the same formats.
unsigned ColorVectorToPixel(const EVec4& colour, TEXTUREFORMAT format);
// A8R8G8B8 of a colour whose components lie in 0 to 1 (checked).
inline uint32_t ColorVectorToRGBA(const EVec4& colour) { return ColorVectorToPixel(colour, kTEXTUREFORMAT_8888); }
// An opaque colour from hue, saturation and value, each clamped to 0 to 1.
EVec4 ColorVectorFromHSV(float hue, float saturation, float value);

// The unit normal of entry 0 to 255 of the bump-map palette: sixteen rows
// of sixteen directions from straight up towards the horizon.
EVec3 GetNormalPaletteVector(int index);

// The unit direction through texture coordinate (u, v) of a cube face.
EVec3 GetCubemapNormal(CUBEMAPFACE face, float u, float v);
// The face a direction points at and the texture coordinates of the point.
CUBEMAPFACE GetCubemapLocation(EVec3 direction, float& u, float& v);

extern const EVec4 cg_vWhite;
extern const EVec4 cg_vBlack;
extern const EVec4 cg_vRed;
extern const EVec4 cg_vGreen;
extern const EVec4 cg_vBlue;
extern const EVec4 cg_vYellow;
extern const EVec4 cg_vMagenta;
extern const EVec4 cg_vCyan;

// Texture-coordinate frames, first corner then second, as given.
extern const EBox2 cg_TexFrameDefault;
extern const EBox2 cg_TexFrameFlipY;
extern const EBox2 cg_TexFrameFlipX;
extern const EBox2 cg_TexFrameFlipXY;

// Packed colours: alpha in bits 24-31, red 16-23, green 8-15, blue 0-7.
// Each argument is taken as a byte.
uint32_t ColorByteToRGBA(unsigned r, unsigned g, unsigned b, unsigned a);
// Each component (0 to 1, checked) times 255, rounded half away from zero.
uint32_t ColorFloatToRGBA(float fR, float fG, float fB, float fA);
// Per channel (a + b) and (a - b) modulo 256.
uint32_t RGBA_Add(uint32_t a, uint32_t b);
uint32_t RGBA_Sub(uint32_t a, uint32_t b);
// Per channel a + (b - a) * w / 256, w = t * 256 rounded.
uint32_t RGBA_Lerp(uint32_t a, uint32_t b, float t);
// Per channel from a towards (a + d) modulo 256 by t, rounded.
uint32_t RGBA_LerpDelta(uint32_t a, uint32_t d, float t);
