#include "TWGraphics/Color.h"

#include <cmath>

#include "TWMath/MathGeneral.h"
#include "TWUtil/ErrorManager.h"

const EVec4 cg_vWhite(1.0f, 1.0f, 1.0f, 1.0f);
const EVec4 cg_vBlack(0.0f, 0.0f, 0.0f, 1.0f);
const EVec4 cg_vRed(1.0f, 0.0f, 0.0f, 1.0f);
const EVec4 cg_vGreen(0.0f, 1.0f, 0.0f, 1.0f);
const EVec4 cg_vBlue(0.0f, 0.0f, 1.0f, 1.0f);
const EVec4 cg_vYellow(1.0f, 1.0f, 0.0f, 1.0f);
const EVec4 cg_vMagenta(1.0f, 0.0f, 1.0f, 1.0f);
const EVec4 cg_vCyan(0.0f, 1.0f, 1.0f, 1.0f);

const EBox2 cg_TexFrameDefault(EVec2(0.0f, 0.0f), EVec2(1.0f, 1.0f));
const EBox2 cg_TexFrameFlipY(EVec2(0.0f, 1.0f), EVec2(1.0f, 0.0f));
const EBox2 cg_TexFrameFlipX(EVec2(1.0f, 0.0f), EVec2(0.0f, 1.0f));
const EBox2 cg_TexFrameFlipXY(EVec2(1.0f, 1.0f), EVec2(0.0f, 0.0f));

EVec4 ColorVectorFromRGBA(uint32_t color) {
  return EVec4((float)((color >> 16) & 0xFF) / 255.0f, (float)((color >> 8) & 0xFF) / 255.0f,
               (float)(color & 0xFF) / 255.0f, (float)(color >> 24) / 255.0f);
}

namespace {

// A channel of `bits` bits at `shift`, as 0 to 1.
float Channel(unsigned texel, int shift, int bits) {
  unsigned max = (1u << bits) - 1u;
  return (float)((texel >> shift) & max) / (float)max;
}

}  // namespace

EVec4 ColorVectorFromPixel(unsigned texel, TEXTUREFORMAT format) {
  switch (format) {
    case kTEXTUREFORMAT_8888:
      return EVec4(Channel(texel, 16, 8), Channel(texel, 8, 8), Channel(texel, 0, 8), Channel(texel, 24, 8));
    case kTEXTUREFORMAT_0888:
      return EVec4(Channel(texel, 16, 8), Channel(texel, 8, 8), Channel(texel, 0, 8), 0.0f);
    case kTEXTUREFORMAT_4444:
      return EVec4(Channel(texel, 8, 4), Channel(texel, 4, 4), Channel(texel, 0, 4), Channel(texel, 12, 4));
    case kTEXTUREFORMAT_1555:
      return EVec4(Channel(texel, 10, 5), Channel(texel, 5, 5), Channel(texel, 0, 5), Channel(texel, 15, 1));
    case kTEXTUREFORMAT_0555:
      return EVec4(Channel(texel, 10, 5), Channel(texel, 5, 5), Channel(texel, 0, 5), 0.0f);
    case kTEXTUREFORMAT_565:
      return EVec4(Channel(texel, 11, 5), Channel(texel, 5, 6), Channel(texel, 0, 5), 0.0f);
    case kTEXTUREFORMAT_A8:
      return EVec4(1.0f, 1.0f, 1.0f, Channel(texel, 0, 8));
    case kTEXTUREFORMAT_L8: {
      float l = Channel(texel, 0, 8);
      return EVec4(l, l, l, 1.0f);
    }
    case kTEXTUREFORMAT_AL8: {
      float l = Channel(texel, 0, 8);
      return EVec4(l, l, l, l);
    }
    default:
      EERRORF("Unsupported texture format: %i", (int)format);
      return EVec4(0.0f, 0.0f, 0.0f, 0.0f);
  }
}

