// Packed A8R8G8B8 colours: packing from bytes and floats, and the per
// channel sum, difference and blends that the particle curves use.
#include <gtest/gtest.h>

#include "TWGraphics/Color.h"

namespace {

TEST(PackedColor, FloatsAndBytesPack) {
  struct Case {
    float r, g, b, a;
    uint32_t expected;
  } cases[] = {
      {1, 0, 0, 1, 0xFFFF0000u},
      {0, 0, 0, 0, 0x00000000u},
      {0.5f, 0.5f, 0.5f, 0.5f, 0x80808080u},  // 127.5 rounds away from zero
      {0.25f, 1, 0.0019f, 1, 0xFF40FF00u},     // 63.75 -> 64; 0.48 -> 0
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, ColorFloatToRGBA(c.r, c.g, c.b, c.a)) << c.r << " " << c.a;
  EXPECT_EQ(0x44112233u, ColorByteToRGBA(0x11, 0x22, 0x33, 0x44));
  EXPECT_EQ(0x44112233u, ColorByteToRGBA(0x111, 0x222, 0x333, 0x444)) << "each argument taken as a byte";
}

TEST(PackedColorDeathTest, FloatsOutsideZeroToOneAreFatal) {
  EXPECT_DEATH(ColorFloatToRGBA(1.5f, 0, 0, 1), "fR >= 0.0f");
  EXPECT_DEATH(ColorFloatToRGBA(0, 0, 0, -0.1f), "fA <= 1.0f");
}

TEST(PackedColor, ChannelsWrapModulo256) {
  EXPECT_EQ(0x00FF0001u, RGBA_Add(0xFF800080u, 0x017F0081u));
  EXPECT_EQ(0xFF01FF00u, RGBA_Sub(0x00020000u, 0x01010100u)) << "each channel borrows alone";
  EXPECT_EQ(0x12345678u, RGBA_Add(RGBA_Sub(0x12345678u, 0xFEDCBA98u), 0xFEDCBA98u));
}

TEST(PackedColor, LerpWeighsIn256ths) {
  struct Case {
    uint32_t a, b;
    float t;
    uint32_t expected;
  } cases[] = {
      {0x000000FFu, 0x0000FF00u, 0.5f, 0x00007F7Fu},  // w = 128
      {0x10203040u, 0xF0E0D0C0u, 0.0f, 0x10203040u},
      {0x10203040u, 0xF0E0D0C0u, 1.0f, 0xF0E0D0C0u},
      {0xFFFFFFFFu, 0x00000000u, 0.25f, 0xBFBFBFBFu},  // 255 * 192 >> 8 = 191
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, RGBA_Lerp(c.a, c.b, c.t)) << std::hex << c.a << " " << c.t;
}

TEST(PackedColor, LerpDeltaRoundsTowardTheWrappedTarget) {
  // Channel values: a = 200, d = 100: the target (300 mod 256) is 44.
  EXPECT_EQ(0x000000C8u, RGBA_LerpDelta(0xC8u, 0x64u, 0.0f));
  EXPECT_EQ(0x0000002Cu, RGBA_LerpDelta(0xC8u, 0x64u, 1.0f));
  EXPECT_EQ(0x0000007Au, RGBA_LerpDelta(0xC8u, 0x64u, 0.5f));  // 122
  EXPECT_EQ(0x80000000u, RGBA_LerpDelta(0x00000000u, 0xFF000000u, 0.5f)) << "127.5 rounds up";
}

}  // namespace