unsigned ColorVectorToPixel(const EVec4& v, TEXTUREFORMAT format) {
  EASSERT(v.x >= 0.0f && v.x <= 1.0f && v.y >= 0.0f && v.y <= 1.0f && v.z >= 0.0f && v.z <= 1.0f && v.w >= 0.0f &&
          v.w <= 1.0f);
  const unsigned r8 = (unsigned)(v.x * 255.0f) & 0xFF;
  const unsigned g8 = (unsigned)(v.y * 255.0f) & 0xFF;
  const unsigned b8 = (unsigned)(v.z * 255.0f) & 0xFF;
  const unsigned a8 = (unsigned)(v.w * 255.0f) & 0xFF;
  switch (format) {
    case kTEXTUREFORMAT_8888: return a8 << 24 | r8 << 16 | g8 << 8 | b8;
    case kTEXTUREFORMAT_0888: return r8 << 16 | g8 << 8 | b8;
    case kTEXTUREFORMAT_4444: return (a8 >> 4) << 12 | (r8 >> 4) << 8 | (g8 >> 4) << 4 | b8 >> 4;
    case kTEXTUREFORMAT_1555: return (a8 >> 7) << 15 | (r8 >> 3) << 10 | (g8 >> 3) << 5 | b8 >> 3;
    case kTEXTUREFORMAT_0555: return (r8 >> 3) << 10 | (g8 >> 3) << 5 | b8 >> 3;
    case kTEXTUREFORMAT_565: return (r8 >> 3) << 11 | (g8 >> 2) << 5 | b8 >> 3;
    case kTEXTUREFORMAT_A8: return a8;
    case kTEXTUREFORMAT_L8:
    case kTEXTUREFORMAT_AL8: return r8;
    default: EERRORF("Unsupported texture format: %i", (int)format); return 0;
  }
}

EVec4 ColorVectorFromHSV(float hue, float saturation, float value) {
  hue = PIN(hue, 0.0f, 1.0f);
  saturation = PIN(saturation, 0.0f, 1.0f);
  value = PIN(value, 0.0f, 1.0f);
  if (saturation == 0.0f) return EVec4(value, value, value, 1.0f);
  float h = hue * 6.0f;
  if (h >= 6.0f) h -= 6.0f;
  // Only a NaN hue falls outside the six sectors.
  if (!(h >= 0.0f && h < 6.0f)) return EVec4(0.0f, 0.0f, 0.0f, 0.0f);
  const int sector = (int)h;
  const float f = h - (float)sector;
  const float p = value * (1.0f - saturation);
  const float q = value * (1.0f - saturation * f);
  const float t = value * (1.0f - saturation * (1.0f - f));
  switch (sector) {
    case 0: return EVec4(value, t, p, 1.0f);
    case 1: return EVec4(q, value, p, 1.0f);
    case 2: return EVec4(p, value, t, 1.0f);
    case 3: return EVec4(p, q, value, 1.0f);
    case 4: return EVec4(t, p, value, 1.0f);
    case 5: return EVec4(value, p, q, 1.0f);
    default: return EVec4(0.0f, 0.0f, 0.0f, 0.0f);
  }
}

EVec3 GetNormalPaletteVector(int index) {
  const int column = index & 15;
  const int row = (index >> 4) & 15;
  float azimuth = (float)column / 16.0f * 360.0f;
  if (row & 1) {
    azimuth += 11.25f;
    if (azimuth > 180.0f) azimuth -= 360.0f;
  }
  const float elevation = (1.0f - powf((float)row / 16.0f, 1.5f)) * 90.0f;
  if (fabsf(elevation - 90.0f) < 0.00001f) return EVec3(0.0f, 0.0f, 1.0f);
  const float c = Cosine(elevation);
  return EVec3(-Sine(azimuth) * c, -Cosine(azimuth) * c, Sine(elevation));
}

EVec3 GetCubemapNormal(CUBEMAPFACE face, float u, float v) {
  const float s = 2.0f * u - 1.0f;
  const float t = 2.0f * v - 1.0f;
  EVec3 n;
  switch (face) {
    case kCUBEMAP_POSITIVE_X: n.Set(1.0f, -t, -s); break;
    case kCUBEMAP_NEGATIVE_X: n.Set(-1.0f, -t, s); break;
    case kCUBEMAP_POSITIVE_Y: n.Set(s, 1.0f, t); break;
    case kCUBEMAP_NEGATIVE_Y: n.Set(s, -1.0f, -t); break;
    case kCUBEMAP_POSITIVE_Z: n.Set(s, -t, 1.0f); break;
    case kCUBEMAP_NEGATIVE_Z: n.Set(-s, -t, -1.0f); break;
    default:
      g_ErrorManager.ErrorMessage(__FILE__, __LINE__, "Unknown cubemap face in GetCubemapNormal", false);
      return EVec3(0.0f, 0.0f, 1.0f);
  }
  n.Normalize();
  return n;
}

CUBEMAPFACE GetCubemapLocation(EVec3 direction, float& u, float& v) {
  direction.NormalizeCube();
  CUBEMAPFACE face;
  float s, t;
  if (fabsf(fabsf(direction.x) - 1.0f) < 0.00001f) {
    face = direction.x > 0.0f ? kCUBEMAP_POSITIVE_X : kCUBEMAP_NEGATIVE_X;
    s = direction.x > 0.0f ? -direction.z : direction.z;
    t = -direction.y;
  } else if (fabsf(fabsf(direction.y) - 1.0f) < 0.00001f) {
    face = direction.y > 0.0f ? kCUBEMAP_POSITIVE_Y : kCUBEMAP_NEGATIVE_Y;
    t = direction.y > 0.0f ? direction.z : -direction.z;
    s = direction.x;
  } else {
    face = direction.z > 0.0f ? kCUBEMAP_POSITIVE_Z : kCUBEMAP_NEGATIVE_Z;
    s = direction.z > 0.0f ? direction.x : -direction.x;
    t = -direction.y;
  }
  u = PIN((s + 1.0f) * 0.5f, 0.0f, 1.0f);
  v = PIN((t + 1.0f) * 0.5f, 0.0f, 1.0f);
  return face;
}

namespace PackedColor {

// x rounded half away from zero; x must fit an int.
inline int RoundAway(float x) { return (int)(x < 0.0f ? x - 0.5f : x + 0.5f); }
inline unsigned Channel(uint32_t c, int shift) { return (c >> shift) & 0xFFu; }

}  // namespace PackedColor

uint32_t ColorByteToRGBA(unsigned r, unsigned g, unsigned b, unsigned a) {
  return ((a & 0xFFu) << 24) | ((r & 0xFFu) << 16) | ((g & 0xFFu) << 8) | (b & 0xFFu);
}

uint32_t ColorFloatToRGBA(float fR, float fG, float fB, float fA) {
  if (!(fR >= 0.0f && fR <= 1.0f && fG >= 0.0f && fG <= 1.0f && fB >= 0.0f && fB <= 1.0f && fA >= 0.0f && fA <= 1.0f)) {
    g_ErrorManager.ErrorMessage(__FILE__, __LINE__,
                                "fR >= 0.0f && fR <= 1.0f && fG >= 0.0f && fG <= 1.0f && fB >= 0.0f && fB <= 1.0f && "
                                "fA >= 0.0f && fA <= 1.0f",
                                false);
    return 0;
  }
  using PackedColor::RoundAway;
  return ColorByteToRGBA((unsigned)RoundAway(fR * 255.0f), (unsigned)RoundAway(fG * 255.0f),
                         (unsigned)RoundAway(fB * 255.0f), (unsigned)RoundAway(fA * 255.0f));
}

uint32_t RGBA_Add(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) out |= ((PackedColor::Channel(a, s) + PackedColor::Channel(b, s)) & 0xFFu) << s;
  return out;
}

uint32_t RGBA_Sub(uint32_t a, uint32_t b) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) out |= ((PackedColor::Channel(a, s) - PackedColor::Channel(b, s)) & 0xFFu) << s;
  return out;
}

uint32_t RGBA_Lerp(uint32_t a, uint32_t b, float t) {
  // The weight is a 16-bit value; keep the conversion defined for any t.
  float fw = t * 256.0f;
  if (!(fw > -32768.0f)) fw = -32768.0f;
  if (fw > 32767.0f) fw = 32767.0f;
  const uint16_t w = (uint16_t)(int16_t)PackedColor::RoundAway(fw);
  const uint16_t wa = (uint16_t)(256u - w);
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    const uint16_t sum = (uint16_t)((uint16_t)(PackedColor::Channel(a, s) * wa) + (uint16_t)(PackedColor::Channel(b, s) * w));
    out |= (uint32_t)((sum >> 8) & 0xFFu) << s;
  }
  return out;
}

uint32_t RGBA_LerpDelta(uint32_t a, uint32_t d, float t) {
  uint32_t out = 0;
  for (int s = 0; s < 32; s += 8) {
    const float ca = (float)PackedColor::Channel(a, s);
    const float cb = (float)((PackedColor::Channel(a, s) + PackedColor::Channel(d, s)) & 0xFFu);
    float v = Lerp(ca, cb, t);
    if (!(v > -1e6f)) v = -1e6f;
    if (v > 1e6f) v = 1e6f;
    out |= ((uint32_t)PackedColor::RoundAway(v) & 0xFFu) << s;
  }
  return out;
}
